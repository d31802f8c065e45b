#include "host/db/Icd.h"

#include <map>

#include "host/base/Helpers.h"
#include "host/db/Tsv.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQTable.h"

namespace {

using xq::De;

// Column indexes of the icd table (field order of CQIcd).
enum IcdColumn {
    kCode,
    kEbene,
    kLfd,
    kKapitel,
    kGruppe,
    kUntergruppe,
    kText,
    kNotation,
    kPartner,
    kAuszug,
    kHausarzt,
    kFacharzt,
    kArztgruppen,
    kVAKapitel,
};

std::vector<CString*> IcdFields(CQIcd& r) {
    return {&r.Code,        &r.Ebene,    &r.Lfd,         &r.Kapitel,  &r.Gruppe,
            &r.Untergruppe, &r.Text,     &r.Notation,    &r.Partner,  &r.Auszug,
            &r.Hausarzt,    &r.Facharzt, &r.Arztgruppen, &r.VAKapitel};
}

CXQDatabase* ReadDb() {
    if (dbDatabaseRO && dbDatabaseRO->IsOpen()) return dbDatabaseRO;
    if (dbDatabase && dbDatabase->IsOpen()) return dbDatabase;
    return nullptr;
}

XQValue Key(const CString& value) {
    return XQKeyValue(XQKeyForm::Text, value);
}

XQValue Utf8(const std::string& text) {
    XQValue v;
    v.kind = XQValue::Text;
    v.s = text;
    return v;
}

// A code as typed or stored elsewhere, in the catalogue's form: without
// point, hyphen and blanks, upper case.
CString SearchCode(const CString& code) {
    CString c = code;
    c.Remove('.');
    c.Remove('-');
    c.Remove(' ');
    c.MakeUpper();
    return c;
}

bool IsWordChar(unsigned char b) {
    if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) return true;
    if (b >= 0xC0) return b != 0xD7 && b != 0xF7;  // letters but × and ÷
    switch (b) {
        case 0x83:  // ƒ
        case 0x8A:  // Š
        case 0x8C:  // Œ
        case 0x8E:  // Ž
        case 0x9A:
        case 0x9C:
        case 0x9E:
        case 0x9F:  // Ÿ
        case 0xAA:  // ª
        case 0xB2:  // ²
        case 0xB3:
        case 0xB5:  // µ
        case 0xB9:
        case 0xBA:  // º
            return true;
        default:
            return false;
    }
}

// FTS5 expression for "every typed word begins a word": each word a quoted
// prefix phrase. The umlauts are folded as the word index folds them; case
// and other accents are the tokenizer's. Empty when the text has no word.
// Only word characters get in, so the expression cannot hold a quote.
std::string WordQuery(const CString& text) {
    std::string query;
    std::string word;
    auto flush = [&] {
        if (word.empty()) return;
        if (!query.empty()) query += ' ';
        query += '"' + Cp1252ToUtf8(word) + "\"*";
        word.clear();
    };
    for (char c : text.str()) {
        auto b = static_cast<unsigned char>(c);
        if (!IsWordChar(b)) {
            flush();
            continue;
        }
        switch (b) {
            case 0xC4:
            case 0xE4:
                word += "ae";
                break;
            case 0xD6:
            case 0xF6:
                word += "oe";
                break;
            case 0xDC:
            case 0xFC:
                word += "ue";
                break;
            case 0xDF:
                word += "ss";
                break;
            default:
                word += c;
        }
    }
    flush();
    return query;
}

bool LongKeyWord(const CString& schlagwort) {
    return Trim(schlagwort).GetLength() >= ICD_SCHLAGWORT_MIN;
}

// WHERE clause and its values, in the order of their placeholders.
struct Where {
    std::string sql;
    std::vector<XQValue> values;

