#pragma once
// The coding manual as lines for a fixed-pitch list: wrapped paragraphs,
// bulleted list items, coloured titles and tables in aligned columns. Widths
// count Windows-1252 characters; the text splitter is the coding rules' cut.
#include <vector>

#include "host/base/CString.h"
#include "host/xml/XQSimpleXML.h"

// One output line of the manual.
struct line {
    CString text;
    CString prefix;           // " \x95 " for list items, else empty
    unsigned int colour = 0;  // 0x00BBGGRR
    int size = 18;            // carried, not used by the display
    int level = 0;            // nesting depth of the element; carried
};

inline constexpr unsigned int kVaSchwarz = 0;
inline constexpr unsigned int kVaTitel = 0x000FFF;
inline constexpr unsigned int kVaZelle = 0x454545;  // a td without children outside a table
inline constexpr int kVaBreite = 120;

// Appends the lines of element and its descendants.
void addLine(const CXQXMLElement& element, std::vector<line>& lines, int level, int width);
// Appends the lines of a table: rows are the table's children, cells the
// rows' children, each column as wide as its share of the content allows.
// level has no effect (table lines carry level 0).
void renderTable(const CXQXMLElement& table, std::vector<line>& lines, int level);
// count blanks (none for count <= 0), then three more; lastColumn has no
// effect.
CString charCountToBlanks(int count, bool lastColumn);
// The first kapitel or hauptkapitel (depth first, in document order) whose
// attribute V equals id; nullptr when none.
const CXQXMLElement* findKapitel(const CXQXMLElement& element, const CString& id);
