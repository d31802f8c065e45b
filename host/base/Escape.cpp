#include "host/base/Escape.h"

std::string XQEscapeField(std::string_view raw) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(raw.size());
    for (char c : raw) {
        auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (b < 0x20) {
                    out += "\\x";
                    out += kHex[b >> 4];
                    out += kHex[b & 15];
                } else {
                    out += c;
                }
        }
    }
    return out;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool XQUnescapeField(std::string_view escaped, std::string& raw) {
    std::string out;
    out.reserve(escaped.size());
    for (size_t i = 0; i < escaped.size(); ++i) {
        char c = escaped[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= escaped.size()) return false;
        switch (escaped[i]) {
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case '\\':
                out += '\\';
                break;
            case 'x': {
                int hi = i + 1 < escaped.size() ? HexDigit(escaped[i + 1]) : -1;
                int lo = i + 2 < escaped.size() ? HexDigit(escaped[i + 2]) : -1;
                if (hi < 0 || lo < 0) return false;
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default:
                return false;
        }
    }
    raw.swap(out);
    return true;
}
