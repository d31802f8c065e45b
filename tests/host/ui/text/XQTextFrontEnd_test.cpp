#include "host/ui/text/XQTextFrontEnd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/base/HostContext.h"
#include "host/dlg/XQDialog.h"
#include "host/dlg/XQMessages.h"

namespace {

enum {
    IDD_MAIN = 700,
    IDD_INNER = 701,
    IDC_KUERZEL = 1,
    IDC_KUERZEL_ANZEIGE,
    IDC_GRUPPE1,
    IDC_GRUPPE2,
    IDC_ART,
    IDC_PRIVAT,
    IDC_TEXT,
    IDC_TREFFER,
    IDC_GRID,
    IDC_TREE,
    IDC_SUCHEN,
    IDC_HINWEIS,
    IDC_VERSTECKT,
    IDC_GESPERRT,
    IDC_NEU,
    IDC_NAME = 30
};

XQControlTemplate Ctl(int id, XQKind kind, const char* label, bool visible = true,
                      bool enabled = true) {
    XQControlTemplate t;
    t.id = id;
    t.kind = kind;
    t.label = label;
    t.visible = visible;
    t.enabled = enabled;
    return t;
}

XQResourceModule& Module() {
    static XQResourceModule module = [] {
        XQResourceModule m;
        m.name = "uitexttest";
        XQDialogTemplate& t = m.templates[IDD_MAIN];
        t.number = IDD_MAIN;
        t.caption = "Textbausteine";
        t.controls = {Ctl(IDC_KUERZEL, XQKind::Edit, "&K\xFCrzel:"),
                      Ctl(IDC_KUERZEL_ANZEIGE, XQKind::Caption, "K\xFCrzel"),
                      Ctl(IDC_GRUPPE1, XQKind::Edit, "Gruppe"),
                      Ctl(IDC_GRUPPE2, XQKind::Edit, "Gruppe"),
                      Ctl(IDC_ART, XQKind::Combo, "Art"),
                      Ctl(IDC_PRIVAT, XQKind::Check, "&Privat"),
                      Ctl(IDC_TEXT, XQKind::Memo, "Text"),
                      Ctl(IDC_TREFFER, XQKind::List, "Treffer"),
                      Ctl(IDC_GRID, XQKind::Grid, ""),
                      Ctl(IDC_TREE, XQKind::Tree, "Kapitel"),
                      Ctl(IDC_SUCHEN, XQKind::Button, "&Suchen"),
                      Ctl(IDC_HINWEIS, XQKind::Label, "Hinweis"),
                      Ctl(IDC_VERSTECKT, XQKind::Edit, "Versteckt", false),
                      Ctl(IDC_GESPERRT, XQKind::Edit, "Gesperrt", true, false),
                      Ctl(IDC_NEU, XQKind::Button, "&Neu")};
        t.controls[10].hint = "Suche starten";
        t.toolbar = {{XQTB_EXIT, "ESC - Abbrechen"},
                     {XQTB_ACCEPT,
                      "\xDC"
                      "bernehmen",
                      true, false},
                     {XQTB_HELP, "F1 - Hilfe"},
                     {XQTB_NEXT, "F10 - Weiter"},
                     {XQTB_PRINT, "Drucken", false}};
        XQDialogTemplate& inner = m.templates[IDD_INNER];
        inner.number = IDD_INNER;
        inner.caption = "Innen";
        inner.controls = {Ctl(IDC_NAME, XQKind::Edit, "Name")};
        inner.toolbar = {{XQTB_EXIT, "ESC - Abbrechen"}};
        return m;
    }();
    return module;
}

std::vector<std::string> g_log;

class InnerDialog : public CXQDialog {
  public:
    explicit InnerDialog(CWnd* parent) : CXQDialog(IDD_INNER, parent) {
        DDX_Control(IDC_NAME, m_name);
    }
    void OnExit() override {
        g_log.push_back("exit:inner");
        CXQDialog::OnExit();
    }
    CXQLEditX m_name;
};

class MainDialog : public CXQDialog {
  public:
    MainDialog() : CXQDialog(IDD_MAIN, nullptr) {
        DDX_Control(IDC_KUERZEL, m_kuerzel);
        DDX_Control(IDC_KUERZEL_ANZEIGE, m_anzeige);
        DDX_Control(IDC_GRUPPE1, m_gruppe1);
        DDX_Control(IDC_GRUPPE2, m_gruppe2);
        DDX_Control(IDC_ART, m_art);
        DDX_Control(IDC_PRIVAT, m_privat);
        DDX_Control(IDC_TEXT, m_text);
        DDX_Control(IDC_TREFFER, m_treffer);
        DDX_Control(IDC_GRID, m_grid);
        DDX_Control(IDC_TREE, m_tree);
        DDX_Control(IDC_SUCHEN, m_suchen);
        DDX_Control(IDC_NEU, m_neu);
        SetHelpName("diaTest");
        m_kuerzel.onKillFocus = [this] {
            if (m_logFocus) g_log.push_back("kill:kuerzel");
        };
        m_gruppe2.onSetFocus = [this] {
            if (m_logFocus) g_log.push_back("set:gruppe2");
        };
        m_gruppe2.onChange = [this] { g_log.push_back("change:" + m_gruppe2.GetText().str()); };
        m_art.onSelChange = [this] {
            g_log.push_back(FormatString("art:%d", m_art.GetCurSel()).str());
        };
        m_privat.onClick = [] { g_log.push_back("privat"); };
        m_treffer.onCheckChange = [](int line) {
            g_log.push_back(FormatString("tick:%d", line).str());
        };
        m_grid.onFillLine = [this] {
            m_grid.SetText(0, FormatString("%d", m_row));
            m_grid.SetText(1, FormatString("Zeile %d", m_row));
        };
        m_grid.onWantLineDown = [this] {
            if (m_fresh) {
                m_fresh = false;
                m_grid.LineDown();
            } else if (m_row + 1 < m_rows) {
                ++m_row;
                m_grid.LineDown();
            }
        };
        m_grid.onWantLineUp = [this] {
            m_fresh = false;
            if (m_row > 0) {
                --m_row;
                m_grid.LineUp();
            }
        };
        m_grid.onSkipLines = [this](int delta) {
            m_fresh = false;
            m_row = std::clamp(m_row + delta, 0, m_rows - 1);
        };
        m_grid.onDblClick = [this] { g_log.push_back(FormatString("grid:%d", m_row).str()); };
        m_suchen.onClick = [] {
            g_log.push_back(
                FormatString("frage:%d", SollIchAbbruch("Frage", "Wirklich l\xF6schen?\nJa"))
                    .str());
        };
        m_neu.onClick = [this] {
            InnerDialog inner(this);
            const int result = inner.DoModal();
            g_log.push_back(FormatString("inner:%d:", result).str() + inner.m_name.GetText().str());
        };
    }
    bool OnInitDialog() override {
        m_anzeige.SetCaption("ABC");
        m_art.AddString("Arzt");
        m_art.AddString("Zahnarzt");
        m_art.SetCurSel(1);
        m_privat.SetCheck(true);
        m_text.SetText("Zeile 1\r\nZeile 2");
        m_treffer.SetCheckable(true);
        m_treffer.AddString("Eins");
        m_treffer.AddString("Zwei\tB");
        m_treffer.AddString("Drei");
        m_treffer.SetCheck(0, true);
        m_treffer.SetItemColor(1, XQRGB(255, 0, 0));
        m_treffer.SetItemColor(2, XQRGB(0, 128, 255));
        m_grid.SetColumns({{"Nr", 40}, {"Text", 100}});
        m_row = 0;
        m_fresh = m_rows > 0;
        m_grid.InitDown(m_rows);
        const HTREEITEM a = m_tree.InsertItem("A");
        m_tree.InsertItem("A1", a);
        m_tree.Expand(a);
        m_tree.InsertItem("B1", m_tree.InsertItem("B"));
        if (m_timer) SetTimer(1, 250);
        return CXQDialog::OnInitDialog();
    }
    void OnExit() override {
        g_log.push_back("exit:outer");
        if (!m_refuseExit) CXQDialog::OnExit();
    }
    void OnNext() override { g_log.push_back("next"); }
    void OnTimer(int id) override { g_log.push_back(FormatString("timer:%d", id).str()); }
    void OnCTRL_P() override {
        CString text("<<Name>> aus <<Ort=K\xF6ln>>");
        const bool done = XQParamBox(text);
        g_log.push_back((done ? "param:" : "param-cancel:") + text.str());
    }
    void OnCTRL_D() override {
        CString path("liste.xml");
        const bool done = XQFileDialog(true, "Export", "XML|*.xml", "xml", path);
        g_log.push_back((done ? "file:" : "file-cancel:") + path.str());
    }
    void OnCTRL_B() override {
        Q7Beep(0);
        Q7OpenProgressBox("Lese Katalog");
        Q7UpdateProgressBox(50);
        Q7CloseProgressBox();
        XQPrintDocument("/tmp/q7_tb.dat");
    }
    void SprachkommandoVerarbeiten(const char* command, int number) override {
        g_log.push_back(FormatString("speech:%s:%d", command, number).str());
    }

