// Loading host data files against what SQLite itself needs for the same rows:
// 100,000 generated text blocks (1 to 10 lines each) and the real ICD-10-GM
// catalogue (../shared/icd10gm, all six kinds), each into a fresh practice
// database, and the same rows by a bare prepared INSERT in one transaction
// into the same schema (same indexes, triggers and connection settings).
// The load benchmarks run the bare insert in the same iteration and report
// the ratio load / bare as a counter.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "host/base/Cp1252.h"
#include "host/db/XQDatabase.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// 100,000 blocks as the tb file of a practice: random Kürzel, description
// and lines, in no key order.
std::string BlockFile() {
    RandomWords word(11);
    std::string file = "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n";
    for (int i = 0; i < 100000; ++i) {
        file += word(2, 5) + std::to_string(i) + "\t" + "bdfho"[i % 5] + "\t\t" + word(4, 10) +
                " " + word(4, 10) + " " + word(3, 8) + "\t\t";
        const int lines = word.Between(1, 10);
        for (int n = 0; n < lines; ++n)
            file += (n ? "\\n" : "") + word(3, 9) + " " + word(3, 9) + " " + word(3, 9);
        file += '\n';
    }
    return file;
}

struct File {
    const char* kind;
    std::string content;
};

// One load: the files into the practice database of a fresh home. Returns
// the seconds of the loads, or a negative value with error set.
double Load(const std::vector<File>& files, const std::string& home, std::string& error) {
    CString dbError;
    if (XQOpenPracticeDatabase(home, &dbError) != 0) {
        error = Cp1252ToUtf8(dbError.str());
        return -1;
    }
    const Clock::time_point start = Clock::now();
    for (const File& file : files) {
        error = LoadTsv(file.kind, file.content);
        if (!error.empty()) {
            XQClosePracticeDatabase();
            return -1;
        }
    }
    const double seconds = Seconds(start);
    XQClosePracticeDatabase();
    return seconds;
}

// The rows the loads stored, table by table in row id order, with every
// column (texts and their comparable and folded forms).
struct Table {
    std::string insert;
    std::vector<std::vector<sqlite3_value*>> rows;
};

std::vector<Table> StoredRows(const std::string& home, const std::vector<const char*>& tables) {
    sqlite3* db = nullptr;
    sqlite3_open_v2((home + "/praxis.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::vector<Table> result;
    for (const char* name : tables) {
        Table table;
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, (std::string("SELECT * FROM ") + name + " ORDER BY rowid").c_str(),
                           -1, &stmt, nullptr);
        const int columns = sqlite3_column_count(stmt);
        std::string names;
        std::string params;
        for (int c = 0; c < columns; ++c) {
            names += (c ? "," : "") + std::string(sqlite3_column_name(stmt, c));
            params += c ? ",?" : "?";
        }
        table.insert =
            std::string("INSERT INTO ") + name + "(" + names + ") VALUES(" + params + ")";
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::vector<sqlite3_value*> row;
            for (int c = 0; c < columns; ++c)
                row.push_back(sqlite3_value_dup(sqlite3_column_value(stmt, c)));
            table.rows.push_back(std::move(row));
        }
        sqlite3_finalize(stmt);
        result.push_back(std::move(table));
    }
    sqlite3_close(db);
    return result;
}

