// The coding manual as list lines: what each element emits and at which
// level and colour, the column widths of a table, and the chapter search.
#include "q7txtbst/VaRender.h"

#include <gtest/gtest.h>

#include <string>

#include "host/base/Helpers.h"

namespace {

CXQXMLElement Parsed(const std::string& xml) {
    CXQXMLElement root;
    CXQSimpleXMLReader reader;
    EXPECT_TRUE(reader.Parse(xml, root)) << reader.ErrorText().str();
    return root;
}

// level, colour, prefix and text of every line, one per row.
std::string Dump(const CXQXMLElement& element) {
    std::vector<line> lines;
    addLine(element, lines, 0, kVaBreite);
    std::string out;
    for (const line& l : lines) {
        EXPECT_EQ(l.size, 18);
        out += FormatString("%d %06X [%s]%s\n", l.level, l.colour, l.prefix.GetString(),
                            l.text.GetString())
                   .str();
    }
    return out;
}

TEST(VaRenderTest, ElementsEmitTheirLinesAtTheirLevelAndColour) {
    const std::string a(117, 'a'), b(12, 'b');
    EXPECT_EQ(
        Dump(Parsed("<r><p>P<titel V=\"T\"/><ul><li>" + a + " " + b +
                    "</li></ul></p><td>z</td><div><p>q</p></div>"
                    "<table><tr><td><p>d</p><p>e</p></td></tr><tr><td>c</td></tr></table></r>")),
        "0 000000 []P\n"
        "0 000000 []\n"
        "1 000FFF []T\n"
        "1 000000 []\n"
        "2 000000 [ \x95 ]" +
            a +
            " \n"
            "2 000000 [ \x95 ]" +
            b +
            "\n"
            "0 454545 []z\n"
            "0 000000 []q\n"
            "0 000000 []\n"
            "0 000000 []d   \n"
            "0 000000 []e   \n"
            "0 000000 []c   \n"
            "0 000000 []\n");
}

TEST(VaRenderTest, TableColumnsShrinkToTheirLongestLineAndHandOnTheRest) {
    // Column 0: average 10, longest 12; column 1: average 30, longest 100.
    // Widths 27 and 87 from the shares; 0 frees 15 and 1 takes 13 of them.
    const int col0[] = {12, 8, 10, 10, 10, 10}, col1[] = {100, 10, 10, 15, 15};
    std::string xml = "<table>";
    for (int r = 0; r < 6; ++r) {
        xml += "<tr><td>" + std::string(size_t(col0[r]), 'x') + "</td>";
        if (r < 5) xml += "<td>" + std::string(size_t(col1[r]), 'y') + "</td>";
        xml += "</tr>";
    }
    std::vector<line> lines;
    renderTable(Parsed(xml + "</table>"), lines, 3);
    ASSERT_EQ(lines.size(), 6u);
    for (int r = 0; r < 6; ++r) {
        const int c1 = r < 5 ? col1[r] : 0;
        EXPECT_EQ(lines[size_t(r)].text.str(),
                  std::string(size_t(col0[r]), 'x') + std::string(size_t(12 - col0[r] + 3), ' ') +
                      std::string(size_t(c1), 'y') + std::string(size_t(100 - c1 + 3), ' '))
            << r;
        EXPECT_EQ(lines[size_t(r)].level, 0);
    }
}

}  // namespace
