#include "q7txtbst/diaKRWAenderungen.h"

#include <string>
#include <string_view>

#include "host/base/Cp1252.h"
#include "host/base/Escape.h"
#include "host/base/XQFile.h"
#include "host/base/XQGuard.h"
#include "q7txtbst/Module.h"

namespace {

enum : int { IDC_KRWA_LIST = 1201 };

const char kWo[] = "Kodierregelwerk-\304nderungen";
// A line list is a few thousand lines; anything far beyond is not one.
constexpr long long kMaxDatei = 64LL * 1024 * 1024;

// A host data file of lines ("text", "colour" as a decimal 0x00BBGGRR value,
// header line first, UTF-8, fields escaped) as krlines. False with the
// German reason.
bool LeseZeilen(const CString& pfad, std::vector<krline>& zeilen, CString& grund) {
    CXQFile datei;
    if (!datei.Open(pfad)) {
        grund = datei.ErrorText();
        return false;
    }
    std::string inhalt;
    char c;
    while (datei.GetByte(c)) {
        inhalt += c;
        if (static_cast<long long>(inhalt.size()) > kMaxDatei) {
            grund = "Die Datei " + pfad + " ist zu gro\337 f\374r eine Zeilenliste.";
            return false;
        }
    }
    if (datei.Failed()) {
        grund = datei.ErrorText();
        return false;
    }
    std::string_view rest = inhalt;
    int nummer = 0;
    while (!rest.empty()) {
        const size_t lf = rest.find('\n');
        std::string_view zeile = rest.substr(0, lf);
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
        if (!zeile.empty() && zeile.back() == '\r') zeile.remove_suffix(1);
        ++nummer;
        const CString wo = "Datei " + pfad + ", Zeile " + FormatString("%d", nummer) + ": ";
        if (nummer == 1) {
            if (zeile != "text\tcolour") {
                grund = wo + "Die Kopfzeile muss \"text\", Tabulator, \"colour\" lauten.";
                return false;
            }
            continue;
        }
        const size_t tab = zeile.find('\t');
        if (tab == std::string_view::npos || zeile.find('\t', tab + 1) != std::string_view::npos) {
            grund = wo + "Erwartet werden genau zwei Spalten (Text und Farbe).";
            return false;
        }
        std::string text;
        if (!XQUnescapeField(zeile.substr(0, tab), text)) {
            grund = wo + "Der Text enth\344lt eine ung\374ltige Escape-Folge.";
            return false;
        }
        const std::string_view farbe = zeile.substr(tab + 1);
        unsigned long long wert = 0;
        bool gut = !farbe.empty() && farbe.size() <= 8;
        for (char ziffer : farbe) {
            if (ziffer < '0' || ziffer > '9') gut = false;
            wert = wert * 10 + static_cast<unsigned>(ziffer - '0');
        }
        if (!gut || wert > 0xFFFFFF) {
            grund = wo + "Die Farbe muss eine Dezimalzahl von 0 bis 16777215 (0x00BBGGRR) sein.";
            return false;
        }
        zeilen.push_back({Utf8ToCp1252(text), static_cast<unsigned int>(wert)});
    }
    if (nummer == 0) {
        grund = "Datei " + pfad + ": Die Kopfzeile fehlt.";
        return false;
    }
    return true;
}

}  // namespace

XQDialogTemplate KRWAenderungenTemplate() {
    XQDialogTemplate t;
    t.number = IDD_KRWAENDERUNGEN;
    t.caption = kWo;
    t.width = 980;
    t.height = 560;
    XQAddControl(t, IDC_KRWA_LIST, XQKind::List, "\304nderungen", 10, 10, 960, 520);
    t.toolbar = {
        XQStandardButton(XQTB_EXIT),
        XQStandardButton(XQTB_HELP),
    };
    return t;
}

XQRuntimeClass KRWAenderungenRuntimeClass() {
    // "dialog CdiaKRWAenderungen [FILE]"; a file that is no line list is
    // named with its reason in the host log before the host refuses the
    // arguments.
    return {"CdiaKRWAenderungen",
            [](const std::vector<CString>& args, CWnd*) -> std::unique_ptr<CXQDialog> {
                if (args.size() > 1) return nullptr;
                std::vector<krline> zeilen;
                if (args.size() == 1) {
                    CString grund;
                    if (!LeseZeilen(args[0], zeilen, grund)) {
                        XQLog(kWo, grund);
                        return nullptr;
                    }
                }
                return std::make_unique<CdiaKRWAenderungen>(std::move(zeilen), nullptr);
            },
            {}};
}

CdiaKRWAenderungen::CdiaKRWAenderungen(std::vector<krline> zeilen, CWnd* parent)
    : CXQDialog(IDD_KRWAENDERUNGEN, parent), m_zeilen(std::move(zeilen)) {
    SetHelpName("diaKRWAenderungen");
    DDX_Control(IDC_KRWA_LIST, m_list);
    m_list.SetFixedPitch(true);
}

bool CdiaKRWAenderungen::OnInitDialog() {
    CXQDialog::OnInitDialog();
    m_list.ResetContent();
    for (const krline& zeile : m_zeilen)
        m_list.SetItemColor(m_list.AddString(zeile.text), zeile.farbe);
    return true;
}
