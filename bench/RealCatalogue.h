#pragma once
// The real ICD-10-GM catalogue beside the project (shared/icd10gm), read the
// same way by the benchmarks, the search quality tool and the tests: where it
// lies, its files (the large ones xz-packed), its kinds in load order, and
// loading it whole into the open practice database.
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "host/base/Cp1252.h"
#include "host/db/Tsv.h"

// Q7_ICD_DIR when set; else the first shared/icd10gm found going up from the
// source tree, so that a checkout in a folder of its own finds it as well.
inline std::string CatalogueDir() {
    const char* dir = getenv("Q7_ICD_DIR");
    if (dir && *dir) return dir;
    const std::filesystem::path tree = std::filesystem::path(__FILE__).parent_path().parent_path();
    for (std::filesystem::path up = tree.parent_path(); !up.empty(); up = up.parent_path()) {
        std::error_code ec;
        if (std::filesystem::is_directory(up / "shared" / "icd10gm", ec))
            return (up / "shared" / "icd10gm").string();
        if (up == up.parent_path()) break;
    }
    return (tree.parent_path() / "shared" / "icd10gm").string();
}

// Reads a catalogue file, unpacking the xz ones; empty when missing.
inline std::string ReadCatalogueFile(const std::string& name) {
    const std::string path = CatalogueDir() + "/" + name;
    std::string command;
    if (std::filesystem::exists(path + ".xz"))
        command = "xz -dc '" + path + ".xz'";
    else if (std::filesystem::exists(path))
        command = "cat '" + path + "'";
    else
        return std::string();
    std::string content;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return content;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) content.append(buffer, n);
    pclose(pipe);
    return content;
}

// The kinds of the catalogue's files, in the order they load.
inline constexpr const char* kIcdKinds[] = {"icdkapitel", "icdgruppe", "icdsubgruppe",
                                            "icd",        "icdthes",   "icdversion"};

// One kind's file of the catalogue; empty, with error saying which file is
// missing where, when it is not there.
inline std::string ReadIcdKind(const char* kind, std::string& error) {
    std::string content = ReadCatalogueFile(std::string(kind) + ".tsv");
    if (content.empty())
        error = std::string("ICD-Katalog fehlt: ") + kind + ".tsv in " + CatalogueDir();
    return content;
}

// Loads one host data file from memory into the open practice database: the
// reason in UTF-8 when it fails, empty when it loaded.
inline std::string LoadTsv(const char* kind, const std::string& content) {
    CString error;
    if (XQLoadTsvText(kind, content, kind, &error) == 0) return std::string();
    return Cp1252ToUtf8(error.str());
}

// All kinds of the catalogue into the open practice database: empty when
// loaded, else the reason (UTF-8) naming the missing or refused file.
inline std::string LoadRealCatalogue() {
    for (const char* kind : kIcdKinds) {
        std::string error;
        const std::string content = ReadIcdKind(kind, error);
        if (content.empty()) return error;
        error = LoadTsv(kind, content);
        if (!error.empty()) return std::string(kind) + ".tsv: " + error;
    }
    return std::string();
}
