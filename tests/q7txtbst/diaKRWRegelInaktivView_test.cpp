// The rules switched off for patients: the list with names and quarters, its
// progress, ticking, and switching the ticked rules on again, also when the
// database fails in between.
#include "q7txtbst/diaKRWRegelInaktivView.h"

#include "q7txtbst/Module.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

const char kLeer[] = "Es gibt keine bestimmten Patienten zugeordnete inaktive Regeln.";

class ProgressFrontEnd : public PlayingFrontEnd {
  public:
    std::vector<int> reports;
    bool ProgressUpdate(int value, const CString& text) override {
        reports.push_back(value);
        return PlayingFrontEnd::ProgressUpdate(value, text);
    }
};

class KRWRegelViewTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        XQSetFrontEnd(&progress);
        Load("pat",
             "number\tname\tfirstname\tbirthdate\n4711\tM\xC3\xBCller  \tSabine\t19670314\n");
    }
    // Switch records: patient number, quarter, sequence number, rule id.
    static std::string Row(int patient, const char* quartal, int lfd, const std::string& id) {
        return FormatString("%10d\t!\t%s\t  0\t%3d\t\t%s\t\t\t\n", patient, quartal, lfd,
                            id.c_str())
            .str();
    }
    void Rows(int count) {
        std::string tsv = "f1\tf2\tf3\tf4\tf5\tf6\tf7\tf8\tf9\tf10\n";
        for (int i = 0; i < count; ++i) tsv += Row(4711, "264", i, "AKR" + std::to_string(i));
        Load("freitext", tsv);
    }
    int Run(std::function<void(CdiaKRWRegelView&)> act = {}) {
        progress.dialogs.push_back([act](CXQDialog& d) {
            if (act) act(static_cast<CdiaKRWRegelView&>(d));
        });
        CTbResourceSwitch sw;
        CdiaKRWRegelView dialog(nullptr);
        const int result = dialog.DoModal();
        lines.clear();
        for (int i = 0; i < dialog.m_list.GetCount(); ++i)
            lines.push_back(dialog.m_list.GetText(i).str());
        checkable = dialog.m_list.IsCheckable();
        return result;
    }
    // The rule ids still switched off.
    static std::string Stored() {
        CQFreiText f(dbDatabase);
        std::string out;
        if (f.GetAll() == XQ_OK) do
                out += (out.empty() ? "" : ",") + f.F7.str();
            while (f.Next() == XQ_OK);
        return out;
    }

    ProgressFrontEnd progress;
    std::vector<std::string> lines;
    bool checkable = false;
};

TEST_F(KRWRegelViewTest, LinesShowPatientDateYearAndQuarter) {
    EXPECT_EQ(Run([](CdiaKRWRegelView& d) { d.OnExit(); }), 1);
    EXPECT_EQ(lines, (std::vector<std::string>{"", kLeer}));
    EXPECT_FALSE(checkable);

    Load("freitext", "f1\tf2\tf3\tf4\tf5\tf6\tf7\tf8\tf9\tf10\n" + Row(4711, "243", 0, "AKR007") +
                         Row(99, "251", 1, "AKR010"));
    Run();
    // In key order: the patient number as stored, blanks first.
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "        99  ,                                        *            2025 Q1   "
                  "AKR010",
                  "      4711  M\xFCller, Sabine                           *14.03.1967  2024 Q3   "
                  "AKR007"}));
    EXPECT_TRUE(checkable);
}

TEST_F(KRWRegelViewTest, ProgressFromMoreThanHundredRecordsUpToSeventy) {
    Rows(100);
    Run();
    EXPECT_TRUE(progress.shownProgress.empty());
    EXPECT_EQ(lines.size(), 100u);

    Rows(101);
    Run();
    ASSERT_EQ(progress.reports.size(), 101u);
    EXPECT_EQ(progress.reports.back(), 70);
    EXPECT_EQ(lines.size(), 101u);
    // A report the box answers with cancel leaves its record out.
    progress.cancelProgressAt = 70;
    Run();
    EXPECT_EQ(lines.size(), 100u);
}

TEST_F(KRWRegelViewTest, TickedRulesAreSwitchedOnAgain) {
    Rows(3);
    const CString frage =
        "Kodierregelwerk|Sollen die angehakten Kodierregeln wieder aktiviert werden?";
    // Nothing ticked: no question; the question answered no: nothing deleted.
    Run([](CdiaKRWRegelView& d) { d.OnExit(); });
    EXPECT_TRUE(progress.shownMessages.empty());
    Run([](CdiaKRWRegelView& d) {
        d.m_list.UserTick(1, true);
        d.OnExit();
    });
    EXPECT_EQ(progress.shownMessages, std::vector<CString>{frage});
    EXPECT_EQ(Stored(), "AKR0,AKR1,AKR2");

    // An untick counts; a rule gone meanwhile is reported, the others are
    // switched on.
    progress.shownMessages.clear();
    progress.messageAnswers = {0};
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
    EXPECT_EQ(progress.shownMessages,
              (std::vector<CString>{frage,
                                    "Kodierregelwerk|Die zu aktivierende Kodierregel AKR1 kann in "
                                    "der Datenbank nicht gefunden werden!"}));
    EXPECT_EQ(Stored(), "AKR0");
}

// Whatever call fails, no rule is lost or kept without a word: every ticked
// rule is either switched on or named in a message.
TEST_F(KRWRegelViewTest, FailedDeletionKeepsThatRuleAndSwitchesTheOthersOn) {
    bool refused = false;
    for (int n = 1;; ++n) {
        Rows(2);
        progress.shownMessages.clear();
        bool fired = false;
        Run([&](CdiaKRWRegelView& d) {
            d.m_list.UserTick(0, true);
            d.m_list.UserTick(1, true);
            fired = FailingCall(n, [&] { d.OnSaveAndExit(); });
        });
        if (!fired) break;
        const std::string stored = Stored();
        for (const char* id : {"AKR0", "AKR1"}) {
            const bool reported =
                std::find(progress.shownMessages.begin(), progress.shownMessages.end(),
                          CString("Kodierregelwerk|Fehler beim aktivieren der Kodierregel ") + id +
                              "!") != progress.shownMessages.end();
            EXPECT_EQ(stored.find(id) != std::string::npos, reported) << n << " " << id;
            refused = refused || reported;
        }
    }
    EXPECT_TRUE(refused);
}

TEST_F(KRWRegelViewTest, FailedReadEndsTheListWithWhatWasRead) {
    bool reported = false;
    for (int n = 1; !reported; ++n) {
        Rows(3);
        progress.shownMessages.clear();
        const bool fired = FailingCall(n, [&] { Run(); });
        ASSERT_TRUE(fired) << "no read failed";
        reported = !progress.shownMessages.empty();
        if (reported) {
            EXPECT_EQ(progress.shownMessages[0],
                      "NXT-Fehler|Regelzugriff (Freitext) gescheitert, Liste der inaktiven "
                      "Kodierregeln unvollst\344ndig");
            EXPECT_GT(lines.size(), 0u);
            EXPECT_LT(lines.size(), 3u);
        }
    }
}

}  // namespace
