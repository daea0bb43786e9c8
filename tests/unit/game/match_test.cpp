// A scripted match on the shipped arena: the real Game, initialised headless
// from the shipped level, navigation mesh, data and collision volumes, run
// with fixed 1/60 s frames by its mechanics and logic processors. The player's
// actor is driven by the orders the input processor would send; a Red actor
// shoots and another runs by the orders the computer players would send (the
// AI itself is left out so that the script alone decides who moves).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <glm/geometric.hpp>
#include <memory>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "entities/messages.h"
#include "game/components.h"
#include "game/game.h"
#include "game/processors/logic_processor.h"
#include "game_fixture.h"
#include "mechanics/mechanics_processor.h"
#include "support/log_capture.h"

namespace match_test {

constexpr double kFrame = 1.0 / 60.0;

// The logic processor, noting every frame what it was given and what it said.
class RecordingLogic : public LogicProcessor {
  public:
    explicit RecordingLogic(Game* game) : LogicProcessor(game), game(game) {}

    void update(double dt) override {
        for (const CollisionMessage& collision : game->messages.pool<CollisionMessage>()) {
            collisions.push_back({frame, collision.first, collision.second});
        }
        LogicProcessor::update(dt);
        for (const FlagTakenMessage& m : game->messages.pool<FlagTakenMessage>()) {
            events.push_back("taken " + teamName(m.team));
        }
        for (const FlagReclaimedMessage& m : game->messages.pool<FlagReclaimedMessage>()) {
            events.push_back("reclaimed " + teamName(m.team));
        }
        for (const CapturedFlagMessage& m : game->messages.pool<CapturedFlagMessage>()) {
            events.push_back("captured " + teamName(m.team));
        }
        for (const ActorDiedMessage& m : game->messages.pool<ActorDiedMessage>()) {
            events.push_back("died " + std::to_string(m.victim.index()));
        }
        for (const NotificationMessage& m : game->messages.pool<NotificationMessage>()) {
            events.push_back(m.text);
            notifications.push_back({frame, m.text});
        }
        ++frame;
    }

    static std::string teamName(std::uint8_t team) { return team == Blue ? "Blue" : "Red"; }

    struct Collision {
        int frame;
        Entity first;
        Entity second;
    };
    struct Notification {
        int frame;
        std::string text;
    };

    Game* game;
    int frame = 0;
    std::vector<Collision> collisions;
    std::vector<std::string> events;
    std::vector<Notification> notifications;
};

class Match : public game_test::ShippedGameData {
  protected:
    void SetUp() override {
        ShippedGameData::SetUp();
        GameOptions options;
        options.windowSystems = false;
        ASSERT_TRUE(game.initialize(options));
        // Only the mechanics and the (recording) logic run.
        game.systems.clear();
        game.systems.add<MechanicsProcessor>(std::make_shared<MechanicsProcessor>(&game));
        logic = std::make_shared<RecordingLogic>(&game);
        // The cursor in these tests is a world point: a ray straight down
        // through (x, z) = cursor.
        logic->setCursorRay([](std::int32_t x, std::int32_t y) {
            return PickRay{glm::vec3(static_cast<float>(x), 60.0f, static_cast<float>(y)),
                           glm::vec3(0.0f, -1.0f, 0.0f)};
        });
        game.systems.add<LogicProcessor>(logic);

        // Red actors hold indices 0 to 3, Blue actors 4 to 7 (the player is 4).
        for (std::uint32_t i = 0; i < 8; ++i) {
            actors.emplace_back(&game.entities, Entity::Id(i, 1));
        }
        player = actors[4];
        ASSERT_TRUE(game.entities.has<ControlSchemeComponent>(player.id()));
        blueBase = game.level.flagPositions.at(Blue);
        redBase = game.level.flagPositions.at(Red);
    }

    // Runs frames until done() holds after one (at most `seconds` of them),
    // calling before() ahead of each frame. Answers whether done() held.
    bool runUntil(const std::function<bool()>& done, double seconds,
                  const std::function<void()>& before = std::function<void()>()) {
        const int frames = static_cast<int>(seconds / kFrame);
        for (int k = 0; k < frames; ++k) {
            if (before) {
                before();
            }
            game.update(kFrame);
            if (done()) {
                return true;
            }
        }
        return false;
    }
    void run(double seconds) {
        runUntil([] { return false; }, seconds);
    }

