#include "mechanics/mechanics_processor.h"

#include <gtest/gtest.h>

#include <boost/any.hpp>
#include <cmath>
#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>
#include <list>
#include <memory>
#include <utility>
#include <vector>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"
#include "game/components.h"

namespace {
constexpr float kTolerance = 1e-4f;

// An entity store, message pools and the processor working on them.
class MechanicsWorld {
  public:
    MechanicsWorld() : processor(entities, messages) {}

    Entity mover(const glm::vec3& position, float speed, std::list<glm::vec3> waypoints,
                 bool animated = true) {
        const Entity entity = entities.create();
        entities.assign<TransformComponent>(entity.id(), position);
        entities.assign<SpeedComponent>(entity.id(), speed);
        entities.assign<PathComponent>(entity.id(), std::move(waypoints));
        if (animated) {
            entities.assign<AnimationComponent>(entity.id(), static_cast<int32_t>(Idle), 0.5f);
        }
        return entity;
    }

    // An entity whose collision is one box from min to max around position.
    Entity box(const glm::vec3& position, int32_t kind, const glm::vec3& min, const glm::vec3& max) {
        const Entity entity = entities.create();
        entities.assign<TransformComponent>(entity.id(), position);
        CollisionComponent collision;
        collision.kind = kind;
        collision.isStatic = kind == StaticKind ? 1 : 0;
        collision.volumes.push_back(std::make_unique<AxisAlignedBox>(min, max));
        entities.assign<CollisionComponent>(entity.id(), std::move(collision));
        return entity;
    }

    Entity unitBox(const glm::vec3& position, int32_t kind) {
        return box(position, kind, glm::vec3(0.0f), glm::vec3(1.0f));
    }

    glm::vec3 position(Entity entity) {
        return entities.component<TransformComponent>(entity.id())->position;
    }
    bool hasPath(Entity entity) { return entities.has<PathComponent>(entity.id()); }
    std::size_t waypointsLeft(Entity entity) {
        return entities.component<PathComponent>(entity.id())->waypoints.size();
    }
    AnimationComponent animation(Entity entity) {
        return *entities.component<AnimationComponent>(entity.id());
    }

    // The collision messages of this frame as (first, second) index pairs.
    std::vector<std::pair<uint32_t, uint32_t>> collisions() {
        std::vector<std::pair<uint32_t, uint32_t>> pairs;
        for (const CollisionMessage& message : messages.pool<CollisionMessage>()) {
            pairs.emplace_back(message.first.index(), message.second.index());
        }
        return pairs;
    }

    EntityManager entities;
    MessagePools messages;
    MechanicsProcessor processor;
};

void expectNear(const glm::vec3& actual, const glm::vec3& expected) {
    EXPECT_NEAR(actual.x, expected.x, kTolerance);
    EXPECT_NEAR(actual.y, expected.y, kTolerance);
    EXPECT_NEAR(actual.z, expected.z, kTolerance);
}

// The angle in degrees between two rotations, whatever their signs.
float degreesBetween(const glm::quat& a, const glm::quat& b) {
    const float cosine = std::min(1.0f, std::abs(glm::dot(glm::normalize(a), glm::normalize(b))));
    return glm::degrees(2.0f * std::acos(cosine));
}

// Where a rotation turns the local +Z axis.
glm::vec3 facing(const glm::quat& rotation) {
    return rotation * glm::vec3(0.0f, 0.0f, 1.0f);
}

const glm::quat kIdentity(1.0f, 0.0f, 0.0f, 0.0f);
}  // namespace

