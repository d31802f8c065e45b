#include "q7txtbst/diaSuchTB.h"

#include "q7txtbst/Q7TbExport.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

class SuchTBTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Load("sp",
             "list\tcode\ttext\n"
             "tb\tb\tBefunde\n"
             "tb\tbl\tLabor\n"
             "tb\tbr\tR\xC3\xB6ntgen\n"
             "tb\td\tDiagnosen\n");
        Block("bef", "b", "l", "Befund Labor", "Blutbild o.B.");
        Block("bek", "b", "r", "Befund R\xC3\xB6ntgen", "Thorax o.B.\nkein Infiltrat");
        Block("dia", "d", "", "Diagnose", "V.a. Infekt");
        Block("abc", "", "", "ohne Gruppe", "frei");
    }

    // Runs the search dialog with presets; act plays the user.
    int Run(std::function<void(CdiaSuchTB&)> act, const char* kuerzel = "", const char* group = "",
            const char* member = "", CString* out = nullptr) {
        Script(act);
        CString k = kuerzel;
        int result = Q7SuchTB(&k, group, member, nullptr);
        if (out) *out = k;
        return result;
    }
};

TEST_F(SuchTBTest, EmptyPresetShowsAllBlocksWithDetailsAndFiltersNarrowThem) {
    int result = Run([](CdiaSuchTB& d) {
        EXPECT_EQ(GridKeys(d.m_grid), "abc,bef,bek,dia");
        EXPECT_EQ(d.m_comboGruppe.GetCurSel(), 0);
        EXPECT_EQ(d.m_comboUntergruppe.GetCurSel(), 0);
        EXPECT_EQ(d.GetFocus(), &d.m_grid);
        d.m_grid.UserSelectLine(2);
        EXPECT_STREQ(d.m_Tb.Kuerzel, "bek");
        EXPECT_STREQ(d.m_captionGruppe.GetCaption(), "Befunde");
        EXPECT_STREQ(d.m_captionUntergruppe.GetCaption(), "R\xF6ntgen");
        EXPECT_STREQ(d.m_memoText.GetText(), "Thorax o.B.\r\nkein Infiltrat");

        d.m_comboGruppe.UserSelect(1);  // Befunde
        EXPECT_EQ(GridKeys(d.m_grid), "bef,bek");
        d.m_comboUntergruppe.UserSelect(2);  // Röntgen
        EXPECT_EQ(GridKeys(d.m_grid), "bek");
        d.m_editKuerzel.SetText("e");
        EXPECT_EQ(d.m_grid.GetLineCount(), 0);
        EXPECT_FALSE(d.IsToolbarButtonEnabled(XQTB_ACCEPT));
        d.m_checkTeilwort.UserClick();  // part word: "e" anywhere in the Kürzel
        EXPECT_EQ(GridKeys(d.m_grid), "bek");
        d.PressKey({XQKey::Backspace, 0}, &d.m_comboGruppe);
        EXPECT_EQ(d.m_comboGruppe.GetCurSel(), 0);
        EXPECT_EQ(GridKeys(d.m_grid), "bef,bek");
        d.m_editKuerzel.SetText("");
        d.m_editBeschreibung.SetText("BEFUND");
        EXPECT_EQ(GridKeys(d.m_grid), "bef,bek");
        d.m_grid.UserDblClick(1);
    });
    EXPECT_EQ(result, 1);
}

TEST_F(SuchTBTest, PresetKuerzelNarrowsAtOnceAndCancelHandsBackTheCurrentRecord) {
    CString kuerzel;
    int result = Run(
        [](CdiaSuchTB& d) {
            EXPECT_EQ(GridKeys(d.m_grid), "bef,bek");
            EXPECT_EQ(d.m_comboGruppe.GetCurSel(), 1);
            d.m_grid.UserSelectLine(1);
        },
        "be", "b", "", &kuerzel);
    EXPECT_EQ(result, 2);
    EXPECT_STREQ(kuerzel, "bek");
}

TEST_F(SuchTBTest, SpeechCommandsMoveTheGrid) {
    Run([](CdiaSuchTB& d) {
        d.SprachkommandoVerarbeiten("C:Z1", 0);
        EXPECT_EQ(d.m_grid.GetCurLine(), 1);
        d.SprachkommandoVerarbeiten("T:dia", 0);
        EXPECT_EQ(d.m_grid.GetCurLine(), 3);
        EXPECT_STREQ(d.m_Tb.Kuerzel, "dia");
        d.SprachkommandoVerarbeiten("T:DIA", 0);  // exact only
        EXPECT_EQ(d.m_grid.GetCurLine(), 3);
        d.SprachkommandoVerarbeiten("C:GBE", 0);  // wraps to the first match from the top
        EXPECT_EQ(d.m_grid.GetCurLine(), 1);
        EXPECT_STREQ(d.m_Tb.Kuerzel, "bef");
        d.SprachkommandoVerarbeiten("C:S1", 0);
        EXPECT_EQ(d.m_grid.GetCurLine(), 3);
        d.SprachkommandoVerarbeiten("C:Z0", 0);
        EXPECT_STREQ(d.m_Tb.Kuerzel, "bek");
        d.SprachkommandoVerarbeiten("X:egal", 0);
        EXPECT_EQ(d.m_grid.GetCurLine(), 2);
    });
}

TEST_F(SuchTBTest, ManyHitsPageWithoutLosingTheRecord) {
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(AddTb(FormatString("m%04d", i).GetString(), "d"), XQ_OK);
    Run([](CdiaSuchTB& d) {
        d.m_editKuerzel.SetText("m");
        EXPECT_EQ(d.m_grid.GetLineCount(), 3000);
        EXPECT_LE(d.m_grid.FetchedCount(), 100);
        d.m_grid.UserSelectLine(2500);
        EXPECT_STREQ(d.m_Tb.Kuerzel, "m2500");
        d.m_grid.SeekLine(-2499, true);
        EXPECT_STREQ(d.m_Tb.Kuerzel, "m0001");
        d.SprachkommandoVerarbeiten("C:Z1", 0);
        EXPECT_EQ(d.m_Tb.CurrentIndex(), d.m_grid.GetCurLine());
    });
}

}  // namespace
