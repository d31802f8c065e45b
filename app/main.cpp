// q7host: the practice application. It sets up the practice installation,
// opens the practice database, loads the module library and drives it from
// its command line, with the text or the window front end showing every
// dialog.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <streambuf>

#include "app/Calls.h"
#include "app/CommandLine.h"
#include "app/DemoData.h"
#include "app/Desktop.h"
#include "app/ModuleLibrary.h"
#include "host/base/Cp1252.h"
#include "host/base/HostContext.h"
#include "host/base/XQGuard.h"
#include "host/db/Icd.h"
#include "host/db/Records.h"
#include "host/db/Tsv.h"
#include "host/db/XQDatabase.h"
#include "host/dlg/XQDialog.h"
#include "host/dlg/XQResource.h"
#include "host/ui/qt/XQQtEntry.h"
#include "host/ui/text/XQTextFrontEnd.h"

namespace {

// Reads a fixed text first, then another stream: an interactive desktop
// session shows its window once before the user's first line.
class PrefixedInput : public std::streambuf {
  public:
    PrefixedInput(std::string prefix, std::istream& rest)
        : m_prefix(std::move(prefix)), m_rest(rest) {
        setg(m_prefix.data(), m_prefix.data(), m_prefix.data() + m_prefix.size());
    }

  protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        const int c = m_rest.get();
        if (c == EOF) return traits_type::eof();
        m_char = static_cast<char>(c);
        setg(&m_char, &m_char, &m_char + 1);
        return traits_type::to_int_type(m_char);
    }

  private:
    std::string m_prefix;
    std::istream& m_rest;
    char m_char = 0;
};

ExitStatus Fail(ExitStatus status, const std::string& messageUtf8) {
    std::cout.flush();
    std::cerr << "q7host: " << messageUtf8 << std::endl;
    return status;
}

ExitStatus Fail(ExitStatus status, const CString& messageCp1252) {
    return Fail(status, Cp1252ToUtf8(messageCp1252.str()));
}

std::string HomeFolder(const AppOptions& options) {
    if (!options.home.empty()) return options.home;
    const char* env = std::getenv("Q7_HOME");
    if (env && *env) return env;
    return "q7home";
}

// The installation's folders: the read-only data folder with its catalogue
// folders and the data file folder for print data.
bool PrepareHome(const std::string& home, std::string& error) {
    namespace fs = std::filesystem;
    for (const char* sub : {"", "data/Kbv", "data/KZBV", "dat"}) {
        std::error_code ec;
        const fs::path folder = fs::path(home) / sub;
        fs::create_directories(folder, ec);
        if (ec || !fs::is_directory(folder)) {
            error = "Der Ordner " + folder.string() + " konnte nicht angelegt werden: " +
                    (ec ? SystemReason(ec.value()) : "eine Datei trägt seinen Namen") + ".";
            return false;
        }
    }
    return true;
}

// A message about a failed write with the database's reason, where the
// message does not carry it already.
CString WithReason(const CString& message) {
    const CString reason = dbDatabase ? dbDatabase->LastError() : CString();
    if (reason.IsEmpty() || message.Find(reason) >= 0) return message;
    return message + " Grund: " + reason + ".";
}

// The practice and physician the session works for: the first of each in
// the database; the defaults stay when there is none.
void ChooseSessionRecords() {
    CQPraxis praxis(dbDatabase);
    if (praxis.GetAll() == 0 && praxis.AnzHits() > 0) dbPraxisId = praxis.Id;
    CQMandantAdr mandant(dbDatabase);
    if (mandant.GetAll() == 0 && mandant.AnzHits() > 0) dbMdId = mandant.MdId;
}