    // Orders the actor to a point (as the AI and the tests do) and waits for
    // it to arrive.
    bool walkTo(const Entity& actor, const glm::vec3& point, double seconds = 30.0) {
        game.messages.emit<MoveToLocationOrderMessage>(actor, point);
        return runUntil([&] { return !has<PathComponent>(actor); }, seconds);
    }
    // The player's cast at a ground point, as the input processor sends it.
    void castAt(std::int32_t skill, const glm::vec3& point) {
        game.messages.emit<SkillCastToCursorOrderMessage>(player, skill, static_cast<std::int32_t>(point.x),
                                                          static_cast<std::int32_t>(point.z));
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
    glm::vec3 position(const Entity& entity) { return get<TransformComponent>(entity).position; }

    // Flag entities lying on the ground (carriers are not flag entities).
    std::vector<Entity> groundFlags(std::uint8_t team) {
        std::vector<Entity> found;
        ComponentHandle<FlagComponent> flag;
        ComponentHandle<TeamComponent> owner;
        ComponentHandle<BehaviourComponent> behaviour;
        for (const Entity entity : game.entities.query(flag, owner, behaviour)) {
            if (owner->team == team && behaviour->behaviour == FlagBehaviour) {
                found.push_back(entity);
            }
        }
        return found;
    }
    std::vector<Entity> withBehaviour(std::int32_t kind) {
        std::vector<Entity> found;
        ComponentHandle<BehaviourComponent> behaviour;
        for (const Entity entity : game.entities.query(behaviour)) {
            if (behaviour->behaviour == kind) {
                found.push_back(entity);
            }
        }
        return found;
    }

    // Walks the player to the Red flag and back home; answers whether a
    // capture was scored.
    bool captureOnce() {
        const std::uint8_t before = game.blueScore;
        if (!walkTo(player, redBase) || !has<FlagComponent>(player)) {
            return false;
        }
        walkTo(player, blueBase);
        return game.blueScore == before + 1;
    }

    LogCapture capture;
    Game game;
    std::shared_ptr<RecordingLogic> logic;
    std::vector<Entity> actors;
    Entity player;
    glm::vec3 blueBase{0.0f};
    glm::vec3 redBase{0.0f};
};

float distance(const glm::vec3& a, const glm::vec3& b) {
    return glm::length(a - b);
}

TEST_F(Match, FireballsPassAlliesAndCastOrdersWaitForTheCooldownToRunOut) {
    // Let the actors finish spawning.
    run(0.5);
    const Entity ally = actors[5];
    const glm::vec3 from = position(player);
    const glm::vec3 allyAt = position(ally);
    // A shot straight through the ally standing 10 units south.
    const glm::vec3 aim = allyAt + (allyAt - from) * 0.7f;

    castAt(Fireball, aim);
    ASSERT_TRUE(runUntil([&] { return !withBehaviour(FireballProjectile).empty(); }, 1.0));
    const Entity fireball = withBehaviour(FireballProjectile).front();
    EXPECT_EQ(get<ActorSkillsComponent>(player).slots[0].remaining, 1.5f);

    ASSERT_TRUE(runUntil([&] { return !withBehaviour(FireballExplosion).empty(); }, 2.0));
    const Entity explosion = withBehaviour(FireballExplosion).front();
    // It touched the ally on its way and flew on past it.
    bool touchedAlly = false;
    for (const auto& collision : logic->collisions) {
        touchedAlly |= (collision.first == fireball && collision.second == ally) ||
                       (collision.first == ally && collision.second == fireball);
    }
    EXPECT_TRUE(touchedAlly);
    EXPECT_GT(distance(position(explosion), from), distance(allyAt, from) + 1.0f);
    EXPECT_EQ(get<HealthComponent>(ally).current, 100.0f);

    // An order one frame before the slot is ready is dropped, not kept; one in
    // the frame the cooldown runs out begins the cast.
    const float step = static_cast<float>(kFrame);
    bool earlyOrderSent = false;
    bool accepted = false;
    for (int k = 0; k < 200 && !accepted; ++k) {
        const float remaining = get<ActorSkillsComponent>(player).slots[0].remaining;
        const bool lastFrame = remaining <= step;
        const bool frameBefore = !lastFrame && remaining - step <= step;
        if (frameBefore || lastFrame) {
            castAt(Fireball, from + glm::vec3(0.0f, 0.0f, -8.0f));
        }
        game.update(kFrame);
        if (frameBefore) {
            earlyOrderSent = true;
            EXPECT_GT(get<ActorSkillsComponent>(player).slots[0].remaining, 0.0f);
            EXPECT_NE(get<AnimationComponent>(player).state, FireballWindup);
            EXPECT_FALSE(has<SkillCastTargetComponent>(player));
        }
        if (lastFrame) {
            accepted = true;
            EXPECT_EQ(get<AnimationComponent>(player).state, FireballWindup);
            EXPECT_TRUE(has<SkillCastTargetComponent>(player));
        }
    }
    EXPECT_TRUE(earlyOrderSent);
    EXPECT_TRUE(accepted);
}

TEST_F(Match, OrdersRepeatedWhileTheButtonIsHeldWalkAlongEdgesOfTheGround) {
    // A held button repeats the move order every other frame. The shortest
    // ways from base to base run along the edges of the ground beside the
    // centre walls and the lane pillars, where a walker used to step back
    // and forth on the spot.
    for (const glm::vec3& waypoint : {glm::vec3(25.5f, 0.0f, -14.0f), redBase, glm::vec3(-13.0f, 0.0f, -4.0f),
                                      glm::vec3(-40.0f, 0.0f, 0.0f)}) {
        int frame = 0;
        EXPECT_TRUE(runUntil([&] { return distance(position(player), waypoint) < 1.0f; }, 20.0,
                             [&] {
                                 if (frame++ % 2 == 0) {
                                     game.messages.emit<MoveToLocationOrderMessage>(player, waypoint);
                                 }
                             }))
            << "stuck at " << position(player).x << ", " << position(player).z << " on the way to "
            << waypoint.x << ", " << waypoint.z;
    }
}

TEST_F(Match, FlagsAreTakenDroppedReclaimedAndCapturedAndTheFifthCaptureWins) {
    const Entity shooter = actors[0];
    const Entity runner = actors[3];
    const Entity redGuard = actors[1];

    // Walking into the enemy flag takes it.
    ASSERT_TRUE(runUntil([&] { return has<FlagComponent>(player); }, 30.0,
                         [&, ordered = false]() mutable {
                             if (!ordered) {
                                 game.messages.emit<MoveToLocationOrderMessage>(player, redBase);
                                 ordered = true;
                             }
                         }));
    EXPECT_EQ(get<FlagComponent>(player).state, Carried);
    EXPECT_TRUE(groundFlags(Red).empty());
    EXPECT_EQ(logic->events, std::vector<std::string>{"taken Blue"});
    run(1.0);

    // One fireball between two Red actors hurts each of them once, although
    // its explosion overlaps both for several frames.
    const glm::vec3 between = (position(shooter) + position(redGuard)) * 0.5f;
    castAt(Fireball, between);
    ASSERT_TRUE(runUntil([&] { return !withBehaviour(FireballExplosion).empty(); }, 2.0));
    run(0.5);
    EXPECT_TRUE(withBehaviour(FireballExplosion).empty());
    EXPECT_EQ(get<HealthComponent>(shooter).current, 70.0f);
    EXPECT_EQ(get<HealthComponent>(redGuard).current, 70.0f);
    EXPECT_EQ(get<HealthComponent>(player).current, 100.0f);

    // The carrier steps aside and is shot down by a Red actor.
    const glm::vec3 aside = redBase + glm::vec3(-6.0f, 0.0f, 3.0f);
    ASSERT_TRUE(walkTo(player, aside));
    const std::size_t eventsBefore = logic->events.size();
    glm::vec3 fell(0.0f);
    ASSERT_TRUE(runUntil([&] { return !has<HealthComponent>(player); }, 20.0,
                         [&] {
                             fell = position(player);
                             const std::int32_t state = get<AnimationComponent>(shooter).state;
                             if (state != FireballWindup && state != FireballBackswing) {
                                 game.messages.emit<SkillCastToLocationOrderMessage>(
                                     shooter, std::int32_t{Fireball}, fell);
                             }
                         }));
    const int deathFrame = logic->frame;
    EXPECT_EQ(get<AnimationComponent>(player).state, Dying);
    EXPECT_FALSE(has<FlagComponent>(player));
    EXPECT_EQ(std::vector<std::string>(logic->events.begin() + eventsBefore, logic->events.end()),
              (std::vector<std::string>{"died 4", "Respawning in 6"}));
    // The flag lies where the carrier fell, a Red flag, Dropped.
    auto dropped = groundFlags(Red);
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(get<FlagComponent>(dropped[0]).state, Dropped);
    EXPECT_LT(distance(position(dropped[0]), fell), 1e-3f);
    EXPECT_GT(distance(position(dropped[0]), redBase), 3.0f);

    // A Red actor runs to it and so returns it to its base, while the player
    // lies dead and its own orders are ignored.
    game.messages.emit<MoveToLocationOrderMessage>(runner, position(dropped[0]));
    std::vector<std::int32_t> states{Dying};
    ASSERT_TRUE(runUntil([&] { return has<HealthComponent>(player); }, 7.0,
                         [&] {
                             game.messages.emit<MoveToLocationOrderMessage>(player, blueBase);
                             if (get<AnimationComponent>(player).state != states.back()) {
                                 states.push_back(get<AnimationComponent>(player).state);
                             }
                         }));
    EXPECT_EQ(states, (std::vector<std::int32_t>{Dying, Dead}));
    EXPECT_EQ(get<AnimationComponent>(player).state, Spawn);
    EXPECT_NEAR(logic->frame - deathFrame, 360, 1);
    EXPECT_EQ(get<HealthComponent>(player).current, 100.0f);
    bool atSpawn = false;
    for (const glm::vec3& spawn : game.level.spawnPoints.at(Blue)) {
        atSpawn |= position(player) == spawn;
    }
    EXPECT_TRUE(atSpawn);

    std::vector<std::string> countdown;
    for (const auto& notification : logic->notifications) {
        if (notification.text.rfind("Respawning in ", 0) == 0) {
            countdown.push_back(notification.text);
            // One a second, from the death on.
            EXPECT_NEAR(notification.frame - deathFrame + 1, 60 * (6 - (notification.text.back() - '0')), 1);
        }
    }
    EXPECT_EQ(countdown, (std::vector<std::string>{"Respawning in 6", "Respawning in 5", "Respawning in 4",
                                                   "Respawning in 3", "Respawning in 2", "Respawning in 1"}));
    EXPECT_EQ(std::count(logic->events.begin(), logic->events.end(), "reclaimed Red"), 1);
    dropped = groundFlags(Red);
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(get<FlagComponent>(dropped[0]).state, AtBase);
    EXPECT_EQ(position(dropped[0]), redBase);

    // Captures: home with the enemy flag while one's own flag is at its base.
    capture.clear();
    std::size_t eventsAt = logic->events.size();
    ASSERT_TRUE(captureOnce());
    EXPECT_EQ(std::vector<std::string>(logic->events.begin() + eventsAt, logic->events.end()),
              (std::vector<std::string>{"taken Blue", "captured Blue", "Blue team scored!"}));
    EXPECT_EQ(capture.messages(LogCapture::Severity::info),
              (std::vector<std::string>{"Blue team scored!", "New score: Blue 1 : 0 Red"}));
    EXPECT_FALSE(has<FlagComponent>(player));
    ASSERT_EQ(groundFlags(Red).size(), 1u);
    EXPECT_EQ(position(groundFlags(Red)[0]), redBase);
    EXPECT_EQ(get<FlagComponent>(groundFlags(Red)[0]).state, AtBase);

    for (int score = 2; score <= 6; ++score) {
        eventsAt = logic->events.size();
        ASSERT_TRUE(captureOnce()) << score;
        std::vector<std::string> expected{"taken Blue", "captured Blue", "Blue team scored!"};
        if (score == 5) {
            expected.push_back("Blue team wins!");
        }
        EXPECT_EQ(std::vector<std::string>(logic->events.begin() + eventsAt, logic->events.end()), expected)
            << score;
    }
    EXPECT_EQ(game.blueScore, 6);
    EXPECT_EQ(game.redScore, 0);
    EXPECT_EQ(std::count(logic->events.begin(), logic->events.end(), "Blue team wins!"), 1);
    const auto info = capture.messages(LogCapture::Severity::info);
    ASSERT_EQ(info.size(), 12u);
    EXPECT_EQ(info[10], "Blue team scored!");
    EXPECT_EQ(info[11], "New score: Blue 6 : 0 Red");
}

}  // namespace match_test