// The bare insert: a fresh practice database (schema, WAL, synchronous=FULL),
// the page cache a load gets, one prepared statement per table, one
// transaction. Seconds from BEGIN to the end of COMMIT.
double BareInsert(const std::vector<Table>& tables, const std::string& home) {
    CString dbError;
    if (XQOpenPracticeDatabase(home, &dbError) != 0) return -1;
    XQClosePracticeDatabase();
    sqlite3* db = nullptr;
    sqlite3_open_v2((home + "/praxis.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA cache_size=-262144",
                 nullptr, nullptr, nullptr);
    const Clock::time_point start = Clock::now();
    bool ok = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    for (const Table& table : tables) {
        sqlite3_stmt* stmt = nullptr;
        ok = ok && sqlite3_prepare_v2(db, table.insert.c_str(), -1, &stmt, nullptr) == SQLITE_OK;
        for (size_t r = 0; ok && r < table.rows.size(); ++r) {
            const std::vector<sqlite3_value*>& row = table.rows[r];
            for (size_t c = 0; c < row.size(); ++c)
                sqlite3_bind_value(stmt, static_cast<int>(c + 1), row[c]);
            ok = sqlite3_step(stmt) == SQLITE_DONE;
            sqlite3_reset(stmt);
        }
        sqlite3_finalize(stmt);
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    const double seconds = Seconds(start);
    sqlite3_close(db);
    return ok ? seconds : -1;
}

// The files of a case and the rows their load stores, prepared once.
struct Case {
    std::vector<File> files;
    std::vector<const char*> tables;
    std::vector<Table> rows;
    std::string error;
    int64_t rowCount = 0;

    void Prepare() {
        std::string home = BenchHome("q7load");
        if (Load(files, home, error) >= 0) rows = StoredRows(home, tables);
        RemoveBenchHome(home);
        for (const Table& t : rows) rowCount += static_cast<int64_t>(t.rows.size());
    }
};

Case& Blocks() {
    static Case blocks = [] {
        Case c;
        c.files.push_back({"tb", BlockFile()});
        c.tables = {"tb", "tbentry"};
        c.Prepare();
        return c;
    }();
    return blocks;
}

Case& Catalogue() {
    static Case catalogue = [] {
        Case c;
        for (const char* kind : kIcdKinds) {
            c.files.push_back({kind, ReadIcdKind(kind, c.error)});
            if (!c.error.empty()) return c;
        }
        c.tables = {"icd"};
        c.Prepare();
        return c;
    }();
    return catalogue;
}

// The load, timed; the bare insert of its rows in the same iteration gives
// the ratio.
void RunLoad(benchmark::State& state, Case& c) {
    if (!c.error.empty()) {
        state.SkipWithError(c.error.c_str());
        return;
    }
    std::vector<double> ratios;
    std::vector<double> loads;
    std::vector<double> bares;
    for (auto _ : state) {
        std::string home = BenchHome("q7load");
        std::string error;
        const double load = Load(c.files, home, error);
        RemoveBenchHome(home);
        home = BenchHome("q7load");
        const double bare = BareInsert(c.rows, home);
        RemoveBenchHome(home);
        if (load < 0 || bare < 0) {
            state.SkipWithError(error.empty() ? "bare insert failed" : error.c_str());
            return;
        }
        state.SetIterationTime(load);
        ratios.push_back(load / bare);
        loads.push_back(load);
        bares.push_back(bare);
    }
    state.counters["rows"] = static_cast<double>(c.rowCount);
    state.counters["load_ms"] = Median(loads) * 1000;
    state.counters["bare_ms"] = Median(bares) * 1000;
    state.counters["ratio"] = Median(ratios);
}

void RunBare(benchmark::State& state, Case& c) {
    if (!c.error.empty()) {
        state.SkipWithError(c.error.c_str());
        return;
    }
    for (auto _ : state) {
        std::string home = BenchHome("q7load");
        const double bare = BareInsert(c.rows, home);
        RemoveBenchHome(home);
        if (bare < 0) {
            state.SkipWithError("bare insert failed");
            return;
        }
        state.SetIterationTime(bare);
    }
    state.counters["rows"] = static_cast<double>(c.rowCount);
}

void BM_LoadBlocks(benchmark::State& state) {
    RunLoad(state, Blocks());
}
BENCHMARK(BM_LoadBlocks)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_BareInsertBlocks(benchmark::State& state) {
    RunBare(state, Blocks());
}
BENCHMARK(BM_BareInsertBlocks)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_LoadCatalogue(benchmark::State& state) {
    RunLoad(state, Catalogue());
}
BENCHMARK(BM_LoadCatalogue)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_BareInsertCatalogue(benchmark::State& state) {
    RunBare(state, Catalogue());
}
BENCHMARK(BM_BareInsertCatalogue)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
