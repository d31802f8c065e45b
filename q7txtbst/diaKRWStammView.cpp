#include "q7txtbst/diaKRWStammView.h"

#include <string>

#include "host/base/Helpers.h"
#include "host/base/HostContext.h"
#include "host/db/HostData.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"
#include "host/db/XQStatus.h"
#include "host/dlg/XQMessages.h"
#include "host/dlg/XQPatWahl.h"
#include "host/xml/XQSimpleXML.h"
#include "q7txtbst/KrwText.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/diaKRWAenderungen.h"
#include "q7txtbst/diaKRWRegelDetails.h"
#include "q7txtbst/diaKRWRegelInaktivView.h"

namespace {

enum : int {
    IDC_KRW_LIST = 1001,
    IDC_KRW_KURZ,
    IDC_KRW_BEZUG,
    IDC_KRW_ANWENDUNG,
    IDC_KRW_STATUS,
    IDC_KRW_ECHTZEIT,
};

// The list's heading as the practice system has always shown it: blanks,
// not tabs, set its words over the columns.
const char kKopf[] =
    "Regel                 Aktiv      Anw.     Echtzeitpr\374fung            Pr\374fzeitraum      "
    "   Kurzbeschreibung";
const char kHinweis[] = "Anwendung (Anw.): o - obligat, f - fakultativ";

const char* const kBezug[] = {"Bezug", "Behandlungsfall", "Quartal"};
const char* const kAnwendung[] = {"Anwendung", "Obligate Regel", "Fakultative Regel"};
const char* const kStatus[] = {"Status", "Aktiv", "Inaktiv"};
const char* const kEchtzeit[] = {"Echtzeitpr\374fung", "Bei Kodierung",     "w\344hlbar",
                                 "zur Abrechnung",     "w\344hlbar + Abr.", "Kod. + Abr."};

// The real-time check codes each filter entry of "Echtzeitprüfung" lets
// through: a combined code ('4' to '6') counts for each of its moments.
const char* const kEchtzeitCodes[] = {"", "156", "246", "3456", "46", "56"};

unsigned int Farbe(const CMemKrw21& regel) {
    return regel.status == '1' ? kKrwSchwarz : kKrwRot;
}

template <size_t N>
void FillCombo(CXQLComboX& combo, const char* const (&items)[N]) {
    combo.ResetContent();
    for (const char* item : items) combo.AddString(item);
    combo.SetCurSel(0);
}

// "2026-01-01" as 01.01.2026.
CString AnzeigeDatum(const CString& datum) {
    CString ohne = datum;
    ohne.Remove('-');
    return Db2Date(ohne);
}

}  // namespace

XQDialogTemplate KRWStammViewTemplate() {
    XQDialogTemplate t;
    t.number = IDD_KRWSTAMMVIEW;
    t.caption = "Kodierregelwerk-Stammdatei";
    t.width = 980;
    t.height = 600;
    XQAddControl(t, IDC_KRW_KURZ, XQKind::Edit, "&Kurzbeschreibung:", 10, 10, 400, 20);
    XQAddControl(t, IDC_KRW_BEZUG, XQKind::Combo, "&Bezug:", 10, 38, 200, 20, "Kategoriefilter");
    XQAddControl(t, IDC_KRW_ANWENDUNG, XQKind::Combo, "&Anwendung:", 220, 38, 250, 20,
                 "Anwendungsfilter");
    XQAddControl(t, IDC_KRW_STATUS, XQKind::Combo, "Status:", 480, 38, 170, 20);
    XQAddControl(t, IDC_KRW_ECHTZEIT, XQKind::Combo, "Echtzeitpr\374fung:", 660, 38, 310, 20);
    XQAddControl(t, IDC_KRW_LIST, XQKind::List, kKopf, 10, 70, 960, 480);
    t.toolbar = {
        XQStandardButton(XQTB_EXIT),
        XQStandardButton(XQTB_HELP),
        {KRW_TB_PATIENT, "Strg + p  -  Patientenstammdaten", true, true, "user-info"},
        {KRW_TB_AENDERUNGEN, "\304nderungen im Kodierregelwerk", true, true,
         "document-open-recent"},
        {KRW_TB_INAKTIV, "Inaktivierte patientenbezogene Kodierregeln", true, true, "system-users"},
        {XQTB_SEARCH, "F5 - Suchen"},
    };
    return t;
}

