#include "q7txtbst/TbInsert.h"

#include "host/base/CStrings.h"
#include "host/db/Records.h"
#include "host/dlg/XQControls.h"
#include "host/dlg/XQMessages.h"
#include "q7txtbst/TbStore.h"

namespace {

// The module hands every replacement text to the host's placeholder box
// without an owner and without a caption of its own; the box names the block
// whose text it fills, when one was found.
void FillPlaceholders(CString& text, const CString& kuerzel = CString()) {
    CXQBoxSubject subject(kuerzel);
    XQParamBox(text, nullptr, CString());
}

}  // namespace

void TbCrBeforeLf(CString& text) {
    text.Replace("\n", "\r\n");
}

void TbLineBreaksToBlanks(CString& text) {
    text.Replace('\r', ' ');
    text.Replace('\n', ' ');
}

bool ExpandTbBrackets(CQTbEntry& lines, CString& line) {
    CString result;
    CString rest = line;
    bool expanded = false;
    int open = rest.Find('[');
    while (open >= 0) {
        // The first "]" of what is left, counted from its start: one standing
        // before the "[" ends the expansion of this line.
        int close = rest.Find(']');
        if (close < 0 || close < open) break;
        CString key = rest.Mid(open + 1, close - open - 1);
        CString left = rest.Left(open);
        rest = rest.Mid(close + 1);
        const CString kuerzel = key;
        const bool found = LookupTb(lines, key);
        if (found) expanded = true;
        FillPlaceholders(key, found ? kuerzel : CString());
        TbCrBeforeLf(key);
        result += left;
        result += key;
        open = rest.Find('[');
    }
    result += rest;
    line = result;
    return expanded;
}

bool ExpandTbLastWord(CQTbEntry& lines, CString& text) {
    CString trimmed = text;
    trimmed.TrimRight();
    int blank = trimmed.ReverseFind(' ');
    CString prefix = blank >= 0 ? trimmed.Left(blank + 1) : CString();
    CString key = blank >= 0 ? trimmed.Mid(blank + 1) : trimmed;
    const CString kuerzel = key;
    if (!LookupTb(lines, key)) return false;
    FillPlaceholders(key, kuerzel);
    TbCrBeforeLf(key);
    text = prefix + key;
    return true;
}

bool ExpandTbString(CQTbEntry& lines, CString& text) {
    bool changed = false;
    CString copy = text;
    if (ExpandTbBrackets(lines, copy)) {
        text = copy;
        changed = true;
    }
    if (ExpandTbLastWord(lines, text)) changed = true;
    return changed;
}

bool ExpandTbMemo(CQTbEntry& lines, CStrings& memoLines) {
    bool written = false;
    for (int i = 0; i < memoLines.GetCount(); ++i) {
        CString line = memoLines.GetAt(i);
        if (!ExpandTbBrackets(lines, line)) continue;
        const int before = memoLines.GetCount();
        memoLines.SetAt(i, line);
        written = true;
        // A block of several lines becomes several memo lines; they are the
        // expansion's own text and are not searched again.
        i += memoLines.GetCount() - before;
    }
    const int count = memoLines.GetCount();
    if (count > 0) {
        CString last = memoLines.GetAt(count - 1);
        if (ExpandTbLastWord(lines, last)) {
            memoLines.SetAt(count - 1, last);
            written = true;
        }
    }
    return written;
}

void InsertTbIntoMemo(CXQLMemoX& memo, CString text) {
    FillPlaceholders(text);
    TbCrBeforeLf(text);
    memo.SetSelText(text);
}

void InsertTbIntoEdit(CXQLEditX& edit, CString text) {
    FillPlaceholders(text);
    TbLineBreaksToBlanks(text);
    edit.SetSelText(text);
}
