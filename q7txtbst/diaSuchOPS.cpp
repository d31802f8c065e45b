#include "q7txtbst/diaSuchOPS.h"

#include "host/base/Helpers.h"
#include "host/base/HostContext.h"
#include "host/db/HostData.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"
#include "host/db/XQStatus.h"
#include "host/dlg/XQMessages.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/SuchControls.h"

namespace {

enum : int {
    IDC_OPS_CODE = 1001,
    IDC_OPS_TEXT,
    IDC_OPS_KAPITEL,
    IDC_OPS_GRUPPE,
    IDC_OPS_KATEGORIE,
    IDC_OPS_AMTLICH,
    IDC_OPS_ERWEITERT,
    IDC_OPS_GRID,
    IDC_OPS_CAP_KAPITEL,
    IDC_OPS_CAP_GRUPPE,
    IDC_OPS_CAP_KATEGORIE,
    IDC_OPS_CAP_SNZ,
    IDC_OPS_MEMO_TEXT,
    IDC_OPS_MEMO_INKLUSIVA,
    IDC_OPS_MEMO_EXKLUSIVA,
    IDC_OPS_MEMO_HINWEIS,
    IDC_OPS_MEMO_LEISTUNGEN,
    IDC_OPS_FRAME_SEITE,
    IDC_OPS_R,
    IDC_OPS_L,
    IDC_OPS_B,
    IDC_OPS_ADD_FAV,
    IDC_OPS_DEL_FAV,
};

// The search waits for a pause in typing.
constexpr int kSuchTimer = 1;
constexpr int kSuchPauseMs = 250;

constexpr int kKategorieWidth = 30;

// The procedure search's program number in the parameter table.
const char kProgramm[] = "218";

const char kLabelLeistungen[] = "Leistungen:";
const char kLabelTabelle[] = "Tabellen-\n eintrag:";

CString SettingKey(const char* name) {
    return FormatString("%s%03d", name, dbLfdWorkstation);
}

// A stored setting of this workstation; found tells whether there is one.
CString ReadSetting(const char* name, bool* found = nullptr) {
    CQParPool par(dbDatabaseRO);
    par.Key1 = kProgramm;
    par.Key2 = SettingKey(name);
    const bool there = par.GetByK1(XQ_MATCH_EQUAL) == XQ_OK;
    if (found) *found = there;
    return there ? par.Value : CString();
}

void WriteSetting(const char* name, const CString& value) {
    CQParPool par(dbDatabase);
    par.Key1 = kProgramm;
    par.Key2 = SettingKey(name);
    const bool there = par.GetByK1(XQ_MATCH_EQUAL) == XQ_OK;
    par.Value = value;
    const int status = there ? par.Rewrite() : par.Write();
    // A lost setting costs the user one choice next time; the chosen key
    // still goes to the caller.
    if (status != XQ_OK)
        XQLog("OP-Schl\374ssel suchen",
              "Einstellung " + par.Key2 + " nicht gespeichert: " + dbDatabase->LastError());
}

}  // namespace

