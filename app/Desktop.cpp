#include "app/Desktop.h"

#include "app/CommandLine.h"
#include "app/ModuleLibrary.h"
#include "host/base/HostContext.h"
#include "host/base/XQGuard.h"
#include "host/db/Icd.h"
#include "host/db/Ops.h"
#include "host/db/XQDatabase.h"
#include "host/dlg/XQMessages.h"
#include "host/dlg/XQResource.h"
#include "q7txtbst/Q7TbExport.h"

namespace {

// Far from the module's numbers, so that the chain finds each template once.
enum : int {
    IDD_DESKTOP = 30000,
    IDC_DESKTOP_MEMO = 30001,
    IDC_DESKTOP_FIELD = 30002,
    IDC_DESKTOP_EXPAND = 30003,
    IDC_DESKTOP_SEARCH = 30004,
    IDC_DESKTOP_CHOSEN = 30005,
    IDC_DESKTOP_STATUS = 30006,
    IDC_DESKTOP_EDITOR = 30007,
    IDC_DESKTOP_ICD = 30008,
    IDC_DESKTOP_KZBV = 30009,
    IDC_DESKTOP_OPS = 30010,
    IDC_DESKTOP_OPSDATE = 30011,
    IDC_DESKTOP_NOSIDE = 30012,
};

// The desktop's toolbar: one entry per service, beside the buttons.
enum : int {
    kTbSuchTB = 30101,
    kTbEditor = 30102,
    kTbSuchIcd = 30103,
    kTbKZBV = 30104,
    kTbSuchOPS = 30105,
    kTbKrw = 30106,
    kTbVa = 30107,
    kTbIcdImport = 30108,
};

XQDialogTemplate DesktopTemplate() {
    XQDialogTemplate t;
    t.number = IDD_DESKTOP;
    t.caption = "Praxis-Arbeitsplatz";
    t.width = 780;
    t.height = 480;
    XQAddControl(t, IDC_DESKTOP_MEMO, XQKind::Memo, "&Behandlungseintrag", 10, 10, 760, 260,
                 "K\xFCrzel eingeben und F3 dr\xFC"
                 "cken");
    XQAddControl(t, IDC_DESKTOP_FIELD, XQKind::Edit, "&Feld", 10, 280, 760, 20,
                 "Einzeiliges Feld: K\xFCrzel eingeben und F3 dr\xFC"
                 "cken");
    XQAddControl(t, IDC_DESKTOP_EXPAND, XQKind::Button, "K\xFCrzel &einf\xFCgen (F3)", 10, 310, 200,
                 24, "Das K\xFCrzel vor der Schreibmarke durch seinen Textbaustein ersetzen");
    XQAddControl(t, IDC_DESKTOP_SEARCH, XQKind::Button, "Textbaustein &suchen", 220, 310, 200, 24,
                 "Den Suchdialog der Textbausteine \xF6"
                 "ffnen");
    XQAddControl(t, IDC_DESKTOP_EDITOR, XQKind::Button, "Textbausteine &bearbeiten", 430, 310, 200,
                 24,
                 "Den Editor der Textbausteine \xF6"
                 "ffnen");
    XQAddControl(t, IDC_DESKTOP_ICD, XQKind::Button, "&Diagnose suchen (ICD-10)", 10, 340, 200, 24,
                 "Eine Diagnose im ICD-10-GM suchen, mit Sicherheit und Seite");
    XQAddControl(t, IDC_DESKTOP_KZBV, XQKind::Button, "Diagnosefreitext (&KZBV)", 220, 340, 200, 24,
                 "Einen zahn\xE4rztlichen Diagnosefreitext in ICD-Codes \xFC"
                 "berleiten");
    XQAddControl(t, IDC_DESKTOP_OPS, XQKind::Button, "&OP-Schl\xFCssel suchen", 430, 340, 200, 24,
                 "Eine Prozedur im OPS suchen, mit Seite und den Leistungen zum Behandlungsdatum");
    XQAddControl(t, IDC_DESKTOP_OPSDATE, XQKind::Edit, "Behandlungsda&tum", 430, 370, 200, 22,
                 "Behandlungsdatum der OPS-Suche (TT.MM.JJJJ): bestimmt die Ausgabe der "
                 "Geb\xFChrenordnung");
    XQAddControl(t, IDC_DESKTOP_NOSIDE, XQKind::Check, "o&hne Seite", 640, 370, 130, 22,
                 "Die OPS-Suche fragt keine Seite (R, L, B) ab");
    XQAddControl(t, IDC_DESKTOP_CHOSEN, XQKind::Caption, "Gew\xE4hlt", 10, 404, 760, 20, "");
    XQAddControl(t, IDC_DESKTOP_STATUS, XQKind::Caption, "Status", 10, 440, 760, 20, "");
    t.statusControl = IDC_DESKTOP_STATUS;
    t.toolbar = {
        {XQTB_EXIT, "ESC - Beenden"},
        {.number = kTbSuchTB, .hint = "Suche: Textbausteine", .icon = "edit-find"},
        {.number = kTbEditor, .hint = "Editor: Textbausteine", .icon = "accessories-text-editor"},
        {.number = kTbSuchIcd, .hint = "Suche: Diagnosen (ICD-10)", .icon = "system-search"},
        {.number = kTbKZBV,
         .hint = "\xDC"
                 "berleitung: Diagnosefreitext (KZBV)",
         .icon = "edit-find-replace"},
        {.number = kTbSuchOPS, .hint = "Suche: OP-Schl\xFCssel (OPS)", .icon = "document-open"},
        {.number = kTbKrw, .hint = "Kodierregelwerk-Stammdatei", .icon = "accessories-dictionary"},
        {.number = kTbVa, .hint = "Verschl\xFCsselungsanleitung", .icon = "x-office-document"},
        {.number = kTbIcdImport,
         .hint = "ICD-10-Stammdatei einlesen",
         .icon = "system-software-update"},
        XQStandardButton(XQTB_HELP)};
    return t;
}

XQResourceModule& HostModule() {
    static XQResourceModule module = [] {
        XQResourceModule m;
        m.name = "q7host";
        m.templates[IDD_DESKTOP] = DesktopTemplate();
        return m;
    }();
    return module;
}

// The practice's name, or its id when it has no record.
CString PracticeName() {
    CQPraxis praxis(dbDatabaseRO ? dbDatabaseRO : dbDatabase);
    praxis.Id = dbPraxisId;
    if (praxis.GetByK1(0) == 0 && !praxis.Name.IsEmpty()) return praxis.Name;
    return "Praxis " + dbPraxisId;
}

CString PhysicianName() {
    CQMandantAdr mandant(dbDatabaseRO ? dbDatabaseRO : dbDatabase);
    mandant.MdId = dbMdId;
    if (mandant.GetByK1(0) == 0 && !mandant.Name.IsEmpty()) return mandant.Name;
    return "Arzt " + dbMdId;
}

// A date typed as d.m.yyyy (day and month with one or two digits) as
// yyyymmdd; anything else as "", which no check takes for a date.
std::string TreatmentDate(const std::string& typed) {
    const size_t first = typed.find('.'), second = typed.find('.', first + 1);
    if (first == std::string::npos || second == std::string::npos) return {};
    const std::string day = typed.substr(0, first),
                      month = typed.substr(first + 1, second - first - 1),
                      year = typed.substr(second + 1);
    if (day.empty() || day.size() > 2 || month.empty() || month.size() > 2 || year.size() != 4)
        return {};
    return year + std::string(2 - month.size(), '0') + month + std::string(2 - day.size(), '0') +
           day;
}

}  // namespace

