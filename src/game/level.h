#pragma once
// The level record and its loader. Level files are authored Z-up; every
// position and rotation in a Level is already in the game's Y-up frame.
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/team.h"

class NavigationMesh;

// One placed object of a level file. The name selects the object's mesh and
// collision volumes; the scale is taken as written (no axis exchange).
struct LevelObject {
    std::string name;
    glm::vec3 position{0.0f, 0.0f, 0.0f};
    glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};  // identity, constructor order is w, x, y, z
    glm::vec3 scale{1.0f, 1.0f, 1.0f};
};

struct Level {
    // Every object that is not a team marker, in file order.
    std::vector<LevelObject> objects;
    // "BlueSpawn" / "RedSpawn" positions in file order; a team without a
    // marker has no entry.
    std::map<Team, std::vector<glm::vec3>> spawnPoints;
    // "BlueFlag" / "RedFlag" position; the last marker of a team wins.
    std::map<Team, glm::vec3> flagPositions;
    // Empty when loaded; the game stores the level's navigation mesh here.
    std::shared_ptr<NavigationMesh> navigationMesh;
};

// Reads and converts a whole level file. Throws FileNotFoundError (from the
// file reader) when nothing exists at path. Text that does not fit the level
// grammar ends the parse silently: the objects read before it are kept.
Level loadLevel(const std::string& path);

// The same from text already in memory; sourceName only names the input.
Level parseLevel(const std::string& text, const std::string& sourceName);
