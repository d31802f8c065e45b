#include "host/db/internal/XQTable.h"

#include <cstring>

#include "host/db/internal/CatalogueSearch.h"
#include "host/db/internal/XQInternal.h"

namespace {

using K = XQKeyForm;

// Column order is the field order of the record class.
const XQTableDef kTb{"tb",
                     "tb",
                     {{"kuerzel", K::Text, true, "kuerzel"},
                      {"gruppe", K::Text, false, "group"},
                      {"untergruppe", K::Text, false, "member"},
                      {"beschreibung", K::None, true, "description"},
                      {"einschraenkung", K::None, false, "restriction"},
                      {"frei", K::None, false, nullptr}},
                     {{{1, 2, 0}, true}, {{0}, true}},
                     1,
                     1,
                     // The filter search walks this index in Kürzel order and
                     // finds every value it tests in it, without the table.
                     {"CREATE INDEX IF NOT EXISTS tb_search ON tb(k_kuerzel, f_kuerzel, "
                      "f_beschreibung, k_gruppe, k_untergruppe)",
                      // The same for a Kürzel beginning with a given text.
                      "CREATE INDEX IF NOT EXISTS tb_prefix ON tb(f_kuerzel, k_kuerzel, "
                      "f_beschreibung, k_gruppe, k_untergruppe)"}};

const XQTableDef kTbEntry{"tbentry",
                          nullptr,
                          {{"kykuerzel", K::Text, false, nullptr},
                           {"lfdtbentry", K::Number, false, nullptr},
                           {"tbentry", K::None, false, nullptr}},
                          {{{0, 1}, true}},
                          0,
                          0,
                          {}};

const XQTableDef kParPool{"parpool",
                          "par",
                          {{"key1", K::Number, false, "key1"},
                           {"key2", K::Text, false, "key2"},
                           {"value", K::None, false, "value"}},
                          {{{0, 1}, true}},
                          0,
                          0,
                          {}};

const XQTableDef kRSetEx{"rsetex",
                         nullptr,
                         {{"workstation", K::Number, false, nullptr},
                          {"kind", K::Text, false, nullptr},
                          {"value", K::None, false, nullptr}},
                         {{{0, 1}, true}},
                         0,
                         0,
                         {}};

const XQTableDef kGo{"go",
                     nullptr,  // own loader, with the OPS catalogue's kinds
                     {{"ausgabe", K::Text, false, "edition"},
                      {"nummer", K::Text, false, "number"},
                      {"text", K::None, false, "text"},
                      {"tbkasse1", K::None, false, nullptr},
                      {"tbkasse2", K::None, false, nullptr},
                      {"tbprivat1", K::None, false, nullptr},
                      {"tbprivat2", K::None, false, nullptr}},
                     {{{0, 1}, true}},
                     0,
                     0,
                     {}};

const XQTableDef kPat{"pat",
                      "pat",
                      {{"nummer", K::Number, false, "number"},
                       {"name", K::None, false, "name"},
                       {"vorname", K::None, false, "firstname"},
                       {"geburtsdatum", K::None, false, "birthdate"}},
                      {{{0}, true}},
                      0,
                      0,
                      {}};

const XQTableDef kFreiText{"freitext",
                           "freitext",
                           {{"f1", K::Text, false, "f1"},
                            {"f2", K::Text, false, "f2"},
                            {"f3", K::Text, false, "f3"},
                            {"f4", K::Text, false, "f4"},
                            {"f5", K::Text, false, "f5"},
                            {"f6", K::None, false, "f6"},
                            {"f7", K::None, false, "f7"},
                            {"f8", K::None, false, "f8"},
                            {"f9", K::None, false, "f9"},
                            {"f10", K::None, false, "f10"}},
                           {{{0, 1, 2, 3, 4}, true}},
                           0,
                           0,
                           // Kind-only lookups (all rule switches, kind "!").
                           {"CREATE INDEX IF NOT EXISTS freitext_kind ON freitext(k_f2, k_f1, "
                            "k_f3, k_f4, k_f5)"}};

const XQTableDef kPraxis{"praxis",
                         "praxis",
                         {{"id", K::Number, false, "id"},
                          {"kvregion", K::None, false, "kvregion"},
                          {"name", K::None, false, "name"}},
                         {{{0}, true}},
                         0,
                         0,
                         {}};

const XQTableDef kMandantAdr{"mandantadr",
                             "mandant",
                             {{"mdid", K::Number, false, "mdid"},
                              {"name", K::None, false, "name"},
                              {"strasse", K::None, false, "street"},
                              {"ort", K::None, false, "city"},
                              {"fachgruppe", K::None, false, "fachgruppe"}},
                             {{{0}, true}},
                             0,
                             0,
                             {}};

// System parameter lists: key 1 (list) keeps the stored order of a list's
// rows by row id; key 2 names an entry.
const XQTableDef kSp{"sp",
                     "sp",
                     {{"list", K::Text, false, "list"},
                      {"code", K::Text, false, "code"},
                      {"text", K::None, false, "text"}},
                     {{{0}, false}, {{0, 1}, true}},
                     1,
                     0,
                     {}};

const XQTableDef kStrings{"strings",
                          "strings",
                          {{"grp", K::Number, false, "group"},
                           {"number", K::Number, false, "number"},
                           {"text", K::None, false, "text"}},
                          {{{0, 1}, true}},
                          0,
                          0,
                          {}};

// The catalogue's indexes beyond its keys: the systematic search walks
// icd_search in code order and tests every filter in it, without the table;
// icd_text and icd_thes hold the word beginnings of code texts and index
// lines. Triggers keep the word indexes right whoever writes the table.
std::vector<std::string> IcdExtraSql() {
    // Contentless FTS5 tables forget a row by its old words.
    auto index = [&](const std::string& row, bool add) {
        std::string sql;
        for (const char* level : {"", "T"}) {
            std::string fts = *level ? "icd_thes" : "icd_text";
            sql +=
                "INSERT INTO " + fts +
                (add ? "(rowid, words) SELECT " : "(" + fts + ", rowid, words) SELECT 'delete', ") +
                row + ".rowid, " + xq::WordFoldSql(row + ".text") + " WHERE " + row + ".ebene='" +
                level + "'; ";
        }
        return sql;
    };
    // icdstamp counts the catalogue's changes, so that a search's word index
    // built in memory knows when it is out of date, whoever wrote the rows;
    // db tells databases apart whose counts happen to agree.
    std::vector<std::string> sql{
        "CREATE INDEX IF NOT EXISTS icd_search ON icd(k_ebene, k_code, k_kapitel, k_gruppe, "
        "k_untergruppe, auszug, hausarzt, facharzt, arztgruppen)",
        "CREATE INDEX IF NOT EXISTS icd_partner ON icd(partner, ebene)",
        "CREATE TABLE IF NOT EXISTS icdstamp(n INTEGER NOT NULL, db INTEGER NOT NULL)",
        "INSERT INTO icdstamp SELECT 0, random() WHERE NOT EXISTS(SELECT 1 FROM icdstamp)"};
    for (const char* fts : {"icd_text", "icd_thes"}) sql.push_back(xq::WordIndexSql(fts));
    const std::string stamp = "UPDATE icdstamp SET n=n+1; ";
    sql.push_back("CREATE TRIGGER IF NOT EXISTS icd_ai AFTER INSERT ON icd BEGIN " +
                  index("new", true) + stamp + "END");
    sql.push_back("CREATE TRIGGER IF NOT EXISTS icd_ad AFTER DELETE ON icd BEGIN " +
                  index("old", false) + stamp + "END");
    sql.push_back(
        "CREATE TRIGGER IF NOT EXISTS icd_au AFTER UPDATE OF code, ebene, text ON icd "
        "BEGIN " +
        index("old", false) + index("new", true) + stamp + "END");
    return sql;
}

// The ICD-10-GM catalogue in one table, so that one record class serves the
// grid, the chapter lists and the thesaurus memo. ebene: "" a code (and the
// version row "$vers"), "1" subgroup, "2" group, "3" chapter, "T" a line of
// the alphabetic index (lfd numbers the lines of a code). Hierarchy rows carry
// their own code in code.
const XQTableDef kIcd{"icd",
                      nullptr,  // own loader: several kinds share the table
                      {{"code", K::Text, false, "code"},
                       {"ebene", K::Text, false, nullptr},
                       {"lfd", K::Number, false, nullptr},
                       {"kapitel", K::Text, false, "chapter"},
                       {"gruppe", K::Text, false, "group"},
                       {"untergruppe", K::Text, false, "subgroup"},
                       {"text", K::None, false, "text"},
                       {"notation", K::None, false, "notation"},
                       {"partner", K::None, false, "partner"},
                       {"auszug", K::None, false, "extract"},
                       {"hausarzt", K::None, false, "hk"},
                       {"facharzt", K::None, false, "fk"},
                       {"arztgruppen", K::None, false, "fg"},
                       {"vakapitel", K::None, false, "vachapters"},
                       {"heilmittel", K::None, false, "lhm"}},
                      {{{0, 1, 2}, true}, {{1, 3, 4, 5, 0, 2}, true}},
                      0,
                      0,
                      IcdExtraSql()};

// ICD favourites of each physician (dbMdId).
const XQTableDef kIcdFav{"icdfav",
                         nullptr,  // own loader: the file has no physician column
                         {{"mdid", K::Number, false, nullptr}, {"code", K::Text, false, "code"}},
                         {{{0, 1}, true}},
                         0,
                         0,
                         {}};

// Diagnosis codes in a patient's file (stored form, without point).
const XQTableDef kDiag{"diag",
                       "diag",
                       {{"patient", K::Number, false, "patient"}, {"code", K::Text, false, "code"}},
                       {{{0, 1}, true}},
                       0,
                       0,
                       {}};

// The OPS catalogue: chapters, groups and procedures in one table, told
// apart by kategorie ("$0" chapter, "$1" group). ops_code orders the codes
// as typed (XQ_OPS_TYPED_CODE; codes are ASCII), so that the search finds
// "5-812.5" from "5812" by a range. ops_words holds the words of each row's
// procedure text (its opstext lines of type "3", all in one) by the ops row
// id, so that a text search reads no line: triggers on both tables keep it
// right, whichever is loaded first. It keeps its words, so that a row is
// forgotten by its id alone.
std::string OpsWordsForget(const std::string& code) {
    return "DELETE FROM ops_words WHERE rowid IN (SELECT rowid FROM ops WHERE k_code=" + code + ")";
}

std::string OpsWordsIndex(const std::string& code) {
    return "INSERT INTO ops_words(rowid, words) SELECT o.rowid, (SELECT " +
           xq::WordFoldSql("group_concat(t.text, ' ')") +
           " FROM opstext t WHERE t.k_code=o.k_code AND t.k_typ=x'33') FROM ops o WHERE o.k_code=" +
           code + " AND EXISTS(SELECT 1 FROM opstext t WHERE t.k_code=" + code +
           " AND t.k_typ=x'33')";
}

std::string OpsTextWordsSql(const std::string& row) {
    return OpsWordsForget(row + ".k_code") + "; " + OpsWordsIndex(row + ".k_code") + "; ";
}

const XQTableDef kOps{
    "ops",
    nullptr,  // own loader, so that every column is mandatory
    {{"code", K::Text, false, "code"},
     {"kapitel", K::Text, false, "chapter"},
     {"gruppe", K::Text, false, "group"},
     {"kategorie", K::Text, false, "category"},
     {"snz", K::None, false, "snz"},
     {"seite", K::None, false, "side"},
     {"erweitert", K::None, false, "extended"}},
    {{{0}, true}, {{3, 1, 2, 0}, true}},
    0,
    0,
    {std::string("CREATE INDEX IF NOT EXISTS ops_code ON ops(") + XQ_OPS_TYPED_CODE + ")",
     xq::WordIndexSql("ops_words", false),
     "CREATE TRIGGER IF NOT EXISTS ops_ai AFTER INSERT ON ops BEGIN " +
         OpsWordsIndex("new.k_code") + "; END",
     "CREATE TRIGGER IF NOT EXISTS ops_ad AFTER DELETE ON ops BEGIN "
     "DELETE FROM ops_words WHERE rowid=old.rowid; END",
     "CREATE TRIGGER IF NOT EXISTS ops_au AFTER UPDATE OF code ON ops BEGIN "
     "DELETE FROM ops_words WHERE rowid=old.rowid; " +
         OpsWordsIndex("new.k_code") + "; END"}};

// The texts of the OPS rows, one row a line; lfd numbers the lines of a code
// and type in file order. A procedure text line that comes or goes indexes
// its row's words anew.
const XQTableDef kOpsText{
    "opstext",
    nullptr,  // own loader: lines numbered per code and type
    {{"code", K::Text, false, "code"},
     {"typ", K::Text, false, "type"},
     {"lfd", K::Number, false, nullptr},
     {"text", K::None, false, "text"}},
    {{{0, 1, 2}, true}},
    0,
    0,
    {"CREATE TRIGGER IF NOT EXISTS opstext_ai AFTER INSERT ON opstext WHEN new.typ='3' BEGIN " +
         OpsTextWordsSql("new") + "END",
     "CREATE TRIGGER IF NOT EXISTS opstext_ad AFTER DELETE ON opstext WHEN old.typ='3' BEGIN " +
         OpsTextWordsSql("old") + "END",
     "CREATE TRIGGER IF NOT EXISTS opstext_au AFTER UPDATE OF code, typ, text ON opstext "
     "WHEN old.typ='3' OR new.typ='3' BEGIN " +
         OpsTextWordsSql("old") + OpsTextWordsSql("new") + "END"}};

// OPS favourites of each physician (dbMdId).
const XQTableDef kOpsFav{"opsfav",
                         nullptr,  // own loader: the file has no physician column
                         {{"mdid", K::Number, false, nullptr}, {"code", K::Text, false, "code"}},
                         {{{0, 1}, true}},
                         0,
                         0,
                         {}};

}  // namespace

