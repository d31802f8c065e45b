#include <gtest/gtest.h>

#include <string>

#include "host/base/CString.h"

namespace {

TEST(FormatTest, MsvcAndStandardForms) {
    EXPECT_EQ(FormatString("%*I64u", 3, 7ULL), "  7");
    EXPECT_EQ(FormatString("%*I64u", 10, 12345678901ULL), "12345678901");
    EXPECT_EQ(FormatString("%I64u", 18446744073709551615ULL), "18446744073709551615");
    EXPECT_EQ(FormatString("%I64d", -9223372036854775807LL - 1), "-9223372036854775808");
    EXPECT_EQ(FormatString("%I64x|%I64X", 255ULL, 0xABCULL), "ff|ABC");
    EXPECT_EQ(FormatString("%I32d|%I32u", -5, 5u), "-5|5");
    EXPECT_EQ(FormatString("%lu|%ld|%3d|%-3d|", 4ul, -4l, 7, 7), "4|-4|  7|7  |");
    EXPECT_EQ(FormatString("%-6s|%6s|%.2s", "ab", "cd", "efg"), "ab    |    cd|ef");
    EXPECT_EQ(FormatString("%.2f|%5.1f|%c|%%", 3.14159, 2.25, 'x'), "3.14|  2.2|x|%");
    EXPECT_EQ(FormatString("%lld|%hd|%zu", 1LL, short(2), size_t(3)), "1|2|3");
}

TEST(FormatTest, UnknownDirectivesArePrintedLiterally) {
    EXPECT_EQ(FormatString("%q|%"), "%q|%");
    EXPECT_EQ(FormatString("100%"), "100%");
    int written = 0;
    EXPECT_EQ(FormatString("a%nb%d", &written, 5), "ab5");
    // Widths given as arguments belong to the "%n" too, not to what follows.
    EXPECT_EQ(FormatString("a%*nb%*.*nc%s", 3, &written, 4, 5, &written, "d"), "abcd");
    EXPECT_EQ(written, 0);
    CString s("old");
    s.Format(nullptr);
    EXPECT_EQ(s, "");
}

TEST(FormatTest, NoLengthLimitAndAppend) {
    std::string big(100000, 'x');
    CString s;
    s.Format("<%s>", big.c_str());
    EXPECT_EQ(s.GetLength(), 100002);
    s = "Nr. ";
    s.AppendFormat("%d/%s", 12, "\xE4");
    EXPECT_EQ(s, "Nr. 12/\xE4");
}

}  // namespace
