#include "app/CommandLine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// A positive decimal number without sign or blanks; false on anything else.
bool ParseWorkstation(const std::string& text, int& number) {
    if (text.empty() || text.size() > 6) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    number = std::atoi(text.c_str());
    return number > 0;
}

// Why the script at path cannot be read, or empty when it can.
std::string ScriptFileProblem(const std::string& path) {
    const std::string name = "„" + path + "“";
    struct stat info {};
    int error = stat(path.c_str(), &info) == 0 ? 0 : errno;
    if (error == 0 && S_ISDIR(info.st_mode))
        return name + " ist ein Ordner, keine Skriptdatei (--script).";
    if (error == 0 && access(path.c_str(), R_OK) != 0) error = errno;
    if (error == 0) return std::string();
    if (error == ENOENT) return "Die Skriptdatei " + name + " gibt es nicht (--script).";
    return "Die Skriptdatei " + name + " kann nicht gelesen werden: " + SystemReason(error) + ".";
}

}  // namespace

std::string SystemReason(int errorNumber) {
    switch (errorNumber) {
        case ENOENT:
            return "nicht vorhanden";
        case ENOTDIR:
            return "ein Teil des Pfads ist kein Ordner";
        case EACCES:
        case EPERM:
            return "es fehlen die Rechte";
        case EROFS:
            return "der Datenträger ist schreibgeschützt";
        case ENOSPC:
            return "der Datenträger ist voll";
        case EDQUOT:
            return "der zugeteilte Platz auf dem Datenträger ist erschöpft";
        case ENAMETOOLONG:
            return "der Name ist zu lang";
        case ELOOP:
            return "zu viele Verweise im Pfad";
        case EISDIR:
            return "das ist ein Ordner";
        case EEXIST:
            return "eine Datei dieses Namens ist schon vorhanden";
        case EIO:
            return "Lese- oder Schreibfehler des Datenträgers";
        default:
            return "Systemfehler " + std::to_string(errorNumber);
    }
}

bool IsValidDate(const std::string& yyyymmdd) {
    if (yyyymmdd.size() != 8) return false;
    for (char c : yyyymmdd)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    const int year = std::atoi(yyyymmdd.substr(0, 4).c_str());
    const int month = std::atoi(yyyymmdd.substr(4, 2).c_str());
    const int day = std::atoi(yyyymmdd.substr(6, 2).c_str());
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1) return false;
    const int last = kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    return day <= last;
}

std::string ParseCommandLine(int argc, const char* const* argv, AppOptions& options) {
    int i = 1;
    for (; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--help" || word == "-h") {
            options.help = true;
            continue;
        }
        if (word.rfind("--", 0) != 0 || word == "--") {
            if (word == "--") ++i;
            break;
        }
        std::string name = word, value;
        bool hasValue = false;
        const size_t eq = word.find('=');
        if (eq != std::string::npos) {
            name = word.substr(0, eq);
            value = word.substr(eq + 1);
            hasValue = true;
        }
        if (name != "--home" && name != "--today" && name != "--workstation" && name != "--ui" &&
            name != "--script" && name != "--db")
            return "Unbekannte Option „" + name + "“.";
        if (!hasValue) {
            if (i + 1 >= argc) return "Der Option „" + name + "“ fehlt ihr Wert.";
            value = argv[++i];
        }
        if (name == "--home") {
            if (value.empty()) return "Das Verzeichnis bei --home ist leer.";
            options.home = value;
        } else if (name == "--today") {
            if (!IsValidDate(value))
                return "Das Datum bei --today muss ein Tag in der Form JJJJMMTT sein, nicht „" +
                       value + "“.";
            options.today = value;
        } else if (name == "--workstation") {
            if (!ParseWorkstation(value, options.workstation))
                return "Die Arbeitsplatznummer bei --workstation muss eine Zahl ab 1 sein, "
                       "nicht „" +
                       value + "“.";
        } else if (name == "--db") {
            if (value.empty()) return "Die Verbindungsangabe bei --db ist leer.";
            options.db = value;
        } else if (name == "--ui") {
            if (value != "text" && value != "qt")
                return "Die Oberfläche bei --ui ist „text“ oder „qt“, nicht „" + value + "“.";
            options.ui = value;
        } else {
            if (value.empty()) return "Die Skriptdatei bei --script ist leer.";
            if (value != "-") {
                const std::string problem = ScriptFileProblem(value);
                if (!problem.empty()) return problem;
            }
            options.scriptPath = value;
            options.hasScript = true;
        }
    }
    for (; i < argc; ++i) options.command.emplace_back(argv[i]);
    return std::string();
}

bool ReadHomeConfig(const std::string& home, std::string& db, std::string& error) {
    db.clear();
    const std::string path = home + "/q7host.conf";
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 && errno == ENOENT) return true;
    std::ifstream in(path);
    if (!in) {
        error = "Die Einstellungsdatei " + path +
                " kann nicht gelesen werden: " + SystemReason(errno) + ".";
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = line.substr(0, line.find('#'));
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) continue;
        const size_t gap = line.find_first_of(" \t", first);
        const std::string name = line.substr(first, gap - first);
        std::string value = gap == std::string::npos ? "" : line.substr(gap);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t\r") + 1);
        if (name != "db") {
            error = path + ", Zeile " + std::to_string(number) + ": unbekannte Einstellung „" +
                    name + "“ (bekannt ist „db“).";
            return false;
        }
        if (value.empty()) {
            error = path + ", Zeile " + std::to_string(number) + ": „db“ ohne Verbindungsangabe.";
            return false;
        }
        db = value;
    }
    return true;
}

const char* UsageText() {
    return "Aufruf: q7host [--home VERZ] [--db VERBINDUNG] [--today JJJJMMTT] [--workstation N]\n"
           "              [--ui text|qt] [--script DATEI|-] [BEFEHL [ARGUMENT...]]\n"
           "\n"
           "Befehle:\n"
           "  call FUNKTION [ARGUMENT...]  ruft eine Funktion des Moduls auf\n"
           "  dialog KLASSE [ARGUMENT...]  zeigt einen Dialog des Moduls\n"
           "  load ART DATEI               lädt Praxisdaten aus einer TSV-Datei\n"
           "  dump ART                     gibt Praxisdaten als TSV aus\n"
           "  seed-demo                    legt die Demo-Praxis an\n"
           "  import-icd ICD.xml [HMV.xml [AUSZUG.csv]]\n"
           "                               liest den ICD-10-GM-Katalog aus den KBV-Dateien ein\n"
           "  init                         richtet die Praxisdatenbank ein (auch auf dem Server)\n"
           "  migrate --to VERBINDUNG      übernimmt die Praxisdatei in eine leere\n"
           "                               Datenbank auf dem Server\n"
           "  (kein Befehl)                öffnet den Praxis-Arbeitsplatz\n"
           "\n"
           "Die OP-Schlüssel-Suche: call Q7SuchOPS OHNESEITE DATUM oder\n"
           "dialog CdiaSuchOPS OHNESEITE DATUM [SCHLÜSSEL [SEITE]]; OHNESEITE 0 oder 1,\n"
           "DATUM das Behandlungsdatum JJJJMMTT.\n"
           "\n"
           "Ohne --db und ohne Zeile „db VERBINDUNG“ in VERZ/q7host.conf liegt die Praxis in\n"
           "VERZ/praxis.db; VERBINDUNG etwa postgresql://benutzer@server/praxis (das Passwort\n"
           "steht in ~/.pgpass oder PGPASSWORD, nie in der Angabe).\n";
}
