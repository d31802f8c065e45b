#pragma once
// The host's text helpers for the module: copies, never in-place, except
// ReplaceCharWith and LineBreak, which work on their argument.
#include "host/base/CString.h"
#include "host/base/Export.h"

// Blank, tab, CR and LF removed from the ends.
Q7HOST_API CString Trim(const CString& s);
Q7HOST_API CString TrimLeft(const CString& s);
Q7HOST_API CString TrimRight(const CString& s);

// Exactly width characters: left-aligned, filled with blanks or cut.
Q7HOST_API CString LeftFix(const CString& s, int width);
// Blanks appended up to width; a longer text is left as it is.
Q7HOST_API CString AddBlanks(const CString& s, int width);
Q7HOST_API CString Blank(int count);
// The first character, a blank for an empty text.
Q7HOST_API char FirstChar(const CString& s);
// Digits only, and the length within [minLen, maxLen].
Q7HOST_API bool NumStr(const CString& s, int minLen, int maxLen);
Q7HOST_API void ReplaceCharWith(CString& s, char from, char to);

// Takes the next piece of at most width characters off the front of rest:
// broken at the last blank within the width (the blank itself stays with
// neither side), else cut hard at the width; blanks at the start of the new
// rest are dropped. Empty once rest is empty; a width below 1 counts as 1.
Q7HOST_API CString LineBreak(CString& rest, int width);

// Pads with blanks to width in the units of the host's list and combo
// controls; this host draws them in a fixed-pitch font, one unit per
// character. A longer text is not cut.
Q7HOST_API CString FormatWindowText(const CString& s, int width);

Q7HOST_API CString itoc(int value);
// Decimal text to number: blanks around it ignored, optional sign, reading
// stops at the first other character, 0 without digits, saturated at the
// limits of the type.
Q7HOST_API int CardToInt(const CString& s);
Q7HOST_API long long CardToInt64(const CString& s);
