#pragma once
// Shared by the window tests: one front end on the offscreen platform for
// the whole program, real key events, a hook for the next modal window,
// screenshots, a check that every widget shows its control, and the demo
// practice for the module's windows.
//
// Screenshots: Q7_SCREENSHOTS=DIR saves each dialog the tests open as
// DIR/<name>.png (the README's pictures come from docs/screenshots).
#include <gtest/gtest.h>

#include <QtWidgets>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "host/base/Cp1252.h"
#include "host/base/HostContext.h"
#include "host/ui/qt/XQQtFrontEnd.h"
#include "q7txtbst/Module.h"
#include "tests/q7txtbst/TbFixture.h"

inline CXQQtFrontEnd& FrontEnd() {
    static CXQQtFrontEnd* frontEnd = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new CXQQtFrontEnd;
    }();
    return *frontEnd;
}

inline QString Q(const CString& cp1252) {
    return QString::fromStdString(Cp1252ToUtf8(cp1252.str()));
}

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// The model's answer to an event reaches the widgets once the event loop runs.
inline void Settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

inline void Shoot(QWidget* window, const char* name) {
    const char* dir = std::getenv("Q7_SCREENSHOTS");
    if (!dir || !*dir) return;
    Settle();  // the layout has grown the captions that wrap
    QDir().mkpath(dir);
    EXPECT_TRUE(window->grab().save(QString("%1/%2.png").arg(dir, name)));
}

inline void Key(QWidget* to, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
                const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(to, &release);
}

// Key by key, each answered by the model before the next.
inline void Type(QWidget* to, const QString& text) {
    for (QChar ch : text) {
        Key(to, 0, Qt::NoModifier, QString(ch));
        Settle();
    }
}

// While it lives, answers every modal window that comes up.
class AnswerModals {
  public:
    explicit AnswerModals(std::function<void(QWidget*)> answer) {
        QObject::connect(&poll_, &QTimer::timeout, [answer] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal->isActiveWindow()) answer(modal);
        });
        poll_.start(5);
    }

  private:
    QTimer poll_;
};

// Runs action once the window find returns is up and active.
inline void WhenUp(std::function<QWidget*()> find, std::function<void(QWidget*)> action) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, find, action] {
        QWidget* window = find();
        if (!window || !window->isActiveWindow()) return;
        poll->stop();
        poll->deleteLater();
        action(window);
    });
    poll->start(5);
}

// Runs action once a modal window other than the one up now shows (a box,
// or the window of a dialog that a running call opens).
inline void WhenModal(std::function<void(QWidget*)> action) {
    WhenUp(
        [before = QApplication::activeModalWidget()] {
            QWidget* modal = QApplication::activeModalWidget();
            return modal == before ? nullptr : modal;
        },
        action);
}

inline QAbstractButton* Button(QWidget* box, const char* cp1252) {
    for (QAbstractButton* button : box->findChildren<QAbstractButton*>())
        if (button->text() == Q(cp1252)) return button;
    return nullptr;
}

// The input whose label reads so (with its "&").
template <class Widget>
Widget* ByLabel(QWidget* window, const char* cp1252) {
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->text() == Q(cp1252) && label->buddy())
            return qobject_cast<Widget*>(label->buddy());
    return nullptr;
}