XQDialogTemplate SuchOPSTemplate() {
    XQDialogTemplate t;
    t.number = IDD_SUCHOPS;
    t.caption = "Suchdialog OP-Schl\374ssel";
    t.width = 800;
    t.height = 560;
    XQAddControl(t, IDC_OPS_CODE, XQKind::Edit, "&OP-Schl\374ssel", 10, 10, 120, 20);
    XQAddControl(t, IDC_OPS_TEXT, XQKind::Edit, "&Text", 140, 10, 300, 20);
    XQAddControl(t, IDC_OPS_KAPITEL, XQKind::Combo, "&Kapitel:", 10, 38, 430, 20);
    XQAddControl(t, IDC_OPS_GRUPPE, XQKind::Combo, "Gru&ppe:", 10, 62, 430, 20);
    XQAddControl(t, IDC_OPS_KATEGORIE, XQKind::Combo, "Kategorie:", 10, 86, 430, 20);
    XQAddControl(t, IDC_OPS_AMTLICH, XQKind::Check, "amtlicher OPS", 10, 112, 150, 18);
    XQAddControl(t, IDC_OPS_ERWEITERT, XQKind::Check, "erweiterter OPS", 170, 112, 150, 18);
    XQAddControl(t, IDC_OPS_GRID, XQKind::Grid, "Prozeduren", 10, 136, 430, 300);
    XQAddControl(t, IDC_OPS_CAP_KAPITEL, XQKind::Caption, "Kapitel:", 450, 10, 340, 20);
    XQAddControl(t, IDC_OPS_CAP_GRUPPE, XQKind::Caption, "Gruppe:", 450, 34, 340, 20);
    XQAddControl(t, IDC_OPS_CAP_KATEGORIE, XQKind::Caption, "Kategorie:", 450, 58, 340, 20);
    XQAddControl(t, IDC_OPS_CAP_SNZ, XQKind::Caption, "SNZ:", 450, 82, 340, 20);
    const struct {
        int id;
        const char* label;
        int y, height;
    } memos[] = {{IDC_OPS_MEMO_TEXT, "Text:", 106, 60},
                 {IDC_OPS_MEMO_INKLUSIVA, "Inklusiva:", 170, 70},
                 {IDC_OPS_MEMO_EXKLUSIVA, "Exklusiva", 244, 70},
                 {IDC_OPS_MEMO_HINWEIS, "Hinweis:", 318, 70},
                 {IDC_OPS_MEMO_LEISTUNGEN, kLabelLeistungen, 392, 112}};
    for (const auto& m : memos)
        XQAddControl(t, m.id, XQKind::Memo, m.label, 450, m.y, 340, m.height).readOnly = true;
    XQAddControl(t, IDC_OPS_FRAME_SEITE, XQKind::Frame, "Lokalisation", 10, 444, 430, 44);
    const char* const sides[] = {"&R - rechts", "&L - links", "&B - beidseitig"};
    for (int i = 0; i < 3; ++i)
        XQAddControl(t, IDC_OPS_R + i, XQKind::Check, sides[i], 20 + i * 140, 462, 130, 18);
    XQAddControl(t, IDC_OPS_ADD_FAV, XQKind::Button, "zu Favoriten hinzuf\374gen", 10, 512, 200,
                 24);
    XQAddControl(t, IDC_OPS_DEL_FAV, XQKind::Button, "aus Favoriten entfernen", 220, 512, 200, 24);
    t.toolbar = {
        XQStandardButton(XQTB_EXIT),
        XQStandardButton(XQTB_ACCEPT),
        XQStandardButton(XQTB_HELP),
    };
    return t;
}

XQRuntimeClass SuchOPSRuntimeClass() {
    // "dialog CdiaSuchOPS NOSIDE DATE [CODE [SIDE]]"; the host checks the
    // date before.
    return {"CdiaSuchOPS",
            [](const std::vector<CString>& args, CWnd* parent) -> std::unique_ptr<CXQDialog> {
                if (args.size() < 2 || args.size() > 4) return nullptr;
                if (args[0] != "0" && args[0] != "1") return nullptr;
                auto dialog = std::make_unique<CdiaSuchOPS>(args[0] == "1", args[1], parent);
                if (args.size() > 2) dialog->m_Ops.Code = args[2];
                if (args.size() > 3) dialog->m_strSeite = args[3];
                return dialog;
            },
            // After an accept, the chosen row by the columns of the host's
            // "ops" data.
            [](CXQDialog& dialog, int result) {
                std::vector<std::pair<CString, CString>> values;
                if (result != 1) return values;
                const CQOps& ops = static_cast<CdiaSuchOPS&>(dialog).m_Ops;
                values = {{"ops.code", ops.Code},         {"ops.chapter", ops.Kapitel},
                          {"ops.group", ops.Gruppe},      {"ops.category", ops.Kategorie},
                          {"ops.snz", ops.SNZ},           {"ops.side", ops.Seite},
                          {"ops.extended", ops.Erweitert}};
                return values;
            }};
}

std::vector<SOPSKapitel> CdiaSuchOPS::s_Kapitel;

