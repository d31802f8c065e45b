#include "q7txtbst/IcdSuchEinstellungen.h"

#include "host/base/Helpers.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"
#include "host/db/XQStatus.h"

namespace {

// The search's program number, right-aligned in three characters.
const char kProgramm[] = "214";

constexpr int kLength = 8;

CString Key() {
    return CString("search") + dbMdId;
}

}  // namespace

CIcdSuchEinstellungen CIcdSuchEinstellungen::Parse(const CString& stored) {
    const CString value = AddBlanks(stored, kLength);
    CIcdSuchEinstellungen s;
    s.alphabetisch = value[0] == '1';
    s.hausarzt = value[1] == '1';
    s.facharzt = value[2] == '1';
    s.arztgruppe = value.Mid(3, 4);
    s.beide = value[7] == '1';
    return s;
}

CString CIcdSuchEinstellungen::Value() const {
    const auto flag = [](bool on) { return CString(on ? "1" : "0"); };
    return flag(alphabetisch) + flag(hausarzt) + flag(facharzt) + LeftFix(arztgruppe, 4) +
           flag(beide);
}

CIcdSuchEinstellungen CIcdSuchEinstellungen::Read() {
    CQParPool par(dbDatabaseRO);
    par.Key1 = kProgramm;
    par.Key2 = Key();
    const bool found = par.GetByK1(XQ_MATCH_EQUAL) == XQ_OK;
    CIcdSuchEinstellungen s = Parse(found ? par.Value : CString());
    s.exists = found;
    return s;
}

bool CIcdSuchEinstellungen::Write() const {
    CQParPool par(dbDatabase);
    par.Key1 = kProgramm;
    par.Key2 = Key();
    const bool found = exists && par.GetByK1(XQ_MATCH_EQUAL) == XQ_OK;
    par.Value = Value();
    return (found ? par.Rewrite() : par.Write()) == XQ_OK;
}