const XQTableDef& XQTableTb() {
    return kTb;
}
const XQTableDef& XQTableTbEntry() {
    return kTbEntry;
}
const XQTableDef& XQTableParPool() {
    return kParPool;
}
const XQTableDef& XQTableRSetEx() {
    return kRSetEx;
}
const XQTableDef& XQTableGo() {
    return kGo;
}
const XQTableDef& XQTablePat() {
    return kPat;
}
const XQTableDef& XQTableFreiText() {
    return kFreiText;
}
const XQTableDef& XQTablePraxis() {
    return kPraxis;
}
const XQTableDef& XQTableMandantAdr() {
    return kMandantAdr;
}
const XQTableDef& XQTableSp() {
    return kSp;
}
const XQTableDef& XQTableStrings() {
    return kStrings;
}
const XQTableDef& XQTableIcd() {
    return kIcd;
}
const XQTableDef& XQTableIcdFav() {
    return kIcdFav;
}
const XQTableDef& XQTableDiag() {
    return kDiag;
}
std::string XQOpsWordsForgetSql(const std::string& code) {
    return OpsWordsForget(code);
}
std::string XQOpsWordsIndexSql(const std::string& code) {
    return OpsWordsIndex(code);
}
const XQTableDef& XQTableOps() {
    return kOps;
}
const XQTableDef& XQTableOpsText() {
    return kOpsText;
}
const XQTableDef& XQTableOpsFav() {
    return kOpsFav;
}

