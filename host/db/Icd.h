#pragma once
// The ICD-10-GM catalogue of the host: codes, chapters, groups, subgroups,
// the version row, the alphabetic index (thesaurus), favourites of each
// physician and the codes of a patient's file. Texts are Windows-1252; codes
// are in stored form, without point ("A000", "E119", "UUU").
//
// All catalogue rows live in one table, told apart by Ebene, so that one
// record class feeds the search grid, the chapter lists and the thesaurus
// memo. Keys: key 1 = (Code, Ebene, Lfd), key 2 = (Ebene, Kapitel, Gruppe,
// Untergruppe, Code, Lfd), both unique. So GetByK1(0) with Code set (Ebene and
// Lfd empty) finds one code, "$vers" included, and GetByK2(2) with Ebene "3"
// lists the chapters, with Ebene "2" and Kapitel a chapter's groups, with
// Ebene "1", Kapitel and Gruppe a group's subgroups, each in code order.
//
// The search queries below match as described in docs/icd-suche.md: a code
// by prefix, texts and key words by whole words, word beginnings, parts of
// words and words within a typing error, in any order, umlauts and ß folded
// both ways, a code typed among the words as the code. They return 0 (hits;
// the first is current), 4 (no hit; fields unchanged) or 14 (catalogue not
// readable), keep only row ids, and give their hits best first when words
// were typed, else in code order. Their hits are codes only, never
// hierarchy rows, index lines or the version row (GetForThesaurus: index
// lines). Reset the record with ClearAll before a search: ClearKey leaves
// Text, which GetForSuche reads.
//
// The filter arguments, the same in every query:
//   auszug      true: only codes whose Auszug is "1" (Zahnmedizin/AU extract)
//   hausarzt    true: only codes of the Hausarzt catalogue (Hausarzt "1")
//   facharzt    true: only codes of the Facharzt catalogue (Facharzt "1")
//               and, when arztgruppe is not blank, of that group's catalogue;
//               false: arztgruppe does not filter
//   arztgruppe  physician group code as the settings keep it ("10  ",
//               "13.1", or an umbrella "13." for all of "13.1" ... "13.8")
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/base/CString.h"
#include "host/base/Export.h"
#include "host/db/XQRSet.h"

// Values of CQIcd::Ebene.
inline constexpr const char* ICD_EBENE_CODE = "";
inline constexpr const char* ICD_EBENE_UNTERGRUPPE = "1";
inline constexpr const char* ICD_EBENE_GRUPPE = "2";
inline constexpr const char* ICD_EBENE_KAPITEL = "3";
inline constexpr const char* ICD_EBENE_THESAURUS = "T";
// Code of the row whose Text is the catalogue version.
inline constexpr const char* ICD_CODE_VERSION = "$vers";
// A key word shorter than this does not filter GetForSucheOrThesaurus and
// GetForThesaurus (the dialog's key word search starts at the third
// character).
inline constexpr int ICD_SCHLAGWORT_MIN = 3;

class CWnd;

class Q7HOST_API CQIcd : public CXQRSet {
  public:
    explicit CQIcd(CXQDatabase* db);

    CString Code;         // stored form; hierarchy rows: the chapter, group or subgroup code
    CString Ebene;        // "" code, "1" subgroup, "2" group, "3" chapter, "T" index line
    CString Lfd;          // index lines: "  0", "  1", ... in file order within the code
    CString Kapitel;      // chapter code, "01" ... "22"
    CString Gruppe;       // group code, "A00-A09"
    CString Untergruppe;  // subgroup code, "A00"
    CString Text;         // code text, chapter/group/subgroup text, index line
    CString Notation;     // notation marker: "*", "!", "+" or empty
    CString Partner;      // the code (stored form) this code refers to
    CString Auszug;       // "1": in the Zahnmedizin/AU extract; hierarchy rows: a code below is
    CString Hausarzt;     // "1": in the Hausarzt catalogue
    CString Facharzt;     // "1": in the Facharzt catalogue
    CString Arztgruppen;  // physician group codes holding the code, separated by ","
    CString VAKapitel;    // coding manual chapter ids, eight characters each
    CString Heilmittel;   // "LHM": the remedies file gives the code a long-term remedy need
    // Not a column: after a key word search, the index line that matched the
    // current code best, when it was not the code's own title; else empty.
    CString Fundtext;

