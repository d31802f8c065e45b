#include "host/xml/XQSimpleXML.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/host/FaultSeams.h"

namespace {

// The element at path ("root/child/grandchild", first of each name).
const CXQXMLElement* At(const CXQXMLElement& root, const std::string& path) {
    size_t a = 0, b = path.find('/');
    if (root.name != CString(path.substr(0, b).c_str())) return nullptr;
    const CXQXMLElement* e = &root;
    while (e && b != std::string::npos) {
        a = b + 1;
        b = path.find('/', a);
        e = e->FirstChild(path.substr(a, b == std::string::npos ? b : b - a).c_str());
    }
    return e;
}

std::string Nested(int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<a>";
    for (int i = 0; i < depth; ++i) s += "</a>";
    return s;
}

// One large entity used often: far below expat's own limit, refused by ours.
std::string Amplified() {
    std::string s = "<!DOCTYPE a [<!ENTITY b \"" + std::string(100000, 'x') + "\">]><a>";
    for (int i = 0; i < 30; ++i) s += "&b;";
    return s + "</a>";
}

TEST(XQSimpleXML, ReadsTreesEncodingsAndBrokenTexts) {
    const std::string latin9 = "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n";
    struct Row {
        std::string doc;
        bool ok;
        std::string path;      // element to look at; empty: no document element
        std::string attr;      // its attribute, or its text when empty
        std::string expected;  // Windows-1252
        std::string error;     // part of ErrorText when not ok
    } rows[] = {
        // A text cut off before its root closes keeps what it had.
        {latin9 + "<ehd:ehd xmlns:ehd=\"urn:ehd/001\" V=\"1\">\r\n  <ehd:header>\r\n"
                  "    <ehd:service_tmr V=\"2026-07-01..2026-09-30\"/>\r\n  </ehd:header>",
         false, "ehd/header/service_tmr", "V", "2026-07-01..2026-09-30", "Zeile 5"},
        {latin9 + "<a><b>x", false, "a/b", "", "x", "kein Element"},
        // The euro sign and the other places of ISO 8859-15.
        {latin9 + "<a v=\"\xA4\">\xA4 \xBD\xA6</a>", true, "a", "", "\x80 \x9C\x8A", ""},
        {latin9 + "<a v=\"\xA4\"/>", true, "a", "v", "\x80", ""},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\x80\x9F</a>", true, "a", "",
         "\x80\x9F", ""},
        {"<a>\xE2\x82\xAC\xE4\xB8\x80</a>", true, "a", "", "\x80?", ""},
        // Control characters stand in the private use area; they are content,
        // not indentation.
        {"<a> &#xE009;x&#xE00A; </a>", true, "a", "", "\tx\n", ""},
        // Faults name the same place and reason in every encoding.
        {latin9 + "<a>\xE4\xE4<b></a>", false, "a", "", "\xE4\xE4", "Zeile 2, Spalte 11"},
        {"<?xml version=\"1.0\" encoding=\"cp1252\" standalone=\"\xE4\"?><a/>", false, "", "", "",
         "Token (Zeile 1, Spalte 51)"},
        // Own text only, indentation dropped; prefixes dropped everywhere.
        {"<k:a xmlns:k=\"u\">\n  x <k:b>in</k:b> y &amp;\n</k:a>", true, "a", "", "x  y &", ""},
        {"<k:a xmlns:k=\"u\"><k:b k:V=\"1\" W=\"2\"/></k:a>", true, "a/b", "V", "1", ""},
        {"<a><b/><c>1</c><c>2</c></a>", true, "a/c", "", "1", ""},
        // No document element at all.
        {"", false, "", "", "", "kein Element"},
        {"<?xml version=\"1.0\" encoding=\"koi8-r\"?><a/>", false, "", "", "", "kodierung"},
        // Limits: depth, entity amplification; external entities never read.
        {Nested(CXQSimpleXMLReader::kMaxDepth), true, "a/a/a", "", "", ""},
        {Nested(CXQSimpleXMLReader::kMaxDepth + 1), false, "a/a/a", "", "", "tief"},
        {Amplified(), false, "a", "x", "", "abgelehnt"},
        {"<!DOCTYPE a [<!ENTITY e SYSTEM \"/etc/hostname\">]><a>&e;</a>", true, "a", "", "", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.doc.substr(0, 120));
        CXQSimpleXMLReader reader;
        CXQXMLElement root;
        EXPECT_EQ(reader.Parse(r.doc, root), r.ok);
        EXPECT_EQ(reader.ErrorText().IsEmpty(), r.ok);
        EXPECT_NE(std::string(reader.ErrorText().GetString()).find(r.error), std::string::npos)
            << reader.ErrorText().GetString();
        if (r.path.empty()) {
            EXPECT_TRUE(root.name.IsEmpty());
            continue;
        }
        const CXQXMLElement* e = At(root, r.path);
        ASSERT_NE(e, nullptr);
        EXPECT_STREQ((r.attr.empty() ? e->text : e->GetAttribute(r.attr.c_str())).GetString(),
                     r.expected.c_str());
    }
}

TEST(XQSimpleXML, AnUnreadableFileNamesTheFile) {
    CXQSimpleXMLReader reader;
    CXQXMLElement root;
    const std::string path = ::testing::TempDir() + "/simple.xml";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs("<a><b/></a>", f);
    std::fclose(f);
    XQSetFileFault(2);  // the first read of its bytes
    EXPECT_FALSE(reader.ParseFile(path.c_str(), root));
    EXPECT_NE(std::string(reader.ErrorText().GetString()).find("simple.xml"), std::string::npos);
    EXPECT_TRUE(root.name.IsEmpty());
    XQSetFileFault(0);
    EXPECT_TRUE(reader.ParseFile(path.c_str(), root));
    EXPECT_EQ(root.children.size(), 1u);
}

}  // namespace
