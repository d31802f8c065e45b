#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host/xml/XQSax.h"
#include "host/xml/XQXMLWriter.h"

namespace {

// Records every event as text: "<uri|local|qname" and ">local" and texts.
struct Recorder : SAXContentHandlerImpl {
    std::vector<std::string> events;
    std::string text;
    void startElement(const std::string& uri, const std::string& local,
                      const std::string& qname) override {
        events.push_back("<" + uri + "|" + local + "|" + qname);
    }
    void endElement(const std::string&, const std::string& local, const std::string&) override {
        events.push_back(">" + local);
    }
    void characters(const std::string& t) override { text += t; }
};

// Each text as handed over.
struct Pieces : SAXContentHandlerImpl {
    std::vector<std::string> texts;
    void characters(const std::string& t) override { texts.push_back(t); }
};

std::string TempFile(const std::string& name, const std::string& content) {
    std::string path = ::testing::TempDir() + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

// The one text of <t>..</t> read back through the reader as Windows-1252.
CString ReadBack(const std::string& doc, bool* ok = nullptr) {
    Recorder r;
    CXQSAXReader reader;
    reader.putContentHandler(&r);
    bool parsed = reader.parse(doc);
    if (ok) *ok = parsed;
    return SAXContentHandlerImpl::W2S(r.text);
}

TEST(XQXMLWriter, EveryWindows1252ByteSurvivesTheRoundTripThroughAFile) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    CXQXMLWriter w;
    ASSERT_TRUE(w.StartDocument());
    ASSERT_TRUE(w.StartElement("r"));
    ASSERT_TRUE(w.CharElement("t", CString(all)));
    ASSERT_TRUE(w.CharElement("t2", "a\r\nb & <c> \"d\" 'e'"));
    ASSERT_TRUE(w.EndElement());
    ASSERT_TRUE(w.EndDocument());
    const std::string path = ::testing::TempDir() + "/all.xml";
    ASSERT_TRUE(w.Write(path.c_str()));
    EXPECT_EQ(w.Document().rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);

    Recorder r;  // both texts with the indentation between them
    CXQSAXReader reader;
    reader.putContentHandler(&r);
    ASSERT_TRUE(reader.parseURL(path.c_str())) << reader.ErrorText().GetString();
    EXPECT_EQ(SAXContentHandlerImpl::W2S(r.text).str(),
              "\n  " + all + "\n  a\r\nb & <c> \"d\" 'e'\n");
}

TEST(XQXMLWriter, RefusesMisuseInsteadOfWritingABrokenDocument) {
    CXQXMLWriter w;
    EXPECT_FALSE(w.StartElement("r"));  // before StartDocument
    w.StartDocument();
    EXPECT_FALSE(w.CharElement("t", "x"));  // outside the root
    w.StartDocument();
    EXPECT_FALSE(w.StartElement("1bad"));
    w.StartDocument();
    w.StartElement("r");
    EXPECT_FALSE(w.EndDocument());  // root still open
    w.StartDocument();
    w.StartElement("r");
    w.EndElement();
    w.EndDocument();
    EXPECT_FALSE(w.Write("/nonexistent-dir/x.xml"));
}

TEST(XQSAXReader, ReadsTheCommonEncodingsIntoWindows1252) {
    const std::string body = "<t>\xE4\x80</t>";  // ä and the euro sign in windows-1252
    EXPECT_STREQ(ReadBack("<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + body), "\xE4\x80");
    EXPECT_STREQ(ReadBack("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><t>\xE4\xFC</t>"),
                 "\xE4\xFC");
    EXPECT_STREQ(ReadBack("\xEF\xBB\xBF<t>\xC3\xA4\xE2\x82\xAC\xE2\x98\x83</t>"), "\xE4\x80?");
}

TEST(XQSAXReader, ReportsNamespaceUriLocalAndQualifiedNames) {
    Recorder r;
    CXQSAXReader reader;
    reader.putContentHandler(&r);
    ASSERT_TRUE(reader.parse("<a xmlns:p=\"urn:x\"><p:b/><c xmlns=\"urn:y\"/></a>"));
    std::vector<std::string> expected = {"<|a|a", "<urn:x|b|p:b", ">b", "<urn:y|c|c", ">c", ">a"};
    EXPECT_EQ(r.events, expected);
}

TEST(XQSAXReader, LoadsNoExternalDtdOrEntityAndStopsExpansionAttacks) {
    const std::string secret = TempFile("secret.txt", "GEHEIM");
    const std::string dtd = TempFile("ext.dtd", "<!ENTITY x \"AUS DTD\">");
    bool ok = false;
    CString text = ReadBack(
        "<!DOCTYPE t SYSTEM \"" + dtd + "\"[<!ENTITY s SYSTEM \"" + secret + "\">]><t>a&s;&x;b</t>",
        &ok);
    EXPECT_TRUE(ok);
    EXPECT_STREQ(text, "ab");

    // One large entity used often: far below expat's own default limit, and
    // refused all the same, with the reason. (Nested entities: the import's
    // hostile files.)
    std::string linear = "<!DOCTYPE t [<!ENTITY b \"" + std::string(100000, 'x') + "\">]><t>";
    for (int i = 0; i < 30; ++i) linear += "&b;";
    Recorder r;
    CXQSAXReader reader;
    reader.putContentHandler(&r);
    EXPECT_FALSE(reader.parse(linear + "</t>"));
    EXPECT_LE(r.text.size(), CXQSAXReader::kMaxText);
    EXPECT_NE(reader.ErrorText().Find("abgelehnt: Entit\xE4ten"), -1)
        << reader.ErrorText().GetString();
}

TEST(XQSAXReader, KeepsTheFirstMebibyteOfATextAndReadsOn) {
    // A two-byte character across the limit is left out whole.
    const std::string head(CXQSAXReader::kMaxText - 1, 'a');
    Pieces h;
    CXQSAXReader reader;
    reader.putContentHandler(&h);
    ASSERT_TRUE(reader.parse("<r><t>" + head + "\xC3\xA4" + std::string(3000000, 'b') +
                             "</t><u>danach</u></r>"));
    ASSERT_EQ(h.texts.size(), 2u);
    EXPECT_EQ(h.texts[0], head);
    EXPECT_EQ(h.texts[1], "danach");
}

TEST(XQSAXReader, FailsOnDamagedOrMissingFiles) {
    Recorder r;
    CXQSAXReader reader;
    reader.putContentHandler(&r);
    EXPECT_FALSE(reader.parseURL(TempFile("bad.xml", "<a>\n<b></a>").c_str()));
    EXPECT_STREQ(reader.ErrorText(),
                 "Datei nicht wohlgeformt: schlie\xDF"
                 "endes Tag passt nicht zum offenen "
                 "Element (Zeile 2, Spalte 6)");
    EXPECT_FALSE(reader.parseURL((::testing::TempDir() + "/missing.xml").c_str()));
    EXPECT_EQ(reader.ErrorText().Find("Datei nicht lesbar: "), 0);
    EXPECT_FALSE(reader.parseURL(
        TempFile("enc.xml", "<?xml version=\"1.0\" encoding=\"klingon\"?><a/>").c_str()));

    // A handler that refuses the file stops the read at once, with its reason.
    struct Refusing : SAXContentHandlerImpl {
        int starts = 0;
        void startElement(const std::string&, const std::string&, const std::string&) override {
            if (++starts == 2) Refuse("zu viele Elemente");
        }
    } refusing;
    reader.putContentHandler(&refusing);
    EXPECT_FALSE(reader.parse("<a>\n<b/><c/></a>"));
    EXPECT_EQ(refusing.starts, 2);
    EXPECT_STREQ(reader.ErrorText(), "Datei abgelehnt: zu viele Elemente (Zeile 2, Spalte 5)");
}

TEST(XQSAXReader, HandsEachTextOverWholeAndFindsFilesByHostPath) {
    // Entity references and character references split a text for expat.
    Pieces h;
    CXQSAXReader reader;
    reader.putContentHandler(&h);
    ASSERT_TRUE(reader.parse("<r><t>A &amp; B&#13;\nC</t><u>x</u></r>"));
    EXPECT_EQ(h.texts, (std::vector<std::string>{"A & B\r\nC", "x"}));

    // A host path: Windows separators, a Windows-1252 name.
    CXQXMLWriter w;
    ASSERT_TRUE(w.StartDocument() && w.StartElement("r") && w.CharElement("t", "ok") &&
                w.EndElement() && w.EndDocument());
    const CString hostPath = CString(::testing::TempDir().c_str()) + "\\M\xFCller.xml";
    ASSERT_TRUE(w.Write(hostPath));
    std::ifstream native(::testing::TempDir() + "/M\xC3\xBCller.xml");
    EXPECT_TRUE(native.good());
    h.texts.clear();
    ASSERT_TRUE(reader.parseURL(hostPath)) << reader.ErrorText().GetString();
    EXPECT_EQ(h.texts, (std::vector<std::string>{"\n  ", "ok", "\n"}));
}

}  // namespace
