#include "host/dlg/XQControls.h"

#include <algorithm>

#include "host/dlg/XQDialog.h"
#include "host/dlg/XQFrontEnd.h"

CString XQStripMnemonic(const CString& label) {
    CString shown;
    for (int i = 0; i < label.GetLength(); ++i) {
        const char ch = label[i];
        if (ch == '&') {
            if (i + 1 < label.GetLength() && label[i + 1] == '&') {
                shown += '&';
                ++i;
            }
            continue;
        }
        shown += ch;
    }
    return shown;
}

namespace {

int Clamp(int value, int low, int high) {
    return std::max(low, std::min(value, high));
}

bool Usable(const CWnd& w) {
    return w.IsWindowEnabled() && w.IsWindowVisible();
}

// Lines kept by a grid before a far jump starts the kept range anew.
constexpr int kMaxKeptLines = 400;

}  // namespace

// ---------------------------------------------------------------- CWnd

CWnd::~CWnd() = default;

CXQDialog* CWnd::GetDialog() const {
    for (CWnd* w = m_parent; w; w = w->m_parent)
        if (auto* dialog = dynamic_cast<CXQDialog*>(w)) return dialog;
    return nullptr;
}

void CWnd::SetLabel(const CString& label) {
    m_label = label;
    NotifyChanged();
}

void CWnd::SetHint(const CString& hint) {
    m_hint = hint;
    NotifyChanged();
}

void CWnd::EnableWindow(bool enable) {
    if (m_enabled == enable) return;
    m_enabled = enable;
    NotifyChanged();
}

void CWnd::ShowWindow(bool show) {
    if (m_visible == show) return;
    m_visible = show;
    NotifyChanged();
}

void CWnd::SetFocus() {
    if (CXQDialog* dialog = GetDialog()) dialog->SetFocusTo(this);
}

bool CWnd::HasFocus() const {
    CXQDialog* dialog = GetDialog();
    return dialog && dialog->GetFocus() == this;
}

void CWnd::Attach(CWnd* parent, const XQControlTemplate& tmpl) {
    m_parent = parent;
    m_id = tmpl.id;
    m_template = tmpl;
    if (!tmpl.label.IsEmpty()) m_label = tmpl.label;
    if (!tmpl.hint.IsEmpty()) m_hint = tmpl.hint;
    if (!tmpl.enabled) m_enabled = false;
    if (!tmpl.visible) m_visible = false;
}

void CWnd::NotifyChanged() {
    XQFrontEnd().ControlChanged(*this);
}

// ---------------------------------------------------------------- edit

void CXQLEditX::SetText(const CString& text) {
    SetTextNoNotify(text);
    if (onChange) onChange();
}

void CXQLEditX::SetTextNoNotify(const CString& text) {
    m_text = text;
    m_selStart = m_selEnd = m_text.GetLength();
    NotifyChanged();
}

void CXQLEditX::UserType(const CString& text) {
    if (!Usable(*this) || m_readOnly) return;
    SetText(m_maxLength > 0 ? text.Left(m_maxLength) : text);
}

void CXQLEditX::GetSel(int& start, int& end) const {
    const int length = m_text.GetLength();
    start = Clamp(m_selStart, 0, length);
    end = Clamp(m_selEnd, 0, length);
}

void CXQLEditX::SetSel(int start, int end) {
    const int length = m_text.GetLength();
    m_selEnd = end < 0 ? length : Clamp(end, 0, length);
    m_selStart = start < 0 ? m_selEnd : Clamp(start, 0, length);
    NotifyChanged();
}

void CXQLEditX::SetSelText(const CString& text) {
    int start, end;
    GetSel(start, end);
    if (start > end) std::swap(start, end);
    CString insert = text;
    if (m_maxLength > 0) {
        const int room = m_maxLength - (m_text.GetLength() - (end - start));
        insert = insert.Left(std::max(room, 0));
    }
    m_text = m_text.Left(start) + insert + m_text.Mid(end);
    m_selStart = m_selEnd = start + insert.GetLength();
    NotifyChanged();
    if (onChange) onChange();
}

void CXQLEditX::SetReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    NotifyChanged();
}

void CXQLEditX::SetMaxLength(int max) {
    m_maxLength = std::max(max, 0);
}

// ---------------------------------------------------------------- combo

int CXQLComboX::AddString(const CString& text) {
    m_items.emplace_back(text, 0);
    NotifyChanged();
    return GetCount() - 1;
}

