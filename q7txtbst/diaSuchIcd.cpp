#include "q7txtbst/diaSuchIcd.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "host/base/Helpers.h"
#include "host/base/HostContext.h"
#include "host/base/XQGuard.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"
#include "host/db/XQStatus.h"
#include "host/dlg/XQMessages.h"
#include "q7txtbst/Akr.h"
#include "q7txtbst/IcdSuchEinstellungen.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/SuchControls.h"
#include "q7txtbst/diaConfigSuchIcd.h"
#include "q7txtbst/diaKRWStammView.h"
#include "q7txtbst/diaVAStammView.h"

namespace {

enum : int {
    IDC_ICD_TAB = 1001,
    IDC_ICD_CODE,
    IDC_ICD_TEXT,
    IDC_ICD_SCHLAGWORT,
    IDC_ICD_KAPITEL,
    IDC_ICD_GRUPPE,
    IDC_ICD_UNTERGRUPPE,
    IDC_ICD_GRID,
    IDC_ICD_CAP_KAPITEL,
    IDC_ICD_CAP_GRUPPE,
    IDC_ICD_CAP_UNTERGRUPPE,
    IDC_ICD_CAP_TEXT,
    IDC_ICD_CAP_NOTATION,
    IDC_ICD_THESAURUS,
    IDC_ICD_VERSION,
    IDC_ICD_FRAME_ZUSATZ,
    IDC_ICD_G,
    IDC_ICD_V,
    IDC_ICD_Z,
    IDC_ICD_A,
    IDC_ICD_R,
    IDC_ICD_L,
    IDC_ICD_B,
    IDC_ICD_FRAME_ARZTGRUPPE,
    IDC_ICD_HK,
    IDC_ICD_FK,
    IDC_ICD_ARZTGRUPPE,
    IDC_ICD_ADD_FAV,
    IDC_ICD_DEL_FAV,
};

// The dialog's own toolbar buttons.
enum : int {
    kTbKodierregeln = 10040,
    kTbVerschluesselung = 10041,
    kTbOnline = 10042,
    kTbQualitaet = 10043,
    kTbEinlesen = 10044,
};

const char kTabSystematisch[] = "Systematisches Verzeichnis";
const char kTabAlphabetisch[] = "Alphabetisches Verzeichnis (Diagnosenthesaurus)";
const char kTabBeide[] = "Systematisches und alphabetisches Verzeichnis";

constexpr int kKapitelWidth = 59;
constexpr int kUntergruppeWidth = 35;

// Whether the coding rules apply to the practice: only then do their
// buttons work. The check may ask the user, during the introduction phase,
// whether to activate them.
bool AKRPermission() {
    CQPraxis praxis(dbDatabaseRO);
    praxis.SetReadOnly(true);
    praxis.SetForwardOnly(true);
    praxis.Id = dbPraxisId;
    if (praxis.GetByK1(XQ_MATCH_EQUAL) != XQ_OK) return false;
    unsigned datum = 0;
    return CheckAkrActivation(praxis.KvRegion, datum);
}

void OnOnClickXqbitbtnAkrView() {
    CdiaKRWStammView view(IDD_KRWSTAMMVIEW, "", nullptr);
    view.DoModal();
}

// The whole manual: the search's code need not be one the catalogue knows.
void OnOnClickXqbitbtnVerschluesselung() {
    CdiaVAStammView view("", nullptr);
    view.DoModal();
}

const struct {
    const char* name;
    const char* code;
} kArztgruppen[] = {
    {"(alle)", ""},
    {"Hautarzt", "10  "},
    {"Humangenetiker", "11  "},
    {"Labormediziner", "12  "},
    {"Internist", "13."},
    {"Internist (Angiologie)", "13.1"},
    {"Internist (Endokrinologie)", "13.2"},
    {"Internist (Gastroenterologie)", "13.3"},
    {"Internist (H\xE4matologie/Onkologie)", "13.4"},
    {"Internist (Kardiologie)", "13.5"},
    {"Internist (Nephrologie)", "13.6"},
    {"Internist (Pneumologie)", "13.7"},
    {"Internist (Rheumatologie)", "13.8"},
    {"Kinder- und Jugendpsychiater", "14  "},
    {"Mund-, Kiefer-, Gesichtschirurg", "15  "},
    {"Neurologe/Neurochirurg", "16  "},
    {"Nuklearmediziner", "17  "},
    {"Orthop\xE4"
     "de/Unfallchirurg",
     "18  "},
    {"Histologe/Zytologe/Molekularpathologe", "19  "},
    {"Phoniater/P\xE4"
     "daudiologe",
     "20  "},
    {"Psychiater", "21  "},
    {"FA Psychosom. Medizin und Psychotherapie", "22  "},
    {"Psychotherapeut, \xE4rztl./psycholog.", "23."},
    {"\xC4rztlicher Psychotherapeut", "23.1"},
    {"Psychologischer Psychotherapeut", "23.2"},
    {"Kinder- und Jugendlichenpsychotherapeut", "23.3"},
    {"Radiologe", "24  "},
    {"Strahlentherapeut", "25  "},
    {"Urologe", "26  "},
    {"PRM-Arzt", "27  "},
    {"Nervenarzt (Neurologe, Psychiater)", "28  "},
    {"Kinder- und Jugendarzt (mit/ohne SP)", "4."},
    {"Kinder- und Jugendarzt (ohne SP)", "4.1 "},
    {"Kinder- und Jugendarzt (H\xE4matol./Onkol.)", "4.2 "},
    {"Kinder- und Jugendarzt (Neurop\xE4"
     "diatrie)",
     "4.3 "},
    {"Kinder- und Jugendarzt (Gastroenterol.)", "4.4 "},
    {"Kinder- und Jugendarzt (Nephrologie)", "4.5 "},
    {"Kinder- und Jugendarzt (Pneumologie)", "4.6 "},
    {"Kinder- und Jugendarzt (Rheumatologie)", "4.7 "},
    {"Kinder- und Jugendarzt (Endokrinologie)", "4.8 "},
    {"Kinder- und Jugendarzt (Kardiologie)", "4.9 "},
    {"An\xE4sthesist", "5   "},
    {"Bereitschaftsdienst (alle Fachgruppen)", "50  "},
    {"Augenarzt", "6   "},
    {"Chirurg", "7   "},
    {"Frauenarzt", "8   "},
    {"HNO-Arzt", "9   "},
};

CString JoinCaption(const CString& code, const CString* text) {
    return text ? code + "\r\n" + *text : code;
}

// The public ICD-10-GM code search site: the practice may point it
// elsewhere (a mirror, a new address) with the parameter row "214",
// "kodesuche" holding the address without the path.
const char kProgramm[] = "214";  // the search's program number, as for its settings
const char kKodesucheKey[] = "kodesuche";
const char kKodesucheVorgabe[] = "https://klassifikationen.bfarm.de";

CString KodesucheSite() {
    CQParPool par(dbDatabaseRO);
    par.SetReadOnly(true);
    par.Key1 = kProgramm;
    par.Key2 = kKodesucheKey;
    CString site = par.GetByK1(XQ_MATCH_EQUAL) == XQ_OK ? par.Value : CString();
    site.Trim();
    while (site.GetLength() > 0 && site.GetAt(site.GetLength() - 1) == '/')
        site = site.Left(site.GetLength() - 1);
    return site.IsEmpty() ? CString(kKodesucheVorgabe) : site;
}

// The quality management lies outside this system: the practice installs
// libq7fremd.so beside the module, or anywhere on the library path.
// Q7FREMD_LIB names the file to load instead (the tests set it).
void* OpenQ7Fremd() {
    const char* own = std::getenv("Q7FREMD_LIB");
    if (own && *own) return dlopen(own, RTLD_NOW | RTLD_LOCAL);
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OpenQ7Fremd), &info) && info.dli_fname) {
        CString folder = info.dli_fname;
        const int slash = folder.ReverseFind('/');
        if (slash >= 0) {
            const CString path = folder.Left(slash + 1) + "libq7fremd.so";
            if (void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL)) return lib;
        }
    }
    return dlopen("libq7fremd.so", RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

XQDialogTemplate SuchIcdTemplate() {
    XQDialogTemplate t;
    t.number = IDD_SUCHICD;
    t.caption = "Suchdialog ICD-10-Diagnosen";
    t.width = 800;
    t.height = 540;
    XQAddControl(t, IDC_ICD_TAB, XQKind::Tab, "Verzeichnis", 10, 8, 780, 24);
    XQAddControl(t, IDC_ICD_CODE, XQKind::Edit, "&Code", 10, 40, 120, 20);
    XQAddControl(t, IDC_ICD_TEXT, XQKind::Edit, "&Text", 140, 40, 300, 20);
    XQAddControl(t, IDC_ICD_SCHLAGWORT, XQKind::Edit, "Schlagwort:", 450, 40, 340, 20,
                 "Bitte mindestens 3 Zeichen eingeben, um die Suche auszul\xF6sen.");
    XQAddControl(t, IDC_ICD_KAPITEL, XQKind::Combo, "&Kapitel:", 10, 68, 430, 20);
    XQAddControl(t, IDC_ICD_GRUPPE, XQKind::Combo, "Gru&ppe:", 10, 92, 430, 20);
    XQAddControl(t, IDC_ICD_UNTERGRUPPE, XQKind::Combo, "&Untergruppe:", 10, 116, 430, 20);
    XQAddControl(t, IDC_ICD_GRID, XQKind::Grid, "Diagnosen", 10, 144, 430, 260);
    XQAddControl(t, IDC_ICD_CAP_KAPITEL, XQKind::Caption, "Kapitel:", 450, 68, 340, 34);
    XQAddControl(t, IDC_ICD_CAP_GRUPPE, XQKind::Caption, "Gruppe:", 450, 106, 340, 34);
    XQAddControl(t, IDC_ICD_CAP_UNTERGRUPPE, XQKind::Caption, "Untergruppe:", 450, 144, 340, 34);
    XQAddControl(t, IDC_ICD_CAP_TEXT, XQKind::Caption, "Text:", 450, 182, 340, 34);
    XQAddControl(t, IDC_ICD_CAP_NOTATION, XQKind::Caption, "Notationskz.:", 450, 220, 340, 20);
    XQAddControl(t, IDC_ICD_THESAURUS, XQKind::Memo, "Thesaurus:", 450, 244, 340, 130).readOnly =
        true;
    XQAddControl(t, IDC_ICD_VERSION, XQKind::Caption, "ICD-Datei-Version:", 450, 382, 340, 20);
    XQAddControl(t, IDC_ICD_FRAME_ZUSATZ, XQKind::Frame, "Zusatzkennzeichen", 10, 410, 430, 92);
    const char* const boxes[] = {"&G - gesicherte Diagnose",
                                 "&V - Verdacht auf / zum Ausschluss von",
                                 "&Z - symptomloser Zustand nach",
                                 "&A - ausgeschlossene Diagnose",
                                 "&R - rechts",
                                 "&L - links",
                                 "&B - beidseitig"};
    for (int i = 0; i < 7; ++i)
        XQAddControl(t, IDC_ICD_G + i, XQKind::Check, boxes[i], i < 4 ? 20 : 300,
                     426 + (i < 4 ? i : i - 4) * 18, i < 4 ? 270 : 130, 18);
    XQAddControl(t, IDC_ICD_FRAME_ARZTGRUPPE, XQKind::Frame, "Arztgruppenfilter", 450, 410, 340,
                 92);
    XQAddControl(t, IDC_ICD_HK, XQKind::Check, "&Hausarzt-Katalog", 460, 426, 150, 18);
    XQAddControl(t, IDC_ICD_FK, XQKind::Check, "&Facharzt-Katalog", 620, 426, 160, 18);
    XQAddControl(t, IDC_ICD_ARZTGRUPPE, XQKind::Combo, "Arzt&gruppe:", 460, 452, 320, 20);
    XQAddControl(t, IDC_ICD_ADD_FAV, XQKind::Button, "zu Favoriten hinzuf\xFCgen", 10, 510, 200,
                 24);
    XQAddControl(t, IDC_ICD_DEL_FAV, XQKind::Button, "aus Favoriten entfernen", 220, 510, 200, 24);
    t.toolbar = {
        XQStandardButton(XQTB_EXIT),
        XQStandardButton(XQTB_ACCEPT),
        {.number = kTbKodierregeln,
         .hint = "Kodierregelwerk-Stammdatei",
         .icon = "accessories-dictionary"},
        {.number = kTbVerschluesselung,
         .hint = "Verschl\xFCsselungsanleitung Stammdatei",
         .icon = "help-contents"},
        {XQTB_CONFIG, "F6 - Einstellungen"},
        {.number = kTbOnline,
         .hint = "Strg+i - DIMDI-ICD-Browser aufrufen (ben\xF6tigt Internetzugang)",
         .icon = "applications-internet"},
        {.number = kTbQualitaet,
         .hint = "Strg+Q - Qualit\xE4tsmanagement",
         .icon = "emblem-favorite"},
        {.number = kTbEinlesen, .hint = "ICD-10-Datei einlesen", .icon = "document-open"},
        XQStandardButton(XQTB_HELP),
    };
    return t;
}

XQRuntimeClass SuchIcdRuntimeClass() {
    // "dialog CdiaSuchIcd CODEONLY PATID": both optional.
    return {"CdiaSuchIcd",
            [](const std::vector<CString>& args, CWnd* parent) -> std::unique_ptr<CXQDialog> {
                if (args.size() > 2) return nullptr;
                const bool codeOnly = !args.empty() && args[0] == "1";
                if (!args.empty() && args[0] != "0" && args[0] != "1") return nullptr;
                return std::make_unique<CdiaSuchIcd>(codeOnly,
                                                     args.size() > 1 ? args[1] : CString(), parent);
            }};
}

std::vector<SKapitel> CdiaSuchIcd::s_Kapitel;

CdiaSuchIcd::CdiaSuchIcd(bool codeOnly, const CString& patientId, CWnd* parent)
    : CXQSuchDialog(IDD_SUCHICD, parent),
      m_Icd(dbDatabaseRO),
      m_IcdKatalog(dbDatabaseRO),
      m_bCodeOnly(codeOnly),
      m_strPatId(patientId) {
    SetHelpName("diaSuchIcd");
    m_Icd.SetReadOnly(true);
    m_Icd.SetKey(2, true);
    m_IcdKatalog.SetReadOnly(true);
    m_IcdKatalog.SetKey(1, true);

    DDX_Control(IDC_ICD_TAB, m_tab);
    DDX_Control(IDC_ICD_CODE, m_editCode);
    DDX_Control(IDC_ICD_TEXT, m_editText);
    DDX_Control(IDC_ICD_SCHLAGWORT, m_editSchlagwort);
    DDX_Control(IDC_ICD_KAPITEL, m_comboKapitel);
    DDX_Control(IDC_ICD_GRUPPE, m_comboGruppe);
    DDX_Control(IDC_ICD_UNTERGRUPPE, m_comboUntergruppe);
    DDX_Control(IDC_ICD_GRID, m_grid);
    DDX_Control(IDC_ICD_CAP_KAPITEL, m_captionKapitel);
    DDX_Control(IDC_ICD_CAP_GRUPPE, m_captionGruppe);
    DDX_Control(IDC_ICD_CAP_UNTERGRUPPE, m_captionUntergruppe);
    DDX_Control(IDC_ICD_CAP_TEXT, m_captionText);
    DDX_Control(IDC_ICD_CAP_NOTATION, m_captionNotation);
    DDX_Control(IDC_ICD_THESAURUS, m_memoThesaurus);
    DDX_Control(IDC_ICD_VERSION, m_captionVersion);
    DDX_Control(IDC_ICD_FRAME_ZUSATZ, m_frameZusatz);
    CXQLCheckX* boxes[] = {&m_checkG, &m_checkV, &m_checkZ, &m_checkA,
                           &m_checkR, &m_checkL, &m_checkB};
    for (int i = 0; i < 7; ++i) DDX_Control(IDC_ICD_G + i, *boxes[i]);
    DDX_Control(IDC_ICD_FRAME_ARZTGRUPPE, m_frameArztgruppe);
    DDX_Control(IDC_ICD_HK, m_checkHK);
    DDX_Control(IDC_ICD_FK, m_checkFK);
    DDX_Control(IDC_ICD_ARZTGRUPPE, m_comboArztgruppe);
    DDX_Control(IDC_ICD_ADD_FAV, m_buttonAddFav);
    DDX_Control(IDC_ICD_DEL_FAV, m_buttonDelFav);

    m_grid.SetColumns({{"Code", 49}, {"Text", 275}});
    m_memoThesaurus.SetReadOnly(true);

    m_editCode.onChange = [this] {
        if (!m_bInitialising) RestartGrid();
    };
    m_editText.onChange = [this] {
        if (!m_bInitialising) RestartGrid();
    };
    m_editSchlagwort.onChange = [this] { RestartGrid(); };
    m_comboUntergruppe.onSelChange = [this] { RestartGrid(); };
    m_checkHK.onClick = [this] { RestartGrid(); };
    m_checkFK.onClick = [this] { OnOnClickXqlcheckxFK(); };
    m_comboArztgruppe.onSelChange = [this] { OnOnChangeXqlcomboArztgruppe(); };
    m_tab.onSelChange = [this] { OnChangeXqtabx1(); };
    m_comboKapitel.onSelChange = [this] { OnOnChangeXqlcomboKapitel(); };
    m_comboGruppe.onSelChange = [this] { OnOnChangeXqlcomboGruppe(); };
    for (CXQLCheckX* box : {&m_checkG, &m_checkV, &m_checkZ, &m_checkA})
        box->onClick = [this, box] { OnCertainty(*box); };
    for (CXQLCheckX* box : {&m_checkR, &m_checkL, &m_checkB})
        box->onClick = [this, box] { OnSide(*box); };
    BindSuchGrid(m_grid, m_Icd, m_bHasHits);
    m_grid.onFillLine = [this] { OnOnFillLineXqgridSuchgrid(); };
    m_grid.onLineChanged = [this] { OnOnLineChangedXqgridSuchgrid(); };
    m_grid.onDblClick = [this] {
        if (IsToolbarButtonEnabled(XQTB_ACCEPT)) OnSaveAndExit();
    };
    m_buttonAddFav.onClick = [this] { CQIcd::AddToFavoriten(m_Icd.Code); };
    m_buttonDelFav.onClick = [this] {
        CQIcd::DelFromFavoriten(m_Icd.Code);
        RestartGrid();
    };
}

CdiaSuchIcd::~CdiaSuchIcd() = default;

bool CdiaSuchIcd::OnInitDialog() {
    CXQSuchDialog::OnInitDialog();
    ShowToolbarButton(kTbEinlesen, false);
    m_tab.DeleteAllTabs();
    m_tab.AddTab(kTabSystematisch);
    m_tab.AddTab(kTabAlphabetisch);
    if (!m_bAuszug && !m_bReduziert) m_tab.AddTab(kTabBeide);
    m_tab.SetCurSel(0);
    if (!m_strPrimaerCode.IsEmpty()) m_tab.ShowWindow(false);
    if (m_bAuszug) SetWindowText("Suchdialog ICD-10 GM Auszug Zahnmedizin/AU-Bescheinigung");
    if (m_bAuszug || m_bReduziert) {
        ShowToolbarButton(kTbKodierregeln, false);
        ShowToolbarButton(kTbVerschluesselung, false);
    }
    m_editSchlagwort.ShowWindow(false);

    m_bInitialising = true;
    m_editCode.SetText(CQIcd::AddPoint(m_Icd.Code));
    m_editText.SetText(m_Icd.Text);

    if (m_bCodeOnly) {
        for (CWnd* w : std::initializer_list<CWnd*>{
                 &m_frameZusatz, &m_checkG, &m_checkV, &m_checkZ, &m_checkA, &m_checkR, &m_checkL,
                 &m_checkB, &m_frameArztgruppe, &m_checkHK, &m_checkFK, &m_comboArztgruppe})
            w->ShowWindow(false);
    } else {
        for (auto [letter, box] : {std::pair{'G', &m_checkG}, std::pair{'V', &m_checkV},
                                   std::pair{'Z', &m_checkZ}, std::pair{'A', &m_checkA}})
            if (m_strZusatz.Find(letter) >= 0) {
                box->SetCheck(true);
                break;
            }
        for (auto [letter, box] :
             {std::pair{'R', &m_checkR}, std::pair{'L', &m_checkL}, std::pair{'B', &m_checkB}})
            if (m_strZusatz.Find(letter) >= 0) {
                box->SetCheck(true);
                break;
            }
    }
    // Asked for each button; the check puts its question at most once.
    EnableToolbarButton(kTbKodierregeln, AKRPermission());
    EnableToolbarButton(kTbVerschluesselung, AKRPermission());

    m_IcdKatalog.ClearAll();
    m_IcdKatalog.Code = ICD_CODE_VERSION;
    if (m_IcdKatalog.GetByK1(XQ_MATCH_EQUAL) == XQ_OK)
        m_captionVersion.SetCaption(m_IcdKatalog.Text);

    ReadConfig();
    InitArztgruppen();
    // Reset's answer (0: hits, the grid has the focus) only decides where the
    // focus went; the dialog runs either way.
    Reset();
    m_bInitialising = false;
    return true;
}

// ---------------------------------------------------------------- tree cache

void CdiaSuchIcd::LoadKapitel() {
    if (!s_Kapitel.empty()) return;
    m_IcdKatalog.ClearAll();
    m_IcdKatalog.SetKey(2, true);
    m_IcdKatalog.Ebene = ICD_EBENE_KAPITEL;
    if (m_IcdKatalog.GetByK2(XQ_MATCH_FIELDS) == XQ_OK) do {
            s_Kapitel.push_back({m_IcdKatalog.Code, m_IcdKatalog.Text, {}});
        } while (m_IcdKatalog.Next() == XQ_OK);
    m_IcdKatalog.SetKey(1, true);
}

void CdiaSuchIcd::LoadGruppe(SKapitel& kapitel) {
    if (!kapitel.gruppen.empty()) return;
    m_IcdKatalog.ClearAll();
    m_IcdKatalog.SetKey(2, true);
    m_IcdKatalog.Kapitel = kapitel.code;
    m_IcdKatalog.Ebene = ICD_EBENE_GRUPPE;
    if (m_IcdKatalog.GetByK2(XQ_MATCH_FIELDS) == XQ_OK) do {
            if (!m_bAuszug || m_IcdKatalog.Auszug == "1")
                kapitel.gruppen.push_back({m_IcdKatalog.Code, m_IcdKatalog.Text, {}});
        } while (m_IcdKatalog.Next() == XQ_OK);
    m_IcdKatalog.SetKey(1, true);
}

void CdiaSuchIcd::LoadSubGroup(SGruppe& gruppe, const CString& kapitel) {
    if (!gruppe.untergruppen.empty()) return;
    m_IcdKatalog.ClearAll();
    m_IcdKatalog.SetKey(2, true);
    m_IcdKatalog.Kapitel = kapitel;
    m_IcdKatalog.Gruppe = gruppe.code;
    m_IcdKatalog.Ebene = ICD_EBENE_UNTERGRUPPE;
    if (m_IcdKatalog.GetByK2(XQ_MATCH_FIELDS) == XQ_OK) do {
            if (!m_bAuszug || m_IcdKatalog.Auszug == "1")
                gruppe.untergruppen.push_back({m_IcdKatalog.Code, m_IcdKatalog.Text});
        } while (m_IcdKatalog.Next() == XQ_OK);
    m_IcdKatalog.SetKey(1, true);
}

SKapitel* CdiaSuchIcd::SelectedKapitel() {
    const int k = m_comboKapitel.GetCurSel() - FirstChapterIndex();
    if (k < 0 || k >= static_cast<int>(s_Kapitel.size())) return nullptr;
    return &s_Kapitel[static_cast<size_t>(k)];
}

SGruppe* CdiaSuchIcd::SelectedGruppe() {
    SKapitel* kapitel = SelectedKapitel();
    const int g = m_comboGruppe.GetCurSel() - 1;
    if (!kapitel || g < 0 || g >= static_cast<int>(kapitel->gruppen.size())) return nullptr;
    return &kapitel->gruppen[static_cast<size_t>(g)];
}

// ---------------------------------------------------------------- searching

int CdiaSuchIcd::Reset() {
    s_Kapitel.clear();
    LoadKapitel();
    m_comboKapitel.ResetContent();
    m_comboKapitel.AddString("(Favoriten)");
    if (!m_strPatId.IsEmpty()) m_comboKapitel.AddString("(Patientenakte)");
    m_comboKapitel.AddString("(alle)");
    for (const SKapitel& k : s_Kapitel)
        m_comboKapitel.AddString(FormatWindowText(k.code + ": ", kKapitelWidth) + k.text);

    m_bFavoriten = CQIcd::HasFavoriten();
    if (m_bFavoriten)
        m_comboKapitel.SetCurSel(0);
    else if (!m_strPatId.IsEmpty())
        m_comboKapitel.SetCurSel(m_bPatient ? 1 : 2);
    else
        m_comboKapitel.SetCurSel(1);
    m_comboGruppe.EnableWindow(false);
    m_comboUntergruppe.EnableWindow(false);
    return RestartGrid() ? 0 : 1;
}

bool CdiaSuchIcd::RestartGrid() {
    CXQWaitCursor wait;
    m_Icd.ClearAll();
    const bool hk = m_checkHK.GetCheck(), fk = m_checkFK.GetCheck(), x = m_bAuszug;
    const CString& fg = m_strArztgruppe;
    const CString patient = m_bPatient ? m_strPatId : CString();
    int result = XQ_NOTFOUND;
    bool searched = false;

    if (m_bThesaurus) {
        const CString w = m_editSchlagwort.GetText();
        const bool tab1 = m_tab.GetCurSel() == 1;
        if (w.GetLength() >= ICD_SCHLAGWORT_MIN) {
            if (x) m_Icd.Auszug = "1";
            result = tab1 ? m_Icd.GetByThesaurus(w, x, hk, fk, fg)
                          : m_Icd.GetForSucheOrThesaurus(w, m_bFavoriten, patient, x, hk, fk, fg);
        } else {
            m_Icd.Code.Empty();
            result = tab1 ? m_Icd.GetByK1FilteredByFG(XQ_MATCH_EQUAL, x, hk, fk, fg)
                          : m_Icd.GetForSucheOrThesaurus(w, m_bFavoriten, patient, x, hk, fk, fg);
        }
        searched = true;
    } else if (!m_strPrimaerCode.IsEmpty()) {
        result = m_Icd.GetBySekundaerCode(m_strPrimaerCode, x, hk, fk, fg);
        if (result != XQ_OK) {
            // No code names it as partner: the primary code's own partner,
            // if it has one, is the hit.
            m_Icd.ClearAll();
            m_Icd.Code = m_strPrimaerCode;
            result = m_Icd.GetByK1FilteredByFG(XQ_MATCH_EQUAL, x, hk, fk, fg);
            if (result == XQ_OK && !m_Icd.Partner.IsEmpty()) {
                const CString partner = m_Icd.Partner;
                m_Icd.ClearAll();
                m_Icd.Code = partner;
                result = m_Icd.GetByK1FilteredByFG(XQ_MATCH_EQUAL, x, hk, fk, fg);
            } else {
                result = XQ_NOTFOUND;
            }
        }
        m_strPrimaerCode.Empty();
        searched = result == XQ_OK;
    }
    if (!searched) {
        m_Icd.ClearAll();
        if (SKapitel* kapitel = SelectedKapitel()) {
            LoadKapitel();
            m_Icd.Kapitel = kapitel->code;
            if (m_comboGruppe.GetCurSel() > 0) {
                LoadGruppe(*kapitel);
                if (SGruppe* gruppe = SelectedGruppe()) {
                    m_Icd.Gruppe = gruppe->code;
                    const int u = m_comboUntergruppe.GetCurSel() - 1;
                    if (u >= 0) {
                        LoadSubGroup(*gruppe, kapitel->code);
                        if (u < static_cast<int>(gruppe->untergruppen.size()))
                            m_Icd.Untergruppe = gruppe->untergruppen[static_cast<size_t>(u)].code;
                    }
                }
            }
        }
        m_Icd.Code = CQIcd::RemovePoint(m_editCode.GetText());
        m_Icd.Text = m_editText.GetText();
        if (x) m_Icd.Auszug = "1";
        result = m_Icd.GetForSuche(m_bFavoriten, patient, x, hk, fk, fg);
    }

    m_bHasHits = result == XQ_OK;
    EnableToolbarButton(XQTB_ACCEPT, m_bHasHits);
    m_buttonAddFav.EnableWindow(m_bHasHits && !m_bFavoriten);
    m_buttonDelFav.EnableWindow(m_bHasHits && m_bFavoriten);
    if (m_bInitialising && m_bHasHits) SetFocusTo(&m_grid);
    for (CXQLabelX* caption : {&m_captionKapitel, &m_captionGruppe, &m_captionUntergruppe,
                               &m_captionText, &m_captionNotation})
        caption->SetCaption(CString());
    m_memoThesaurus.SetText(CString());
    m_grid.Clear();
    m_grid.InitDown(m_bHasHits ? m_Icd.AnzHits() : 0);
    return m_bHasHits;
}

// ---------------------------------------------------------------- events

void CdiaSuchIcd::OnChangeXqtabx1() {
    const int tab = m_tab.GetCurSel();
    m_bThesaurus = tab >= 1;
    m_comboKapitel.ShowWindow(tab == 0);
    m_comboGruppe.ShowWindow(!m_bThesaurus);
    m_comboUntergruppe.ShowWindow(!m_bThesaurus);
    m_editSchlagwort.ShowWindow(m_bThesaurus);
    RestartGrid();
}

void CdiaSuchIcd::OnOnChangeXqlcomboKapitel() {
    const int k = m_comboKapitel.GetCurSel();
    if (k < FirstChapterIndex()) {
        m_bFavoriten = k == 0;
        m_bPatient = !m_strPatId.IsEmpty() && k == 1;
        for (CXQLComboX* combo : {&m_comboGruppe, &m_comboUntergruppe}) {
            combo->ResetContent();
            combo->EnableWindow(false);
        }
        RestartGrid();
        return;
    }
    m_bFavoriten = m_bPatient = false;
    SKapitel* kapitel = SelectedKapitel();
    if (!kapitel) return;
    LoadGruppe(*kapitel);
    m_comboGruppe.ResetContent();
    m_comboGruppe.AddString("(alle)");
    for (const SGruppe& g : kapitel->gruppen)
        m_comboGruppe.AddString(FormatWindowText(g.code + ": ", kKapitelWidth) + g.text);
    m_comboGruppe.EnableWindow(true);
    m_comboGruppe.SetCurSel(0);
    OnOnChangeXqlcomboGruppe();
}

void CdiaSuchIcd::OnOnChangeXqlcomboGruppe() {
    SKapitel* kapitel = SelectedKapitel();
    SGruppe* gruppe = m_comboGruppe.GetCurSel() < 1 ? nullptr : SelectedGruppe();
    if (!kapitel || !gruppe) {
        m_comboUntergruppe.ResetContent();
        m_comboUntergruppe.EnableWindow(false);
        RestartGrid();
        return;
    }
    LoadSubGroup(*gruppe, kapitel->code);
    m_comboUntergruppe.ResetContent();
    m_comboUntergruppe.AddString("(alle)");
    for (const SUntergruppe& u : gruppe->untergruppen)
        m_comboUntergruppe.AddString(FormatWindowText(u.code + ": ", kUntergruppeWidth) + u.text);
    m_comboUntergruppe.EnableWindow(true);
    m_comboUntergruppe.SetCurSel(0);
    RestartGrid();
}

void CdiaSuchIcd::OnOnFillLineXqgridSuchgrid() {
    m_grid.SetText(0, CQIcd::AddPoint(m_Icd.Code));
    // A key word hit shows the index line that matched beside its code.
    m_grid.SetText(1, m_Icd.Fundtext.IsEmpty() ? m_Icd.Text : m_Icd.Fundtext);
}

void CdiaSuchIcd::OnOnLineChangedXqgridSuchgrid() {
    const SKapitel* kapitel = nullptr;
    for (const SKapitel& k : s_Kapitel)
        if (k.code == m_Icd.Kapitel) kapitel = &k;
    m_captionKapitel.SetCaption(JoinCaption(m_Icd.Kapitel, kapitel ? &kapitel->text : nullptr));
    const SGruppe* gruppe = nullptr;
    if (kapitel) {
        SKapitel& k = const_cast<SKapitel&>(*kapitel);
        LoadGruppe(k);
        for (SGruppe& g : k.gruppen)
            if (g.code == m_Icd.Gruppe) gruppe = &g;
    }
    m_captionGruppe.SetCaption(JoinCaption(m_Icd.Gruppe, gruppe ? &gruppe->text : nullptr));
    const SUntergruppe* untergruppe = nullptr;
    if (gruppe) {
        SGruppe& g = const_cast<SGruppe&>(*gruppe);
        LoadSubGroup(g, kapitel->code);
        for (const SUntergruppe& u : g.untergruppen)
            if (u.code == m_Icd.Untergruppe) untergruppe = &u;
    }
    m_captionUntergruppe.SetCaption(
        JoinCaption(m_Icd.Untergruppe, untergruppe ? &untergruppe->text : nullptr));
    m_captionText.SetCaption(m_Icd.Text);
    m_captionNotation.SetCaption(m_Icd.Notation);

    m_memoThesaurus.SetText(CString());
    m_IcdKatalog.ClearAll();
    if (m_IcdKatalog.GetForThesaurus(m_Icd.Code, m_editSchlagwort.GetText(), m_bAuszug,
                                     m_checkHK.GetCheck(), m_checkFK.GetCheck(),
                                     m_strArztgruppe) == XQ_OK) {
        CString lines;
        do {
            if (!lines.IsEmpty()) lines += "\r\n";
            lines += m_IcdKatalog.Text;
        } while (m_IcdKatalog.Next() == XQ_OK);
        m_memoThesaurus.SetText(lines);
    }
}

void CdiaSuchIcd::OnCertainty(CXQLCheckX& clicked) {
    const auto boxes = {&m_checkG, &m_checkV, &m_checkZ, &m_checkA};
    if (clicked.GetCheck()) {
        CheckAlone(clicked, boxes);
        return;
    }
    // Once a certainty is chosen, one stays chosen.
    bool other = false;
    for (CXQLCheckX* box : boxes) other = other || (box != &clicked && box->GetCheck());
    if (!other) clicked.SetCheck(true);
}

void CdiaSuchIcd::OnSide(CXQLCheckX& clicked) {
    if (clicked.GetCheck()) CheckAlone(clicked, {&m_checkR, &m_checkL, &m_checkB});
}

CString CdiaSuchIcd::SuchCode() const {
    if (m_editText.HasFocus()) return m_editText.GetText();
    if (m_grid.HasFocus()) return CQIcd::AddPoint(m_Icd.Code);
    return m_editCode.GetText();
}

void CdiaSuchIcd::OnSaveAndExit() {
    if (m_Icd.Code != "UUU" && !m_bCodeOnly) {
        CString zusatz;
        if (m_checkG.GetCheck())
            zusatz = "G";
        else if (m_checkV.GetCheck())
            zusatz = "V";
        else if (m_checkZ.GetCheck())
            zusatz = "Z";
        else if (m_checkA.GetCheck())
            zusatz = "A";
        else {
            Halt(6, CString("Sie m\xFCssen eine Diagnosesicherheit ('G', 'V', 'Z' oder 'A') "
                            "ausw\xE4hlen!"));
            return;
        }
        if (m_checkR.GetCheck())
            zusatz += "R";
        else if (m_checkL.GetCheck())
            zusatz += "L";
        else if (m_checkB.GetCheck())
            zusatz += "B";
        m_strZusatz = zusatz;
    }
    CXQSuchDialog::OnSaveAndExit();
}

// ---------------------------------------------------------------- filters and settings

void CdiaSuchIcd::InitArztgruppen() {
    m_Arztgruppen.clear();
    for (const auto& a : kArztgruppen) m_Arztgruppen.emplace(a.name, a.code);
    m_comboArztgruppe.ResetContent();
    for (const auto& [name, code] : m_Arztgruppen) m_comboArztgruppe.AddString(name);
}

int CdiaSuchIcd::ArztgruppeIndex(const CString& code) const {
    CString trimmed = code;
    trimmed.TrimRight(' ');
    const bool blank = trimmed.IsEmpty();
    int index = static_cast<int>(m_Arztgruppen.size()) - 1;
    for (auto it = m_Arztgruppen.rbegin(); it != m_Arztgruppen.rend(); ++it, --index) {
        const CString& entry = it->second;
        CString entryTrimmed = entry;
        entryTrimmed.TrimRight(' ');
        // Stored codes are four characters filled with blanks, the table's
        // sub-codes too ("4.1 "), so both sides count without their blanks.
        if ((blank && entryTrimmed.IsEmpty()) || (code.Find('.') < 0 && code == entry) ||
            trimmed == entryTrimmed)
            return index;
    }
    return 0;
}

void CdiaSuchIcd::OnOnChangeXqlcomboArztgruppe() {
    const int i = m_comboArztgruppe.GetCurSel();
    const auto it =
        i < 0 ? m_Arztgruppen.end() : m_Arztgruppen.find(m_comboArztgruppe.GetLBText(i));
    m_strArztgruppe = it == m_Arztgruppen.end() ? CString() : it->second;
    RestartGrid();
}

void CdiaSuchIcd::OnOnClickXqlcheckxFK() {
    RestartGrid();
    if (m_checkFK.GetCheck()) {
        m_comboArztgruppe.EnableWindow(true);
        m_comboArztgruppe.SetCurSel(ArztgruppeIndex(m_strArztgruppe));
    } else {
        m_comboArztgruppe.EnableWindow(false);
    }
}

void CdiaSuchIcd::ReadConfig() {
    const CIcdSuchEinstellungen settings = CIcdSuchEinstellungen::Read();
    int tab = 0;
    if (settings.alphabetisch)
        tab = 1;
    else if (settings.beide && !m_bAuszug)
        tab = 2;
    if (tab != m_tab.GetCurSel() && tab < m_tab.GetCount()) {
        m_tab.SetCurSel(tab);
        OnChangeXqtabx1();
    }
    if (m_bAuszug) return;
    m_checkHK.SetCheck(settings.hausarzt);
    m_checkFK.SetCheck(settings.facharzt);
    m_strArztgruppe = settings.arztgruppe;
    if (!m_checkFK.GetCheck()) {
        m_comboArztgruppe.EnableWindow(false);
        return;
    }
    m_comboArztgruppe.EnableWindow(true);
    m_comboArztgruppe.SetCurSel(ArztgruppeIndex(m_strArztgruppe));
}

void CdiaSuchIcd::OnConfig() {
    CdiaConfigSuchIcd config(m_bAuszug || m_bReduziert, m_strArztgruppe, this);
    config.DoModal();
    ReadConfig();
}

void CdiaSuchIcd::OnToolbarButton(int number) {
    if (number == kTbKodierregeln) OnOnClickXqbitbtnAkrView();
    if (number == kTbVerschluesselung) OnOnClickXqbitbtnVerschluesselung();
    if (number == kTbOnline) OnCTRL_I();
    if (number == kTbQualitaet) OnCTRL_Q();
    if (number == kTbEinlesen) OnOnClickXqbitbtnLoad();
}

// ---------------------------------------------------------------- ways out

void CdiaSuchIcd::OnCTRL_I() {
    CString code = SuchCode();
    const CString year = GetXQDate().Left(4);
    // The catalogue keeps codes without their point.
    const int point = code.Find('.');
    if (point >= 0) code = code.Left(point) + code.Mid(point + 1);
    CString gruppe;
    if (!code.IsEmpty()) {
        CQIcd icd(dbDatabaseRO);
        icd.SetReadOnly(true);
        icd.SetForwardOnly(true);
        icd.SetKey(1, true);
        icd.Code = code;
        if (icd.GetByK1(XQ_MATCH_EQUAL) == XQ_OK) {
            gruppe = icd.Gruppe;
            gruppe.MakeLower();
        }
    }
    const CString site = KodesucheSite();
    char url[513];
    if (!gruppe.IsEmpty())
        std::snprintf(url, sizeof url, "%s/icd-10-gm/kode-suche/htmlgm%s/block-%s.htm",
                      site.GetString(), year.GetString(), gruppe.GetString());
    else
        std::snprintf(url, sizeof url, "%s/icd-10-gm/kode-suche/htmlgm%s/index.htm",
                      site.GetString(), year.GetString());
    XQOpenDocument(url);
}

void CdiaSuchIcd::OnCTRL_Q() {
    const CString code = SuchCode();
    if (code.IsEmpty()) return;
    void* lib = OpenQ7Fremd();
    if (!lib) {
        XQLog("q7fremd", dlerror());
        XQHaltE("q7fremd", "Fehler beim Laden der DLL!");
        return;
    }
    using ShowIcd = void (*)(CString);
    const auto show = reinterpret_cast<ShowIcd>(dlsym(lib, "Q7QMShowICD"));
    if (!show) {
        dlclose(lib);
        XQHalt("Hinweis", "Programm in Vorbereitung!");
        return;
    }
    show(code);
    dlclose(lib);
}

void CdiaSuchIcd::OnOnClickXqbitbtnLoad() {
    CString icd = "icd_2.3_74_tf+2020q3.xml";
    if (!XQFileDialog(false, "ICD-Datei suchen", "XML-Datei (*.XML)|*.XML||", "", icd)) return;
    CString hmv = "sdhma_1.30_74_tf+2020q4.xml";
    CString auszug = "ICD-10_Auswahl Zahnmedizin_AU-Besch._PVS-Version.csv";
    if (XQFileDialog(false, "HMV-Datei suchen", "XML-Datei (*.XML)|*.XML||", "", hmv) &&
        XQFileDialog(false, "Auszug Zahnmedizin/AU-Bescheinigung suchen",
                     "CSV-Datei (*.CSV)|*.CSV||", "", auszug))
        CQIcd::ReadFromXMLFile(dbDatabase, this, icd, hmv, auszug);  // reports its own errors
    // Once a file was chosen the tree is read anew, import or not: the
    // chapter cache is shared and may be older than the catalogue.
    Reset();
}