CdiaSuchOPS::CdiaSuchOPS(bool noSide, const CString& date, CWnd* parent)
    : CXQSuchDialog(IDD_SUCHOPS, parent),
      m_Ops(dbDatabaseRO),
      m_bNoSide(noSide),
      m_strAusgabe(Ausgabe(date)),
      m_OpsKatalog(dbDatabaseRO),
      m_OpsEntry(dbDatabaseRO),
      m_GO(dbDatabaseRO) {
    SetHelpName("diaSuchOPS");
    for (CXQRSet* set : std::initializer_list<CXQRSet*>{&m_Ops, &m_OpsKatalog, &m_OpsEntry, &m_GO})
        set->SetReadOnly(true);

    DDX_Control(IDC_OPS_CODE, m_editCode);
    DDX_Control(IDC_OPS_TEXT, m_editText);
    DDX_Control(IDC_OPS_KAPITEL, m_comboKapitel);
    DDX_Control(IDC_OPS_GRUPPE, m_comboGruppe);
    DDX_Control(IDC_OPS_KATEGORIE, m_comboKategorie);
    DDX_Control(IDC_OPS_AMTLICH, m_checkAmtlich);
    DDX_Control(IDC_OPS_ERWEITERT, m_checkErweitert);
    DDX_Control(IDC_OPS_GRID, m_grid);
    DDX_Control(IDC_OPS_CAP_KAPITEL, m_captionKapitel);
    DDX_Control(IDC_OPS_CAP_GRUPPE, m_captionGruppe);
    DDX_Control(IDC_OPS_CAP_KATEGORIE, m_captionKategorie);
    DDX_Control(IDC_OPS_CAP_SNZ, m_captionSNZ);
    DDX_Control(IDC_OPS_MEMO_TEXT, m_memoText);
    DDX_Control(IDC_OPS_MEMO_INKLUSIVA, m_memoInklusiva);
    DDX_Control(IDC_OPS_MEMO_EXKLUSIVA, m_memoExklusiva);
    DDX_Control(IDC_OPS_MEMO_HINWEIS, m_memoHinweis);
    DDX_Control(IDC_OPS_MEMO_LEISTUNGEN, m_memoLeistungen);
    DDX_Control(IDC_OPS_FRAME_SEITE, m_frameSeite);
    DDX_Control(IDC_OPS_R, m_checkR);
    DDX_Control(IDC_OPS_L, m_checkL);
    DDX_Control(IDC_OPS_B, m_checkB);
    DDX_Control(IDC_OPS_ADD_FAV, m_buttonAddFav);
    DDX_Control(IDC_OPS_DEL_FAV, m_buttonDelFav);

    m_grid.SetColumns({{"OP-Schl\374ssel", 69}, {"Text", 255}});
    for (CXQLMemoX* memo :
         {&m_memoText, &m_memoInklusiva, &m_memoExklusiva, &m_memoHinweis, &m_memoLeistungen})
        memo->SetReadOnly(true);

    m_editCode.onChange = [this] { OnEditChanged(); };
    m_editText.onChange = [this] { OnEditChanged(); };
    m_comboKapitel.onSelChange = [this] { OnOnChangeXqlcomboKapitel(); };
    m_comboGruppe.onSelChange = [this] { RestartGrid(); };
    m_comboKategorie.onSelChange = [this] { RestartGrid(); };
    m_checkAmtlich.onClick = [this] { OnCatalogueBox(m_checkAmtlich, m_checkErweitert); };
    m_checkErweitert.onClick = [this] { OnCatalogueBox(m_checkErweitert, m_checkAmtlich); };
    for (CXQLCheckX* box : {&m_checkR, &m_checkL, &m_checkB})
        box->onClick = [this, box] { OnSide(*box); };
    BindSuchGrid(m_grid, m_Ops, m_bHasHits);
    m_grid.onFillLine = [this] { OnOnFillLineXqgridSuchgrid(); };
    m_grid.onLineChanged = [this] { OnOnLineChangedXqgridSuchgrid(); };
    m_grid.onDblClick = [this] {
        if (IsToolbarButtonEnabled(XQTB_ACCEPT)) OnSaveAndExit();
    };
    m_buttonAddFav.onClick = [this] {
        CQOps::AddToFavoriten(m_Ops.Code);
        RestartGrid();
    };
    m_buttonDelFav.onClick = [this] {
        CQOps::DelFromFavoriten(m_Ops.Code);
        RestartGrid();
    };
}

CdiaSuchOPS::~CdiaSuchOPS() = default;

// ---------------------------------------------------------------- edition

CString CdiaSuchOPS::Ausgabe(const CString& date) {
    // Dates compare as their text, yyyymmdd.
    if (date >= CString("20131001")) return "h";
    if (date >= CString("20080101")) return "f";
    if (date >= CString("20050401")) return "e";
    return "b";
}

