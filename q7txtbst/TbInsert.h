#pragma once
// Expanding Kürzel in host fields: bracketed keys anywhere in a line and the
// last word of the target, each replaced by its block's text; and inserting a
// chosen block at a control's caret.
#include "host/base/CString.h"

class CQTbEntry;
class CStrings;
class CXQLMemoX;
class CXQLEditX;

// Every "[Kürzel]" of the line: true when at least one named a block; the
// line is then rebuilt (keys that named none lose their brackets).
bool ExpandTbBrackets(CQTbEntry& lines, CString& line);
// The last blank-separated word of text: true when it named a block; text is
// then its prefix followed by the block's text.
bool ExpandTbLastWord(CQTbEntry& lines, CString& text);
// Brackets, then the last word; true when text changed.
bool ExpandTbString(CQTbEntry& lines, CString& text);
// Brackets in every line, then the last word of the last line; lines are
// written back in place. true when any was.
bool ExpandTbMemo(CQTbEntry& lines, CStrings& memoLines);

// Memos show CR LF; a CR is put before every LF as it stands.
void TbCrBeforeLf(CString& text);
// Single-line targets: every CR and every LF becomes a blank.
void TbLineBreaksToBlanks(CString& text);

// Placeholders, then the text at the caret, replacing the selection.
void InsertTbIntoMemo(CXQLMemoX& memo, CString text);
void InsertTbIntoEdit(CXQLEditX& edit, CString text);
