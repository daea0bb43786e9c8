#pragma once
// The drawable side of the entity recipes: each gameplay recipe calls one of
// these at the point where its entity receives its renderables. The bodies
// belong to the graphics code; until it builds the render components they
// leave the entity without one, so the world runs and collides undrawn.
#include <glm/vec3.hpp>

#include "entities/entity.h"
#include "game/team.h"

struct LevelObject;

// The actor's skeletal mesh in its team's look (makeActor, also on respawn).
void attachActorRenderables(Entity actor, Team team);

// The team-coloured flag lying on the ground (makeFlagAtBase, dropFlag).
void attachFlagRenderables(Entity flag, Team team);

// The static mesh named after the level object (makeLevelObject).
void attachLevelObjectRenderables(Entity object, const LevelObject& entry);

// The flag a carrier holds above its head: attached when an actor takes the
// enemy flag, removed again by dropFlag and on capture. An actor without a
// carried flag is left unchanged by the removal.
void attachCarriedFlagRenderable(Entity carrier, Team flagTeam);
void detachCarriedFlagRenderable(Entity carrier);

// Skill effects (the skills' recipes call these).

// The flying fireball: particle systems "Flame" and "Ember".
void attachFireballRenderables(Entity fireball);

// The explosion: particle systems "Explosion", "Spark" and "PressureWave".
void attachExplosionRenderables(Entity explosion);

// The chain lightning: a link between two world points, already raised to
// chest height. The entity sits at the origin with an identity transform, so
// the link is built in world space.
void attachLightningRenderables(Entity lightning, const glm::vec3& from, const glm::vec3& to);

// Ends the emitters of the fireball's particle system instances: the
// particles already alive finish their lives while the spent fireball lingers.
void stopFireballEmission(Entity fireball);
