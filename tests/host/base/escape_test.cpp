#include "host/base/Escape.h"

#include <gtest/gtest.h>

namespace {

TEST(XQEscapeField, EveryEscapeRoundTrips) {
    std::string raw = "a\rb\nc\td\\e";
    raw += '\x01';
    raw += '\x1f';
    raw += "\xC3\xA4";  // UTF-8 passes unchanged
    EXPECT_EQ(XQEscapeField(raw), "a\\rb\\nc\\td\\\\e\\x01\\x1F\xC3\xA4");
    std::string back;
    ASSERT_TRUE(XQUnescapeField(XQEscapeField(raw), back));
    EXPECT_EQ(back, raw);
    ASSERT_TRUE(XQUnescapeField("\\x1f\\x41", back));
    EXPECT_EQ(back, "\037A");
    for (const char* bad : {"\\", "a\\q", "\\x4", "\\xG1", "x\\"})
        EXPECT_FALSE(XQUnescapeField(bad, back)) << bad;
}

}  // namespace
