#include "game/processors/ai_processor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <glm/geometric.hpp>
#include <list>
#include <memory>
#include <random>
#include <vector>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"
#include "game/components.h"
#include "game/game.h"
#include "game_fixture.h"
#include "io/data_manager.h"
#include "mechanics/navigation_mesh.h"
#include "utils/random.h"

namespace {
constexpr float kTolerance = 1e-4f;
// The fireball numbers every hand-made world uses: reach 35 x 1.2 = 42.
constexpr float kFireballSpeed = 35.0f;
constexpr float kFireballReach = 42.0f;
constexpr double kFrame = 0.1;

void expectNear(const glm::vec3& actual, const glm::vec3& expected, float tolerance = kTolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// A world built by hand: actors, flags and the AI processor, with the orders
// it sent in the last frame kept for inspection.
class AiWorld : public ::testing::Test {
  protected:
    void SetUp() override {
        DataManager::instance().clear();
        DataManager::instance().parse(
            "fireball.projectile.speed = 35.0\n"
            "fireball.projectile.lifetime = 1.2\n",
            "ai test");
    }
    void TearDown() override { DataManager::instance().clear(); }

    // A living actor standing idle; with `ai` it is computer-controlled.
    Entity actor(Team team, const glm::vec3& position, bool ai = false) {
        const Entity entity = entities.create();
        entities.assign<TeamComponent>(entity.id(), static_cast<uint8_t>(team));
        entities.assign<TransformComponent>(entity.id(), position);
        entities.assign<SpeedComponent>(entity.id(), 8.0f);
        entities.assign<AnimationComponent>(entity.id(), static_cast<int32_t>(Idle), 0.0f);
        entities.assign<HealthComponent>(entity.id(), 100.0f, 100.0f);
        if (ai) {
            entities.assign<AiComponent>(entity.id());
        }
        return entity;
    }

    Entity flag(Team team, const glm::vec3& position, FlagState state = AtBase) {
        const Entity entity = entities.create();
        entities.assign<TransformComponent>(entity.id(), position);
        entities.assign<TeamComponent>(entity.id(), static_cast<uint8_t>(team));
        entities.assign<BehaviourComponent>(entity.id(), static_cast<int32_t>(FlagBehaviour));
        entities.assign<FlagComponent>(entity.id(), static_cast<uint8_t>(state));
        return entity;
    }

    // Marks the actor as carrying the enemy flag.
    void carry(Entity carrier) {
        entities.assign<FlagComponent>(carrier.id(), static_cast<uint8_t>(Carried));
    }

    void walk(Entity entity, std::list<glm::vec3> waypoints) {
        entities.assign<PathComponent>(entity.id(), PathComponent{std::move(waypoints)});
    }

    AiComponent& aiOf(Entity entity) { return *entities.component<AiComponent>(entity.id()); }
    glm::vec3 positionOf(Entity entity) {
        return entities.component<TransformComponent>(entity.id())->position;
    }

    // One AI frame; the orders it sent are moved into moves and casts.
    void frame(double dt = kFrame) {
        moves.clear();
        casts.clear();
        processor.update(dt);
        for (const MoveToLocationOrderMessage& order : messages.pool<MoveToLocationOrderMessage>()) {
            moves.push_back(order);
        }
        for (const SkillCastToLocationOrderMessage& order :
             messages.pool<SkillCastToLocationOrderMessage>()) {
            casts.push_back(order);
        }
        messages.clearAll();
    }

    EntityManager entities;
    MessagePools messages;
    AiProcessor processor{entities, messages};
    std::vector<MoveToLocationOrderMessage> moves;
    std::vector<SkillCastToLocationOrderMessage> casts;
};
}  // namespace

TEST(AiPrediction, PredictAlongPathWalksTheLegsAndGoesOnPastTheLastWaypoint) {
    const glm::vec3 start(0, 0, 0);
    struct Case {
        const char* what;
        std::list<glm::vec3> waypoints;
        float t;
        float speed;
        glm::vec3 expected;
    };
    const Case cases[] = {
        {"part of the first leg", {{10, 0, 0}}, 0.5f, 4.0f, {2, 0, 0}},
        {"round a corner", {{4, 0, 0}, {4, 0, 10}}, 1.5f, 4.0f, {4, 0, 2}},
        {"exactly at an inner waypoint", {{4, 0, 0}, {4, 0, 10}}, 1.0f, 4.0f, {4, 0, 0}},
        {"straight on past the end", {{4, 0, 0}}, 2.0f, 4.0f, {8, 0, 0}},
        {"past the end after a corner", {{4, 0, 0}, {4, 0, 3}}, 2.0f, 4.0f, {4, 0, 4}},
        // Paths may end with their goal twice: the walk keeps its last heading.
        {"a repeated goal", {{4, 0, 0}, {4, 0, 0}}, 2.0f, 4.0f, {8, 0, 0}},
        {"height is carried along", {{0, 3, 4}}, 0.5f, 5.0f, {0, 1.5f, 2}},
        {"no time", {{10, 0, 0}}, 0.0f, 4.0f, start},
        {"negative time", {{10, 0, 0}}, -1.0f, 4.0f, start},
        {"no speed", {{10, 0, 0}, {10, 0, 10}}, 1.0f, 0.0f, start},
        {"no waypoints", {}, 1.0f, 4.0f, start},
        // Standing on its only waypoint the walk has no direction at all.
        {"already at the goal", {start}, 1.0f, 4.0f, start},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const glm::vec3 predicted = AiProcessor::predictAlongPath(start, test.waypoints, test.t, test.speed);
        expectNear(predicted, test.expected);
    }
}

TEST(AiPrediction, LeadTargetAimsWhereTheProjectileMeetsAWalkingTarget) {
    const glm::vec3 shooter(0, 0, 0);
    const glm::vec3 target(10, 0, 0);
    const std::list<glm::vec3> northwards = {{10, 0, 100}};

    // The meeting time solves 35 t = |(10, 0, 8 t)|: t = 10 / sqrt(35^2 - 8^2).
    const float meeting = 10.0f / std::sqrt(35.0f * 35.0f - 8.0f * 8.0f);
    const glm::vec3 aim = AiProcessor::leadTarget(shooter, target, northwards, 8.0f, kFireballSpeed);
    expectNear(aim, glm::vec3(10, 0, 8.0f * meeting), 1e-3f);
    EXPECT_NEAR(glm::distance(shooter, aim) / kFireballSpeed, glm::distance(target, aim) / 8.0f, 1e-4f);

    // A target that stands, or has nowhere to go, is shot where it is.
    expectNear(AiProcessor::leadTarget(shooter, target, northwards, 0.0f, kFireballSpeed), target);
    expectNear(AiProcessor::leadTarget(shooter, target, {}, 8.0f, kFireballSpeed), target);

    // Without a projectile faster than the target there is no lead (and no
    // division by a zero speed): the aim is the target itself.
    for (const float projectile : {0.0f, -35.0f, 8.0f, 4.0f}) {
        const glm::vec3 unled = AiProcessor::leadTarget(shooter, target, northwards, 8.0f, projectile);
        expectNear(unled, target);
    }
}

TEST_F(AiWorld, AllAiActorsChooseTheirModeOnTheFirstFrameAndAgainEveryThinkPeriod) {
    const Entity blueFlag = flag(Blue, {-40, 0, 0});
    const Entity redFlag = flag(Red, {40, 0, 0});
    const Entity blueGuard = actor(Blue, {-35, 0, 0}, true);
    const Entity redGuard = actor(Red, {35, 0, 0}, true);
    const Entity idle = actor(Red, {30, 0, 0});
    entities.component<AiComponent>(blueGuard.id())->role = 1;  // only role 0 thinks

    frame();
    EXPECT_EQ(aiOf(blueGuard).mode, NoMode);
    EXPECT_EQ(aiOf(redGuard).mode, Guard);
    EXPECT_EQ(aiOf(redGuard).target, redFlag);
    EXPECT_FALSE(entities.has<AiComponent>(idle.id()));

    // A Blue actor takes the Red flag: the Red guard keeps guarding until the
    // think period is over, then chases the carrier.
    aiOf(blueGuard).role = 0;
    const Entity thief = actor(Blue, {39, 0, 0});
    entities.destroy(redFlag.id());
    carry(thief);
    frame(0.1);
    frame(0.1);
    EXPECT_EQ(aiOf(redGuard).mode, Guard);
    EXPECT_EQ(aiOf(redGuard).target, redFlag);  // kept, although destroyed
    EXPECT_EQ(aiOf(blueGuard).mode, NoMode);
    frame(0.15);
    EXPECT_EQ(aiOf(redGuard).mode, Chase);
    EXPECT_EQ(aiOf(redGuard).target, thief);
    EXPECT_EQ(aiOf(blueGuard).mode, Guard);
    EXPECT_EQ(aiOf(blueGuard).target, blueFlag);

    // The thief dies and drops the flag: the Red guard goes to reclaim it.
    entities.remove<FlagComponent>(thief.id());
    entities.remove<HealthComponent>(thief.id());
    const Entity dropped = flag(Red, {20, 0, 5}, Dropped);
    frame(0.35);
    EXPECT_EQ(aiOf(redGuard).mode, Reclaim);
    EXPECT_EQ(aiOf(redGuard).target, dropped);
}

TEST_F(AiWorld, AGuardKeepsToTheRingAroundItsFlagAndStandsStillInsideIt) {
    const glm::vec3 base(-40, 0, 0);
    flag(Blue, base);
    flag(Red, {40, 0, 0});
    const Entity guard = actor(Blue, {-20, 0, 0}, true);

    // Outside the ring: a move to a random point of the ring, with the two
    // draws picking radius and angle (the extremes give the ring's edges).
    std::vector<int32_t> draws = {0, 0, AiProcessor::kRandomMax, 0};
    std::size_t next = 0;
    processor.setRandomSource([&] { return draws[next++ % draws.size()]; });
    frame();
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].actor, guard);
    expectNear(moves[0].location, base + glm::vec3(-2, 0, 0));  // radius 2 at -180 degrees
    EXPECT_TRUE(casts.empty());

    aiOf(guard).orderTimer = 0.0f;
    frame();
    ASSERT_EQ(moves.size(), 1u);
    expectNear(moves[0].location, base + glm::vec3(-8, 0, 0));  // radius 8

    // Any draw lands in the ring.
    processor.setRandomSource(nullptr);
    for (int order = 0; order < 50; ++order) {
        aiOf(guard).orderTimer = 0.0f;
        frame();
        ASSERT_EQ(moves.size(), 1u);
        const float distance = glm::distance(moves[0].location, base);
        EXPECT_GE(distance, AiProcessor::kGuardRingInner - kTolerance);
        EXPECT_LE(distance, AiProcessor::kGuardRingOuter + kTolerance);
        EXPECT_EQ(moves[0].location.y, 0.0f);
    }

    // A walk that ends in the ring is left to go on.
    walk(guard, {{-30, 0, 0}, base + glm::vec3(5, 0, 0)});
    for (int i = 0; i < 5; ++i) {
        frame();
        EXPECT_TRUE(moves.empty());
    }

    // Inside the ring, with no enemy near the flag, it stands still.
    entities.remove<PathComponent>(guard.id());
    for (const glm::vec3& spot :
         {base + glm::vec3(2, 0, 0), base + glm::vec3(0, 0, -8), base + glm::vec3(5, 0, 3)}) {
        entities.component<TransformComponent>(guard.id())->position = spot;
        for (int i = 0; i < 5; ++i) {
            frame();
            EXPECT_TRUE(moves.empty());
            EXPECT_TRUE(casts.empty());
        }
    }
}

