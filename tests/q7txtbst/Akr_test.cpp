// The AKR check: which line of the region dates applies, and during the
// introduction phase the question, the reminder answers and what is stored.
#include "q7txtbst/Akr.h"

#include <filesystem>
#include <sstream>

#include "host/base/HostContext.h"
#include "q7txtbst/Krw.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

const char kAntwort[] = "AkrG_Einf\xC3\xBChrung.Dat";  // UTF-8 on disk

class AkrTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        Q7SetHome(home);
        CKrw::ForgetKbvPath();
        kbv = std::filesystem::path(home) / "data" / "Kbv";
        std::filesystem::create_directories(kbv);
        WriteFile(kbv / "AkrG.Dat", "38;20110101\r\n");
        ResetAkrProzessFlag();
    }
    void TearDown() override {
        ResetAkrProzessFlag();
        Q7SetToday("");
        Q7SetHome("");
        CKrw::ForgetKbvPath();
        TbTest::TearDown();
    }
    // The check on that day for region 38, with the given buttons pressed
    // (index from 0); the stored answer ("-" for none) after it.
    bool Check(const char* heute, std::deque<int> antworten = {}, const char* region = "38") {
        Q7SetToday(heute);
        front.messageAnswers = antworten;
        front.shownMessages.clear();
        datum = 0;
        const bool aktiv = CheckAkrActivation(region, datum);
        EXPECT_TRUE(front.messageAnswers.empty()) << heute;
        return aktiv;
    }
    std::string Gespeichert() const {
        std::ifstream in(kbv / kAntwort, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return in.is_open() ? text.str() : "-";
    }

    std::filesystem::path kbv;
    unsigned datum = 0;
};

TEST_F(AkrTest, RegionLineAppliesFromItsDate) {
    const struct {
        const char* zeilen;
        const char* region;
        bool aktiv;
        unsigned datum;
    } faelle[] = {
        {"51;20110701\r\n", "48", true, 20110701},
        {"48;20110701\r\n", "51", true, 20110701},
        {"62;20110701\r\n", "55", true, 20110701},
        {"38;20270101\r\n38;20110801\r\n", "38", true, 20110801},
        {"38;20270101\r\n", "38", false, 0},
        {"37;20110701\r\n", "38", false, 0},
    };
    for (const auto& f : faelle) {
        WriteFile(kbv / "AkrG.Dat", f.zeilen);
        EXPECT_EQ(Check("20260101", {}, f.region), f.aktiv) << f.zeilen << f.region;
        EXPECT_EQ(datum, f.datum) << f.zeilen << f.region;
    }
    std::filesystem::remove(kbv / "AkrG.Dat");
    EXPECT_FALSE(Check("20260101"));
    // After the introduction nothing is asked or stored.
    EXPECT_TRUE(front.shownMessages.empty());
    EXPECT_EQ(Gespeichert(), "-");
}

// "Nein, ich brauche noch Bedenkzeit", then a reminder button.
TEST_F(AkrTest, ReminderStoresTheDayToAskAgain) {
    const struct {
        const char* heute;
        int knopf;
        const char* gespeichert;
    } faelle[] = {
        {"20111215", 2, "20120115"}, {"20110131", 2, "20110303"}, {"20111231", 0, "20120101"},
        {"20111228", 1, "20120104"}, {"20111215", 3, "88888888"}, {"20111215", 4, "20111215"},
    };
    for (const auto& f : faelle) {
        std::filesystem::remove(kbv / kAntwort);
        ResetAkrProzessFlag();
        EXPECT_FALSE(Check(f.heute, {1, f.knopf}));
        ASSERT_EQ(front.shownMessages.size(), 2u);
        EXPECT_EQ(front.shownMessages[1].str().rfind(
                      "Einf\xFChrungsphase des Ambulanten Kodierregelwerks|Sie haben", 0),
                  0u);
        EXPECT_EQ(Gespeichert(), std::string(f.gespeichert) + "\r\n") << f.heute << f.knopf;
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
    EXPECT_EQ(front.shownMessages[1],
              "Frage|M\xF6"
              "chten Sie die Aktivierung jetzt wirklich durchf\xFChren?");
    EXPECT_EQ(Gespeichert(), "20111217\r\n");
    EXPECT_TRUE(Check("20111218", {0, 0}));
    EXPECT_EQ(Gespeichert(), "99999999\r\n");
    EXPECT_TRUE(Check("20111219"));

    WriteFile(kbv / kAntwort, "88888888\r\n");
    EXPECT_FALSE(Check("20111219"));
    EXPECT_TRUE(front.shownMessages.empty());
    EXPECT_EQ(Gespeichert(), "88888888\r\n");
}

}  // namespace
