#pragma once
// The first system of every frame: turns the player's keyboard and mouse into
// orders and display toggles, drives the camera and reports the player's
// cooldowns to the HUD. It changes no gameplay component itself; everything
// it wants done leaves as a message or as a switch in RuntimeSettings.
//
// Two modes: actor control (mode 1, the start), where the camera follows the
// player and Q/W/E/R and the left button become orders, and the free camera
// (mode 0), a fly-through camera. The 0 key switches between them.
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "context/event_listener.h"
#include "context/events.h"
#include "game/processors/input_polling.h"
#include "game/system.h"

class Game;

class InputProcessor : public System<InputProcessor>,
                       public DelayedEventListener<KeyPressedEvent>,
                       public DelayedEventListener<KeyReleasedEvent>,
                       public DelayedEventListener<MouseButtonPressedEvent>,
                       public DelayedEventListener<MouseButtonReleasedEvent> {
  public:
    // Subscribes the key-pressed and mouse-button-pressed listeners to the
    // Context's sources (the released listeners stay unsubscribed). Polls the
    // Context's window unless another polling source is given.
    explicit InputProcessor(Game* game);
    InputProcessor(Game* game, std::unique_ptr<InputPolling> polling);
    // Unsubscribes from the Context, if one still exists.
    ~InputProcessor() override;

    // One frame: drains the queued events, applies the function keys, then runs
    // the free camera or actor control. dt in seconds, already time-scaled.
    void update(double dt) override;

    // Cursor coordinate meaning "no position known yet" (all bits set).
    static constexpr int32_t kUnknownCursor = -1;
    // Seconds between two move orders while the left button is held.
    static constexpr float kMoveOrderInterval = 0.02f;
    // Share of the remaining way the follow camera covers each frame.
    static constexpr float kFollowFactor = 0.12f;
    // Free camera speed in world units per second of real time.
    static constexpr float kFreeCameraSpeed = 15.0f;
    // Mouse look in degrees per pixel of cursor movement.
    static constexpr float kLookDegreesPerPixel = 0.15f;

  private:
    struct CursorPosition {
        int32_t x = kUnknownCursor;
        int32_t y = kUnknownCursor;
    };

    void drainEvents();
    void applyFunctionKeys();
    void runActorControl(double dt);
    void runFreeCamera(double dt);
    bool pressed(int32_t key) const { return keysPressed.count(key) != 0; }
    void notify(const std::string& text);

    Game* game;
    std::unique_ptr<InputPolling> polling;
    uint8_t mode = 1;
    CursorPosition previousCursor;
    CursorPosition cursor;
    std::set<int32_t> keysPressed;
    // Filled and emptied every frame but read by nothing: buttons are polled.
    std::set<int32_t> keysReleased;
    std::set<int32_t> buttonsPressed;
    std::set<int32_t> buttonsReleased;
    float moveOrderTimer = 0.0f;  // seconds until the next move order may leave
};
