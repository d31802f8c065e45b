#pragma once
// What the export and the import dialog share: the same window with a
// checkable list of blocks under the group and member combos, the combos'
// filtering and the same ticking commands.
#include "host/dlg/XQControls.h"
#include "host/dlg/XQDialog.h"
#include "host/dlg/XQResource.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/TbStore.h"

enum : int {
    IDC_TBX_GRUPPE = 1001,
    IDC_TBX_UNTERGRUPPE,
    IDC_TBX_HEADER,  // the import's column caption
    IDC_TBX_LIST,
};

// The exchange file's proposed name, file dialog filter and extension.
inline constexpr const char* kTbExchangeFile = "dazo_tb.xml";
inline constexpr const char* kTbExchangeFilter = "XML-Dateien (*.xml)|*.xml||";
inline constexpr const char* kTbExchangeExtension = ".xml";

// Toolbar button that ticks or unticks all (also Ctrl+S).
inline constexpr int kTbSelectAll = 10030;

// The dialog's template; withHeader adds the column caption above the list.
XQDialogTemplate TbExchangeTemplate(int number, const char* caption, int width, bool withHeader);

class Q7TB_API CTbExchangeDialog : public CXQDialog {
  public:
    ~CTbExchangeDialog() override;

    void OnCTRL_S() override;  // ticks every line, or unticks all when all are ticked
    void OnToolbarButton(int number) override;

    CXQLComboX m_comboGruppe, m_comboUntergruppe;
    CXQListBoxX m_list;

  protected:
    // groups: the dialog's own table, with the all entries, filled on first use.
    CTbExchangeDialog(int number, STbGroups& groups, CWnd* parent);

    // Fills both combos with "all" chosen and the list; false (message shown,
    // dialog ended with 0) when the group table cannot be read.
    bool InitCombosAndList();
    // Shows the blocks of the chosen group and member (' ' for all) in the
    // emptied list.
    virtual void FillList(char group, char member) = 0;
    // True when a line is ticked, else false with the message.
    bool CheckTicked();
    // The file dialog for the exchange file, titled as the dialog; false
    // when cancelled.
    bool ChooseFile(bool save, CString& path);

    STbGroups& m_groups;

  private:
    void Refill();
};
