#include "host/db/Tsv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <numeric>
#include <optional>

#include "host/base/Helpers.h"
#include "host/base/XQGuard.h"
#include "host/db/XQDatabase.h"
#include "host/db/internal/TsvInternal.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQTable.h"

namespace {

using xq::De;

void SplitTabs(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

CString LineError(int line, const CString& what) {
    return FormatString("Zeile %d: ", line) + what;
}

// The lines of a file that hold anything, with their numbers from 1. A line
// ends at LF, CR LF or a CR alone (the line end of older systems' files; a
// field writes its own CR as \r, so a bare CR is never data). A line of
// blanks and tabs only is no row of any kind: files are often padded with
// them at the end, and it would store a row without a key.
class FileLines {
  public:
    explicit FileLines(std::string_view text) : m_rest(text) {}

    bool Next(std::string_view& line, int& number) {
        while (!m_rest.empty()) {
            const size_t end = m_rest.find_first_of("\r\n");
            line = m_rest.substr(0, end);
            ++m_number;
            size_t next = end == std::string_view::npos ? m_rest.size() : end + 1;
            if (end != std::string_view::npos && m_rest[end] == '\r' && next < m_rest.size() &&
                m_rest[next] == '\n')
                ++next;
            m_rest.remove_prefix(next);
            if (line.find_first_not_of(" \t\f\v") != std::string_view::npos) {
                number = m_number;
                return true;
            }
        }
        return false;
    }

  private:
    std::string_view m_rest;
    int m_number = 0;
};

// "  7": the line numbers of blocks and index lines.
void LineNumber(int number, xq::TsvValue& value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%3d", number);
    value.cp.str().assign(buffer);
    value.utf8.assign(buffer);
}

// Key columns a row may not leave empty or blank: no dialog finds a block
// without a Kürzel or a patient without a number again by its key (the
// expansion passes over a blank Kürzel).
const std::pair<const char*, const char*> kNotEmpty[] = {
    {"tb", "kuerzel"}, {"pat", "number"}, {"par", "key1"}, {"sp", "list"}};

// The loader of one file of a table kind: header mapping, then row by row
// into the open transaction.
class Loader {
  public:
    Loader(CXQDatabase& db, const XQTableDef& table, bool withText)
        : m_db(db),
          m_table(table),
          m_withText(withText),
          // On the server every statement is a round trip: rows go in
          // batches, and a Kürzel the file names twice is replaced by key.
          m_byKey(xq::IsServer(db)),
          m_values(table.columns.size()),
          m_insert(db, table, m_byKey ? 256 : 1),
          m_insertLine(db, XQTableTbEntry(), m_byKey ? 256 : 1),
          m_line(3) {
        for (const auto& [kind, column] : kNotEmpty)
            for (size_t c = 0; c < table.columns.size(); ++c)
                if (table.tsvKind && std::string_view(kind) == table.tsvKind &&
                    table.columns[c].tsvName &&
                    std::string_view(column) == table.columns[c].tsvName)
                    m_notEmpty.push_back(static_cast<int>(c));
    }

    bool Header(std::string_view line, CString& error) {
        std::map<std::string, size_t> positions;
        if (!xq::TsvHeader(line, positions, error)) return false;
        m_width = positions.size();
        m_source.assign(m_table.columns.size(), xq::kTsvMissing);
        m_columns.resize(m_table.columns.size());
        std::iota(m_columns.begin(), m_columns.end(), 0);
        for (size_t c = 0; c < m_table.columns.size(); ++c) {
            const char* name = m_table.columns[c].tsvName;
            if (!name) continue;
            auto found = positions.find(name);
            if (found != positions.end()) m_source[c] = found->second;
        }
        if (m_withText) {
            auto found = positions.find("text");
            m_textSource = found != positions.end() ? found->second : xq::kTsvMissing;
        }
        // The columns that name a record are mandatory.
        for (int c : IdentityKey().columns) {
            if (m_source[static_cast<size_t>(c)] == xq::kTsvMissing) {
                error = De("Die Pflichtspalte „") +
                        m_table.columns[static_cast<size_t>(c)].tsvName +
                        De("“ fehlt in der Kopfzeile.");
                return false;
            }
        }
        return true;
    }

    // Stores the rows still gathered.
    int Finish() {
        if (m_insert.Flush() != XQ_OK || m_insertLine.Flush() != XQ_OK) return XQ_LOCKED;
        for (const std::string& create : m_dropped)
            if (m_db.ExecRaw(create.c_str()) != SQLITE_OK) return XQ_LOCKED;
        return XQ_OK;
    }

    // 0, or a status with error set.
    int Row(std::string_view line, CString& error) {
        if (!m_rows && Start() != XQ_OK) return xq::TsvWriteError(m_db, error);
        SplitTabs(line, m_fields);
        if (!xq::TsvWidth(m_fields.size(), m_width, error)) return XQ_READERR;
        if (!xq::TsvRowValues(m_fields, m_table, m_columns, m_source, m_values, error) ||
            !xq::TsvNotBlank(m_values, m_table, m_notEmpty, error))
            return XQ_READERR;
        m_text.cp.Empty();
        m_text.utf8.clear();
        if (m_withText && m_textSource != xq::kTsvMissing) {
            CString reason;
            if (!xq::TsvFieldValue(m_fields[m_textSource], m_text, reason)) {
                error = De("Spalte „text“ ") + reason;
                return XQ_READERR;
            }
        }
        // Replace: the record with the same key goes first.
        m_key.clear();
        for (int c : IdentityKey().columns) {
            const size_t column = static_cast<size_t>(c);
            m_key.push_back(XQKeyValue(m_table.columns[column].key, m_values[column].cp));
        }
        if (m_rows->Replace(m_key) != XQ_OK || m_insert.Insert(m_values) != XQ_OK)
            return xq::TsvWriteError(m_db, error);
        const int64_t id = xq::InsertedId(m_db);
        if (!m_byKey) m_rows->Stored(id, id);
        if (m_withText && Lines() != XQ_OK) return xq::TsvWriteError(m_db, error);
        return XQ_OK;
    }

  private:
    const XQKeyDef& IdentityKey() const {
        return m_table.keys[static_cast<size_t>(m_table.identityKey)];
    }

    // Inside the transaction, before the first row: what is there already.
    int Start() {
        std::string sql = std::string("DELETE FROM ") + m_table.name + " WHERE ";
        const XQKeyDef& key = IdentityKey();
        for (size_t i = 0; i < key.columns.size(); ++i)
            sql += (i ? " AND " : "") +
                   XQKeyColumn(m_table.columns[static_cast<size_t>(key.columns[i])]) + "=?";
        bool rows = false;
        bool lines = false;
        std::string exists = std::string("SELECT EXISTS(SELECT 1 FROM ") + m_table.name + ")";
        if (xq::TsvExists(m_db, exists, {}, rows) != XQ_OK) return XQ_LOCKED;
        if (m_withText &&
            xq::TsvExists(m_db, "SELECT EXISTS(SELECT 1 FROM tbentry)", {}, lines) != XQ_OK)
            return XQ_LOCKED;
        // An empty table gets its indexes built after the rows: one sorted
        // build costs far less than as many inserts in random key order.
        if (!rows && DropIndexes(m_table.name) != XQ_OK) return XQ_LOCKED;
        if (m_withText && !lines && DropIndexes("tbentry") != XQ_OK) return XQ_LOCKED;
        m_rows.emplace(m_db, m_table.name, sql, rows, m_insert);
        m_lines.emplace(m_db, "tbentry", "DELETE FROM tbentry WHERE k_kykuerzel=?", lines,
                        m_insertLine);
        return XQ_OK;
    }

    int DropIndexes(const char* table) {
        return xq::TsvDropSchema(m_db, "index", table, m_dropped);
    }

    // The block's lines: the text split at LF (a CR before it belongs to the
    // break), numbered from 0.
    int Lines() {
        if (m_lines->Replace({m_key[0]}) != XQ_OK) return XQ_LOCKED;
        if (!m_byKey) m_lines->Stored(1, 0);
        if (m_text.cp.IsEmpty()) return XQ_OK;
        int64_t first = 0;
        m_line[0] = m_values[0];
        const std::string& cp = m_text.cp.str();
        const std::string& utf8 = m_text.utf8;
        size_t cpStart = 0;
        size_t utf8Start = 0;
        for (int number = 0;; ++number) {
            const size_t cpEnd = cp.find('\n', cpStart);
            const size_t utf8End = utf8.find('\n', utf8Start);
            const bool last = cpEnd == std::string::npos;
            std::string_view cpLine = std::string_view(cp).substr(cpStart, cpEnd - cpStart);
            std::string_view utf8Line =
                std::string_view(utf8).substr(utf8Start, utf8End - utf8Start);
            if (!last && !cpLine.empty() && cpLine.back() == '\r') {
                cpLine.remove_suffix(1);
                utf8Line.remove_suffix(1);
            }
            LineNumber(number, m_line[1]);
            m_line[2].cp.str().assign(cpLine);
            m_line[2].utf8.assign(utf8Line);
            if (m_insertLine.Insert(m_line) != XQ_OK) return XQ_LOCKED;
            // One statement after the other, so a block's lines have
            // consecutive row ids.
            if (number == 0) first = xq::InsertedId(m_db);
            if (last) break;
            cpStart = cpEnd + 1;
            utf8Start = utf8End + 1;
        }
        if (!m_byKey) m_lines->Stored(first, xq::InsertedId(m_db));
        return XQ_OK;
    }

    CXQDatabase& m_db;
    const XQTableDef& m_table;
    bool m_withText;
    bool m_byKey;
    size_t m_width = 0;
    std::vector<int> m_columns;  // every column, each from its place in m_source
    std::vector<size_t> m_source;
    std::vector<int> m_notEmpty;  // columns a row may not leave blank
    size_t m_textSource = xq::kTsvMissing;
    std::vector<std::string_view> m_fields;
    std::vector<xq::TsvValue> m_values;
    xq::TsvValue m_text;
    std::vector<XQValue> m_key;
    std::optional<xq::TsvReplacer> m_rows;
    std::optional<xq::TsvReplacer> m_lines;
    xq::TsvInserter m_insert;
    xq::TsvInserter m_insertLine;
    std::vector<xq::TsvValue> m_line;
    std::vector<std::string> m_dropped;  // CREATE statements of indexes built at the end
};

}  // namespace

namespace xq {

CXQDatabase* ReadDb() {
    if (dbDatabaseRO && dbDatabaseRO->IsOpen()) return dbDatabaseRO;
    if (dbDatabase && dbDatabase->IsOpen()) return dbDatabase;
    return nullptr;
}

int TsvWriteError(CXQDatabase& db, CString& error) {
    error = De("konnte nicht gespeichert werden: ") + LastReason(db) + ".";
    return XQ_LOCKED;
}

std::vector<std::string_view> TsvSplit(std::string_view line) {
    std::vector<std::string_view> fields;
    SplitTabs(line, fields);
    return fields;
}

bool TsvHeader(std::string_view line, std::map<std::string, size_t>& positions, CString& error) {
    std::vector<std::string_view> names;
    SplitTabs(line, names);
    positions.clear();
    for (size_t i = 0; i < names.size(); ++i) {
        if (!positions.emplace(std::string(names[i]), i).second) {
            error = De("Die Spalte „") + Utf8ToCp1252(names[i]) +
                    De("“ steht zweimal in der Kopfzeile.");
            return false;
        }
    }
    return true;
}

bool TsvRowValues(const std::vector<std::string_view>& fields, const XQTableDef& table,
                  const std::vector<int>& columns, const std::vector<size_t>& source,
                  std::vector<TsvValue>& values, CString& error) {
    for (TsvValue& value : values) {
        value.cp.Empty();
        value.utf8.clear();
    }
    for (size_t i = 0; i < columns.size(); ++i) {
        if (source[i] == kTsvMissing) continue;
        const auto column = static_cast<size_t>(columns[i]);
        CString reason;
        if (!TsvFieldValue(fields[source[i]], values[column], reason)) {
            error = De("Spalte „") + table.columns[column].tsvName + De("“ ") + reason;
            return false;
        }
    }
    return true;
}

bool TsvNotBlank(const std::vector<TsvValue>& values, const XQTableDef& table,
                 const std::vector<int>& columns, CString& error) {
    for (int column : columns) {
        const auto c = static_cast<size_t>(column);
        if (Trim(values[c].cp).IsEmpty()) {
            error = De("Spalte „") + table.columns[c].tsvName + De("“ ist leer.");
            return false;
        }
    }
    return true;
}

bool TsvWidth(size_t fields, size_t width, CString& error) {
    if (fields == width) return true;
    error = FormatString("%d Felder statt %d.", static_cast<int>(fields), static_cast<int>(width));
    return false;
}

int TsvDropSchema(CXQDatabase& db, const char* type, const char* table,
                  std::vector<std::string>& creates) {
    // The server keeps its indexes up row by row at little cost.
    if (IsServer(db)) return XQ_OK;
    sqlite3_stmt* stmt = Statement(db,
                                   "SELECT name, sql FROM sqlite_master WHERE type=? AND "
                                   "tbl_name=? AND sql IS NOT NULL ORDER BY rowid");
    if (!stmt) return XQ_LOCKED;
    std::vector<std::string> names;
    {
        StmtUse use(stmt);
        BindText(stmt, 1, type);
        BindText(stmt, 2, table);
        int rc;
        while ((rc = Step(stmt)) == SQLITE_ROW) {
            names.push_back(ColumnUtf8(stmt, 0));
            creates.push_back(ColumnUtf8(stmt, 1));
        }
        if (rc != SQLITE_DONE) return XQ_LOCKED;
    }
    for (const std::string& name : names) {
        const std::string drop = std::string("DROP ") + type + " \"" + name + "\"";
        if (db.ExecRaw(drop.c_str()) != SQLITE_OK) return XQ_LOCKED;
    }
    return XQ_OK;
}

bool TsvFieldValue(std::string_view escaped, TsvValue& value, CString& error) {
    // Most fields are plain ASCII: the same bytes in every form.
    bool plain = true;
    for (char c : escaped) {
        if (c == '\\' || static_cast<unsigned char>(c) >= 0x80) {
            plain = false;
            break;
        }
    }
    if (plain) {
        value.utf8.assign(escaped);
        value.cp.str().assign(escaped);
        return true;
    }
    if (!XQUnescapeField(escaped, value.utf8)) {
        error = De("ungültige Escape-Folge (erlaubt sind \\r, \\n, \\t, \\\\ und \\xHH).");
        return false;
    }
    if (!IsValidUtf8(value.utf8)) {
        error = De("kein gültiges UTF-8.");
        return false;
    }
    value.cp = Utf8ToCp1252(value.utf8);
    if (Cp1252ToUtf8(value.cp.str()) != value.utf8) {
        error = De("enthält ein Zeichen, das es in Windows-1252 nicht gibt.");
        return false;
    }
    return true;
}

bool TsvField(std::string_view escaped, CString& value, CString& error) {
    TsvValue v;
    if (!TsvFieldValue(escaped, v, error)) return false;
    value = std::move(v.cp);
    return true;
}

TsvInserter::TsvInserter(CXQDatabase& db, const XQTableDef& table, int batch)
    : m_db(db), m_table(table), m_batch(batch > 1 ? static_cast<size_t>(batch) : 1) {
    std::string names;
    size_t count = 0;
    auto add = [&](const std::string& name) {
        names += (names.empty() ? "" : ",") + name;
        ++count;
    };
    for (const XQColumnDef& column : table.columns) add(column.name);
    for (const XQColumnDef& column : table.columns)
        if (column.key != XQKeyForm::None) add(XQKeyColumn(column));
    for (const XQColumnDef& column : table.columns)
        if (column.folded) add(XQFoldColumn(column));
    // No more placeholders than the store allows in one statement.
    sqlite3* handle = IsServer(db) ? nullptr : Handle(db);
    const int limit = handle         ? sqlite3_limit(handle, SQLITE_LIMIT_VARIABLE_NUMBER, -1)
                      : IsServer(db) ? 65535
                                     : 0;
    if (limit > 0)
        m_batch = std::max<size_t>(1, std::min(m_batch, static_cast<size_t>(limit) / count));
    m_pending.resize(m_batch, std::vector<TsvValue>(table.columns.size()));
    std::string row = "(";
    for (size_t i = 0; i < count; ++i) row += i ? ",?" : "?";
    row += ")";
    m_rowSql = std::string("INSERT INTO ") + table.name + "(" + names + ") VALUES";
    m_batchSql = m_rowSql;
    for (size_t i = 0; i < m_batch; ++i) m_batchSql += (i ? "," : "") + row;
    m_rowSql += row;
}

int TsvInserter::Insert(const std::vector<TsvValue>& values) {
    std::vector<TsvValue>& row = m_pending[m_count++];
    for (size_t i = 0; i < row.size(); ++i) {
        row[i].cp.str().assign(values[i].cp.str());
        row[i].utf8.assign(values[i].utf8);
    }
    return m_count == m_batch ? Flush() : XQ_OK;
}

int TsvInserter::Flush() {
    if (m_before && m_before() != XQ_OK) return XQ_LOCKED;
    const size_t count = m_count;
    m_count = 0;
    if (count == m_batch) return Store(Prepared(m_db, m_batchSql), 0, count);
    for (size_t i = 0; i < count; ++i)
        if (Store(Prepared(m_db, m_rowSql), i, 1) != XQ_OK) return XQ_LOCKED;
    return XQ_OK;
}

int TsvInserter::Store(Stmt* stmt, size_t first, size_t count) {
    if (!stmt) return XQ_LOCKED;
    StmtUse use(stmt);
    const std::vector<XQColumnDef>& columns = m_table.columns;
    // The comparable and folded forms of all rows first: bound below without
    // a copy, they must not move any more.
    m_keys.clear();
    for (size_t r = first; r < first + count; ++r) {
        const std::vector<TsvValue>& values = m_pending[r];
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i].key != XQKeyForm::None)
                m_keys.push_back(XQKeyValue(columns[i].key, values[i].cp));
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i].folded) m_keys.push_back(XQFoldValue(values[i].cp));
    }
    const size_t keysPerRow = m_keys.size() / count;
    int pos = 1;
    for (size_t r = 0; r < count; ++r) {
        const std::vector<TsvValue>& values = m_pending[first + r];
        for (size_t i = 0; i < columns.size(); ++i) stmt->BindText(pos++, values[i].utf8);
        for (size_t k = r * keysPerRow; k < (r + 1) * keysPerRow; ++k)
            stmt->BindKey(pos++, m_keys[k]);
    }
    return stmt->Step() == SQLITE_DONE ? XQ_OK : XQ_LOCKED;
}

