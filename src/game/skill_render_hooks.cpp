// The skill effects' drawing, not built yet: the entities exist and act, they
// are just not seen.
#include "game/render_recipes.h"

void addFireballRenderables(EntityManager&, Entity::Id) {}

void addExplosionRenderables(EntityManager&, Entity::Id) {}

void addLightningRenderables(EntityManager&, Entity::Id, const glm::vec3&, const glm::vec3&) {}

void stopFireballEmission(EntityManager&, Entity::Id) {}
