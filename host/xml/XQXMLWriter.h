#pragma once
// Writer of small XML documents from the host's Windows-1252 texts. The
// document is built in memory and written as UTF-8 with a declaration. Every
// call returns false instead of throwing; a failed call leaves the writer
// failed, so the caller may check once after Write.
//
// Escaping: & < > " ' as entities, CR as &#13; (a parser would turn a literal
// CR into LF). The C0 controls XML 1.0 cannot hold (every byte below 0x20
// except tab, LF and CR) are written as the private-use characters U+E000 +
// byte; SAXContentHandlerImpl::W2S turns them back into the control.
#include <string>
#include <vector>

#include "host/base/CString.h"
#include "host/base/Export.h"

class Q7HOST_API CXQXMLWriter {
  public:
    bool StartDocument();
    bool StartElement(const CString& name);
    // <name>text</name> inside the open element.
    bool CharElement(const CString& name, const CString& text);
    bool EndElement();   // closes the innermost open element
    bool EndDocument();  // false while an element is still open
    bool Write(const CString& path);

    bool Failed() const { return m_failed; }
    const std::string& Document() const { return m_doc; }  // UTF-8

    // The text as it appears in the document (UTF-8, escaped).
    static std::string Escape(const CString& text);

  private:
    bool Fail();
    void Indent();
    std::string m_doc;
    std::vector<std::string> m_open;
    bool m_started = false, m_ended = false, m_failed = false, m_hadRoot = false;
};
