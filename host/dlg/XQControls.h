#pragma once
// The dialog framework's model: windows and controls with their state and
// events, and no drawing. A front end (text or windows) shows the model and
// turns the user's actions into the calls below; a control tells the front
// end after every change (CWnd::NotifyChanged), so a window shows it at once.
//
// Programmatic setters behave as the practice system's controls do: setting
// an edit's text fires its change event (dialogs guard with their own
// initialising flags); selecting a combo item or ticking a box from code does
// not fire events. The User... calls are what a front end delivers for the
// user; they do nothing on a disabled or hidden control.
#include <functional>
#include <memory>
#include <vector>

#include "host/base/CStrings.h"
#include "host/dlg/XQResource.h"

class CXQDialog;

// A label as drawn: its mnemonic marks gone ("&&" stands for a plain "&").
Q7HOST_API CString XQStripMnemonic(const CString& label);

// Keys as the front ends deliver them.
enum class XQKey {
    Return,
    Escape,
    Backspace,
    Tab,
    Left,
    Right,
    Up,
    Down,
    PageUp,
    PageDown,
    Delete,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
    Ctrl
};

struct Q7HOST_API XQKeyEvent {
    XQKey key = XQKey::Return;
    char ctrlLetter = 0;  // 'A'..'Z' with XQKey::Ctrl
};

typedef unsigned int COLORREF;  // 0x00BBGGRR
inline constexpr COLORREF XQRGB(int r, int g, int b) {
    return static_cast<COLORREF>(r | (g << 8) | (b << 16));
}

class Q7HOST_API CWnd {
  public:
    explicit CWnd(XQKind kind) : m_kind(kind) {}
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    XQKind Kind() const { return m_kind; }
    int GetDlgCtrlID() const { return m_id; }
    CWnd* GetParent() const { return m_parent; }
    CXQDialog* GetDialog() const;  // the dialog this control lives in

    // Label as shown (with "&"); for buttons and check boxes their text.
    const CString& GetLabel() const { return m_label; }
    void SetLabel(const CString& label);
    const CString& GetHint() const { return m_hint; }
    void SetHint(const CString& hint);

    void EnableWindow(bool enable = true);
    bool IsWindowEnabled() const { return m_enabled; }
    void ShowWindow(bool show);
    bool IsWindowVisible() const { return m_visible; }
    void SetFocus();
    bool HasFocus() const;
    void Invalidate() { NotifyChanged(); }

    // Events every control can raise. A key handler returns true when it
    // swallowed the key.
    std::function<bool(const XQKeyEvent&)> onKeyDown;
    std::function<void()> onSetFocus;
    std::function<void()> onKillFocus;

    // Set up from a template control (called by the dialog when it binds):
    // id, parent, the template's label and hint when it has them; a template
    // that says disabled or hidden makes the control so, state set in code
    // before stays otherwise.
    void Attach(CWnd* parent, const XQControlTemplate& tmpl);
    const XQControlTemplate& Template() const { return m_template; }

    // Tells the front end that this control's state changed.
    void NotifyChanged();

  protected:
    XQKind m_kind;
    int m_id = 0;
    CWnd* m_parent = nullptr;
    CString m_label, m_hint;
    bool m_enabled = true;
    bool m_visible = true;
    XQControlTemplate m_template;
};

// Single-line edit. Positions count characters; the caret is the end of the
// selection.
class Q7HOST_API CXQLEditX : public CWnd {
  public:
    CXQLEditX() : CWnd(XQKind::Edit) {}
    CString GetText() const { return m_text; }
    void SetText(const CString& text);  // fires onChange
    void SetTextNoNotify(const CString& text);
    void GetSel(int& start, int& end) const;
    void SetSel(int start, int end);       // -1 for end means to the end
    void SetSelText(const CString& text);  // replaces the selection, fires onChange
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_readOnly; }
    void SetMaxLength(int max);  // 0: unlimited
    int GetMaxLength() const { return m_maxLength; }
    // The user types text over the whole field: cut to the maximum length,
    // caret to the end, onChange. Nothing happens in a read-only field.
    void UserType(const CString& text);
    // Saved-state tracking for CheckAllFields.
    void SetSaved() { m_saved = m_text; }
    bool IsChanged() const { return m_text != m_saved; }

    std::function<void()> onChange;
    std::function<void()> onReturn;  // Return pressed in the field

  protected:
    CString m_text, m_saved;
    int m_selStart = 0, m_selEnd = 0;
    bool m_readOnly = false;
    int m_maxLength = 0;
};
using CXQEditX = CXQLEditX;

