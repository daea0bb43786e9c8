#include "game/level.h"

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <cmath>
#include <fstream>
#include <limits>

#include "io/file_system.h"
#include "support/log_capture.h"

namespace {
constexpr float kTolerance = 1e-6f;

void expectVec(const glm::vec3& actual, const glm::vec3& expected) {
    EXPECT_NEAR(actual.x, expected.x, kTolerance);
    EXPECT_NEAR(actual.y, expected.y, kTolerance);
    EXPECT_NEAR(actual.z, expected.z, kTolerance);
}

void expectQuat(const glm::quat& actual, float x, float y, float z, float w) {
    EXPECT_NEAR(actual.x, x, kTolerance);
    EXPECT_NEAR(actual.y, y, kTolerance);
    EXPECT_NEAR(actual.z, z, kTolerance);
    EXPECT_NEAR(actual.w, w, kTolerance);
}

// The names of the ordinary objects, in order.
std::vector<std::string> namesOf(const Level& level) {
    std::vector<std::string> names;
    for (const LevelObject& object : level.objects) {
        names.push_back(object.name);
    }
    return names;
}

Level parse(const std::string& text) {
    return parseLevel(text, "test");
}
}  // namespace

TEST(LevelLoader, ConvertsPositionsToYUpAndFillsDefaults) {
    const Level level = parse("Tree1 { position = (1, 2, 3) }");
    ASSERT_EQ(level.objects.size(), 1u);
    const LevelObject& tree = level.objects[0];
    EXPECT_EQ(tree.name, "Tree1");
    expectVec(tree.position, {1, 3, -2});
    expectQuat(tree.rotation, 0, 0, 0, 1);
    expectVec(tree.scale, {1, 1, 1});
    EXPECT_TRUE(level.spawnPoints.empty());
    EXPECT_TRUE(level.flagPositions.empty());
    EXPECT_EQ(level.navigationMesh, nullptr);

    const Level bare = parse("Wall{}");
    ASSERT_EQ(bare.objects.size(), 1u);
    expectVec(bare.objects[0].position, {0, 0, 0});
    expectQuat(bare.objects[0].rotation, 0, 0, 0, 1);
    expectVec(bare.objects[0].scale, {1, 1, 1});
}

TEST(LevelLoader, KeepsScaleAsWrittenAndLetsTheLastPropertyWin) {
    const Level level = parse(
        "Wall { scale = (1, 2, 3) position = (9, 9, 9) rotation = (0, 0, 0, 1)\n"
        "       position = (+4, -0.25, 6.5) }");
    ASSERT_EQ(level.objects.size(), 1u);
    expectVec(level.objects[0].scale, {1, 2, 3});
    expectVec(level.objects[0].position, {4, 6.5f, 0.25f});
}

TEST(LevelLoader, SortsMarkersIntoSpawnPointsAndFlags) {
    const Level level = parse(
        "BlueSpawn{position=(1,2,3)} BlueSpawn{position=(4,5,6)}\n"
        "RedFlag { position = (1, 0, 0) } Rock { } RedFlag { position = (2, 0, 0) }\n"
        "RedSpawn { position = (7, 8, 9) rotation = (0, 0, 1, 0) scale = (2, 2, 2) }");
    ASSERT_EQ(level.spawnPoints.count(Blue), 1u);
    ASSERT_EQ(level.spawnPoints.at(Blue).size(), 2u);
    expectVec(level.spawnPoints.at(Blue)[0], {1, 3, -2});
    expectVec(level.spawnPoints.at(Blue)[1], {4, 6, -5});
    ASSERT_EQ(level.spawnPoints.at(Red).size(), 1u);
    expectVec(level.spawnPoints.at(Red)[0], {7, 9, -8});
    // The later flag marker replaces the earlier; a team without one has no entry.
    ASSERT_EQ(level.flagPositions.count(Red), 1u);
    expectVec(level.flagPositions.at(Red), {2, 0, 0});
    EXPECT_EQ(level.flagPositions.count(Blue), 0u);
    EXPECT_EQ(namesOf(level), std::vector<std::string>{"Rock"});
}

TEST(LevelLoader, MatchesMarkerNamesExactly) {
    const Level level = parse("BlueSpawn2 { } bluespawn { } REDFLAG { } RedFla { } BlueFlag1 { }");
    EXPECT_TRUE(level.spawnPoints.empty());
    EXPECT_TRUE(level.flagPositions.empty());
    EXPECT_EQ(namesOf(level),
              (std::vector<std::string>{"BlueSpawn2", "bluespawn", "REDFLAG", "RedFla", "BlueFlag1"}));
}

