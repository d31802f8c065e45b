#pragma once
// Tab-separated host data files: one header line naming the columns, one row
// a line, UTF-8, fields escaped.
#include <ostream>
#include <string>
#include <string_view>

#include "host/base/CString.h"
#include "host/base/Escape.h"
#include "host/base/Export.h"

// True for the kinds XQLoadTsv and XQDumpTsv know.
Q7HOST_API bool XQIsTsvKind(const CString& kind);
// Loads a file of a kind (tb, sp, par, pat, praxis, freitext, strings) into
// dbDatabase in one transaction; rows whose key exists are replaced. Only a
// regular file of at most 1 GiB is read. Nothing is stored when the file is
// malformed or cannot be read; errorText (Windows-1252, German, never empty
// on failure) names the file or the line. 0 or a status.
Q7HOST_API int XQLoadTsv(const CString& kind, const std::string& path, CString* errorText);
// The same for content already in memory (embedded data); source names it in
// messages.
Q7HOST_API int XQLoadTsvText(const CString& kind, std::string_view content, const CString& source,
                             CString* errorText);
// Prints all rows of a kind in key order, in the form XQLoadTsv reads.
Q7HOST_API int XQDumpTsv(const CString& kind, std::ostream& out, CString* errorText);
