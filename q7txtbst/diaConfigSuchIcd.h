#pragma once
// "Einstellungen" of the diagnosis search (F6): where the search starts and
// which catalogue filters are on, kept per physician in the parameter table.
#include "host/dlg/XQDialog.h"
#include "q7txtbst/IcdSuchEinstellungen.h"
#include "q7txtbst/Q7TbExport.h"

class Q7TB_API CdiaConfigSuchIcd : public CXQDialog {
  public:
    // hideExtras: the combined view and the catalogue boxes are not offered.
    CdiaConfigSuchIcd(bool hideExtras, const CString& arztgruppe, CWnd* parent);
    ~CdiaConfigSuchIcd() override;

    bool OnInitDialog() override;
    void OnSaveAndExit() override;  // writes and ends with 1
    void OnExit() override;         // ends with 0, writes nothing

    CXQLCheckX m_checkSystematisch, m_checkAlphabetisch, m_checkBeide, m_checkHK, m_checkFK;

  private:
    // The three start choices act as one choice.
    void OnStartChoice(CXQLCheckX& clicked);

    bool m_bHideExtras;
    CString m_strArztgruppe;
    CIcdSuchEinstellungen m_settings;
};
