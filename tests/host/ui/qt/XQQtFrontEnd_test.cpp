// The window front end on the offscreen platform: a dialog of every kind of
// control opened from its template, its widgets compared with the model, the
// user's actions sent as real key and mouse events, boxes answered by
// clicking their buttons.
#include "host/ui/qt/XQQtFrontEnd.h"

#include <QTest>
#include <string>
#include <vector>

#include "host/dlg/XQMessages.h"
#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

// The controls' numbers are the widgets' names: control 5 is "ctl5".
XQResourceModule& Module() {
    static XQResourceModule module = [] {
        XQResourceModule m{"uiqttest"};
        XQDialogTemplate& t = m.templates[810] = {810, "Alle Steuerelemente", 620, 400};
        XQAddControl(t, 1, XQKind::Edit, "&K\xFCrzel", 10, 10, 200, 22, "Anfang des K\xFCrzels");
        XQAddControl(t, 2, XQKind::Combo, "&Gruppe", 220, 10, 200, 22);
        XQAddControl(t, 3, XQKind::Check, "&Privat", 430, 10, 100, 22);
        XQAddControl(t, 8, XQKind::Tab, "", 10, 40, 400, 26);
        XQAddControl(t, 4, XQKind::Memo, "&Text", 10, 70, 300, 120);
        XQAddControl(t, 5, XQKind::List, "&Liste", 320, 70, 290, 120);
        XQAddControl(t, 6, XQKind::Grid, "Treffer", 10, 200, 300, 150);
        XQAddControl(t, 7, XQKind::Tree, "Kapitel", 320, 200, 290, 150);
        XQAddControl(t, 9, XQKind::Caption, "Gew\xE4hlt:", 10, 360, 300, 22);
        XQAddControl(t, 10, XQKind::Button, "&Suchen", 320, 360, 90, 26, "Suche starten");
        XQAddControl(t, 11, XQKind::Edit, "Versteckt", 420, 360, 90, 22).visible = false;
        XQAddControl(t, 12, XQKind::Edit, "Gesperrt", 420, 360, 190, 22).enabled = false;
        t.toolbar = {{XQTB_EXIT, "ESC - Abbrechen"},
                     {XQTB_ACCEPT, "F2 - Speichern", true, false},
                     {XQTB_SEARCH, "F5 - Suchen"}};
        return m;
    }();
    return module;
}

class AllDialog : public CXQDialog {
  public:
    AllDialog() : CXQDialog(810, nullptr) {
        int id = 0;
        for (CWnd* control :
             std::initializer_list<CWnd*>{&kuerzel, &gruppe, &privat, &text, &liste, &grid,
                                          &kapitel, &reiter, &anzeige, &suchen})
            DDX_Control(++id, *control);  // in the order of the template's numbers
        // The grid's record set: numbered lines.
        grid.SetColumns({{"Nr", 60}, {"Text", 200}});
        grid.onFillLine = [this] {
            ++fills;
            grid.SetText(0, FormatString("%d", row));
            grid.SetText(1, FormatString("Zeile %d", row));
        };
        grid.onWantLineDown = [this] {
            if (fresh || row + 1 < hits) {
                row += fresh ? 0 : 1;
                fresh = false;
                grid.LineDown();
            }
        };
        grid.onSkipLines = [this](int delta) { row += delta; };
        grid.onDblClick = [this] { log.push_back(FormatString("dbl:%d", row).str()); };
    }
    void StartLines(int count) {
        hits = count;
        row = fills = 0;
        fresh = true;
        grid.InitDown(hits);
    }
    bool OnInitDialog() override {
        kuerzel.SetText("BEF");
        kuerzel.onChange = [this] { log.push_back("change:" + kuerzel.GetText().str()); };
        kuerzel.onReturn = [this] { log.push_back("return"); };
        for (const char* g : {"Befunde", "Briefe", "Rezepte"}) gruppe.AddString(g);
        gruppe.SetCurSel(1);
        gruppe.onKeyDown = [this](const XQKeyEvent& key) {
            if (key.key == XQKey::Backspace) log.push_back("backspace");
            return key.key == XQKey::Backspace;
        };
        gruppe.onSelChange = [this] {
            log.push_back("gruppe:" + gruppe.GetLBText(gruppe.GetCurSel()).str());
        };
        privat.SetCheck(true);
        privat.onClick = [this] { log.push_back(privat.GetCheck() ? "privat:on" : "privat:off"); };
        text.SetText("Erste Zeile\r\nZweite Zeile \xFC");
        liste.SetCheckable(true);
        liste.SetFixedPitch(true);
        liste.SetTabStops({60});
        for (const char* line : {"A01\tCholera", "B02\tZoster"}) liste.AddString(line);
        liste.SetCheck(1, true);
        liste.SetItemColor(1, XQRGB(255, 0, 0));
        liste.onCheckChange = [this](int line) {
            log.push_back(FormatString("tick:%d", line).str());
        };
        liste.onClick = [this] {
            log.push_back(FormatString("click:%d", liste.GetCurSel()).str());
        };
        StartLines(30);
        const HTREEITEM a = kapitel.InsertItem("Kapitel I");
        kapitel.InsertItem("A00-A09", a);
        kapitel.InsertItem("Kapitel II");
        kapitel.Expand(a);
        for (const char* tab : {"Suche", "Favoriten"}) reiter.AddTab(tab);
        anzeige.SetCaption("A01");
        suchen.onClick = [this] { log.push_back("suchen"); };
        return CXQDialog::OnInitDialog();
    }
    void OnSearch() override { log.push_back("F5"); }
    void OnCTRL_E() override { log.push_back("ctrl+e"); }
    void OnTimer(int id) override {
        ++timerFired;
        KillTimer(id);
    }

