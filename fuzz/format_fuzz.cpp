// CString::Format and FormatString with formats made from the input. A
// variadic call must get the arguments its format asks for, so the input is
// read as a list of pieces, each literal text or one directive built from the
// forms the function supports (flags, width and precision also as "*", the
// length prefixes I64, I32, I, hh, h, l, ll, z, j, t, and every conversion);
// each directive is formatted by a call of its own with the argument of its
// type. Directives the function does not know (cut off, an unknown letter)
// take no argument and come as text. A width never exceeds three digits, so
// no result grows beyond a few kilobytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzInput.h"
#include "host/base/CString.h"

namespace {

enum class Arg { None, Int, Long, LongLong, Size, Double, Text, Pointer, Count };

struct Builder {
    FuzzInput& in;
    std::string format;
    int stars = 0;

    void Number() {
        const int digits = in.Byte() % 4;
        for (int i = 0; i < digits; ++i) format += static_cast<char>('0' + in.Byte() % 10);
    }
    void WidthOrStar() {
        if (in.Byte() % 4 == 0) {
            format += '*';
            ++stars;
        } else {
            Number();
        }
    }
    // One directive; returns the type of the argument it takes.
    Arg Directive() {
        format += '%';
        const uint8_t flags = in.Byte();
        for (int bit = 0; bit < 5; ++bit)
            if (flags & (1 << bit)) format += "-+ #0"[bit];
        WidthOrStar();
        if (flags & 0x20) {
            format += '.';
            WidthOrStar();
        }
        static const char* const kLengths[] = {"",  "I64", "I32", "I", "hh", "h",
                                               "l", "ll",  "z",   "j", "t"};
        const char* length = kLengths[in.Byte() % 11];
        const uint8_t pick = in.Byte();
        static const char kInts[] = "diouxX";
        static const char kFloats[] = "eEfFgGaA";
        static const char kUnknown[] = "kqyKQYbBrvw!&";
        switch (pick % 6) {
            case 0:
            case 1: {
                format += length;
                format += kInts[in.Byte() % 6];
                const std::string l = length;
                if (l == "I64" || l == "ll") return Arg::LongLong;
                if (l == "l") return Arg::Long;
                if (l == "I" || l == "z" || l == "j" || l == "t") return Arg::Size;
                return Arg::Int;
            }
            case 2:
                format += std::string(length) == "l" ? "l" : "";
                format += kFloats[in.Byte() % 8];
                return Arg::Double;
            case 3:
                format += "sscpn"[in.Byte() % 5];
                switch (format.back()) {
                    case 's':
                        return Arg::Text;
                    case 'c':
                        return Arg::Int;
                    case 'p':
                        return Arg::Pointer;
                    default:
                        return Arg::Count;
                }
            case 4:  // cut off: the format ends inside the directive
                format += length;
                return Arg::None;
            default:
                format += length;
                format += kUnknown[in.Byte() % (sizeof kUnknown - 1)];
                return Arg::None;
        }
    }
};

int64_t Integer(FuzzInput& in) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | in.Byte();
    return static_cast<int64_t>(value);
}

template <typename T>
void Call(CString& out, const std::string& format, int stars, int a, int b, T value) {
    switch (stars) {
        case 0:
            out.AppendFormat(format.c_str(), value);
            break;
        case 1:
            out.AppendFormat(format.c_str(), a, value);
            break;
        default:
            out.AppendFormat(format.c_str(), a, b, value);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    CString out;
    std::string all;  // the pieces' formats as one, for FormatString below
    int pieces = 0;
    while (!in.Empty() && ++pieces <= 64) {
        Builder b{in, {}, 0};
        // Literal text first ("%" doubled), then at most one directive.
        for (char c : in.Until('%')) {
            if (c == '\0') continue;
            b.format += c;
            if (c == '%') b.format += '%';
        }
        if (in.Empty()) {
            out.AppendFormat(b.format.c_str());
            break;
        }
        const Arg arg = b.Directive();
        const bool cutOff = arg == Arg::None && !b.format.empty() &&
                            std::string("kqyKQYbBrvw!&").find(b.format.back()) == std::string::npos;
        if (cutOff) {
            // Only at the very end is a directive really cut off.
            out.AppendFormat(b.format.c_str());
            break;
        }
        const int wa = static_cast<int>(Integer(in) % 1000);
        const int wb = static_cast<int>(Integer(in) % 1000);
        if (arg == Arg::None) {
            out.AppendFormat(b.format.c_str());
            all += b.format;
            continue;
        }
        const int64_t n = Integer(in);
        const std::string text = in.Until('\0');
        int count = 0;
        switch (arg) {
            case Arg::Int:
                Call(out, b.format, b.stars, wa, wb, static_cast<int>(n));
                break;
            case Arg::Long:
                Call(out, b.format, b.stars, wa, wb, static_cast<long>(n));
                break;
            case Arg::LongLong:
                Call(out, b.format, b.stars, wa, wb, static_cast<long long>(n));
                break;
            case Arg::Size:
                Call(out, b.format, b.stars, wa, wb, static_cast<size_t>(n));
                break;
            case Arg::Double: {
                double d;
                static_assert(sizeof d == sizeof n);
                __builtin_memcpy(&d, &n, sizeof d);
                Call(out, b.format, b.stars, wa, wb, d);
                break;
            }
            case Arg::Text:
                Call(out, b.format, b.stars, wa, wb, text.c_str());
                break;
            case Arg::Pointer:
                Call(out, b.format, b.stars, wa, wb, static_cast<const void*>(text.c_str()));
                break;
            case Arg::Count:
                Call(out, b.format, b.stars, wa, wb, &count);
                if (count != 0) std::abort();  // %n never writes
                break;
            case Arg::None:
                break;
        }
    }
    // Formats without directives read no argument at all.
    CString plain;
    plain.Format(all.c_str());
    const CString again = FormatString(all.c_str());
    if (plain != again) std::abort();
    if (out.GetLength() > 1 << 20) std::abort();
    return 0;
}
