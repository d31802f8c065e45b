// The module's windows worked with the keyboard alone, with real keys: Return
// accepts through the default button where the control has no use for it,
// every Alt+letter reaches one control, toolbar buttons are reached with Tab.

#include <QTest>

#include "q7txtbst/diaConfigSuchIcd.h"
#include "q7txtbst/diaSuchIcdKZBV.h"
#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

using KeyboardTest = DemoWindowTest;

// Return in a field, a grid and a check box ends the dialog as its accept
// button does, on a toolbar button reached with Tab it clicks that; in the
// memo it stays a line break.
TEST_F(KeyboardTest, ReturnAcceptsWhereTheControlHasNoUseForIt) {
    struct Case {
        const char* where;
        std::function<std::unique_ptr<CXQDialog>()> make;
        std::function<QWidget*(QWidget*)> find;
        int result;  // -1: the dialog stays open
    };
    const Case cases[] = {
        {"Feld K\xFCrzel", [] { return std::make_unique<CdiaSuchTB>(nullptr); },
         [](QWidget* w) { return ByLabel<QWidget>(w, "&K\xFCrzel"); }, 1},
        {"Liste", [] { return std::make_unique<CdiaSuchTB>(nullptr); },
         [](QWidget* w) -> QWidget* { return w->findChild<QTableView*>(); }, 1},
        {"Kontrollk\xE4stchen",
         [] { return std::make_unique<CdiaConfigSuchIcd>(false, "", nullptr); },
         [](QWidget* w) -> QWidget* { return w->findChild<QCheckBox*>(); }, 1},
        {"Werkzeugleiste", [] { return std::make_unique<CdiaSuchTB>(nullptr); },
         [](QWidget* w) -> QWidget* { return w->findChild<QToolButton*>("tb10005"); }, 1},
        {"Memo", [] { return std::make_unique<CdiaTB>(false, nullptr); },
         [](QWidget* w) -> QWidget* { return w->findChild<QPlainTextEdit*>(); }, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        std::unique_ptr<CXQDialog> dialog = c.make();
        bool open = false;
        RunShown(*dialog, [&](QWidget* w) {
            QWidget* target = c.find(w);
            ASSERT_NE(target, nullptr);
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Return);
            QCoreApplication::processEvents();
            open = !dialog->IsEnded();
        });
        if (c.result < 0) {
            EXPECT_TRUE(open);
        } else {
            EXPECT_EQ(dialog->GetResult(), c.result);
        }
    }
}

// The letter after a single "&" ("&&" is a plain "&").
QChar MnemonicOf(const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '&') {
            if (text[i + 1] != '&') return text[i + 1].toLower();
            ++i;
        }
    return {};
}

// No window has two controls on one Alt+letter, no tool tip or button shows
// an internal number, and every toolbar button is reached with Tab. (The tips'
// keys come from the button's number: Toolbar_test.)
TEST_F(KeyboardTest, MnemonicsAreUniqueAndNoInternalNumberShows) {
    LoadIcdDemo();
    const QRegularExpression number("\\d{5}");
    auto check = [&](CXQDialog&& dialog, const char* name) {
        SCOPED_TRACE(name);
        RunShown(dialog, [&](QWidget* w) {
            std::map<QChar, QString> taken;
            auto claim = [&](const QString& text) {
                const QChar letter = MnemonicOf(text);
                if (letter.isNull()) return;
                EXPECT_FALSE(taken.count(letter))
                    << text.toStdString() << " / " << taken[letter].toStdString();
                taken[letter] = text;
            };
            for (QLabel* label : w->findChildren<QLabel*>())
                if (label->buddy()) claim(label->text());
            for (QAbstractButton* button : w->findChildren<QAbstractButton*>())
                claim(button->text());
            for (QMenuBar* bar : w->findChildren<QMenuBar*>())
                for (QAction* action : bar->actions()) claim(action->text());
            for (QWidget* widget : w->findChildren<QWidget*>())
                EXPECT_FALSE(widget->toolTip().contains(number)) << widget->toolTip().toStdString();
            for (const CXQDialog::ToolbarButton& button : dialog.ToolbarButtons()) {
                auto* tool = w->findChild<QToolButton*>(QString("tb%1").arg(button.number));
                ASSERT_NE(tool, nullptr);
                EXPECT_FALSE(tool->text().contains(number));
                EXPECT_TRUE(tool->focusPolicy() & Qt::TabFocus);
            }
        });
    };
    check(CdiaSuchTB(nullptr), "CdiaSuchTB");
    check(CdiaTB(false, nullptr), "CdiaTB");
    check(CdiaSuchIcd(false, "1", nullptr), "CdiaSuchIcd");
    check(CdiaConfigSuchIcd(false, "", nullptr), "CdiaConfigSuchIcd");
    check(CdiaSuchIcdKZBV(0, nullptr), "CdiaSuchIcdKZBV");
    check(CdiaExportTB(nullptr), "CdiaExportTB");
}

}  // namespace
