// Text blocks through the exchange file: what the export writes, what the
// import makes of a file (limits, encodings, damage), and that a failing
// import leaves every block old or new (a full disk: the end-to-end test).
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "q7txtbst/Module.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

class TbExchangeTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Load("sp", "list\tcode\ttext\ntb\tb\tBefunde\ntb\tbl\tLabor\ntb\td\tDiagnosen\n");
        path = home + "/tb.xml";
    }
    void File(const std::string& content) { std::ofstream(path, std::ios::binary) << content; }
    static std::string Tb(const std::string& inner) { return "<tb>" + inner + "</tb>"; }
    // Opens the dialog on the file and plays act; ticks all and takes over
    // when act is empty.
    template <class Dialog>
    int Run(std::function<void(Dialog&)> act = {}) {
        front.fileAnswers.push_back(path.c_str());
        return Play<Dialog>([act](Dialog& dlg) {
            if (act) return act(dlg);
            dlg.OnCTRL_S();
            dlg.ClickToolbarButton(XQTB_ACCEPT);
        });
    }
    std::string path;
};

TEST_F(TbExchangeTest, NothingTickedOrCancelledWritesNothingAndStaysOpen) {
    Block("bef", "b", "l", "Befund", "x");
    Block("dia", "d", "", "Diagnose", "y");
    ASSERT_EQ(AddTb("leer", "d"), XQ_OK);
    front.fileAnswers.push_back("");
    front.fileAnswers.push_back("/nirgends/tb.xml");
    Run<CdiaExportTB>([](CdiaExportTB& d) {
        d.ClickToolbarButton(XQTB_ACCEPT);
        EXPECT_FALSE(d.IsEnded());
        d.m_list.UserTick(1, true);
        d.ClickToolbarButton(XQTB_ACCEPT);  // file dialog cancelled
        EXPECT_FALSE(d.IsEnded());
        d.m_comboGruppe.UserSelect(2);  // group filter: only "d"
        EXPECT_EQ(d.m_list.GetCount(), 2);
        // A file that cannot be written: the box keeps its text, the log names the file.
        d.m_list.UserTick(0, true);
        testing::internal::CaptureStderr();
        d.ClickToolbarButton(XQTB_ACCEPT);
        EXPECT_NE(testing::internal::GetCapturedStderr().find(
                      "Fehler beim Exportieren!: Die Datei /nirgends/tb.xml konnte nicht"),
                  std::string::npos);
        EXPECT_FALSE(d.IsEnded());
    });
    ASSERT_FALSE(front.shownMessages.empty());
    EXPECT_EQ(front.shownMessages.front(),
              "Hinweis|Bitte mindestens einen Textbaustein ankreuzen!");
    EXPECT_EQ(front.shownMessages.back(), "Hinweis|Fehler beim Exportieren!");
    EXPECT_FALSE(std::ifstream(path).good());
}

TEST_F(TbExchangeTest, ImportReplacesBlocksWholeAppliesTheLimitsAndReadsOnlyItsElements) {
    Block("alt", "d", "", "alt", "eins\nzwei\ndrei");
    File("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><dazo_tb xmlns:x=\"urn:x\">" +
         Tb("<id>  alt  </id><group>bX</group><member>l</member><description>" +
            std::string(50, 'd') + "</description><lines><line><entry>0</entry><text>neu" +
            std::string(200, 'x') + "</text></line></lines>") +
         Tb("<id>sehrlangeskuerzel</id><group/><member/><description>lang</description>"
            "<lines><line><entry>12</entry><text>a</text></line></lines>") +
         Tb("<id>\xE4rz</id><x:group>d</x:group><group>b</group><member/><description>\374ber</"
            "description><lines><line><entry>0</entry><x:text>nein</x:text><text>ja</text>"
            "</line></lines>") +
         "</dazo_tb>");
    EXPECT_EQ(Run<CdiaImportTB>([](CdiaImportTB& d) {
                  ASSERT_EQ(d.m_list.GetCount(), 3);
                  EXPECT_STREQ(d.m_list.GetText(0),
                               ("alt\t" + std::string(40, 'd') + "\tBefunde\tLabor").c_str());
                  d.OnCTRL_S();
                  d.ClickToolbarButton(XQTB_ACCEPT);
              }),
              1);
    EXPECT_EQ(front.shownMessages.back(), "Hinweis|3 Textbausteine importiert.");
    EXPECT_EQ(Stored("alt"), "b/l/" + std::string(40, 'd') + "/|  0=neu" + std::string(157, 'x'));
    EXPECT_EQ(Stored("sehrlang"), "//lang/| 12=a");
    EXPECT_EQ(Stored("\xE4rz"), "b//\374ber/|  0=ja");
}

// A second tb with the same id adds its lines; of lines that share a
// number only the last can be stored.
TEST_F(TbExchangeTest, LinesThatShareANumberKeepTheLastSoTheBlockStores) {
    File("<dazo_tb>" +
         Tb("<id>dup</id><lines><line><entry>0</entry><text>a</text></line>"
            "<line><entry>1</entry><text>b</text></line></lines>") +
         Tb("<id>dup</id><lines><line><entry>0</entry><text>c</text></line></lines>") +
         "</dazo_tb>");
    EXPECT_EQ(Run<CdiaImportTB>(), 1);
    EXPECT_EQ(Stored("dup"), "///|  0=c|  1=b");
}