int TsvReplacer::Replace(const std::vector<XQValue>& key) {
    m_current = nullptr;
    std::string id;
    for (const XQValue& value : key) {
        id += value.kind == XQValue::Int ? 'i' : 'b';
        id += value.kind == XQValue::Int ? std::to_string(value.i) : value.s;
        id += '\0';
    }
    auto [found, fresh] = m_seen.try_emplace(std::move(id));
    if (m_batchDeletes && fresh) {
        m_deletes.push_back(key);
        return m_deletes.size() >= 256 ? FlushDeletes() : XQ_OK;
    }
    if (!m_existing) {
        m_current = &found->second;
        if (fresh) return XQ_OK;
        if (m_current->known) {
            m_current->known = false;
            if (m_current->last < m_current->first) return XQ_OK;
            if (m_pending.Flush() != XQ_OK) return XQ_LOCKED;
            Stmt* del = Prepared(m_db, "DELETE FROM " + m_table + " WHERE rowid BETWEEN ? AND ?");
            if (!del) return XQ_LOCKED;
            StmtUse use(del);
            del->BindInt(1, m_current->first);
            del->BindInt(2, m_current->last);
            return del->Step() == SQLITE_DONE ? XQ_OK : XQ_LOCKED;
        }
    }
    // Rows gathered for a key the file names the first time are none of the
    // stored ones: they need not go in before the delete.
    if (!(m_existing && fresh) && m_pending.Flush() != XQ_OK) return XQ_LOCKED;
    Stmt* del = Prepared(m_db, m_sql);
    if (!del) return XQ_LOCKED;
    StmtUse use(del);
    for (size_t i = 0; i < key.size(); ++i) Bind(del, static_cast<int>(i + 1), key[i]);
    return del->Step() == SQLITE_DONE ? XQ_OK : XQ_LOCKED;
}

