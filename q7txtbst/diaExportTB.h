#pragma once
// "Textbausteine exportieren": writes the ticked text blocks to an exchange
// file. Result 1 after a successful export.
#include <vector>

#include "host/db/Records.h"
#include "host/dlg/XQDialog.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/TbStore.h"

class Q7TB_API CdiaExportTB : public CXQDialog {
  public:
    explicit CdiaExportTB(CWnd* parent);
    ~CdiaExportTB() override;

    static STbGroups s_Groups;  // with the all entries; filled on first use

    bool OnInitDialog() override;
    void OnSaveAndExit() override;  // take over: runs the export
    void OnCTRL_S() override;       // ticks or unticks all
    void OnToolbarButton(int number) override;

    CXQLComboX m_comboGruppe, m_comboUntergruppe;
    CXQListBoxX m_list;

  private:
    void FillList();
    void OnOnCloseUpGruppe();
    void OnOnCloseUpUntergruppe();

    std::vector<CQTb_Fields> m_fields;  // one per list item
};