TEST_F(AiWorld, AGuardShootsTheEnemyNearestItsFlagWithinTheWatchRadius) {
    const glm::vec3 base(0, 0, 0);
    flag(Blue, base);
    const Entity guard = actor(Blue, {5, 0, 0}, true);

    // Enemies measured from the flag, not from the guard; the watch radius
    // counts inclusively.
    const Entity beyond = actor(Red, {0, 0, 20.5f});
    frame();
    EXPECT_TRUE(casts.empty());
    EXPECT_TRUE(moves.empty());

    const Entity atEdge = actor(Red, {20, 0, 0});
    frame();
    ASSERT_EQ(casts.size(), 1u);
    EXPECT_EQ(casts[0].actor, guard);
    EXPECT_EQ(casts[0].skill, Fireball);
    expectNear(casts[0].location, positionOf(atEdge));

    // Nearer the flag but farther from the guard wins over the one at the edge.
    ASSERT_GT(glm::distance(glm::vec3(-15, 0, 0), positionOf(guard)),
              glm::distance(positionOf(atEdge), positionOf(guard)));
    const Entity nearer = actor(Red, {-15, 0, 0});
    frame();
    ASSERT_EQ(casts.size(), 1u);
    expectNear(casts[0].location, positionOf(nearer));

    // The dead have no health and are not aimed at.
    entities.remove<HealthComponent>(nearer.id());
    entities.remove<HealthComponent>(atEdge.id());
    frame();
    EXPECT_TRUE(casts.empty());

    // A walking enemy is led along its path.
    walk(beyond, {{0, 0, 10}});
    entities.component<TransformComponent>(beyond.id())->position = glm::vec3(0, 0, 19);
    frame();
    ASSERT_EQ(casts.size(), 1u);
    const glm::vec3 expected =
        AiProcessor::leadTarget(positionOf(guard), glm::vec3(0, 0, 19), {{0, 0, 10}}, 8.0f, kFireballSpeed);
    expectNear(casts[0].location, expected);
    EXPECT_LT(casts[0].location.z, 19.0f);

    // Outside the ring while it may not order a move, it looks for enemies too.
    entities.component<TransformComponent>(guard.id())->position = glm::vec3(30, 0, 0);
    aiOf(guard).orderTimer = 1.0f;
    frame();
    EXPECT_TRUE(moves.empty());
    EXPECT_EQ(casts.size(), 1u);
}

