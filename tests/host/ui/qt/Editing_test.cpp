// Editing in the module's fields as the user does it, with real keys and
// clicks: every key is followed by the refresh the model's answer brings,
// which must leave the caret and the selection where the user put them.
#include <QTest>

#include "q7txtbst/diaSuchIcd.h"
#include "q7txtbst/diaSuchTB.h"
#include "q7txtbst/diatb.h"
#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

using EditingTest = DemoWindowTest;

void Press(QWidget* w, QKeyCombination key) {
    QTest::keyClick(w, key.key(), key.keyboardModifiers());
    Settle();
}

void Click(QWidget* w, QPoint at) {
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
    Settle();
}

// Each step presses keys, then types; the field then reads expected.
struct Step {
    std::vector<QKeyCombination> keys;
    const char* type;
    const char* expected;
};

TEST_F(EditingTest, SingleLineFieldsKeepTheUsersCaretAndSelection) {
    LoadIcdDemo();
    const Qt::Modifier ctrl = Qt::CTRL, shift = Qt::SHIFT;
    const std::vector<Step> steps = {
        {{ctrl | Qt::Key_A}, "abc def", "abc def"},
        {{Qt::Key_Home}, "X", "Xabc def"},
        {{Qt::Key_End, Qt::Key_Left, Qt::Key_Left}, "Y", "Xabc dYef"},
        {{shift | Qt::Key_Home}, "Z", "Zef"},
        {{ctrl | Qt::Key_A}, "abc def", "abc def"},
    };
    auto edit = [&](QWidget* w, const char* label) {
        SCOPED_TRACE(label);
        auto* field = ByLabel<QLineEdit>(w, label);
        ASSERT_NE(field, nullptr);
        Click(field, field->rect().center());
        for (const Step& step : steps) {
            for (QKeyCombination key : step.keys) Press(field, key);
            Type(field, step.type);
            ASSERT_EQ(field->text(), QString(step.expected));
        }
        // A click between "c" and " " puts the caret there.
        int x = 0;
        while (x < field->width() && field->cursorPositionAt(QPoint(x, 5)) < 3) ++x;
        Click(field, QPoint(x, field->height() / 2));
        Type(field, "M");
        EXPECT_EQ(field->text(), QString("abcM def"));
    };
    auto run = [&](CXQDialog&& dialog, std::initializer_list<const char*> labels) {
        RunShown(dialog, [&](QWidget* w) {
            for (const char* label : labels) edit(w, label);
        });
    };
    run(CdiaSuchTB(nullptr), {"&K\xFCrzel", "&Beschreibung"});
    run(CdiaTB(true, nullptr), {"&K\xFCrzel", "&Beschreibung"});
    run(CdiaSuchIcd(false, "1", nullptr), {"&Code", "&Text"});
}

TEST_F(EditingTest, TheMemoKeepsTheCaretWhereTheUserMovedIt) {
    CdiaTB dialog(true, nullptr);
    RunShown(dialog, [&](QWidget* w) {
        auto* memo = ByLabel<QPlainTextEdit>(w, "&Text");
        ASSERT_NE(memo, nullptr);
        Click(memo->viewport(), QPoint(5, 5));
        Type(memo, "eins");
        Press(memo, Qt::Key_Return);
        Type(memo, "zwei");
        Press(memo, Qt::Key_Up);
        Press(memo, Qt::Key_Home);
        Type(memo, "X");
        Press(memo, Qt::Key_Down);
        Type(memo, "Y");
        EXPECT_EQ(memo->toPlainText(), QString("Xeins\nzYwei"));
    });
}

TEST_F(EditingTest, AClickOnTheCurrentLineKeepsItSelected) {
    CdiaSuchTB dialog(nullptr);
    RunShown(dialog, [&](QWidget* w) {
        auto* grid = w->findChild<QTableView*>();
        ASSERT_NE(grid, nullptr);
        auto selected = [grid] {
            const QModelIndexList rows = grid->selectionModel()->selectedRows();
            return QString("%1 %2")
                .arg(grid->currentIndex().row())
                .arg(rows.size() == 1 ? rows[0].row() : -1);
        };
        for (int row : {0, 0, 2, 2}) {
            Click(grid->viewport(), grid->visualRect(grid->model()->index(row, 0)).center());
            FrontEnd().Refresh();
            Settle();
            EXPECT_EQ(selected(), QString("%1 %1").arg(row));
        }
    });
}

}  // namespace
