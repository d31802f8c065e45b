// The diagnosis search as a user drives it: which search each control
// starts, the certainty and side rules, the secondary-code mode, and the
// settings that the dialog applies when it opens and after F6.
#include "q7txtbst/diaSuchIcd.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/base/HostContext.h"
#include "host/db/XQDatabase.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/diaConfigSuchIcd.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

const char kCodes[] =
    "code\ttext\tchapter\tgroup\tsubgroup\tnotation\tpartner\textract\thk\tfk\tfg\tvachapters\n"
    "A10\tDarmbefall\t01\tA10-A19\tA10\t\t\t1\t\t1\t4.1 \t\n"
    "A100\tDarmbefall, links\t01\tA10-A19\tA10\t+\t\t\t1\t\t\t\n"
    "A101\tDarmbefall, rechts\t01\tA10-A19\tA10\t\t\t1\t\t\t\t\n"
    "B20\tHautausschlag\t01\tB20-B29\tB20\t\t\t\t\t\t\t\n"
    "G01\tNervenfolge\t06\tG00-G09\tG01\t*\tA100\t\t\t\t\t\n"
    "G02\tNervenstörung\t06\tG00-G09\tG02\t\tB20\t\t\t\t\t\n"
    "G03\tNervenschwäche\t06\tG00-G09\tG03\t\t\t\t\t\t\t\n"
    "UUU\tKeine Angabe\t06\tG00-G09\tUUU\t\t\t1\t1\t1\t\t\n";

class SuchIcdTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Load("icdkapitel", "chapter\ttext\n01\tWanderkeime\n06\tNerven\n");
        Load("icdgruppe",
             "chapter\tgroup\ttext\n01\tA10-A19\tDarm\n01\tB20-B29\tHaut\n06\tG00-G09\tNerv\n");
        Load("icdsubgruppe",
             "chapter\tgroup\tsubgroup\ttext\n01\tA10-A19\tA10\tDarmbefall\n"
             "01\tB20-B29\tB20\tAusschlag\n06\tG00-G09\tG01\tFolge\n06\tG00-"
             "G09\tG02\tSt\xC3\xB6rung\n"
             "06\tG00-G09\tG03\tSchw\xC3\244che\n06\tG00-G09\tUUU\tKeine\n");
        Load("icd", kCodes);
        Load("icdthes", "code\ttext\nA101\tRechtsseitiger Befall\nB20\tAusschlag der Haut\n");
        Load("icdversion", "text\nTestkatalog 1\n");
        Load("diag", "patient\tcode\n7\tB20\n");
    }
    // Opens the dialog and plays act on it; returns the modal result.
    int Run(std::function<void(CdiaSuchIcd&)> act, bool codeOnly = false,
            const CString& patient = "", const CString& zusatz = "") {
        Script(act);
        CTbResourceSwitch sw;
        dialog = std::make_unique<CdiaSuchIcd>(codeOnly, patient, nullptr);
        dialog->m_strZusatz = zusatz;
        return dialog->DoModal();
    }
    static std::string Codes(CdiaSuchIcd& dlg) { return GridKeys(dlg.m_grid); }
    std::unique_ptr<CdiaSuchIcd> dialog;
};

TEST_F(SuchIcdTest, OpensOnAllCodesWithCaptionsOfTheFirstHitAndTheCombosNarrowTheSearch) {
    Run([](CdiaSuchIcd& dlg) {
        EXPECT_EQ(dlg.m_comboKapitel.GetLBText(dlg.m_comboKapitel.GetCurSel()), "(alle)");
        EXPECT_EQ(Codes(dlg), "A10,A10.0,A10.1,B20,G01,G02,G03,UUU");
        EXPECT_EQ(dlg.m_captionKapitel.GetCaption(), "01\r\nWanderkeime");
        EXPECT_EQ(dlg.m_captionUntergruppe.GetCaption(), "A10\r\nDarmbefall");
        EXPECT_EQ(dlg.m_captionVersion.GetCaption(), "Testkatalog 1");
        EXPECT_TRUE(dlg.GetFocus() == &dlg.m_grid);
        dlg.m_grid.UserSelectLine(2);
        EXPECT_EQ(dlg.m_memoThesaurus.GetText(), "Rechtsseitiger Befall");
        EXPECT_EQ(dlg.m_captionNotation.GetCaption(), "");

        dlg.m_comboKapitel.UserSelect(3);  // 06
        EXPECT_EQ(Codes(dlg), "G01,G02,G03,UUU");
        dlg.m_comboGruppe.UserSelect(1);
        dlg.m_comboUntergruppe.UserSelect(2);  // G02
        EXPECT_EQ(Codes(dlg), "G02");
        dlg.m_comboKapitel.UserSelect(0);  // favourites: none yet
        EXPECT_FALSE(dlg.m_comboGruppe.IsWindowEnabled());
        EXPECT_EQ(dlg.m_grid.GetLineCount(), 0);
        EXPECT_FALSE(dlg.IsToolbarButtonEnabled(XQTB_ACCEPT));
        dlg.m_grid.UserDblClick(-1);  // nothing to take
        EXPECT_FALSE(dlg.IsEnded());
    });
}