    CXQLEditX m_kuerzel, m_gruppe1, m_gruppe2;
    CXQLabelX m_anzeige;
    CXQLComboX m_art;
    CXQLCheckX m_privat;
    CXQLMemoX m_text;
    CXQListBoxX m_treffer;
    CXQGridX m_grid;
    CXQTreeX m_tree;
    CXQButtonX m_suchen, m_neu;
    int m_rows = 3, m_row = 0;
    bool m_fresh = false, m_refuseExit = false, m_timer = false, m_logFocus = false;
};

struct Misfit : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class TextFrontEndTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { XQRegisterModule(&Module()); }
    static void TearDownTestSuite() { XQUnregisterModule(&Module()); }
    void SetUp() override { g_log.clear(); }

    // Runs the main dialog with the script; returns what was printed.
    std::string Run(const std::string& script, MainDialog& dialog) {
        std::istringstream in(script);
        std::ostringstream out;
        CXQTextFrontEnd frontEnd(&in, out);
        frontEnd.SetMisfitHandler([](const std::string& reason) { throw Misfit(reason); });
        XQSetFrontEnd(&frontEnd);
        m_result = dialog.DoModal();
        m_ended = frontEnd.ScriptEnded();
        return out.str();
    }
    std::string Run(const std::string& script) {
        MainDialog dialog;
        return Run(script, dialog);
    }
    // The reason of the misfit the script causes ("" when it fits).
    std::string MisfitOf(const std::string& script) {
        try {
            Run(script);
        } catch (const Misfit& misfit) {
            return misfit.what();
        }
        return "";
    }
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    int m_result = 0;
    bool m_ended = false;
};

