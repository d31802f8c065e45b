#pragma once
// The practice folder of a fuzz target: in memory where the system offers it
// (every input writes and rolls back a journal), removed when the target
// ends, the practice database optionally open in it.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/base/CString.h"
#include "host/db/XQDatabase.h"

namespace fuzzhome {

inline std::string& Folder() {
    static std::string folder;
    return folder;
}

inline void Remove() {
    XQClosePracticeDatabase();
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
}

}  // namespace fuzzhome

// Makes the folder (name "q7fuzz-<name>-XXXXXX"), opens the practice
// database there when openDatabase, and returns the folder; aborts when it
// cannot, since no input could then be tried.
inline const std::string& FuzzHome(const char* name, bool openDatabase) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string& folder = fuzzhome::Folder();
    folder = (base / ("q7fuzz-" + std::string(name) + "-XXXXXX")).string();
    if (!mkdtemp(folder.data())) std::abort();
    CString error;
    if (openDatabase && XQOpenPracticeDatabase(folder, &error) != 0) std::abort();
    std::atexit(fuzzhome::Remove);
    return folder;
}
