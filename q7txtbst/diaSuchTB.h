#pragma once
// "Suchdialog Textbausteine": finds a text block by Kürzel, description,
// group and member, shows its text and hands it over. The caller presets
// group, member and Kürzel in m_Tb before DoModal and reads the chosen block
// from m_Tb afterwards (result 1: taken over; 2, 3: New / Edit for an editor
// that opened the dialog).
#include "host/db/Records.h"
#include "host/dlg/XQDialog.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/TbStore.h"

class Q7TB_API CdiaSuchTB : public CXQSuchDialog {
  public:
    explicit CdiaSuchTB(CWnd* parent);
    ~CdiaSuchTB() override;

    static STbGroups s_Groups;  // with the all entries; filled on first use

    CQTb m_Tb;             // current record = the grid's current line
    CQTbEntry m_TbEntry;   // the preview's lines
    CString m_strCaption;  // shown above the filters

    // The text of a block, its lines separated by separator, appended to result.
    void ReadRecordsToCString(const CString& kuerzel, const CString& separator, CString& result);

    bool OnInitDialog() override;
    void OnNeuanlage() override;
    void OnBearbeiten() override;
    void OnPrint() override;
    void SprachkommandoVerarbeiten(const char* command, int number) override;
    CString XqMic_GetGrammarAddendum() override { return m_grammarAddendum; }

    CXQLEditX m_editKuerzel, m_editBeschreibung;
    CXQLComboX m_comboGruppe, m_comboUntergruppe;
    CXQLCheckX m_checkTeilwort;
    CXQGridX m_grid;
    CXQLMemoX m_memoText;
    CXQLabelX m_captionGruppe, m_captionUntergruppe, m_captionFilter;

  private:
    void RestartGrid();
    void SelectGroup(char group, char member);
    void ShowCurrent();
    void OpenEditor(bool neu);
    // Moves the grid to the first hit for which matches holds, searching the
    // hits from `from` to the end and then from the start up to before `from`
    // (wrap false: from the first hit to the last only).
    template <class Match>
    void MoveToHit(int from, bool wrap, Match matches);

    void OnOnChangeFilter();
    void OnOnCloseUpGruppe();
    void OnOnCloseUpUntergruppe();
    bool OnOnKeyDownGruppe(const XQKeyEvent& key);
    bool OnOnKeyDownUntergruppe(const XQKeyEvent& key);
    void OnOnDblClickGrid();

    bool m_freshSearch = false;
    bool m_initialising = false;
    CString m_grammarAddendum;
};
