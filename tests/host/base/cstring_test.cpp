#include "host/base/CString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace {

TEST(CStringTest, FindAtEdgePositions) {
    const CString s("abcabc");
    const std::tuple<const char*, int, int> cases[] = {
        {"a", 0, 0},  {"a", 1, 3},        {"a", 4, -1}, {"c", 5, 5}, {"c", 6, -1},    {"a", -3, 0},
        {"bc", 2, 4}, {"abcabcx", 0, -1}, {"", 6, 6},   {"", 7, -1}, {nullptr, 0, -1}};
    for (auto [sub, start, at] : cases)
        EXPECT_EQ(s.Find(sub, start), at) << (sub ? sub : "null") << " @" << start;
    EXPECT_EQ(s.Find('c', 6), -1);
    EXPECT_EQ(s.ReverseFind('b'), 4);
    EXPECT_EQ(s.FindOneOf("xc"), 2);
    EXPECT_EQ(s.FindOneOf(""), -1);
}

TEST(CStringTest, MidLeftRightClamp) {
    const CString s("Hallo");
    const std::tuple<int, int, const char*> cases[] = {
        {0, 5, "Hallo"}, {1, 3, "all"}, {3, 99, "lo"}, {5, 1, ""},
        {99, 1, ""},     {-2, 2, "Ha"}, {2, -1, ""},   {2, 0, ""}};
    for (auto [first, count, mid] : cases) EXPECT_EQ(s.Mid(first, count), mid) << first;
    EXPECT_EQ(s.Mid(99), "");
    EXPECT_EQ(s.Left(-1), "");
    EXPECT_EQ(s.Right(9), "Hallo");
    EXPECT_EQ(s.GetAt(5), 0);
    EXPECT_EQ(s.SpanIncluding("Hal"), "Hall");
    EXPECT_EQ(s.SpanExcluding("lo"), "Ha");
}

TEST(CStringTest, TrimVariants) {
    EXPECT_EQ(CString(" \t\r\n\v\fab c \n").Trim(), "ab c");
    EXPECT_EQ(CString("  ").Trim(), "");
    EXPECT_EQ(CString("xxaxx").Trim('x'), "a");
    EXPECT_EQ(CString("xyaxy").TrimLeft("yx"), "axy");
    EXPECT_EQ(CString("xyxy").TrimRight("yx"), "");
    EXPECT_EQ(CString(" a").TrimLeft(nullptr), " a");
}

TEST(CStringTest, EditingOperations) {
    const std::tuple<const char*, const char*, const char*, int, const char*> cases[] = {
        {"aaa", "aa", "b", 1, "ba"},     {"a-b-c", "-", "--", 2, "a--b--c"},
        {"abc", "", "x", 0, "abc"},      {"abc", "b", nullptr, 1, "ac"},
        {"abab", "ab", "ab", 2, "abab"}, {"", "a", "b", 0, ""}};
    for (auto [text, from, to, count, replaced] : cases) {
        CString s(text);
        EXPECT_EQ(s.Replace(from, to), count) << text;
        EXPECT_EQ(s, replaced) << text;
    }
    CString r("a.b.c");
    EXPECT_EQ(r.Remove('.'), 2);
    EXPECT_EQ(r, "abc");

    for (auto [index, expected] : {std::pair{9, "abcX"}, {-1, "Xabc"}}) {
        CString s("abc");
        EXPECT_EQ(s.Insert(index, 'X'), 4);
        EXPECT_EQ(s, expected) << index;
    }
    for (auto [index, count, expected] :
         {std::tuple{2, 9, "ab"}, {4, 1, "abcd"}, {1, 0, "abcd"}, {-1, 2, "cd"}}) {
        CString s("abcd");
        EXPECT_EQ(s.Delete(index, count), CString(expected).GetLength());
        EXPECT_EQ(s, expected) << index << "," << count;
    }
}

