#include "host/ui/text/XQTextFrontEnd.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/base/HostContext.h"
#include "host/dlg/XQDialog.h"
#include "host/dlg/XQMessages.h"

namespace {

enum { IDD_MAIN = 700, IDD_INNER = 701 };

// Template controls by their labels, numbered 1, 2, ... (the tab order).
// Bound controls take their kind from the member; the others are edits.
std::vector<XQControlTemplate> Controls(const std::vector<const char*>& labels) {
    std::vector<XQControlTemplate> controls;
    for (const char* label : labels) {
        XQControlTemplate& t = controls.emplace_back();
        t.id = static_cast<int>(controls.size());
        t.label = label;
    }
    return controls;
}

XQResourceModule& Module() {
    static XQResourceModule module = [] {
        XQResourceModule m{"uitexttest"};
        XQDialogTemplate& t = m.templates[IDD_MAIN] = {IDD_MAIN, "Textbausteine"};
        t.controls = Controls({"&K\xFCrzel:", "K\xFCrzel", "Gruppe", "Gruppe", "Art", "&Privat",
                               "Text", "Treffer", "", "Kapitel", "&Suchen", "Hinweis", "Versteckt",
                               "Gesperrt", "&Neu"});
        t.controls[10].hint = "Suche starten";
        t.controls[11].kind = XQKind::Label;
        t.controls[12].visible = false;
        t.controls[13].enabled = false;
        t.toolbar = {{XQTB_EXIT, "ESC - Abbrechen"},
                     {XQTB_ACCEPT, "\334bernehmen", true, false},
                     {XQTB_HELP, "F1 - Hilfe"},
                     {XQTB_NEXT, "F10 - Weiter"},
                     {XQTB_PRINT, "Drucken", false}};
        m.templates[IDD_INNER] = {.number = IDD_INNER,
                                  .caption = "Innen",
                                  .controls = Controls({"Name"}),
                                  .toolbar = {{XQTB_EXIT, "ESC - Abbrechen"}}};
        return m;
    }();
    return module;
}

// What the dialogs did, a word and a blank each.
std::string g_log;
void Log(const CString& what) {
    g_log += what.str() + " ";
}

class InnerDialog : public CXQDialog {
  public:
    explicit InnerDialog(CWnd* parent) : CXQDialog(IDD_INNER, parent) { DDX_Control(1, m_name); }
    void OnExit() override {
        Log("exit:inner");
        CXQDialog::OnExit();
    }
    CXQLEditX m_name;
};

class MainDialog : public CXQDialog {
  public:
    MainDialog() : CXQDialog(IDD_MAIN, nullptr) {
        CWnd* const bound[] = {&m_kuerzel, &m_anzeige, &m_gruppe1, &m_gruppe2, &m_art,   &m_privat,
                               &m_text,    &m_treffer, &m_grid,    &m_tree,    &m_suchen};
        for (int id = 1; id <= 11; ++id) DDX_Control(id, *bound[id - 1]);
        DDX_Control(15, m_neu);
        SetHelpName("diaTest");
        m_kuerzel.onKillFocus = [] { Log("kill:kuerzel"); };
        m_gruppe2.onSetFocus = [] { Log("set:gruppe2"); };
        m_gruppe2.onChange = [this] { Log("change:" + m_gruppe2.GetText()); };
        m_art.onSelChange = [this] { Log(FormatString("art:%d", m_art.GetCurSel())); };
        m_privat.onClick = [] { Log("privat"); };
        m_treffer.onCheckChange = [](int line) { Log(FormatString("tick:%d", line)); };
        m_treffer.onClick = [this] { Log(FormatString("click:%d", m_treffer.GetCurSel())); };
        // The record set behind the grid: line m_row of m_rows.
        m_grid.onFillLine = [this] {
            m_grid.SetText(0, FormatString("%d", m_row));
            m_grid.SetText(1, FormatString("Zeile %d", m_row));
        };
        m_grid.onWantLineDown = [this] {
            if (m_grid.FirstDownPending()) return m_grid.LineDown();
            if (m_row + 1 < m_rows) ++m_row, m_grid.LineDown();
        };
        m_grid.onWantLineUp = [this] {
            if (m_row > 0) --m_row, m_grid.LineUp();
        };
        m_grid.onDblClick = [this] { Log(FormatString("grid:%d", m_row)); };
        m_suchen.onClick = [] {
            Log(FormatString("frage:%d", SollIchAbbruch("Frage", "Wirklich l\xF6schen?\nJa")));
        };
        m_neu.onClick = [this] {
            InnerDialog inner(this);
            const int result = inner.DoModal();
            Log(FormatString("inner:%d:", result) + inner.m_name.GetText());
        };
    }
    bool OnInitDialog() override {
        m_anzeige.SetCaption("ABC");
        for (const char* art : {"Arzt", "Zahnarzt"}) m_art.AddString(art);
        m_art.SetCurSel(1);
        m_privat.SetCheck(true);
        m_text.SetText("Zeile 1\r\nZeile 2");
        m_treffer.SetCheckable(true);
        for (const char* line : {"Eins", "Zwei\tB", "Drei"}) m_treffer.AddString(line);
        m_treffer.SetCheck(0, true);
        m_treffer.SetItemColor(1, XQRGB(255, 0, 0));
        m_treffer.SetItemColor(2, XQRGB(0, 128, 255));
        m_grid.SetColumns({{"Nr", 40}, {"Text", 100}});
        m_grid.InitDown(m_rows);
        const HTREEITEM a = m_tree.InsertItem("A");
        m_tree.InsertItem("A1", a);
        m_tree.Expand(a);
        m_tree.InsertItem("B1", m_tree.InsertItem("B"));
        SetTimer(1, 250);
        return CXQDialog::OnInitDialog();
    }
    void OnExit() override {
        Log("exit:outer");
        if (!m_refuseExit) CXQDialog::OnExit();
    }
    void OnNext() override { Log("next"); }
    void OnTimer(int id) override { Log(FormatString("timer:%d", id)); }
    void OnCTRL_P() override {
        CString text("<<Name>> aus <<Ort=K\xF6ln>>");
        Log((XQParamBox(text) ? "param:" : "param-cancel:") + text);
    }
    void OnCTRL_D() override {
        CString path("liste.xml");
        Log((XQFileDialog(true, "Export", "XML|*.xml", "xml", path) ? "file:" : "file-cancel:") +
            path);
    }
    void OnCTRL_B() override {
        Q7Beep(0);
        Q7OpenProgressBox("Lese Katalog");
        Q7UpdateProgressBox(50);
        Q7CloseProgressBox();
        XQPrintDocument("/tmp/q7_tb.dat");
    }
    void SprachkommandoVerarbeiten(const char* command, int number) override {
        Log(FormatString("speech:%s:%d", command, number));
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
    bool m_refuseExit = false;
};

const std::string kBox = "MESSAGE SollIchAbbruch: Frage | Wirklich l\xC3\xB6schen?\\nJa\n";

class TextFrontEndTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { XQRegisterModule(&Module()); }
    static void TearDownTestSuite() { XQUnregisterModule(&Module()); }
    void SetUp() override { g_log.clear(); }

