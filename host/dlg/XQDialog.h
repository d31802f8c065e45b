#pragma once
// Dialog base of the framework. A dialog is built on the stack with its
// template number and parent, binds its member controls to the template's
// control ids, and runs modally through the current front end. The run
// returns the code the dialog was ended with (1 accept, 2 cancel, or the
// dialog's own codes), or -1 when the dialog could not be created (no
// template of that number in the resource chain, or OnInitDialog returned
// false or threw). A dialog that ends itself in OnInitDialog returns its
// result without being shown.
#include <map>
#include <memory>
#include <vector>

#include "host/dlg/XQControls.h"

// Standard toolbar buttons, shared by every dialog.
enum : int {
    XQTB_EXIT = 10001,
    XQTB_NEW = 10002,
    XQTB_EDIT = 10003,
    XQTB_SAVE = 10004,
    XQTB_ACCEPT = 10005,
    XQTB_COPY = 10006,
    XQTB_DELETE = 10007,
    XQTB_UNDO = 10008,
    XQTB_PREV = 10009,
    XQTB_NEXT = 10010,
    XQTB_PRINT = 10011,
    XQTB_SEARCH = 10015,
    XQTB_CONFIG = 10016,
    XQTB_HELP = 10025,
};

// The exit, accept and help buttons as every dialog shows them: their hints
// "ESC - Abbrechen", "\334bernehmen", "F1 - Hilfe". Another number gets no hint.
Q7HOST_API XQToolbarTemplate XQStandardButton(int number);

// Message of group 6 that CheckMussFelder reports for an empty mandatory field.
enum : int { XQMSG_MUSSFELD = 9000 };

// Record display modes kept by the base (SetModus).
enum : int {
    MODUS_LEER = 0,
    MODUS_GEAENDERT = 1,
    MODUS_NEU = 2,
    MODUS_GESPEICHERT = 4,
    MODUS_ANZEIGE = 5
};

class Q7HOST_API CXQDialog : public CWnd {
  public:
    CXQDialog(int templateNumber, CWnd* parent, bool flag = false);
    ~CXQDialog() override;

    // Runs the dialog modally; see the file comment for the result. After
    // OnInitDialog it is listed in RunningDialogs while the front end's
    // RunModal shows it; a front end that returns without ending it ends it
    // with 2.
    virtual int DoModal();
    void EndDialog(int result);
    bool IsEnded() const { return m_ended; }
    int GetResult() const { return m_result; }
    bool IsRunning() const { return m_running; }

    const CString& GetCaption() const { return m_caption; }
    void SetWindowText(const CString& caption);
    int TemplateNumber() const { return m_templateNumber; }
    const CString& GetHelpName() const { return m_helpName; }
    void SetHelpName(const CString& name) { m_helpName = name; }

    // Binds a member control to the template's control of that id; called in
    // the dialog's constructor. Controls of the template that no member binds
    // are created and owned by the dialog when it is created in DoModal
    // (reach them with GetDlgItem). An id the template lacks still binds.
    void DDX_Control(int id, CWnd& control);
    CWnd* GetDlgItem(int id) const;
    // All controls in tab order: template controls with a tabOrder above 0
    // by that number, then those with 0 in the order of the table, then
    // bound controls the template lacks, by id.
    const std::vector<CWnd*>& Controls() const { return m_tabOrder; }
    CWnd* GetFocus() const { return m_focus; }
    void SetFocusTo(CWnd* control);  // raises onKillFocus / onSetFocus

    // Toolbar buttons by number.
    void EnableToolbarButton(int number, bool enable);
    bool IsToolbarButtonEnabled(int number) const;
    void ShowToolbarButton(int number, bool show);
    bool IsToolbarButtonVisible(int number) const;
    bool HasToolbarButton(int number) const;
    struct ToolbarButton {
        int number = 0;
        CString hint;
        bool enabled = true;
        bool visible = true;
    };
    const std::vector<ToolbarButton>& ToolbarButtons() const { return m_toolbar; }
    // A toolbar button or its key: dispatches to the command slots below
    // (10001 OnExit, 10002 OnNeuanlage, 10003 OnBearbeiten, 10004 OnSave,
    // 10005 OnSaveAndExit, 10006 OnCopy, 10007 OnDelete, 10008 OnUndo,
    // 10009 OnPrev, 10010 OnNext, 10011 OnPrint, 10015 OnSearch,
    // 10016 OnConfig, 10025 OnHelp; other numbers OnToolbarButton). Does
    // nothing for a disabled or hidden button; a number the toolbar lacks
    // still runs its command (keys work without a button).
    void ClickToolbarButton(int number);
    // A key pressed in the dialog (control = the focused one): the control's
    // onKeyDown first; then Escape, F1, F5, F6 as their toolbar buttons,
    // Ctrl+letter as OnCTRL_<letter>, Return in an edit as its onReturn.
    // (F6 is settings, 10016.)
    void PressKey(const XQKeyEvent& key, CWnd* control);

