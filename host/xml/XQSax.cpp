#include "host/xml/XQSax.h"

#include "host/base/HostContext.h"

// The system expat is built with DTD support; its header declares the
// amplification limits only then.
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "host/base/Cp1252.h"

namespace {

constexpr char kSeparator = '\x01';  // cannot occur in a name or URI
// expat scans a token that spans chunks again with every chunk, so a huge
// token (a long attribute value) costs time quadratic in its length over the
// chunk size: large chunks keep that small.
constexpr int kChunk = 1024 * 1024;

// Decodes the one code point a UTF-8 text of one character holds.
int CodePoint(const std::string& utf8) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    if (utf8.size() == 1) return s[0];
    if (utf8.size() == 2) return ((s[0] & 0x1F) << 6) | (s[1] & 0x3F);
    if (utf8.size() == 3) return ((s[0] & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F);
    return -1;
}

int XMLCALL UnknownEncoding(void* /*data*/, const XML_Char* name, XML_Encoding* info) {
    CString n(name);
    n.MakeLower();
    if (n != "windows-1252" && n != "cp1252" && n != "x-cp1252") return XML_STATUS_ERROR;
    for (int b = 0; b < 256; ++b)
        info->map[b] = CodePoint(Cp1252ToUtf8(std::string(1, static_cast<char>(b))));
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

struct Context {
    SAXContentHandlerImpl* handler;
    XML_Parser parser = nullptr;
    std::string uri, local, qname;
    std::string text;   // character data since the last tag, at most kMaxText
    bool full = false;  // the rest of this text is skipped
};

// A handler that refused the file stops the parser; expat then reports
// XML_ERROR_ABORTED and the reader the handler's reason.
void CheckRefusal(Context& c) {
    if (!c.handler->Refusal().IsEmpty()) XML_StopParser(c.parser, XML_FALSE);
}

// expat hands a text over in pieces (at entity references, line ends and
// buffer boundaries); handlers get each text between two tags whole, so a
// handler that stores a text does not keep only its last piece.
void FlushText(Context& c) {
    c.full = false;
    if (c.text.empty()) return;
    c.handler->characters(c.text);
    c.text.clear();
    // A huge text leaves no huge buffer behind.
    if (c.text.capacity() > 64 * 1024) c.text.shrink_to_fit();
}

// expat reports "uri SEP local SEP prefix" (triplets), or the bare name.
void SplitName(const XML_Char* name, Context& c) {
    std::string s(name);
    size_t a = s.find(kSeparator);
    if (a == std::string::npos) {
        c.uri.clear();
        c.local = s;
        c.qname = s;
        return;
    }
    c.uri = s.substr(0, a);
    size_t b = s.find(kSeparator, a + 1);
    c.local = s.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    c.qname = b == std::string::npos ? c.local : s.substr(b + 1) + ":" + c.local;
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** /*atts*/) {
    auto& c = *static_cast<Context*>(data);
    FlushText(c);
    SplitName(name, c);
    c.handler->startElement(c.uri, c.local, c.qname);
    CheckRefusal(c);
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
    auto& c = *static_cast<Context*>(data);
    FlushText(c);
    SplitName(name, c);
    c.handler->endElement(c.uri, c.local, c.qname);
    CheckRefusal(c);
}

// Keeps the first kMaxText bytes of a text, cut before a UTF-8 character
// that would not fit whole.
void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    auto& c = *static_cast<Context*>(data);
    if (c.full) return;
    size_t take = static_cast<size_t>(length);
    const size_t room = CXQSAXReader::kMaxText - c.text.size();
    if (take > room) {
        take = room;
        while (take > 0 && (static_cast<unsigned char>(text[take]) & 0xC0) == 0x80) --take;
        c.full = true;
    }
    c.text.append(text, take);
}

struct ParserFree {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

using Parser = std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree>;

Parser MakeParser(Context& context) {
    Parser p(XML_ParserCreateNS(nullptr, kSeparator));
    if (!p) return p;
    context.parser = p.get();
    XML_SetReturnNSTriplet(p.get(), 1);
    XML_SetUserData(p.get(), &context);
    XML_SetElementHandler(p.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(p.get(), OnText);
    XML_SetUnknownEncodingHandler(p.get(), UnknownEncoding, nullptr);
    // Never read the external DTD subset or parameter entities; without an
    // external entity handler no external general entity is opened either.
    XML_SetParamEntityParsing(p.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    // The texts a handler gets are capped, but expat builds an attribute
    // value whole, and expanding costs time: an exchange file declares no
    // entities, so beyond the first MiB the file may not grow by more than
    // its own size.
    XML_SetBillionLaughsAttackProtectionActivationThreshold(p.get(),
                                                            CXQSAXReader::kAmplificationThreshold);
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(p.get(),
                                                             CXQSAXReader::kMaxAmplification);
    return p;
}

// What expat found wrong, in German.
const char* Reason(XML_Error code) {
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

CString ErrorOf(XML_Parser p, const SAXContentHandlerImpl& handler) {
    const XML_Error code = XML_GetErrorCode(p);
    CString what;
    if (code == XML_ERROR_ABORTED && !handler.Refusal().IsEmpty()) {
        what = "Datei abgelehnt: " + handler.Refusal();
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

}  // namespace

CString SAXContentHandlerImpl::W2S(const std::string& text) {
    // U+E000..U+E01F are EE 80 80..9F in UTF-8; EE is always a lead byte in
    // the parser's well-formed output.
    if (text.find('\xEE') == std::string::npos) return Utf8ToCp1252(text);
    std::string plain;
    CString out;
    size_t i = 0;
    while (i < text.size()) {
        if (i + 2 < text.size() && text[i] == '\xEE' && text[i + 1] == '\x80' &&
            static_cast<unsigned char>(text[i + 2]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 2]) <= 0x9F) {
            out += Utf8ToCp1252(plain);
            plain.clear();
            out.str() += static_cast<char>(static_cast<unsigned char>(text[i + 2]) - 0x80);
            i += 3;
        } else {
            plain += text[i++];
        }
    }
    out += Utf8ToCp1252(plain);
    return out;
}

bool CXQSAXReader::putFeature(const CString& name, bool /*value*/) {
    return name == "schema-validation" || name == "exhaustive-errors" ||
           name == "http://xml.org/sax/features/namespaces" ||
           name == "http://xml.org/sax/features/namespace-prefixes";
}

bool CXQSAXReader::parseURL(const CString& path) {
    m_error.Empty();
    if (!m_handler) {
        m_error = "Kein Inhaltsverarbeiter";
        return false;
    }
    // Module paths may use Windows separators and are Windows-1252.
    FILE* f = std::fopen(NativePath(path).c_str(), "rb");
    if (!f) {
        m_error = "Datei nicht lesbar: " + path;
        return false;
    }
    Context context{m_handler};
    m_handler->m_refusal.Empty();
    Parser p = MakeParser(context);
    if (!p) {
        std::fclose(f);
        m_error =
            "Parser nicht verf\xFC"
            "gbar";
        return false;
    }
    m_handler->startDocument();
    bool ok = true;
    for (;;) {
        void* buffer = XML_GetBuffer(p.get(), kChunk);
        if (!buffer) {
            m_error = ErrorOf(p.get(), *m_handler);
            ok = false;
            break;
        }
        size_t n = std::fread(buffer, 1, kChunk, f);
        if (std::ferror(f)) {
            m_error = "Datei nicht lesbar (Lesefehler): " + path;
            ok = false;
            break;
        }
        bool last = n < static_cast<size_t>(kChunk);
        if (XML_ParseBuffer(p.get(), static_cast<int>(n), last) == XML_STATUS_ERROR) {
            m_error = ErrorOf(p.get(), *m_handler);
            ok = false;
            break;
        }
        if (last) break;
    }
    std::fclose(f);
    if (ok) m_handler->endDocument();
    return ok;
}

bool CXQSAXReader::parse(const std::string& document) {
    m_error.Empty();
    if (!m_handler) {
        m_error = "Kein Inhaltsverarbeiter";
        return false;
    }
    Context context{m_handler};
    m_handler->m_refusal.Empty();
    Parser p = MakeParser(context);
    if (!p) {
        m_error =
            "Parser nicht verf\xFC"
            "gbar";
        return false;
    }
    m_handler->startDocument();
    // In chunks, as from a file: expat would copy a whole document first.
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(kChunk, document.size() - at);
        const bool last = at + n == document.size();
        if (XML_Parse(p.get(), document.data() + at, static_cast<int>(n), last) ==
            XML_STATUS_ERROR) {
            m_error = ErrorOf(p.get(), *m_handler);
            return false;
        }
        at += n;
    } while (at < document.size());

    m_handler->endDocument();
    return true;
}
