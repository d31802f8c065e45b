// The module's dialogs as windows, on the demo practice: every widget
// against its control, the search dialog filtering as the user types, and a
// screenshot of each window (Q7_SCREENSHOTS, see QtTestSupport.h).
#include <fstream>
#include <string>

#include "q7txtbst/diaConfigSuchIcd.h"
#include "q7txtbst/diaSuchIcdKZBV.h"
#include "q7txtbst/diaSuchOPS.h"
#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

using ModuleWindowsTest = DemoWindowTest;

TEST_F(ModuleWindowsTest, SearchDialogFiltersAsTheUserTypes) {
    CdiaSuchTB dialog(nullptr);
    RunShown(dialog, [&](QWidget* w) {
        auto* grid = w->findChild<QTableView*>();
        auto* kuerzel = ByLabel<QLineEdit>(w, "&K\xFCrzel");
        ASSERT_TRUE(grid && kuerzel);
        EXPECT_GT(grid->model()->rowCount(), 50) << "every demo block";
        kuerzel->setFocus();
        Type(kuerzel, "HE");
        QCoreApplication::processEvents();
        ExpectWidgetsShowModel(dialog, w);
        ASSERT_GE(grid->model()->rowCount(), 1);
        EXPECT_EQ(grid->model()->index(0, 0).data().toString(), "HERZ");
        Shoot(w, "suchdialog");
        Key(kuerzel, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.GetResult(), 2);
}

// The other dialogs show the demo's records: the import marks a block the
// practice has already in the colour of existing blocks, the free-text
// diagnoses show the demo's transition file.
TEST_F(ModuleWindowsTest, DialogsShowTheDemoRecords) {
    LoadIcdDemo();
    LoadDemo({"ops", "opstext", "go"});
    const std::string path = home + "/import.xml";
    auto block = [](const char* id, const char* text) {
        return std::string("<tb><id>") + id + "</id><group>e</group><member>k</member>" +
               "<description>" + text + "</description><lines><line><entry>0</entry><text>" + text +
               "</text></line></lines></tb>";
    };
    std::ofstream(path) << "<?xml version=\"1.0\"?><dazo_tb><software>q7</software>"
                        << block("BEF", "Befund neu") << block("KNIE", "Knie frei") << "</dazo_tb>";
    WhenModal([&](QWidget* modal) {
        modal->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(path));
        static_cast<QDialog*>(modal)->accept();
    });
    // Each window against its model, saved under its name.
    auto show = [](CXQDialog&& dialog, const char* name, std::function<void(QWidget*)> more = {}) {
        RunShown(dialog, [&](QWidget* w) {
            if (more) more(w);
            Shoot(w, name);
        });
    };
    show(CdiaImportTB(nullptr), "import", [](QWidget* w) {
        auto* list = w->findChild<QListWidget*>();
        ASSERT_EQ(list->count(), 2);
        // A light colour marks the line's background.
        EXPECT_EQ(list->item(0)->background().color(), QColor(255, 192, 192));
        EXPECT_EQ(list->item(0)->data(Qt::ForegroundRole), QVariant());
        EXPECT_EQ(list->item(1)->data(Qt::BackgroundRole), QVariant());
    });
    show(CdiaSuchIcdKZBV(0, nullptr), "kzbv",
         [](QWidget* w) { EXPECT_GT(w->findChild<QTreeWidget*>()->topLevelItemCount(), 0); });
    show(CdiaTB(false, nullptr), "editor");
    show(CdiaExportTB(nullptr), "export");
    show(CdiaSuchIcd(false, "1", nullptr), "icd-suche");
    show(CdiaConfigSuchIcd(false, "", nullptr), "icd-einstellungen");
    show(CdiaSuchOPS(false, "20261205", nullptr), "ops-suche");
}

}  // namespace
