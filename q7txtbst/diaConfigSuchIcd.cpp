#include "q7txtbst/diaConfigSuchIcd.h"

#include "host/dlg/XQMessages.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/SuchControls.h"

namespace {

enum : int {
    IDC_CFG_FRAME = 1001,
    IDC_CFG_SYSTEMATISCH,
    IDC_CFG_ALPHABETISCH,
    IDC_CFG_BEIDE,
    IDC_CFG_HK,
    IDC_CFG_FK,
};

}  // namespace

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
        XQStandardButton(XQTB_EXIT),
        XQStandardButton(XQTB_ACCEPT),
        XQStandardButton(XQTB_HELP),
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
    m_settings = CIcdSuchEinstellungen::Read();
    m_checkSystematisch.SetCheck(!m_settings.alphabetisch);
    m_checkAlphabetisch.SetCheck(m_settings.alphabetisch);
    m_checkHK.SetCheck(m_settings.hausarzt);
    m_checkFK.SetCheck(m_settings.facharzt);
    m_checkBeide.SetCheck(m_settings.beide);
    return true;
}

void CdiaConfigSuchIcd::OnStartChoice(CXQLCheckX& clicked) {
    const auto boxes = {&m_checkSystematisch, &m_checkAlphabetisch, &m_checkBeide};
    if (clicked.GetCheck()) {
        CheckAlone(clicked, boxes);
        return;
    }
    for (CXQLCheckX* other : boxes) {
        if (other == &clicked || !other->GetCheck()) continue;
        CheckAlone(*other, boxes);
        return;
    }
    clicked.SetCheck(true);
}

void CdiaConfigSuchIcd::OnSaveAndExit() {
    m_settings.alphabetisch = m_checkAlphabetisch.GetCheck();
    m_settings.hausarzt = m_checkHK.GetCheck();
    m_settings.facharzt = m_checkFK.GetCheck();
    m_settings.arztgruppe = m_strArztgruppe;
    m_settings.beide = m_checkBeide.GetCheck();
    if (!m_settings.Write()) {
        HaltE(6, CString("Die Einstellungen konnten nicht gespeichert werden."));
        return;
    }
    EndDialog(1);
}

void CdiaConfigSuchIcd::OnExit() {
    EndDialog(0);
}
