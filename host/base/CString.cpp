#include "host/base/CString.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

using Table = std::array<unsigned char, 256>;

// Windows-1252 case pairs: ASCII, the Latin-1 block 0xC0-0xDE / 0xE0-0xFE
// (without the multiplication and division signs) and the four letters the
// code page puts into 0x80-0x9F.
struct CaseTables {
    Table upper{};
    Table lower{};
    CaseTables() {
        for (int i = 0; i < 256; ++i) upper[i] = lower[i] = static_cast<unsigned char>(i);
        auto pair = [this](int up, int low) {
            upper[low] = static_cast<unsigned char>(up);
            lower[up] = static_cast<unsigned char>(low);
        };
        for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
        for (int c = 0xC0; c <= 0xDE; ++c) {
            if (c != 0xD7) pair(c, c + 32);
        }
        pair(0x8A, 0x9A);  // S with caron
        pair(0x8C, 0x9C);  // OE ligature
        pair(0x8E, 0x9E);  // Z with caron
        pair(0x9F, 0xFF);  // Y with diaeresis
    }
};

const CaseTables& Cases() {
    static const CaseTables tables;
    return tables;
}

unsigned char ToLower(char c) {
    return Cases().lower[static_cast<unsigned char>(c)];
}
unsigned char ToUpper(char c) {
    return Cases().upper[static_cast<unsigned char>(c)];
}

std::string_view View(const char* text) {
    return text ? std::string_view(text) : std::string_view();
}

int Sign(int v) {
    return (v > 0) - (v < 0);
}

// Sort key of one character for name ordering: the lower-case base letter,
// with ligatures and ß spelled out as German phone books do.
const char* CollateKey(unsigned char c, char (&single)[2]) {
    switch (c) {
        case 0xDF:
            return "ss";
        case 0xC6:
        case 0xE6:
            return "ae";
        case 0x8C:
        case 0x9C:
            return "oe";
        case 0xDE:
        case 0xFE:
            return "th";
        default:
            break;
    }
    static const char* const latin =
        // 0xC0..0xDF and 0xE0..0xFF share their base letters.
        "aaaaaaaceeeeiiiidnooooo\xD7ouuuuyts";
    unsigned char base = c;
    if (c >= 0xC0) {
        int offset = (c >= 0xE0) ? c - 0xE0 : c - 0xC0;
        if (c == 0xF7) {
            base = 0xF7;
        } else if (c == 0xFF) {
            base = 'y';
        } else {
            base = static_cast<unsigned char>(latin[offset]);
        }
    } else if (c == 0x8A || c == 0x9A) {
        base = 's';
    } else if (c == 0x8E || c == 0x9E) {
        base = 'z';
    } else if (c == 0x9F) {
        base = 'y';
    } else {
        base = ToLower(static_cast<char>(c));
    }
    single[0] = static_cast<char>(base);
    single[1] = 0;
    return single;
}

std::string CollateString(std::string_view text) {
    std::string key;
    key.reserve(text.size());
    char single[2];
    for (char c : text) key += CollateKey(static_cast<unsigned char>(c), single);
    return key;
}

