#pragma once
// The host's patient selection and its list search, for dialogs of every
// module.
#include <memory>

#include "host/db/Records.h"
#include "host/dlg/XQDialog.h"

// "Patientenauswahl": an edit "Suche" (a patient number or the start of a
// name, case-blind; the list follows each change) and a grid Nr | Name |
// Vorname | Geb. of the matching patients in number order, the first line
// current. Accept (Return, a double click) chooses the current line and ends
// with 1; exit ends with 2.
class Q7HOST_API CdiaPatWahl : public CXQDialog {
  public:
    explicit CdiaPatWahl(CWnd* parent, int function = 0);
    ~CdiaPatWahl() override;

    // After accept: the chosen patient's fields (Nummer as stored).
    CQPat m_Pat;
    const CString& GetPatNr() const { return m_Pat.Nummer; }

  protected:
    bool OnInitDialog() override;
    void OnSaveAndExit() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Asks "Suchen" in a parameter box and makes current the next line after the
// current one (from the first line when none is current) whose text holds
// the answer, case-blind; none: the host's beep. The list's selection event
// fires as for a user's move.
Q7HOST_API void SearchInLListbox(CXQListBoxX& list, CXQDialog& dialog);
