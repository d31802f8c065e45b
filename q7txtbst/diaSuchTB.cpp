#include "q7txtbst/diaSuchTB.h"

#include "host/dlg/XQMessages.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/SuchControls.h"
#include "q7txtbst/diatb.h"

namespace {

enum : int {
    IDC_CAPTION_FILTER = 1001,
    IDC_EDIT_KUERZEL,
    IDC_EDIT_BESCHREIBUNG,
    IDC_COMBO_GRUPPE,
    IDC_COMBO_UNTERGRUPPE,
    IDC_CHECK_TEILWORT,
    IDC_GRID,
    IDC_CAPTION_GRUPPE,
    IDC_CAPTION_UNTERGRUPPE,
    IDC_MEMO_TEXT,
};

// Results with which the dialog hands New and Edit back to an editor that
// opened it.
enum : int { kResultNew = 2, kResultEdit = 3 };

}  // namespace

XQDialogTemplate SuchTBTemplate() {
    XQDialogTemplate t;
    t.number = IDD_SUCHTB;
    t.caption = "Suchdialog Textbausteine";
    t.width = 600;
    t.height = 420;
    XQAddControl(t, IDC_CAPTION_FILTER, XQKind::Caption, "Auswahl", 10, 6, 580, 16);
    XQAddControl(t, IDC_EDIT_KUERZEL, XQKind::Edit, "&K\xFCrzel", 10, 28, 140, 20,
                 "Anfang des K\xFCrzels (mit Teilwort: ein Teil davon)");
    XQAddControl(t, IDC_EDIT_BESCHREIBUNG, XQKind::Edit, "&Beschreibung", 160, 28, 250, 20,
                 "Ein Teil der Beschreibung");
    XQAddControl(t, IDC_COMBO_GRUPPE, XQKind::Combo, "&Gruppe", 10, 56, 200, 20,
                 "R\xFC"
                 "cktaste: alle Gruppen");
    XQAddControl(t, IDC_COMBO_UNTERGRUPPE, XQKind::Combo, "&Untergruppe", 220, 56, 190, 20,
                 "R\xFC"
                 "cktaste: alle Untergruppen");
    XQAddControl(t, IDC_CHECK_TEILWORT, XQKind::Check, "&Teilwort", 420, 56, 100, 20,
                 "K\xFCrzel an beliebiger Stelle suchen");
    XQAddControl(t, IDC_GRID, XQKind::Grid, "Textbausteine", 10, 84, 400, 320);
    XQAddControl(t, IDC_CAPTION_GRUPPE, XQKind::Caption, "Gruppe:", 420, 84, 170, 20);
    XQAddControl(t, IDC_CAPTION_UNTERGRUPPE, XQKind::Caption, "Untergruppe:", 420, 108, 170, 20);
    XQAddControl(t, IDC_MEMO_TEXT, XQKind::Memo, "Text", 420, 132, 170, 272).readOnly = true;
    t.toolbar = {
        XQStandardButton(XQTB_EXIT), XQStandardButton(XQTB_ACCEPT), {XQTB_NEW, "Neu"},
        {XQTB_EDIT, "Bearbeiten"},   {XQTB_PRINT, "Drucken"},       XQStandardButton(XQTB_HELP),
    };
    return t;
}

XQRuntimeClass SuchTBRuntimeClass() {
    return {"CdiaSuchTB",
            [](const std::vector<CString>& args, CWnd* parent) -> std::unique_ptr<CXQDialog> {
                if (!args.empty()) return nullptr;
                return std::make_unique<CdiaSuchTB>(parent);
            }};
}

STbGroups CdiaSuchTB::s_Groups;

CdiaSuchTB::CdiaSuchTB(CWnd* parent)
    : CXQSuchDialog(IDD_SUCHTB, parent), m_Tb(dbDatabaseRO), m_TbEntry(dbDatabaseRO) {
    m_Tb.SetReadOnly(true);
    m_Tb.SetKey(2, true);
    m_TbEntry.SetReadOnly(true);
    m_TbEntry.SetKey(1, true);
    SetHelpName("diaSuchTB");

    DDX_Control(IDC_CAPTION_FILTER, m_captionFilter);
    DDX_Control(IDC_EDIT_KUERZEL, m_editKuerzel);
    DDX_Control(IDC_EDIT_BESCHREIBUNG, m_editBeschreibung);
    DDX_Control(IDC_COMBO_GRUPPE, m_comboGruppe);
    DDX_Control(IDC_COMBO_UNTERGRUPPE, m_comboUntergruppe);
    DDX_Control(IDC_CHECK_TEILWORT, m_checkTeilwort);
    DDX_Control(IDC_GRID, m_grid);
    DDX_Control(IDC_CAPTION_GRUPPE, m_captionGruppe);
    DDX_Control(IDC_CAPTION_UNTERGRUPPE, m_captionUntergruppe);
    DDX_Control(IDC_MEMO_TEXT, m_memoText);

    m_grid.SetColumns({{"K\xFCrzel", 69}, {"Beschreibung", 256}});
    m_memoText.SetReadOnly(true);

    m_editKuerzel.onChange = [this] { OnOnChangeFilter(); };
    m_editBeschreibung.onChange = [this] { OnOnChangeFilter(); };
    m_checkTeilwort.onClick = [this] { OnOnChangeFilter(); };
    m_comboGruppe.onCloseUp = [this] { OnOnCloseUpGruppe(); };
    m_comboUntergruppe.onCloseUp = [this] { OnOnCloseUpUntergruppe(); };
    m_comboGruppe.onKeyDown = [this](const XQKeyEvent& k) { return OnOnKeyDownGruppe(k); };
    m_comboUntergruppe.onKeyDown = [this](const XQKeyEvent& k) {
        return OnOnKeyDownUntergruppe(k);
    };
    m_grid.onFillLine = [this] {
        m_grid.SetText(0, m_Tb.Kuerzel);
        m_grid.SetText(1, m_Tb.Beschreibung);
    };
    BindSuchGrid(m_grid, m_Tb, m_freshSearch);
    m_grid.onLineChanged = [this] { ShowCurrent(); };
    m_grid.onDblClick = [this] { OnOnDblClickGrid(); };
}

