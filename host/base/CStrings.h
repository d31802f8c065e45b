#pragma once
// CStrings: the line collection behind a memo control. A memo never holds a
// line break inside a line, so text written into the collection (SetAt, Add,
// InsertAt) is split at CR LF and at a lone LF into several lines at that
// position. A lone CR stays in the line there; SetText, which takes a whole
// memo text, also breaks at a lone CR.
#include <functional>
#include <vector>

#include "host/base/CString.h"
#include "host/base/Export.h"

class Q7HOST_API CStrings {
  public:
    CStrings() = default;

    int GetCount() const { return static_cast<int>(m_lines.size()); }
    CString GetAt(int index) const;              // empty outside
    void SetAt(int index, const CString& line);  // ignored outside
    void Add(const CString& line);
    void InsertAt(int index, const CString& line);  // index clamped to [0, count]
    void RemoveAt(int index);                       // ignored outside
    void RemoveAll();
    CString Join(const char* sep) const;  // null reads as empty
    // An empty text gives no lines; otherwise every line break starts a new
    // line, as in an edit control ("a\r\n" is "a" and an empty line), so
    // Join("\r\n") gives a CR LF text back unchanged.
    void SetText(const CString& text);

    // Called after every change; a memo control refreshes its view from it.
    // An observer must not throw; if it does, the exception is swallowed.
    void SetOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

  private:
    void Changed();

    std::vector<CString> m_lines;
    std::function<void()> m_onChange;
};