    void Add(const std::string& condition) {
        sql += sql.empty() ? "" : " AND ";
        sql += condition;
    }
    void Add(const std::string& condition, XQValue value) {
        Add(condition);
        values.push_back(std::move(value));
    }
    void Add(const std::string& condition, XQValue a, XQValue b) {
        Add(condition, std::move(a));
        values.push_back(std::move(b));
    }
    void Add(const Where& other, const std::string& before, const std::string& after) {
        Add(before + other.sql + after);
        values.insert(values.end(), other.values.begin(), other.values.end());
    }
};

const char* const kTextMatch = "i.rowid IN (SELECT rowid FROM icd_text WHERE icd_text MATCH ?)";
const char* const kThesMatch =
    "i.k_code IN (SELECT t.k_code FROM icd t WHERE t.rowid IN "
    "(SELECT rowid FROM icd_thes WHERE icd_thes MATCH ?))";

// Code rows of alias i; the version row is no code.
void CodeRows(Where& w) {
    w.Add("i.k_ebene=x''");
    w.Add("i.k_code<>?", Key(ICD_CODE_VERSION));
}

// The physician group: the stored list, blanks removed and framed by commas,
// holds the group code, or its umbrella ("13." for "13.1"); an umbrella
// filter holds every code of its subgroups.
void GroupFilter(Where& w, const CString& arztgruppe) {
    CString code = arztgruppe;
    code.Remove(' ');
    if (code.IsEmpty()) return;
    const std::string list = "(','||replace(i.arztgruppen,' ','')||',')";
    const std::string g = Cp1252ToUtf8(code.str());
    const size_t point = g.find('.');
    if (point == g.size() - 1) {
        w.Add("instr(" + list + ",?)>0", Utf8("," + g));
    } else if (point != std::string::npos) {
        w.Add("(instr(" + list + ",?)>0 OR instr(" + list + ",?)>0)", Utf8("," + g + ","),
              Utf8("," + g.substr(0, point + 1) + ","));
    } else {
        w.Add("instr(" + list + ",?)>0", Utf8("," + g + ","));
    }
}

void Filters(Where& w, bool favoriten, const CString& patientId, bool auszug, bool hausarzt,
             bool facharzt, const CString& arztgruppe) {
    if (favoriten)
        w.Add("i.k_code IN (SELECT k_code FROM icdfav WHERE k_mdid=?)",
              XQKeyValue(XQKeyForm::Number, dbMdId));
    if (!Trim(patientId).IsEmpty())
        w.Add("i.k_code IN (SELECT k_code FROM diag WHERE k_patient=?)",
              XQKeyValue(XQKeyForm::Number, patientId));
    if (auszug) w.Add("i.auszug='1'");
    if (hausarzt) w.Add("i.hausarzt='1'");
    if (facharzt) {
        w.Add("i.facharzt='1'");
        GroupFilter(w, arztgruppe);
    }
}

// Code prefix as a range over the comparable form: [prefix, prefix with its
// last byte raised).
void CodePrefix(Where& w, const CString& code) {
    CString prefix = SearchCode(code);
    if (prefix.IsEmpty()) return;
    XQValue low = Key(prefix);
    XQValue high = low;
    while (!high.s.empty() && static_cast<unsigned char>(high.s.back()) == 0xFF) high.s.pop_back();
    if (high.s.empty()) {
        w.Add("i.k_code>=?", low);
        return;
    }
    high.s.back() = static_cast<char>(high.s.back() + 1);
    w.Add("i.k_code>=? AND i.k_code<?", low, high);
}

void Places(Where& w, const CQIcd& r) {
    if (!r.Kapitel.IsEmpty()) w.Add("i.k_kapitel=?", Key(r.Kapitel));
    if (!r.Gruppe.IsEmpty()) w.Add("i.k_gruppe=?", Key(r.Gruppe));
    if (!r.Untergruppe.IsEmpty()) w.Add("i.k_untergruppe=?", Key(r.Untergruppe));
}

}  // namespace

// ---------------------------------------------------------------- CQIcd

