#include "q7txtbst/diaConfigSuchIcd.h"

#include "host/base/Helpers.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"
#include "host/db/XQStatus.h"
#include "host/dlg/XQMessages.h"
#include "q7txtbst/Module.h"

namespace {

enum : int {
    IDC_CFG_FRAME = 1001,
    IDC_CFG_SYSTEMATISCH,
    IDC_CFG_ALPHABETISCH,
    IDC_CFG_BEIDE,
    IDC_CFG_HK,
    IDC_CFG_FK,
};

// The search's program number, right-aligned in three characters.
const char kProgramm[] = "214";

CString SettingsKey() {
    return CString("search") + dbMdId;
}

}  // namespace

CString ReadIcdSuchSettings(bool* exists) {
    CQParPool par(dbDatabaseRO);
    par.Key1 = kProgramm;
    par.Key2 = SettingsKey();
    const bool found = par.GetByK1(XQ_MATCH_EQUAL) == XQ_OK;
    if (exists) *exists = found;
    return AddBlanks(found ? par.Value : CString(), 8);
}

bool WriteIcdSuchSettings(const CString& value, bool exists) {
    CQParPool par(dbDatabase);
    par.Key1 = kProgramm;
    par.Key2 = SettingsKey();
    if (exists && par.GetByK1(XQ_MATCH_EQUAL) == XQ_OK) {
        par.Value = value;
        return par.Rewrite() == XQ_OK;
    }
    par.Value = value;
    return par.Write() == XQ_OK;
}

XQDialogTemplate ConfigSuchIcdTemplate() {
    XQDialogTemplate t;
    t.number = IDD_CONFIGSUCHICD;
    t.caption = "Einstellungen";
    t.width = 420;
    t.height = 180;
    XQAddControl(t, IDC_CFG_FRAME, XQKind::Frame, "Einstellungen zum Start der Diagnosensuche", 10,
                 10, 400, 160);
    XQAddControl(t, IDC_CFG_SYSTEMATISCH, XQKind::Check,
                 "&Systematisches Verzeichnis des ICD-10-GM", 20, 30, 380, 20);
    XQAddControl(t, IDC_CFG_ALPHABETISCH, XQKind::Check,
                 "&Alphabetisches Verzeichnis des ICD-10-GM", 20, 54, 380, 20);
    XQAddControl(t, IDC_CFG_BEIDE, XQKind::Check,
                 "Systematisches und alphabetisches &Verzeichnis des ICD-10-GM", 20, 78, 380, 20);
    XQAddControl(t, IDC_CFG_HK, XQKind::Check, "&Hausarzt-Katalog", 20, 110, 380, 20);
    XQAddControl(t, IDC_CFG_FK, XQKind::Check, "&Facharzt-Katalog", 20, 134, 380, 20);
    t.toolbar = {
        {XQTB_EXIT, "ESC - Abbrechen"},
        {XQTB_ACCEPT,
         "\xDC"
         "bernehmen"},
        {XQTB_HELP, "F1 - Hilfe"},
    };
    return t;
}

CdiaConfigSuchIcd::CdiaConfigSuchIcd(bool hideExtras, const CString& arztgruppe, CWnd* parent)
    : CXQDialog(IDD_CONFIGSUCHICD, parent), m_bHideExtras(hideExtras), m_strArztgruppe(arztgruppe) {
    SetHelpName("diaConfigSuchIcd");
    DDX_Control(IDC_CFG_SYSTEMATISCH, m_checkSystematisch);
    DDX_Control(IDC_CFG_ALPHABETISCH, m_checkAlphabetisch);
    DDX_Control(IDC_CFG_BEIDE, m_checkBeide);
    DDX_Control(IDC_CFG_HK, m_checkHK);
    DDX_Control(IDC_CFG_FK, m_checkFK);
    for (CXQLCheckX* box : {&m_checkSystematisch, &m_checkAlphabetisch, &m_checkBeide})
        box->onClick = [this, box] { OnStartChoice(*box); };
}

CdiaConfigSuchIcd::~CdiaConfigSuchIcd() = default;

bool CdiaConfigSuchIcd::OnInitDialog() {
    CXQDialog::OnInitDialog();
    if (m_bHideExtras)
        for (CXQLCheckX* box : {&m_checkBeide, &m_checkHK, &m_checkFK}) box->ShowWindow(false);
    const CString value = ReadIcdSuchSettings(&m_bExists);
    m_checkSystematisch.SetCheck(value[0] != '1');
    m_checkAlphabetisch.SetCheck(value[0] == '1');
    m_checkHK.SetCheck(value[1] == '1');
    m_checkFK.SetCheck(value[2] == '1');
    m_checkBeide.SetCheck(value[7] == '1');
    return true;
}

void CdiaConfigSuchIcd::OnStartChoice(CXQLCheckX& clicked) {
    CXQLCheckX* const boxes[] = {&m_checkSystematisch, &m_checkAlphabetisch, &m_checkBeide};
    if (clicked.GetCheck()) {
        for (CXQLCheckX* box : boxes)
            if (box != &clicked) box->SetCheck(false);
        return;
    }
    for (CXQLCheckX* other : boxes) {
        if (other == &clicked || !other->GetCheck()) continue;
        for (CXQLCheckX* box : boxes)
            if (box != other) box->SetCheck(false);
        return;
    }
    clicked.SetCheck(true);
}

void CdiaConfigSuchIcd::OnSaveAndExit() {
    const auto flag = [](const CXQLCheckX& box) { return CString(box.GetCheck() ? "1" : "0"); };
    const CString value = flag(m_checkAlphabetisch) + flag(m_checkHK) + flag(m_checkFK) +
                          LeftFix(m_strArztgruppe, 4) + flag(m_checkBeide);
    if (!WriteIcdSuchSettings(value, m_bExists)) {
        HaltE(6, CString("Die Einstellungen konnten nicht gespeichert werden."));
        return;
    }
    EndDialog(1);
}

void CdiaConfigSuchIcd::OnExit() {
    EndDialog(0);
}