// The batched form of the key delete "DELETE FROM t WHERE a=? AND b=?":
// ... WHERE (a,b) IN ((?,?),...).
int TsvReplacer::FlushDeletes() {
    if (m_deletes.empty()) return XQ_OK;
    const size_t where = m_sql.find(" WHERE ");
    std::vector<std::string> columns;
    for (size_t pos = where + 7; pos < m_sql.size();) {
        const size_t end = m_sql.find("=?", pos);
        if (end == std::string::npos) break;
        columns.push_back(m_sql.substr(pos, end - pos));
        pos = end + 2;
        if (m_sql.compare(pos, 5, " AND ") == 0) pos += 5;
    }
    if (where == std::string::npos || columns.empty()) return XQ_LOCKED;
    std::string tuple = columns.size() > 1 ? "(" : "";
    std::string one = columns.size() > 1 ? "(" : "";
    for (size_t i = 0; i < columns.size(); ++i) {
        tuple += (i ? "," : "") + columns[i];
        one += i ? ",?" : "?";
    }
    if (columns.size() > 1) {
        tuple += ")";
        one += ")";
    }
    std::string sql = m_sql.substr(0, where) + " WHERE " + tuple + " IN (";
    for (size_t i = 0; i < m_deletes.size(); ++i) sql += (i ? "," : "") + one;
    sql += ")";
    Stmt* del = Prepared(m_db, sql);
    if (!del) return XQ_LOCKED;
    StmtUse use(del);
    int pos = 0;
    for (const std::vector<XQValue>& key : m_deletes)
        for (const XQValue& value : key) Bind(del, ++pos, value);
    m_deletes.clear();
    return del->Step() == SQLITE_DONE ? XQ_OK : XQ_LOCKED;
}