// Entity expansion attacks: the XML reader's own test.
TEST_F(TbExchangeTest, DamagedOrHostileFilesCloseWithTheMessageAndStoreNothing) {
    for (const std::string& content :
         {std::string("<?xml version=\"1.0\"?><dazo_tb><software>q7</software><tb><id>kaputt"),
          // More lines than an import holds.
          "<dazo_tb><tb><id>viele</id><lines>" +
              [] {
                  std::string lines;
                  for (size_t i = 0; i <= kTbImportMaxLines; ++i) lines += "<line/>";
                  return lines;
              }() +
              "</lines></tb></dazo_tb>"}) {
        File(content);
        front.shownMessages.clear();
        testing::internal::CaptureStderr();
        EXPECT_EQ(Run<CdiaImportTB>(), 0);
        // The reader's reason, with the file and the line, goes to the host
        // log after the box's text (and to the box's details).
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find("Fehler beim Importieren der Datei!: " + path + ": Datei "),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("(Zeile "), std::string::npos) << log;
        ASSERT_EQ(front.shownMessages.size(), 1u);
        EXPECT_EQ(front.shownMessages[0], "Hinweis|Fehler beim Importieren der Datei!");
    }
    EXPECT_EQ(Stored("kaputt"), "-");
    EXPECT_EQ(Stored("viele"), "-");
}

TEST_F(TbExchangeTest, AFileOfAHundredThousandBlocksIsReadWhole) {
    {
        std::ofstream out(path, std::ios::binary);
        out << "<dazo_tb><software>q7</software>";
        for (int i = 0; i < 100000; ++i)
            out << "<tb><id>k" << i << "</id><group>b</group><member/><description>d</description>"
                << "<lines><line><entry>0</entry><text>Zeile</text></line></lines></tb>";
        out << "</dazo_tb>";
    }
    CTbResourceSwitch sw;
    CdiaImportTB dlg(nullptr);
    ASSERT_TRUE(dlg.ParseFile(path.c_str()));
    ASSERT_EQ(dlg.m_map.size(), 100000u);
    EXPECT_EQ(dlg.m_map.rbegin()->second.lines.size(), 1u);
}

// The export writes the ticked blocks, the import brings them back byte for
// byte. Before that, for n = 1, 2, ... the n-th SQLite call of the import
// fails until one gets through untouched: after every failure each block is
// in its old or its new form, header and lines together, and the user was
// told in German.
TEST_F(TbExchangeTest, ExportedBlocksComeBackWholeAndAFailingImportLeavesEachOldOrNew) {
    const char* const kuerzel[] = {"alle", "alt1", "alt2", "bef"};
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    ASSERT_EQ(AddTb("alle", "b", "", "Zeichen \x80\xE4"), XQ_OK);
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(AddLine("alle", i, all.substr(i * 127, 127).c_str()), XQ_OK);
    Block("alt1", "b", "l", "neu eins", "x\ny");
    Block("alt2", "d", "", "neu zwei", "1\n2\n3\n4");
    Block("bef", "b", "l", "Befund & <Labor>", "Blutbild o.B.\nCRP 3");
    ASSERT_EQ(AddTb("leer", "d", "", "ohne Zeilen"), XQ_OK);
    EXPECT_EQ(Run<CdiaExportTB>([](CdiaExportTB& d) {
                  ASSERT_EQ(d.m_list.GetCount(), 5);
                  EXPECT_STREQ(d.m_list.GetText(2), "bef\tBefund & <Labor>");
                  d.OnCTRL_S();
                  d.ClickToolbarButton(XQTB_ACCEPT);
              }),
              1);
    EXPECT_EQ(front.shownFileDialogs.back(), "XML-Dateien (*.xml)|*.xml|||.xml|dazo_tb.xml");
    EXPECT_EQ(front.shownMessages.back(), "Hinweis|4 Textbausteine exportiert:\n\n" + path);
    std::stringstream xml;
    xml << std::ifstream(path).rdbuf();
    EXPECT_NE(xml.str().find("<entry>1</entry>"), std::string::npos);
    EXPECT_EQ(xml.str().find("leer"), std::string::npos);  // no lines: nothing to move

    std::map<std::string, std::pair<std::string, std::string>> forms;  // old, new
    for (const char* k : kuerzel) forms[k].second = Stored(k);
    const auto reset = [&] {
        ASSERT_EQ(dbDatabase->ExecRaw("DELETE FROM tb; DELETE FROM tbentry"), 0);
        ASSERT_EQ(AddTb("leer", "d", "", "ohne Zeilen"), XQ_OK);
        Block("alt1", "d", "", "alt eins", "a\nb\nc");
        Block("alt2", "b", "", "alt zwei", "p\nq");
        CdiaImportTB::s_Groups.clear();
        front.shownMessages.clear();
    };
    reset();
    for (const char* k : kuerzel) forms[k].first = Stored(k);
    const std::set<CString> messages = {
        "Hinweis|Fehler beim Importieren!", "Hinweis|4 Textbausteine importiert.",
        "Hinweis|Die Systemparameterliste konnte nicht gelesen werden."};
    int failures = 0;
    for (int n = 1; n < 1000; ++n) {
        reset();
        int result = 0;
        const bool fired = FailingCall(n, [&] { result = Run<CdiaImportTB>(); });
        ASSERT_EQ(front.shownMessages.size(), 1u) << "n=" << n;
        EXPECT_TRUE(messages.count(front.shownMessages[0])) << front.shownMessages[0].str();
        for (const auto& [k, form] : forms) {
            const std::string now = Stored(k.c_str());
            EXPECT_TRUE(now == form.second || (result != 1 && now == form.first))
                << "n=" << n << " " << k << ": " << now;
        }
        if (!fired) {
            EXPECT_EQ(result, 1);
            break;
        }
        failures += result != 1;
    }
    EXPECT_GT(failures, 20);
    EXPECT_EQ(Stored("leer"), "d//ohne Zeilen/");
}

}  // namespace