int CompareFolded(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = ToLower(a[i]);
        int cb = ToLower(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int CollatePrimary(std::string_view a, std::string_view b) {
    return Sign(CollateString(a).compare(CollateString(b)));
}

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

const char kWhite[] = " \t\r\n\v\f";

// One directive formatted with the C library. The arguments are fetched here,
// one directive at a time with the type its length prefix and conversion
// name, so that no directive can make vsnprintf read an argument of another
// type (e.g. the width of a "%*n").
template <typename... Args>
void AppendPrintf(std::string& out, const std::string& directive, Args... args) {
    const int needed = std::snprintf(nullptr, 0, directive.c_str(), args...);
    if (needed <= 0) return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(needed) + 1);
    std::snprintf(out.data() + at, static_cast<size_t>(needed) + 1, directive.c_str(), args...);
    out.resize(at + static_cast<size_t>(needed));
}

template <typename T>
void AppendValue(std::string& out, const std::string& directive, int stars, int first, int second,
                 T value) {
    if (stars == 0)
        AppendPrintf(out, directive, value);
    else if (stars == 1)
        AppendPrintf(out, directive, first, value);
    else
        AppendPrintf(out, directive, first, second, value);
}

// Formats the practice system compiler's printf dialect with the C library:
// "I64" becomes "ll", "I32" disappears, a bare "I" (pointer-sized) becomes
// "z". Directives the C library does not know are printed literally, and "%n"
// consumes its argument (and the "*" ones before it) without writing.
std::string FormatToString(const char* format, va_list source) {
    std::string out;
    if (!format) return out;
    va_list args;
    va_copy(args, source);
    const char* p = format;
    while (*p) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        const char* start = p++;
        std::string directive = "%";
        int stars = 0;
        while (*p && std::strchr("-+ #0", *p)) directive += *p++;
        if (*p == '*') {
            directive += *p++;
            ++stars;
        } else {
            while (*p >= '0' && *p <= '9') directive += *p++;
        }
        if (*p == '.') {
            directive += *p++;
            if (*p == '*') {
                directive += *p++;
                ++stars;
            } else {
                while (*p >= '0' && *p <= '9') directive += *p++;
            }
        }
        // A view into the format or a literal: a std::string here trips
        // GCC 12's uninitialised-use warning at -O3 (a false positive).
        std::string_view length;
        if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            length = "ll";
            p += 3;
        } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
            p += 3;
        } else if (p[0] == 'I') {
            length = "z";
            p += 1;
        } else if ((p[0] == 'h' && p[1] == 'h') || (p[0] == 'l' && p[1] == 'l')) {
            length = std::string_view(p, 2);
            p += 2;
        } else if (*p && std::strchr("hlLzjt", *p)) {
            length = std::string_view(p++, 1);
        }
        const char conv = *p;
        if (conv == '%' && p == start + 1) {
            out += '%';
            ++p;
            continue;
        }
        if (!conv || !std::strchr("diouxXeEfFgGaAcspn", conv)) {
            // Unknown or cut-off directive: show it as written.
            out.append(start, p);
            continue;
        }
        ++p;
        const int first = stars > 0 ? va_arg(args, int) : 0;
        const int second = stars > 1 ? va_arg(args, int) : 0;
        // Each class of conversion keeps only the length prefixes that
        // change its argument's type; the others are dropped so that the
        // argument fetched is the one the C library reads.
        if (conv == 'n') {
            (void)va_arg(args, void*);
        } else if (std::strchr("diouxX", conv)) {
            if (length == "L") length = "ll";
            directive += length;
            directive += conv;
            if (length == "ll")
                AppendValue(out, directive, stars, first, second, va_arg(args, long long));
            else if (length == "l")
                AppendValue(out, directive, stars, first, second, va_arg(args, long));
            else if (length == "z")
                AppendValue(out, directive, stars, first, second, va_arg(args, std::size_t));
            else if (length == "j")
                AppendValue(out, directive, stars, first, second, va_arg(args, std::intmax_t));
            else if (length == "t")
                AppendValue(out, directive, stars, first, second, va_arg(args, std::ptrdiff_t));
            else
                AppendValue(out, directive, stars, first, second, va_arg(args, int));
        } else if (std::strchr("eEfFgGaA", conv)) {
            const bool wide = length == "L";
            directive += wide ? "L" : "";
            directive += conv;
            if (wide)
                AppendValue(out, directive, stars, first, second, va_arg(args, long double));
            else
                AppendValue(out, directive, stars, first, second, va_arg(args, double));
        } else if (conv == 'c') {
            const bool wide = length == "l";
            directive += wide ? "lc" : "c";
            if (wide)
                AppendValue(out, directive, stars, first, second, va_arg(args, std::wint_t));
            else
                AppendValue(out, directive, stars, first, second, va_arg(args, int));
        } else if (conv == 's') {
            const bool wide = length == "l";
            directive += wide ? "ls" : "s";
            if (wide)
                AppendValue(out, directive, stars, first, second, va_arg(args, const wchar_t*));
            else
                AppendValue(out, directive, stars, first, second, va_arg(args, const char*));
        } else {
            directive += 'p';
            AppendValue(out, directive, stars, first, second, va_arg(args, const void*));
        }
    }
    va_end(args);
    return out;
}

}  // namespace

CString::CString(const char* text) : m_text(View(text)) {}

CString::CString(const char* text, int length) {
    if (text && length > 0) m_text.assign(text, strnlen(text, static_cast<size_t>(length)));
}

CString::CString(char ch, int repeat) : m_text(static_cast<size_t>(std::max(repeat, 0)), ch) {}

char CString::GetAt(int index) const {
    if (index < 0 || index >= GetLength()) return 0;
    return m_text[static_cast<size_t>(index)];
}

void CString::SetAt(int index, char ch) {
    if (index < 0 || index >= GetLength()) return;
    m_text[static_cast<size_t>(index)] = ch;
}

CString& CString::operator=(const char* text) {
    m_text = View(text);
    return *this;
}

CString& CString::operator=(char ch) {
    m_text.assign(1, ch);
    return *this;
}

CString& CString::operator+=(const CString& text) {
    m_text += text.m_text;
    return *this;
}

CString& CString::operator+=(const char* text) {
    m_text += View(text);
    return *this;
}

CString& CString::operator+=(char ch) {
    m_text += ch;
    return *this;
}

CString operator+(const CString& a, const CString& b) {
    return CString(a.m_text + b.m_text);
}

