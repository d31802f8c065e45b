// The diagnosis search's ways out: the online code page (Ctrl+I), the
// quality management (Ctrl+Q) and the catalogue load's file choices.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/base/HostContext.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/diaSuchIcd.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

class IcdCommandsTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        Q7SetToday("20260315");
        Load("icdkapitel", "chapter\ttext\n01\tWanderkeime\n06\tNerven\n");
        Load("icdgruppe", "chapter\tgroup\ttext\n01\tA10-A19\tDarm\n06\tG00-G09\tNerv\n");
        Load("icd",
             "code\ttext\tchapter\tgroup\tsubgroup\n"
             "A10\tDarmbefall\t01\tA10-A19\tA10\n"
             "A101\tDarmbefall, rechts\t01\tA10-A19\tA10\n"
             "G01\tNervenfolge\t06\tG00-G09\tG01\n");
    }
    void TearDown() override {
        unsetenv("Q7FREMD_LIB");
        unsetenv("Q7FREMD_PROTOKOLL");
        TbTest::TearDown();
    }
    void Run(std::function<void(CdiaSuchIcd&)> act) {
        Play<CdiaSuchIcd>(
            [act](CdiaSuchIcd& dlg) {
                act(dlg);
                EXPECT_FALSE(dlg.IsEnded());
            },
            false, "");
    }
    static void Ctrl(CdiaSuchIcd& dlg, char letter) {
        dlg.PressKey({XQKey::Ctrl, letter}, dlg.GetFocus());
    }
    static void TypeCode(CdiaSuchIcd& dlg, const char* code) {
        dlg.m_editCode.SetText(code);
        dlg.SetFocusTo(&dlg.m_editCode);
    }
};

constexpr int kTbOnline = 10042, kTbQualitaet = 10043;
const char kPfad[] = "/icd-10-gm/kode-suche/htmlgm2026/";

TEST_F(IcdCommandsTest, CtrlIOpensTheGroupsBlockPageOrTheYearsIndexOnTheSetSite) {
    const CString site = "https://klassifikationen.bfarm.de";
    Run([&](CdiaSuchIcd& dlg) {
        dlg.m_grid.UserSelectLine(1);  // A10.1, the grid has the focus
        Ctrl(dlg, 'I');
        TypeCode(dlg, "");
        dlg.ClickToolbarButton(kTbOnline);
        TypeCode(dlg, "Z99.9");
        Ctrl(dlg, 'I');
    });
    const std::vector<CString> expected = {site + kPfad + "block-a10-a19.htm",
                                           site + kPfad + "index.htm", site + kPfad + "index.htm"};
    EXPECT_EQ(front.opened, expected);

    front.opened.clear();
    Load("par", "key1\tkey2\tvalue\n214\tkodesuche\thttps://icd.example/ \n");
    Run([](CdiaSuchIcd& dlg) {
        TypeCode(dlg, "G01");
        Ctrl(dlg, 'I');
    });
    EXPECT_EQ(front.opened,
              std::vector<CString>{CString("https://icd.example") + kPfad + "block-g00-g09.htm"});
}

TEST_F(IcdCommandsTest, CtrlQHandsTheCodeToTheQualityManagementOrSaysWhyNot) {
    const std::string protokoll = home + "/qm.txt";
    setenv("Q7FREMD_PROTOKOLL", protokoll.c_str(), 1);
    const auto use = [](const std::string& lib) { setenv("Q7FREMD_LIB", lib.c_str(), 1); };
    Run([&](CdiaSuchIcd& dlg) {
        use(Q7_BIN_DIR "/q7fremd/mit/libq7fremd.so");
        dlg.m_grid.UserSelectLine(1);
        dlg.ClickToolbarButton(kTbQualitaet);
        std::stringstream got;
        got << std::ifstream(protokoll).rdbuf();
        EXPECT_EQ(got.str(), "A10.1");
        EXPECT_TRUE(front.shownMessages.empty());

        use(Q7_BIN_DIR "/q7fremd/ohne/libq7fremd.so");
        Ctrl(dlg, 'Q');
        use(home + "/fehlt/libq7fremd.so");
        Ctrl(dlg, 'Q');
        TypeCode(dlg, "");
        Ctrl(dlg, 'Q');
    });
    const std::vector<CString> expected = {"Hinweis|Programm in Vorbereitung!",
                                           "q7fremd|Fehler beim Laden der DLL!"};
    EXPECT_EQ(front.shownMessages, expected);
}

TEST_F(IcdCommandsTest, LoadAsksForThreeFilesAndReadsTheTreeAnewOnceTheFirstWasChosen) {
    Run([&](CdiaSuchIcd& dlg) {
        const auto kapitel = [&] { return dlg.m_comboKapitel.GetCurSel(); };
        dlg.m_comboKapitel.UserSelect(3);  // 06
        front.fileAnswers = {""};
        dlg.OnOnClickXqbitbtnLoad();
        EXPECT_EQ(kapitel(), 3);

        front.fileAnswers = {home + "/icd.xml", ""};
        dlg.OnOnClickXqbitbtnLoad();
        EXPECT_EQ(kapitel(), 1);  // (alle)

        dlg.m_comboKapitel.UserSelect(3);
        front.fileAnswers = {home + "/icd.xml", home + "/hmv.xml", ""};
        dlg.OnOnClickXqbitbtnLoad();
        EXPECT_EQ(kapitel(), 1);
        EXPECT_TRUE(front.shownMessages.empty());

        // All three chosen: the import runs and names a file it lacks.
        front.fileAnswers = {home + "/icd.xml", home + "/hmv.xml", home + "/auszug.csv"};
        dlg.OnOnClickXqbitbtnLoad();
        ASSERT_EQ(front.shownMessages.size(), 1u);
        EXPECT_NE(front.shownMessages[0].Find(home.c_str()), -1);
    });
    const CString icd = "ICD-Datei suchen", hmv = "HMV-Datei suchen",
                  auszug = "Auszug Zahnmedizin/AU-Bescheinigung suchen";
    const std::vector<CString> titles = {icd, icd, hmv, icd, hmv, auszug, icd, hmv, auszug};
    EXPECT_EQ(front.fileTitles, titles);
}

}  // namespace
