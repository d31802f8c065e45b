// The text block editor as a user drives it through q7host: a block created,
// found again by its Kürzel, renamed, copied and deleted.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/app/RunQ7.h"

namespace {

class EditorAppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/q7editortest.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        home = (dir / "home").string();
        WriteFile(dir / "sp.tsv",
                  "list\tcode\ttext\ntb\tf\tRezepte\ntb\tff\tRezept-Freitext\ntb\tfl\tLabor\n");
        ASSERT_EQ(RunQ7({"--home", home, "load", "sp", (dir / "sp.tsv").string()}).status, 0);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    ProcessRun Editor(const char* mode, const std::string& script) {
        return RunQ7({"--home", home, "--script", "-", "dialog", "CdiaTB", mode}, script);
    }
    std::string DumpTb() { return RunQ7({"--home", home, "dump", "tb"}).out; }

    std::filesystem::path dir;
    std::string home;
};

TEST_F(EditorAppTest, BlockOfGroupFMemberFIsCreatedFoundRenamedCopiedAndDeleted) {
    const std::string line40 = "1234567890123456789012345678901234567890";
    ProcessRun created = Editor("1",
                                "type K\xC3\xBCrzel R\xC3\x9C"
                                "1\n"
                                "type Beschreibung Rezepthinweis\n"
                                "select Gruppe Rezepte\n"
                                "select Untergruppe Rezept-Freitext\n"
                                "type Text " +
                                    line40 +
                                    "\\nzweite Zeile\n"
                                    "check Kasse off\n"
                                    "click #10004\n"
                                    "dump\n");
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_NE(created.out.find("memo Text:\n  " + line40.substr(0, 37) + "\n  zweite Zeile\n"),
              std::string::npos)
        << created.out;
    EXPECT_NE(created.out.find("caption Modus: Anzeige"), std::string::npos);
    EXPECT_EQ(created.out.substr(created.out.size() - 10), "result: 1\n");

    ProcessRun found = RunQ7({"--home", home, "call", "DoTbEntryString_NoSearch",
                              "[R\xC3\x9C"
                              "1]"});
    ASSERT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(found.out.substr(0, 10), "result: 1\n");
    EXPECT_NE(found.out.find(line40.substr(0, 37)), std::string::npos) << found.out;

    // The editor opens on the workstation's last block.
    ProcessRun changed = Editor("0",
                                "type K\xC3\xBCrzel RX\n"
                                "click Speichern\n"
                                "click Kopieren\n"
                                "type K\xC3\xBCrzel RY\n"
                                "click Speichern\n"
                                "click L\xC3\xB6schen\n"
                                "answer yes\n");
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_EQ(DumpTb(),
              "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n"
              "RX\tf\tf\tRezepthinweis\tp\t" +
                  line40.substr(0, 37) + "\\nzweite Zeile\n");
}

TEST_F(EditorAppTest, BlockTravelsThroughTheExchangeFileAndReplacesAnOlderOne) {
    const std::string file = (dir / "tb.xml").string();
    ProcessRun run = Editor("1",
                            "type K\xC3\xBCrzel RU1\n"
                            "type Beschreibung Rezepthinweis\n"
                            "select Gruppe Rezepte\n"
                            "select Untergruppe Rezept-Freitext\n"
                            "type Text erste Zeile\\nzweite Zeile\n"
                            "click Speichern\n"
                            "key Ctrl+E\n"
                            "tick Textbausteine 0 on\n"
                            "click \xC3\x9C"
                            "bernehmen\n"
                            "answer " +
                                file +
                                "\n"
                                "answer ok\n"
                                "click L\xC3\xB6schen\n"
                                "answer yes\n"
                                "key Ctrl+I\n"
                                "answer " +
                                file +
                                "\n"
                                "tick Textbausteine 0 on\n"
                                "click \xC3\x9C"
                                "bernehmen\n"
                                "answer ok\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_NE(run.out.find("1 Textbausteine exportiert"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 Textbausteine importiert."), std::string::npos) << run.out;
    ProcessRun found = RunQ7({"--home", home, "call", "DoTbEntryString_NoSearch", "[RU1]"});
    EXPECT_EQ(found.out, "result: 1\ntext: erste Zeile  zweite Zeile\n");

    // Another practice has the Kürzel with more lines: the import replaces
    // the whole block, so the third line is gone.
    const std::string other = (dir / "other").string();
    WriteFile(dir / "tb.tsv",
              "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n"
              "RU1\tf\tf\talt\t\teins\\nzwei\\ndrei\n");
    ASSERT_EQ(RunQ7({"--home", other, "load", "tb", (dir / "tb.tsv").string()}).status, 0);
    ProcessRun imported = RunQ7({"--home", other, "--script", "-", "dialog", "CdiaTB", "0"},
                                "key Ctrl+I\nanswer " + file +
                                    "\ntick Textbausteine 0 on\nclick \xC3\x9C"
                                    "bernehmen\nanswer ok\n");
    ASSERT_EQ(imported.status, 0) << imported.err << imported.out;
    EXPECT_EQ(RunQ7({"--home", other, "dump", "tb"}).out,
              "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n"
              "RU1\tf\tf\tRezepthinweis\t\terste Zeile\\nzweite Zeile\n");
}

TEST_F(EditorAppTest, EditorPrintsTheListToAPdf) {
    WriteFile(dir / "tb.tsv",
              "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n"
              "RU1\tf\tf\tRezepthinweis\t\teins\\nzwei\n");
    ASSERT_EQ(RunQ7({"--home", home, "load", "tb", (dir / "tb.tsv").string()}).status, 0);
    ProcessRun run = Editor("0", "click Drucken\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string pdf = home + "/dat/q7_tb.pdf";
    EXPECT_NE(run.out.find("PRINT: " + pdf + "\n"), std::string::npos) << run.out;
    ProcessRun text = RunProgram("/usr/bin/pdftotext", {"-layout", pdf, "-"});
    EXPECT_NE(text.out.find("RU1      Rezepthinweis"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("         eins zwei"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Seite 1 von 1"), std::string::npos) << text.out;
}

TEST_F(EditorAppTest, DesktopOpensTheEditor) {
    ProcessRun run = RunQ7({"--home", home, "--script", "-"},
                           "click Textbausteine bearbeiten\ndump\nkey Escape\ndump\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("== Textbausteine\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("caption Modus: Leer"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("== Praxis-Arbeitsplatz"), std::string::npos) << run.out;
}

}  // namespace
