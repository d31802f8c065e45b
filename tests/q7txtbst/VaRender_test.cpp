// The coding manual as list lines: what each element emits and at which
// level and colour, the column widths of a table; the demo editions.
#include "q7txtbst/VaRender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "host/base/Helpers.h"
#include "host/xml/XQSimpleXML.h"

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

// A chapter is the first kapitel or hauptkapitel of that id, depth first in
// document order; ids compare exactly.
TEST(VaRenderTest, ChapterLookupTakesTheFirstInDocumentOrder) {
    const CXQXMLElement root = Parsed(
        "<b><hauptkapitel V=\"VA1\"><kapitel V=\"VA2\"><titel V=\"tief\"/></kapitel>"
        "</hauptkapitel><kapitel V=\"VA2\"><titel V=\"flach\"/></kapitel>"
        "<div V=\"VA3\"/></b>");
    const auto title = [&](const char* id) -> std::string {
        const CXQXMLElement* k = findKapitel(root, id);
        return !k                    ? "-"
               : k->children.empty() ? k->name.str()
                                     : k->children[0].GetAttribute("V").str();
    };
    EXPECT_EQ(title("VA2"), "tief");
    EXPECT_EQ(title("VA1"), "VA2");  // the main chapter, its first child the chapter
    EXPECT_EQ(title("va2"), "-");
    EXPECT_EQ(title("VA3"), "-");  // not a chapter
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

// The demo practice's coding manual editions: both must parse to the end in
// the shape the viewer relies on (head and body under the top element), and
// every chapter the demo catalogue lists for a code must be in the newest one.
TEST(VaDemoTest, BothEditionsParseAndTheNewestHoldsEveryChapterOfTheCatalogue) {
    std::string newest;
    for (const char* name : {"VA_1.0_74_tf+2026q3_nr+1.xml", "VA_1.0_74_tf+2026q4_nr+1.xml"}) {
        std::stringstream text;
        text << std::ifstream(std::string(Q7_SOURCE_DIR "/demo/data/Kbv/") + name).rdbuf();
        newest = text.str();
        CXQXMLElement root;
        CXQSimpleXMLReader reader;
        EXPECT_TRUE(reader.Parse(newest, root)) << name << ": " << reader.ErrorText().str();
        EXPECT_EQ(root.children.size(), 2u) << name;
    }

    std::ifstream icd(Q7_SOURCE_DIR "/demo/icd.tsv");
    std::string line;
    std::getline(icd, line);
    const auto column = std::count(line.begin(), line.begin() + line.find("vachapters"), '\t');
    int listed = 0;
    while (std::getline(icd, line)) {
        std::istringstream fields(line);
        std::string field;
        for (int i = 0; i <= column; ++i) std::getline(fields, field, '\t');
        for (size_t at = 0; at < field.size(); at += 8, ++listed)  // hauptkapitel or kapitel
            EXPECT_NE(newest.find("kapitel V=\"" + field.substr(at, 8) + "\""), std::string::npos)
                << line;
    }
    EXPECT_GT(listed, 100);
}

}  // namespace