ExitStatus SeedDemo(const std::string& home) {
    // Master data before what refers to it; the text block groups before
    // the blocks.
    static const char* const kOrder[] = {"strings", "praxis", "mandant", "pat", "sp", "par", "tb"};
    std::vector<const DemoFile*> files;
    for (const char* kind : kOrder)
        for (size_t i = 0; i < kDemoFileCount; ++i)
            if (kDemoFiles[i].kind == std::string(kind)) files.push_back(&kDemoFiles[i]);
    for (size_t i = 0; i < kDemoFileCount; ++i) {
        bool listed = false;
        for (const DemoFile* f : files) listed = listed || f == &kDemoFiles[i];
        if (!listed && *kDemoFiles[i].kind) files.push_back(&kDemoFiles[i]);
    }
    if (files.empty())
        return Fail(ExitStatus::Other, std::string("Diese Ausgabe enthält keine Demo-Praxis."));
    // All or nothing: a practice half seeded would look like a whole one.
    dbDatabase->ClearError();
    CXQTransaction all(dbDatabase);
    if (all.Status() != 0)
        return Fail(ExitStatus::Other, WithReason("Die Demo-Praxis wurde nicht angelegt."));
    for (const DemoFile* file : files) {
        CString error;
        const int status = XQLoadTsvText(file->kind, file->content,
                                         CString("demo/") + file->kind + ".tsv", &error);
        if (status != 0) return Fail(ExitStatus::Other, WithReason(error));
    }
    if (all.Commit() != 0)
        return Fail(ExitStatus::Other, WithReason("Die Demo-Praxis wurde nicht angelegt."));
    for (size_t i = 0; i < kDemoDataFileCount; ++i) {
        if (!*kDemoDataFiles[i].kind) continue;
        const std::string path = NativePath(GetQ7DataROPath()) + kDemoDataFiles[i].kind;
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(kDemoDataFiles[i].content.data(),
                  static_cast<std::streamsize>(kDemoDataFiles[i].content.size()));
        if (!out.flush())
            return Fail(ExitStatus::Other,
                        "Die Datei „" + path + "“ kann nicht geschrieben werden.");
    }
    std::cout << "Die Demo-Praxis wurde in " << home << " angelegt." << std::endl;
    return ExitStatus::Done;
}

// Runs the dialog class named by words[1]; its result line goes to out.
ExitStatus RunDialog(const std::vector<std::string>& words, CWnd* mainWindow, std::ostream& out) {
    if (words.size() < 2)
        return Fail(ExitStatus::BadCommandLine,
                    std::string("Beim Befehl „dialog“ fehlt die Dialogklasse."));
    const std::string& name = words[1];
    std::vector<CString> args;
    for (size_t i = 2; i < words.size(); ++i) args.push_back(Utf8ToCp1252(words[i]));
    const XQRuntimeClass* runtimeClass = XQFindRuntimeClass(Utf8ToCp1252(name));
    if (!runtimeClass)
        return Fail(ExitStatus::BadCommandLine, "Unbekannte Dialogklasse „" + name + "“.");
    // The procedure search's second argument is the treatment date.
    if (name == "CdiaSuchOPS" && words.size() > 3) {
        const std::string problem = TreatmentDateProblem(args[1].str());
        if (!problem.empty()) return Fail(ExitStatus::BadCommandLine, problem);
    }
    std::unique_ptr<CXQDialog> dialog = runtimeClass->create(args, mainWindow);
    if (!dialog)
        return Fail(ExitStatus::BadCommandLine,
                    "Die Argumente passen nicht zur Dialogklasse „" + name + "“.");
    const int result = dialog->DoModal();
    out << "result: " << result << '\n';
    if (runtimeClass->results)
        for (const auto& [field, value] : runtimeClass->results(*dialog, result))
            out << PrintedValue(field) << ": " << PrintedValue(value) << '\n';
    return ExitStatus::Done;
}

