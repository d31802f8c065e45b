// The ICD catalogue's TSV kinds: loaded into and dumped from the icd table
// (and the favourites), each kind one Ebene.
#include <map>
#include <optional>

#include "host/base/Helpers.h"
#include "host/db/Icd.h"
#include "host/db/XQDatabase.h"
#include "host/db/internal/CatalogueSearch.h"
#include "host/db/internal/IcdInternal.h"
#include "host/db/internal/TsvInternal.h"

namespace {

using xq::De;
using xq::TextKey;
using enum xq::IcdColumn;

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
    {"icdkapitel", ICD_EBENE_KAPITEL, {kIcdKapitel, kIcdText}, {kIcdKapitel}, kIcdKapitel},
    {"icdgruppe",
     ICD_EBENE_GRUPPE,
     {kIcdKapitel, kIcdGruppe, kIcdText},
     {kIcdKapitel, kIcdGruppe},
     kIcdGruppe},
    {"icdsubgruppe",
     ICD_EBENE_UNTERGRUPPE,
     {kIcdKapitel, kIcdGruppe, kIcdUntergruppe, kIcdText},
     {kIcdKapitel, kIcdGruppe, kIcdUntergruppe},
     kIcdUntergruppe},
    {"icd",
     ICD_EBENE_CODE,
     {kIcdCode, kIcdText, kIcdKapitel, kIcdGruppe, kIcdUntergruppe, kIcdNotation, kIcdPartner,
      kIcdAuszug, kIcdHausarzt, kIcdFacharzt, kIcdArztgruppen, kIcdVAKapitel, kIcdHeilmittel},
     {kIcdCode},
     kIcdCode},
    {"icdthes", ICD_EBENE_THESAURUS, {kIcdCode, kIcdText}, {kIcdCode}, kIcdCode},
    {"icdversion", ICD_EBENE_CODE, {kIcdText}, {}, -1},
    {"icdfav", nullptr, {kIcdCode}, {kIcdCode}, kIcdCode},
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
// dialog's chapter lists can leave the others out in extract mode. The codes
// of the extract are gathered once for each level rather than looked for
// again for every hierarchy row.
int MarkExtractRows(CXQDatabase& db) {
    return db.ExecRaw(
               "UPDATE icd SET auszug=CASE WHEN "
               "(k_ebene=x'33' AND k_kapitel IN (SELECT k_kapitel FROM icd "
               "WHERE k_ebene=x'' AND auszug='1')) OR "
               "(k_ebene=x'32' AND (k_kapitel, k_gruppe) IN (SELECT k_kapitel, k_gruppe FROM icd "
               "WHERE k_ebene=x'' AND auszug='1')) OR "
               "(k_ebene=x'31' AND (k_kapitel, k_gruppe, k_untergruppe) IN (SELECT k_kapitel, "
               "k_gruppe, k_untergruppe FROM icd WHERE k_ebene=x'' AND auszug='1')) "
               "THEN '1' ELSE '' END WHERE k_ebene IN (x'31',x'32',x'33')") == SQLITE_OK
               ? XQ_OK
               : XQ_LOCKED;
}

class IcdLoader {
  public:
    IcdLoader(CXQDatabase& db, const IcdKind& kind)
        : m_db(db),
          m_kind(kind),
          m_row(kIcdColumns),
          // A group or subgroup could clash with one of another chapter; its
          // row is stored at once, so that the message names its line.
          m_insert(db, XQTableIcd(),
                   kind.codeFrom == kIcdGruppe || kind.codeFrom == kIcdUntergruppe ? 1 : 512) {}

    // Stores the rows still gathered.
    int Finish() { return m_insert.Flush(); }

