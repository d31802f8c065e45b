#pragma once
// The user's guide as the help of every window: F1 opens it at the section
// whose heading names the dialog's help name as code (`diatb`), or at its
// start when no heading does.
#include <QString>

// The guide installed next to the program's binaries (bin/benutzerhandbuch.md).
QString XQQtGuidePath();

// Shows the guide modally in the one help window (Escape closes it).
void XQQtShowHelp(const QString& helpName);
