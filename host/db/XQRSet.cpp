#include "host/db/XQRSet.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>

#include "host/base/XQGuard.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQTable.h"

// ---------------------------------------------------------------- values

XQValue XQKeyValue(XQKeyForm form, const CString& value) {
    XQValue v;
    v.kind = XQValue::Blob;
    v.s = value.str();
    if (form == XQKeyForm::Number) {
        const std::string& s = value.str();
        size_t first = s.find_first_not_of(' ');
        size_t last = s.find_last_not_of(' ');
        if (first != std::string::npos && last - first + 1 <= 18) {
            bool digits = true;
            int64_t n = 0;
            for (size_t i = first; i <= last && digits; ++i) {
                if (s[i] < '0' || s[i] > '9')
                    digits = false;
                else
                    n = n * 10 + (s[i] - '0');
            }
            if (digits) {
                v.kind = XQValue::Int;
                v.i = n;
                v.s.clear();
            }
        }
        v.afterNumbers = v.kind == XQValue::Blob;
    }
    return v;
}

XQValue XQFoldValue(const CString& value) {
    CString upper = value;
    upper.MakeUpper();
    XQValue v;
    v.kind = XQValue::Blob;
    v.s = upper.str();
    return v;
}

namespace xq {

void BindText(sqlite3_stmt* stmt, int pos, const std::string& utf8) {
    sqlite3_bind_text(stmt, pos, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

void BindBlob(sqlite3_stmt* stmt, int pos, const std::string& bytes) {
    // data() is never null, so an empty value is an empty BLOB, not NULL.
    sqlite3_bind_blob(stmt, pos, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

void Bind(sqlite3_stmt* stmt, int pos, const XQValue& value) {
    switch (value.kind) {
        case XQValue::Int:
        case XQValue::Plain:
            sqlite3_bind_int64(stmt, pos, value.i);
            break;
        case XQValue::Blob:
            BindBlob(stmt, pos, value.s);
            break;
        case XQValue::Text:
            BindText(stmt, pos, value.s);
            break;
    }
}

std::string ColumnUtf8(sqlite3_stmt* stmt, int col) {
    const unsigned char* text = sqlite3_column_text(stmt, col);
    int length = sqlite3_column_bytes(stmt, col);
    if (!text) return std::string();
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
}

CString ColumnCp(sqlite3_stmt* stmt, int col) {
    return Utf8ToCp1252(ColumnUtf8(stmt, col));
}

}  // namespace xq

// ---------------------------------------------------------------- record set

namespace {

// Rows of the first page; each further page is twice the last, so that a
// query that must sort all its hits again per page is read a few times only.
constexpr int64_t kFirstPage = 64;

// "SELECT <id> FROM ... [WHERE ...] ORDER BY a [ASC|DESC], ..." taken apart
// so that the next page can start after the order key of the last row read.
struct QueryShape {
    std::string id;
    std::string body;  // " FROM ... [WHERE ...]"
    std::vector<std::string> order;
    bool ascending = true;
    bool total = false;  // the order ends with the row id
};

std::string Trimmed(const std::string& s) {
    size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

bool EndsWith(const std::string& s, const char* tail) {
    std::string t = tail;
    return s.size() > t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// False for a statement this layer does not know how to page: it is then
// read whole, as before.
bool SplitQuery(const std::string& sql, QueryShape& shape) {
    if (sql.compare(0, 7, "SELECT ") != 0) return false;
    size_t from = sql.find(" FROM ");
    size_t orderBy = sql.rfind(" ORDER BY ");
    if (from == std::string::npos || orderBy == std::string::npos || orderBy < from) return false;
    shape.id = Trimmed(sql.substr(7, from - 7));
    shape.body = sql.substr(from, orderBy - from);
    std::string order = sql.substr(orderBy + 10);
    if (shape.id.empty() || shape.id.find_first_of(",(") != std::string::npos ||
        order.find_first_of("()?'") != std::string::npos ||
        shape.body.find(" LIMIT ") != std::string::npos ||
        shape.body.find(" GROUP BY ") != std::string::npos ||
        order.find("LIMIT") != std::string::npos)
        return false;
    bool first = true;
    for (size_t pos = 0; pos <= order.size();) {
        size_t comma = order.find(',', pos);
        if (comma == std::string::npos) comma = order.size();
        std::string term = Trimmed(order.substr(pos, comma - pos));
        pos = comma + 1;
        bool ascending = true;
        if (EndsWith(term, " DESC")) {
            ascending = false;
            term = Trimmed(term.substr(0, term.size() - 5));
        } else if (EndsWith(term, " ASC")) {
            term = Trimmed(term.substr(0, term.size() - 4));
        }
        if (term.empty() || term.find(' ') != std::string::npos) return false;
        // Mixed directions would need an OR chain per page; no query has them.
        if (!first && ascending != shape.ascending) return false;
        shape.ascending = ascending;
        first = false;
        shape.order.push_back(term);
    }
    // Ending with the row id, the order is total and a page starts right
    // after the last row read. Otherwise the order is kept as it is (a row id
    // added would keep the planner from the covering index the query was
    // made for), and a page starts at the last key, skipping the rows of that
    // key already read.
    shape.total = shape.order.back() == shape.id;
    return true;
}

bool SameKey(xq::Stmt* stmt, int firstCol, const std::vector<XQValue>& key) {
    for (size_t i = 0; i < key.size(); ++i) {
        int col = firstCol + static_cast<int>(i);
        const XQValue& v = key[i];
        const int type = stmt->Type(col);
        switch (type) {
            case SQLITE_INTEGER:
                if (v.kind != XQValue::Plain || v.i != stmt->Int(col)) return false;
                break;
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                if (v.kind != (type == SQLITE_TEXT ? XQValue::Text : XQValue::Blob)) return false;
                if (stmt->Bytes(col) != v.s) return false;
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

// The order key of a row as values to bind; false for a type the keys never
// hold (then the rest is read without a key).
bool ReadKey(xq::Stmt* stmt, int firstCol, size_t count, std::vector<XQValue>& key) {
    key.assign(count, XQValue());
    for (size_t i = 0; i < count; ++i) {
        int col = firstCol + static_cast<int>(i);
        XQValue& v = key[i];
        switch (stmt->Type(col)) {
            case SQLITE_INTEGER:
                // A SQLite key's number or a row id: bound again as it is.
                v.kind = XQValue::Plain;
                v.i = stmt->Int(col);
                break;
            case SQLITE_TEXT:
                v.kind = XQValue::Text;
                v.s = stmt->Bytes(col);
                break;
            case SQLITE_BLOB: {
                // As the store keeps it: bound again, it needs no encoding.
                v.kind = XQValue::Blob;
                v.s = stmt->Bytes(col);
                break;
            }
            default:
                key.clear();
                return false;
        }
    }
    return true;
}

// The texts of count columns from first on, in Windows-1252.
std::vector<CString> RowOf(xq::Stmt* stmt, int first, size_t count) {
    std::vector<CString> row;
    row.reserve(count);
    for (size_t i = 0; i < count; ++i)
        row.push_back(xq::ColumnCp(stmt, first + static_cast<int>(i)));
    return row;
}

// A write of a set that may not write: null, with the reason noted.
CXQDatabase* Refusal(CXQDatabase* db) {
    if (db) xq::Refused(*db, SQLITE_READONLY);
    return nullptr;
}

}  // namespace

// What a query needs to read its next page of row ids and to count its hits.
struct CXQRSet::Query {
    std::string firstSql;  // ... ORDER BY ... LIMIT ?
    std::string nextSql;   // the same after the order key of the last row
    std::string countSql;  // empty: the statement is read whole
    std::vector<XQValue> values;
    std::vector<XQValue> lastKey;  // empty before the first page
    size_t keyColumns = 0;
    // The first page brings the first hits' rows after the key columns (on
    // the server, where the row would be a round trip of its own).
    bool firstRows = false;
    int64_t read = 0;  // rows the statement has given so far
    int64_t pageSize = kFirstPage;
    int64_t total = -1;         // counted hits, -1 before counting
    bool keyed = true;          // false: a key could not be kept, pages skip by number
    bool totalOrder = true;     // false: the next page starts at the last key, and
    std::vector<int64_t> ties;  // the rows of that key read are skipped
    // Rows this set inserted or rewrote since the query: a later page must
    // not bring them (again), as the hits stay those of the query.
    std::vector<int64_t> own;

    bool Own(int64_t id) const {
        for (int64_t o : own)
            if (o == id) return true;
        return false;
    }
};

// Every row is a round trip to the server, and a grid draws twenty of them
// at once: the row asked for comes with the next hits' rows. They serve
// while this process wrote nothing on the server and for a moment only, as
// the rows of one page drawn; a row missing from the answer is gone.
struct CXQRSet::ReadAhead {
    uint64_t stamp = 0;
    std::chrono::steady_clock::time_point at;
    std::unordered_map<int64_t, std::optional<std::vector<CString>>> rows;
};

namespace {
constexpr size_t kReadAhead = 20;
constexpr std::chrono::milliseconds kReadAheadFor{1000};
}  // namespace

CXQRSet::CXQRSet(CXQDatabase* db, const XQTableDef& table, std::vector<CString*> fields)
    : m_db(db && xq::IsCatalogue(table) ? xq::CatalogueOf(db) : db),
      m_table(table),
      m_fields(std::move(fields)),
      m_ascending(table.keys.size() + 1, true) {}

CXQRSet::~CXQRSet() = default;

void CXQRSet::EndQuery() {
    std::vector<int64_t>().swap(m_hits);
    m_index = -1;
    m_query.reset();
    m_ahead.reset();
}

int CXQRSet::ClearKey() {
    EndQuery();
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_table.columns[i].key != XQKeyForm::None) m_fields[i]->Empty();
    return XQ_OK;
}

int CXQRSet::ClearAll() {
    EndQuery();
    for (CString* field : m_fields) field->Empty();
    return XQ_OK;
}

int CXQRSet::SetKey(int keyNr, bool ascending) {
    if (keyNr < 1 || keyNr > static_cast<int>(m_table.keys.size())) return XQ_NODB;
    m_keyNr = keyNr;
    m_ascending[static_cast<size_t>(keyNr)] = ascending;
    return XQ_OK;
}

bool CXQRSet::IsAscending(int keyNr) const {
    if (keyNr < 1 || keyNr >= static_cast<int>(m_ascending.size())) return true;
    return m_ascending[static_cast<size_t>(keyNr)];
}

CXQDatabase* CXQRSet::Writer() const {
    return m_db ? m_db->WriteTarget() : nullptr;
}

int CXQRSet::GetByK1(int matchMode) {
    return XQGuard("Datensatz suchen", XQ_NODB, [&] { return QueryByKey(1, matchMode); });
}

int CXQRSet::GetByK2(int matchMode) {
    return XQGuard("Datensatz suchen", XQ_NODB, [&] { return QueryByKey(2, matchMode); });
}

int CXQRSet::GetAll() {
    return XQGuard("Datensatz suchen", XQ_NODB, [&] { return QueryByKey(m_keyNr, -1); });
}

// mode -1: all records.
int CXQRSet::QueryByKey(int keyNr, int matchMode) {
    if (!m_db || !m_db->IsOpen()) {
        EndQuery();
        return XQ_NODB;
    }
    if (keyNr < 1 || keyNr > static_cast<int>(m_table.keys.size())) {
        EndQuery();
        return XQ_NODB;
    }
    const XQKeyDef& key = m_table.keys[static_cast<size_t>(keyNr - 1)];
    bool ascending = IsAscending(keyNr);
    std::string tuple = "(";
    std::string params = "(";
    std::vector<XQValue> tupleValues;
    for (size_t i = 0; i < key.columns.size(); ++i) {
        size_t col = static_cast<size_t>(key.columns[i]);
        if (i) {
            tuple += ",";
            params += ",";
        }
        tuple += XQKeyColumn(m_table.columns[col]);
        params += "?";
        tupleValues.push_back(XQKeyValue(m_table.columns[col].key, *m_fields[col]));
    }
    tuple += ")";
    params += ")";

    std::string where;
    std::vector<XQValue> values;
    switch (matchMode) {
        case -1:
            break;
        case XQ_MATCH_EQUAL:
        case XQ_MATCH_FIELDS:
            for (size_t i = 0; i < key.columns.size(); ++i) {
                size_t col = static_cast<size_t>(key.columns[i]);
                // Mode 2: a field left empty does not constrain.
                if (matchMode == XQ_MATCH_FIELDS && m_fields[col]->IsEmpty()) continue;
                if (!where.empty()) where += " AND ";
                where += XQKeyColumn(m_table.columns[col]) + "=?";
                values.push_back(tupleValues[i]);
            }
            break;
        case XQ_MATCH_GE:
            where = tuple + (ascending ? ">=" : "<=") + params;
            values = tupleValues;
            break;
        case XQ_MATCH_GREATER:
            // The next greater and next smaller key are found whatever the
            // direction set: the hits run away from the given key.
            where = tuple + ">" + params;
            values = tupleValues;
            ascending = true;
            break;
        case XQ_MATCH_SMALLER:
            where = tuple + "<" + params;
            values = tupleValues;
            ascending = false;
            break;
        default:
            EndQuery();
            return XQ_NOTFOUND;
    }
    std::string order;
    const char* dir = ascending ? " ASC" : " DESC";
    for (size_t i = 0; i < key.columns.size(); ++i)
        order += XQKeyColumn(m_table.columns[static_cast<size_t>(key.columns[i])]) + dir + ", ";
    order += std::string("rowid") + dir;
    std::string sql = std::string("SELECT rowid FROM ") + m_table.name;
    if (!where.empty()) sql += " WHERE " + where;
    sql += " ORDER BY " + order;
    return QueryIds(sql, values);
}

int CXQRSet::QueryIds(const std::string& sql, const std::vector<XQValue>& values) {
    EndQuery();
    if (!m_db || !m_db->IsOpen()) return XQ_NODB;
    auto query = std::make_unique<Query>();
    query->values = values;
    QueryShape shape;
    if (SplitQuery(sql, shape)) {
        const size_t n = shape.order.size();
        const std::string cmp = shape.ascending ? ">" : "<";
        const std::string from = shape.total ? cmp : cmp + "=";
        std::string keys, order, tuple, params;
        for (size_t i = 0; i < n; ++i) {
            keys += "," + shape.order[i];
            order += (i ? ", " : "") + shape.order[i] + (shape.ascending ? " ASC" : " DESC");
            tuple += (i ? "," : "") + shape.order[i];
            params += i ? ",?" : "?";
        }
        // The bound on the first term alone lets the planner walk an index
        // range instead of testing the tuple on every row before it.
        std::string after =
            shape.order[0] + cmp + "=? AND (" + tuple + ")" + from + "(" + params + ")";
        if (n == 1) after = shape.order[0] + from + "?";
        size_t where = shape.body.find(" WHERE ");
        std::string nextBody = where == std::string::npos
                                   ? shape.body + " WHERE " + after
                                   : shape.body.substr(0, where) + " WHERE (" +
                                         shape.body.substr(where + 7) + ") AND " + after;
        query->firstSql =
            "SELECT " + shape.id + keys + shape.body + " ORDER BY " + order + " LIMIT ?";
        const size_t idAt = shape.id.size() >= 5 ? shape.id.size() - 5 : 0;
        if (xq::IsServer(*m_db) && shape.id.compare(idAt, 5, "rowid") == 0) {
            // The rows of the first page only: the hits are found (and
            // sorted) by their index, and only the page's rows are read.
            std::string inner = "SELECT " + shape.id + " AS q0";
            std::string outer = "SELECT q.q0";
            std::string outerOrder;
            for (size_t i = 0; i < n; ++i) {
                const std::string name = "q" + std::to_string(i + 1);
                inner += "," + shape.order[i] + " AS " + name;
                outer += ",q." + name;
                outerOrder += (i ? ", q." : "q.") + name + (shape.ascending ? " ASC" : " DESC");
            }
            for (const XQColumnDef& column : m_table.columns)
                outer += std::string(",r.") + column.name;
            query->firstSql = outer + " FROM (" + inner + shape.body + " ORDER BY " + order +
                              " LIMIT ?) q JOIN " + m_table.name + " r ON r.rowid=q.q0 ORDER BY " +
                              outerOrder;
            query->firstRows = true;
        }
        query->nextSql = "SELECT " + shape.id + keys + nextBody + " ORDER BY " + order + " LIMIT ?";
        query->countSql = "SELECT count(*)" + shape.body;
        query->keyColumns = n;
        query->totalOrder = shape.total;
    } else {
        query->firstSql = sql;
    }
    m_query = std::move(query);
    if (LoadPage(kFirstPage) != XQ_OK) {
        EndQuery();
        return XQ_NODB;
    }
    if (m_hits.empty()) return XQ_NOTFOUND;
    // The row that came with the ids is as fresh as one read now, also
    // inside a transaction.
    m_rowsFromQuery = true;
    int status = LoadAt(0, 1);
    m_rowsFromQuery = false;
    if (status != XQ_OK) EndQuery();
    return status;
}

// Reads the next page of row ids, at least want of them unless the hits end
// first. A failure leaves the ids read so far as they were.
int CXQRSet::LoadPage(int64_t want) {
    Query& q = *m_query;
    const bool paged = !q.countSql.empty() && q.keyed;
    const bool after = paged && !q.lastKey.empty();
    const std::vector<int64_t>* ties = after && !q.totalOrder ? &q.ties : nullptr;
    const int64_t limit =
        paged ? std::max(want, q.pageSize) + (ties ? static_cast<int64_t>(ties->size()) : 0) : -1;
    // Without a key the statement starts over and the rows read are skipped.
    const int64_t skip = q.keyed ? 0 : q.read;
    xq::Stmt* stmt = xq::Prepared(*m_db, after ? q.nextSql : q.firstSql);
    if (!stmt) return XQ_READERR;
    const size_t before = m_hits.size();
    std::vector<XQValue> lastKey;
    std::vector<int64_t> run;  // rows of lastKey, when the order is not total
    bool keyed = q.keyed;
    std::unique_ptr<ReadAhead> ahead;
    if (q.firstRows && !after) {
        ahead = std::make_unique<ReadAhead>();
        ahead->stamp = xq::ServerChangeStamp();
        ahead->at = std::chrono::steady_clock::now();
    }
    int64_t rows = 0, seenRows = 0;
    int rc;
    {
        xq::StmtUse use(stmt);
        int pos = 0;
        for (const XQValue& v : q.values) xq::Bind(stmt, ++pos, v);
        if (after) {
            if (q.lastKey.size() > 1) xq::Bind(stmt, ++pos, q.lastKey[0]);
            for (const XQValue& v : q.lastKey) xq::Bind(stmt, ++pos, v);
        }
        if (!q.countSql.empty()) stmt->BindInt(++pos, limit);
        while ((rc = xq::Step(stmt)) == SQLITE_ROW) {
            if (++rows <= skip) continue;
            int64_t id = stmt->Int(0);
            if (ahead && ahead->rows.size() < kReadAhead) {
                ahead->rows[id] = RowOf(stmt, 1 + static_cast<int>(q.keyColumns), m_fields.size());
            }
            bool seen = ties && std::find(ties->begin(), ties->end(), id) != ties->end();
            if (seen)
                ++seenRows;
            else if (!q.Own(id))
                m_hits.push_back(id);
            if (paged && !q.totalOrder) {
                if (lastKey.empty() || !SameKey(stmt, 1, lastKey)) {
                    run.clear();
                    if (!ReadKey(stmt, 1, q.keyColumns, lastKey)) keyed = false;
                }
                run.push_back(id);
            } else if (rows == limit) {
                keyed = ReadKey(stmt, 1, q.keyColumns, lastKey);
            }
        }
    }
    if (rc != SQLITE_DONE) {
        m_hits.resize(before);
        return XQ_READERR;
    }
    if (ahead) m_ahead = std::move(ahead);
    if (limit < 0 || rows < limit) {
        // All ids read: the count is theirs, the query is no longer needed.
        m_query.reset();
        if (m_hits.capacity() > m_hits.size() + m_hits.size() / 8 + 64) m_hits.shrink_to_fit();
        return XQ_OK;
    }
    q.read += rows - skip - seenRows;
    q.lastKey.swap(lastKey);
    q.ties.swap(run);
    q.keyed = keyed;
    q.pageSize = std::min<int64_t>(limit * 2, int64_t(1) << 24);
    return XQ_OK;
}

// Reads pages until index is among the ids read or the hits end.
int CXQRSet::LoadIds(int index) {
    while (m_query && static_cast<size_t>(index) >= m_hits.size()) {
        int status =
            LoadPage(static_cast<int64_t>(index) + 1 - static_cast<int64_t>(m_hits.size()));
        if (status != XQ_OK) return status;
    }
    return XQ_OK;
}

int CXQRSet::AnzHits() const {
    const int64_t read = static_cast<int64_t>(m_hits.size());
    if (!m_query) return static_cast<int>(read);
    Query& q = *m_query;
    if (q.total < 0 && m_db && m_db->IsOpen()) {
        // Left uncounted on a failure: the next call tries again.
        q.total = XQGuard("Treffer z\344hlen", int64_t(-1), [&]() -> int64_t {
            // A count walks every leaf page of an index once. Kept in the
            // cache they would only fill memory (a page fault each on
            // growing it); a small cache meanwhile lets them pass. Not inside
            // a transaction, whose changed pages must not be spilled.
            xq::CacheSize cache(*m_db);
            if (!xq::IsServer(*m_db) && sqlite3_get_autocommit(xq::Handle(*m_db))) cache.Set(-128);
            xq::Stmt* stmt = xq::Prepared(*m_db, q.countSql);
            if (!stmt) return -1;
            xq::StmtUse use(stmt);
            int pos = 0;
            for (const XQValue& v : q.values) xq::Bind(stmt, ++pos, v);
            if (stmt->Step() != SQLITE_ROW) return -1;
            return stmt->Int(0);
        });
    }
    return static_cast<int>(std::min<int64_t>(std::max(read, q.total), INT32_MAX));
}

// Drops a hit whose row is gone.
void CXQRSet::ForgetHit(size_t index) {
    m_hits.erase(m_hits.begin() + static_cast<std::ptrdiff_t>(index));
    if (m_query && m_query->total > 0) --m_query->total;
    if (m_index > static_cast<int>(index)) --m_index;
    if (m_index >= static_cast<int>(m_hits.size())) m_index = static_cast<int>(m_hits.size()) - 1;
}

int CXQRSet::LoadRow(int64_t id, bool& gone) {
    gone = false;
    std::string sql = "SELECT ";
    for (size_t i = 0; i < m_table.columns.size(); ++i) {
        if (i) sql += ",";
        sql += m_table.columns[i].name;
    }
    sql += std::string(" FROM ") + m_table.name + " WHERE rowid=?";
    xq::Stmt* stmt = xq::Prepared(*m_db, sql);
    if (!stmt) return XQ_READERR;
    xq::StmtUse use(stmt);
    stmt->BindInt(1, id);
    int rc = stmt->Step();
    if (rc == SQLITE_DONE) {
        gone = true;
        return XQ_OK;
    }
    if (rc != SQLITE_ROW) return XQ_READERR;
    TakeRow(id, RowOf(stmt, 0, m_fields.size()));
    return XQ_OK;
}

bool CXQRSet::FromAhead(int64_t id, int& status, bool& gone) {
    gone = false;
    status = XQ_OK;
    const ReadAhead* ahead = m_ahead.get();
    if (!ahead || ahead->stamp != xq::ServerChangeStamp() ||
        std::chrono::steady_clock::now() - ahead->at > kReadAheadFor)
        return false;
    const auto found = ahead->rows.find(id);
    if (found == ahead->rows.end()) return false;
    // The fault seam strikes a row read ahead as it would the server's.
    if (xq::FaultStrikes()) {
        xq::NoteFailure(*m_db, xq::Reason(SQLITE_IOERR), xq::De("simulierter Fehler: Zeile lesen"));
        status = XQ_READERR;
        return true;
    }
    if (!found->second) {
        gone = true;
        return true;
    }
    TakeRow(id, *found->second);
    return true;
}

void CXQRSet::TakeRow(int64_t id, std::vector<CString> row) {
    for (size_t i = 0; i < m_fields.size(); ++i) *m_fields[i] = std::move(row[i]);
    RowLoaded(id);
}

int CXQRSet::LoadRowAhead(size_t index, bool& gone) {
    int status;
    if (FromAhead(m_hits[index], status, gone)) return status;
    auto fresh = std::make_unique<ReadAhead>();
    fresh->stamp = xq::ServerChangeStamp();
    fresh->at = std::chrono::steady_clock::now();
    std::string ids = "{";
    for (size_t i = index; i < m_hits.size() && i < index + kReadAhead; ++i) {
        ids += (i > index ? "," : "") + std::to_string(m_hits[i]);
        fresh->rows[m_hits[i]] = std::nullopt;
    }
    ids += "}";
    std::string sql = "SELECT rowid";
    for (const XQColumnDef& column : m_table.columns) sql += std::string(",") + column.name;
    sql += std::string(" FROM ") + m_table.name + " WHERE rowid = ANY(?::bigint[])";
    xq::Stmt* stmt = xq::Prepared(*m_db, sql);
    if (!stmt) return XQ_READERR;
    {
        xq::StmtUse use(stmt);
        stmt->BindText(1, ids);
        int rc;
        while ((rc = stmt->Step()) == SQLITE_ROW)
            fresh->rows[stmt->Int(0)] = RowOf(stmt, 1, m_fields.size());
        if (rc != SQLITE_DONE) return XQ_READERR;
    }
    const std::optional<std::vector<CString>>& row = fresh->rows[m_hits[index]];
    m_ahead = std::move(fresh);
    if (!row) {
        gone = true;
        return XQ_OK;
    }
    TakeRow(m_hits[index], *row);
    return XQ_OK;
}

int CXQRSet::SetHits(std::vector<int64_t> ids) {
    EndQuery();
    if (!m_db || !m_db->IsOpen()) return XQ_NODB;
    m_hits = std::move(ids);
    if (m_hits.empty()) return XQ_NOTFOUND;
    const int status = LoadAt(0, 1);
    if (status != XQ_OK) EndQuery();
    return status;
}

// Loads the hit at index; a row deleted meanwhile is dropped from the hits
// and the walk goes on in the direction of step.
int CXQRSet::LoadAt(int index, int step) {
    if (!m_db || !m_db->IsOpen()) return XQ_READERR;
    while (index >= 0) {
        int status = LoadIds(index);
        if (status != XQ_OK) return status;
        if (static_cast<size_t>(index) >= m_hits.size()) break;
        bool gone = false;
        // Inside a transaction the rows are read as they are now: what it
        // decides on must not be a second old.
        const bool ahead = xq::IsServer(*m_db) && m_db->TransactionDepth() == 0 &&
                           (!dbDatabase || dbDatabase->TransactionDepth() == 0);
        const bool came =
            m_rowsFromQuery && FromAhead(m_hits[static_cast<size_t>(index)], status, gone);
        if (!came)
            status = ahead ? LoadRowAhead(static_cast<size_t>(index), gone)
                           : LoadRow(m_hits[static_cast<size_t>(index)], gone);
        if (status != XQ_OK) return status;
        if (!gone) {
            m_index = index;
            return XQ_OK;
        }
        ForgetHit(static_cast<size_t>(index));
        if (step < 0) --index;
    }
    return XQ_NOTFOUND;
}

int CXQRSet::Next() {
    return XQGuard("Datensatz lesen", XQ_READERR, [&] {
        if (!HasCurrent()) return XQ_NOTFOUND;
        return LoadAt(m_index + 1, 1);
    });
}

int CXQRSet::Prev() {
    return XQGuard("Datensatz lesen", XQ_READERR, [&] {
        if (!HasCurrent()) return XQ_NOTFOUND;
        return LoadAt(m_index - 1, -1);
    });
}

int CXQRSet::First() {
    return XQGuard("Datensatz lesen", XQ_READERR, [&] { return LoadAt(0, 1); });
}

// Past the end stays put: the ids up to the target are read, not counted.
int CXQRSet::Jump(int count) {
    return XQGuard("Datensatz lesen", XQ_READERR, [&] {
        if (!HasCurrent()) return XQ_NOTFOUND;
        int64_t target = static_cast<int64_t>(m_index) + count;
        if (target < 0 || target > std::numeric_limits<int>::max()) return XQ_NOTFOUND;
        return LoadAt(static_cast<int>(target), count < 0 ? -1 : 1);
    });
}

int CXQRSet::SeekIndex(int index) {
    return XQGuard("Datensatz lesen", XQ_READERR, [&] {
        if (index < 0) return XQ_NOTFOUND;
        return LoadAt(index, 1);
    });
}

namespace {

// Column list and values of a record for INSERT and UPDATE: the texts, then
// their comparable and folded forms.
void RowColumns(const XQTableDef& table, const std::vector<CString*>& fields,
                std::vector<std::string>& names, std::vector<XQValue>& values) {
    for (size_t i = 0; i < table.columns.size(); ++i) {
        names.push_back(table.columns[i].name);
        XQValue v;
        v.kind = XQValue::Text;
        v.s = Cp1252ToUtf8(fields[i]->str());
        values.push_back(std::move(v));
    }
    for (size_t i = 0; i < table.columns.size(); ++i) {
        if (table.columns[i].key == XQKeyForm::None) continue;
        names.push_back(XQKeyColumn(table.columns[i]));
        values.push_back(XQKeyValue(table.columns[i].key, *fields[i]));
    }
    for (size_t i = 0; i < table.columns.size(); ++i) {
        if (!table.columns[i].folded) continue;
        names.push_back(XQFoldColumn(table.columns[i]));
        values.push_back(XQFoldValue(*fields[i]));
    }
}

}  // namespace

namespace {

// Shared by XQInsertRow and XQUpsertRow: runs "INSERT ... VALUES(...)" and
// tail with the record's values.
int InsertRow(CXQDatabase& db, const XQTableDef& table, const std::vector<CString*>& fields,
              const std::string& tail) {
    std::vector<std::string> names;
    std::vector<XQValue> values;
    RowColumns(table, fields, names, values);
    std::string sql = std::string("INSERT INTO ") + table.name + "(";
    std::string params;
    for (size_t i = 0; i < names.size(); ++i) {
        sql += (i ? "," : "") + names[i];
        params += i ? ",?" : "?";
    }
    sql += ") VALUES(" + params + ")" + tail;
    xq::Stmt* stmt = xq::Prepared(db, sql);
    if (!stmt) return XQ_LOCKED;
    xq::StmtUse use(stmt);
    for (size_t i = 0; i < values.size(); ++i) xq::Bind(stmt, static_cast<int>(i + 1), values[i]);
    return stmt->Step() == SQLITE_DONE ? XQ_OK : XQ_LOCKED;
}

}  // namespace

int XQInsertRow(CXQDatabase& db, const XQTableDef& table, const std::vector<CString*>& fields) {
    return InsertRow(db, table, fields, "");
}

int XQUpsertRow(CXQDatabase& db, const XQTableDef& table, const std::vector<CString*>& fields,
                int keyNr, const std::vector<int>& update) {
    const XQKeyDef& key = table.keys[static_cast<size_t>(keyNr - 1)];
    std::string tail = " ON CONFLICT(";
    for (size_t i = 0; i < key.columns.size(); ++i)
        tail += (i ? "," : "") + XQKeyColumn(table.columns[static_cast<size_t>(key.columns[i])]);
    tail += ") DO UPDATE SET ";
    bool first = true;
    const auto set = [&](const std::string& column) {
        tail += (first ? "" : ",") + column + "=excluded." + column;
        first = false;
    };
    for (int c : update) {
        const XQColumnDef& column = table.columns[static_cast<size_t>(c)];
        set(column.name);
        if (column.key != XQKeyForm::None) set(XQKeyColumn(column));
        if (column.folded) set(XQFoldColumn(column));
    }
    return InsertRow(db, table, fields, tail);
}

int CXQRSet::Write(const CString&) {
    return XQGuard("Datensatz speichern", XQ_LOCKED, [&] {
        if (!m_db || !m_db->IsOpen()) return XQ_NODB;
        CXQDatabase* writer = m_readOnly ? Refusal(m_db) : Writer();
        if (!writer) return XQ_LOCKED;
        // Counted before, and kept out of the pages after: the new row does
        // not join the hits of a running query.
        if (m_query) AnzHits();
        int status = XQInsertRow(*writer, m_table, m_fields);
        if (status == XQ_OK && m_query) m_query->own.push_back(xq::InsertedId(*writer));
        return status;
    });
}

int CXQRSet::Rewrite(const CString&) {
    return XQGuard("Datensatz speichern", XQ_LOCKED, [&] {
        if (!m_db || !m_db->IsOpen()) return XQ_NODB;
        if (!HasCurrent()) return XQ_NOTFOUND;
        CXQDatabase* writer = m_readOnly ? Refusal(m_db) : Writer();
        if (!writer) return XQ_LOCKED;
        // The row stays where it was among the hits, whatever its new key.
        if (m_query) AnzHits();
        std::vector<std::string> names;
        std::vector<XQValue> values;
        RowColumns(m_table, m_fields, names, values);
        std::string sql = std::string("UPDATE ") + m_table.name + " SET ";
        for (size_t i = 0; i < names.size(); ++i) sql += (i ? "," : "") + names[i] + "=?";
        sql += " WHERE rowid=?";
        xq::Stmt* stmt = xq::Prepared(*writer, sql);
        if (!stmt) return XQ_LOCKED;
        xq::StmtUse use(stmt);
        for (size_t i = 0; i < values.size(); ++i)
            xq::Bind(stmt, static_cast<int>(i + 1), values[i]);
        stmt->BindInt(static_cast<int>(values.size() + 1), CurrentId());
        if (stmt->Step() != SQLITE_DONE) return XQ_LOCKED;
        // No row changed: another workstation deleted it meanwhile.
        if (xq::Changes(*writer) == 0) return XQ_NOTFOUND;
        if (m_query) m_query->own.push_back(CurrentId());
        return XQ_OK;
    });
}

int CXQRSet::Delete() {
    return XQGuard("Datensatz l\366schen", XQ_LOCKED, [&] {
        if (!m_db || !m_db->IsOpen()) return XQ_NODB;
        if (!HasCurrent()) return XQ_NOTFOUND;
        CXQDatabase* writer = m_readOnly ? Refusal(m_db) : Writer();
        if (!writer) return XQ_LOCKED;
        std::string sql = std::string("DELETE FROM ") + m_table.name + " WHERE rowid=?";
        xq::Stmt* stmt = xq::Prepared(*writer, sql);
        if (!stmt) return XQ_LOCKED;
        {
            xq::StmtUse use(stmt);
            stmt->BindInt(1, CurrentId());
            if (stmt->Step() != SQLITE_DONE) return XQ_LOCKED;
        }
        int index = m_index;
        ForgetHit(static_cast<size_t>(index));
        m_index = -1;
        return LoadAt(index, 1);
    });
}
