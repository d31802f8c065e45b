#include "q7txtbst/diaVAStammView.h"

#include <string>
#include <utility>

#include "host/base/Helpers.h"
#include "host/base/HostContext.h"
#include "host/base/XQFile.h"
#include "host/base/XQGuard.h"
#include "host/db/Icd.h"
#include "host/dlg/XQMessages.h"
#include "q7txtbst/Krw.h"
#include "q7txtbst/Module.h"

namespace {

enum : int { IDC_VA_LIST = 1201 };

const char kWo[] = "Verschl\374sselungsanleitung";
const char kAchtung[] = "Achtung";
// A published edition is a few MiB; the whole file and its element tree
// are held in memory, so anything far beyond is refused rather than read.
constexpr long long kMaxDatei = 64LL * 1024 * 1024;

}  // namespace

XQDialogTemplate VAStammViewTemplate() {
    XQDialogTemplate t;
    t.number = IDD_VASTAMMVIEW;
    t.caption = "Verschl\374sselungsanleitung Stammdatei";
    // 120 characters of the fixed-pitch font fit in the list.
    t.width = 1000;
    t.height = 640;
    XQAddControl(t, IDC_VA_LIST, XQKind::List, "Verschl\374sselungsanleitung", 10, 10, 980, 600);
    t.toolbar = {
        XQStandardButton(XQTB_EXIT),
        XQStandardButton(XQTB_HELP),
    };
    return t;
}

XQRuntimeClass VAStammViewRuntimeClass() {
    // "dialog CdiaVAStammView CODE"; no code (or an empty one) is the whole
    // manual.
    return {"CdiaVAStammView",
            [](const std::vector<CString>& args, CWnd*) -> std::unique_ptr<CXQDialog> {
                if (args.size() > 1) return nullptr;
                return std::make_unique<CdiaVAStammView>(args.empty() ? CString() : args[0],
                                                         nullptr);
            },
            {}};
}

CdiaVAStammView::CdiaVAStammView(CString code, CWnd* parent)
    : CXQDialog(IDD_VASTAMMVIEW, parent), m_code(std::move(code)) {
    SetHelpName("diaVAStammView");
    DDX_Control(IDC_VA_LIST, m_list);
    // The tables are aligned by blanks. Without tab stops the list's tab
    // width is 8 characters.
    m_list.SetFixedPitch(true);
}

bool CdiaVAStammView::OnInitDialog() {
    CXQDialog::OnInitDialog();
    if (!ReadVA(kMuster, m_xml)) {
        Halt(kAchtung, "Verschluesselungsanleitung Stammdatei konnte nicht gefunden werden.");
        return true;
    }
    displayXml();
    SetFocusTo(&m_list);
    return true;
}

bool CdiaVAStammView::actoi(const CString& text, int& pos, unsigned& value) {
    const std::string& s = text.str();
    if (pos < 0 || static_cast<size_t>(pos) >= s.size()) return false;
    size_t p = static_cast<size_t>(pos);
    while (p < s.size() && s[p] == ' ') ++p;
    if (p >= s.size() || s[p] < '0' || s[p] > '9') return false;
    unsigned n = 0;
    for (; p < s.size() && s[p] >= '0' && s[p] <= '9'; ++p)
        n = n * 10 + static_cast<unsigned>(s[p] - '0');
    value = n;
    pos = static_cast<int>(p);
    return true;
}

int CdiaVAStammView::YearOfDatum(const CString& datum) {
    return NumStr(datum, 8, 8) ? std::stoi(datum.str()) / 10000 : 0;
}

int CdiaVAStammView::MonthOfDatum(const CString& datum) {
    return NumStr(datum, 8, 8) ? std::stoi(datum.str()) / 100 % 100 : 0;
}

int CdiaVAStammView::QuartalOfDatum(const CString& datum) {
    return (MonthOfDatum(datum) + 2) / 3;
}

void CdiaVAStammView::GetCurrentXml(const CString& folder, CString& pattern) {
    const CString muster = pattern;
    pattern = folder + muster;
    const CString heute = GetXQDate();
    const unsigned jahrHeute = static_cast<unsigned>(YearOfDatum(heute));
    const unsigned quartalHeute = static_cast<unsigned>(QuartalOfDatum(heute));
    unsigned best[5] = {0, 0, 0, 0, 0};  // major, minor, year, quarter, number
    CString bestName;
    for (const CString& name : XQListFiles(folder, muster)) {
        unsigned n[5] = {0, 0, 0, 0, 0};
        int pos = 3;
        const int skip[5] = {0, 1, 7, 1, 4};
        bool ok = true;
        for (int i = 0; i < 5 && ok; ++i) {
            pos += skip[i];
            ok = actoi(name, pos, n[i]);
        }
        if (!ok) continue;
        bool newer = false;
        for (int i = 0; i < 5; ++i) {
            if (n[i] != best[i]) {
                newer = n[i] > best[i];
                break;
            }
        }
        const bool zukunft = jahrHeute < n[2] || (jahrHeute == n[2] && quartalHeute < n[3]);
        if (newer && !zukunft) {
            std::copy(n, n + 5, best);
            bestName = name;
        }
    }
    if (best[2] != 0) pattern = folder + bestName;
}