XQRuntimeClass KRWStammViewRuntimeClass() {
    // As the ICD search constructs it: template 1531, no text, no parent.
    return {"CdiaKRWStammView",
            [](const std::vector<CString>& args, CWnd*) -> std::unique_ptr<CXQDialog> {
                if (!args.empty()) return nullptr;
                return std::make_unique<CdiaKRWStammView>(IDD_KRWSTAMMVIEW, CString(), nullptr);
            },
            {}};
}

CdiaKRWStammView::CdiaKRWStammView(int templateNumber, CString /*text*/, CWnd* parent)
    : CXQDialog(templateNumber, parent) {
    SetHelpName("diaKRWStammView");
    regeln = &m_regeln;
    details = &m_details;
    // The details dialog derives from the view for its rule store only; its
    // template has none of these controls, and bound ones would show there.
    if (templateNumber == IDD_KRWREGELDETAILS) return;
    DDX_Control(IDC_KRW_LIST, m_list);
    DDX_Control(IDC_KRW_KURZ, m_editKurzBeschreibung);
    DDX_Control(IDC_KRW_BEZUG, m_comboBezug);
    DDX_Control(IDC_KRW_ANWENDUNG, m_comboAnwendung);
    DDX_Control(IDC_KRW_STATUS, m_comboStatus);
    DDX_Control(IDC_KRW_ECHTZEIT, m_comboEchtzeit);

    for (CXQLComboX* combo : {&m_comboBezug, &m_comboAnwendung, &m_comboStatus, &m_comboEchtzeit})
        combo->onSelChange = [this] { ShowRegeln(); };
    m_editKurzBeschreibung.onChange = [this] { ShowRegeln(); };
    m_list.onClick = [this] { OnListClicked(); };
}

CdiaKRWStammView::~CdiaKRWStammView() = default;

bool CdiaKRWStammView::LoadRegeln() {
    m_regeln.clear();
    m_details.clear();
    regeln = &m_regeln;
    details = &m_details;
    m_bGelesen = ReadKrw(true);
    return m_bGelesen;
}

bool CdiaKRWStammView::OnInitDialog() {
    CXQDialog::OnInitDialog();
    m_list.SetLabel(kKopf);
    m_list.SetTabStops({80, 120, 160, 270, 360, 1024});

    // A failed read has been noted in the host log by the reader; the list
    // just stays empty.
    LoadRegeln();

    CString von, bis;
    CXQXMLElement root;
    CXQSimpleXMLReader reader;
    // The head is cut off after "</header>", so the parse ends early; what
    // was read up to there is all we need.
    reader.Parse(kopfText.str(), root);
    const CXQXMLElement* kopf = root.children.empty() ? nullptr : &root.children.front();
    const CXQXMLElement* zeitraum = kopf ? kopf->FirstChild("service_tmr") : nullptr;
    if (!zeitraum) zeitraum = root.FirstChild("service_tmr");
    if (zeitraum) {
        const CString v = zeitraum->GetAttribute("V");
        von = AnzeigeDatum(v.Left(10));
        bis = AnzeigeDatum(v.Right(10));
    }
    SetWindowText("Kodierregelwerk - Stammdatei " + von + " - " + bis);

    FillCombo(m_comboBezug, kBezug);
    FillCombo(m_comboAnwendung, kAnwendung);
    FillCombo(m_comboStatus, kStatus);
    FillCombo(m_comboEchtzeit, kEchtzeit);

    ShowRegeln();
    SetFocusTo(&m_list);
    return true;
}

