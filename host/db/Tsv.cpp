#include "host/db/Tsv.h"

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "host/db/XQDatabase.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQTable.h"

namespace {

using xq::De;

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

CString LineError(int line, const CString& what) {
    return FormatString("Zeile %d: ", line) + what;
}

// One file column as a Windows-1252 value, or false with the reason.
bool FieldValue(std::string_view escaped, CString& value, CString& error) {
    std::string utf8;
    if (!XQUnescapeField(escaped, utf8)) {
        error = De("ungültige Escape-Folge (erlaubt sind \\r, \\n, \\t, \\\\ und \\xHH).");
        return false;
    }
    if (!IsValidUtf8(utf8)) {
        error = De("kein gültiges UTF-8.");
        return false;
    }
    value = Utf8ToCp1252(utf8);
    if (Cp1252ToUtf8(value.str()) != utf8) {
        error = De("enthält ein Zeichen, das es in Windows-1252 nicht gibt.");
        return false;
    }
    return true;
}

// The loader of one file: header mapping, then row by row into the open
// transaction.
class Loader {
  public:
    Loader(CXQDatabase& db, const XQTableDef& table, bool withText)
        : m_db(db), m_table(table), m_withText(withText), m_values(table.columns.size()) {}

    bool Header(std::string_view line, CString& error) {
        std::vector<std::string_view> names = SplitTabs(line);
        m_width = names.size();
        std::map<std::string, size_t> positions;
        for (size_t i = 0; i < names.size(); ++i) {
            std::string name(names[i]);
            if (!positions.emplace(name, i).second) {
                error = De("Die Spalte „") + Utf8ToCp1252(name) +
                        De("“ steht zweimal in der Kopfzeile.");
                return false;
            }
        }
        m_source.assign(m_table.columns.size(), kMissing);
        for (size_t c = 0; c < m_table.columns.size(); ++c) {
            const char* name = m_table.columns[c].tsvName;
            if (!name) continue;
            auto found = positions.find(name);
            if (found != positions.end()) m_source[c] = found->second;
        }
        if (m_withText) {
            auto found = positions.find("text");
            m_textSource = found != positions.end() ? found->second : kMissing;
        }
        // The columns that name a record are mandatory.
        const XQKeyDef& key = m_table.keys[static_cast<size_t>(m_table.identityKey)];
        for (int c : key.columns) {
            if (m_source[static_cast<size_t>(c)] == kMissing) {
                error = De("Die Pflichtspalte „") +
                        m_table.columns[static_cast<size_t>(c)].tsvName +
                        De("“ fehlt in der Kopfzeile.");
                return false;
            }
        }
        return true;
    }

    // 0, or a status with error set.
    int Row(std::string_view line, CString& error) {
        std::vector<std::string_view> fields = SplitTabs(line);
        if (fields.size() != m_width) {
            error = FormatString("%d Felder statt %d.", static_cast<int>(fields.size()),
                                 static_cast<int>(m_width));
            return XQ_READERR;
        }
        for (size_t c = 0; c < m_values.size(); ++c) {
            m_values[c].Empty();
            if (m_source[c] == kMissing) continue;
            CString reason;
            if (!FieldValue(fields[m_source[c]], m_values[c], reason)) {
                error = De("Spalte „") + m_table.columns[c].tsvName + De("“ ") + reason;
                return XQ_READERR;
            }
        }
        CString text;
        if (m_withText && m_textSource != kMissing) {
            CString reason;
            if (!FieldValue(fields[m_textSource], text, reason)) {
                error = De("Spalte „text“ ") + reason;
                return XQ_READERR;
            }
        }
        // Replace: the record with the same key goes first.
        const XQKeyDef& key = m_table.keys[static_cast<size_t>(m_table.identityKey)];
        std::string sql = std::string("DELETE FROM ") + m_table.name + " WHERE ";
        for (size_t i = 0; i < key.columns.size(); ++i)
            sql += (i ? " AND " : "") +
                   XQKeyColumn(m_table.columns[static_cast<size_t>(key.columns[i])]) + "=?";
        sqlite3_stmt* del = xq::Statement(m_db, sql);
        if (!del) return WriteError(error);
        {
            xq::StmtUse use(del);
            for (size_t i = 0; i < key.columns.size(); ++i) {
                size_t c = static_cast<size_t>(key.columns[i]);
                xq::Bind(del, static_cast<int>(i + 1),
                         XQKeyValue(m_table.columns[c].key, m_values[c]));
            }
            if (xq::Step(del) != SQLITE_DONE) return WriteError(error);
        }
        std::vector<CString*> pointers;
        for (CString& v : m_values) pointers.push_back(&v);
        if (XQInsertRow(m_db, m_table, pointers) != XQ_OK) return WriteError(error);
        if (m_withText) return Lines(m_values[0], text, error);
        return XQ_OK;
    }

