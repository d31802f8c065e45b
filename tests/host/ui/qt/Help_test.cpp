// F1 in a window opens the user's guide at the dialog's section, or at its
// start for a dialog the guide has no section for; never a box.
#include "q7txtbst/diaSuchTB.h"
#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

using HelpTest = DemoWindowTest;

TEST_F(HelpTest, F1OpensTheGuideAtTheDialogsSection) {
    // Every window's help name, and one the guide does not know (its start).
    const char* const helpNames[] = {"diatb",          "diaSuchTB",  "diaExportTB",
                                     "diaImportTB",    "diaSuchIcd", "diaConfigSuchIcd",
                                     "diaSuchIcdKZBV", "desktop",    "unbekannt"};
    const QString title = QString::fromUtf8("Textbausteine und Diagnosesuche – Benutzerhandbuch");
    for (const char* name : helpNames) {
        SCOPED_TRACE(name);
        CdiaSuchTB dialog(nullptr);
        dialog.SetHelpName(name);
        bool shown = false;
        RunShown(dialog, [&](QWidget* w) {
            WhenModal([&](QWidget* help) {
                // Escape closes whatever came up, a box as well as the guide.
                if (auto* browser = help->findChild<QTextBrowser*>("helpBrowser")) {
                    shown = true;
                    const QTextBlock top = browser->textCursor().block();
                    EXPECT_GT(top.blockFormat().headingLevel(), 0);
                    if (name == std::string_view("unbekannt")) {
                        EXPECT_EQ(top.text(), title);
                    } else {
                        EXPECT_TRUE(
                            top.text().contains(QRegularExpression(QString("\\b%1\\b").arg(name))))
                            << top.text().toStdString();
                    }
                    // The heading is the first visible line.
                    const int y = browser->cursorRect().top();
                    EXPECT_GE(y, 0);
                    EXPECT_LT(y, 20);
                }
                Key(help, Qt::Key_Escape);
            });
            Key(w->focusWidget() ? w->focusWidget() : w, Qt::Key_F1);
        });
        EXPECT_TRUE(shown);
    }
}

}  // namespace