    CXQLEditX kuerzel;
    CXQLComboX gruppe;
    CXQLCheckX privat;
    CXQLMemoX text;
    CXQListBoxX liste;
    CXQGridX grid;
    CXQTreeX kapitel;
    CXQTabX reiter;
    CXQLabelX anzeige;
    CXQButtonX suchen;
    int hits = 0, row = 0, fills = 0;  // of the grid's record set
    bool fresh = true;
    std::vector<std::string> log;
    int timerFired = 0;
};

class QtFrontEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        XQRegisterModule(&Module());
        XQSetFrontEnd(&FrontEnd());
    }
    void TearDown() override { XQSetFrontEnd(nullptr); }
};

TEST_F(QtFrontEndTest, WidgetsShowTheModelAndFollowItsChanges) {
    AllDialog dialog;
    RunShown(dialog, [&](QWidget* w) {
        auto* kuerzel = w->findChild<QLineEdit*>("ctl1");
        auto* label = w->findChild<QWidget*>("box1")->findChild<QLabel*>();
        EXPECT_TRUE(kuerzel->hasFocus()) << "the first input control has the focus";
        auto* liste = w->findChild<QListWidget*>("ctl5");
        auto* kapitel = w->findChild<QTreeWidget*>("ctl7");
        ASSERT_EQ(kapitel->topLevelItemCount(), 2);
        // What the model sets beyond texts, checks and current lines.
        const QStringList shown = {
            label->text(),
            liste->item(1)->foreground().color().name(),
            QFontInfo(liste->font()).fixedPitch() ? "fest" : "proportional",
            w->findChild<QTableView*>("ctl6")->model()->headerData(1, Qt::Horizontal).toString(),
            kapitel->topLevelItem(0)->isExpanded() ? "offen" : "zu",
            kapitel->topLevelItem(0)->child(0)->text(0),
            w->findChild<QTabBar*>("ctl8")->tabText(1),
            w->findChild<QToolButton*>("tb10001")->text()};
        EXPECT_EQ(shown.join('|'),
                  Q("&K\xFCrzel|#ff0000|fest|Text|offen|A00-A09|Favoriten|ESC - Abbrechen"));

        // Changes made in code show once the event loop has run.
        dialog.SetWindowText("Neu");
        dialog.kuerzel.SetText("KONTR");
        dialog.gruppe.SetCurSel(2);
        dialog.privat.SetCheck(false);
        dialog.text.GetLines().Add("Dritte");
        dialog.liste.AddString("C03\tNeu");
        dialog.liste.SetCheck(0, true);
        dialog.kapitel.InsertItem("Kapitel III");
        dialog.anzeige.SetCaption("B02");
        dialog.reiter.SetCurSel(1);
        dialog.kuerzel.ShowWindow(false);
        dialog.suchen.EnableWindow(false);
        dialog.EnableToolbarButton(XQTB_ACCEPT, true);
        dialog.StartLines(5);
        QCoreApplication::processEvents();
        ExpectWidgetsShowModel(dialog, w);
        EXPECT_EQ(kapitel->topLevelItemCount(), 3);

        // A window timer fires as the clock runs.
        dialog.SetTimer(7, 30);
        QElapsedTimer waited;
        waited.start();
        while (!dialog.timerFired && waited.elapsed() < 3000) QCoreApplication::processEvents();
        EXPECT_EQ(dialog.timerFired, 1);

        dialog.EndDialog(1);
        QCoreApplication::processEvents();
        EXPECT_FALSE(w->isVisible()) << "the window closes with the dialog";
    });
    EXPECT_EQ(dialog.GetResult(), 1);
}