TEST(CStringTest, TokenizeWalksAllTokens) {
    // The tokens joined by "|".
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"a;b;;c", ";", "a|b|c"}, {";;a", ";", "a"}, {"a; b", "; ", "a|b"},
        {";;;", ";", ""},         {"", ";", ""},     {"abc", ";", "abc"}};
    for (auto [text, delims, tokens] : cases) {
        CString s(text), got;
        int pos = 0, count = 0;
        for (CString t = s.Tokenize(delims, pos); pos != -1 && ++count < 10;
             t = s.Tokenize(delims, pos))
            got += (got.IsEmpty() ? "" : "|") + t;
        EXPECT_EQ(got, tokens) << text;
    }
    int pos = 99;
    EXPECT_EQ(CString("a").Tokenize(";", pos), "");
    EXPECT_EQ(pos, -1);
}

// Every Windows-1252 letter pair, and the letters that have no partner.
TEST(CStringTest, CaseMappingOfAllLetters) {
    std::vector<std::pair<int, int>> pairs = {
        {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF}};
    for (int c = 'A'; c <= 'Z'; ++c) pairs.push_back({c, c + 32});
    for (int c = 0xC0; c <= 0xDE; ++c) {
        if (c != 0xD7) pairs.push_back({c, c + 32});
    }
    std::vector<bool> paired(256, false);
    for (auto [up, low] : pairs) {
        paired[up] = paired[low] = true;
        EXPECT_EQ(CString(char(low)).MakeUpper(), CString(char(up))) << std::hex << low;
        EXPECT_EQ(CString(char(up)).MakeLower(), CString(char(low))) << std::hex << up;
        EXPECT_EQ(CString(char(up)).CompareNoCase(CString(char(low))), 0) << std::hex << up;
    }
    for (int c = 1; c < 256; ++c) {
        if (paired[c]) continue;
        EXPECT_EQ(CString(char(c)).MakeUpper(), CString(char(c))) << std::hex << c;
        EXPECT_EQ(CString(char(c)).MakeLower(), CString(char(c))) << std::hex << c;
    }
    EXPECT_FALSE(paired[0xDF]);  // sharp s stays
    EXPECT_FALSE(paired[0xF7] || paired[0xD7]);
}

TEST(CStringTest, CompareIsBytewiseUnsigned) {
    EXPECT_LT(CString("Z").Compare("a"), 0);
    EXPECT_LT(CString("z").Compare("\xE4"), 0);  // bytes above 0x7F sort last
    EXPECT_GT(CString("ab").Compare("a"), 0);
    EXPECT_EQ(CString("").Compare(nullptr), 0);
    EXPECT_LT(CString("M\xFCller").CompareNoCase("M\xDCLLERS"), 0);
}

TEST(CStringTest, CollateSortsGermanNames) {
    // clang-format off
    std::vector<CString> names = {
        "Zander", "\xD6zdemir", "Mueller", "M\xFCller", "Muller", "meier", "Meier", "Ostrowski",
        "Stra\xDF" "er", "Strasser", "\xC9mile", "Emil", "\xC4rzte", "Arzt", "Bauer"};
    const std::vector<CString> expected = {
        "Arzt", "\xC4rzte", "Bauer", "Emil", "\xC9mile", "Meier", "meier", "Mueller", "Muller",
        "M\xFCller", "Ostrowski", "\xD6zdemir", "Strasser", "Stra\xDF" "er", "Zander"};
    // clang-format on
    std::sort(names.begin(), names.end(),
              [](const CString& a, const CString& b) { return a.Collate(b) < 0; });
    EXPECT_EQ(names, expected);
    EXPECT_NE(CString("Meier").Collate("meier"), 0);
    EXPECT_EQ(CString("Meier").CollateNoCase("MEIER"), 0);
    EXPECT_EQ(CString("M\xFCller").CollateNoCase("M\xDCLLER"), 0);
}

}  // namespace
