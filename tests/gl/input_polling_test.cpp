// The GLFW-backed polling against the real test window: it reads that
// window's keys, buttons and cursor.
#include "game/processors/input_polling.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include "context/context.h"

TEST(GlfwInputPolling, ReadsTheStateOfTheContextWindow) {
    GLFWwindow* window = Context::instance().getWindow();
    ASSERT_NE(window, nullptr);
    GlfwInputPolling polling;

    // Nobody touches the keyboard or the mouse under Xvfb.
    EXPECT_FALSE(polling.keyHeld(GLFW_KEY_W));
    EXPECT_FALSE(polling.keyHeld(GLFW_KEY_F9));
    EXPECT_FALSE(polling.mouseButtonHeld(GLFW_MOUSE_BUTTON_LEFT));
    EXPECT_FALSE(polling.mouseButtonHeld(GLFW_MOUSE_BUTTON_RIGHT));

    // The cursor is the window's own, in window coordinates.
    glfwSetCursorPos(window, 123.0, 45.0);
    double expectedX = -1.0;
    double expectedY = -1.0;
    glfwGetCursorPos(window, &expectedX, &expectedY);
    double x = -1.0;
    double y = -1.0;
    polling.cursorPosition(x, y);
    EXPECT_EQ(x, expectedX);
    EXPECT_EQ(y, expectedY);
    EXPECT_NEAR(x, 123.0, 1.0);
    EXPECT_NEAR(y, 45.0, 1.0);
}
