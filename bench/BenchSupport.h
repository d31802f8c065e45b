#pragma once
// What the benchmarks share: a fresh practice folder and database, host data
// loaded from memory and the real ICD-10-GM catalogue (bench/RealCatalogue.h),
// reproducible random words, and a grid's first page of a query.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>

#include "bench/RealCatalogue.h"
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
