#include "graphics/particles/particle_free_list.h"

#include <gtest/gtest.h>

TEST(ParticleFreeList, StartsWithEveryIndexAscendingAndHandsOutTheOldestFirst) {
    ParticleFreeList list(4);
    EXPECT_EQ(list.capacity(), 4u);
    EXPECT_EQ(list.toVector(), (std::vector<std::uint32_t>{0, 1, 2, 3}));

    EXPECT_EQ(list.take(), 0u);
    EXPECT_EQ(list.take(), 1u);
    EXPECT_EQ(list.take(), 2u);
    // Freed indices queue behind the ones that were free already.
    EXPECT_TRUE(list.give(1));
    EXPECT_TRUE(list.give(0));
    EXPECT_EQ(list.toVector(), (std::vector<std::uint32_t>{3, 1, 0}));
    EXPECT_EQ(list.take(), 3u);
    EXPECT_EQ(list.take(), 1u);
    EXPECT_EQ(list.take(), 0u);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.take(), std::nullopt);
}

TEST(ParticleFreeList, WrapsAroundItsBlockAndRefusesMoreIndicesThanItHolds) {
    ParticleFreeList list(3);
    EXPECT_FALSE(list.give(2));  // full: every index is free already
    EXPECT_EQ(list.size(), 3u);

    // Cycle the ring several times round, always freeing in reverse.
    for (int round = 0; round < 5; ++round) {
        const auto a = *list.take();
        const auto b = *list.take();
        EXPECT_TRUE(list.give(b));
        EXPECT_TRUE(list.give(a));
        EXPECT_EQ(list.size(), 3u);
    }
    EXPECT_EQ(list.toVector().size(), 3u);
    EXPECT_EQ(list[0] + list[1] + list[2], 3u);  // still 0, 1 and 2 in some order

    ParticleFreeList none(0);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.take(), std::nullopt);
    EXPECT_FALSE(none.give(0));
}
