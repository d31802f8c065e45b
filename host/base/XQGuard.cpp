#include "host/base/XQGuard.h"

#include <cstdio>

#include "host/base/Cp1252.h"

void XQLog(const char* where, const CString& reason) {
    // stdio, not iostreams; and the log itself must not throw while memory is
    // short, so the raw bytes go out when the conversion fails.
    where = where ? where : "";
    try {
        std::fprintf(stderr, "q7host: %s: %s\n", Cp1252ToUtf8(where).c_str(),
                     Cp1252ToUtf8(reason.str()).c_str());
    } catch (...) {
        std::fprintf(stderr, "q7host: %s: %s\n", where, reason.str().c_str());
    }
    std::fflush(stderr);
}
