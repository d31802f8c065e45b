#pragma once
// Internals of the record layer: the SQLite calls every part goes through
// (so that the fault seam reaches them), status mapping and text conversion.
// Only the host's own parts and tests may see them; the module and the
// application work through the public headers of host/db.
#ifndef Q7HOST_INTERNAL
#error "host/db/internal/XQInternal.h is internal to the host"
#endif
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/base/CString.h"
#include "host/base/Cp1252.h"
#include "host/db/XQStatus.h"

struct XQValue;
struct XQTableDef;
class CXQDatabase;

// Fault seam for tests: the n-th following SQLite prepare, step or exec made
// by this layer fails with an I/O error (0 switches it off). XQFaultFired
// tells whether the armed fault has struck since the last XQFailNthCall.
// Not exported: the tests link the host's objects.
void XQFailNthCall(int n);
bool XQFaultFired();

namespace xq {

// A prepared statement of either store (the embedded SQLite file or the
// practice server), cached by its connection and owned by it. The SQL is
// SQLite's, with ? or ?N placeholders; the server store translates it once.
// Step gives SQLITE_ROW, SQLITE_DONE or the failure's SQLite-like code, the
// failure noted on the connection (LastError, the original to the host log).
// Column texts and blobs stay valid until the next Step or Reset.
class Stmt {
  public:
    virtual ~Stmt() = default;
    // A plain number (row id, count, limit).
    virtual void BindInt(int pos, int64_t value) = 0;
    virtual void BindText(int pos, std::string_view utf8) = 0;
    virtual void BindBlob(int pos, std::string_view bytes) = 0;
    // A key value in its comparable form (XQKeyValue).
    virtual void BindKey(int pos, const XQValue& value) = 0;
    virtual int Step() = 0;
    // Ends the run: results dropped, bindings cleared.
    virtual void Reset() = 0;
    // SQLITE_INTEGER, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL.
    virtual int Type(int col) const = 0;
    virtual int64_t Int(int col) const = 0;
    virtual std::string_view Bytes(int col) const = 0;
};

// The cached statement for sql on db's store, reset; null on failure (noted).
Stmt* Prepared(CXQDatabase& db, const std::string& sql);
// Runs statements without values on db's store: SQLITE_OK or the failure.
int Run(CXQDatabase& db, const std::string& sql);
// Rows changed by db's last write, and the row id of the last row inserted.
int64_t Changes(CXQDatabase& db);
int64_t InsertedId(CXQDatabase& db);
// Whether db keeps its data on the practice server (else in a SQLite file).
bool IsServer(const CXQDatabase& db);
// Counts what this process wrote, committed or rolled back on the server:
// rows read before it moved may no longer be what the server holds.
uint64_t ServerChangeStamp();
// The connection that holds the published catalogues (ICD-10-GM, OPS) for
// db: db itself for a SQLite practice, the workstation's local catalogue
// file for a practice on the server. Null when db is not open.
CXQDatabase* CatalogueOf(CXQDatabase* db);
// Whether the table is a published catalogue (kept beside a server practice).
bool IsCatalogue(const XQTableDef& table);
// For a catalogue query that tests codes against a practice table (the
// physician's favourites, a patient's diagnoses): on a catalogue kept apart
// from the practice, the rows of table with keyColumn = key are copied into a
// temporary table of the same name beside the catalogue, so that the query
// reads them as it would in one database. XQ_OK, or XQ_READERR (noted).
int MirrorForCatalogue(CXQDatabase& catalogue, const XQTableDef& table, const char* keyColumn,
                       const XQValue& key);

// For work that a failing write ends as a whole (a load, a migration): for
// the scope's length the server store gives db's writes no savepoint of
// their own, which costs a round trip each; a failing write then ends the
// whole transaction, which its owner rolls back. A SQLite file is not
// concerned.
class WholeWrites {
  public:
    explicit WholeWrites(CXQDatabase& db);
    ~WholeWrites();
    WholeWrites(const WholeWrites&) = delete;
    WholeWrites& operator=(const WholeWrites&) = delete;

  private:
    CXQDatabase& m_db;
    bool m_was;
};

void Bind(Stmt* stmt, int pos, const XQValue& value);
inline int64_t ColumnInt(Stmt* stmt, int col) {
    return stmt->Int(col);
}
inline std::string ColumnUtf8(Stmt* stmt, int col) {
    return std::string(stmt->Bytes(col));
}
inline CString ColumnCp(Stmt* stmt, int col) {
    return Utf8ToCp1252(std::string(stmt->Bytes(col)));
}
inline int Step(Stmt* stmt) {
    return stmt->Step();
}

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

// The fault seam's check for calls of the server store: true when the armed
// fault strikes this call.
bool FaultStrikes();
// Notes a failure on db: the German reason as LastError, the original text
// to the host log; an open transaction the store has ended counts as rolled
// back.
void NoteFailure(CXQDatabase& db, const CString& reason, const CString& original);

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
    explicit StmtUse(Stmt* stmt) : m_any(stmt) {}
    ~StmtUse() {
        if (m_stmt) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        }
        if (m_any) m_any->Reset();
    }
    StmtUse(const StmtUse&) = delete;
    StmtUse& operator=(const StmtUse&) = delete;

  private:
    sqlite3_stmt* m_stmt = nullptr;
    Stmt* m_any = nullptr;
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