    // Runs the main dialog with the script; returns what was printed. A
    // misfit throws; without m_throwing the front end keeps it.
    std::string Run(const std::string& script, MainDialog& dialog) {
        std::istringstream in(script);
        std::ostringstream out;
        CXQTextFrontEnd frontEnd(&in, out);
        if (m_throwing)
            frontEnd.SetMisfitHandler(
                [](const std::string& reason) { throw std::runtime_error(reason); });
        frontEnd.SetInteractive(m_interactive);
        XQSetFrontEnd(&frontEnd);
        m_result = dialog.DoModal();
        m_ended = frontEnd.ScriptEnded();
        m_kept = frontEnd.HasMisfit() ? frontEnd.MisfitReason() : "";
        return out.str();
    }
    std::string Run(const std::string& script) {
        MainDialog dialog;
        return Run(script, dialog);
    }
    // The reason of the misfit the script causes ("" when it fits).
    std::string MisfitOf(const std::string& script) {
        m_throwing = false;
        Run(script);
        m_throwing = true;
        return m_kept;
    }

    int m_result = 0;
    bool m_ended = false, m_throwing = true, m_interactive = false;
    std::string m_kept;
};

TEST_F(TextFrontEndTest, DumpShowsVisibleControlsInTabOrderAsUtf8) {
    const std::string out = Run("type K\xC3\xBCrzel M\xC3\xBCller\nline grid 1\ndump\n");
    EXPECT_EQ(out,
              "== Textbausteine\n"
              "edit K\xC3\xBCrzel: M\xC3\xBCller\n"
              "caption K\xC3\xBCrzel: ABC\n"
              "edit Gruppe:\nedit Gruppe:\n"
              "combo Art: Zahnarzt\n"
              "check Privat: on\n"
              "memo Text:\n  Zeile 1\n  Zeile 2\n"
              "list Treffer:\n  [0*] Eins\n  [1] {#FF0000}Zwei\\tB\n  [2] {#0080FF}Drei\n"
              "grid:\n  [0] 0 | Zeile 0\n> [1] 1 | Zeile 1\n  [2] 2 | Zeile 2\n"
              "tree Kapitel:\n  A\n    A1\n  B\n"
              "button Suchen: Suche starten\n"
              "edit Gesperrt: [disabled]\n"
              "button Neu:\n"
              "button #10001: ESC - Abbrechen\n"
              "button #10005: \303\234bernehmen [disabled]\n"
              "button #10025: F1 - Hilfe\n"
              "button #10010: F10 - Weiter\n"
              "==\n");

    // A long grid: at least the first twenty lines and the current one.
    MainDialog longGrid;
    longGrid.m_rows = 500;
    const std::string page = Run("line grid 300\ndump\n", longGrid);
    std::string first = "grid:\n";
    for (int i = 0; i < 20; ++i) first += FormatString("  [%d] %d | Zeile %d\n", i, i, i).str();
    EXPECT_NE(page.find(first), std::string::npos) << page;
    EXPECT_NE(page.find("\n> [300] 300 | Zeile 300\n"), std::string::npos);
    EXPECT_EQ(longGrid.m_row, 300);  // the record set is back on the current line
}

TEST_F(TextFrontEndTest, NamesByIndexHintStartAndKindAndActionsAsTheUserDoesThem) {
    MainDialog dialog;
    const std::string out =
        Run("# a comment\n\n"
            "type Gruppe#2 G2\n"
            "type K\xC3\xBCrzel abc\n"  // the edit, not the caption of the same label
            "click F1\n"                // "F1 - Hilfe", not "F10 - Weiter"
            "click F10 - Weiter\nclick #10010\n"
            "type memo Eins\\nZwei\n"
            "tick list 2 on\ntick list 0 on\n"  // already ticked: nothing happens
            "line list 1\nclick list 2\n"       // only the click is one
            "dblclick grid 2\nline tree 2\n"
            "select Art Arz\nselect Art 1\ncheck Privat off\n"
            "speech n\303\244chster Eintrag\n"
            "focus Gruppe#1\nkey Tab\n"  // the field's neighbour in tab order takes the focus
            "wait 100\nwait 200\n",
            dialog);
    EXPECT_EQ(dialog.m_kuerzel.GetText(), CString("abc"));
    EXPECT_EQ(dialog.m_text.GetText(), CString("Eins\r\nZwei"));
    EXPECT_EQ(dialog.m_tree.GetItemText(dialog.m_tree.GetSelectedItem()), CString("B"));
    EXPECT_EQ(out, "OPEN: help:diaTest\n");
    EXPECT_EQ(g_log,
              "kill:kuerzel set:gruppe2 change:G2 next next kill:kuerzel tick:2 click:2 grid:2 "
              "art:0 art:1 privat speech:n\344chster Eintrag:0 set:gruppe2 timer:1 exit:outer ");
}

TEST_F(TextFrontEndTest, ScriptsThatDoNotFitTheDialogAreMisfitsNamingTheLine) {
    const std::pair<const char*, const char*> misfits[] = {
        {"type Gruppe x", "mehrdeutig"},
        {"type Gruppe#3 x", "kein Steuerelement"},
        {"type Versteckt x", "ausgeblendet"},
        {"click #10011", "ausgeblendet"},
        {"type Gesperrt x", "gesperrt"},
        {"click #10005", "gesperrt"},
        {"key Tab Gesperrt", "gesperrt"},
        {"type Privat x", "schreiben"},
        {"select Art Zz", "kein Eintrag"},
        {"line grid 3", "3 Zeilen"},
        {"click Art 1", "keine Liste"},
        {"tab 1", "unbekannte Aktion"},
        {"key Hyper", "Taste"},
        {"answer yes", "keine Meldung"},
        {"click Suchen\ndump", "keine Antwort"},
        {"click Suchen\nanswer 4", "3 Schaltfl"},
        {"click Suchen\nanswer Vielleicht", "keine Schaltfl"}};
    for (const auto& [script, reason] : misfits)
        EXPECT_NE(MisfitOf(script).find(reason), std::string::npos) << script;
    // The reason names the line, in UTF-8; a handler takes it at once.
    EXPECT_EQ(MisfitOf("dump\nclick K\xC3\xA4se\n"),
              "Zeile 2 (click K\xC3\xA4se): kein Steuerelement \"K\xC3\xA4se\"");
    EXPECT_THROW(Run("click Nirgends\n"), std::runtime_error);

    // A person at the terminal mistypes: the line is skipped, a box asks again.
    g_log.clear();
    m_interactive = true;
    EXPECT_EQ(Run("click Nirgendwo\nclick Suchen\ndump\nanswer 7\nanswer no\n"),
              kBox + kBox + kBox);
    EXPECT_EQ(g_log, "kill:kuerzel frage:11 exit:outer ");
}

TEST_F(TextFrontEndTest, BoxesTakeTheirAnswersAndAreCancelledAtTheScriptsEnd) {
    EXPECT_EQ(Run("click Suchen\nanswer no\nclick Suchen\nanswer 1\nclick Suchen\nanswer Abb\n"
                  "click Suchen\n"),
              kBox + kBox + kBox + kBox);
    EXPECT_EQ(g_log, "kill:kuerzel frage:11 frage:10 frage:2 frage:2 exit:outer ");
    EXPECT_TRUE(m_ended);

    g_log.clear();
    const std::string param = "PARAMBOX: Name\nPARAMBOX: Ort=K\xC3\xB6ln\n";
    const std::string file = "FILEDIALOG save: Export | liste.xml\n";
    EXPECT_EQ(Run("key Ctrl+P\nanswer M\xC3\xBCller\nanswer ok\n"
                  "key Ctrl+P\nanswer =ok\nanswer =cancel\n"
                  "key Ctrl+P\nanswer cancel\n"
                  "key ctrl+d\nanswer /tmp/x\n"
                  "key Ctrl+D\nanswer cancel\n"
                  "key Ctrl+B\n"
                  "key Ctrl+P\n"),
              param + param + "PARAMBOX: Name\n" + file + file +
                  "BEEP\nPROGRESS: Lese Katalog\nPRINT: /tmp/q7_tb.dat\n" + param);
    EXPECT_EQ(g_log,
              "param:M\xFCller aus K\xF6ln param:ok aus cancel "
              "param-cancel:<<Name>> aus <<Ort=K\xF6ln>> file:/tmp/x.xml file-cancel:liste.xml "
              "param-cancel:<<Name>> aus <<Ort=K\xF6ln>> exit:outer ");
}

// Scripts come from every editor: a byte order mark and any of the three line
// ends read as the same lines; a line that is not UTF-8 is refused, not typed.
TEST_F(TextFrontEndTest, ScriptsReadTheirLinesWhateverTheEditorAndRefuseInvalidUtf8) {
    // The script, the group typed, the misfit.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"\xEF\xBB\xBFtype K\xC3\xBCrzel M\xC3\xBCller\ntype Gruppe#1 G\n", "G", ""},
        {"type K\xC3\xBCrzel M\xC3\xBCller\rtype Gruppe#1 G\r", "G", ""},
        {"type K\xC3\xBCrzel M\xC3\xBCller\r\n\r\ntype Gruppe#1 G", "G", ""},
        {"type K\xC3\xBCrzel M\xC3\xBCller\r\ntype Gruppe#1 G\xFC\r\n", "",
         "Zeile 2: die Zeile ist kein g\xC3\xBCltiges UTF-8"},
    };
    m_throwing = false;
    for (auto [script, gruppe, misfit] : cases) {
        MainDialog dialog;
        Run(script, dialog);
        EXPECT_EQ(dialog.m_kuerzel.GetText() + "|" + dialog.m_gruppe1.GetText(),
                  CString("M\xFCller|") + gruppe)
            << script;
        EXPECT_EQ(m_kept, misfit) << script;
    }
}