// import-icd ICD.xml [HMV.xml [EXTRACT.csv]]: the catalogue from the KBV
// master files, as the desktop's menu entry reads it; a file not named leaves
// its part out. What went wrong the box has said.
ExitStatus ImportIcd(const std::vector<std::string>& words) {
    auto path = [&](size_t i) { return i < words.size() ? Utf8ToCp1252(words[i]) : CString(); };
    if (CQIcd::ReadFromXMLFile(dbDatabase, nullptr, path(1), path(2), path(3)) != XQ_OK)
        return Fail(ExitStatus::Other, std::string("Der ICD-Katalog wurde nicht eingelesen."));
    std::cout << "Der ICD-Katalog wurde eingelesen." << std::endl;
    return ExitStatus::Done;
}

ExitStatus LoadOrDump(const std::vector<std::string>& words) {
    const bool load = words[0] == "load";
    const CString kind = Utf8ToCp1252(words[1]);
    if (!XQIsTsvKind(kind))
        return Fail(ExitStatus::BadCommandLine, "Unbekannte Datenart „" + words[1] + "“.");
    CString error;
    if (load) dbDatabase->ClearError();
    const int status =
        load ? XQLoadTsv(kind, words[2], &error) : XQDumpTsv(kind, std::cout, &error);
    std::cout.flush();
    return status == 0 ? ExitStatus::Done
                       : Fail(ExitStatus::Other, load ? WithReason(error) : error);
}

// Copies the practice file onto the server and names the server in the home
// folder's q7host.conf, so that this workstation works there from now on.
ExitStatus Migrate(const std::string& home, const std::string& url) {
    CString report, error;
    // The file stays as it was, as a copy of the practice before the move.
    XQClosePracticeDatabase();
    if (XQMigrateToServer(home, Utf8ToCp1252(url), &report, &error) != 0)
        return Fail(ExitStatus::Other, error);
    std::cout << Cp1252ToUtf8(report.str());
    const std::string conf = home + "/q7host.conf";
    std::ofstream out(conf, std::ios::app);
    out << "db " << url << "\n";
    out.flush();
    if (!out)
        return Fail(ExitStatus::Other, "Die Praxis ist auf dem Server, aber " + conf +
                                           " konnte nicht geschrieben werden; bitte dort die "
                                           "Zeile „db " +
                                           url + "“ eintragen.");
    std::cout << "Die Praxis liegt jetzt auf dem Server; " << conf << " nennt ihn (Zeile „db "
              << url << "“).\nJeder weitere Arbeitsplatz braucht dieselbe Zeile in seinem "
              << "q7host.conf und seinen Katalog (import-icd oder load).\n";
    return ExitStatus::Done;
}

// The window front end's library, opened only for a run that shows windows,
// so that every other run leaves the toolkit unmapped. It stays loaded to the
// end of the process: the toolkit is not made to be unloaded.
struct WindowLibrary {
    XQQtCanShowWindowsFn canShowWindows = nullptr;
    XQQtCreateFrontEndFn createFrontEnd = nullptr;

    bool Open(std::string& error) {
        void* handle = OpenProgramLibrary(kXQQtLibrary, "Die Fensteroberfläche", error);
        if (!handle) return false;
        canShowWindows =
            reinterpret_cast<XQQtCanShowWindowsFn>(dlsym(handle, "XQQtCanShowWindows"));
        createFrontEnd =
            reinterpret_cast<XQQtCreateFrontEndFn>(dlsym(handle, "XQQtCreateFrontEnd"));
        if (canShowWindows && createFrontEnd) return true;
        error = std::string("Die Fensteroberfläche ") + kXQQtLibrary + " ist unvollständig.";
        return false;
    }
};

