#pragma once
// The KBV coding rules (Kodierregelwerk): one rule in memory, the values of
// its lists, a rendered line, and the reader of the rule editions that lie in
// the practice's KBV folder.
//
// The reader does not parse the file as XML: the published files put one
// element on a line, and a line reader that recognises each line by its
// opening tag reads a 20 MB edition in a fraction of the time a parser needs
// and keeps going past damage that would stop a parser. Only the head's
// validity period is parsed as XML, by the view (it stays in kopfText).
#include <map>
#include <vector>

#include "host/base/CString.h"
#include "q7txtbst/Q7TbExport.h"

class CXQFile;

// One coding rule. Copies are deep.
struct CMemKrw21 {
    CString id;
    CString gueltigVon;  // yyyymmdd ("%8u"); 19800101 for an open start
    CString gueltigBis;  // yyyymmdd; 99991231 for an open end
    CString beschreibung;
    char regelkategorie = 0;
    char regelanwendung = 0;  // '1' obligate, '2' fakultative
    char status = '1';        // '1' active, '0' switched off by the practice
    bool statusGeaendert = false;
    char bezugsraum = 0;  // '1' treatment case, '2' quarters
    bool bezugGeaendert = false;
    int anzahlQuartale = 0;
    char echtzeitpruefungDatei = 0;  // as published: '1' coding, '2' selectable, '3' billing, '0'
    char echtzeitpruefung = 0;       // in force: '1' ... '6' (the practice adds '4' to '6')
    CString pruefschema = CString(' ', 80);
    CString hinweis;
    CString vorschlag;
    CString kurzBeschreibung;
};

// Kinds of the list values (KrwDetailEintrag::art).
enum : char {
    KRW_THEMA = '1',
    KRW_ECHTZEIT = '2',
    KRW_PRUEFGRUNDLAGE = '3',
    KRW_BEDINGUNG = '4',
    KRW_SUBBEDINGUNG = '5',
    KRW_PRUEFUNG = '6',
    KRW_SUBPRUEFUNG = '7',
    KRW_KORREKTUR = '8',
    KRW_SUBKORREKTUR = '9',
};

// One value of one list of a rule. Key in the detail map: regelId + art +
// zaehler, so a rule's values of one kind lie together in counter order.
struct KrwDetailEintrag {
    CString regelId;
    CString zaehler;  // "%3u"
    char quelle = 0;  // topics: '1' coding rules under § 295 SGB V, else ICD-10-GM
    char art = 0;
    CString text;  // topics: value "|" display name
};

// One line of a rendered rule listing.
struct krline {
    CString text;
    unsigned int farbe = 0;  // 0x00BBGGRR: 0 black, 255 red
};

using KrwRegelMap = std::map<CString, CMemKrw21>;
using KrwDetailMap = std::map<CString, KrwDetailEintrag>;

// Finds and reads the editions. The owner points regeln and details at its
// maps before a read; the reader never empties them (the owner does, or
// hands fresh ones) and never owns them.
class Q7TB_API CKrw {
  public:
    KrwRegelMap* regeln = nullptr;
    KrwDetailMap* details = nullptr;
    CString kopfText;                    // the head's lines as read, without breaks
    std::map<CString, CString> dateien;  // edition key -> file name

    // The published file name pattern of an edition.
    static constexpr const char* kMuster = "krw_?.??_74_tf+????q?_nr?*.xml";
    // A head or a line longer than this ends the read as damaged.
    static constexpr int kMaxZeile = 1024 * 1024;

    // The KBV folder (read-only data path + "Kbv\"); false while the host
    // gives no data path (it is asked again at the next call then).
    static bool GetKbvPath(CString& folder);
    // Forgets the remembered data path, so that the next call asks the host
    // again (a test's fresh installation, a changed home).
    static void ForgetKbvPath();
    // Fills dateien from folder; pattern becomes folder + the newest
    // edition's name, or folder + pattern when there is none.
    void FindKrwFiles(const CString& folder, CString& pattern);
    // Reads the newest edition (true) or the one before it (false) into the
    // maps, then lays the practice's stored settings over every rule (also
    // after a failed read). True when the head's and the body's end were
    // both seen. A read that stops early notes the file and the line in the
    // host log.
    bool ReadKrw(bool newest);
    // The rules of the newest edition missing from the one before (with
    // their list values), and those of the one before missing from the
    // newest. All four stay empty without two readable editions of one
    // format version. The owner's map pointers are set back to what they
    // were before the call.
    void DiffKrw(KrwRegelMap& neueRegeln, KrwDetailMap& neueDetails, KrwRegelMap& alteRegeln,
                 KrwDetailMap& alteDetails);

    // Helpers on one line of a file.
    static void GetAttribute(const CString& line, const char* name, CString& value);
    static void GetAttributeNumber(const CString& line, const char* name, unsigned& value);
    static void GetAttributeDate(const CString& line, const char* name, unsigned& value,
                                 bool ohneAnfuehrungszeichen);
    static void GetAttributePeriod(const CString& line, const char* name, CString& von,
                                   CString& bis);
    static void DecodeXmlEntities(CString& text);
    static void StripNamespacePrefix(CString& line);
    static void RemoveBlankAfterComma(CString& line);
    // The next line without its break (CR, CR LF or LF; the byte after a CR
    // is dropped whatever it is). False at the end of the file (a last line
    // without a break is dropped), on a read error, and for a line longer
    // than kMaxZeile (*zuLang is then set when given).
    static bool ReadLine(CXQFile& file, CString& line, bool* zuLang = nullptr);
    static bool WriteLine(CXQFile& file, const CString& text);  // text + CR LF
    // From pos: blanks and one '+' skipped, then decimal digits; true when
    // at least one digit was read, pos then stands after them.
    static bool ParseNumber(const CString& text, int& pos, unsigned& value);
};