void TsvReplacer::Stored(int64_t first, int64_t last) {
    if (!m_current) return;
    m_current->known = true;
    m_current->first = first;
    m_current->last = last;
}

int TsvExists(CXQDatabase& db, const std::string& sql, const std::vector<XQValue>& values,
              bool& exists) {
    Stmt* stmt = Prepared(db, sql);
    if (!stmt) return XQ_LOCKED;
    StmtUse use(stmt);
    for (size_t i = 0; i < values.size(); ++i) Bind(stmt, static_cast<int>(i + 1), values[i]);
    if (stmt->Step() != SQLITE_ROW) return XQ_LOCKED;
    exists = stmt->Int(0) != 0;
    return XQ_OK;
}

int TsvLoad(std::string_view content, const CString& source, const TsvRows& rows, CString& error,
            CXQDatabase* db) {
    CXQDatabase* target = db ? db : dbDatabase;
    if (!target || !target->IsOpen()) {
        error = De("Die Praxisdatenbank ist nicht geöffnet.");
        return XQ_NODB;
    }
    if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
    FileLines lines(content);
    std::string_view line;
    int number = 0;
    if (!lines.Next(line, number)) {
        error = De("Die Datei ") + source + De(" ist leer: die Kopfzeile fehlt.");
        return XQ_READERR;
    }
    CString reason;
    if (!rows.header(line, reason)) {
        error = LineError(number, reason);
        return XQ_READERR;
    }
    CXQTransaction transaction(target);
    // A row that cannot be stored fails the whole load.
    xq::WholeWrites whole(*target);
    if (transaction.Status() != XQ_OK) {
        error = LastReason(*target) + De("; es wurde nichts geladen.");
        return XQ_LOCKED;
    }
    auto notStored = [target] {
        return De("Die Daten konnten nicht gespeichert werden: ") + LastReason(*target) +
               De("; es wurde nichts geladen.");
    };
    // One transaction holds the whole load, and SQLite spills pages to the
    // WAL half-way when its page cache is full; a cache that holds the load
    // keeps the work in memory until the commit. Set back before the commit,
    // so that the connection is as configured again afterwards.
    xq::CacheSize cache(*target);
    if (!IsServer(*target) && cache.Set(-262144) != XQ_OK) {
        error = notStored();
        return XQ_LOCKED;
    }
    while (lines.Next(line, number)) {
        int status = rows.row(line, reason);
        if (status != XQ_OK) {
            error = LineError(number, reason) + De(" Es wurde nichts geladen.");
            return status;
        }
    }
    if ((rows.finish && rows.finish() != XQ_OK) || cache.Restore() != XQ_OK ||
        transaction.Commit() != XQ_OK) {
        error = notStored();
        return XQ_LOCKED;
    }
    return XQ_OK;
}