CString CdiaSuchOPS::AusgabeTitel(const CString& ausgabe) {
    if (ausgabe == "h") return " (EBM 2013)";
    if (ausgabe == "f") return " (EBM 2009)";
    return " (EBM 2000plus)";
}

// ---------------------------------------------------------------- opening

bool CdiaSuchOPS::OnInitDialog() {
    CXQSuchDialog::OnInitDialog();
    SetWindowText(GetCaption() + AusgabeTitel(m_strAusgabe));
    m_bInitialising = true;

    FillKategorien(ReadSetting("wstokat"));
    Exists();
    if (m_bNoSide) {
        m_frameSeite.ShowWindow(false);
        for (CXQLCheckX* box : {&m_checkR, &m_checkL, &m_checkB}) {
            box->ShowWindow(false);
            box->SetCheck(false);
        }
    } else if (m_strSeite == "B") {
        m_checkB.SetCheck(true);
    } else if (m_strSeite == "L") {
        m_checkL.SetCheck(true);
    } else if (m_strSeite == "R") {
        m_checkR.SetCheck(true);
    }
    if (!m_Ops.Code.IsEmpty()) {
        m_editCode.SetText(m_Ops.Code);
        m_editText.SetText(m_OpsEntry.GetEntries(m_Ops.Code, OPS_ENTRY_TEXT, false));
    }

    bool stored = false;
    const CString katalog = ReadSetting("wstopse", &stored);
    if (stored) {
        m_checkAmtlich.SetCheck(katalog == "1" || katalog == "3");
        m_checkErweitert.SetCheck(katalog == "2" || katalog == "3");
    } else {
        OnCatalogueBox(m_checkErweitert, m_checkAmtlich);
    }
    // Reset's answer (0: hits, the grid has the focus) only decides where the
    // focus went; the dialog runs either way.
    Reset();
    m_bInitialising = false;
    return true;
}

bool CdiaSuchOPS::Exists() {
    if (m_strSeite.IsEmpty() && !m_Ops.Code.IsEmpty()) {
        const CString last = m_Ops.Code.Right(1);
        if (last == "L" || last == "R" || last == "B") {
            m_strSeite = last;
            m_Ops.Code = m_Ops.Code.Left(m_Ops.Code.GetLength() - 1);
        }
    }
    const CString code = m_Ops.Code;
    m_Ops.ClearAll();
    m_Ops.Code = code;
    return m_Ops.GetByK1(XQ_MATCH_EQUAL) == XQ_OK;
}

void CdiaSuchOPS::FillKategorien(const CString& saved) {
    m_Kategorien.assign(1, {CString(), CString("(alle)")});
    std::vector<std::pair<CString, CString>> entries;
    GetSPEntries("opskategorien", entries);
    for (const auto& entry : entries)
        if (!entry.first.IsEmpty()) m_Kategorien.push_back(entry);
    m_comboKategorie.ResetContent();
    int selected = 0;
    for (size_t i = 0; i < m_Kategorien.size(); ++i) {
        const auto& [key, text] = m_Kategorien[i];
        m_comboKategorie.AddString(i == 0 ? text
                                          : FormatWindowText(key + ": ", kKategorieWidth) + text);
        if (i > 0 && key == saved) selected = static_cast<int>(i);
    }
    m_comboKategorie.SetCurSel(selected);
}

CString CdiaSuchOPS::SelectedKategorie() const {
    const int i = m_comboKategorie.GetCurSel();
    if (i < 0 || i >= static_cast<int>(m_Kategorien.size())) return CString();
    return m_Kategorien[static_cast<size_t>(i)].first;
}

// ---------------------------------------------------------------- tree cache

void CdiaSuchOPS::LoadKapitel() {
    if (!s_Kapitel.empty()) return;
    m_OpsKatalog.ClearAll();
    m_OpsKatalog.SetKey(2, true);
    m_OpsKatalog.Kategorie = OPS_KATEGORIE_KAPITEL;
    if (m_OpsKatalog.GetByK2(XQ_MATCH_FIELDS) == XQ_OK) do {
            s_Kapitel.push_back({m_OpsKatalog.Code,
                                 m_OpsKatalog.Kapitel,
                                 m_OpsEntry.GetEntries(m_OpsKatalog.Code, OPS_ENTRY_KAPITEL, false),
                                 {}});
        } while (m_OpsKatalog.Next() == XQ_OK);
    m_OpsKatalog.SetKey(1, true);
}

