#pragma once
// What the benchmarks share: a fresh practice folder and database, in the
// folder or on the practice server, host data loaded from memory and the real
// ICD-10-GM catalogue (bench/RealCatalogue.h), reproducible random words, and
// a grid's first page of a query.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "bench/RealCatalogue.h"
#include "host/db/XQDatabase.h"
#include "tests/host/TestServer.h"

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

// Where a benchmark's practice database lives: the file in its folder, or a
// schema of its own on the practice server named by Q7_PG_HOST, Q7_PG_PORT
// and Q7_PG_USER (over its Unix socket or loopback), the catalogues then in
// the folder's catalogue file.
enum BenchStore { kFileStore = 0, kServerStore = 1 };

// A practice in a fresh folder, its database open while the object lives; the
// folder, and on the server the schema, go with it. A benchmark's practice
// derives from it and fills it unless error is set.
struct BenchPractice {
    std::string home;
    BenchStore store;
    std::string schema;  // on the server: the practice's schema in q7bench
    std::string error;   // UTF-8; not empty: no store, or the data could not be loaded

    explicit BenchPractice(const char* prefix, BenchStore where = kFileStore)
        : home(BenchHome(prefix)), store(where) {
        CString dbError;
        if (store == kFileStore) {
            if (XQOpenPracticeDatabase(home, &dbError) != 0) std::abort();
            return;
        }
        if (!q7test::ServerAvailable()) {
            error = "kein Praxisserver: Q7_PG_HOST, Q7_PG_PORT (und Q7_PG_USER) setzen";
            return;
        }
        const std::string url =
            q7test::FreshServerPractice(schema, error, "q7bench", std::string("b_") + prefix);
        if (url.empty()) return;
        if (XQOpenPracticeDatabase(home, url.c_str(), true, &dbError) != 0)
            error = "Praxisserver: " + Cp1252ToUtf8(dbError.str());
        opened = error.empty();
    }
    virtual ~BenchPractice() {
        if (store == kFileStore || opened) XQClosePracticeDatabase();
        q7test::DropServerPractice(schema, "q7bench");
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
    // On the server the data is first settled as in a practice's day to
    // day (vacuumed, its statistics known), not as right after its load.
    bool Ready(benchmark::State& state) {
        if (error.empty() && store == kServerStore && !settled) {
            const std::string failed = q7test::ServerExec("q7bench", "VACUUM ANALYZE");
            if (!failed.empty()) error = "VACUUM: " + failed;
            settled = true;
        }
        if (!error.empty()) state.SkipWithError(error.c_str());
        return error.empty();
    }

  private:
    bool opened = false;
    bool settled = false;
};

// The practice of the run on store: there is one open database at a time,
// so asking for the other store (or another kind of practice) closes the
// open one first. Register a file's benchmarks store by store, so that a run
// builds each practice once.
inline std::unique_ptr<BenchPractice>& BenchLivePractice() {
    static std::unique_ptr<BenchPractice> live;
    return live;
}
template <class T>
T& BenchOn(BenchStore store) {
    std::unique_ptr<BenchPractice>& live = BenchLivePractice();
    T* practice = dynamic_cast<T*>(live.get());
    if (!practice || practice->store != store) {
        live.reset();
        live = std::make_unique<T>(store);
        practice = static_cast<T*>(live.get());
    }
    return *practice;
}

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
