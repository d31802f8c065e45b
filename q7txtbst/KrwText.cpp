#include "q7txtbst/KrwText.h"

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "host/base/Helpers.h"
#include "host/base/XQGuard.h"
#include "host/db/Icd.h"
#include "host/db/XQDatabase.h"

namespace {

// Widths of the detail text: hint and proposal lines, catalogue lines, and
// the lines of the rule listing of the changes view.
constexpr int kHinweisBreite = 150;
constexpr int kKorrekturBreite = 120;
constexpr int kZeilenBreite = 120;
// Continuation lines of a correction code stand under the catalogue text,
// behind the code padded to 8.
constexpr int kCodeBreite = 8;
const char* const kFortsetzung = "\xB7       ";

// The values of one kind of a rule, in counter order.
std::vector<CString> Werte(const KrwDetailMap& details, const CString& id, char art) {
    std::vector<CString> werte;
    for (auto it = details.lower_bound(id + art);
         it != details.end() && it->second.art == art && it->second.regelId == id; ++it)
        werte.push_back(it->second.text);
    return werte;
}

CString Liste(const std::vector<CString>& werte) {
    CString liste;
    for (size_t i = 0; i < werte.size(); ++i) {
        if (i > 0) liste += ", ";
        liste += werte[i];
    }
    return liste;
}

// text in lines of at most width, each ended by "\n", every line after the
// first behind fortsetzung; a blank rest makes no line.
void Zeilen(CString& out, CString text, int width, const char* fortsetzung = "") {
    bool first = true;
    while (!Trim(text).IsEmpty()) {
        CString line;
        SplitAndDeleteLine(text, line, width);
        if (!first) out += fortsetzung;
        out += line;
        out += '\n';
        first = false;
    }
}

// Catalogue texts of correction codes. The rules of an edition name the same
// few diagnoses again and again, so a line list of many rules asks the
// catalogue once per code through one record set.
class IcdTexte {
  public:
    // The text of a code given with or without point; false when the
    // catalogue does not hold exactly that code.
    bool Text(const CString& code, CString& text) {
        const CString key = CQIcd::RemovePoint(code);
        auto known = m_texte.find(key);
        if (known == m_texte.end()) known = m_texte.emplace(key, Lookup(key)).first;
        if (!known->second.first) return false;
        text = known->second.second;
        return true;
    }

  private:
    std::pair<bool, CString> Lookup(const CString& key) {
        if (key.IsEmpty() || !dbDatabaseRO) return {false, CString()};
        if (!m_icd) {
            m_icd = std::make_unique<CQIcd>(dbDatabaseRO);
            m_icd->SetReadOnly(true);
            m_icd->SetForwardOnly(true);
        }
        m_icd->ClearAll();
        m_icd->Code = key;
        const int status = m_icd->GetByK1(XQ_MATCH_EQUAL);
        // The rule still shows, the code marked unreadable; the reason of a
        // failed read goes to the host log.
        if (status != XQ_OK && status != XQ_NOTFOUND)
            XQLog("Kodierregel anzeigen",
                  "ICD-Katalog nicht lesbar (" + key + "): " + dbDatabaseRO->LastError());
        if (status != XQ_OK || m_icd->Code != key) return {false, CString()};
        return {true, m_icd->Text};
    }

    std::unique_ptr<CQIcd> m_icd;
    std::map<CString, std::pair<bool, CString>> m_texte;
};

CString DetailText(const KrwRegelMap& regeln, const KrwDetailMap& details, const CString& id,
                   IcdTexte& icd);

}  // namespace

std::vector<CString> cut(const CString& text, int width) {
    std::vector<CString> pieces;
    const std::string& s = text.str();
    ForEachCutPiece(s, width, [&](size_t pos, size_t n) { pieces.emplace_back(s.substr(pos, n)); });
    return pieces;
}

std::vector<CString> split(const CString& text, const CString& separator) {
    std::vector<CString> parts;
    const std::string& s = text.str();
    const std::string& sep = separator.str();
    if (sep.empty()) return {text};
    size_t pos = 0;
    for (size_t at; (at = s.find(sep, pos)) != std::string::npos; pos = at + sep.size())
        parts.emplace_back(s.substr(pos, at - pos));
    parts.emplace_back(s.substr(pos));
    return parts;
}

void SplitAndDeleteLine(CString& text, CString& line, int width) {
    if (text.GetLength() <= width || width < 1) {
        line = text;
        line.TrimLeft();
        text.Empty();
        return;
    }
    int cutAt = width;
    for (int i = width - 1; i >= 1; --i)
        if (text[i] == ' ') {
            cutAt = i;
            break;
        }
    line = text.Left(cutAt);
    line.TrimLeft();
    text.Delete(0, cutAt);
}

CString FormatDatum(const CString& datum) {
    return datum.Right(2) + "." + datum.Mid(4, 2) + "." + datum.Left(4);
}

CString memKrw21ToString(const CMemKrw21& regel) {
    const char* echtzeit = "";
    switch (regel.echtzeitpruefung) {
        case '1':
            echtzeit = "bei Kodierung ";
            break;
        case '2':
            echtzeit = "w\344hlbar       ";
            break;
        case '3':
            echtzeit = "zur Abrechnung";
            break;
        case '4':
            echtzeit = "w\344hlbar + Abr.";
            break;
        case '5':
            echtzeit = "Kod. + Abr.   ";
            break;
        case '6':
            echtzeit = "immer         ";
            break;
        default:
            break;
    }
    CString zeitraum;
    if (regel.bezugsraum == '2') {
        if (regel.anzahlQuartale == 1)
            zeitraum = "1 Quartal";
        else if (regel.anzahlQuartale > 1)
            zeitraum = itoc(regel.anzahlQuartale) + " Quartale";
    }
    CString line = regel.id;
    line += '\t';
    line += regel.status == '1' ? "x" : " ";
    line += '\t';
    line += regel.regelanwendung == '1' ? "o" : "f";
    line += '\t';
    line += echtzeit;
    line += '\t';
    line += zeitraum;
    line += '\t';
    line += regel.kurzBeschreibung;
    return line;
}

