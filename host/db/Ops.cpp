#include "host/db/Ops.h"

#include <map>
#include <optional>

#include "host/base/Helpers.h"
#include "host/base/XQGuard.h"
#include "host/db/internal/CatalogueSearch.h"
#include "host/db/internal/Favourites.h"
#include "host/db/internal/TsvInternal.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQTable.h"

namespace {

using xq::De;
using xq::TextKey;
using xq::Utf8Text;
using xq::Where;

XQValue MdId() {
    return XQKeyValue(XQKeyForm::Number, dbMdId);
}

// A code as typed, in the form XQ_OPS_TYPED_CODE gives the stored ones.
std::string TypedCode(const CString& code) {
    std::string typed;
    for (char c : code.str()) {
        if (c == '-' || c == '.' || c == ' ') continue;
        typed += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return Cp1252ToUtf8(typed);
}

const char* const kWordMatch = "rowid IN (SELECT rowid FROM ops_words WHERE ops_words MATCH ?)";

}  // namespace

// ---------------------------------------------------------------- CQOps

CQOps::CQOps(CXQDatabase* db)
    : CXQRSet(db, XQTableOps(), {&Code, &Kapitel, &Gruppe, &Kategorie, &SNZ, &Seite, &Erweitert}) {}

CQOps_Fields CQOps::GetFields() const {
    return {Code, Kapitel, Gruppe, Kategorie, SNZ, Seite, Erweitert};
}

void CQOps::SetFields(const CQOps_Fields& f) {
    Code = f.Code;
    Kapitel = f.Kapitel;
    Gruppe = f.Gruppe;
    Kategorie = f.Kategorie;
    SNZ = f.SNZ;
    Seite = f.Seite;
    Erweitert = f.Erweitert;
}

int CQOps::GetForSuche(const CString& text, bool favoriten) {
    return XQGuard("OPS-Suche", XQ_NODB, [&] {
        Where w;
        // Chapters and groups are what the dialog's lists offer, never hits.
        w.Add("k_kategorie NOT IN (?,?)", TextKey(OPS_KATEGORIE_KAPITEL),
              TextKey(OPS_KATEGORIE_GRUPPE));
        xq::PrefixRange(w, XQ_OPS_TYPED_CODE, Utf8Text(TypedCode(Code)));
        if (!Kapitel.IsEmpty()) w.Add("k_kapitel=?", TextKey(Kapitel));
        if (!Gruppe.IsEmpty()) w.Add("k_gruppe=?", TextKey(Gruppe));
        if (!Kategorie.IsEmpty()) w.Add("k_kategorie=?", TextKey(Kategorie));
        if (!Erweitert.IsEmpty()) w.Add("erweitert=?", Utf8Text(Cp1252ToUtf8(Erweitert.str())));
        const std::string words = xq::WordQuery(text);
        if (!words.empty()) w.Add(kWordMatch, Utf8Text(words));
        if (favoriten) {
            if (!Database() ||
                xq::MirrorForCatalogue(*Database(), XQTableOpsFav(), "k_mdid", MdId()) != XQ_OK)
                return XQ_NODB;
            w.Add("k_code IN (SELECT f.k_code FROM opsfav f WHERE f.k_mdid=?)", MdId());
        }
        return QueryIds("SELECT rowid FROM ops WHERE " + w.sql + " ORDER BY k_code", w.values);
    });
}

bool CQOps::HasFavoriten() {
    return XQGuard("OPS-Favoriten lesen", false, [] { return xq::HasFavourites("opsfav"); });
}

int CQOps::AddToFavoriten(const CString& code) {
    return XQGuard("OPS-Favorit speichern", XQ_LOCKED,
                   [&] { return xq::AddFavourite<CQOpsFav>(Trim(code)); });
}

int CQOps::DelFromFavoriten(const CString& code) {
    return XQGuard("OPS-Favorit entfernen", XQ_LOCKED,
                   [&] { return xq::DelFavourite("opsfav", Trim(code)); });
}

// ---------------------------------------------------------------- CQOpsEntry

CQOpsEntry::CQOpsEntry(CXQDatabase* db)
    : CXQRSet(db, XQTableOpsText(), {&Code, &Typ, &Lfd, &Text}) {}

CString CQOpsEntry::GetEntries(const CString& code, const CString& typ, bool all) {
    return XQGuard("OPS-Text lesen", CString(), [&] {
        CXQDatabase* db = Database();
        if (!db || !db->IsOpen()) {
            XQLog("OPS-Text lesen", De("Die Praxisdatenbank ist nicht geöffnet."));
            return CString();
        }
        sqlite3_stmt* stmt = xq::Statement(
            *db, "SELECT text FROM opstext WHERE k_code=? AND k_typ=? ORDER BY k_lfd, rowid");
        auto failed = [&] {
            XQLog("OPS-Text lesen", xq::LastReason(*db));
            return CString();
        };
        if (!stmt) return failed();
        xq::StmtUse use(stmt);
        xq::Bind(stmt, 1, TextKey(code));
        xq::Bind(stmt, 2, TextKey(typ));
        CString text;
        int rc;
        for (bool first = true; (rc = xq::Step(stmt)) == SQLITE_ROW; first = false) {
            if (!first) text += "\r\n";
            text += xq::ColumnCp(stmt, 0);
            if (!all) return text;
        }
        return rc == SQLITE_DONE ? text : failed();
    });
}

int CQOpsEntry::GetByEntryTyp(const CString& code, const CString& typ) {
    return XQGuard("OPS-Text lesen", XQ_NODB, [&] {
        return QueryIds(
            "SELECT rowid FROM opstext WHERE k_code=? AND k_typ=? ORDER BY k_lfd, rowid",
            {TextKey(code), TextKey(typ)});
    });
}

// ---------------------------------------------------------------- CQOpsFav

CQOpsFav::CQOpsFav(CXQDatabase* db) : CXQRSet(db, XQTableOpsFav(), {&MdId, &Code}) {}

// ---------------------------------------------------------------- load, dump

namespace {

// A kind: a table, the file's columns in dump order (every one mandatory),
// those a row may not leave blank, and the columns a row replaces stored rows
// by. lines: rows of one replace key are lines numbered in file order into
// column lfd, and the key's stored rows go when the file first names it.
// fav: the table's first column is the current physician. words: the rows
// are the texts the search's words come from (opstext).
struct OpsKind {
    const char* kind;
    const XQTableDef& (*table)();
    std::vector<int> columns;
    std::vector<int> notBlank;
    std::vector<int> replaceKey;
    int lines;  // column numbered, -1: none
    bool fav;
    bool words;
};

const OpsKind kKinds[] = {
    {"ops", XQTableOps, {0, 1, 2, 3, 4, 5, 6}, {0}, {0}, -1, false, false},
    {"opstext", XQTableOpsText, {0, 1, 3}, {0, 1}, {0, 1}, 2, false, true},
    {"opsfav", XQTableOpsFav, {1}, {1}, {0, 1}, -1, true, false},
    {"go", XQTableGo, {0, 1, 2}, {1}, {0, 1}, -1, false, false},
};

const OpsKind* FindKind(const CString& kind) {
    for (const OpsKind& k : kKinds)
        if (kind == k.kind) return &k;
    return nullptr;
}

class OpsLoader {
  public:
    OpsLoader(CXQDatabase& db, const OpsKind& kind)
        : m_db(db),
          m_kind(kind),
          m_table(kind.table()),
          m_row(m_table.columns.size()),
          // Rows gathered into few statements: the text's word index writes
          // out what it holds at every statement.
          m_insert(db, m_table, 512) {}

