#include <sqlite3.h>

#include "q7txtbst/Q7TbExport.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

enum : int { kYes = 0, kNo = 1, kCancel = 2 };

const char* const kWriteFailed =
    "Hinweis|Der Datensatz konnte nicht gespeichert oder gel\xF6scht werden.";

class EditorTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Load("sp",
             "list\tcode\ttext\ntb\ta\tAnamnese\ntb\taa\tAllgemein\ntb\tb\tKasse\n"
             "tb\tbk\tKassenleistung\ntb\td\tPrivat\ntb\tdl\tSteigerung\ntb\tf\tRezepte\n"
             "tb\tff\tRezept-Freitext\ntb\tfl\tLabor\n");
        Fill();
    }

    // The practice's blocks and services, written afresh; each pair of
    // references only names blocks of its own group.
    void Fill() {
        ASSERT_EQ(dbDatabase->ExecRaw("DELETE FROM tb; DELETE FROM tbentry; DELETE FROM go"), 0);
        Block("AN1", "a", "a", "Anamnese eins", "erste\nzweite\ndritte");
        Block("AN2", "a", "a", "Anamnese zwei", "nur eine");
        Block("BK", "b", "k", "Kassenleistung", "Leistung Kasse\nzweite Zeile\ndritte Zeile");
        Block("DL", "d", "l", "Steigerung", "Faktor 2,3\nBegr\xC3\xBCndung");
        AddGo("01", "BK", "DL");
        AddGo("02", " BK", "");
        AddGo("03", "DL", "BK");
    }

    int Run(bool neu, const char* preset, std::function<void(CdiaTB&)> act) {
        Script(act);
        CdiaTB editor(neu, nullptr);
        if (preset) editor.m_Tb.Kuerzel = preset;
        return editor.DoModal();
    }

    // Every head, every line (with or without a head) and every service.
    static std::string Practice() {
        std::string out;
        CQTb tb(dbDatabase);
        if (tb.GetAll() == XQ_OK) do
                out += tb.Kuerzel.str() + ":" + Stored(tb.Kuerzel.str().c_str()) + "\n";
            while (tb.Next() == XQ_OK);
        CQTbEntry line(dbDatabase);
        if (line.GetAll() == XQ_OK) do
                out += line.KYKUERZEL.str() + line.LFDTBENTRY.str() + ";";
            while (line.Next() == XQ_OK);
        return out + "\n" + GoRefs();
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
        ASSERT_EQ(go.Write(), XQ_OK);
    }

    static std::string GoRefs() {
        CQGO go(dbDatabase);
        std::string out;
        if (go.GetAll() == XQ_OK) do
                out += go.Nummer.str() + ":" + go.TbKasse1.str() + "," + go.TbPrivat2.str() + ";";
            while (go.Next() == XQ_OK);
        return out;
    }

    // Runs prepare and command on the block `kuerzel` of a fresh practice:
    // once untouched, then with the n-th SQLite call of command failing for
    // n = 1, 2, ... until none fails. Each time the practice is as before or
    // as after the untouched run, never in between; a failure shows a
    // message (a line record that could not be written: its reason in the
    // host log) and keeps mode and input, and what is shown can still be
    // saved before command gets through. Returns the number of failing runs.
    int Sweep(const char* kuerzel, const std::function<void(CdiaTB&)>& prepare,
              const std::function<void(CdiaTB&)>& command) {
        Fill();
        const std::string before = Practice();
        std::string after;
        for (int n = 0;; ++n) {
            bool fired = false;
            Run(false, kuerzel, [&](CdiaTB& d) {
                if (prepare) prepare(d);
                const int modus = d.GetModus();
                const CString typed = d.m_editKuerzel.GetText() + "|" + d.m_memoText.GetText();
                front.shownMessages.clear();
                testing::internal::CaptureStderr();
                fired = FailingCall(n, [&] { command(d); });
                const std::string log = testing::internal::GetCapturedStderr();
                if (n == 0 || Practice() != before) {
                    EXPECT_TRUE(d.GetModus() == MODUS_ANZEIGE || d.GetModus() == MODUS_LEER);
                    return;
                }
                if (front.shownMessages.empty())
                    EXPECT_NE(log.find("q7host: Textbaustein speichern: Lese- oder "
                                       "Schreibfehler der Datenbank"),
                              std::string::npos)
                        << n << log;
                else
                    EXPECT_EQ(front.shownMessages.back(), kWriteFailed);
                EXPECT_EQ(d.GetModus(), modus) << n;
                EXPECT_STREQ(d.m_editKuerzel.GetText() + "|" + d.m_memoText.GetText(), typed);
                front.shownMessages.clear();
                d.ClickToolbarButton(XQTB_SAVE);
                EXPECT_TRUE(front.shownMessages.empty()) << n;
                command(d);
            });
            if (n == 0) after = Practice();
            EXPECT_EQ(Practice(), after) << n;
            if (n > 0 && !fired) return n - 1;
            Fill();
        }
    }
};

