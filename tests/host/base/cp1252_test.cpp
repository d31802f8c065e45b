#include "host/base/Cp1252.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(Cp1252Test, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string utf8 = Cp1252ToUtf8(all);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_EQ(Utf8ToCp1252(utf8).str(), all);
}

TEST(Cp1252Test, HighBlockMapsToItsCharacters) {
    const std::pair<unsigned char, const char*> cases[] = {
        {0x80, "\u20AC"},   {0x81, "\xC2\x81"}, {0x84, "\u201E"},   {0x8A, "\u0160"},
        {0x8D, "\xC2\x8D"}, {0x8F, "\xC2\x8F"}, {0x90, "\xC2\x90"}, {0x93, "\u201C"},
        {0x96, "\u2013"},   {0x99, "\u2122"},   {0x9D, "\xC2\x9D"}, {0x9F, "\u0178"},
        {0xA0, "\u00A0"},   {0xDF, "\u00DF"},   {0xFC, "\u00FC"},   {0xFF, "\u00FF"},
    };
    for (auto [byte, utf8] : cases)
        EXPECT_EQ(Cp1252ToUtf8(std::string(1, static_cast<char>(byte))), utf8)
            << std::hex << int(byte);
}

TEST(Cp1252Test, UnmappableAndMalformedBecomeQuestionMarks) {
    const std::pair<const char*, const char*> cases[] = {
        {"a\u0100b", "a?b"},           // not in the code page
        {"\xC2\x80", "?"},             // C1 control that the code page uses for the euro
        {"\U0001F600", "?"},           // outside the basic plane
        {"a\x80z", "a?z"},             // stray continuation byte
        {"\xC3", "?"},                 // cut off at the end
        {"\xE2\x82z", "?z"},           // cut off in the middle: one mark
        {"\xC0\xAF", "??"},            // overlong
        {"\xED\xA0\x80", "???"},       // surrogate
        {"\xF4\x90\x80\x80", "????"},  // beyond the last code point
        {"Gr\xC3\xBC\xC3\237e", "Gr\xFC\337e"},
    };
    for (auto [utf8, cp1252] : cases) EXPECT_EQ(Utf8ToCp1252(utf8), cp1252) << utf8;
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(Cp1252Test, Latin1KeepsOnlyWhatTheCodePageHas) {
    EXPECT_EQ(Latin1ToCp1252("\xE4\x81\x80\x9F"), "\xE4\x81??");
}

}  // namespace
