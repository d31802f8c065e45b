#pragma once
// Inside the text front end only: the actions of script lines on a dialog
// (type, select, check, click, key, focus, line, dblclick, tick, speech,
// wait, dump), as the user would do them.
#include "host/base/CString.h"

class CXQControlNames;
struct XQTarget;
class CWnd;
class CXQDialog;
class CXQScript;
class CXQTextDump;

class CXQTextActions {
  public:
    // None is owned.
    CXQTextActions(CXQScript& script, const CXQControlNames& names, CXQTextDump& dump)
        : m_script(script), m_names(names), m_dump(dump) {}

    // Runs the script's current line on the dialog; a misfit when it does
    // not fit.
    void Apply(CXQDialog& dialog);

  private:
    void Type(CXQDialog& dialog, const CString& rest);
    void Select(CXQDialog& dialog, const CString& rest);
    void Check(CXQDialog& dialog, const CString& rest);
    void Click(CXQDialog& dialog, const CString& rest);
    void Key(CXQDialog& dialog, const CString& rest);
    void FocusAction(CXQDialog& dialog, const CString& rest);
    // Checks that control is a list, tree or grid with line (its current line
    // when line is -1) and focuses it; false when that ended the dialog.
    bool FocusLine(CXQDialog& dialog, CWnd* control, int& line);
    // The control named by rest, and line N when rest ends in one that the
    // name alone does not take (line keeps its value otherwise).
    XQTarget LineTarget(CXQDialog& dialog, const CString& rest, int& line);
    void Line(CXQDialog& dialog, const CString& rest);
    void DblClick(CXQDialog& dialog, const CString& rest);
    void Tick(CXQDialog& dialog, const CString& rest);
    void Wait(CXQDialog& dialog, const CString& rest);

    int LineArg(const CString& text);
    bool OnOff(const CString& text);

    CXQScript& m_script;
    const CXQControlNames& m_names;
    CXQTextDump& m_dump;
};