TEST_F(EditorTest, OpensOnTheFirstBlockBrowsesAndRemembersTheWorkstationsLast) {
    Run(false, nullptr, [](CdiaTB& d) {
        EXPECT_EQ(d.GetModus(), MODUS_ANZEIGE);
        EXPECT_STREQ(d.m_memoText.GetText(), "erste\r\nzweite\r\ndritte");
        EXPECT_FALSE(d.IsToolbarButtonEnabled(XQTB_PREV));
        d.ClickToolbarButton(XQTB_NEXT);
        d.ClickToolbarButton(XQTB_NEXT);
        d.ClickToolbarButton(XQTB_PREV);
        EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN2");
        d.ClickToolbarButton(XQTB_EXIT);
        EXPECT_EQ(d.GetResult(), 1);
    });
    Run(false, nullptr, [](CdiaTB& d) { EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN2"); });

    ASSERT_EQ(dbDatabase->ExecRaw("DELETE FROM tb"), 0);
    Run(false, nullptr, [](CdiaTB& d) {
        EXPECT_EQ(d.GetModus(), MODUS_LEER);
        EXPECT_FALSE(d.IsToolbarButtonEnabled(XQTB_NEXT));
        d.PressKey({XQKey::Return, 0}, &d.m_editKuerzel);
        EXPECT_EQ(d.GetModus(), MODUS_NEU);
    });
}

TEST_F(EditorTest, ALineTooLongForTheGroupIsKeptShownAndMustBeShortened) {
    const std::string line40(40, 'x');
    Run(true, nullptr, [&](CdiaTB& d) {
        d.m_editKuerzel.UserType("RZ");
        Select(d, 'd', ' ');
        d.m_memoText.UserType((line40 + "\nzwei").c_str());
        Select(d, 'f', 'f');
        EXPECT_STREQ(d.m_memoText.GetText(), (line40 + "\r\nzwei").c_str());
        EXPECT_STREQ(d.m_memoText.GetHint(), "Maximal 37 Zeichen pro Zeile \x96 zu lang: Zeile 1");
        d.ClickToolbarButton(XQTB_SAVE);
        EXPECT_EQ(front.shownMessages.at(0),
                  "Hinweis|Zeile 1 ist 40 Zeichen lang; in dieser Gruppe passen h\366chstens 37 "
                  "Zeichen in eine Zeile. Bitte k\xFCrzen Sie die Zeile.");
        EXPECT_EQ(d.GetModus(), MODUS_NEU);
        EXPECT_EQ(Stored("RZ"), "-");

        EXPECT_TRUE(d.m_checkKasse.IsWindowVisible());
        d.m_checkPrivat.UserClick();
        d.m_checkKasse.UserClick();  // neither ticked: Privat comes back
        EXPECT_FALSE(d.m_checkKasse.GetCheck());
        EXPECT_TRUE(d.m_checkPrivat.GetCheck());
        d.m_memoText.UserType(line40.substr(0, 37).c_str());
        EXPECT_STREQ(d.m_memoText.GetHint(), "Maximal 37 Zeichen pro Zeile");
        d.ClickToolbarButton(XQTB_SAVE);
        EXPECT_EQ(d.GetModus(), MODUS_ANZEIGE);
    });
    EXPECT_EQ(Stored("RZ"), "f/f//p|  0=" + line40.substr(0, 37));

    Run(false, "RZ", [&](CdiaTB& d) {
        EXPECT_FALSE(d.m_checkKasse.GetCheck());
        d.m_memoText.UserType(line40.c_str());
        Select(d, 'f', 'l');
        EXPECT_EQ(d.m_memoText.GetMaxLineLength(), 43);
        EXPECT_FALSE(d.m_checkPrivat.IsWindowVisible());
        d.ClickToolbarButton(XQTB_SAVE);
        Select(d, 'b', ' ');  // member l is not in group b
        EXPECT_EQ(d.m_comboUntergruppe.GetCurSel(), -1);
        EXPECT_EQ(d.m_memoText.GetMaxLineLength(), 50);
    });
    EXPECT_EQ(Stored("RZ"), "f/l//|  0=" + line40);
}

TEST_F(EditorTest, EveryFailingCallOfASaveLeavesTheOldOrTheNewBlock) {
    auto save = [](CdiaTB& d) { d.ClickToolbarButton(XQTB_SAVE); };
    auto type = [](CdiaTB& d) { d.m_memoText.UserType("eins\nzwei"); };
    EXPECT_GT(Sweep("AN1", type, save), 10);
    EXPECT_EQ(Stored("AN1"), "a/a/Anamnese eins/|  0=eins|  1=zwei");

    // Under a new Kürzel the services' references to a block of group b follow.
    auto rename = [](CdiaTB& d) {
        d.m_editKuerzel.UserType(" BK2 ");
        d.m_memoText.UserType("eins\nzwei");
    };
    EXPECT_GT(Sweep("BK", rename, save), 15);
    EXPECT_EQ(Stored("BK2"), "b/k/Kassenleistung/|  0=eins|  1=zwei");
    EXPECT_EQ(Stored("BK"), "-");
    EXPECT_EQ(GoRefs(), "01:BK2,DL;02:BK2,;03:DL,BK;");
    EXPECT_EQ(front.shownProgress.back(), "\334berpr\374fe Leistungen...");
}

// A database another workstation keeps locked begins nothing: the box names
// the reason, the input and the mode stay (a full disk: the end-to-end test).
TEST_F(EditorTest, ASaveTheLockedDatabaseRefusesKeepsTheOldBlockTheInputAndTheMode) {
    Q7_FILE_STORE_ONLY();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(DbPath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(dbDatabase->ExecRaw("PRAGMA busy_timeout=50"), SQLITE_OK);
    const std::string old = Stored("AN1");
    Run(false, "AN1", [&](CdiaTB& d) {
        d.m_memoText.UserType("neu\nzwei\ndrei\nvier");
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        d.ClickToolbarButton(XQTB_SAVE);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        EXPECT_EQ(front.shownMessages, std::vector<CString>{kWriteFailed});
        EXPECT_EQ(dbDatabase->LastError(), "Die Datenbank ist gesperrt");
        EXPECT_EQ(d.GetModus(), MODUS_GEAENDERT);
        EXPECT_EQ(Stored("AN1"), old);
        d.ClickToolbarButton(XQTB_SAVE);
        EXPECT_EQ(d.GetModus(), MODUS_ANZEIGE);
    });
    sqlite3_close(other);
    // The three stored lines are reused, the fourth added.
    EXPECT_EQ(Stored("AN1"), "a/a/Anamnese eins/|  0=neu|  1=zwei|  2=drei|  3=vier");
}

// Deleting a block of group d blanks the services' references to it.
TEST_F(EditorTest, EveryFailingCallOfADeleteLeavesTheBlockWithItsReferencesOrNothing) {
    auto remove = [this](CdiaTB& d) {
        front.messageAnswers = {kYes};
        d.ClickToolbarButton(XQTB_DELETE);
    };
    EXPECT_GT(Sweep("DL", nullptr, remove), 20);
    EXPECT_EQ(Stored("DL"), "-");
    EXPECT_EQ(Practice().find("DL  0"), std::string::npos);
    EXPECT_EQ(GoRefs(), "01:BK,        ;02: BK,;03:DL,BK;");
    Fill();
    Run(false, "DL", [&](CdiaTB& d) {
        remove(d);
        EXPECT_STREQ(d.m_editKuerzel.GetText(), "BK");  // DL was the last one
    });
}

TEST_F(EditorTest, ATakenKuerzelIsRefusedAndBothBlocksStayAsTheyWere) {
    Run(false, "AN1", [this](CdiaTB& d) {
        d.m_editKuerzel.UserType("AN2");
        d.m_memoText.UserType("fremd");
        front.messageAnswers = {0, kNo};
        d.ClickToolbarButton(XQTB_SAVE);
        EXPECT_EQ(front.shownMessages.at(0),
                  "Hinweis|Das K\xFCrzel \204AN2\x93 ist bereits vergeben. Bitte w\xE4hlen Sie ein "
                  "anderes.");
        EXPECT_EQ(d.GetModus(), MODUS_GEAENDERT);
        d.ClickToolbarButton(XQTB_NEW);  // the changes are dropped
        d.m_editKuerzel.UserType("BK");
        Select(d, 'a', 'a');
        d.ClickToolbarButton(XQTB_SAVE);
        EXPECT_EQ(d.GetModus(), MODUS_NEU);
    });
    EXPECT_EQ(front.shownMessages.size(), 3u);
    EXPECT_EQ(Stored("AN1"), "a/a/Anamnese eins/|  0=erste|  1=zweite|  2=dritte");
    EXPECT_EQ(Stored("AN2"), "a/a/Anamnese zwei/|  0=nur eine");
    EXPECT_EQ(Stored("BK").substr(0, 4), "b/k/");
}

TEST_F(EditorTest, LeavingAChangedBlockAsksCopyStoresASecondOneAndUndoGoesBack) {
    Run(false, "AN1", [this](CdiaTB& d) {
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
        EXPECT_EQ(front.shownMessages.size(), 3u);

        d.ClickToolbarButton(XQTB_COPY);
        d.m_editKuerzel.UserType("AN3");
        d.ClickToolbarButton(XQTB_SAVE);
        d.ClickToolbarButton(XQTB_NEW);
        front.messageAnswers = {kYes};
        d.ClickToolbarButton(XQTB_UNDO);
        EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN3");
        d.m_memoText.UserType("verworfen");
        front.messageAnswers = {kYes};
        d.ClickToolbarButton(XQTB_UNDO);
        EXPECT_STREQ(d.m_memoText.GetText(), "erste\r\nzweite\r\ndritte");
        EXPECT_EQ(d.GetModus(), MODUS_ANZEIGE);
    });
    EXPECT_EQ(Stored("AN1"), "a/a/Anamnese eins/|  0=erste|  1=zweite|  2=dritte");
    EXPECT_EQ(Stored("AN2"), "a/a/Anamnese zwei/|  0=gespeichert");
    EXPECT_EQ(Stored("AN3"), "a/a/Anamnese eins/|  0=erste|  1=zweite|  2=dritte");
}

TEST_F(EditorTest, KuerzelFieldReactsToChangeLeaveAndReturn) {
    Run(false, "AN1", [this](CdiaTB& d) {
        d.m_editKuerzel.UserType("AN");
        // Only the Kürzel changed: Return looks it up; "AN" names none, so
        // the search dialog opens preset with it.
        Script<CdiaSuchTB>([](CdiaSuchTB& s) {
            EXPECT_STREQ(s.m_editKuerzel.GetText(), "AN");
            s.m_grid.UserDblClick(1);
        });
        d.PressKey({XQKey::Return, 0}, &d.m_editKuerzel);
        EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN2");

        // Return on a Kürzel that exists reads it; the mode stays.
        d.m_editKuerzel.UserType("AN1");
        d.PressKey({XQKey::Return, 0}, &d.m_editKuerzel);
        EXPECT_STREQ(d.m_memoText.GetText(), "erste\r\nzweite\r\ndritte");
        EXPECT_EQ(d.GetModus(), MODUS_GEAENDERT);

        d.m_editKuerzel.UserType("ZZ");
        d.PressKey({XQKey::Return, 0}, &d.m_editKuerzel);
        EXPECT_EQ(d.GetModus(), MODUS_NEU);
        EXPECT_STREQ(d.m_editKuerzel.GetText(), "ZZ");
        EXPECT_TRUE(d.m_memoText.GetText().IsEmpty());
        d.m_editKuerzel.UserType("DL");
        d.PressKey({XQKey::Return, 0}, &d.m_editKuerzel);
        EXPECT_STREQ(d.m_memoText.GetText(), "Faktor 2,3\r\nBegr\xFCndung");
        EXPECT_EQ(d.GetModus(), MODUS_NEU);

        // Leaving the field on a Kürzel that exists offers the block.
        d.m_editKuerzel.UserType("BK");
        front.messageAnswers = {kNo};
        d.SetFocusTo(&d.m_memoText);
        EXPECT_EQ(d.GetFocus(), &d.m_editKuerzel);
        EXPECT_EQ(d.GetModus(), MODUS_NEU);
        front.messageAnswers = {kYes};
        d.SetFocusTo(&d.m_memoText);
        EXPECT_EQ(d.GetModus(), MODUS_GEAENDERT);
        EXPECT_STREQ(d.m_memoText.GetText(), "Leistung Kasse\r\nzweite Zeile\r\ndritte Zeile");

        // Return on an empty field in mode 1 searches with an empty preset.
        d.m_editKuerzel.UserType("");
        Script<CdiaSuchTB>([](CdiaSuchTB& s) { EXPECT_EQ(s.m_grid.GetLineCount(), 4); });
        d.PressKey({XQKey::Return, 0}, &d.m_editKuerzel);
        EXPECT_EQ(front.dialogsRun, 3);
    });
}

TEST_F(EditorTest, SearchDialogAndEditorOpenEachOther) {
    // The editor's search hands New and Edit back as results 2 and 3; only
    // a changed block asks before it is left.
    auto edit = [this](int line) {
        Script<CdiaSuchTB>([line](CdiaSuchTB& search) {
            search.m_editKuerzel.UserType("");
            search.m_grid.UserSelectLine(line);
            search.ClickToolbarButton(XQTB_EDIT);
        });
    };
    Run(false, "AN1", [&](CdiaTB& d) {
        edit(3);
        d.ClickToolbarButton(XQTB_SEARCH);
        EXPECT_STREQ(d.m_editKuerzel.GetText(), "DL");
        front.dialogs.push_back([](CXQDialog& s) { s.ClickToolbarButton(XQTB_NEW); });
        d.PressKey({XQKey::F5, 0}, nullptr);
        EXPECT_EQ(d.GetModus(), MODUS_NEU);
        d.m_memoText.UserType("verworfen");
        edit(1);
        d.ClickToolbarButton(XQTB_SEARCH);
        EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN2");
        EXPECT_TRUE(front.shownMessages.empty());
        d.m_memoText.UserType("ge\xE4ndert");
        front.messageAnswers = {kCancel};
        edit(0);
        d.ClickToolbarButton(XQTB_SEARCH);
        EXPECT_STREQ(d.m_editKuerzel.GetText(), "AN2");
        EXPECT_EQ(front.shownMessages.size(), 1u);
    });

    // Opened by anyone else, the search dialog opens the editor itself.
    Script<CdiaSuchTB>([this](CdiaSuchTB& search) {
        Script<CdiaTB>([](CdiaTB& editor) {
            EXPECT_EQ(editor.GetModus(), MODUS_NEU);
            editor.m_editKuerzel.UserType("NEU");
            Select(editor, 'a', 'a');
            editor.ClickToolbarButton(XQTB_SAVE);
            editor.ClickToolbarButton(XQTB_EXIT);
        });
        search.ClickToolbarButton(XQTB_NEW);
        Script<CdiaTB>([](CdiaTB& e) { EXPECT_STREQ(e.m_editKuerzel.GetText(), "NEU"); });
        search.ClickToolbarButton(XQTB_EDIT);
    });
    CString kuerzel;
    Q7SuchTB(&kuerzel, "", "", nullptr);
    EXPECT_EQ(Stored("NEU"), "a/a//");
}

}  // namespace
