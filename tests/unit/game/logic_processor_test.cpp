// The rules of the match on a hand-made world: a Game with no systems, a
// level set up by hand over one flat 200 x 200 navigation quadrilateral, and
// the logic processor driven frame by frame with messages written by the test.
#include "game/processors/logic_processor.h"

#include <gtest/gtest.h>

#include <boost/any.hpp>
#include <memory>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"
#include "game/components.h"
#include "game/game.h"
#include "game/skill.h"
#include "io/data_manager.h"
#include "mechanics/navigation_mesh.h"
#include "support/log_capture.h"

namespace logic_test {

const char* const kLogicData = R"(
animation.length.spawn = 0.1
animation.length.idle = 2.0
animation.length.run = 0.7
animation.length.windup.fireball = 0.35
animation.length.backswing.fireball = 0.3
animation.length.windup.chainLightning = 0.4
animation.length.backswing.chainLightning = 0.3
animation.length.windup.crushingWave = 0.5
animation.length.backswing.crushingWave = 0.4
animation.length.dying = 1.2
animation.length.dead = 1.0
cooldown.fireball = 1.5
cooldown.chainLightning = 5.0
cooldown.crushingWave = 8.0
cooldown.waveform = 6.0
cooldown.sweepingBlow = 3.0
cooldown.shurikenToss = 2.5
cooldown.manaBurn = 10.0
cooldown.dash = 7.0
cooldown.implode = 12.0
cooldown.shield = 15.0
cooldown.illusion = 20.0
cooldown.teleport = 18.0
chainLightning.range = 30.0
chainLightning.snapDistance = 5.0
chainLightning.damage = 20.0
fireball.projectile.speed = 35.0
fireball.projectile.lifetime = 1.2
fireball.projectile.collisionRadius = 0.8
fireball.explosion.collisionRadius = 5.0
fireball.damage = 30.0
)";

const glm::vec3 kBlueBase(-40.0f, 0.0f, 0.0f);
const glm::vec3 kRedBase(40.0f, 0.0f, 0.0f);
const glm::vec3 kBlueSpawn(-45.0f, 0.0f, 5.0f);
const glm::vec3 kRedSpawn(45.0f, 0.0f, -5.0f);

std::shared_ptr<NavigationMesh> flatGround() {
    auto mesh = std::make_shared<NavigationMesh>();
    mesh->vertices = {
        {-100.0f, 0.0f, -100.0f}, {-100.0f, 0.0f, 100.0f}, {100.0f, 0.0f, 100.0f}, {100.0f, 0.0f, -100.0f}};
    NavigationNode node;
    node.corners = {0, 1, 2, 3};
    mesh->nodes.push_back(node);
    mesh->buildQueryData();
    return mesh;
}

// What one frame of the logic processor left in the pools it does not empty.
struct FrameOutput {
    std::vector<std::string> notifications;
    std::vector<std::uint8_t> taken;
    std::vector<std::uint8_t> reclaimed;
    std::vector<std::uint8_t> captured;
    std::vector<Entity> died;
};

class LogicProcessorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DataManager::instance().clear();
        DataManager::instance().parse(kLogicData, "logic.dat");
        game.level.spawnPoints[Blue] = {kBlueSpawn};
        game.level.spawnPoints[Red] = {kRedSpawn};
        game.level.flagPositions[Blue] = kBlueBase;
        game.level.flagPositions[Red] = kRedBase;
        game.level.navigationMesh = flatGround();
        cursor = [this](std::int32_t, std::int32_t) { return aim; };
        logic = std::make_unique<LogicProcessor>(&game, cursor);
    }
    void TearDown() override { DataManager::instance().clear(); }

    // Runs the processor once, keeps what it sent and clears the frame's
    // messages as the game does.
    FrameOutput frame(double dt = 1.0 / 60.0) {
        logic->update(dt);
        FrameOutput out;
        for (const NotificationMessage& m : game.messages.pool<NotificationMessage>()) {
            out.notifications.push_back(m.text);
        }
        for (const FlagTakenMessage& m : game.messages.pool<FlagTakenMessage>()) {
            out.taken.push_back(m.team);
        }
        for (const FlagReclaimedMessage& m : game.messages.pool<FlagReclaimedMessage>()) {
            out.reclaimed.push_back(m.team);
        }
        for (const CapturedFlagMessage& m : game.messages.pool<CapturedFlagMessage>()) {
            out.captured.push_back(m.team);
        }
        for (const ActorDiedMessage& m : game.messages.pool<ActorDiedMessage>()) {
            out.died.push_back(m.victim);
        }
        game.messages.clearAll();
        return out;
    }

    // A living actor with collision box, skills and animation, without any
    // renderable.
    Entity makeTestActor(std::uint8_t team, glm::vec3 position) {
        const Entity actor = game.entities.create();
        EntityManager& entities = game.entities;
        entities.assign<TeamComponent>(actor.id(), TeamComponent{team});
        entities.assign<TransformComponent>(actor.id(), TransformComponent{position});
        entities.assign<SpeedComponent>(actor.id(), SpeedComponent{8.0f});
        ActorSkillsComponent skills;
        const float cooldowns[] = {1.5f, 5.0f, 8.0f, 6.0f};
        for (int slot = 0; slot < 4; ++slot) {
            skills.slots[slot] = {slot, 0.0f, cooldowns[slot]};
        }
        entities.assign<ActorSkillsComponent>(actor.id(), skills);
        entities.assign<AnimationComponent>(actor.id(), AnimationComponent{Idle, 0.0f});
        CollisionComponent collision;
        collision.kind = ActorKind;
        entities.assign<CollisionComponent>(actor.id(), std::move(collision));
        entities.assign<HealthComponent>(actor.id(), HealthComponent{100.0f, 100.0f});
        return actor;
    }

    // A flag lying on the ground, without renderable.
    Entity makeTestFlag(std::uint8_t team, glm::vec3 position, std::uint8_t state) {
        const Entity flag = game.entities.create();
        game.entities.assign<TransformComponent>(flag.id(), TransformComponent{position});
        game.entities.assign<TeamComponent>(flag.id(), TeamComponent{team});
        game.entities.assign<BehaviourComponent>(flag.id(), BehaviourComponent{FlagBehaviour});
        CollisionComponent collision;
        collision.kind = FlagKind;
        game.entities.assign<CollisionComponent>(flag.id(), std::move(collision));
        game.entities.assign<FlagComponent>(flag.id(), FlagComponent{state});
        return flag;
    }

    void collide(const Entity& first, const Entity& second) {
        game.messages.emit<CollisionMessage>(first, second);
    }

    template <typename T>
    bool has(const Entity& entity) {
        return game.entities.has<T>(entity.id());
    }
    template <typename T>
    // The entity's T; a missing one fails the test (the exception ends it).
    T& get(const Entity& entity) {
        const ComponentHandle<T> handle = game.entities.component<T>(entity.id());
        if (!handle) {
            throw std::logic_error(std::string("entity lacks a ") + typeid(T).name());
        }
        return *handle;
    }

    // Flag entities (not carriers) of a team in a state.
    std::vector<Entity> flags(std::uint8_t team, std::uint8_t state) {
        std::vector<Entity> found;
        ComponentHandle<FlagComponent> flag;
        ComponentHandle<TeamComponent> owner;
        ComponentHandle<BehaviourComponent> behaviour;
        for (const Entity entity : game.entities.query(flag, owner, behaviour)) {
            if (owner->team == team && flag->state == state) {
                found.push_back(entity);
            }
        }
        return found;
    }

    std::size_t countWithBehaviour(std::int32_t kind) {
        std::size_t count = 0;
        ComponentHandle<BehaviourComponent> behaviour;
        for (const Entity entity : game.entities.query(behaviour)) {
            static_cast<void>(entity);
            count += behaviour->behaviour == kind;
        }
        return count;
    }

    Game game;
    PickRay aim{glm::vec3(0.0f, 10.0f, 0.0f), glm::vec3(0.0f, -1.0f, 0.0f)};
    CursorRay cursor;
    std::unique_ptr<LogicProcessor> logic;
};

