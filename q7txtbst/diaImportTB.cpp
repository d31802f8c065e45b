#include "q7txtbst/diaImportTB.h"

#include "host/db/XQDatabase.h"
#include "host/dlg/XQMessages.h"
#include "host/xml/XQSax.h"
#include "q7txtbst/Module.h"

namespace {

constexpr COLORREF kExists = XQRGB(255, 192, 192);

}  // namespace

XQDialogTemplate ImportTBTemplate() {
    return TbExchangeTemplate(IDD_IMPORTTB, "Textbausteine importieren", 640, true);
}

STbGroups CdiaImportTB::s_Groups;

CdiaImportTB::CdiaImportTB(CWnd* parent) : CTbExchangeDialog(IDD_IMPORTTB, s_Groups, parent) {
    SetHelpName("diaImportTB");
    DDX_Control(IDC_TBX_HEADER, m_header);
    m_list.SetTabStops({75, 400, 550});
}

CdiaImportTB::~CdiaImportTB() = default;

bool CdiaImportTB::OnInitDialog() {
    CXQDialog::OnInitDialog();
    if (!ChooseFile(false, m_path) || !ParseFile(m_path)) {
        EndDialog(0);
        return true;
    }
    m_header.SetCaption("K\xFCrzel\tBeschreibung\tGruppe\tUntergruppe");
    InitCombosAndList();
    return true;
}

bool CdiaImportTB::ParseFile(const CString& path) {
    m_map.clear();
    CTBImport handler(m_map);
    CXQSAXReader reader;
    reader.putContentHandler(&handler);
    reader.putFeature("schema-validation", true);
    reader.putFeature("exhaustive-errors", true);
    reader.putFeature("http://xml.org/sax/features/namespaces", true);
    reader.putFeature("http://xml.org/sax/features/namespace-prefixes", true);
    if (!reader.parseURL(path)) {
        HaltEReason(6, "Fehler beim Importieren der Datei!", reader.ErrorText());
        return false;
    }
    return true;
}

void CdiaImportTB::FillList(char group, char member) {
    CXQWaitCursor wait;
    CQTb tb(dbDatabaseRO);
    tb.SetReadOnly(true);
    for (const auto& [kuerzel, block] : m_map) {
        if (group != ' ' && block.tb.Gruppe != CString(group)) continue;
        if (member != ' ' && block.tb.Untergruppe != CString(member)) continue;
        int i = m_list.AddString(kuerzel + "\t" + block.tb.Beschreibung + "\t" +
                                 TbGroupName(m_groups, block.tb.Gruppe) + "\t" +
                                 TbMemberName(m_groups, block.tb.Gruppe, block.tb.Untergruppe));
        tb.ClearAll();
        tb.Kuerzel = kuerzel;
        if (tb.GetByK2(XQ_MATCH_EQUAL) == XQ_OK) m_list.SetItemColor(i, kExists);
    }
}

void CdiaImportTB::OnSaveAndExit() {
    if (!CheckTicked()) return;
    bool failed = false;
    int count = 0;
    {
        CXQWaitCursor wait;
        // One outer transaction saves a disk sync per block; each block is a
        // savepoint inside it, so a failing block is rolled back whole while
        // the other blocks stay stored, and a crash leaves every block as it
        // was.
        CXQTransaction all(dbDatabase);
        const bool begun = all.Status() == XQ_OK;
        failed = !begun;
        for (int i = 0; begun && i < m_list.GetCount(); ++i) {
            if (!m_list.GetCheck(i)) continue;
            auto it = m_map.find(m_list.GetText(i).SpanExcluding("\t"));
            if (it == m_map.end()) continue;
            if (StoreTbImportBlock(it->second) == XQ_OK)
                ++count;
            else
                failed = true;
        }
        if (begun && all.Commit() != XQ_OK) {
            failed = true;
            count = 0;
        }
    }
    if (failed) {
        HaltE(6, "Fehler beim Importieren!");
        return;
    }
    HaltI(6, FormatString("%d", count) + " Textbausteine importiert.");
    EndDialog(1);
}