TEST(MechanicsMovement, TheBudgetOfSpeedTimesDtIsSpentAlongTheWaypoints) {
    MechanicsWorld world;
    // Speed 4, dt 0.5: a budget of 2.
    const Entity arrives = world.mover({0, 0, 0}, 4.0f, {{1, 0, 0}});
    world.processor.move(0.5);
    expectNear(world.position(arrives), {1, 0, 0});
    EXPECT_FALSE(world.hasPath(arrives));
    EXPECT_EQ(world.animation(arrives).state, Idle);
    EXPECT_EQ(world.animation(arrives).progress, 0.0f);

    MechanicsWorld far;
    const Entity walking = far.mover({0, 0, 0}, 4.0f, {{10, 0, 0}});
    far.processor.move(0.5);
    expectNear(far.position(walking), {2, 0, 0});
    ASSERT_TRUE(far.hasPath(walking));
    EXPECT_EQ(far.waypointsLeft(walking), 1u);
    EXPECT_EQ(far.animation(walking).state, AnimationState::Run);
    EXPECT_EQ(far.animation(walking).progress, 0.0f);
    // Already running: the clip goes on where it is.
    far.entities.component<AnimationComponent>(walking.id())->progress = 0.25f;
    far.processor.move(0.5);
    expectNear(far.position(walking), {4, 0, 0});
    EXPECT_EQ(far.animation(walking).state, AnimationState::Run);
    EXPECT_EQ(far.animation(walking).progress, 0.25f);

    // The rest of the budget carries over past a reached waypoint, on all
    // three axes.
    MechanicsWorld corner;
    const Entity turning = corner.mover({0, 0, 0}, 4.0f, {{1, 0, 0}, {1, 5, 0}});
    corner.processor.move(0.5);
    expectNear(corner.position(turning), {1, 1, 0});
    EXPECT_EQ(corner.waypointsLeft(turning), 1u);
    expectNear(corner.entities.component<PathComponent>(turning.id())->waypoints.front(), {1, 5, 0});

    // Without a budget nothing happens at all.
    MechanicsWorld still;
    const Entity stopped = still.mover({3, 0, 3}, 0.0f, {{10, 0, 0}});
    still.processor.move(0.5);
    expectNear(still.position(stopped), {3, 0, 3});
    EXPECT_EQ(still.waypointsLeft(stopped), 1u);
    EXPECT_EQ(still.animation(stopped).state, Idle);
    EXPECT_EQ(still.animation(stopped).progress, 0.5f);
    // Nor with a frame of no time.
    const Entity paused = still.mover({0, 0, 0}, 8.0f, {{10, 0, 0}});
    still.processor.move(0.0);
    expectNear(still.position(paused), {0, 0, 0});
    EXPECT_EQ(still.animation(paused).state, Idle);
}

TEST(MechanicsMovement, WaypointsAreConsumedInOrderAndTheLastOneEndsThePath) {
    MechanicsWorld world;
    // Speed 1: one unit per second along a square's three sides; a waypoint on
    // the current position costs nothing.
    const Entity walker = world.mover({0, 0, 0}, 1.0f, {{0, 0, 0}, {2, 0, 0}, {2, 0, 2}, {0, 0, 2}}, false);
    world.processor.move(1.0);
    expectNear(world.position(walker), {1, 0, 0});
    EXPECT_EQ(world.waypointsLeft(walker), 3u);
    world.processor.move(2.5);
    expectNear(world.position(walker), {2, 0, 1.5f});
    EXPECT_EQ(world.waypointsLeft(walker), 2u);
    world.processor.move(10.0);
    expectNear(world.position(walker), {0, 0, 2});
    // No animation component: the path simply ends.
    EXPECT_FALSE(world.hasPath(walker));
    EXPECT_FALSE(world.entities.has<AnimationComponent>(walker.id()));
}

TEST(MechanicsMovement, OnlyOneEntityFinishesItsPathPerFrameAndTheOnesAfterItWait) {
    MechanicsWorld world;
    const Entity first = world.mover({0, 0, 0}, 4.0f, {{1, 0, 0}});
    const Entity second = world.mover({0, 0, 5}, 4.0f, {{1, 0, 5}});
    const Entity third = world.mover({0, 0, 9}, 4.0f, {{10, 0, 9}});

    world.processor.move(0.5);
    expectNear(world.position(first), {1, 0, 0});
    EXPECT_FALSE(world.hasPath(first));
    // The second would arrive too, and the third would move: both wait.
    expectNear(world.position(second), {0, 0, 5});
    EXPECT_TRUE(world.hasPath(second));
    EXPECT_EQ(world.animation(second).state, Idle);
    expectNear(world.position(third), {0, 0, 9});

    world.processor.move(0.5);
    expectNear(world.position(second), {1, 0, 5});
    EXPECT_FALSE(world.hasPath(second));
    EXPECT_EQ(world.animation(second).state, Idle);
    expectNear(world.position(third), {0, 0, 9});

    world.processor.move(0.5);
    expectNear(world.position(third), {2, 0, 9});
    EXPECT_EQ(world.animation(third).state, AnimationState::Run);
}

