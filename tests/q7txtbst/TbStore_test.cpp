#include "q7txtbst/TbStore.h"

#include "tests/q7txtbst/TbFixture.h"

namespace {

class TbStoreTest : public TbTest {};

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

TEST_F(TbStoreTest, GroupTableFailsWhenTheDatabaseIsGone) {
    XQClosePracticeDatabase();
    STbGroups table{{'x', "alt", {}}};
    EXPECT_FALSE(LoadTbGroups(table, true));
    EXPECT_TRUE(table.empty());
}

}  // namespace
