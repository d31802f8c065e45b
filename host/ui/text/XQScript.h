#pragma once
// Inside the text front end only: the script that drives it, read one line
// ahead, the words of its lines, and what happens when a line does not fit
// what the dialogs show.
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "host/base/CString.h"

// Thrown by CXQScript::Misfit unless a handler throws first. The front end
// catches it in RunModal and in its boxes, so it never passes through dialog
// code. reason is UTF-8.
struct XQScriptMisfit {
    std::string reason;
};

class CXQScript {
  public:
    // script may be null (no script); not owned.
    explicit CXQScript(std::istream* script);

    void SetMisfitHandler(std::function<void(const std::string& reasonUtf8)> handler);
    void SetInteractive(bool interactive);
    bool Interactive() const { return m_interactive; }

    // True when no line is left (or there is no script, or it has misfit).
    bool Ended();
    // Makes the next action line the current one; false at the end. A line
    // that is not UTF-8 is a misfit (Misfit throws).
    bool Next();
    const CString& Current() const { return m_current; }
    // The argument of the answer line that must come next while a box is
    // open; nullopt when the script has ended (the box is closed instead).
    std::optional<CString> Answer(const char* box);

    // The current line does not fit: the reason names the line. An
    // interactive script only reports it; otherwise the handler is called,
    // and when it returns (or there is none) the misfit is kept and the
    // script reads no more lines. Throws XQScriptMisfit in every case the
    // handler does not throw.
    [[noreturn]] void Misfit(const CString& what);
    bool HasMisfit() const { return m_misfit; }
    // UTF-8, with the "Zeile N (LINE): " of the line ("Zeile N: " for a line
    // that cannot be shown).
    const std::string& MisfitReason() const { return m_reason; }

  private:
    bool Peek();

    std::istream* m_script;
    std::function<void(const std::string&)> m_handler;
    bool m_interactive = false;
    bool m_misfit = false;
    std::string m_reason;
    // One line read ahead, so that the end of the script is known before the
    // next action is asked for.
    bool m_havePending = false;
    bool m_ended = false;
    CString m_pending;
    int m_pendingNumber = 0;
    bool m_pendingValid = true;
    int m_lineNumber = 0;
    // The action line in work, for the messages.
    CString m_current;
    int m_currentNumber = 0;
};

// The words of a script line.
namespace xqtext {

// A whole number of decimal digits; nothing else.
std::optional<int> Number(const CString& text);
CString Lower(CString text);
// First word and the rest (leading blanks of the rest dropped).
void SplitWord(const CString& text, CString& word, CString& rest);
// Last word and what comes before it (trailing blanks dropped).
void SplitLastWord(const CString& text, CString& head, CString& last);
// A name in quotes loses them; rest (may be null) gets what follows the
// closing quote, or nothing when the text is not quoted.
CString Unquote(const CString& text, CString* rest);

}  // namespace xqtext
