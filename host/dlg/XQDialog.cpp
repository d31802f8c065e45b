#include "host/dlg/XQDialog.h"

#include <algorithm>

#include "host/base/HostContext.h"
#include "host/base/XQGuard.h"
#include "host/dlg/XQFrontEnd.h"

namespace {

std::vector<CXQDialog*>& Running() {
    static std::vector<CXQDialog*> running;
    return running;
}

// Takes the dialog off the running list however the front end returns.
struct RunningScope {
    explicit RunningScope(CXQDialog* dialog) : m_dialog(dialog) { Running().push_back(dialog); }
    ~RunningScope() {
        auto& running = Running();
        running.erase(std::remove(running.begin(), running.end(), m_dialog), running.end());
    }
    CXQDialog* m_dialog;
};

std::unique_ptr<CWnd> MakeControl(XQKind kind) {
    switch (kind) {
        case XQKind::Edit:
            return std::make_unique<CXQLEditX>();
        case XQKind::Combo:
            return std::make_unique<CXQLComboX>();
        case XQKind::Check:
            return std::make_unique<CXQLCheckX>();
        case XQKind::Memo:
            return std::make_unique<CXQLMemoX>();
        case XQKind::List:
            return std::make_unique<CXQListBoxX>();
        case XQKind::Tab:
            return std::make_unique<CXQTabX>();
        case XQKind::Caption:
            return std::make_unique<CXQLabelX>();
        case XQKind::Label:
            return std::make_unique<CXQLabelX>(XQKind::Label);
        case XQKind::Button:
            return std::make_unique<CXQButtonX>();
        case XQKind::Grid:
            return std::make_unique<CXQGridX>();
        case XQKind::Tree:
            return std::make_unique<CXQTreeX>();
        case XQKind::Frame:
            break;
    }
    return std::make_unique<CWnd>(XQKind::Frame);
}

void ApplyReadOnly(CWnd& control, const XQControlTemplate& tmpl) {
    if (!tmpl.readOnly) return;
    if (auto* edit = dynamic_cast<CXQLEditX*>(&control)) edit->SetReadOnly(true);
    if (auto* memo = dynamic_cast<CXQLMemoX*>(&control)) memo->SetReadOnly(true);
}

// Input controls take part in the saved-state tracking.
bool SavedState(CWnd& control, bool markSaved) {
    if (auto* edit = dynamic_cast<CXQLEditX*>(&control)) {
        if (markSaved) edit->SetSaved();
        return edit->IsChanged();
    }
    if (auto* memo = dynamic_cast<CXQLMemoX*>(&control)) {
        if (markSaved) memo->SetSaved();
        return memo->IsChanged();
    }
    if (auto* combo = dynamic_cast<CXQLComboX*>(&control)) {
        if (markSaved) combo->SetSaved();
        return combo->IsChanged();
    }
    if (auto* check = dynamic_cast<CXQLCheckX*>(&control)) {
        if (markSaved) check->SetSaved();
        return check->IsChanged();
    }
    return false;
}

bool IsInput(const CWnd& control) {
    return dynamic_cast<const CXQLEditX*>(&control) || dynamic_cast<const CXQLMemoX*>(&control) ||
           dynamic_cast<const CXQLComboX*>(&control) || dynamic_cast<const CXQLCheckX*>(&control);
}

bool IsEmptyInput(const CWnd& control) {
    if (auto* edit = dynamic_cast<const CXQLEditX*>(&control)) {
        CString text = edit->GetText();
        return text.Trim().IsEmpty();
    }
    if (auto* memo = dynamic_cast<const CXQLMemoX*>(&control)) {
        CString text = memo->GetText();
        return text.Trim().IsEmpty();
    }
    if (auto* combo = dynamic_cast<const CXQLComboX*>(&control)) {
        if (combo->GetCurSel() < 0) return true;
        CString text = combo->GetLBText(combo->GetCurSel());
        return text.Trim().IsEmpty();
    }
    return false;
}

}  // namespace

CXQDialog::CXQDialog(int templateNumber, CWnd* parent, bool flag)
    : CWnd(XQKind::Frame), m_templateNumber(templateNumber), m_flag(flag) {
    m_parent = parent;
    m_template = XQFindTemplate(templateNumber);
    if (m_template) {
        m_caption = m_template->caption;
        BuildToolbar();
    }
}