void CdiaSuchOPS::LoadGruppe(SOPSKapitel& kapitel) {
    if (!kapitel.gruppen.empty()) return;
    m_OpsKatalog.ClearAll();
    m_OpsKatalog.SetKey(2, true);
    m_OpsKatalog.Kapitel = kapitel.id;
    m_OpsKatalog.Kategorie = OPS_KATEGORIE_GRUPPE;
    if (m_OpsKatalog.GetByK2(XQ_MATCH_FIELDS) == XQ_OK) do {
            kapitel.gruppen.push_back(
                {m_OpsKatalog.Code, m_OpsKatalog.Gruppe,
                 m_OpsEntry.GetEntries(m_OpsKatalog.Code, OPS_ENTRY_GRUPPE, false)});
        } while (m_OpsKatalog.Next() == XQ_OK);
    m_OpsKatalog.SetKey(1, true);
}

SOPSKapitel* CdiaSuchOPS::SelectedKapitel() {
    const int k = m_comboKapitel.GetCurSel() - 2;
    if (k < 0 || k >= static_cast<int>(s_Kapitel.size())) return nullptr;
    return &s_Kapitel[static_cast<size_t>(k)];
}

// ---------------------------------------------------------------- searching

void CdiaSuchOPS::ShowFilters(bool show) {
    m_comboKategorie.EnableWindow(show);
    m_checkAmtlich.ShowWindow(show);
    m_checkErweitert.ShowWindow(show);
}

int CdiaSuchOPS::Reset() {
    s_Kapitel.clear();
    LoadKapitel();
    m_comboKapitel.ResetContent();
    m_comboKapitel.AddString("(Favoriten)");
    m_comboKapitel.AddString("(alle)");
    for (const SOPSKapitel& k : s_Kapitel) m_comboKapitel.AddString(k.id + ": " + k.text);
    m_bFavoriten = CQOps::HasFavoriten();
    m_comboKapitel.SetCurSel(m_bFavoriten ? 0 : 1);
    m_comboGruppe.EnableWindow(false);
    ShowFilters(!m_bFavoriten);
    return RestartGrid() ? 0 : 1;
}

bool CdiaSuchOPS::RestartGrid() {
    CXQWaitCursor wait;
    m_Ops.ClearAll();
    if (SOPSKapitel* kapitel = SelectedKapitel()) {
        m_Ops.Kapitel = kapitel->id;
        const int g = m_comboGruppe.GetCurSel() - 1;
        if (g >= 0 && g < static_cast<int>(kapitel->gruppen.size()))
            m_Ops.Gruppe = kapitel->gruppen[static_cast<size_t>(g)].id;
    }
    if (!m_bFavoriten) {
        m_Ops.Kategorie = SelectedKategorie();
        const bool amtlich = m_checkAmtlich.GetCheck(), erweitert = m_checkErweitert.GetCheck();
        if (!erweitert)
            m_Ops.Erweitert = "0";
        else if (!amtlich)
            m_Ops.Erweitert = "1";
    }
    m_Ops.Code = m_editCode.GetText();
    m_bHasHits = m_Ops.GetForSuche(m_editText.GetText(), m_bFavoriten) == XQ_OK;

    EnableToolbarButton(XQTB_ACCEPT, m_bHasHits);
    m_buttonAddFav.EnableWindow(m_bHasHits && !m_bFavoriten);
    m_buttonDelFav.EnableWindow(m_bHasHits && m_bFavoriten);
    if (m_bInitialising && m_bHasHits) SetFocusTo(&m_grid);
    for (CXQLabelX* caption :
         {&m_captionKapitel, &m_captionGruppe, &m_captionKategorie, &m_captionSNZ})
        caption->SetCaption(CString());
    for (CXQLMemoX* memo :
         {&m_memoText, &m_memoInklusiva, &m_memoExklusiva, &m_memoHinweis, &m_memoLeistungen})
        memo->SetText(CString());
    m_grid.Clear();
    m_grid.InitDown(m_bHasHits ? m_Ops.AnzHits() : 0);
    return m_bHasHits;
}

// ---------------------------------------------------------------- events

