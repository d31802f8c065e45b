#include "host/db/Ops.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/host/db/DbFixture.h"

namespace {

// In key order, so that the dump gives the same bytes back. The group id
// "5-81...5-86" begins with "581" as typed: only its category keeps it out.
const char* const kOps =
    "code\tchapter\tgroup\tcategory\tsnz\tside\textended\n"
    "1\t1\t\t$0\t\t\t0\n"
    "1-100\t1\t1-10...1-10\tK2\t\t\t0\n"
    "5\t5\t\t$0\t\t\t0\n"
    "5-01...5-05\t5\t5-01...5-05\t$1\t\t\t0\n"
    "5-010.0\t5\t5-01...5-05\tK1\t1\t0\t0\n"
    "5-81...5-86\t5\t5-81...5-86\t$1\t\t\t0\n"
    "5-812.5\t5\t5-81...5-86\tK1\t12\t3\t0\n"
    "5-812.6\t5\t5-81...5-86\t$2\t\t\t0\n"
    "5-895.0a\t5\t5-89...5-89\t\t\t\t1\n";
// The procedure text of 5-812.5 runs over two lines; chapter texts (type 1)
// are no procedure texts.
const char* const kTexts =
    "code\ttype\ttext\n"
    "1-100\t3\tKlinische Untersuchung in Allgemeinanaesthesie\n"
    "5\t1\tOperationen\n"
    "5-010.0\t3\tSch\xC3\xA4\x64\x65ler\xC3\xB6\x66\x66nung \xC3\xBC\x62\x65r die Kalotte\n"
    "5-812.5\t3\tArthroskopische Operation am Gelenkknorpel\n"
    "5-812.5\t3\tund an den Menisken: Resektion\n"
    "5-812.5\t4\tHinweis\n"
    "5-812.6\t3\tMeniskusrefixation am Fu\xC3\x9Fgelenk\n"
    "5-895.0a\t3\tRadikale Exzision: Brustwand\n";

class OpsTest : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ops = std::make_unique<CQOps>(dbDatabaseRO);
        Load("ops", kOps);
        Load("opstext", kTexts);
    }
    void TearDown() override {
        dbMdId = "1";
        ops.reset();
        DbTest::TearDown();
    }
    std::string Search(const char* code, const char* text, CQOps_Fields filter = {},
                       bool favoriten = false) {
        ops->ClearAll();
        filter.Code = code;
        ops->SetFields(filter);
        return Hits(*ops, ops->GetForSuche(Utf8ToCp1252(text), favoriten));
    }

    std::unique_ptr<CQOps> ops;
};

