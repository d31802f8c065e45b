#pragma once
// CString: the host's 8-bit string. Every byte is a Windows-1252 character;
// nothing in host or module converts it, only the edges (database, terminal,
// Qt, files that declare another encoding) do, through Cp1252.h.
//
// Positions are 0-based ints; a position outside the string is clamped as the
// practice system's string class does (Mid(99) of a short string is empty,
// Find returns -1 when nothing is found).
#include <compare>
#include <cstdarg>
#include <functional>
#include <string>
#include <string_view>

#include "host/base/Export.h"

class Q7HOST_API CString {
  public:
    CString() = default;
    CString(const char* text);  // null reads as empty
    CString(const char* text, int length);
    CString(char ch, int repeat = 1);
    CString(const std::string& text) : m_text(text) {}
    CString(std::string&& text) : m_text(std::move(text)) {}
    explicit CString(std::string_view text) : m_text(text) {}

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char GetAt(int index) const;     // 0 outside the string
    void SetAt(int index, char ch);  // ignored outside the string
    char operator[](int index) const { return GetAt(index); }
    operator const char*() const { return m_text.c_str(); }
    const char* GetString() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }
    std::string& str() { return m_text; }

    CString& operator=(const char* text);
    CString& operator=(char ch);
    CString& operator+=(const CString& text);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);
    friend Q7HOST_API CString operator+(const CString& a, const CString& b);
    friend Q7HOST_API CString operator+(const CString& a, const char* b);
    friend Q7HOST_API CString operator+(const char* a, const CString& b);
    friend Q7HOST_API CString operator+(const CString& a, char b);
    friend Q7HOST_API CString operator+(char a, const CString& b);

    // Byte-wise comparison, as the practice system's Compare does.
    int Compare(const char* other) const;
    // Case-blind comparison that folds Windows-1252 letters (ä = Ä, é = É).
    int CompareNoCase(const char* other) const;
    // Locale-like ordering for sorting names: case-blind, umlauts next to their
    // base letters (a < ä < b), then byte order to break ties.
    int Collate(const char* other) const;
    int CollateNoCase(const char* other) const;
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
    friend std::strong_ordering operator<=>(const CString& a, const CString& b) {
        return a.m_text <=> b.m_text;
    }

    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;
    int FindOneOf(const char* chars) const;

    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;
    CString SpanIncluding(const char* chars) const;
    CString SpanExcluding(const char* chars) const;
    // Next token after start, separated by any of delims; start moves past it
    // and becomes -1 when no token is left.
    CString Tokenize(const char* delims, int& start) const;

    // White space: blank, tab, CR, LF, vertical tab, form feed.
    CString& Trim();
    CString& Trim(char ch);
    CString& Trim(const char* chars);
    CString& TrimLeft();
    CString& TrimLeft(char ch);
    CString& TrimLeft(const char* chars);
    CString& TrimRight();
    CString& TrimRight(char ch);
    CString& TrimRight(const char* chars);

    // Upper and lower case know every Windows-1252 letter (ä/Ä, é/É, š/Š, ÿ/Ÿ);
    // ß has no single upper-case letter and stays.
    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();

    int Replace(char oldCh, char newCh);  // returns the number replaced
    int Replace(const char* oldText, const char* newText);
    int Remove(char ch);             // returns the number removed
    int Insert(int index, char ch);  // returns the new length
    int Insert(int index, const char* text);
    int Delete(int index, int count = 1);  // returns the new length

    // printf forms as the practice system's compiler knows them, including
    // "%I64u", "%I64d", "%*I64u", "%I32d", "%lu", "%ld", "%3d", "%02u", "%-10s",
    // "%.2f" and "%c"; "%s" takes a const char* (pass CString with
    // .GetString() or an explicit cast).
    void Format(const char* format, ...);
    void FormatV(const char* format, va_list args);
    void AppendFormat(const char* format, ...);

  private:
    std::string m_text;
};

// Format used as an expression: CString s = FormatString("%3d", n);
Q7HOST_API CString FormatString(const char* format, ...);

template <>
struct std::hash<CString> {
    size_t operator()(const CString& s) const noexcept { return std::hash<std::string>()(s.str()); }
};
