// The rules switched off for patients: the lines, the progress, ticking, and
// switching the ticked rules on again, also when the database fails.
#include "q7txtbst/diaKRWRegelInaktivView.h"

#include "q7txtbst/Module.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

class KRWRegelViewTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Load("pat",
             "number\tname\tfirstname\tbirthdate\n4711\tM\xC3\xBCller  \tSabine\t19670314\n");
    }
    // Switches of patient 4711 in the fourth quarter of 2026, rules AKR0...
    void Rows(int count, std::string tsv = "") {
        for (int i = 0; i < count; ++i)
            tsv += FormatString("      4711\t!\t264\t  0\t%3d\t\tAKR%d\t\t\t\n", i, i).str();
        Load("freitext", "f1\tf2\tf3\tf4\tf5\tf6\tf7\tf8\tf9\tf10\n" + tsv);
    }
    int Run(std::function<void(CdiaKRWRegelView&)> act = [](CdiaKRWRegelView&) {}) {
        front.shownMessages.clear();
        Script(act);
        CTbResourceSwitch sw;
        CdiaKRWRegelView dialog(nullptr);
        const int result = dialog.DoModal();
        lines.clear();
        for (int i = 0; i < dialog.m_list.GetCount(); ++i)
            lines.push_back(dialog.m_list.GetText(i));
        checkable = dialog.m_list.IsCheckable();
        return result;
    }
    static std::string Stored() {  // the rule ids still switched off
        CQFreiText f(dbDatabase);
        std::string out;
        if (f.GetAll() == XQ_OK) do
                out += f.F7.str() + " ";
            while (f.Next() == XQ_OK);
        return out;
    }
    bool Shown(const CString& message) const {
        return std::find(front.shownMessages.begin(), front.shownMessages.end(), message) !=
               front.shownMessages.end();
    }

    std::vector<CString> lines;
    bool checkable = false;
};

TEST_F(KRWRegelViewTest, LinesShowPatientDateYearAndQuarter) {
    EXPECT_EQ(Run([](CdiaKRWRegelView& d) { d.OnExit(); }), 1);
    EXPECT_EQ(lines, (std::vector<CString>{
                         "", "Es gibt keine bestimmten Patienten zugeordnete inaktive Regeln."}));
    EXPECT_FALSE(checkable);

    Rows(
        0,
        "      4711\t!\t243\t  0\t  0\t\tAKR7\t\t\t\n        99\t!\t251\t  0\t  1\t\tAKR8\t\t\t\n");
    Run();
    EXPECT_EQ(lines, (std::vector<CString>{
                         "        99  ,                                        *            "
                         "2025 Q1   AKR8",
                         "      4711  M\xFCller, Sabine                           *14.03.1967  "
                         "2024 Q3   AKR7"}));
    EXPECT_TRUE(checkable);
}

TEST_F(KRWRegelViewTest, ProgressFromMoreThanHundredRecordsUpToSeventy) {
    Rows(100);
    Run();
    EXPECT_TRUE(front.shownProgress.empty());
    Rows(101);
    Run();
    EXPECT_EQ(front.progressReports.size(), 101u);
    EXPECT_EQ(front.progressReports.back(), 70);
    EXPECT_EQ(lines.size(), 101u);
    front.cancelProgressAt = 70;  // a cancelled report leaves its record out
    Run();
    EXPECT_EQ(lines.size(), 100u);
}

TEST_F(KRWRegelViewTest, TickedRulesAreSwitchedOnAgain) {
    Rows(3);
    const CString frage =
        "Kodierregelwerk|Sollen die angehakten Kodierregeln wieder aktiviert werden?";
    Run([](CdiaKRWRegelView& d) { d.OnExit(); });
    EXPECT_TRUE(front.shownMessages.empty());
    Run([](CdiaKRWRegelView& d) {  // answered no
        d.m_list.UserTick(1, true);
        d.OnExit();
    });
    EXPECT_EQ(front.shownMessages, std::vector<CString>{frage});
    EXPECT_EQ(Stored(), "AKR0 AKR1 AKR2 ");

    // An untick counts; a rule gone meanwhile is reported, the others go on.
    front.messageAnswers = {0};
    Run([](CdiaKRWRegelView& d) {
        d.m_list.UserTick(0, true);
        d.m_list.UserTick(0, false);
        for (int i : {1, 2}) d.m_list.UserTick(i, true);
        CQFreiText f(dbDatabase);
        f.F5 = "  1";
        ASSERT_EQ(f.GetByK1(XQ_MATCH_FIELDS), XQ_OK);
        ASSERT_NE(f.Delete(), XQ_LOCKED);
        d.OnExit();
    });
    EXPECT_EQ(front.shownMessages,
              (std::vector<CString>{frage,
                                    "Kodierregelwerk|Die zu aktivierende Kodierregel AKR1 kann in "
                                    "der Datenbank nicht gefunden werden!"}));
    EXPECT_EQ(Stored(), "AKR0 ");
}

// Whatever call fails: a ticked rule is switched on or named in a message,
// and a failed read keeps the lines read before it.
TEST_F(KRWRegelViewTest, DatabaseFailuresLoseNothingSilently) {
    bool refused = false, unreadable = false;
    for (int n = 1;; ++n) {
        Rows(2);
        bool fired = false;
        Run([&](CdiaKRWRegelView& d) {
            for (int i : {0, 1}) d.m_list.UserTick(i, true);
            fired = FailingCall(n, [&] { d.OnSaveAndExit(); });
        });
        if (!fired) break;
        for (const char* id : {"AKR0", "AKR1"}) {
            const bool shown = Shown(
                CString("Kodierregelwerk|Fehler beim aktivieren der Kodierregel ") + id + "!");
            EXPECT_EQ(Stored().find(id) != std::string::npos, shown) << n << id;
            refused = refused || shown;
        }
    }
    Rows(2);
    for (int n = 1; FailingCall(n, [&] { Run(); }); ++n)
        if (Shown("NXT-Fehler|Regelzugriff (Freitext) gescheitert, Liste der inaktiven "
                  "Kodierregeln unvollst\344ndig")) {
            EXPECT_EQ(lines.size(), 1u) << n;
            unreadable = true;
        }
    EXPECT_TRUE(refused);
    EXPECT_TRUE(unreadable);
}

}  // namespace
