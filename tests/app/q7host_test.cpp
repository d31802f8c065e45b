// q7host as a user runs it: a real process on a real home folder, driven by
// its command line and scripts on standard input.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/RunQ7.h"

namespace {

class Q7HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/q7apptest.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        home = (dir / "home").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // A small practice of known blocks: group a with member aa.
    void LoadPractice() {
        WriteFile(dir / "sp.tsv", "list\tcode\ttext\ntb\ta\tAllgemein\ntb\taa\tBefunde\n");
        WriteFile(dir / "tb.tsv",
                  "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n"
                  "AB1\ta\taa\tErster\t\tText eins\n"
                  "AB2\ta\taa\tZweiter\t\tText zwei\\nzweite Zeile\n"
                  "AC\ta\taa\tDritter\t\tText drei\n"
                  "DAT\ta\taa\tDatum\t\tUntersucht am <<Datum>>\n"
                  "\xC3\x9CW\ta\taa\t\xC3\x9C"
                  "berweisung\tk\t\xC3\x9C"
                  "berweisung zum Facharzt\n");
        ASSERT_EQ(RunQ7({"--home", home, "load", "sp", (dir / "sp.tsv").string()}).status, 0);
        ASSERT_EQ(RunQ7({"--home", home, "load", "tb", (dir / "tb.tsv").string()}).status, 0);
    }

    std::filesystem::path dir;
    std::string home;
};

TEST_F(Q7HostTest, SeededDemoPracticeExpandsOneOfItsKuerzel) {
    ProcessRun seed = RunQ7({"--home", home, "seed-demo"});
    ASSERT_EQ(seed.status, 0) << seed.err;
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(home) / "data" / "KZBV"));
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(home) / "dat"));

    ProcessRun dump = RunQ7({"--home", home, "dump", "tb"});
    ASSERT_EQ(dump.status, 0);
    std::istringstream rows(dump.out);
    std::string header, row;
    std::getline(rows, header);
    int blocks = 0;
    std::string kuerzel, firstLine;
    while (std::getline(rows, row)) {
        ++blocks;
        std::vector<std::string> f;
        std::stringstream fields(row);
        for (std::string v; std::getline(fields, v, '\t');) f.push_back(v);
        // A one-line block without placeholders expands without a box.
        if (kuerzel.empty() && f.size() == 6 && f[5].find("\\n") == std::string::npos &&
            f[5].find("<<") == std::string::npos && f[5].find('[') == std::string::npos &&
            !f[5].empty()) {
            kuerzel = f[0];
            firstLine = f[5];
        }
    }
    EXPECT_GE(blocks, 60);
    ASSERT_FALSE(kuerzel.empty());
    ProcessRun call =
        RunQ7({"--home", home, "call", "DoTbEntryString_NoSearch", "Befund: [" + kuerzel + "] ok"});
    ASSERT_EQ(call.status, 0) << call.err;
    EXPECT_EQ(call.out, "result: 1\ntext: Befund: " + firstLine + " ok\n");
}

