// The text block list as the editor and the search dialog print it: what
// lands in the data file, which blocks the filters pick, and that a cancel
// or an empty selection prints nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/base/Helpers.h"
#include "host/base/HostContext.h"
#include "host/print/XQPrint.h"
#include "q7txtbst/diatb.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

class TbPrintTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Q7SetHome(home);
        Load("mandant", "mdid\tname\tstreet\tcity\tfachgruppe\n1\tDr. Anna Beispiel\t\t\t\n");
        Load("sp", "list\tcode\ttext\ntb\tb\tBefunde\ntb\tbl\tLunge\ntb\tf\tRezepte\n");
        Block("LU", "b", "l", "Lunge frei", "Vesikul\xC3\xA4res Atemger\xC3\xA4usch\nbeidseits");
        Block("LEER", "f", "", "ohne Text", "");
        Block("ALU", "b", "l", "Lunge alt", "x");
    }
    void Print(bool all, const char* kuerzel = "", bool partWord = false, const char* group = "") {
        CQTbEntry lines(dbDatabaseRO);
        CdiaTB::DoPrint(nullptr, lines, all, kuerzel, "", group, "", partWord);
    }
    XQPrintData Data() {
        XQPrintData data;
        EXPECT_TRUE(XQReadPrintData(GetDatFilePath("q7_tb.dat"), data));
        return data;
    }
    static std::vector<CString> Values(const XQPrintData& data) {
        std::vector<CString> values;
        for (const XQPrintRow& row : data.rows) values.push_back(row.value);
        return values;
    }
};

CString Row(const char* k, const char* d, const char* g, const char* m) {
    return LeftFix(k, 8) + " " + LeftFix(d, 40) + " " + LeftFix(g, 13) + " " + LeftFix(m, 40);
}

TEST_F(TbPrintTest, EditorPrintsAllBlocksInKuerzelOrderWithGroupNames) {
    ASSERT_TRUE(LoadTbGroups(CdiaTB::s_Groups, false));
    Print(true);
    const XQPrintData data = Data();
    EXPECT_EQ(data.Variable("Ueberschrift2"), "f\xFCr Dr. Anna Beispiel");
    EXPECT_EQ(data.variables[3].second,
              Row("K\xFCrzel", "Beschreibung/Text", "Gruppe", "Untergruppe"));

    const std::vector<CString> expected = {
        Row("ALU", "Lunge alt", "Befunde", "Lunge"),
        "         x",
        Row("LEER", "ohne Text", "Rezepte", ""),  // no lines: the row alone
        Row("LU", "Lunge frei", "Befunde", "Lunge"),
        "         Vesikul\xE4res Atemger\xE4usch beidseits",
    };
    EXPECT_EQ(Values(data), expected);
    EXPECT_EQ(data.rows[0].value2, "Fett");
    EXPECT_TRUE(data.rows[1].name2.IsEmpty());

    EXPECT_EQ(front.shownProgress.size(), 1u);
}

TEST_F(TbPrintTest, LongTextIsCutIntoIndentedPiecesAndLineBreaksBecomeBlanks) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "wort ";  // 200 characters
    text.back() = '\n';
    text += "ende";
    Block("LANG", "", "", "", text.c_str());
    Print(false, "LANG");
    const std::vector<CString> rows = Values(Data());
    ASSERT_EQ(rows.size(), 4u);
    for (size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].Left(9), "         ");
        EXPECT_NE(rows[i][9], ' ');
        EXPECT_LE(rows[i].GetLength(), 9 + 96);
    }
    EXPECT_EQ(rows[3].Right(9), "wort ende");
}

TEST_F(TbPrintTest, SearchPrintUsesTheFiltersAndAnEmptyGroupTable) {
    Print(false, "LU");  // Kürzel begins with
    std::vector<CString> rows = Values(Data());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], Row("LU", "Lunge frei", "", ""));  // no editor opened yet

    Print(false, "LU", true);  // part word: ALU too
    rows = Values(Data());
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].Left(3), "ALU");

    Print(false, "", false, "f");
    rows = Values(Data());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Left(4), "LEER");
    EXPECT_EQ(front.printed.size(), 3u);
}

TEST_F(TbPrintTest, NothingFoundCancelledOrNotWrittenWholePrintsNothing) {
    Print(false, "NICHTDA");
    EXPECT_FALSE(std::filesystem::exists(NativePath(GetDatFilePath("q7_tb.dat"))));
    EXPECT_TRUE(front.shownProgress.empty());

    front.cancelProgressAt = 2;
    Print(true);
    EXPECT_TRUE(front.shownMessages.empty());
    front.cancelProgressAt = 0;
    XQSetPrintWriteFault(5);
    Print(true);
    XQSetPrintWriteFault(0);
    EXPECT_TRUE(front.printed.empty());
}

}  // namespace