TEST(MechanicsTurning, TurnsAtEightHundredDegreesPerSecondAndStopsAtTheTarget) {
    const glm::vec3 origin(0.0f);
    const glm::vec3 behind(0.0f, 0.0f, -5.0f);  // identity faces +Z: half a turn away

    const glm::quat partial = MechanicsProcessor::turnTowards(origin, kIdentity, behind, 0.1);
    EXPECT_NEAR(degreesBetween(partial, kIdentity), 80.0f, 0.01f);
    // The turn is about the vertical axis.
    EXPECT_NEAR(facing(partial).y, 0.0f, kTolerance);
    EXPECT_NEAR(glm::length(partial), 1.0f, kTolerance);

    // 0.25 s allows 200 degrees: clamped to the 180 needed.
    const glm::quat whole = MechanicsProcessor::turnTowards(origin, kIdentity, behind, 0.25);
    expectNear(facing(whole), {0, 0, -1});
    // Two steps of 0.1 s: 80 degrees, then the remaining 100 is more than 80.
    const glm::quat twice = MechanicsProcessor::turnTowards(origin, partial, behind, 0.1);
    EXPECT_NEAR(degreesBetween(twice, kIdentity), 160.0f, 0.05f);
    const glm::quat thrice = MechanicsProcessor::turnTowards(origin, twice, behind, 0.1);
    expectNear(facing(thrice), {0, 0, -1});

    // The height of the target does not matter: only its horizontal direction.
    const glm::quat right = MechanicsProcessor::turnTowards({1, 2, 3}, kIdentity, {4, -7, 3}, 1.0);
    expectNear(facing(right), {1, 0, 0});
    // Facing the target already: the rotation stays (up to its sign).
    const glm::quat again = MechanicsProcessor::turnTowards({1, 2, 3}, right, {9, 2, 3}, 0.016);
    EXPECT_NEAR(degreesBetween(again, right), 0.0f, 0.05f);
    EXPECT_TRUE(isValidRotation(again));
    // A frame of no time does not turn.
    const glm::quat frozen = MechanicsProcessor::turnTowards(origin, kIdentity, behind, 0.0);
    EXPECT_NEAR(degreesBetween(frozen, kIdentity), 0.0f, 0.05f);
}

TEST(MechanicsTurning, ATargetStraightAboveOrBelowOrAtThePositionLeavesTheRotation) {
    const glm::quat tilted = glm::angleAxis(glm::radians(30.0f), glm::vec3(0, 1, 0));
    for (const glm::vec3& target : {glm::vec3(2, 9, -1), glm::vec3(2, -9, -1), glm::vec3(2, 1, -1)}) {
        const glm::quat result = MechanicsProcessor::turnTowards({2, 1, -1}, tilted, target, 1.0);
        EXPECT_EQ(result.x, tilted.x);
        EXPECT_EQ(result.y, tilted.y);
        EXPECT_EQ(result.z, tilted.z);
        EXPECT_EQ(result.w, tilted.w);
    }
    // A rotation that is not a number has no angle to the goal: it is
    // replaced by the facing itself rather than kept broken.
    const glm::quat broken(NAN, 0.0f, 0.0f, 0.0f);
    EXPECT_FALSE(isValidRotation(broken));
    const glm::quat repaired = MechanicsProcessor::turnTowards({0, 0, 0}, broken, {1, 0, 0}, 0.001);
    EXPECT_TRUE(isValidRotation(repaired));
    expectNear(facing(repaired), {1, 0, 0});
    EXPECT_TRUE(isValidRotation(kIdentity));
    EXPECT_FALSE(isValidRotation(glm::quat(1.0f, INFINITY, 0.0f, 0.0f)));
}

