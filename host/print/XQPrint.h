#pragma once
// The host's print library: the print-file writer, with which a module puts
// down what it wants printed as named variables and table rows, and the print
// module, which lays a data file out on its form and hands the document (a
// PDF) to the desktop.
//
// Data file: Windows-1252 text, one entry a line, fields separated by a tab:
//   V <name> <value>                          a variable (headings, the form)
//   C <name> <value>                          a table row
//   C <name> <value> <name2> <value2>         a table row with a second
//                                             variable ("Modus" = "Fett")
// The first line is the header "Q7DRUCK 1". Tab, CR, LF and backslash in
// names and values are written as \t, \r, \n and \\, so every entry stays
// on its line whatever the text holds.
#include <cstdio>
#include <vector>

#include "host/base/CString.h"
#include "host/base/Export.h"

class CWnd;

// The forms the print module knows.
inline constexpr int XQ_FORM_TEXTBAUSTEINLISTE = 7110;

struct XQFormular {
    int id;
    const char* name;  // what a caller looks a form up by
    const char* titel;
};
// The form table; nullptr when no form has that name or id.
Q7HOST_API const XQFormular* XQFindFormular(const CString& name);
Q7HOST_API const XQFormular* XQFindFormular(int id);

// A data file open for writing. Owns its handle; closes it when destroyed.
class Q7HOST_API CXQPrintFile {
  public:
    CXQPrintFile() = default;
    ~CXQPrintFile();
    CXQPrintFile(const CXQPrintFile&) = delete;
    CXQPrintFile& operator=(const CXQPrintFile&) = delete;

    // Creates the file anew (truncating an old one) and writes the header.
    // false when it cannot be created; the object stays closed.
    bool Create(const CString& path);
    bool IsOpen() const { return m_file != nullptr; }
    // true when every write since Create reached the file and it closed
    // cleanly; false after a failed write (a full disk, say) or when none was
    // open.
    bool Close();

    // Used by the writer functions: writes one entry line; false once a write
    // has failed.
    bool WriteEntry(const char* kind, const std::vector<CString>& fields);

  private:
    std::FILE* m_file = nullptr;
    bool m_failed = false;
};

// The writer. Each returns false when the file is not open or the write
// failed; a failure sticks until the file is closed.
Q7HOST_API bool Write_Variable(CXQPrintFile& file, const CString& name, const CString& value);
Q7HOST_API bool Write_Column(CXQPrintFile& file, const CString& name, const CString& value);
Q7HOST_API bool Write_2Columns(CXQPrintFile& file, const CString& name, const CString& value,
                               const CString& name2, const CString& value2);

// A data file as read back: its variables and its rows in order.
struct XQPrintRow {
    CString name, value;    // "Spalteninhalt", the row
    CString name2, value2;  // "Modus", "Fett"; empty for a plain row
};
struct XQPrintData {
    std::vector<std::pair<CString, CString>> variables;
    std::vector<XQPrintRow> rows;
    CString Variable(const CString& name) const;  // "" when not written
};
// Reads a data file; false (and data empty) when it cannot be read or is not
// a data file. Lines of an unknown kind are skipped, so older readers take
// newer files.
Q7HOST_API bool XQReadPrintData(const CString& path, XQPrintData& data);

// Page geometry and fonts of the table form; the rows are drawn in a fixed
// pitch font so that columns padded with blanks stay aligned.
struct XQPrintLayout {
    double pageWidth = 595.28, pageHeight = 841.89;  // A4 in points
    double margin = 42.0;
    double fontSize = 8.0, lineHeight = 10.5;
    const char* font = "DejaVu Sans Mono";
};

// Renders data to a PDF file. Returns the number of pages (at least 1), or 0
// when the document could not be written; the file is then removed.
Q7HOST_API int XQRenderPrintData(const XQPrintData& data, const CString& pdfPath,
                                 const XQPrintLayout& layout = XQPrintLayout());

// The print module. Both read the data file, lay it out on the form and hand
// the PDF (the data file's path with ".pdf") to the desktop. drucker 0 is the
// workstation's standard printer; optionen 0 none. PrintTable also takes the
// description of the tables the rows came from (table, key, sort order, the
// line table and its columns); the rows are in the data file already, so it
// prints them as PrintFile does. Return 0 on success; otherwise they show an error box and return
// 1 (data file unreadable or of another form) or 2 (document not writable).
Q7HOST_API int PrintFile(CWnd* owner, const CString& mdId, int formularId, const CString& datPath,
                         int drucker, int optionen);
Q7HOST_API int PrintTable(CWnd* owner, const CString& mdId, int formularId, const CString& datPath,
                          const CString& tabelle, const CString& schluessel,
                          const CString& sortierung, int ebenen, const CString& zeilenFeld,
                          const CString& zeilenFilter, const CString& zeilenNummer,
                          const CString& zeilenSortierung, const CString& verknuepfung,
                          const CString& verknuepfungZeile);
