#pragma once
// The one window of the program, its OpenGL context, the input event sources
// and the per-frame bookkeeping (buffer swap, polling, clearing, statistics).
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "context/event_listener.h"
#include "context/events.h"

struct GLFWwindow;

class Context {
public:
    // Status codes of createWindow().
    static constexpr int8_t kCreated = 0;
    static constexpr int8_t kAlreadyCreated = 1;
    static constexpr int8_t kGlfwFailed = -1;
    static constexpr int8_t kWindowFailed = -2;
    static constexpr int8_t kGlewFailed = -3;

    // The process-wide context, created on first use.
    static Context& instance();
    // True while a context object exists (tear-down destroys it).
    static bool exists();
    // Destroys the singleton; the next instance() call makes a fresh one.
    static void destroy();

    Context() = default;
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    ~Context();

    int8_t createWindow(const std::string& title, uint32_t width, uint32_t height, bool fullscreen);
    // Presents the frame, polls input, clears the buffers, keeps statistics.
    void nextFrame();
    // Destroys the window and terminates GLFW.
    void shutdown();

    GLFWwindow* getWindow() const { return window; }

    EventSource<KeyPressedEvent> keyPressed;
    EventSource<KeyRepeatedEvent> keyRepeated;
    EventSource<KeyReleasedEvent> keyReleased;
    EventSource<MouseMovedEvent> mouseMoved;
    EventSource<MouseButtonPressedEvent> mouseButtonPressed;
    EventSource<MouseButtonReleasedEvent> mouseButtonReleased;
    EventSource<CharacterEvent> character;

    // Frames counted in the last completed second; shown by the HUD.
    uint32_t framesPerSecond = 0;

    // Folds one frame of duration t seconds into the statistics; every 1000
    // frames logs them with the profiler report. Called by nextFrame().
    void recordFrame(double t);

private:
    double minFrameDuration = std::numeric_limits<double>::max();
    double frameDurationSum = 0.0;  // sum of t / 1000: the mean once 1000 frames are in
    double maxFrameDuration = std::numeric_limits<double>::min();
    uint32_t statisticsFrames = 0;
    double secondRemaining = 1.0;
    uint32_t framesThisSecond = 0;
    GLFWwindow* window = nullptr;
    bool glfwInitialized = false;
};
