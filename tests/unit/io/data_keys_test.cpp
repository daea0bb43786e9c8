#include "io/data_keys.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "io/data_manager.h"
#include "support/log_capture.h"
#include "support/scratch_directory.h"

namespace {
namespace fs = std::filesystem;

// The shipped data tree of the source checkout (ctest runs in the source
// directory and also names it in FLAGSTORM_SOURCE_DIR).
std::string shippedData() {
    const char* source = std::getenv("FLAGSTORM_SOURCE_DIR");
    return (source != nullptr ? std::string(source) + "/" : std::string()) + "data/";
}

class DataKeysTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DataManager::instance().clear();
        ASSERT_TRUE(fs::is_directory(shippedData())) << shippedData();
    }
    void TearDown() override { DataManager::instance().clear(); }
};

TEST_F(DataKeysTest, ShippedDataDefinesEveryKeyTheGameReads) {
    DataManager::instance().loadDirectory(shippedData(), ".dat", true);
    EXPECT_NO_THROW(checkDataKeys());
}

TEST_F(DataKeysTest, AbsentKeyStopsTheCheck) {
    for (const std::string key : {"context.tickrate", "cooldown.teleport", "light.direction",
                                  "animation.name.waveform.backswing", "fireball.damage"}) {
        SCOPED_TRACE(key);
        DataManager::instance().clear();
        // A copy of the shipped tree without the line that defines key.
        ScratchDirectory scratch;
        for (const auto& entry : fs::directory_iterator(shippedData())) {
            if (entry.path().extension() != ".dat") {
                continue;
            }
            std::ifstream in(entry.path());
            std::ostringstream kept;
            std::string line;
            while (std::getline(in, line)) {
                if (line.rfind(key + " ", 0) != 0 && line.rfind(key + "=", 0) != 0) {
                    kept << line << '\n';
                }
            }
            scratch.write("data/" + entry.path().filename().string(), kept.str());
        }
        DataManager::instance().loadDirectory(scratch.path("data/"), ".dat", true);
        LogCapture capture;
        try {
            checkDataKeys();
            ADD_FAILURE() << "checkDataKeys did not raise";
        } catch (const MissingDataKeyError& error) {
            EXPECT_EQ(error.key, key);
        }
        EXPECT_THAT(capture.messages(),
                    ::testing::ElementsAre("No std::string under that name present: \"" + key + "\"!"));
    }
}

TEST_F(DataKeysTest, ValuesTheGameCannotRunWithStopTheCheck) {
    // Parsed before the shipped tree, so these definitions win.
    const char* const invalidArguments[] = {
        "camera.offset=(0,20,0)",
        "light.direction=(0,-1,0)",
        "animation.length.idle=0",
        "animation.length.dead=-1",
        "fireball.projectile.collisionRadius=1.5",
    };
    for (const char* text : invalidArguments) {
        SCOPED_TRACE(text);
        DataManager::instance().clear();
        DataManager::instance().parse(text, "override.dat");
        DataManager::instance().loadDirectory(shippedData(), ".dat", true);
        EXPECT_THROW(checkDataKeys(), std::invalid_argument);
    }
    const char* const badCasts[] = {
        "context.window.fullscreen=yes", "context.tickrate=70000", "context.window.resolution.x=wide",
        "camera.offset=(0,20)",          "cooldown.dash=7s",
    };
    for (const char* text : badCasts) {
        SCOPED_TRACE(text);
        DataManager::instance().clear();
        DataManager::instance().parse(text, "override.dat");
        DataManager::instance().loadDirectory(shippedData(), ".dat", true);
        EXPECT_THROW(checkDataKeys(), boost::bad_lexical_cast);
    }
}
}  // namespace
