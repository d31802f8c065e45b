// "Drucken" offers the print dialog first: cancelled, nothing is printed;
// printed to a file, the document arrives there with all its pages. A
// document without a viewer says what is missing.
#include <QPdfWriter>
#include <QPrintDialog>

#include "tests/host/ui/qt/QtTestSupport.h"

namespace {

int PageCount(const QString& pdf) {
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    return QString::fromLatin1(file.readAll()).count(QRegularExpression("/Type\\s*/Page\\b"));
}

class PrintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FrontEnd();
        ASSERT_TRUE(dir.isValid());
        QPdfWriter writer(document);
        QPainter painter(&writer);
        painter.drawText(100, 100, "Seite 1");
        writer.newPage();
        painter.drawText(100, 100, "Seite 2");
    }
    // Answers every modal window that comes up while the front end prints;
    // what came up is kept.
    QStringList Print(std::function<void(QPrintDialog*)> answer) {
        QStringList shown;
        AnswerModals answerer([&](QWidget* modal) {
            shown << modal->metaObject()->className();
            if (auto* print = qobject_cast<QPrintDialog*>(modal))
                answer(print);
            else
                modal->close();
        });
        FrontEnd().Print(CString(document.toStdString()));
        return shown;
    }
    QTemporaryDir dir;
    const QString document = dir.filePath("liste.pdf");
    const QString output = dir.filePath("ausgabe.pdf");
};

TEST_F(PrintTest, CancelPrintsNothingAndPrintToFileWritesEveryPage) {
    EXPECT_EQ(Print([](QPrintDialog* dialog) { dialog->reject(); }), QStringList{"QPrintDialog"});
    EXPECT_FALSE(QFile::exists(output));
    const QStringList shown = Print([this](QPrintDialog* dialog) {
        // The last printer of the list is the file.
        auto* printers = dialog->findChild<QComboBox*>("printers");
        auto* file = dialog->findChild<QLineEdit*>("filename");
        ASSERT_TRUE(printers && file);
        printers->setCurrentIndex(printers->count() - 1);
        file->setText(output);
        dialog->accept();
    });
    EXPECT_EQ(shown, QStringList{"QPrintDialog"});
    EXPECT_EQ(PageCount(output), 2);
}

TEST_F(PrintTest, OpeningWithoutViewerSaysWhatIsMissing) {
    QString text;
    WhenModal([&](QWidget* box) {
        text = static_cast<QMessageBox*>(box)->text();
        static_cast<QMessageBox*>(box)->reject();
    });
    FrontEnd().Open(CString(document.toStdString()));
    EXPECT_EQ(text, "Es ist kein Programm zum Anzeigen von PDF-Dateien eingerichtet.");
}

}  // namespace
