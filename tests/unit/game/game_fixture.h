#pragma once
// The shipped data store and collision volumes, loaded the way start-up loads
// them, for tests that build actors, flags and level objects. The tests run
// from the repository root.
#include <gtest/gtest.h>

#include "io/data_manager.h"
#include "mechanics/volume_manager.h"

namespace game_test {

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
};

}  // namespace game_test