CQIcd::CQIcd(CXQDatabase* db) : CXQRSet(db, XQTableIcd(), IcdFields(*this)) {}

namespace {

std::string CodeQuery(const Where& w) {
    return "SELECT i.rowid FROM icd i WHERE " + w.sql + " ORDER BY i.k_code";
}

}  // namespace

int CQIcd::GetForSuche(bool favoriten, const CString& patientId, bool auszug, bool hausarzt,
                       bool facharzt, const CString& arztgruppe) {
    return xq::Guard(XQ_NODB, [&] {
        Where w;
        CodeRows(w);
        CodePrefix(w, Code);
        Places(w, *this);
        std::string words = WordQuery(Text);
        if (!words.empty()) w.Add(kTextMatch, Utf8(words));
        Filters(w, favoriten, patientId, auszug, hausarzt, facharzt, arztgruppe);
        return QueryIds(CodeQuery(w), w.values);
    });
}

int CQIcd::GetForSucheOrThesaurus(const CString& schlagwort, bool favoriten,
                                  const CString& patientId, bool auszug, bool hausarzt,
                                  bool facharzt, const CString& arztgruppe) {
    return xq::Guard(XQ_NODB, [&] {
        Where w;
        CodeRows(w);
        CodePrefix(w, Code);
        Places(w, *this);
        std::string words = LongKeyWord(schlagwort) ? WordQuery(schlagwort) : std::string();
        if (!words.empty())
            w.Add(std::string("(") + kTextMatch + " OR " + kThesMatch + ")", Utf8(words),
                  Utf8(words));
        Filters(w, favoriten, patientId, auszug, hausarzt, facharzt, arztgruppe);
        return QueryIds(CodeQuery(w), w.values);
    });
}

int CQIcd::GetByThesaurus(const CString& schlagwort, bool auszug, bool hausarzt, bool facharzt,
                          const CString& arztgruppe) {
    return xq::Guard(XQ_NODB, [&] {
        std::string words = WordQuery(schlagwort);
        if (words.empty()) {
            EndQuery();
            return XQ_NOTFOUND;
        }
        Where w;
        CodeRows(w);
        w.Add(kThesMatch, Utf8(words));
        Filters(w, false, "", auszug, hausarzt, facharzt, arztgruppe);
        return QueryIds(CodeQuery(w), w.values);
    });
}

int CQIcd::GetByK1FilteredByFG(int matchMode, bool auszug, bool hausarzt, bool facharzt,
                               const CString& arztgruppe) {
    return xq::Guard(XQ_NODB, [&] {
        if (matchMode != XQ_MATCH_EQUAL || Code.IsEmpty()) {
            EndQuery();
            return XQ_NOTFOUND;
        }
        Where w;
        w.Add("i.k_code=?", Key(Code));
        w.Add("i.k_ebene=?", Key(Ebene));
        w.Add("i.k_lfd=?", XQKeyValue(XQKeyForm::Number, Lfd));
        Filters(w, false, "", auszug, hausarzt, facharzt, arztgruppe);
        return QueryIds(CodeQuery(w), w.values);
    });
}

int CQIcd::GetBySekundaerCode(const CString& primaerCode, bool auszug, bool hausarzt, bool facharzt,
                              const CString& arztgruppe) {
    return xq::Guard(XQ_NODB, [&] {
        CString primary = SearchCode(primaerCode);
        if (primary.IsEmpty()) {
            EndQuery();
            return XQ_NOTFOUND;
        }
        Where w;
        w.Add("i.partner=? AND i.ebene=''", Utf8(Cp1252ToUtf8(primary.str())));
        Filters(w, false, "", auszug, hausarzt, facharzt, arztgruppe);
        return QueryIds(CodeQuery(w), w.values);
    });
}

