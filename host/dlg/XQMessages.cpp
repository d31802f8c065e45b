#include "host/dlg/XQMessages.h"

#include <algorithm>

#include "host/base/HostContext.h"
#include "host/base/XQGuard.h"
#include "host/db/HostData.h"
#include "host/dlg/XQFrontEnd.h"

namespace {

// The group's own title, "Hinweis" when the string table has none.
CString GroupTitle(int group) {
    CString title = GetQ7String(group, 0);
    if (title.IsEmpty() || title == FormatString("Meldung %d/%d", group, 0))
        return CString("Hinweis");
    return title;
}

int Show(XQMsgKind kind, const CString& title, const CString& text,
         const std::vector<CString>& buttons) {
    const int count = static_cast<int>(buttons.size());
    const int chosen = XQFrontEnd().MessageBox(kind, title, text, buttons);
    // Anything outside the buttons counts as closing the box: the last button.
    return (chosen < 0 || chosen >= count) ? count - 1 : chosen;
}

int Notice(XQMsgKind kind, const CString& title, const CString& text) {
    Show(kind, title, text, {CString("OK")});
    return 1;
}

int NoticeWithReason(XQMsgKind kind, const CString& title, const CString& text,
                     const CString& reason) {
    if (reason.IsEmpty()) return Notice(kind, title, text);
    XQLog(text.GetString(), reason);
    XQFrontEnd().MessageBoxWithDetails(kind, title, text, reason, {CString("OK")});
    return 1;
}

int YesNo(const CString& title, const CString& text) {
    return Show(XQMsgKind::SollIch, title, text, {CString("Ja"), CString("Nein")}) == 0 ? XQ_IDYES
                                                                                        : XQ_IDNO;
}

int YesNoCancel(const CString& title, const CString& text) {
    switch (Show(XQMsgKind::SollIchAbbruch, title, text,
                 {CString("Ja"), CString("Nein"), CString("Abbrechen")})) {
        case 0:
            return XQ_IDYES;
        case 1:
            return XQ_IDNO;
        default:
            return XQ_IDCANCEL;
    }
}

}  // namespace

int Halt(const CString& title, const CString& text) {
    return Notice(XQMsgKind::Halt, title, text);
}
int Halt(int group, int number) {
    return Halt(GroupTitle(group), GetQ7String(group, number));
}
int Halt(int group, const CString& text) {
    return Halt(GroupTitle(group), text);
}

int HaltE(const CString& title, const CString& text) {
    return Notice(XQMsgKind::HaltE, title, text);
}
int HaltE(int group, int number) {
    return HaltE(GroupTitle(group), GetQ7String(group, number));
}
int HaltE(int group, const CString& text) {
    return HaltE(GroupTitle(group), text);
}

int HaltReason(int group, int number, const CString& reason) {
    return NoticeWithReason(XQMsgKind::Halt, GroupTitle(group), GetQ7String(group, number), reason);
}
int HaltEReason(int group, const CString& text, const CString& reason) {
    return NoticeWithReason(XQMsgKind::HaltE, GroupTitle(group), text, reason);
}

int HaltI(const CString& title, const CString& text) {
    return Notice(XQMsgKind::HaltI, title, text);
}
int HaltI(int group, int number) {
    return HaltI(GroupTitle(group), GetQ7String(group, number));
}
int HaltI(int group, const CString& text) {
    return HaltI(GroupTitle(group), text);
}

int XQHalt(const CString& title, const CString& text) {
    return Notice(XQMsgKind::XQHalt, GetQ7Text(title), GetQ7Text(text));
}
int XQHaltE(const CString& title, const CString& text) {
    return Notice(XQMsgKind::XQHaltE, GetQ7Text(title), GetQ7Text(text));
}

int SollIch(const CString& title, const CString& text) {
    return YesNo(title, text);
}
int SollIch(int group, int number) {
    return YesNo(GroupTitle(group), GetQ7String(group, number));
}

int SollIchAbbruch(const CString& title, const CString& text) {
    return YesNoCancel(title, text);
}
int SollIchAbbruch(int group, int number) {
    return YesNoCancel(GroupTitle(group), GetQ7String(group, number));
}

int XQMsgBox(const CString& title, const CString& text, const std::vector<CString>& buttons,
             int /*icon*/) {
    const std::vector<CString> shown = buttons.empty() ? std::vector<CString>{"OK"} : buttons;
    return 10 + Show(XQMsgKind::XQMsgBox, GetQ7Text(title), GetQ7Text(text), shown);
}

// ---------------------------------------------------------------- placeholders