    // Stores the rows still gathered; the procedures whose text changed get
    // their words anew, once each.
    int Finish() {
        if (m_insert.Flush() != XQ_OK) return XQ_LOCKED;
        if (!m_kind.words) return XQ_OK;
        const std::string forget = XQOpsWordsForgetSql("?");
        const std::string index = XQOpsWordsIndexSql("?");
        for (const XQValue& code : m_texts) {
            for (const std::string* sql : {&forget, &index}) {
                sqlite3_stmt* stmt = xq::Statement(m_db, *sql);
                if (!stmt) return XQ_LOCKED;
                xq::StmtUse use(stmt);
                for (int i = sqlite3_bind_parameter_count(stmt); i > 0; --i)
                    xq::Bind(stmt, i, code);
                if (xq::Step(stmt) != SQLITE_DONE) return XQ_LOCKED;
            }
        }
        for (const std::string& create : m_triggers)
            if (m_db.ExecRaw(create.c_str()) != SQLITE_OK) return XQ_LOCKED;
        return XQ_OK;
    }

    bool Header(std::string_view line, CString& error) {
        std::map<std::string, size_t> positions;
        if (!xq::TsvHeader(line, positions, error)) return false;
        m_width = positions.size();
        for (int column : m_kind.columns) {
            auto found = positions.find(Name(column));
            if (found == positions.end()) {
                error = De("Die Pflichtspalte „") + Name(column) + De("“ fehlt in der Kopfzeile.");
                return false;
            }
            m_source.push_back(found->second);
        }
        return true;
    }

