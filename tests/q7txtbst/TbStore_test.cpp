#include "q7txtbst/TbStore.h"

#include "tests/q7txtbst/TbFixture.h"

namespace {

class TbStoreTest : public TbTest {};

TEST_F(TbStoreTest, TwoLineBlockReadsWithTheSeparatorOfEachUse) {
    Block("zwei", "b", "", "Zwei Zeilen", "erste Zeile\nzweite Zeile");
    CQTbEntry lines(dbDatabase);

    CString editor;
    ReadTbLines(lines, "zwei", "\r\n", editor);
    EXPECT_STREQ(editor, "erste Zeile\r\nzweite Zeile");

    CString key = "zwei";
    ASSERT_TRUE(LookupTb(lines, key));
    EXPECT_STREQ(key, "erste Zeile\nzweite Zeile");

    CString collected = "unber\xFChrt";
    ASSERT_TRUE(CollectTb(lines, "zwei", collected));
    EXPECT_STREQ(collected, "erste Zeile\nzweite Zeile ");
}

TEST_F(TbStoreTest, LookupFailsForBlanksBlocksWithoutLinesAndOtherKuerzel) {
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

TEST_F(TbStoreTest, GroupTableSortsByNameAndDropsStrayMembers) {
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
    STbGroups editor;
    ASSERT_TRUE(LoadTbGroups(editor, false));
    ASSERT_EQ(editor.size(), 3u);
    EXPECT_EQ(editor[0].letter, 'a');  // "anamnese" before "Briefe", case-blind
    EXPECT_TRUE(editor[0].members.empty());
    EXPECT_EQ(editor[1].letter, 'b');
    ASSERT_EQ(editor[1].members.size(), 2u);
    EXPECT_EQ(editor[1].members[0].letter, 'a');  // "Ärzte" collates before "zuletzt"
    EXPECT_EQ(editor[2].letter, 'f');

    STbGroups search;
    ASSERT_TRUE(LoadTbGroups(search, true));
    ASSERT_EQ(search.size(), 4u);
    EXPECT_EQ(search[0].letter, ' ');
    EXPECT_STREQ(search[0].name, LoadQ7String(7002));
    for (const STbGroup& g : search) {
        ASSERT_FALSE(g.members.empty());
        EXPECT_EQ(g.members[0].letter, ' ');
    }
    EXPECT_EQ(search[2].members.size(), 3u);
}

TEST_F(TbStoreTest, GroupTableFailsWhenTheDatabaseIsGone) {
    XQClosePracticeDatabase();
    STbGroups table{{'x', "alt", {}}};
    EXPECT_FALSE(LoadTbGroups(table, true));
    EXPECT_TRUE(table.empty());
}

}  // namespace
