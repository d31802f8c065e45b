// The demo practice's coding manual editions: both must parse to the end in
// the shape the viewer relies on (head and body under the top element), and
// every chapter the demo catalogue lists for a code must be in the newest one.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "host/xml/XQSimpleXML.h"

namespace {

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
