// The home folder's q7host.conf: whatever the file holds, the reader either
// names the server as one trimmed word sequence or says why not.
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string home = [] {
        std::string pattern = "/tmp/q7conf-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    {
        std::ofstream out(home + "/q7host.conf", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::string db, error;
    const bool ok = ReadHomeConfig(home, db, error);
    if (ok != error.empty()) std::abort();
    if (ok && !db.empty()) {
        if (db.find_first_of("#\n") != std::string::npos) std::abort();
        if (db.front() == ' ' || db.front() == '\t' || db.back() == ' ' || db.back() == '\t' ||
            db.back() == '\r')
            std::abort();
    }
    return 0;
}