void RegisterHostDialogs() {
    static const bool registered = XQRegisterModule(&HostModule());
    (void)registered;
}

CPraxisDesktop::CPraxisDesktop(const ModuleLibrary& module)
    : CXQDialog(IDD_DESKTOP, nullptr), m_module(module), m_lines(dbDatabase) {
    SetHelpName("desktop");
    DDX_Control(IDC_DESKTOP_MEMO, m_memo);
    DDX_Control(IDC_DESKTOP_FIELD, m_field);
    DDX_Control(IDC_DESKTOP_EXPAND, m_expand);
    DDX_Control(IDC_DESKTOP_SEARCH, m_search);
    DDX_Control(IDC_DESKTOP_CHOSEN, m_chosen);
    DDX_Control(IDC_DESKTOP_STATUS, m_status);
    DDX_Control(IDC_DESKTOP_EDITOR, m_editor);
    DDX_Control(IDC_DESKTOP_ICD, m_icd);
    DDX_Control(IDC_DESKTOP_KZBV, m_kzbv);
    DDX_Control(IDC_DESKTOP_OPS, m_ops);
    DDX_Control(IDC_DESKTOP_OPSDATE, m_opsDate);
    DDX_Control(IDC_DESKTOP_NOSIDE, m_noSide);
}

bool CPraxisDesktop::OnInitDialog() {
    SetWindowText("Praxis-Arbeitsplatz \x96 " + PracticeName());
    auto f3 = [](auto expand) {
        return [expand](const XQKeyEvent& key) {
            if (key.key != XQKey::F3) return false;
            expand();
            return true;
        };
    };
    m_memo.onKeyDown = f3([this] { ExpandInMemo(); });
    m_field.onKeyDown = f3([this] { ExpandInField(); });
    m_memo.onSetFocus = [this] { m_fieldWasLast = false; };
    m_field.onSetFocus = [this] { m_fieldWasLast = true; };
    m_expand.onClick = [this] { ExpandInLastField(); };
    m_search.onClick = [this] { SearchTextBlock(); };
    m_expand.EnableWindow(m_module.Find("DoTbEntryXQL") && m_module.Find("DoTbEntryXQL2"));
    m_search.EnableWindow(m_module.Find("Q7SuchTB") != nullptr);
    m_editor.onClick = [this] { EditTextBlocks(); };
    m_editor.EnableWindow(XQFindRuntimeClass("CdiaTB") != nullptr);
    m_icd.onClick = [this] { SearchDiagnosis(); };
    m_icd.EnableWindow(m_module.Find("Q7SuchIcd") != nullptr);
    m_kzbv.onClick = [this] { TransferFreeText(); };
    m_kzbv.EnableWindow(m_module.Find("Q7SuchIcdFreitextdiagnosenKZBV") != nullptr);
    m_ops.onClick = [this] { SearchProcedure(); };
    m_opsDate.onReturn = [this] { SearchProcedure(); };
    m_ops.EnableWindow(m_module.Find("Q7SuchOPS") != nullptr);
    m_opsDate.SetText(Db2Date(GetXQDate()));
    CQPat patient(dbDatabaseRO ? dbDatabaseRO : dbDatabase);
    if (patient.GetAll() == 0 && patient.AnzHits() > 0) m_patient = patient.Nummer;
    const std::pair<int, const CXQButtonX*> entries[] = {{kTbSuchTB, &m_search},
                                                         {kTbEditor, &m_editor},
                                                         {kTbSuchIcd, &m_icd},
                                                         {kTbKZBV, &m_kzbv},
                                                         {kTbSuchOPS, &m_ops}};
    for (const auto& [number, button] : entries)
        EnableToolbarButton(number, button->IsWindowEnabled());
    EnableToolbarButton(kTbKrw, XQFindRuntimeClass("CdiaKRWStammView") != nullptr);
    EnableToolbarButton(kTbVa, m_module.Find("Q7VAStammView") != nullptr);
    m_status.SetCaption(StatusText());
    m_memo.SetSaved();
    return CXQDialog::OnInitDialog();
}