TEST(MechanicsTurning, EntitiesTurnTowardsTheirNextWaypointThenTheirCastTarget) {
    MechanicsWorld world;
    // Speed 0 keeps the waypoint in front of the entity.
    const Entity walker = world.mover({0, 0, 0}, 0.0f, {{0, 0, -5}});
    world.processor.face(0.1);
    const glm::quat afterPath = world.entities.component<TransformComponent>(walker.id())->rotation;
    EXPECT_NEAR(degreesBetween(afterPath, kIdentity), 80.0f, 0.01f);

    // Both a waypoint and a cast target: two turns in one frame, the second
    // from the result of the first.
    world.entities.component<TransformComponent>(walker.id())->rotation = kIdentity;
    world.entities.assign<SkillCastTargetComponent>(walker.id(), boost::any(glm::vec3(5, 0, 0)));
    world.processor.face(0.1);
    const glm::quat expected = MechanicsProcessor::turnTowards(
        {0, 0, 0}, MechanicsProcessor::turnTowards({0, 0, 0}, kIdentity, {0, 0, -5}, 0.1), {5, 0, 0}, 0.1);
    const glm::quat turned = world.entities.component<TransformComponent>(walker.id())->rotation;
    EXPECT_NEAR(degreesBetween(turned, expected), 0.0f, 0.01f);

    // A victim entity is followed while it lives.
    const Entity caster = world.entities.create();
    world.entities.assign<TransformComponent>(caster.id(), glm::vec3(0, 0, 0));
    const Entity victim = world.entities.create();
    world.entities.assign<TransformComponent>(victim.id(), glm::vec3(7, 0, 0));
    world.entities.assign<SkillCastTargetComponent>(caster.id(), boost::any(victim));
    world.processor.face(1.0);
    expectNear(facing(world.entities.component<TransformComponent>(caster.id())->rotation), {1, 0, 0});

    // A victim that is gone, a victim without a position, or a target of
    // another type leave the rotation alone.
    world.entities.component<TransformComponent>(caster.id())->rotation = kIdentity;
    world.entities.destroy(victim.id());
    world.processor.face(1.0);
    EXPECT_EQ(world.entities.component<TransformComponent>(caster.id())->rotation, kIdentity);
    const Entity ghost = world.entities.create();
    world.entities.assign<SkillCastTargetComponent>(caster.id(), boost::any(ghost));
    world.processor.face(1.0);
    EXPECT_EQ(world.entities.component<TransformComponent>(caster.id())->rotation, kIdentity);
    world.entities.assign<SkillCastTargetComponent>(caster.id(), boost::any(42));
    world.processor.face(1.0);
    EXPECT_EQ(world.entities.component<TransformComponent>(caster.id())->rotation, kIdentity);
}

TEST(MechanicsCollisions, PairsAreReportedByTheLaterEntityThenTheEarlierOne) {
    MechanicsWorld world;
    const Entity a = world.unitBox({0, 0, 0}, ActorKind);
    const Entity apart = world.unitBox({50, 0, 0}, ActorKind);
    const Entity b = world.unitBox({0.5f, 0, 0}, EffectKind);
    const Entity c = world.unitBox({0.25f, 0.5f, 0}, FlagKind);
    world.processor.update(0.016);
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {b.index(), a.index()}, {c.index(), a.index()}, {c.index(), b.index()}};
    EXPECT_EQ(world.collisions(), expected);
    (void)apart;

    // Messages carry live entities of this world.
    const CollisionMessage& message = world.messages.pool<CollisionMessage>()[0];
    EXPECT_TRUE(message.first.valid());
    EXPECT_EQ(message.first.manager(), &world.entities);

    // Each frame tests again (the pools are the game's to clear).
    world.messages.clearAll();
    world.processor.update(0.016);
    EXPECT_EQ(world.collisions(), expected);
}

