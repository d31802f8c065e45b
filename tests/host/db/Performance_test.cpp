#include <gtest/gtest.h>
#include <malloc.h>

#include <chrono>
#include <random>

#include "tests/host/db/DbFixture.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// 100,000 blocks: a query keeps only row ids, and a one-letter Kürzel filter
// plus the first 20 rows (what the search grid shows) stays well below 20 ms.
TEST_F(DbTest, HundredThousandBlocksQueryFastAndSmall) {
    std::mt19937 random(7);
    auto word = [&](int minLength, int maxLength) {
        int length = std::uniform_int_distribution<int>(minLength, maxLength)(random);
        std::string w;
        for (int i = 0; i < length; ++i)
            w += static_cast<char>('a' + std::uniform_int_distribution<int>(0, 25)(random));
        return w;
    };
    auto start = Clock::now();
    ASSERT_EQ(dbDatabase->Begin(), XQ_OK);
    CQTb tb(dbDatabase);
    for (int i = 0; i < 100000; ++i) {
        tb.Kuerzel = (word(2, 5) + std::to_string(i)).c_str();
        tb.Gruppe = std::string(1, "bdfho"[i % 5]).c_str();
        tb.Beschreibung = (word(4, 10) + " " + word(4, 10) + " " + word(3, 8)).c_str();
        ASSERT_EQ(tb.Write(), XQ_OK);
    }
    ASSERT_EQ(dbDatabase->Commit(), XQ_OK);
    std::printf("[ figures  ] writing 100000 blocks in one transaction: %.0f ms\n", Ms(start));

    CQTb search(dbDatabaseRO);
    search.SetKey(2);
    auto measure = [&](const char* what, int mode, const char* kuerzel, const char* text,
                       const char* gruppe = "") {
        double best = 1e9;
        int hits = 0;
        for (int round = 0; round < 5; ++round) {
            auto t = Clock::now();
            search.ClearAll();
            search.Kuerzel = kuerzel;
            search.Beschreibung = text;
            search.Gruppe = gruppe;
            EXPECT_EQ(search.GetByKuerzel(mode), XQ_OK);
            for (int i = 1; i < 20; ++i) EXPECT_EQ(search.Next(), XQ_OK);
            best = std::min(best, Ms(t));
            hits = search.AnzHits();
        }
        std::printf("[ figures  ] %s: %d hits, query + 20 rows %.2f ms\n", what, hits, best);
        EXPECT_LT(best, 20.0) << what;
    };
    measure("prefix \"k\"", XQ_MATCH_KUERZEL, "k", "");
    measure("part word \"k\"", XQ_MATCH_FIELDS, "k", "");
    measure("part word \"Q\" and text \"ab\"", XQ_MATCH_FIELDS, "Q", "ab");
    measure("part word \"k\" in group b", XQ_MATCH_FIELDS, "k", "", "b");
    measure("prefix \"k\" in group b", XQ_MATCH_KUERZEL, "k", "", "b");
    measure("no filter", XQ_MATCH_FIELDS, "", "");

    struct mallinfo2 before = mallinfo2();
    CQTb all(dbDatabaseRO);
    ASSERT_EQ(all.GetAll(), XQ_OK);
    ASSERT_EQ(all.AnzHits(), 100000);
    struct mallinfo2 after = mallinfo2();
    double mb = (static_cast<double>(after.uordblks + after.hblkhd) -
                 static_cast<double>(before.uordblks + before.hblkhd)) /
                (1024.0 * 1024.0);
    std::printf("[ figures  ] memory held by a query of 100000 hits: %.2f MB\n", mb);
    EXPECT_LT(mb, 2.0);
    auto t = Clock::now();
    ASSERT_EQ(all.SeekIndex(99990), XQ_OK);
    ASSERT_EQ(all.Jump(-50000), XQ_OK);
    std::printf("[ figures  ] two far jumps: %.3f ms\n", Ms(t));
}

}  // namespace
