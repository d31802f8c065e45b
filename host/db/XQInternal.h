#pragma once
// Internals of the record layer: the SQLite calls every part goes through
// (so that the fault seam reaches them), status mapping and text conversion.
#include <sqlite3.h>

#include <string>
#include <string_view>

#include "host/base/CString.h"
#include "host/base/Cp1252.h"
#include "host/db/XQStatus.h"

struct XQValue;
class CXQDatabase;

namespace xq {

int Prepare(sqlite3* db, const std::string& sql, sqlite3_stmt** stmt);
int Step(sqlite3_stmt* stmt);
int Exec(sqlite3* db, const char* sql);

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

// Writes the default string table into db (own transaction level).
int InstallDefaultStrings(CXQDatabase& db);

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

// Runs f and turns any exception (memory, mostly) into the given status, so
// that nothing escapes the API.
template <class F>
int Guard(int onError, F&& f) noexcept {
    try {
        return f();
    } catch (...) {
        return onError;
    }
}

}  // namespace xq
