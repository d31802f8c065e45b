#include "host/xml/XQSax.h"

#include <cstdio>
#include <cstring>

#include "host/base/HostContext.h"
#include "host/xml/internal/XQExpat.h"

// Hands the attributes of the element being started to the handler.
struct SaxAttributes {
    SaxAttributes(SAXContentHandlerImpl& handler, const XML_Char** attributes) : h(handler) {
        h.m_attributes = attributes;
    }
    ~SaxAttributes() { h.m_attributes = nullptr; }
    SAXContentHandlerImpl& h;
};

namespace {

using xqexpat::kChunk;
using xqexpat::Parser;

constexpr char kSeparator = '\x01';  // cannot occur in a name or URI

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

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** atts) {
    auto& c = *static_cast<Context*>(data);
    FlushText(c);
    SplitName(name, c);
    {
        SaxAttributes with(*c.handler, atts);
        c.handler->startElement(c.uri, c.local, c.qname);
    }
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

Parser MakeParser(Context& context) {
    Parser p(XML_ParserCreateNS(nullptr, kSeparator));
    if (!p) return p;
    context.parser = p.get();
    XML_SetReturnNSTriplet(p.get(), 1);
    XML_SetUserData(p.get(), &context);
    XML_SetElementHandler(p.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(p.get(), OnText);
    xqexpat::Secure(p.get());
    return p;
}

CString ErrorOf(XML_Parser p, const SAXContentHandlerImpl& handler) {
    return xqexpat::ErrorOf(p, handler.Refusal());
}

}  // namespace

const char* SAXContentHandlerImpl::Attribute(const char* name) const {
    if (!m_attributes) return nullptr;
    // Attributes in a namespace come as "uri SEP local SEP prefix".
    for (const char* const* a = m_attributes; *a; a += 2)
        if (std::strcmp(*a, name) == 0) return a[1];
    return nullptr;
}

CString SAXContentHandlerImpl::W2S(const std::string& text) {
    CString out;
    xqexpat::AppendCp1252(out.str(), text.data(), text.size());
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
    if (!xqexpat::FeedAll(p.get(), document)) {
        m_error = ErrorOf(p.get(), *m_handler);
        return false;
    }

    m_handler->endDocument();
    return true;
}
