// Windows that fit their texts: no text cut where a window opens, views and
// fields that grow with the window, the size each workstation gave a window,
// and column titles that stand over their columns.
#include <fstream>

#include "q7txtbst/TbExchange.h"
#include "q7txtbst/diaConfigSuchIcd.h"
#include "q7txtbst/diaSuchIcdKZBV.h"
#include "q7txtbst/diaSuchOPS.h"
#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

using LayoutTest = DemoWindowTest;

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

TEST_F(LayoutTest, ModuleWindowsOpenWithNoTextCutAndAlignTheColumnTitles) {
    LoadIcdDemo();
    LoadDemo({"ops", "opstext", "go"});
    const std::string path = home + "/import.xml";
    std::ofstream(path) << "<?xml version=\"1.0\"?><dazo_tb><software>q7</software><tb><id>KNIE"
                        << "</id><group>e</group><member>k</member><description>Knie frei"
                        << "</description><lines><line><entry>0</entry><text>x</text></line>"
                        << "</lines></tb></dazo_tb>";
    WhenModal([&](QWidget* modal) {
        modal->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(path));
        static_cast<QDialog*>(modal)->accept();
    });
    CdiaImportTB import(nullptr);
    RunShown(import, [](QWidget* w) {
        ExpectNoTextCut(w);
        // Each title starts where its column's texts start.
        auto* header = w->findChild<QLabel*>(QString("ctl%1").arg(IDC_TBX_HEADER));
        auto* list = w->findChild<QListWidget*>();
        ASSERT_TRUE(header && list && list->count() == 1);
        const QImage image = w->grab().toImage();
        const QRect titles(header->mapTo(w, QPoint(3, 3)), header->size() - QSize(6, 6));
        const QRect line = list->visualItemRect(list->item(0))
                               .translated(list->viewport()->mapTo(w, QPoint(0, 0)))
                               .adjusted(0, 2, 0, -2);
        std::vector<int> columns = WordStarts(image, line);
        const std::vector<int> starts = WordStarts(image, titles);
        ASSERT_EQ(starts.size(), 4u);
        ASSERT_GE(columns.size(), 4u);  // the check box may be the first
        columns.erase(columns.begin(), columns.end() - 4);
        for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(starts[i], columns[i], 2) << i;
    });
    CdiaSuchTB search(nullptr);
    CdiaSuchIcdKZBV kzbv(0, nullptr);
    CdiaTB editor(false, nullptr);
    CdiaSuchIcd icd(false, "1", nullptr);
    CdiaConfigSuchIcd config(false, "", nullptr);
    CdiaSuchOPS ops(false, "20261205", nullptr);
    for (CXQDialog* dialog :
         std::initializer_list<CXQDialog*>{&search, &kzbv, &editor, &icd, &config, &ops})
        RunShown(*dialog, ExpectNoTextCut);
}

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
