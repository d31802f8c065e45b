// Text blocks read and put in: the lookup, the expansion of strings and memos,
// placeholders, the calls that search, and the group table.
#include "q7txtbst/TbInsert.h"

#include "host/base/CStrings.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/TbStore.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

class TbInsertTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Block("zw", "b", "", "zwei Zeilen", "Zeile eins\nZeile zwei");
        Block("rr", "b", "", "Blutdruck", "RR 120/80 mmHg");
        Block("dat", "b", "", "Datum", "am <<Datum>> um <<Uhrzeit=8 Uhr>>");
    }
    // Silent expansion of a string; returns the expanded text.
    CString Expand(const char* text, bool* changed = nullptr) {
        CQTbEntry lines(dbDatabase);
        CString s = text;
        bool c = ExpandTbString(lines, s);
        if (changed) *changed = c;
        return s;
    }
};

TEST_F(TbInsertTest, StringExpansionCases) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"Befund: rr   ", "Befund: RR 120/80 mmHg", true},  // trailing blanks dropped
        {"rr", "RR 120/80 mmHg", true},
        {"Befund:\trr", "Befund:\trr", false},  // a tab is no word break
        {"Befund: [rr] und [xy] ok", "Befund: RR 120/80 mmHg und xy ok", true},
        {"Befund: [xy] ok", "Befund: [xy] ok", false},  // no key found: brackets stay
        {"a] [rr]", "a] [rr]", false},                  // "]" before "[" ends the line's expansion
        {"[rr", "[rr", false},
        {"[rr][rr] zw", "RR 120/80 mmHgRR 120/80 mmHg Zeile eins\r\nZeile zwei", true},
        {"Text [zw] fertig", "Text Zeile eins\r\nZeile zwei fertig", true},
        {"", "", false}};
    for (auto [in, out, expanded] : cases) {
        bool changed = false;
        EXPECT_STREQ(Expand(in, &changed), out) << in;
        EXPECT_EQ(changed, expanded) << in;
    }
}

TEST_F(TbInsertTest, MemoLastWordBecomesTheBlockAndExpandedLinesAreNotSearchedAgain) {
    Block("zrr", "b", "", "", "[rr] rr");  // a block whose text holds Kürzel itself
    CQTbEntry lines(dbDatabase);
    CStrings memo;
    memo.SetText("[zrr]\r\nBefund zw");
    ASSERT_TRUE(ExpandTbMemo(lines, memo));
    ASSERT_EQ(memo.GetCount(), 3);
    EXPECT_STREQ(memo.GetAt(0), "[rr] rr");
    EXPECT_STREQ(memo.GetAt(1), "Befund Zeile eins");
    EXPECT_STREQ(memo.GetAt(2), "Zeile zwei");

    CStrings empty;
    EXPECT_FALSE(ExpandTbMemo(lines, empty));
    EXPECT_EQ(empty.GetCount(), 0);
}

TEST_F(TbInsertTest, PlaceholdersAreFilledOnceAndCancelKeepsThem) {
    front.paramAnswers = {{"01.02.2026", "9 Uhr"}, {}};
    EXPECT_STREQ(Expand("Termin dat"), "Termin am 01.02.2026 um 9 Uhr");
    ASSERT_EQ(front.shownParamLabels.size(), 1u);
    EXPECT_STREQ(front.shownParamLabels[0][1], "Uhrzeit");
    EXPECT_STREQ(Expand("Termin dat"), "Termin am <<Datum>> um <<Uhrzeit=8 Uhr>>");
}

TEST_F(TbInsertTest, SilentExportsReportAndTurnLineBreaksIntoBlanks) {
    CQTbEntry lines(dbDatabase);
    CString text = "kein\r\nK\xFCrzel\nhier";
    EXPECT_EQ(DoTbEntryString_NoSearch(nullptr, &text, &lines), 0);
    EXPECT_STREQ(text, "kein  K\xFCrzel hier");

    CXQLMemoX memo;
    memo.SetText("eins\r\nzwei rr");
    EXPECT_EQ(DoTbEntryXQ_NoSearch(nullptr, &memo, &lines), 1);
    EXPECT_STREQ(memo.GetText(), "eins\r\nzwei RR 120/80 mmHg");
    EXPECT_EQ(DoTbEntryXQL_NoSearch(nullptr, nullptr, &lines), 0);
    EXPECT_EQ(front.dialogsRun, 0);
}

