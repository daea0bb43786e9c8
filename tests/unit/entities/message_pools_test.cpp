#include "entities/message_pools.h"

#include <gtest/gtest.h>

#include <string>

#include "entities/entity_manager.h"
#include "entities/messages.h"
#include "lifetime_counter.h"

TEST(MessagePools, DeliversMessagesOfOneTypeInSendingOrder) {
    EntityManager manager;
    const Entity a = manager.create();
    const Entity b = manager.create();
    MessagePools pools;
    pools.emit<CollisionMessage>(a, b);
    pools.emit<MoveToLocationOrderMessage>(a, glm::vec3(1.0f, 2.0f, 3.0f));
    pools.emit<CollisionMessage>(b, a);
    pools.emit<CollisionMessage>(CollisionMessage{a, a});

    const MessagePools::Pool<CollisionMessage>& collisions = pools.pool<CollisionMessage>();
    ASSERT_EQ(collisions.size(), 3u);
    EXPECT_EQ(collisions[0].first, a);
    EXPECT_EQ(collisions[0].second, b);
    EXPECT_EQ(collisions[1].first, b);
    EXPECT_EQ(collisions[2].second, a);
    ASSERT_EQ(pools.pool<MoveToLocationOrderMessage>().size(), 1u);
    EXPECT_EQ(pools.pool<MoveToLocationOrderMessage>()[0].location, glm::vec3(1.0f, 2.0f, 3.0f));

    // Many of one type, across several chunks, still in order.
    for (std::int32_t k = 0; k < 5000; ++k) {
        pools.emit<SkillCastToCursorOrderMessage>(a, k % 4, k, -k);
    }
    std::int32_t expected = 0;
    for (const SkillCastToCursorOrderMessage& order : pools.pool<SkillCastToCursorOrderMessage>()) {
        EXPECT_EQ(order.cursorX, expected);
        EXPECT_EQ(order.cursorY, -expected);
        ++expected;
    }
    EXPECT_EQ(expected, 5000);
}

TEST(MessagePools, ClearingRunsTheMessagesDestructorsAndKeepsTheBlocks) {
    LifetimeCounts counts;
    MessagePools pools;
    EXPECT_EQ(pools.pool<FlagTakenMessage>().size(), 0u);  // asked for before any send: empty
    for (int k = 0; k < 300; ++k) {
        pools.emit<Counted>(counts, "a notification long enough for the heap " + std::to_string(k));
        pools.emit<NotificationMessage>("short " + std::to_string(k));
    }
    pools.emit<ToggleTextureSamplingMethodOrderMessage>();
    pools.emit<FlagTakenMessage>(std::uint8_t{1});
    EXPECT_EQ(counts.alive(), 300);
    EXPECT_EQ(pools.pool<NotificationMessage>()[299].text, "short 299");
    const std::uint32_t capacity = pools.pool<NotificationMessage>().capacity();
    EXPECT_GT(capacity, 8192u);

    // A consuming reader empties one pool.
    pools.pool<Counted>().clear();
    EXPECT_EQ(counts.alive(), 0);
    EXPECT_EQ(pools.pool<Counted>().size(), 0u);
    EXPECT_EQ(pools.pool<NotificationMessage>().size(), 300u);

    pools.emit<Counted>(counts, "sent after the clear, long enough for the heap");
    pools.clearAll();
    EXPECT_EQ(counts.alive(), 0);
    EXPECT_EQ(pools.pool<NotificationMessage>().size(), 0u);
    EXPECT_EQ(pools.pool<NotificationMessage>().capacity(), capacity);
    EXPECT_EQ(pools.pool<ToggleTextureSamplingMethodOrderMessage>().size(), 0u);
    EXPECT_EQ(pools.pool<FlagTakenMessage>().size(), 0u);
    EXPECT_TRUE(pools.pool<NotificationMessage>().begin() == pools.pool<NotificationMessage>().end());

    pools.emit<NotificationMessage>("next frame");
    EXPECT_EQ(pools.pool<NotificationMessage>()[0].text, "next frame");

    // Messages still held when the pools go are destroyed with them.
    {
        MessagePools scoped;
        scoped.emit<Counted>(counts, "never read, long enough for the heap");
        EXPECT_EQ(counts.alive(), 1);
    }
    EXPECT_EQ(counts.alive(), 0);
}
