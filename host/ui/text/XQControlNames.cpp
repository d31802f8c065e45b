#include "host/ui/text/XQControlNames.h"

#include <cctype>
#include <optional>

#include "host/dlg/XQDialog.h"
#include "host/ui/text/XQScript.h"

using xqtext::Number;

namespace {

// A hint names its button by its start when the start ends at a word's end,
// so "F1" names "F1 - Hilfe" and not "F10 - ...".
bool HintStarts(const CString& hint, const CString& name) {
    if (name.IsEmpty() || hint.GetLength() < name.GetLength()) return false;
    if (hint.Left(name.GetLength()) != name) return false;
    if (hint.GetLength() == name.GetLength()) return true;
    const unsigned char next = static_cast<unsigned char>(hint[name.GetLength()]);
    const unsigned char last = static_cast<unsigned char>(name[name.GetLength() - 1]);
    auto word = [](unsigned char ch) { return std::isalnum(ch) || ch >= 0xC0; };
    return !word(next) || !word(last);
}

// Controls and toolbar buttons in the order of the dump.
std::vector<XQTarget> All(const CXQDialog& dialog) {
    std::vector<XQTarget> all;
    for (CWnd* control : dialog.Controls())
        if (xqtext::Dumped(control->Kind()))
            all.push_back({control, 0, control->IsWindowVisible(), control->IsWindowEnabled()});
    for (const CXQDialog::ToolbarButton& button : dialog.ToolbarButtons())
        all.push_back({nullptr, button.number, button.visible, button.enabled});
    return all;
}

// Visible fits first; only when none is visible, the hidden ones (so that
// acting on them reports them hidden).
std::vector<XQTarget> VisibleFirst(const std::vector<XQTarget>& fits) {
    std::vector<XQTarget> visible;
    for (const XQTarget& t : fits)
        if (t.visible) visible.push_back(t);
    return visible.empty() ? fits : visible;
}

std::vector<XQTarget> ByLabel(const CXQDialog& dialog, const CString& name) {
    std::vector<XQTarget> fits;
    for (const XQTarget& t : All(dialog)) {
        if (t.control) {
            if (xqtext::ShownLabel(t.control->GetLabel()) == name) fits.push_back(t);
        } else {
            for (const CXQDialog::ToolbarButton& button : dialog.ToolbarButtons())
                if (button.number == t.toolbar && HintStarts(button.hint, name)) fits.push_back(t);
        }
    }
    return VisibleFirst(fits);
}

std::vector<XQTarget> ByNumber(const CXQDialog& dialog, int number) {
    for (const XQTarget& t : All(dialog))
        if (t.toolbar == number) return {t};
    return {};
}

// LABEL#N: the N-th of the label's fits, from 1.
std::vector<XQTarget> ByIndex(const CXQDialog& dialog, const CString& label, int index) {
    std::vector<XQTarget> same = ByLabel(dialog, label);
    if (index >= 1 && index <= static_cast<int>(same.size()))
        return {same[static_cast<size_t>(index - 1)]};
    return {};
}

// The kind names of the controls that seldom carry a label.
std::vector<XQTarget> ByKind(const CXQDialog& dialog, const CString& name) {
    if (name != "grid" && name != "list" && name != "tree" && name != "memo" && name != "tab")
        return {};
    std::vector<XQTarget> fits;
    for (const XQTarget& t : All(dialog))
        if (t.control && name == xqtext::KindName(t.control->Kind())) fits.push_back(t);
    return VisibleFirst(fits);
}

// An input control wins over a caption of the same label.
std::vector<XQTarget> InputsBeforeCaptions(const std::vector<XQTarget>& fits) {
    auto caption = [](const XQTarget& t) {
        return t.control && t.control->Kind() == XQKind::Caption;
    };
    std::vector<XQTarget> kept;
    for (const XQTarget& t : fits)
        if (!caption(t)) kept.push_back(t);
    return kept.empty() || fits.size() < 2 ? fits : kept;
}

}  // namespace

namespace xqtext {

CString ShownLabel(const CString& label) {
    CString shown = XQStripMnemonic(label);
    shown.Trim();
    if (shown.GetLength() > 0 && shown[shown.GetLength() - 1] == ':')
        shown = shown.Left(shown.GetLength() - 1);
    shown.Trim();
    return shown;
}

bool Dumped(XQKind kind) {
    return kind != XQKind::Label && kind != XQKind::Frame;
}

const char* KindName(XQKind kind) {
    switch (kind) {
        case XQKind::Edit:
            return "edit";
        case XQKind::Combo:
            return "combo";
        case XQKind::Check:
            return "check";
        case XQKind::Memo:
            return "memo";
        case XQKind::List:
            return "list";
        case XQKind::Tab:
            return "tab";
        case XQKind::Caption:
            return "caption";
        case XQKind::Button:
            return "button";
        case XQKind::Grid:
            return "grid";
        case XQKind::Tree:
            return "tree";
        case XQKind::Label:
        case XQKind::Frame:
            break;
    }
    return "";
}

}  // namespace xqtext

std::vector<XQTarget> CXQControlNames::Resolve(const CXQDialog& dialog, const CString& name) {
    if (name.IsEmpty()) return {};
    if (name[0] == '#')
        if (std::optional<int> number = Number(name.Mid(1))) return ByNumber(dialog, *number);
    std::vector<XQTarget> fits = ByLabel(dialog, name);
    if (fits.empty()) {
        const int hash = name.ReverseFind('#');
        if (hash > 0)
            if (std::optional<int> index = Number(name.Mid(hash + 1)))
                return ByIndex(dialog, name.Left(hash), *index);
        fits = ByKind(dialog, name);
    }
    return InputsBeforeCaptions(fits);
}

XQTarget CXQControlNames::Usable(const CXQDialog& dialog, const CString& name) const {
    std::vector<XQTarget> fits = Resolve(dialog, name);
    if (fits.empty()) m_script.Misfit("kein Steuerelement \"" + name + "\"");
    if (fits.size() > 1) m_script.Misfit("\"" + name + "\" ist mehrdeutig");
    const XQTarget t = fits.front();
    if (!t.visible) m_script.Misfit("\"" + name + "\" ist ausgeblendet");
    if (!t.enabled) m_script.Misfit("\"" + name + "\" ist gesperrt");
    return t;
}

XQTarget CXQControlNames::NameAndArg(const CXQDialog& dialog, const CString& text, bool argRequired,
                                     CString& arg) const {
    if (!text.IsEmpty() && text[0] == '"') {
        const CString name = xqtext::Unquote(text, &arg);
        if (argRequired && arg.IsEmpty()) m_script.Misfit("Angabe fehlt");
        return Usable(dialog, name);
    }
    std::vector<int> cuts;  // ends of the candidate names, longest first
    if (!argRequired) cuts.push_back(text.GetLength());
    for (int i = text.GetLength() - 1; i > 0; --i)
        if ((text[i] == ' ' || text[i] == '\t') && text[i - 1] != ' ' && text[i - 1] != '\t')
            cuts.push_back(i);
    for (int cut : cuts) {
        CString name = text.Left(cut);
        name.TrimRight(" \t");
        if (Resolve(dialog, name).empty()) continue;
        arg = text.Mid(cut);
        arg.TrimLeft(" \t");
        return Usable(dialog, name);
    }
    if (argRequired && cuts.empty()) m_script.Misfit("Angabe fehlt");
    CString name, rest;
    xqtext::SplitWord(text, name, rest);
    m_script.Misfit("kein Steuerelement \"" + (argRequired ? name : text) + "\"");
}
