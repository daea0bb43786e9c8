#include "utils/random.h"

#include <gtest/gtest.h>

#include <vector>

TEST(RandomGenerator, YieldsEveryValueOfZeroTo32767AndReplaysASeed) {
    RandomGenerator::seed(1234);
    std::vector<std::uint32_t> first;
    std::vector<bool> seen(RandomGenerator::kMax + 1, false);
    double sum = 0.0;
    constexpr int kDraws = 1000000;
    for (int k = 0; k < kDraws; ++k) {
        const std::uint32_t value = RandomGenerator::next();
        ASSERT_LE(value, RandomGenerator::kMax);
        seen[value] = true;
        sum += value;
        if (k < 100) {
            first.push_back(value);
        }
    }
    std::size_t covered = 0;
    for (bool hit : seen) {
        covered += hit ? 1 : 0;
    }
    EXPECT_EQ(covered, RandomGenerator::kMax + 1u);
    EXPECT_NEAR(sum / kDraws, RandomGenerator::kMax / 2.0, 100.0);

    RandomGenerator::seed(1234);
    for (std::uint32_t expected : first) {
        EXPECT_EQ(RandomGenerator::next(), expected);
    }
}

TEST(RandomGenerator, UnitAndBetweenStayWithinTheirBoundsBothEndsIncluded) {
    RandomGenerator::seed(7);
    float lowest = 1.0f;
    float highest = 0.0f;
    for (int k = 0; k < 300000; ++k) {
        const float unit = RandomGenerator::unit();
        ASSERT_GE(unit, 0.0f);
        ASSERT_LE(unit, 1.0f);
        lowest = std::min(lowest, unit);
        highest = std::max(highest, unit);
        const float between = RandomGenerator::between(3.0f, -1.0f);
        ASSERT_GE(between, -1.0f);
        ASSERT_LE(between, 3.0f);
    }
    EXPECT_EQ(lowest, 0.0f);
    EXPECT_EQ(highest, 1.0f);
}