bool CdiaVAStammView::ReadVA(const CString& pattern, CString& xml) {
    CString folder;
    if (!CKrw::GetKbvPath(folder)) return false;
    CString path = pattern;
    GetCurrentXml(folder, path);
    // No edition qualified: the path still holds the pattern.
    if (path == folder + pattern) return false;
    CXQFile file;
    if (!file.Open(path)) {
        XQLog(kWo, file.ErrorText());
        return false;
    }
    std::string inhalt;
    char c;
    bool cr = false;
    while (file.GetByte(c)) {
        if (cr && c != '\n') inhalt += '\r';
        cr = c == '\r';
        if (!cr) inhalt += c;
        if (static_cast<long long>(inhalt.size()) > kMaxDatei) {
            XQLog(kWo, "Die Datei " + path + " ist gr\366\337er als 64 MiB.");
            return false;
        }
    }
    if (cr) inhalt += '\r';
    if (file.Failed()) {
        XQLog(kWo, file.ErrorText());
        return false;
    }
    xml = CString(std::move(inhalt));
    return true;
}

void CdiaVAStammView::displayXml() {
    m_list.ResetContent();
    m_lines.clear();
    CXQXMLElement root;
    CXQSimpleXMLReader reader;
    // A damaged file is as invalid as one of the wrong shape; the reader's
    // reason goes to the host log.
    const bool gelesen = reader.ReadString(m_xml.str(), root);
    if (!gelesen) XQLog(kWo, reader.ErrorText());
    if (!gelesen || root.children.size() != 2) {
        Halt(kAchtung, "Die Verschluesselungsanleitung Stammdatei ist ung\374ltig.");
        return;
    }
    CString beginn, ende;
    if (const CXQXMLElement* zeitraum = root.children.front().FirstChild("service_tmr")) {
        const CString v = zeitraum->GetAttribute("V");
        beginn = v.Left(10);
        ende = v.Right(10);
        beginn.Remove('-');
        ende.Remove('-');
        beginn = Db2Date(beginn);
        ende = Db2Date(ende);
    }
    CString caption = "Verschluesselungsanleitung Stammdatei - " + beginn + " - " + ende;
    if (!m_code.IsEmpty()) caption += " - ICD-Code " + m_code;
    SetWindowText(caption);

    const CXQXMLElement& body = root.children.back();
    if (m_code.IsEmpty()) {
        addLine(body, m_lines, 0, kVaBreite);
    } else {
        const CString key = CQIcd::RemovePoint(m_code);
        int status = XQ_NOTFOUND;
        CString kapitel;
        if (dbDatabaseRO && !key.IsEmpty()) {
            CQIcd icd(dbDatabaseRO);
            icd.SetReadOnly(true);
            icd.SetForwardOnly(true);
            icd.Code = key;
            status = icd.GetByK1(XQ_MATCH_EQUAL);
            if (status != XQ_OK && status != XQ_NOTFOUND)
                XQLog(kWo, "ICD-Katalog nicht lesbar (" + key + "): " + dbDatabaseRO->LastError());
            if (status == XQ_OK && icd.Code != key) status = XQ_NOTFOUND;
            kapitel = icd.VAKapitel;
        }
        if (status != XQ_OK) {
            Halt(kAchtung, "ICD-Code konnte nicht gefunden werden.");
            return;
        }
        m_kapitel.clear();
        for (int i = 0; i < kapitel.GetLength(); i += 8) m_kapitel.push_back(kapitel.Mid(i, 8));
        if (m_kapitel.empty()) {
            Halt(kAchtung, "Zu diesem ICD-Code konnten keine Informationen gefunden werden.");
            return;
        }
        for (const CString& id : m_kapitel)
            if (const CXQXMLElement* k = findKapitel(body, id)) addLine(*k, m_lines, 0, kVaBreite);
    }
    for (const line& l : m_lines)
        m_list.SetItemColor(m_list.AddString(l.prefix + l.text), l.colour);
}