TEST_F(AiWorld, AGuardStepsAwayFromTheLastCrowdingTeammateInEntityOrder) {
    const glm::vec3 base(0, 0, 0);
    flag(Blue, base);
    const Entity before = actor(Blue, {4, 0, 1.2f});  // within 1.5, before the guard
    const Entity guard = actor(Blue, {4, 0, 0}, true);
    const Entity after = actor(Blue, {5, 0, 0});  // within 1.5, after the guard
    actor(Blue, {4, 0, -1.6f});                   // not crowding

    // The teammate after the guard is the last qualifying entry: the guard
    // orders a move to its mirror point about itself.
    frame();
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].actor, guard);
    expectNear(moves[0].location, glm::vec3(3, 0, 0));
    EXPECT_TRUE(casts.empty());

    // The throttle holds the next step back.
    frame();
    EXPECT_TRUE(moves.empty());

    // With the teammate after it gone, the guard itself is the last entry:
    // zero offset, no move, although another teammate still crowds it.
    entities.remove<HealthComponent>(after.id());
    aiOf(guard).orderTimer = 0.0f;
    frame();
    EXPECT_TRUE(moves.empty());
    EXPECT_LT(glm::distance(positionOf(before), positionOf(guard)), AiProcessor::kCrowdingDistance);
}

