#include "q7txtbst/diaKRWRegelDetails.h"

#include "host/base/Helpers.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"
#include "host/db/XQStatus.h"
#include "host/dlg/XQMessages.h"
#include "q7txtbst/KrwText.h"
#include "q7txtbst/Module.h"

namespace {

enum : int {
    IDC_KRWD_LIST = 1101,
    IDC_KRWD_KURZ,
    IDC_KRWD_FRAME_STATUS,
    IDC_KRWD_AKTIV,
    IDC_KRWD_INAKTIV,
    IDC_KRWD_FRAME_ECHTZEIT,
    IDC_KRWD_KODIERUNG,
    IDC_KRWD_WAHL,
    IDC_KRWD_ABR,
};

// The real-time check code of the three moments, 0 for a combination that
// has none (at coding and selectable without billing, or none at all).
char EchtzeitCode(bool kodierung, bool wahl, bool abr) {
    const int muster = (kodierung ? 4 : 0) | (wahl ? 2 : 0) | (abr ? 1 : 0);
    //                        -    A    W    WA   K    KA   KW   KWA
    static const char codes[] = {0, '3', '2', '4', '1', '5', 0, '6'};
    return codes[muster];
}

bool HatCode(char code, const char* codes) {
    for (; *codes; ++codes)
        if (*codes == code) return true;
    return false;
}

}  // namespace

XQDialogTemplate KRWRegelDetailsTemplate() {
    XQDialogTemplate t;
    t.number = IDD_KRWREGELDETAILS;
    t.caption = "Kodierregelwerk-Regeldetails";
    t.width = 980;
    t.height = 560;
    XQAddControl(t, IDC_KRWD_KURZ, XQKind::Caption, "", 10, 10, 960, 20);
    XQAddControl(t, IDC_KRWD_FRAME_STATUS, XQKind::Frame, "Status", 10, 36, 220, 44);
    XQAddControl(t, IDC_KRWD_AKTIV, XQKind::Check, "Aktiv", 20, 54, 90, 18);
    XQAddControl(t, IDC_KRWD_INAKTIV, XQKind::Check, "Inaktiv", 120, 54, 90, 18);
    XQAddControl(t, IDC_KRWD_FRAME_ECHTZEIT, XQKind::Frame, "Echtzeitpr\374fung", 240, 36, 420, 44);
    XQAddControl(t, IDC_KRWD_KODIERUNG, XQKind::Check, "bei Kodierung", 250, 54, 130, 18);
    XQAddControl(t, IDC_KRWD_WAHL, XQKind::Check, "w\344hlbar", 390, 54, 110, 18);
    XQAddControl(t, IDC_KRWD_ABR, XQKind::Check, "zur Abrechnung", 510, 54, 140, 18);
    XQAddControl(t, IDC_KRWD_LIST, XQKind::List, "Regel", 10, 90, 960, 440);
    t.toolbar = {
        XQStandardButton(XQTB_EXIT),
        XQStandardButton(XQTB_ACCEPT),
        XQStandardButton(XQTB_HELP),
    };
    return t;
}

XQRuntimeClass KRWRegelDetailsRuntimeClass() {
    return {"CdiaKRWRegelDetails",
            [](const std::vector<CString>& args, CWnd* parent) -> std::unique_ptr<CXQDialog> {
                if (args.size() != 1 || args[0].IsEmpty()) return nullptr;
                return std::make_unique<CdiaKRWRegelDetails>(args[0], parent);
            },
            {}};
}

CdiaKRWRegelDetails::CdiaKRWRegelDetails(CString regelId, CWnd* parent)
    : CdiaKRWStammView(IDD_KRWREGELDETAILS, CString(), parent), m_regelId(std::move(regelId)) {
    SetHelpName("diaKRWRegelDetails");
    DDX_Control(IDC_KRWD_LIST, m_listRegel);
    DDX_Control(IDC_KRWD_KURZ, m_labelKurz);
    DDX_Control(IDC_KRWD_AKTIV, m_checkAktiv);
    DDX_Control(IDC_KRWD_INAKTIV, m_checkInaktiv);
    DDX_Control(IDC_KRWD_KODIERUNG, m_checkKodierung);
    DDX_Control(IDC_KRWD_WAHL, m_checkWahl);
    DDX_Control(IDC_KRWD_ABR, m_checkAbr);
    m_listRegel.SetFixedPitch(true);

    m_checkAktiv.onClick = [this] { AktivChanged(); };
    m_checkInaktiv.onClick = [this] { InaktivChanged(); };
    m_checkKodierung.onClick = [this] { KodierungChanged(); };
    m_checkWahl.onClick = [this] { WahlChanged(); };
    m_checkAbr.onClick = [this] { AbrChanged(); };
}

bool CdiaKRWRegelDetails::OnInitDialog() {
    CXQDialog::OnInitDialog();
    LoadRegeln();
    SetWindowText("Kodierregel - " + m_regelId);
    ShowRegel();
    SetFocusTo(&m_listRegel);
    return true;
}