int TsvDump(CXQDatabase* db, const TsvDumpSpec& spec, std::ostream& out, CString& error) {
    if (!db || !db->IsOpen()) {
        error = De("Die Praxisdatenbank ist nicht geöffnet.");
        return XQ_NODB;
    }
    const XQTableDef& table = *spec.table;
    std::string header;
    std::string sql = "SELECT ";
    for (size_t i = 0; i < spec.columns.size(); ++i) {
        const XQColumnDef& column = table.columns[static_cast<size_t>(spec.columns[i])];
        header += (i ? "\t" : "") + std::string(column.tsvName);
        sql += (i ? "," : "") + std::string(column.name);
    }
    if (spec.extraName) {
        header += std::string("\t") + spec.extraName;
        sql += "," + spec.extraSql;
    }
    sql += std::string(" FROM ") + table.name;
    if (!spec.where.empty()) sql += " WHERE " + spec.where;
    sql += " ORDER BY ";
    for (int c : spec.order) sql += XQKeyColumn(table.columns[static_cast<size_t>(c)]) + ",";
    sql += "rowid";

    auto readError = [&] {
        error = De("Die Daten konnten nicht gelesen werden: ") + LastReason(*db) + ".";
        return XQ_NODB;
    };
    Stmt* stmt = Prepared(*db, sql);
    if (!stmt) return readError();
    StmtUse use(stmt);
    for (size_t i = 0; i < spec.values.size(); ++i)
        Bind(stmt, static_cast<int>(i + 1), spec.values[i]);
    out << header << '\n';
    const int columns = static_cast<int>(spec.columns.size());
    std::string row;
    std::string field;
    int rc;
    while ((rc = stmt->Step()) == SQLITE_ROW) {
        row.clear();
        for (int c = 0; c < columns; ++c)
            row += (c ? "\t" : "") + XQEscapeField(ColumnUtf8(stmt, c));
        if (spec.extraName) {
            field.clear();
            if (!spec.extra(stmt, columns, field)) return readError();
            row += "\t" + XQEscapeField(field);
        }
        out << row << '\n';
    }
    if (rc != SQLITE_DONE) return readError();
    out.flush();
    if (!out) {
        error = De("Die Ausgabe konnte nicht geschrieben werden.");
        return XQ_LOCKED;
    }
    return XQ_OK;
}

}  // namespace xq

