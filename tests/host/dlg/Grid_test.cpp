#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "host/dlg/XQControls.h"

namespace {

// A record set of the numbers 0 .. n-1 with the moves a dialog uses.
struct NumberSet {
    int n = 0;
    int index = 0;
    int moves = 0;
    int Next() {
        ++moves;
        if (index + 1 >= n) return 1;
        ++index;
        return 0;
    }
    int Prev() {
        ++moves;
        if (index <= 0) return 1;
        --index;
        return 0;
    }
    void Jump(int count) {
        ++moves;
        index = std::clamp(index + count, 0, n - 1);
    }
};

// Wires a grid to a number set the way a search dialog does.
struct GridHarness {
    CXQGridX grid;
    NumberSet rs;
    bool fresh = false;
    int fills = 0;
    int lineChanges = 0;
    int misaligned = 0;

    GridHarness() {
        grid.SetColumns({{"Nr", 40}, {"Text", 100}});
        grid.onFillLine = [this] {
            ++fills;
            grid.SetText(0, FormatString("%d", rs.index));
            grid.SetText(1, FormatString("Zeile %d", rs.index));
        };
        grid.onWantLineDown = [this] {
            if (fresh) {
                fresh = false;
                grid.LineDown();
            } else if (rs.Next() == 0) {
                grid.LineDown();
            }
        };
        grid.onWantLineUp = [this] {
            fresh = false;
            if (rs.Prev() == 0) grid.LineUp();
        };
        grid.onSkipLines = [this](int count) {
            fresh = false;
            rs.Jump(count);
        };
        grid.onLineChanged = [this] {
            ++lineChanges;
            if (rs.index != grid.GetCurLine()) ++misaligned;
        };
    }
    // A fresh query: the record set stands on the first hit.
    void Query(int records, int hits) {
        rs.n = records;
        rs.index = 0;
        fresh = records > 0;
        grid.Clear();
        grid.InitDown(hits);
    }
    // Every kept line shows the record it was filled from.
    bool KeptLinesMatch() const {
        for (int i = 0; i < grid.FetchedCount(); ++i) {
            const int line = grid.FirstFetched() + i;
            const auto* texts = grid.FetchedLine(line);
            if (!texts || texts->size() < 2 || (*texts)[0] != FormatString("%d", line))
                return false;
        }
        return true;
    }
};

// A fresh query fetches one page and returns to the first hit; seeking
// then keeps record and cursor together.
TEST(Grid, InitDownAndSeekingKeepRecordAndCursorTogether) {
    GridHarness h;
    h.Query(100000, 100000);
    EXPECT_EQ(h.grid.GetLineCount(), 100000);
    EXPECT_EQ(h.rs.index, 0);
    EXPECT_FALSE(h.fresh);  // the first want was answered without a move
    EXPECT_EQ(h.grid.FetchedCount(), 20);
    EXPECT_LE(h.rs.moves, 21);
    EXPECT_EQ(h.lineChanges, 1);
    // The line sought, whether relative, the line reached.
    const std::tuple<int, bool, int> steps[] = {
        {1, true, 1},          {19, true, 20},        {99999, false, 99999}, {1, true, 99999},
        {-50000, true, 49999}, {-1, true, 49998},     {0, false, 0},         {-5, true, 0},
        {60000, false, 60000}, {59990, false, 59990}, {40, false, 40}};
    for (auto [line, relative, reached] : steps) {
        h.grid.SeekLine(line, relative);
        EXPECT_EQ(h.grid.GetCurLine(), reached) << line;
        EXPECT_EQ(h.rs.index, reached) << line;
        const int cur = h.grid.GetCurLine();
        EXPECT_TRUE(cur >= h.grid.TopLine() && cur < h.grid.TopLine() + h.grid.PageLines());
        ASSERT_NE(h.grid.FetchedLine(cur), nullptr);
    }
    EXPECT_EQ(h.misaligned, 0);
    EXPECT_TRUE(h.KeptLinesMatch());
    // Paging over 100,000 hits fetched a few pages, not the list.
    EXPECT_LT(h.fills, 200);
    EXPECT_LE(h.grid.FetchedCount(), 400);
}

TEST(Grid, EndOfListEmptyListsAndUserActions) {
    GridHarness h;
    h.Query(30, 30);
    h.grid.SeekLine(29, false);
    const int changes = h.lineChanges;
    h.grid.SeekLine(1, true);  // past the end: clamped, nothing happens
    h.grid.LineDown();         // the dialog's own move at the end
    EXPECT_EQ(h.grid.GetCurLine(), 29);
    EXPECT_EQ(h.rs.index, 29);
    EXPECT_EQ(h.lineChanges, changes);

    // A count above the records: the list ends where the record set does.
    h.Query(5, 8);
    EXPECT_EQ(h.grid.GetLineCount(), 5);
    h.grid.SeekLine(7, false);
    EXPECT_EQ(h.grid.GetCurLine(), 4);
    EXPECT_EQ(h.rs.index, 4);

    // No records although hits were claimed: an empty list, no current line
    // and nothing for a double click.
    int dbl = 0;
    h.grid.onDblClick = [&] { ++dbl; };
    const int before = h.lineChanges;
    h.Query(0, 3);
    EXPECT_EQ(h.grid.GetLineCount(), 0);
    EXPECT_EQ(h.grid.GetCurLine(), -1);
    EXPECT_EQ(h.grid.FetchedCount(), 0);
    EXPECT_EQ(h.lineChanges, before);
    h.grid.UserDblClick(-1);
    EXPECT_EQ(dbl, 0);
    EXPECT_EQ(h.misaligned, 0);

    // A double click moves the record set; a disabled grid ignores the user.
    h.Query(50, 50);
    h.grid.UserDblClick(7);
    EXPECT_EQ(dbl, 1);
    EXPECT_EQ(h.rs.index, 7);
    h.grid.EnableWindow(false);
    h.grid.UserSelectLine(9);
    EXPECT_EQ(h.grid.GetCurLine(), 7);
}

TEST(Grid, DialogMovesAndFrontEndFetchesStayAligned) {
    GridHarness h;
    h.Query(1000, 1000);
    // The dialog moves its record set itself and tells the grid.
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(h.rs.Next(), 0);
        h.grid.LineDown();
    }
    EXPECT_EQ(h.grid.GetCurLine(), 25);
    EXPECT_EQ(h.grid.TopLine(), 6);
    ASSERT_NE(h.grid.FetchedLine(25), nullptr);
    // A front end shows other lines: the record set comes back.
    h.grid.FetchLines(500, 20);
    EXPECT_EQ(h.rs.index, 25);
    EXPECT_EQ(h.grid.GetCurLine(), 25);
    ASSERT_NE(h.grid.FetchedLine(510), nullptr);
    EXPECT_EQ((*h.grid.FetchedLine(510))[0], "510");
    EXPECT_EQ(h.misaligned, 0);
}

TEST(Grid, PageLinesCountsTheScrollBarHeight) {
    CXQGridX grid;
    grid.SetGeometry(100, 16, false, 17);
    EXPECT_EQ(grid.PageLines(), 6);
    grid.SetGeometry(100, 16, true, 17);
    EXPECT_EQ(grid.PageLines(), 7);
    grid.SetGeometry(5, 16, false, 0);
    EXPECT_EQ(grid.PageLines(), 1);
}

}  // namespace