const std::vector<const XQTableDef*>& XQAllTables() {
    static const std::vector<const XQTableDef*> all{
        &kTb, &kTbEntry, &kParPool, &kRSetEx, &kGo,   &kPat, &kFreiText, &kPraxis, &kMandantAdr,
        &kSp, &kStrings, &kIcd,     &kIcdFav, &kDiag, &kOps, &kOpsText,  &kOpsFav};
    return all;
}

const XQTableDef* XQFindTable(const char* name) {
    for (const XQTableDef* table : XQAllTables())
        if (std::strcmp(table->name, name) == 0) return table;
    return nullptr;
}

const XQTableDef* XQFindTableByKind(const std::string& kind) {
    for (const XQTableDef* table : XQAllTables())
        if (table->tsvKind && kind == table->tsvKind) return table;
    return nullptr;
}

std::string XQKeyColumn(const XQColumnDef& column) {
    return std::string("k_") + column.name;
}
std::string XQFoldColumn(const XQColumnDef& column) {
    return std::string("f_") + column.name;
}

bool xq::IsCatalogue(const XQTableDef& table) {
    return &table == &kIcd || &table == &kOps || &table == &kOpsText;
}

std::vector<std::string> XQCreateSql(const XQTableDef& table, bool server) {
    std::vector<std::string> sql;
    std::string create = std::string("CREATE TABLE IF NOT EXISTS ") + table.name + "(";
    bool first = true;
    auto add = [&](const std::string& column) {
        if (!first) create += ", ";
        first = false;
        create += column;
    };
    if (server) add("rowid bigserial PRIMARY KEY");
    for (const XQColumnDef& column : table.columns)
        add(std::string(column.name) + (server ? " text" : " TEXT") + " NOT NULL DEFAULT ''");
    // Comparable forms: no declared type, so that numbers stay integers and
    // texts stay BLOBs of their Windows-1252 bytes. The server's are bytes
    // whose order is the key order (see PgKeyBytes).
    const char* bytes = server ? " bytea NOT NULL DEFAULT ''::bytea" : " NOT NULL DEFAULT x''";
    for (const XQColumnDef& column : table.columns)
        if (column.key != XQKeyForm::None) add(XQKeyColumn(column) + bytes);
    for (const XQColumnDef& column : table.columns)
        if (column.folded) add(XQFoldColumn(column) + bytes);
    create += ")";
    sql.push_back(create);
    for (size_t k = 0; k < table.keys.size(); ++k) {
        const XQKeyDef& key = table.keys[k];
        std::string index = std::string("CREATE ") + (key.unique ? "UNIQUE " : "") +
                            "INDEX IF NOT EXISTS " + table.name + "_k" + std::to_string(k + 1) +
                            " ON " + table.name + "(";
        for (size_t i = 0; i < key.columns.size(); ++i) {
            if (i) index += ", ";
            index += XQKeyColumn(table.columns[static_cast<size_t>(key.columns[i])]);
        }
        index += ")";
        sql.push_back(index);
    }
    for (const std::string& extra : table.extraSql) sql.push_back(extra);
    // SQLite's indexes hold the row id: a query that finds its hits' ids in
    // an index needs no table row. The server's hold it when told.
    if (server)
        for (std::string& statement : sql)
            if (statement.find(" INDEX ") != std::string::npos) statement += " INCLUDE (rowid)";
    return sql;
}
