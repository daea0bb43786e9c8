#include <gtest/gtest.h>

#include "game/application.h"

TEST(FrameDelta, CountsWholeMicrosecondsInSeconds) {
    EXPECT_DOUBLE_EQ(frameDelta(0, 1999), static_cast<double>(0.000001f));
    EXPECT_EQ(frameDelta(0, 999), 0.0);
    EXPECT_DOUBLE_EQ(frameDelta(5000, 1000005000), 1.0);
    // The value is rounded to single precision before it is widened again.
    EXPECT_EQ(frameDelta(0, 16667000), static_cast<double>(0.016667f));
}