bool CdiaKRWStammView::filterMatch(const CMemKrw21& regel, int bezug, int anwendung, int status,
                                   int echtzeit, const CString& text) const {
    if ((bezug == 1 && regel.bezugsraum != '1') || (bezug == 2 && regel.bezugsraum != '2'))
        return false;
    if ((anwendung == 1 && regel.regelanwendung != '1') ||
        (anwendung == 2 && regel.regelanwendung != '2'))
        return false;
    if ((status == 1 && regel.status != '1') || (status == 2 && regel.status != '0')) return false;
    if (echtzeit >= 1 && echtzeit <= 5) {
        const std::string codes = kEchtzeitCodes[echtzeit];
        if (regel.echtzeitpruefung == 0 || codes.find(regel.echtzeitpruefung) == std::string::npos)
            return false;
    }
    if (!text.IsEmpty()) {
        CString wort = text, kurz = regel.kurzBeschreibung;
        wort.MakeLower();
        kurz.MakeLower();
        if (kurz.Find(wort) < 0) return false;
    }
    return true;
}

void CdiaKRWStammView::ShowRegeln() {
    angezeigteRegeln.clear();
    const int bezug = m_comboBezug.GetCurSel(), anwendung = m_comboAnwendung.GetCurSel(),
              status = m_comboStatus.GetCurSel(), echtzeit = m_comboEchtzeit.GetCurSel();
    const CString text = m_editKurzBeschreibung.GetText();
    std::vector<krline> zeilen;
    if (regeln && m_bGelesen)
        for (const auto& [id, regel] : *regeln) {
            if (!filterMatch(regel, bezug, anwendung, status, echtzeit, text)) continue;
            angezeigteRegeln.push_back(id);
            zeilen.push_back({memKrw21ToString(regel), Farbe(regel)});
        }
    m_list.ResetContent();
    for (const krline& zeile : zeilen)
        m_list.SetItemColor(m_list.AddString(zeile.text), zeile.farbe);
    m_list.SetHint(kHinweis);
}

void CdiaKRWStammView::OnListClicked() {
    const int index = m_list.GetCurSel();
    if (index < 0 || index >= static_cast<int>(angezeigteRegeln.size())) return;
    const CString id = angezeigteRegeln[index];
    {
        CdiaKRWRegelDetails dialog(id, nullptr);
        if (dialog.DoModal() != 1) return;
    }
    // The details dialog stored the practice's setting: read it back as
    // every later reader will.
    LoadRegeln();
    const auto it = m_regeln.find(id);
    if (it == m_regeln.end()) return;
    if (!filterMatch(it->second, m_comboBezug.GetCurSel(), m_comboAnwendung.GetCurSel(),
                     m_comboStatus.GetCurSel(), m_comboEchtzeit.GetCurSel(),
                     m_editKurzBeschreibung.GetText())) {
        m_list.DeleteString(index);
        angezeigteRegeln.erase(angezeigteRegeln.begin() + index);
        return;
    }
    // Only the text is replaced: the line keeps its place and its colour
    // until the list is filtered again, so the user's place in it holds.
    const COLORREF farbe = m_list.GetItemColor(index);
    const long long data = m_list.GetItemData(index);
    m_list.DeleteString(index);
    m_list.InsertString(index, memKrw21ToString(it->second));
    m_list.SetItemColor(index, farbe);
    m_list.SetItemData(index, data);
    m_list.SetCurSel(index);
}

void CdiaKRWStammView::ShowHistorie() {
    KrwRegelMap neueRegeln, alteRegeln;
    KrwDetailMap neueDetails, alteDetails;
    DiffKrw(neueRegeln, neueDetails, alteRegeln, alteDetails);

    std::vector<krline> zeilen;
    if (!neueRegeln.empty()) {
        zeilen.push_back({"Neue Kodierregeln", kKrwSchwarz});
        zeilen.push_back({});
        zeilen.push_back({});
        for (krline& z : ::renderLines(neueRegeln, neueDetails)) zeilen.push_back(std::move(z));
    }
    if (!alteRegeln.empty()) {
        zeilen.push_back({});
        zeilen.push_back({});
        zeilen.push_back({"Verfallene Kodierregeln", kKrwSchwarz});
        for (krline& z : ::renderLines(alteRegeln, alteDetails)) zeilen.push_back(std::move(z));
    }
    regeln = &m_regeln;
    details = &m_details;

    CdiaKRWAenderungen dialog(std::move(zeilen), nullptr);
    dialog.DoModal();
}