    bool Header(std::string_view line, CString& error) {
        std::map<std::string, size_t> positions;
        if (!xq::TsvHeader(line, positions, error)) return false;
        m_width = positions.size();
        for (int column : m_kind.columns) {
            auto found = positions.find(TsvName(column));
            m_source.push_back(found == positions.end() ? xq::kTsvMissing : found->second);
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
        if (!m_replace && Start() != XQ_OK) return WriteError(error);
        xq::TsvSplit(line).swap(m_fields);
        if (!xq::TsvWidth(m_fields.size(), m_width, error)) return XQ_READERR;
        if (!xq::TsvRowValues(m_fields, XQTableIcd(), m_kind.columns, m_source, m_row, error))
            return XQ_READERR;
        // Codes in the catalogue's form, whatever the file wrote.
        if (m_kind.codeFrom == kIcdCode) Field(kIcdCode).Set(xq::IcdSearchCode(Field(kIcdCode).cp));
        if (!Field(kIcdPartner).cp.IsEmpty())
            Field(kIcdPartner).Set(xq::IcdSearchCode(Field(kIcdPartner).cp));
        if (!xq::TsvNotBlank(m_row, XQTableIcd(), m_kind.key, error)) return XQ_READERR;
        if (!m_kind.ebene) return Favourite(error);
        Field(kIcdEbene).Set(m_kind.ebene);
        if (m_kind.codeFrom < 0)
            Field(kIcdCode).Set(ICD_CODE_VERSION);
        else if (m_kind.codeFrom != kIcdCode)
            Field(kIcdCode) = Field(m_kind.codeFrom);
        m_key.assign(1, TextKey(Field(kIcdEbene).cp));
        if (*m_kind.ebene == *ICD_EBENE_THESAURUS) {
            // A code's lines are replaced as a whole, the first time the
            // file names the code, and numbered in file order.
            auto [next, first] = m_lines.emplace(Field(kIcdCode).cp.str(), 0);
            m_key.push_back(TextKey(Field(kIcdCode).cp));
            if (first && m_replace->Replace(m_key) != XQ_OK) return WriteError(error);
            Field(kIcdLfd).Set(FormatString("%3d", next->second++));
        } else {
            for (int column : ReplaceKey()) m_key.push_back(TextKey(Field(column).cp));
            if (m_replace->Replace(m_key) != XQ_OK) return WriteError(error);
        }
        return m_insert.Insert(m_row) == XQ_OK ? XQ_OK : WriteError(error);
    }

  private:
    xq::TsvValue& Field(int column) { return m_row[static_cast<size_t>(column)]; }

    // The columns besides Ebene whose stored rows a row replaces.
    std::vector<int> ReplaceKey() const {
        if (*m_kind.ebene == *ICD_EBENE_THESAURUS) return {kIcdCode};
        std::vector<int> key = m_kind.key;
        if (m_kind.codeFrom < 0) key.push_back(kIcdCode);
        return key;
    }

    // Inside the transaction, before the first row: whether the Ebene has
    // rows already.
    int Start() {
        if (!m_kind.ebene) {
            m_replace.emplace(m_db, "icdfav", std::string(), true, m_insert);
            return XQ_OK;
        }
        std::string sql = "DELETE FROM icd WHERE k_ebene=?";
        for (int column : ReplaceKey())
            sql += " AND " + XQKeyColumn(XQTableIcd().columns[static_cast<size_t>(column)]) + "=?";
        bool existing = false;
        if (xq::TsvExists(m_db, "SELECT EXISTS(SELECT 1 FROM icd WHERE k_ebene=?)",
                          {TextKey(m_kind.ebene)}, existing) != XQ_OK)
            return XQ_LOCKED;
        m_replace.emplace(m_db, "icd", sql, existing, m_insert);
        return XQ_OK;
    }

    int WriteError(CString& error) { return xq::TsvWriteError(m_db, error); }

    int Favourite(CString& error) {
        CQIcdFav fav(&m_db);
        fav.MdId = dbMdId;
        fav.Code = Field(kIcdCode).cp;
        int status = fav.GetByK1(XQ_MATCH_EQUAL);
        if (status == XQ_NOTFOUND) status = fav.Write();
        return status == XQ_OK ? XQ_OK : WriteError(error);
    }

    CXQDatabase& m_db;
    const IcdKind& m_kind;
    std::vector<xq::TsvValue> m_row;  // the icd columns
    xq::TsvInserter m_insert;
    std::optional<xq::TsvReplacer> m_replace;
    size_t m_width = 0;
    std::vector<size_t> m_source;  // file position of each of m_kind.columns
    std::vector<std::string_view> m_fields;
    std::vector<XQValue> m_key;
    std::map<std::string, int> m_lines;
};

}  // namespace

namespace xq {

int IcdMarkExtractRows(CXQDatabase& db) {
    return MarkExtractRows(db);
}

bool IcdIsTsvKind(const CString& kind) {
    return FindKind(kind) != nullptr;
}

int IcdLoadTsv(const CString& kindName, std::string_view content, const CString& source,
               CString& error) {
    const IcdKind* kind = FindKind(kindName);
    if (!kind) return XQ_NODB;
    if (!dbDatabase) return TsvLoad(content, source, {}, error);  // says it is not open
    // The favourites are the practice's, the rest the published catalogue.
    CXQDatabase& db = kind->ebene ? *CatalogueOf(dbDatabase) : *dbDatabase;
    IcdLoader loader(db, *kind);
    // Index lines and the version do not change the extract of hierarchy rows.
    const std::string name = kind->kind;
    const bool marks = kind->ebene && name != "icdthes" && name != "icdversion";
    TsvRows rows = TsvRowsOf(loader);
    rows.finish = [&] {
        if (loader.Finish() != XQ_OK) return XQ_LOCKED;
        return marks ? MarkExtractRows(db) : XQ_OK;
    };
    return TsvLoad(content, source, rows, error, &db);
}

int IcdDumpTsv(const CString& kindName, std::ostream& out, CString& error) {
    const IcdKind* kind = FindKind(kindName);
    if (!kind) return XQ_NODB;
    TsvDumpSpec spec;
    if (!kind->ebene) {
        // The favourites' table names its code column as the catalogue does.
        spec.table = &XQTableIcdFav();
        spec.columns = {1};
        spec.where = "k_mdid=?";
        spec.values.push_back(XQKeyValue(XQKeyForm::Number, dbMdId));
        spec.order = {1};
        return TsvDump(ReadDb(), spec, out, error);
    }
    spec.table = &XQTableIcd();
    spec.columns = kind->columns;
    spec.where = "k_ebene=?";
    spec.values.push_back(TextKey(kind->ebene));
    if (kind->codeFrom < 0) {
        spec.where += " AND k_code=?";
        spec.values.push_back(TextKey(ICD_CODE_VERSION));
    } else if (kind->codeFrom == kIcdCode && *kind->ebene == 0) {
        spec.where += " AND k_code<>?";
        spec.values.push_back(TextKey(ICD_CODE_VERSION));
    }
    spec.order = kind->key;
    spec.order.push_back(kIcdLfd);
    return TsvDump(CatalogueOf(ReadDb()), spec, out, error);
}

}  // namespace xq
