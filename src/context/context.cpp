#include "context/context.h"

#include <GL/glew.h>
// glew before glfw
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>

#include "utils/log.h"
#include "utils/profiler.h"

namespace {
std::unique_ptr<Context> contextInstance;

// The previous cursor position, for the deltas of MouseMovedEvent; starts at
// the window's top-left corner.
int32_t previousCursorX = 0;
int32_t previousCursorY = 0;

void onKey(GLFWwindow*, int key, int /*scanCode*/, int action, int mods) {
    Context& context = Context::instance();
    if (action == GLFW_PRESS) {
        context.keyPressed.dispatch(KeyPressedEvent{key, mods});
    } else if (action == GLFW_REPEAT) {
        context.keyRepeated.dispatch(KeyRepeatedEvent{key, mods});
    } else {
        context.keyReleased.dispatch(KeyReleasedEvent{key, mods});
    }
}

void onMouseButton(GLFWwindow* window, int button, int action, int mods) {
    double x = 0.0;
    double y = 0.0;
    glfwGetCursorPos(window, &x, &y);
    const auto xi = static_cast<int32_t>(std::trunc(x));
    const auto yi = static_cast<int32_t>(std::trunc(y));
    Context& context = Context::instance();
    if (action == GLFW_PRESS) {
        context.mouseButtonPressed.dispatch(MouseButtonPressedEvent{xi, yi, button, mods});
    } else {
        context.mouseButtonReleased.dispatch(MouseButtonReleasedEvent{xi, yi, button, mods});
    }
}

void onCursorPosition(GLFWwindow*, double x, double y) {
    const auto xi = static_cast<int32_t>(std::trunc(x));
    const auto yi = static_cast<int32_t>(std::trunc(y));
    const MouseMovedEvent event{xi, yi, xi - previousCursorX, yi - previousCursorY};
    previousCursorX = xi;
    previousCursorY = yi;
    Context::instance().mouseMoved.dispatch(event);
}

void onCharacter(GLFWwindow*, unsigned int codepoint) {
    Context::instance().character.dispatch(CharacterEvent{codepoint});
}
}  // namespace

Context& Context::instance() {
    if (!contextInstance) {
        contextInstance = std::make_unique<Context>();
    }
    return *contextInstance;
}

bool Context::exists() { return contextInstance != nullptr; }

void Context::destroy() { contextInstance.reset(); }

Context::~Context() {
    if (window != nullptr || glfwInitialized) {
        shutdown();
    }
}

int8_t Context::createWindow(const std::string& title, uint32_t width, uint32_t height, bool fullscreen) {
    if (window != nullptr) {
        LOG(error) << "Game window has already been created!";
        return kAlreadyCreated;
    }
    LOG(debug) << "Initializing GLFW...";
    if (glfwInit() != GLFW_TRUE) {
        LOG(fatal) << "Could not initialize GLFW!";
        return kGlfwFailed;
    }
    glfwInitialized = true;
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_COMPAT_PROFILE);
    window = glfwCreateWindow(static_cast<int>(width), static_cast<int>(height), title.c_str(),
                              fullscreen ? glfwGetPrimaryMonitor() : nullptr, nullptr);
    if (window == nullptr) {
        LOG(fatal) << "Window creation failed!";
        return kWindowFailed;
    }
    glfwMakeContextCurrent(window);
    glfwSetMouseButtonCallback(window, onMouseButton);
    glfwSetKeyCallback(window, onKey);
    glfwSetCursorPosCallback(window, onCursorPosition);
    glfwSetCharCallback(window, onCharacter);
    LOG(debug) << "GLFW initialized.";

    LOG(debug) << "Initializing GLEW...";
    glewExperimental = GL_TRUE;
    const GLenum glewStatus = glewInit();
    if (glewStatus != GLEW_OK) {
        LOG(fatal) << reinterpret_cast<const char*>(glewGetErrorString(glewStatus));
        LOG(fatal) << "Could not initialize GLEW!";
        return kGlewFailed;
    }
    LOG(debug) << "GLEW initialized";

    glfwSwapInterval(0);
    glClearColor(0.3f, 0.3f, 0.3f, 1.0f);
    GLint maxAttributes = 0;
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS, &maxAttributes);
    for (GLint i = 0; i < maxAttributes; ++i) {
        glVertexAttrib4f(static_cast<GLuint>(i), 1.0f, 1.0f, 1.0f, 1.0f);
    }
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glDepthFunc(GL_LEQUAL);
    return kCreated;
}

void Context::nextFrame() {
    glfwSwapBuffers(window);
    glfwPollEvents();
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    recordFrame(glfwGetTime());
    glfwSetTime(0.0);
}

void Context::recordFrame(double t) {
    statisticsFrames += 1;
    framesThisSecond += 1;
    secondRemaining -= t;
    if (secondRemaining <= 0.0) {
        secondRemaining = 1.0;
        framesPerSecond = framesThisSecond;
        framesThisSecond = 0;
    }
    minFrameDuration = std::min(minFrameDuration, t);
    frameDurationSum += t / 1000.0;
    maxFrameDuration = std::max(maxFrameDuration, t);
    if (statisticsFrames >= 1000) {
        LOG(info) << "Statistics for last 1000 frames: ";
        LOG(info) << "Minimum frame duration: " << minFrameDuration;
        LOG(info) << "Average frame duration: " << frameDurationSum;
        LOG(info) << "Maximum frame duration: " << maxFrameDuration;
        minFrameDuration = std::numeric_limits<double>::max();
        maxFrameDuration = std::numeric_limits<double>::min();
        statisticsFrames = 0;
        frameDurationSum = 0.0;
        Profiler::instance().report();
        Profiler::instance().reset();
    }
}

void Context::shutdown() {
    LOG(debug) << "Shutting down GLFW...";
    if (window != nullptr) {
        glfwDestroyWindow(window);
        window = nullptr;
    }
    if (glfwInitialized) {
        glfwTerminate();
        glfwInitialized = false;
    }
    LOG(debug) << "Shut down GLFW.";
}
