#pragma once
// The shipped data store and collision volumes, loaded the way start-up loads
// them, for tests that build actors, flags and level objects. The tests run
// from the repository root.
//
// These games are headless: the graphics registries stay empty (their
// resources need an OpenGL context), so every render recipe reports the
// mesh, program and material names it cannot find. The fixture's own capture
// keeps those records off the console; isAbsentGraphicsRecord tells them
// from the records a test is about.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "io/data_manager.h"
#include "mechanics/volume_manager.h"
#include "support/log_capture.h"

namespace game_test {

// A registry's "not present" record for a mesh, shader program or material.
inline bool isAbsentGraphicsRecord(const std::string& message) {
    for (const char* type : {"Mesh", "ShaderProgram", "Material"}) {
        if (message.rfind(std::string("No ") + type + " under that name present: ", 0) == 0) {
            return true;
        }
    }
    return false;
}

// Records of severity other than the absent-graphics ones.
inline std::size_t countBesidesAbsentGraphics(const LogCapture& capture, LogCapture::Severity severity) {
    std::size_t count = 0;
    for (const std::string& message : capture.messages(severity)) {
        count += isAbsentGraphicsRecord(message) ? 0 : 1;
    }
    return count;
}

class ShippedGameData : public ::testing::Test {
  protected:
    void SetUp() override {
        DataManager::instance().clear();
        DataManager::instance().loadDirectory("data/", ".dat", true);
        CollisionVolumeManager::instance().clear();
        CollisionVolumeManager::instance().loadDirectory("data/collision/", ".volumes", true);
        CollisionVolumeManager::instance().addFloorVolumes();
    }
    void TearDown() override {
        DataManager::instance().clear();
        CollisionVolumeManager::instance().clear();
    }

    LogCapture quiet;  // keeps the headless games' records off the console
};

}  // namespace game_test