TEST(MechanicsCollisions, LevelGeometryIsNotTestedAgainstItself) {
    MechanicsWorld world;
    const Entity rock = world.unitBox({0, 0, 0}, StaticKind);
    const Entity wall = world.unitBox({0.5f, 0, 0}, StaticKind);
    world.processor.update(0.016);
    EXPECT_TRUE(world.collisions().empty());

    // An actor touching both is reported once with each, itself first.
    const Entity actor = world.unitBox({0.25f, 0.5f, 0}, ActorKind);
    world.messages.clearAll();
    world.processor.update(0.016);
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{actor.index(), rock.index()},
                                                                 {actor.index(), wall.index()}};
    EXPECT_EQ(world.collisions(), expected);

    // Placed before the geometry in the view, it is still reported once per
    // pair, now as the second entity.
    MechanicsWorld early;
    const Entity first = early.unitBox({0.25f, 0.5f, 0}, ActorKind);
    const Entity stone = early.unitBox({0, 0, 0}, StaticKind);
    early.processor.update(0.016);
    const std::vector<std::pair<uint32_t, uint32_t>> once = {{stone.index(), first.index()}};
    EXPECT_EQ(early.collisions(), once);
}

TEST(MechanicsCollisions, StaticWorldVolumesAreComputedOnceAndMovingOnesEveryFrame) {
    MechanicsWorld world;
    const Entity wall = world.box({10, 0, 0}, StaticKind, {-1, 0, -1}, {1, 2, 1});
    const Entity actor = world.box({0, 0, 0}, ActorKind, {-1, 0, -1}, {1, 2, 1});
    world.entities.component<TransformComponent>(actor.id())->scale = glm::vec3(2.0f);
    world.processor.update(0.016);

    const auto worldBox = [&](Entity entity) {
        const CollisionComponent& collision = *world.entities.component<CollisionComponent>(entity.id());
        EXPECT_EQ(collision.worldVolumes.size(), 1u);
        return static_cast<const AxisAlignedBox&>(*collision.worldVolumes.front());
    };
    expectNear(worldBox(wall).min, {9, 0, -1});
    expectNear(worldBox(wall).max, {11, 2, 1});
    expectNear(worldBox(actor).min, {-2, 0, -2});
    expectNear(worldBox(actor).max, {2, 4, 2});
    EXPECT_TRUE(world.collisions().empty());

    // Moving the wall onto the actor changes nothing: its volumes stay where
    // they were first computed. The actor's follow it.
    world.entities.component<TransformComponent>(wall.id())->position = glm::vec3(0, 0, 0);
    world.entities.component<TransformComponent>(actor.id())->position = glm::vec3(3, 0, 0);
    world.messages.clearAll();
    world.processor.update(0.016);
    expectNear(worldBox(wall).min, {9, 0, -1});
    expectNear(worldBox(actor).min, {1, 0, -2});
    EXPECT_TRUE(world.collisions().empty());
    world.entities.component<TransformComponent>(actor.id())->position = glm::vec3(8, 0, 0);
    world.processor.update(0.016);
    ASSERT_EQ(world.collisions().size(), 1u);

    // The local volumes are never touched.
    const CollisionComponent& local = *world.entities.component<CollisionComponent>(actor.id());
    expectNear(static_cast<const AxisAlignedBox&>(*local.volumes.front()).min, {-1, 0, -1});
}

TEST(MechanicsCollisions, EntitiesWithoutWorldVolumesNeverCollide) {
    MechanicsWorld world;
    // No transform: its world volumes are never filled.
    const Entity loose = world.entities.create();
    CollisionComponent collision;
    collision.volumes.push_back(std::make_unique<AxisAlignedBox>(glm::vec3(-9.0f), glm::vec3(9.0f)));
    world.entities.assign<CollisionComponent>(loose.id(), std::move(collision));
    // No volumes at all.
    const Entity empty = world.entities.create();
    world.entities.assign<TransformComponent>(empty.id(), glm::vec3(0.0f));
    world.entities.assign<CollisionComponent>(empty.id());
    world.unitBox({0, 0, 0}, ActorKind);
    world.processor.update(0.016);
    EXPECT_TRUE(world.collisions().empty());
    EXPECT_FALSE(collide(world.entities, loose.id(), empty.id()));
    const Entity bare = world.entities.create();
    EXPECT_FALSE(collide(world.entities, bare.id(), loose.id()));
}
