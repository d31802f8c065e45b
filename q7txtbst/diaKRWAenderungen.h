#pragma once
// "Kodierregelwerk-Änderungen": the prepared lines of the rules that the
// newest edition added and dropped, each in its colour.
#include <vector>

#include "host/dlg/XQDialog.h"
#include "q7txtbst/Krw.h"
#include "q7txtbst/Q7TbExport.h"

class Q7TB_API CdiaKRWAenderungen : public CXQDialog {
  public:
    CdiaKRWAenderungen(std::vector<krline> zeilen, CWnd* parent);
    bool OnInitDialog() override;

    CXQListBoxX m_list;
    std::vector<krline> m_zeilen;
};
