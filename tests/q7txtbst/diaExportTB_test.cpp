#include "q7txtbst/diaExportTB.h"

#include <fstream>
#include <sstream>

#include "q7txtbst/Module.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

class ExportTBTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        CdiaExportTB::s_Groups.clear();
        Load("sp", "list\tcode\ttext\ntb\tb\tBefunde\ntb\tbl\tLabor\ntb\td\tDiagnosen\n");
        Block("bef", "b", "l", "Befund & <Labor>", "Blutbild o.B.\nCRP 3");
        Block("dia", "d", "", "Diagnose", "V.a. Infekt");
        ASSERT_EQ(AddTb("leer", "d", "", "ohne Zeilen"), 0);
        path = home + "/out.xml";
    }
    void TearDown() override {
        CdiaExportTB::s_Groups.clear();
        TbTest::TearDown();
    }
    int Run(std::function<void(CdiaExportTB&)> act) {
        front.dialogs.push_back([act](CXQDialog& d) { act(static_cast<CdiaExportTB&>(d)); });
        CTbResourceSwitch sw;
        CdiaExportTB dlg(nullptr);
        return dlg.DoModal();
    }
    std::string File() {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string path;
};

TEST_F(ExportTBTest, WritesTheTickedBlocksWithTheirLinesAndSkipsBlocksWithoutLines) {
    front.fileAnswers.push_back(path.c_str());
    int result = Run([](CdiaExportTB& d) {
        ASSERT_EQ(d.m_list.GetCount(), 3);
        EXPECT_STREQ(d.m_list.GetText(0), "bef\tBefund & <Labor>");
        d.OnCTRL_S();
        d.ClickToolbarButton(XQTB_ACCEPT);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(front.shownFileDialogs.back(), "XML-Dateien (*.xml)|*.xml|||.xml|dazo_tb.xml");
    EXPECT_EQ(front.shownMessages.back(), "Hinweis|2 Textbausteine exportiert:\n\n" + path);
    const std::string xml = File();
    EXPECT_NE(xml.find("<description>Befund &amp; &lt;Labor&gt;</description>"), std::string::npos);
    EXPECT_NE(xml.find("<entry>1</entry>"), std::string::npos);
    EXPECT_NE(xml.find("<text>CRP 3</text>"), std::string::npos);
    EXPECT_EQ(xml.find("leer"), std::string::npos);
}

TEST_F(ExportTBTest, NothingTickedOrCancelledWritesNothingAndStaysOpen) {
    front.fileAnswers.push_back("");
    Run([](CdiaExportTB& d) {
        d.ClickToolbarButton(XQTB_ACCEPT);
        EXPECT_FALSE(d.IsEnded());
        d.m_list.UserTick(1, true);
        d.ClickToolbarButton(XQTB_ACCEPT);  // file dialog cancelled
        EXPECT_FALSE(d.IsEnded());
        // group filter: only "d"
        d.m_comboGruppe.UserSelect(2);
        EXPECT_EQ(d.m_list.GetCount(), 2);
    });
    ASSERT_FALSE(front.shownMessages.empty());
    EXPECT_EQ(front.shownMessages.front(),
              "Hinweis|Bitte mindestens einen Textbaustein ankreuzen!");
    EXPECT_FALSE(std::ifstream(path).good());
}

}  // namespace
