#include "host/xml/XQSimpleXML.h"

#include <cstring>

#include "host/base/XQFile.h"
#include "host/xml/XQSax.h"
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

// A name without its prefix.
CString Local(const XML_Char* name) {
    const char* colon = std::strrchr(name, ':');
    return SAXContentHandlerImpl::W2S(colon ? colon + 1 : name);
}

struct Builder {
    XML_Parser parser = nullptr;
    CXQXMLElement* root;
    // The open elements, innermost last, with their character data so far
    // (UTF-8). Only the last child of an open element is ever open, and no
    // sibling is added before it closes, so the pointers stay valid.
    std::vector<std::pair<CXQXMLElement*, std::string>> open;
    size_t elements = 0;
    CString refusal;

    void Refuse(const CString& reason) {
        refusal = reason;
        XML_StopParser(parser, XML_FALSE);
    }

    // An element's text is its own data without the indentation around it.
    void Close() {
        auto& [element, text] = open.back();
        const size_t a = text.find_first_not_of(" \t\r\n");
        if (a != std::string::npos) {
            const size_t b = text.find_last_not_of(" \t\r\n");
            element->text = SAXContentHandlerImpl::W2S(text.substr(a, b - a + 1));
        }
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
        auto& children = b.open.back().first->children;
        children.emplace_back();
        e = &children.back();
    }
    e->name = Local(name);
    for (const XML_Char** a = atts; *a; a += 2) {
        // Namespace declarations are not content: the names they bind are
        // dropped anyway.
        if (std::strcmp(a[0], "xmlns") == 0 || std::strncmp(a[0], "xmlns:", 6) == 0) continue;
        e->attributes.emplace_back(Local(a[0]), SAXContentHandlerImpl::W2S(a[1]));
    }
    b.open.emplace_back(e, std::string());
}

void XMLCALL OnEnd(void* data, const XML_Char* /*name*/) {
    auto& b = *static_cast<Builder*>(data);
    if (!b.open.empty()) b.Close();
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    auto& b = *static_cast<Builder*>(data);
    if (!b.open.empty()) b.open.back().second.append(text, static_cast<size_t>(length));
}

}  // namespace

bool CXQSimpleXMLReader::Parse(const std::string& text, CXQXMLElement& root) {
    m_error.Empty();
    root = CXQXMLElement();
    // Without namespace processing: a prefix is dropped as the tree is
    // built, and a file that uses one it never declared still reads.
    xqexpat::Parser p(XML_ParserCreate(nullptr));
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
    const bool ok = xqexpat::FeedAll(p.get(), text);
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