TEST_F(TextFrontEndTest, DumpShowsVisibleControlsInTabOrderAsUtf8) {
    MainDialog dialog;
    const std::string out = Run("type K\xC3\xBCrzel M\xC3\xBCller\nline grid 1\ndump\n", dialog);
    EXPECT_EQ(dialog.m_kuerzel.GetText(), CString("M\xFCller"));
    EXPECT_EQ(out,
              "== Textbausteine\n"
              "edit K\xC3\xBCrzel: M\xC3\xBCller\n"
              "caption K\xC3\xBCrzel: ABC\n"
              "edit Gruppe:\n"
              "edit Gruppe:\n"
              "combo Art: Zahnarzt\n"
              "check Privat: on\n"
              "memo Text:\n"
              "  Zeile 1\n"
              "  Zeile 2\n"
              "list Treffer:\n"
              "  [0*] Eins\n"
              "  [1] {#FF0000}Zwei\\tB\n"
              "  [2] {#0080FF}Drei\n"
              "grid:\n"
              "  [0] 0 | Zeile 0\n"
              "> [1] 1 | Zeile 1\n"
              "  [2] 2 | Zeile 2\n"
              "tree Kapitel:\n"
              "  A\n"
              "    A1\n"
              "  B\n"
              "button Suchen: Suche starten\n"
              "edit Gesperrt: [disabled]\n"
              "button Neu:\n"
              "button #10001: ESC - Abbrechen\n"
              "button #10005: \xC3\x9C"
              "bernehmen [disabled]\n"
              "button #10025: F1 - Hilfe\n"
              "button #10010: F10 - Weiter\n"
              "==\n");
    EXPECT_EQ(m_result, 2);  // left with the exit command at the end of the script
}

TEST_F(TextFrontEndTest, LongGridDumpsAtLeastTheFirstTwentyLinesAndTheCurrentOne) {
    MainDialog dialog;
    dialog.m_rows = 500;
    const std::vector<std::string> lines = Lines(Run("line grid 300\ndump\n", dialog));
    auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(has("  [" + std::to_string(i) + "] " + std::to_string(i) + " | Zeile " +
                        std::to_string(i)))
            << i;
    EXPECT_TRUE(has("> [300] 300 | Zeile 300"));
    EXPECT_EQ(dialog.m_grid.GetCurLine(), 300);
    EXPECT_EQ(dialog.m_row, 300);  // the record set is back on the current line
}

