// The dental free-text transition: what the reader keeps of a file, and what
// the dialog hands back for the rows and boxes the user chose.
#include "q7txtbst/diaSuchIcdKZBV.h"

#include <filesystem>
#include <fstream>

#include "host/base/HostContext.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/Q7TbExport.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

const char kFile[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Ueberleitung xmlns:x=\"urn:fremd\">\n  "
    "<Eintrag><Freitextdiagnose>vor jeder Gruppe</Freitextdiagnose></Eintrag>\n  "
    "<Gruppe><kapitel>K00-K14</kapitel>\n  "
    "<Gruppenbeschreibung>Zahnhartsubstanz &amp; Pulpa</Gruppenbeschreibung>\n  "
    "<hinweis>Gruppenhinweis</hinweis><Beschreibung>falsch platziert</Beschreibung>\n  "
    "<Eintrag><Freitextdiagnose>Karies mit Pulpabeteiligung</Freitextdiagnose>\n  "
    "<hinweis>Eintragshinweis</hinweis><x:Freitextdiagnose>fremd</x:Freitextdiagnose>\n  "
    "<ersterDiagnosekode><icd><Code>K02.1</Code><Beschreibung>Dentin</Beschreibung>\n  "
    "<Beschreibung>Sekund\xC3\xA4r</Beschreibung></icd>\n  "
    "<icd><Code>K12.2+</Code><Beschreibung>Phlegmone</Beschreibung></icd>\n  "
    "<hinweis>nur ein Hinweis</hinweis></ersterDiagnosekode>\n  "
    "<zweiterDiagnosekode><hinweis>zweiter Hinweis</hinweis>\n  "
    "<icd><Code>B37.0*</Code><Beschreibung>Candida</Beschreibung></icd>\n  "
    "<icd><Code>K04.1</Code></icd></zweiterDiagnosekode></Eintrag></Gruppe></Ueberleitung>\n";

class KzbvTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Q7SetHome(home);
        std::filesystem::create_directories(home + "/data/KZBV");
        Write(kFile);
    }
    void Write(const std::string& content) {
        std::ofstream(NativePath(CdiaSuchIcdKZBV::FilePath()), std::ios::binary) << content;
    }
    // Runs the dialog on the entry and plays act on it.
    int Run(std::function<void(CdiaSuchIcdKZBV&)> act, int codeOnly = 0) {
        Script<CdiaSuchIcdKZBV>([act](CdiaSuchIcdKZBV& dlg) {
            dlg.m_tree.UserSelectLine(1);  // the group's one entry
            act(dlg);
        });
        CTbResourceSwitch sw;
        dialog = std::make_unique<CdiaSuchIcdKZBV>(codeOnly, nullptr);
        return dialog->DoModal();
    }
    std::unique_ptr<CdiaSuchIcdKZBV> dialog;
};

std::vector<CString> Rows(const CXQListBoxX& list) {
    std::vector<CString> rows;
    for (int i = 0; i < list.GetCount(); ++i) rows.push_back(list.GetText(i));
    return rows;
}

TEST_F(KzbvTest, ReaderKeepsRecognisedElementsInTheirPlaceOnly) {
    Run([](CdiaSuchIcdKZBV& dlg) {
        const auto items = dlg.m_tree.Items(true);
        ASSERT_EQ(items.size(), 2u);  // the entry before any group is dropped
        EXPECT_EQ(dlg.m_tree.GetItemText(items[0].first), "K00-K14. Zahnhartsubstanz & Pulpa");
        EXPECT_EQ(dlg.m_tree.GetItemText(items[1].first), "Karies mit Pulpabeteiligung");
        EXPECT_EQ(dlg.m_tree.onInfoTip(items[0].first), "Gruppenhinweis");
        EXPECT_EQ(dlg.m_tree.onInfoTip(items[1].first), "Eintragshinweis");
        EXPECT_EQ(Rows(dlg.m_list1),
                  (std::vector<CString>{"K02.1\tDentin", "K02.1\tSekund\xE4r", "K12.2+\tPhlegmone",
                                        "\tnur ein Hinweis"}));
        // A code without description lines shows no row.
        EXPECT_EQ(Rows(dlg.m_list2),
                  (std::vector<CString>{"\tzweiter Hinweis", "B37.0*\tCandida"}));
        dlg.m_tree.UserSelectLine(0);
        EXPECT_EQ(dlg.m_list1.GetCount(), 0);
    });
}