CdiaSuchTB::~CdiaSuchTB() = default;

void CdiaSuchTB::ReadRecordsToCString(const CString& kuerzel, const CString& separator,
                                      CString& result) {
    ReadTbLines(m_TbEntry, kuerzel, separator, result);
}

bool CdiaSuchTB::OnInitDialog() {
    CXQSuchDialog::OnInitDialog();
    m_grammarAddendum = m_Tb.Gruppe;
    m_initialising = true;

    // Asking for one key proves both tables readable (asking for all records
    // would cost as much as the practice is large); it moves the record, so
    // the caller's presets are put back afterwards.
    const CQTb_Fields preset = m_Tb.GetFields();
    if (m_Tb.GetByK2(XQ_MATCH_EQUAL) == XQ_NODB || m_TbEntry.GetByK1(XQ_MATCH_EQUAL) == XQ_NODB) {
        Halt(6, 10);
        EndDialog(0);
        return true;
    }
    m_Tb.SetFields(preset);
    m_captionFilter.SetCaption(m_strCaption);

    if (s_Groups.empty() && !LoadTbGroups(s_Groups, true)) {
        Halt(6, 10);
        EndDialog(0);
        return true;
    }
    FillGroupCombo(m_comboGruppe, s_Groups);
    m_editKuerzel.SetText(preset.Kuerzel);
    m_editBeschreibung.SetText(CString());
    SelectGroup(FirstLetter(preset.Gruppe), FirstLetter(preset.Untergruppe));

    RestartGrid();
    m_initialising = false;
    return true;
}

void CdiaSuchTB::SelectGroup(char group, char member) {
    int g = FindTbGroup(s_Groups, group);
    m_comboGruppe.SetCurSel(g);
    FillMemberCombo(m_comboUntergruppe, s_Groups, g);
    if (g >= 0)
        m_comboUntergruppe.SetCurSel(FindTbMember(s_Groups[static_cast<size_t>(g)], member));
}

void CdiaSuchTB::RestartGrid() {
    m_Tb.ClearAll();
    m_Tb.SetKey(2, true);
    m_Tb.Kuerzel = m_editKuerzel.GetText();
    m_Tb.Beschreibung = m_editBeschreibung.GetText();
    // A blank letter (all) or no selection leaves the field empty.
    const int g = m_comboGruppe.GetCurSel();
    if (g >= 0 && g < static_cast<int>(s_Groups.size())) {
        const STbGroup& group = s_Groups[static_cast<size_t>(g)];
        if (group.letter != ' ') m_Tb.Gruppe = CString(group.letter);
        const int m = m_comboUntergruppe.GetCurSel();
        if (m >= 0 && m < static_cast<int>(group.members.size()) &&
            group.members[static_cast<size_t>(m)].letter != ' ')
            m_Tb.Untergruppe = CString(group.members[static_cast<size_t>(m)].letter);
    }
    const bool hits =
        m_Tb.GetByKuerzel(m_checkTeilwort.GetCheck() ? XQ_MATCH_FIELDS : XQ_MATCH_KUERZEL) == XQ_OK;
    m_freshSearch = hits;

    EnableToolbarButton(XQTB_ACCEPT, hits);
    EnableToolbarButton(XQTB_EDIT, hits);
    if (m_initialising && hits) SetFocusTo(&m_grid);

    m_memoText.SetText(CString());
    m_captionGruppe.SetCaption(CString());
    m_captionUntergruppe.SetCaption(CString());
    m_grid.Clear();
    m_grid.InitDown(hits ? m_Tb.AnzHits() : 0);
}

void CdiaSuchTB::ShowCurrent() {
    m_captionGruppe.SetCaption(TbGroupName(s_Groups, m_Tb.Gruppe));
    m_captionUntergruppe.SetCaption(TbMemberName(s_Groups, m_Tb.Gruppe, m_Tb.Untergruppe));
    CString text;
    ReadRecordsToCString(m_Tb.Kuerzel, "\r\n", text);
    m_memoText.SetText(text);
}

