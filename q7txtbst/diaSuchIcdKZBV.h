#pragma once
// "Suchdialog Überleitungen Diagnosefreitext – ICD 10": the dental free-text
// diagnoses as a tree of groups and entries; the user picks a first and an
// optional second ICD code, each with certainty and side. After an accepted
// run the six m_str results hold the codes (stored form), their
// certainty-and-side strings and their texts.
#include "host/dlg/XQDialog.h"
#include "q7txtbst/IcdUeberleitung.h"
#include "q7txtbst/Q7TbExport.h"

class Q7TB_API CdiaSuchIcdKZBV : public CXQDialog {
  public:
    CdiaSuchIcdKZBV(int codeOnly, CWnd* parent);
    ~CdiaSuchIcdKZBV() override;

    // The transition file below the read-only data folder.
    static CString FilePath();

    CString m_strCode1, m_strZusatz1, m_strText1;
    CString m_strCode2, m_strZusatz2, m_strText2;

    bool OnInitDialog() override;
    void OnSaveAndExit() override;

    // One set of certainty (G, V, Z, A) and side (R, L, B) boxes.
    struct Zusatz {
        CXQLCheckX g, v, z, a, r, l, b;
        CWnd frame{XQKind::Frame};
    };

    CXQTreeX m_tree;
    CXQLabelX m_header1, m_header2;
    CXQListBoxX m_list1, m_list2;
    Zusatz m_zusatz1, m_zusatz2;

  private:
    void FillTree();
    void OnSelChangedTree();
    CString OnInfoTip(HTREEITEM item) const;
    static void FillList(CXQListBoxX& list, const SIcdCodeList& codes);
    // Code, certainty-and-side and text of the selected row of list k;
    // false (with the message shown) when a certainty is missing.
    bool Compose(CXQListBoxX& list, const Zusatz& zusatz, CString& code, CString& zusatzText,
                 CString& text);

    int m_codeOnly;
    SIcdGruppen m_gruppen;
};
