#include "host/ui/text/XQTextActions.h"

#include <map>
#include <optional>

#include "host/base/Escape.h"
#include "host/base/HostContext.h"
#include "host/dlg/XQDialog.h"
#include "host/ui/text/XQControlNames.h"
#include "host/ui/text/XQScript.h"
#include "host/ui/text/XQTextDump.h"

using xqtext::Lower;
using xqtext::Number;
using xqtext::SplitLastWord;
using xqtext::SplitWord;
using xqtext::Unquote;

namespace {

// Actions on controls first put the focus on them, as a click does.
void Focus(CXQDialog& dialog, CWnd* control) {
    if (control && dialog.GetFocus() != control) dialog.SetFocusTo(control);
}

// Controls that Tab visits.
bool TakesFocus(const CWnd& control) {
    return xqtext::Dumped(control.Kind()) && control.Kind() != XQKind::Caption &&
           control.IsWindowEnabled() && control.IsWindowVisible();
}

// Tab leaves the field: the next control that takes the focus, in tab
// order and round, gets it.
void TabOn(CXQDialog& dialog, CWnd* from) {
    const std::vector<CWnd*>& order = dialog.Controls();
    const int count = static_cast<int>(order.size());
    int at = -1;
    for (int i = 0; i < count; ++i)
        if (order[static_cast<size_t>(i)] == from) at = i;
    for (int step = 1; step <= count; ++step) {
        CWnd* next = order[static_cast<size_t>(((at + step) % count + count) % count)];
        if (TakesFocus(*next)) {
            dialog.SetFocusTo(next);
            return;
        }
    }
}

// Key names without regard to case; "Ctrl+X" for a control key.
std::optional<XQKeyEvent> ParseKey(const CString& name) {
    static const std::map<CString, XQKey> keys = {{"return", XQKey::Return},
                                                  {"enter", XQKey::Return},
                                                  {"escape", XQKey::Escape},
                                                  {"esc", XQKey::Escape},
                                                  {"backspace", XQKey::Backspace},
                                                  {"tab", XQKey::Tab},
                                                  {"left", XQKey::Left},
                                                  {"right", XQKey::Right},
                                                  {"up", XQKey::Up},
                                                  {"down", XQKey::Down},
                                                  {"pageup", XQKey::PageUp},
                                                  {"pagedown", XQKey::PageDown},
                                                  {"delete", XQKey::Delete},
                                                  {"f1", XQKey::F1},
                                                  {"f2", XQKey::F2},
                                                  {"f3", XQKey::F3},
                                                  {"f4", XQKey::F4},
                                                  {"f5", XQKey::F5},
                                                  {"f6", XQKey::F6},
                                                  {"f7", XQKey::F7},
                                                  {"f8", XQKey::F8},
                                                  {"f9", XQKey::F9},
                                                  {"f10", XQKey::F10},
                                                  {"f11", XQKey::F11},
                                                  {"f12", XQKey::F12}};
    const CString lower = Lower(name);
    XQKeyEvent event;
    if (lower.GetLength() == 6 && lower.Left(5) == "ctrl+") {
        const char letter = name[5];
        if (letter >= 'a' && letter <= 'z') event.ctrlLetter = static_cast<char>(letter - 32);
        if (letter >= 'A' && letter <= 'Z') event.ctrlLetter = letter;
        if (!event.ctrlLetter) return std::nullopt;
        event.key = XQKey::Ctrl;
        return event;
    }
    auto it = keys.find(lower);
    if (it == keys.end()) return std::nullopt;
    event.key = it->second;
    return event;
}

int LineCount(CWnd* control) {
    if (auto* grid = dynamic_cast<CXQGridX*>(control)) return grid->GetLineCount();
    if (auto* list = dynamic_cast<CXQListBoxX*>(control)) return list->GetCount();
    if (auto* tree = dynamic_cast<CXQTreeX*>(control))
        return static_cast<int>(tree->Items(true).size());
    return -1;
}

int TreeLine(const CXQTreeX& tree) {
    const auto items = tree.Items(true);
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].first == tree.GetSelectedItem()) return static_cast<int>(i);
    return -1;
}

// The current line of a list, tree or grid; -1 for none.
int CurrentLine(CWnd* control) {
    if (auto* list = dynamic_cast<CXQListBoxX*>(control)) return list->GetCurSel();
    if (auto* tree = dynamic_cast<CXQTreeX*>(control)) return TreeLine(*tree);
    if (auto* grid = dynamic_cast<CXQGridX*>(control)) return grid->GetCurLine();
    return -1;
}

}  // namespace

int CXQTextActions::LineArg(const CString& text) {
    std::optional<int> n = Number(text);
    if (!n) m_script.Misfit("\"" + text + "\" ist keine Zeilennummer");
    return *n;
}

bool CXQTextActions::OnOff(const CString& text) {
    const CString word = Lower(text);
    if (word == "on") return true;
    if (word == "off") return false;
    m_script.Misfit("on oder off erwartet");
}

