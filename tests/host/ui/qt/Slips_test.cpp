// Slips that must lose nothing: an expansion undone with the field's own
// Ctrl+Z, boxes that name the text block they are about (the placeholder box
// with each default ready to be typed over), and the keyboard back in the
// field after every box and dialog.
#include <QTest>

#include "host/db/Records.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/diatb.h"
#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

// A field and a memo that expand the Kürzel before the caret with F3, as the
// practice desktop does.
class ExpandDialog : public CXQDialog {
  public:
    ExpandDialog() : CXQDialog(820, nullptr), lines(dbDatabase) {
        DDX_Control(1, field);
        DDX_Control(2, memo);
    }
    bool OnInitDialog() override {
        auto f3 = [](auto expand) {
            return [expand](const XQKeyEvent& key) {
                if (key.key == XQKey::F3) expand();
                return key.key == XQKey::F3;
            };
        };
        field.onKeyDown = f3([this] { DoTbEntryXQL2(this, &field, &lines, "", ""); });
        memo.onKeyDown = f3([this] { DoTbEntryXQL(this, &memo, &lines, "", ""); });
        return CXQDialog::OnInitDialog();
    }
    CXQLEditX field;
    CXQLMemoX memo;
    CQTbEntry lines;
};

class SlipsTest : public DemoWindowTest {
  protected:
    void SetUp() override {
        DemoWindowTest::SetUp();
        static XQResourceModule module = [] {
            XQResourceModule m{"slipstest"};
            XQDialogTemplate& t = m.templates[820] = {820, "Eintrag", 500, 260};
            XQAddControl(t, 1, XQKind::Edit, "&Feld", 10, 10, 480, 22);
            XQAddControl(t, 2, XQKind::Memo, "&Eintrag", 10, 40, 480, 200);
            return m;
        }();
        XQRegisterModule(&module);
    }
    // Types text into the widget that has the keyboard, then presses key.
    static void TypeThen(const QString& text, Qt::Key key) {
        Type(QApplication::focusWidget(), text);
        QTest::keyClick(QApplication::focusWidget(), key);
        Settle();
    }
};

TEST_F(SlipsTest, CtrlZUndoesAnExpansionInOneStepAndTheModelLearnsIt) {
    ExpandDialog dialog;
    RunShown(dialog, [&](QWidget* w) {
        struct Case {
            QWidget* widget;
            const char* property;
            std::function<CString()> model;
            const char* typed;
            const char* expanded;  // how the text starts after F3
        } cases[] = {
            {ByLabel<QLineEdit>(w, "&Feld"), "text", [&] { return dialog.field.GetText(); },
             "Befund: INF", "Befund: Akuter Infekt"},
            // A block of two lines, the memo's line break counted twice by the model.
            {ByLabel<QPlainTextEdit>(w, "&Eintrag"), "plainText",
             [&] { return dialog.memo.GetText(); }, "Befund: DFAKA",
             "Befund: Erh\xF6hter Schwierigkeitsgrad: Entz\xFCndung im\r\nBehandlungsgebiet"},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.property);
            ASSERT_NE(c.widget, nullptr);
            c.widget->setFocus();
            Settle();
            TypeThen(c.typed, Qt::Key_F3);
            const CString expanded = c.expanded;
            EXPECT_EQ(c.model().Left(expanded.GetLength()), expanded);
            QTest::keyClick(c.widget, Qt::Key_Z, Qt::ControlModifier);
            Settle();
            EXPECT_EQ(c.widget->property(c.property).toString(), QString(c.typed));
            EXPECT_EQ(c.model(), c.typed);
        }
        // A text the dialog writes without a key in the field starts its
        // history afresh: Ctrl+Z cannot bring back what it replaced.
        dialog.field.SetText("Neu");
        Settle();
        QTest::keyClick(cases[0].widget, Qt::Key_Z, Qt::ControlModifier);
        Settle();
        EXPECT_EQ(dialog.field.GetText(), "Neu");
    });
}

TEST_F(SlipsTest, BoxesNameTheirBlockAndHandTheKeyboardBack) {
    ExpandDialog dialog;
    RunShown(dialog, [&](QWidget* w) {
        auto* field = ByLabel<QLineEdit>(w, "&Feld");
        ASSERT_NE(field, nullptr);
        field->setFocus();
        Settle();
        QString title, selected;
        WhenModal([&](QWidget* box) {
            title = box->windowTitle();
            if (auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget()))
                selected = edit->selectedText();
            Shoot(box, "platzhalter");
            TypeThen("140/90", Qt::Key_Return);
        });
        TypeThen("HYP", Qt::Key_F3);
        EXPECT_EQ(title, Q("Platzhalter ausf\xFCllen: HYP"));
        EXPECT_EQ(selected, "135/85");
        EXPECT_NE(dialog.field.GetText().Find("aktuell 140/90 mmHg"), -1);
        EXPECT_EQ(QApplication::focusWidget(), field);
        // An unknown Kürzel opens the search dialog; Escape leaves it.
        WhenModal([](QWidget* search) { Key(search, Qt::Key_Escape); });
        TypeThen(" XQZY", Qt::Key_F3);
        EXPECT_EQ(QApplication::focusWidget(), field);
    });
    CdiaTB editor(false, nullptr);
    RunShown(editor, [&](QWidget* w) {
        auto* memo = ByLabel<QPlainTextEdit>(w, "&Text");
        ASSERT_NE(memo, nullptr);
        memo->setFocus();
        Settle();
        QString title;
        WhenModal([&](QWidget* box) {
            title = box->windowTitle();
            Button(box, "Nein")->click();
        });
        w->findChild<QToolButton*>(QString("tb%1").arg(XQTB_DELETE))->click();
        Settle();
        EXPECT_TRUE(title.endsWith(": " + Q(editor.m_Tb.Kuerzel))) << title.toStdString();
        EXPECT_EQ(QApplication::focusWidget(), memo);
    });
}

}  // namespace
