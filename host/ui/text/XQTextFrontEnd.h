#pragma once
// The text front end: shows dialogs and boxes as lines of UTF-8 text and
// takes the user's actions from a script, one action a line (the host's
// command-line contract describes the lines). Without a script, or once the
// script has ended, every dialog is left with its exit command and every box
// is answered with cancel.
#include <functional>
#include <iosfwd>
#include <string>

#include "host/dlg/XQFrontEnd.h"

class Q7HOST_API CXQTextFrontEnd : public IXQFrontEnd {
  public:
    // script may be null (no script). Output goes to out. Neither is owned.
    CXQTextFrontEnd(std::istream* script, std::ostream& out);
    ~CXQTextFrontEnd() override;

    // Called when the script does not fit what the dialogs show (an action on
    // a control that does not exist, is hidden or disabled, a box that no
    // answer line answers, a line that is no action). The default writes the
    // reason to standard error and ends the process with exit status 3; tests
    // install a handler that throws. The handler must not return.
    void SetMisfitHandler(std::function<void(const std::string& reasonUtf8)> handler);

    // True once the script did not fit the dialogs; MisfitReason is then the
    // reason (UTF-8, without prefix).
    bool HasMisfit() const;
    const std::string& MisfitReason() const;

    // A person types the script line by line: a line that does not fit is
    // reported on standard error ("Passt nicht: ...") and skipped, and a box
    // asks again, instead of ending the run.
    void SetInteractive(bool interactive);

    // True when every script line has been read (or there is no script).
    bool ScriptEnded() const;
    // Called when the work the script drives is done: a line still left is an
    // action for no dialog, a misfit.
    void FinishScript();

    void RunModal(CXQDialog& dialog) override;
    int MessageBox(XQMsgKind kind, const CString& title, const CString& text,
                   const std::vector<CString>& buttons) override;
    bool ParamBox(const CString& caption, std::vector<XQParamField>& fields) override;
    bool FileDialog(bool save, const CString& title, const CString& filter,
                    const CString& defaultExtension, CString& path) override;
    void ProgressOpen(const CString& text, int maximum) override;
    bool ProgressUpdate(int value, const CString& text) override;
    void ProgressClose() override;
    void Open(const CString& url) override;
    void Print(const CString& path) override;
    void Beep() override;

    // Prints a dialog as the dump action does.
    void Dump(const CXQDialog& dialog);

  private:
    struct Impl;
    Impl* m_impl;
};
