#pragma once
// Process-wide settings of the host, set by the application at start from its
// command line, and the date and path helpers built on them. Everything runs
// on the user-interface thread; nothing here takes locks.
#include <functional>
#include <string>

#include "host/base/CString.h"
#include "host/base/Export.h"

// The practice installation as a UTF-8 file system path. The setter makes it
// absolute and drops trailing separators; empty until set.
Q7HOST_API void Q7SetHome(const std::string& dir);
Q7HOST_API const std::string& Q7GetHome();

// The host's date as yyyymmdd. Anything but eight digits (empty included)
// means the local system date.
Q7HOST_API void Q7SetToday(const CString& yyyymmdd);
Q7HOST_API void Q7SetWorkstation(int number);
Q7HOST_API int Q7GetWorkstation();  // 1 until set

// Host time for window timers, in milliseconds. It starts at 0 and moves only
// when the application advances it (a script's "wait MS" line does), so runs
// are repeatable; negative steps are ignored.
Q7HOST_API long long Q7HostMillis();
Q7HOST_API void Q7AdvanceHostMillis(long long ms);

// Today as eight characters yyyymmdd.
Q7HOST_API CString GetXQDate();
// yyyymmdd to dd.mm.yyyy; anything but eight digits comes back unchanged.
Q7HOST_API CString Db2Date(const CString& yyyymmdd);
// Display form of a stored value: type 5 is a yyyymmdd date shown as
// dd.mm.yyyy and cut or padded with blanks to length; every other type is the
// text itself, cut to length. A length below 1 leaves the text at its own
// length.
Q7HOST_API CString StrToExt(const CString& s, int type, int length);

// The read-only data folder, home + "/data/", always with a trailing
// separator; empty while no home is set, so callers can ask again later.
Q7HOST_API CString GetQ7DataROPath();
// home + "/dat/" + name; the folder is created when missing. Without a home
// the folder "dat" of the working directory is used.
Q7HOST_API CString GetDatFilePath(const CString& name);
// A host path as the file system wants it: the module writes Windows
// separators ("KZBV\\icd.xml"), which become '/', and its Windows-1252 bytes
// become UTF-8.
Q7HOST_API std::string NativePath(const CString& path);

// The host's beep. It goes to a sink that the front end sets (the text front
// end prints "BEEP"); without a sink it is silent. The argument (the sound
// kind) is not used by this host.
Q7HOST_API void Q7Beep(int kind);
Q7HOST_API void Q7SetBeepSink(std::function<void()> sink);
