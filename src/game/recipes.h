#pragma once
// The fixed recipes by which actors, flags and level objects are assembled.
// Each adds its components to a live entity in a fixed order; adding to an
// entity that already holds a component replaces it (respawn relies on this).
#include <cstdint>
#include <glm/vec3.hpp>

#include "entities/entity.h"
#include "game/components.h"
#include "game/team.h"

struct LevelObject;

// The data key holding the cooldown of skill in seconds, or nullptr for an id
// outside 0..11.
const char* cooldownKey(int32_t skill);

// The four slots Q, W, E, R of skill set 0 (fireball, chainLightning,
// crushingWave, waveform), 1 (sweepingBlow, shurikenToss, manaBurn, dash) or
// 2 (implode, shield, illusion, teleport), every slot ready and its cooldown
// read from the data store. A set above 2 logs an error and yields set 0.
// Throws MissingDataKeyError / boost::bad_lexical_cast for an absent or
// malformed cooldown value.
ActorSkillsComponent makeActorSkills(uint8_t skillSet);

// Team, transform (scale 0.1), speed 8, skill set 0, the team's renderables,
// animation Spawn, the actor's collision box (-4, 0, -3)..(4, 22, 3) and full
// health (100).
void makeActor(Entity actor, Team team, const glm::vec3& position);

// A flag of team lying at its base: transform, team, flag behaviour, a sphere
// of radius 1 as collision, state AtBase and the flag's renderable.
void makeFlagAtBase(Entity flag, Team team, const glm::vec3& position);

// The carrier (of carrierTeam) loses the enemy flag it holds: its
// FlagComponent and carried-flag renderable go, and newFlag becomes that flag,
// Dropped at the carrier's position. A carrier without a transform drops it at
// the origin after an error record.
void dropFlag(Entity carrier, Entity newFlag, Team carrierTeam);

// A piece of level geometry: its static mesh, static StaticKind collision
// with copies of the volumes registered under the entry's name (an unknown
// name gives the registry's error record and no volumes) and the entry's
// transform.
void makeLevelObject(Entity object, const LevelObject& entry);

// Health and speed of every actor.
constexpr float kActorHealth = 100.0f;
constexpr float kActorSpeed = 8.0f;
