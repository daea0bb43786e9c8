#include "game/render_recipes.h"

// Placeholders: the render components are built here once the graphics code
// (programs, materials, meshes and renderables) exists.

void attachActorRenderables(Entity, Team) {}

void attachFlagRenderables(Entity, Team) {}

void attachLevelObjectRenderables(Entity, const LevelObject&) {}

void attachCarriedFlagRenderable(Entity, Team) {}

void detachCarriedFlagRenderable(Entity) {}