class Q7HOST_API CXQLComboX : public CWnd {
  public:
    CXQLComboX() : CWnd(XQKind::Combo) {}
    int AddString(const CString& text);  // returns the index
    void ResetContent();
    int GetCount() const { return static_cast<int>(m_items.size()); }
    CString GetLBText(int index) const;
    int GetCurSel() const { return m_curSel; }  // -1: nothing selected
    int SetCurSel(int index);                   // no events; -1 clears; returns the index or -1
    void SetItemData(int index, long long data);
    long long GetItemData(int index) const;
    // The user's choice: selection, then onSelChange and onCloseUp.
    void UserSelect(int index);
    void SetSaved() { m_saved = m_curSel; }
    bool IsChanged() const { return m_curSel != m_saved; }

    std::function<void()> onSelChange;
    std::function<void()> onCloseUp;

  protected:
    std::vector<std::pair<CString, long long>> m_items;
    int m_curSel = -1, m_saved = -1;
};

class Q7HOST_API CXQLCheckX : public CWnd {
  public:
    CXQLCheckX() : CWnd(XQKind::Check) {}
    bool GetCheck() const { return m_checked; }
    void SetCheck(bool checked);  // no event
    void UserClick();             // toggles, then onClick
    void SetSaved() { m_saved = m_checked; }
    bool IsChanged() const { return m_checked != m_saved; }
    std::function<void()> onClick;

  protected:
    bool m_checked = false, m_saved = false;
};

// Multi-line memo. Its lines are a CStrings; the caret is a character
// position in the text with CR LF between lines.
class Q7HOST_API CXQLMemoX : public CWnd {
  public:
    CXQLMemoX();
    CStrings& GetLines() { return m_lines; }
    const CStrings& GetLines() const { return m_lines; }
    CString GetText() const;            // lines joined by CR LF
    void SetText(const CString& text);  // fires onChange; caret to the end
    void GetSel(int& start, int& end) const;
    void SetSel(int start, int end);       // -1 end: to the end of the text
    void SetSelText(const CString& text);  // replaces the selection, fires onChange
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_readOnly; }
    // The length the lines should keep to (0: any). Lines past it are kept
    // as they are: the owner shows them as too long and decides what to do.
    void SetMaxLineLength(int max);
    int GetMaxLineLength() const { return m_maxLineLength; }
    // The user types text over the whole memo: caret to the end, onChange.
    // Nothing happens in a read-only memo.
    void UserType(const CString& text);
    void SetSaved();
    bool IsChanged() const;
    std::function<void()> onChange;

  protected:
    CStrings m_lines;
    CString m_saved;
    int m_selStart = 0, m_selEnd = 0;
    bool m_readOnly = false;
    int m_maxLineLength = 0;
};
using CXQMemoX = CXQLMemoX;

// List box with tab-separated columns at absolute tab stops, optionally
// checkable lines and per-line colours.
class Q7HOST_API CXQListBoxX : public CWnd {
  public:
    CXQListBoxX() : CWnd(XQKind::List) {}
    int AddString(const CString& text);
    int InsertString(int index, const CString& text);
    void DeleteString(int index);
    void ResetContent();
    int GetCount() const { return static_cast<int>(m_items.size()); }
    CString GetText(int index) const;
    int GetCurSel() const { return m_curSel; }
    int SetCurSel(int index);  // no event
    void SetTabStops(const std::vector<int>& stops);
    const std::vector<int>& GetTabStops() const { return m_tabStops; }
    void SetCheckable(bool checkable);
    bool IsCheckable() const { return m_checkable; }
    bool GetCheck(int index) const;
    void SetCheck(int index, bool checked);  // no event
    void SetItemColor(int index, COLORREF color);
    COLORREF GetItemColor(int index) const;
    void SetItemData(int index, long long data);
    long long GetItemData(int index) const;
    void SetHorizontalExtent(int extent) { m_hExtent = extent; }
    void SetFixedPitch(bool fixed) { m_fixedPitch = fixed; }  // "Roboto Mono"
    bool IsFixedPitch() const { return m_fixedPitch; }
    // The user's actions.
    void UserSelect(int index);              // selection, then onSelChange
    void UserClick(int index);               // selection, then onClick
    void UserDblClick(int index);            // selection, then onDblClick
    void UserTick(int index, bool checked);  // tick, then onCheckChange(index)

