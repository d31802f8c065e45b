#pragma once
// Texts built from the coding rules: the one-line listing of a rule, its
// detail text, the line list of many rules, and the text splitters they
// share with the coding manual viewer. Widths count Windows-1252
// characters (bytes).
#include <string>
#include <vector>

#include "host/base/CString.h"
#include "q7txtbst/Krw.h"

// Colours of rendered lines (0x00BBGGRR).
inline constexpr unsigned int kKrwSchwarz = 0;
inline constexpr unsigned int kKrwRot = 255;
inline constexpr unsigned int kKrwGrau = 0x252525;

// Pieces of at most width characters, each ending after the last break
// character (blank . , - ? !) of its window when the rest does not fit, or
// cut at the full width when the window holds none. Nothing is trimmed. An
// empty text gives one empty piece; a width below 1 the whole text.
std::vector<CString> cut(const CString& text, int width);
// cut's pieces as offset and length into s, in order, without copying them:
// piece(size_t offset, size_t length) is called once per piece.
template <class F>
void ForEachCutPiece(const std::string& s, int width, F&& piece) {
    if (s.empty() || width < 1) {
        piece(size_t{0}, s.size());
        return;
    }
    const size_t w = static_cast<size_t>(width);
    for (size_t pos = 0; pos < s.size();) {
        size_t take = s.size() - pos;
        if (take > w) {
            take = w;
            for (size_t i = w; i > 0; --i) {
                const char ch = s[pos + i - 1];
                if (ch == ' ' || ch == '.' || ch == ',' || ch == '-' || ch == '?' || ch == '!') {
                    take = i;
                    break;
                }
            }
        }
        piece(pos, take);
        pos += take;
    }
}
// The parts between separators; a text ending with it gives an empty last
// part, an empty text one empty part. separator must not be empty.
std::vector<CString> split(const CString& text, const CString& separator);
// Takes the next line of at most width characters off the front of text,
// broken at the last blank before width (searched down to position 1),
// without leading blanks.
void SplitAndDeleteLine(CString& text, CString& line, int width);
// yyyymmdd as dd.mm.yyyy (last two, middle two, first four characters).
CString FormatDatum(const CString& datum);

// The listing line: six tab-separated fields (id, active, application,
// real-time check in 14 characters, check period, short description).
CString memKrw21ToString(const CMemKrw21& regel);
// The detail text of rule id, lines ended by "\n"; empty when the map lacks
// it. Correction codes are looked up in the ICD catalogue of the read-only
// database.
CString ZeigeKRWByKey(const KrwRegelMap& regeln, const KrwDetailMap& details, const CString& id);
// Every rule's detail text, split and cut into lines of at most 120
// characters (red for an inactive rule), two empty lines after each rule.
std::vector<krline> renderLines(const KrwRegelMap& regeln, const KrwDetailMap& details);