    // Command slots.
    // Default: focus on the first enabled, visible input control, grid,
    // list or tree in tab order; returns true.
    virtual bool OnInitDialog();
    virtual void OnExit();         // default: EndDialog(2)
    virtual void OnSaveAndExit();  // default: EndDialog(1)
    virtual void OnSave() {}
    virtual void OnNeuanlage() {}
    virtual void OnBearbeiten() {}
    virtual void OnCopy() {}
    virtual void OnDelete() {}
    virtual void OnUndo() {}
    virtual void OnNext() {}
    virtual void OnPrev() {}
    virtual void OnPrint() {}
    virtual void OnSearch() {}
    virtual void OnConfig() {}
    // Opens "help:<help name>" ("help:index" without one) through the front
    // end's Open.
    virtual void OnHelp();
    virtual void OnToolbarButton(int /*number*/) {}
    virtual void OnCTRL(char letter);  // dispatches to OnCTRL_A ... OnCTRL_Z
    virtual void OnCTRL_A() {}
    virtual void OnCTRL_B() {}
    virtual void OnCTRL_C() {}
    virtual void OnCTRL_D() {}
    virtual void OnCTRL_E() {}
    virtual void OnCTRL_F() {}
    virtual void OnCTRL_G() {}
    virtual void OnCTRL_H() {}
    virtual void OnCTRL_I() {}
    virtual void OnCTRL_J() {}
    virtual void OnCTRL_K() {}
    virtual void OnCTRL_L() {}
    virtual void OnCTRL_M() {}
    virtual void OnCTRL_N() {}
    virtual void OnCTRL_O() {}
    virtual void OnCTRL_P() {}
    virtual void OnCTRL_Q() {}
    virtual void OnCTRL_R() {}
    virtual void OnCTRL_S() {}
    virtual void OnCTRL_T() {}
    virtual void OnCTRL_U() {}
    virtual void OnCTRL_V() {}
    virtual void OnCTRL_W() {}
    virtual void OnCTRL_X() {}
    virtual void OnCTRL_Y() {}
    virtual void OnCTRL_Z() {}

    // Record mode and saved-state tracking.
    virtual void SetModus(int modus);
    int GetModus() const { return m_modus; }
    // Input controls: edits, memos, combos and check boxes.
    // CheckAllFields(1) marks every input control saved and returns 0;
    // CheckAllFields(0) returns the number of input controls changed since.
    virtual int CheckAllFields(int markSaved);
    std::vector<CWnd*> ChangedFields() const;
    // 0 when every visible mandatory field (template flag) is filled; else
    // XQMSG_MUSSFELD (of message group 6) and *missing the first empty field
    // in tab order. Blank text and a combo without selection count as empty.
    virtual int CheckMussFelder(CWnd** missing = nullptr);

    // Window timers on the host clock (fired by the front end).
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);
    virtual void OnTimer(int /*id*/) {}
    // Fires every timer due at host time now, each once however long it
    // waited (due again interval ms after now); returns how many fired.
    int FireDueTimers(long long now);
    bool HasTimers() const { return !m_timers.empty(); }

    // Speech hooks.
    virtual void SprachkommandoVerarbeiten(const char* /*command*/, int /*number*/) {}
    virtual CString XqMic_GetGrammarAddendum() { return CString(); }

    bool GetFlag() const { return m_flag; }

    // Dialogs currently running modally, the topmost last.
    static const std::vector<CXQDialog*>& RunningDialogs();

  protected:
    bool Create();  // template lookup and control binding; false: -1
    void BuildToolbar();
    void BuildTabOrder();
    const XQControlTemplate* FindControlTemplate(int id) const;
    ToolbarButton* FindButton(int number);
    const ToolbarButton* FindButton(int number) const;

    int m_templateNumber;
    bool m_flag;
    CString m_caption, m_helpName;
    const XQDialogTemplate* m_template = nullptr;
    std::map<int, CWnd*> m_bound;
    std::vector<std::unique_ptr<CWnd>> m_owned;
    std::vector<CWnd*> m_tabOrder;
    CWnd* m_focus = nullptr;
    std::vector<ToolbarButton> m_toolbar;
    int m_modus = MODUS_LEER;
    bool m_ended = false, m_running = false;
    bool m_created = false, m_toolbarBuilt = false;
    int m_result = 0;
    struct Timer {
        int id;
        int interval;
        long long due;
    };
    std::vector<Timer> m_timers;
};

// Search dialogs share the base; the grid protocol lives in the controls.
class Q7HOST_API CXQSuchDialog : public CXQDialog {
  public:
    using CXQDialog::CXQDialog;
};