void CXQLComboX::ResetContent() {
    m_items.clear();
    m_curSel = -1;
    NotifyChanged();
}

CString CXQLComboX::GetLBText(int index) const {
    if (index < 0 || index >= GetCount()) return CString();
    return m_items[static_cast<size_t>(index)].first;
}

int CXQLComboX::SetCurSel(int index) {
    m_curSel = (index >= 0 && index < GetCount()) ? index : -1;
    NotifyChanged();
    return m_curSel;
}

void CXQLComboX::SetItemData(int index, long long data) {
    if (index >= 0 && index < GetCount()) m_items[static_cast<size_t>(index)].second = data;
}

long long CXQLComboX::GetItemData(int index) const {
    if (index < 0 || index >= GetCount()) return 0;
    return m_items[static_cast<size_t>(index)].second;
}

void CXQLComboX::UserSelect(int index) {
    if (!Usable(*this) || index < 0 || index >= GetCount()) return;
    SetCurSel(index);
    if (onSelChange) onSelChange();
    if (onCloseUp) onCloseUp();
}

// ---------------------------------------------------------------- check box

void CXQLCheckX::SetCheck(bool checked) {
    m_checked = checked;
    NotifyChanged();
}

void CXQLCheckX::UserClick() {
    if (!Usable(*this)) return;
    SetCheck(!m_checked);
    if (onClick) onClick();
}

// ---------------------------------------------------------------- memo

CXQLMemoX::CXQLMemoX() : CWnd(XQKind::Memo) {
    m_lines.SetOnChange([this] { NotifyChanged(); });
}

CString CXQLMemoX::GetText() const {
    return m_lines.Join("\r\n");
}

void CXQLMemoX::SetText(const CString& text) {
    m_lines.SetText(text);
    m_selStart = m_selEnd = GetText().GetLength();
    if (onChange) onChange();
}

void CXQLMemoX::UserType(const CString& text) {
    if (!Usable(*this) || m_readOnly) return;
    SetText(text);
}

void CXQLMemoX::GetSel(int& start, int& end) const {
    const int length = GetText().GetLength();
    start = Clamp(m_selStart, 0, length);
    end = Clamp(m_selEnd, 0, length);
}

void CXQLMemoX::SetSel(int start, int end) {
    const int length = GetText().GetLength();
    m_selEnd = end < 0 ? length : Clamp(end, 0, length);
    m_selStart = start < 0 ? m_selEnd : Clamp(start, 0, length);
    NotifyChanged();
}

void CXQLMemoX::SetSelText(const CString& text) {
    int start, end;
    GetSel(start, end);
    if (start > end) std::swap(start, end);
    const CString old = GetText();
    m_lines.SetText(old.Left(start) + text + old.Mid(end));
    // The caret follows the inserted text; a lone LF in it became CR LF.
    CStrings inserted;
    inserted.SetText(text);
    int insertedLength = inserted.Join("\r\n").GetLength();
    if (text.Right(1) == "\n" || text.Right(1) == "\r") insertedLength += 2;
    m_selStart = m_selEnd = Clamp(start + insertedLength, 0, GetText().GetLength());
    if (onChange) onChange();
}

void CXQLMemoX::SetReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    NotifyChanged();
}

void CXQLMemoX::SetMaxLineLength(int max) {
    m_maxLineLength = std::max(max, 0);
}

void CXQLMemoX::SetSaved() {
    m_saved = GetText();
}

bool CXQLMemoX::IsChanged() const {
    return GetText() != m_saved;
}

// ---------------------------------------------------------------- list box

int CXQListBoxX::AddString(const CString& text) {
    return InsertString(-1, text);
}

int CXQListBoxX::InsertString(int index, const CString& text) {
    if (index < 0 || index > GetCount()) index = GetCount();
    Item item;
    item.text = text;
    m_items.insert(m_items.begin() + index, item);
    if (m_curSel >= index) ++m_curSel;
    NotifyChanged();
    return index;
}

void CXQListBoxX::DeleteString(int index) {
    if (index < 0 || index >= GetCount()) return;
    m_items.erase(m_items.begin() + index);
    if (m_curSel == index)
        m_curSel = -1;
    else if (m_curSel > index)
        --m_curSel;
    NotifyChanged();
}

void CXQListBoxX::ResetContent() {
    m_items.clear();
    m_curSel = -1;
    NotifyChanged();
}

CString CXQListBoxX::GetText(int index) const {
    if (index < 0 || index >= GetCount()) return CString();
    return m_items[static_cast<size_t>(index)].text;
}

