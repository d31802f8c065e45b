// The procedure search as a user drives it: the edition by treatment date,
// the search after a pause in typing, the catalogue boxes, the side rules,
// the details of a line, favourites and the settings of each workstation.
#include "q7txtbst/diaSuchOPS.h"

#include "host/base/HostContext.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"
#include "q7txtbst/Module.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

// Lines in code order: 1-204.2, 5-812.5 (side 1), 5-812.6 (side 2), 5-813.0
// (side 3), 5-813.1 (no side); 5-813.2 is in the extended catalogue only.
const char kOps[] =
    "code\tchapter\tgroup\tcategory\tsnz\tside\textended\n"
    "1\t1\t\t$0\t\t\t\n1-20\t1\t1-20\t$1\t\t\t\n5\t5\t\t$0\t\t\t\n5-81\t5\t5-81\t$1\t\t\t\n"
    "1-204.2\t1\t1-20\tA\t7\t\t0\n5-812.5\t5\t5-81\tA\t37\t1\t0\n"
    "5-812.6\t5\t5-81\t$2\t1\t2\t0\n5-813.0\t5\t5-81\tX\t2\t3\t0\n"
    "5-813.1\t5\t5-81\tB\t4\t0\t0\n5-813.2\t5\t5-81\t\t\t\t1\n";
const char kTexts[] =
    "code\ttype\ttext\n1\t1\tUntersuchung\n5\t1\tOperationen\n5-81\t2\tGelenke\n"
    "1-204.2\t3\tLiquorpunktion\n5-812.5\t3\tMeniskusresektion, partiell\n"
    "5-812.5\t5\tInkl. Gl\xC3\xA4ttung\n5-812.5\t8\t31141 31142 3\n5-812.5\t8\t        3114\n"
    "5-812.6\t3\tArthroskopie\n5-812.6\t7\tTabelle A\n5-813.0\t3\tBandplastik\n";
const char kGo[] =
    "edition\tnumber\ttext\nh\t31141\tGeb\xC3\xBChr h\nf\t31141\tGeb\xC3\xBChr f\n"
    "e\t31141\tGeb\xC3\xBChr e\nb\t31141\tGeb\xC3\xBChr b\nh\t31142\t\n";

class SuchOPSTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        CdiaSuchOPS::s_Kapitel.clear();
        dbLfdWorkstation = 1;
        Load("ops", kOps);
        Load("opstext", kTexts);
        Load("go", kGo);
        Load("sp",
             "list\tcode\ttext\nopskategorien\tA\tAmbulant\nopskategorien\t\tLeer\n"
             "opskategorien\tB\tBeleg\n");
    }
    int Run(std::function<void(CdiaSuchOPS&)> act, bool noSide = false,
            const char* date = "20261205", const char* code = "", const char* side = "") {
        Script(act);
        CTbResourceSwitch sw;
        dialog = std::make_unique<CdiaSuchOPS>(noSide, date, nullptr);
        dialog->m_Ops.Code = code;
        dialog->m_strSeite = side;
        return dialog->DoModal();
    }
    static std::string Sides(CdiaSuchOPS& dlg) {
        std::string s;
        for (auto [letter, box] : {std::pair{"R", &dlg.m_checkR}, std::pair{"L", &dlg.m_checkL},
                                   std::pair{"B", &dlg.m_checkB}})
            if (box->IsWindowVisible()) s += box->GetCheck() ? std::string("+") + letter : letter;
        return s;
    }
    std::unique_ptr<CdiaSuchOPS> dialog;
};

TEST_F(SuchOPSTest, TheTreatmentDateChoosesTitleAndFeeScheduleEdition) {
    const struct {
        const char *date, *title, *edition;
    } cases[] = {{"20131001", " (EBM 2013)", "h"},     {"20130930", " (EBM 2009)", "f"},
                 {"20080101", " (EBM 2009)", "f"},     {"20071231", " (EBM 2000plus)", "e"},
                 {"20050401", " (EBM 2000plus)", "e"}, {"20050331", " (EBM 2000plus)", "b"}};
    for (const auto& c : cases)
        Run(
            [&c](CdiaSuchOPS& dlg) {
                EXPECT_EQ(dlg.GetCaption(), CString("Suchdialog OP-Schl\374ssel") + c.title);
                dlg.m_grid.UserSelectLine(1);
                EXPECT_EQ(dlg.m_memoLeistungen.GetText().Left(16),
                          CString("31141 - Geb\374hr ") + c.edition)
                    << c.date;
            },
            false, c.date);
}

