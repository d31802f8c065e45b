#pragma once
// The escaping of a value that must stay on one line and in one field: the
// host's data files, the print data file and the text front end's output.
#include <string>
#include <string_view>

#include "host/base/Export.h"

// CR -> \r, LF -> \n, tab -> \t, backslash -> \\, other bytes below 0x20 ->
// \xHH (upper-case hex). Works on bytes, so on UTF-8 and Windows-1252 alike.
Q7HOST_API std::string XQEscapeField(std::string_view raw);
// The inverse; false on a bad escape (unknown letter, short \x, lone
// backslash at the end), raw then unchanged.
Q7HOST_API bool XQUnescapeField(std::string_view escaped, std::string& raw);
