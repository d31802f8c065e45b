// The text front end's script reader and the words of its lines. A line
// whose first word is "answer" is read as the answer to an open box, as the
// front end does while a box shows; any other line is taken apart as an
// action line is.
#include <cstdlib>
#include <sstream>
#include <string>

#include "host/ui/text/XQScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    CXQScript script(&in);
    bool boxOpen = false;
    try {
        for (;;) {
            if (boxOpen) {
                boxOpen = false;
                if (!script.Answer("MESSAGE")) break;
                continue;
            }
            if (!script.Next()) break;
            const CString& line = script.Current();
            if (line.IsEmpty() || line[0] == '#' || line[0] == ' ') std::abort();
            CString word, rest, head, last, after;
            xqtext::SplitWord(line, word, rest);
            xqtext::SplitLastWord(rest, head, last);
            xqtext::Unquote(rest, &after);
            xqtext::Number(last);
            const CString lower = xqtext::Lower(word);
            if (lower == "click") boxOpen = true;  // as if the click opened a box
            if (lower == "misfit") script.Misfit("passt nicht");
        }
    } catch (const XQScriptMisfit& misfit) {
        if (misfit.reason.empty() || !script.HasMisfit() || !script.Ended()) std::abort();
    }
    return 0;
}
