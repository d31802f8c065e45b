#include "q7txtbst/IcdUeberleitung.h"

CIcdUeberleitung::Kind CIcdUeberleitung::KindOf(const std::string& name) {
    static const struct {
        const char* name;
        Kind kind;
    } kNames[] = {
        {"Gruppe", kGruppe},
        {"kapitel", kKapitel},
        {"Gruppenbeschreibung", kGruppenbeschreibung},
        {"hinweis", kHinweis},
        {"Eintrag", kEintrag},
        {"Freitextdiagnose", kFreitext},
        {"ersterDiagnosekode", kErster},
        {"zweiterDiagnosekode", kZweiter},
        {"icd", kIcd},
        {"Code", kCode},
        {"Beschreibung", kBeschreibung},
    };
    for (const auto& n : kNames)
        if (name == n.name) return n.kind;
    return kUnknown;
}

bool CIcdUeberleitung::Room() {
    if (++m_items <= kIcdUeberleitungMaxItems) return true;
    Refuse(FormatString("mehr als %d Eintr\xE4ge", static_cast<int>(kIcdUeberleitungMaxItems)));
    return false;
}

SIcdEintrag* CIcdUeberleitung::LastEintrag() {
    if (m_gruppen.empty() || m_gruppen.back().eintraege.empty()) return nullptr;
    return &m_gruppen.back().eintraege.back();
}

SIcdCodeList* CIcdUeberleitung::CurrentList() {
    if (m_listGruppe < 0) return nullptr;
    SIcdEintrag& e =
        m_gruppen[static_cast<size_t>(m_listGruppe)].eintraege[static_cast<size_t>(m_listEintrag)];
    return m_listZweiter ? &e.zweiter : &e.erster;
}

void CIcdUeberleitung::startElement(const std::string& uri, const std::string& localName,
                                    const std::string&) {
    if (!uri.empty()) return;
    const int top = Top();
    switch (KindOf(localName)) {
        case kGruppe:
            m_stack.push_back(kGruppe);
            if (Room()) m_gruppen.emplace_back();
            break;
        case kKapitel:
            if (top == kGruppe) m_stack.push_back(kKapitel);
            break;
        case kGruppenbeschreibung:
            if (top == kGruppe) m_stack.push_back(kGruppenbeschreibung);
            break;
        case kHinweis:
            if (top == kGruppe)
                m_stack.push_back(kGruppeHinweis);
            else if (top == kEintrag)
                m_stack.push_back(kEintragHinweis);
            else if (top == kErster || top == kZweiter)
                m_stack.push_back(kListeHinweis);
            break;
        case kEintrag:
            if (top == kGruppe) m_stack.push_back(kEintrag);
            if (!m_gruppen.empty() && Room()) m_gruppen.back().eintraege.emplace_back();
            break;
        case kFreitext:
            if (top == kEintrag) m_stack.push_back(kFreitext);
            break;
        case kErster:
        case kZweiter: {
            const bool zweiter = KindOf(localName) == kZweiter;
            if (top == kEintrag) m_stack.push_back(zweiter ? kZweiter : kErster);
            if (LastEintrag()) {
                m_listGruppe = static_cast<int>(m_gruppen.size()) - 1;
                m_listEintrag = static_cast<int>(m_gruppen.back().eintraege.size()) - 1;
                m_listZweiter = zweiter;
            }
            break;
        }
        case kIcd:
            if (top == kErster || top == kZweiter) m_stack.push_back(kIcd);
            if (SIcdCodeList* list = CurrentList(); list && Room()) list->emplace_back();
            break;
        case kCode:
            if (top == kIcd) m_stack.push_back(kCode);
            break;
        case kBeschreibung:
            if (top == kIcd) m_stack.push_back(kBeschreibung);
            break;
        default:
            break;
    }
}

void CIcdUeberleitung::endElement(const std::string& uri, const std::string& localName,
                                  const std::string&) {
    if (!uri.empty() || m_stack.empty()) return;
    const Kind kind = KindOf(localName);
    const int top = Top();
    const bool note = top == kGruppeHinweis || top == kEintragHinweis || top == kListeHinweis;
    if ((kind != kUnknown && kind == top) || (kind == kHinweis && note)) m_stack.pop_back();
}

void CIcdUeberleitung::characters(const std::string& utf8) {
    CString text = W2S(utf8);
    text.Remove('\n');
    text.Remove('\r');
    text.Remove('\t');
    SIcdGruppe* gruppe = m_gruppen.empty() ? nullptr : &m_gruppen.back();
    SIcdEintrag* eintrag = LastEintrag();
    SIcdCodeList* list = CurrentList();
    switch (Top()) {
        case kKapitel:
            if (gruppe) gruppe->kapitel = text;
            break;
        case kGruppenbeschreibung:
            if (gruppe) gruppe->beschreibung = text;
            break;
        case kGruppeHinweis:
            if (gruppe) gruppe->hinweis = text;
            break;
        case kFreitext:
            if (eintrag) eintrag->freitext = text;
            break;
        case kEintragHinweis:
            if (eintrag) eintrag->hinweis = text;
            break;
        case kListeHinweis:
            if (list && Room()) list->push_back({text, CString(), {}});
            break;
        case kCode:
            if (list && !list->empty()) list->back().code = text;
            break;
        case kBeschreibung:
            if (list && !list->empty() && Room()) list->back().beschreibung.push_back(text);
            break;
        default:
            break;
    }
}
