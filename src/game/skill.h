#pragma once
// What the skills do. A cast has three phases, all driven by the caster's
// animation: the windup (the target waits in SkillCastTargetComponent), the
// release when the windup ends (the effect happens and the cooldown starts)
// and the backswing (animation only). Fireball, chain lightning and crushing
// wave have effects; every other skill id is accepted by nothing.
//
// Tuning values are read from the data store at the moment of use:
// "fireball.projectile.speed", "fireball.projectile.lifetime",
// "fireball.projectile.collisionRadius", "fireball.explosion.collisionRadius",
// "fireball.damage", "chainLightning.range", "chainLightning.snapDistance",
// "chainLightning.damage".
#include <cstdint>
#include <functional>
#include <glm/gtc/quaternion.hpp>
#include <glm/vec3.hpp>
#include <optional>

#include "entities/entity.h"
#include "game/team.h"

class EntityManager;
class MessagePools;
class NavigationMesh;

// A world-space ray; the direction need not be normalised.
struct PickRay {
    glm::vec3 origin{0.0f};
    glm::vec3 direction{0.0f};
};

// Turns a cursor position in window pixels into a world-space ray through
// it. The render side provides the real one (unprojectCursor); tests bring
// their own.
using CursorRay = std::function<PickRay(std::int32_t x, std::int32_t y)>;

// What the cast operations reach besides the actor's own world: this frame's
// messages, the ground and the cursor. Built by the caller for one call.
struct SkillContext {
    MessagePools& messages;
    // May be null: ground picks then fall back to the plane through the caster.
    const NavigationMesh* navigationMesh = nullptr;
    // May be empty: then no cursor pick finds anything.
    const CursorRay* cursorRay = nullptr;
};

// Offset from the caster's position, in the caster's frame, where a fireball
// appears.
inline const glm::vec3 kFireballSpawnOffset{-0.1f, 1.0f, 1.0f};
// The fireball flies this high above the ground point it was aimed at.
constexpr float kFireballFlightHeight = 1.0f;
// The crushing wave starts this high above the caster's feet.
constexpr float kCrushingWaveHeight = 0.5f;
// Both ends of the lightning are raised to the chest of an actor.
constexpr float kLightningChestHeight = 1.5f;
// Seconds a lightning effect, an explosion and a spent fireball stay.
constexpr float kLightningLifetime = 0.5f;
constexpr float kExplosionLifetime = 0.3f;
constexpr float kSpentFireballLifetime = 1.0f;

// Removes the actor's PathComponent and SkillCastTargetComponent if present:
// the actor stands still and any pending cast is cancelled.
void stopActor(Entity actor);

// Where the ray meets the horizontal plane y = height. Nothing for a ray that
// runs horizontally, nearly so, or upwards (direction.y above -1.1920929e-7).
std::optional<glm::vec3> intersectHorizontalPlane(const PickRay& ray, float height);

// The ground point under the cursor: the navigation mesh's hit along the
// cursor's ray, else the ray's meeting with the horizontal plane through the
// actor's feet, else nothing (also when the actor has no transform or there
// is no cursor ray).
std::optional<glm::vec3> pickGround(const SkillContext& context, Entity actor, std::int32_t cursorX,
                                    std::int32_t cursorY);

// The unit vector, in the horizontal plane through the actor's feet, from the
// actor towards the point under the cursor (navigation mesh not consulted).
// Nothing when the plane gives no point or the point is the actor's own position.
std::optional<glm::vec3> pickDirection(const SkillContext& context, Entity actor, std::int32_t cursorX,
                                       std::int32_t cursorY);

// The living enemy of casterTeam (team, transform and health) nearest to
// point and strictly closer than "chainLightning.snapDistance"; of equally
// near ones the lowest entity index wins.
std::optional<Entity> chooseChainLightningVictim(EntityManager& entities, Team casterTeam,
                                                 const glm::vec3& point);

// Begins the cast of an accepted cursor order (cooldown already checked by
// the caller): picks the target, cancels what the actor was doing, starts the
// windup. Logs a warning when a fireball or chain lightning finds no ground
// point; any other skill does nothing.
void beginCastAtCursor(const SkillContext& context, Entity actor, std::int32_t skill, std::int32_t cursorX,
                       std::int32_t cursorY);

// Begins a fireball at a world point (the computer players' order); looks at
// no cooldown. Other skills do nothing.
void beginCastAtLocation(Entity actor, std::int32_t skill, const glm::vec3& location);

// Releases the cast whose windup just ended: for the three windup states,
// when the actor still has its transform, team, skills and target, starts the
// skill's fixed slot cooldown (fireball 0, chain lightning 1, crushing wave 2)
// and makes the effect. Any other state does nothing.
void releaseCast(const SkillContext& context, std::int32_t endedState, Entity actor);

// Entity recipes. Each adds its components to a live entity, in a fixed order.
void makeFireball(Entity fireball, const glm::vec3& spawn, const glm::vec3& target, Team team);
void makeExplosion(Entity explosion, const glm::vec3& position, Team team);
void makeCrushingWave(Entity wave, const glm::vec3& spawn, Team team);
// The chain lightning's flash between two points on the ground (both raised
// to chest height for the drawing); it lives kLightningLifetime seconds.
void makeLightning(Entity lightning, const glm::vec3& from, const glm::vec3& to);

// Turns a flying fireball into a spent one (no behaviour, its particles
// fading for a second) and leaves an explosion where it was.
void explodeFireball(Entity projectile);

// A fireball touched other: level geometry and enemy actors explode it;
// anything else (own team, flags, effects) lets it fly on.
void fireballHit(Entity projectile, Entity other);

// An explosion touched other, which has health: an enemy is damaged by
// "fireball.damage" once per explosion, however many frames they overlap.
void explosionHit(MessagePools& messages, Entity explosion, Entity other);

// Lowers the victim's health by amount. Damage that reaches the remaining
// health leaves it at 0, reports ActorDiedMessage and stops the victim. A
// victim without health, or already at 0 and waiting for its death to be
// handled, takes nothing.
void applyDamage(MessagePools& messages, Entity victim, float amount);
