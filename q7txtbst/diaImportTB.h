#pragma once
// "Textbausteine importieren": reads an exchange file, lists its text blocks
// and stores the ticked ones, replacing blocks with the same Kürzel. Result 1
// after a successful import.
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/TBImport.h"
#include "q7txtbst/TbExchange.h"

class Q7TB_API CdiaImportTB : public CTbExchangeDialog {
  public:
    explicit CdiaImportTB(CWnd* parent);
    ~CdiaImportTB() override;

    static STbGroups s_Groups;  // with the all entries; filled on first use

    bool OnInitDialog() override;
    void OnSaveAndExit() override;  // take over: runs the import

    // Reads the file into m_map; false (message shown) when it cannot.
    bool ParseFile(const CString& path);

    CXQLabelX m_header;
    STbImportMap m_map;
    CString m_path;

  private:
    void FillList(char group, char member) override;
};
