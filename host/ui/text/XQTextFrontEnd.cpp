#include "host/ui/text/XQTextFrontEnd.h"

#include <iostream>
#include <optional>

#include "host/base/HostContext.h"
#include "host/dlg/XQDialog.h"
#include "host/ui/text/XQControlNames.h"
#include "host/ui/text/XQScript.h"
#include "host/ui/text/XQTextActions.h"
#include "host/ui/text/XQTextDump.h"

using xqtext::Lower;
using xqtext::Out;
using xqtext::ShownLabel;

struct CXQTextFrontEnd::Impl {
    Impl(std::istream* in, std::ostream& out)
        : script(in), dump(out, script), names(script), actions(script, names, dump) {}

    CXQScript script;
    CXQTextDump dump;
    CXQControlNames names;
    CXQTextActions actions;

    // A misfit stops here, before dialog code: an interactive one is
    // reported (the line is skipped), a kept one leaves the run unwinding.
    void Caught(const XQScriptMisfit& misfit) {
        if (script.Interactive()) std::cerr << "Passt nicht: " << misfit.reason << std::endl;
    }

    // Runs a box's exchange until its answer fits (or, after a kept misfit,
    // until the box is cancelled as at the end of the script).
    template <class Exchange>
    auto Retrying(Exchange exchange) {
        for (;;) {
            try {
                return exchange();
            } catch (const XQScriptMisfit& misfit) {
                Caught(misfit);
            }
        }
    }
};

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

// The button a message box answer names (0-based); a misfit for none.
int ButtonOf(CXQScript& script, const CString& answer, const std::vector<CString>& buttons) {
    const int count = static_cast<int>(buttons.size());
    auto shown = [&](int i) { return ShownLabel(buttons[static_cast<size_t>(i)]); };
    const CString noSuchButton =
        "die Meldung hat keine Schaltfl\xE4"
        "che \"" +
        answer + "\"";
    // A word names the button of that caption, else the button at its place.
    struct Word {
        const char* word;
        const char* caption;
        int position;  // -1: the last
    };
    static const Word words[] = {
        {"yes", "Ja", 0}, {"no", "Nein", 1}, {"cancel", "Abbrechen", -1}, {"ok", "OK", 0}};
    const CString word = Lower(answer);
    for (const Word& w : words) {
        if (word != w.word) continue;
        int index = -1;
        for (int i = 0; i < count && index < 0; ++i)
            if (shown(i) == w.caption) index = i;
        if (index < 0) index = w.position < 0 ? count - 1 : w.position;
        if (index >= count) script.Misfit(noSuchButton);
        return index;
    }
    if (std::optional<int> n = xqtext::Number(answer)) {
        if (*n < 1 || *n > count)
            script.Misfit(
                FormatString("die Meldung hat %d Schaltfl\xE4"
                             "chen",
                             count));
        return *n - 1;
    }
    // A caption of the box's own buttons, whole or by its start.
    for (int i = 0; i < count; ++i)
        if (shown(i) == answer) return i;
    for (int i = 0; i < count; ++i)
        if (!answer.IsEmpty() && shown(i).Left(answer.GetLength()) == answer) return i;
    script.Misfit(noSuchButton);
}

}  // namespace

CXQTextFrontEnd::CXQTextFrontEnd(std::istream* script, std::ostream& out)
    : m_impl(std::make_unique<Impl>(script, out)) {}

CXQTextFrontEnd::~CXQTextFrontEnd() {
    if (&XQFrontEnd() == this) XQSetFrontEnd(nullptr);
}

bool CXQTextFrontEnd::HasMisfit() const {
    return m_impl->script.HasMisfit();
}

const std::string& CXQTextFrontEnd::MisfitReason() const {
    return m_impl->script.MisfitReason();
}

void CXQTextFrontEnd::SetMisfitHandler(std::function<void(const std::string&)> handler) {
    m_impl->script.SetMisfitHandler(std::move(handler));
}

void CXQTextFrontEnd::SetInteractive(bool interactive) {
    m_impl->script.SetInteractive(interactive);
}

bool CXQTextFrontEnd::ScriptEnded() const {
    return m_impl->script.Ended();
}

