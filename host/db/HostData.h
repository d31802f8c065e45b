#pragma once
// Host functions that read system parameter lists and string resources from
// the practice database (dbDatabaseRO, else dbDatabase).
#include <utility>
#include <vector>

#include "host/base/CString.h"
#include "host/base/Export.h"

// Code/text pairs of a system parameter list in stored order. 0 (also for a
// list without entries), 14 when the database cannot be read.
Q7HOST_API int GetSPEntries(const CString& list, std::vector<std::pair<CString, CString>>& entries);

// Plain string resource (group 0); "" when missing.
Q7HOST_API CString LoadQ7String(int number);
// Message text of a group; "Meldung <group>/<number>" when missing.
Q7HOST_API CString GetQ7String(int group, int number);
// A decimal number is replaced by the group-0 resource of that number (the
// number itself when there is none); any other text is returned unchanged.
Q7HOST_API CString GetQ7Text(const CString& textOrNumber);

// Writes the default German texts (replacing those numbers); 0 or a status.
Q7HOST_API int XQInstallDefaultStrings();
