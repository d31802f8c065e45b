#pragma once
// "Suchdialog ICD-10-Diagnosen": finds one ICD-10-GM code by code, text,
// chapter, group and subgroup, or by key word in the alphabetic index, and
// marks its certainty (G, V, Z, A) and side (R, L, B). Whoever opens it sets
// m_Icd.Code (stored form), m_strZusatz and the mode members before DoModal;
// after result 1, m_Icd.Code is the chosen code and m_strZusatz its
// certainty-and-side string.
#include <map>
#include <vector>

#include "host/db/Icd.h"
#include "host/dlg/XQDialog.h"
#include "q7txtbst/Q7TbExport.h"

struct SUntergruppe {
    CString code;
    CString text;
};
struct SGruppe {
    CString code;
    CString text;
    std::vector<SUntergruppe> untergruppen;
};
struct SKapitel {
    CString code;
    CString text;
    std::vector<SGruppe> gruppen;
};

class Q7TB_API CdiaSuchIcd : public CXQSuchDialog {
  public:
    CdiaSuchIcd(bool codeOnly, const CString& patientId, CWnd* parent);
    ~CdiaSuchIcd() override;

    // The catalogue tree, chapters at once, groups and subgroups on first
    // need; emptied by every Reset.
    static std::vector<SKapitel> s_Kapitel;

    CQIcd m_Icd;                // the search set: the grid's current line
    CQIcd m_IcdKatalog;         // chapter lists and the index memo
    CString m_strZusatz;        // certainty and side, in and out
    CString m_strPrimaerCode;   // secondary-code search: the primary code
    bool m_bAuszug = false;     // only the Zahnmedizin/AU extract
    bool m_bReduziert = false;  // two tabs, no coding-rule or manual buttons
    CString m_strArztgruppe;    // the physician group filter's code

    bool OnInitDialog() override;
    void OnSaveAndExit() override;
    void OnConfig() override;
    void OnToolbarButton(int number) override;
    // The code to look up on the public ICD-10-GM code search site: its
    // group's block page, else the year's index page.
    void OnCTRL_I() override;
    // Hands the code to look up to the quality management (q7fremd).
    void OnCTRL_Q() override;
    // Asks for the ICD, HMV and extract files and replaces the catalogue
    // with them; the button is hidden here, other callers reach it.
    void OnOnClickXqbitbtnLoad();

    // 0 when the grid has hits (and took the focus), else 1.
    int Reset();
    // Runs the search the controls describe; true with hits.
    bool RestartGrid();
    // What to look up elsewhere: the text, the current code with point or
    // the typed code, by where the focus is.
    CString SuchCode() const;
    // Applies the stored settings of this physician.
    void ReadConfig();
    void InitArztgruppen();
    // The combo item of a physician group code (0 when none fits).
    int ArztgruppeIndex(const CString& code) const;

    CXQTabX m_tab;
    CXQLEditX m_editCode, m_editText, m_editSchlagwort;
    CXQLComboX m_comboKapitel, m_comboGruppe, m_comboUntergruppe, m_comboArztgruppe;
    CXQGridX m_grid;
    CXQLabelX m_captionKapitel, m_captionGruppe, m_captionUntergruppe, m_captionText,
        m_captionNotation, m_captionVersion;
    CXQLMemoX m_memoThesaurus;
    CXQLCheckX m_checkG, m_checkV, m_checkZ, m_checkA, m_checkR, m_checkL, m_checkB;
    CXQLCheckX m_checkHK, m_checkFK;
    CXQButtonX m_buttonAddFav, m_buttonDelFav;
    CWnd m_frameZusatz{XQKind::Frame}, m_frameArztgruppe{XQKind::Frame};

  private:
    void LoadKapitel();
    void LoadGruppe(SKapitel& kapitel);
    void LoadSubGroup(SGruppe& gruppe, const CString& kapitel);
    int FirstChapterIndex() const { return m_strPatId.IsEmpty() ? 2 : 3; }
    SKapitel* SelectedKapitel();
    SGruppe* SelectedGruppe();

    void OnChangeXqtabx1();
    void OnOnChangeXqlcomboKapitel();
    void OnOnChangeXqlcomboGruppe();
    void OnOnChangeXqlcomboArztgruppe();
    void OnOnClickXqlcheckxFK();
    void OnOnFillLineXqgridSuchgrid();
    void OnOnLineChangedXqgridSuchgrid();
    void OnCertainty(CXQLCheckX& clicked);
    void OnSide(CXQLCheckX& clicked);

    bool m_bCodeOnly;
    CString m_strPatId;
    bool m_bFavoriten = false, m_bPatient = false, m_bThesaurus = false;
    bool m_bHasHits = false;
    bool m_bInitialising = false;
    std::map<CString, CString> m_Arztgruppen;  // name -> code, in byte order
};