TEST_F(TextFrontEndTest, NamesByIndexHintStartAndKindAndInputBeforeCaption) {
    MainDialog dialog;
    dialog.m_logFocus = true;
    const std::string out =
        Run("# a comment\n"
            "\n"
            "type Gruppe#2 G2\n"
            "type K\xC3\xBCrzel abc\n"  // the edit, not the caption of the same label
            "click F1\n"                // "F1 - Hilfe", not "F10 - Weiter"
            "click F10 - Weiter\n"
            "click #10010\n"
            "type memo Eins\\nZwei\n"
            "tick list 2 on\n"
            "tick list 0 on\n"  // already ticked: nothing happens
            "dblclick grid 2\n"
            "line tree 2\n"
            "select Art Arz\n"
            "select Art 1\n"
            "check Privat off\n"
            "speech n\xC3\xA4"
            "chster Eintrag\n",
            dialog);
    EXPECT_EQ(dialog.m_gruppe2.GetText(), CString("G2"));
    EXPECT_EQ(dialog.m_kuerzel.GetText(), CString("abc"));
    EXPECT_EQ(dialog.m_anzeige.GetCaption(), CString("ABC"));
    EXPECT_EQ(dialog.m_text.GetText(), CString("Eins\r\nZwei"));
    EXPECT_EQ(dialog.m_tree.GetItemText(dialog.m_tree.GetSelectedItem()), CString("B"));
    EXPECT_FALSE(dialog.m_privat.GetCheck());
    EXPECT_EQ(out, "OPEN: help:diaTest\n");
    const std::vector<std::string> expected = {"kill:kuerzel",
                                               "set:gruppe2",
                                               "change:G2",
                                               "next",
                                               "next",
                                               "kill:kuerzel",
                                               "tick:2",
                                               "grid:2",
                                               "art:0",
                                               "art:1",
                                               "privat",
                                               "speech:n\xE4"
                                               "chster Eintrag:0",
                                               "exit:outer"};
    EXPECT_EQ(g_log, expected);
}

TEST_F(TextFrontEndTest, ScriptsThatDoNotFitTheDialogAreMisfits) {
    EXPECT_NE(MisfitOf("type Gruppe x\n").find("mehrdeutig"), std::string::npos);
    EXPECT_NE(MisfitOf("type Gruppe#3 x\n").find("kein Steuerelement"), std::string::npos);
    EXPECT_NE(MisfitOf("type Versteckt x\n").find("ausgeblendet"), std::string::npos);
    EXPECT_NE(MisfitOf("type Gesperrt x\n").find("gesperrt"), std::string::npos);
    EXPECT_NE(MisfitOf("click #10005\n").find("gesperrt"), std::string::npos);
    EXPECT_NE(MisfitOf("click #10011\n").find("ausgeblendet"), std::string::npos);
    EXPECT_NE(MisfitOf("click Nirgends\n").find("kein Steuerelement"), std::string::npos);
    EXPECT_NE(MisfitOf("type Privat x\n").find("schreiben"), std::string::npos);
    EXPECT_NE(MisfitOf("select Art Zz\n").find("kein Eintrag"), std::string::npos);
    EXPECT_NE(MisfitOf("line grid 3\n").find("3 Zeilen"), std::string::npos);
    EXPECT_NE(MisfitOf("tab 1\n").find("unbekannte Aktion"), std::string::npos);
    EXPECT_NE(MisfitOf("key Hyper\n").find("Taste"), std::string::npos);
    EXPECT_NE(MisfitOf("answer yes\n").find("keine Meldung"), std::string::npos);
    // The reason names the line, in UTF-8.
    EXPECT_EQ(MisfitOf("dump\nclick K\xC3\xA4se\n"),
              "Zeile 2 (click K\xC3\xA4se): kein Steuerelement \"K\xC3\xA4se\"");
}

TEST_F(TextFrontEndTest, MessageBoxesAreAnsweredByWordNumberOrCaption) {
    const std::string out =
        Run("click Suchen\nanswer no\n"
            "click Suchen\nanswer 3\n"
            "click Suchen\nanswer Ja\n"
            "click Suchen\n");
    EXPECT_EQ(Lines(out).at(0), "MESSAGE SollIchAbbruch: Frage | Wirklich l\xC3\xB6schen?\\nJa");
    EXPECT_EQ(Lines(out).size(), 4u);  // the last box is shown though the script has ended
    const std::vector<std::string> expected = {"frage:11", "frage:2", "frage:10", "frage:2",
                                               "exit:outer"};
    EXPECT_EQ(g_log, expected);
    EXPECT_TRUE(m_ended);

    EXPECT_NE(MisfitOf("click Suchen\ndump\n").find("keine Antwort"), std::string::npos);
    EXPECT_NE(MisfitOf("click Suchen\nanswer 4\n").find("3 Schaltfl"), std::string::npos);
    EXPECT_NE(MisfitOf("click Suchen\nanswer Vielleicht\n").find("keine Schaltfl"),
              std::string::npos);
}