  private:
    static constexpr size_t kMissing = static_cast<size_t>(-1);

    int WriteError(CString& error) {
        error = De("konnte nicht gespeichert werden: ") +
                Utf8ToCp1252(sqlite3_errmsg(xq::Handle(m_db)));
        return XQ_LOCKED;
    }

    // The block's lines: the text split at LF (a CR before it belongs to the
    // break), numbered from 0.
    int Lines(const CString& kuerzel, const CString& text, CString& error) {
        sqlite3_stmt* del = xq::Statement(m_db, "DELETE FROM tbentry WHERE k_kykuerzel=?");
        if (!del) return WriteError(error);
        {
            xq::StmtUse use(del);
            xq::Bind(del, 1, XQKeyValue(XQKeyForm::Text, kuerzel));
            if (xq::Step(del) != SQLITE_DONE) return WriteError(error);
        }
        if (text.IsEmpty()) return XQ_OK;
        const std::string& s = text.str();
        size_t start = 0;
        for (int number = 0;; ++number) {
            size_t lf = s.find('\n', start);
            std::string line =
                s.substr(start, lf == std::string::npos ? std::string::npos : lf - start);
            if (!line.empty() && line.back() == '\r' && lf != std::string::npos) line.pop_back();
            CString k = kuerzel;
            CString lfd = FormatString("%3d", number);
            CString entry(std::move(line));
            if (XQInsertRow(m_db, XQTableTbEntry(), {&k, &lfd, &entry}) != XQ_OK)
                return WriteError(error);
            if (lf == std::string::npos) break;
            start = lf + 1;
        }
        return XQ_OK;
    }

    CXQDatabase& m_db;
    const XQTableDef& m_table;
    bool m_withText;
    size_t m_width = 0;
    std::vector<size_t> m_source;
    size_t m_textSource = kMissing;
    std::vector<CString> m_values;
};

}  // namespace

