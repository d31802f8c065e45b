#pragma once
// The practice desktop: the host's main window. A treatment entry memo and a
// single-line field in which a Kürzel followed by F3 is expanded by the
// module, and an entry for each service the module offers.
#include "host/db/Records.h"
#include "host/dlg/XQDialog.h"

class ModuleLibrary;

class CPraxisDesktop : public CXQDialog {
  public:
    // The module must stay open while the desktop lives.
    explicit CPraxisDesktop(const ModuleLibrary& module);

    bool OnInitDialog() override;
    void OnToolbarButton(int number) override;
    // Escape and closing the window: asks first when the treatment entry
    // holds text written or expanded since the desktop opened.
    void OnExit() override;

  private:
    void ExpandInMemo();
    void ExpandInField();
    void ExpandInLastField();
    void SearchTextBlock();
    void EditTextBlocks();
    void SearchDiagnosis();
    void TransferFreeText();
    void SearchProcedure();
    void ShowCodingRules();
    void ShowCodingManual();
    void ImportIcdCatalogue();
    CString StatusText() const;

    const ModuleLibrary& m_module;
    CQTbEntry m_lines;
    CXQLMemoX m_memo;
    CXQLEditX m_field;
    CXQButtonX m_expand;
    CXQButtonX m_search;
    CXQButtonX m_editor;
    CXQButtonX m_icd;
    CXQButtonX m_kzbv;
    CXQButtonX m_ops;
    CXQLEditX m_opsDate;  // treatment date of the procedure search, dd.mm.yyyy
    CXQLCheckX m_noSide;
    CXQLabelX m_chosen;
    CXQLabelX m_status;
    CString m_patient;            // number of the patient the desktop works for
    bool m_fieldWasLast = false;  // which text control F3 on the button acts on
};

// Registers the host's own dialog templates (the desktop's) once.
void RegisterHostDialogs();