int CQIcd::GetForThesaurus(const CString& code, const CString& schlagwort, bool auszug,
                           bool hausarzt, bool facharzt, const CString& arztgruppe) {
    return xq::Guard(XQ_NODB, [&] {
        CString stored = SearchCode(code);
        if (stored.IsEmpty()) {
            EndQuery();
            return XQ_NOTFOUND;
        }
        Where w;
        w.Add("t.k_code=? AND t.k_ebene=?", Key(stored), Key(ICD_EBENE_THESAURUS));
        std::string words = LongKeyWord(schlagwort) ? WordQuery(schlagwort) : std::string();
        if (!words.empty())
            w.Add("t.rowid IN (SELECT rowid FROM icd_thes WHERE icd_thes MATCH ?)", Utf8(words));
        Where code;
        code.Add("i.k_code=t.k_code AND i.k_ebene=x''");
        Filters(code, false, "", auszug, hausarzt, facharzt, arztgruppe);
        w.Add(code, "EXISTS(SELECT 1 FROM icd i WHERE ", ")");
        return QueryIds("SELECT t.rowid FROM icd t WHERE " + w.sql + " ORDER BY t.k_lfd, t.rowid",
                        w.values);
    });
}

CString CQIcd::AddPoint(const CString& code) {
    if (code.GetLength() <= 3 || code.Find('.') >= 0 || code.GetAt(0) == '$') return code;
    return code.Left(3) + "." + code.Mid(3);
}

CString CQIcd::RemovePoint(const CString& code) {
    CString stored = code;
    stored.Remove('.');
    stored.Trim();
    return stored;
}

bool CQIcd::HasFavoriten() {
    try {
        CXQDatabase* db = ReadDb();
        if (!db) return false;
        sqlite3_stmt* stmt =
            xq::Statement(*db, "SELECT EXISTS(SELECT 1 FROM icdfav WHERE k_mdid=?)");
        if (!stmt) return false;
        xq::StmtUse use(stmt);
        xq::Bind(stmt, 1, XQKeyValue(XQKeyForm::Number, dbMdId));
        return xq::Step(stmt) == SQLITE_ROW && sqlite3_column_int(stmt, 0) != 0;
    } catch (...) {
        return false;
    }
}

int CQIcd::AddToFavoriten(const CString& code) {
    return xq::Guard(XQ_LOCKED, [&] {
        if (!dbDatabase || !dbDatabase->IsOpen()) return XQ_NODB;
        CQIcdFav fav(dbDatabase);
        fav.MdId = dbMdId;
        fav.Code = SearchCode(code);
        if (fav.Code.IsEmpty()) return XQ_NOTFOUND;
        int status = fav.GetByK1(XQ_MATCH_EQUAL);
        if (status == XQ_OK) return XQ_OK;
        if (status != XQ_NOTFOUND) return status;
        return fav.Write();
    });
}

int CQIcd::DelFromFavoriten(const CString& code) {
    return xq::Guard(XQ_LOCKED, [&] {
        if (!dbDatabase || !dbDatabase->IsOpen()) return XQ_NODB;
        sqlite3_stmt* stmt =
            xq::Statement(*dbDatabase, "DELETE FROM icdfav WHERE k_mdid=? AND k_code=?");
        if (!stmt) return XQ_LOCKED;
        xq::StmtUse use(stmt);
        xq::Bind(stmt, 1, XQKeyValue(XQKeyForm::Number, dbMdId));
        xq::Bind(stmt, 2, Key(SearchCode(code)));
        if (xq::Step(stmt) != SQLITE_DONE) return XQ_LOCKED;
        return sqlite3_changes(xq::Handle(*dbDatabase)) > 0 ? XQ_OK : XQ_NOTFOUND;
    });
}

// ---------------------------------------------------------------- others

CQIcdFav::CQIcdFav(CXQDatabase* db) : CXQRSet(db, XQTableIcdFav(), {&MdId, &Code}) {}

CQDiag::CQDiag(CXQDatabase* db) : CXQRSet(db, XQTableDiag(), {&Patient, &Code}) {}

