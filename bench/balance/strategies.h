#pragma once
// The scripted players of the balance harness: what each one does with what
// it sees, frame by frame. They only say where the cursor goes and what the
// hand does there; the harness turns that into window pixels and input.
#include <cstdint>
#include <functional>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <list>
#include <memory>
#include <optional>
#include <vector>

#include "balance/match_harness.h"

class Game;

namespace balance {

// The hand on the mouse: cursor pixel and left button.
struct Controls {
    double cursorX = 0.0;
    double cursorY = 0.0;
    bool hold = false;
};

// What the player sees on the screen this frame.
struct Scene {
    double time = 0.0;           // match seconds, as a clock on the wall
    const Game* game = nullptr;  // for the ground under a point (the player sees the arena)
    // Whether a ground point shows in the window (casts need it to).
    std::function<bool(const glm::vec3&)> visible;
    glm::vec3 playerPosition{0.0f};
    bool playerAlive = false;
    bool carrying = false;
    bool windingUp = false;
    bool fireballReady = false;
    bool lightningReady = false;
    bool guardAlive = false;
    glm::vec3 guardPosition{0.0f};
    std::list<glm::vec3> guardPath;  // where the guard is seen walking
    glm::vec3 blueBase{0.0f};
    glm::vec3 redBase{0.0f};
    glm::vec3 redFlag{0.0f};  // on the ground, or the carrier's position
    struct Fireball {
        glm::vec3 position{0.0f};
        glm::vec3 aim{0.0f};  // the ground point it flies to
    };
    std::vector<Fireball> enemyFireballs;
};

// What the player does this frame with the cursor on a ground point.
struct Intent {
    enum Action { Idle, Move, CastFireball, CastLightning };
    Action action = Idle;
    glm::vec3 point{0.0f};
    // A player who cannot see where the camera is believes it settled
    // behind this point, and picks the pixel that would show the point
    // then; unset, the pixel is taken from the screen as it is.
    std::optional<glm::vec3> believedCentre;
};

class PlayerStrategy {
  public:
    virtual ~PlayerStrategy() = default;
    virtual void decide(const Scene& scene, Intent& intent) = 0;
};

std::unique_ptr<PlayerStrategy> makeStrategy(Strategy strategy, const MatchSettings& settings);

}  // namespace balance