void expectNear(const glm::vec3& actual, const glm::vec3& expected, float tolerance = 1e-4f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST_F(LogicProcessorTest, AnimationTablesFollowTheDataAndTheFixedSuccessors) {
    EXPECT_EQ(LogicProcessor::animationLength(Spawn), 0.1f);
    EXPECT_EQ(LogicProcessor::animationLength(FireballBackswing), 0.3f);
    EXPECT_EQ(LogicProcessor::animationLength(Dead), 1.0f);
    EXPECT_EQ(LogicProcessor::animationLength(WaveformWindup), 0.0f);
    EXPECT_EQ(LogicProcessor::animationLength(WaveformBackswing), 0.0f);
    EXPECT_EQ(LogicProcessor::animationLength(-1), 0.0f);
    EXPECT_EQ(LogicProcessor::animationLength(13), 0.0f);

    const std::int32_t expected[] = {Idle,
                                     Idle,
                                     AnimationState::Run,
                                     FireballBackswing,
                                     Idle,
                                     ChainLightningBackswing,
                                     Idle,
                                     CrushingWaveBackswing,
                                     Idle,
                                     13,
                                     13,
                                     Dead,
                                     Dead};
    for (std::int32_t state = 0; state < kAnimationStateCount; ++state) {
        EXPECT_EQ(LogicProcessor::animationSuccessor(state), expected[state]) << state;
    }
    EXPECT_EQ(LogicProcessor::animationSuccessor(13), 13);
}

TEST_F(LogicProcessorTest, AnimationClockCarriesLeftoverTimeThroughSeveralStatesInOneFrame) {
    const Entity actor = makeTestActor(Blue, glm::vec3(0.0f));
    get<AnimationComponent>(actor) = AnimationComponent{Spawn, 0.0f};
    frame(0.05);
    EXPECT_EQ(get<AnimationComponent>(actor).state, Spawn);
    EXPECT_NEAR(get<AnimationComponent>(actor).progress, 0.5f, 1e-5f);
    frame(0.15);
    EXPECT_EQ(get<AnimationComponent>(actor).state, Idle);
    EXPECT_NEAR(get<AnimationComponent>(actor).progress, 0.1f / 2.0f, 1e-5f);

    // One long frame: the whole windup (0.35), the whole backswing (0.3) and
    // 0.35 of idle. The windup's end releases the pending fireball.
    beginCastAtLocation(actor, Fireball, glm::vec3(10.0f, 0.0f, 0.0f));
    frame(1.0);
    EXPECT_EQ(get<AnimationComponent>(actor).state, Idle);
    EXPECT_NEAR(get<AnimationComponent>(actor).progress, 0.35f / 2.0f, 1e-4f);
    EXPECT_EQ(countWithBehaviour(FireballProjectile), 1u);
    EXPECT_EQ(get<ActorSkillsComponent>(actor).slots[0].remaining, 1.5f);
}

TEST_F(LogicProcessorTest, AnimationClockSurvivesStatesWithoutLengthOrSuccessor) {
    // Waveform states have length 0 and no successor: the state ends at once
    // and the clock stops at the "none" state instead of reading past its tables.
    const Entity actor = makeTestActor(Blue, glm::vec3(0.0f));
    get<AnimationComponent>(actor) = AnimationComponent{WaveformWindup, 0.0f};
    frame();
    EXPECT_EQ(get<AnimationComponent>(actor).state, LogicProcessor::kNoSuccessor);
    frame();
    EXPECT_EQ(get<AnimationComponent>(actor).state, LogicProcessor::kNoSuccessor);

    // A looping state of length 0 (refused at start-up) does not hang the frame.
    // (The first definition of a key wins.)
    DataManager::instance().clear();
    DataManager::instance().parse(std::string("animation.length.idle = 0\n") + kLogicData, "logic.dat");
    LogicProcessor zeroIdle(&game, cursor);
    get<AnimationComponent>(actor) = AnimationComponent{Idle, 0.0f};
    zeroIdle.update(0.1);
    EXPECT_EQ(get<AnimationComponent>(actor).state, Idle);
}

TEST_F(LogicProcessorTest, CooldownsRunOutToExactlyZeroAndCastOrdersAreAcceptedOnlyWhenReady) {
    const Entity actor = makeTestActor(Blue, glm::vec3(0.0f));
    auto& slots = get<ActorSkillsComponent>(actor).slots;
    slots[0].remaining = 0.03f;
    slots[1].remaining = 0.5f;

    // A frame early: 0.01 left, the order is dropped, not kept.
    game.messages.emit<SkillCastToCursorOrderMessage>(actor, std::int32_t{Fireball}, 0, 0);
    frame(0.02);
    EXPECT_NEAR(get<ActorSkillsComponent>(actor).slots[0].remaining, 0.01f, 1e-6f);
    EXPECT_EQ(get<AnimationComponent>(actor).state, Idle);
    frame(0.02);
    EXPECT_EQ(get<ActorSkillsComponent>(actor).slots[0].remaining, 0.0f);
    EXPECT_EQ(get<AnimationComponent>(actor).state, Idle);

    // In the frame the cooldown runs out: accepted.
    get<ActorSkillsComponent>(actor).slots[0].remaining = 0.03f;
    frame(0.02);
    game.messages.emit<SkillCastToCursorOrderMessage>(actor, std::int32_t{Fireball}, 0, 0);
    frame(0.02);
    EXPECT_EQ(get<AnimationComponent>(actor).state, FireballWindup);
    EXPECT_TRUE(has<SkillCastTargetComponent>(actor));
    EXPECT_NEAR(get<ActorSkillsComponent>(actor).slots[1].remaining, 0.42f, 1e-5f);

    // A skill the actor's slots do not hold is dropped.
    get<AnimationComponent>(actor) = AnimationComponent{Idle, 0.0f};
    stopActor(actor);
    game.messages.emit<SkillCastToCursorOrderMessage>(actor, std::int32_t{Teleport}, 0, 0);
    frame();
    EXPECT_EQ(get<AnimationComponent>(actor).state, Idle);
}

TEST_F(LogicProcessorTest, DyingAndDeadActorsTakeNoOrders) {
    const Entity player = makeTestActor(Blue, glm::vec3(0.0f));
    game.entities.assign<ControlSchemeComponent>(player.id(), ControlSchemeComponent{KeyboardAndMouse});
    // Brought down while walking and casting: the corpse stops at once.
    beginCastAtLocation(player, Fireball, glm::vec3(5.0f));
    game.entities.assign<PathComponent>(player.id(), PathComponent{{glm::vec3(30.0f, 0.0f, 0.0f)}});
    get<HealthComponent>(player).current = 0.0f;
    frame();
    ASSERT_EQ(get<AnimationComponent>(player).state, Dying);
    EXPECT_FALSE(has<PathComponent>(player));
    EXPECT_FALSE(has<SkillCastTargetComponent>(player));

    const std::uint32_t before = game.entities.indexCount();
    for (int k = 0; k < 120; ++k) {
        game.messages.emit<MoveToLocationOrderMessage>(player, glm::vec3(20.0f, 0.0f, 0.0f));
        game.messages.emit<MoveToCursorOrderMessage>(player, 1, 2);
        game.messages.emit<SkillCastToCursorOrderMessage>(player, std::int32_t{Fireball}, 0, 0);
        game.messages.emit<SkillCastToLocationOrderMessage>(player, std::int32_t{Fireball}, glm::vec3(5.0f));
        frame();
        EXPECT_FALSE(has<PathComponent>(player));
        EXPECT_FALSE(has<SkillCastTargetComponent>(player));
    }
    // Dying ran its 1.2 s, then Dead; it never stood up or cast.
    EXPECT_EQ(get<AnimationComponent>(player).state, Dead);
    EXPECT_EQ(game.entities.indexCount(), before);
    expectNear(get<TransformComponent>(player).position, glm::vec3(0.0f));
}

TEST_F(LogicProcessorTest, MoveOrdersBuildPathsCancelCastsAndIgnoreShortOrOffMeshGoals) {
    const Entity actor = makeTestActor(Red, glm::vec3(0.0f));
    beginCastAtLocation(actor, Fireball, glm::vec3(5.0f));

    // Within 0.8 of the actor: ignored, the cast stays pending.
    game.messages.emit<MoveToLocationOrderMessage>(actor, glm::vec3(0.5f, 0.0f, 0.5f));
    frame(0.01);
    EXPECT_FALSE(has<PathComponent>(actor));
    EXPECT_TRUE(has<SkillCastTargetComponent>(actor));

    // Off the mesh: ignored.
    game.messages.emit<MoveToLocationOrderMessage>(actor, glm::vec3(150.0f, 0.0f, 0.0f));
    frame(0.01);
    EXPECT_FALSE(has<PathComponent>(actor));

    game.messages.emit<MoveToLocationOrderMessage>(actor, glm::vec3(20.0f, 0.0f, -5.0f));
    frame(0.01);
    ASSERT_TRUE(has<PathComponent>(actor));
    EXPECT_FALSE(has<SkillCastTargetComponent>(actor));
    expectNear(get<PathComponent>(actor).waypoints.back(), glm::vec3(20.0f, 0.0f, -5.0f));

    // A cursor order goes where the cursor's ray meets the mesh.
    aim = PickRay{glm::vec3(-7.0f, 30.0f, 3.0f), glm::vec3(0.0f, -1.0f, 0.0f)};
    game.messages.emit<MoveToCursorOrderMessage>(actor, 100, 200);
    frame(0.01);
    ASSERT_TRUE(has<PathComponent>(actor));
    expectNear(get<PathComponent>(actor).waypoints.back(), glm::vec3(-7.0f, 0.0f, 3.0f));

    // Orders for an entity that is gone are dropped; the pools are emptied.
    const Entity gone = makeTestActor(Red, glm::vec3(0.0f));
    game.entities.destroy(gone.id());
    game.messages.emit<MoveToLocationOrderMessage>(gone, glm::vec3(20.0f, 0.0f, -5.0f));
    game.messages.emit<SkillCastToCursorOrderMessage>(gone, std::int32_t{Fireball}, 0, 0);
    logic->update(0.01);
    EXPECT_EQ(game.messages.pool<MoveToLocationOrderMessage>().size(), 0u);
    EXPECT_EQ(game.messages.pool<SkillCastToCursorOrderMessage>().size(), 0u);
    EXPECT_EQ(game.messages.pool<CollisionMessage>().size(), 0u);
    EXPECT_EQ(game.messages.pool<AnimationEndedMessage>().size(), 0u);
    EXPECT_EQ(game.messages.pool<AnimationStartedMessage>().size(), 0u);
}

TEST_F(LogicProcessorTest, FlagsAreTakenByEnemiesReclaimedByTheirTeamAndIgnoredOtherwise) {
    const Entity blue = makeTestActor(Blue, glm::vec3(0.0f));
    const Entity red = makeTestActor(Red, glm::vec3(0.0f));
    const Entity blueFlag = makeTestFlag(Blue, kBlueBase, AtBase);

    // Own flag at base, not carrying: nothing.
    collide(blueFlag, blue);
    FrameOutput out = frame();
    EXPECT_TRUE(out.taken.empty() && out.reclaimed.empty() && out.captured.empty());
    EXPECT_TRUE(blueFlag.valid());

    // The enemy takes it, from either side of the collision pair.
    collide(red, blueFlag);
    out = frame();
    EXPECT_EQ(out.taken, std::vector<std::uint8_t>{Red});
    EXPECT_FALSE(blueFlag.valid());
    ASSERT_TRUE(has<FlagComponent>(red));
    EXPECT_EQ(get<FlagComponent>(red).state, Carried);

    // A dropped flag goes back to its base when its own team touches it.
    const Entity dropped = makeTestFlag(Red, glm::vec3(3.0f, 0.0f, 3.0f), Dropped);
    get<TransformComponent>(dropped).scale = glm::vec3(2.0f);
    collide(dropped, red);
    out = frame();
    EXPECT_EQ(out.reclaimed, std::vector<std::uint8_t>{Red});
    EXPECT_EQ(get<FlagComponent>(dropped).state, AtBase);
    EXPECT_EQ(get<TransformComponent>(dropped).position, kRedBase);
    EXPECT_EQ(get<TransformComponent>(dropped).scale, glm::vec3(1.0f));

    // A dying actor touches nothing.
    const Entity corpse = makeTestActor(Blue, glm::vec3(0.0f));
    game.entities.remove<HealthComponent>(corpse.id());
    collide(dropped, corpse);
    out = frame();
    EXPECT_TRUE(out.taken.empty());
    EXPECT_TRUE(dropped.valid());
}

TEST_F(LogicProcessorTest, ACarrierTouchingItsFlagAtBaseScoresAndTheWinIsAnnouncedOnce) {
    LogCapture capture;
    const Entity blue = makeTestActor(Blue, kBlueBase);
    const Entity blueFlag = makeTestFlag(Blue, kBlueBase, AtBase);

    for (int captures = 1; captures <= 6; ++captures) {
        game.entities.assign<FlagComponent>(blue.id(), FlagComponent{Carried});
        // Take away the Red flag that the previous capture put back.
        for (const Entity& flag : flags(Red, AtBase)) {
            game.entities.destroy(flag.id());
        }
        collide(blue, blueFlag);
        const FrameOutput out = frame();
        EXPECT_EQ(out.captured, std::vector<std::uint8_t>{Blue});
        EXPECT_EQ(game.blueScore, captures);
        EXPECT_FALSE(has<FlagComponent>(blue));
        const auto redFlags = flags(Red, AtBase);
        ASSERT_EQ(redFlags.size(), 1u);
        EXPECT_EQ(get<TransformComponent>(redFlags[0]).position, kRedBase);
        std::vector<std::string> expected{"Blue team scored!"};
        if (captures == 5) {
            expected.push_back("Blue team wins!");
        }
        EXPECT_EQ(out.notifications, expected) << captures;
    }
    const std::vector<std::string> info = capture.messages(LogCapture::Severity::info);
    ASSERT_EQ(info.size(), 12u);
    EXPECT_EQ(info[0], "Blue team scored!");
    EXPECT_EQ(info[1], "New score: Blue 1 : 0 Red");
    EXPECT_EQ(info[10], "Blue team scored!");
    EXPECT_EQ(info[11], "New score: Blue 6 : 0 Red");
}

TEST_F(LogicProcessorTest, NoWinIsAnnouncedWhenTheOtherTeamHasWonAlready) {
    LogCapture capture;
    game.blueScore = 4;
    game.redScore = 5;
    const Entity blue = makeTestActor(Blue, kBlueBase);
    const Entity blueFlag = makeTestFlag(Blue, kBlueBase, AtBase);
    game.entities.assign<FlagComponent>(blue.id(), FlagComponent{Carried});
    collide(blueFlag, blue);
    const FrameOutput out = frame();
    EXPECT_EQ(out.notifications, std::vector<std::string>{"Blue team scored!"});
    EXPECT_TRUE(capture.contains("New score: Blue 5 : 5 Red"));

    // Red's capture reads the same way.
    const Entity red = makeTestActor(Red, kRedBase);
    for (const Entity& flag : flags(Red, AtBase)) {
        game.entities.destroy(flag.id());
    }
    const Entity redFlag = makeTestFlag(Red, kRedBase, AtBase);
    game.entities.assign<FlagComponent>(red.id(), FlagComponent{Carried});
    collide(red, redFlag);
    EXPECT_EQ(frame().notifications, std::vector<std::string>{"Red team scored!"});
    EXPECT_EQ(capture.count(LogCapture::Severity::info, "Red team scored!"), 1u);
    EXPECT_TRUE(capture.contains("New score: Blue 5 : 6 Red"));
}

TEST_F(LogicProcessorTest, ACarrierDropsTheFlagWhereItDiesAndItsTeamCanReclaimIt) {
    const Entity carrier = makeTestActor(Red, glm::vec3(12.0f, 0.0f, -4.0f));
    game.entities.assign<FlagComponent>(carrier.id(), FlagComponent{Carried});
    const Entity explosion = game.entities.create();
    makeExplosion(explosion, glm::vec3(12.0f, 0.0f, -4.0f), Blue);
    get<HealthComponent>(carrier).current = 25.0f;

    // Damage comes before the deaths in the frame: the carrier falls at once.
    collide(explosion, carrier);
    FrameOutput out = frame();
    EXPECT_EQ(out.died, std::vector<Entity>{carrier});
    EXPECT_EQ(get<AnimationComponent>(carrier).state, Dying);
    EXPECT_FALSE(has<HealthComponent>(carrier));
    EXPECT_FALSE(has<FlagComponent>(carrier));
    const auto dropped = flags(Blue, Dropped);
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(get<TransformComponent>(dropped[0]).position, glm::vec3(12.0f, 0.0f, -4.0f));
    EXPECT_EQ(get<BehaviourComponent>(dropped[0]).behaviour, FlagBehaviour);
    EXPECT_EQ(get<CollisionComponent>(dropped[0]).kind, FlagKind);
    ASSERT_EQ(logic->pendingRespawns().count(carrier), 1u);

    const Entity blue = makeTestActor(Blue, glm::vec3(12.0f, 0.0f, -4.0f));
    collide(blue, dropped[0]);
    out = frame();
    EXPECT_EQ(out.reclaimed, std::vector<std::uint8_t>{Blue});
    EXPECT_EQ(get<TransformComponent>(dropped[0]).position, kBlueBase);
}

TEST_F(LogicProcessorTest, TheDeadRespawnAfterSixSecondsAndThePlayerSeesACountdown) {
    const Entity player = makeTestActor(Blue, glm::vec3(3.0f, 0.0f, 3.0f));
    game.entities.assign<ControlSchemeComponent>(player.id(), ControlSchemeComponent{KeyboardAndMouse});
    const Entity other = makeTestActor(Red, glm::vec3(5.0f, 0.0f, 5.0f));
    get<HealthComponent>(player).current = 0.0f;
    get<HealthComponent>(other).current = -3.0f;

    std::vector<std::string> countdown;
    std::vector<std::int32_t> playerStates;
    int frames = 0;
    do {
        const FrameOutput out = frame(1.0 / 60.0);
        countdown.insert(countdown.end(), out.notifications.begin(), out.notifications.end());
        if (playerStates.empty() || playerStates.back() != get<AnimationComponent>(player).state) {
            playerStates.push_back(get<AnimationComponent>(player).state);
        }
        ++frames;
    } while (!has<HealthComponent>(player) && frames < 1000);
    EXPECT_EQ(countdown, (std::vector<std::string>{"Respawning in 6", "Respawning in 5", "Respawning in 4",
                                                   "Respawning in 3", "Respawning in 2", "Respawning in 1"}));
    EXPECT_EQ(playerStates, (std::vector<std::int32_t>{Dying, Dead, Spawn}));
    // Six seconds at 60 frames per second, give or take the float steps.
    EXPECT_NEAR(frames, 360, 1);
    EXPECT_TRUE(has<HealthComponent>(other));
    EXPECT_EQ(get<HealthComponent>(player).current, 100.0f);
    EXPECT_EQ(get<TransformComponent>(player).position, kBlueSpawn);
    EXPECT_EQ(get<TransformComponent>(other).position, kRedSpawn);
    EXPECT_TRUE(has<ControlSchemeComponent>(player));
    EXPECT_TRUE(logic->pendingRespawns().empty());
}

TEST_F(LogicProcessorTest, LifetimesEndEffectsAndAnExpiringFireballExplodesFirst) {
    const Entity lightning = game.entities.create();
    makeLightning(lightning, glm::vec3(0.0f), glm::vec3(1.0f));
    const Entity fireball = game.entities.create();
    makeFireball(fireball, glm::vec3(0.0f, 1.0f, 0.0f), glm::vec3(90.0f, 0.0f, 0.0f), Red);
    // Nothing flies it here: it stays where it is, path and all.
    frame(0.45);
    EXPECT_TRUE(lightning.valid());
    frame(0.1);  // past the lightning's 0.5 s
    EXPECT_FALSE(lightning.valid());
    EXPECT_EQ(get<BehaviourComponent>(fireball).behaviour, FireballProjectile);

    frame(0.7);  // past the fireball's 1.2 s
    EXPECT_FALSE(has<BehaviourComponent>(fireball));
    EXPECT_EQ(countWithBehaviour(FireballExplosion), 1u);
    EXPECT_EQ(get<LifetimeComponent>(fireball).age, 0.0f);
    frame(0.3);  // the explosion's 0.3 s
    EXPECT_EQ(countWithBehaviour(FireballExplosion), 0u);
    EXPECT_TRUE(fireball.valid());
    frame(0.75);  // past the spent fireball's second
    EXPECT_FALSE(fireball.valid());
}

TEST_F(LogicProcessorTest, AFireballThatReachedItsWaypointExplodesAndOwnActorsDoNotStopIt) {
    const Entity ally = makeTestActor(Red, glm::vec3(0.0f));
    const Entity enemy = makeTestActor(Blue, glm::vec3(0.0f));
    const Entity fireball = game.entities.create();
    makeFireball(fireball, glm::vec3(0.0f, 1.0f, 0.0f), glm::vec3(9.0f, 0.0f, 0.0f), Red);

    collide(fireball, ally);
    collide(ally, fireball);
    frame();
    EXPECT_EQ(countWithBehaviour(FireballProjectile), 1u);
    EXPECT_EQ(countWithBehaviour(FireballExplosion), 0u);

    // The mechanics remove the path on arrival.
    game.entities.remove<PathComponent>(fireball.id());
    frame();
    EXPECT_EQ(countWithBehaviour(FireballProjectile), 0u);
    EXPECT_EQ(countWithBehaviour(FireballExplosion), 1u);

    // The explosion hurts the enemy once over several frames, the ally never.
    Entity explosion;
    ComponentHandle<BehaviourComponent> behaviour;
    for (const Entity entity : game.entities.query(behaviour)) {
        if (behaviour->behaviour == FireballExplosion) {
            explosion = entity;
        }
    }
    for (int k = 0; k < 3; ++k) {
        collide(explosion, enemy);
        collide(ally, explosion);
        frame(0.05);
    }
    EXPECT_EQ(get<HealthComponent>(enemy).current, 70.0f);
    EXPECT_EQ(get<HealthComponent>(ally).current, 100.0f);
}

}  // namespace logic_test