// A person at the terminal mistypes: the line is skipped, a box asks again.
TEST_F(TextFrontEndTest, InteractiveMisfitsAreSkippedAndBoxesAskAgain) {
    std::istringstream in("click Nirgendwo\nclick Suchen\ndump\nanswer 7\nanswer no\n");
    std::ostringstream out;
    CXQTextFrontEnd frontEnd(&in, out);
    frontEnd.SetMisfitHandler([](const std::string& reason) { throw Misfit(reason); });
    frontEnd.SetInteractive(true);
    XQSetFrontEnd(&frontEnd);
    MainDialog dialog;
    EXPECT_EQ(dialog.DoModal(), 2);
    const std::vector<std::string> expected = {"frage:11", "exit:outer"};
    EXPECT_EQ(g_log, expected);
    EXPECT_EQ(Lines(out.str()).size(), 3u);  // the box asked three times
}

TEST_F(TextFrontEndTest, ParamFileAndEffectBoxesPrintOneLineEach) {
    std::string out =
        Run("key Ctrl+P\nanswer M\xC3\xBCller\nanswer ok\n"
            "key Ctrl+P\nanswer =ok\nanswer cancel\n"
            "key ctrl+d\nanswer /tmp/x\n"
            "key Ctrl+D\nanswer cancel\n"
            "key Ctrl+B\n"
            "key Ctrl+P\n");
    EXPECT_EQ(out,
              "PARAMBOX: Name\n"
              "PARAMBOX: Ort=K\xC3\xB6ln\n"
              "PARAMBOX: Name\n"
              "PARAMBOX: Ort=K\xC3\xB6ln\n"
              "FILEDIALOG save: Export | liste.xml\n"
              "FILEDIALOG save: Export | liste.xml\n"
              "BEEP\n"
              "PROGRESS: Lese Katalog\n"
              "PRINT: /tmp/q7_tb.dat\n"
              "PARAMBOX: Name\n"
              "PARAMBOX: Ort=K\xC3\xB6ln\n");
    const std::vector<std::string> expected = {"param:M\xFCller aus K\xF6ln",
                                               "param-cancel:<<Name>> aus <<Ort=K\xF6ln>>",
                                               "file:/tmp/x.xml",
                                               "file-cancel:liste.xml",
                                               "param-cancel:<<Name>> aus <<Ort=K\xF6ln>>",
                                               "exit:outer"};
    EXPECT_EQ(g_log, expected);
}

TEST_F(TextFrontEndTest, ScriptEndLeavesNestedDialogsTopmostFirst) {
    MainDialog dialog;
    dialog.m_refuseExit = true;  // its exit command keeps it open: it is ended all the same
    Run("click Neu\ntype Name Anna\n", dialog);
    const std::vector<std::string> expected = {"exit:inner", "inner:2:Anna", "exit:outer"};
    EXPECT_EQ(g_log, expected);
    EXPECT_EQ(m_result, 2);

    // Escape ends the inner dialog; the following lines go to the outer one.
    g_log.clear();
    const std::string out = Run("click Neu\nkey Escape\ndump\nclick ESC\n");
    EXPECT_EQ(Lines(out).at(0), "== Textbausteine");
    EXPECT_EQ(g_log.back(), "exit:outer");
    EXPECT_EQ(g_log.at(1), "inner:2:");
}

TEST_F(TextFrontEndTest, TabLeavesTheFieldAndWaitFiresDueTimers) {
    MainDialog dialog;
    dialog.m_timer = true;
    dialog.m_logFocus = true;
    Run("focus Gruppe#1\nkey Tab\nwait 100\ndump\nwait 200\n", dialog);
    const std::vector<std::string> expected = {"kill:kuerzel", "set:gruppe2", "timer:1",
                                               "exit:outer"};
    EXPECT_EQ(g_log, expected);
    EXPECT_EQ(dialog.GetFocus(), &dialog.m_gruppe2);
    EXPECT_NE(MisfitOf("key Tab Gesperrt\n").find("gesperrt"), std::string::npos);
}

}  // namespace
