#include "host/ui/qt/XQQtEntry.h"

#include "host/base/XQGuard.h"
#include "host/ui/qt/XQQtFrontEnd.h"

bool XQQtCanShowWindows(std::string* reasonUtf8) {
    std::string reason;
    const bool can = CXQQtFrontEnd::CanShowWindows(reason);
    if (reasonUtf8) *reasonUtf8 = reason;
    return can;
}

IXQFrontEnd* XQQtCreateFrontEnd(std::string* reasonUtf8) {
    IXQFrontEnd* frontEnd =
        XQGuard("Fensteroberfl\344che starten", static_cast<IXQFrontEnd*>(nullptr),
                [] { return new CXQQtFrontEnd; });
    if (!frontEnd && reasonUtf8)
        *reasonUtf8 = "Die Fensteroberfläche konnte nicht gestartet werden.";
    return frontEnd;
}