CXQDialog::~CXQDialog() {
    auto& running = Running();
    running.erase(std::remove(running.begin(), running.end(), this), running.end());
}

void CXQDialog::BuildToolbar() {
    if (m_toolbarBuilt || !m_template) return;
    m_toolbarBuilt = true;
    for (const XQToolbarTemplate& button : m_template->toolbar)
        m_toolbar.push_back({button.number, button.hint, button.enabled, button.visible});
}

const XQControlTemplate* CXQDialog::FindControlTemplate(int id) const {
    if (!m_template) return nullptr;
    for (const XQControlTemplate& tmpl : m_template->controls)
        if (tmpl.id == id) return &tmpl;
    return nullptr;
}

void CXQDialog::DDX_Control(int id, CWnd& control) {
    XQControlTemplate tmpl;
    if (const XQControlTemplate* found = FindControlTemplate(id)) {
        tmpl = *found;
    } else {
        tmpl.id = id;
        tmpl.kind = control.Kind();
    }
    control.Attach(this, tmpl);
    ApplyReadOnly(control, tmpl);
    m_bound[id] = &control;
    if (m_created) BuildTabOrder();
}

CWnd* CXQDialog::GetDlgItem(int id) const {
    auto it = m_bound.find(id);
    if (it != m_bound.end()) return it->second;
    for (const auto& owned : m_owned)
        if (owned->GetDlgCtrlID() == id) return owned.get();
    return nullptr;
}

bool CXQDialog::Create() {
    if (m_created) return true;
    if (!m_template) {
        // The resource module may have been made current after construction.
        m_template = XQFindTemplate(m_templateNumber);
        if (!m_template) return false;
        if (m_caption.IsEmpty()) m_caption = m_template->caption;
        for (auto& [id, control] : m_bound)
            if (const XQControlTemplate* tmpl = FindControlTemplate(id)) {
                control->Attach(this, *tmpl);
                ApplyReadOnly(*control, *tmpl);
            }
    }
    BuildToolbar();
    for (const XQControlTemplate& tmpl : m_template->controls) {
        if (m_bound.count(tmpl.id) || GetDlgItem(tmpl.id)) continue;
        std::unique_ptr<CWnd> control = MakeControl(tmpl.kind);
        control->Attach(this, tmpl);
        ApplyReadOnly(*control, tmpl);
        m_owned.push_back(std::move(control));
    }
    m_created = true;
    BuildTabOrder();
    return true;
}

void CXQDialog::BuildTabOrder() {
    m_tabOrder.clear();
    std::vector<std::pair<int, CWnd*>> ordered, plain;
    std::vector<CWnd*> seen;
    if (m_template)
        for (const XQControlTemplate& tmpl : m_template->controls) {
            CWnd* control = GetDlgItem(tmpl.id);
            if (!control || std::find(seen.begin(), seen.end(), control) != seen.end()) continue;
            seen.push_back(control);
            if (tmpl.tabOrder > 0)
                ordered.emplace_back(tmpl.tabOrder, control);
            else
                plain.emplace_back(0, control);
        }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& entry : ordered) m_tabOrder.push_back(entry.second);
    for (auto& entry : plain) m_tabOrder.push_back(entry.second);
    // Bound controls the template does not know come last, by id.
    for (auto& [id, control] : m_bound)
        if (std::find(m_tabOrder.begin(), m_tabOrder.end(), control) == m_tabOrder.end())
            m_tabOrder.push_back(control);
}

int CXQDialog::DoModal() {
    if (!Create()) return -1;
    m_ended = false;
    m_result = 0;
    // A dialog that fails while it sets up is not shown: -1, as for one that
    // could not be created.
    const int initialised =
        XQGuard("Dialog einrichten", -1, [&] { return OnInitDialog() ? 1 : 0; });
    if (initialised < 0) return -1;
    // A dialog that ends itself while it sets up returns its result at once.
    if (m_ended) return m_result;
    if (!initialised) return -1;
    {
        RunningScope scope(this);
        m_running = true;
        struct Stop {
            bool& running;
            ~Stop() { running = false; }
        } stop{m_running};
        XQFrontEnd().RunModal(*this);
    }
    if (!m_ended) EndDialog(2);
    return m_result;
}

void CXQDialog::EndDialog(int result) {
    m_ended = true;
    m_result = result;
    NotifyChanged();
}

