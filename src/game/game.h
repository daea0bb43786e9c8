#pragma once
// The world object: entity store, systems, message pools, level and scores.
// It populates the world from the level at start and runs the five systems
// in their fixed order every frame.
#include <cstdint>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "game/level.h"
#include "game/system.h"

class Game : private NonCopyable {
public:
    Game();
    ~Game();

    // Loads the level and its navigation mesh, creates the actors, flags and
    // level objects and the systems. Returns false after a fatal record when
    // the game cannot run with the level it was given.
    bool initialize();

    // One frame: every system in order inside its profiler section, then the
    // frame's messages are cleared. dt in seconds.
    void update(double dt);

    EntityManager entities;
    SystemManager systems;
    MessagePools messages;
    Level level;
    uint8_t blueScore = 0;
    uint8_t redScore = 0;
};