TEST_F(OpsTest, SearchMatchesKeysTextsAndFiltersButNoHierarchyRows) {
    const char* const all = "1-100,5-010.0,5-812.5,5-812.6,5-895.0a";
    const struct {
        const char* code;
        const char* text;
        CQOps_Fields filter;
        const char* hits;
    } cases[] = {
        {"", "", {}, all},
        {"5812", "", {}, "5-812.5,5-812.6"},
        {"5-812.5", "", {}, "5-812.5"},
        {"5-895.0A", "", {}, "5-895.0a"},
        {"6", "", {}, "-"},
        {"", "gelenk ARTHRO", {}, "5-812.5"},
        {"", "arthro menisk", {}, "5-812.5"},  // words of different lines
        {"", "perat", {}, "-"},                // not a word beginning
        {"", "operationen", {}, "-"},          // a chapter text
        {"", "hinweis", {}, "-"},              // a note
        {"", "schaedeleroe", {}, "5-010.0"},
        {"", "allgemeinan\xC3\xA4st", {}, "1-100"},
        {"5-8", "menisk", {}, "5-812.5,5-812.6"},
        {"", "", {.Kapitel = "1"}, "1-100"},
        {"", "", {.Gruppe = "5-81...5-86"}, "5-812.5,5-812.6"},
        {"", "", {.Kategorie = "K1"}, "5-010.0,5-812.5"},
        {"", "", {.Erweitert = "1"}, "5-895.0a"},
        {"", "", {.Erweitert = "0"}, "1-100,5-010.0,5-812.5,5-812.6"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Search(c.code, c.text, c.filter), c.hits) << c.code << "|" << c.text;
}

TEST_F(OpsTest, FavouritesBelongToThePhysician) {
    EXPECT_EQ(CQOps::AddToFavoriten("5-812.6"), XQ_OK);
    EXPECT_EQ(CQOps::AddToFavoriten("1-100"), XQ_OK);
    EXPECT_EQ(CQOps::AddToFavoriten(" "), XQ_NOTFOUND);
    EXPECT_EQ(Search("5", "", {}, true), "5-812.6");
    dbMdId = "2";
    EXPECT_EQ(Search("", "", {}, true), "-");
    Load("opsfav", "code\n5-010.0\n");
    EXPECT_EQ(Search("", "", {}, true), "5-010.0");
    dbMdId = "1";
    EXPECT_EQ(Search("", "", {}, true), "1-100,5-812.6");
}

TEST_F(OpsTest, TextsReadInOrderAndLoadsKeepTheWordIndex) {
    EXPECT_EQ(Dump("ops"), kOps);
    EXPECT_EQ(Dump("opstext"), kTexts);
    CQOpsEntry entry(dbDatabaseRO);
    EXPECT_EQ(entry.GetEntries("5-812.5", OPS_ENTRY_TEXT, false),
              "Arthroskopische Operation am Gelenkknorpel");
    EXPECT_EQ(entry.GetEntries("5-812.5", OPS_ENTRY_TEXT, true),
              "Arthroskopische Operation am Gelenkknorpel\r\nund an den Menisken: Resektion");
    EXPECT_EQ(entry.GetEntries("5-812.5", OPS_ENTRY_EXKLUSIVA, true), "");

    // Eleven lines order by value; a later load replaces a code's type whole.
    std::string lines = "code\ttype\ttext\n";
    for (int i = 0; i < 11; ++i) lines += "5-812.6\t8\tz" + std::to_string(i) + "\n";
    Load("opstext", lines);
    EXPECT_EQ(Hits(entry, entry.GetByEntryTyp("5-812.6", "8"), &CQOpsEntry::Text),
              "z0,z1,z2,z3,z4,z5,z6,z7,z8,z9,z10");
    Load("opstext", "code\ttype\ttext\n5-812.6\t8\tneu\n");
    EXPECT_EQ(Hits(entry, entry.GetByEntryTyp("5-812.6", "8"), &CQOpsEntry::Text), "neu");
    // The words follow a replaced text, and a row that comes after its text.
    Load("opstext", "code\ttype\ttext\n5-812.6\t3\tNeuer Text\n9-1\t3\tSp\xC3\xA4ter\n");
    Load("ops", "code\tchapter\tgroup\tcategory\tsnz\tside\textended\n9-1\t9\t\t\t\t\t0\n");
    EXPECT_EQ(Search("", "menisk"), "5-812.5");
    EXPECT_EQ(Search("", "neu"), "5-812.6");
    EXPECT_EQ(Search("", "spaet"), "9-1");
    CQOpsEntry line(dbDatabase);  // a load leaves the index kept by every write
    line.Code = "1-100";
    line.Typ = OPS_ENTRY_TEXT;
    line.Lfd = "1";
    line.Text = "Zusatz";
    ASSERT_EQ(line.Write(), XQ_OK);
    EXPECT_EQ(Search("", "klinisch zusatz"), "1-100");
}

TEST_F(OpsTest, DamagedFileIsRefusedWholeNamingTheLine) {
    const struct {
        const char* kind;
        const char* content;
        const char* line;
    } bad[] = {
        {"opstext", "code\ttype\ttext\n9-1\t3\tNeu\n9-2\t3\tzu\tviel\n", "Zeile 3:"},
        {"opstext", "code\ttext\n9-1\tNeu\n", "Zeile 1:"},  // no type
        {"go", "edition\tnumber\nh\t9\n", "Zeile 1:"},      // no text
    };
    for (const auto& b : bad) {
        CString error;
        EXPECT_NE(XQLoadTsvText(b.kind, b.content, b.kind, &error), XQ_OK) << b.kind;
        EXPECT_EQ(Cp1252ToUtf8(error.str()).rfind(b.line, 0), 0u) << Cp1252ToUtf8(error.str());
    }
    EXPECT_EQ(Dump("ops"), kOps);
    EXPECT_EQ(Search("", "neu"), "-");
    XQFailNthCall(1);
    EXPECT_EQ(Search("5", ""), "status 14");
}

}  // namespace
