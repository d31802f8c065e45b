#pragma once
// "Suchdialog OP-Schlüssel": finds one OPS procedure key by key, text,
// chapter, group and category, shows its texts, incision-to-suture time and
// the fee items of the fee schedule edition valid at the treatment date, and
// asks for the side where the key demands one. Whoever opens it may preset
// m_Ops.Code (a trailing side letter allowed) and m_strSeite before DoModal;
// after result 1, m_Ops holds the chosen row, its Code with the side letter
// appended.
#include <utility>
#include <vector>

#include "host/db/Ops.h"
#include "host/dlg/XQDialog.h"
#include "q7txtbst/Q7TbExport.h"

struct SOPSGruppe {
    CString code;  // the group row's code
    CString id;    // group id
    CString text;
};
struct SOPSKapitel {
    CString code;  // the chapter row's code
    CString id;    // chapter id
    CString text;
    std::vector<SOPSGruppe> gruppen;
};

class Q7TB_API CdiaSuchOPS : public CXQSuchDialog {
  public:
    CdiaSuchOPS(bool noSide, const CString& date, CWnd* parent);
    ~CdiaSuchOPS() override;

    // The catalogue tree: chapters at once, a chapter's groups on first
    // need; emptied by every Reset.
    static std::vector<SOPSKapitel> s_Kapitel;

    CQOps m_Ops;         // the search set: the grid's current line
    CString m_strSeite;  // side letter, in and out

    bool OnInitDialog() override;
    void OnSaveAndExit() override;
    void OnExit() override;
    void OnTimer(int id) override;

    // Splits a side letter off the preset code (when no side is preset) and
    // tells whether the code is in the catalogue.
    bool Exists();
    // Reads the tree anew and searches: 0 with hits, else 1.
    int Reset();
    // Runs the search the controls describe; true with hits.
    bool RestartGrid();

    // The edition letter of the fee schedule ("h", "f", "e", "b") and the
    // title suffix for a treatment date yyyymmdd.
    static CString Ausgabe(const CString& date);
    static CString AusgabeTitel(const CString& ausgabe);
    // The fee numbers of one fee-item line: pieces of 6 characters without
    // their trailing blanks, empty pieces left out.
    static std::vector<CString> Leistungsnummern(const CString& line);
    // "SNZ:" for the stored duration classes ("37": both sides).
    static CString SNZText(const CString& snz);

    CXQLEditX m_editCode, m_editText;
    CXQLComboX m_comboKapitel, m_comboGruppe, m_comboKategorie;
    CXQLCheckX m_checkAmtlich, m_checkErweitert;
    CXQLCheckX m_checkR, m_checkL, m_checkB;
    CXQGridX m_grid;
    CXQLabelX m_captionKapitel, m_captionGruppe, m_captionKategorie, m_captionSNZ;
    CXQLMemoX m_memoText, m_memoInklusiva, m_memoExklusiva, m_memoHinweis, m_memoLeistungen;
    CXQButtonX m_buttonAddFav, m_buttonDelFav;
    CWnd m_frameSeite{XQKind::Frame};

  private:
    void LoadKapitel();
    void LoadGruppe(SOPSKapitel& kapitel);
    SOPSKapitel* SelectedKapitel();
    void FillKategorien(const CString& saved);
    CString SelectedKategorie() const;
    void ShowFilters(bool show);
    void OnEditChanged();
    void OnOnChangeXqlcomboKapitel();
    void OnCatalogueBox(CXQLCheckX& clicked, CXQLCheckX& other);
    void OnSide(CXQLCheckX& clicked);
    void OnOnFillLineXqgridSuchgrid();
    void OnOnLineChangedXqgridSuchgrid();
    void ShowSides(int indicator);
    CString Leistungen();
    void WriteSettings();

    bool m_bNoSide;
    CString m_strAusgabe;
    bool m_bFavoriten = false;
    bool m_bHasHits = false;
    bool m_bInitialising = false;
    CQOps m_OpsKatalog;     // chapters and groups
    CQOpsEntry m_OpsEntry;  // texts
    CQGO m_GO;              // fee schedule
    // {key, text}; first {"", "(alle)"}; indexes as in the category combo.
    std::vector<std::pair<CString, CString>> m_Kategorien;
};
