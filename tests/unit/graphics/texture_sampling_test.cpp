#include <GL/glew.h>
#include <gtest/gtest.h>

#include <string>

#include "graphics/resources/texture.h"

TEST(TextureSampling, CycleRunsThroughSixMethodsAndWraps) {
    struct Expected {
        GLint filter;
        bool setsMagnification;
        std::string shownAs;
        std::string loggedAs;
    };
    const Expected expected[kSamplingMethodCount] = {
        {GL_NEAREST, true, "NEAREST_NEIGHBOUR", "Changing texture sampling method to: GL_NEAREST"},
        {GL_LINEAR, true, "LINEAR", "Changing texture sampling method to: GL_LINEAR"},
        {GL_NEAREST_MIPMAP_NEAREST, false, "NEAREST_MIPMAP, NEAREST_NEIGHBOUR",
         "Changing texture sampling method to: GL_NEAREST_MIPMAP_NEAREST"},
        {GL_NEAREST_MIPMAP_LINEAR, false, "NEAREST_MIPMAP, LINEAR",
         "Changing texture sampling method to: GL_NEAREST_MIPMAP_LINEAR"},
        {GL_LINEAR_MIPMAP_NEAREST, false, "LINEAR_MIPMAP, NEAREST_NEIGHBOUR",
         "Changing texture sampling method to: GL_LINEAR_MIPMAP_NEAREST"},
        {GL_LINEAR_MIPMAP_LINEAR, false, "LINEAR_MIPMAP, LINEAR",
         "Changing texture sampling method to: GL_LINEAR_MIPMAP_LINEAR"},
    };
    for (int32_t i = 0; i < kSamplingMethodCount; ++i) {
        SCOPED_TRACE(i);
        const SamplingMethod& method = samplingMethodAt(i);
        EXPECT_EQ(method.minFilter, expected[i].filter);
        EXPECT_EQ(method.setsMagnification, expected[i].setsMagnification);
        EXPECT_EQ(method.shownAs, expected[i].shownAs);
        EXPECT_EQ(method.loggedAs, expected[i].loggedAs);
    }

    // From the start-up method (1), four steps reach the last mipmap method,
    // the fifth wraps to nearest and the sixth is back at linear.
    int32_t index = 1;
    const int32_t visited[] = {2, 3, 4, 5, 0, 1, 2};
    for (const int32_t next : visited) {
        index = nextSamplingMethod(index);
        EXPECT_EQ(index, next);
    }
    EXPECT_EQ(samplingMethodAt(6).minFilter, GL_NEAREST);
    EXPECT_EQ(samplingMethodAt(-1).minFilter, GL_LINEAR_MIPMAP_LINEAR);
}