// Every control's widget shows the model's state: visible, enabled, and the
// texts, items, checks and current line of its kind. (Changes show once the
// event loop has run.)
inline void ExpectWidgetsShowModel(const CXQDialog& dialog, QWidget* window) {
    EXPECT_EQ(window->windowTitle(), Q(dialog.GetCaption()));
    for (CWnd* control : dialog.Controls()) {
        const int id = control->GetDlgCtrlID();
        SCOPED_TRACE(QString("control %1").arg(id).toStdString());
        QWidget* box = window->findChild<QWidget*>(QString("box%1").arg(id));
        QWidget* input = window->findChild<QWidget*>(QString("ctl%1").arg(id));
        ASSERT_TRUE(box && input);
        EXPECT_EQ(box->isVisible(), control->IsWindowVisible());
        EXPECT_EQ(box->isEnabled(), control->IsWindowEnabled());
        if (!control->GetHint().IsEmpty()) {
            EXPECT_EQ(input->toolTip(), Q(control->GetHint()));
        }
        // The kind's state as the model holds it and as its widget's property shows it.
        auto expect = [input](const char* property, const QVariant& model) {
            EXPECT_EQ(input->property(property).toString(), model.toString()) << property;
        };
        switch (control->Kind()) {
            case XQKind::Edit:
                expect("text", Q(static_cast<CXQLEditX*>(control)->GetText()));
                break;
            case XQKind::Combo: {
                auto* model = static_cast<CXQLComboX*>(control);
                expect("count", model->GetCount());
                expect("currentIndex", model->GetCurSel());
                expect("currentText", Q(model->GetLBText(model->GetCurSel())));
                break;
            }
            case XQKind::Check:
                expect("checked", static_cast<CXQLCheckX*>(control)->GetCheck());
                break;
            case XQKind::Memo:
                expect("plainText", Q(static_cast<CXQLMemoX*>(control)->GetLines().Join("\n")));
                break;
            case XQKind::Caption:
                expect("text", Q(static_cast<CXQLabelX*>(control)->GetCaption()));
                break;
            case XQKind::Tab:
                expect("count", static_cast<CXQTabX*>(control)->GetCount());
                expect("currentIndex", static_cast<CXQTabX*>(control)->GetCurSel());
                break;
            case XQKind::List: {
                auto* list = static_cast<QListWidget*>(input);
                auto* model = static_cast<CXQListBoxX*>(control);
                ASSERT_EQ(list->count(), model->GetCount());
                for (int i = 0; i < model->GetCount(); ++i) {
                    EXPECT_EQ(list->item(i)->text(), Q(model->GetText(i)));
                    if (model->IsCheckable()) {
                        EXPECT_EQ(list->item(i)->checkState() == Qt::Checked, model->GetCheck(i));
                    }
                }
                break;
            }
            case XQKind::Grid: {
                auto* view = static_cast<QTableView*>(input);
                auto* model = static_cast<CXQGridX*>(control);
                ASSERT_EQ(view->model()->rowCount(), model->GetLineCount());
                if (model->GetLineCount() > 0) {
                    EXPECT_EQ(view->currentIndex().row(), model->GetCurLine());
                }
                break;
            }
            default:
                break;
        }
    }
    for (const CXQDialog::ToolbarButton& button : dialog.ToolbarButtons()) {
        QWidget* tool = window->findChild<QWidget*>(QString("tb%1").arg(button.number));
        ASSERT_NE(tool, nullptr);
        EXPECT_EQ(tool->isEnabled(), button.enabled) << button.number;
        EXPECT_EQ(tool->isVisibleTo(window), button.visible) << button.number;
    }
}

// Runs the dialog modally; once its window is up and active, every widget is
// compared with the model and check sees the window. A dialog check leaves
// open is cancelled.
inline int RunShown(CXQDialog& dialog, std::function<void(QWidget*)> check) {
    WhenUp([&dialog] { return FrontEnd().Window(dialog); },
           [&dialog, check](QWidget* window) {
               FrontEnd().Refresh();
               ExpectWidgetsShowModel(dialog, window);
               check(window);
               if (!dialog.IsEnded()) dialog.EndDialog(2);
           });
    return dialog.DoModal();
}

// The demo practice in a fresh database, shown by the module's dialogs in
// this front end; more of the demo's data comes with LoadDemo.
class DemoWindowTest : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_EQ(XQInstallDefaultStrings(), 0);
        LoadDemo({"praxis", "mandant", "pat", "sp", "tb"});
        ClearTbCaches();
        XQSetResourceModule(&TbResourceModule());
        XQSetFrontEnd(&FrontEnd());
    }
    void TearDown() override {
        XQSetFrontEnd(nullptr);
        XQSetResourceModule(nullptr);
        ClearTbCaches();
        Q7SetHome("");  // the home goes with the test (LoadIcdDemo)
        DbTest::TearDown();
    }
    // The diagnoses' catalogues and the free-text diagnoses' transition file.
    void LoadIcdDemo() {
        LoadDemo(
            {"icdkapitel", "icdgruppe", "icdsubgruppe", "icd", "icdthes", "icdversion", "diag"});
        CopyDemoData("KZBV");
    }
    // The demo's files of demo/data/folder into the practice's home.
    void CopyDemoData(const char* folder) {
        Q7SetHome(home);
        const std::filesystem::path to = home + "/data/" + folder;
        std::filesystem::create_directories(to);
        for (const auto& file : std::filesystem::directory_iterator(std::string(Q7_SOURCE_DIR) +
                                                                    "/demo/data/" + folder))
            std::filesystem::copy_file(file.path(), to / file.path().filename());
    }
    static void LoadDemo(std::initializer_list<const char*> kinds) {
        for (const char* kind : kinds) {
            CString error;
            const std::string path = std::string(Q7_SOURCE_DIR) + "/demo/" + kind + ".tsv";
            ASSERT_EQ(XQLoadTsv(kind, path, &error), 0) << error.GetString();
        }
    }
};
