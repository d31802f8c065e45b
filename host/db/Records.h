#pragma once
// The host's record classes. Fields are public members; every class lists
// its key fields. Texts are Windows-1252.
#include "host/base/CString.h"
#include "host/base/Export.h"
#include "host/db/XQRSet.h"

// Plain field set of a text block head, copyable between record objects.
struct Q7HOST_API CQTb_Fields {
    CString Kuerzel;
    CString Gruppe;       // one letter or empty
    CString Untergruppe;  // member letter or empty
    CString Beschreibung;
    CString Einschraenkung;  // "", "k" statutory only, "p" private only
    CString Frei;
};

// Text block heads. Key 1 = (Gruppe, Untergruppe, Kuerzel), key 2 = (Kuerzel),
// both unique.
class Q7HOST_API CQTb : public CXQRSet {
  public:
    explicit CQTb(CXQDatabase* db);

    CString Kuerzel;
    CString Gruppe;
    CString Untergruppe;
    CString Beschreibung;
    CString Einschraenkung;
    CString Frei;

    CQTb_Fields GetFields() const;
    void SetFields(const CQTb_Fields& fields);

    // Filter search in key-2 order (direction of key 2). Mode 2 (part word):
    // Kuerzel contains the Kürzel field and Beschreibung contains the
    // description field; mode 4: Kuerzel begins with the Kürzel field and
    // Beschreibung contains the description field. Both case-blind over
    // Windows-1252; an empty filter field matches all; a non-empty Gruppe or
    // Untergruppe must be equal.
    int GetByKuerzel(int matchMode);
    // Whether a block exists before / after the Kürzel field in key-2 order.
    int HasPrevNext(bool& hasPrev, bool& hasNext);
    // Positions on the block last stored for workstation dbLfdWorkstation
    // (4 if none or it no longer exists; the fields stay as they were).
    int GetWsFavorit();
    // Stores the Kürzel field as that workstation's last block.
    int PutWsFavorit();
    // Stores the fields as a new block, or over the Gruppe, Untergruppe and
    // Beschreibung of the block stored with that Kürzel, whose other fields
    // stay; one statement, whatever another workstation does meanwhile.
    // Ends the query: 0, or 12 refused.
    int WriteOrUpdate();
};

struct Q7HOST_API CQTbEntry_Fields {
    CString KYKUERZEL;
    CString LFDTBENTRY;  // "  0", "  1", ..., "999", "1000"
    CString TBENTRY;
};

// Text block lines. Key 1 = (KYKUERZEL, LFDTBENTRY), unique; the line number
// compares by value, so lines come in line order past 999 too.
class Q7HOST_API CQTbEntry : public CXQRSet {
  public:
    explicit CQTbEntry(CXQDatabase* db);

    CString KYKUERZEL;
    CString LFDTBENTRY;
    CString TBENTRY;

    CQTbEntry_Fields GetFields() const;
    void SetFields(const CQTbEntry_Fields& fields);

    // Deletes every line of the Kürzel in KYKUERZEL and ends the query.
    int DeleteAll();
    // Puts lines in place of every line of the Kürzel in KYKUERZEL (their
    // own KYKUERZEL is not read) and ends the query: 0, or 12 with the
    // stored lines as they were.
    int ReplaceAll(const std::vector<CQTbEntry_Fields>& lines);
};

// Parameter table. Key 1 = (Key1, Key2), unique; Key1 is a program number
// (" 29", "214") and compares by value.
class Q7HOST_API CQParPool : public CXQRSet {
  public:
    explicit CQParPool(CXQDatabase* db);
    CString Key1;
    CString Key2;
    CString Value;
};

// Per-workstation favourites. Key 1 = (Workstation, Kind), unique.
class Q7HOST_API CQ7RSetEx : public CXQRSet {
  public:
    explicit CQ7RSetEx(CXQDatabase* db);
    CString Workstation;  // the workstation number as text
    CString Kind;
    CString Value;
};

// Fee schedule items. Key 1 = (Ausgabe, Nummer), unique. TbKasse1/2 refer to
// text blocks of group b, TbPrivat1/2 to text blocks of group d.
class Q7HOST_API CQGO : public CXQRSet {
  public:
    explicit CQGO(CXQDatabase* db);
    CString Ausgabe;  // edition letter, may be empty
    CString Nummer;
    CString Text;
    CString TbKasse1;
    CString TbKasse2;
    CString TbPrivat1;
    CString TbPrivat2;
};

// Replaces every reference equal to oldKuerzel (both compared trimmed) by
// newKuerzel; true when a field changed.
Q7HOST_API bool RenameTbVorschlag(CString& ref1, CString& ref2, const CString& oldKuerzel,
                                  const CString& newKuerzel);

// Patients. Key 1 = (Nummer), unique, compared by value ("       12" = "12").
class Q7HOST_API CQPat : public CXQRSet {
  public:
    explicit CQPat(CXQDatabase* db);
    CString Nummer;
    CString Name;
    CString Vorname;
    CString Geburtsdatum;  // yyyymmdd
};

// Free texts. Key 1 = (F1 ... F5), unique.
class Q7HOST_API CQFreiText : public CXQRSet {
  public:
    explicit CQFreiText(CXQDatabase* db);
    CString F1, F2, F3, F4, F5, F6, F7, F8, F9, F10;
};

// Practices. Key 1 = (Id), unique, compared by value.
class Q7HOST_API CQPraxis : public CXQRSet {
  public:
    explicit CQPraxis(CXQDatabase* db);
    CString Id;
    CString KvRegion;
    CString Name;
};

// Client (physician) addresses. Key 1 = (MdId), unique, compared by value.
class Q7HOST_API CQMandantAdr : public CXQRSet {
  public:
    explicit CQMandantAdr(CXQDatabase* db);
    CString MdId;
    CString Name;
    CString Strasse;
    CString Ort;
    CString Fachgruppe;
};
