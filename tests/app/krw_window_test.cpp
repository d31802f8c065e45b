// The coding rule view as a window on the demo practice: every rule a line,
// the switched-off ones in red, and a mouse click on a line opens that rule's
// details. With Q7_SCREENSHOTS=DIR the view and the details are saved as
// DIR/kodierregeln.png and DIR/kodierregel-details.png.
#include "host/base/HostContext.h"
#include "q7txtbst/Krw.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/diaKRWRegelInaktivView.h"
#include "q7txtbst/diaKRWStammView.h"
#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

class KrwWindowTest : public DemoWindowTest {
  protected:
    void SetUp() override {
        DemoWindowTest::SetUp();
        LoadDemo({"par", "icd"});
        CKrw::ForgetKbvPath();
        CopyDemoData("Kbv");
    }
    void TearDown() override {
        CKrw::ForgetKbvPath();
        DemoWindowTest::TearDown();
    }
};

TEST_F(KrwWindowTest, EveryRuleIsALineAndAClickOpensItsDetails) {
    CdiaKRWStammView view(IDD_KRWSTAMMVIEW, "", nullptr);
    QString details;
    RunShown(view, [&](QWidget* w) {
        EXPECT_TRUE(w->windowTitle().startsWith("Kodierregelwerk - Stammdatei 01.10.2026"));
        auto* list = w->findChild<QListWidget*>("ctl1001");
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count(), 47);
        EXPECT_EQ(list->item(1)->foreground().color(), QColor(255, 0, 0));
        Shoot(w, "kodierregeln");
        WhenModal([&](QWidget* d) {
            details = d->windowTitle();
            Shoot(d, "kodierregel-details");
            d->close();
        });
        // A mouse click on the line, as the user's hand gives it.
        const QPointF at = list->visualItemRect(list->item(1)).center();
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &event);
        }
        Settle();
    });
    EXPECT_EQ(details, "Kodierregel - AKR002");
}

// The column header above the switched-off rules is drawn in the lines'
// fixed-pitch font from where their text starts, so "PatNr" stands over the
// numbers whatever font the window uses elsewhere.
TEST_F(KrwWindowTest, SwitchedOffRulesStandUnderTheirColumnHeader) {
    LoadDemo({"freitext"});
    CdiaKRWRegelView view(nullptr);
    RunShown(view, [&](QWidget* w) {
        auto* list = w->findChild<QListWidget*>();
        ASSERT_NE(list, nullptr);
        ASSERT_GT(list->count(), 0);
        QLabel* header = nullptr;
        for (QLabel* label : w->findChildren<QLabel*>())
            if (label->text().contains("PatNr")) header = label;
        ASSERT_NE(header, nullptr);
        const QFontMetrics lines(list->font());
        // The header is as wide as its text in the lines' font.
        EXPECT_GE(header->sizeHint().width(), lines.horizontalAdvance(header->text()));
        Shoot(w, "kodierregeln-inaktiv");
        w->close();
    });
}

}  // namespace
