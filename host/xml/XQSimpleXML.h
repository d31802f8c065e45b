#pragma once
// A whole XML text as one tree of elements, parsed with expat. For the small
// documents of the KBV files (a file's head, a coding manual): the tree holds
// everything in memory, so callers bound what they hand in.
//
// Names are local names: a prefix ("krw:", "ehd:") is dropped, since the KBV
// writes the same elements with a prefix or as the default namespace. Texts
// and attribute values are Windows-1252 (characters it lacks become "?").
// Encodings: UTF-8 (with or without byte order mark), UTF-16 (byte order
// mark), US-ASCII, ISO-8859-1, ISO-8859-15 and windows-1252, as declared.
#include <string>
#include <utility>
#include <vector>

#include "host/base/CString.h"
#include "host/base/Export.h"

class Q7HOST_API CXQXMLElement {
  public:
    CString name;  // local name; empty for "no element"
    // The element's own character data, concatenated; white space at its
    // start and end removed (the indentation of a file is not content).
    CString text;
    std::vector<std::pair<CString, CString>> attributes;  // local name, value; in file order
    std::vector<CXQXMLElement> children;                  // in file order

    // The value of the attribute of that local name; empty when missing.
    CString GetAttribute(const CString& attributeName) const;
    // The first child of that local name; nullptr when none.
    const CXQXMLElement* FirstChild(const CString& childName) const;
};

class Q7HOST_API CXQSimpleXMLReader {
  public:
    // Limits that keep a damaged or hostile text from exhausting memory: a
    // text is refused when it nests deeper or holds more elements than this.
    static constexpr int kMaxDepth = 256;
    static constexpr size_t kMaxElements = 4 * 1024 * 1024;

    // Parses text (the file's bytes, as they are) into root, the document
    // element. Returns true for a complete, well-formed document. Otherwise
    // false with the German reason and line in ErrorText; root then holds
    // what was read before the text ended or went wrong (open elements
    // count as closed there), or an element with an empty name when not
    // even the document element began.
    bool Parse(const std::string& text, CXQXMLElement& root);
    bool ReadString(const std::string& text, CXQXMLElement& root) { return Parse(text, root); }
    // The same for a file (host path); an unreadable file gives false with
    // the file and reason in ErrorText and an empty root.
    bool ParseFile(const CString& path, CXQXMLElement& root);
    const CString& ErrorText() const { return m_error; }

  private:
    CString m_error;
};