TEST_F(QtFrontEndTest, UserActionsReachTheModel) {
    AllDialog dialog;
    const int result = RunShown(dialog, [&](QWidget* w) {
        auto* kuerzel = w->findChild<QLineEdit*>("ctl1");
        kuerzel->setFocus();
        kuerzel->setCursorPosition(3);
        Key(kuerzel, Qt::Key_X, Qt::NoModifier, "x");
        int start, end;
        dialog.kuerzel.GetSel(start, end);
        EXPECT_EQ(end, 4) << "the caret reaches the model";
        Key(kuerzel, Qt::Key_Return);
        Key(kuerzel, Qt::Key_F5);
        Key(kuerzel, Qt::Key_E, Qt::ControlModifier);

        auto* gruppe = w->findChild<QComboBox*>("ctl2");
        Key(gruppe, Qt::Key_Down);  // a key the control leaves goes to the widget
        Key(gruppe, Qt::Key_Backspace);
        w->findChild<QCheckBox*>("ctl3")->click();
        auto* liste = w->findChild<QListWidget*>("ctl5");
        liste->item(0)->setCheckState(Qt::Checked);
        // A mouse click on a line is a click; the arrow keys only move.
        QTest::mouseClick(liste->viewport(), Qt::LeftButton, {},
                          liste->visualItemRect(liste->item(1)).center());
        Key(liste, Qt::Key_Up);
        EXPECT_EQ(dialog.liste.GetCurSel(), 0);
        w->findChild<QPushButton*>("ctl10")->click();

        auto* memo = w->findChild<QPlainTextEdit*>("ctl4");
        memo->setFocus();
        EXPECT_EQ(dialog.GetFocus(), &dialog.text);
        memo->moveCursor(QTextCursor::End);
        Key(memo, Qt::Key_Return, Qt::NoModifier, "\r");
        Key(memo, Qt::Key_A, Qt::NoModifier, "a");
        EXPECT_EQ(dialog.text.GetText(), "Erste Zeile\r\nZweite Zeile \xFC\r\na");
        dialog.text.GetSel(start, end);
        EXPECT_EQ(end, dialog.text.GetText().GetLength()) << "memo caret in CR LF positions";

        w->findChild<QTabBar*>("ctl8")->setCurrentIndex(1);
        EXPECT_EQ(dialog.reiter.GetCurSel(), 1);

        // 100,000 hits, of which the grid fills only the lines in view.
        dialog.StartLines(100000);
        QCoreApplication::processEvents();
        auto* grid = w->findChild<QTableView*>("ctl6");
        ASSERT_EQ(grid->model()->rowCount(), 100000);
        grid->scrollTo(grid->model()->index(50000, 0), QAbstractItemView::PositionAtTop);
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        EXPECT_EQ(grid->model()->index(50001, 1).data().toString(), "Zeile 50001");
        EXPECT_LT(dialog.fills, 400);
        EXPECT_EQ(dialog.grid.GetCurLine(), 0) << "scrolling does not move the current line";
        grid->setCurrentIndex(grid->model()->index(50002, 0));
        EXPECT_EQ(dialog.row, 50002) << "the record set follows the grid";
        emit grid->doubleClicked(grid->model()->index(50002, 0));

        Key(kuerzel, Qt::Key_Escape);  // the exit button: the dialog ends with 2
    });
    EXPECT_EQ(result, 2);
    const std::vector<std::string> expected = {
        "change:BEFx", "return", "F5",      "ctrl+e", "gruppe:Rezepte", "backspace",
        "privat:off",  "tick:0", "click:1", "suchen", "dbl:50002"};
    EXPECT_EQ(dialog.log, expected);
}

