#include "host/ui/qt/XQQtPrint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>

namespace {

// The toolkit has no reader of PDF: the desktop's renderer draws the pages.
bool RenderPages(const QString& pdf, int dpi, const QString& folder, QStringList& pages,
                 QString& reason) {
    QProcess render;
    render.start("pdftoppm", {"-r", QString::number(dpi), "-png", pdf, folder + "/page"});
    if (!render.waitForFinished(120000) || render.exitStatus() != QProcess::NormalExit ||
        render.exitCode() != 0) {
        reason = render.error() == QProcess::FailedToStart
                     ? QString::fromUtf8("Das Programm pdftoppm (poppler-utils) fehlt.")
                     : QString::fromUtf8("Die Seiten konnten nicht aufbereitet werden.");
        return false;
    }
    // Page names carry leading zeros, so the name order is the page order.
    for (const QString& name : QDir(folder).entryList({"page*.png"}, QDir::Files, QDir::Name))
        pages << folder + "/" + name;
    if (pages.isEmpty()) reason = QString::fromUtf8("Das Dokument hat keine Seiten.");
    return !pages.isEmpty();
}

bool PrintPages(QPrinter& printer, const QString& pdf, QString& reason) {
    QTemporaryDir folder;
    QStringList pages;
    const int dpi = std::min(printer.resolution(), 300);
    if (!folder.isValid() || !RenderPages(pdf, dpi, folder.path(), pages, reason)) return false;
    QPainter painter;
    if (!painter.begin(&printer)) {
        reason = QString::fromUtf8("Der Drucker nimmt den Auftrag nicht an.");
        return false;
    }
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0) printer.newPage();
        const QImage page(pages[i]);
        // The page fills the paper, as the document was laid out for it.
        const QRect paper = painter.viewport();
        const QSize fit = page.size().scaled(paper.size(), Qt::KeepAspectRatio);
        painter.drawImage(QRect(paper.topLeft(), fit), page);
    }
    return painter.end();
}

}  // namespace

bool XQQtPrintPdf(QWidget* parent, const QString& pdf, QString& reason) {
    reason.clear();
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setDocName(QFileInfo(pdf).fileName());
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName("printdialog");
    if (dialog.exec() != QDialog::Accepted) return false;
    const QString file = printer.outputFileName();
    if (printer.outputFormat() == QPrinter::PdfFormat && !file.isEmpty()) {
        // The document is a PDF already: written as it is, it keeps its text.
        QFile::remove(file);
        if (!QFile::copy(pdf, file)) {
            reason = QString::fromUtf8("Die Datei %1 konnte nicht geschrieben werden.").arg(file);
            return false;
        }
        return true;
    }
    return PrintPages(printer, pdf, reason);
}