void CdiaSuchOPS::OnEditChanged() {
    if (m_bInitialising) return;
    // A dialog not shown has no window to own a timer: it searches at once.
    if (!IsRunning()) {
        RestartGrid();
        return;
    }
    SetTimer(kSuchTimer, kSuchPauseMs);
}

void CdiaSuchOPS::OnTimer(int id) {
    if (id != kSuchTimer) {
        Q7Beep(-1);
        return;
    }
    KillTimer(kSuchTimer);
    RestartGrid();
}

void CdiaSuchOPS::OnOnChangeXqlcomboKapitel() {
    const int k = m_comboKapitel.GetCurSel();
    if (k < 2) {
        m_bFavoriten = k == 0;
        m_comboGruppe.ResetContent();
        m_comboGruppe.EnableWindow(false);
        ShowFilters(!m_bFavoriten);
        RestartGrid();
        return;
    }
    m_bFavoriten = false;
    SOPSKapitel* kapitel = SelectedKapitel();
    if (!kapitel) return;
    LoadGruppe(*kapitel);
    m_comboGruppe.ResetContent();
    m_comboGruppe.AddString("(alle)");
    for (const SOPSGruppe& g : kapitel->gruppen) m_comboGruppe.AddString(g.id + ": " + g.text);
    m_comboGruppe.EnableWindow(true);
    m_comboGruppe.SetCurSel(0);
    ShowFilters(true);
    RestartGrid();
}

void CdiaSuchOPS::OnCatalogueBox(CXQLCheckX& clicked, CXQLCheckX& other) {
    // One of the two catalogues is always searched.
    if (!clicked.GetCheck() && !other.GetCheck()) other.SetCheck(true);
    if (!m_bInitialising) RestartGrid();
}

void CdiaSuchOPS::OnSide(CXQLCheckX& clicked) {
    if (clicked.GetCheck()) CheckAlone(clicked, {&m_checkR, &m_checkL, &m_checkB});
}

void CdiaSuchOPS::OnOnFillLineXqgridSuchgrid() {
    m_grid.SetText(0, m_Ops.Code);
    m_grid.SetText(1, m_OpsEntry.GetEntries(m_Ops.Code, OPS_ENTRY_TEXT, false));
}

// ---------------------------------------------------------------- details

std::vector<CString> CdiaSuchOPS::Leistungsnummern(const CString& line) {
    std::vector<CString> numbers;
    for (int i = 0; i < line.GetLength(); i += 6) {
        CString piece = line.Mid(i, 6);
        piece.TrimRight(' ');
        if (!piece.IsEmpty()) numbers.push_back(piece);
    }
    return numbers;
}

CString CdiaSuchOPS::SNZText(const CString& snz) {
    const auto dauer = [](char digit) -> CString {
        static const char* const kTexts[] = {
            "bis 15 Minuten", "bis 30 Minuten",  "bis 45 Minuten",     "bis 60 Minuten",
            "bis 90 Minuten", "bis 120 Minuten", "\374ber 120 Minuten"};
        return digit >= '1' && digit <= '7' ? CString(kTexts[digit - '1']) : CString();
    };
    if (snz.IsEmpty()) return CString();
    CString text = dauer(snz[0]);
    if (snz.GetLength() >= 2) text += " / " + dauer(snz[1]) + " (beidseitig)";
    return text;
}

CString CdiaSuchOPS::Leistungen() {
    CQOpsEntry zeilen(dbDatabaseRO);
    zeilen.SetReadOnly(true);
    if (zeilen.GetByEntryTyp(m_Ops.Code, OPS_ENTRY_LEISTUNGEN) != XQ_OK) {
        m_memoLeistungen.SetLabel(kLabelTabelle);
        return m_OpsEntry.GetEntries(m_Ops.Code, OPS_ENTRY_TABELLE, true);
    }
    m_memoLeistungen.SetLabel(kLabelLeistungen);
    CString lines;
    do {
        for (const CString& nummer : Leistungsnummern(zeilen.Text)) {
            CString line = nummer;
            m_GO.ClearAll();
            m_GO.Ausgabe = m_strAusgabe;
            m_GO.Nummer = nummer;
            if (m_GO.GetByK1(XQ_MATCH_FIELDS) == XQ_OK && !m_GO.Text.IsEmpty())
                line += " - " + m_GO.Text;
            if (!lines.IsEmpty()) lines += "\r\n";
            lines += line;
        }
    } while (zeilen.Next() == XQ_OK);
    return lines;
}

