#include "host/ui/text/XQTextFrontEnd.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>

#include "host/base/Cp1252.h"
#include "host/base/Escape.h"
#include "host/base/HostContext.h"
#include "host/dlg/XQDialog.h"

namespace {

// What a script line names: a control of the dialog or a toolbar button.
struct Target {
    CWnd* control = nullptr;
    int toolbar = 0;
    bool visible = true;
    bool enabled = true;
};

// Everything printed is escaped so that one item stays one line, then UTF-8.
std::string Out(const CString& text) {
    return Cp1252ToUtf8(XQEscapeField(text.str()));
}

// Label as the user sees it: mnemonic marks gone ("&&" is a plain "&"), no
// trailing colon, no surrounding blanks.
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

// Controls that Tab visits.
bool TakesFocus(const CWnd& control) {
    return Dumped(control.Kind()) && control.Kind() != XQKind::Caption &&
           control.IsWindowEnabled() && control.IsWindowVisible();
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

// A whole number of decimal digits; nothing else.
std::optional<int> Number(const CString& text) {
    if (text.IsEmpty() || text.GetLength() > 9) return std::nullopt;
    int value = 0;
    for (int i = 0; i < text.GetLength(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

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

CString Lower(CString text) {
    text.MakeLower();
    return text;
}

// First word and the rest (leading blanks of the rest dropped).
void SplitWord(const CString& text, CString& word, CString& rest) {
    int end = 0;
    while (end < text.GetLength() && text[end] != ' ' && text[end] != '\t') ++end;
    word = text.Left(end);
    rest = text.Mid(end);
    rest.TrimLeft(" \t");
}

// Last word and what comes before it (trailing blanks dropped).
void SplitLastWord(const CString& text, CString& head, CString& last) {
    CString trimmed = text;
    trimmed.TrimRight(" \t");
    int start = trimmed.GetLength();
    while (start > 0 && trimmed[start - 1] != ' ' && trimmed[start - 1] != '\t') --start;
    last = trimmed.Mid(start);
    head = trimmed.Left(start);
    head.TrimRight(" \t");
}

}  // namespace

struct CXQTextFrontEnd::Impl {
    CXQTextFrontEnd* self = nullptr;
    std::istream* script = nullptr;
    std::ostream* out = nullptr;
    std::function<void(const std::string&)> misfit;
    // A person types the script: a misfit is reported and the line skipped.
    bool interactive = false;
    struct Retry {
        std::string reason;
    };
    // One line read ahead, so that the end of the script is known before the
    // next action is asked for.
    bool havePending = false;
    bool ended = false;
    CString pending;
    int pendingNumber = 0;
    int lineNumber = 0;
    // The action line in work, for the messages.
    CString current;
    int currentNumber = 0;

    void Print(const std::string& line) {
        *out << line << '\n';
        out->flush();
    }

    // Runs a box's exchange until its answer fits. Only interactive misfits
    // are caught, and always inside the box, so none crosses dialog code.
    template <class Exchange>
    auto Retrying(Exchange exchange) {
        for (;;) {
            try {
                return exchange();
            } catch (const Retry& retry) {
                Report(retry.reason);
            }
        }
    }
    void Report(const std::string& reason) { std::cerr << "Passt nicht: " << reason << std::endl; }

    [[noreturn]] void Misfit(const CString& what) {
        CString reason;
        if (currentNumber > 0) reason.Format("Zeile %d (%s): ", currentNumber, current.GetString());
        reason += what;
        const std::string utf8 = Cp1252ToUtf8(reason.str());
        out->flush();
        if (interactive) throw Retry{utf8};
        if (misfit) misfit(utf8);
        // Only the default gets here (a handler must not return).
        std::cerr << "Skript passt nicht zum Dialog: " << utf8 << std::endl;
        std::exit(3);
    }

    bool Peek() {
        if (havePending) return true;
        if (ended || !script) {
            ended = true;
            return false;
        }
        std::string raw;
        while (std::getline(*script, raw)) {
            ++lineNumber;
            if (!raw.empty() && raw.back() == '\r') raw.pop_back();
            CString line = Utf8ToCp1252(raw);
            line.TrimLeft(" \t");
            CString probe = line;
            probe.TrimRight(" \t");
            if (probe.IsEmpty() || probe[0] == '#') continue;
            pending = line;
            pendingNumber = lineNumber;
            havePending = true;
            return true;
        }
        ended = true;
        return false;
    }

    // The next action line; false at the end of the script.
    bool Next() {
        if (!Peek()) return false;
        havePending = false;
        current = pending;
        currentNumber = pendingNumber;
        return true;
    }

    // The argument of the answer line that must come next while a box is
    // open; nullopt when the script has ended (the box is closed instead).
    std::optional<CString> Answer(const char* box) {
        if (!Next()) return std::nullopt;
        CString verb, rest;
        SplitWord(current, verb, rest);
        if (verb != "answer") Misfit(CString(box) + " ist offen, aber die Zeile ist keine Antwort");
        CString arg = rest;
        arg.TrimRight(" \t");
        return arg;
    }

    // ---------------------------------------------------------------- naming

    // Controls and toolbar buttons in the order of the dump.
    static std::vector<Target> All(const CXQDialog& dialog) {
        std::vector<Target> all;
        for (CWnd* control : dialog.Controls())
            if (Dumped(control->Kind()))
                all.push_back({control, 0, control->IsWindowVisible(), control->IsWindowEnabled()});
        for (const CXQDialog::ToolbarButton& button : dialog.ToolbarButtons())
            all.push_back({nullptr, button.number, button.visible, button.enabled});
        return all;
    }

    // Visible fits first; only when none is visible, the hidden ones (so that
    // acting on them reports them hidden).
    static std::vector<Target> VisibleFirst(const std::vector<Target>& fits) {
        std::vector<Target> visible;
        for (const Target& t : fits)
            if (t.visible) visible.push_back(t);
        return visible.empty() ? fits : visible;
    }

    static std::vector<Target> ByLabel(const CXQDialog& dialog, const CString& name) {
        std::vector<Target> fits;
        for (const Target& t : All(dialog)) {
            if (t.control) {
                if (ShownLabel(t.control->GetLabel()) == name) fits.push_back(t);
            } else {
                for (const CXQDialog::ToolbarButton& button : dialog.ToolbarButtons())
                    if (button.number == t.toolbar && HintStarts(button.hint, name))
                        fits.push_back(t);
            }
        }
        return VisibleFirst(fits);
    }

    // Every target the name fits (after the preferences); empty for none.
    static std::vector<Target> Resolve(const CXQDialog& dialog, const CString& name) {
        if (name.IsEmpty()) return {};
        if (name[0] == '#') {
            if (std::optional<int> number = Number(name.Mid(1))) {
                for (const Target& t : All(dialog))
                    if (t.toolbar == *number) return {t};
                return {};
            }
        }
        std::vector<Target> fits = ByLabel(dialog, name);
        if (fits.empty()) {
            const int hash = name.ReverseFind('#');
            if (hash > 0)
                if (std::optional<int> index = Number(name.Mid(hash + 1))) {
                    std::vector<Target> same = ByLabel(dialog, name.Left(hash));
                    if (*index >= 1 && *index <= static_cast<int>(same.size()))
                        return {same[static_cast<size_t>(*index - 1)]};
                    return {};
                }
        }
        if (fits.empty()) {
            for (const Target& t : All(dialog))
                if (t.control && name == KindName(t.control->Kind()) &&
                    (name == "grid" || name == "list" || name == "tree" || name == "memo" ||
                     name == "tab"))
                    fits.push_back(t);
            fits = VisibleFirst(fits);
        }
        // An input control wins over a caption of the same label.
        bool other = false;
        for (const Target& t : fits)
            if (!t.control || t.control->Kind() != XQKind::Caption) other = true;
        if (other && fits.size() > 1) {
            std::vector<Target> kept;
            for (const Target& t : fits)
                if (!t.control || t.control->Kind() != XQKind::Caption) kept.push_back(t);
            fits = kept;
        }
        return fits;
    }

    static CString Unquote(const CString& text, CString* rest) {
        if (text.GetLength() >= 2 && text[0] == '"') {
            const int close = text.Find('"', 1);
            if (close > 0) {
                if (rest) {
                    *rest = text.Mid(close + 1);
                    rest->TrimLeft(" \t");
                }
                return text.Mid(1, close - 1);
            }
        }
        if (rest) rest->Empty();
        return text;
    }

    // The one usable target that name names; misfit otherwise.
    Target Usable(const CXQDialog& dialog, const CString& name) {
        std::vector<Target> fits = Resolve(dialog, name);
        if (fits.empty()) Misfit("kein Steuerelement \"" + name + "\"");
        if (fits.size() > 1) Misfit("\"" + name + "\" ist mehrdeutig");
        const Target t = fits.front();
        if (!t.visible) Misfit("\"" + name + "\" ist ausgeblendet");
        if (!t.enabled) Misfit("\"" + name + "\" ist gesperrt");
        return t;
    }

    // Splits "CONTROL ARG" where the control's name may hold blanks: a quoted
    // name runs to its closing quote, otherwise the longest run of leading
    // words that names something is the name. argRequired: at least one word
    // must stay for the argument.
    Target NameAndArg(const CXQDialog& dialog, const CString& text, bool argRequired,
                      CString& arg) {
        if (!text.IsEmpty() && text[0] == '"') {
            CString rest;
            const CString name = Unquote(text, &rest);
            arg = rest;
            if (argRequired && arg.IsEmpty()) Misfit("Angabe fehlt");
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
        if (argRequired && cuts.empty()) Misfit("Angabe fehlt");
        CString name, rest;
        SplitWord(text, name, rest);
        Misfit("kein Steuerelement \"" + (argRequired ? name : text) + "\"");
    }

    // ---------------------------------------------------------------- actions

    void Focus(CXQDialog& dialog, CWnd* control) {
        if (control && dialog.GetFocus() != control) dialog.SetFocusTo(control);
    }

    int LineArg(const CString& text) {
        std::optional<int> n = Number(text);
        if (!n) Misfit("\"" + text + "\" ist keine Zeilennummer");
        return *n;
    }

    bool OnOff(const CString& text) {
        const CString word = Lower(text);
        if (word == "on") return true;
        if (word == "off") return false;
        Misfit("on oder off erwartet");
    }

    static std::optional<XQKeyEvent> ParseKey(const CString& name) {
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

    void Key(CXQDialog& dialog, const CString& rest) {
        CString keyName, name;
        SplitWord(rest, keyName, name);
        name.TrimRight(" \t");
        std::optional<XQKeyEvent> key = ParseKey(keyName);
        if (!key) Misfit("unbekannte Taste \"" + keyName + "\"");
        CWnd* control = dialog.GetFocus();
        if (!name.IsEmpty()) {
            const Target t = Usable(dialog, Unquote(name, nullptr));
            if (!t.control)
                Misfit("eine Taste geht an ein Steuerelement, nicht an die Symbolleiste");
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

    void Type(CXQDialog& dialog, const CString& rest) {
        CString text;
        const Target t = NameAndArg(dialog, rest, false, text);
        // "\n" and the other escapes of the dump give line breaks; a text that
        // is no valid escaped text is typed as it stands.
        std::string raw;
        const CString typed = XQUnescapeField(text.str(), raw) ? CString(raw) : text;
        auto* edit = dynamic_cast<CXQLEditX*>(t.control);
        auto* memo = dynamic_cast<CXQLMemoX*>(t.control);
        if (!edit && !memo) Misfit("in dieses Steuerelement kann man nicht schreiben");
        if ((edit && edit->IsReadOnly()) || (memo && memo->IsReadOnly()))
            Misfit("das Feld ist schreibgesch\xFCtzt");
        Focus(dialog, t.control);
        if (dialog.IsEnded()) return;
        if (edit) edit->UserType(typed);
        if (memo) memo->UserType(typed);
    }

    void Select(CXQDialog& dialog, const CString& rest) {
        CString arg;
        const Target t = NameAndArg(dialog, rest, true, arg);
        auto* combo = dynamic_cast<CXQLComboX*>(t.control);
        auto* tab = dynamic_cast<CXQTabX*>(t.control);
        if (!combo && !tab) Misfit("hier kann man nichts ausw\xE4hlen");
        const int count = combo ? combo->GetCount() : tab->GetCount();
        int index = -1;
        if (std::optional<int> n = Number(arg)) {
            if (*n >= count) Misfit("keinen Eintrag Nummer " + arg);
            index = *n;
        } else {
            for (int i = 0; i < count && index < 0; ++i)
                if ((combo ? combo->GetLBText(i) : tab->GetTabText(i)) == arg) index = i;
            for (int i = 0; i < count && index < 0; ++i)
                if ((combo ? combo->GetLBText(i) : tab->GetTabText(i)).Left(arg.GetLength()) == arg)
                    index = i;
            if (index < 0) Misfit("kein Eintrag beginnt mit \"" + arg + "\"");
        }
        if (combo) {
            Focus(dialog, combo);
            if (dialog.IsEnded()) return;
            combo->UserSelect(index);
        } else {
            tab->UserSelect(index);
        }
    }

    void Check(CXQDialog& dialog, const CString& rest) {
        CString head, state;
        SplitLastWord(rest, head, state);
        const bool on = OnOff(state);
        const Target t = Usable(dialog, Unquote(head, nullptr));
        auto* check = dynamic_cast<CXQLCheckX*>(t.control);
        if (!check) Misfit("kein Ankreuzfeld");
        Focus(dialog, check);
        if (dialog.IsEnded()) return;
        if (check->GetCheck() != on) check->UserClick();
    }

    void Click(CXQDialog& dialog, const CString& rest) {
        const Target t = Usable(dialog, Unquote(rest, nullptr));
        if (t.toolbar) return dialog.ClickToolbarButton(t.toolbar);
        auto* button = dynamic_cast<CXQButtonX*>(t.control);
        auto* check = dynamic_cast<CXQLCheckX*>(t.control);
        if (!button && !check)
            Misfit(
                "keine Schaltfl\xE4"
                "che");
        Focus(dialog, t.control);
        if (dialog.IsEnded()) return;
        if (button) button->UserClick();
        if (check) check->UserClick();
    }

    void FocusAction(CXQDialog& dialog, const CString& rest) {
        const Target t = Usable(dialog, Unquote(rest, nullptr));
        if (!t.control) Misfit("die Symbolleiste nimmt keinen Fokus");
        Focus(dialog, t.control);
    }

    static int LineCount(CWnd* control) {
        if (auto* grid = dynamic_cast<CXQGridX*>(control)) return grid->GetLineCount();
        if (auto* list = dynamic_cast<CXQListBoxX*>(control)) return list->GetCount();
        if (auto* tree = dynamic_cast<CXQTreeX*>(control))
            return static_cast<int>(tree->Items(true).size());
        return -1;
    }

    void Line(CXQDialog& dialog, const CString& rest) {
        CString head, number;
        SplitLastWord(rest, head, number);
        const int line = LineArg(number);
        const Target t = Usable(dialog, Unquote(head, nullptr));
        const int count = LineCount(t.control);
        if (count < 0) Misfit("keine Liste");
        if (line >= count) Misfit(FormatString("die Liste hat %d Zeilen", count));
        Focus(dialog, t.control);
        if (dialog.IsEnded()) return;
        if (auto* grid = dynamic_cast<CXQGridX*>(t.control)) grid->UserSelectLine(line);
        if (auto* list = dynamic_cast<CXQListBoxX*>(t.control)) list->UserSelect(line);
        if (auto* tree = dynamic_cast<CXQTreeX*>(t.control)) tree->UserSelectLine(line);
    }

    static int TreeLine(const CXQTreeX& tree) {
        const auto items = tree.Items(true);
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].first == tree.GetSelectedItem()) return static_cast<int>(i);
        return -1;
    }

    void DblClick(CXQDialog& dialog, const CString& rest) {
        // "dblclick NAME" or "dblclick NAME N": the whole text as a name first.
        CString name = rest, head, number;
        name.TrimRight(" \t");
        int line = -1;
        SplitLastWord(rest, head, number);
        if (Resolve(dialog, Unquote(name, nullptr)).empty() && !head.IsEmpty() && Number(number)) {
            name = head;
            line = *Number(number);
        }
        const Target t = Usable(dialog, Unquote(name, nullptr));
        const int count = LineCount(t.control);
        if (count < 0) Misfit("keine Liste");
        if (line >= count) Misfit(FormatString("die Liste hat %d Zeilen", count));
        if (line < 0) {
            if (auto* list = dynamic_cast<CXQListBoxX*>(t.control)) line = list->GetCurSel();
            if (auto* tree = dynamic_cast<CXQTreeX*>(t.control)) line = TreeLine(*tree);
            if (auto* grid = dynamic_cast<CXQGridX*>(t.control)) line = grid->GetCurLine();
            if (line < 0) Misfit("keine Zeile ausgew\xE4hlt");
        }
        Focus(dialog, t.control);
        if (dialog.IsEnded()) return;
        if (auto* grid = dynamic_cast<CXQGridX*>(t.control)) grid->UserDblClick(line);
        if (auto* list = dynamic_cast<CXQListBoxX*>(t.control)) list->UserDblClick(line);
        if (auto* tree = dynamic_cast<CXQTreeX*>(t.control)) tree->UserDblClick(line);
    }

    void Tick(CXQDialog& dialog, const CString& rest) {
        CString head, state, name, number;
        SplitLastWord(rest, head, state);
        const bool on = OnOff(state);
        SplitLastWord(head, name, number);
        const int line = LineArg(number);
        const Target t = Usable(dialog, Unquote(name, nullptr));
        auto* list = dynamic_cast<CXQListBoxX*>(t.control);
        if (!list || !list->IsCheckable()) Misfit("keine Liste zum Ankreuzen");
        if (line >= list->GetCount())
            Misfit(FormatString("die Liste hat %d Zeilen", list->GetCount()));
        Focus(dialog, list);
        if (dialog.IsEnded()) return;
        if (list->GetCheck(line) != on) list->UserTick(line, on);
    }

    void Wait(CXQDialog& dialog, const CString& rest) {
        CString ms = rest;
        ms.TrimRight(" \t");
        std::optional<int> n = Number(ms);
        if (!n) Misfit("Millisekunden erwartet");
        Q7AdvanceHostMillis(*n);
        dialog.FireDueTimers(Q7HostMillis());
    }

    void Apply(CXQDialog& dialog) {
        CString verb, rest;
        SplitWord(current, verb, rest);
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
        if (verb == "dump") return self->Dump(dialog);
        if (verb == "answer") Misfit("keine Meldung ist offen");
        Misfit("unbekannte Aktion \"" + verb + "\"");
    }

    // ---------------------------------------------------------------- dump

    void DumpControl(CWnd& control) {
        const CString label = ShownLabel(control.GetLabel());
        std::string head = KindName(control.Kind());
        if (!label.IsEmpty()) head += " " + Out(label);
        head += ":";
        std::string value;
        std::vector<std::string> lines;
        switch (control.Kind()) {
            case XQKind::Edit:
                value = Out(static_cast<CXQLEditX&>(control).GetText());
                break;
            case XQKind::Combo: {
                auto& combo = static_cast<CXQLComboX&>(control);
                if (combo.GetCurSel() >= 0) value = Out(combo.GetLBText(combo.GetCurSel()));
                break;
            }
            case XQKind::Check:
                value = static_cast<CXQLCheckX&>(control).GetCheck() ? "on" : "off";
                break;
            case XQKind::Tab: {
                auto& tab = static_cast<CXQTabX&>(control);
                if (tab.GetCurSel() >= 0) value = Out(tab.GetTabText(tab.GetCurSel()));
                break;
            }
            case XQKind::Caption:
                value = Out(static_cast<CXQLabelX&>(control).GetCaption());
                break;
            case XQKind::Button:
                value = Out(control.GetHint());
                break;
            case XQKind::Memo: {
                const CStrings& memo = static_cast<CXQLMemoX&>(control).GetLines();
                for (int i = 0; i < memo.GetCount(); ++i)
                    lines.push_back("  " + Out(memo.GetAt(i)));
                break;
            }
            case XQKind::List: {
                auto& list = static_cast<CXQListBoxX&>(control);
                for (int i = 0; i < list.GetCount(); ++i) {
                    std::string line = "  [" + std::to_string(i);
                    if (list.IsCheckable() && list.GetCheck(i)) line += "*";
                    line += "] ";
                    const COLORREF color = list.GetItemColor(i) & 0xFFFFFF;
                    if (color != 0) {
                        char rgb[16];
                        std::snprintf(rgb, sizeof rgb, "{#%02X%02X%02X}", color & 0xFF,
                                      (color >> 8) & 0xFF, (color >> 16) & 0xFF);
                        line += rgb;
                    }
                    lines.push_back(line + Out(list.GetText(i)));
                }
                break;
            }
            case XQKind::Grid:
                lines = GridLines(static_cast<CXQGridX&>(control));
                break;
            case XQKind::Tree: {
                auto& tree = static_cast<CXQTreeX&>(control);
                for (const auto& [item, depth] : tree.Items(true))
                    lines.push_back(std::string(2 + 2 * static_cast<size_t>(depth), ' ') +
                                    Out(tree.GetItemText(item)));
                break;
            }
            case XQKind::Label:
            case XQKind::Frame:
                return;
        }
        if (!value.empty()) head += " " + value;
        if (!control.IsWindowEnabled()) head += " [disabled]";
        Print(head);
        for (const std::string& line : lines) Print(line);
    }

    // The first lines and the page around the cursor, as the grid fetches
    // them; the cursor and the record set come back where they were.
    static std::vector<std::string> GridLines(CXQGridX& grid) {
        std::map<int, std::vector<CString>> texts;
        auto keep = [&] {
            for (int line = grid.FirstFetched(); line < grid.FirstFetched() + grid.FetchedCount();
                 ++line)
                if (const std::vector<CString>* columns = grid.FetchedLine(line))
                    texts[line] = *columns;
        };
        keep();
        const int hits = grid.GetLineCount();
        const int first = std::min(hits, 20);
        bool haveFirst = true;
        for (int line = 0; line < first; ++line) haveFirst = haveFirst && texts.count(line);
        if (!haveFirst) {
            grid.FetchLines(0, first);
            keep();
        }
        const int cursor = grid.GetCurLine();
        if (cursor >= 0 && !texts.count(cursor)) {
            grid.FetchLines(grid.TopLine(), grid.PageLines());
            keep();
        }
        std::vector<std::string> lines;
        for (const auto& [line, columns] : texts) {
            if (line >= grid.GetLineCount()) break;
            std::string text =
                (line == grid.GetCurLine() ? "> [" : "  [") + std::to_string(line) + "]";
            for (size_t c = 0; c < columns.size(); ++c)
                text += (c == 0 ? " " : " | ") + Out(columns[c]);
            lines.push_back(text);
        }
        return lines;
    }
};

CXQTextFrontEnd::CXQTextFrontEnd(std::istream* script, std::ostream& out) : m_impl(new Impl) {
    m_impl->self = this;
    m_impl->script = script;
    m_impl->out = &out;
}

CXQTextFrontEnd::~CXQTextFrontEnd() {
    if (&XQFrontEnd() == this) XQSetFrontEnd(nullptr);
    delete m_impl;
}

void CXQTextFrontEnd::SetMisfitHandler(std::function<void(const std::string&)> handler) {
    m_impl->misfit = std::move(handler);
}

// A misfit still ends the process here (see Misfit), so none is ever left
// recorded.
bool CXQTextFrontEnd::HasMisfit() const {
    return false;
}

const std::string& CXQTextFrontEnd::MisfitReason() const {
    static const std::string none;
    return none;
}

bool CXQTextFrontEnd::ScriptEnded() const {
    return !m_impl->Peek();
}

void CXQTextFrontEnd::SetInteractive(bool interactive) {
    m_impl->interactive = interactive;
}

void CXQTextFrontEnd::FinishScript() {
    if (m_impl->Next()) m_impl->Misfit("kein Dialog ist mehr offen");
}

void CXQTextFrontEnd::RunModal(CXQDialog& dialog) {
    Impl& impl = *m_impl;
    while (!dialog.IsEnded()) {
        if (!impl.Next()) break;
        try {
            impl.Apply(dialog);
        } catch (const Impl::Retry& retry) {
            impl.Report(retry.reason);
        }
        if (!dialog.IsEnded()) dialog.FireDueTimers(Q7HostMillis());
    }
    if (dialog.IsEnded()) return;
    // The script has ended: the user leaves the dialog with its exit command.
    impl.currentNumber = 0;
    if (dialog.HasToolbarButton(XQTB_EXIT) && dialog.IsToolbarButtonEnabled(XQTB_EXIT) &&
        dialog.IsToolbarButtonVisible(XQTB_EXIT))
        dialog.ClickToolbarButton(XQTB_EXIT);
    else
        dialog.OnExit();
    if (!dialog.IsEnded()) dialog.EndDialog(2);
}

namespace {
const char* MsgKindName(XQMsgKind kind) {
    switch (kind) {
        case XQMsgKind::Halt:
            return "Halt";
        case XQMsgKind::HaltE:
            return "HaltE";
        case XQMsgKind::HaltI:
            return "HaltI";
        case XQMsgKind::SollIch:
            return "SollIch";
        case XQMsgKind::SollIchAbbruch:
            return "SollIchAbbruch";
        case XQMsgKind::XQMsgBox:
            return "XQMsgBox";
        case XQMsgKind::XQHalt:
            return "XQHalt";
        case XQMsgKind::XQHaltE:
            return "XQHaltE";
    }
    return "Halt";
}
}  // namespace

int CXQTextFrontEnd::MessageBox(XQMsgKind kind, const CString& title, const CString& text,
                                const std::vector<CString>& buttons) {
    Impl& impl = *m_impl;
    return impl.Retrying([&]() -> int {
        impl.Print(std::string("MESSAGE ") + MsgKindName(kind) + ": " + Out(title) + " | " +
                   Out(text));
        const int count = static_cast<int>(buttons.size());
        std::optional<CString> answer = impl.Answer("eine Meldung");
        if (!answer) return count - 1;
        if (count == 0) return 0;
        const CString word = Lower(*answer);
        auto byCaption = [&](const char* caption) {
            for (int i = 0; i < count; ++i)
                if (ShownLabel(buttons[static_cast<size_t>(i)]) == caption) return i;
            return -1;
        };
        // A word names the button of that caption, else the button at its place.
        struct Word {
            const char* word;
            const char* caption;
            int position;  // -1: the last
        };
        static const Word words[] = {
            {"yes", "Ja", 0}, {"no", "Nein", 1}, {"cancel", "Abbrechen", -1}, {"ok", "OK", 0}};
        for (const Word& w : words) {
            if (word != w.word) continue;
            int index = byCaption(w.caption);
            if (index < 0) index = w.position < 0 ? count - 1 : w.position;
            if (index >= count)
                impl.Misfit(
                    "die Meldung hat keine Schaltfl\xE4"
                    "che \"" +
                    *answer + "\"");
            return index;
        }
        if (std::optional<int> n = Number(*answer)) {
            if (*n < 1 || *n > count)
                impl.Misfit(
                    FormatString("die Meldung hat %d Schaltfl\xE4"
                                 "chen",
                                 count));
            return *n - 1;
        }
        // A caption of the box's own buttons, whole or by its start.
        for (int i = 0; i < count; ++i)
            if (ShownLabel(buttons[static_cast<size_t>(i)]) == *answer) return i;
        for (int i = 0; i < count; ++i)
            if (!answer->IsEmpty() &&
                ShownLabel(buttons[static_cast<size_t>(i)]).Left(answer->GetLength()) == *answer)
                return i;
        impl.Misfit(
            "die Meldung hat keine Schaltfl\xE4"
            "che \"" +
            *answer + "\"");
    });
}

// Each placeholder line takes one answer: "answer cancel" cancels the whole
// box, "answer ok" keeps the value shown (the default), "answer =TEXT" gives
// TEXT literally (so "=ok" and "=cancel" are values too), any other
// "answer TEXT" gives TEXT, and a bare "answer" an empty value.
bool CXQTextFrontEnd::ParamBox(const CString& /*caption*/, std::vector<XQParamField>& fields) {
    Impl& impl = *m_impl;
    auto line = [&](const XQParamField& field) {
        std::string text = "PARAMBOX: " + Out(field.label);
        if (!field.value.IsEmpty()) text += "=" + Out(field.value);
        impl.Print(text);
    };
    std::vector<XQParamField> filled = fields;
    for (size_t i = 0; i < filled.size(); ++i) {
        std::optional<CString> answer = impl.Retrying([&] {
            line(filled[i]);
            return impl.Answer("ein Platzhalter");
        });
        if (!answer) {
            // Nobody answers: the box shows all its lines and is cancelled.
            for (size_t j = i + 1; j < filled.size(); ++j) line(filled[j]);
            return false;
        }
        const CString word = Lower(*answer);
        if (word == "cancel") return false;
        if (word == "ok") continue;
        filled[i].value = (!answer->IsEmpty() && (*answer)[0] == '=') ? answer->Mid(1) : *answer;
    }
    fields = filled;
    return true;
}

// "answer cancel" cancels, "answer ok" takes the proposed name, any other
// text is the path.
bool CXQTextFrontEnd::FileDialog(bool save, const CString& title, const CString& /*filter*/,
                                 const CString& /*defaultExtension*/, CString& path) {
    Impl& impl = *m_impl;
    return impl.Retrying([&]() -> bool {
        impl.Print(std::string("FILEDIALOG ") + (save ? "save" : "open") + ": " + Out(title) +
                   " | " + Out(path));
        std::optional<CString> answer = impl.Answer("ein Dateidialog");
        if (!answer) return false;
        const CString word = Lower(*answer);
        if (word == "cancel") return false;
        if (word == "ok") {
            if (path.IsEmpty()) impl.Misfit("der Dateidialog schl\xE4gt keinen Namen vor");
            return true;
        }
        if (answer->IsEmpty()) impl.Misfit("Dateiname fehlt");
        path = *answer;
        return true;
    });
}

void CXQTextFrontEnd::ProgressOpen(const CString& text, int /*maximum*/) {
    m_impl->Print("PROGRESS: " + Out(text));
}

bool CXQTextFrontEnd::ProgressUpdate(int /*value*/, const CString& /*text*/) {
    return true;
}

void CXQTextFrontEnd::ProgressClose() {}

void CXQTextFrontEnd::Open(const CString& url) {
    m_impl->Print("OPEN: " + Out(url));
}

void CXQTextFrontEnd::Print(const CString& path) {
    m_impl->Print("PRINT: " + Out(path));
}

void CXQTextFrontEnd::Beep() {
    m_impl->Print("BEEP");
}

void CXQTextFrontEnd::Dump(const CXQDialog& dialog) {
    Impl& impl = *m_impl;
    impl.Print("== " + Out(dialog.GetCaption()));
    for (CWnd* control : dialog.Controls())
        if (control->IsWindowVisible() && Dumped(control->Kind())) impl.DumpControl(*control);
    for (const CXQDialog::ToolbarButton& button : dialog.ToolbarButtons()) {
        if (!button.visible) continue;
        std::string line = "button #" + std::to_string(button.number) + ":";
        if (!button.hint.IsEmpty()) line += " " + Out(button.hint);
        if (!button.enabled) line += " [disabled]";
        impl.Print(line);
    }
    impl.Print("==");
}