// A command word and its argument count; false with the reason when the
// line names no command this program knows.
bool CheckCommand(const std::vector<std::string>& words, std::string& error) {
    if (words.empty()) return true;
    const std::string& command = words[0];
    const size_t args = words.size() - 1;
    if (command == "call" || command == "dialog") return true;
    if (command == "load" && args != 2)
        error = "Aufruf: q7host load ART DATEI";
    else if (command == "dump" && args != 1)
        error = "Aufruf: q7host dump ART";
    else if (command == "seed-demo" && args != 0)
        error = "seed-demo nimmt keine Argumente.";
    else if (command == "import-icd" && (args < 1 || args > 3))
        error = "Aufruf: q7host import-icd ICD.xml [HMV.xml [AUSZUG.csv]]";
    else if (command == "init" && args != 0)
        error = "init nimmt keine Argumente.";
    else if (command == "migrate" && (args != 2 || words[1] != "--to" || words[2].empty()))
        error = "Aufruf: q7host migrate --to VERBINDUNG";
    else if (command != "load" && command != "dump" && command != "seed-demo" &&
             command != "import-icd" && command != "init" && command != "migrate")
        error = "Unbekannter Befehl „" + command + "“.";
    return error.empty();
}

// Windows by default when a display is there and no script drives the run.
bool UseWindows(const AppOptions& options) {
    if (!options.ui.empty()) return options.ui == "qt";
    if (options.hasScript) return false;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

ExitStatus Run(int argc, char** argv) {
    AppOptions options;
    std::string error = ParseCommandLine(argc, argv, options);
    if (error.empty() && !options.help) CheckCommand(options.command, error);
    if (!error.empty()) {
        std::cerr << "q7host: " << error << "\n\n" << UsageText();
        return ExitStatus::BadCommandLine;
    }
    if (options.help) {
        std::cout << UsageText();
        return ExitStatus::Done;
    }
    // Only commands that open dialogs need windows.
    const bool dialogs =
        options.command.empty() || options.command[0] == "call" || options.command[0] == "dialog";
    const bool windows = UseWindows(options) && dialogs;
    if (windows && options.hasScript) {
        std::cerr << "q7host: Ein Skript (--script) treibt nur die Textoberfläche; bitte "
                     "--ui text verwenden.\n";
        return ExitStatus::BadCommandLine;
    }
    WindowLibrary windowLibrary;
    if (windows && !windowLibrary.Open(error)) return Fail(ExitStatus::Other, error);
    if (windows && !windowLibrary.canShowWindows(&error)) return Fail(ExitStatus::Other, error);

    const std::string home = HomeFolder(options);
    if (!PrepareHome(home, error)) return Fail(ExitStatus::Other, error);
    Q7SetHome(home);
    Q7SetToday(options.today.c_str());
    Q7SetWorkstation(options.workstation);
    dbLfdWorkstation = options.workstation;

    // The script: a file, standard input, or none. Without a command and
    // without a script, a terminal user drives the desktop line by line.
    std::unique_ptr<std::istream> ownedScript;
    std::istream* script = nullptr;
    std::unique_ptr<PrefixedInput> interactive;
    const bool desktop = options.command.empty();
    if (options.hasScript) {
        if (options.scriptPath == "-") {
            script = &std::cin;
        } else {
            auto file = std::make_unique<std::ifstream>(options.scriptPath);
            if (!*file)
                return Fail(ExitStatus::Other,
                            "Das Skript " + options.scriptPath + " konnte nicht gelesen werden.");
            ownedScript = std::move(file);
            script = ownedScript.get();
        }
    } else if (desktop && !windows && isatty(STDIN_FILENO)) {
        std::cout << "Textoberfläche: eine Aktion je Zeile (etwa „type Behandlungseintrag "
                     "Befund: [BEF]“, „key F3 Behandlungseintrag“, „dump“); Strg+D beendet.\n";
        interactive = std::make_unique<PrefixedInput>("dump\n", std::cin);
        ownedScript = std::make_unique<std::istream>(interactive.get());
        ownedScript->tie(&std::cout);
        script = ownedScript.get();
    }

    // The practice's store: --db, else the home folder's q7host.conf, else
    // the file praxis.db. A migration reads the file, whatever they say.
    std::string server = options.db;
    if (server.empty() && !ReadHomeConfig(home, server, error))
        return Fail(ExitStatus::Other, error);
    const std::string command0 = desktop ? std::string() : options.command[0];
    if (command0 == "migrate") {
        server.clear();
        if (!std::filesystem::exists(home + "/praxis.db"))
            return Fail(ExitStatus::Other, "Die Praxisdatei " + home +
                                               "/praxis.db gibt es nicht; übernommen wird eine "
                                               "bestehende Praxis.");
    }
    CString dbError;
    if (XQOpenPracticeDatabase(home, Utf8ToCp1252(server), command0 == "init", &dbError) != 0)
        return Fail(ExitStatus::Other, dbError);
    ChooseSessionRecords();

    std::unique_ptr<CXQTextFrontEnd> textFrontEnd;
    std::unique_ptr<IXQFrontEnd> windowFrontEnd;
    if (windows) {
        windowFrontEnd.reset(windowLibrary.createFrontEnd(&error));
        if (!windowFrontEnd) {
            XQClosePracticeDatabase();
            return Fail(ExitStatus::Other, error);
        }
        XQSetFrontEnd(windowFrontEnd.get());
    } else {
        textFrontEnd = std::make_unique<CXQTextFrontEnd>(script, std::cout);
        textFrontEnd->SetInteractive(interactive != nullptr);
        XQSetFrontEnd(textFrontEnd.get());
    }

    ExitStatus status = ExitStatus::Done;
    // The result lines of a call or dialog; printed only when the script fit
    // the dialogs to its end.
    std::ostringstream results;
    {
        ModuleLibrary module;
        const std::string command = desktop ? std::string() : options.command[0];
        if (desktop || command == "call" || command == "dialog") {
            if (!module.Open(error)) {
                XQSetFrontEnd(nullptr);
                XQClosePracticeDatabase();
                return Fail(ExitStatus::Other, error);
            }
        }
        // The host's main window, parent of every dialog the module opens.
        CWnd mainWindow(XQKind::Frame);
        if (desktop) {
            RegisterHostDialogs();
            CPraxisDesktop window(module);
            if (window.DoModal() < 0)
                status = Fail(ExitStatus::Other,
                              std::string("Der Praxis-Arbeitsplatz konnte nicht geöffnet "
                                          "werden."));
        } else if (command == "call") {
            std::vector<std::string> words(options.command.begin() + 1, options.command.end());
            status = RunCall(module, words, &mainWindow, results, error);
            if (status != ExitStatus::Done) status = Fail(status, error);
        } else if (command == "dialog") {
            status = RunDialog(options.command, &mainWindow, results);
        } else if (command == "seed-demo") {
            status = SeedDemo(home);
        } else if (command == "import-icd") {
            status = ImportIcd(options.command);
        } else if (command == "init") {
            std::cout << (server.empty() ? "Die Praxisdatei " + home + "/praxis.db"
                                         : std::string("Die Praxisdatenbank auf dem Server"))
                      << " ist eingerichtet (Schema " << XQ_SCHEMA_VERSION << ").\n";
        } else if (command == "migrate") {
            status = Migrate(home, options.command[2]);
        } else {
            status = LoadOrDump(options.command);
        }
        // A script that does not fit the dialogs has only broken the work
        // off: status 3, without its results.
        if (!textFrontEnd || !textFrontEnd->HasMisfit()) std::cout << results.str();
        std::cout.flush();
        if (status == ExitStatus::Done && !interactive && textFrontEnd)
            textFrontEnd->FinishScript();
        if (textFrontEnd && textFrontEnd->HasMisfit()) {
            std::cerr << "Skript passt nicht zum Dialog: " << textFrontEnd->MisfitReason()
                      << std::endl;
            status = ExitStatus::ScriptMisfit;
        }
    }
    XQSetFrontEnd(nullptr);
    windowFrontEnd.reset();
    XQClosePracticeDatabase();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // What nothing below caught ends the run with a German line in the log,
    // never with the runtime's English abort text.
    return static_cast<int>(XQGuard("q7host", ExitStatus::Other, [&] { return Run(argc, argv); }));
}
