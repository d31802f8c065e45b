// The practice desktop as a window, on the demo practice: a known Kürzel and
// F3 expand in the memo; an unknown one opens the search dialog, and the
// block chosen there lands in the memo; the procedure search gets the
// treatment date and the side choice; the coding manual entry asks for an
// optional code, the catalogue entry for three files. With Q7_SCREENSHOTS=DIR the desktop
// is saved as DIR/desktop.png.
#include <map>
#include <string>
#include <vector>

#include "app/Desktop.h"
#include "app/ModuleLibrary.h"
#include "host/base/HostContext.h"
#include "host/db/Icd.h"
#include "host/db/Ops.h"
#include "q7txtbst/Q7TbExport.h"
#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

// What the desktop handed to the procedure search; the search itself is the
// module's and has its own tests.
struct {
    int calls = 0;
    bool noSide = false;
    CString date;
} opsSearch;

CString manualCode = "(nicht gerufen)";
void FakeVAStammView(const CString& code, CWnd*) {
    manualCode = code;
}

int FakeSuchOPS(bool noSide, const CString& date, CWnd*, CQOps_Fields* result) {
    ++opsSearch.calls;
    opsSearch.noSide = noSide;
    opsSearch.date = date;
    result->Code = "5-812.5L";
    return 1;
}

}  // namespace

// This program links the module, so the desktop finds its functions here
// instead of in a loaded library.
ModuleLibrary::~ModuleLibrary() = default;
bool ModuleLibrary::Open(std::string&) {
    return true;
}
void* ModuleLibrary::Find(const char* name) const {
    static const std::map<std::string, void*> exported = {
        {"DoTbEntryXQL", reinterpret_cast<void*>(&DoTbEntryXQL)},
        {"DoTbEntryXQL2", reinterpret_cast<void*>(&DoTbEntryXQL2)},
        {"Q7SuchTB", reinterpret_cast<void*>(&Q7SuchTB)},
        {"Q7SuchIcd", reinterpret_cast<void*>(&Q7SuchIcd)},
        {"Q7SuchIcdFreitextdiagnosenKZBV",
         reinterpret_cast<void*>(&Q7SuchIcdFreitextdiagnosenKZBV)},
        {"Q7SuchOPS", reinterpret_cast<void*>(&FakeSuchOPS)},
        {"Q7VAStammView", reinterpret_cast<void*>(&FakeVAStammView)}};
    auto it = exported.find(name);
    return it == exported.end() ? nullptr : it->second;
}
void ModuleLibrary::Close() {}

