#pragma once
// SAX2 reading of XML files on expat, with namespace processing: elements
// are reported with their namespace URI (empty without one), local name and
// qualified name, texts in UTF-8. The file is read in chunks, so memory stays
// constant whatever its size. Files may be UTF-8 (with or without byte order
// mark), UTF-16 (byte order mark), ISO-8859-1, US-ASCII or windows-1252. No
// DTD or external entity is ever loaded; entity expansion is bounded by
// expat's amplification limits.
#include <string>

#include "host/base/CString.h"
#include "host/base/Export.h"

class Q7HOST_API SAXContentHandlerImpl {
  public:
    virtual ~SAXContentHandlerImpl() = default;
    virtual void startDocument() {}
    virtual void endDocument() {}
    virtual void startElement(const std::string& /*uri*/, const std::string& /*localName*/,
                              const std::string& /*qName*/) {}
    virtual void endElement(const std::string& /*uri*/, const std::string& /*localName*/,
                            const std::string& /*qName*/) {}
    virtual void characters(const std::string& /*text*/) {}

    // The parser's UTF-8 text as Windows-1252; characters it lacks become
    // "?". U+E000 to U+E01F become the controls 0x00 to 0x1F (how
    // CXQXMLWriter writes those).
    static CString W2S(const std::string& text);
};

class Q7HOST_API CXQSAXReader {
  public:
    void putContentHandler(SAXContentHandlerImpl* handler) { m_handler = handler; }
    // "schema-validation", "exhaustive-errors" and the SAX2 features
    // namespaces / namespace-prefixes are accepted; namespace processing is
    // always on and no schema is ever validated.
    bool putFeature(const CString& name, bool value);
    // Parses the file; false on an unreadable or ill-formed file, with the
    // reason in ErrorText (Windows-1252).
    bool parseURL(const CString& path);
    // The same for a document in memory.
    bool parse(const std::string& document);
    const CString& ErrorText() const { return m_error; }

  private:
    SAXContentHandlerImpl* m_handler = nullptr;
    CString m_error;
};
