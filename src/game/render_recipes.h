#pragma once
// The drawable side of the entity recipes: each gameplay recipe calls one of
// these at the point where its entity receives its renderables. The bodies
// belong to the graphics code; until it builds the render components they
// leave the entity without one, so the world runs and collides undrawn.
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