TEST_F(AiWorld, EveryGuardOfACrowdStepsAwayFromItsOwnLastCrowdingTeammate) {
    // A dense crowd of guards in the ring (about two per square unit, on
    // both sides of the axes), some on the very same spot.
    flag(Blue, {0, 0, 0});
    std::mt19937 random(11);
    std::uniform_real_distribution<float> radius(2.0f, 8.0f), angle(-3.14159f, 3.14159f);
    std::vector<Entity> guards;
    for (int i = 0; i < 300; ++i) {
        const float r = radius(random), a = angle(random);
        const glm::vec3 spot =
            i % 50 == 1 ? positionOf(guards.back()) : glm::vec3(r * std::cos(a), 0, r * std::sin(a));
        guards.push_back(actor(Blue, spot, true));
    }
    frame();

    // The rule worked out over the whole list for each guard.
    std::size_t stepping = 0;
    for (const Entity guard : guards) {
        glm::vec3 offset(0.0f);
        for (const Entity other : guards) {
            const glm::vec3 towards = positionOf(other) - positionOf(guard);
            if (glm::length(towards) < AiProcessor::kCrowdingDistance) {
                offset = towards;
            }
        }
        std::vector<glm::vec3> ordered;
        for (const MoveToLocationOrderMessage& move : moves) {
            if (move.actor == guard) {
                ordered.push_back(move.location);
            }
        }
        if (glm::length(offset) > AiProcessor::kSeparationTolerance) {
            ASSERT_EQ(ordered.size(), 1u) << "guard " << guard.index();
            expectNear(ordered[0], positionOf(guard) - offset);
            ++stepping;
        } else {
            EXPECT_TRUE(ordered.empty()) << "guard " << guard.index();
        }
    }
    EXPECT_GT(stepping, 100u);
    EXPECT_LT(stepping, guards.size());
    EXPECT_TRUE(casts.empty());
}

