// The coding rule edition reader on arbitrary bytes: each input becomes the
// only edition of a KBV folder and is read as the view reads it; the line
// helpers get the input's first line too. Whatever the bytes, the rules kept
// have ids, the detail keys are built from their entries, and the check
// scheme keeps its width.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/FuzzHome.h"
#include "fuzz/FuzzInput.h"
#include "host/base/HostContext.h"
#include "q7txtbst/Krw.h"
#include "q7txtbst/KrwText.h"

namespace {

std::string g_home, g_edition;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_home = FuzzHome("krw", false);
    std::filesystem::create_directories(g_home + "/data/Kbv");
    g_edition = g_home + "/data/Kbv/krw_1.40_74_tf+2011q4_nr1.xml";
    Q7SetHome(g_home);
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
    size_t pairs = 0;  // ", " cannot overlap itself: each one loses its blank
    for (size_t at = line.str().find(", "); at != std::string::npos;
         at = line.str().find(", ", at + 2))
        ++pairs;
    const size_t before = line.str().size();
    CKrw::RemoveBlankAfterComma(line);
    if (line.str().size() != before - pairs) std::abort();
    CKrw::DecodeXmlEntities(line);
    if (line.str().find("&amp;") != std::string::npos) std::abort();
    int pos = 0;
    CKrw::ParseNumber(line, pos, number);

    // The splitter of rule and manual texts: its pieces are the text, none
    // wider than asked.
    const int width = 1 + static_cast<int>(bytes.size() % 130);
    std::string joined;
    for (const CString& piece : cut(line, width)) {
        if (piece.GetLength() > width) std::abort();
        joined += piece.str();
    }
    if (joined != line.str()) std::abort();
    return 0;
}
