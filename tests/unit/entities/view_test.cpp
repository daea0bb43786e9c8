#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entities/entity_manager.h"

namespace {

struct Position {
    int x = 0;
};

struct Velocity {
    int dx = 0;
};

struct Tag {};

struct Unused {};

// Indices visited by one pass of the view.
std::vector<std::uint32_t> visit(const EntityManager::View& view) {
    std::vector<std::uint32_t> indices;
    for (Entity entity : view) {
        indices.push_back(entity.index());
    }
    return indices;
}

}  // namespace

TEST(View, VisitsExactlyTheEntitiesHoldingEveryQueriedComponentWithTheirHandles) {
    EntityManager manager;
    std::vector<Entity> entities;
    for (int k = 0; k < 6; ++k) {
        entities.push_back(manager.create());
    }
    for (int k : {0, 1, 3, 4}) {
        manager.assign<Position>(entities[k].id(), k * 10);
    }
    for (int k : {1, 2, 3, 4}) {
        manager.assign<Velocity>(entities[k].id(), k);
    }
    manager.assign<Tag>(entities[3].id());  // more than required still matches
    manager.destroy(entities[4].id());      // a freed index never matches

    ComponentHandle<Position> position;
    ComponentHandle<Velocity> velocity;
    std::vector<std::uint32_t> visited;
    for (Entity entity : manager.query(position, velocity)) {
        visited.push_back(entity.index());
        EXPECT_TRUE(entity.valid());
        EXPECT_EQ(position->x, static_cast<int>(entity.index()) * 10);
        EXPECT_EQ(velocity->dx, static_cast<int>(entity.index()));
        position->x += velocity->dx;  // written in place
    }
    EXPECT_EQ(visited, (std::vector<std::uint32_t>{1, 3}));
    EXPECT_EQ(manager.component<Position>(entities[3].id())->x, 33);

    // The reused index carries its new version when visited.
    const Entity successor = manager.create();
    manager.assign<Position>(successor.id());
    manager.assign<Velocity>(successor.id());
    std::vector<Entity> seen;
    for (Entity entity : manager.query(position, velocity)) {
        seen.push_back(entity);
    }
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2], successor);
    EXPECT_EQ(seen[2].version(), 2u);
}

TEST(View, FindsNobodyForATypeNeverAssignedOrInAnEmptyStore) {
    EntityManager manager;
    ComponentHandle<Position> position;
    const EntityManager::View empty = manager.query(position);
    EXPECT_TRUE(empty.begin() == empty.end());

    for (int k = 0; k < 4; ++k) {
        manager.assign<Position>(manager.create().id());
    }
    ComponentHandle<Unused> unused;
    EXPECT_TRUE(visit(manager.query(unused)).empty());
    EXPECT_TRUE(visit(manager.query(position, unused)).empty());
    EXPECT_EQ(manager.componentPool<Unused>(), nullptr);
}

TEST(View, TestsPredicatesInOrderAndStopsAtTheFirstThatFails) {
    EntityManager manager;
    for (int k = 0; k < 4; ++k) {
        manager.create();
    }
    std::string calls;
    EntityManager::View view(&manager, [&](const EntityManager&, const Entity::Id& id) {
        calls += "a" + std::to_string(id.index());
        return id.index() % 2 == 0;
    });
    view.where([&](const EntityManager&, const Entity::Id& id) {
        calls += "b" + std::to_string(id.index());
        return id.index() != 2;
    });
    EXPECT_EQ(visit(view), (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(calls, "a0b0a1a2b2a3");
}

TEST(View, BindsHandlesOfComponentsOutsideThePredicateAsEmptyWhenAbsent) {
    EntityManager manager;
    const Entity moving = manager.create();
    const Entity still = manager.create();
    manager.assign<Position>(moving.id(), 1);
    manager.assign<Velocity>(moving.id(), 2);
    manager.assign<Position>(still.id(), 3);

    ComponentMask required;
    required.set(EntityManager::componentTypeIndex<Position>());
    ComponentHandle<Position> position;
    ComponentHandle<Velocity> velocity;
    EntityManager::View view(&manager, EntityManager::ComponentMaskPredicate(manager, required));
    view.bind(position).bind(velocity);
    std::vector<bool> hasVelocity;
    for (Entity entity : view) {
        EXPECT_EQ(position.entity(), entity);
        hasVelocity.push_back(static_cast<bool>(velocity));
    }
    EXPECT_EQ(hasVelocity, (std::vector<bool>{true, false}));

    // The mask predicate ignores the version of the id it is given.
    const EntityManager::ComponentMaskPredicate predicate(manager, required);
    EXPECT_TRUE(predicate(manager, Entity::Id(still.index(), 99)));
    EXPECT_FALSE(predicate(manager, Entity::Id(1000, 1)));
}

TEST(View, LetsTheLoopDestroyTheCurrentEntityAndVisitsAnIndexReusedAheadOfIt) {
    EntityManager manager;
    std::vector<Entity> entities;
    for (int k = 0; k < 6; ++k) {
        entities.push_back(manager.create());
        manager.assign<Position>(entities.back().id(), k);
    }
    manager.destroy(entities[3].id());
    manager.destroy(entities[1].id());

    ComponentHandle<Position> position;
    std::vector<int> values;
    for (Entity entity : manager.query(position)) {
        values.push_back(position->x);
        if (entity.index() == 2) {
            // Reuses index 3 (destroyed first), ahead of the loop: visited.
            manager.assign<Position>(manager.create().id(), 30);
            // Reuses index 1, behind the loop: not visited in this pass.
            manager.assign<Position>(manager.create().id(), 10);
            // A fresh index beyond the end of this pass: not visited either.
            manager.assign<Position>(manager.create().id(), 60);
            manager.destroy(entity.id());
        }
    }
    EXPECT_EQ(values, (std::vector<int>{0, 2, 30, 4, 5}));
    EXPECT_EQ(visit(manager.query(position)), (std::vector<std::uint32_t>{0, 1, 3, 4, 5, 6}));
}
