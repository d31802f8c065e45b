#pragma once
// Inside the text front end only: how a script line names what it acts on.
// A control by its label as shown (LABEL#N for the N-th of that label), a
// kind name, a toolbar button by #NUMBER or by the start of its hint.
#include <vector>

#include "host/base/CString.h"
#include "host/dlg/XQControls.h"

class CXQDialog;
class CXQScript;

// What a script line names: a control of the dialog or a toolbar button.
struct XQTarget {
    CWnd* control = nullptr;
    int toolbar = 0;
    bool visible = true;
    bool enabled = true;
};

namespace xqtext {

// Label as the user sees it: mnemonic marks gone ("&&" is a plain "&"), no
// trailing colon, no surrounding blanks.
CString ShownLabel(const CString& label);
// Labels and frames are neither named nor dumped.
bool Dumped(XQKind kind);
// The kind's name in the dump ("edit", "grid", ...); "" for the undumped.
const char* KindName(XQKind kind);

}  // namespace xqtext

class CXQControlNames {
  public:
    // Misfits are reported to script.
    explicit CXQControlNames(CXQScript& script) : m_script(script) {}

    // Every target the name fits (after the preferences); empty for none.
    static std::vector<XQTarget> Resolve(const CXQDialog& dialog, const CString& name);
    // The one visible, enabled target that name names; misfit otherwise.
    XQTarget Usable(const CXQDialog& dialog, const CString& name) const;
    // Splits "CONTROL ARG" where the control's name may hold blanks: a quoted
    // name runs to its closing quote, otherwise the longest run of leading
    // words that names something is the name. argRequired: at least one word
    // must stay for the argument.
    XQTarget NameAndArg(const CXQDialog& dialog, const CString& text, bool argRequired,
                        CString& arg) const;

  private:
    CXQScript& m_script;
};
