#include "game/render_recipes.h"

#include <memory>

#include "entities/entity_manager.h"
#include "game/components.h"
#include "graphics/particles/particle_system_instance.h"

// Placeholders: the render components are built here once the graphics code
// (programs, materials, meshes and renderables) exists.

void attachActorRenderables(Entity, Team) {}

void attachFlagRenderables(Entity, Team) {}

void attachLevelObjectRenderables(Entity, const LevelObject&) {}

void attachCarriedFlagRenderable(Entity, Team) {}

void detachCarriedFlagRenderable(Entity) {}

void attachFireballRenderables(Entity) {}

void attachExplosionRenderables(Entity) {}

void attachLightningRenderables(Entity, const glm::vec3&, const glm::vec3&) {}

namespace {
void stopParticleEmitters(RenderNode& node) {
    for (RenderEntry& entry : node.entries) {
        if (const auto particles = std::dynamic_pointer_cast<ParticleSystemInstance>(entry.renderable)) {
            particles->stopEmitting();
        }
    }
    for (RenderNode& child : node.children) {
        stopParticleEmitters(child);
    }
}
}  // namespace

void stopFireballEmission(Entity fireball) {
    if (!fireball.valid()) {
        return;
    }
    if (const auto render = fireball.manager()->component<RenderComponent>(fireball.id())) {
        stopParticleEmitters(render->root);
    }
}