namespace {

class DesktopWindowTest : public DemoWindowTest {
  protected:
    void SetUp() override {
        DemoWindowTest::SetUp();
        RegisterHostDialogs();
    }
    ModuleLibrary module;
};

TEST_F(DesktopWindowTest, ExpandsAndSearchesWithF3AndLeavesByTheMenu) {
    CPraxisDesktop desktop(module);
    RunShown(desktop, [&](QWidget* w) {
        auto* memo = ByLabel<QPlainTextEdit>(w, "&Behandlungseintrag");
        ASSERT_NE(memo, nullptr);
        memo->setFocus();
        Type(memo, "Befund: BEF");
        Key(memo, Qt::Key_F3);
        QCoreApplication::processEvents();
        EXPECT_TRUE(
            memo->toPlainText().startsWith(Q("Befund: Allgemein- und Ern\xE4hrungszustand gut")))
            << memo->toPlainText().toStdString();
        Shoot(w, "desktop");
        // The status line shows practice, physician and workstation instead
        // of a field on the page; every service is in the menus as well.
        auto* status = w->findChild<QStatusBar*>();
        auto* text = w->findChild<QLabel*>("ctl30006");
        ASSERT_TRUE(status && text);
        EXPECT_TRUE(status->isAncestorOf(text) && text->isVisible());
        EXPECT_TRUE(text->text().contains(" | Arbeitsplatz ")) << text->text().toStdString();
        QStringList titles;
        for (QAction* menu : w->findChild<QMenuBar*>()->actions())
            titles << menu->text().remove('&');
        EXPECT_EQ(titles.join('|'), "Datei|Aktionen|Hilfe");
        for (const char* entry :
             {"menu30101", "menu30102", "menu30103", "menu30104", "menu30105"}) {
            auto* action = w->findChild<QAction*>(entry);
            EXPECT_TRUE(action && action->isEnabled()) << entry;
        }

        bool searched = false;
        WhenModal([&](QWidget* search) {
            searched = true;
            auto* kuerzel = ByLabel<QLineEdit>(search, "&K\xFCrzel");
            ASSERT_NE(kuerzel, nullptr);
            kuerzel->selectAll();
            Type(kuerzel, "HERZ");
            QCoreApplication::processEvents();
            search->findChild<QToolButton*>("tb10005")->click();
        });
        Key(memo, Qt::Key_Return, Qt::NoModifier, "\r");
        Type(memo, "XQZY");
        Key(memo, Qt::Key_F3);
        QCoreApplication::processEvents();
        EXPECT_TRUE(searched);
        // The caret went to the end with the expansion; the block comes in there.
        EXPECT_TRUE(
            memo->toPlainText().contains(Q("Druckschmerz.\nXQZYHerzt\xF6ne rein und rhythmisch")))
            << memo->toPlainText().toStdString();
        ExpectWidgetsShowModel(desktop, w);
        // The menu's exit leaves; the entry not taken over is asked about first.
        QString asked;
        WhenModal([&](QWidget* box) {
            asked = box->windowTitle();
            Button(box, "Ja")->click();
        });
        w->findChild<QAction*>("menu10001")->trigger();
        Settle();
        EXPECT_TRUE(desktop.IsEnded());
        EXPECT_EQ(asked, "Praxis-Arbeitsplatz");
    });
}

// An entry not taken over goes only on a "Ja" (Escape, then closing the
// window); "Nein" keeps text and caret; an empty entry goes without a box.
TEST_F(DesktopWindowTest, LeavingAsksBeforeDroppingTheEntry) {
    const char* reply = "Nein";
    std::vector<QString> asked;
    AnswerModals answerer([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return;
        asked.push_back(box->windowTitle() + ": " + box->text());
        Button(box, reply)->click();
    });
    for (const bool typed : {true, false}) {
        SCOPED_TRACE(typed ? "typed" : "empty");
        CPraxisDesktop desktop(module);
        asked.clear();
        reply = "Nein";
        RunShown(desktop, [&](QWidget* w) {
            auto* memo = ByLabel<QPlainTextEdit>(w, "&Behandlungseintrag");
            ASSERT_NE(memo, nullptr);
            memo->setFocus();
            if (typed) {
                Type(memo, "Befund: o. B.");
                Key(memo, Qt::Key_Left);
                const int caret = memo->textCursor().position();
                Key(memo, Qt::Key_Escape);
                QCoreApplication::processEvents();
                ASSERT_FALSE(desktop.IsEnded());
                EXPECT_EQ(memo->toPlainText(), "Befund: o. B.");
                EXPECT_EQ(memo->textCursor().position(), caret);
                ASSERT_EQ(asked.size(), 1u);
                EXPECT_EQ(asked[0], Q("Praxis-Arbeitsplatz: Der Behandlungseintrag ist noch "
                                      "nicht \xFC"
                                      "bernommen. Trotzdem schlie\xDF"
                                      "en?"));
                reply = "Ja";
                w->close();
                QCoreApplication::processEvents();
                EXPECT_EQ(asked.size(), 2u);
            } else {
                Key(memo, Qt::Key_Escape);
                QCoreApplication::processEvents();
                EXPECT_TRUE(asked.empty());
            }
            EXPECT_TRUE(desktop.IsEnded());
        });
    }
}

// Without a catalogue the desktop says so instead of opening the search; a
// date that is no calendar day is refused; otherwise the search gets the date
// as yyyymmdd and the side choice, and the key it hands back shows.
TEST_F(DesktopWindowTest, ProcedureSearchGetsDateAndSideChoice) {
    std::vector<QString> boxes;
    AnswerModals answerer([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes.push_back(box->text());
            Button(box, "OK")->click();
        }
    });
    opsSearch = {};
    CPraxisDesktop desktop(module);
    RunShown(desktop, [&](QWidget* w) {
        auto* search = w->findChild<QPushButton*>("ctl30010");
        auto* date = ByLabel<QLineEdit>(w, "Behandlungsda&tum");
        auto* noSide = w->findChild<QCheckBox*>("ctl30012");
        auto* chosen = w->findChild<QLabel*>("ctl30005");
        ASSERT_TRUE(search && date && noSide && chosen);
        EXPECT_EQ(date->text(), Q(Db2Date(GetXQDate())));
        search->click();
        Settle();
        LoadDemo({"ops"});
        for (const char* typed : {"31.02.2010", "1.1.2010"}) {
            date->selectAll();
            Type(date, typed);
            search->click();
            Settle();
        }
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0], "Es ist kein OPS-Katalog geladen.");
        EXPECT_TRUE(
            boxes[1].startsWith(Q("Das Behandlungsdatum \x84"
                                  "31.02.2010\x93 ist kein g\xFCltiges")))
            << boxes[1].toStdString();
        EXPECT_EQ(opsSearch.calls, 1);
        EXPECT_EQ(opsSearch.date, "20100101");
        EXPECT_FALSE(opsSearch.noSide);
        noSide->click();
        search->click();
        Settle();
        EXPECT_TRUE(opsSearch.noSide);
        EXPECT_EQ(chosen->text(), "5-812.5L");
    });
}