    std::function<void()> onSelChange;
    // A click on a line (after the selection moved there, if it did).
    std::function<void()> onClick;
    std::function<void()> onDblClick;
    std::function<void(int)> onCheckChange;

  protected:
    struct Item {
        CString text;
        bool checked = false;
        COLORREF color = 0;
        long long data = 0;
    };
    std::vector<Item> m_items;
    std::vector<int> m_tabStops;
    int m_curSel = -1;
    bool m_checkable = false;
    bool m_fixedPitch = false;
    int m_hExtent = 0;
};

class Q7HOST_API CXQTabX : public CWnd {
  public:
    CXQTabX() : CWnd(XQKind::Tab) {}
    int AddTab(const CString& text);
    void DeleteAllTabs();
    int GetCount() const { return static_cast<int>(m_tabs.size()); }
    CString GetTabText(int index) const;
    int GetCurSel() const { return m_curSel; }
    int SetCurSel(int index);    // no event
    void UserSelect(int index);  // selection, then onSelChange
    std::function<void()> onSelChange;

  protected:
    std::vector<CString> m_tabs;
    int m_curSel = -1;
};

// Label bevel or label that shows data.
class Q7HOST_API CXQLabelX : public CWnd {
  public:
    // XQKind::Label for a static text the dialog owns for its template.
    explicit CXQLabelX(XQKind kind = XQKind::Caption) : CWnd(kind) {}
    CString GetCaption() const { return m_caption; }
    void SetCaption(const CString& caption);

  protected:
    CString m_caption;
};
using CXQLabelBevelX = CXQLabelX;

class Q7HOST_API CXQButtonX : public CWnd {
  public:
    CXQButtonX() : CWnd(XQKind::Button) {}
    void UserClick();  // onClick when enabled and visible
    std::function<void()> onClick;
};

// The grid holds no data: the dialog answers its requests from a record set.
// Its cursor is the line the record set stands on, at all times outside the
// dialog's own answers. The grid moves the record set only through requests:
//  - onWantLineDown / onWantLineUp: the dialog moves its record set one line
//    (Next / Prev) and, when that worked, calls LineDown / LineUp. A request
//    left unanswered leaves the cursor where it is; an unanswered request
//    down also ends the list there (the record set has no more lines).
//  - onSkipLines(delta): the dialog moves its record set by delta lines
//    (Jump(delta)); the grid takes it as done. Used for every move of more
//    than one line; without an onSkipLines handler the grid steps line by
//    line instead.
// Right after InitDown the cursor stands before the first line while the
// record set already stands on the first hit, so the first want-line-down is
// answered with LineDown alone (FirstDownPending() tells it until then).
// InitDown answers that at once: it fetches the first PageLines() lines,
// walking down through want-line-down, and returns to line 0 with
// onSkipLines(-(n - 1)); so when InitDown returns, cursor and record set
// stand on line 0.
// Fetching a line: the grid moves the cursor onto it, raises onFillLine
// (the dialog calls SetText for each column of its current record) and keeps
// the texts. Only the lines shown are fetched, at most a few hundred are
// kept (a far jump starts the kept range anew), so a list of 100,000 hits
// costs a page of fetches, not 100,000.
class Q7HOST_API CXQGridX : public CWnd {
  public:
    CXQGridX() : CWnd(XQKind::Grid) {}
    struct Column {
        CString title;
        int width = 50;
    };
    void SetColumns(const std::vector<Column>& columns);
    const std::vector<Column>& GetColumns() const { return m_columns; }

    void Clear();  // no lines; the record set is not touched
    // Starts a list of hits lines: fetches the first visible lines, puts the
    // cursor on line 0 and raises onLineChanged (nothing when hits is 0).
    void InitDown(int hits);
    int GetLineCount() const { return m_hits; }
    int GetCurLine() const { return m_cursor; }  // -1 when empty
    bool FirstDownPending() const { return m_firstDownPending; }
    // Called by the dialog in answer to a want-line request that succeeded.
    // Called at any other time, it tells that the dialog moved its record set
    // one line itself: the grid follows, fetches what becomes visible and
    // raises onLineChanged. At the end (or the start) of the list it does
    // nothing.
    void LineDown();
    void LineUp();
    // Moves the cursor (relative to the current line, or to an absolute
    // line), clamped to the lines; a move of one line goes through a
    // want-line request, a longer one through onSkipLines(delta). Then the
    // grid fetches what becomes visible and raises onLineChanged when the
    // line changed.
    void SeekLine(int line, bool relative);
    // Fills the line being fetched (called by the dialog from onFillLine);
    // outside onFillLine it rewrites the current line's kept text.
    void SetText(int column, const CString& text);