// ---------------------------------------------------------------- TSV

namespace {

// A catalogue kind: the rows of one Ebene of the icd table (or the
// favourites of the current physician), the file's columns in contract
// order, and the columns that name a row.
struct IcdKind {
    const char* kind;
    const char* ebene;         // null: favourites
    std::vector<int> columns;  // icd columns in the file, in dump order
    std::vector<int> key;      // mandatory, never empty; replaced by them
    int codeFrom;              // column whose value is the row's code, -1: "$vers"
};

const IcdKind kKinds[] = {
    {"icdkapitel", ICD_EBENE_KAPITEL, {kKapitel, kText}, {kKapitel}, kKapitel},
    {"icdgruppe", ICD_EBENE_GRUPPE, {kKapitel, kGruppe, kText}, {kKapitel, kGruppe}, kGruppe},
    {"icdsubgruppe",
     ICD_EBENE_UNTERGRUPPE,
     {kKapitel, kGruppe, kUntergruppe, kText},
     {kKapitel, kGruppe, kUntergruppe},
     kUntergruppe},
    {"icd",
     ICD_EBENE_CODE,
     {kCode, kText, kKapitel, kGruppe, kUntergruppe, kNotation, kPartner, kAuszug, kHausarzt,
      kFacharzt, kArztgruppen, kVAKapitel},
     {kCode},
     kCode},
    {"icdthes", ICD_EBENE_THESAURUS, {kCode, kText}, {kCode}, kCode},
    {"icdversion", ICD_EBENE_CODE, {kText}, {}, -1},
    {"icdfav", nullptr, {kCode}, {kCode}, kCode},
};

const IcdKind* FindKind(const CString& kind) {
    for (const IcdKind& k : kKinds)
        if (kind == k.kind) return &k;
    return nullptr;
}

const char* TsvName(int column) {
    return XQTableIcd().columns[static_cast<size_t>(column)].tsvName;
}

// Hierarchy rows are in the extract when a code below them is, so that the
// dialog's chapter lists can leave the others out in extract mode.
int MarkExtractRows(CXQDatabase& db) {
    return db.ExecRaw(
               "UPDATE icd SET auszug=CASE WHEN EXISTS(SELECT 1 FROM icd c WHERE "
               "c.k_ebene=x'' AND c.k_kapitel=icd.k_kapitel AND "
               "(icd.k_ebene=x'33' OR c.k_gruppe=icd.k_gruppe) AND "
               "(icd.k_ebene<>x'31' OR c.k_untergruppe=icd.k_untergruppe) AND c.auszug='1') "
               "THEN '1' ELSE '' END WHERE k_ebene IN (x'31',x'32',x'33')") == SQLITE_OK
               ? XQ_OK
               : XQ_LOCKED;
}

class IcdLoader {
  public:
    IcdLoader(CXQDatabase& db, const IcdKind& kind) : m_db(db), m_kind(kind), m_row(&db) {}

    bool Header(std::string_view line, CString& error) {
        std::vector<std::string_view> names = xq::TsvSplit(line);
        m_width = names.size();
        std::map<std::string, size_t> positions;
        for (size_t i = 0; i < names.size(); ++i) {
            if (!positions.emplace(std::string(names[i]), i).second) {
                error = De("Die Spalte „") + Utf8ToCp1252(names[i]) +
                        De("“ steht zweimal in der Kopfzeile.");
                return false;
            }
        }
        for (int column : m_kind.columns) {
            auto found = positions.find(TsvName(column));
            m_source.push_back(found == positions.end() ? kMissing : found->second);
        }
        for (int column : m_kind.key) {
            if (positions.count(TsvName(column)) == 0) {
                error =
                    De("Die Pflichtspalte „") + TsvName(column) + De("“ fehlt in der Kopfzeile.");
                return false;
            }
        }
        return true;
    }

