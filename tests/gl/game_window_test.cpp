// The game with its window-bound systems, on the test program's window.
#include <gtest/gtest.h>

#include <glm/geometric.hpp>
#include <memory>

#include "context/context.h"
#include "game/camera.h"
#include "game/components.h"
#include "game/game.h"
#include "game/processors/input_processor.h"
#include "graphics/render_processor.h"
#include "io/data_manager.h"
#include "mechanics/mechanics_processor.h"
#include "mechanics/volume_manager.h"
#include "shipped_graphics.h"
#include "support/log_capture.h"

TEST(GameWithWindow, CreatesTheInputProcessorWhichLeavesTheContextWithTheGame) {
    DataManager::instance().clear();
    DataManager::instance().loadDirectory("data/", ".dat", true);
    CollisionVolumeManager::instance().clear();
    CollisionVolumeManager::instance().loadDirectory("data/collision/", ".volumes", true);
    CollisionVolumeManager::instance().addFloorVolumes();

    LogCapture capture;
    // Everything start-up loads, so the render recipes find their content.
    shipped_graphics::load();
    EventListener<KeyPressedEvent>* keys = nullptr;
    {
        Game game;
        ASSERT_TRUE(game.initialize());
        const std::shared_ptr<InputProcessor> input = game.systems.system<InputProcessor>();
        ASSERT_NE(input, nullptr);
        ASSERT_NE(game.systems.system<MechanicsProcessor>(), nullptr);
        ASSERT_NE(game.systems.system<RenderProcessor>(), nullptr);
        keys = input.get();
        EXPECT_TRUE(Context::instance().keyPressed.isSubscribed(keys));

        // The follow camera starts from its set-up place and heads for its
        // place behind the player (Blue actor 0, entity 4).
        const glm::vec3 eye = DataManager::getVec3("camera.offset") +
                              game.entities.component<TransformComponent>(Entity::Id(4, 1))->position;
        const float before = glm::length(Camera::instance().position - eye);
        for (int frame = 0; frame < 10; ++frame) {
            game.update(0.016);
        }
        EXPECT_LT(glm::length(Camera::instance().position - eye), before);
    }
    EXPECT_FALSE(Context::instance().keyPressed.isSubscribed(keys));
    EXPECT_EQ(capture.count(LogCapture::Severity::warning), 0u);
    EXPECT_EQ(capture.count(LogCapture::Severity::error), 0u)
        << ::testing::PrintToString(capture.messages(LogCapture::Severity::error));
    EXPECT_EQ(capture.count(LogCapture::Severity::fatal), 0u);

    shipped_graphics::release();
    DataManager::instance().clear();
    CollisionVolumeManager::instance().clear();
}