namespace {

const XQTableDef* KindTable(const CString& kind, CString* errorText) {
    const XQTableDef* table = XQFindTableByKind(kind.str());
    if (!table && errorText) *errorText = De("Unbekannte Datenart „") + kind + De("“.");
    return table;
}

// The largest file a load reads: far above any kind's real data (the ICD
// index, the largest, is under 3 MB), and short of what the load's memory
// could no longer hold.
constexpr off_t kMaxFileBytes = off_t(1) << 30;

// The whole of a file into content; false with the German reason. Only a
// regular file is read: a directory has no content, and a pipe or a device
// may wait for a writer or never end, so they are refused before a byte is
// read (the file is opened without waiting, and the type checked again on the
// opened file, which may have been swapped meanwhile).
bool ReadTsvFile(const std::string& path, const CString& source, std::string& content,
                 CString& error) {
    auto fail = [&](const char* reason, bool log) {
        // The system's own words, for the log: the user reads the German.
        const int code = errno;
        if (log) XQLog("Daten laden", source + ": " + std::strerror(code));
        error = De("Die Datei ") + source + " " + De(reason);
        return false;
    };
    auto refuse = [&](const struct stat& info) {
        if (S_ISDIR(info.st_mode)) return fail("ist ein Verzeichnis.", false);
        if (!S_ISREG(info.st_mode))
            return fail("ist keine reguläre Datei (sondern etwa eine Pipe oder ein Gerät).", false);
        if (info.st_size > kMaxFileBytes)
            return fail("ist zu groß: höchstens 1 GiB werden geladen.", false);
        return true;
    };
    auto openFailed = [&] {
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        return fail(missing ? "ist nicht vorhanden." : "ist nicht lesbar.", !missing);
    };
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return openFailed();
    if (!refuse(info)) return false;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return openFailed();
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    if (fstat(fd, &info) != 0) return fail("ist nicht lesbar.", true);
    if (!refuse(info)) return false;
    // The size is a hint: a file that grows meanwhile is read to its end,
    // within the limit; one byte beyond the size leaves room to see the end.
    const size_t limit = static_cast<size_t>(kMaxFileBytes);
    content.resize(static_cast<size_t>(info.st_size) + 1);
    size_t used = 0;
    for (;;) {
        if (used == content.size()) {
            if (used > limit) return fail("ist zu groß: höchstens 1 GiB werden geladen.", false);
            content.resize(std::min(std::max<size_t>(used * 2, 65536), limit + 1));
        }
        const ssize_t got = read(fd, content.data() + used, content.size() - used);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return fail("konnte nicht gelesen werden: Lesefehler.", true);
        if (got == 0) break;
        used += static_cast<size_t>(got);
    }
    content.resize(used);
    return true;
}

// Loads file content; source names it in messages.
int LoadTsvContent(const CString& kind, std::string_view content, const CString& source,
                   CString& error) {
    if (xq::IcdIsTsvKind(kind)) return xq::IcdLoadTsv(kind, content, source, error);
    if (xq::OpsIsTsvKind(kind)) return xq::OpsLoadTsv(kind, content, source, error);
    const XQTableDef* table = KindTable(kind, &error);
    if (!table) return XQ_NODB;
    if (!dbDatabase) return xq::TsvLoad(content, source, {}, error);  // says it is not open
    Loader loader(*dbDatabase, *table, kind == "tb");
    return xq::TsvLoad(content, source, xq::TsvRowsOf(loader), error);
}

const char* const kNothingLoaded = " Es wurde nichts geladen.";

// Runs a load or dump. Whatever goes wrong leaves a German reason: memory
// that runs out (the transaction is rolled back on the way out) is named as
// such; any other failure's own words go to the host log only.
template <class Work>
int Guarded(const char* where, const CString& what, const char* outcome, CString& error,
            Work&& work) {
    const int status = XQGuard(where, XQ_NODB, [&] {
        error.Empty();
        try {
            return work();
        } catch (const std::bad_alloc&) {
            error = what + De(" ist nicht möglich: zu wenig Speicher.") + De(outcome);
            return XQ_READERR;
        }
    });
    if (status != XQ_OK && error.IsEmpty())
        error = what + De(" ist fehlgeschlagen (Näheres im Protokoll).") + De(outcome);
    return status;
}

}  // namespace

