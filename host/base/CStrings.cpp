#include "host/base/CStrings.h"

#include <algorithm>

#include "host/base/XQGuard.h"

namespace {

// Splits at CR LF and LF; with loneCr also at a CR not followed by LF.
std::vector<CString> SplitLines(const std::string& text, bool loneCr) {
    std::vector<CString> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool crlf = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        if (c == '\n' || crlf || (loneCr && c == '\r')) {
            lines.emplace_back(text.substr(start, i - start));
            if (crlf) ++i;
            start = i + 1;
        }
    }
    lines.emplace_back(text.substr(start));
    return lines;
}

}  // namespace

CString CStrings::GetAt(int index) const {
    if (index < 0 || index >= GetCount()) return CString();
    return m_lines[static_cast<size_t>(index)];
}

void CStrings::SetAt(int index, const CString& line) {
    if (index < 0 || index >= GetCount()) return;
    auto pieces = SplitLines(line.str(), false);
    auto at = m_lines.begin() + index;
    *at = std::move(pieces.front());
    m_lines.insert(at + 1, std::make_move_iterator(pieces.begin() + 1),
                   std::make_move_iterator(pieces.end()));
    Changed();
}

void CStrings::Add(const CString& line) {
    InsertAt(GetCount(), line);
}

void CStrings::InsertAt(int index, const CString& line) {
    index = std::clamp(index, 0, GetCount());
    auto pieces = SplitLines(line.str(), false);
    m_lines.insert(m_lines.begin() + index, std::make_move_iterator(pieces.begin()),
                   std::make_move_iterator(pieces.end()));
    Changed();
}

void CStrings::RemoveAt(int index) {
    if (index < 0 || index >= GetCount()) return;
    m_lines.erase(m_lines.begin() + index);
    Changed();
}

void CStrings::RemoveAll() {
    m_lines.clear();
    Changed();
}

CString CStrings::Join(const char* sep) const {
    std::string out;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i > 0 && sep) out += sep;
        out += m_lines[i].str();
    }
    return CString(std::move(out));
}

void CStrings::SetText(const CString& text) {
    m_lines.clear();
    if (!text.IsEmpty()) m_lines = SplitLines(text.str(), true);
    Changed();
}

void CStrings::Changed() {
    if (!m_onChange) return;
    // A refresh that fails must not tear down the caller's edit.
    XQGuardVoid("Memo anzeigen", [&] { m_onChange(); });
}