// A memo's insertion at the caret: the desktop's window test.
TEST_F(TbInsertTest, SearchingVariantsInsertTheChosenBlockAtTheCaret) {
    CQTbEntry lines(dbDatabase);
    auto chooseZw = [this] {
        Script<CdiaSuchTB>([](CdiaSuchTB& dlg) {
            dlg.m_editKuerzel.SetText("zw");
            dlg.ClickToolbarButton(XQTB_ACCEPT);
        });
    };

    CXQLEditX edit;
    edit.SetText("x unbekannt");
    edit.SetSel(11, 11);
    chooseZw();
    DoTbEntryXQL2(nullptr, &edit, &lines, "", "");
    EXPECT_STREQ(edit.GetText(), "x unbekanntZeile eins Zeile zwei ");

    CString text = "unbekannt";
    chooseZw();
    DoTbEntryString(nullptr, &text, &lines, "", "");
    EXPECT_STREQ(text, "Zeile eins Zeile zwei ");

    // Cancelling changes nothing; an empty memo opens the search too.
    CXQLMemoX emptyMemo;
    text = "unbekannt";
    DoTbEntryString(nullptr, &text, &lines, "", "");
    DoTbEntryXQL(nullptr, &emptyMemo, &lines, "", "");
    EXPECT_STREQ(text, "unbekannt");
    EXPECT_EQ(emptyMemo.GetLines().GetCount(), 0);
    EXPECT_EQ(front.dialogsRun, 4);
}

TEST_F(TbInsertTest, LookupFailsForBlanksBlocksWithoutLinesAndOtherKuerzel) {
    ASSERT_EQ(AddTb("leer", "b"), 0);
    Block("ab", "b", "", "", "Text");
    CQTbEntry lines(dbDatabase);
    for (const char* key : {"", "   ", "leer", "a", "abc", "AB", "x' OR '1'='1"}) {
        CString k = key;
        EXPECT_FALSE(LookupTb(lines, k)) << key;
        EXPECT_STREQ(k, key);
    }
    CString collected = "vorher";
    EXPECT_FALSE(CollectTb(lines, "leer", collected));
    EXPECT_STREQ(collected, "vorher");
}

TEST_F(TbInsertTest, GroupTableSortsByNameAndDropsStrayMembers) {
    Load("sp",
         "list\tcode\ttext\n"
         "tb\tb\tBriefe\n"
         "tb\tbz\tzuletzt\n"
         "tb\tba\t\xC3\x84rzte\n"
         "tb\ta\tanamnese\n"
         "tb\tbx\tverirrt\n"    // follows group a: dropped
         "tb\tf \tFormulare\n"  // second character blank: a group
         "tb\tff\tFormular f\n"
         "tb\t\tohne Code\n"
         "other\tq\tfremde Liste\n");
    // Each group's letter and its members' letters, "a:;b:az;".
    const auto letters = [](const STbGroups& table) {
        std::string out;
        for (const STbGroup& g : table) {
            out += std::string(1, g.letter) + ":";
            for (const auto& m : g.members) out += m.letter;
            out += ";";
        }
        return out;
    };
    STbGroups editor, search;
    ASSERT_TRUE(LoadTbGroups(editor, false));
    // "anamnese" before "Briefe", case-blind; "\304rzte" collates before "zuletzt".
    EXPECT_EQ(letters(editor), "a:;b:az;f:f;");
    ASSERT_TRUE(LoadTbGroups(search, true));
    EXPECT_EQ(letters(search), " : ;a: ;b: az;f: f;");
    EXPECT_STREQ(search[0].name, LoadQ7String(7002));
}

// Without the database the table read before is gone, the editor and the
// search end with a message.
TEST_F(TbInsertTest, WithoutTheDatabaseGroupTableEditorAndSearchFail) {
    XQClosePracticeDatabase();
    STbGroups table{{'x', "alt", {}}};
    EXPECT_FALSE(LoadTbGroups(table, true));
    EXPECT_TRUE(table.empty());
    CdiaTB editor(false, nullptr);
    EXPECT_EQ(editor.DoModal(), 2);
    CString k = "x";
    EXPECT_EQ(Q7SuchTB(&k, "", "", nullptr), 0);
    EXPECT_EQ(front.shownMessages.size(), 2u);
}

}  // namespace
