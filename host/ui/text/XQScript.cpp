#include "host/ui/text/XQScript.h"

#include <istream>

#include "host/base/Cp1252.h"

CXQScript::CXQScript(std::istream* script) : m_script(script) {}

void CXQScript::SetMisfitHandler(std::function<void(const std::string&)> handler) {
    m_handler = std::move(handler);
}

void CXQScript::SetInteractive(bool interactive) {
    m_interactive = interactive;
}

bool CXQScript::Ended() {
    return !Peek();
}

namespace {

// One line without its end; scripts come from every editor, so LF, CR LF and
// a lone CR all end a line. False when nothing is left.
bool ReadLine(std::istream& in, std::string& line) {
    line.clear();
    bool any = false;
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        any = true;
        if (c == '\n') return true;
        if (c == '\r') {
            if (in.peek() == '\n') in.get();
            return true;
        }
        line += static_cast<char>(c);
    }
    return any;
}

}  // namespace

bool CXQScript::Peek() {
    if (m_havePending) return true;
    if (m_ended || !m_script) {
        m_ended = true;
        return false;
    }
    std::string raw;
    while (ReadLine(*m_script, raw)) {
        // An editor's byte order mark is no part of the first action.
        if (++m_lineNumber == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
        // A line that is not UTF-8 would be typed with "?" for its letters:
        // it is taken as it comes and refused when its turn comes.
        m_pendingValid = IsValidUtf8(raw);
        CString line = m_pendingValid ? Utf8ToCp1252(raw) : CString();
        line.TrimLeft(" \t");
        CString probe = line;
        probe.TrimRight(" \t");
        if (m_pendingValid && (probe.IsEmpty() || probe[0] == '#')) continue;
        m_pending = line;
        m_pendingNumber = m_lineNumber;
        m_havePending = true;
        return true;
    }
    m_ended = true;
    return false;
}

bool CXQScript::Next() {
    if (!Peek()) return false;
    m_havePending = false;
    m_current = m_pending;
    m_currentNumber = m_pendingNumber;
    if (!m_pendingValid) Misfit("die Zeile ist kein g\xFCltiges UTF-8");
    return true;
}

std::optional<CString> CXQScript::Answer(const char* box) {
    if (!Next()) return std::nullopt;
    CString verb, rest;
    xqtext::SplitWord(m_current, verb, rest);
    if (verb != "answer") Misfit(CString(box) + " ist offen, aber die Zeile ist keine Antwort");
    CString arg = rest;
    arg.TrimRight(" \t");
    return arg;
}

void CXQScript::Misfit(const CString& what) {
    CString reason;
    if (m_currentNumber > 0 && m_current.IsEmpty())
        reason.Format("Zeile %d: ", m_currentNumber);
    else if (m_currentNumber > 0)
        reason.Format("Zeile %d (%s): ", m_currentNumber, m_current.GetString());
    reason += what;
    const std::string utf8 = Cp1252ToUtf8(reason.str());
    if (m_interactive) throw XQScriptMisfit{utf8};
    if (m_handler) m_handler(utf8);
    // The run only unwinds from here on: every dialog is left and every box
    // cancelled as at the end of the script.
    if (!m_misfit) {
        m_misfit = true;
        m_reason = utf8;
    }
    m_havePending = false;
    m_ended = true;
    throw XQScriptMisfit{utf8};
}

namespace xqtext {

std::optional<int> Number(const CString& text) {
    if (text.IsEmpty() || text.GetLength() > 9) return std::nullopt;
    int value = 0;
    for (int i = 0; i < text.GetLength(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

CString Lower(CString text) {
    text.MakeLower();
    return text;
}

void SplitWord(const CString& text, CString& word, CString& rest) {
    int end = 0;
    while (end < text.GetLength() && text[end] != ' ' && text[end] != '\t') ++end;
    word = text.Left(end);
    rest = text.Mid(end);
    rest.TrimLeft(" \t");
}

void SplitLastWord(const CString& text, CString& head, CString& last) {
    CString trimmed = text;
    trimmed.TrimRight(" \t");
    int start = trimmed.GetLength();
    while (start > 0 && trimmed[start - 1] != ' ' && trimmed[start - 1] != '\t') --start;
    last = trimmed.Mid(start);
    head = trimmed.Left(start);
    head.TrimRight(" \t");
}

CString Unquote(const CString& text, CString* rest) {
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

}  // namespace xqtext
