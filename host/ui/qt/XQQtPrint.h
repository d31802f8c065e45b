#pragma once
// Printing a laid-out document (a PDF) through the system's print dialog.
#include <QString>

class QWidget;

// Offers the print dialog for pdf and prints what the user chooses: to a
// file, the document itself is written there; to a printer, its pages go
// there as pictures. False when nothing was printed: cancelled (reason
// empty) or failed (reason in German).
bool XQQtPrintPdf(QWidget* parent, const QString& pdf, QString& reason);
