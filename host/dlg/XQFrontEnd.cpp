#include "host/dlg/XQFrontEnd.h"

#include "host/base/HostContext.h"
#include "host/dlg/XQDialog.h"

IXQFrontEnd::~IXQFrontEnd() = default;

void CXQSilentFrontEnd::RunModal(CXQDialog& dialog) {
    dialog.OnExit();
    if (!dialog.IsEnded()) dialog.EndDialog(2);
}
int CXQSilentFrontEnd::MessageBox(XQMsgKind, const CString&, const CString&,
                                  const std::vector<CString>& buttons) {
    return buttons.empty() ? 0 : static_cast<int>(buttons.size()) - 1;
}
bool CXQSilentFrontEnd::ParamBox(const CString&, std::vector<XQParamField>&) {
    return false;
}
bool CXQSilentFrontEnd::FileDialog(bool, const CString&, const CString&, const CString&, CString&) {
    return false;
}
void CXQSilentFrontEnd::ProgressOpen(const CString&, int) {}
bool CXQSilentFrontEnd::ProgressUpdate(int, const CString&) {
    return true;
}
void CXQSilentFrontEnd::ProgressClose() {}
void CXQSilentFrontEnd::Open(const CString&) {}
void CXQSilentFrontEnd::Print(const CString&) {}
void CXQSilentFrontEnd::Beep() {}

namespace {

CXQSilentFrontEnd& Silent() {
    static CXQSilentFrontEnd silent;
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
