#pragma once
// SAX2 reading of XML files on expat, with namespace processing: elements
// are reported with their namespace URI (empty without one), local name and
// qualified name, texts in UTF-8. Files may be UTF-8 (with or without byte
// order mark), UTF-16 (byte order mark), ISO-8859-1, ISO-8859-15, US-ASCII
// or windows-1252.
//
// Memory stays bounded whatever the file holds:
// - the file is read in chunks;
// - of the text between two tags at most kMaxText bytes reach the handler
//   (cut at a character boundary); the rest is skipped and the read goes on;
// - no DTD or external entity is ever loaded, and entity references may not
//   make the bytes read plus the bytes expanded exceed kMaxAmplification
//   times the bytes read, once they pass kAmplificationThreshold; such a
//   file is refused.
#include <cstddef>
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

    // Why the handler refused the file; empty while it takes it.
    const CString& Refusal() const { return m_refusal; }

    // During startElement: the value (UTF-8) of the element's attribute
    // without namespace of that name, null when it has none. Files that keep
    // their data in attributes read them here.
    const char* Attribute(const char* name) const;

  protected:
    // A handler that cannot take in the rest of a file (it would outgrow
    // what the handler can hold) refuses it: the read stops after the
    // current event and fails with reason (German, Windows-1252) and the
    // line in the reader's ErrorText.
    void Refuse(const CString& reason) {
        if (m_refusal.IsEmpty()) m_refusal = reason;
    }

  private:
    friend class CXQSAXReader;
    friend struct SaxAttributes;
    CString m_refusal;
    const char* const* m_attributes = nullptr;  // expat's name, value pairs
};

class Q7HOST_API CXQSAXReader {
  public:
    static constexpr size_t kMaxText = 1024 * 1024;
    static constexpr size_t kAmplificationThreshold = 1024 * 1024;
    static constexpr float kMaxAmplification = 2.0f;

    void putContentHandler(SAXContentHandlerImpl* handler) { m_handler = handler; }
    // "schema-validation", "exhaustive-errors" and the SAX2 features
    // namespaces / namespace-prefixes are accepted; namespace processing is
    // always on and no schema is ever validated.
    bool putFeature(const CString& name, bool value);
    // Parses the file; false on an unreadable, ill-formed or refused file,
    // with the German reason in ErrorText (Windows-1252): the file that could
    // not be read, or what is wrong and at which line and column.
    bool parseURL(const CString& path);
    // The same for a document in memory.
    bool parse(const std::string& document);
    const CString& ErrorText() const { return m_error; }

  private:
    SAXContentHandlerImpl* m_handler = nullptr;
    CString m_error;
};