void CXQDialog::SetWindowText(const CString& caption) {
    m_caption = caption;
    NotifyChanged();
}

void CXQDialog::SetFocusTo(CWnd* control) {
    if (control == m_focus) return;
    CWnd* old = m_focus;
    m_focus = control;
    if (old) {
        if (old->onKillFocus) old->onKillFocus();
        old->NotifyChanged();
    }
    if (control && m_focus == control) {
        if (control->onSetFocus) control->onSetFocus();
        control->NotifyChanged();
    }
}

bool CXQDialog::OnInitDialog() {
    if (!m_focus)
        for (CWnd* control : m_tabOrder)
            if (control->IsWindowEnabled() && control->IsWindowVisible() &&
                (IsInput(*control) || control->Kind() == XQKind::Grid ||
                 control->Kind() == XQKind::List || control->Kind() == XQKind::Tree)) {
                SetFocusTo(control);
                break;
            }
    return true;
}

void CXQDialog::OnExit() {
    EndDialog(2);
}

void CXQDialog::OnSaveAndExit() {
    EndDialog(1);
}

void CXQDialog::OnHelp() {
    XQFrontEnd().Open("help:" + (m_helpName.IsEmpty() ? CString("index") : m_helpName));
}

// ---------------------------------------------------------------- toolbar

CXQDialog::ToolbarButton* CXQDialog::FindButton(int number) {
    for (ToolbarButton& button : m_toolbar)
        if (button.number == number) return &button;
    return nullptr;
}

const CXQDialog::ToolbarButton* CXQDialog::FindButton(int number) const {
    for (const ToolbarButton& button : m_toolbar)
        if (button.number == number) return &button;
    return nullptr;
}

void CXQDialog::EnableToolbarButton(int number, bool enable) {
    if (ToolbarButton* button = FindButton(number)) {
        button->enabled = enable;
        NotifyChanged();
    }
}

bool CXQDialog::IsToolbarButtonEnabled(int number) const {
    const ToolbarButton* button = FindButton(number);
    return button && button->enabled;
}

void CXQDialog::ShowToolbarButton(int number, bool show) {
    if (ToolbarButton* button = FindButton(number)) {
        button->visible = show;
        NotifyChanged();
    }
}

bool CXQDialog::IsToolbarButtonVisible(int number) const {
    const ToolbarButton* button = FindButton(number);
    return button && button->visible;
}

bool CXQDialog::HasToolbarButton(int number) const {
    return FindButton(number) != nullptr;
}

void CXQDialog::ClickToolbarButton(int number) {
    if (const ToolbarButton* button = FindButton(number))
        if (!button->enabled || !button->visible) return;
    switch (number) {
        case XQTB_EXIT:
            return OnExit();
        case XQTB_NEW:
            return OnNeuanlage();
        case XQTB_EDIT:
            return OnBearbeiten();
        case XQTB_SAVE:
            return OnSave();
        case XQTB_ACCEPT:
            return OnSaveAndExit();
        case XQTB_COPY:
            return OnCopy();
        case XQTB_DELETE:
            return OnDelete();
        case XQTB_UNDO:
            return OnUndo();
        case XQTB_PREV:
            return OnPrev();
        case XQTB_NEXT:
            return OnNext();
        case XQTB_PRINT:
            return OnPrint();
        case XQTB_SEARCH:
            return OnSearch();
        case XQTB_CONFIG:
            return OnConfig();
        case XQTB_HELP:
            return OnHelp();
        default:
            return OnToolbarButton(number);
    }
}

void CXQDialog::PressKey(const XQKeyEvent& key, CWnd* control) {
    if (control && control->onKeyDown && control->onKeyDown(key)) return;
    switch (key.key) {
        case XQKey::Escape:
            return ClickToolbarButton(XQTB_EXIT);
        case XQKey::F1:
            return ClickToolbarButton(XQTB_HELP);
        case XQKey::F5:
            return ClickToolbarButton(XQTB_SEARCH);
        case XQKey::F6:
            return ClickToolbarButton(XQTB_CONFIG);
        case XQKey::Ctrl:
            if (key.ctrlLetter >= 'A' && key.ctrlLetter <= 'Z') OnCTRL(key.ctrlLetter);
            if (key.ctrlLetter >= 'a' && key.ctrlLetter <= 'z')
                OnCTRL(static_cast<char>(key.ctrlLetter - 'a' + 'A'));
            return;
        case XQKey::Return:
            if (auto* edit = dynamic_cast<CXQLEditX*>(control))
                if (edit->onReturn) edit->onReturn();
            return;
        default:
            return;
    }
}