// The manual opens with the code typed (or none); the catalogue entry takes
// the three files picked in turn and replaces the catalogue.
TEST_F(DesktopWindowTest, ManualAndCatalogueEntriesAskWhatTheyNeed) {
    const std::string kbv = std::string(Q7_SOURCE_DIR) + "/demo/kbv/";
    QStringList asked, boxes;
    std::vector<std::string> files = {kbv + "ICD_2.3_74_tf+2026q1.xml",
                                      kbv + "sdhma_1.30_74_tf+2026q1.xml",
                                      kbv + "ICD-10_Auswahl Zahnmedizin_AU-Besch._Demo.csv"};
    QString code;
    AnswerModals answerer([&](QWidget* modal) {
        if (auto* box = qobject_cast<QFileDialog*>(modal)) {
            asked.push_back(box->windowTitle());
            box->findChild<QLineEdit*>("fileNameEdit")
                ->setText(QString::fromStdString(files[static_cast<size_t>(asked.size()) - 1]));
            static_cast<QDialog*>(box)->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes.push_back(box->text());
            Button(box, "OK")->click();
        } else if (modal->objectName() == "parambox") {
            auto* edit = modal->findChild<QLineEdit*>("param0");
            edit->setText(code);
            modal->findChild<QPushButton*>("ok")->click();
        }
    });
    CPraxisDesktop desktop(module);
    RunShown(desktop, [&](QWidget* w) {
        for (const char* typed : {" A10.9 ", ""}) {
            code = typed;
            w->findChild<QToolButton*>("tb30107")->click();
            Settle();
            EXPECT_EQ(manualCode, CString(typed).Trim());
        }
        w->findChild<QToolButton*>("tb30108")->click();
        Settle();
        EXPECT_EQ(
            asked.join('|'),
            Q("ICD-Datei suchen|HMV-Datei suchen|Auszug Zahnmedizin/AU-Bescheinigung suchen"));
        EXPECT_EQ(boxes.join('|'), "Der ICD-Katalog wurde eingelesen.");
        CQIcd icd(dbDatabase);
        icd.Code = "A109";
        EXPECT_EQ(icd.GetByK1(0), XQ_OK);
        EXPECT_EQ(icd.VAKapitel, "VA559400");
    });
}

}  // namespace
