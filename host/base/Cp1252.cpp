#include "host/base/Cp1252.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

// Code points of 0x80-0x9F; the undefined bytes keep their own number.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

char32_t CodePoint(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kHigh[byte - 0x80];
    return byte;
}

// -1 when Windows-1252 has no such character.
int ByteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == cp) return static_cast<int>(0x80 + i);
    }
    return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one sequence at text[pos]. Returns the number of bytes consumed
// (at least 1); cp is set only for a well-formed sequence.
size_t DecodeOne(std::string_view text, size_t pos, char32_t& cp, bool& ok) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    ok = false;
    if (lead < 0x80) {
        cp = lead;
        ok = true;
        return 1;
    }
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return 1;
    }
    char32_t value = lead & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
        if (pos + k >= text.size()) return k;
        unsigned char b = byte(pos + k);
        unsigned char lo = (k == 1) ? low : 0x80;
        unsigned char hi = (k == 1) ? high : 0xBF;
        if (b < lo || b > hi) return k;
        value = (value << 6) | (b & 0x3F);
    }
    cp = value;
    ok = true;
    return length;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) AppendUtf8(out, CodePoint(static_cast<unsigned char>(c)));
    return out;
}

namespace {

// The length of the ASCII text text begins with.
size_t AsciiPrefix(std::string_view text) {
    size_t at = 0;
    for (std::uint64_t word; at + 8 <= text.size(); at += 8) {
        std::memcpy(&word, text.data() + at, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (at < text.size() && static_cast<unsigned char>(text[at]) < 0x80) ++at;
    return at;
}

}  // namespace

void AppendUtf8ToCp1252(std::string& out, std::string_view text) {
    // Names and most values are ASCII, which stays as it is.
    size_t pos = AsciiPrefix(text);
    if (pos == text.size()) {
        out.append(text);
        return;
    }
    // Every sequence gives one byte, so the text's size bounds the result:
    // write into place and cut back, no growth per character.
    const size_t start = out.size();
    out.resize(start + text.size());
    char* to = out.data() + start;
    std::memcpy(to, text.data(), pos);
    to += pos;
    while (pos < text.size()) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        const auto next = pos + 1 < text.size() ? static_cast<unsigned char>(text[pos + 1]) : 0;
        if ((lead == 0xC3 || (lead == 0xC2 && next >= 0xA0)) && (next & 0xC0) == 0x80) {
            // U+00A0..U+00FF, the letters of Western Europe: the same byte.
            *to++ = static_cast<char>(((lead & 0x1F) << 6) | (next & 0x3F));
            pos += 2;
        } else {
            char32_t cp = 0;
            bool ok = false;
            pos += DecodeOne(text, pos, cp, ok);
            const int b = ok ? ByteOf(cp) : -1;
            *to++ = b < 0 ? '?' : static_cast<char>(b);
        }
        // Most texts are mostly ASCII between their other characters.
        const size_t run = AsciiPrefix(text.substr(pos));
        std::memcpy(to, text.data() + pos, run);
        to += run;
        pos += run;
    }
    out.resize(static_cast<size_t>(to - out.data()));
}

CString Utf8ToCp1252(std::string_view text) {
    std::string out;
    AppendUtf8ToCp1252(out, text);
    return CString(std::move(out));
}

CString Latin1ToCp1252(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] != b) c = '?';
    }
    return CString(std::move(out));
}

bool IsValidUtf8(std::string_view text) {
    for (size_t pos = 0; pos < text.size();) {
        char32_t cp = 0;
        bool ok = false;
        pos += DecodeOne(text, pos, cp, ok);
        if (!ok) return false;
    }
    return true;
}
