// The exchange file's import handler as the import dialog feeds it.
#include <cstdlib>

#include "fuzz/FuzzXml.h"
#include "q7txtbst/TBImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    STbImportMap map;
    CTBImport handler(map);
    FuzzParse(handler, data, size);
    // What the store would get: every block under its own Kürzel, texts cut
    // to what the records hold.
    for (const auto& [kuerzel, block] : map) {
        if (block.tb.Kuerzel != kuerzel || kuerzel.GetLength() > 8) std::abort();
        for (const CQTbEntry_Fields& line : block.lines)
            if (line.TBENTRY.GetLength() > 160 || line.KYKUERZEL != kuerzel) std::abort();
    }
    return 0;
}
