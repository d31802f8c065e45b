#pragma once
// "q7host call": one exported function of the module, called with host
// controls and texts made from the command-line arguments, its results
// printed as "name: value" lines.
#include <iosfwd>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "host/base/CString.h"

class CWnd;
class ModuleLibrary;

// A module text as the host prints it: UTF-8, escaped as in host data files.
std::string PrintedValue(const CString& text);

// Why a treatment date argument (yyyymmdd, Windows-1252) is no calendar day
// (German, UTF-8), or empty when it is one.
std::string TreatmentDateProblem(const std::string& date);

// words: the function's name and its arguments (UTF-8). Missing trailing
// arguments are empty. Returns the exit status (BadCommandLine for an unknown
// function or too many or undecodable arguments, Other for a function the
// module does not have) and, for any status but Done, the German reason in
// error (UTF-8).
ExitStatus RunCall(const ModuleLibrary& module, const std::vector<std::string>& words,
                   CWnd* mainWindow, std::ostream& out, std::string& error);
