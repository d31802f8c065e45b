#pragma once
// The text front end: shows dialogs and boxes as lines of UTF-8 text and
// takes the user's actions from a script, one action a line (the host's
// command-line contract describes the lines). Without a script, or once the
// script has ended, every dialog is left with its exit command and every box
// is answered with cancel.
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "host/dlg/XQFrontEnd.h"

class Q7HOST_API CXQTextFrontEnd : public IXQFrontEnd {
  public:
    // script may be null (no script). Output goes to out. Neither is owned.
    CXQTextFrontEnd(std::istream* script, std::ostream& out);
    ~CXQTextFrontEnd() override;
    CXQTextFrontEnd(const CXQTextFrontEnd&) = delete;
    CXQTextFrontEnd& operator=(const CXQTextFrontEnd&) = delete;

    // The script does not fit what the dialogs show (an action on a control
    // that does not exist, is hidden or disabled, a box that no answer line
    // answers, a line that is no action). The front end keeps the first such
    // misfit, reads no more lines and prints nothing more: every dialog still
    // running is left with its exit command and every box is cancelled, so
    // the work unwinds as if the user had broken it off. The caller then
    // reports the misfit; the reason (UTF-8) names the line:
    // "Zeile N (LINE): REASON".
    bool HasMisfit() const;
    const std::string& MisfitReason() const;
    // Tests take the misfit at once instead: the handler throws. When it
    // returns, the misfit is kept as above.
    void SetMisfitHandler(std::function<void(const std::string& reasonUtf8)> handler);

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
    int MessageBoxWithDetails(XQMsgKind kind, const CString& title, const CString& text,
                              const CString& details, const std::vector<CString>& buttons) override;
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
    std::unique_ptr<Impl> m_impl;
};