int CXQListBoxX::SetCurSel(int index) {
    m_curSel = (index >= 0 && index < GetCount()) ? index : -1;
    NotifyChanged();
    return m_curSel;
}

void CXQListBoxX::SetTabStops(const std::vector<int>& stops) {
    m_tabStops = stops;
    NotifyChanged();
}

void CXQListBoxX::SetCheckable(bool checkable) {
    m_checkable = checkable;
    NotifyChanged();
}

bool CXQListBoxX::GetCheck(int index) const {
    return index >= 0 && index < GetCount() && m_items[static_cast<size_t>(index)].checked;
}

void CXQListBoxX::SetCheck(int index, bool checked) {
    if (index < 0 || index >= GetCount()) return;
    m_items[static_cast<size_t>(index)].checked = checked;
    NotifyChanged();
}

void CXQListBoxX::SetItemColor(int index, COLORREF color) {
    if (index < 0 || index >= GetCount()) return;
    m_items[static_cast<size_t>(index)].color = color;
    NotifyChanged();
}

COLORREF CXQListBoxX::GetItemColor(int index) const {
    if (index < 0 || index >= GetCount()) return 0;
    return m_items[static_cast<size_t>(index)].color;
}

void CXQListBoxX::SetItemData(int index, long long data) {
    if (index >= 0 && index < GetCount()) m_items[static_cast<size_t>(index)].data = data;
}

long long CXQListBoxX::GetItemData(int index) const {
    if (index < 0 || index >= GetCount()) return 0;
    return m_items[static_cast<size_t>(index)].data;
}

void CXQListBoxX::UserSelect(int index) {
    if (!Usable(*this) || index < 0 || index >= GetCount()) return;
    SetCurSel(index);
    if (onSelChange) onSelChange();
}

void CXQListBoxX::UserClick(int index) {
    if (!Usable(*this)) return;
    if (index >= 0 && index < GetCount() && index != m_curSel) {
        SetCurSel(index);
        if (onSelChange) onSelChange();
    }
    if (m_curSel >= 0 && onClick) onClick();
}

void CXQListBoxX::UserDblClick(int index) {
    if (!Usable(*this)) return;
    if (index >= 0 && index < GetCount() && index != m_curSel) {
        SetCurSel(index);
        if (onSelChange) onSelChange();
    }
    if (m_curSel >= 0 && onDblClick) onDblClick();
}

void CXQListBoxX::UserTick(int index, bool checked) {
    if (!Usable(*this) || !m_checkable || index < 0 || index >= GetCount()) return;
    SetCheck(index, checked);
    if (onCheckChange) onCheckChange(index);
}

// ---------------------------------------------------------------- tab strip

int CXQTabX::AddTab(const CString& text) {
    m_tabs.push_back(text);
    if (m_curSel < 0) m_curSel = 0;  // the first tab is selected as it is added
    NotifyChanged();
    return GetCount() - 1;
}

void CXQTabX::DeleteAllTabs() {
    m_tabs.clear();
    m_curSel = -1;
    NotifyChanged();
}

CString CXQTabX::GetTabText(int index) const {
    if (index < 0 || index >= GetCount()) return CString();
    return m_tabs[static_cast<size_t>(index)];
}

int CXQTabX::SetCurSel(int index) {
    m_curSel = (index >= 0 && index < GetCount()) ? index : -1;
    NotifyChanged();
    return m_curSel;
}

void CXQTabX::UserSelect(int index) {
    if (!Usable(*this) || index < 0 || index >= GetCount()) return;
    SetCurSel(index);
    if (onSelChange) onSelChange();
}

// ---------------------------------------------------------------- label, button

void CXQLabelX::SetCaption(const CString& caption) {
    m_caption = caption;
    NotifyChanged();
}

void CXQButtonX::UserClick() {
    if (Usable(*this) && onClick) onClick();
}

// ---------------------------------------------------------------- grid

namespace {

// Counts the grid's waiting for answers; LineDown/LineUp inside are answers.
struct BusyScope {
    explicit BusyScope(int& busy) : m_busy(busy) { ++m_busy; }
    ~BusyScope() { --m_busy; }
    int& m_busy;
};

}  // namespace

void CXQGridX::SetColumns(const std::vector<Column>& columns) {
    m_columns = columns;
    NotifyChanged();
}

void CXQGridX::Clear() {
    ++m_generation;
    m_hits = 0;
    m_cursor = -1;
    m_top = 0;
    m_firstDownPending = false;
    m_fetched.clear();
    m_firstFetched = 0;
    m_filling = nullptr;
    NotifyChanged();
}

