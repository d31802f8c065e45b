#pragma once
// The diagnosis search's settings of one physician (dbMdId), kept in the
// parameter table: where the search starts and which catalogue filters are
// on. The search applies them when it opens, its "Einstellungen" edit them.
#include "host/base/CString.h"

struct CIcdSuchEinstellungen {
    bool alphabetisch = false;  // start in the alphabetic index
    bool hausarzt = false;      // Hausarzt catalogue on
    bool facharzt = false;      // Facharzt catalogue on
    CString arztgruppe;         // physician group code, four characters as stored
    bool beide = false;         // start in the combined view
    bool exists = false;        // the record was there when read

    // The stored value, eight characters:
    //   0 "1": alphabetic   1 "1": Hausarzt   2 "1": Facharzt
    //   3-6 physician group code   7 "1": combined view
    // A short or missing value counts as filled with blanks (all off).
    static CIcdSuchEinstellungen Parse(const CString& value);
    CString Value() const;

    // Reads the record; without one (or when it cannot be read) all is off.
    static CIcdSuchEinstellungen Read();
    // Writes the record new (exists false) or over the old one; false when
    // the database refused.
    bool Write() const;
};
