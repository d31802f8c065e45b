#pragma once
// The demo practice's data files, compiled into the program from demo/*.tsv
// so that seed-demo works wherever q7host is installed.
#include <cstddef>
#include <string_view>

struct DemoFile {
    const char* kind;  // the file's name without .tsv: "tb", "sp", ...
    std::string_view content;
};

extern const DemoFile kDemoFiles[];
extern const size_t kDemoFileCount;
