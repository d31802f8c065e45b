#include "host/base/Helpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>
#include <utility>
#include <vector>

#include "host/base/CStrings.h"
#include "host/base/HostContext.h"

namespace {

TEST(HelpersTest, PaddingAndCutting) {
    EXPECT_EQ(LeftFix("abc", 5), "abc  ");
    EXPECT_EQ(LeftFix("abcdef", 4), "abcd");
    EXPECT_EQ(LeftFix("abc", 0), "");
    EXPECT_EQ(AddBlanks("abcdef", 4), "abcdef");
    EXPECT_EQ(FormatWindowText("A00: ", 8), "A00:    ");
    EXPECT_EQ(FirstChar(""), ' ');
    EXPECT_EQ(Trim(" \t a b\r\n"), "a b");
    EXPECT_EQ(TrimRight("  a \n"), "  a");
}

TEST(HelpersTest, NumStrChecksDigitsAndLength) {
    const std::tuple<const char*, int, int, bool> cases[] = {
        {"20240101", 8, 8, true}, {"2024010", 8, 8, false}, {"2024-101", 8, 8, false},
        {" 1", 1, 2, false},      {"", 0, 3, true},         {"", 1, 3, false}};
    for (auto [text, minLen, maxLen, ok] : cases)
        EXPECT_EQ(NumStr(text, minLen, maxLen), ok) << text;
}

TEST(HelpersTest, CardToIntEdgeInputs) {
    const std::pair<const char*, long long> cases[] = {{"42", 42},
                                                       {"  42  ", 42},
                                                       {"-17", -17},
                                                       {"+5", 5},
                                                       {"12ab3", 12},
                                                       {"", 0},
                                                       {"-", 0},
                                                       {"- 5", 0},
                                                       {"9223372036854775807", LLONG_MAX},
                                                       {"9223372036854775808", LLONG_MAX},
                                                       {"-9223372036854775808", LLONG_MIN},
                                                       {"-99999999999999999999", LLONG_MIN}};
    for (auto [text, value] : cases) EXPECT_EQ(CardToInt64(text), value) << text;
    EXPECT_EQ(CardToInt("2147483648"), INT_MAX);
    EXPECT_EQ(CardToInt("-2147483649"), INT_MIN);
    EXPECT_EQ(itoc(-305), "-305");
}

// The pieces LineBreak cuts off one by one, joined by "|".
std::string Pieces(const char* text, int width) {
    CString rest(text);
    std::string pieces;
    for (int i = 0; !rest.IsEmpty() && i < 20; ++i)
        pieces += (i ? "|" : "") + LineBreak(rest, width).str();
    return pieces;
}

TEST(HelpersTest, LineBreakPieces) {
    // At width 4 the blank comes right after the width.
    const std::tuple<const char*, int, const char*> cases[] = {
        {"eins zwei drei", 9, "eins zwei|drei"},
        {"eins zwei drei", 8, "eins|zwei|drei"},
        {"eins zwei drei", 4, "eins|zwei|drei"},
        {"abcdefghij", 4, "abcd|efgh|ij"},
        {"ab    cd", 3, "ab|cd"},
        {"kurz", 10, "kurz"},
        {"   abcdef", 3, "   |abc|def"},
        {"ab", 0, "a|b"}};
    for (auto [text, width, pieces] : cases) EXPECT_EQ(Pieces(text, width), pieces) << text;
    CString empty;
    EXPECT_EQ(LineBreak(empty, 5), "");
}

TEST(HelpersTest, DatesForDisplay) {
    for (auto [text, shown] : {std::pair{"20240315", "15.03.2024"},
                               {"2024031", "2024031"},
                               {"2024-03-1", "2024-03-1"},
                               {"", ""}})
        EXPECT_EQ(Db2Date(text), shown) << text;
    EXPECT_EQ(StrToExt("19991231", 5, 12), "31.12.1999  ");
    EXPECT_EQ(StrToExt("", 5, 3), "   ");
    EXPECT_EQ(StrToExt("19991231", 1, 4), "1999");

    Q7SetToday("20240229");
    EXPECT_EQ(GetXQDate(), "20240229");
    Q7SetToday("2024");
    EXPECT_TRUE(NumStr(GetXQDate(), 8, 8));
    EXPECT_NE(GetXQDate(), "20240229");
    Q7SetToday("");
}

TEST(HostContextTest, PathsAndClock) {
    // The dat folder and host paths are what the print and catalogue tests use.
    Q7SetHome("/tmp/q7home//");
    EXPECT_EQ(Q7GetHome(), "/tmp/q7home");
    EXPECT_EQ(GetQ7DataROPath(), "/tmp/q7home/data/");
    Q7SetHome("");
    EXPECT_EQ(GetQ7DataROPath(), "");

    long long start = Q7HostMillis();
    Q7AdvanceHostMillis(250);
    Q7AdvanceHostMillis(-100);
    EXPECT_EQ(Q7HostMillis(), start + 250);

    int beeps = 0;
    Q7SetBeepSink([&] { ++beeps; });
    Q7Beep(-1);
    Q7SetBeepSink([] { throw 1; });
    Q7Beep(-1);
    Q7SetBeepSink(nullptr);
    Q7Beep(-1);
    EXPECT_EQ(beeps, 1);
}

std::vector<CString> Lines(const CStrings& lines) {
    std::vector<CString> out;
    for (int i = 0; i < lines.GetCount(); ++i) out.push_back(lines.GetAt(i));
    return out;
}

TEST(CStringsTest, WritingLineBreaksSplitsLines) {
    const std::pair<const char*, std::vector<CString>> cases[] = {
        {"x", {"a", "x", "c"}},
        {"x\r\ny", {"a", "x", "y", "c"}},
        {"x\ny\r\n", {"a", "x", "y", "", "c"}},
        {"x\ry", {"a", "x\ry", "c"}},
        {"x\r\r\ny", {"a", "x\r", "y", "c"}}};
    for (const auto& [written, expected] : cases) {
        CStrings lines;
        lines.SetText("a\r\nb\r\nc");
        lines.SetAt(1, written);
        EXPECT_EQ(Lines(lines), expected) << written;
    }
    CStrings lines;
    lines.SetAt(0, "ignored");
    EXPECT_EQ(lines.GetCount(), 0);
    lines.Add("1\n2");
    lines.InsertAt(-5, "0");
    lines.InsertAt(99, "3");
    EXPECT_EQ(lines.Join("|"), "0|1|2|3");
    lines.RemoveAt(4);
    lines.RemoveAt(0);
    EXPECT_EQ(lines.Join(nullptr), "123");
    EXPECT_EQ(lines.GetAt(3), "");
}

TEST(CStringsTest, SetTextAndObserver) {
    const std::pair<const char*, std::vector<CString>> cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\r\n", {"a", ""}},
        {"\n\n", {"", "", ""}}};
    int changes = 0;
    CStrings lines;
    lines.SetOnChange([&] { ++changes; });
    for (const auto& [text, expected] : cases) {
        lines.SetText(text);
        EXPECT_EQ(Lines(lines), expected) << text;
    }
    EXPECT_EQ(changes, 5);
    lines.SetText("a\r\nb");
    EXPECT_EQ(lines.Join("\r\n"), "a\r\nb");
    lines.SetAt(0, "x");
    lines.RemoveAt(7);
    lines.RemoveAll();
    EXPECT_EQ(changes, 8);
}

}  // namespace