TEST_F(SuchIcdTest, FavouritesPatientFileAndKeyWordFilterTheSearch) {
    Run(
        [](CdiaSuchIcd& dlg) {
            EXPECT_FALSE(dlg.m_buttonDelFav.IsWindowEnabled());
            dlg.m_grid.UserSelectLine(3);    // B20
            dlg.m_buttonAddFav.UserClick();  // no new search
            EXPECT_EQ(dlg.m_grid.GetCurLine(), 3);
            dlg.m_comboKapitel.UserSelect(0);
            EXPECT_EQ(Codes(dlg), "B20");
            EXPECT_FALSE(dlg.m_buttonAddFav.IsWindowEnabled());
            dlg.m_buttonDelFav.UserClick();
            EXPECT_EQ(dlg.m_grid.GetLineCount(), 0);

            EXPECT_EQ(dlg.m_comboKapitel.GetLBText(1), "(Patientenakte)");
            dlg.m_comboKapitel.UserSelect(1);
            EXPECT_EQ(Codes(dlg), "B20");
            dlg.m_comboKapitel.UserSelect(2);
            dlg.m_tab.UserSelect(1);
            EXPECT_TRUE(dlg.m_editSchlagwort.IsWindowVisible());
            EXPECT_FALSE(dlg.m_comboKapitel.IsWindowVisible());
            dlg.m_editSchlagwort.SetText("au");  // from the third character on
            EXPECT_EQ(dlg.m_grid.GetLineCount(), 0);
            dlg.m_editSchlagwort.SetText("aus");
            EXPECT_EQ(Codes(dlg), "B20");
            // The key word grid shows the index line that matched.
            EXPECT_EQ((*dlg.m_grid.FetchedLine(0))[1], "Ausschlag der Haut");
        },
        false, "7");
    EXPECT_FALSE(CQIcd::HasFavoriten());
}

TEST_F(SuchIcdTest, CertaintyAndSideFollowTheirRulesAndAcceptComposesThem) {
    const int result = Run(
        [this](CdiaSuchIcd& dlg) {
            EXPECT_TRUE(dlg.m_checkV.GetCheck());  // preset "xVyR"
            EXPECT_TRUE(dlg.m_checkR.GetCheck());
            dlg.m_checkV.UserClick();  // the only certainty stays
            EXPECT_TRUE(dlg.m_checkV.GetCheck());
            dlg.m_checkZ.UserClick();
            EXPECT_FALSE(dlg.m_checkV.GetCheck());
            dlg.m_checkL.UserClick();
            EXPECT_FALSE(dlg.m_checkR.GetCheck());
            dlg.m_checkL.UserClick();  // no side is allowed
            dlg.m_grid.UserSelectLine(1);
            dlg.ClickToolbarButton(XQTB_ACCEPT);
            EXPECT_TRUE(front.shownMessages.empty());
        },
        false, "", "xVyR");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dialog->m_Icd.Code + "|" + dialog->m_strZusatz, "A100|Z");
}

TEST_F(SuchIcdTest, WithoutCertaintyTheDialogStaysOpenExceptForUUU) {
    EXPECT_EQ(Run(
                  [this](CdiaSuchIcd& dlg) {
                      dlg.ClickToolbarButton(XQTB_ACCEPT);
                      EXPECT_FALSE(dlg.IsEnded());
                      ASSERT_EQ(front.shownMessages.size(), 1u);
                      EXPECT_NE(front.shownMessages[0].Find("Diagnosesicherheit"), -1);
                      dlg.m_editCode.SetText("uuu");
                      dlg.ClickToolbarButton(XQTB_ACCEPT);
                  },
                  false, "", "qB"),
              1);
    EXPECT_EQ(dialog->m_Icd.Code, "UUU");
    EXPECT_EQ(dialog->m_strZusatz, "qB");  // as the caller passed it
}

TEST_F(SuchIcdTest, EntryPointsPresetTheCodeAndLeaveTheCallerAloneOnCancel) {
    CString code = "A10.-", addition = "G";
    Script<CdiaSuchIcd>([](CdiaSuchIcd& dlg) {
        EXPECT_EQ(dlg.m_editCode.GetText(), "A10");
        EXPECT_EQ(Codes(dlg), "A10,A10.0,A10.1");
        EXPECT_FALSE(dlg.m_checkG.IsWindowVisible());  // code only
    });
    EXPECT_FALSE(Q7SuchIcd(false, true, "", nullptr, &code, &addition));
    EXPECT_EQ(code + "|" + addition, "A10.-|G");

    // The extract: its own title, two tabs, only extract codes.
    Script<CdiaSuchIcd>([](CdiaSuchIcd& dlg) {
        EXPECT_EQ(dlg.m_tab.GetCount(), 2);
        EXPECT_EQ(Codes(dlg), "A10,A10.1,UUU");
        dlg.m_grid.UserSelectLine(1);
        dlg.m_checkA.UserClick();
        dlg.m_checkB.UserClick();
        dlg.ClickToolbarButton(XQTB_ACCEPT);
    });
    code.Empty();
    EXPECT_TRUE(Q7SuchIcdZahnmedizinAU(false, nullptr, &code, &addition));
    EXPECT_EQ(code + "|" + addition, "A101|AB");
}

