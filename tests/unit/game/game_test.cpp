#include "game/game.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "entities/messages.h"
#include "game/components.h"
#include "game/runtime_settings.h"
#include "game_fixture.h"
#include "mechanics/mechanics_processor.h"
#include "mechanics/navigation_mesh.h"
#include "support/log_capture.h"
#include "support/scratch_directory.h"
#include "utils/profiler.h"

namespace {
using game_test::ShippedGameData;
using Severity = LogCapture::Severity;

const char* const kSmallLevel = R"(
    # Two Red spawns, one Blue spawn (game positions: (x, z, -y)).
    RedSpawn { position = (10, 4, 0) }
    RedSpawn { position = (20, 4, 0) }
    BlueSpawn { position = (-10, 0, 0) }
    BlueFlag { position = (-30, 0, 0) }
    RedFlag { position = (30, 0, 0) }
    Floor { }
    Wall { position = (0, 1, 0) }
)";

class GameStart : public ShippedGameData {
  protected:
    // Options for a headless game on a level written to the scratch tree.
    GameOptions headless(const std::string& levelText = kSmallLevel) {
        GameOptions options;
        options.levelPath = scratch.write("level/test.lvl", levelText);
        options.windowSystems = false;
        return options;
    }

    ScratchDirectory scratch;
};

bool has(EntityManager& entities, uint32_t index, bool ai, bool player) {
    const Entity::Id id(index, 1);
    return entities.has<AiComponent>(id) == ai && entities.has<ControlSchemeComponent>(id) == player;
}

// Reads a whole file's bytes.
std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
}  // namespace

TEST_F(GameStart, TheShippedArenaIsPopulatedActorsFirstThenFlagsThenLevelObjects) {
    LogCapture capture;
    Game game;
    GameOptions options;
    options.windowSystems = false;
    ASSERT_TRUE(game.initialize(options));

    const Level shipped = loadLevel("data/level/test.lvl");
    ASSERT_EQ(game.level.objects.size(), shipped.objects.size());
    EXPECT_EQ(game.entities.indexCount(), 10u + shipped.objects.size());

    // Red 0-3 and Blue 4-7 at their spawn points in file order.
    const std::vector<glm::vec3>& red = shipped.spawnPoints.at(Red);
    const std::vector<glm::vec3>& blue = shipped.spawnPoints.at(Blue);
    for (uint32_t i = 0; i < 8; ++i) {
        const Entity::Id id(i, 1);
        const Team team = i < 4 ? Red : Blue;
        EXPECT_EQ(game.entities.component<TeamComponent>(id)->team, team) << "actor " << i;
        const glm::vec3 spawn = i < 4 ? red[i % red.size()] : blue[(i - 4) % blue.size()];
        EXPECT_EQ(game.entities.component<TransformComponent>(id)->position, spawn) << "actor " << i;
        EXPECT_EQ(game.entities.component<CollisionComponent>(id)->kind, ActorKind);
        EXPECT_EQ(game.entities.component<HealthComponent>(id)->current, 100.0f);
    }
    // The first Red actor and Blue 1-3 are computer players; Blue 0 is the
    // player; Red 1-3 only stand.
    EXPECT_TRUE(has(game.entities, 0, true, false));
    for (uint32_t i : {1u, 2u, 3u}) {
        EXPECT_TRUE(has(game.entities, i, false, false)) << "actor " << i;
    }
    EXPECT_TRUE(has(game.entities, 4, false, true));
    EXPECT_EQ(game.entities.component<ControlSchemeComponent>(Entity::Id(4, 1))->scheme, KeyboardAndMouse);
    for (uint32_t i : {5u, 6u, 7u}) {
        EXPECT_TRUE(has(game.entities, i, true, false)) << "actor " << i;
    }
    const AiComponent& ai = *game.entities.component<AiComponent>(Entity::Id(5, 1));
    EXPECT_EQ(ai.role, 0);
    EXPECT_EQ(ai.mode, NoMode);
    EXPECT_FALSE(ai.target.valid());
    EXPECT_EQ(ai.orderTimer, 0.0f);

    // The Blue flag, then the Red flag, at their bases.
    const Entity::Id blueFlag(8, 1);
    const Entity::Id redFlag(9, 1);
    EXPECT_EQ(game.entities.component<TeamComponent>(blueFlag)->team, Blue);
    EXPECT_EQ(game.entities.component<TransformComponent>(blueFlag)->position,
              shipped.flagPositions.at(Blue));
    EXPECT_EQ(game.entities.component<FlagComponent>(blueFlag)->state, AtBase);
    EXPECT_EQ(game.entities.component<TeamComponent>(redFlag)->team, Red);
    EXPECT_EQ(game.entities.component<TransformComponent>(redFlag)->position, shipped.flagPositions.at(Red));

    // Then one static entity per level object, in file order, every one with
    // collision volumes (the arena names only registered shapes).
    for (std::size_t k = 0; k < shipped.objects.size(); ++k) {
        const Entity::Id id(static_cast<uint32_t>(10 + k), 1);
        const CollisionComponent& collision = *game.entities.component<CollisionComponent>(id);
        EXPECT_EQ(collision.kind, StaticKind);
        EXPECT_FALSE(collision.volumes.empty()) << shipped.objects[k].name;
        EXPECT_EQ(game.entities.component<TransformComponent>(id)->position, shipped.objects[k].position);
    }

    EXPECT_NE(game.level.navigationMesh, nullptr);
    EXPECT_NE(game.systems.system<MechanicsProcessor>(), nullptr);
    EXPECT_EQ(game.blueScore, 0);
    EXPECT_EQ(game.redScore, 0);

    // A few frames of the headless match run cleanly.
    for (int frame = 0; frame < 30; ++frame) {
        game.update(0.016);
    }
    // Headless, the render recipes find no graphics; nothing else complains.
    EXPECT_EQ(capture.count(Severity::warning), 0u);
    EXPECT_EQ(game_test::countBesidesAbsentGraphics(capture, Severity::error), 0u)
        << ::testing::PrintToString(capture.messages(Severity::error));
    EXPECT_EQ(capture.count(Severity::fatal), 0u);
}