    int Row(std::string_view line, CString& error) {
        std::vector<std::string_view> fields = xq::TsvSplit(line);
        if (fields.size() != m_width) {
            error = FormatString("%d Felder statt %d.", static_cast<int>(fields.size()),
                                 static_cast<int>(m_width));
            return XQ_READERR;
        }
        m_row.ClearAll();
        std::vector<CString*> target = IcdFields(m_row);
        for (size_t i = 0; i < m_kind.columns.size(); ++i) {
            if (m_source[i] == kMissing) continue;
            const int column = m_kind.columns[i];
            CString reason;
            if (!xq::TsvField(fields[m_source[i]], *target[static_cast<size_t>(column)], reason)) {
                error = De("Spalte „") + TsvName(column) + De("“ ") + reason;
                return XQ_READERR;
            }
        }
        // Codes in the catalogue's form, whatever the file wrote.
        if (m_kind.codeFrom == kCode) m_row.Code = SearchCode(m_row.Code);
        m_row.Partner = SearchCode(m_row.Partner);
        for (int column : m_kind.key) {
            if (Trim(*target[static_cast<size_t>(column)]).IsEmpty()) {
                error = De("Spalte „") + TsvName(column) + De("“ ist leer.");
                return XQ_READERR;
            }
        }
        if (!m_kind.ebene) return Favourite(error);
        m_row.Ebene = m_kind.ebene;
        m_row.Code = m_kind.codeFrom < 0 ? CString(ICD_CODE_VERSION)
                                         : *target[static_cast<size_t>(m_kind.codeFrom)];
        if (m_row.Ebene == ICD_EBENE_THESAURUS) {
            // A code's lines are replaced as a whole, the first time the
            // file names the code, and numbered in file order.
            auto [next, first] = m_lines.emplace(m_row.Code.str(), 0);
            if (first && Replace({kCode}) != XQ_OK) return WriteError(error);
            m_row.Lfd = FormatString("%3d", next->second++);
        } else {
            std::vector<int> key = m_kind.key;
            if (m_kind.codeFrom < 0) key.push_back(kCode);
            if (Replace(key) != XQ_OK) return WriteError(error);
        }
        return m_row.Write() == XQ_OK ? XQ_OK : WriteError(error);
    }

  private:
    static constexpr size_t kMissing = static_cast<size_t>(-1);

    int WriteError(CString& error) {
        error = De("konnte nicht gespeichert werden: ") +
                Utf8ToCp1252(sqlite3_errmsg(xq::Handle(m_db)));
        return XQ_LOCKED;
    }

    // Deletes the stored rows of this Ebene whose columns equal the row's.
    int Replace(const std::vector<int>& columns) {
        std::string sql = "DELETE FROM icd WHERE k_ebene=?";
        for (int column : columns)
            sql += " AND " + XQKeyColumn(XQTableIcd().columns[static_cast<size_t>(column)]) + "=?";
        sqlite3_stmt* del = xq::Statement(m_db, sql);
        if (!del) return XQ_LOCKED;
        xq::StmtUse use(del);
        std::vector<CString*> fields = IcdFields(m_row);
        xq::Bind(del, 1, Key(m_row.Ebene));
        for (size_t i = 0; i < columns.size(); ++i)
            xq::Bind(del, static_cast<int>(i + 2), Key(*fields[static_cast<size_t>(columns[i])]));
        return xq::Step(del) == SQLITE_DONE ? XQ_OK : XQ_LOCKED;
    }

    int Favourite(CString& error) {
        CQIcdFav fav(&m_db);
        fav.MdId = dbMdId;
        fav.Code = m_row.Code;
        int status = fav.GetByK1(XQ_MATCH_EQUAL);
        if (status == XQ_NOTFOUND) status = fav.Write();
        return status == XQ_OK ? XQ_OK : WriteError(error);
    }

