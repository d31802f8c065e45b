// The text block editor as a user drives it through q7host: a block created,
// found again by its Kürzel, renamed, copied and deleted.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/app/RunQ7.h"

namespace {

class EditorAppTest : public HomeTest {
  protected:
    void SetUp() override {
        HomeTest::SetUp();
        Load("sp", "list\tcode\ttext\ntb\tf\tRezepte\ntb\tff\tRezept-Freitext\ntb\tfl\tLabor\n");
    }
    ProcessRun Editor(const char* mode, const std::string& script) {
        return Script({"dialog", "CdiaTB", mode}, script);
    }
};

// The refusal of a line too long for the group is the editor's own test.
TEST_F(EditorAppTest, BlockIsCreatedRenamedCopiedAndDeleted) {
    const std::string line37 = "1234567890123456789012345678901234567";
    ProcessRun created = Editor("1",
                                "type K\xC3\xBCrzel R\xC3\x9C"
                                "1\ntype Beschreibung Rezepthinweis\n"
                                "select Gruppe Rezepte\nselect Untergruppe Rezept-Freitext\n"
                                "check Kasse off\ntype Text " +
                                    line37 + "\\nzweite Zeile\nclick #10004\ndump\n");
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_NE(created.out.find("caption Modus: Anzeige"), std::string::npos) << created.out;
    EXPECT_EQ(created.out.substr(created.out.size() - 10), "result: 1\n");

    // The editor opens on the workstation's last block.
    ProcessRun changed = Editor("0",
                                "type K\xC3\xBCrzel RX\nclick Speichern\nclick Kopieren\n"
                                "type K\xC3\xBCrzel RY\nclick Speichern\n"
                                "click L\xC3\xB6schen\nanswer yes\n");
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_EQ(Dump("tb"),
              "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n"
              "RX\tf\tf\tRezepthinweis\tp\t" +
                  line37 + "\\nzweite Zeile\n");
}

TEST_F(EditorAppTest, BlockTravelsThroughTheExchangeFile) {
    const std::string file = (dir / "tb.xml").string();
    const std::string take = "click \xC3\234bernehmen\nanswer ";
    ProcessRun run =
        Editor("1",
               "type K\xC3\xBCrzel RU1\ntype Beschreibung Rezepthinweis\nselect Gruppe Rezepte\n"
               "type Text erste Zeile\\nzweite Zeile\nclick Speichern\nkey Ctrl+E\n"
               "tick Textbausteine 0 on\n" +
                   take + file +
                   "\nanswer ok\n"
                   "click L\xC3\xB6schen\nanswer yes\nkey Ctrl+I\nanswer " +
                   file + "\ntick Textbausteine 0 on\n" + take + "ok\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_NE(run.out.find("1 Textbausteine exportiert"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 Textbausteine importiert."), std::string::npos) << run.out;
    ProcessRun found = Q7({"call", "DoTbEntryString_NoSearch", "[RU1]"});
    EXPECT_EQ(found.out, "result: 1\ntext: erste Zeile  zweite Zeile\n");
}

// The desktop opens the editor, which prints its list to a PDF.
TEST_F(EditorAppTest, DesktopOpensTheEditorWhichPrintsTheList) {
    Load("tb",
         "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n"
         "RU1\tf\tf\tRezepthinweis\t\teins\\nzwei\n");
    ProcessRun run = Script({},
                            "click Textbausteine bearbeiten\ndump\nclick Drucken\nkey Escape\n"
                            "dump\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("== Textbausteine\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("caption Modus: Anzeige"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("== Praxis-Arbeitsplatz"), std::string::npos) << run.out;
    const std::string pdf = home + "/dat/q7_tb.pdf";
    EXPECT_NE(run.out.find("PRINT: " + pdf + "\n"), std::string::npos) << run.out;
    ProcessRun text = RunProgram("/usr/bin/pdftotext", {"-layout", pdf, "-"});
    EXPECT_NE(text.out.find("RU1      Rezepthinweis"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("         eins zwei"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Seite 1 von 1"), std::string::npos) << text.out;
}

}  // namespace