TEST_F(KzbvTest, AcceptNeedsAFirstCodeWithCertaintyAndComposesCodesWithoutPointAndMarkers) {
    EXPECT_EQ(Run([this](CdiaSuchIcdKZBV& dlg) {
                  dlg.m_list2.UserSelect(1);
                  dlg.m_zusatz2.z.UserClick();
                  dlg.ClickToolbarButton(XQTB_ACCEPT);
                  dlg.m_list1.UserSelect(3);  // a note row is no code
                  dlg.ClickToolbarButton(XQTB_ACCEPT);
                  dlg.m_list1.UserSelect(2);
                  dlg.ClickToolbarButton(XQTB_ACCEPT);  // no certainty in the first set
                  ASSERT_EQ(front.shownMessages.size(), 3u);
                  EXPECT_NE(front.shownMessages[0].Find("ersten Diagnosecode"), -1);
                  EXPECT_NE(front.shownMessages[1].Find("ersten Diagnosecode"), -1);
                  EXPECT_NE(front.shownMessages[2].Find("Diagnosesicherheit"), -1);
                  dlg.m_zusatz1.g.UserClick();
                  dlg.m_zusatz1.v.UserClick();  // G wins over V
                  dlg.m_zusatz1.l.UserClick();
                  dlg.m_zusatz1.b.UserClick();
                  dlg.ClickToolbarButton(XQTB_ACCEPT);
              }),
              1);
    EXPECT_EQ(dialog->m_strCode1 + "|" + dialog->m_strZusatz1 + "|" + dialog->m_strText1 + "|" +
                  dialog->m_strCode2 + "|" + dialog->m_strZusatz2,
              "K122|GL|Phlegmone|B370|Z");
}

TEST_F(KzbvTest, CodeOnlyHidesTheBoxesAndReturnsNoAdditions) {
    CString code1 = "alt", zusatz1 = "alt", text1, code2, zusatz2 = "alt", text2;
    Script<CdiaSuchIcdKZBV>([](CdiaSuchIcdKZBV& dlg) {
        EXPECT_FALSE(dlg.m_zusatz1.g.IsWindowVisible());
        EXPECT_FALSE(dlg.m_zusatz2.frame.IsWindowVisible());
        dlg.m_tree.UserSelectLine(1);
        dlg.m_list1.UserDblClick(0);
    });
    EXPECT_TRUE(Q7SuchIcdFreitextdiagnosenKZBV(nullptr, true, &code1, &zusatz1, &text1, &code2,
                                               &zusatz2, &text2));
    EXPECT_EQ(code1 + "|" + zusatz1 + "|" + text1 + "|" + code2 + "|" + zusatz2, "K021||Dentin||");
}

TEST_F(KzbvTest, MissingOrDamagedFileEndsWithTheReadMessage) {
    CString code1 = "alt";
    for (const char* content : {static_cast<const char*>(nullptr), "<Ueberleitung><Gruppe>"}) {
        if (content)
            Write(content);
        else
            std::filesystem::remove(NativePath(CdiaSuchIcdKZBV::FilePath()));
        front.shownMessages.clear();
        EXPECT_FALSE(Q7SuchIcdFreitextdiagnosenKZBV(nullptr, false, &code1, nullptr, nullptr,
                                                    nullptr, nullptr, nullptr));
        EXPECT_EQ(code1, "alt");
        ASSERT_EQ(front.shownMessages.size(), 1u);
        EXPECT_NE(front.shownMessages[0].Find("Fehler beim Lesen der ICD-Datei:\n"), -1);
        EXPECT_NE(front.shownMessages[0].Find("KZBV"), -1);
    }
    EXPECT_EQ(front.dialogsRun, 0);
}

}  // namespace
