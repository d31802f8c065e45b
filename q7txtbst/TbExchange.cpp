#include "q7txtbst/TbExchange.h"

#include "host/dlg/XQMessages.h"

XQDialogTemplate TbExchangeTemplate(int number, const char* caption, int width, bool withHeader) {
    XQDialogTemplate t;
    t.number = number;
    t.caption = caption;
    t.width = width;
    t.height = 420;
    const int listWidth = width - 30;
    XQAddControl(t, IDC_TBX_GRUPPE, XQKind::Combo, "&Gruppe", 10, 10, 220, 20);
    XQAddControl(t, IDC_TBX_UNTERGRUPPE, XQKind::Combo, "&Untergruppe", 240, 10, 220, 20);
    if (withHeader) {
        XQAddControl(t, IDC_TBX_HEADER, XQKind::Caption, "Spalten", 10, 40, listWidth, 16);
        XQAddControl(t, IDC_TBX_LIST, XQKind::List, "Textbausteine", 10, 60, listWidth, 340);
    } else {
        XQAddControl(t, IDC_TBX_LIST, XQKind::List, "Textbausteine", 10, 40, listWidth, 360);
    }
    t.toolbar = {
        XQStandardButton(XQTB_EXIT),
        XQStandardButton(XQTB_ACCEPT),
        {kTbSelectAll, "Strg+S - Alle Textbausteine an- bzw. abw\xE4hlen."},
        XQStandardButton(XQTB_HELP),
    };
    return t;
}

CTbExchangeDialog::CTbExchangeDialog(int number, STbGroups& groups, CWnd* parent)
    : CXQDialog(number, parent), m_groups(groups) {
    DDX_Control(IDC_TBX_GRUPPE, m_comboGruppe);
    DDX_Control(IDC_TBX_UNTERGRUPPE, m_comboUntergruppe);
    DDX_Control(IDC_TBX_LIST, m_list);
    m_list.SetCheckable(true);
    m_comboGruppe.onCloseUp = [this] {
        FillMemberCombo(m_comboUntergruppe, m_groups, m_comboGruppe.GetCurSel());
        m_comboUntergruppe.SetCurSel(0);
        Refill();
    };
    m_comboUntergruppe.onCloseUp = [this] { Refill(); };
}

CTbExchangeDialog::~CTbExchangeDialog() = default;

bool CTbExchangeDialog::InitCombosAndList() {
    if (m_groups.empty() && !LoadTbGroups(m_groups, true)) {
        Halt(6, 10);
        EndDialog(0);
        return false;
    }
    FillGroupCombo(m_comboGruppe, m_groups);
    m_comboGruppe.SetCurSel(0);
    FillMemberCombo(m_comboUntergruppe, m_groups, 0);
    m_comboUntergruppe.SetCurSel(0);
    Refill();
    return true;
}

void CTbExchangeDialog::Refill() {
    char group = ' ', member = ' ';
    GetTbGroupAndMember(m_groups, m_comboGruppe, m_comboUntergruppe, group, member);
    m_list.ResetContent();
    FillList(group, member);
}

void CTbExchangeDialog::OnToolbarButton(int number) {
    if (number == kTbSelectAll) OnCTRL_S();
}

void CTbExchangeDialog::OnCTRL_S() {
    bool all = true;
    for (int i = 0; i < m_list.GetCount() && all; ++i) all = m_list.GetCheck(i);
    for (int i = 0; i < m_list.GetCount(); ++i) m_list.SetCheck(i, !all);
}

bool CTbExchangeDialog::CheckTicked() {
    for (int i = 0; i < m_list.GetCount(); ++i)
        if (m_list.GetCheck(i)) return true;
    Halt(6, "Bitte mindestens einen Textbaustein ankreuzen!");
    return false;
}

bool CTbExchangeDialog::ChooseFile(bool save, CString& path) {
    path = kTbExchangeFile;
    return XQFileDialog(save, GetCaption(), kTbExchangeFilter, kTbExchangeExtension, path);
}