    CXQDatabase& m_db;
    const IcdKind& m_kind;
    CQIcd m_row;
    size_t m_width = 0;
    std::vector<size_t> m_source;  // file position of each of m_kind.columns
    std::map<std::string, int> m_lines;
};

}  // namespace

namespace xq {

bool IcdIsTsvKind(const CString& kind) {
    return FindKind(kind) != nullptr;
}

int IcdLoadTsv(const CString& kindName, std::string& content, const CString& source,
               CString& error) {
    const IcdKind* kind = FindKind(kindName);
    if (!kind) return XQ_NODB;
    if (!dbDatabase) return TsvLoad(content, source, {}, error);  // says it is not open
    IcdLoader loader(*dbDatabase, *kind);
    // Index lines and the version do not change the extract of hierarchy rows.
    const std::string name = kind->kind;
    const bool marks = kind->ebene && name != "icdthes" && name != "icdversion";
    // The whole catalogue is one transaction: a page cache that holds it
    // keeps SQLite from spilling pages to the journal half-way.
    dbDatabase->ExecRaw("PRAGMA cache_size=-65536");
    int status = TsvLoad(content, source,
                         {[&](std::string_view line, CString& e) { return loader.Header(line, e); },
                          [&](std::string_view line, CString& e) { return loader.Row(line, e); },
                          [&] { return marks ? MarkExtractRows(*dbDatabase) : XQ_OK; }},
                         error);
    dbDatabase->ExecRaw("PRAGMA cache_size=-2000");
    return status;
}

int IcdDumpTsv(const CString& kindName, std::ostream& out, CString& error) {
    const IcdKind* kind = FindKind(kindName);
    if (!kind) return XQ_NODB;
    CXQDatabase* db = ReadDb();
    if (!db) {
        error = De("Die Praxisdatenbank ist nicht geöffnet.");
        return XQ_NODB;
    }
    const XQTableDef& table = XQTableIcd();
    std::string header;
    std::string sql = "SELECT ";
    for (size_t i = 0; i < kind->columns.size(); ++i) {
        const XQColumnDef& column = table.columns[static_cast<size_t>(kind->columns[i])];
        header += (i ? "\t" : "") + std::string(column.tsvName);
        sql += (i ? "," : "") + std::string(column.name);
    }
    std::vector<XQValue> values;
    if (!kind->ebene) {
        sql += " FROM icdfav WHERE k_mdid=? ORDER BY k_code, rowid";
        values.push_back(XQKeyValue(XQKeyForm::Number, dbMdId));
    } else {
        sql += " FROM icd WHERE k_ebene=?";
        values.push_back(Key(kind->ebene));
        if (kind->codeFrom < 0) {
            sql += " AND k_code=?";
            values.push_back(Key(ICD_CODE_VERSION));
        } else if (kind->codeFrom == kCode && *kind->ebene == 0) {
            sql += " AND k_code<>?";
            values.push_back(Key(ICD_CODE_VERSION));
        }
        sql += " ORDER BY ";
        for (int column : kind->key)
            sql += XQKeyColumn(table.columns[static_cast<size_t>(column)]) + ",";
        sql += "k_lfd, rowid";
    }
    auto readError = [&] {
        error = De("Die Daten konnten nicht gelesen werden: ") +
                Utf8ToCp1252(sqlite3_errmsg(xq::Handle(*db)));
        return XQ_NODB;
    };
    sqlite3_stmt* stmt = xq::Statement(*db, sql);
    if (!stmt) return readError();
    StmtUse use(stmt);
    for (size_t i = 0; i < values.size(); ++i) Bind(stmt, static_cast<int>(i + 1), values[i]);
    out << header << '\n';
    std::string row;
    const int columns = static_cast<int>(kind->columns.size());
    int rc;
    while ((rc = Step(stmt)) == SQLITE_ROW) {
        row.clear();
        for (int c = 0; c < columns; ++c)
            row += (c ? "\t" : "") + XQEscapeField(ColumnUtf8(stmt, c));
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
