#include "q7txtbst/diaImportTB.h"

#include <algorithm>
#include <vector>

#include "host/db/XQDatabase.h"
#include "host/dlg/XQMessages.h"
#include "host/xml/XQSax.h"
#include "q7txtbst/Module.h"

namespace {

constexpr COLORREF kExists = XQRGB(255, 192, 192);

// Blocks stored per commit of an import.
constexpr size_t kBlocksPerCommit = 100;

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
        // The reader names the file only where it could not read it; what
        // is wrong inside needs the file too, to be found and mended.
        CString reason = reader.ErrorText();
        if (reason.Find(path) < 0) reason = path + ": " + reason;
        HaltEReason(6, "Fehler beim Importieren der Datei!", reason);
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
    std::vector<const STbImportBlock*> blocks;
    for (int i = 0; i < m_list.GetCount(); ++i) {
        if (!m_list.GetCheck(i)) continue;
        auto it = m_map.find(m_list.GetText(i).SpanExcluding("\t"));
        if (it != m_map.end()) blocks.push_back(&it->second);
    }
    const size_t total = blocks.size();
    size_t stored = 0;  // committed
    CString reason;
    {
        CXQWaitCursor wait;
        if (dbDatabase) dbDatabase->ClearError();
        const auto dbReason = [] { return dbDatabase ? dbDatabase->LastError() : CString(); };
        // The blocks are committed in batches, as a commit costs a disk
        // sync; a batch is stored whole or not at all, so its writes may go
        // to the database together. The first failure ends the import: the
        // batches before it are kept, none after it is stored.
        while (stored < total) {
            const size_t end = std::min(total, stored + kBlocksPerCommit);
            CXQTransaction batch(dbDatabase, XQWrites::Together);
            int status = batch.Status();
            for (size_t next = stored; status == XQ_OK && next < end; ++next)
                status = StoreTbImportBlock(*blocks[next]);
            if (status == XQ_OK) status = batch.Commit();
            if (status != XQ_OK) {
                reason = dbReason();
                break;
            }
            stored = end;
        }
    }
    if (stored < total) {
        const CString counted = FormatString("%d von %d Textbausteinen wurden importiert.",
                                             static_cast<int>(stored), static_cast<int>(total));
        HaltEReason(6, "Fehler beim Importieren!",
                    reason.IsEmpty() ? counted : reason + ". " + counted);
        return;
    }
    HaltI(6, FormatString("%d", static_cast<int>(stored)) + " Textbausteine importiert.");
    EndDialog(1);
}
