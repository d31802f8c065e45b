#include "host/db/XQRSet.h"

#include <limits>

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

CXQRSet::CXQRSet(CXQDatabase* db, const XQTableDef& table, std::vector<CString*> fields)
    : m_db(db),
      m_table(table),
      m_fields(std::move(fields)),
      m_ascending(table.keys.size() + 1, true) {}

CXQRSet::~CXQRSet() = default;

void CXQRSet::EndQuery() {
    std::vector<int64_t>().swap(m_hits);
    m_index = -1;
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
    sqlite3_stmt* stmt = xq::Statement(*m_db, sql);
    if (!stmt) return XQ_NODB;
    std::vector<int64_t> hits;
    {
        xq::StmtUse use(stmt);
        for (size_t i = 0; i < values.size(); ++i)
            xq::Bind(stmt, static_cast<int>(i + 1), values[i]);
        int rc;
        while ((rc = xq::Step(stmt)) == SQLITE_ROW) hits.push_back(sqlite3_column_int64(stmt, 0));
        if (rc != SQLITE_DONE) return XQ_NODB;
    }
    if (hits.capacity() > hits.size() + hits.size() / 8 + 64) hits.shrink_to_fit();
    m_hits.swap(hits);
    if (m_hits.empty()) return XQ_NOTFOUND;
    int status = LoadAt(0, 1);
    if (status != XQ_OK) EndQuery();
    return status;
}

int CXQRSet::LoadRow(int64_t id, bool& gone) {
    gone = false;
    std::string sql = "SELECT ";
    for (size_t i = 0; i < m_table.columns.size(); ++i) {
        if (i) sql += ",";
        sql += m_table.columns[i].name;
    }
    sql += std::string(" FROM ") + m_table.name + " WHERE rowid=?";
    sqlite3_stmt* stmt = xq::Statement(*m_db, sql);
    if (!stmt) return XQ_READERR;
    xq::StmtUse use(stmt);
    sqlite3_bind_int64(stmt, 1, id);
    int rc = xq::Step(stmt);
    if (rc == SQLITE_DONE) {
        gone = true;
        return XQ_OK;
    }
    if (rc != SQLITE_ROW) return XQ_READERR;
    std::vector<CString> row;
    row.reserve(m_fields.size());
    for (size_t i = 0; i < m_fields.size(); ++i)
        row.push_back(xq::ColumnCp(stmt, static_cast<int>(i)));
    for (size_t i = 0; i < m_fields.size(); ++i) *m_fields[i] = std::move(row[i]);
    return XQ_OK;
}

// Loads the hit at index; a row deleted meanwhile is dropped from the hits
// and the walk goes on in the direction of step.
int CXQRSet::LoadAt(int index, int step) {
    if (!m_db || !m_db->IsOpen()) return XQ_READERR;
    while (index >= 0 && index < AnzHits()) {
        bool gone = false;
        int status = LoadRow(m_hits[static_cast<size_t>(index)], gone);
        if (status != XQ_OK) return status;
        if (!gone) {
            m_index = index;
            return XQ_OK;
        }
        m_hits.erase(m_hits.begin() + index);
        if (m_index > index) --m_index;
        if (m_index >= AnzHits()) m_index = AnzHits() - 1;
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

int CXQRSet::Jump(int count) {
    return XQGuard("Datensatz lesen", XQ_READERR, [&] {
        if (!HasCurrent()) return XQ_NOTFOUND;
        int64_t target = static_cast<int64_t>(m_index) + count;
        if (target < 0 || target >= AnzHits()) return XQ_NOTFOUND;
        return LoadAt(static_cast<int>(target), count < 0 ? -1 : 1);
    });
}

int CXQRSet::SeekIndex(int index) {
    return XQGuard("Datensatz lesen", XQ_READERR, [&] {
        if (index < 0 || index >= AnzHits()) return XQ_NOTFOUND;
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

int XQInsertRow(CXQDatabase& db, const XQTableDef& table, const std::vector<CString*>& fields) {
    std::vector<std::string> names;
    std::vector<XQValue> values;
    RowColumns(table, fields, names, values);
    std::string sql = std::string("INSERT INTO ") + table.name + "(";
    std::string params;
    for (size_t i = 0; i < names.size(); ++i) {
        sql += (i ? "," : "") + names[i];
        params += i ? ",?" : "?";
    }
    sql += ") VALUES(" + params + ")";
    sqlite3_stmt* stmt = xq::Statement(db, sql);
    if (!stmt) return XQ_LOCKED;
    xq::StmtUse use(stmt);
    for (size_t i = 0; i < values.size(); ++i) xq::Bind(stmt, static_cast<int>(i + 1), values[i]);
    return xq::Step(stmt) == SQLITE_DONE ? XQ_OK : XQ_LOCKED;
}

int CXQRSet::Write(const CString&) {
    return XQGuard("Datensatz speichern", XQ_LOCKED, [&] {
        if (!m_db || !m_db->IsOpen()) return XQ_NODB;
        CXQDatabase* writer = Writer();
        if (m_readOnly || !writer) return XQ_LOCKED;
        return XQInsertRow(*writer, m_table, m_fields);
    });
}

int CXQRSet::Rewrite(const CString&) {
    return XQGuard("Datensatz speichern", XQ_LOCKED, [&] {
        if (!m_db || !m_db->IsOpen()) return XQ_NODB;
        if (!HasCurrent()) return XQ_NOTFOUND;
        CXQDatabase* writer = Writer();
        if (m_readOnly || !writer) return XQ_LOCKED;
        std::vector<std::string> names;
        std::vector<XQValue> values;
        RowColumns(m_table, m_fields, names, values);
        std::string sql = std::string("UPDATE ") + m_table.name + " SET ";
        for (size_t i = 0; i < names.size(); ++i) sql += (i ? "," : "") + names[i] + "=?";
        sql += " WHERE rowid=?";
        sqlite3_stmt* stmt = xq::Statement(*writer, sql);
        if (!stmt) return XQ_LOCKED;
        xq::StmtUse use(stmt);
        for (size_t i = 0; i < values.size(); ++i)
            xq::Bind(stmt, static_cast<int>(i + 1), values[i]);
        sqlite3_bind_int64(stmt, static_cast<int>(values.size() + 1), CurrentId());
        if (xq::Step(stmt) != SQLITE_DONE) return XQ_LOCKED;
        // No row changed: another workstation deleted it meanwhile.
        return sqlite3_changes(xq::Handle(*writer)) > 0 ? XQ_OK : XQ_NOTFOUND;
    });
}

int CXQRSet::Delete() {
    return XQGuard("Datensatz l\366schen", XQ_LOCKED, [&] {
        if (!m_db || !m_db->IsOpen()) return XQ_NODB;
        if (!HasCurrent()) return XQ_NOTFOUND;
        CXQDatabase* writer = Writer();
        if (m_readOnly || !writer) return XQ_LOCKED;
        std::string sql = std::string("DELETE FROM ") + m_table.name + " WHERE rowid=?";
        sqlite3_stmt* stmt = xq::Statement(*writer, sql);
        if (!stmt) return XQ_LOCKED;
        {
            xq::StmtUse use(stmt);
            sqlite3_bind_int64(stmt, 1, CurrentId());
            if (xq::Step(stmt) != SQLITE_DONE) return XQ_LOCKED;
        }
        int index = m_index;
        m_hits.erase(m_hits.begin() + index);
        m_index = -1;
        return LoadAt(index, 1);
    });
}