TEST(LevelLoader, TurnsRotationsAboutZUpAxesIntoYUpAxes) {
    struct Case {
        const char* written;
        float x, y, z, w;
    };
    const Case cases[] = {
        {"(0, 0, 0, 1)", 0, 0, 0, 1},
        // A quarter turn about the file's up axis is a quarter turn about Y.
        {"(0, 0, 0.7071068, 0.7071068)", 0, 0.7071068f, 0, 0.7071068f},
        // Half turns: file X stays X, file Y becomes -Z.
        {"(1, 0, 0, 0)", 1, 0, 0, 0},
        {"(0, 1, 0, 0)", 0, 0, -1, 0},
        // |w| >= 1 takes the axis (0, 0, 1) and ignores x, y, z: no turn at all.
        {"(3, 4, 5, 1)", 0, 0, 0, 1},
        // Beyond 1 the angle is clamped instead of becoming NaN.
        {"(3, 4, 5, 1.5)", 0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        const Level level = parse(std::string("Rock { rotation = ") + c.written + " }");
        ASSERT_EQ(level.objects.size(), 1u);
        expectQuat(level.objects[0].rotation, c.x, c.y, c.z, c.w);
    }
    // w = -1 is the full turn: the same orientation, finite values.
    const glm::quat full = parse("Rock { rotation = (0, 0, 0, -1.0) }").objects.at(0).rotation;
    EXPECT_NEAR(std::abs(full.w), 1.0f, kTolerance);
    EXPECT_NEAR(glm::length(glm::vec3(full.x, full.y, full.z)), 0.0f, kTolerance);
}

TEST(LevelLoader, StopsSilentlyAtTheFirstObjectThatDoesNotMatch) {
    struct Case {
        const char* text;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"Rock { } Tree_1 { } Pillar { }", {"Rock"}},
        {"Tree_1 { } Pillar { }", {}},
        // "3." and ".5" are not numbers, and there is no exponent.
        {"Rock { } Wall { position = (1.5, -2, 3.) } Pillar { }", {"Rock"}},
        {"Rock { } Wall { position = (.5, 0, 0) }", {"Rock"}},
        {"Rock { } Wall { position = (1e3, 0, 0) }", {"Rock"}},
        // An unknown property, a vector with two numbers, a missing brace.
        {"Rock { } Wall { colour = (1, 2, 3) } Pillar { }", {"Rock"}},
        {"Rock { } Wall { position = (1, 2) }", {"Rock"}},
        {"Rock { position = (1, 2, 3)", {}},
        {"Rock { } Wall { } trailing text", {"Rock", "Wall"}},
        {"", {}},
        {"  # only a comment", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(namesOf(parse(c.text)), c.names);
    }
}

TEST(LevelLoader, AcceptsCommentsAndAnyWhiteSpaceBetweenTokens) {
    const Level level = parse(
        "# arena\n"
        "\v\fRock # first\n"
        "{ position # where\n"
        "  = ( # x\n 1 # done\n , 2 ,\t3 # z\n ) # after\n"
        "  scale=(2,2,2)}# end without a line break");
    ASSERT_EQ(level.objects.size(), 1u);
    expectVec(level.objects[0].position, {1, 3, -2});
    expectVec(level.objects[0].scale, {2, 2, 2});
}

TEST(LevelLoader, NumbersBeyondTheFloatRangeEndTheParseWithARecord) {
    const std::string tiny = "0." + std::string(400, '0') + "1";
    const std::string largest = "340282346638528859811704183484516925440";  // the largest float
    {
        LogCapture log;
        const Level level = parse("Rock { position = (" + largest + ", " + tiny + ", -" + largest + ") }");
        ASSERT_EQ(level.objects.size(), 1u);
        const float max = std::numeric_limits<float>::max();
        EXPECT_EQ(level.objects[0].position, glm::vec3(max, -max, 0.0f));
        EXPECT_TRUE(log.empty());
    }
    for (const std::string& beyond : {"1" + std::string(400, '0'), "-1" + std::string(40, '0'),
                                      std::string("340282356779733661637539395458142568448.5")}) {
        SCOPED_TRACE(beyond);
        LogCapture log;
        const Level level = parse("Tree { } Rock { scale = (1, " + beyond + ", 1) } Bush { }");
        EXPECT_EQ(namesOf(level), std::vector<std::string>{"Tree"});
        EXPECT_EQ(log.count(LogCapture::Severity::error,
                            "Level number beyond the float range in \"test\": \"" + beyond + "\"!"),
                  1u);
        EXPECT_EQ(log.count(LogCapture::Severity::error), 1u);
    }
}

TEST(LevelLoader, ReadsAFileAndRaisesWhenItIsMissing) {
    namespace fs = boost::filesystem;
    const fs::path dir = fs::temp_directory_path() / fs::unique_path("flagstorm-level-%%%%%%%%");
    fs::create_directories(dir);
    const std::string path = (dir / "arena.lvl").string();
    std::ofstream(path) << "RedFlag { position = (5, 6, 0) }\nPillar { }\n";

    const Level level = loadLevel(path);
    EXPECT_EQ(namesOf(level), std::vector<std::string>{"Pillar"});
    expectVec(level.flagPositions.at(Red), {5, 0, -6});

    EXPECT_THROW(loadLevel((dir / "absent.lvl").string()), FileNotFoundError);
    fs::remove_all(dir);
}
