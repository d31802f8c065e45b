#pragma once
// Internals of the record layer: the SQLite calls every part goes through
// (so that the fault seam reaches them), status mapping and text conversion.
// Only the host's own parts and tests may see them; the module and the
// application work through the public headers of host/db.
#ifndef Q7HOST_INTERNAL
#error "host/db/internal/XQInternal.h is internal to the host"
#endif
#include <sqlite3.h>

#include <string>
#include <vector>

#include "host/base/CString.h"
#include "host/base/Cp1252.h"
#include "host/db/XQStatus.h"

struct XQValue;
class CXQDatabase;

// Fault seam for tests: the n-th following SQLite prepare, step or exec made
// by this layer fails with an I/O error (0 switches it off). XQFaultFired
// tells whether the armed fault has struck since the last XQFailNthCall.
// Not exported: the tests link the host's objects.
void XQFailNthCall(int n);
bool XQFaultFired();

namespace xq {

// The connection's SQLite handle, and a cached prepared statement (reset and
// unbound; null on failure, then *sqliteRc holds the SQLite code). Statements
// stay owned by the connection.
sqlite3* Handle(const CXQDatabase& db);
sqlite3_stmt* Statement(CXQDatabase& db, const std::string& sql, int* sqliteRc = nullptr);

// The SQLite calls of the record layer. A failure is noted on its
// connection (CXQDatabase::LastError, the original text to the host log);
// a write after SQLite ended the connection's transaction is refused with
// SQLITE_ABORT.
int Prepare(sqlite3* db, const std::string& sql, sqlite3_stmt** stmt);
int Step(sqlite3_stmt* stmt);
int Exec(sqlite3* db, const char* sql);

// The German reason (Windows-1252) for a SQLite result code.
CString Reason(int sqliteRc);
// The connection's last error, or else the reason for SQLite's last code.
CString LastReason(CXQDatabase& db);
// Notes a refusal without a SQLite call (a write on a connection that may not
// write, ...) as the connection's last error.
void Refused(CXQDatabase& db, int sqliteRc);

// Binds a value at a 1-based position.
void Bind(sqlite3_stmt* stmt, int pos, const XQValue& value);
void BindText(sqlite3_stmt* stmt, int pos, const std::string& utf8);
void BindBlob(sqlite3_stmt* stmt, int pos, const std::string& bytes);

// Column text (UTF-8 in the database) as Windows-1252, and raw.
CString ColumnCp(sqlite3_stmt* stmt, int col);
std::string ColumnUtf8(sqlite3_stmt* stmt, int col);

// Windows-1252 source literal from UTF-8 source text (messages).
inline CString De(const char* utf8) {
    return Utf8ToCp1252(utf8);
}

// Writes the default string table into db (own transaction level); with
// onlyMissing the texts the table has already stay as they are.
int InstallDefaultStrings(CXQDatabase& db, bool onlyMissing = false);

// Resets a cached statement when the scope ends, whatever happened.
class StmtUse {
  public:
    explicit StmtUse(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    ~StmtUse() {
        if (m_stmt) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        }
    }
    StmtUse(const StmtUse&) = delete;
    StmtUse& operator=(const StmtUse&) = delete;

  private:
    sqlite3_stmt* m_stmt;
};

// Sets the connection's page cache size (PRAGMA cache_size: pages, or KiB
// when negative) for a while; set back by Restore or at the end of scope.
// XQ_OK, or XQ_LOCKED when SQLite refuses.
class CacheSize {
  public:
    explicit CacheSize(CXQDatabase& db) : m_db(db) {}
    ~CacheSize() { Restore(); }
    CacheSize(const CacheSize&) = delete;
    CacheSize& operator=(const CacheSize&) = delete;

    int Set(int size);
    int Restore();

  private:
    CXQDatabase& m_db;
    int m_saved = 0;
    bool m_set = false;
};

}  // namespace xq
