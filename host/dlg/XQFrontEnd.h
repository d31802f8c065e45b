#pragma once
// The front end shows the dialog model and the host's boxes. Exactly one front
// end is installed at a time (text for scripts and tests, windows for people);
// the dialogs and the module never know which. Every text handed to a front
// end is Windows-1252; the front end converts at its own edge.
#include <vector>

#include "host/base/CString.h"

class CXQDialog;
class CWnd;

enum class XQMsgKind { Halt, HaltE, HaltI, SollIch, SollIchAbbruch, XQMsgBox, XQHalt, XQHaltE };

// One placeholder of a parameter box: its label and the value the user sees
// first (the default, or today for "Datum").
struct Q7HOST_API XQParamField {
    CString label;
    CString value;
};

class Q7HOST_API IXQFrontEnd {
  public:
    virtual ~IXQFrontEnd();

    // Shows the dialog until it is ended (the dialog's IsEnded()). The dialog
    // is created and initialised already; the front end delivers the user's
    // actions to it through the model's user calls.
    virtual void RunModal(CXQDialog& dialog) = 0;
    // A control's state changed (for a window front end to redraw).
    virtual void ControlChanged(CWnd& /*control*/) {}

    // Message box. buttons: the captions in order ("Ja", "Nein", ...).
    // Returns the index of the button chosen, from 0; a box closed without a
    // choice returns the last button's index.
    virtual int MessageBox(XQMsgKind kind, const CString& title, const CString& text,
                           const std::vector<CString>& buttons) = 0;
    // The same box with the reason behind a failure (details, Windows-1252):
    // a window offers it as the box's details, the text front end shows it
    // under the text. Without an override the plain box.
    virtual int MessageBoxWithDetails(XQMsgKind kind, const CString& title, const CString& text,
                                      const CString& /*details*/,
                                      const std::vector<CString>& buttons) {
        return MessageBox(kind, title, text, buttons);
    }
    // Returns false when the user cancelled; otherwise the values are filled.
    virtual bool ParamBox(const CString& caption, std::vector<XQParamField>& fields) = 0;
    // Returns false on cancel; otherwise path holds the chosen file.
    virtual bool FileDialog(bool save, const CString& title, const CString& filter,
                            const CString& defaultExtension, CString& path) = 0;

    virtual void ProgressOpen(const CString& text, int maximum) = 0;
    // Returns false when the user asked to cancel.
    virtual bool ProgressUpdate(int value, const CString& text) = 0;
    virtual void ProgressClose() = 0;

    virtual void Open(const CString& url) = 0;    // a page or file for the desktop
    virtual void Print(const CString& path) = 0;  // a printed document
    virtual void Beep() = 0;
    virtual void WaitCursor(bool /*on*/) {}
};

// Nobody there to answer: every box is cancelled (a message box answers with
// its last button, a progress box never cancels) and a dialog is run by
// calling its OnExit, then EndDialog(2) if it is still open. The front end
// used while none is installed, and the base of front ends that play only a
// part of the user (benchmarks, say).
class Q7HOST_API CXQSilentFrontEnd : public IXQFrontEnd {
  public:
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
};

// The installed front end; never null. Without one a CXQSilentFrontEnd
// answers. The caller keeps ownership. Installing a front end also routes Q7Beep to its
// Beep; XQSetFrontEnd(nullptr) makes the beep silent again.
Q7HOST_API IXQFrontEnd& XQFrontEnd();
Q7HOST_API void XQSetFrontEnd(IXQFrontEnd* frontEnd);
