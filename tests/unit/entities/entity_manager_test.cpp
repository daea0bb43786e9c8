#include "entities/entity_manager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "lifetime_counter.h"

namespace {

struct Position {
    float x = 0.0f;
    float y = 0.0f;
};

struct Health {
    int value = 100;
};

struct Forty {
    double values[5];
};

struct NeverAssigned {
    int value;
};

std::vector<std::pair<std::uint32_t, std::uint32_t>> indicesAndVersions(const std::vector<Entity>& entities) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> result;
    for (const Entity& entity : entities) {
        result.emplace_back(entity.index(), entity.version());
    }
    return result;
}

}  // namespace

TEST(EntityId, KeepsTheIndexInTheLowHalfAndTheVersionInTheHighHalf) {
    const Entity::Id id(7, 3);
    EXPECT_EQ(id.value(), (std::uint64_t{3} << 32) | 7);
    EXPECT_EQ(id.index(), 7u);
    EXPECT_EQ(id.version(), 3u);
    EXPECT_EQ(Entity::Id(id.value()), id);
    EXPECT_EQ(Entity::Id(0xFFFFFFFFu, 0xFFFFFFFFu).value(), ~std::uint64_t{0});
    EXPECT_FALSE(Entity().valid());
}

TEST(EntityManager, HandsOutIndicesFromZeroAndReusesTheOldestDestroyedFirst) {
    EntityManager manager;
    Entity first = manager.create();
    EXPECT_EQ(first.index(), 0u);
    EXPECT_EQ(first.version(), 1u);
    EXPECT_EQ(first.manager(), &manager);
    manager.destroy(first.id());
    Entity again = manager.create();
    EXPECT_EQ(again.index(), 0u);
    EXPECT_EQ(again.version(), 2u);

    std::vector<Entity> more;
    for (int k = 0; k < 5; ++k) {
        more.push_back(manager.create());
    }
    EXPECT_EQ(manager.indexCount(), 6u);
    manager.destroy(more[2].id());  // index 3
    manager.destroy(more[4].id());  // index 5
    manager.destroy(more[0].id());  // index 1
    const std::vector<Entity> reused{manager.create(), manager.create(), manager.create(), manager.create()};
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected{{3, 2}, {5, 2}, {1, 2}, {6, 1}};
    EXPECT_EQ(indicesAndVersions(reused), expected);
}

TEST(EntityManager, KeptEntitiesStopBeingValidWhenDestroyedEvenAfterTheirIndexIsReused) {
    EntityManager manager;
    const Entity kept = manager.create();
    const Entity copy = kept;
    EXPECT_TRUE(kept.valid());
    manager.destroy(kept.id());
    EXPECT_FALSE(copy.valid());
    const Entity successor = manager.create();
    EXPECT_EQ(successor.index(), kept.index());
    EXPECT_TRUE(successor.valid());
    EXPECT_FALSE(copy.valid());
    EXPECT_NE(successor, copy);

    EXPECT_FALSE(Entity(&manager, Entity::Id(5, 1)).valid());  // never handed out
    EXPECT_FALSE(Entity(&manager, Entity::Id(0, 0)).valid());
}

TEST(EntityManager, IgnoresDestroyOfAnEntityThatIsNotAlive) {
    EntityManager manager;
    const Entity a = manager.create();
    const Entity b = manager.create();
    manager.destroy(a.id());
    manager.destroy(a.id());            // a second time
    manager.destroy(Entity::Id(9, 1));  // never handed out

    const Entity successor = manager.create();
    EXPECT_EQ(successor.index(), a.index());
    manager.assign<Health>(successor.id(), 50);
    manager.destroy(a.id());  // stale version: the successor keeps living
    EXPECT_TRUE(successor.valid());
    EXPECT_EQ(manager.component<Health>(successor.id())->value, 50);

    // Index 0 entered the free list once, so the next index is a fresh one.
    EXPECT_EQ(manager.create().index(), 2u);
    EXPECT_TRUE(b.valid());
}

TEST(EntityManager, FindsComponentsOnlyOnTheEntitiesHoldingThemAndCreatesNothingWhenAsked) {
    EntityManager manager;
    const Entity a = manager.create();
    const Entity b = manager.create();

    EXPECT_FALSE(manager.component<NeverAssigned>(a.id()));
    EXPECT_FALSE(manager.has<NeverAssigned>(a.id()));
    EXPECT_EQ(manager.componentPool<NeverAssigned>(), nullptr);

    ComponentHandle<Position> position = manager.assign<Position>(a.id(), 1.0f, 2.0f);
    ASSERT_TRUE(position);
    EXPECT_EQ(position.entity(), a);
    EXPECT_FLOAT_EQ(position->y, 2.0f);
    position->x = 5.0f;
    EXPECT_FLOAT_EQ(manager.component<Position>(a.id())->x, 5.0f);
    EXPECT_TRUE(manager.has<Position>(a.id()));
    EXPECT_FALSE(manager.has<Position>(b.id()));
    EXPECT_FALSE(manager.component<Position>(b.id()));
    EXPECT_FALSE(manager.has<Position>(Entity::Id(40, 1)));  // beyond every table

    manager.remove<Position>(a.id());
    EXPECT_FALSE(manager.component<Position>(a.id()));
    manager.remove<Position>(a.id());  // holds none: nothing happens
    manager.remove<NeverAssigned>(a.id());
    EXPECT_EQ(manager.componentPool<NeverAssigned>(), nullptr);

    manager.assign<Position>(a.id());
    EXPECT_FLOAT_EQ(manager.component<Position>(a.id())->x, 0.0f);
    EXPECT_TRUE(manager.componentMasks()[a.index()].test(EntityManager::componentTypeIndex<Position>()));
}

