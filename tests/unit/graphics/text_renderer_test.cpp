#include "graphics/text_renderer.h"

#include <gtest/gtest.h>

TEST(Utf16FromUtf8, KeepsTheBasicPlaneAndMarksEverythingElse) {
    EXPECT_EQ(utf16FromUtf8("Frames per second: 60"), u"Frames per second: 60");
    EXPECT_EQ(utf16FromUtf8(""), u"");
    EXPECT_EQ(utf16FromUtf8("caf\xc3\xa9 \xe2\x82\xac"), u"caf\u00e9 \u20ac");
    // Outside the basic plane, a cut sequence, a stray continuation byte and
    // the special glyph's own code all stand as '?'.
    EXPECT_EQ(utf16FromUtf8("a\xf0\x9f\x99\x82z"), u"a?z");
    EXPECT_EQ(utf16FromUtf8("a\xe2\x82"), u"a??");
    EXPECT_EQ(utf16FromUtf8("\x80x"), u"?x");
    EXPECT_EQ(utf16FromUtf8("\xef\xbf\xbf"), u"?");
}