namespace xq {

std::vector<std::string_view> TsvSplit(std::string_view line) {
    return SplitTabs(line);
}

bool TsvField(std::string_view escaped, CString& value, CString& error) {
    return FieldValue(escaped, value, error);
}

int TsvLoad(std::string& content, const CString& source, const TsvRows& rows, CString& error) {
    if (!dbDatabase || !dbDatabase->IsOpen()) {
        error = De("Die Praxisdatenbank ist nicht geöffnet.");
        return XQ_NODB;
    }
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
    std::vector<std::string_view> lines;
    std::string_view rest(content);
    while (!rest.empty()) {
        size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
    }
    if (lines.empty()) {
        error = De("Die Datei ") + source + De(" ist leer: die Kopfzeile fehlt.");
        return XQ_READERR;
    }
    CString reason;
    if (!rows.header(lines[0], reason)) {
        error = LineError(1, reason);
        return XQ_READERR;
    }
    if (dbDatabase->Begin() != XQ_OK) {
        error = De("Die Datenbank ist gesperrt; es wurde nichts geladen.");
        return XQ_LOCKED;
    }
    for (size_t i = 1; i < lines.size(); ++i) {
        int status = rows.row(lines[i], reason);
        if (status != XQ_OK) {
            dbDatabase->Rollback();
            error = LineError(static_cast<int>(i + 1), reason) + De(" Es wurde nichts geladen.");
            return status;
        }
    }
    if ((rows.finish && rows.finish() != XQ_OK) || dbDatabase->Commit() != XQ_OK) {
        if (dbDatabase->TransactionDepth() > 0) dbDatabase->Rollback();
        error = De("Die Daten konnten nicht gespeichert werden; es wurde nichts geladen.");
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

// Loads already-read file content; source names it in messages.
int LoadTsvContent(const CString& kind, std::string content, const CString& source,
                   CString& error) {
    if (xq::IcdIsTsvKind(kind)) return xq::IcdLoadTsv(kind, content, source, error);
    const XQTableDef* table = KindTable(kind, &error);
    if (!table) return XQ_NODB;
    if (!dbDatabase) return xq::TsvLoad(content, source, {}, error);  // says it is not open
    Loader loader(*dbDatabase, *table, kind == "tb");
    return xq::TsvLoad(
        content, source,
        {[&](std::string_view line, CString& e) { return loader.Header(line, e); },
         [&](std::string_view line, CString& e) { return loader.Row(line, e); }, nullptr},
        error);
}

}  // namespace

bool XQIsTsvKind(const CString& kind) {
    return XQFindTableByKind(kind.str()) != nullptr || xq::IcdIsTsvKind(kind);
}

int XQLoadTsv(const CString& kind, const std::string& path, CString* errorText) {
    CString dummy;
    CString& error = errorText ? *errorText : dummy;
    return xq::Guard(XQ_NODB, [&] {
        error.Empty();
        if (!xq::IcdIsTsvKind(kind) && !KindTable(kind, &error)) return XQ_NODB;
        std::ifstream in(path, std::ios::binary);
        std::string content;
        if (in)
            content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in || in.bad()) {
            error = De("Die Datei ") + Utf8ToCp1252(path) + De(" konnte nicht gelesen werden.");
            return XQ_READERR;
        }
        return LoadTsvContent(kind, std::move(content), Utf8ToCp1252(path), error);
    });
}

int XQLoadTsvText(const CString& kind, std::string_view content, const CString& source,
                  CString* errorText) {
    CString dummy;
    CString& error = errorText ? *errorText : dummy;
    return xq::Guard(XQ_NODB, [&] {
        error.Empty();
        return LoadTsvContent(kind, std::string(content), source, error);
    });
}

int XQDumpTsv(const CString& kind, std::ostream& out, CString* errorText) {
    CString dummy;
    CString& error = errorText ? *errorText : dummy;
    return xq::Guard(XQ_NODB, [&] {
        error.Empty();
        if (xq::IcdIsTsvKind(kind)) return xq::IcdDumpTsv(kind, out, error);
        const XQTableDef* table = KindTable(kind, &error);
        if (!table) return XQ_NODB;
        CXQDatabase* db = dbDatabaseRO && dbDatabaseRO->IsOpen() ? dbDatabaseRO : dbDatabase;
        if (!db || !db->IsOpen()) {
            error = De("Die Praxisdatenbank ist nicht geöffnet.");
            return XQ_NODB;
        }
        bool withText = kind == "tb";
        std::string header;
        std::string sql = "SELECT ";
        int columns = 0;
        for (const XQColumnDef& column : table->columns) {
            if (!column.tsvName) continue;
            header += (columns ? "\t" : "") + std::string(column.tsvName);
            sql += (columns ? "," : "") + std::string(column.name);
            ++columns;
        }
        if (withText) {
            header += "\ttext";
            sql += ",k_kuerzel";
        }
        sql += std::string(" FROM ") + table->name + " ORDER BY ";
        for (int c : table->keys[static_cast<size_t>(table->dumpKey)].columns)
            sql += XQKeyColumn(table->columns[static_cast<size_t>(c)]) + ",";
        sql += "rowid";

        auto readError = [&] {
            error = De("Die Daten konnten nicht gelesen werden: ") +
                    Utf8ToCp1252(sqlite3_errmsg(xq::Handle(*db)));
            return XQ_NODB;
        };
        sqlite3_stmt* stmt = xq::Statement(*db, sql);
        if (!stmt) return readError();
        sqlite3_stmt* lines = nullptr;
        if (withText) {
            lines = xq::Statement(
                *db,
                "SELECT tbentry FROM tbentry WHERE k_kykuerzel=? ORDER BY k_lfdtbentry, rowid");
            if (!lines) return readError();
        }
        xq::StmtUse use(stmt);
        out << header << '\n';
        std::string row;
        int rc;
        while ((rc = xq::Step(stmt)) == SQLITE_ROW) {
            row.clear();
            for (int c = 0; c < columns; ++c)
                row += (c ? "\t" : "") + XQEscapeField(xq::ColumnUtf8(stmt, c));
            if (withText) {
                xq::StmtUse useLines(lines);
                sqlite3_bind_value(lines, 1, sqlite3_column_value(stmt, columns));
                std::string text;
                int lineRc;
                bool first = true;
                while ((lineRc = xq::Step(lines)) == SQLITE_ROW) {
                    if (!first) text += '\n';
                    first = false;
                    text += xq::ColumnUtf8(lines, 0);
                }
                if (lineRc != SQLITE_DONE) return readError();
                row += "\t" + XQEscapeField(text);
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
    });
}