void CXQTextActions::Key(CXQDialog& dialog, const CString& rest) {
    CString keyName, name;
    SplitWord(rest, keyName, name);
    name.TrimRight(" \t");
    std::optional<XQKeyEvent> key = ParseKey(keyName);
    if (!key) m_script.Misfit("unbekannte Taste \"" + keyName + "\"");
    CWnd* control = dialog.GetFocus();
    if (!name.IsEmpty()) {
        const XQTarget t = m_names.Usable(dialog, Unquote(name, nullptr));
        if (!t.control)
            m_script.Misfit("eine Taste geht an ein Steuerelement, nicht an die Symbolleiste");
        control = t.control;
        Focus(dialog, control);
        if (dialog.IsEnded()) return;
    }
    if (key->key == XQKey::Tab) {
        if (control && control->onKeyDown && control->onKeyDown(*key)) return;
        TabOn(dialog, control);
        return;
    }
    dialog.PressKey(*key, control);
}

void CXQTextActions::Type(CXQDialog& dialog, const CString& rest) {
    CString text;
    const XQTarget t = m_names.NameAndArg(dialog, rest, false, text);
    // "\n" and the other escapes of the dump give line breaks; a text that
    // is no valid escaped text is typed as it stands.
    std::string raw;
    const CString typed = XQUnescapeField(text.str(), raw) ? CString(raw) : text;
    auto* edit = dynamic_cast<CXQLEditX*>(t.control);
    auto* memo = dynamic_cast<CXQLMemoX*>(t.control);
    if (!edit && !memo) m_script.Misfit("in dieses Steuerelement kann man nicht schreiben");
    if ((edit && edit->IsReadOnly()) || (memo && memo->IsReadOnly()))
        m_script.Misfit("das Feld ist schreibgesch\xFCtzt");
    Focus(dialog, t.control);
    if (dialog.IsEnded()) return;
    if (edit) edit->UserType(typed);
    if (memo) memo->UserType(typed);
}

void CXQTextActions::Select(CXQDialog& dialog, const CString& rest) {
    CString arg;
    const XQTarget t = m_names.NameAndArg(dialog, rest, true, arg);
    auto* combo = dynamic_cast<CXQLComboX*>(t.control);
    auto* tab = dynamic_cast<CXQTabX*>(t.control);
    if (!combo && !tab) m_script.Misfit("hier kann man nichts ausw\xE4hlen");
    const int count = combo ? combo->GetCount() : tab->GetCount();
    auto text = [&](int i) { return combo ? combo->GetLBText(i) : tab->GetTabText(i); };
    int index = -1;
    if (std::optional<int> n = Number(arg)) {
        if (*n >= count) m_script.Misfit("keinen Eintrag Nummer " + arg);
        index = *n;
    } else {
        for (int i = 0; i < count && index < 0; ++i)
            if (text(i) == arg) index = i;
        for (int i = 0; i < count && index < 0; ++i)
            if (text(i).Left(arg.GetLength()) == arg) index = i;
        if (index < 0) m_script.Misfit("kein Eintrag beginnt mit \"" + arg + "\"");
    }
    if (combo) {
        Focus(dialog, combo);
        if (dialog.IsEnded()) return;
        combo->UserSelect(index);
    } else {
        tab->UserSelect(index);
    }
}

void CXQTextActions::Check(CXQDialog& dialog, const CString& rest) {
    CString head, state;
    SplitLastWord(rest, head, state);
    const bool on = OnOff(state);
    const XQTarget t = m_names.Usable(dialog, Unquote(head, nullptr));
    auto* check = dynamic_cast<CXQLCheckX*>(t.control);
    if (!check) m_script.Misfit("kein Ankreuzfeld");
    Focus(dialog, check);
    if (dialog.IsEnded()) return;
    if (check->GetCheck() != on) check->UserClick();
}

XQTarget CXQTextActions::LineTarget(CXQDialog& dialog, const CString& rest, int& line) {
    // The whole text as a name first: a name may end in a number.
    CString name = rest, head, number;
    name.TrimRight(" \t");
    SplitLastWord(rest, head, number);
    if (m_names.Resolve(dialog, Unquote(name, nullptr)).empty() && !head.IsEmpty() &&
        Number(number)) {
        name = head;
        line = *Number(number);
    }
    return m_names.Usable(dialog, Unquote(name, nullptr));
}

void CXQTextActions::Click(CXQDialog& dialog, const CString& rest) {
    // "click NAME", or "click LIST N" for a line of a list.
    int line = -1;
    const XQTarget t = LineTarget(dialog, rest, line);
    if (auto* list = dynamic_cast<CXQListBoxX*>(t.control)) {
        if (FocusLine(dialog, list, line)) list->UserClick(line);
        return;
    }
    if (line >= 0) m_script.Misfit("keine Liste");
    if (t.toolbar) return dialog.ClickToolbarButton(t.toolbar);
    auto* button = dynamic_cast<CXQButtonX*>(t.control);
    auto* check = dynamic_cast<CXQLCheckX*>(t.control);
    if (!button && !check)
        m_script.Misfit(
            "keine Schaltfl\xE4"
            "che");
    Focus(dialog, t.control);
    if (dialog.IsEnded()) return;
    if (button) button->UserClick();
    if (check) check->UserClick();
}

