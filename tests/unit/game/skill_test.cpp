// Skills on a hand-made world: an entity store, the message pools, one flat
// 20 x 20 navigation quadrilateral centred on the origin and a cursor that
// the test aims by hand.
#include "game/skill.h"

#include <gtest/gtest.h>

#include <boost/any.hpp>
#include <glm/gtc/quaternion.hpp>
#include <memory>
#include <stdexcept>
#include <string>
#include <typeinfo>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"
#include "game/components.h"
#include "graphics/particles/particle_effects.h"
#include "graphics/particles/particle_system_instance.h"
#include "io/data_manager.h"
#include "mechanics/navigation_mesh.h"
#include "support/log_capture.h"

namespace skill_test {

const char* const kSkillData = R"(
cooldown.fireball = 1.5
cooldown.chainLightning = 5.0
cooldown.crushingWave = 8.0
chainLightning.range = 30.0
chainLightning.snapDistance = 5.0
chainLightning.damage = 20.0
fireball.projectile.speed = 35.0
fireball.projectile.lifetime = 1.2
fireball.projectile.collisionRadius = 0.8
fireball.explosion.collisionRadius = 5.0
fireball.damage = 30.0
)";

// Flat ground from (-10, -10) to (10, 10) in x-z, wound to face up.
NavigationMesh flatGround() {
    NavigationMesh mesh;
    mesh.vertices = {
        {-10.0f, 0.0f, -10.0f}, {-10.0f, 0.0f, 10.0f}, {10.0f, 0.0f, 10.0f}, {10.0f, 0.0f, -10.0f}};
    NavigationNode node;
    node.index = 0;
    node.corners = {0, 1, 2, 3};
    mesh.nodes.push_back(node);
    mesh.buildQueryData();
    return mesh;
}

// A ray straight down onto (x, z) from 10 units up.
PickRay downOnto(float x, float z) {
    return PickRay{glm::vec3(x, 10.0f, z), glm::vec3(0.0f, -1.0f, 0.0f)};
}

class SkillTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DataManager::instance().clear();
        DataManager::instance().parse(kSkillData, "skills.dat");
        cursor = [this](std::int32_t, std::int32_t) { return aim; };
    }
    void TearDown() override { DataManager::instance().clear(); }

    SkillContext context() { return SkillContext{messages, &ground, &cursor}; }

    // A living caster with the first skill set, its cooldowns as in the data.
    Entity makeCaster(std::uint8_t team, glm::vec3 position, float health = 100.0f) {
        const Entity actor = entities.create();
        entities.assign<TeamComponent>(actor.id(), TeamComponent{team});
        entities.assign<TransformComponent>(actor.id(), TransformComponent{position});
        ActorSkillsComponent skills;
        const float cooldowns[] = {1.5f, 5.0f, 8.0f, 6.0f};
        for (int slot = 0; slot < 4; ++slot) {
            skills.slots[slot] = {slot, 0.0f, cooldowns[slot]};
        }
        entities.assign<ActorSkillsComponent>(actor.id(), skills);
        entities.assign<AnimationComponent>(actor.id(), AnimationComponent{Idle, 0.25f});
        entities.assign<HealthComponent>(actor.id(), HealthComponent{health, 100.0f});
        CollisionComponent collision;
        collision.kind = ActorKind;
        entities.assign<CollisionComponent>(actor.id(), std::move(collision));
        return actor;
    }

    template <typename T>
    bool has(const Entity& entity) {
        return entities.has<T>(entity.id());
    }
    template <typename T>
    // The entity's T; a missing one fails the test (the exception ends it).
    T& get(const Entity& entity) {
        const ComponentHandle<T> handle = entities.component<T>(entity.id());
        if (!handle) {
            throw std::logic_error(std::string("entity lacks a ") + typeid(T).name());
        }
        return *handle;
    }
    const glm::vec3* targetPoint(const Entity& actor) {
        return boost::any_cast<glm::vec3>(&get<SkillCastTargetComponent>(actor).target);
    }
    const Entity* targetEntity(const Entity& actor) {
        return boost::any_cast<Entity>(&get<SkillCastTargetComponent>(actor).target);
    }
    // Entities created after `before`, newest last.
    std::uint32_t created(std::uint32_t before) const { return entities.indexCount() - before; }
    Entity entityAt(std::uint32_t index) { return Entity(&entities, Entity::Id(index, 1)); }

    EntityManager entities;
    MessagePools messages;
    NavigationMesh ground = flatGround();
    PickRay aim = downOnto(3.0f, 4.0f);
    CursorRay cursor;
};

