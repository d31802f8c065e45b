#pragma once
// What the catalogues' favourites (icdfav, opsfav) share: one row per
// physician (k_mdid) and code (k_code). The callers keep their own guard,
// so that a failure is logged under their catalogue's name.
#ifndef Q7HOST_INTERNAL
#error "host/db/internal/Favourites.h is internal to the host"
#endif
#include <string>

#include "host/base/CString.h"
#include "host/db/XQDatabase.h"
#include "host/db/internal/TsvInternal.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQTable.h"

namespace xq {

// Whether the current physician has a favourite in table; false when the
// practice database cannot be read.
inline bool HasFavourites(const char* table) {
    CXQDatabase* db = ReadDb();
    if (!db) return false;
    Stmt* stmt =
        Prepared(*db, std::string("SELECT EXISTS(SELECT 1 FROM ") + table + " WHERE k_mdid=?)");
    if (!stmt) return false;
    StmtUse use(stmt);
    Bind(stmt, 1, XQKeyValue(XQKeyForm::Number, dbMdId));
    return stmt->Step() == SQLITE_ROW && stmt->Int(0) != 0;
}

// Stores code (already in its stored form) as a favourite of the current
// physician in the record set Fav unless it is one: 0, XQ_NOTFOUND for an
// empty code, XQ_NODB when the practice database is not open, or the
// failing call's status.
template <class Fav>
int AddFavourite(const CString& code) {
    if (!dbDatabase || !dbDatabase->IsOpen()) return XQ_NODB;
    Fav fav(dbDatabase);
    fav.MdId = dbMdId;
    fav.Code = code;
    if (fav.Code.IsEmpty()) return XQ_NOTFOUND;
    int status = fav.GetByK1(XQ_MATCH_EQUAL);
    if (status == XQ_OK) return XQ_OK;
    if (status != XQ_NOTFOUND) return status;
    return fav.Write();
}

// Removes code (in its stored form) from the current physician's favourites
// in table: 0, XQ_NOTFOUND when it was none, XQ_NODB or XQ_LOCKED.
inline int DelFavourite(const char* table, const CString& code) {
    if (!dbDatabase || !dbDatabase->IsOpen()) return XQ_NODB;
    Stmt* stmt =
        Prepared(*dbDatabase, std::string("DELETE FROM ") + table + " WHERE k_mdid=? AND k_code=?");
    if (!stmt) return XQ_LOCKED;
    StmtUse use(stmt);
    Bind(stmt, 1, XQKeyValue(XQKeyForm::Number, dbMdId));
    Bind(stmt, 2, XQKeyValue(XQKeyForm::Text, code));
    if (stmt->Step() != SQLITE_DONE) return XQ_LOCKED;
    return Changes(*dbDatabase) > 0 ? XQ_OK : XQ_NOTFOUND;
}

}  // namespace xq