// The desktop has no place to take the entry over to, so leaving drops it:
// text typed or expanded since the desktop opened goes only on a "Ja". Blanks
// alone carry nothing worth asking about.
void CPraxisDesktop::OnExit() {
    CString entry = m_memo.GetText();
    if (!entry.Trim().IsEmpty() && m_memo.IsChanged() &&
        SollIch("Praxis-Arbeitsplatz",
                "Der Behandlungseintrag ist noch nicht \xFC"
                "bernommen. Trotzdem schlie\xDF"
                "en?") != XQ_IDYES)
        return;
    CXQDialog::OnExit();
}

void CPraxisDesktop::ExpandInMemo() {
    m_fieldWasLast = false;
    if (auto expand = m_module.FindAs<decltype(&DoTbEntryXQL)>("DoTbEntryXQL"))
        expand(this, &m_memo, &m_lines, CString(), CString());
}

void CPraxisDesktop::ExpandInField() {
    m_fieldWasLast = true;
    if (auto expand = m_module.FindAs<decltype(&DoTbEntryXQL2)>("DoTbEntryXQL2"))
        expand(this, &m_field, &m_lines, CString(), CString());
}

void CPraxisDesktop::ExpandInLastField() {
    if (m_fieldWasLast)
        ExpandInField();
    else
        ExpandInMemo();
}

void CPraxisDesktop::SearchTextBlock() {
    auto search = m_module.FindAs<decltype(&Q7SuchTB)>("Q7SuchTB");
    if (!search) return;
    CString kuerzel;
    if (search(&kuerzel, CString(), CString(), this) == 1) m_chosen.SetCaption(kuerzel);
}

// The editor is run by its run-time class, as the practice system runs it.
void CPraxisDesktop::EditTextBlocks() {
    const XQRuntimeClass* editorClass = XQFindRuntimeClass("CdiaTB");
    if (!editorClass) return;
    if (std::unique_ptr<CXQDialog> editor = editorClass->create({"0"}, this)) editor->DoModal();
}

// The coding rule view by its run-time class, as the ICD search opens it:
// no text, no parent window.
void CPraxisDesktop::ShowCodingRules() {
    const XQRuntimeClass* viewClass = XQFindRuntimeClass("CdiaKRWStammView");
    if (!viewClass) return;
    if (std::unique_ptr<CXQDialog> view = viewClass->create({}, this)) view->DoModal();
}

// Without a code the viewer shows the whole manual, so an empty answer is
// one too.
void CPraxisDesktop::ShowCodingManual() {
    auto view = m_module.FindAs<decltype(&Q7VAStammView)>("Q7VAStammView");
    if (!view) return;
    CString code = "<<ICD-Code>>";
    if (!XQParamBox(code, this, "Verschl\xFCsselungsanleitung")) return;
    view(code.Trim(), this);
}

