#pragma once
// "Kodierregelwerk-Stammdatei": every rule of the newest coding rule edition,
// one line each, filtered by reference, application, status, real-time check
// and a word of the short description. A click opens the rule's details;
// the view also lists the changes against the edition before, switches a
// rule off for one patient in the current quarter (Ctrl+P) and opens the
// list of those switches (Ctrl+R).
#include <vector>

#include "host/dlg/XQDialog.h"
#include "q7txtbst/Krw.h"
#include "q7txtbst/Q7TbExport.h"

// Toolbar buttons of the view besides exit, help and search.
enum : int {
    KRW_TB_PATIENT = 10127,      // "Strg + p  -  Patientenstammdaten"
    KRW_TB_AENDERUNGEN = 10130,  // "Änderungen im Kodierregelwerk"
    KRW_TB_INAKTIV = 10131,      // "Inaktivierte patientenbezogene Kodierregeln"
};

class Q7TB_API CdiaKRWStammView : public CXQDialog, public CKrw {
  public:
    // text is not used; the ICD search passes template 1531, "" and no parent.
    CdiaKRWStammView(int templateNumber, CString text, CWnd* parent);
    ~CdiaKRWStammView() override;

    bool OnInitDialog() override;
    void OnSearch() override;
    void OnCTRL_P() override;
    void OnCTRL_R() override;
    void OnToolbarButton(int number) override;

    bool filterMatch(const CMemKrw21& regel, int bezug, int anwendung, int status, int echtzeit,
                     const CString& text) const;
    void ShowRegeln();
    void ShowHistorie();
    void OnListClicked();
    void ShowDisabledPatients() { OnCTRL_R(); }

    // The rendering of the rules the maps point to now.
    CString memKrw21ToString(const CMemKrw21& regel) const;
    CString ZeigeKRWByKey(const CString& id) const;
    std::vector<krline> renderLines() const;

    CXQListBoxX m_list;
    CXQLEditX m_editKurzBeschreibung;
    CXQLComboX m_comboBezug, m_comboAnwendung, m_comboStatus, m_comboEchtzeit;
    std::vector<CString> angezeigteRegeln;  // line n shows rule angezeigteRegeln[n]
    KrwRegelMap m_regeln;
    KrwDetailMap m_details;

  protected:
    // Empties the owned maps and reads the newest edition into them; true
    // when it was read to its end.
    bool LoadRegeln();
    // Whether the last read reached the edition's end. The list shows none
    // of a damaged edition's rules, though the maps keep what was read.
    bool m_bGelesen = false;
};