    // Geometry used for paging: whole lines that fit into the client height
    // (plus a horizontal scroll bar's height when there is one) divided by the
    // line height; at least 1.
    void SetGeometry(int clientHeight, int lineHeight, bool hasHScroll, int hScrollHeight);
    int PageLines() const;
    int ClientHeight() const { return m_clientHeight; }
    int LineHeight() const { return m_lineHeight; }
    bool HasHScroll() const { return m_hasHScroll; }
    int HScrollHeight() const { return m_hScrollHeight; }
    // First line of the visible page; the cursor is kept inside the page.
    int TopLine() const { return m_top; }

    // For the front ends: makes sure lines [first, first + count) are fetched
    // (the cursor and the record set come back to the current line) and
    // returns the texts fetched so far (line number -> columns; nullptr for
    // a line not kept).
    void FetchLines(int first, int count);
    const std::vector<CString>* FetchedLine(int line) const;
    int FirstFetched() const { return m_firstFetched; }
    int FetchedCount() const { return static_cast<int>(m_fetched.size()); }

    // The user's actions.
    void UserSelectLine(int line);  // SeekLine(line, false)
    void UserDblClick(int line);    // select (line -1: the current one), then onDblClick

    std::function<void()> onFillLine;
    std::function<void()> onWantLineDown;
    std::function<void()> onWantLineUp;
    std::function<void(int)> onSkipLines;
    std::function<void()> onLineChanged;
    std::function<void()> onDblClick;

  protected:
    void MoveCursorTo(int line);       // through the protocol, without onLineChanged
    void Fetch(int first, int count);  // fetches without coming back
    void ScrollToCursor();             // page around the cursor, fetched
    void EndAt(int lines);             // the list ends after that many lines
    std::vector<Column> m_columns;
    int m_hits = 0;
    int m_cursor = -1;
    int m_top = 0;
    bool m_firstDownPending = false;
    int m_busy = 0;        // > 0 while the grid waits for the dialog's answers
    int m_generation = 0;  // bumped by Clear: a running fetch stops
    std::vector<std::vector<CString>> m_fetched;  // lines m_firstFetched ...
    int m_firstFetched = 0;
    std::vector<CString>* m_filling = nullptr;
    int m_clientHeight = 320, m_lineHeight = 16;
    bool m_hasHScroll = false;
    int m_hScrollHeight = 16;
};

// Tree of items; an item is a handle (0 = none, root parent).
typedef long long HTREEITEM;
class Q7HOST_API CXQTreeX : public CWnd {
  public:
    CXQTreeX() : CWnd(XQKind::Tree) {}
    HTREEITEM InsertItem(const CString& text, HTREEITEM parent = 0, long long data = 0);
    void DeleteAllItems();
    void DeleteItem(HTREEITEM item);
    CString GetItemText(HTREEITEM item) const;
    void SetItemText(HTREEITEM item, const CString& text);
    long long GetItemData(HTREEITEM item) const;
    void SetItemData(HTREEITEM item, long long data);
    HTREEITEM GetParentItem(HTREEITEM item) const;
    HTREEITEM GetChildItem(HTREEITEM item) const;  // first child; 0 none
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const;
    HTREEITEM GetRootItem() const;  // first root item
    bool ItemHasChildren(HTREEITEM item) const;
    void Expand(HTREEITEM item, bool expand = true);
    bool IsExpanded(HTREEITEM item) const;
    HTREEITEM GetSelectedItem() const { return m_selected; }
    void SelectItem(HTREEITEM item);  // raises onSelChanged
    // Items in display order (depth-first, children of collapsed items left
    // out when visibleOnly), with their depth.
    std::vector<std::pair<HTREEITEM, int>> Items(bool visibleOnly) const;
    // The user's actions.
    void UserSelectLine(int line);  // line of Items(true)
    void UserDblClick(int line);

    std::function<void()> onSelChanged;
    std::function<void(HTREEITEM)> onItemExpanding;
    std::function<CString(HTREEITEM)> onInfoTip;
    std::function<void()> onDblClick;

  protected:
    struct Node {
        CString text;
        HTREEITEM parent = 0;
        std::vector<HTREEITEM> children;
        long long data = 0;
        bool expanded = false;
    };
    std::map<HTREEITEM, Node> m_nodes;
    std::vector<HTREEITEM> m_roots;
    HTREEITEM m_selected = 0;
    HTREEITEM m_nextHandle = 1;
};
