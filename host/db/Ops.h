#pragma once
// The OPS procedure catalogue of the host: catalogue rows (chapters, groups
// and procedures in one table), their texts, the fee schedule of each
// edition, and favourites of each physician. Texts are Windows-1252; codes
// are stored as the catalogue writes them, with their points ("5-812.5").
//
// Search queries return 0 (hits; the first is current), 4 (no hit; fields
// unchanged) or 14 (catalogue not readable), keep only row ids, and give
// their hits in byte order of Code. Matching is described in
// docs/ops-suche.md: a typed code matches when, with "-" and "." removed on
// both sides and case-blind, it begins the stored code; a text when every
// typed word begins a word of the procedure text (entry type "3"), in any
// order, case-blind, umlauts and ß folded both ways.
#include "host/base/CString.h"
#include "host/base/Export.h"
#include "host/db/Records.h"
#include "host/db/XQRSet.h"

// Values of CQOps::Kategorie for the catalogue's hierarchy rows, and for a
// procedure without category.
inline constexpr const char* OPS_KATEGORIE_KAPITEL = "$0";
inline constexpr const char* OPS_KATEGORIE_GRUPPE = "$1";
inline constexpr const char* OPS_KATEGORIE_KEINE = "$2";

// Entry types of CQOpsEntry.
inline constexpr const char* OPS_ENTRY_KAPITEL = "1";
inline constexpr const char* OPS_ENTRY_GRUPPE = "2";
inline constexpr const char* OPS_ENTRY_TEXT = "3";
inline constexpr const char* OPS_ENTRY_HINWEIS = "4";
inline constexpr const char* OPS_ENTRY_INKLUSIVA = "5";
inline constexpr const char* OPS_ENTRY_EXKLUSIVA = "6";
inline constexpr const char* OPS_ENTRY_TABELLE = "7";
inline constexpr const char* OPS_ENTRY_LEISTUNGEN = "8";

// Plain field set of a catalogue row, copyable between record objects (what
// the procedure search hands back to its caller).
struct Q7HOST_API CQOps_Fields {
    CString Code;
    CString Kapitel;
    CString Gruppe;
    CString Kategorie;
    CString SNZ;
    CString Seite;
    CString Erweitert;
};

// Catalogue rows. Key 1 = (Code), unique; key 2 = (Kategorie, Kapitel,
// Gruppe, Code). A chapter row has Kategorie "$0" and its chapter id as Code
// and Kapitel; a group row "$1", its group id as Code and Gruppe, and its
// Kapitel.
class Q7HOST_API CQOps : public CXQRSet {
  public:
    explicit CQOps(CXQDatabase* db);

    CString Code;       // as stored, with its points; filter: typed key (prefix)
    CString Kapitel;    // chapter id; filter: equal when set
    CString Gruppe;     // group id; filter: equal when set
    CString Kategorie;  // key of the sp list "opskategorien", "$2" or empty: none; filter
    CString SNZ;        // incision-to-suture time: one or two digits "1" to "7"
    CString Seite;      // "1" R or L, "2" B, "3" R, L or B, else no side
    CString Erweitert;  // "0" official only, "1" extended only; filter: empty = both

    CQOps_Fields GetFields() const;
    void SetFields(const CQOps_Fields& fields);

    // Procedures (never hierarchy rows) matching Code, Kapitel, Gruppe,
    // Kategorie and Erweitert as set (empty: any) and text (word beginnings
    // of the entry type "3" text; empty: any). favoriten: only the current
    // physician's (dbMdId) favourites.
    int GetForSuche(const CString& text, bool favoriten);
    // The record set's own GetByK1(0) finds the row whose Code equals Code
    // (hierarchy rows included); GetByK2(2) with Kategorie "$0" lists the
    // chapters, with "$1" and Kapitel a chapter's groups, each in code order.

    // Favourites of the current physician (dbMdId), on the practice database.
    // HasFavoriten: whether there is one (false also when unreadable).
    static bool HasFavoriten();
    // 0 added or already a favourite, 4 empty code, 12 refused, 14 no database.
    static int AddToFavoriten(const CString& code);
    // 0 removed, 4 not a favourite, 12 refused, 14 no database.
    static int DelFromFavoriten(const CString& code);
};

// Texts of catalogue rows. Key 1 = (Code, Typ, Lfd), unique; Lfd counts the
// lines of one code and type from "  0" in file order and compares by value.
class Q7HOST_API CQOpsEntry : public CXQRSet {
  public:
    explicit CQOpsEntry(CXQDatabase* db);

    CString Code;
    CString Typ;  // OPS_ENTRY_...
    CString Lfd;
    CString Text;

    // The text of code's entry type: all:false its first line, true all
    // lines joined by CR LF. "" when there is none or it cannot be read (the
    // reason goes to the host log).
    CString GetEntries(const CString& code, const CString& typ, bool all);
    // The lines of code's entry type in line order as a result set: 0 found
    // (the first is current), 4 none, 14 not readable.
    int GetByEntryTyp(const CString& code, const CString& typ);
};

// The fee schedule (CQGO: Ausgabe the edition letter "h", "f", "e" or "b",
// Nummer the fee number without blanks, Text; key 1 = (Ausgabe, Nummer)) is
// declared with the other host records in host/db/Records.h.

// OPS favourites. Key 1 = (MdId, Code), unique; MdId compares by value.
class Q7HOST_API CQOpsFav : public CXQRSet {
  public:
    explicit CQOpsFav(CXQDatabase* db);
    CString MdId;
    CString Code;
};