TEST_F(QtFrontEndTest, BoxesAreGermanAndAnswerAsTheUserDoes) {
    WhenModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->windowTitle(), "Textbausteine");
        ASSERT_EQ(box->buttons().size(), 3);
        Button(box, "Nein")->click();
    });
    EXPECT_EQ(SollIchAbbruch("Textbausteine", "Speichern?"), 11);
    // The reason of a failure waits behind the details button.
    WhenModal([](QWidget* modal) {
        auto* box = static_cast<QMessageBox*>(modal);
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->text() + "|" + box->detailedText(),
                  Q("Nicht gespeichert|Datentr\xE4ger voll"));
        EXPECT_NE(Button(box, "Details einblenden..."), nullptr);
        Button(box, "OK")->click();
    });
    EXPECT_EQ(HaltEReason(0, "Nicht gespeichert", "Datentr\xE4ger voll"), 1);
    WhenModal([](QWidget* modal) { Key(modal, Qt::Key_Escape); });  // the last button
    EXPECT_EQ(XQMsgBox("Import", "Vorhandene ersetzen?", {"Ersetzen", "Behalten", "Abbruch"}), 12);

    WhenModal([](QWidget* modal) {
        auto* first = modal->findChild<QLineEdit*>("param0");
        ASSERT_NE(first, nullptr);
        first->setText(Q("Kn\344chel"));
        modal->findChild<QPushButton*>("ok")->click();
    });
    CString text = "<<Ort>> <<Seite=rechts>>, <<Ort>>";
    EXPECT_TRUE(XQParamBox(text));
    EXPECT_EQ(text, "Kn\344chel rechts, Kn\344chel");
    WhenModal([](QWidget* modal) { modal->findChild<QPushButton*>("cancel")->click(); });
    CString kept = "<<Ort>>";
    EXPECT_FALSE(XQParamBox(kept));
    EXPECT_EQ(kept, "<<Ort>>");

    Q7OpenProgressBox("Import l\xE4uft", 10);
    auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(Q7UpdateProgressBox(3, "Block 3"));
    EXPECT_EQ(QString("%1 %2").arg(progress->labelText()).arg(progress->value()), "Block 3 3");
    progress->cancel();
    EXPECT_FALSE(Q7UpdateProgressBox(4));
    Q7CloseProgressBox();

    Q7CloseProgressBox();
}

// A file dialog speaks the toolkit's German, shows each filter once and
// opens in the folder for its kind of file.
TEST_F(QtFrontEndTest, FileDialogsAreGermanAndStartInTheKindsFolder) {
    const QString root = QDir::tempPath() + "/q7qt-filedialog";
    for (const char* sub : {"/home/proposed", "/export"}) QDir().mkpath(root + sub);
    const std::string homeBefore = Q7GetHome();
    Q7SetHome((root + "/home").toStdString());
    // Kinds of file of their own: other tests' choices stay with theirs.
    struct Case {
        const char* proposed;
        const char* extension;
        QString folder;  // where it opens
        QString choose;  // typed name; empty cancels
        const char* filter = "XML-Dateien (*.xml)|*.xml||";
    } cases[] = {
        {"tb.tbx", ".tbx", "/home", "/export/bausteine"},        // the practice's home
        {"tb2.tbx", "tbx", "/export", "", "XML-Dateien|*.xml"},  // the kind's last folder
        {"proposed/tb.tbx", ".tbx", "/home/proposed", ""},       // the proposed path's folder
        {"brief.brf", "brf", "/home", ""},                       // another kind
    };
    for (const Case& c : cases) {
        WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->directory().absolutePath(), root + c.folder) << c.proposed;
            EXPECT_EQ(box->nameFilters().join(";"), "XML-Dateien (*.xml)");
            EXPECT_NE(Button(box, "Abbrechen"), nullptr);
            auto* name = box->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            EXPECT_EQ(name->text(), QFileInfo(c.proposed).fileName()) << "the proposed name";
            if (c.choose.isEmpty()) return static_cast<QDialog*>(box)->reject();
            name->setText(root + c.choose);
            static_cast<QDialog*>(box)->accept();  // as the accept button does
        });
        CString path = c.proposed;
        EXPECT_EQ(XQFileDialog(true, "Export", c.filter, c.extension, path), !c.choose.isEmpty());
        if (!c.choose.isEmpty()) {
            EXPECT_EQ(path, Utf8ToCp1252((root + c.choose + ".tbx").toStdString()));
        }
    }
    Q7SetHome(homeBefore);
}

}  // namespace
