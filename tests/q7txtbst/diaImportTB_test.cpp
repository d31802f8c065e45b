#include "q7txtbst/diaImportTB.h"

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "host/xml/XQXMLWriter.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/diaExportTB.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

class ImportTBTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        CdiaImportTB::s_Groups.clear();
        CdiaExportTB::s_Groups.clear();
        Load("sp", "list\tcode\ttext\ntb\tb\tBefunde\ntb\tbl\tLabor\ntb\td\tDiagnosen\n");
        path = home + "/in.xml";
    }
    void TearDown() override {
        CdiaImportTB::s_Groups.clear();
        CdiaExportTB::s_Groups.clear();
        TbTest::TearDown();
    }
    void File(const std::string& content) { std::ofstream(path, std::ios::binary) << content; }
    static std::string Tb(const std::string& inner) { return "<tb>" + inner + "</tb>"; }
    static std::string Doc(const std::string& tbs) {
        return "<?xml version=\"1.0\"?><dazo_tb><software>q7</software>" + tbs + "</dazo_tb>";
    }
    // Opens the import on the file and plays act; ticks all and takes over
    // when act is empty.
    int Run(std::function<void(CdiaImportTB&)> act = {}) {
        front.fileAnswers.push_back(path.c_str());
        front.dialogs.push_back([act](CXQDialog& d) {
            auto& dlg = static_cast<CdiaImportTB&>(d);
            if (act) return act(dlg);
            dlg.OnCTRL_S();
            dlg.ClickToolbarButton(XQTB_ACCEPT);
        });
        CTbResourceSwitch sw;
        CdiaImportTB dlg(nullptr);
        return dlg.DoModal();
    }
    // "group|member|description|n:text|n:text" of a stored block.
    static std::string Stored(const char* kuerzel) {
        CQTb tb(dbDatabaseRO);
        tb.Kuerzel = kuerzel;
        if (tb.GetByK2(XQ_MATCH_EQUAL) != XQ_OK) return "-";
        std::string out =
            tb.Gruppe.str() + "|" + tb.Untergruppe.str() + "|" + tb.Beschreibung.str();
        CQTbEntry lines(dbDatabaseRO);
        lines.KYKUERZEL = kuerzel;
        if (lines.GetByK1(XQ_MATCH_FIELDS) == XQ_OK) do {
                out += "|" + lines.LFDTBENTRY.str() + ":" + lines.TBENTRY.str();
            } while (lines.Next() == XQ_OK);
        return out;
    }
    std::string path;
};

TEST_F(ImportTBTest, ReplacesAnExistingBlockWholeAndAppliesTheLimits) {
    Block("alt", "d", "", "alt", "eins\nzwei\ndrei");
    File(Doc(Tb("<id>  alt  </id><group>bX</group><member>l</member><description>" +
                std::string(50, 'd') + "</description><lines><line><entry>0</entry><text>neu" +
                std::string(200, 'x') + "</text></line></lines>") +
             Tb("<id>sehrlangeskuerzel</id><group/><member/><description>lang</description>"
                "<lines><line><entry>12</entry><text>a</text></line></lines>")));
    int result = Run([](CdiaImportTB& d) {
        ASSERT_EQ(d.m_list.GetCount(), 2);
        EXPECT_STREQ(d.m_list.GetText(0),
                     ("alt\t" + std::string(40, 'd') + "\tBefunde\tLabor").c_str());
        EXPECT_EQ(d.m_list.GetItemColor(0), XQRGB(255, 192, 192));
        EXPECT_EQ(d.m_list.GetItemColor(1), 0u);
        d.OnCTRL_S();
        d.ClickToolbarButton(XQTB_ACCEPT);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(front.shownMessages.back(), "Hinweis|2 Textbausteine importiert.");
    EXPECT_EQ(Stored("alt"), "b|l|" + std::string(40, 'd') + "|  0:neu" + std::string(157, 'x'));
    EXPECT_EQ(Stored("sehrlang"), "||lang| 12:a");
}

TEST_F(ImportTBTest, EveryWindows1252CharacterSurvivesExportAndImport) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    ASSERT_EQ(AddTb("alle", "b", "", "Zeichen \x80\xE4"), 0);
    for (int i = 0; i < 2; ++i) ASSERT_EQ(AddLine("alle", i, all.substr(i * 127, 127).c_str()), 0);
    const std::string before = Stored("alle");
    front.fileAnswers.push_back(path.c_str());
    front.dialogs.push_back([](CXQDialog& d) {
        static_cast<CdiaExportTB&>(d).OnCTRL_S();
        d.ClickToolbarButton(XQTB_ACCEPT);
    });
    {
        CTbResourceSwitch sw;
        CdiaExportTB dlg(nullptr);
        ASSERT_EQ(dlg.DoModal(), 1);
    }
    CQTb tb(dbDatabase);
    tb.Kuerzel = "alle";
    ASSERT_EQ(tb.GetByK2(XQ_MATCH_EQUAL), XQ_OK);
    CQTbEntry lines(dbDatabase);
    lines.KYKUERZEL = "alle";
    ASSERT_EQ(lines.DeleteAll(), XQ_OK);
    ASSERT_NE(tb.Delete(), XQ_LOCKED);  // 4: deleted, no hit after it
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Stored("alle"), before);
}

TEST_F(ImportTBTest, ReadsOtherEncodingsAndIgnoresElementsInANamespace) {
    File(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><dazo_tb xmlns:x=\"urn:x\">"
        "<tb><id>\xE4rz</id><x:group>d</x:group><group>b</group><member/>"
        "<description>\xFC"
        "ber</description><lines><line><entry>0</entry><x:text>nein</x:text><text>ja</text>"
        "</line></lines></tb><x:tb><id>fremd</id></x:tb></dazo_tb>");
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Stored("\xE4rz"),
              "b||\xFC"
              "ber|  0:ja");
}