void CXQGridX::InitDown(int hits) {
    Clear();
    if (hits <= 0) return;
    const int generation = m_generation;
    m_hits = hits;
    m_firstDownPending = true;
    {
        BusyScope busy(m_busy);
        Fetch(0, PageLines());
        if (generation != m_generation) return;
        if (m_hits > 0) MoveCursorTo(0);
        if (generation != m_generation) return;
    }
    NotifyChanged();
    if (m_cursor == 0 && onLineChanged) onLineChanged();
}

void CXQGridX::EndAt(int lines) {
    m_hits = std::max(lines, 0);
    const int kept = std::max(std::min(m_hits - m_firstFetched, FetchedCount()), 0);
    m_fetched.resize(static_cast<size_t>(kept));
    if (m_fetched.empty()) m_firstFetched = 0;
    if (m_hits == 0) m_cursor = -1;
    m_top = Clamp(m_top, 0, std::max(m_hits - 1, 0));
}

void CXQGridX::MoveCursorTo(int line) {
    if (m_hits <= 0) return;
    line = Clamp(line, 0, m_hits - 1);
    const int generation = m_generation;
    BusyScope busy(m_busy);
    while (m_cursor != line && generation == m_generation) {
        const int delta = line - m_cursor;
        // Before the first line only the pending first step down is possible.
        if (m_cursor >= 0 && (delta > 1 || delta < -1) && onSkipLines) {
            m_firstDownPending = false;
            onSkipLines(delta);
            if (generation == m_generation) m_cursor = line;
            return;
        }
        const int before = m_cursor;
        if (delta > 0) {
            if (onWantLineDown)
                onWantLineDown();
            else
                LineDown();
        } else {
            if (onWantLineUp)
                onWantLineUp();
            else
                LineUp();
        }
        if (generation != m_generation) return;
        if (m_cursor == before) {
            // The record set has no line there: the list ends after the cursor.
            if (delta > 0) EndAt(m_cursor + 1);
            return;
        }
    }
}

void CXQGridX::LineDown() {
    if (m_hits <= 0 || m_cursor >= m_hits - 1) return;
    ++m_cursor;
    m_firstDownPending = false;
    if (m_busy > 0) return;
    const int generation = m_generation;
    ScrollToCursor();
    NotifyChanged();
    if (generation == m_generation && onLineChanged) onLineChanged();
}

void CXQGridX::LineUp() {
    if (m_hits <= 0 || m_cursor <= 0) return;
    --m_cursor;
    m_firstDownPending = false;
    if (m_busy > 0) return;
    const int generation = m_generation;
    ScrollToCursor();
    NotifyChanged();
    if (generation == m_generation && onLineChanged) onLineChanged();
}

void CXQGridX::SeekLine(int line, bool relative) {
    if (m_hits <= 0 || m_busy > 0) return;
    const int from = m_cursor;
    const int target = Clamp(relative ? std::max(m_cursor, 0) + line : line, 0, m_hits - 1);
    if (target == from) return;
    const int generation = m_generation;
    MoveCursorTo(target);
    if (generation != m_generation) return;
    ScrollToCursor();
    if (generation != m_generation) return;
    NotifyChanged();
    if (m_cursor != from && onLineChanged) onLineChanged();
}

void CXQGridX::ScrollToCursor() {
    if (m_cursor < 0) return;
    const int page = PageLines();
    if (m_cursor < m_top)
        m_top = m_cursor;
    else if (m_cursor >= m_top + page)
        m_top = m_cursor - page + 1;
    FetchLines(m_top, page);
}

void CXQGridX::FetchLines(int first, int count) {
    if (m_hits <= 0 || count <= 0) return;
    const int back = std::max(m_cursor, 0);
    const int generation = m_generation;
    BusyScope busy(m_busy);
    Fetch(first, count);
    if (generation == m_generation && m_hits > 0) MoveCursorTo(back);
}

