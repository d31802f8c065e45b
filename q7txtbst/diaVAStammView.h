#pragma once
// "Verschlüsselungsanleitung Stammdatei": the ICD-10-GM coding manual of the
// newest current edition in the KBV folder, whole or the chapters that the
// catalogue names for one code.
#include <vector>

#include "host/dlg/XQDialog.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/VaRender.h"

class Q7TB_API CdiaVAStammView : public CXQDialog {
  public:
    // An empty code shows the whole manual.
    CdiaVAStammView(CString code, CWnd* parent);

    bool OnInitDialog() override;

    // The published file name pattern of a manual edition.
    static constexpr const char* kMuster = "VA_?.?_74_tf+????q?_nr+?.xml";

    // Finds the newest edition that is not in the future and reads it whole
    // (CR LF as LF, no conversion); false when there is none or it cannot
    // be read.
    bool ReadVA(const CString& pattern, CString& xml);
    // pattern in: the name pattern; out: folder + the chosen file's name, or
    // folder + pattern when none qualifies.
    void GetCurrentXml(const CString& folder, CString& pattern);
    static bool actoi(const CString& text, int& pos, unsigned& value);
    static int YearOfDatum(const CString& datum);
    static int MonthOfDatum(const CString& datum);
    static int QuartalOfDatum(const CString& datum);
    // Parses m_xml, sets the caption and fills the list.
    void displayXml();

    CXQListBoxX m_list;
    CString m_xml;
    CString m_code;
    std::vector<line> m_lines;
    std::vector<CString> m_kapitel;
};
