#include <gtest/gtest.h>

#include <string>

#include "host/db/Icd.h"
#include "tests/host/db/DbFixture.h"
#include "tests/host/dlg/FakeFrontEnd.h"

namespace {

// Invented master files in the published layout: ISO-8859-15, CR LF.
std::string Crlf(const std::string& body) {
    std::string out;
    for (char c : body) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

std::string IcdFile(const std::string& diagnosen) {
    return Crlf(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n"
        "<ehd:ehd xmlns:ehd=\"urn:ehd/001\" xmlns=\"urn:ehd/icd/001\" ehd_version=\"1.40\">\n"
        " <ehd:header><ehd:document_type_cd V=\"ICD\"/>\n"
        "  <ehd:service_tmr V=\"2031-01-01..2031-12-31\"/></ehd:header>\n"
        " <ehd:body><icd_stammdaten><kapitel_liste><kapitel>\n"
        "  <nummer V=\"1\"/><bezeichnung V=\"Erfundene Leiden\"/><gruppen_liste><gruppe>\n"
        "   <von_icd_code V=\"A10\"/><bis_icd_code V=\"A19\"/><bezeichnung V=\"Wanderkeime\"/>\n"
        "   <diagnosen_liste>\n" +
        diagnosen +
        "   </diagnosen_liste>\n"
        "  </gruppe></gruppen_liste>\n"
        " </kapitel></kapitel_liste></icd_stammdaten></ehd:body>\n"
        "</ehd:ehd>\n");
}

const std::string kDiagnosen =
    "<diagnose><icd_code V=\"A10.-\"/><bezeichnung V=\"Darmbefall\"/><abrechenbar V=\"n\"/>\n"
    " <diagnosen_liste>\n"
    "  <diagnose><icd_code V=\"A10.0\"/><bezeichnung V=\"Darmbefall, l\xE4nglich\"/>\n"
    "   <abrechenbar V=\"n\"/><notationskennzeichen V=\"+\"/>\n"
    "   <diagnosen_liste>\n"
    "    <diagnose><icd_code V=\"A10.01\"/><bezeichnung V=\"Tief\"/><abrechenbar V=\"j\"/>\n"
    "     <diagnosethesaurus_liste>\n"
    "      <diagnosethesaurus V=\"Tiefer Keim\"><arztgruppen_liste>\n"
    "       <arztgruppe V=\"3\"/><arztgruppe V=\"13.3\"/></arztgruppen_liste>\n"
    "      </diagnosethesaurus>\n"
    "      <diagnosethesaurus V=\"Keim, tief\"><arztgruppen_liste>\n"
    "       <arztgruppe V=\"10\"/></arztgruppen_liste></diagnosethesaurus>\n"
    "     </diagnosethesaurus_liste>\n"
    "     <verschluesselungsanleitung_liste>\n"
    "      <verschluesselungsanleitung_ref V=\"VA000001\"/>\n"
    "      <verschluesselungsanleitung_ref V=\"VA000002\"/>\n"
    "     </verschluesselungsanleitung_liste>\n"
    "    </diagnose>\n"
    "   </diagnosen_liste>\n"
    "  </diagnose>\n"
    "  <diagnose><icd_code V=\"A10.1\"/><bezeichnung V=\"Flach\"/><abrechenbar V=\"j\"/>\n"
    "  </diagnose>\n"
    " </diagnosen_liste>\n"
    "</diagnose>\n"
    "<diagnose><icd_code V=\"A11\"/><bezeichnung V=\"Hautbefall\"/><abrechenbar V=\"j\"/>\n"
    "</diagnose>\n";

const std::string kHmv = Crlf(
    "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\n"
    "<ehd:ehd xmlns:ehd=\"urn:ehd/001\" ehd_version=\"1.40\">\n"
    " <ehd:header><ehd:document_type_cd V=\"SDHMA\"/></ehd:header>\n"
    " <ehd:body><sdhma_stammdaten xmlns=\"urn:ehd/sdhma/001\"><verordnungsbedarf_liste>\n"
    "  <verordnungsbedarf><icd_code V=\"A10.-\"/><heilmittel_liste><heilmittel>\n"
    "   <anlage_heilmittelvereinbarung V=\"LHM\"/></heilmittel></heilmittel_liste>\n"
    "  </verordnungsbedarf>\n"
    "  <verordnungsbedarf><icd_code V=\"A10.1\"/><heilmittel_liste><heilmittel>\n"
    "   <anlage_heilmittelvereinbarung V=\"BVB\"/></heilmittel></heilmittel_liste>\n"
    "  </verordnungsbedarf>\n"
    "  <verordnungsbedarf><icd_code V=\"A10.1\"/><geltungsbereich_kv V=\"17\"/>\n"
    "   <heilmittel_liste><heilmittel><anlage_heilmittelvereinbarung V=\"LHM\"/>\n"
    "   </heilmittel></heilmittel_liste></verordnungsbedarf>\n"
    "  <verordnungsbedarf><icd_code V=\"A11\"/><geltungsbereich_kv V=\"72\"/>\n"
    "   <heilmittel_liste><heilmittel><anlage_heilmittelvereinbarung V=\"LHM\"/>\n"
    "   </heilmittel></heilmittel_liste></verordnungsbedarf>\n"
    " </verordnungsbedarf_liste></sdhma_stammdaten></ehd:body></ehd:ehd>\n");

const std::string kExtract = Crlf("Auszug Zahnmedizin;Stand\nKode;Text\nA10.01+;Tief\n");

struct DetailsFrontEnd : FakeFrontEnd {
    int MessageBoxWithDetails(XQMsgKind kind, const CString& title, const CString& text,
                              const CString& details, const std::vector<CString>& b) override {
        this->details = details.str();
        return MessageBox(kind, title, text, b);
    }
    std::string details;
};

class IcdImportTest : public DbTest {
  protected:
    int Import(const std::string& icd, const std::string& hmv = "", const std::string& csv = "") {
        return CQIcd::ReadFromXMLFile(dbDatabase, nullptr, icd.c_str(), hmv.c_str(), csv.c_str());
    }
    DetailsFrontEnd fe;
};

// The whole file lands in the catalogue: nesting, texts, notation, the
// physician groups of the index texts as filters, coding manual references,
// the remedies and extract markers (a remedies row applies to subordinate
// codes without one of their own, and a KV region's row only in the
// practice's region) and the hierarchy rows.
TEST_F(IcdImportTest, ImportsTheCatalogueWithItsMarkers) {
    Load("praxis", "id\tkvregion\tname\n" + std::string(dbPraxisId) + "\t72\tPraxis\n");
    // A code that stays keeps its partner, which the master file lacks.
    Load("icd", "code\ttext\tpartner\nZ99\tAlt\tZ98\nA100\tAlt\tG011\n");
    ASSERT_EQ(Import(WriteFile("icd.xml", IcdFile(kDiagnosen)), WriteFile("hmv.xml", kHmv),
                     WriteFile("auszug.csv", kExtract)),
              XQ_OK);
    EXPECT_EQ(Dump("icd"),
              "code\ttext\tchapter\tgroup\tsubgroup\tnotation\tpartner\textract\thk\tfk\tfg\t"
              "vachapters\tlhm\n"
              "A10\tDarmbefall\t01\tA10-A19\tA10\t\t\t\t\t\t\t\tLHM\n"
              "A100\tDarmbefall, l\xC3\xA4nglich\t01\tA10-A19\tA10\t+\tG011\t\t\t\t\t\tLHM\n"
              "A1001\tTief\t01\tA10-A19\tA10\t\t\t1\t1\t1\t10,13.3\tVA000001VA000002\tLHM\n"
              "A101\tFlach\t01\tA10-A19\tA10\t\t\t\t\t\t\t\t\n"
              "A11\tHautbefall\t01\tA10-A19\tA11\t\t\t\t\t\t\t\tLHM\n");
    EXPECT_EQ(Dump("icdthes"), "code\ttext\nA1001\tTiefer Keim\nA1001\tKeim, tief\n");
    EXPECT_EQ(Dump("icdsubgruppe"),
              "chapter\tgroup\tsubgroup\ttext\n01\tA10-A19\tA10\tDarmbefall\n"
              "01\tA10-A19\tA11\tHautbefall\n");
    EXPECT_EQ(Dump("icdgruppe"), "chapter\tgroup\ttext\n01\tA10-A19\tWanderkeime\n");
    EXPECT_EQ(Dump("icdversion"), "text\nICD-10-GM 2031\n");
    CQIcd icd(dbDatabase);
    icd.ClearAll();
    EXPECT_EQ(Hits(icd, icd.GetByThesaurus("keim tief", true, true, true, "13.")), "A1001");
}

// A damaged file changes nothing and names the file, the line and the reason.
TEST_F(IcdImportTest, DamagedFilesLeaveTheCatalogue) {
    Load("icd", "code\ttext\nZ99\tAlt\n");
    const std::string before = Dump("icd");
    const std::string twice = kDiagnosen + "<diagnose><icd_code V=\"A11\"/></diagnose>\n";
    const struct {
        std::string icd, csv, file, reason;
    } cases[] = {
        {IcdFile(twice), "", "icd.xml", "A11\x93 steht zweimal in der Datei (Zeile 35"},
        {IcdFile("<diagnose><icd_code V=\"A1\"/></diagnose>\n"), "", "icd.xml",
         "Ung\xFCltiger ICD-Code \x84"
         "A1\x93 (Zeile 9"},
        {IcdFile(kDiagnosen).substr(0, 900), "", "icd.xml", "nicht wohlgeformt"},
        {IcdFile(kDiagnosen), "fehlt.csv", "fehlt.csv", "nicht lesbar"},
    };
    for (const auto& c : cases) {
        fe.shown.clear();
        EXPECT_NE(Import(WriteFile("icd.xml", c.icd), "", c.csv.empty() ? "" : home + "/" + c.csv),
                  XQ_OK)
            << c.reason;
        EXPECT_EQ(Dump("icd"), before) << c.reason;
        ASSERT_EQ(fe.shown.size(), 1u) << c.reason;
        EXPECT_NE(fe.shown[0].text.find(c.file), std::string::npos) << fe.shown[0].text;
        EXPECT_NE(fe.details.find(c.reason), std::string::npos) << fe.details;
    }
}

}  // namespace
