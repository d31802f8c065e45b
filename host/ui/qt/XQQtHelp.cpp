#include "host/ui/qt/XQQtHelp.h"

#include <dlfcn.h>

#include <QAbstractTextDocumentLayout>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "host/base/XQGuard.h"

QString XQQtGuidePath() {
    // The binary holding this code (libq7hostqt.so, or a test program) lies
    // in the bin folder the build copies the guide to; the working
    // directory says nothing about where the program was installed.
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&XQQtGuidePath), &info) || !info.dli_fname) return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath() +
           "/benutzerhandbuch.md";
}

namespace {

// The heading naming helpName as code: Markdown's code spans arrive as
// fixed-pitch fragments, plain words in the text never match.
QTextBlock SectionOf(const QTextDocument& guide, const QString& helpName) {
    for (QTextBlock block = guide.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0) continue;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().fontFixedPitch() && it.fragment().text() == helpName)
                return block;
    }
    return guide.begin();
}

QDialog* HelpWindow() {
    static QPointer<QDialog> window;
    if (window) return window;
    window = new QDialog;
    window->setObjectName("help");
    window->setWindowTitle(QString("Hilfe ") + QChar(0x2013) + " Benutzerhandbuch");
    window->resize(820, 640);
    auto* browser = new QTextBrowser(window);
    browser->setObjectName("helpBrowser");
    browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    const QString path = XQQtGuidePath();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        browser->setMarkdown(QString::fromUtf8(file.readAll()));
    } else {
        XQLog("help", CString(("Benutzerhandbuch nicht gefunden: " + path.toStdString()).c_str()));
        browser->setMarkdown("# Hilfe\n\nDas Benutzerhandbuch wurde nicht gefunden (" + path +
                             "). Bitte installieren Sie das Programm neu.");
    }
    return window;
}

}  // namespace

void XQQtShowHelp(const QString& helpName) {
    QDialog* window = HelpWindow();
    auto* browser = window->findChild<QTextBrowser*>("helpBrowser");
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    // Shown, the document is laid out at the window's width: the section's
    // heading goes to the top.
    const QTextBlock section = SectionOf(*browser->document(), helpName);
    QTextCursor cursor(section);
    browser->setTextCursor(cursor);
    const QRectF where = browser->document()->documentLayout()->blockBoundingRect(section);
    browser->verticalScrollBar()->setValue(static_cast<int>(where.top()));
    window->exec();
}