void CdiaSuchOPS::OnOnLineChangedXqgridSuchgrid() {
    SOPSKapitel* kapitel = nullptr;
    for (SOPSKapitel& k : s_Kapitel)
        if (k.id == m_Ops.Kapitel) kapitel = &k;
    m_captionKapitel.SetCaption(kapitel ? m_Ops.Kapitel + ": " + kapitel->text : m_Ops.Kapitel);
    CString gruppe;
    if (kapitel) {
        LoadGruppe(*kapitel);
        gruppe = m_Ops.Gruppe;
        for (const SOPSGruppe& g : kapitel->gruppen)
            if (g.id == m_Ops.Gruppe) gruppe += ": " + g.text;
    }
    m_captionGruppe.SetCaption(gruppe);

    CString kategorie;
    if (!m_Ops.Kategorie.IsEmpty() && m_Ops.Kategorie != OPS_KATEGORIE_KEINE) {
        kategorie = m_Ops.Kategorie;
        for (const auto& [key, text] : m_Kategorien)
            if (key == m_Ops.Kategorie && !text.IsEmpty()) {
                kategorie += ": " + text;
                break;
            }
    }
    m_captionKategorie.SetCaption(kategorie);

    const struct {
        CXQLMemoX* memo;
        const char* typ;
    } memos[] = {{&m_memoText, OPS_ENTRY_TEXT},
                 {&m_memoInklusiva, OPS_ENTRY_INKLUSIVA},
                 {&m_memoExklusiva, OPS_ENTRY_EXKLUSIVA},
                 {&m_memoHinweis, OPS_ENTRY_HINWEIS}};
    for (const auto& m : memos) m.memo->SetText(m_OpsEntry.GetEntries(m_Ops.Code, m.typ, true));
    m_memoLeistungen.SetText(Leistungen());
    m_captionSNZ.SetCaption(SNZText(m_Ops.SNZ));
    if (!m_bNoSide) ShowSides(CardToInt(m_Ops.Seite));
}

void CdiaSuchOPS::ShowSides(int indicator) {
    const bool rl = indicator == 1 || indicator == 3;
    const bool b = indicator == 2 || indicator == 3;
    m_frameSeite.ShowWindow(rl || b);
    for (CXQLCheckX* box : {&m_checkR, &m_checkL}) {
        box->ShowWindow(rl);
        if (!rl) box->SetCheck(false);
    }
    m_checkB.ShowWindow(b);
    if (!b) m_checkB.SetCheck(false);
    // B is the only side such a key allows.
    if (indicator == 2) m_checkB.SetCheck(true);
}

// ---------------------------------------------------------------- closing

void CdiaSuchOPS::OnSaveAndExit() {
    m_strSeite.Empty();
    if (!m_bNoSide) {
        const bool r = m_checkR.GetCheck(), l = m_checkL.GetCheck(), b = m_checkB.GetCheck();
        switch (CardToInt(m_Ops.Seite)) {
            case 1:
                if (!r && !l) {
                    Halt(6, CString("Sie m\374ssen eine Lokalisation ('R' oder 'L') "
                                    "ausw\344hlen!"));
                    return;
                }
                m_strSeite = r ? "R" : "L";
                break;
            case 2:
                if (!b) {
                    Halt(6, CString("Sie m\374ssen die Lokalisation 'B' ausw\344hlen!"));
                    return;
                }
                m_strSeite = "B";
                break;
            case 3:
                if (!r && !l && !b) {
                    Halt(6, CString("Sie m\374ssen eine Lokalisation ('R', 'L' oder 'B') "
                                    "ausw\344hlen!"));
                    return;
                }
                m_strSeite = r ? "R" : l ? "L" : "B";
                break;
            default:
                break;
        }
    }
    m_Ops.Code += m_strSeite;
    WriteSettings();
    CXQSuchDialog::OnSaveAndExit();
}

void CdiaSuchOPS::WriteSettings() {
    const bool amtlich = m_checkAmtlich.GetCheck(), erweitert = m_checkErweitert.GetCheck();
    WriteSetting("wstopse", amtlich && erweitert ? "3" : amtlich ? "1" : "2");
    WriteSetting("wstokat", SelectedKategorie());
}

void CdiaSuchOPS::OnExit() {
    EndDialog(2);
}
