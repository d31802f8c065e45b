#include "host/xml/XQXMLWriter.h"

#include <cstdio>

#include "host/base/Cp1252.h"
#include "host/base/HostContext.h"

namespace {

// An element name as the writer accepts it: ASCII letters, digits, "_", "-",
// "." and ":", not starting with a digit, "-" or ".".
bool IsName(const CString& name) {
    if (name.IsEmpty()) return false;
    for (int i = 0; i < name.GetLength(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        bool alpha = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
        bool other = (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!alpha && !(other && i > 0)) return false;
    }
    return true;
}

}  // namespace

std::string CXQXMLWriter::Escape(const CString& text) {
    std::string out;
    out.reserve(text.GetLength() + 8);
    std::string run;  // plain bytes, converted in one go
    auto flush = [&] {
        if (!run.empty()) out += Cp1252ToUtf8(run);
        run.clear();
    };
    for (char ch : text.str()) {
        unsigned char c = static_cast<unsigned char>(ch);
        const char* entity = nullptr;
        switch (c) {
            case '&':
                entity = "&amp;";
                break;
            case '<':
                entity = "&lt;";
                break;
            case '>':
                entity = "&gt;";
                break;
            case '"':
                entity = "&quot;";
                break;
            case '\'':
                entity = "&apos;";
                break;
            case '\r':
                entity = "&#13;";
                break;
            default:
                break;
        }
        if (entity) {
            flush();
            out += entity;
        } else if (c < 0x20 && c != '\t' && c != '\n') {
            flush();
            // U+E000 + c in UTF-8: EE 80 (80 + c)
            out += '\xEE';
            out += '\x80';
            out += static_cast<char>(0x80 + c);
        } else {
            run += ch;
        }
    }
    flush();
    return out;
}

bool CXQXMLWriter::Fail() {
    m_failed = true;
    return false;
}

void CXQXMLWriter::Indent() {
    m_doc += '\n';
    m_doc.append(m_open.size() * 2, ' ');
}

bool CXQXMLWriter::StartDocument() {
    m_doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    m_open.clear();
    m_started = true;
    m_ended = false;
    m_failed = false;
    m_hadRoot = false;
    return true;
}

bool CXQXMLWriter::StartElement(const CString& name) {
    if (m_failed || !m_started || m_ended || !IsName(name)) return Fail();
    if (m_open.empty()) {
        if (m_hadRoot) return Fail();  // one root only
        m_hadRoot = true;
    }
    Indent();
    m_doc += '<';
    m_doc += name.str();
    m_doc += '>';
    m_open.push_back(name.str());
    return true;
}

bool CXQXMLWriter::CharElement(const CString& name, const CString& text) {
    if (m_failed || m_open.empty() || !IsName(name)) return Fail();
    Indent();
    m_doc += '<';
    m_doc += name.str();
    m_doc += '>';
    m_doc += Escape(text);
    m_doc += "</";
    m_doc += name.str();
    m_doc += '>';
    return true;
}

bool CXQXMLWriter::EndElement() {
    if (m_failed || m_open.empty()) return Fail();
    std::string name = std::move(m_open.back());
    m_open.pop_back();
    Indent();
    m_doc += "</";
    m_doc += name;
    m_doc += '>';
    return true;
}

bool CXQXMLWriter::EndDocument() {
    if (m_failed || !m_started || m_ended || !m_hadRoot || !m_open.empty()) return Fail();
    m_doc += '\n';
    m_ended = true;
    return true;
}

bool CXQXMLWriter::Write(const CString& path) {
    if (m_failed || !m_ended) return Fail();
    const std::string native = NativePath(path);
    FILE* f = std::fopen(native.c_str(), "wb");
    if (!f) return Fail();
    bool ok = std::fwrite(m_doc.data(), 1, m_doc.size(), f) == m_doc.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::remove(native.c_str());
        return Fail();
    }
    return true;
}
