// A window's toolbar: icons from the theme, the model's texts as tips with
// their keys, the model's enabling, mouse clicks that reach the model, and a
// bar that leaves the window's width to the page.
#include <QTest>
#include <string>
#include <vector>

#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

constexpr int kOwn = 10090;  // a dialog's own button with an icon of its own

XQResourceModule& Module() {
    static XQResourceModule module = [] {
        XQResourceModule m{"toolbartest"};
        XQDialogTemplate& t = m.templates[830] = {830, "Werkzeugleiste", 300, 60};
        XQAddControl(t, 1, XQKind::Edit, "&Feld", 10, 10, 200, 22);
        t.toolbar = {{XQTB_EXIT, "ESC - Abbrechen"},
                     {XQTB_ACCEPT, "", true, false},
                     {XQTB_SEARCH, "F5 - Suchen in allen Textbausteinen"},
                     {.number = kOwn, .hint = "Eine eigene, lange Aktion", .icon = "go-next"},
                     {XQTB_HELP, "F1 - Hilfe"}};
        return m;
    }();
    return module;
}

class BarDialog : public CXQDialog {
  public:
    BarDialog() : CXQDialog(830, nullptr) { DDX_Control(1, field); }
    void OnSearch() override { log.push_back("F5"); }
    void OnToolbarButton(int number) override { log.push_back(std::to_string(number)); }

    CXQLEditX field;
    std::vector<std::string> log;
};

TEST(ToolbarTest, ButtonsShowIconsTipsAndStateAndRunOnClick) {
    XQRegisterModule(&Module());
    XQSetFrontEnd(&FrontEnd());
    BarDialog dialog;
    // RunShown compares each button's enabling and visibility (none hides
    // behind the bar's extension) with the model.
    RunShown(dialog, [&](QWidget* w) {
        const std::map<int, QString> tips = {{XQTB_EXIT, "Abbrechen (Esc)"},
                                             {XQTB_ACCEPT, Q("\xDC"
                                                             "bernehmen (Strg+Eingabe)")},
                                             {XQTB_SEARCH, "Suchen in allen Textbausteinen (F5)"},
                                             {kOwn, "Eine eigene, lange Aktion"},
                                             {XQTB_HELP, "Hilfe (F1)"}};
        for (const auto& [number, tip] : tips) {
            SCOPED_TRACE(number);
            auto* tool = w->findChild<QToolButton*>(QString("tb%1").arg(number));
            ASSERT_NE(tool, nullptr);
            EXPECT_FALSE(tool->icon().name().isEmpty()) << "an icon of the theme";
            EXPECT_EQ(tool->toolTip(), tip);
        }
        EXPECT_EQ(w->findChild<QToolButton*>(QString("tb%1").arg(kOwn))->icon().name(), "go-next");
        EXPECT_EQ(w->width(), w->findChild<QWidget*>("page")->width())
            << "the toolbar leaves the window's width to the page";

        auto click = [&](int number) {
            QTest::mouseClick(w->findChild<QToolButton*>(QString("tb%1").arg(number)),
                              Qt::LeftButton);
            Settle();
        };
        click(XQTB_ACCEPT);  // disabled: nothing happens
        click(XQTB_SEARCH);
        click(kOwn);
        EXPECT_EQ(dialog.log, (std::vector<std::string>{"F5", std::to_string(kOwn)}));
        EXPECT_FALSE(dialog.IsEnded());
        dialog.EnableToolbarButton(XQTB_ACCEPT, true);
        Settle();
        click(XQTB_ACCEPT);
        EXPECT_TRUE(dialog.IsEnded());
    });
    EXPECT_EQ(dialog.GetResult(), 1);
    XQSetFrontEnd(nullptr);
    XQUnregisterModule(&Module());
}

}  // namespace
