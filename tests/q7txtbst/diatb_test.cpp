#include "q7txtbst/diatb.h"

#include "q7txtbst/Q7TbExport.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

enum : int { kYes = 0, kNo = 1, kCancel = 2 };

class EditorTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        CdiaTB::s_Groups.clear();
        Load("sp",
             "list\tcode\ttext\n"
             "tb\ta\tAnamnese\n"
             "tb\taa\tAllgemein\n"
             "tb\tb\tKasse\n"
             "tb\tbk\tKassenleistung\n"
             "tb\td\tPrivat\n"
             "tb\tdl\tSteigerung\n"
             "tb\tf\tRezepte\n"
             "tb\tff\tRezept-Freitext\n"
             "tb\tfl\tLabor\n");
        Block("AN1", "a", "a", "Anamnese eins", "erste\nzweite\ndritte");
        Block("AN2", "a", "a", "Anamnese zwei", "nur eine");
        Block("BK", "b", "k", "Kassenleistung", "Leistung Kasse");
        Block("DL", "d", "l", "Steigerung", "Faktor 2,3");
    }
    void TearDown() override {
        CdiaTB::s_Groups.clear();
        TbTest::TearDown();
    }

    int Run(bool neu, std::function<void(CdiaTB&)> act, const char* preset = nullptr) {
        front.dialogs.push_back([act](CXQDialog& d) { act(static_cast<CdiaTB&>(d)); });
        CdiaTB editor(neu, nullptr);
        if (preset) editor.m_Tb.Kuerzel = preset;
        return editor.DoModal();
    }

    // A stored block as "group/member/description/restriction" and its lines
    // as "number=text".
    static std::string Stored(const char* kuerzel) {
        CQTb tb(dbDatabase);
        tb.SetKey(2, true);
        tb.Kuerzel = kuerzel;
        if (tb.GetByK2(XQ_MATCH_EQUAL) != 0) return "-";
        std::string out = tb.Gruppe.str() + "/" + tb.Untergruppe.str() + "/" +
                          tb.Beschreibung.str() + "/" + tb.Einschraenkung.str();
        CQTbEntry line(dbDatabase);
        line.KYKUERZEL = kuerzel;
        if (line.GetByK1(XQ_MATCH_FIELDS) == 0) do
                out += "|" + line.LFDTBENTRY.str() + "=" + line.TBENTRY.str();
            while (line.Next() == 0);
        return out;
    }

    static void Select(CdiaTB& d, char group, char member) {
        const int g = FindTbGroup(CdiaTB::s_Groups, group);
        ASSERT_GE(g, 0);
        d.m_comboGruppe.UserSelect(g);
        if (member != ' ')
            d.m_comboUntergruppe.UserSelect(
                FindTbMember(CdiaTB::s_Groups[static_cast<size_t>(g)], member));
    }

    static void AddGo(const char* nummer, const char* kasse1, const char* privat2) {
        CQGO go(dbDatabase);
        go.Nummer = nummer;
        go.TbKasse1 = kasse1;
        go.TbPrivat2 = privat2;
        ASSERT_EQ(go.Write(), 0);
    }

    static std::string GoRefs() {
        CQGO go(dbDatabase);
        std::string out;
        if (go.GetAll() == 0) do
                out += go.Nummer.str() + ":" + go.TbKasse1.str() + "," + go.TbPrivat2.str() + ";";
            while (go.Next() == 0);
        return out;
    }
};