    // Systematic search over Code (prefix, with or without point, any case),
    // Text (word beginnings), Kapitel, Gruppe, Untergruppe (equal; empty =
    // any). favoriten: only the current physician's favourites; patientId
    // not empty: only codes in that patient's file.
    int GetForSuche(bool favoriten, const CString& patientId, bool auszug, bool hausarzt,
                    bool facharzt, const CString& arztgruppe);
    // As GetForSuche over Code, Kapitel, Gruppe and Untergruppe (Text is not
    // read), and, for a key word of ICD_SCHLAGWORT_MIN or more characters,
    // only codes whose text or one of whose index lines matches it.
    int GetForSucheOrThesaurus(const CString& schlagwort, bool favoriten, const CString& patientId,
                               bool auszug, bool hausarzt, bool facharzt,
                               const CString& arztgruppe);
    // Codes with an index line that matches the key word (every word of it
    // begins a word of the line); 4 for a key word without words. Index lines
    // of codes the catalogue lacks are not found.
    int GetByThesaurus(const CString& schlagwort, bool auszug, bool hausarzt, bool facharzt,
                       const CString& arztgruppe);
    // Match mode 0: the code in Code (stored form), if it passes the filters;
    // an empty Code finds nothing. Other modes find nothing.
    int GetByK1FilteredByFG(int matchMode, bool auszug, bool hausarzt, bool facharzt,
                            const CString& arztgruppe);
    // Codes whose Partner is the primary code (with or without point).
    int GetBySekundaerCode(const CString& primaerCode, bool auszug, bool hausarzt, bool facharzt,
                           const CString& arztgruppe);
    // The index lines of a code (Ebene "T", Text the line) in file order; with
    // a key word of ICD_SCHLAGWORT_MIN or more characters only the lines it
    // matches. 4 as well when the code does not pass the filters.
    int GetForThesaurus(const CString& code, const CString& schlagwort, bool auszug, bool hausarzt,
                        bool facharzt, const CString& arztgruppe);

    // Display form from stored form: "A000" -> "A00.0"; codes of three
    // characters or fewer, "$vers" and codes with a point stay as they are.
    static CString AddPoint(const CString& code);
    // Stored form from display form: every "." removed, blanks trimmed.
    static CString RemovePoint(const CString& code);

    // Replaces the whole catalogue of db with the KBV ICD-10-GM master file
    // at icdPath, the remedies master file at hmvPath and the dental and
    // certificate extract (CSV) at extractPath, in one transaction, showing
    // a progress box (parent: the window it belongs to, may be null). Returns
    // XQ_OK, or a failure status after a box naming the file, the line and
    // the reason; the catalogue is then unchanged. Defined with the host's
    // readers (host/dlg/XQIcdImport.cpp).
    static int ReadFromXMLFile(CXQDatabase* db, CWnd* parent, const CString& icdPath,
                               const CString& hmvPath, const CString& extractPath);

    // Favourites of the current physician (dbMdId), on the practice database.
    // HasFavoriten: whether there is one (false also when unreadable).
    static bool HasFavoriten();
    // 0 added or already a favourite, 4 empty code, 12 refused, 14 no database.
    static int AddToFavoriten(const CString& code);
    // 0 removed, 4 not a favourite, 12 refused, 14 no database.
    static int DelFromFavoriten(const CString& code);

  private:
    // The ranked search of typed words in one of the fields of
    // host/db/internal/IcdIndex.h; filterSql (over alias i, with values)
    // limits the codes, empty for none.
    int Ranked(const CString& typed, int feld, const std::string& filterSql,
               const std::vector<XQValue>& values);
    void RowLoaded(int64_t id) override;
    std::unordered_map<int64_t, int64_t> m_zeilen;  // code row -> index line row that matched
};

// ICD favourites. Key 1 = (MdId, Code), unique; MdId compares by value.
class Q7HOST_API CQIcdFav : public CXQRSet {
  public:
    explicit CQIcdFav(CXQDatabase* db);
    CString MdId;
    CString Code;
};

// Diagnosis codes in a patient's file. Key 1 = (Patient, Code), unique;
// Patient is the patient number and compares by value.
class Q7HOST_API CQDiag : public CXQRSet {
  public:
    explicit CQDiag(CXQDatabase* db);
    CString Patient;
    CString Code;
};
