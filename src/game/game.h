#pragma once
// The world object: entity store, systems, message pools, level and scores.
// It populates the world from the level at start and runs the five systems
// in their fixed order every frame.
#include <cstdint>
#include <string>
#include <vector>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "game/level.h"
#include "game/system.h"

// What initialize() loads and which systems it creates.
struct GameOptions {
    std::string levelPath = "data/level/test.lvl";
    std::string navigationMeshPath = "data/level/test.nav";
    // The input and render processors need the window and its OpenGL
    // context; without them the match runs headless (tests, tools).
    bool windowSystems = true;
    // Objects beyond the arena that are only drawn (no collision, not on the
    // navigation mesh), in the level file format; loaded with the window
    // systems only. Empty: none.
    std::string sceneryPath = "data/level/scenery.lvl";
};

class Game : private NonCopyable {
  public:
    Game();
    // Releases the level with its navigation mesh, the messages, the systems
    // (which unsubscribe their listeners) and last the entities. Destroy the
    // game while the window and its OpenGL context still exist.
    ~Game();

    // Loads the level and its navigation mesh, creates the actors, flags and
    // level objects and the systems. Returns false after a fatal record when
    // the game cannot run with the level it was given: a missing or
    // unreadable level file, a team without a spawn point or a flag marker, or
    // a refused navigation mesh.
    bool initialize(const GameOptions& options = GameOptions());

    // One frame: every system in order inside its profiler section, then the
    // frame's messages are cleared. dt in seconds, scaled here by the time
    // scale before the systems see it.
    void update(double dt);

    // The profiler section names, in the order update runs them; a section is
    // opened every frame even while its system is absent.
    static const std::vector<std::string>& scheduleNames();

    EntityManager entities;
    SystemManager systems;
    MessagePools messages;
    Level level;
    uint8_t blueScore = 0;
    uint8_t redScore = 0;
    // The scenery's entities, in file order (each has only a transform and a
    // render component).
    std::vector<Entity> scenery;

  private:
    bool checkLevel() const;
    void populate();
    void populateScenery(const std::string& path);
    void createSystems(bool windowSystems);
};