TEST_F(Q7HostTest, SearchScriptFiltersMovesGridAndHandsBackTheChosenKuerzel) {
    LoadPractice();
    ProcessRun run = RunQ7({"--home", home, "--script", "-", "call", "Q7SuchTB", "", "", ""},
                           "# Kürzel beginnend mit A\ntype Kürzel A\nline grid 1\nclick #10005\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "result: 1\nkuerzel: AB2\n");

    ProcessRun cancelled =
        RunQ7({"--home", home, "--script", "-", "call", "Q7SuchTB", "AC"}, "key Escape\n");
    ASSERT_EQ(cancelled.status, 0) << cancelled.err;
    EXPECT_EQ(cancelled.out.substr(0, 10), "result: 2\n");
}

TEST_F(Q7HostTest, MemoTargetPrintsItsLinesJoinedByCrLf) {
    LoadPractice();
    ProcessRun run = RunQ7({"--home", home, "call", "DoTbEntryXQL_NoSearch", "Anamnese\nAB2"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "result: 1\nmemo: Anamnese\\r\\nText zwei\\r\\nzweite Zeile\n");
}

TEST_F(Q7HostTest, ArgumentsAndResultsCrossTheBoundaryAsUtf8) {
    LoadPractice();
    ProcessRun run = RunQ7({"--home", home, "call", "DoTbEntryString_NoSearch", "[\xC3\x9CW]"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "result: 1\ntext: \xC3\x9C"
              "berweisung zum Facharzt\n");
}

TEST_F(Q7HostTest, TodayOptionPresetsTheDatePlaceholder) {
    LoadPractice();
    ProcessRun run = RunQ7({"--home", home, "--today", "20261224", "--script", "-", "call",
                            "DoTbEntryString_NoSearch", "[DAT]"},
                           "answer ok\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "PARAMBOX: Datum=24.12.2026\nresult: 1\ntext: Untersucht am 24.12.2026\n");
}

TEST_F(Q7HostTest, LoadThenDumpGivesTheFileBack) {
    const std::string file =
        "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n"
        "LEER\ta\taa\tOhne Zeilen\t\t\n"
        "\xC3\x84RZT\ta\taa\tGr\xC3\xBC\xC3\x9F"
        "e & \"Zeichen\"\tp\tTab\\there\\nBackslash \\\\ und \xE2\x80\x9E"
        "Anf\xC3\xBChrung\xE2\x80\x9C \xE2\x82\xAC\n";
    WriteFile(dir / "tb.tsv", file);
    ASSERT_EQ(RunQ7({"--home", home, "load", "tb", (dir / "tb.tsv").string()}).status, 0);
    ProcessRun dump = RunQ7({"--home", home, "dump", "tb"});
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_EQ(dump.out, file);
}

TEST_F(Q7HostTest, DesktopExpandsAKuerzelOnF3) {
    LoadPractice();
    ProcessRun run = RunQ7({"--home", home, "--script", "-"},
                           "type Behandlungseintrag Befund AC\nkey F3 Behandlungseintrag\ndump\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("memo Behandlungseintrag:\n  Befund Text drei\n"), std::string::npos)
        << run.out;
}

// Each wrong use ends with its status and a German message, and leaves the
// practice database as it was.
TEST_F(Q7HostTest, WrongUseEndsWithItsStatusAndAMessage) {
    LoadPractice();
    const std::string before = RunQ7({"--home", home, "dump", "tb"}).out;
    struct Case {
        std::vector<std::string> args;
        std::string script;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--frobnicate", "dump", "tb"}, "", 2, "Unbekannte Option"},
        {{"--today", "20260230", "dump", "tb"}, "", 2, "--today"},
        {{"--today", "2026-01-01", "dump", "tb"}, "", 2, "--today"},
        {{"--workstation", "0", "dump", "tb"}, "", 2, "--workstation"},
        {{"--ui", "web", "dump", "tb"}, "", 2, "--ui"},
        {{"frobnicate"}, "", 2, "Unbekannter Befehl"},
        {{"dump"}, "", 2, "dump ART"},
        {{"dump", "nothing"}, "", 2, "Unbekannte Datenart"},
        {{"call", "Frobnicate"}, "", 2, "Unbekannte Funktion"},
        {{"call", "DoTbEntryString_NoSearch", "a", "b"}, "", 2, "höchstens 1"},
        {{"call", "Q7SuchOPS", "0", ""}, "", 1, "nicht vorhanden"},
        {{"dialog", "CdiaSuchTB", "zuviel"}, "", 2, "Argumente passen nicht"},
        {{"--ui", "qt", "call", "Q7SuchTB"}, "", 1, "--ui text"},
        {{"--script", "/nonexistent/script.txt", "call", "Q7SuchTB"}, "", 1, "Skript"},
        {{"load", "tb", "/nonexistent/tb.tsv"}, "", 1, "nicht gelesen"},
        {{"--script", "-", "call", "Q7SuchTB"}, "click Nirgendwo\n", 3, "Nirgendwo"},
        {{"--script", "-", "call", "DoTbEntryString_NoSearch", "[DAT]"},
         "dump\n",
         3,
         "Platzhalter"},
        {{"--script", "-", "call", "DoTbEntryString_NoSearch", "x"}, "dump\n", 3, "kein Dialog"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"--home", home};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ProcessRun run = RunQ7(args, c.script);
        EXPECT_EQ(run.status, c.status) << c.args[0] << " " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(RunQ7({"--home", home, "dump", "tb"}).out, before);
}

TEST_F(Q7HostTest, DamagedDatabaseIsRefusedAndLeftUntouched) {
    std::filesystem::create_directories(home);
    const std::string garbage(4096, 'x');
    WriteFile(std::filesystem::path(home) / "praxis.db", garbage);
    ProcessRun run = RunQ7({"--home", home, "dump", "tb"});
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(run.err.empty());
    EXPECT_EQ(ReadFile(std::filesystem::path(home) / "praxis.db"), garbage);
}

}  // namespace
