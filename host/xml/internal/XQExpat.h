#pragma once
// What the host's two XML readers share on expat: the encodings expat does
// not know itself, the limits against hostile texts, and the German reasons.
// Internal to the host.
#ifndef Q7HOST_INTERNAL
#error "host/xml/internal/XQExpat.h is internal to the host"
#endif

// The system expat is built with DTD support; its header declares the
// amplification limits only then.
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "host/base/CString.h"
#include "host/base/Cp1252.h"
#include "host/xml/XQSax.h"

namespace xqexpat {

// expat scans a token that spans chunks again with every chunk, so a huge
// token (a long attribute value) costs time quadratic in its length over the
// chunk size: large chunks keep that small.
constexpr int kChunk = 1024 * 1024;

// Decodes the one code point a UTF-8 text of one character holds.
inline int CodePoint(const std::string& utf8) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    if (utf8.size() == 1) return s[0];
    if (utf8.size() == 2) return ((s[0] & 0x1F) << 6) | (s[1] & 0x3F);
    if (utf8.size() == 3) return ((s[0] & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F);
    return -1;
}

// ISO 8859-15 is Latin-1 with eight places changed; the KBV declares it for
// its files (the euro sign is 0xA4 there).
inline int Latin9(int b) {
    switch (b) {
        case 0xA4:
            return 0x20AC;
        case 0xA6:
            return 0x0160;
        case 0xA8:
            return 0x0161;
        case 0xB4:
            return 0x017D;
        case 0xB8:
            return 0x017E;
        case 0xBC:
            return 0x0152;
        case 0xBD:
            return 0x0153;
        case 0xBE:
            return 0x0178;
        default:
            return b;
    }
}

// The code points of the single-byte encodings beyond expat's own,
// Windows-1252 and ISO 8859-15, by the name a document declares; false for
// any other name.
inline bool SingleByteMap(const char* name, int (&map)[256]) {
    CString n(name);
    n.MakeLower();
    const bool cp1252 = n == "windows-1252" || n == "cp1252" || n == "x-cp1252";
    const bool latin9 = n == "iso-8859-15" || n == "iso8859-15" || n == "latin-9" || n == "latin9";
    if (!cp1252 && !latin9) return false;
    for (int b = 0; b < 256; ++b)
        map[b] = cp1252 ? CodePoint(Cp1252ToUtf8(std::string(1, static_cast<char>(b)))) : Latin9(b);
    return true;
}

inline int XMLCALL UnknownEncoding(void* /*data*/, const XML_Char* name, XML_Encoding* info) {
    if (!SingleByteMap(name, info->map)) return XML_STATUS_ERROR;
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

// When a text declares one of those encodings in the plain form files are
// written with (<?xml version="1.0" encoding="..."), fills map and returns
// true: such a text reads faster as UTF-8, since expat converts the bytes of
// an encoding it does not know one by one. The rest of the declaration is
// left to expat, which checks it the same way whatever the encoding.
inline bool DeclaresSingleByte(std::string_view text, int (&map)[256]) {
    size_t at = 0;
    const auto space = [&] {
        const size_t from = at;
        while (at < text.size() &&
               (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n'))
            ++at;
        return at > from;
    };
    const auto word = [&](std::string_view w) {
        if (text.substr(at, w.size()) != w) return false;
        at += w.size();
        return true;
    };
    // A quoted value; empty when there is none.
    const auto value = [&]() -> std::string_view {
        if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) return {};
        const size_t end = text.find(text[at], at + 1);
        if (end == std::string_view::npos || end > at + 64) return {};
        const std::string_view v = text.substr(at + 1, end - at - 1);
        at = end + 1;
        return v;
    };
    const auto pseudoAttribute = [&](std::string_view name) -> std::string_view {
        if (!space() || !word(name)) return {};
        space();
        if (!word("=")) return {};
        space();
        return value();
    };
    if (!word("<?xml") || pseudoAttribute("version") != "1.0") return false;
    const std::string_view encoding = pseudoAttribute("encoding");
    if (encoding.empty()) return false;
    for (char c : encoding)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_' || c == '.'))
            return false;
    // A byte beyond ASCII within the declaration is a fault expat names
    // differently in UTF-8: such a text takes the ordinary way.
    const size_t end = text.find("?>", at);
    if (end == std::string_view::npos || end > 256) return false;
    for (size_t i = at; i < end; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    return SingleByteMap(std::string(encoding).c_str(), map);
}

// A single-byte encoding's bytes in UTF-8, each at most three bytes.
class SingleByteUtf8 {
  public:
    explicit SingleByteUtf8(const int (&map)[256]) {
        for (int b = 0; b < 256; ++b) {
            const int c = map[b];
            if (c < 0x80) {
                m_utf8[b][0] = static_cast<char>(c);
                m_length[b] = 1;
            } else if (c < 0x800) {
                m_utf8[b][0] = static_cast<char>(0xC0 | (c >> 6));
                m_utf8[b][1] = static_cast<char>(0x80 | (c & 0x3F));
                m_length[b] = 2;
            } else {
                m_utf8[b][0] = static_cast<char>(0xE0 | (c >> 12));
                m_utf8[b][1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                m_utf8[b][2] = static_cast<char>(0x80 | (c & 0x3F));
                m_length[b] = 3;
            }
        }
    }

    // Writes text to to, which has room for three times its size; returns
    // the end of what it wrote. ASCII stays as it is in both encodings that
    // come here.
    char* Convert(const char* from, const char* end, char* to) const {
        while (from < end) {
            // The markup and most words are ASCII: eight bytes at a time.
            while (end - from >= 8) {
                std::uint64_t word;
                std::memcpy(&word, from, 8);
                if (word & 0x8080808080808080ull) break;
                std::memcpy(to, from, 8);
                from += 8;
                to += 8;
            }
            if (from == end) break;
            const auto b = static_cast<unsigned char>(*from++);
            std::memcpy(to, m_utf8[b], 3);
            to += m_length[b];
        }
        return to;
    }

  private:
    char m_utf8[256][3];
    unsigned char m_length[256];
};

// Appends the parser's UTF-8 as Windows-1252. U+E000..U+E01F stand for the
// control characters 0x00-0x1F, which XML 1.0 cannot carry; they are EE 80
// 80..9F in UTF-8, and EE is always a lead byte in the parser's output.
inline void AppendCp1252(std::string& out, const char* utf8, size_t length) {
    const char* end = utf8 + length;
    const char* plain = utf8;  // not yet converted
    for (const char* at = utf8;;) {
        const auto* ee = static_cast<const char*>(std::memchr(at, '\xEE', end - at));
        if (!ee) break;
        at = ee + 1;
        if (end - ee > 2 && ee[1] == '\x80' && static_cast<unsigned char>(ee[2]) >= 0x80 &&
            static_cast<unsigned char>(ee[2]) <= 0x9F) {
            AppendUtf8ToCp1252(out, std::string_view(plain, ee - plain));
            out += static_cast<char>(static_cast<unsigned char>(ee[2]) - 0x80);
            plain = at = ee + 3;
        }
    }
    AppendUtf8ToCp1252(out, std::string_view(plain, end - plain));
}

struct ParserFree {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};
using Parser = std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree>;

// The encodings and limits every reader sets on its parser.
inline void Secure(XML_Parser p) {
    XML_SetUnknownEncodingHandler(p, UnknownEncoding, nullptr);
    // Never read the external DTD subset or parameter entities; without an
    // external entity handler no external general entity is opened either.
    XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
    // Readers cap what they keep, but expat builds an attribute value whole
    // and expanding costs time: the files we read declare no entities, so
    // beyond the first MiB a file may not grow by more than its own size.
    XML_SetBillionLaughsAttackProtectionActivationThreshold(p,
                                                            CXQSAXReader::kAmplificationThreshold);
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(p, CXQSAXReader::kMaxAmplification);
}

// What expat found wrong, in German; nullptr for the rarer codes.
inline const char* Reason(XML_Error code) {
    switch (code) {
        case XML_ERROR_NO_MEMORY:
            return "nicht genug Speicher";
        case XML_ERROR_SYNTAX:
            return "Syntaxfehler";
        case XML_ERROR_NO_ELEMENTS:
            return "kein Element gefunden";
        case XML_ERROR_INVALID_TOKEN:
            return "ung\xFCltiges Zeichen oder Token";
        case XML_ERROR_UNCLOSED_TOKEN:
            return "Datei endet mitten in einem Tag";
        case XML_ERROR_PARTIAL_CHAR:
            return "unvollst\xE4ndiges Zeichen";
        case XML_ERROR_TAG_MISMATCH:
            return "schlie\xDF"
                   "endes Tag passt nicht zum offenen Element";
        case XML_ERROR_DUPLICATE_ATTRIBUTE:
            return "Attribut doppelt";
        case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
            return "Daten nach dem Wurzelelement";
        case XML_ERROR_UNDEFINED_ENTITY:
            return "unbekannte Entit\xE4t";
        case XML_ERROR_RECURSIVE_ENTITY_REF:
            return "Entit\xE4t verweist auf sich selbst";
        case XML_ERROR_BAD_CHAR_REF:
            return "ung\xFCltiger Zeichenverweis";
        case XML_ERROR_UNKNOWN_ENCODING:
            return "unbekannte Zeichenkodierung";
        case XML_ERROR_INCORRECT_ENCODING:
            return "Zeichenkodierung passt nicht zum Inhalt";
        case XML_ERROR_UNCLOSED_CDATA_SECTION:
            return "CDATA-Abschnitt nicht geschlossen";
        case XML_ERROR_UNBOUND_PREFIX:
            return "Namensraum-Pr\xE4"
                   "fix nicht deklariert";
        case XML_ERROR_XML_DECL:
            return "fehlerhafte XML-Deklaration";
        case XML_ERROR_AMPLIFICATION_LIMIT_BREACH:
            return "Entit\xE4ten w\xFC"
                   "rden die Datei auf mehr als das Doppelte anwachsen lassen";
        default:
            return nullptr;
    }
}

// The German error of a failed parse with its line and column; refusal is
// the reader's own reason when it stopped the parser itself.
inline CString ErrorOf(XML_Parser p, const CString& refusal) {
    const XML_Error code = XML_GetErrorCode(p);
    CString what;
    if (code == XML_ERROR_ABORTED && !refusal.IsEmpty()) {
        what = "Datei abgelehnt: " + refusal;
    } else if (code == XML_ERROR_AMPLIFICATION_LIMIT_BREACH) {
        what = CString("Datei abgelehnt: ") + Reason(code);
    } else if (const char* reason = Reason(code)) {
        what = CString("Datei nicht wohlgeformt: ") + reason;
    } else {
        what.Format("Datei nicht wohlgeformt: %s", XML_ErrorString(code));
    }
    what.AppendFormat(" (Zeile %d, Spalte %d)", static_cast<int>(XML_GetCurrentLineNumber(p)),
                      static_cast<int>(XML_GetCurrentColumnNumber(p)) + 1);
    return what;
}

// Parses a document in memory in chunks, as from a file (expat would copy a
// whole document first). With utf8, a document in that single-byte encoding
// goes to a parser created for UTF-8, each chunk converted straight into the
// parser's buffer. False when expat failed or was stopped.
inline bool FeedAll(XML_Parser p, const std::string& document,
                    const SingleByteUtf8* utf8 = nullptr) {
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(kChunk, document.size() - at);
        const bool last = at + n == document.size();
        const char* chunk = document.data() + at;
        if (utf8) {
            auto* buffer = static_cast<char*>(XML_GetBuffer(p, static_cast<int>(3 * n)));
            if (!buffer) return false;
            const char* end = utf8->Convert(chunk, chunk + n, buffer);
            if (XML_ParseBuffer(p, static_cast<int>(end - buffer), last) == XML_STATUS_ERROR)
                return false;
        } else if (XML_Parse(p, chunk, static_cast<int>(n), last) == XML_STATUS_ERROR) {
            return false;
        }
        at += n;
    } while (at < document.size());
    return true;
}

}  // namespace xqexpat