// The reason behind a failure shows under the box's own text, one line.
TEST_F(TextFrontEndTest, ABoxWithAReasonPrintsItsDetailsAfterItsLine) {
    std::istringstream in("answer ok\nanswer ok\n");
    std::ostringstream out;
    CXQTextFrontEnd frontEnd(&in, out);
    XQSetFrontEnd(&frontEnd);
    EXPECT_EQ(HaltEReason(0, "Nicht gespeichert", "Datentr\xE4ger voll\nBlock 3"), 1);
    EXPECT_EQ(HaltEReason(0, "Nicht gespeichert", ""), 1);
    EXPECT_EQ(out.str(),
              "MESSAGE HaltE: Hinweis | Nicht gespeichert\n"
              "Details: Datentr\xC3\xA4ger voll\\nBlock 3\n"
              "MESSAGE HaltE: Hinweis | Nicht gespeichert\n");
    EXPECT_TRUE(frontEnd.ScriptEnded());
}

// At the end of the script, and after a misfit the front end keeps (no
// handler), the work unwinds: boxes are cancelled, dialogs left topmost first.
TEST_F(TextFrontEndTest, ScriptEndAndAKeptMisfitLeaveTheDialogsTopmostFirst) {
    MainDialog dialog;
    dialog.m_refuseExit = true;  // its exit command keeps it open: it is ended all the same
    Run("click Neu\ntype Name Anna\n", dialog);
    EXPECT_EQ(m_result, 2);
    // Escape ends the inner dialog; the following lines go to the outer one.
    EXPECT_EQ(Run("click Neu\nkey Escape\ndump\nclick ESC\n").find("== Textbausteine\n"), 0u);
    EXPECT_EQ(g_log,
              "kill:kuerzel exit:inner inner:2:Anna exit:outer kill:kuerzel exit:inner inner:2: "
              "exit:outer ");

    // After a misfit no more lines are read and nothing more is printed.
    g_log.clear();
    m_throwing = false;
    EXPECT_EQ(Run("click Suchen\nanswer 9\nanswer yes\ndump\n"), kBox);
    Run("click Neu\nclick Nirgends\ntype Name Anna\n");
    EXPECT_EQ(g_log,
              "kill:kuerzel frage:2 exit:outer kill:kuerzel exit:inner inner:2: exit:outer ");
}

}  // namespace
