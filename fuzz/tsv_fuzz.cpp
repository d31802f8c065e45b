// The TSV reader of every kind: the first byte picks the kind, the rest is
// the file. Every input loads into the same database inside a transaction
// that is rolled back afterwards, so each starts from an empty one.
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "fuzz/FuzzHome.h"
#include "fuzz/FuzzInput.h"
#include "host/db/Tsv.h"
#include "host/db/XQDatabase.h"

namespace {

const char* const kKinds[] = {"tb",        "par",          "pat",     "freitext", "praxis",
                              "mandant",   "sp",           "strings", "diag",     "icdkapitel",
                              "icdgruppe", "icdsubgruppe", "icd",     "icdthes",  "icdversion",
                              "icdfav",    "ops",          "opstext", "opsfav",   "go"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzHome("tsv", true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const char* kind = kKinds[input.Byte() % (sizeof kKinds / sizeof kKinds[0])];
    const std::string content = input.Rest();
    CXQTransaction scope(dbDatabase);
    if (scope.Status() != 0) std::abort();
    CString error;
    if (XQLoadTsvText(kind, content, "fuzz", &error) == 0) {
        // What was stored must print again.
        std::ostringstream out;
        if (XQDumpTsv(kind, out, &error) != 0) std::abort();
    } else if (error.IsEmpty()) {
        std::abort();  // a refused file always says why
    }
    return 0;
}
