// Windows that fit the screen: views and fields that grow with the window,
// and the size each workstation gave a window. (No text cut and the column
// titles: ModuleWindows_test.)
#include "q7txtbst/diaConfigSuchIcd.h"
#include "q7txtbst/diaSuchIcdKZBV.h"
#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

using LayoutTest = DemoWindowTest;

// The memo takes the extra height; the line under it moves down and keeps
// its, as check boxes beside a growing tree keep theirs, in their frame.
TEST_F(LayoutTest, ViewsAndFieldsGrowWithTheWindow) {
    CdiaTB editor(false, nullptr);
    RunShown(editor, [](QWidget* w) {
        auto* memo = w->findChild<QPlainTextEdit*>();
        auto* field = ByLabel<QLineEdit>(w, "&Beschreibung");
        QWidget* below = nullptr;
        for (QLabel* label : w->findChildren<QLabel*>())
            if (label->text() == "Modus") below = label->parentWidget();
        ASSERT_TRUE(memo && field && below);
        const QRect memoWas = memo->geometry(), belowWas = below->geometry();
        const int fieldWas = field->width();
        w->resize(w->size() + QSize(200, 150));
        Settle();
        EXPECT_GE(memo->height(), memoWas.height() + 140);
        EXPECT_GE(field->width(), fieldWas + 80);
        EXPECT_EQ(below->height(), belowWas.height());
        EXPECT_GE(below->y(), belowWas.y() + 140);
    });
    LoadIcdDemo();
    CdiaSuchIcdKZBV kzbv(0, nullptr);
    RunShown(kzbv, [](QWidget* w) {
        const QList<QCheckBox*> boxes = w->findChildren<QCheckBox*>();
        const int height = boxes.front()->parentWidget()->height();
        w->resize(w->size() + QSize(0, 300));
        Settle();
        for (int i = 0; i < boxes.size(); ++i) {
            QWidget* box = boxes[i]->parentWidget();
            EXPECT_EQ(box->height(), height) << i;
            bool framed = false;
            for (QGroupBox* frame : w->findChildren<QGroupBox*>())
                framed |= frame->parentWidget()->geometry().contains(box->geometry());
            EXPECT_TRUE(framed) << i;
        }
    });
}

// A window opens as this workstation left it; a size saved on a larger
// screen or below what the window needs is mended.
TEST_F(LayoutTest, WindowsOpenAtTheSizeAndPlaceTheyWereLeftAt) {
    Q7SetHome(home);
    auto open = [](std::function<void(QWidget*)> check) {
        CdiaConfigSuchIcd config(false, "", nullptr);
        RunShown(config, check);
    };
    open([](QWidget* w) { w->setGeometry(30, 40, 560, 380); });
    open([](QWidget* w) { EXPECT_EQ(w->geometry(), QRect(30, 40, 560, 380)); });
    open([](QWidget* w) { w->setGeometry(-500, 9000, 20, 10); });
    open([](QWidget* w) {
        EXPECT_TRUE(w->screen()->availableGeometry().contains(w->geometry()));
        EXPECT_GE(w->width(), w->minimumSizeHint().width());
        EXPECT_GE(w->height(), w->minimumSizeHint().height());
    });
}

}  // namespace