TEST_F(AiWorld, GuardsOfBothTeamsShootTheIntrudersOfTheirOwnFlag) {
    flag(Blue, {0, 0, 0});
    flag(Red, {100, 0, 0});  // entity 1
    const Entity blueGuard = actor(Blue, {5, 0, 0}, true);
    const Entity redGuard = actor(Red, {95, 0, 0}, true);
    const Entity secondBlueGuard = actor(Blue, {0, 0, 5}, true);
    actor(Red, {-10, 0, 0});
    actor(Blue, {110, 0, 0});
    actor(Red, {0, 0, -12});  // farther from the Blue flag

    frame();
    ASSERT_EQ(casts.size(), 3u);
    EXPECT_EQ(casts[0].actor, blueGuard);
    expectNear(casts[0].location, glm::vec3(-10, 0, 0));
    EXPECT_EQ(casts[1].actor, redGuard);
    expectNear(casts[1].location, glm::vec3(110, 0, 0));
    EXPECT_EQ(casts[2].actor, secondBlueGuard);
    expectNear(casts[2].location, glm::vec3(-10, 0, 0));

    // Both flags on one spot: each side still shoots the nearest of the other
    // side, and of the two Blue guards equally near the first in order.
    const Entity redFlag(&entities, Entity::Id(1, 1));
    entities.component<TransformComponent>(redFlag.id())->position = glm::vec3(0, 0, 0);
    entities.component<TransformComponent>(redGuard.id())->position = glm::vec3(-5, 0, 0);
    frame();
    ASSERT_EQ(casts.size(), 3u);
    expectNear(casts[0].location, glm::vec3(-5, 0, 0));
    EXPECT_EQ(casts[1].actor, redGuard);
    expectNear(casts[1].location, positionOf(blueGuard));
    expectNear(casts[2].location, glm::vec3(-5, 0, 0));
}

TEST_F(AiWorld, AiActorsChaseTheCarrierOfTheirFlagAndShootItLeadingItsPath) {
    const Entity carrier = actor(Red, {0, 0, 0});
    carry(carrier);  // carries the Blue flag
    const Entity near = actor(Blue, {0, 0, 30}, true);
    const Entity far = actor(Blue, {-60, 0, 0}, true);

    // The carrier stands: the one in reach shoots at it, the other runs
    // towards it.
    frame();
    ASSERT_EQ(casts.size(), 1u);
    EXPECT_EQ(casts[0].actor, near);
    expectNear(casts[0].location, glm::vec3(0, 0, 0));
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].actor, far);
    expectNear(moves[0].location, glm::vec3(0, 0, 0));
    EXPECT_EQ(aiOf(near).mode, Chase);

    // It runs home: the shot is led along its path. The other chaser is on
    // its way (its walk ends in reach of the carrier) and holds its fire.
    walk(far, {{0, 0, 0}});
    walk(carrier, {{40, 0, 0}});
    frame();
    ASSERT_EQ(casts.size(), 1u);
    const glm::vec3 lead =
        AiProcessor::leadTarget(glm::vec3(0, 0, 30), glm::vec3(0, 0, 0), {{40, 0, 0}}, 8.0f, kFireballSpeed);
    expectNear(casts[0].location, lead);
    EXPECT_GT(lead.x, 5.0f);

    // Out of reach of the aim point, it orders a move first; while the
    // throttle runs, approach answers false and the out-of-reach shot leaves.
    entities.component<TransformComponent>(near.id())->position = glm::vec3(0, 0, kFireballReach + 10.0f);
    aiOf(near).orderTimer = 0.0f;
    frame();
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves[0].actor, near);
    EXPECT_TRUE(casts.empty());
    frame();
    ASSERT_EQ(casts.size(), 1u);
    EXPECT_EQ(casts[0].actor, near);
}