void CXQTextActions::FocusAction(CXQDialog& dialog, const CString& rest) {
    const XQTarget t = m_names.Usable(dialog, Unquote(rest, nullptr));
    if (!t.control) m_script.Misfit("die Symbolleiste nimmt keinen Fokus");
    Focus(dialog, t.control);
}

bool CXQTextActions::FocusLine(CXQDialog& dialog, CWnd* control, int& line) {
    const int count = LineCount(control);
    if (count < 0) m_script.Misfit("keine Liste");
    if (line >= count) m_script.Misfit(FormatString("die Liste hat %d Zeilen", count));
    if (line < 0) line = CurrentLine(control);
    if (line < 0) m_script.Misfit("keine Zeile ausgew\xE4hlt");
    Focus(dialog, control);
    return !dialog.IsEnded();
}

void CXQTextActions::Line(CXQDialog& dialog, const CString& rest) {
    CString head, number;
    SplitLastWord(rest, head, number);
    int line = LineArg(number);
    const XQTarget t = m_names.Usable(dialog, Unquote(head, nullptr));
    if (!FocusLine(dialog, t.control, line)) return;
    if (auto* grid = dynamic_cast<CXQGridX*>(t.control)) grid->UserSelectLine(line);
    if (auto* list = dynamic_cast<CXQListBoxX*>(t.control)) list->UserSelect(line);
    if (auto* tree = dynamic_cast<CXQTreeX*>(t.control)) tree->UserSelectLine(line);
}

void CXQTextActions::DblClick(CXQDialog& dialog, const CString& rest) {
    // "dblclick NAME" or "dblclick NAME N".
    int line = -1;
    const XQTarget t = LineTarget(dialog, rest, line);
    if (!FocusLine(dialog, t.control, line)) return;
    if (auto* grid = dynamic_cast<CXQGridX*>(t.control)) grid->UserDblClick(line);
    if (auto* list = dynamic_cast<CXQListBoxX*>(t.control)) list->UserDblClick(line);
    if (auto* tree = dynamic_cast<CXQTreeX*>(t.control)) tree->UserDblClick(line);
}

void CXQTextActions::Tick(CXQDialog& dialog, const CString& rest) {
    CString head, state, name, number;
    SplitLastWord(rest, head, state);
    const bool on = OnOff(state);
    SplitLastWord(head, name, number);
    const int line = LineArg(number);
    const XQTarget t = m_names.Usable(dialog, Unquote(name, nullptr));
    auto* list = dynamic_cast<CXQListBoxX*>(t.control);
    if (!list || !list->IsCheckable()) m_script.Misfit("keine Liste zum Ankreuzen");
    if (line >= list->GetCount())
        m_script.Misfit(FormatString("die Liste hat %d Zeilen", list->GetCount()));
    Focus(dialog, list);
    if (dialog.IsEnded()) return;
    if (list->GetCheck(line) != on) list->UserTick(line, on);
}

void CXQTextActions::Wait(CXQDialog& dialog, const CString& rest) {
    CString ms = rest;
    ms.TrimRight(" \t");
    std::optional<int> n = Number(ms);
    if (!n) m_script.Misfit("Millisekunden erwartet");
    Q7AdvanceHostMillis(*n);
    dialog.FireDueTimers(Q7HostMillis());
}

void CXQTextActions::Apply(CXQDialog& dialog) {
    CString verb, rest;
    SplitWord(m_script.Current(), verb, rest);
    if (verb == "type") return Type(dialog, rest);
    CString trimmed = rest;
    trimmed.TrimRight(" \t");
    if (verb == "select") return Select(dialog, trimmed);
    if (verb == "check") return Check(dialog, trimmed);
    if (verb == "click") return Click(dialog, trimmed);
    if (verb == "key") return Key(dialog, trimmed);
    if (verb == "focus") return FocusAction(dialog, trimmed);
    if (verb == "line") return Line(dialog, trimmed);
    if (verb == "dblclick") return DblClick(dialog, trimmed);
    if (verb == "tick") return Tick(dialog, trimmed);
    if (verb == "speech") return dialog.SprachkommandoVerarbeiten(rest.GetString(), 0);
    if (verb == "wait") return Wait(dialog, trimmed);
    if (verb == "dump") return m_dump.Dialog(dialog);
    if (verb == "answer") m_script.Misfit("keine Meldung ist offen");
    m_script.Misfit("unbekannte Aktion \"" + verb + "\"");
}