namespace {

// A text cut into plain pieces and placeholders.
struct Piece {
    bool placeholder = false;
    CString text;  // plain text, or the label
};

struct ParsedText {
    std::vector<Piece> pieces;
    std::vector<XQParamField> fields;  // distinct labels in order of first appearance
};

// "<<Label>>" or "<<Label=Vorgabe>>" within one line. A "<<" without its
// ">>", an empty label, or a line break inside stays plain text; of two "<<"
// before a ">>" the later one opens the placeholder.
ParsedText ParsePlaceholders(const CString& text) {
    ParsedText parsed;
    CString plain;
    std::vector<bool> hasDefault;
    int pos = 0;
    const int length = text.GetLength();
    while (pos < length) {
        const int open = text.Find("<<", pos);
        if (open < 0) break;
        const int close = text.Find(">>", open + 2);
        if (close < 0) break;
        const int reopen = text.Find("<<", open + 2);
        if (reopen >= 0 && reopen < close) {
            plain += text.Mid(pos, reopen - pos);
            pos = reopen;
            continue;
        }
        const CString inner = text.Mid(open + 2, close - open - 2);
        const int eq = inner.Find('=');
        const CString label = eq < 0 ? inner : inner.Left(eq);
        if (label.IsEmpty() || inner.FindOneOf("\r\n") >= 0) {
            plain += text.Mid(pos, close + 2 - pos);
            pos = close + 2;
            continue;
        }
        plain += text.Mid(pos, open - pos);
        if (!plain.IsEmpty()) parsed.pieces.push_back({false, plain});
        plain.Empty();
        parsed.pieces.push_back({true, label});
        auto field = std::find_if(parsed.fields.begin(), parsed.fields.end(),
                                  [&](const XQParamField& f) { return f.label == label; });
        size_t index = static_cast<size_t>(field - parsed.fields.begin());
        if (field == parsed.fields.end()) {
            parsed.fields.push_back({label, CString()});
            hasDefault.push_back(false);
        }
        // The first default given for a label is the one shown.
        if (eq >= 0 && !hasDefault[index]) {
            parsed.fields[index].value = inner.Mid(eq + 1);
            hasDefault[index] = true;
        }
        pos = close + 2;
    }
    plain += text.Mid(pos);
    if (!plain.IsEmpty()) parsed.pieces.push_back({false, plain});
    for (size_t i = 0; i < parsed.fields.size(); ++i)
        if (!hasDefault[i] && parsed.fields[i].label == "Datum")
            parsed.fields[i].value = Db2Date(GetXQDate());
    return parsed;
}

}  // namespace

bool XQParamBox(CString& text, CWnd* /*parent*/, const CString& caption) {
    ParsedText parsed = ParsePlaceholders(text);
    if (parsed.fields.empty()) return true;
    std::vector<XQParamField> fields = parsed.fields;
    const CString shown = caption.IsEmpty() ? CString("Platzhalter ausf\xFCllen") : caption;
    if (!XQFrontEnd().ParamBox(shown, fields) || fields.size() != parsed.fields.size())
        return false;
    CString out;
    for (const Piece& piece : parsed.pieces) {
        if (!piece.placeholder) {
            out += piece.text;
            continue;
        }
        for (size_t i = 0; i < parsed.fields.size(); ++i)
            if (parsed.fields[i].label == piece.text) {
                out += fields[i].value;
                break;
            }
    }
    text = out;
    return true;
}

// ---------------------------------------------------------------- subject

namespace {
CString g_subject;
}  // namespace

CXQBoxSubject::CXQBoxSubject(const CString& subject) : m_outer(g_subject) {
    g_subject = subject;
}

CXQBoxSubject::~CXQBoxSubject() {
    g_subject = m_outer;
}

CString CXQBoxSubject::Titled(const CString& title) {
    if (g_subject.IsEmpty()) return title;
    return title.IsEmpty() ? g_subject : title + ": " + g_subject;
}

// ---------------------------------------------------------------- progress, files

namespace {
bool g_progressOpen = false;
int g_waitCursors = 0;
}  // namespace

void Q7OpenProgressBox(const CString& text, int maximum) {
    if (g_progressOpen) XQFrontEnd().ProgressClose();
    g_progressOpen = true;
    XQFrontEnd().ProgressOpen(text, maximum);
}

bool Q7UpdateProgressBox(int value, const CString& text) {
    if (!g_progressOpen) return true;
    return XQFrontEnd().ProgressUpdate(value, text);
}

void Q7CloseProgressBox() {
    if (!g_progressOpen) return;
    g_progressOpen = false;
    XQFrontEnd().ProgressClose();
}

bool XQFileDialog(bool save, const CString& title, const CString& filter,
                  const CString& defaultExtension, CString& path) {
    CString chosen = path;
    if (!XQFrontEnd().FileDialog(save, title, filter, defaultExtension, chosen)) return false;
    CString extension = defaultExtension;
    extension.TrimLeft('.');
    const int slash = std::max(chosen.ReverseFind('\\'), chosen.ReverseFind('/'));
    const CString name = chosen.Mid(slash + 1);
    if (!extension.IsEmpty() && !name.IsEmpty() && name.Find('.') < 0) chosen += "." + extension;
    path = chosen;
    return true;
}

void XQOpenDocument(const CString& url) {
    XQFrontEnd().Open(url);
}

void XQPrintDocument(const CString& path) {
    XQFrontEnd().Print(path);
}

CXQWaitCursor::CXQWaitCursor() {
    if (g_waitCursors++ == 0) XQFrontEnd().WaitCursor(true);
}

CXQWaitCursor::~CXQWaitCursor() {
    if (--g_waitCursors == 0) XQFrontEnd().WaitCursor(false);
}
