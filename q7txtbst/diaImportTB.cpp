#include "q7txtbst/diaImportTB.h"

#include "host/dlg/XQMessages.h"
#include "host/xml/XQSax.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/TbExchange.h"

namespace {

constexpr COLORREF kExists = XQRGB(255, 192, 192);

}  // namespace

XQDialogTemplate ImportTBTemplate() {
    return TbExchangeTemplate(IDD_IMPORTTB, "Textbausteine importieren", 640, true);
}

STbGroups CdiaImportTB::s_Groups;

CdiaImportTB::CdiaImportTB(CWnd* parent) : CXQDialog(IDD_IMPORTTB, parent) {
    SetHelpName("diaImportTB");
    DDX_Control(IDC_TBX_GRUPPE, m_comboGruppe);
    DDX_Control(IDC_TBX_UNTERGRUPPE, m_comboUntergruppe);
    DDX_Control(IDC_TBX_HEADER, m_header);
    DDX_Control(IDC_TBX_LIST, m_list);
    m_list.SetCheckable(true);
    m_list.SetTabStops({75, 400, 550});
    m_comboGruppe.onCloseUp = [this] { OnOnCloseUpGruppe(); };
    m_comboUntergruppe.onCloseUp = [this] { OnOnCloseUpUntergruppe(); };
}

CdiaImportTB::~CdiaImportTB() = default;

bool CdiaImportTB::OnInitDialog() {
    CXQDialog::OnInitDialog();
    m_path = kTbExchangeFile;
    if (!XQFileDialog(false, "Textbausteine importieren", kTbExchangeFilter, kTbExchangeExtension,
                      m_path)) {
        EndDialog(0);
        return true;
    }
    if (!ParseFile(m_path)) {
        EndDialog(0);
        return true;
    }
    if (s_Groups.empty() && !LoadTbGroups(s_Groups, true)) {
        Halt(6, 10);
        EndDialog(0);
        return true;
    }
    m_header.SetCaption("K\xFCrzel\tBeschreibung\tGruppe\tUntergruppe");
    FillGroupCombo(m_comboGruppe, s_Groups);
    m_comboGruppe.SetCurSel(0);
    FillMemberCombo(m_comboUntergruppe, s_Groups, 0);
    m_comboUntergruppe.SetCurSel(0);
    FillList();
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
        HaltE(6, "Fehler beim Importieren der Datei!");
        return false;
    }
    return true;
}

void CdiaImportTB::OnOnCloseUpGruppe() {
    FillMemberCombo(m_comboUntergruppe, s_Groups, m_comboGruppe.GetCurSel());
    m_comboUntergruppe.SetCurSel(0);
    FillList();
}

void CdiaImportTB::OnOnCloseUpUntergruppe() {
    FillList();
}

void CdiaImportTB::FillList() {
    CXQWaitCursor wait;
    char group = ' ', member = ' ';
    GetTbGroupAndMember(s_Groups, m_comboGruppe, m_comboUntergruppe, group, member);
    m_list.ResetContent();
    CQTb tb(dbDatabaseRO);
    tb.SetReadOnly(true);
    for (const auto& [kuerzel, block] : m_map) {
        if (group != ' ' && block.tb.Gruppe != CString(group)) continue;
        if (member != ' ' && block.tb.Untergruppe != CString(member)) continue;
        int i = m_list.AddString(kuerzel + "\t" + block.tb.Beschreibung + "\t" +
                                 TbGroupName(s_Groups, block.tb.Gruppe) + "\t" +
                                 TbMemberName(s_Groups, block.tb.Gruppe, block.tb.Untergruppe));
        tb.ClearAll();
        tb.Kuerzel = kuerzel;
        if (tb.GetByK2(XQ_MATCH_EQUAL) == XQ_OK) m_list.SetItemColor(i, kExists);
    }
}

void CdiaImportTB::OnToolbarButton(int number) {
    if (number == kTbSelectAll) OnCTRL_S();
}

void CdiaImportTB::OnCTRL_S() {
    ToggleAllTicks(m_list);
}

void CdiaImportTB::OnSaveAndExit() {
    if (!AnyTicked(m_list)) {
        Halt(6, "Bitte mindestens einen Textbaustein ankreuzen!");
        return;
    }
    bool failed = false;
    int count = 0;
    {
        CXQWaitCursor wait;
        CQTb tb(dbDatabaseRO);
        CQTbEntry lines(dbDatabase);
        lines.SetKey(1, true);
        // One outer transaction saves a disk sync per block; each block is a
        // savepoint inside it, so a failing block is rolled back whole while
        // the blocks before it stay stored, and a crash leaves every block
        // as it was.
        const bool outer = dbDatabase->Begin() == XQ_OK;
        if (!outer) failed = true;
        for (int i = 0; i < m_list.GetCount(); ++i) {
            if (!outer || !m_list.GetCheck(i)) continue;
            const CString kuerzel = m_list.GetText(i).SpanExcluding("\t");
            auto it = m_map.find(kuerzel);
            if (it == m_map.end()) continue;
            const STbImportBlock& block = it->second;

            // Record and lines together: the block is either kept as it was
            // or replaced whole.
            if (dbDatabase->Begin() != XQ_OK) {
                failed = true;
                continue;
            }
            bool ok = true;
            tb.ClearAll();
            tb.Kuerzel = kuerzel;
            const bool exists = tb.GetByK2(XQ_MATCH_EQUAL) == XQ_OK;
            CQTb_Fields fields = tb.GetFields();
            fields.Kuerzel = block.tb.Kuerzel;
            fields.Gruppe = block.tb.Gruppe;
            fields.Untergruppe = block.tb.Untergruppe;
            fields.Beschreibung = block.tb.Beschreibung;
            tb.SetFields(fields);
            if ((exists ? tb.Rewrite() : tb.Write()) != XQ_OK) ok = false;
            if (ok) {
                lines.ClearAll();
                lines.KYKUERZEL = kuerzel;
                if (lines.DeleteAll() != XQ_OK) ok = false;
                for (const CQTbEntry_Fields& line : block.lines) {
                    if (!ok) break;
                    lines.ClearAll();
                    lines.SetFields(line);
                    lines.KYKUERZEL = kuerzel;
                    if (lines.Write() != XQ_OK) ok = false;
                }
            }
            if (ok && dbDatabase->Commit() == XQ_OK) {
                ++count;
            } else {
                dbDatabase->Rollback();
                failed = true;
            }
        }
        if (outer && dbDatabase->Commit() != XQ_OK) {
            dbDatabase->Rollback();
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