TEST_F(GameStart, ActorsShareSpawnPointsInTurnWhenALevelHasFewerThanFour) {
    Game game;
    ASSERT_TRUE(game.initialize(headless()));
    const glm::vec3 first(10, 0, -4);
    const glm::vec3 second(20, 0, -4);
    const glm::vec3 expected[] = {first, second, first, second};
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(game.entities.component<TransformComponent>(Entity::Id(i, 1))->position, expected[i]);
        EXPECT_EQ(game.entities.component<TransformComponent>(Entity::Id(i + 4, 1))->position,
                  glm::vec3(-10, 0, 0));
    }
    EXPECT_EQ(game.entities.indexCount(), 12u);
    EXPECT_EQ(game.entities.component<TransformComponent>(Entity::Id(11, 1))->position, glm::vec3(0, 0, -1));
}

TEST_F(GameStart, ALevelTheGameCannotRunWithEndsStartUpWithAFatalRecord) {
    struct Case {
        const char* what;
        std::string level;
        const char* record;
    };
    const std::string flags = "BlueFlag { } RedFlag { position = (1, 0, 0) } ";
    const std::string spawns = "BlueSpawn { } RedSpawn { } ";
    const Case cases[] = {
        {"no Red spawn", flags + "BlueSpawn { } Floor { }", "gives team Red no spawn point"},
        {"no Blue spawn", flags + "RedSpawn { }", "gives team Blue no spawn point"},
        {"no Blue flag", spawns + "RedFlag { }", "gives team Blue no flag marker"},
        {"no Red flag", spawns + "BlueFlag { }", "gives team Red no flag marker"},
        {"nothing that parses", "Tree_1 { }", "gives team Red no spawn point"},
    };
    for (const Case& test : cases) {
        LogCapture capture;
        Game game;
        bool started = true;
        EXPECT_NO_THROW(started = game.initialize(headless(test.level))) << test.what;
        EXPECT_FALSE(started) << test.what;
        EXPECT_EQ(capture.count(Severity::fatal, test.record), 1u) << test.what;
        // Nothing was built from the level.
        EXPECT_EQ(game.entities.indexCount(), 0u) << test.what;
        EXPECT_EQ(game.systems.system<MechanicsProcessor>(), nullptr) << test.what;
    }

    LogCapture capture;
    Game game;
    GameOptions options = headless();
    options.levelPath = scratch.path("level/absent.lvl");
    bool started = true;
    EXPECT_NO_THROW(started = game.initialize(options));
    EXPECT_FALSE(started);
    EXPECT_EQ(
        capture.count(Severity::fatal, "Cannot start without the level file \"" + options.levelPath + "\""),
        1u);
}

