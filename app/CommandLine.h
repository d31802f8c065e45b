#pragma once
// The command line of q7host: options first, then the command and its
// arguments, all as UTF-8 text.
#include <string>
#include <vector>

// How a run of q7host ends: its exit status.
enum class ExitStatus : int {
    Done = 0,
    Other = 1,           // anything else that failed, with its German message
    BadCommandLine = 2,  // unknown command, option, function or wrong arguments
    ScriptMisfit = 3,    // the script does not fit the dialogs shown
};

struct AppOptions {
    std::string home;   // empty: $Q7_HOME, else ./q7home
    std::string today;  // empty: the system date; else yyyymmdd
    int workstation = 1;
    std::string db;          // the practice server (--db), empty: q7host.conf or praxis.db
    std::string ui;          // "text", "qt", or empty for the default
    std::string scriptPath;  // "-" reads standard input
    bool hasScript = false;
    bool help = false;
    std::vector<std::string> command;  // the command and its arguments
};

// Fills options from argv. Returns an empty text when the line is good, else
// the German reason (UTF-8) why it is not. Options stop at the first word
// that is not one, so the arguments of a command may look like options. A
// script file (--script) must be there, readable and no folder: a run that
// cannot read its script stops before it does anything.
std::string ParseCommandLine(int argc, const char* const* argv, AppOptions& options);

// The German reason (UTF-8) for a system error number (errno): the system's
// own texts are English and stay in the host log.
std::string SystemReason(int errorNumber);

// True for eight digits that name a real calendar day.
bool IsValidDate(const std::string& yyyymmdd);

// The practice server the home folder names: the value of a "db" line of
// home/q7host.conf (lines "name value"; blank lines and lines from "#" on
// are none), or empty when there is no such file or line. False with the
// German reason (UTF-8) when the file cannot be read or has a line of an
// unknown name.
bool ReadHomeConfig(const std::string& home, std::string& db, std::string& error);

// The usage text printed for --help and after a bad command line.
const char* UsageText();
