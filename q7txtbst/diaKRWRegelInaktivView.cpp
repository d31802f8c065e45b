#include "q7txtbst/diaKRWRegelInaktivView.h"

#include "host/base/Helpers.h"
#include "host/base/HostContext.h"
#include "host/db/XQDatabase.h"
#include "host/db/XQStatus.h"
#include "host/dlg/XQMessages.h"
#include "q7txtbst/Module.h"

namespace {

enum : int {
    IDC_KRWINAKTIV_LIST = 1001,
    IDC_KRWINAKTIV_BEVEL,
};

const char kTitel[] = "Kodierregelwerk";
// A free-text record of this kind switches a rule off for one patient and
// quarter.
const char kArtInaktiv[] = "!";
// Beyond this many records the list takes long enough to show its progress.
constexpr int kOhneFortschritt = 100;

// Field 4 of a switch record: always 0.
CString Feld4() {
    return FormatString("%*I64u", 3, 0ULL);
}

}  // namespace

XQDialogTemplate KRWRegelInaktivViewTemplate() {
    XQDialogTemplate t;
    t.number = IDD_KRWREGELVIEW;
    t.caption = "Kodierregelwerk-Inaktivierte Kodierregeln";
    t.width = 760;
    t.height = 460;
    XQAddControl(t, IDC_KRWINAKTIV_BEVEL, XQKind::Frame, "", 6, 6, 748, 448);
    XQAddControl(t, IDC_KRWINAKTIV_LIST, XQKind::List, CdiaKRWRegelView::kKopf, 12, 14, 736, 432);
    t.toolbar = {
        XQStandardButton(XQTB_EXIT),
        XQStandardButton(XQTB_ACCEPT),
        XQStandardButton(XQTB_HELP),
    };
    return t;
}

CdiaKRWRegelView::CdiaKRWRegelView(CWnd* /*parent*/)
    : CXQDialog(IDD_KRWREGELVIEW, nullptr), m_FreiText(dbDatabase), m_Pat(dbDatabaseRO) {
    SetHelpName("diaKRWRegelInaktivView");
    m_FreiText.SetKey(1, true);
    m_Pat.SetKey(1, true);
    m_Pat.SetReadOnly(true);
    m_Pat.SetForwardOnly(true);

    DDX_Control(IDC_KRWINAKTIV_LIST, m_list);
    m_list.SetFixedPitch(true);
    m_list.onCheckChange = [this](int index) {
        if (index < 0 || index >= static_cast<int>(m_Eintraege.size())) return;
        m_Eintraege[static_cast<size_t>(index)].angehakt = m_list.GetCheck(index);
    };
}

bool CdiaKRWRegelView::OnInitDialog() {
    CXQDialog::OnInitDialog();

    m_FreiText.ClearAll();
    m_FreiText.F2 = kArtInaktiv;
    const int gefunden = m_FreiText.GetByK1(XQ_MATCH_FIELDS);
    if (gefunden != XQ_OK) {
        if (gefunden != XQ_NOTFOUND)
            XQLog("Inaktivierte Kodierregeln",
                  "Freitexte nicht lesbar: " + dbDatabase->LastError());
        m_list.AddString("");
        m_list.AddString("Es gibt keine bestimmten Patienten zugeordnete inaktive Regeln.");
    } else {
        const long long anzahl = m_FreiText.AnzHits();
        const bool fortschritt = anzahl > kOhneFortschritt;
        if (fortschritt) Q7OpenProgressBox("Die Kodierregeln werden zusammengestellt...");
        for (long long k = 1;; ++k) {
            // Reading takes the box to 70; the rest is the dialog coming up.
            if (!fortschritt ||
                Q7UpdateProgressBox(static_cast<int>(k * 7000 / (anzahl * 100)), CString())) {
                m_Eintraege.push_back(
                    {false, m_FreiText.F1, m_FreiText.F3, m_FreiText.F7, m_FreiText.F5});
                const Eintrag& e = m_Eintraege.back();

                m_Pat.ClearAll();
                m_Pat.Nummer = e.patNr;
                if (m_Pat.GetByK1(XQ_MATCH_EQUAL) != XQ_OK) m_Pat.ClearAll();

                CString zeile = FormatString("%*I64u", 10,
                                             static_cast<unsigned long long>(CardToInt64(e.patNr)));
                zeile += "  ";
                zeile += TrimRight(m_Pat.Name) + ", " + TrimRight(m_Pat.Vorname);
                zeile = AddBlanks(zeile, 52).Left(52);
                zeile += " *";
                zeile += StrToExt(m_Pat.Geburtsdatum, 5, 10);
                zeile = AddBlanks(zeile, 66);
                zeile += "20" + e.quartal.Left(2);
                zeile += " Q" + e.quartal.Right(1);
                zeile += "   " + e.regelId;
                m_list.AddString(zeile);
            }
            const int weiter = m_FreiText.Next();
            if (weiter == XQ_READERR) {
                XQLog("Inaktivierte Kodierregeln", dbDatabase->LastError());
                HaltE("NXT-Fehler",
                      "Regelzugriff (Freitext) gescheitert, Liste der inaktiven Kodierregeln "
                      "unvollst\344ndig");
            }
            if (weiter != XQ_OK) break;
        }
        if (fortschritt) Q7CloseProgressBox();
    }

    m_list.SetLabel(kKopf);
    m_list.SetCheckable(!m_Eintraege.empty());
    m_list.SetFocus();
    return true;
}

void CdiaKRWRegelView::OnSaveAndExit() {
    for (const Eintrag& e : m_Eintraege) {
        if (!e.angehakt) continue;
        m_FreiText.ClearAll();
        m_FreiText.F1 = e.patNr;
        m_FreiText.F2 = kArtInaktiv;
        m_FreiText.F3 = e.quartal;
        m_FreiText.F4 = Feld4();
        m_FreiText.F5 = e.lfdNr;
        // Each rule on its own: one that fails stays switched off, the
        // others are switched on all the same.
        const int status = m_FreiText.GetByK1(XQ_MATCH_EQUAL);
        if (status == XQ_NOTFOUND) {
            HaltE(kTitel, "Die zu aktivierende Kodierregel " + e.regelId +
                              " kann in der Datenbank nicht gefunden werden!");
            continue;
        }
        bool fehler = status != XQ_OK;
        if (!fehler) {
            // A deletion moves on to the next hit: whether there is one, or
            // it can be read, is not this rule's concern.
            const int geloescht = m_FreiText.Delete();
            fehler = geloescht == XQ_LOCKED || geloescht == XQ_NODB;
        }
        if (fehler) {
            XQLog("Kodierregel aktivieren", e.regelId + ": " + dbDatabase->LastError());
            HaltE(kTitel, "Fehler beim aktivieren der Kodierregel " + e.regelId + "!");
        }
    }
    EndDialog(1);
}

void CdiaKRWRegelView::OnExit() {
    for (const Eintrag& e : m_Eintraege)
        if (e.angehakt) {
            if (SollIch(kTitel, "Sollen die angehakten Kodierregeln wieder aktiviert werden?") ==
                XQ_IDYES)
                OnSaveAndExit();
            break;
        }
    EndDialog(1);
}