void CXQTextFrontEnd::FinishScript() {
    try {
        if (m_impl->script.Next()) m_impl->script.Misfit("kein Dialog ist mehr offen");
    } catch (const XQScriptMisfit& misfit) {
        m_impl->Caught(misfit);
    }
}

void CXQTextFrontEnd::RunModal(CXQDialog& dialog) {
    Impl& impl = *m_impl;
    while (!dialog.IsEnded()) {
        try {
            if (!impl.script.Next()) break;
            impl.actions.Apply(dialog);
        } catch (const XQScriptMisfit& misfit) {
            impl.Caught(misfit);
        }
        if (!dialog.IsEnded()) dialog.FireDueTimers(Q7HostMillis());
    }
    if (dialog.IsEnded()) return;
    // The script has ended: the user leaves the dialog with its exit command.
    if (dialog.HasToolbarButton(XQTB_EXIT) && dialog.IsToolbarButtonEnabled(XQTB_EXIT) &&
        dialog.IsToolbarButtonVisible(XQTB_EXIT))
        dialog.ClickToolbarButton(XQTB_EXIT);
    else
        dialog.OnExit();
    if (!dialog.IsEnded()) dialog.EndDialog(2);
}

int CXQTextFrontEnd::MessageBox(XQMsgKind kind, const CString& title, const CString& text,
                                const std::vector<CString>& buttons) {
    return MessageBoxWithDetails(kind, title, text, CString(), buttons);
}

// The details follow the box's own line, so that a script sees the text
// exactly as the message has it and the reason apart.
int CXQTextFrontEnd::MessageBoxWithDetails(XQMsgKind kind, const CString& title,
                                           const CString& text, const CString& details,
                                           const std::vector<CString>& buttons) {
    Impl& impl = *m_impl;
    return impl.Retrying([&]() -> int {
        impl.dump.Print(std::string("MESSAGE ") + MsgKindName(kind) + ": " + Out(title) + " | " +
                        Out(text));
        if (!details.IsEmpty()) impl.dump.Print("Details: " + Out(details));
        const int count = static_cast<int>(buttons.size());
        std::optional<CString> answer = impl.script.Answer("eine Meldung");
        if (!answer) return count - 1;
        if (count == 0) return 0;
        return ButtonOf(impl.script, *answer, buttons);
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
        impl.dump.Print(text);
    };
    std::vector<XQParamField> filled = fields;
    for (size_t i = 0; i < filled.size(); ++i) {
        std::optional<CString> answer = impl.Retrying([&] {
            line(filled[i]);
            return impl.script.Answer("ein Platzhalter");
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
        impl.dump.Print(std::string("FILEDIALOG ") + (save ? "save" : "open") + ": " + Out(title) +
                        " | " + Out(path));
        std::optional<CString> answer = impl.script.Answer("ein Dateidialog");
        if (!answer) return false;
        const CString word = Lower(*answer);
        if (word == "cancel") return false;
        if (word == "ok") {
            if (path.IsEmpty()) impl.script.Misfit("der Dateidialog schl\xE4gt keinen Namen vor");
            return true;
        }
        if (answer->IsEmpty()) impl.script.Misfit("Dateiname fehlt");
        path = *answer;
        return true;
    });
}

void CXQTextFrontEnd::ProgressOpen(const CString& text, int /*maximum*/) {
    m_impl->dump.Print("PROGRESS: " + Out(text));
}

bool CXQTextFrontEnd::ProgressUpdate(int /*value*/, const CString& /*text*/) {
    return true;
}

void CXQTextFrontEnd::ProgressClose() {}

void CXQTextFrontEnd::Open(const CString& url) {
    m_impl->dump.Print("OPEN: " + Out(url));
}

void CXQTextFrontEnd::Print(const CString& path) {
    m_impl->dump.Print("PRINT: " + Out(path));
}

void CXQTextFrontEnd::Beep() {
    m_impl->dump.Print("BEEP");
}

void CXQTextFrontEnd::Dump(const CXQDialog& dialog) {
    m_impl->dump.Dialog(dialog);
}
