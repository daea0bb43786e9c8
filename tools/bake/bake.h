#pragma once
// The content baker: writes every binary file the game reads (collision and
// navigation meshes, meshes, skeletons, textures) from the text descriptions
// kept in the repository. Output is deterministic: two bakes give identical
// bytes. Each step returns false after printing what went wrong.
#include <string>

// data/collision/*.mesh and data/level/test.nav from data/level/test.lvl.
bool bakeArena(const std::string& root);
// resources/meshes/**: static meshes of the level objects, the actor's
// skeletal mesh, skeleton and clips.
bool bakeMeshes(const std::string& root);
// resources/meshes/: the scenery beyond the arena and the base markings.
bool bakeScenery(const std::string& root);
// resources/textures/**: surfaces, team colours, sprites, HUD art.
bool bakeTextures(const std::string& root);
// resources/fonts/: the game's font, from the installed Debian font package.
bool bakeFonts(const std::string& root);