CString operator+(const CString& a, const char* b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const char* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, char b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(char a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

int CString::Compare(const char* other) const {
    return Sign(m_text.compare(View(other)));
}

int CString::CompareNoCase(const char* other) const {
    return CompareFolded(m_text, View(other));
}

int CString::Collate(const char* other) const {
    if (int primary = CollatePrimary(m_text, View(other))) return primary;
    return Compare(other);
}

int CString::CollateNoCase(const char* other) const {
    if (int primary = CollatePrimary(m_text, View(other))) return primary;
    return CompareNoCase(other);
}

int CString::Find(char ch, int start) const {
    if (start < 0) start = 0;
    if (start >= GetLength()) return -1;
    size_t pos = m_text.find(ch, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* sub, int start) const {
    if (!sub) return -1;
    if (start < 0) start = 0;
    if (start > GetLength()) return -1;
    size_t pos = m_text.find(sub, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const {
    size_t pos = m_text.rfind(ch);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::FindOneOf(const char* chars) const {
    if (!chars || !*chars) return -1;
    size_t pos = m_text.find_first_of(chars);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString CString::Mid(int first) const {
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
    int length = GetLength();
    first = std::clamp(first, 0, length);
    count = std::clamp(count, 0, length - first);
    return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Left(int count) const {
    return Mid(0, count);
}

CString CString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return Mid(GetLength() - count, count);
}

CString CString::SpanIncluding(const char* chars) const {
    if (!chars || !*chars) return CString();
    size_t end = m_text.find_first_not_of(chars);
    return CString(m_text.substr(0, end));
}

CString CString::SpanExcluding(const char* chars) const {
    if (!chars || !*chars) return *this;
    size_t end = m_text.find_first_of(chars);
    return CString(m_text.substr(0, end));
}

CString CString::Tokenize(const char* delims, int& start) const {
    int length = GetLength();
    if (start < 0 || start >= length) {
        start = -1;
        return CString();
    }
    if (!delims || !*delims) {
        CString rest = Mid(start);
        start = length;
        return rest;
    }
    size_t from = m_text.find_first_not_of(delims, static_cast<size_t>(start));
    if (from == std::string::npos) {
        start = -1;
        return CString();
    }
    size_t until = m_text.find_first_of(delims, from);
    if (until == std::string::npos) until = m_text.size();
    start = static_cast<int>(until) + 1;
    return CString(m_text.substr(from, until - from));
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}
CString& CString::Trim(char ch) {
    return TrimRight(ch).TrimLeft(ch);
}
CString& CString::Trim(const char* chars) {
    return TrimRight(chars).TrimLeft(chars);
}

CString& CString::TrimLeft() {
    return TrimLeft(kWhite);
}

CString& CString::TrimLeft(char ch) {
    size_t n = 0;
    while (n < m_text.size() && m_text[n] == ch) ++n;
    m_text.erase(0, n);
    return *this;
}

CString& CString::TrimLeft(const char* chars) {
    if (!chars || !*chars) return *this;
    size_t n = m_text.find_first_not_of(chars);
    m_text.erase(0, n);
    return *this;
}

CString& CString::TrimRight() {
    while (!m_text.empty() && IsWhite(m_text.back())) m_text.pop_back();
    return *this;
}

CString& CString::TrimRight(char ch) {
    while (!m_text.empty() && m_text.back() == ch) m_text.pop_back();
    return *this;
}

CString& CString::TrimRight(const char* chars) {
    if (!chars || !*chars) return *this;
    size_t last = m_text.find_last_not_of(chars);
    m_text.erase(last == std::string::npos ? 0 : last + 1);
    return *this;
}

CString& CString::MakeUpper() {
    for (char& c : m_text) c = static_cast<char>(ToUpper(c));
    return *this;
}

CString& CString::MakeLower() {
    for (char& c : m_text) c = static_cast<char>(ToLower(c));
    return *this;
}

CString& CString::MakeReverse() {
    std::reverse(m_text.begin(), m_text.end());
    return *this;
}

int CString::Replace(char oldCh, char newCh) {
    int count = 0;
    for (char& c : m_text) {
        if (c == oldCh) {
            c = newCh;
            ++count;
        }
    }
    return count;
}

int CString::Replace(const char* oldText, const char* newText) {
    std::string_view from = View(oldText);
    if (from.empty()) return 0;
    std::string_view to = View(newText);
    std::string result;
    int count = 0;
    size_t pos = 0;
    for (;;) {
        size_t hit = m_text.find(from, pos);
        if (hit == std::string::npos) break;
        result.append(m_text, pos, hit - pos);
        result += to;
        pos = hit + from.size();
        ++count;
    }
    if (count == 0) return 0;
    result.append(m_text, pos, std::string::npos);
    m_text = std::move(result);
    return count;
}

int CString::Remove(char ch) {
    size_t before = m_text.size();
    std::erase(m_text, ch);
    return static_cast<int>(before - m_text.size());
}

int CString::Insert(int index, char ch) {
    index = std::clamp(index, 0, GetLength());
    m_text.insert(static_cast<size_t>(index), 1, ch);
    return GetLength();
}

int CString::Insert(int index, const char* text) {
    index = std::clamp(index, 0, GetLength());
    m_text.insert(static_cast<size_t>(index), View(text));
    return GetLength();
}

int CString::Delete(int index, int count) {
    if (index < 0) index = 0;
    if (count > 0 && index < GetLength()) {
        count = std::min(count, GetLength() - index);
        m_text.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    }
    return GetLength();
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args) {
    m_text = FormatToString(format, args);
}

void CString::AppendFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    m_text += FormatToString(format, args);
    va_end(args);
}

CString FormatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CString result(FormatToString(format, args));
    va_end(args);
    return result;
}
