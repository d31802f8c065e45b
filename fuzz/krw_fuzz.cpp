// The coding rule edition reader on arbitrary bytes: each input becomes the
// only edition of a KBV folder and is read as the view reads it; the line
// helpers get the input's first line too. Whatever the bytes, the rules kept
// have ids, the detail keys are built from their entries, and the check
// scheme keeps its width.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/FuzzInput.h"
#include "host/base/HostContext.h"
#include "q7txtbst/Krw.h"

namespace {

std::string g_home, g_edition;

void Remove() {
    std::error_code ec;
    std::filesystem::remove_all(g_home, ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    g_home = (base / "q7fuzz-krw-XXXXXX").string();
    if (!mkdtemp(g_home.data())) std::abort();
    std::filesystem::create_directories(g_home + "/data/Kbv");
    g_edition = g_home + "/data/Kbv/krw_1.40_74_tf+2011q4_nr1.xml";
    Q7SetHome(g_home);
    std::atexit(Remove);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = FuzzInput(data, size).Rest();
    std::ofstream(g_edition, std::ios::binary | std::ios::trunc) << bytes;

    CKrw krw;
    KrwRegelMap regeln;
    KrwDetailMap details;
    krw.regeln = &regeln;
    krw.details = &details;
    krw.ReadKrw(true);
    for (const auto& [id, r] : regeln)
        if (id.IsEmpty() || id != r.id || r.pruefschema.GetLength() != 80) std::abort();
    for (const auto& [key, e] : details)
        if (key != e.regelId + e.art + e.zaehler) std::abort();

    CString line(bytes.substr(0, bytes.find('\n')));
    CString value, von, bis;
    unsigned number = 0;
    CKrw::GetAttribute(line, "V=", value);
    CKrw::GetAttributeNumber(line, "V=", number);
    CKrw::GetAttributePeriod(line, "V=", von, bis);
    CKrw::StripNamespacePrefix(line);
    CKrw::RemoveBlankAfterComma(line);
    if (line.str().find(", ") != std::string::npos) std::abort();
    CKrw::DecodeXmlEntities(line);
    if (line.str().find("&amp;") != std::string::npos) std::abort();
    int pos = 0;
    CKrw::ParseNumber(line, pos, number);
    return 0;
}