TEST_F(GameStart, ARefusedNavigationMeshEndsStartUpWithAFatalRecord) {
    const std::string shipped = bytesOf("data/level/test.nav");
    ASSERT_GT(shipped.size(), 10u);
    const std::string paths[] = {scratch.write("level/short.nav", shipped.substr(0, 10)),
                                 scratch.write("level/empty.nav", ""), scratch.path("level/absent.nav")};
    for (const std::string& path : paths) {
        LogCapture capture;
        Game game;
        GameOptions options = headless();
        options.navigationMeshPath = path;
        bool started = true;
        EXPECT_NO_THROW(started = game.initialize(options)) << path;
        EXPECT_FALSE(started) << path;
        EXPECT_EQ(capture.count(Severity::fatal, "Cannot start without the navigation mesh \"" + path + "\""),
                  1u);
        EXPECT_EQ(game.level.navigationMesh, nullptr);
        EXPECT_EQ(game.systems.system<MechanicsProcessor>(), nullptr);
    }
}

namespace {
// Stands in for the mechanics processor and notes what it sees when it runs.
class ObservingMechanics : public MechanicsProcessor {
  public:
    explicit ObservingMechanics(Game* game) : MechanicsProcessor(game), game(game) {}

    void update(double dt) override {
        dts.push_back(dt);
        const Profiler& profiler = Profiler::instance();
        const auto count = [&](const char* name) {
            const Profiler::Section* section = profiler.section(name);
            return section == nullptr ? 0.0 : section->count;
        };
        // Sections closed so far this frame, by name.
        closedBefore.push_back({count("InputProcessor"), count("AiProcessor"), count("MechanicsProcessor"),
                                count("LogicProcessor"), count("RenderProcessor")});
        pendingMessages.push_back(game->messages.pool<NotificationMessage>().size());
        game->messages.emit<NotificationMessage>(std::string("seen by later systems of this frame only"));
        MechanicsProcessor::update(dt);
    }

    Game* game;
    std::vector<double> dts;
    std::vector<std::vector<double>> closedBefore;
    std::vector<std::size_t> pendingMessages;
};
}  // namespace

TEST(GameSchedule, EveryFrameRunsTheFiveSectionsInOrderAndClearsTheMessages) {
    const std::vector<std::string> order = {"InputProcessor", "AiProcessor", "MechanicsProcessor",
                                            "LogicProcessor", "RenderProcessor"};
    EXPECT_EQ(Game::scheduleNames(), order);

    Game game;
    auto observer = std::make_shared<ObservingMechanics>(&game);
    game.systems.add<MechanicsProcessor>(observer);
    Profiler::instance().reset();

    game.update(0.02);
    game.update(0.03);
    game.update(0.04);

    // The sections before the mechanics processor had closed as many times as
    // the frame's number, the later ones one time less.
    const std::vector<std::vector<double>> expected = {{1, 1, 0, 0, 0}, {2, 2, 1, 1, 1}, {3, 3, 2, 2, 2}};
    EXPECT_EQ(observer->closedBefore, expected);
    for (const std::string& name : order) {
        ASSERT_NE(Profiler::instance().section(name), nullptr) << name;
        EXPECT_EQ(Profiler::instance().section(name)->count, 3.0) << name;
    }
    // The report lists them in the order they run.
    {
        LogCapture capture;
        Profiler::instance().report();
        std::vector<std::string> reported;
        for (const std::string& message : capture.messages()) {
            if (message.size() > 4 && message.rfind("--", 0) == 0 && message[2] != '-') {
                reported.push_back(message.substr(2, message.size() - 4));
            }
        }
        EXPECT_EQ(reported, order);
    }

    // Messages live until the end of their frame.
    EXPECT_EQ(observer->pendingMessages, (std::vector<std::size_t>{0, 0, 0}));
    EXPECT_EQ(game.messages.pool<NotificationMessage>().size(), 0u);

    // With time scale 1 the systems get the frame's dt exactly; otherwise
    // scaled.
    EXPECT_EQ(observer->dts, (std::vector<double>{0.02, 0.03, 0.04}));
    RuntimeSettings::instance().timeScale = 0.5f;
    game.update(0.04);
    RuntimeSettings::instance().timeScale = 1.0f;
    EXPECT_EQ(observer->dts.back(), 0.02);
    Profiler::instance().reset();
}

TEST(GameSchedule, AGameWithoutSystemsStillOpensEverySectionAndClearsEveryPool) {
    Game game;
    Profiler::instance().reset();
    game.messages.emit<CollisionMessage>();
    game.messages.emit<MoveToLocationOrderMessage>();
    game.update(0.016);
    EXPECT_EQ(game.messages.pool<CollisionMessage>().size(), 0u);
    EXPECT_EQ(game.messages.pool<MoveToLocationOrderMessage>().size(), 0u);
    for (const std::string& name : Game::scheduleNames()) {
        ASSERT_NE(Profiler::instance().section(name), nullptr) << name;
        EXPECT_EQ(Profiler::instance().section(name)->count, 1.0) << name;
    }
    Profiler::instance().reset();
}
