#pragma once
// "Textbausteine exportieren": writes the ticked text blocks to an exchange
// file. Result 1 after a successful export.
#include <vector>

#include "host/db/Records.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/TbExchange.h"

class Q7TB_API CdiaExportTB : public CTbExchangeDialog {
  public:
    explicit CdiaExportTB(CWnd* parent);
    ~CdiaExportTB() override;

    static STbGroups s_Groups;  // with the all entries; filled on first use

    bool OnInitDialog() override;
    void OnSaveAndExit() override;  // take over: runs the export

  private:
    void FillList(char group, char member) override;

    std::vector<CQTb_Fields> m_fields;  // one per list item
};
