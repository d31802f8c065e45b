// q7host as a user runs it: a real process on a real home folder, driven by
// its command line and scripts on standard input.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/RunQ7.h"

namespace {

class Q7HostTest : public HomeTest {
  protected:
    // A small practice of known blocks: group a with member aa.
    void LoadPractice() {
        Load("sp", "list\tcode\ttext\ntb\ta\tAllgemein\ntb\taa\tBefunde\n");
        Load("tb",
             "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n"
             "AB1\ta\taa\tErster\t\tText eins\n"
             "AB2\ta\taa\tZweiter\t\tText zwei\\nzweite Zeile\n"
             "AC\ta\taa\tDritter\t\tText drei\n"
             "DAT\ta\taa\tDatum\t\tUntersucht am <<Datum>>\n"
             "\xC3\x9CW\ta\taa\t\xC3\234berweisung\tk\t\xC3\234berweisung zum Facharzt\n");
    }
};

TEST_F(Q7HostTest, SearchScriptFiltersMovesGridAndHandsBackTheChosenKuerzel) {
    LoadPractice();
    ProcessRun run = Script({"call", "Q7SuchTB", "", "", ""},
                            "# Kürzel beginnend mit A\ntype Kürzel A\nline grid 1\nclick #10005\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "result: 1\nkuerzel: AB2\n");

    ProcessRun cancelled = Script({"call", "Q7SuchTB", "AC"}, "key Escape\n");
    ASSERT_EQ(cancelled.status, 0) << cancelled.err;
    EXPECT_EQ(cancelled.out.substr(0, 10), "result: 2\n");
}

// A memo's lines come back joined by CR LF, texts cross the boundary as
// UTF-8, and --today presets the date placeholder.
TEST_F(Q7HostTest, CallsHandBackMemoTextAndDateAsTheUserSeesThem) {
    LoadPractice();
    struct Case {
        std::vector<std::string> args;
        std::string script, out;
    } cases[] = {
        {{"call", "DoTbEntryXQL_NoSearch", "Anamnese\nAB2"},
         "",
         "result: 1\nmemo: Anamnese\\r\\nText zwei\\r\\nzweite Zeile\n"},
        {{"call", "DoTbEntryString_NoSearch", "[\xC3\x9CW]"},
         "",
         "result: 1\ntext: \xC3\234berweisung zum Facharzt\n"},
        {{"--today", "20261224", "--script", "-", "call", "DoTbEntryString_NoSearch", "[DAT]"},
         "answer ok\n",
         "PARAMBOX: Datum=24.12.2026\nresult: 1\ntext: Untersucht am 24.12.2026\n"}};
    for (const Case& c : cases) {
        ProcessRun run = Q7(c.args, c.script);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.out);
    }
}

// Each wrong use ends with its status and a German message, and leaves the
// practice database as it was.
TEST_F(Q7HostTest, WrongUseEndsWithItsStatusAndAMessage) {
    LoadPractice();
    const std::string before = Dump("tb");
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
        {{"dialog", "CdiaSuchTB", "zuviel"}, "", 2, "Argumente passen nicht"},
        {{"--ui", "qt", "call", "Q7SuchTB"}, "", 1, "--ui text"},
        {{"--script", "/nonexistent/script.txt", "call", "Q7SuchTB"}, "", 2, "gibt es nicht"},
        {{"load", "tb", "/nonexistent/tb.tsv"}, "", 1, "nicht vorhanden"},
        {{"--script", "-", "call", "Q7SuchTB"}, "click Nirgendwo\n", 3, "Nirgendwo"},
        {{"--script", "-", "call", "DoTbEntryString_NoSearch", "[DAT]"},
         "dump\n",
         3,
         "Platzhalter"},
        {{"--script", "-", "call", "DoTbEntryString_NoSearch", "x"}, "dump\n", 3, "kein Dialog"}};
    for (const Case& c : cases) {
        ProcessRun run = Q7(c.args, c.script);
        EXPECT_EQ(run.status, c.status) << c.args[0] << " " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(Dump("tb"), before);
}

// Only a regular file of sensible size is read: a pipe would wait for a
// writer and a device never end, so each is refused at once; memory that runs
// out ends the load too. Each with its German reason and nothing else.
TEST_F(Q7HostTest, LoadRefusesAtOnceWhatIsNoDataFile) {
    const std::filesystem::path fifo = dir / "pipe.tsv";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::filesystem::path big = dir / "big.tsv";
    const std::filesystem::path large = dir / "large.tsv";
    for (const auto& [file, size] : {std::pair{big, (std::uintmax_t(1) << 30) + 1},
                                     std::pair{large, std::uintmax_t(1) << 29}}) {
        WriteFile(file, "");
        std::filesystem::resize_file(file, size);  // sparse
    }
    // The loads run in little memory: the oversized file must be refused
    // unread (it would not fit), and the large one runs out of it. The
    // address sanitizer's shadow needs an unlimited address space.
#ifdef __SANITIZE_ADDRESS__
    const char* const little = nullptr;
#else
    const char* const little = "300000";  // KiB of address space, as ulimit -v takes it
#endif
    struct Case {
        std::string path;
        const char* reason;
    };
    std::vector<Case> cases = {{dir.string(), "ist ein Verzeichnis"},
                               {fifo, "keine regul\xC3\xA4re Datei"},
                               {"/dev/zero", "keine regul\xC3\xA4re Datei"},
                               {big, "zu gro\xC3\x9F"}};
    if (little) cases.push_back({large, "zu wenig Speicher"});
    for (const Case& c : cases) {
        // A load that waits is ended after a while rather than hanging the test.
        ProcessRun run = RunProgram(
            "/bin/sh", {"-c", "ulimit -v \"$0\" && exec timeout -s KILL 10 \"$@\"",
                        little ? little : "unlimited", std::string(Q7_BIN_DIR) + "/q7host",
                        "--home", home, "load", "tb", c.path});
        EXPECT_EQ(run.status, 1) << c.path;
        EXPECT_NE(run.err.find(c.path + " "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

TEST_F(Q7HostTest, DamagedDatabaseIsRefusedAndLeftUntouched) {
    std::filesystem::create_directories(home);
    const std::string garbage(4096, 'x');
    WriteFile(std::filesystem::path(home) / "praxis.db", garbage);
    ProcessRun run = Q7({"dump", "tb"});
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(run.err.empty());
    EXPECT_EQ(ReadFile(std::filesystem::path(home) / "praxis.db"), garbage);
}

// A script it cannot read is a bad command line, refused before q7host
// touches the practice home (a missing one is a row of the wrong uses).
TEST_F(Q7HostTest, AFolderAsScriptIsABadCommandLine) {
    const ProcessRun run = Q7({"--script", dir.string(), "dialog", "CdiaSuchTB"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("ist ein Ordner, keine Skriptdatei"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(home)) << "nothing ran";
}

}  // namespace