TEST_F(AiWorld, AChaserLeadsACarrierAlongAPathOfTheShippedNavigationMesh) {
    const std::shared_ptr<NavigationMesh> mesh = loadNavigationMesh("data/level/test.nav");
    ASSERT_NE(mesh, nullptr) << "data/level/test.nav is missing: build the content target";
    NavigationLocation start, goal;
    ASSERT_TRUE(mesh->locate(glm::vec3(-20, 0, 30), start));
    ASSERT_TRUE(mesh->locate(glm::vec3(40, 0, 0), goal));
    std::list<glm::vec3> path;
    mesh->findPath(start, goal, path);
    ASSERT_GE(path.size(), 3u);

    flag(Blue, {-40, 0, 0});
    const Entity carrier = actor(Red, start.point);
    carry(carrier);
    const glm::vec3 shooter = start.point + glm::vec3(-15, 0, -20);
    actor(Blue, shooter, true);
    path.pop_front();  // the walk starts where the carrier stands
    walk(carrier, path);

    frame();
    ASSERT_EQ(casts.size(), 1u);
    const glm::vec3 aim = casts[0].location;
    // The aim is where the carrier will be when the fireball gets there.
    const float flight = glm::distance(shooter, aim) / kFireballSpeed;
    expectNear(AiProcessor::predictAlongPath(start.point, path, flight, 8.0f), aim, 1e-2f);
    EXPECT_GT(glm::distance(aim, start.point), 1.0f);
    NavigationLocation ground;
    EXPECT_TRUE(mesh->locate(aim, ground));
}

TEST_F(AiWorld, AiActorsRunOntoTheirDroppedFlagAndGuardAgainOnceItIsBack) {
    const glm::vec3 base(-40, 0, 0);
    const Entity blueFlag = flag(Blue, {-10, 0, 7}, Dropped);
    const Entity runner = actor(Blue, {-30, 0, 0}, true);

    frame();
    EXPECT_EQ(aiOf(runner).mode, Reclaim);
    ASSERT_EQ(moves.size(), 1u);
    expectNear(moves[0].location, glm::vec3(-10, 0, 7));

    // Its walk ends on the flag: no further orders.
    walk(runner, {{-10, 0, 7}});
    aiOf(runner).orderTimer = 0.0f;
    frame();
    EXPECT_TRUE(moves.empty());

    // A walk that ends short of it (no tolerance) is corrected once the
    // throttle allows; enemies are of no concern while reclaiming.
    walk(runner, {{-10, 0, 6.9f}});
    actor(Red, {-29, 0, 0});
    frame();
    ASSERT_EQ(moves.size(), 1u);
    expectNear(moves[0].location, glm::vec3(-10, 0, 7));
    EXPECT_TRUE(casts.empty());

    // Standing on it, there is nothing to do.
    entities.remove<PathComponent>(runner.id());
    entities.component<TransformComponent>(runner.id())->position = glm::vec3(-10, 0, 7);
    frame(0.35);
    EXPECT_TRUE(moves.empty());

    // The flag is returned to its base; the next think sends the runner back
    // to guard it.
    entities.component<FlagComponent>(blueFlag.id())->state = AtBase;
    entities.component<TransformComponent>(blueFlag.id())->position = base;
    frame(0.35);
    EXPECT_EQ(aiOf(runner).mode, Guard);
    EXPECT_EQ(aiOf(runner).target, blueFlag);
    ASSERT_EQ(moves.size(), 1u);  // far outside the ring: back to it
    const float distance = glm::distance(moves[0].location, base);
    EXPECT_GE(distance, AiProcessor::kGuardRingInner - kTolerance);
    EXPECT_LE(distance, AiProcessor::kGuardRingOuter + kTolerance);
}