void CPraxisDesktop::OnToolbarButton(int number) {
    switch (number) {
        case kTbSuchTB:
            SearchTextBlock();
            break;
        case kTbEditor:
            EditTextBlocks();
            break;
        case kTbSuchIcd:
            SearchDiagnosis();
            break;
        case kTbKZBV:
            TransferFreeText();
            break;
        case kTbSuchOPS:
            SearchProcedure();
            break;
        case kTbKrw:
            ShowCodingRules();
            break;
        case kTbVa:
            ShowCodingManual();
            break;
        case kTbIcdImport:
            ImportIcdCatalogue();
            break;
        default:
            break;
    }
}

// The three files in a row, as the diagnosis search asks them; a cancel
// leaves the catalogue as it is. The import shows its own progress and
// errors.
void CPraxisDesktop::ImportIcdCatalogue() {
    CString icd = "icd_2.3_74_tf+2020q3.xml";
    CString hmv = "sdhma_1.30_74_tf+2020q4.xml";
    CString extract = "ICD-10_Auswahl Zahnmedizin_AU-Besch._PVS-Version.csv";
    if (!XQFileDialog(false, "ICD-Datei suchen", "XML-Datei (*.XML)|*.XML||", "xml", icd) ||
        !XQFileDialog(false, "HMV-Datei suchen", "XML-Datei (*.XML)|*.XML||", "xml", hmv) ||
        !XQFileDialog(false, "Auszug Zahnmedizin/AU-Bescheinigung suchen",
                      "CSV-Datei (*.CSV)|*.CSV||", "csv", extract))
        return;
    if (CQIcd::ReadFromXMLFile(dbDatabase, this, icd, hmv, extract) == XQ_OK)
        HaltI("Praxis-Arbeitsplatz", "Der ICD-Katalog wurde eingelesen.");
}

// The desktop's patient is the practice's first one, so that the search can
// offer a patient file.
void CPraxisDesktop::SearchDiagnosis() {
    auto search = m_module.FindAs<decltype(&Q7SuchIcd)>("Q7SuchIcd");
    if (!search) return;
    CString code, addition;
    if (search(false, false, m_patient, this, &code, &addition))
        m_chosen.SetCaption(code + " " + addition);
}

void CPraxisDesktop::TransferFreeText() {
    auto transfer = m_module.FindAs<decltype(&Q7SuchIcdFreitextdiagnosenKZBV)>(
        "Q7SuchIcdFreitextdiagnosenKZBV");
    if (!transfer) return;
    CString code1, addition1, text1, code2, addition2, text2;
    if (transfer(this, false, &code1, &addition1, &text1, &code2, &addition2, &text2))
        m_chosen.SetCaption(code1 + " " + addition1 +
                            (code2.IsEmpty() ? CString() : " / " + code2 + " " + addition2));
}

// The dialog would open empty on a practice without a catalogue, so the user
// hears why instead. The date picks the edition of the fee schedule, which is
// why a date that is no calendar day is refused rather than passed on.
void CPraxisDesktop::SearchProcedure() {
    auto search = m_module.FindAs<decltype(&Q7SuchOPS)>("Q7SuchOPS");
    if (!search) return;
    CQOps catalogue(dbDatabaseRO ? dbDatabaseRO : dbDatabase);
    catalogue.Database()->ClearError();
    const int status = catalogue.GetAll();
    if (status == 4) {
        HaltI("Praxis-Arbeitsplatz", "Es ist kein OPS-Katalog geladen.");
        return;
    }
    if (status != 0) {
        XQLog("desktop", catalogue.Database()->LastError());
        HaltE("Praxis-Arbeitsplatz", "Der OPS-Katalog kann nicht gelesen werden.");
        return;
    }
    CString shown = m_opsDate.GetText();
    shown.Trim();
    const std::string date = TreatmentDate(shown.str());
    if (!IsValidDate(date)) {
        HaltE("Praxis-Arbeitsplatz", "Das Behandlungsdatum \x84" + shown +
                                         "\x93 ist kein g\xFCltiges Datum. Bitte als TT.MM.JJJJ "
                                         "eingeben, zum Beispiel " +
                                         Db2Date(GetXQDate()) + ".");
        return;
    }
    CQOps_Fields result;
    if (search(m_noSide.GetCheck(), CString(date.c_str()), this, &result) == 1)
        m_chosen.SetCaption(result.Code);
}

CString CPraxisDesktop::StatusText() const {
    return PracticeName() + " | " + PhysicianName() +
           (m_patient.IsEmpty() ? CString() : " | Patient " + m_patient) + " | Arbeitsplatz " +
           FormatString("%d", Q7GetWorkstation()) + " | " + Db2Date(GetXQDate());
}