void CdiaKRWStammView::OnCTRL_P() {
    const int index = m_list.GetCurSel();
    if (index < 0 || index >= static_cast<int>(angezeigteRegeln.size())) {
        Halt(6, "Bitte w\344hlen Sie zuerst eine Kodierregel aus!");
        return;
    }
    const CString id = angezeigteRegeln[index];
    if (m_regeln.find(id) == m_regeln.end()) {
        HaltI("Fehler", "Keine Kodierregel gew\344hlt.");
        return;
    }
    const CString titel = GetQ7String(6, 0).IsEmpty() ? CString("Hinweis") : GetQ7String(6, 0);
    if (SollIch(titel, "Kodierregel " + id +
                           " f\374r einen Patienten in diesem Quartal inaktivieren?") != XQ_IDYES)
        return;

    CString patNr;
    {
        CdiaPatWahl wahl(nullptr);
        if (wahl.DoModal() != 1) return;
        patNr = wahl.GetPatNr();
    }
    const long long nummer = CardToInt64(patNr);
    const CString patNrText = TrimLeft(patNr);

    const CString heute = GetXQDate();
    const int monat = CardToInt(heute.Mid(4, 2));
    const CString quartal = heute.Mid(2, 2) + itoc((monat + 2) / 3);

    CQFreiText frei(dbDatabase);
    auto schluessel = [&] {
        frei.ClearAll();
        frei.F1.Format("%*I64u", 10, static_cast<unsigned long long>(nummer));
        frei.F2 = "!";
        frei.F3 = quartal;
    };
    frei.SetKey(1, true);
    schluessel();
    if (frei.GetByK1(XQ_MATCH_FIELDS) == XQ_OK) do {
            if (frei.F7 == id) {
                HaltE("Fehler", "Die Kodierregel " + id + " wurde f\374r Patient " + patNrText +
                                    " in diesem Quartal bereits inaktiviert.");
                return;
            }
        } while (frei.Next() == XQ_OK);

    if (SollIch(titel, "Kodierregel " + id + "\nM\366chten Sie die Kodierregel f\374r Patient " +
                           patNrText + " in diesem Quartal inaktivieren?") != XQ_IDYES)
        return;

    // The first hit in descending key order carries the highest number.
    unsigned long long lfdNr = 0;
    frei.SetKey(1, false);
    schluessel();
    if (frei.GetByK1(XQ_MATCH_FIELDS) == XQ_OK)
        lfdNr = static_cast<unsigned long long>(CardToInt64(frei.F5)) + 1;

    schluessel();
    frei.F4 = "  0";
    frei.F5.Format("%*I64u", 3, lfdNr);
    frei.F7 = id;
    if (frei.Write() != XQ_OK) {
        XQLog("Kodierregelwerk", "Inaktivierung " + id + " f\374r Patient " + patNrText +
                                     " nicht geschrieben: " + dbDatabase->LastError());
        HaltI("Kodierregel " + id, "Fehler beim Schreiben des Deaktivierungsparameters!");
    }
}

void CdiaKRWStammView::OnCTRL_R() {
    CdiaKRWRegelView dialog(this);
    dialog.DoModal();
}

void CdiaKRWStammView::OnSearch() {
    SearchInLListbox(m_list, *this);
}

void CdiaKRWStammView::OnToolbarButton(int number) {
    switch (number) {
        case KRW_TB_PATIENT:
            OnCTRL_P();
            break;
        case KRW_TB_AENDERUNGEN:
            ShowHistorie();
            break;
        case KRW_TB_INAKTIV:
            OnCTRL_R();
            break;
        default:
            break;
    }
}

CString CdiaKRWStammView::memKrw21ToString(const CMemKrw21& regel) const {
    return ::memKrw21ToString(regel);
}

CString CdiaKRWStammView::ZeigeKRWByKey(const CString& id) const {
    static const KrwRegelMap keineRegeln;
    static const KrwDetailMap keineDetails;
    return ::ZeigeKRWByKey(regeln ? *regeln : keineRegeln, details ? *details : keineDetails, id);
}

std::vector<krline> CdiaKRWStammView::renderLines() const {
    if (!regeln || !details) return {};
    return ::renderLines(*regeln, *details);
}