TEST_F(SuchIcdTest, SecondaryCodeModeFindsPartnersOnceThenSearchesAsUsual) {
    const auto secondary = [this](const char* primary) {
        CString code, addition;
        std::string seen;
        Script<CdiaSuchIcd>([&seen](CdiaSuchIcd& dlg) {
            seen = Codes(dlg);
            EXPECT_FALSE(dlg.m_tab.IsWindowVisible());
            dlg.m_editCode.SetText("G0");  // the primary code is used once
            EXPECT_EQ(Codes(dlg), "G01,G02,G03");
        });
        Q7SuchIcdSekundaerCode(true, "", primary, nullptr, &code, &addition);
        return seen;
    };
    EXPECT_EQ(secondary("A10.0"), "G01");     // G01 names A100 as partner
    EXPECT_EQ(secondary("G02"), "B20");       // none names G02: its own partner
    EXPECT_EQ(secondary("G03").size(), 35u);  // no partner: the ordinary search
}

TEST_F(SuchIcdTest, PhysicianGroupsAreSortedByTheirBytesAndMatchStoredCodes) {
    Run([](CdiaSuchIcd& dlg) {
        EXPECT_EQ(dlg.m_comboArztgruppe.GetLBText(dlg.m_comboArztgruppe.GetCount() - 1),
                  "\xC4rztlicher Psychotherapeut");
        const auto name = [&dlg](const char* code) {
            return dlg.m_comboArztgruppe.GetLBText(dlg.ArztgruppeIndex(code));
        };
        EXPECT_EQ(name("4.  "), "Kinder- und Jugendarzt (mit/ohne SP)");  // trailing blanks
        EXPECT_EQ(name("99  "), "(alle)");
    });
}

TEST_F(SuchIcdTest, StoredSettingsChooseTabAndFiltersAndF6WritesThem) {
    Load("par", "key1\tkey2\tvalue\n214\tsearch1\t0114.1 0\n");
    Run([this](CdiaSuchIcd& dlg) {
        EXPECT_EQ(dlg.m_tab.GetCurSel(), 0);
        EXPECT_TRUE(dlg.m_checkHK.GetCheck());
        EXPECT_TRUE(dlg.m_checkFK.GetCheck());
        EXPECT_EQ(dlg.m_strArztgruppe, "4.1 ");
        // A10 is in neither catalogue as a Hausarzt code: nothing passes both.
        EXPECT_EQ(dlg.m_grid.GetLineCount(), 0);
        dlg.m_checkFK.UserClick();
        EXPECT_FALSE(dlg.m_comboArztgruppe.IsWindowEnabled());
        EXPECT_EQ(dlg.m_strArztgruppe, "4.1 ");  // kept while unchecked
        dlg.m_checkFK.UserClick();
        EXPECT_EQ(dlg.m_comboArztgruppe.GetLBText(dlg.m_comboArztgruppe.GetCurSel()),
                  "Kinder- und Jugendarzt (ohne SP)");

        Script<CdiaConfigSuchIcd>([](CdiaConfigSuchIcd& config) {
            EXPECT_TRUE(config.m_checkSystematisch.GetCheck());
            config.m_checkAlphabetisch.UserClick();
            EXPECT_FALSE(config.m_checkSystematisch.GetCheck());
            config.m_checkAlphabetisch.UserClick();  // the only choice stays
            EXPECT_TRUE(config.m_checkAlphabetisch.GetCheck());
            config.m_checkHK.UserClick();
            config.ClickToolbarButton(XQTB_ACCEPT);
        });
        dlg.PressKey({XQKey::F6}, nullptr);
        EXPECT_EQ(dlg.m_tab.GetCurSel(), 1);
        EXPECT_FALSE(dlg.m_checkHK.GetCheck());
    });
    EXPECT_EQ(CIcdSuchEinstellungen::Read().Value(), "1014.1 0");
    EXPECT_EQ(CIcdSuchEinstellungen::Parse("01").Value(), "010    0");  // short: blanks
}

// The search's ways out: the online code page (Ctrl+I), the quality
// management (Ctrl+Q) and the catalogue load's file choices.
class IcdCommandsTest : public SuchIcdTest {
  protected:
    void SetUp() override {
        SuchIcdTest::SetUp();
        Q7SetToday("20260315");
    }
    void TearDown() override {
        unsetenv("Q7FREMD_LIB");
        unsetenv("Q7FREMD_PROTOKOLL");
        SuchIcdTest::TearDown();
    }
    void Run(std::function<void(CdiaSuchIcd&)> act) {
        SuchIcdTest::Run([act](CdiaSuchIcd& dlg) {
            act(dlg);
            EXPECT_FALSE(dlg.IsEnded());
        });
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
        dlg.m_grid.UserSelectLine(1);  // A10.0, the grid has the focus
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
        dlg.m_grid.UserSelectLine(2);
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
