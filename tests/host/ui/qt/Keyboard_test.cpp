// The module's windows worked with the keyboard alone, with real keys: Return
// accepts through the default button where the control has no use for it.
// (One control per Alt+letter: ModuleWindows_test.)

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

}  // namespace
