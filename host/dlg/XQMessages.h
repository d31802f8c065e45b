#pragma once
// The host's boxes: messages, the placeholder box, the progress box, file
// dialogs and the wait cursor. Each shows itself through the installed front
// end (XQFrontEnd.h) and returns the framework's codes.
//
// A message is given either as title and text, or by message group and
// number of the host's string table: the text is GetQ7String(group, number),
// the title the group's own title GetQ7String(group, 0) ("Hinweis" when the
// table has none). A group with a plain text uses the group's title too.
#include <vector>

#include "host/base/CString.h"

class CWnd;

// Notices with one button "OK"; return 1.
Q7HOST_API int Halt(const CString& title, const CString& text);
Q7HOST_API int Halt(int group, int number);
Q7HOST_API int Halt(int group, const CString& text);
Q7HOST_API int HaltE(const CString& title, const CString& text);  // error
Q7HOST_API int HaltE(int group, int number);
Q7HOST_API int HaltE(int group, const CString& text);
Q7HOST_API int HaltI(const CString& title, const CString& text);  // information
Q7HOST_API int HaltI(int group, int number);
Q7HOST_API int HaltI(int group, const CString& text);
// Halt and HaltE for a failure with its reason (German, Windows-1252): the box
// keeps the message's own text, the reason goes to the host log (one line,
// after the text) and to the box's details. An empty reason is not logged
// and shows no details.
Q7HOST_API int HaltReason(int group, int number, const CString& reason);
Q7HOST_API int HaltEReason(int group, const CString& text, const CString& reason);
// Like Halt / HaltE; title and text pass through GetQ7Text first.
Q7HOST_API int XQHalt(const CString& title, const CString& text);
Q7HOST_API int XQHaltE(const CString& title, const CString& text);

// The answers of the question boxes.
inline constexpr int XQ_IDYES = 10;
inline constexpr int XQ_IDNO = 11;
inline constexpr int XQ_IDCANCEL = 2;

// "Ja" / "Nein": XQ_IDYES, XQ_IDNO (also when the box is closed).
Q7HOST_API int SollIch(const CString& title, const CString& text);
Q7HOST_API int SollIch(int group, int number);
// "Ja" / "Nein" / "Abbrechen": XQ_IDYES, XQ_IDNO, XQ_IDCANCEL.
Q7HOST_API int SollIchAbbruch(const CString& title, const CString& text);
Q7HOST_API int SollIchAbbruch(int group, int number);
// The caller's buttons: 10 for the first, 11 for the second, and so on; a box
// closed without a choice answers as its last button. Title and text pass
// through GetQ7Text first, so "#group,number" references resolve.
Q7HOST_API int XQMsgBox(const CString& title, const CString& text,
                        const std::vector<CString>& buttons, int icon = 0);

// Fills the placeholders of text. A placeholder is "<<Label>>" or
// "<<Label=Vorgabe>>"; the box asks once for every distinct label, in order of
// first appearance, and replaces every occurrence of it. The value shown
// first is the first default given for the label anywhere in the text;
// "<<Datum>>" without one starts with today as dd.mm.yyyy (GetXQDate). The
// label runs to the first "=", the default to the ">>". Plain text stays: a
// "<<" without a ">>" after it, an empty label ("<<>>", "<<=x>>"), a line
// break inside; of two "<<" before a ">>" the later one opens the
// placeholder. A text without placeholders is left as it is, no box shows,
// and the result is true. Returns false when the user cancelled; text is
// then unchanged. An empty caption names the box as the default does.
Q7HOST_API bool XQParamBox(CString& text, CWnd* parent = nullptr,
                           const CString& caption = CString("Platzhalter ausf\xFCllen"));

// What the boxes opened in its lifetime are about, such as the Kürzel of the
// text block being filled in or deleted: a window front end adds it to their
// titles ("Platzhalter ausfüllen: HERZ"), where a caller cannot put it into
// the caption. The titles the boxes are given stay as they are (the text front
// end prints those). Subjects nest; the innermost one counts, an empty one
// names nothing.
class Q7HOST_API CXQBoxSubject {
  public:
    explicit CXQBoxSubject(const CString& subject);
    ~CXQBoxSubject();
    CXQBoxSubject(const CXQBoxSubject&) = delete;
    CXQBoxSubject& operator=(const CXQBoxSubject&) = delete;

    // title with the current subject: "title: subject", the subject alone
    // for an empty title, title alone without a subject.
    static CString Titled(const CString& title);

  private:
    CString m_outer;
};

// Progress box; one at a time (opening one closes the open one). Update
// returns false when the user cancelled, and true while none is open.
Q7HOST_API void Q7OpenProgressBox(const CString& text, int maximum = 100);
Q7HOST_API bool Q7UpdateProgressBox(int value, const CString& text = CString());
Q7HOST_API void Q7CloseProgressBox();

// File dialogs. filter: "Beschreibung|*.ext|...". path: in the proposed name,
// out the chosen file; the default extension is appended to a name without
// one (the extension may be given with or without its dot). Return false on
// cancel (path unchanged).
Q7HOST_API bool XQFileDialog(bool save, const CString& title, const CString& filter,
                             const CString& defaultExtension, CString& path);

// Hands a page or document to the desktop; hands a printed document over.
Q7HOST_API void XQOpenDocument(const CString& url);
Q7HOST_API void XQPrintDocument(const CString& path);

// Shows the wait cursor for its lifetime.
class Q7HOST_API CXQWaitCursor {
  public:
    CXQWaitCursor();
    ~CXQWaitCursor();
    CXQWaitCursor(const CXQWaitCursor&) = delete;
    CXQWaitCursor& operator=(const CXQWaitCursor&) = delete;
};