void CXQGridX::Fetch(int first, int count) {
    first = std::max(first, 0);
    int end = std::min(m_hits, first + std::max(count, 0));
    if (first >= end) return;
    const int keptEnd = m_firstFetched + FetchedCount();
    const bool joins = !m_fetched.empty() && end >= m_firstFetched && first <= keptEnd &&
                       std::max(end, keptEnd) - std::min(first, m_firstFetched) <= kMaxKeptLines;
    if (!joins) {
        m_fetched.clear();
        m_firstFetched = first;
    }
    const int generation = m_generation;
    // Fills lines [from, to) into fresh; false when the fetch must stop.
    auto fill = [&](int from, int to, std::vector<std::vector<CString>>& fresh) {
        fresh.reserve(static_cast<size_t>(to - from));
        for (int line = from; line < to; ++line) {
            MoveCursorTo(line);
            if (generation != m_generation || m_cursor != line) return false;
            fresh.emplace_back(m_columns.size());
            m_filling = &fresh.back();
            if (onFillLine) onFillLine();
            m_filling = nullptr;
            if (generation != m_generation) return false;
        }
        return true;
    };
    if (m_fetched.empty()) {
        std::vector<std::vector<CString>> fresh;
        fill(first, end, fresh);
        if (generation != m_generation) return;
        m_fetched = std::move(fresh);
        m_firstFetched = first;
        return;
    }
    if (first < m_firstFetched) {
        std::vector<std::vector<CString>> fresh;
        const bool complete = fill(first, m_firstFetched, fresh);
        if (generation != m_generation) return;
        if (!complete) return;  // the list ended before the kept lines: nothing joins
        m_fetched.insert(m_fetched.begin(), fresh.begin(), fresh.end());
        m_firstFetched = first;
    }
    const int from = m_firstFetched + FetchedCount();
    end = std::min(end, m_hits);
    if (from < end) {
        std::vector<std::vector<CString>> fresh;
        fill(from, end, fresh);
        if (generation != m_generation) return;
        m_fetched.insert(m_fetched.end(), fresh.begin(), fresh.end());
        EndAt(m_hits);  // drops lines past an end found while fetching
    }
}

void CXQGridX::SetText(int column, const CString& text) {
    if (column < 0) return;
    std::vector<CString>* line = m_filling;
    if (!line) {
        if (m_cursor < m_firstFetched || m_cursor >= m_firstFetched + FetchedCount()) return;
        line = &m_fetched[static_cast<size_t>(m_cursor - m_firstFetched)];
    }
    if (static_cast<int>(line->size()) <= column) line->resize(static_cast<size_t>(column) + 1);
    (*line)[static_cast<size_t>(column)] = text;
    if (!m_filling) NotifyChanged();
}

void CXQGridX::SetGeometry(int clientHeight, int lineHeight, bool hasHScroll, int hScrollHeight) {
    m_clientHeight = clientHeight;
    m_lineHeight = lineHeight;
    m_hasHScroll = hasHScroll;
    m_hScrollHeight = hScrollHeight;
    NotifyChanged();
}

int CXQGridX::PageLines() const {
    if (m_lineHeight <= 0) return 1;
    const int height = m_clientHeight + (m_hasHScroll ? m_hScrollHeight : 0);
    return std::max(height / m_lineHeight, 1);
}

const std::vector<CString>* CXQGridX::FetchedLine(int line) const {
    if (line < m_firstFetched || line >= m_firstFetched + FetchedCount()) return nullptr;
    return &m_fetched[static_cast<size_t>(line - m_firstFetched)];
}

void CXQGridX::UserSelectLine(int line) {
    if (!Usable(*this)) return;
    SeekLine(line, false);
}

void CXQGridX::UserDblClick(int line) {
    if (!Usable(*this) || m_hits <= 0) return;
    if (line >= 0) SeekLine(line, false);
    if (m_cursor >= 0 && onDblClick) onDblClick();
}

// ---------------------------------------------------------------- tree

HTREEITEM CXQTreeX::InsertItem(const CString& text, HTREEITEM parent, long long data) {
    if (parent != 0 && !m_nodes.count(parent)) return 0;
    const HTREEITEM item = m_nextHandle++;
    Node node;
    node.text = text;
    node.parent = parent;
    node.data = data;
    m_nodes.emplace(item, node);
    if (parent)
        m_nodes[parent].children.push_back(item);
    else
        m_roots.push_back(item);
    NotifyChanged();
    return item;
}

void CXQTreeX::DeleteAllItems() {
    m_nodes.clear();
    m_roots.clear();
    m_selected = 0;
    NotifyChanged();
}

void CXQTreeX::DeleteItem(HTREEITEM item) {
    auto it = m_nodes.find(item);
    if (it == m_nodes.end()) return;
    std::vector<HTREEITEM>& siblings =
        it->second.parent ? m_nodes[it->second.parent].children : m_roots;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), item), siblings.end());
    std::vector<HTREEITEM> doomed{item};
    for (size_t i = 0; i < doomed.size(); ++i) {
        const Node& node = m_nodes[doomed[i]];
        doomed.insert(doomed.end(), node.children.begin(), node.children.end());
    }
    for (HTREEITEM gone : doomed) {
        if (gone == m_selected) m_selected = 0;
        m_nodes.erase(gone);
    }
    NotifyChanged();
}