TEST_F(ImportTBTest, DamagedOrHostileFilesCloseWithTheMessageAndStoreNothing) {
    for (const std::string& content :
         {Doc(Tb("<id>kaputt</id>")).substr(0, 60),
          std::string(
              "<!DOCTYPE d [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;"
              "&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY e "
              "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;"
              "&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\"><!ENTITY h \"&g;&g;&g;&g;"
              "&g;&g;&g;&g;&g;&g;\">]><dazo_tb><tb><id>bomb</id><description>&h;"
              "</description></tb></dazo_tb>")}) {
        File(content);
        front.shownMessages.clear();
        EXPECT_EQ(Run(), 0);
        ASSERT_EQ(front.shownMessages.size(), 1u);
        EXPECT_EQ(front.shownMessages[0], "Hinweis|Fehler beim Importieren der Datei!");
    }
    EXPECT_EQ(Stored("kaputt"), "-");
    EXPECT_EQ(Stored("bomb"), "-");
}

TEST_F(ImportTBTest, AFileOfAHundredThousandBlocksIsReadWhole) {
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

TEST_F(ImportTBTest, AFailingBlockIsRolledBackWholeAndReported) {
    Block("alt", "d", "", "alt", "eins\nzwei");
    // two lines with the same number: the second write fails on the unique key
    File(
        Doc(Tb("<id>alt</id><group>b</group><member/><description>neu</description><lines>"
               "<line><entry>0</entry><text>a</text></line>"
               "<line><entry>0</entry><text>b</text></line></lines>")));
    int result = Run([](CdiaImportTB& d) {
        d.OnCTRL_S();
        d.ClickToolbarButton(XQTB_ACCEPT);
        EXPECT_FALSE(d.IsEnded());
    });
    EXPECT_NE(result, 1);
    EXPECT_EQ(front.shownMessages.back(), "Hinweis|Fehler beim Importieren!");
    EXPECT_EQ(Stored("alt"), "d||alt|  0:eins|  1:zwei");
}

// For n = 1, 2, ... the n-th SQLite call of the import fails until one gets
// through untouched. After every failure each block is in its old or its new
// form, header and lines together, and the user was told in German.
TEST_F(ImportTBTest, EveryFailingSqliteCallLeavesEachBlockOldOrNew) {
    const std::map<std::string, std::pair<std::string, std::string>> expected = {
        {"alt1", {"d||alt eins|  0:a|  1:b|  2:c", "b|l|neu eins|  0:x|  1:y"}},
        {"alt2", {"b||alt zwei|  0:p|  1:q", "d||neu zwei|  0:1|  1:2|  2:3|  3:4"}},
        {"neu1", {"-", "b||dazu|  0:r|  1:s|  2:t"}},
        {"neu2", {"-", "d||auch|  5:u|  7:v"}},
    };
    std::string blocks;
    for (const auto& [kuerzel, forms] : expected) {
        if (forms.second == "-") continue;
        std::vector<std::string> parts;
        std::stringstream in(forms.second);
        for (std::string part; std::getline(in, part, '|');) parts.push_back(part);
        blocks += "<tb><id>" + kuerzel + "</id><group>" + parts[0] + "</group><member>" + parts[1] +
                  "</member><description>" + parts[2] + "</description><lines>";
        for (size_t i = 3; i < parts.size(); ++i)
            blocks += "<line><entry>" + parts[i].substr(0, 3) + "</entry><text>" +
                      parts[i].substr(4) + "</text></line>";
        blocks += "</lines></tb>";
    }
    File(Doc(blocks));
    const std::set<std::string> messages = {"Fehler beim Importieren!",
                                            "Die Systemparameterliste konnte nicht gelesen werden.",
                                            "4 Textbausteine importiert."};
    int failures = 0;
    for (int n = 1; n < 1000; ++n) {
        CQTbEntry lines(dbDatabase);
        CQTb tb(dbDatabase);
        for (const auto& entry : expected) {
            lines.KYKUERZEL = entry.first.c_str();
            ASSERT_EQ(lines.DeleteAll(), XQ_OK);
            tb.Kuerzel = entry.first.c_str();
            if (tb.GetByK2(XQ_MATCH_EQUAL) == XQ_OK) {
                ASSERT_NE(tb.Delete(), XQ_LOCKED);
            }
        }
        Block("alt1", "d", "", "alt eins", "a\nb\nc");
        Block("alt2", "b", "", "alt zwei", "p\nq");
        CdiaImportTB::s_Groups.clear();
        front.shownMessages.clear();

        XQFailNthCall(n);
        const int result = Run();
        const bool fired = XQFaultFired();
        XQFailNthCall(0);
        ASSERT_EQ(dbDatabase->TransactionDepth(), 0) << "n=" << n;
        ASSERT_EQ(front.shownMessages.size(), 1u) << "n=" << n;
        const std::string shown = front.shownMessages[0].str();
        EXPECT_TRUE(messages.count(shown.substr(shown.find('|') + 1))) << shown;
        for (const auto& [kuerzel, forms] : expected) {
            const std::string now = Stored(kuerzel.c_str());
            if (result == 1)
                EXPECT_EQ(now, forms.second) << "n=" << n;
            else
                EXPECT_TRUE(now == forms.first || now == forms.second) << "n=" << n << ": " << now;
        }
        if (!fired) {
            EXPECT_EQ(result, 1);
            break;
        }
        failures += result != 1;
    }
    EXPECT_GT(failures, 20);
}

}  // namespace
