#pragma once
// What the benchmarks share: a fresh practice folder and database, host data
// loaded from memory, reproducible random words, the real ICD-10-GM catalogue
// beside the project, and a grid's first page of a query.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>

#include "host/base/Cp1252.h"
#include "host/db/Tsv.h"
#include "host/db/XQDatabase.h"

// A new empty folder under the temporary directory; prefix names it.
inline std::string BenchHome(const char* prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "-XXXXXX";
    const char* made = mkdtemp(pattern.data());
    if (!made) std::abort();
    return made;
}

// Removes such a folder with all in it; what cannot go stays.
inline void RemoveBenchHome(const std::string& home) {
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
}

// Lower-case words of random length; the same seed gives the same words, so
// runs compare.
class RandomWords {
  public:
    explicit RandomWords(unsigned seed) : m_random(seed) {}
    std::string operator()(int minLength, int maxLength) {
        const int length = std::uniform_int_distribution<int>(minLength, maxLength)(m_random);
        std::string word;
        for (int i = 0; i < length; ++i)
            word += static_cast<char>('a' + std::uniform_int_distribution<int>(0, 25)(m_random));
        return word;
    }
    int Between(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(m_random);
    }

  private:
    std::mt19937 m_random;
};

// The catalogue lies beside the project (../shared/icd10gm); Q7_ICD_DIR
// points elsewhere.
inline std::string CatalogueDir() {
    const char* dir = getenv("Q7_ICD_DIR");
    if (dir && *dir) return dir;
    return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "shared" /
            "icd10gm")
        .string();
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

// A practice in a fresh folder, its database open while the object lives; the
// folder goes with it. A benchmark's practice derives from it and fills it.
struct BenchPractice {
    std::string home;
    std::string error;  // UTF-8; not empty: the data could not be loaded

    explicit BenchPractice(const char* prefix) : home(BenchHome(prefix)) {
        CString dbError;
        if (XQOpenPracticeDatabase(home, &dbError) != 0) std::abort();
    }
    ~BenchPractice() {
        XQClosePracticeDatabase();
        RemoveBenchHome(home);
    }
    BenchPractice(const BenchPractice&) = delete;
    BenchPractice& operator=(const BenchPractice&) = delete;

    // False with error set when the file does not load.
    bool Load(const char* kind, const std::string& content) {
        error = LoadTsv(kind, content);
        return error.empty();
    }
    // A benchmark without its data is skipped with the reason, not timed.
    bool Ready(benchmark::State& state) const {
        if (!error.empty()) state.SkipWithError(error.c_str());
        return error.empty();
    }
};

// The one T of the run, built when a benchmark first asks for it, so that a
// filtered run fills only the practices it times.
template <class T>
T& BenchOnce() {
    static T once;
    return once;
}

// What a grid shows of a fresh query: the row it stands on and 19 more.
template <class Query>
void FetchGridPage(Query& query) {
    for (int i = 1; i < 20; ++i) query.Next();
}
