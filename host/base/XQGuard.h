#pragma once
// The one catch-all of host and module. No exception may cross a library
// boundary or reach a front end, so every entry point runs its work through
// XQGuard: an exception becomes the caller's fallback, and its reason goes to
// the host log as one German line, so that a failure is never silent.
#include <exception>
#include <new>

#include "host/base/CString.h"
#include "host/base/Export.h"

// Writes one line "q7host: <where>: <reason>" (UTF-8) to the host log,
// standard error. where and reason are Windows-1252 or plain ASCII.
Q7HOST_API void XQLog(const char* where, const CString& reason);

// Runs work and returns its result; an exception is logged with where and
// gives fallback instead. where names the operation for the reader of the
// log ("Textbaustein speichern").
template <class Result, class Work>
Result XQGuard(const char* where, Result fallback, Work&& work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        XQLog(where, CString("zu wenig Arbeitsspeicher"));
    } catch (const std::exception& e) {
        XQLog(where, CString(e.what()));
    } catch (...) {
        XQLog(where, CString("unbekannter Fehler"));
    }
    return fallback;
}

// The same for work without a result.
template <class Work>
void XQGuardVoid(const char* where, Work&& work) noexcept {
    XQGuard(where, 0, [&] {
        work();
        return 0;
    });
}
