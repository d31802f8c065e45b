#pragma once
// "Einstellungen" of the diagnosis search (F6): where the search starts and
// which catalogue filters are on, kept per physician in the parameter table.
#include "host/dlg/XQDialog.h"
#include "q7txtbst/Q7TbExport.h"

// The settings record of the current physician (dbMdId): eight characters,
// filled with blanks ("" when there is none or it cannot be read). exists
// tells whether the record was there.
//   0 "1": start in the alphabetic index    1 "1": Hausarzt catalogue
//   2 "1": Facharzt catalogue                3-6 physician group code
//   7 "1": start in the combined view
CString ReadIcdSuchSettings(bool* exists = nullptr);
// Writes the record new (exists false) or over the old one; false when the
// database refused.
bool WriteIcdSuchSettings(const CString& value, bool exists);

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
    bool m_bExists = false;
};
