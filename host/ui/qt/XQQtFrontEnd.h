#pragma once
// The window front end: every dialog of the model as a real window of
// widgets, every box as a window box. This header stays free of Qt, so the
// host can choose the front end without seeing the toolkit; only the files
// of this folder include Qt.
//
// Texts: the model's Windows-1252 strings become QStrings here and nowhere
// else.
#include <string>

#include "host/dlg/XQFrontEnd.h"

class QWidget;

class CXQQtFrontEnd : public IXQFrontEnd {
  public:
    // Makes the application object when there is none yet (and owns it
    // then). Check CanShowWindows first: without a display the toolkit ends
    // the process.
    CXQQtFrontEnd();
    ~CXQQtFrontEnd() override;
    CXQQtFrontEnd(const CXQQtFrontEnd&) = delete;
    CXQQtFrontEnd& operator=(const CXQQtFrontEnd&) = delete;

    // True when windows can be shown: a display (DISPLAY or WAYLAND_DISPLAY)
    // or a platform chosen by QT_QPA_PLATFORM. Otherwise false with the
    // German reason (UTF-8).
    static bool CanShowWindows(std::string& reasonUtf8);

    void RunModal(CXQDialog& dialog) override;
    void ControlChanged(CWnd& control) override;
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
    void WaitCursor(bool on) override;

    // Model changes are shown once the event loop runs again (many changes
    // in one handler redraw once); Refresh shows them now.
    void Refresh();
    // The window of a running dialog; nullptr when it has none.
    QWidget* Window(const CXQDialog& dialog) const;

    struct Impl;  // the toolkit's side, in the source file

  private:
    Impl* m_impl;
};