TEST_F(SuchOPSTest, TypingSearchesOnce250msAfterTheLastKeyAndAForeignTimerBeeps) {
    Run([this](CdiaSuchOPS& dlg) {
        EXPECT_EQ(GridKeys(dlg.m_grid), "1-204.2,5-812.5,5-812.6,5-813.0,5-813.1");
        for (const char* typed : {"5", "5-", "5-8", "5-81", "5-813"}) {
            dlg.m_editCode.UserType(typed);
            Q7AdvanceHostMillis(100);
            dlg.FireDueTimers(Q7HostMillis());
            EXPECT_EQ(dlg.m_grid.GetLineCount(), 5) << typed;
        }
        Q7AdvanceHostMillis(149);
        dlg.FireDueTimers(Q7HostMillis());
        EXPECT_EQ(dlg.m_grid.GetLineCount(), 5);
        Q7AdvanceHostMillis(1);
        dlg.FireDueTimers(Q7HostMillis());
        EXPECT_EQ(GridKeys(dlg.m_grid), "5-813.0,5-813.1");
        dlg.OnTimer(2);
        EXPECT_EQ(front.beeps, 1);
    });
}

TEST_F(SuchOPSTest, OneCatalogueBoxStaysCheckedAndTheBoxesFilter) {
    Run([](CdiaSuchOPS& dlg) {
        EXPECT_TRUE(dlg.m_checkAmtlich.GetCheck());  // nothing stored: official
        dlg.m_checkAmtlich.UserClick();
        EXPECT_TRUE(dlg.m_checkErweitert.GetCheck());
        EXPECT_EQ(GridKeys(dlg.m_grid), "5-813.2");
        dlg.m_checkAmtlich.UserClick();
        EXPECT_EQ(dlg.m_grid.GetLineCount(), 6);
        dlg.m_checkErweitert.UserClick();
        dlg.m_checkAmtlich.UserClick();
        EXPECT_TRUE(dlg.m_checkErweitert.GetCheck());
        EXPECT_FALSE(dlg.m_checkAmtlich.GetCheck());
    });
}

TEST_F(SuchOPSTest, TheSideIndicatorRulesLineChangeAndAccept) {
    const CString r = "Sie m\374ssen eine Lokalisation ('R' oder 'L') ausw\344hlen!";
    const CString b = "Sie m\374ssen die Lokalisation 'B' ausw\344hlen!";
    const CString rlb = "Sie m\374ssen eine Lokalisation ('R', 'L' oder 'B') ausw\344hlen!";
    const struct {
        int line;
        const char* shown;  // visible boxes, "+" before a checked one
        const CString* message;
        const char* result;
        bool noSide = false;
    } cases[] = {{1, "RL", &r, "5-812.5L"},
                 {2, "+B", &b, "5-812.6B"},
                 {3, "RLB", &rlb, "5-813.0B"},
                 {4, "", nullptr, "5-813.1"},
                 {1, "", nullptr, "5-812.5", true}};
    for (const auto& c : cases) {
        front.shownMessages.clear();
        EXPECT_EQ(Run(
                      [&c](CdiaSuchOPS& dlg) {
                          dlg.m_grid.UserSelectLine(c.line);
                          EXPECT_EQ(Sides(dlg), c.shown) << c.line;
                          EXPECT_EQ(dlg.m_frameSeite.IsWindowVisible(), *c.shown != 0);
                          if (c.line == 2) dlg.m_checkB.UserClick();
                          if (c.message) {
                              dlg.ClickToolbarButton(XQTB_ACCEPT);
                              EXPECT_FALSE(dlg.IsEnded());
                              (c.line == 1 ? dlg.m_checkL : dlg.m_checkB).UserClick();
                          }
                          dlg.ClickToolbarButton(XQTB_ACCEPT);
                      },
                      c.noSide),
                  1);
        EXPECT_EQ(dialog->m_Ops.Code, c.result);
        const std::vector<CString> shown =
            c.message ? std::vector<CString>{"Hinweis|" + *c.message} : std::vector<CString>{};
        EXPECT_EQ(front.shownMessages, shown);
    }
}

TEST_F(SuchOPSTest, APresetCodeOpensWithItsSideAndText) {
    Run(
        [](CdiaSuchOPS& dlg) {
            EXPECT_EQ(dlg.m_editCode.GetText(), "5-812.5");
            EXPECT_EQ(dlg.m_editText.GetText(), "Meniskusresektion, partiell");
            EXPECT_EQ(GridKeys(dlg.m_grid), "5-812.5");
            EXPECT_EQ(Sides(dlg), "R+L");
        },
        false, "20261205", "5-812.5L");
    CdiaSuchOPS bare(false, "20261205", nullptr);
    bare.m_Ops.Code = "9-999B";
    EXPECT_FALSE(bare.Exists());
    EXPECT_EQ(bare.m_strSeite, "B");
}