void CdiaSuchTB::OnOnChangeFilter() {
    if (m_initialising) return;
    RestartGrid();
}

void CdiaSuchTB::OnOnCloseUpGruppe() {
    if (m_initialising) return;
    int g = m_comboGruppe.GetCurSel();
    char letter = g >= 0 && g < static_cast<int>(s_Groups.size())
                      ? s_Groups[static_cast<size_t>(g)].letter
                      : ' ';
    SelectGroup(letter, ' ');
    RestartGrid();
}

void CdiaSuchTB::OnOnCloseUpUntergruppe() {
    if (m_initialising) return;
    RestartGrid();
}

bool CdiaSuchTB::OnOnKeyDownGruppe(const XQKeyEvent& key) {
    if (key.key != XQKey::Backspace || m_initialising) return false;
    SelectGroup(' ', ' ');
    RestartGrid();
    return true;
}

bool CdiaSuchTB::OnOnKeyDownUntergruppe(const XQKeyEvent& key) {
    if (key.key != XQKey::Backspace || m_initialising) return false;
    int g = m_comboGruppe.GetCurSel();
    if (g >= 0 && g < static_cast<int>(s_Groups.size()))
        m_comboUntergruppe.SetCurSel(FindTbMember(s_Groups[static_cast<size_t>(g)], ' '));
    RestartGrid();
    return true;
}

void CdiaSuchTB::OnOnDblClickGrid() {
    if (IsToolbarButtonEnabled(XQTB_ACCEPT)) OnSaveAndExit();
}

void CdiaSuchTB::OnNeuanlage() {
    OpenEditor(true);
}

void CdiaSuchTB::OnBearbeiten() {
    OpenEditor(false);
}

void CdiaSuchTB::OpenEditor(bool neu) {
    // An editor that opened this dialog carries the command out itself.
    if (dynamic_cast<CdiaTB*>(GetParent())) {
        EndDialog(neu ? kResultNew : kResultEdit);
        return;
    }
    CdiaTB editor(neu, this);
    if (!neu) editor.m_Tb.SetFields(m_Tb.GetFields());
    editor.DoModal();

    // Show what the editor ended on.
    m_editKuerzel.SetTextNoNotify(editor.m_Tb.Kuerzel);
    m_editBeschreibung.SetTextNoNotify(editor.m_Tb.Beschreibung);
    SelectGroup(FirstLetter(editor.m_Tb.Gruppe), FirstLetter(editor.m_Tb.Untergruppe));
    RestartGrid();
}

void CdiaSuchTB::OnPrint() {
    char group = ' ', member = ' ';
    GetTbGroupAndMember(s_Groups, m_comboGruppe, m_comboUntergruppe, group, member);
    CdiaTB::DoPrint(this, m_TbEntry, false, m_editKuerzel.GetText(), m_editBeschreibung.GetText(),
                    group == ' ' ? CString() : CString(group),
                    member == ' ' ? CString() : CString(member), m_checkTeilwort.GetCheck());
}

template <class Match>
void CdiaSuchTB::MoveToHit(int from, bool wrap, Match matches) {
    const int hits = m_Tb.AnzHits();
    const int current = m_Tb.CurrentIndex();
    if (hits <= 0 || current < 0) return;
    int found = -1;
    for (int i = from; i < hits && found < 0; ++i)
        if (m_Tb.SeekIndex(i) == XQ_OK && matches(m_Tb.Kuerzel)) found = i;
    for (int i = 0; wrap && i < from && found < 0; ++i)
        if (m_Tb.SeekIndex(i) == XQ_OK && matches(m_Tb.Kuerzel)) found = i;
    // Back to the line the record set stood on; the grid's move then takes
    // it along to the found line.
    m_Tb.SeekIndex(current);
    if (found >= 0) m_grid.SeekLine(found, false);
}

void CdiaSuchTB::SprachkommandoVerarbeiten(const char* command, int /*number*/) {
    const CString text = command ? command : "";
    if (text.GetLength() < 2 || text[1] != ':') return;
    const CString arg = text.Mid(2);
    if (text[0] == 'T') {
        MoveToHit(0, false, [&arg](const CString& k) { return k == arg; });
    } else if (text[0] == 'C' && arg.GetLength() >= 1 && arg[0] == 'G') {
        const CString prefix = arg.Mid(1);
        MoveToHit(m_grid.GetCurLine() < 0 ? 0 : m_grid.GetCurLine(), true,
                  [&prefix](const CString& k) {
                      return k.Left(prefix.GetLength()).CompareNoCase(prefix.GetString()) == 0;
                  });
    } else if (text[0] == 'C' && arg.GetLength() == 2 && (arg[1] == '0' || arg[1] == '1')) {
        const int direction = arg[1] == '1' ? 1 : -1;
        if (arg[0] == 'S')
            m_grid.SeekLine(direction * m_grid.PageLines(), true);
        else if (arg[0] == 'Z')
            m_grid.SeekLine(direction, true);
    }
}
