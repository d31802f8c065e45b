// The module's dialogs as windows, on the demo practice: every widget
// against its control, no text cut where a window opens, one control per
// Alt+letter, column titles over their columns, the search dialog filtering
// as the user types, and a screenshot of each window (Q7_SCREENSHOTS, see
// QtTestSupport.h).
#include <fstream>
#include <string>

#include "q7txtbst/TbExchange.h"
#include "q7txtbst/diaConfigSuchIcd.h"
#include "q7txtbst/diaSuchIcdKZBV.h"
#include "q7txtbst/diaSuchOPS.h"
#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

using ModuleWindowsTest = DemoWindowTest;

void ExpectNoTextCut(QWidget* w) {
    auto plain = [](QString text) { return text.remove(QRegularExpression("&(?!&)")); };
    auto fits = [](int need, int room, const QString& text) {
        EXPECT_LE(need, room) << text.toStdString();
    };
    for (QLabel* label : w->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(w)) continue;
        if (label->wordWrap()) {  // a wrapping caption needs the height of its lines
            fits(label->heightForWidth(label->width()), label->height(), label->text());
            continue;
        }
        for (const QString& line : plain(label->text()).split('\n'))
            fits(label->fontMetrics().horizontalAdvance(line), label->contentsRect().width(), line);
    }
    for (QAbstractButton* button : w->findChildren<QAbstractButton*>())
        if (button->isVisibleTo(w) && !qobject_cast<QToolButton*>(button))
            fits(button->sizeHint().width(), button->width(), button->text());
    // Choices aligned with blanks stay aligned.
    for (QComboBox* combo : w->findChildren<QComboBox*>())
        for (int i = 0; i < combo->count(); ++i) {
            const QString text = combo->itemText(i);
            if (text.trimmed().contains("  ")) {
                EXPECT_TRUE(QFontInfo(combo->font()).fixedPitch()) << text.toStdString();
            }
        }
    for (QTabBar* tabs : w->findChildren<QTabBar*>())
        for (int i = 0; i < tabs->count(); ++i) {
            const QString title = tabs->tabText(i);
            fits(tabs->tabRect(i).right(), tabs->width() - 1, title);
            fits(tabs->fontMetrics().horizontalAdvance(plain(title)) + 8, tabs->tabRect(i).width(),
                 title);
        }
}

// Where the words of a line of text start, across band of the image.
std::vector<int> WordStarts(const QImage& image, const QRect& band) {
    std::vector<int> starts;
    int blank = 99;
    for (int x = band.left(); x <= band.right(); ++x) {
        bool ink = false;
        for (int y = band.top(); y <= band.bottom() && !ink; ++y)
            ink = qGray(image.pixel(x, y)) < 128;
        if (ink && blank >= 8) starts.push_back(x);
        blank = ink ? 0 : blank + 1;
    }
    return starts;
}

// The letter after a single "&" ("&&" is a plain "&").
QChar MnemonicOf(const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '&') {
            if (text[i + 1] != '&') return text[i + 1].toLower();
            ++i;
        }
    return {};
}

// No window has two controls on one Alt+letter, no tool tip or button shows
// an internal number, and every toolbar button is reached with Tab. (The tips'
// keys come from the button's number: Toolbar_test.)
void ExpectKeyboardUse(QWidget* w) {
    const QRegularExpression number("\\d{5}");
    std::map<QChar, QString> taken;
    auto claim = [&](const QString& text) {
        const QChar letter = MnemonicOf(text);
        if (letter.isNull()) return;
        EXPECT_FALSE(taken.count(letter))
            << text.toStdString() << " / " << taken[letter].toStdString();
        taken[letter] = text;
    };
    for (QLabel* label : w->findChildren<QLabel*>())
        if (label->buddy()) claim(label->text());
    for (QAbstractButton* button : w->findChildren<QAbstractButton*>()) {
        claim(button->text());
        EXPECT_FALSE(button->text().contains(number)) << button->text().toStdString();
        if (button->objectName().startsWith("tb")) {
            EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus);
        }
    }
    for (QMenuBar* bar : w->findChildren<QMenuBar*>())
        for (QAction* action : bar->actions()) claim(action->text());
    for (QWidget* widget : w->findChildren<QWidget*>())
        EXPECT_FALSE(widget->toolTip().contains(number)) << widget->toolTip().toStdString();
}

// The other dialogs show the demo's records: the import marks a block the
// practice has already in the colour of existing blocks and its titles stand
// over their columns, the free-text diagnoses show the demo's transition file.
TEST_F(ModuleWindowsTest, DialogsShowTheDemoRecordsWithNoTextCutAndUniqueMnemonics) {
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
            ExpectNoTextCut(w);
            ExpectKeyboardUse(w);
            if (more) more(w);
            Shoot(w, name);
        });
    };
    show(CdiaImportTB(nullptr), "import", [](QWidget* w) {
        auto* list = w->findChild<QListWidget*>();
        auto* header = w->findChild<QLabel*>(QString("ctl%1").arg(IDC_TBX_HEADER));
        ASSERT_TRUE(header && list && list->count() == 2);
        // A light colour marks the line's background.
        EXPECT_EQ(list->item(0)->background().color(), QColor(255, 192, 192));
        EXPECT_EQ(list->item(0)->data(Qt::ForegroundRole), QVariant());
        EXPECT_EQ(list->item(1)->data(Qt::BackgroundRole), QVariant());
        // Each title starts where its column's texts start.
        const QImage image = w->grab().toImage();
        const QRect titles(header->mapTo(w, QPoint(3, 3)), header->size() - QSize(6, 6));
        const QRect line = list->visualItemRect(list->item(1))
                               .translated(list->viewport()->mapTo(w, QPoint(0, 0)))
                               .adjusted(0, 2, 0, -2);
        std::vector<int> columns = WordStarts(image, line);
        const std::vector<int> starts = WordStarts(image, titles);
        ASSERT_EQ(starts.size(), 4u);
        ASSERT_GE(columns.size(), 4u);  // the check box may be the first
        columns.erase(columns.begin(), columns.end() - 4);
        for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(starts[i], columns[i], 2) << i;
    });
    show(CdiaSuchIcdKZBV(0, nullptr), "kzbv",
         [](QWidget* w) { EXPECT_GT(w->findChild<QTreeWidget*>()->topLevelItemCount(), 0); });
    show(CdiaSuchTB(nullptr), "suchdialog", [](QWidget* w) {
        // Typing filters the blocks: "HE" brings HERZ first.
        auto* grid = w->findChild<QTableView*>();
        auto* kuerzel = ByLabel<QLineEdit>(w, "&K\xFCrzel");
        ASSERT_TRUE(grid && kuerzel);
        EXPECT_GT(grid->model()->rowCount(), 50) << "every demo block";
        kuerzel->setFocus();
        Type(kuerzel, "HE");
        ASSERT_GE(grid->model()->rowCount(), 1);
        EXPECT_EQ(grid->model()->index(0, 0).data().toString(), "HERZ");
    });
    show(CdiaTB(false, nullptr), "editor");
    show(CdiaExportTB(nullptr), "export");
    show(CdiaSuchIcd(false, "1", nullptr), "icd-suche");
    show(CdiaConfigSuchIcd(false, "", nullptr), "icd-einstellungen");
    show(CdiaSuchOPS(false, "20261205", nullptr), "ops-suche");
}

}  // namespace
