#pragma once
// "Kodierregelwerk-Regeldetails": one coding rule in full; the practice
// switches it off or on and chooses when it is checked. The choice is stored
// in the parameter table, where the reader lays it over the rule.
#include "q7txtbst/diaKRWStammView.h"

class Q7TB_API CdiaKRWRegelDetails : public CdiaKRWStammView {
  public:
    CdiaKRWRegelDetails(CString regelId, CWnd* parent);

    bool OnInitDialog() override;
    void OnSaveAndExit() override;

    void ShowRegel();
    void AktivChanged();
    void InaktivChanged();
    void KodierungChanged();
    void WahlChanged();
    void AbrChanged();

    CXQListBoxX m_listRegel;
    CXQLabelBevelX m_labelKurz;
    CXQLCheckX m_checkAktiv, m_checkInaktiv, m_checkKodierung, m_checkWahl, m_checkAbr;
    bool m_busy = false;
    CString m_regelId;
};