TEST_F(AiWorld, MoveOrdersOfOneActorAreAtLeastTheThrottleApart) {
    flag(Blue, {0, 0, 0}, Dropped);
    const Entity runner = actor(Blue, {50, 0, 0}, true);

    // Reclaiming with no path, the runner orders whenever the timer allows.
    std::vector<double> orderTimes;
    double now = 0.0;
    const double dt = 0.05;
    for (int i = 0; i < 60; ++i) {
        frame(dt);
        if (!moves.empty()) {
            EXPECT_EQ(moves.size(), 1u);
            orderTimes.push_back(now);
        }
        now += dt;
    }
    ASSERT_GE(orderTimes.size(), 8u);
    EXPECT_EQ(orderTimes.front(), 0.0);
    for (std::size_t k = 1; k < orderTimes.size(); ++k) {
        const double gap = orderTimes[k] - orderTimes[k - 1];
        EXPECT_GE(gap, AiProcessor::kOrderThrottle - 1e-6);
        EXPECT_LE(gap, AiProcessor::kOrderThrottle + dt + 1e-6);
    }

    // Cast orders are not throttled: a chaser in reach fires every frame.
    entities.remove<AiComponent>(runner.id());
    const Entity carrier = actor(Red, {10, 0, 0});
    carry(carrier);
    const Entity chaser = actor(Blue, {10, 0, 10}, true);
    entities.destroy(Entity::Id(0, 1));  // the Blue flag is carried now
    frame(0.35);
    EXPECT_EQ(aiOf(chaser).mode, Chase);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(casts.size(), 1u);
        EXPECT_EQ(casts[0].actor, chaser);
        frame(0.01);
    }
}

TEST_F(AiWorld, NoFireballIsOrderedWhileOneIsWindingUpOrSwingingBack) {
    flag(Blue, {0, 0, 0});
    const Entity guard = actor(Blue, {5, 0, 0}, true);
    actor(Red, {10, 0, 0});
    ComponentHandle<AnimationComponent> animation = entities.component<AnimationComponent>(guard.id());

    struct Case {
        AnimationState state;
        bool casts;
    };
    const Case cases[] = {{Idle, true},
                          {::Run, true},
                          {FireballWindup, false},
                          {FireballBackswing, false},
                          {ChainLightningWindup, true},
                          {CrushingWaveBackswing, true}};
    for (const Case& test : cases) {
        animation->state = test.state;
        frame();
        EXPECT_EQ(casts.size(), test.casts ? 1u : 0u) << "state " << test.state;
    }

    // A chaser winding up may still be ordered to move towards the carrier.
    const Entity carrier = actor(Red, {0, 0, 100});
    carry(carrier);
    entities.destroy(Entity::Id(0, 1));
    animation->state = FireballWindup;
    aiOf(guard).orderTimer = 0.0f;
    frame(0.35);
    EXPECT_EQ(aiOf(guard).mode, Chase);
    ASSERT_EQ(moves.size(), 1u);
    expectNear(moves[0].location, glm::vec3(0, 0, 100));
    EXPECT_TRUE(casts.empty());
}

TEST_F(AiWorld, ATargetThatVanishedBetweenThinksIsLeftAlone) {
    const Entity blueFlag = flag(Blue, {0, 0, 0}, Dropped);
    const Entity runner = actor(Blue, {30, 0, 0}, true);
    frame();
    EXPECT_EQ(aiOf(runner).target, blueFlag);

    // Taken by an enemy: the flag entity is destroyed, and its index reused
    // by a new entity before the next think.
    entities.destroy(blueFlag.id());
    const Entity reused = entities.create();
    entities.assign<TransformComponent>(reused.id(), glm::vec3(7, 0, 7));
    ASSERT_EQ(reused.index(), blueFlag.index());
    aiOf(runner).orderTimer = 0.0f;
    frame(0.05);
    EXPECT_TRUE(moves.empty());
    EXPECT_TRUE(casts.empty());

    // A target without a transform is left alone too.
    aiOf(runner).target = entities.create();
    frame(0.05);
    EXPECT_TRUE(moves.empty());
}

