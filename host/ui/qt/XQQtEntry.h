#pragma once
// The window front end's one way in. Its library, libq7hostqt.so, is opened
// by the application only when it shows a window, so that no other run maps
// the toolkit; the application looks these functions up by their plain
// names. This header stays free of Qt.
#include <string>

#include "host/base/Export.h"

class IXQFrontEnd;

// The library's file name; it is installed beside the program.
inline constexpr const char* kXQQtLibrary = "libq7hostqt.so";

extern "C" {
// True when windows can be shown: a display (DISPLAY or WAYLAND_DISPLAY) or
// a platform chosen by QT_QPA_PLATFORM. Otherwise false with the German
// reason (UTF-8).
Q7HOST_API bool XQQtCanShowWindows(std::string* reasonUtf8);
// A new window front end, owned by the caller, who deletes it before the
// library could go; null with the German reason (UTF-8) when it cannot be
// made. Ask XQQtCanShowWindows first: without a display the toolkit ends the
// process.
Q7HOST_API IXQFrontEnd* XQQtCreateFrontEnd(std::string* reasonUtf8);
}

using XQQtCanShowWindowsFn = bool (*)(std::string* reasonUtf8);
using XQQtCreateFrontEndFn = IXQFrontEnd* (*)(std::string* reasonUtf8);