CString CXQTreeX::GetItemText(HTREEITEM item) const {
    auto it = m_nodes.find(item);
    return it == m_nodes.end() ? CString() : it->second.text;
}

void CXQTreeX::SetItemText(HTREEITEM item, const CString& text) {
    auto it = m_nodes.find(item);
    if (it == m_nodes.end()) return;
    it->second.text = text;
    NotifyChanged();
}

long long CXQTreeX::GetItemData(HTREEITEM item) const {
    auto it = m_nodes.find(item);
    return it == m_nodes.end() ? 0 : it->second.data;
}

void CXQTreeX::SetItemData(HTREEITEM item, long long data) {
    auto it = m_nodes.find(item);
    if (it != m_nodes.end()) it->second.data = data;
}

HTREEITEM CXQTreeX::GetParentItem(HTREEITEM item) const {
    auto it = m_nodes.find(item);
    return it == m_nodes.end() ? 0 : it->second.parent;
}

HTREEITEM CXQTreeX::GetChildItem(HTREEITEM item) const {
    if (item == 0) return GetRootItem();
    auto it = m_nodes.find(item);
    if (it == m_nodes.end() || it->second.children.empty()) return 0;
    return it->second.children.front();
}

HTREEITEM CXQTreeX::GetNextSiblingItem(HTREEITEM item) const {
    auto it = m_nodes.find(item);
    if (it == m_nodes.end()) return 0;
    const std::vector<HTREEITEM>& siblings =
        it->second.parent ? m_nodes.at(it->second.parent).children : m_roots;
    auto pos = std::find(siblings.begin(), siblings.end(), item);
    if (pos == siblings.end() || pos + 1 == siblings.end()) return 0;
    return *(pos + 1);
}

HTREEITEM CXQTreeX::GetRootItem() const {
    return m_roots.empty() ? 0 : m_roots.front();
}

bool CXQTreeX::ItemHasChildren(HTREEITEM item) const {
    auto it = m_nodes.find(item);
    return it != m_nodes.end() && !it->second.children.empty();
}

void CXQTreeX::Expand(HTREEITEM item, bool expand) {
    auto it = m_nodes.find(item);
    if (it == m_nodes.end() || it->second.expanded == expand) return;
    // Lets the dialog fill the children before they show.
    if (expand && onItemExpanding) onItemExpanding(item);
    it = m_nodes.find(item);
    if (it == m_nodes.end()) return;
    it->second.expanded = expand;
    NotifyChanged();
}

bool CXQTreeX::IsExpanded(HTREEITEM item) const {
    auto it = m_nodes.find(item);
    return it != m_nodes.end() && it->second.expanded;
}

void CXQTreeX::SelectItem(HTREEITEM item) {
    if (item != 0 && !m_nodes.count(item)) return;
    if (item == m_selected) return;
    m_selected = item;
    NotifyChanged();
    if (onSelChanged) onSelChanged();
}

std::vector<std::pair<HTREEITEM, int>> CXQTreeX::Items(bool visibleOnly) const {
    std::vector<std::pair<HTREEITEM, int>> out;
    // Depth-first without recursion: a stack of (item, depth), children pushed reversed.
    std::vector<std::pair<HTREEITEM, int>> stack;
    for (auto it = m_roots.rbegin(); it != m_roots.rend(); ++it) stack.emplace_back(*it, 0);
    while (!stack.empty()) {
        auto [item, depth] = stack.back();
        stack.pop_back();
        out.emplace_back(item, depth);
        const Node& node = m_nodes.at(item);
        if (visibleOnly && !node.expanded) continue;
        for (auto it = node.children.rbegin(); it != node.children.rend(); ++it)
            stack.emplace_back(*it, depth + 1);
    }
    return out;
}

void CXQTreeX::UserSelectLine(int line) {
    if (!Usable(*this)) return;
    const auto items = Items(true);
    if (line < 0 || line >= static_cast<int>(items.size())) return;
    SelectItem(items[static_cast<size_t>(line)].first);
}

void CXQTreeX::UserDblClick(int line) {
    if (!Usable(*this)) return;
    if (line >= 0) UserSelectLine(line);
    if (m_selected && onDblClick) onDblClick();
}
