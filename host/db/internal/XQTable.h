#pragma once
// Table descriptions of the record layer. A record class is one table: its
// columns in field order, which of them take part in keys and how, and the
// keys. The schema, the queries and the TSV load and dump are derived from
// these, so a further table (catalogues, say) is one more description plus a
// record class that lists its CString members in the same order. Internal to
// the host: the module and the application see only the record classes.
#ifndef Q7HOST_INTERNAL
#error "host/db/internal/XQTable.h is internal to the host"
#endif
#include <cstdint>
#include <string>
#include <vector>

// How a column takes part in key order and key equality. Every key column has
// a shadow column k_<name> that holds its comparable form.
enum class XQKeyForm {
    None,    // not part of any key
    Text,    // Windows-1252 bytes, compared as bytes ("Zahn" < "Ärger")
    Number,  // digits with optional blanks compare by value ("  9" < " 10",
             // "1" = "  1"); anything else as Text, after all numbers
};

struct XQColumnDef {
    const char* name;     // SQL column, UTF-8 text
    XQKeyForm key;        // shadow key form
    bool folded;          // keeps f_<name>: upper-cased Windows-1252 bytes
    const char* tsvName;  // column name in TSV files, null = not exchanged
};

struct XQKeyDef {
    std::vector<int> columns;  // indexes into XQTableDef::columns, in key order
    bool unique;
};

struct XQTableDef {
    const char* name;
    const char* tsvKind;  // kind for XQLoadTsv/XQDumpTsv, null = none
    std::vector<XQColumnDef> columns;
    std::vector<XQKeyDef> keys;         // key 1, key 2, ...
    int identityKey;                    // unique key (0-based) that names a record
    int dumpKey;                        // key (0-based) of the dump order, then row id
    std::vector<std::string> extraSql;  // further indexes
};

// The tables of the record classes.
const XQTableDef& XQTableTb();
const XQTableDef& XQTableTbEntry();
const XQTableDef& XQTableParPool();
const XQTableDef& XQTableRSetEx();
const XQTableDef& XQTableGo();
const XQTableDef& XQTablePat();
const XQTableDef& XQTableFreiText();
const XQTableDef& XQTablePraxis();
const XQTableDef& XQTableMandantAdr();
const XQTableDef& XQTableSp();
const XQTableDef& XQTableStrings();
const XQTableDef& XQTableIcd();
const XQTableDef& XQTableIcdFav();
const XQTableDef& XQTableDiag();
const XQTableDef& XQTableOps();
const XQTableDef& XQTableOpsText();
const XQTableDef& XQTableOpsFav();
// The code of an ops row as typed: without "-" and ".", upper case. The
// search compares by this very expression, so that its index serves.
// The statements that index the procedure text of the ops row with the code
// (an SQL expression: a value or a placeholder) anew: forget, then index.
std::string XQOpsWordsForgetSql(const std::string& code);
std::string XQOpsWordsIndexSql(const std::string& code);
inline constexpr const char* XQ_OPS_TYPED_CODE = "upper(replace(replace(code,'-',''),'.',''))";

// All tables of the practice database.
const std::vector<const XQTableDef*>& XQAllTables();
const XQTableDef* XQFindTable(const char* name);
const XQTableDef* XQFindTableByKind(const std::string& kind);
std::string XQKeyColumn(const XQColumnDef& column);   // k_<name>
std::string XQFoldColumn(const XQColumnDef& column);  // f_<name>
// CREATE statements for one table (idempotent), for SQLite or the server
// (which has no row ids of its own and keeps the comparable forms as bytea).
std::vector<std::string> XQCreateSql(const XQTableDef& table, bool server = false);

// A value bound to a statement: an integer, or a BLOB / UTF-8 text. Int is
// a number in a key's comparable form, Plain one as it is (a row id).
struct XQValue {
    enum Kind { Int, Blob, Text, Plain } kind = Blob;
    int64_t i = 0;
    std::string s;
    // The comparable form of a Number column's value that is no number: it
    // sorts after all numbers. SQLite sees to that by its type order; the
    // server's keys are bytes and carry the order in their first byte.
    bool afterNumbers = false;
};

class CString;
// Comparable and folded forms of a Windows-1252 field value.
XQValue XQKeyValue(XQKeyForm form, const CString& value);
XQValue XQFoldValue(const CString& value);
// The comparable form of a number in a Number key column.
inline XQValue XQNumberKey(int64_t number) {
    XQValue v;
    v.kind = XQValue::Int;
    v.i = number;
    return v;
}

class CXQDatabase;
// Inserts one record (fields in column order); 0 or 12.
int XQInsertRow(CXQDatabase& db, const XQTableDef& table, const std::vector<CString*>& fields);
// Inserts one record, or where one with the same unique key keyNr is
// stored, puts the columns named in update (with their comparable and
// folded forms) into that one, the others kept; 0 or 12.
int XQUpsertRow(CXQDatabase& db, const XQTableDef& table, const std::vector<CString*>& fields,
                int keyNr, const std::vector<int>& update);
