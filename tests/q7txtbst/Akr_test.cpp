// The AKR check: which region line applies, and during the introduction the
// question, the reminder answers and what is stored.
#include "q7txtbst/Akr.h"

#include "tests/q7txtbst/KrwFixture.h"

namespace {

class AkrTest : public KrwHomeTest {
  protected:
    void SetUp() override {
        KrwHomeTest::SetUp();
        Put("AkrG.Dat", "38;20110101\r\n");
        ResetAkrProzessFlag();
    }
    std::string Stored() const {
        std::ifstream in(kbv + "AkrG_Einf\xC3\xBChrung.Dat", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The check on that day with the buttons pressed (index from 0).
    bool Check(const char* today, std::deque<int> answers = {}, const char* region = "38") {
        Q7SetToday(today);
        front.messageAnswers = answers;
        front.shownMessages.clear();
        datum = 0;
        return CheckAkrActivation(region, datum);
    }
    unsigned datum = 0;
};

TEST_F(AkrTest, RegionLineAppliesFromItsDate) {
    const struct {
        const char* lines;  // null: no file
        const char* region;
        unsigned datum;  // 0: not active
    } cases[] = {
        {"51;20110701\r\n", "48", 20110701},
        {"48;20110701\r\n", "51", 20110701},
        {"38;20270101\r\n38;20110801\r\n", "38", 20110801},
        {"38;20270101\r\n", "38", 0},
        {nullptr, "38", 0},
    };
    for (const auto& c : cases) {
        if (c.lines)
            Put("AkrG.Dat", c.lines);
        else
            std::filesystem::remove(kbv + "AkrG.Dat");
        EXPECT_EQ(Check("20260101", {}, c.region), c.datum != 0) << c.region << c.datum;
        EXPECT_EQ(datum, c.datum) << c.region;
    }
    // After the introduction nothing is asked or stored.
    EXPECT_TRUE(front.shownMessages.empty());
    EXPECT_EQ(Stored(), "");
}

// "Nein, ich brauche noch Bedenkzeit", then a reminder button.
TEST_F(AkrTest, ReminderStoresTheDayToAskAgain) {
    const struct {
        const char* today;
        int button;
        const char* stored;
    } cases[] = {
        {"20111215", 2, "20120115"}, {"20110131", 2, "20110303"}, {"20111231", 0, "20120101"},
        {"20111228", 1, "20120104"}, {"20111215", 3, "88888888"}, {"20111215", 4, "20111215"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(kbv + "AkrG_Einf\xC3\xBChrung.Dat");
        ResetAkrProzessFlag();
        EXPECT_FALSE(Check(c.today, {1, c.button}));
        EXPECT_EQ(front.shownMessages.size(), 2u);
        EXPECT_EQ(Stored(), std::string(c.stored) + "\r\n") << c.today << c.button;
    }
}

TEST_F(AkrTest, StoredAnswerDecidesWhetherToAsk) {
    // "Ich weiß nicht": not again in this process, but in the next one.
    EXPECT_FALSE(Check("20111215", {1, 4}));
    EXPECT_FALSE(Check("20111215"));
    EXPECT_TRUE(front.shownMessages.empty());
    ResetAkrProzessFlag();
    EXPECT_FALSE(Check("20111215", {1, 4}));
    EXPECT_EQ(front.shownMessages.size(), 2u);

    // Activating wants a confirmation; without it the reminder follows.
    EXPECT_FALSE(Check("20111216", {0, 1, 0}));
    EXPECT_EQ(Stored(), "20111217\r\n");
    EXPECT_TRUE(Check("20111218", {0, 0}));
    EXPECT_TRUE(Check("20111219"));
    EXPECT_EQ(Stored(), "99999999\r\n");

    Put("AkrG_Einf\xC3\xBChrung.Dat", "88888888\r\n");
    EXPECT_FALSE(Check("20111219"));
    EXPECT_TRUE(front.shownMessages.empty());
}

}  // namespace