TEST_F(SuchOPSTest, DetailsShowFeeItemsDurationsCategoriesAndTableEntries) {
    Run([](CdiaSuchOPS& dlg) {
        // chapter|group|category|duration|label: fees or table|inclusions
        const auto details = [&dlg](int line) {
            dlg.m_grid.UserSelectLine(line);
            return dlg.m_captionKapitel.GetCaption() + "|" + dlg.m_captionGruppe.GetCaption() +
                   "|" + dlg.m_captionKategorie.GetCaption() + "|" + dlg.m_captionSNZ.GetCaption() +
                   "|" + dlg.m_memoLeistungen.GetLabel() + dlg.m_memoLeistungen.GetText() + "|" +
                   dlg.m_memoInklusiva.GetText();
        };
        EXPECT_EQ(details(0),
                  "1: Untersuchung|1-20: |A: Ambulant|\374ber 120 Minuten|Tabellen-\n eintrag:|");
        EXPECT_EQ(details(1),
                  "5: Operationen|5-81: Gelenke|A: Ambulant|bis 45 Minuten / \374ber 120 Minuten "
                  "(beidseitig)|Leistungen:31141 - Geb\374hr h\r\n31142\r\n3\r\n  3114|Inkl. "
                  "Gl\344ttung");
        // $2 names no category; X is not in the list.
        EXPECT_EQ(details(2),
                  "5: Operationen|5-81: Gelenke||bis 15 Minuten|Tabellen-\n eintrag:"
                  "Tabelle A|");
        EXPECT_EQ(details(3),
                  "5: Operationen|5-81: Gelenke|X|bis 30 Minuten|Tabellen-\n eintrag:|");
        EXPECT_EQ(dlg.m_comboKategorie.GetCount(), 3);  // the keyless entry left out
    });
}

TEST_F(SuchOPSTest, FavouritesAndChaptersChooseWhatIsSearched) {
    Run([](CdiaSuchOPS& dlg) {
        EXPECT_FALSE(dlg.m_buttonDelFav.IsWindowEnabled());
        dlg.m_grid.UserSelectLine(1);
        dlg.m_buttonAddFav.UserClick();
        dlg.m_comboKapitel.UserSelect(3);  // 5: Operationen
        EXPECT_EQ(dlg.m_comboGruppe.GetLBText(1), "5-81: Gelenke");
        EXPECT_EQ(GridKeys(dlg.m_grid), "5-812.5,5-812.6,5-813.0,5-813.1");
    });
    Run([](CdiaSuchOPS& dlg) {
        EXPECT_EQ(dlg.m_comboKapitel.GetCurSel(), 0);  // opens on the favourites
        EXPECT_EQ(GridKeys(dlg.m_grid), "5-812.5");
        EXPECT_FALSE(dlg.m_comboKategorie.IsWindowEnabled());
        EXPECT_FALSE(dlg.m_checkAmtlich.IsWindowVisible());
        dlg.m_buttonDelFav.UserClick();
        EXPECT_EQ(dlg.m_grid.GetLineCount(), 0);
        EXPECT_FALSE(dlg.IsToolbarButtonEnabled(XQTB_ACCEPT));
    });
    EXPECT_FALSE(CQOps::HasFavoriten());
}

TEST_F(SuchOPSTest, SettingsBelongToTheWorkstationAndOnlyAnAcceptWritesThem) {
    Load("par", "key1\tkey2\tvalue\n218\twstopse002\t2\n218\twstokat002\tB\n");
    dbLfdWorkstation = 2;
    CQOps_Fields fields;
    fields.Code = "frei";
    Script<CdiaSuchOPS>([](CdiaSuchOPS& dlg) {
        EXPECT_FALSE(dlg.m_checkAmtlich.GetCheck());
        EXPECT_EQ(GridKeys(dlg.m_grid), "");  // B: none extended-only
        dlg.m_comboKategorie.UserSelect(1);   // A
        dlg.m_checkAmtlich.UserClick();
        dlg.ClickToolbarButton(XQTB_EXIT);
    });
    EXPECT_EQ(Q7SuchOPS(false, "20261205", nullptr, &fields), 2);
    EXPECT_EQ(fields.Code + Par("218", "wstokat002") + Par("218", "wstopse002"), "freiB2");

    dbLfdWorkstation = 1;
    Script<CdiaSuchOPS>([](CdiaSuchOPS& dlg) {
        EXPECT_EQ(dlg.m_comboKategorie.GetCurSel(), 0);
        dlg.m_comboKategorie.UserSelect(2);  // B
        dlg.m_checkErweitert.UserClick();
        dlg.ClickToolbarButton(XQTB_ACCEPT);
    });
    EXPECT_EQ(Q7SuchOPS(false, "20261205", nullptr, &fields), 1);
    EXPECT_EQ(
        fields.Code + "|" + fields.Kategorie + Par("218", "wstokat001") + Par("218", "wstopse001"),
        "5-813.1|BB3");
}

}  // namespace
