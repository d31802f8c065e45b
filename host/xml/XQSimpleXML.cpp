#include "host/xml/XQSimpleXML.h"

#include <cstring>
#include <optional>

#include "host/base/XQFile.h"
#include "host/xml/internal/XQExpat.h"

CString CXQXMLElement::GetAttribute(const CString& attributeName) const {
    for (const auto& [n, v] : attributes)
        if (n == attributeName) return v;
    return CString();
}

const CXQXMLElement* CXQXMLElement::FirstChild(const CString& childName) const {
    for (const CXQXMLElement& c : children)
        if (c.name == childName) return &c;
    return nullptr;
}

namespace {

// Appends a name without its prefix. Without namespace processing "a:" is a
// name too; it keeps its colon rather than become no name.
void AppendLocal(std::string& out, const XML_Char* name) {
    const char* colon = std::strrchr(name, ':');
    if (colon && colon[1]) name = colon + 1;
    xqexpat::AppendCp1252(out, name, std::strlen(name));
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct Builder {
    XML_Parser parser = nullptr;
    CXQXMLElement* root;
    // The open elements, innermost last. Only the last child of an open
    // element is ever open, and no sibling is added before it closes, so
    // the pointers stay valid. Their text is built in place: white space
    // before the first other character is never taken, and kept is the
    // length up to the last other one, where Close cuts.
    struct Open {
        CXQXMLElement* element;
        size_t kept = 0;
        bool begun = false;
    };
    std::vector<Open> open;
    size_t elements = 0;
    CString refusal;

    void Refuse(const CString& reason) {
        refusal = reason;
        XML_StopParser(parser, XML_FALSE);
    }

    // An element's text is its own data without the indentation around it.
    void Close() {
        const Open& o = open.back();
        o.element->text.str().resize(o.kept);
        open.pop_back();
    }
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** atts) {
    auto& b = *static_cast<Builder*>(data);
    if (static_cast<int>(b.open.size()) >= CXQSimpleXMLReader::kMaxDepth) {
        b.Refuse("Elemente zu tief verschachtelt");
        return;
    }
    if (++b.elements > CXQSimpleXMLReader::kMaxElements) {
        b.Refuse("zu viele Elemente");
        return;
    }
    CXQXMLElement* e = b.root;
    if (!b.open.empty()) {
        auto& children = b.open.back().element->children;
        // An element with children mostly has several: skip the smallest
        // steps of growth, each of which moves the siblings built so far.
        if (children.empty()) children.reserve(4);
        children.emplace_back();
        e = &children.back();
    }
    AppendLocal(e->name.str(), name);
    size_t count = 0;
    while (atts[2 * count]) ++count;
    if (count) e->attributes.reserve(count);
    for (const XML_Char** a = atts; *a; a += 2) {
        // Namespace declarations are not content: the names they bind are
        // dropped anyway.
        if (std::strncmp(a[0], "xmlns", 5) == 0 && (a[0][5] == '\0' || a[0][5] == ':')) continue;
        auto& [attributeName, value] = e->attributes.emplace_back();
        AppendLocal(attributeName.str(), a[0]);
        xqexpat::AppendCp1252(value.str(), a[1], std::strlen(a[1]));
    }
    b.open.push_back({e});
}

void XMLCALL OnEnd(void* data, const XML_Char* /*name*/) {
    auto& b = *static_cast<Builder*>(data);
    if (!b.open.empty()) b.Close();
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    auto& b = *static_cast<Builder*>(data);
    if (b.open.empty()) return;
    Builder::Open& o = b.open.back();
    const char* from = text;
    const char* end = text + length;
    if (!o.begun) {
        while (from < end && IsSpace(*from)) ++from;
        if (from == end) return;
        o.begun = true;
    }
    // The parser hands over whole characters, so a piece converts alone;
    // trailing white space is the same in both encodings.
    const char* last = end;
    while (last > from && IsSpace(last[-1])) --last;
    std::string& out = o.element->text.str();
    if (last > from) {
        xqexpat::AppendCp1252(out, from, static_cast<size_t>(last - from));
        o.kept = out.size();
    }
    out.append(last, static_cast<size_t>(end - last));
}

}  // namespace

bool CXQSimpleXMLReader::Parse(const std::string& text, CXQXMLElement& root) {
    m_error.Empty();
    root = CXQXMLElement();
    // Windows-1252 and ISO 8859-15 read as UTF-8: expat would convert them
    // byte by byte.
    int map[256];
    std::optional<xqexpat::SingleByteUtf8> utf8;
    if (xqexpat::DeclaresSingleByte(text, map)) utf8.emplace(map);
    // Without namespace processing: a prefix is dropped as the tree is
    // built, and a file that uses one it never declared still reads.
    xqexpat::Parser p(XML_ParserCreate(utf8 ? "UTF-8" : nullptr));
    if (!p) {
        m_error =
            "Parser nicht verf\xFC"
            "gbar";
        return false;
    }
    Builder b;
    b.parser = p.get();
    b.root = &root;
    XML_SetUserData(p.get(), &b);
    XML_SetElementHandler(p.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(p.get(), OnText);
    xqexpat::Secure(p.get());
    const bool ok = xqexpat::FeedAll(p.get(), text, utf8 ? &*utf8 : nullptr);
    if (!ok) m_error = xqexpat::ErrorOf(p.get(), b.refusal);
    // What a broken text left open counts as closed, with its text so far.
    while (!b.open.empty()) b.Close();
    return ok;
}

bool CXQSimpleXMLReader::ParseFile(const CString& path, CXQXMLElement& root) {
    root = CXQXMLElement();
    CXQFile file;
    if (!file.Open(path)) {
        m_error = file.ErrorText();
        return false;
    }
    std::string text;
    char c;
    while (file.GetByte(c)) text += c;
    if (file.Failed()) {
        m_error = file.ErrorText();
        return false;
    }
    return Parse(text, root);
}
