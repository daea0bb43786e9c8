#include "game/processors/input_polling.h"

#include <GLFW/glfw3.h>

#include "context/context.h"

namespace {
GLFWwindow* currentWindow() {
    return Context::exists() ? Context::instance().getWindow() : nullptr;
}
}  // namespace

void GlfwInputPolling::cursorPosition(double& x, double& y) const {
    x = 0.0;
    y = 0.0;
    if (GLFWwindow* window = currentWindow()) {
        glfwGetCursorPos(window, &x, &y);
    }
}

bool GlfwInputPolling::keyHeld(int key) const {
    GLFWwindow* window = currentWindow();
    return window != nullptr && glfwGetKey(window, key) == GLFW_PRESS;
}

bool GlfwInputPolling::mouseButtonHeld(int button) const {
    GLFWwindow* window = currentWindow();
    return window != nullptr && glfwGetMouseButton(window, button) == GLFW_PRESS;
}
