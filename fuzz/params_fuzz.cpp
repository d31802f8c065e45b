// The placeholder parser behind XQParamBox: a front end that answers every
// placeholder with a value of its own, so the text is parsed and filled
// without a box showing.
#include <cstdlib>
#include <string>
#include <vector>

#include "host/dlg/XQFrontEnd.h"
#include "host/dlg/XQMessages.h"

namespace {

struct Answering : CXQSilentFrontEnd {
    std::vector<XQParamField> asked;
    bool ParamBox(const CString&, std::vector<XQParamField>& fields) override {
        asked = fields;
        for (XQParamField& field : fields) field.value = "[" + field.label + "]";
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Answering front;
    XQSetFrontEnd(&front);
    front.asked.clear();
    CString text(std::string(reinterpret_cast<const char*>(data), size));
    const CString before = text;
    if (!XQParamBox(text)) std::abort();
    if (front.asked.empty() && text != before) std::abort();  // nothing to fill, nothing changed
    for (size_t i = 0; i < front.asked.size(); ++i) {
        const CString& label = front.asked[i].label;
        if (label.IsEmpty() || label.FindOneOf("\r\n") >= 0 || label.Find('=') >= 0) std::abort();
        for (size_t k = 0; k < i; ++k)
            if (front.asked[k].label == label) std::abort();  // asked once per label
    }
    XQSetFrontEnd(nullptr);
    return 0;
}
