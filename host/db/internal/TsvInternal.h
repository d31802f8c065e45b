#pragma once
// Internals of the TSV loads and dumps (Tsv.cpp, IcdData.cpp, Ops.cpp) and of the
// readers of host data.
#ifndef Q7HOST_INTERNAL
#error "host/db/internal/TsvInternal.h is internal to the host"
#endif
#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/base/CString.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQTable.h"

namespace xq {

// The frame of every TSV load, for loaders of their own: the header line,
// then each row inside one transaction on dbDatabase, all or nothing, with
// the German message naming the line; finish (may be empty) runs before the
// commit. Lines end at LF, CR LF or CR; blank lines (blanks and tabs only)
// are skipped and keep their numbers. A line's fields, and one field as
// Windows-1252 (false with the German reason).
struct TsvRows {
    std::function<bool(std::string_view line, CString& error)> header;
    std::function<int(std::string_view line, CString& error)> row;
    std::function<int()> finish;
};
// db: the connection whose tables the rows go to (a catalogue beside a
// server practice loads in its own file), dbDatabase when null.
int TsvLoad(std::string_view content, const CString& source, const TsvRows& rows, CString& error,
            CXQDatabase* db = nullptr);
std::vector<std::string_view> TsvSplit(std::string_view line);
bool TsvField(std::string_view escaped, CString& value, CString& error);

// The rows of a loader of its own kind (Header, Row and Finish as above).
template <class Loader>
TsvRows TsvRowsOf(Loader& loader) {
    return {[&loader](std::string_view line, CString& e) { return loader.Header(line, e); },
            [&loader](std::string_view line, CString& e) { return loader.Row(line, e); },
            [&loader] { return loader.Finish(); }};
}

// A header line's column positions by name; false with the German reason
// when a name stands twice.
bool TsvHeader(std::string_view line, std::map<std::string, size_t>& positions, CString& error);
// Whether a row has as many fields as the header; false with the German
// reason.
bool TsvWidth(size_t fields, size_t width, CString& error);

// The ICD catalogue's TSV kinds (icdkapitel, icdgruppe, icdsubgruppe, icd,
// icdthes, icdversion, icdfav), loaded and dumped by host/db/IcdData.cpp.
bool IcdIsTsvKind(const CString& kind);
int IcdLoadTsv(const CString& kind, std::string_view content, const CString& source,
               CString& error);
int IcdDumpTsv(const CString& kind, std::ostream& out, CString& error);

// The OPS catalogue's TSV kinds (ops, opstext, opsfav) and the fee schedule
// (go), loaded and dumped by host/db/Ops.cpp.
bool OpsIsTsvKind(const CString& kind);
int OpsLoadTsv(const CString& kind, std::string_view content, const CString& source,
               CString& error);
int OpsDumpTsv(const CString& kind, std::ostream& out, CString& error);

// The connection reads go to: dbDatabaseRO, else dbDatabase; null when
// neither is open.
CXQDatabase* ReadDb();

// The reason of a row that could not be stored, from SQLite; XQ_LOCKED.
int TsvWriteError(CXQDatabase& db, CString& error);

// A field to store: the Windows-1252 value and its UTF-8 form, which is what
// the table keeps (so a file's UTF-8 is not converted twice).
struct TsvValue {
    CString cp;
    std::string utf8;
    void Set(const CString& value) {
        cp = value;
        utf8 = Cp1252ToUtf8(value.str());
    }
};

// A file field as value, or false with the German reason.
bool TsvFieldValue(std::string_view escaped, TsvValue& value, CString& error);

// A column's place in the file when the header does not name it.
inline constexpr size_t kTsvMissing = static_cast<size_t>(-1);

// A row's values, in table column order: each of columns from the field at
// its place in source (the same order; kTsvMissing: not in the file), every
// other column blank. false with the German reason naming the column.
bool TsvRowValues(const std::vector<std::string_view>& fields, const XQTableDef& table,
                  const std::vector<int>& columns, const std::vector<size_t>& source,
                  std::vector<TsvValue>& values, CString& error);
// Whether none of columns is blank (or blanks only); false with the German
// reason naming the first that is.
bool TsvNotBlank(const std::vector<TsvValue>& values, const XQTableDef& table,
                 const std::vector<int>& columns, CString& error);

// Inserts rows of one table: each column's text, its comparable form and
// its folded form, as XQInsertRow stores them. Rows of a table with word
// indexes are best gathered and stored by one statement for each batch:
// inside a transaction every statement that runs triggers opens a
// savepoint, and the word indexes write out what they hold at each, so a
// statement per row would cost a write per row. Without triggers a batch
// only costs: a statement of several rows keeps a journal of its own.
class TsvInserter {
  public:
    // batch: rows for each statement; 1 stores each row at once.
    TsvInserter(CXQDatabase& db, const XQTableDef& table, int batch = 1);
    // values in column order; 0 or XQ_LOCKED (of this row's batch).
    int Insert(const std::vector<TsvValue>& values);
    // Stores the rows gathered so far; 0 or XQ_LOCKED.
    int Flush();
    // Runs before every Flush (the deletes the rows replace).
    void BeforeFlush(std::function<int()> before) { m_before = std::move(before); }

