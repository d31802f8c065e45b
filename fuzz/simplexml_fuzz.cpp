// The whole-document reader as the coding rule files reach it: any bytes
// give a tree within the limits, and a refused text always says why.
#include <cstdlib>
#include <string>

#include "host/xml/XQSimpleXML.h"

namespace {

size_t Count(const CXQXMLElement& e, int depth) {
    if (depth > CXQSimpleXMLReader::kMaxDepth) std::abort();
    if (e.name.IsEmpty() && depth > 1) std::abort();
    size_t n = 1;
    for (const CXQXMLElement& c : e.children) n += Count(c, depth + 1);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CXQSimpleXMLReader reader;
    CXQXMLElement root;
    const bool ok = reader.Parse(std::string(reinterpret_cast<const char*>(data), size), root);
    if (ok != reader.ErrorText().IsEmpty()) std::abort();
    if (ok && root.name.IsEmpty()) std::abort();
    if (root.name.IsEmpty() && !root.children.empty()) std::abort();
    if (Count(root, 1) > CXQSimpleXMLReader::kMaxElements) std::abort();
    // What the callers look up must hold for every tree.
    if (root.FirstChild("header") && root.FirstChild("header")->name != "header") std::abort();
    return 0;
}
