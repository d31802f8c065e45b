#pragma once
// Inside the text front end only: every line it prints, and the dump of a
// dialog (the host's command-line contract describes its lines).
#include <iosfwd>
#include <string>
#include <vector>

#include "host/base/CString.h"

class CWnd;
class CXQDialog;
class CXQGridX;
class CXQScript;

namespace xqtext {

// Everything printed is escaped so that one item stays one line, then UTF-8.
std::string Out(const CString& text);

}  // namespace xqtext

class CXQTextDump {
  public:
    // Neither is owned. Once the script has misfit nothing more is printed:
    // the run only unwinds then, and its output ends where the script did.
    CXQTextDump(std::ostream& out, const CXQScript& script) : m_out(out), m_script(script) {}

    // One UTF-8 line, flushed at once.
    void Print(const std::string& line);
    // The visible controls in tab order, then the visible toolbar buttons.
    void Dialog(const CXQDialog& dialog);

  private:
    void Control(CWnd& control);
    // The first lines and the page around the cursor, as the grid fetches
    // them; the cursor and the record set come back where they were.
    static std::vector<std::string> GridLines(CXQGridX& grid);

    std::ostream& m_out;
    const CXQScript& m_script;
};