void expectNear(const glm::vec3& actual, const glm::vec3& expected, float tolerance = 1e-4f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST_F(SkillTest, GroundPickUsesTheNavigationMeshThenThePlaneThroughTheCasterAndRefusesFlatRays) {
    const Entity caster = makeCaster(Blue, glm::vec3(0.0f, 2.0f, 0.0f));

    aim = downOnto(3.0f, 4.0f);
    auto point = pickGround(context(), caster, 0, 0);
    ASSERT_TRUE(point);
    expectNear(*point, glm::vec3(3.0f, 0.0f, 4.0f));

    // Off the mesh: the plane y = 2 through the caster's feet.
    aim = PickRay{glm::vec3(50.0f, 12.0f, 0.0f), glm::vec3(0.0f, -2.0f, 0.0f)};
    point = pickGround(context(), caster, 0, 0);
    ASSERT_TRUE(point);
    expectNear(*point, glm::vec3(50.0f, 2.0f, 0.0f));

    // Horizontal, nearly horizontal and upward rays off the mesh give nothing.
    for (const float dy : {0.0f, -1.0e-7f, 1.0e-9f, 0.5f}) {
        aim = PickRay{glm::vec3(50.0f, 12.0f, 0.0f), glm::vec3(1.0f, dy, 0.0f)};
        EXPECT_FALSE(pickGround(context(), caster, 0, 0)) << dy;
    }
    // Just steep enough.
    aim = PickRay{glm::vec3(50.0f, 2.0f + 1.1920929e-7f, 0.0f), glm::vec3(1.0f, -1.1920929e-7f, 0.0f)};
    EXPECT_TRUE(pickGround(context(), caster, 0, 0));

    // No cursor ray at all: nothing.
    SkillContext blind{messages, &ground, nullptr};
    EXPECT_FALSE(pickGround(blind, caster, 0, 0));
}

TEST_F(SkillTest, FireballWindupAimsAtTheGroundAndItsReleaseLaunchesAProjectileOneUnitAboveIt) {
    const Entity caster = makeCaster(Red, glm::vec3(1.0f, 0.0f, 2.0f));
    // A quarter turn about y: the spawn offset (-0.1, 1, 1) turns to (1, 1, 0.1).
    get<TransformComponent>(caster).rotation =
        glm::angleAxis(glm::radians(90.0f), glm::vec3(0.0f, 1.0f, 0.0f));
    entities.assign<PathComponent>(caster.id(), PathComponent{{glm::vec3(5.0f, 0.0f, 5.0f)}});

    aim = downOnto(3.0f, 4.0f);
    beginCastAtCursor(context(), caster, Fireball, 10, 20);
    EXPECT_EQ(get<AnimationComponent>(caster).state, FireballWindup);
    EXPECT_EQ(get<AnimationComponent>(caster).progress, 0.0f);
    EXPECT_FALSE(has<PathComponent>(caster));
    ASSERT_NE(targetPoint(caster), nullptr);
    expectNear(*targetPoint(caster), glm::vec3(3.0f, 0.0f, 4.0f));

    const std::uint32_t before = entities.indexCount();
    releaseCast(context(), FireballWindup, caster);
    EXPECT_EQ(get<ActorSkillsComponent>(caster).slots[0].remaining, 1.5f);
    EXPECT_FALSE(has<SkillCastTargetComponent>(caster));
    ASSERT_EQ(created(before), 1u);

    const Entity fireball = entityAt(before);
    EXPECT_EQ(get<BehaviourComponent>(fireball).behaviour, FireballProjectile);
    EXPECT_EQ(get<TeamComponent>(fireball).team, Red);
    ASSERT_EQ(get<PathComponent>(fireball).waypoints.size(), 1u);
    expectNear(get<PathComponent>(fireball).waypoints.front(), glm::vec3(3.0f, 1.0f, 4.0f));
    expectNear(get<TransformComponent>(fireball).position, glm::vec3(2.0f, 1.0f, 2.1f));
    EXPECT_EQ(get<TransformComponent>(fireball).scale, glm::vec3(1.0f));
    EXPECT_EQ(get<SpeedComponent>(fireball).speed, 35.0f);
    EXPECT_EQ(get<LifetimeComponent>(fireball).age, 0.0f);
    EXPECT_EQ(get<LifetimeComponent>(fireball).lifetime, 1.2f);
    const CollisionComponent& collision = get<CollisionComponent>(fireball);
    EXPECT_EQ(collision.kind, EffectKind);
    EXPECT_EQ(collision.isStatic, 0);
    ASSERT_EQ(collision.volumes.size(), 1u);
    ASSERT_EQ(collision.volumes[0]->type, CollisionVolumeType::AxisAlignedBox);
    const auto& box = static_cast<const AxisAlignedBox&>(*collision.volumes[0]);
    EXPECT_EQ(box.min, glm::vec3(-0.8f));
    EXPECT_EQ(box.max, glm::vec3(0.8f));
}

TEST_F(SkillTest, FireballWithoutGroundWarnsAndChangesNothing) {
    LogCapture capture;
    const Entity caster = makeCaster(Blue, glm::vec3(0.0f));
    entities.assign<PathComponent>(caster.id(), PathComponent{{glm::vec3(5.0f, 0.0f, 5.0f)}});
    aim = PickRay{glm::vec3(50.0f, 10.0f, 0.0f), glm::vec3(1.0f, 0.0f, 0.0f)};

    beginCastAtCursor(context(), caster, Fireball, 0, 0);
    EXPECT_EQ(capture.count(LogCapture::Severity::warning, "No target for fireball provided!"), 1u);
    EXPECT_EQ(get<AnimationComponent>(caster).state, Idle);
    EXPECT_EQ(get<AnimationComponent>(caster).progress, 0.25f);
    EXPECT_TRUE(has<PathComponent>(caster));
    EXPECT_FALSE(has<SkillCastTargetComponent>(caster));
}

TEST_F(SkillTest, ReleaseDoesNothingWhenTheCastWasCancelledOrTheStateIsNoWindup) {
    const Entity caster = makeCaster(Blue, glm::vec3(0.0f));
    beginCastAtCursor(context(), caster, Fireball, 0, 0);
    stopActor(caster);  // a move order came in between
    const std::uint32_t before = entities.indexCount();
    releaseCast(context(), FireballWindup, caster);
    EXPECT_EQ(get<ActorSkillsComponent>(caster).slots[0].remaining, 0.0f);
    EXPECT_EQ(created(before), 0u);

    // A target is waiting, but these states release nothing.
    beginCastAtCursor(context(), caster, Fireball, 0, 0);
    for (const AnimationState state :
         {Spawn, Idle, AnimationState::Run, FireballBackswing, WaveformWindup, Dying, Dead}) {
        releaseCast(context(), state, caster);
    }
    EXPECT_TRUE(has<SkillCastTargetComponent>(caster));
    EXPECT_EQ(created(before), 0u);

    // A caster without skills cannot release either.
    entities.remove<ActorSkillsComponent>(caster.id());
    releaseCast(context(), FireballWindup, caster);
    EXPECT_TRUE(has<SkillCastTargetComponent>(caster));
    EXPECT_EQ(created(before), 0u);
}

TEST_F(SkillTest, ChainLightningPicksTheNearestLivingEnemyStrictlyWithinTheSnapDistance) {
    const Entity caster = makeCaster(Blue, glm::vec3(0.0f));
    const Entity ally = makeCaster(Blue, glm::vec3(1.0f, 0.0f, 0.0f));
    const Entity first = makeCaster(Red, glm::vec3(3.0f, 0.0f, 0.0f));
    const Entity second = makeCaster(Red, glm::vec3(-3.0f, 0.0f, 0.0f));
    const Entity atSnap = makeCaster(Red, glm::vec3(0.0f, 0.0f, 5.0f));
    const Entity corpse = makeCaster(Red, glm::vec3(0.5f, 0.0f, 0.0f));
    entities.remove<HealthComponent>(corpse.id());
    static_cast<void>(caster);
    static_cast<void>(ally);
    static_cast<void>(second);

    // First and second are equally near the origin: the lower index wins.
    auto victim = chooseChainLightningVictim(entities, Blue, glm::vec3(0.0f));
    ASSERT_TRUE(victim);
    EXPECT_EQ(*victim, first);

    victim = chooseChainLightningVictim(entities, Blue, glm::vec3(-2.5f, 0.0f, 0.0f));
    ASSERT_TRUE(victim);
    EXPECT_EQ(*victim, second);

    // Exactly at the snap distance does not count.
    EXPECT_FALSE(chooseChainLightningVictim(entities, Blue, glm::vec3(0.0f, 0.0f, 10.0f)));
    victim = chooseChainLightningVictim(entities, Blue, glm::vec3(0.0f, 0.0f, 9.99f));
    ASSERT_TRUE(victim);
    EXPECT_EQ(*victim, atSnap);

    // For Red every Blue actor is a candidate, the caster included.
    victim = chooseChainLightningVictim(entities, Red, glm::vec3(0.9f, 0.0f, 0.0f));
    ASSERT_TRUE(victim);
    EXPECT_EQ(*victim, ally);
}

TEST_F(SkillTest, ChainLightningStrikesAVictimInRangeAndTheGroundShortOfOneOutOfRange) {
    // The mesh ends at 10; beyond it the plane through the caster's feet answers.
    const Entity caster = makeCaster(Blue, glm::vec3(0.0f));
    const Entity near = makeCaster(Red, glm::vec3(3.0f, 0.0f, 4.0f));
    const Entity far = makeCaster(Red, glm::vec3(40.0f, 0.0f, 0.0f));
    entities.assign<PathComponent>(caster.id(), PathComponent{{glm::vec3(5.0f, 0.0f, 5.0f)}});

    // In range: the victim itself is the target, damaged at release.
    aim = downOnto(3.5f, 4.0f);
    beginCastAtCursor(context(), caster, ChainLightning, 0, 0);
    EXPECT_EQ(get<AnimationComponent>(caster).state, ChainLightningWindup);
    EXPECT_FALSE(has<PathComponent>(caster));
    ASSERT_NE(targetEntity(caster), nullptr);
    EXPECT_EQ(*targetEntity(caster), near);

    std::uint32_t before = entities.indexCount();
    releaseCast(context(), ChainLightningWindup, caster);
    EXPECT_EQ(get<HealthComponent>(near).current, 80.0f);
    EXPECT_EQ(get<ActorSkillsComponent>(caster).slots[1].remaining, 5.0f);
    EXPECT_FALSE(has<SkillCastTargetComponent>(caster));
    ASSERT_EQ(created(before), 1u);
    const Entity lightning = entityAt(before);
    EXPECT_EQ(get<TransformComponent>(lightning).position, glm::vec3(0.0f));
    EXPECT_EQ(get<TransformComponent>(lightning).rotation, glm::quat(1.0f, 0.0f, 0.0f, 0.0f));
    EXPECT_EQ(get<TransformComponent>(lightning).scale, glm::vec3(1.0f));
    EXPECT_EQ(get<LifetimeComponent>(lightning).age, 0.0f);
    EXPECT_EQ(get<LifetimeComponent>(lightning).lifetime, 0.5f);

    // Out of range: the point at exactly the range towards the victim, no damage.
    aim = PickRay{glm::vec3(41.0f, 10.0f, 0.0f), glm::vec3(0.0f, -1.0f, 0.0f)};
    get<ActorSkillsComponent>(caster).slots[1].remaining = 0.0f;
    beginCastAtCursor(context(), caster, ChainLightning, 0, 0);
    ASSERT_NE(targetPoint(caster), nullptr);
    expectNear(*targetPoint(caster), glm::vec3(30.0f, 0.0f, 0.0f));
    before = entities.indexCount();
    releaseCast(context(), ChainLightningWindup, caster);
    EXPECT_EQ(get<HealthComponent>(far).current, 100.0f);
    EXPECT_EQ(get<HealthComponent>(near).current, 80.0f);
    EXPECT_EQ(created(before), 1u);
    EXPECT_EQ(get<ActorSkillsComponent>(caster).slots[1].remaining, 5.0f);

    // No victim near the point: the point itself, or the range's end towards it.
    aim = downOnto(-6.0f, -8.0f);
    beginCastAtCursor(context(), caster, ChainLightning, 0, 0);
    expectNear(*targetPoint(caster), glm::vec3(-6.0f, 0.0f, -8.0f));
    aim = PickRay{glm::vec3(0.0f, 10.0f, -60.0f), glm::vec3(0.0f, -1.0f, 0.0f)};
    beginCastAtCursor(context(), caster, ChainLightning, 0, 0);
    expectNear(*targetPoint(caster), glm::vec3(0.0f, 0.0f, -30.0f));
}

TEST_F(SkillTest, ChainLightningWithoutGroundWarnsAndChangesNothing) {
    LogCapture capture;
    const Entity caster = makeCaster(Blue, glm::vec3(0.0f));
    aim = PickRay{glm::vec3(50.0f, 10.0f, 0.0f), glm::vec3(0.0f, 1.0f, 0.0f)};
    beginCastAtCursor(context(), caster, ChainLightning, 0, 0);
    EXPECT_EQ(capture.count(LogCapture::Severity::warning, "No target for chain lightning provided!"), 1u);
    EXPECT_EQ(get<AnimationComponent>(caster).state, Idle);
    EXPECT_FALSE(has<SkillCastTargetComponent>(caster));
}

TEST_F(SkillTest, CrushingWaveFacesTheCursorAndReleasesAWaveThatOnlyLives) {
    const Entity caster = makeCaster(Red, glm::vec3(2.0f, 0.0f, 2.0f));
    // The plane y = 0 is met at (2, 0, 7), straight south of the caster.
    aim = PickRay{glm::vec3(2.0f, 10.0f, -3.0f), glm::vec3(0.0f, -1.0f, 1.0f)};
    beginCastAtCursor(context(), caster, CrushingWave, 0, 0);
    EXPECT_EQ(get<AnimationComponent>(caster).state, CrushingWaveWindup);
    ASSERT_NE(targetPoint(caster), nullptr);
    expectNear(*targetPoint(caster), glm::vec3(2.0f, 0.0f, 3.0f));

    const std::uint32_t before = entities.indexCount();
    releaseCast(context(), CrushingWaveWindup, caster);
    EXPECT_EQ(get<ActorSkillsComponent>(caster).slots[2].remaining, 8.0f);
    EXPECT_FALSE(has<SkillCastTargetComponent>(caster));
    ASSERT_EQ(created(before), 1u);
    const Entity wave = entityAt(before);
    EXPECT_EQ(get<BehaviourComponent>(wave).behaviour, CrushingWaveBehaviour);
    EXPECT_EQ(get<TeamComponent>(wave).team, Red);
    expectNear(get<TransformComponent>(wave).position, glm::vec3(2.0f, 0.5f, 2.0f));
    EXPECT_EQ(get<SpeedComponent>(wave).speed, 35.0f);
    EXPECT_EQ(get<LifetimeComponent>(wave).lifetime, 1.2f);
    EXPECT_FALSE(has<PathComponent>(wave));
    EXPECT_FALSE(has<CollisionComponent>(wave));
}

TEST_F(SkillTest, CrushingWaveWithoutADirectionDoesNothingSilently) {
    LogCapture capture;
    const Entity caster = makeCaster(Red, glm::vec3(2.0f, 0.0f, 2.0f));
    // Upwards, then exactly through the caster's own feet.
    for (const PickRay& ray : {PickRay{glm::vec3(2.0f, 10.0f, -3.0f), glm::vec3(0.0f, 1.0f, 1.0f)},
                               PickRay{glm::vec3(2.0f, 10.0f, 2.0f), glm::vec3(0.0f, -1.0f, 0.0f)}}) {
        aim = ray;
        beginCastAtCursor(context(), caster, CrushingWave, 0, 0);
        EXPECT_EQ(get<AnimationComponent>(caster).state, Idle);
        EXPECT_FALSE(has<SkillCastTargetComponent>(caster));
    }
    EXPECT_TRUE(capture.empty());
}

TEST_F(SkillTest, SkillsWithoutAnEffectChangeNothing) {
    const Entity caster = makeCaster(Blue, glm::vec3(0.0f));
    entities.assign<PathComponent>(caster.id(), PathComponent{{glm::vec3(5.0f, 0.0f, 5.0f)}});
    const std::uint32_t before = entities.indexCount();
    for (std::int32_t skill = Waveform; skill <= Teleport; ++skill) {
        beginCastAtCursor(context(), caster, skill, 0, 0);
        beginCastAtLocation(caster, skill, glm::vec3(1.0f));
    }
    beginCastAtLocation(caster, ChainLightning, glm::vec3(1.0f));
    beginCastAtLocation(caster, CrushingWave, glm::vec3(1.0f));
    EXPECT_EQ(get<AnimationComponent>(caster).state, Idle);
    EXPECT_TRUE(has<PathComponent>(caster));
    EXPECT_FALSE(has<SkillCastTargetComponent>(caster));
    for (const auto& slot : get<ActorSkillsComponent>(caster).slots) {
        EXPECT_EQ(slot.remaining, 0.0f);
    }
    EXPECT_EQ(created(before), 0u);
}

TEST_F(SkillTest, LocationCastBeginsAFireballAtThePointRegardlessOfCooldown) {
    const Entity caster = makeCaster(Red, glm::vec3(0.0f));
    get<ActorSkillsComponent>(caster).slots[0].remaining = 1.0f;
    entities.assign<PathComponent>(caster.id(), PathComponent{{glm::vec3(5.0f, 0.0f, 5.0f)}});
    beginCastAtLocation(caster, Fireball, glm::vec3(70.0f, 0.0f, -3.0f));
    EXPECT_EQ(get<AnimationComponent>(caster).state, FireballWindup);
    EXPECT_FALSE(has<PathComponent>(caster));
    ASSERT_NE(targetPoint(caster), nullptr);
    EXPECT_EQ(*targetPoint(caster), glm::vec3(70.0f, 0.0f, -3.0f));

    // A destroyed caster is left alone.
    const Entity gone = makeCaster(Red, glm::vec3(0.0f));
    entities.destroy(gone.id());
    beginCastAtLocation(gone, Fireball, glm::vec3(1.0f));
    beginCastAtCursor(context(), gone, Fireball, 0, 0);
    EXPECT_FALSE(gone.valid());
}

TEST_F(SkillTest, FireballExplodesOnLevelGeometryAndEnemiesButPassesAlliesAndFlags) {
    const Entity blueActor = makeCaster(Blue, glm::vec3(0.0f));
    const Entity redActor = makeCaster(Red, glm::vec3(0.0f));
    const Entity wall = entities.create();
    CollisionComponent staticCollision;
    staticCollision.kind = StaticKind;
    staticCollision.isStatic = 1;
    entities.assign<CollisionComponent>(wall.id(), std::move(staticCollision));
    const Entity flag = entities.create();
    entities.assign<TeamComponent>(flag.id(), TeamComponent{Red});
    CollisionComponent flagCollision;
    flagCollision.kind = FlagKind;
    entities.assign<CollisionComponent>(flag.id(), std::move(flagCollision));

    auto launch = [&]() {
        const Entity fireball = entities.create();
        makeFireball(fireball, glm::vec3(1.0f, 1.0f, 1.0f), glm::vec3(9.0f, 0.0f, 0.0f), Blue);
        return fireball;
    };

    const Entity passing = launch();
    fireballHit(passing, blueActor);
    fireballHit(passing, flag);
    EXPECT_EQ(get<BehaviourComponent>(passing).behaviour, FireballProjectile);

    for (const Entity& target : {redActor, wall}) {
        const Entity fireball = launch();
        get<TransformComponent>(fireball).position = glm::vec3(4.0f, 1.0f, 2.0f);
        const std::uint32_t before = entities.indexCount();
        fireballHit(fireball, target);
        EXPECT_FALSE(has<BehaviourComponent>(fireball));
        EXPECT_EQ(get<LifetimeComponent>(fireball).age, 0.0f);
        EXPECT_EQ(get<LifetimeComponent>(fireball).lifetime, 1.0f);
        ASSERT_EQ(created(before), 1u);
        const Entity explosion = entityAt(before);
        EXPECT_EQ(get<BehaviourComponent>(explosion).behaviour, FireballExplosion);
        EXPECT_EQ(get<TeamComponent>(explosion).team, Blue);
        EXPECT_EQ(get<TransformComponent>(explosion).position, glm::vec3(4.0f, 1.0f, 2.0f));
        EXPECT_EQ(get<LifetimeComponent>(explosion).lifetime, 0.3f);
        const CollisionComponent& collision = get<CollisionComponent>(explosion);
        EXPECT_EQ(collision.kind, EffectKind);
        ASSERT_EQ(collision.volumes.size(), 1u);
        ASSERT_EQ(collision.volumes[0]->type, CollisionVolumeType::Sphere);
        EXPECT_EQ(static_cast<const Sphere&>(*collision.volumes[0]).radius, 5.0f);
        EXPECT_EQ(static_cast<const Sphere&>(*collision.volumes[0]).center, glm::vec3(0.0f));
    }
}

TEST_F(SkillTest, AnExplodingFireballStopsEmittingWhileItsLiveParticlesPlayOut) {
    const Entity fireball = entities.create();
    makeFireball(fireball, glm::vec3(0.0f, 1.0f, 0.0f), glm::vec3(9.0f, 0.0f, 0.0f), Blue);
    // The fireball's look, as the render recipe gives it: "Flame" and "Ember".
    RenderComponent render;
    std::vector<std::shared_ptr<ParticleSystemInstance>> effects;
    for (const char* name : {"Flame", "Ember"}) {
        effects.push_back(ParticleEffectLibrary::instance().create(name));
        ASSERT_NE(effects.back(), nullptr) << name;
        RenderEntry entry;
        entry.renderable = effects.back();
        render.root.entries.push_back(entry);
    }
    entities.assign<RenderComponent>(fireball.id(), std::move(render));
    const auto simulate = [&](int frames) {
        for (int k = 0; k < frames; ++k) {
            for (const auto& effect : effects) {
                effect->simulate(fireball, 1.0f / 60.0f);
            }
        }
    };
    simulate(6);
    const std::uint32_t flames = effects[0]->aliveCount();
    ASSERT_GT(flames, 0u);

    explodeFireball(fireball);
    for (const auto& effect : effects) {
        EXPECT_FALSE(effect->emitting());
    }
    EXPECT_EQ(effects[0]->aliveCount(), flames);
    // The flame's puffs live 0.15 s; none follow them.
    simulate(30);
    EXPECT_TRUE(effects[0]->finished());
}

TEST_F(SkillTest, AnExplosionDamagesEachEnemyOnceAndNoAlly) {
    const Entity ally = makeCaster(Blue, glm::vec3(0.0f));
    const Entity enemyA = makeCaster(Red, glm::vec3(1.0f, 0.0f, 0.0f));
    const Entity enemyB = makeCaster(Red, glm::vec3(2.0f, 0.0f, 0.0f));
    const Entity explosion = entities.create();
    makeExplosion(explosion, glm::vec3(0.0f), Blue);

    for (int frame = 0; frame < 3; ++frame) {
        explosionHit(messages, explosion, ally);
        explosionHit(messages, explosion, enemyA);
        if (frame > 0) {
            explosionHit(messages, explosion, enemyB);
        }
    }
    EXPECT_EQ(get<HealthComponent>(ally).current, 100.0f);
    EXPECT_EQ(get<HealthComponent>(enemyA).current, 70.0f);
    EXPECT_EQ(get<HealthComponent>(enemyB).current, 70.0f);
    EXPECT_EQ(get<ImmuneSetComponent>(explosion).immune.size(), 2u);

    // A second explosion is a new source of damage.
    const Entity another = entities.create();
    makeExplosion(another, glm::vec3(0.0f), Blue);
    explosionHit(messages, another, enemyA);
    EXPECT_EQ(get<HealthComponent>(enemyA).current, 40.0f);
}

TEST_F(SkillTest, DamageThatReachesTheRemainingHealthKillsOnce) {
    const Entity victim = makeCaster(Red, glm::vec3(0.0f), 30.0f);
    entities.assign<PathComponent>(victim.id(), PathComponent{{glm::vec3(5.0f, 0.0f, 5.0f)}});
    beginCastAtLocation(victim, Fireball, glm::vec3(1.0f));

    applyDamage(messages, victim, 10.0f);
    EXPECT_EQ(get<HealthComponent>(victim).current, 20.0f);
    EXPECT_EQ(messages.pool<ActorDiedMessage>().size(), 0u);

    applyDamage(messages, victim, 20.0f);
    EXPECT_EQ(get<HealthComponent>(victim).current, 0.0f);
    ASSERT_EQ(messages.pool<ActorDiedMessage>().size(), 1u);
    EXPECT_EQ(messages.pool<ActorDiedMessage>()[0].victim, victim);
    EXPECT_FALSE(has<PathComponent>(victim));
    EXPECT_FALSE(has<SkillCastTargetComponent>(victim));

    // Killed already: not killed again before the death is handled.
    applyDamage(messages, victim, 20.0f);
    EXPECT_EQ(messages.pool<ActorDiedMessage>().size(), 1u);
    EXPECT_EQ(get<HealthComponent>(victim).current, 0.0f);

    // Without health (dying or dead) nothing happens.
    entities.remove<HealthComponent>(victim.id());
    applyDamage(messages, victim, 20.0f);
    EXPECT_EQ(messages.pool<ActorDiedMessage>().size(), 1u);
}

}  // namespace skill_test
