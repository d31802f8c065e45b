#pragma once
// "Kodierregelwerk-Inaktivierte Kodierregeln": the rules switched off for one
// patient and quarter, with the patient's name and birth date; ticked lines
// are switched on again by deleting their free-text records.
#include <vector>

#include "host/db/Records.h"
#include "host/dlg/XQDialog.h"
#include "q7txtbst/Q7TbExport.h"

class Q7TB_API CdiaKRWRegelView : public CXQDialog {
  public:
    // The dialog runs without a parent window whatever parent is given.
    explicit CdiaKRWRegelView(CWnd* parent);

    bool OnInitDialog() override;
    void OnExit() override;
    void OnSaveAndExit() override;

    // The column header above the lines.
    static constexpr const char* kKopf =
        "       PatNr  Name, Vorname                            *Geb.        Jahr  Q   RegelId   ";

    struct Eintrag {
        bool angehakt = false;
        CString patNr;    // as stored
        CString quartal;  // "264"
        CString regelId;
        CString lfdNr;
    };

    CXQListBoxX m_list;
    CQFreiText m_FreiText;  // read-write database
    CQPat m_Pat;            // read-only database
    std::vector<Eintrag> m_Eintraege;
};
