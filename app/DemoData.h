#pragma once
// The demo practice's data files, compiled into the program from demo/*.tsv
// and demo/data/ so that seed-demo works wherever q7host is installed.
#include <cstddef>
#include <string_view>

struct DemoFile {
    const char* kind;  // the file's name without .tsv: "tb", "sp", ...; for a
                       // data file its path below the data folder
    std::string_view content;
};

extern const DemoFile kDemoFiles[];
extern const size_t kDemoFileCount;

// Files of the read-only data folder ("KZBV/...").
extern const DemoFile kDemoDataFiles[];
extern const size_t kDemoDataFileCount;