void CXQDialog::OnCTRL(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    switch (letter) {
        case 'A':
            return OnCTRL_A();
        case 'B':
            return OnCTRL_B();
        case 'C':
            return OnCTRL_C();
        case 'D':
            return OnCTRL_D();
        case 'E':
            return OnCTRL_E();
        case 'F':
            return OnCTRL_F();
        case 'G':
            return OnCTRL_G();
        case 'H':
            return OnCTRL_H();
        case 'I':
            return OnCTRL_I();
        case 'J':
            return OnCTRL_J();
        case 'K':
            return OnCTRL_K();
        case 'L':
            return OnCTRL_L();
        case 'M':
            return OnCTRL_M();
        case 'N':
            return OnCTRL_N();
        case 'O':
            return OnCTRL_O();
        case 'P':
            return OnCTRL_P();
        case 'Q':
            return OnCTRL_Q();
        case 'R':
            return OnCTRL_R();
        case 'S':
            return OnCTRL_S();
        case 'T':
            return OnCTRL_T();
        case 'U':
            return OnCTRL_U();
        case 'V':
            return OnCTRL_V();
        case 'W':
            return OnCTRL_W();
        case 'X':
            return OnCTRL_X();
        case 'Y':
            return OnCTRL_Y();
        case 'Z':
            return OnCTRL_Z();
        default:
            return;
    }
}

// ---------------------------------------------------------------- record state

void CXQDialog::SetModus(int modus) {
    m_modus = modus;
    NotifyChanged();
}

int CXQDialog::CheckAllFields(int markSaved) {
    int changed = 0;
    for (CWnd* control : m_tabOrder)
        if (SavedState(*control, markSaved != 0)) ++changed;
    return markSaved ? 0 : changed;
}

std::vector<CWnd*> CXQDialog::ChangedFields() const {
    std::vector<CWnd*> changed;
    for (CWnd* control : m_tabOrder)
        if (SavedState(*control, false)) changed.push_back(control);
    return changed;
}

int CXQDialog::CheckMussFelder(CWnd** missing) {
    if (missing) *missing = nullptr;
    for (CWnd* control : m_tabOrder)
        if (control->Template().mandatory && control->IsWindowVisible() && IsEmptyInput(*control)) {
            if (missing) *missing = control;
            return XQMSG_MUSSFELD;
        }
    return 0;
}

// ---------------------------------------------------------------- timers

void CXQDialog::SetTimer(int id, int milliseconds) {
    const long long due = Q7HostMillis() + std::max(milliseconds, 0);
    for (Timer& timer : m_timers)
        if (timer.id == id) {
            timer.interval = milliseconds;
            timer.due = due;
            return;
        }
    m_timers.push_back({id, milliseconds, due});
}

void CXQDialog::KillTimer(int id) {
    m_timers.erase(std::remove_if(m_timers.begin(), m_timers.end(),
                                  [id](const Timer& timer) { return timer.id == id; }),
                   m_timers.end());
}

int CXQDialog::FireDueTimers(long long now) {
    // Like a window timer, a due timer fires once however long it waited.
    std::vector<int> due;
    for (const Timer& timer : m_timers)
        if (timer.due <= now) due.push_back(timer.id);
    int fired = 0;
    for (int id : due) {
        auto it = std::find_if(m_timers.begin(), m_timers.end(),
                               [id](const Timer& timer) { return timer.id == id; });
        // A handler before may have killed or restarted it.
        if (it == m_timers.end() || it->due > now) continue;
        it->due = now + std::max(it->interval, 1);
        ++fired;
        OnTimer(id);
        if (m_ended) break;
    }
    return fired;
}

const std::vector<CXQDialog*>& CXQDialog::RunningDialogs() {
    return Running();
}

XQToolbarTemplate XQStandardButton(int number) {
    switch (number) {
        case XQTB_EXIT:
            return {XQTB_EXIT, "ESC - Abbrechen"};
        case XQTB_ACCEPT:
            return {XQTB_ACCEPT, "\334bernehmen"};
        case XQTB_HELP:
            return {XQTB_HELP, "F1 - Hilfe"};
        default:
            return {number, CString()};
    }
}
