#pragma once
// What each kind of entity is given to be drawn. Gameplay code calls these
// while it builds entities; the drawing side fills them in.
#include <cstdint>
#include <glm/vec3.hpp>

#include "entities/entity.h"

class EntityManager;

// Skill effects. Until the particle systems and link meshes exist these add
// nothing, so headless worlds (tests) can run every skill.

// The flying fireball: particle systems "Flame" and "Ember".
void addFireballRenderables(EntityManager& entities, Entity::Id fireball);
// The explosion: particle systems "Explosion", "Spark" and "PressureWave".
void addExplosionRenderables(EntityManager& entities, Entity::Id explosion);
// The chain lightning's link between two world points (already raised to
// chest height); the entity sits at the origin with an identity transform.
void addLightningRenderables(EntityManager& entities, Entity::Id lightning, const glm::vec3& from,
                             const glm::vec3& to);
// Ends the emitters of the fireball's particle system instances; particles
// already alive finish their lives.
void stopFireballEmission(EntityManager& entities, Entity::Id fireball);