TEST_F(EditorTest, OpensOnTheFirstBlockBrowsesAndRemembersTheWorkstationsLast) {
    Run(false, [](CdiaTB& d) {
        EXPECT_EQ(d.GetModus(), MODUS_ANZEIGE);
        EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN1");
        EXPECT_STREQ(d.m_memoText.GetText(), "erste\r\nzweite\r\ndritte");
        EXPECT_FALSE(d.IsToolbarButtonEnabled(XQTB_PREV));
        EXPECT_TRUE(d.IsToolbarButtonEnabled(XQTB_NEXT));
        d.ClickToolbarButton(XQTB_NEXT);
        d.ClickToolbarButton(XQTB_NEXT);
        EXPECT_STREQ(d.m_editKuerzel.GetText(), "BK");
        d.ClickToolbarButton(XQTB_PREV);
        EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN2");
        EXPECT_STREQ(d.m_captionModus.GetCaption(), "Anzeige");
        d.ClickToolbarButton(XQTB_EXIT);
        EXPECT_EQ(d.GetResult(), 1);
    });
    Run(false, [](CdiaTB& d) { EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN2"); });
    Run(
        false, [](CdiaTB& d) { EXPECT_STREQ(d.m_editKuerzel.GetText(), "DL"); }, "DL");
    Run(true, [](CdiaTB& d) {
        EXPECT_EQ(d.GetModus(), MODUS_NEU);
        EXPECT_TRUE(d.m_editKuerzel.GetText().IsEmpty());
        EXPECT_EQ(d.m_comboGruppe.GetCurSel(), -1);
    });
}

TEST_F(EditorTest, EmptyPracticeStartsEmptyAndReturnStartsANewBlock) {
    for (const char* k : {"AN1", "AN2", "BK", "DL"}) {
        CQTb tb(dbDatabase);
        tb.Kuerzel = k;
        ASSERT_EQ(tb.GetByK2(XQ_MATCH_EQUAL), 0);
        tb.Delete();
    }
    Run(false, [](CdiaTB& d) {
        EXPECT_EQ(d.GetModus(), MODUS_LEER);
        EXPECT_FALSE(d.IsToolbarButtonEnabled(XQTB_NEXT));
        d.PressKey({XQKey::Return, 0}, &d.m_editKuerzel);
        EXPECT_EQ(d.GetModus(), MODUS_NEU);
    });
}

TEST_F(EditorTest, GroupFMemberFLimitsLinesTo37AndStoresTheInsuranceRestriction) {
    Run(true, [](CdiaTB& d) {
        d.m_editKuerzel.UserType("RZ");
        Select(d, 'f', 'f');
        EXPECT_EQ(d.m_memoText.GetMaxLineLength(), 37);
        EXPECT_STREQ(d.m_memoText.GetHint(), "Maximal 37 Zeichen pro Zeile");
        EXPECT_TRUE(d.m_checkKasse.IsWindowVisible());
        d.m_memoText.UserType(std::string(50, 'x').c_str() + CString("\nzwei"));
        EXPECT_EQ(d.m_memoText.GetLines().GetAt(0).GetLength(), 37);
        d.m_checkPrivat.UserClick();
        d.m_checkKasse.UserClick();  // neither ticked: Privat comes back
        EXPECT_FALSE(d.m_checkKasse.GetCheck());
        EXPECT_TRUE(d.m_checkPrivat.GetCheck());
        d.ClickToolbarButton(XQTB_SAVE);
        EXPECT_EQ(d.GetModus(), MODUS_ANZEIGE);
    });
    EXPECT_EQ(Stored("RZ"), "f/f//p|  0=" + std::string(37, 'x') + "|  1=zwei");

    Run(
        false,
        [](CdiaTB& d) {
            EXPECT_FALSE(d.m_checkKasse.GetCheck());
            Select(d, 'f', 'l');
            EXPECT_EQ(d.m_memoText.GetMaxLineLength(), 43);
            EXPECT_FALSE(d.m_checkKasse.IsWindowVisible());
            EXPECT_FALSE(d.m_checkPrivat.IsWindowVisible());
            d.ClickToolbarButton(XQTB_SAVE);
            Select(d, 'b', ' ');  // member l is not in group b
            EXPECT_EQ(d.m_comboUntergruppe.GetCurSel(), -1);
            EXPECT_EQ(d.m_memoText.GetMaxLineLength(), 50);
        },
        "RZ");
    EXPECT_EQ(Stored("RZ").substr(0, 5), "f/l//");
}

TEST_F(EditorTest, SavingReusesLinesDropsSurplusOnesAndAddsMissingOnes) {
    Run(
        false,
        [](CdiaTB& d) {
            d.m_memoText.UserType("neu");
            EXPECT_EQ(d.GetModus(), MODUS_GEAENDERT);
            d.ClickToolbarButton(XQTB_SAVE);
            EXPECT_EQ(Stored("AN1"), "a/a/Anamnese eins/|  0=neu");
            d.m_memoText.UserType("1\n2\n3\n4\n5");
            d.ClickToolbarButton(XQTB_SAVE);
        },
        "AN1");
    EXPECT_EQ(Stored("AN1"), "a/a/Anamnese eins/|  0=1|  1=2|  2=3|  3=4|  4=5");
}

TEST_F(EditorTest, RenamingOrDeletingBlocksOfGroupsBAndDFollowsTheFeeSchedule) {
    AddGo("01", "BK", "DL");
    AddGo("02", " BK", "");
    AddGo("03", "DL", "BK");  // each pair only names blocks of its own group
    Run(
        false,
        [](CdiaTB& d) {
            d.m_editKuerzel.UserType("BK2");
            d.ClickToolbarButton(XQTB_SAVE);
        },
        "BK");
    EXPECT_EQ(front.shownProgress, std::vector<CString>{"\xDC"
                                                        "berpr\xFC"
                                                        "fe Leistungen..."});
    EXPECT_EQ(GoRefs(), "01:BK2,DL;02:BK2,;03:DL,BK;");
    EXPECT_EQ(Stored("BK"), "-");
    EXPECT_EQ(Stored("BK2"), "b/k/Kassenleistung/|  0=Leistung Kasse");

    // Group a has no references: no service is read.
    Run(
        false,
        [](CdiaTB& d) {
            d.m_editKuerzel.UserType("AN9");
            d.ClickToolbarButton(XQTB_SAVE);
        },
        "AN1");
    EXPECT_EQ(front.shownProgress.size(), 1u);

    front.messageAnswers = {kYes};
    Run(
        false,
        [](CdiaTB& d) {
            d.ClickToolbarButton(XQTB_DELETE);
            EXPECT_STREQ(d.m_editKuerzel.GetText(), "BK2");  // DL was the last one
            EXPECT_EQ(d.GetModus(), MODUS_ANZEIGE);
        },
        "DL");
    EXPECT_EQ(GoRefs(), "01:BK2,        ;02:BK2,;03:DL,BK;");
    EXPECT_EQ(Stored("DL"), "-");
    CQTbEntry lines(dbDatabase);
    lines.KYKUERZEL = "DL";
    EXPECT_NE(lines.GetByK1(XQ_MATCH_FIELDS), 0);
}

TEST_F(EditorTest, ATakenKuerzelIsRefusedAndBothBlocksStayAsTheyWere) {
    Run(
        false,
        [this](CdiaTB& d) {
            d.m_editKuerzel.UserType("AN2");
            d.m_memoText.UserType("fremd");
            front.messageAnswers = {0, kNo};
            d.ClickToolbarButton(XQTB_SAVE);
            EXPECT_EQ(d.GetModus(), MODUS_GEAENDERT);
            d.ClickToolbarButton(XQTB_NEW);  // the changes are dropped
            d.m_editKuerzel.UserType("BK");
            Select(d, 'a', 'a');
            d.ClickToolbarButton(XQTB_SAVE);
            EXPECT_EQ(d.GetModus(), MODUS_NEU);
        },
        "AN1");
    EXPECT_EQ(front.shownMessages.size(), 3u);
    EXPECT_EQ(Stored("AN1"), "a/a/Anamnese eins/|  0=erste|  1=zweite|  2=dritte");
    EXPECT_EQ(Stored("AN2"), "a/a/Anamnese zwei/|  0=nur eine");
    EXPECT_EQ(Stored("BK"), "b/k/Kassenleistung/|  0=Leistung Kasse");
}

TEST_F(EditorTest, LeavingAChangedBlockAsksAndHonoursAllThreeAnswers) {
    Run(
        false,
        [this](CdiaTB& d) {
            d.m_editBeschreibung.UserType("ge\xE4ndert");
            front.messageAnswers = {kCancel};
            d.ClickToolbarButton(XQTB_NEXT);
            EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN1");
            front.messageAnswers = {kNo};
            d.ClickToolbarButton(XQTB_NEXT);
            EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN2");
            d.m_memoText.UserType("gespeichert");
            front.messageAnswers = {kYes};
            d.ClickToolbarButton(XQTB_PREV);
            EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN1");
        },
        "AN1");
    EXPECT_EQ(Stored("AN1"), "a/a/Anamnese eins/|  0=erste|  1=zweite|  2=dritte");
    EXPECT_EQ(Stored("AN2"), "a/a/Anamnese zwei/|  0=gespeichert");
    EXPECT_EQ(front.shownMessages.size(), 3u);
}

TEST_F(EditorTest, CopyStoresASecondBlockAndUndoGoesBack) {
    Run(
        false,
        [this](CdiaTB& d) {
            d.ClickToolbarButton(XQTB_COPY);
            EXPECT_EQ(d.GetModus(), MODUS_NEU);
            EXPECT_TRUE(d.m_editKuerzel.GetText().IsEmpty());
            d.m_editKuerzel.UserType("AN3");
            d.ClickToolbarButton(XQTB_SAVE);
            EXPECT_EQ(Stored("AN3"), "a/a/Anamnese zwei/|  0=nur eine");

            d.ClickToolbarButton(XQTB_NEW);
            front.messageAnswers = {kYes};
            d.ClickToolbarButton(XQTB_UNDO);
            EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN3");
            EXPECT_EQ(d.GetModus(), MODUS_ANZEIGE);

            d.m_memoText.UserType("verworfen");
            front.messageAnswers = {kYes};
            d.ClickToolbarButton(XQTB_UNDO);
            EXPECT_STREQ(d.m_memoText.GetText(), "nur eine");
            EXPECT_EQ(d.GetModus(), MODUS_ANZEIGE);
        },
        "AN2");
    EXPECT_EQ(Stored("AN2"), "a/a/Anamnese zwei/|  0=nur eine");
}

TEST_F(EditorTest, KuerzelFieldReactsToChangeLeaveAndReturn) {
    Run(
        false,
        [this](CdiaTB& d) {
            d.m_editKuerzel.UserType("AN");
            EXPECT_EQ(d.GetModus(), MODUS_GEAENDERT);
            // Only the Kürzel changed: Return looks it up; "AN" names none, so
            // the search dialog opens preset with it.
            front.dialogs.push_back([](CXQDialog& s) {
                auto& search = static_cast<CdiaSuchTB&>(s);
                EXPECT_STREQ(search.m_editKuerzel.GetText(), "AN");
                search.m_grid.UserDblClick(1);
            });
            d.PressKey({XQKey::Return, 0}, &d.m_editKuerzel);
            EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN2");

            d.m_editKuerzel.UserType("ZZ");
            d.PressKey({XQKey::Return, 0}, &d.m_editKuerzel);
            EXPECT_EQ(d.GetModus(), MODUS_NEU);
            EXPECT_STREQ(d.m_editKuerzel.GetText(), "ZZ");
            EXPECT_TRUE(d.m_memoText.GetText().IsEmpty());

            // Leaving the field on a Kürzel that exists offers the block.
            d.m_editKuerzel.UserType("BK");
            front.messageAnswers = {kNo};
            d.SetFocusTo(&d.m_memoText);
            EXPECT_EQ(d.GetFocus(), &d.m_editKuerzel);
            EXPECT_EQ(d.GetModus(), MODUS_NEU);
            front.messageAnswers = {kYes};
            d.SetFocusTo(&d.m_memoText);
            EXPECT_EQ(d.GetModus(), MODUS_GEAENDERT);
            EXPECT_STREQ(d.m_memoText.GetText(), "Leistung Kasse");

            // Return on an empty field in mode 1 searches with an empty preset.
            d.m_editKuerzel.UserType("");
            front.dialogs.push_back([](CXQDialog& s) {
                EXPECT_EQ(static_cast<CdiaSuchTB&>(s).m_grid.GetLineCount(), 4);
            });
            d.PressKey({XQKey::Return, 0}, &d.m_editKuerzel);
            EXPECT_EQ(front.dialogsRun, 3);
        },
        "AN1");
}

TEST_F(EditorTest, SearchDialogAndEditorOpenEachOther) {
    // The editor's search hands New and Edit back as results 2 and 3.
    Run(
        false,
        [this](CdiaTB& d) {
            front.dialogs.push_back([](CXQDialog& s) {
                auto& search = static_cast<CdiaSuchTB&>(s);
                EXPECT_STREQ(search.m_editKuerzel.GetText(), "AN1");
                search.m_editKuerzel.UserType("");
                search.m_grid.UserSelectLine(3);
                s.ClickToolbarButton(XQTB_EDIT);
            });
            d.ClickToolbarButton(XQTB_SEARCH);
            EXPECT_STREQ(d.m_editKuerzel.GetText(), "DL");
            front.dialogs.push_back([](CXQDialog& s) { s.ClickToolbarButton(XQTB_NEW); });
            d.PressKey({XQKey::F5, 0}, nullptr);
            EXPECT_EQ(d.GetModus(), MODUS_NEU);
        },
        "AN1");

    // Opened by anyone else, the search dialog opens the editor itself.
    front.dialogs.push_back([this](CXQDialog& s) {
        auto& search = static_cast<CdiaSuchTB&>(s);
        front.dialogs.push_back([](CXQDialog& e) {
            auto& editor = static_cast<CdiaTB&>(e);
            EXPECT_EQ(editor.GetModus(), MODUS_NEU);
            editor.m_editKuerzel.UserType("NEU");
            Select(editor, 'a', 'a');
            editor.ClickToolbarButton(XQTB_SAVE);
            editor.ClickToolbarButton(XQTB_EXIT);
        });
        search.ClickToolbarButton(XQTB_NEW);
        EXPECT_STREQ(search.m_editKuerzel.GetText(), "NEU");
        EXPECT_EQ(search.m_grid.GetLineCount(), 1);
        front.dialogs.push_back([](CXQDialog& e) {
            EXPECT_STREQ(static_cast<CdiaTB&>(e).m_editKuerzel.GetText(), "NEU");
        });
        search.ClickToolbarButton(XQTB_EDIT);
    });
    CString kuerzel;
    Q7SuchTB(&kuerzel, "", "", nullptr);
    EXPECT_EQ(Stored("NEU"), "a/a//");
}

TEST_F(EditorTest, UnreadableGroupTableClosesTheEditorWithAMessage) {
    XQClosePracticeDatabase();
    CdiaTB editor(false, nullptr);
    EXPECT_EQ(editor.DoModal(), 2);
    EXPECT_EQ(front.shownMessages.size(), 1u);
    CString error;
    ASSERT_EQ(XQOpenPracticeDatabase(home, &error), XQ_OK);
}

}  // namespace