void CdiaKRWRegelDetails::ShowRegel() {
    std::vector<krline> zeilen;
    const auto it = m_regeln.find(m_regelId);
    if (it != m_regeln.end()) {
        const CMemKrw21& regel = it->second;
        m_checkInaktiv.SetCheck(regel.status == '0');
        m_checkAktiv.SetCheck(regel.status != '0');
        m_checkKodierung.SetCheck(HatCode(regel.echtzeitpruefung, "156"));
        m_checkWahl.SetCheck(HatCode(regel.echtzeitpruefung, "246"));
        m_checkAbr.SetCheck(HatCode(regel.echtzeitpruefung, "3456"));
        // A moment the file rules out stays out: a rule published for coding
        // cannot become merely selectable, nor the reverse.
        m_checkWahl.EnableWindow(regel.echtzeitpruefungDatei != '1');
        m_checkKodierung.EnableWindow(regel.echtzeitpruefungDatei != '2');
        m_checkAbr.EnableWindow(true);
        // Obligate rules cannot be switched off by the practice.
        m_checkAktiv.EnableWindow(regel.regelanwendung != '1');
        m_checkInaktiv.EnableWindow(regel.regelanwendung != '1');
        m_labelKurz.SetCaption(regel.kurzBeschreibung);

        for (const CString& teil : split(ZeigeKRWByKey(m_regelId), "\n")) {
            const CString t = Trim(teil);
            if (t.IsEmpty()) continue;
            for (const CString& stueck : cut(t, 120)) {
                const CString s = Trim(stueck);
                if (s.IsEmpty()) continue;
                zeilen.push_back({s, zeilen.empty() ? kKrwSchwarz : kKrwGrau});
            }
        }
    }
    m_listRegel.ResetContent();
    for (const krline& zeile : zeilen)
        m_listRegel.SetItemColor(m_listRegel.AddString(zeile.text), zeile.farbe);
}

void CdiaKRWRegelDetails::AktivChanged() {
    if (m_busy) return;
    m_busy = true;
    m_checkInaktiv.SetCheck(!m_checkAktiv.GetCheck());
    m_busy = false;
}

void CdiaKRWRegelDetails::InaktivChanged() {
    if (m_busy) return;
    m_busy = true;
    m_checkAktiv.SetCheck(!m_checkInaktiv.GetCheck());
    m_busy = false;
}

namespace {

// At least one moment of the real-time check stays on: the box just
// switched off comes back when it was the last.
void EinerBleibt(CXQLCheckX& box, const CXQLCheckX& a, const CXQLCheckX& b, bool& busy) {
    if (busy) return;
    busy = true;
    if (!box.GetCheck() && !a.GetCheck() && !b.GetCheck()) box.SetCheck(true);
    busy = false;
}

}  // namespace

void CdiaKRWRegelDetails::KodierungChanged() {
    EinerBleibt(m_checkKodierung, m_checkWahl, m_checkAbr, m_busy);
}

void CdiaKRWRegelDetails::WahlChanged() {
    EinerBleibt(m_checkWahl, m_checkKodierung, m_checkAbr, m_busy);
}

void CdiaKRWRegelDetails::AbrChanged() {
    EinerBleibt(m_checkAbr, m_checkKodierung, m_checkWahl, m_busy);
}

void CdiaKRWRegelDetails::OnSaveAndExit() {
    const auto it = m_regeln.find(m_regelId);
    // The view opens the dialog only for a rule of its list; without the
    // rule there is nothing to store a setting for.
    if (it == m_regeln.end()) {
        EndDialog(2);
        return;
    }
    const CMemKrw21& regel = it->second;
    const char status = m_checkAktiv.GetCheck() ? '1' : '0';
    const char code =
        EchtzeitCode(m_checkKodierung.GetCheck(), m_checkWahl.GetCheck(), m_checkAbr.GetCheck());
    if (!code) {
        HaltI("Fehler", "Pr\344fzeitpunkt ung\374ltig.");
        return;
    }
    if (regel.regelanwendung != '2' && status == '0') {
        HaltI("Fehler", "Nur fakultative Kodierregeln k\366nnen deaktiviert werden.");
        return;
    }

    // Look-up and write in one transaction: a second workstation storing the
    // same rule at once must not make both insert.
    CQParPool par(dbDatabase);
    CXQTransaction transaktion(dbDatabase);
    int ergebnis = transaktion.Status();
    if (ergebnis == XQ_OK) {
        par.Key1.Format("%*I64u", 3, 29ULL);
        par.Key2 = "k" + m_regelId;
        const bool vorhanden = par.GetByK1(XQ_MATCH_EQUAL) == XQ_OK;
        par.Value = CString(regel.regelanwendung) + status + code;
        ergebnis = vorhanden ? par.Rewrite("") : par.Write("");
    }
    if (ergebnis == XQ_OK) ergebnis = transaktion.Commit();
    if (ergebnis != XQ_OK) {
        // The choice stays in the dialog, so the user can try again.
        const CString grund = dbDatabase->LastError();
        transaktion.Rollback();
        HaltEReason(
            6, "Die Einstellung der Kodierregel " + m_regelId + " konnte nicht gespeichert werden.",
            grund);
        return;
    }
    EndDialog(1);
}