  private:
    int Store(Stmt* stmt, size_t first, size_t count);

    CXQDatabase& m_db;
    const XQTableDef& m_table;
    size_t m_batch;
    std::string m_rowSql;
    std::string m_batchSql;
    std::vector<std::vector<TsvValue>> m_pending;
    size_t m_count = 0;
    std::vector<XQValue> m_keys;
    std::function<int()> m_before;
};

// Replacing by key during a load: the stored rows with the key go first
// (after the rows gathered for the table are stored). When the table had no
// such rows as the load began, only a key the file names a second time is
// looked for, so that a fresh load makes no lookups; and where the loader
// told the row ids it stored for that key, they go by row id, so that a
// table whose indexes are built after the load needs none.
class TsvReplacer {
  public:
    // deleteSql: a DELETE with one placeholder per key value. existing:
    // whether rows it could delete were there at the start.
    TsvReplacer(CXQDatabase& db, const char* table, std::string deleteSql, bool existing,
                TsvInserter& pending)
        : m_db(db),
          m_table(table),
          m_sql(std::move(deleteSql)),
          m_existing(existing),
          m_pending(pending) {
        // On the server every statement is a round trip: the stored rows of
        // keys the file names the first time go in batches, each before
        // the rows gathered to replace them.
        if (existing && IsServer(db)) {
            m_batchDeletes = true;
            pending.BeforeFlush([this] { return FlushDeletes(); });
        }
    }
    TsvReplacer(const TsvReplacer&) = delete;
    TsvReplacer& operator=(const TsvReplacer&) = delete;
    // 0 or XQ_LOCKED.
    int Replace(const std::vector<XQValue>& key);
    // The row ids from first to last (none when last < first) are what the
    // file gave for the key of the last Replace.
    void Stored(int64_t first, int64_t last);

  private:
    struct Rows {
        bool known = false;
        int64_t first = 1;
        int64_t last = 0;
    };

    int FlushDeletes();

    CXQDatabase& m_db;
    std::string m_table;
    std::string m_sql;
    bool m_existing;
    TsvInserter& m_pending;
    bool m_batchDeletes = false;
    std::vector<std::vector<XQValue>> m_deletes;
    std::unordered_map<std::string, Rows> m_seen;
    Rows* m_current = nullptr;
};

// Drops what the database keeps of table's triggers or indexes (type
// "trigger" or "index") as statements of their own, so that a load does not
// keep them up row by row; their CREATE statements are added to creates, to
// be run when the rows are in. 0 or XQ_LOCKED.
int TsvDropSchema(CXQDatabase& db, const char* type, const char* table,
                  std::vector<std::string>& creates);

// Whether the query (SELECT EXISTS(...)) finds a row; 0 or XQ_LOCKED.
int TsvExists(CXQDatabase& db, const std::string& sql, const std::vector<XQValue>& values,
              bool& exists);

// A dump: the header line and one escaped line per row of
// SELECT columns FROM table [WHERE where] ORDER BY order (comparable forms),
// row id.
struct TsvDumpSpec {
    const XQTableDef* table = nullptr;
    std::vector<int> columns;     // table columns in file order
    std::string where;            // condition with placeholders, or empty
    std::vector<XQValue> values;  // bound in order
    std::vector<int> order;       // key columns of the order
    // A further file column made from each row (the text of a block): its
    // name, the SQL expression passed to it, and the maker (false: unreadable).
    const char* extraName = nullptr;
    std::string extraSql;
    std::function<bool(Stmt* row, int column, std::string& field)> extra;
};
int TsvDump(CXQDatabase* db, const TsvDumpSpec& spec, std::ostream& out, CString& error);

}  // namespace xq