TEST(EntityManager, PoolsCoverEveryIndexHandedOutAndHandlesSurviveTheirGrowth) {
    EntityManager manager;
    for (int k = 0; k < 10; ++k) {
        manager.create();
    }
    manager.assign<Health>(Entity::Id(4, 1), 7);
    ASSERT_NE(manager.componentPool<Health>(), nullptr);
    EXPECT_EQ(manager.componentPool<Health>()->size(), 10u);
    manager.create();
    EXPECT_EQ(manager.componentPool<Health>()->size(), 11u);

    // 204 forty-byte slots fit the first chunk.
    const Entity owner = manager.create();
    const ComponentHandle<Forty> handle = manager.assign<Forty>(owner.id(), Forty{{1, 2, 3, 4, 5}});
    // A short string keeps its characters inside itself: it must be moved, not copied bytewise.
    const ComponentHandle<std::string> name = manager.assign<std::string>(owner.id(), "short");
    const std::string* before = name.get();
    while (manager.indexCount() < 204) {
        manager.create();
    }
    EXPECT_EQ(manager.componentPool<Forty>()->capacity(), 8192u);
    manager.create();
    EXPECT_EQ(manager.componentPool<Forty>()->capacity(), 16384u);
    while (manager.indexCount() < 5000) {
        manager.assign<Forty>(manager.create().id(), Forty{{0, 0, 0, 0, 0}});
    }
    EXPECT_NE(name.get(), before);  // the block has moved at least once
    EXPECT_EQ(*name, "short");
    EXPECT_EQ(handle->values[4], 5.0);
    EXPECT_EQ(manager.component<Health>(Entity::Id(4, 1))->value, 7);
}

TEST(EntityManager, ReplacingAComponentDestroysTheOldValueAndDestroyingTheEntityDestroysTheRest) {
    LifetimeCounts counts;
    {
        EntityManager manager;
        const Entity a = manager.create();
        const Entity b = manager.create();
        manager.assign<Counted>(a.id(), counts, "first value, long enough for the heap");
        manager.assign<Counted>(a.id(), counts, "second value, long enough for the heap");
        EXPECT_EQ(counts.alive(), 1);
        EXPECT_EQ(manager.component<Counted>(a.id())->text, "second value, long enough for the heap");

        // The new value may be built from the old one.
        const ComponentHandle<Counted> held = manager.component<Counted>(a.id());
        manager.assign<Counted>(a.id(), *held);
        EXPECT_EQ(counts.alive(), 1);
        EXPECT_EQ(held->text, "second value, long enough for the heap");

        manager.assign<Health>(a.id());
        manager.assign<Counted>(b.id(), counts, "owned by b, who outlives this scope's loop");
        EXPECT_EQ(counts.alive(), 2);
        manager.destroy(a.id());
        EXPECT_EQ(counts.alive(), 1);
        EXPECT_FALSE(manager.has<Health>(a.id()));
        manager.destroy(a.id());  // ignored: nothing is destroyed twice
        EXPECT_EQ(counts.alive(), 1);
    }
    // The manager's pools destroy what is still held.
    EXPECT_EQ(counts.alive(), 0);
}

TEST(EntityManager, AssigningToAnEntityThatIsNotAliveGivesNothing) {
    EntityManager manager;
    const Entity gone = manager.create();
    manager.destroy(gone.id());
    EXPECT_FALSE(manager.assign<Health>(gone.id(), 3));
    const Entity successor = manager.create();
    EXPECT_FALSE(manager.has<Health>(successor.id()));
    EXPECT_TRUE(manager.componentMasks()[successor.index()].none());
    EXPECT_FALSE(manager.assign<Health>(Entity::Id(77, 1)));
}

namespace {
template <int N>
struct Numbered {};

template <int... N>
void touchComponentTypes(std::integer_sequence<int, N...>) {
    (EntityManager::componentTypeIndex<Numbered<N>>(), ...);
}

// Uses up the process-wide type counter, so it runs in a child process.
[[noreturn]] void assignBeyondTheMaskBits() {
    touchComponentTypes(std::make_integer_sequence<int, 65>());
    bool ok = EntityManager::componentTypeIndex<Numbered<64>>() >= 64;
    EntityManager manager;
    const Entity entity = manager.create();
    try {
        manager.assign<Numbered<64>>(entity.id());
        ok = false;
    } catch (const std::out_of_range&) {
    }
    ok = ok && manager.componentPool<Numbered<64>>() == nullptr;
    ComponentHandle<Numbered<64>> handle;
    try {
        manager.query(handle);
        ok = false;
    } catch (const std::out_of_range&) {
    }
    std::exit(ok ? 0 : 1);
}
}  // namespace

TEST(EntityManagerDeathTest, RejectsComponentTypesBeyondTheSixtyFourMaskBits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(assignBeyondTheMaskBits(), ::testing::ExitedWithCode(0), "");
}
