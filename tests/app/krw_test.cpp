// The coding rule dialogs on the demo practice, as the practice system opens
// them: the view lists and filters the rules, opens a rule and stores the
// practice's setting, lists the changes between the two editions, switches a
// rule off for a patient and back on; the details and the changes dialog
// also open on their own.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "tests/app/RunQ7.h"

namespace {

class KrwAppTest : public HomeTest {
  protected:
    void SetUp() override {
        HomeTest::SetUp();
        ASSERT_EQ(Q7({"seed-demo"}).status, 0);
    }
    ProcessRun Run(std::vector<std::string> command, const std::string& script) {
        command.insert(command.begin(), {"--today", "20261115"});
        return Script(command, script);
    }
    // The list lines of the n-th dialog dump (from 0).
    static std::string ListOf(const std::string& out, int n) {
        std::istringstream in(out);
        std::string line, lines;
        int dump = -1;
        while (std::getline(in, line))
            if (line.starts_with("== "))
                ++dump;
            else if (dump == n && line.starts_with("  ["))
                lines += line + "\n";
        return lines;
    }
};

TEST_F(KrwAppTest, TheViewFiltersOpensARuleListsChangesAndSwitchesARuleForAPatient) {
    ProcessRun run = Run({"dialog", "CdiaKRWStammView"},
                         "select Anwendung Fakultative Regel\nselect Status Inaktiv\n"
                         "select Echtzeitpr\xC3\xBC"
                         "fung w\xC3\xA4hlbar + Abr.\n"
                         "type Kurzbeschreibung KNOTEN\ndump\n"
                         "select Anwendung 0\nselect Status 0\nselect Echtzeitpr\xC3\xBC"
                         "fung 0\n"
                         "type Kurzbeschreibung vorsorge\nclick list 0\ndump\n"
                         "check Inaktiv on\nclick #10005\ndump\n"
                         "click #10130\ndump\nclick #10001\n"
                         "key Ctrl+P\nanswer yes\ntype Suche 5\nclick #10005\nanswer yes\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_EQ(run.out.rfind("== Kodierregelwerk - Stammdatei 01.10.2026 - 31.12.2026\n", 0), 0u)
        << run.out;
    EXPECT_EQ(
        ListOf(run.out, 0),
        "  [0] {#FF0000}AKR002\\t \\tf\\tw\xC3\xA4hlbar + Abr.\\t3 Quartale\\tKnotenbildung der "
        "Lymphknoten ohne Begleitdiagnose\n");
    // The rule's details, then the view again with the rule now inactive.
    EXPECT_NE(run.out.find("== Kodierregel - AKR016\n"), std::string::npos) << run.out;
    EXPECT_EQ(ListOf(run.out, 2),
              "  [0] AKR016\\t \\tf\\tzur Abrechnung\\t\\tVorsorge-Kontakt ohne "
              "Befund: Verdacht und gesichert zugleich\n");
    EXPECT_NE(Dump("par").find(" 29\tkAKR016\t203\n"), std::string::npos);
    const std::string changes = ListOf(run.out, 3);
    EXPECT_EQ(
        changes.rfind("  [0] Neue Kodierregeln\n  [1] \n  [2] \n  [3] Kodierregel AKR046\n", 0), 0u)
        << changes;
    const std::regex verfallen(
        R"(\] \n  \[\d+\] \n  \[\d+\] Verfallene Kodierregeln\n  \[\d+\] Kodierregel AKR007\n)");
    EXPECT_TRUE(std::regex_search(changes, verfallen)) << changes;
    EXPECT_NE(Dump("freitext").find("         5\t!\t264\t  0\t  0\t\tAKR016\t\t\t\n"),
              std::string::npos);

    // Back on from the list of switched off rules (patient 5 is its fifth line).
    run = Run({"dialog", "CdiaKRWStammView"}, "key Ctrl+R\ntick list 4 on\nclick #10005\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_EQ(Dump("freitext").find("AKR016"), std::string::npos);
}

TEST_F(KrwAppTest, DetailsAndChangesOpenOnTheirOwn) {
    ProcessRun run = Run({"dialog", "CdiaKRWRegelDetails", "AKR002"}, "dump\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("  [0] Kodierregel AKR002 - inaktiv\n  [1] {#252525}Der Status der "
                           "Kodierregel ist von Ihnen ge\xC3\xA4ndert worden.\n"),
              std::string::npos)
        << run.out;

    WriteFile(dir / "zeilen.tsv", "text\tcolour\nNeue Kodierregeln\t0\nA\\tB\t255\n");
    run = Run({"dialog", "CdiaKRWAenderungen", (dir / "zeilen.tsv").string()}, "dump\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "== Kodierregelwerk-\xC3\x84nderungen\nlist \xC3\x84nderungen:\n"
              "  [0] Neue Kodierregeln\n  [1] {#FF0000}A\\tB\nbutton #10001: ESC - "
              "Abbrechen\nbutton #10025: F1 - Hilfe\n==\nresult: 2\n");

    WriteFile(dir / "zeilen.tsv", "Neue Kodierregeln\t0\n");
    run = Run({"dialog", "CdiaKRWAenderungen", (dir / "zeilen.tsv").string()}, "");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Zeile 1: Die Kopfzeile"), std::string::npos) << run.err;
}

}  // namespace
