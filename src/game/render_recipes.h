#pragma once
// The drawable side of the entity recipes: each gameplay recipe calls one of
// these at the point where its entity receives its renderables. Programs,
// materials and meshes are looked up by name in their registries; every name
// an entry needs is looked up, each absent one gives its registry's error
// record, and an entry missing any of them is left out (the component and
// its nodes are still built). No OpenGL call is made here: the renderables
// make their vertex arrays on first draw, so headless games (no context, no
// graphics loaded) build undrawable components and the records say why.
#include <cstdint>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "entities/entity.h"
#include "game/team.h"

struct LevelObject;

// Draw classes: the render passes draw higher classes first, and only class 7
// goes into the shadow map.
constexpr uint32_t kSolidDrawClass = 7;         // actors, level objects
constexpr uint32_t kPressureWaveDrawClass = 6;  // the explosion's pressure wave
constexpr uint32_t kEffectDrawClass = 5;        // lightning and the other particle effects
constexpr uint32_t kFlagDrawClass = 4;          // flags, on the ground or carried

// The team colour a flag billboard is tinted with.
glm::vec4 flagColor(Team team);

// The actor's skeletal mesh "Actor" in its team's material "Blue" or "Red"
// (makeActor, also on respawn): a fresh render component of radius 22.
void attachActorRenderables(Entity actor, Team team);

// The team-coloured flag billboard lying on the ground (makeFlagAtBase,
// dropFlag): a fresh render component of radius 2.
void attachFlagRenderables(Entity flag, Team team);

// The static mesh named after the level object, in the material of the same
// name (makeLevelObject): a fresh render component of radius 100.
void attachLevelObjectRenderables(Entity object, const LevelObject& entry);

// A scenery object beyond the arena (or a marking on its floor): the static
// mesh and the material named after it, drawn by the "Scenery" program and
// left out of the shadow pass, in a fresh render component of radius 100.
void attachSceneryRenderables(Entity object, const LevelObject& entry);

// The flag a carrier holds above its head: a child node "Flag" at (0, 4.5, 0)
// of the carrier's root node, holding a billboard of the flag's team colour.
// A carrier without a render component is reported and left unchanged.
void attachCarriedFlagRenderable(Entity carrier, Team flagTeam);
// Removes the root's first child node named "Flag"; a carrier without one
// (or without a render component) is left unchanged.
void detachCarriedFlagRenderable(Entity carrier);

// The chain lightning ribbon from from + fromOffset to to + toOffset, in
// the entity's model space (give the entity the identity transform at the
// origin to use world positions): a fresh render component of radius 100
// with a "Lightning" link drawn by "StandardStatic", class 5. The ribbon
// fades out by itself within 0.32 s of render updates.
void attachLightningRenderable(Entity link, const glm::vec3& from, const glm::vec3& to,
                               const glm::vec3& fromOffset = glm::vec3(0.0f),
                               const glm::vec3& toOffset = glm::vec3(0.0f));

// The flying fireball: particle systems "Flame" and "Ember", each in the
// material of the same name, drawn by "Particle" in class 5; radius 5.
void attachFireballRenderables(Entity fireball);

// The explosion: particle systems "Explosion" and "Spark" (class 5) and
// "PressureWave" (class 6), drawn by "Particle"; radius 10.
void attachExplosionRenderables(Entity explosion);

// Ends the emitters of the fireball's particle systems: the particles already
// alive finish their lives while the spent fireball lingers.
void stopFireballEmission(Entity fireball);