    int Row(std::string_view line, CString& error) {
        if (!m_replace && Start() != XQ_OK) return xq::TsvWriteError(m_db, error);
        xq::TsvSplit(line).swap(m_fields);
        if (!xq::TsvWidth(m_fields.size(), m_width, error)) return XQ_READERR;
        if (!xq::TsvRowValues(m_fields, m_table, m_kind.columns, m_source, m_row, error) ||
            !xq::TsvNotBlank(m_row, m_table, m_kind.notBlank, error))
            return XQ_READERR;
        if (m_kind.fav) Field(0).Set(dbMdId);
        m_key.clear();
        for (int column : m_kind.replaceKey)
            m_key.push_back(
                XQKeyValue(m_table.columns[static_cast<size_t>(column)].key, Field(column).cp));
        if (m_kind.lines >= 0) {
            // A key's lines are replaced as a whole, the first time the file
            // names it, and numbered in file order.
            std::string id;
            for (const XQValue& value : m_key) id += value.s + '\0';
            auto [next, first] = m_lines.emplace(std::move(id), 0);
            if (first && m_replace->Replace(m_key) != XQ_OK) return xq::TsvWriteError(m_db, error);
            if (first && m_kind.words && Field(1).cp == OPS_ENTRY_TEXT) m_texts.push_back(m_key[0]);
            Field(m_kind.lines).Set(FormatString("%3d", next->second++));
        } else if (m_replace->Replace(m_key) != XQ_OK) {
            return xq::TsvWriteError(m_db, error);
        }
        return m_insert.Insert(m_row) == XQ_OK ? XQ_OK : xq::TsvWriteError(m_db, error);
    }

  private:
    const char* Name(int column) const {
        return m_table.columns[static_cast<size_t>(column)].tsvName;
    }
    xq::TsvValue& Field(int column) { return m_row[static_cast<size_t>(column)]; }

    // Inside the transaction, before the first row: whether the table has
    // rows already.
    int Start() {
        std::string sql = std::string("DELETE FROM ") + m_table.name + " WHERE ";
        for (size_t i = 0; i < m_kind.replaceKey.size(); ++i)
            sql += (i ? " AND " : "") +
                   XQKeyColumn(m_table.columns[static_cast<size_t>(m_kind.replaceKey[i])]) + "=?";
        bool existing = false;
        if (xq::TsvExists(m_db, std::string("SELECT EXISTS(SELECT 1 FROM ") + m_table.name + ")",
                          {}, existing) != XQ_OK)
            return XQ_LOCKED;
        m_replace.emplace(m_db, m_table.name, sql, existing, m_insert);
        return m_kind.words ? SuspendTriggers() : XQ_OK;
    }

    // A text's triggers would index its procedure anew at every line stored
    // or replaced; in the load's transaction they rest until Finish.
    int SuspendTriggers() { return xq::TsvDropSchema(m_db, "trigger", m_table.name, m_triggers); }

    CXQDatabase& m_db;
    const OpsKind& m_kind;
    const XQTableDef& m_table;
    std::vector<xq::TsvValue> m_row;  // in column order
    xq::TsvInserter m_insert;
    std::optional<xq::TsvReplacer> m_replace;
    size_t m_width = 0;
    std::vector<size_t> m_source;  // file position of each of m_kind.columns
    std::vector<std::string_view> m_fields;
    std::vector<XQValue> m_key;
    std::map<std::string, int> m_lines;   // next line number of each key
    std::vector<XQValue> m_texts;         // codes whose procedure text the file gives
    std::vector<std::string> m_triggers;  // CREATE statements of suspended triggers
};

}  // namespace

namespace xq {

bool OpsIsTsvKind(const CString& kind) {
    return FindKind(kind) != nullptr;
}

int OpsLoadTsv(const CString& kindName, std::string_view content, const CString& source,
               CString& error) {
    const OpsKind* kind = FindKind(kindName);
    if (!kind) return XQ_NODB;
    if (!dbDatabase) return TsvLoad(content, source, {}, error);  // says it is not open
    // The fee schedule and the favourites are the practice's, the rest the
    // published catalogue.
    CXQDatabase& db = xq::IsCatalogue(kind->table()) ? *xq::CatalogueOf(dbDatabase) : *dbDatabase;
    OpsLoader loader(db, *kind);
    return TsvLoad(content, source, TsvRowsOf(loader), error, &db);
}

int OpsDumpTsv(const CString& kindName, std::ostream& out, CString& error) {
    const OpsKind* kind = FindKind(kindName);
    if (!kind) return XQ_NODB;
    TsvDumpSpec spec;
    spec.table = &kind->table();
    spec.columns = kind->columns;
    if (kind->fav) {
        spec.where = "k_mdid=?";
        spec.values.push_back(MdId());
    }
    spec.order = kind->replaceKey;
    if (kind->lines >= 0) spec.order.push_back(kind->lines);
    return TsvDump(xq::IsCatalogue(kind->table()) ? CatalogueOf(ReadDb()) : ReadDb(), spec, out,
                   error);
}

}  // namespace xq