CString ZeigeKRWByKey(const KrwRegelMap& regeln, const KrwDetailMap& details, const CString& id) {
    IcdTexte icd;
    return DetailText(regeln, details, id, icd);
}

namespace {

CString DetailText(const KrwRegelMap& regeln, const KrwDetailMap& details, const CString& id,
                   IcdTexte& icd) {
    auto found = regeln.find(id);
    if (found == regeln.end()) return CString();
    const CMemKrw21& r = found->second;

    CString out = "Kodierregel " + id;
    if (r.status == '0') out += " - inaktiv";
    if (r.statusGeaendert) out += "\nDer Status der Kodierregel ist von Ihnen ge\344ndert worden.";
    out += '\n';

    out += "Bezug: ";
    out += r.bezugsraum == '1' ? "Behandlungsfall" : r.bezugsraum == '2' ? "Quartal" : "w\344hlbar";
    if (r.bezugGeaendert) out += "\nDer Bezug der Kodierregel ist von Ihnen ge\344ndert worden.";
    out += '\n';

    // The open end is tested first: a rule valid from 19800101 to 99991231
    // reads "ab 01.01.1980".
    out += "G\374ltigkeit: ";
    if (r.gueltigVon == r.gueltigBis)
        out += FormatDatum(r.gueltigVon);
    else if (r.gueltigBis == "99991231")
        out += "ab " + FormatDatum(r.gueltigVon);
    else if (r.gueltigVon == "19800101")
        out += "bis " + FormatDatum(r.gueltigBis);
    else
        out += "von " + FormatDatum(r.gueltigVon) + " bis " + FormatDatum(r.gueltigBis);
    out += '\n';

    out += r.kurzBeschreibung + "\n";
    out += r.beschreibung + "\n";

    char quelle = 0;
    for (auto it = details.lower_bound(id + KRW_THEMA);
         it != details.end() && it->second.art == KRW_THEMA && it->second.regelId == id; ++it) {
        const KrwDetailEintrag& e = it->second;
        if (e.quelle != quelle) {
            out += "Quelle: ";
            out += e.quelle == '1' ? "Kodiervorgaben nach \247 295 SGB V" : "ICD-10-GM";
            out += '\n';
            quelle = e.quelle;
        }
        const int bar = e.text.Find('|');
        out += "Thema: " + (bar < 0 ? e.text : e.text.Mid(bar + 1)) + "\n";
    }

    if (r.regelanwendung == '1')
        out += "Obligate Regel\n";
    else if (r.regelanwendung == '2')
        out += "Fakultative Regel\n";

    if (r.anzahlQuartale > 0) out += "Pr\374fzeitraum: " + itoc(r.anzahlQuartale) + " Quartale\n";

    // Without condition values the next text follows on the same line.
    out += "Bedingung: ";
    const std::vector<CString> bedingungen = Werte(details, id, KRW_BEDINGUNG);
    if (bedingungen.size() == 1)
        out += "Existenz der Diagnose " + bedingungen[0] + "\n";
    else if (bedingungen.size() > 1)
        out += "Existenz einer Diagnose aus folgender Liste ( " + Liste(bedingungen) + " )\n";

    const std::vector<CString> zusatz = Werte(details, id, KRW_SUBBEDINGUNG);
    if (zusatz.size() == 1)
        out += "mit Zusatzbedingung: Diagnosensicherheit " + zusatz[0] + "\n";
    else if (zusatz.size() > 1)
        out += "mit Zusatzbedingung: Diagnosensicherheit aus folgender Liste ( " + Liste(zusatz) +
               " )\n";

    out += "Fehlerbehandlung:\n";
    Zeilen(out, r.hinweis, kHinweisBreite);
    out += "Vorschlag:\n";
    Zeilen(out, r.vorschlag, kHinweisBreite);

    for (const CString& code : Werte(details, id, KRW_KORREKTUR)) {
        const CString padded = AddBlanks(code, kCodeBreite);
        CString text;
        if (icd.Text(code, text))
            Zeilen(out, padded + text, kKorrekturBreite, kFortsetzung);
        else
            out += padded + "ICD-Kode nicht lesbar?!\n";
    }
    return out;
}

}  // namespace

std::vector<krline> renderLines(const KrwRegelMap& regeln, const KrwDetailMap& details) {
    std::vector<krline> lines;
    IcdTexte icd;
    for (const auto& [id, regel] : regeln) {
        const unsigned int farbe = regel.status == '1' ? kKrwSchwarz : kKrwRot;
        for (const CString& part : split(DetailText(regeln, details, id, icd), "\n")) {
            const CString trimmed = Trim(part);
            if (trimmed.IsEmpty()) continue;
            for (const CString& piece : cut(trimmed, kZeilenBreite)) {
                CString text = Trim(piece);
                if (!text.IsEmpty()) lines.push_back({std::move(text), farbe});
            }
        }
        lines.push_back({CString(), kKrwSchwarz});
        lines.push_back({CString(), kKrwSchwarz});
    }
    return lines;
}