bool XQIsTsvKind(const CString& kind) {
    return XQFindTableByKind(kind.str()) != nullptr || xq::IcdIsTsvKind(kind) ||
           xq::OpsIsTsvKind(kind);
}

int XQLoadTsv(const CString& kind, const std::string& path, CString* errorText) {
    CString dummy;
    CString& error = errorText ? *errorText : dummy;
    const CString source = Utf8ToCp1252(path);
    return Guarded("Daten laden", De("Das Laden der Datei ") + source, kNothingLoaded, error, [&] {
        if (!xq::IcdIsTsvKind(kind) && !xq::OpsIsTsvKind(kind) && !KindTable(kind, &error))
            return XQ_NODB;
        std::string content;
        if (!ReadTsvFile(path, source, content, error)) return XQ_READERR;
        return LoadTsvContent(kind, content, source, error);
    });
}

int XQLoadTsvText(const CString& kind, std::string_view content, const CString& source,
                  CString* errorText) {
    CString dummy;
    CString& error = errorText ? *errorText : dummy;
    return Guarded("Daten laden", De("Das Laden von ") + source, kNothingLoaded, error,
                   [&] { return LoadTsvContent(kind, content, source, error); });
}

int XQDumpTsv(const CString& kind, std::ostream& out, CString* errorText) {
    CString dummy;
    CString& error = errorText ? *errorText : dummy;
    return Guarded("Daten ausgeben", De("Die Ausgabe von „") + kind + De("“"), "", error, [&] {
        error.Empty();
        if (xq::IcdIsTsvKind(kind)) return xq::IcdDumpTsv(kind, out, error);
        if (xq::OpsIsTsvKind(kind)) return xq::OpsDumpTsv(kind, out, error);
        const XQTableDef* table = KindTable(kind, &error);
        if (!table) return XQ_NODB;
        CXQDatabase* db = xq::ReadDb();
        xq::TsvDumpSpec spec;
        spec.table = table;
        for (size_t c = 0; c < table->columns.size(); ++c)
            if (table->columns[c].tsvName) spec.columns.push_back(static_cast<int>(c));
        spec.order = table->keys[static_cast<size_t>(table->dumpKey)].columns;
        if (kind == "tb" && db && xq::IsServer(*db)) {
            // The block's lines joined by LF, by the server in the same
            // answer: a query per block would be a round trip each.
            spec.extraName = "text";
            spec.extraSql =
                "(SELECT string_agg(e.tbentry, chr(10) ORDER BY e.k_lfdtbentry, e.rowid) FROM "
                "tbentry e WHERE e.k_kykuerzel=tb.k_kuerzel)";
            spec.extra = [](xq::Stmt* row, int column, std::string& text) {
                text = row->Bytes(column);
                return true;
            };
        } else if (kind == "tb") {
            // The block's lines joined by LF.
            spec.extraName = "text";
            spec.extraSql = "k_kuerzel";
            spec.extra = [db](xq::Stmt* row, int column, std::string& text) {
                xq::Stmt* lines = xq::Prepared(
                    *db,
                    "SELECT tbentry FROM tbentry WHERE k_kykuerzel=? ORDER BY k_lfdtbentry, "
                    "rowid");
                if (!lines) return false;
                xq::StmtUse use(lines);
                lines->BindBlob(1, row->Bytes(column));
                int rc;
                bool first = true;
                while ((rc = lines->Step()) == SQLITE_ROW) {
                    if (!first) text += '\n';
                    first = false;
                    text += xq::ColumnUtf8(lines, 0);
                }
                return rc == SQLITE_DONE;
            };
        }
        return xq::TsvDump(db, spec, out, error);
    });
}
