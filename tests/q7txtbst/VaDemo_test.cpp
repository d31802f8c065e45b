// The demo practice's coding manual editions: both must parse to the end in
// the shape the viewer relies on (head and body under the top element), and
// every chapter the demo catalogue lists for a code must be in the newest one.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "host/xml/XQSimpleXML.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void CollectChapters(const CXQXMLElement& element, std::set<std::string>& ids) {
    if (element.name == "kapitel" || element.name == "hauptkapitel")
        ids.insert(element.GetAttribute("V").str());
    for (const CXQXMLElement& child : element.children) CollectChapters(child, ids);
}

TEST(VaDemoTest, BothEditionsParseAndTheNewestHoldsEveryChapterOfTheCatalogue) {
    std::set<std::string> chapters;
    for (const char* name : {"VA_1.0_74_tf+2026q3_nr+1.xml", "VA_1.0_74_tf+2026q4_nr+1.xml"}) {
        CXQXMLElement root;
        CXQSimpleXMLReader reader;
        ASSERT_TRUE(reader.Parse(Slurp(std::string(Q7_SOURCE_DIR "/demo/data/Kbv/") + name), root))
            << name << ": " << reader.ErrorText().str();
        ASSERT_EQ(root.children.size(), 2u) << name;
        chapters.clear();
        CollectChapters(root.children.back(), chapters);  // the q4 edition's stay
    }

    std::ifstream icd(Q7_SOURCE_DIR "/demo/icd.tsv");
    std::string header;
    std::getline(icd, header);
    size_t column = 0;
    for (size_t at = 0; at < header.find("vachapters"); ++at) column += header[at] == '\t';
    int listed = 0;
    for (std::string line; std::getline(icd, line);) {
        std::istringstream fields(line);
        std::string field;
        for (size_t i = 0; i <= column; ++i) std::getline(fields, field, '\t');
        for (size_t at = 0; at < field.size(); at += 8, ++listed)
            EXPECT_TRUE(chapters.count(field.substr(at, 8))) << line;
    }
    EXPECT_GT(listed, 100);
}

}  // namespace
