// The module's dialogs as windows, on the demo practice: every widget against
// its control, and a screenshot of each window (Q7_SCREENSHOTS, see
// QtTestSupport.h). The practice desktop's window is tested with the
// application (tests/app/desktop_window_test.cpp).
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/base/HostContext.h"
#include "host/db/HostData.h"
#include "host/db/Tsv.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/diaConfigSuchIcd.h"
#include "q7txtbst/diaExportTB.h"
#include "q7txtbst/diaImportTB.h"
#include "q7txtbst/diaSuchIcd.h"
#include "q7txtbst/diaSuchIcdKZBV.h"
#include "q7txtbst/diaSuchTB.h"
#include "q7txtbst/diatb.h"
#include "tests/host/db/DbFixture.h"
#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

// The input whose label reads so (with its "&").
template <class Widget>
Widget* ByLabel(QWidget* window, const char* cp1252) {
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->text() == Q(cp1252) && label->buddy())
            return qobject_cast<Widget*>(label->buddy());
    return nullptr;
}

class ModuleWindowsTest : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_EQ(XQInstallDefaultStrings(), 0);
        for (const char* kind : {"praxis", "mandant", "pat", "sp", "tb"}) {
            CString error;
            ASSERT_EQ(
                XQLoadTsv(kind, std::string(Q7_SOURCE_DIR) + "/demo/" + kind + ".tsv", &error), 0)
                << error.GetString();
        }
        ClearGroups();
        XQSetResourceModule(&TbResourceModule());
        XQSetFrontEnd(&FrontEnd());
    }
    void TearDown() override {
        XQSetFrontEnd(nullptr);
        XQSetResourceModule(nullptr);
        ClearGroups();
        DbTest::TearDown();
    }
    static void ClearGroups() {
        CdiaSuchTB::s_Groups.clear();
        CdiaTB::s_Groups.clear();
        CdiaExportTB::s_Groups.clear();
    }
};

TEST_F(ModuleWindowsTest, SearchDialogFiltersAsTheUserTypes) {
    CdiaSuchTB dialog(nullptr);
    RunShown(dialog, [&](QWidget* w) {
        ExpectWidgetsShowModel(dialog, w);
        auto* grid = w->findChild<QTableView*>();
        ASSERT_NE(grid, nullptr);
        EXPECT_GT(grid->model()->rowCount(), 50) << "every demo block";
        auto* kuerzel = ByLabel<QLineEdit>(w, "&K\xFCrzel");
        ASSERT_NE(kuerzel, nullptr);
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

TEST_F(ModuleWindowsTest, EditorAndExportShowTheirRecords) {
    CdiaTB editor(false, nullptr);
    RunShown(editor, [&](QWidget* w) {
        ExpectWidgetsShowModel(editor, w);
        Shoot(w, "editor");
    });
    CdiaExportTB exporter(nullptr);
    RunShown(exporter, [&](QWidget* w) {
        ExpectWidgetsShowModel(exporter, w);
        Shoot(w, "export");
    });
}

// The import lists the file's blocks; one the practice has already shows in
// the colour of existing blocks.
TEST_F(ModuleWindowsTest, ImportMarksBlocksThePracticeHas) {
    const std::string path = home + "/import.xml";
    auto block = [](const char* id, const char* group, const char* member, const char* text) {
        return std::string("<tb><id>") + id + "</id><group>" + group + "</group><member>" + member +
               "</member><description>" + text +
               "</description><lines><line><entry>0</entry><text>" + text +
               "</text></line></lines></tb>";
    };
    std::ofstream(path) << "<?xml version=\"1.0\"?><dazo_tb><software>q7</software>"
                        << block("BEF", "e", "k", "Befund neu")
                        << block("KNIE", "e", "k", "Knie frei") << "</dazo_tb>";
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(box, nullptr);
        box->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(path));
        static_cast<QDialog*>(box)->accept();
    });
    CdiaImportTB dialog(nullptr);
    RunShown(dialog, [&](QWidget* w) {
        ExpectWidgetsShowModel(dialog, w);
        auto* list = w->findChild<QListWidget*>();
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), 2);
        // A light colour marks the line's background.
        EXPECT_EQ(list->item(0)->background().color(), QColor(255, 192, 192));
        EXPECT_EQ(list->item(0)->data(Qt::ForegroundRole), QVariant());
        EXPECT_EQ(list->item(1)->data(Qt::BackgroundRole), QVariant());
        Shoot(w, "import");
    });
}

TEST_F(ModuleWindowsTest, DiagnosisSearchShowsTheDemoCatalogue) {
    for (const char* kind :
         {"icdkapitel", "icdgruppe", "icdsubgruppe", "icd", "icdthes", "icdversion", "diag"}) {
        CString error;
        ASSERT_EQ(XQLoadTsv(kind, std::string(Q7_SOURCE_DIR) + "/demo/" + kind + ".tsv", &error), 0)
            << error.GetString();
    }
    CdiaSuchIcd::s_Kapitel.clear();
    CdiaSuchIcd dialog(false, "1", nullptr);
    RunShown(dialog, [&](QWidget* w) {
        ExpectWidgetsShowModel(dialog, w);
        Shoot(w, "icd-suche");
    });
    CdiaSuchIcd::s_Kapitel.clear();
    CdiaConfigSuchIcd settings(false, "", nullptr);
    RunShown(settings, [&](QWidget* w) {
        ExpectWidgetsShowModel(settings, w);
        Shoot(w, "icd-einstellungen");
    });
}

TEST_F(ModuleWindowsTest, FreeTextDiagnosesShowTheDemoTransitionFile) {
    Q7SetHome(home);
    std::filesystem::create_directories(home + "/data/KZBV");
    std::filesystem::copy_file(
        std::string(Q7_SOURCE_DIR) + "/demo/data/KZBV/icd_ueberleitung_freitextdiagnose.xml",
        home + "/data/KZBV/icd_ueberleitung_freitextdiagnose.xml");
    CdiaSuchIcdKZBV dialog(0, nullptr);
    RunShown(dialog, [&](QWidget* w) {
        ExpectWidgetsShowModel(dialog, w);
        auto* tree = w->findChild<QTreeWidget*>();
        ASSERT_NE(tree, nullptr);
        EXPECT_GT(tree->topLevelItemCount(), 0);
        Shoot(w, "kzbv");
    });
}

}  // namespace
