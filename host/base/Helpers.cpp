#include "host/base/Helpers.h"

#include <climits>

namespace {

const char kBlanks[] = " \t\r\n";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

CString Trim(const CString& s) {
    CString r(s);
    r.Trim(kBlanks);
    return r;
}

CString TrimLeft(const CString& s) {
    CString r(s);
    r.TrimLeft(kBlanks);
    return r;
}

CString TrimRight(const CString& s) {
    CString r(s);
    r.TrimRight(kBlanks);
    return r;
}

CString LeftFix(const CString& s, int width) {
    return AddBlanks(s.Left(width), width);
}

CString AddBlanks(const CString& s, int width) {
    CString r(s);
    if (r.GetLength() < width) r += Blank(width - r.GetLength());
    return r;
}

CString Blank(int count) {
    return CString(' ', count);
}

char FirstChar(const CString& s) {
    return s.IsEmpty() ? ' ' : s.GetAt(0);
}

bool NumStr(const CString& s, int minLen, int maxLen) {
    int length = s.GetLength();
    if (length < minLen || length > maxLen) return false;
    for (char c : s.str()) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

void ReplaceCharWith(CString& s, char from, char to) {
    s.Replace(from, to);
}

CString LineBreak(CString& rest, int width) {
    if (rest.IsEmpty()) return CString();
    if (width < 1) width = 1;
    CString piece;
    if (rest.GetLength() <= width) {
        piece = rest;
        rest.Empty();
        return piece;
    }
    // A blank right after a full piece is as good a break as one inside it.
    int cut = width;
    int blank = -1;
    for (int i = width; i >= 0; --i) {
        if (rest.GetAt(i) == ' ') {
            blank = i;
            break;
        }
    }
    if (blank >= 0) {
        piece = rest.Left(blank);
        piece.TrimRight(' ');
        if (!piece.IsEmpty()) cut = blank;
    }
    if (piece.IsEmpty()) piece = rest.Left(width);
    rest = rest.Mid(cut);
    rest.TrimLeft(' ');
    return piece;
}

CString FormatWindowText(const CString& s, int width) {
    return AddBlanks(s, width);
}

CString itoc(int value) {
    return FormatString("%d", value);
}

long long CardToInt64(const CString& s) {
    const std::string& text = s.str();
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate negatively so that LLONG_MIN is reachable.
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        int digit = text[i] - '0';
        if (value < (LLONG_MIN + digit) / 10) {
            value = LLONG_MIN;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
            break;
        }
        value = value * 10 - digit;
    }
    if (negative) return value;
    return value == LLONG_MIN ? LLONG_MAX : -value;
}

int CardToInt(const CString& s) {
    long long value = CardToInt64(s);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}