namespace {
// The real game, headless, on the shipped arena and data: AI, mechanics and
// logic processors at 60 frames a second.
class AiInTheGame : public game_test::ShippedGameData {
  protected:
    void SetUp() override {
        ShippedGameData::SetUp();
        RandomGenerator::seed(5);
        GameOptions options;
        options.windowSystems = false;
        ASSERT_TRUE(game.initialize(options));
        blueBase = game.level.flagPositions.at(Blue);
    }

    // Runs frames until done() holds after one, for at most `seconds`.
    bool runUntil(const std::function<bool()>& done, double seconds) {
        for (int k = 0; k < static_cast<int>(seconds * 60.0); ++k) {
            game.update(1.0 / 60.0);
            if (done()) {
                return true;
            }
        }
        return false;
    }

    // The Blue flag entity lying at its base, if there is one.
    bool blueFlagAtBase() {
        ComponentHandle<FlagComponent> flag;
        ComponentHandle<TeamComponent> team;
        ComponentHandle<TransformComponent> transform;
        for (const Entity entity : game.entities.query(flag, team, transform)) {
            if (!game.entities.has<HealthComponent>(entity.id()) && team->team == Blue &&
                flag->state == AtBase && glm::distance(transform->position, blueBase) < kTolerance) {
                return true;
            }
        }
        return false;
    }

    glm::vec3 ground(const glm::vec3& point) {
        NavigationLocation location;
        EXPECT_TRUE(game.level.navigationMesh->locate(point, location)) << point.x << ", " << point.z;
        return location.point;
    }

    Game game;
    glm::vec3 blueBase{0.0f};
    // Blue flag entity 8 at the start; Blue actors 5 to 7 are computer players.
    const Entity::Id blueFlag{8, 1};
};
}  // namespace

TEST_F(AiInTheGame, TheHeadlessGameRunsTheAiWhichGuardsBothFlagsFromTheFirstFrame) {
    ASSERT_NE(game.systems.system<AiProcessor>(), nullptr);
    game.update(0.016);

    // Red actor 0 and Blue actors 1 to 3 (entities 5 to 7) guard their own
    // flag (the Blue flag is entity 8, the Red flag 9).
    for (uint32_t i = 0; i < 8; ++i) {
        const Entity::Id id(i, 1);
        const bool computer = i == 0 || i >= 5;
        ASSERT_EQ(game.entities.has<AiComponent>(id), computer) << "actor " << i;
        if (computer) {
            const AiComponent& ai = *game.entities.component<AiComponent>(id);
            EXPECT_EQ(ai.mode, Guard) << "actor " << i;
            EXPECT_EQ(ai.target.index(), i == 0 ? 9u : 8u) << "actor " << i;
        }
    }
}

TEST_F(AiInTheGame, ComputerPlayersRunOntoTheirDroppedFlagAndReturnIt) {
    const glm::vec3 spot = ground(blueBase + glm::vec3(10, 0, 12));
    game.entities.component<FlagComponent>(blueFlag)->state = Dropped;
    game.entities.component<TransformComponent>(blueFlag)->position = spot;

    ASSERT_TRUE(runUntil([&] { return blueFlagAtBase(); }, 20.0));
    // Back on guard at the next think.
    runUntil([] { return false; }, AiProcessor::kThinkPeriod + 0.05);
    for (const uint32_t i : {5u, 6u, 7u}) {
        EXPECT_EQ(game.entities.component<AiComponent>(Entity::Id(i, 1))->mode, Guard) << "actor " << i;
    }
}

TEST_F(AiInTheGame, ComputerPlayersShootDownTheCarrierOfTheirFlagAndReturnTheFlag) {
    // Red actor 1, which has no AI of its own, stands in the Blue half with
    // the Blue flag.
    const Entity::Id carrier(1, 1);
    game.entities.destroy(blueFlag);
    game.entities.assign<FlagComponent>(carrier, static_cast<uint8_t>(Carried));
    game.entities.component<TransformComponent>(carrier)->position = ground(blueBase + glm::vec3(4, 0, 16));

    ASSERT_TRUE(runUntil([&] { return !game.entities.has<HealthComponent>(carrier); }, 15.0));
    EXPECT_FALSE(game.entities.has<FlagComponent>(carrier));
    EXPECT_TRUE(runUntil([&] { return blueFlagAtBase(); }, 20.0));
}
