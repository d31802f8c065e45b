#include "host/dlg/XQFrontEnd.h"

#include "host/base/HostContext.h"
#include "host/dlg/XQDialog.h"

IXQFrontEnd::~IXQFrontEnd() = default;

namespace {

// Used while no front end is installed: nobody is there to answer, so every
// box is cancelled and every dialog is left with its exit command.
class SilentFrontEnd : public IXQFrontEnd {
  public:
    void RunModal(CXQDialog& dialog) override {
        dialog.OnExit();
        if (!dialog.IsEnded()) dialog.EndDialog(2);
    }
    int MessageBox(XQMsgKind, const CString&, const CString&,
                   const std::vector<CString>& buttons) override {
        return buttons.empty() ? 0 : static_cast<int>(buttons.size()) - 1;
    }
    bool ParamBox(const CString&, std::vector<XQParamField>&) override { return false; }
    bool FileDialog(bool, const CString&, const CString&, const CString&, CString&) override {
        return false;
    }
    void ProgressOpen(const CString&, int) override {}
    bool ProgressUpdate(int, const CString&) override { return true; }
    void ProgressClose() override {}
    void Open(const CString&) override {}
    void Print(const CString&) override {}
    void Beep() override {}
};

SilentFrontEnd& Silent() {
    static SilentFrontEnd silent;
    return silent;
}

IXQFrontEnd* g_frontEnd = nullptr;

}  // namespace

IXQFrontEnd& XQFrontEnd() {
    return g_frontEnd ? *g_frontEnd : Silent();
}

void XQSetFrontEnd(IXQFrontEnd* frontEnd) {
    g_frontEnd = frontEnd;
    // The host's beep sounds wherever the front end is.
    if (frontEnd)
        Q7SetBeepSink([] { XQFrontEnd().Beep(); });
    else
        Q7SetBeepSink(nullptr);
}
