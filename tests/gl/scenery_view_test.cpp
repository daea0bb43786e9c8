// What the follow camera shows of the world at the game's window size: from
// the player's start, from both flag bases and from the corners of the field,
// the scenery beyond the arena leaves (almost) no pixel to the clear colour.
// The whole game draws one frame per place; the test clears the window to a
// colour nothing in the world has, so every pixel left in it is one the world
// did not cover. The frames are saved under the test temporary directory for
// a look when a place fails. It resizes the test program's window, so ctest
// runs it in a process of its own.
#include <FreeImage.h>
#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "context/context.h"
#include "game/camera.h"
#include "game/components.h"
#include "game/game.h"
#include "io/data_manager.h"
#include "mechanics/volume_manager.h"
#include "shipped_graphics.h"
#include "support/log_capture.h"

namespace scenery_view_test {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// Resizes the test program's window and waits until its framebuffer has
// followed; false when it never does.
bool resizeWindow(int width, int height) {
    GLFWwindow* window = Context::instance().getWindow();
    glfwSetWindowSize(window, width, height);
    for (int attempt = 0; attempt < 200; ++attempt) {
        // The software driver takes the new drawable size at a swap.
        glfwSwapBuffers(window);
        glfwPollEvents();
        int w = 0, h = 0;
        glfwGetFramebufferSize(window, &w, &h);
        if (w == width && h == height && attempt > 2) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void save(const std::vector<unsigned char>& rgba, const std::string& path) {
    FIBITMAP* bitmap = FreeImage_Allocate(kWidth, kHeight, 24);
    for (int y = 0; y < kHeight; ++y) {
        BYTE* row = FreeImage_GetScanLine(bitmap, y);
        for (int x = 0; x < kWidth; ++x) {
            const unsigned char* p = &rgba[(static_cast<std::size_t>(y) * kWidth + x) * 4];
            row[x * 3 + FI_RGBA_RED] = p[0];
            row[x * 3 + FI_RGBA_GREEN] = p[1];
            row[x * 3 + FI_RGBA_BLUE] = p[2];
        }
    }
    FreeImage_Save(FIF_PNG, bitmap, path.c_str(), 0);
    FreeImage_Unload(bitmap);
}

TEST(SceneryView, TheWorldFillsTheWindowFromTheStartTheBasesAndTheCorners) {
    DataManager::instance().clear();
    DataManager::instance().loadDirectory("data/", ".dat", true);
    CollisionVolumeManager::instance().clear();
    CollisionVolumeManager::instance().loadDirectory("data/collision/", ".volumes", true);
    CollisionVolumeManager::instance().addFloorVolumes();
    shipped_graphics::load();
    ASSERT_TRUE(resizeWindow(kWidth, kHeight));

    LogCapture capture;
    {
        Game game;
        ASSERT_TRUE(game.initialize());
        ASSERT_FALSE(game.scenery.empty());
        const Entity::Id player(4, 1);  // Blue actor 0
        ComponentHandle<TransformComponent> transform = game.entities.component<TransformComponent>(player);
        ASSERT_TRUE(transform);
        const glm::vec3 start = transform->position;
        const glm::vec3 offset = DataManager::getVec3("camera.offset");

        struct Place {
            const char* name;
            glm::vec3 position;
            double allowed;  // share of the window
        };
        const Place places[] = {
            {"start", start, 0.02},
            {"blue_base", game.level.flagPositions[Blue], 0.02},
            // A step short of the flag, which stays on its base.
            {"red_base", game.level.flagPositions[Red] - glm::vec3(4.0f, 0.0f, 0.0f), 0.02},
            {"north_west", glm::vec3(-48.0f, 0.0f, -48.0f), 0.02},
            {"north_east", glm::vec3(48.0f, 0.0f, -48.0f), 0.02},
            {"south_west", glm::vec3(-48.0f, 0.0f, 48.0f), 0.02},
            {"south_east", glm::vec3(48.0f, 0.0f, 48.0f), 0.02},
        };
        for (const Place& place : places) {
            // The follow camera settled behind the player at the place; the
            // culling of a frame uses the camera of the frame before, so the
            // last of three frames is the one looked at.
            for (int frame = 0; frame < 3; ++frame) {
                transform = game.entities.component<TransformComponent>(player);
                transform->position = place.position;
                Camera::instance().position = place.position + offset;
                Camera::instance().direction = -offset;
                glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
                glDepthMask(GL_TRUE);  // the last frame's HUD leaves depth writes off
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                game.update(1.0 / 60.0);
            }

            std::vector<unsigned char> rgba(static_cast<std::size_t>(kWidth) * kHeight * 4);
            glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
            glReadBuffer(GL_BACK);
            glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
            std::size_t uncovered = 0;
            for (std::size_t k = 0; k < rgba.size(); k += 4) {
                uncovered += rgba[k] == 255 && rgba[k + 1] == 0 && rgba[k + 2] == 255 ? 1 : 0;
            }
            save(rgba, ::testing::TempDir() + "flagstorm_view_" + place.name + ".png");
            const double share = static_cast<double>(uncovered) / (kWidth * kHeight);
            EXPECT_LE(share, place.allowed) << place.name << ": " << share * 100.0 << " % uncovered";
        }
    }
    glClearColor(0.3f, 0.3f, 0.3f, 1.0f);
    EXPECT_EQ(capture.count(LogCapture::Severity::warning), 0u);
    EXPECT_EQ(capture.count(LogCapture::Severity::error), 0u)
        << ::testing::PrintToString(capture.messages(LogCapture::Severity::error));

    EXPECT_TRUE(resizeWindow(640, 480));
    shipped_graphics::release();
    DataManager::instance().clear();
    CollisionVolumeManager::instance().clear();
}

}  // namespace scenery_view_test
