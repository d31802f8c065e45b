// The catalogue import on arbitrary bytes: the input is the extract (CSV), a
// byte 0x01, the remedies file, a byte 0x02, then the ICD-10-GM master file;
// each is written to a file of its own and read as the load command reads
// them. Whatever the bytes, an import that fails leaves the catalogue as it
// was, and one that succeeds leaves codes in it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/FuzzHome.h"
#include "fuzz/FuzzInput.h"
#include "host/db/Icd.h"
#include "host/db/XQDatabase.h"
#include "host/db/XQStatus.h"

namespace {

std::string g_home;

CString Write(const char* name, const std::string& bytes) {
    const std::string path = g_home + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return CString(path);
}

// The catalogue's size and first code, enough to tell a replaced one.
std::string Fingerprint() {
    CQIcd icd(dbDatabase);
    if (icd.GetAll() != XQ_OK) return "-";
    return std::to_string(icd.AnzHits()) + ":" + icd.Code.str();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_home = FuzzHome("icdimport", true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const std::string extract = in.Until('\x01'), hmv = in.Until('\x02'), icd = in.Rest();
    const std::string before = Fingerprint();
    const int status = CQIcd::ReadFromXMLFile(
        dbDatabase, nullptr, Write("icd.xml", icd), hmv.empty() ? CString() : Write("hmv.xml", hmv),
        extract.empty() ? CString() : Write("auszug.csv", extract));
    const std::string after = Fingerprint();
    if (status != XQ_OK && after != before) std::abort();
    if (status == XQ_OK && (after == "-" || after.rfind("0:", 0) == 0)) std::abort();
    return 0;
}
