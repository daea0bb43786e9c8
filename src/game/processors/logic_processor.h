#pragma once
// The rules of the match, run fourth in the frame (after mechanics, before
// rendering): cooldowns, reactions to collisions (flags, fireballs,
// explosions), deaths and respawns, lifetimes, the execution of move and cast
// orders, and the animation clock that releases casts.
#include <array>
#include <cstdint>
#include <map>

#include "entities/entity.h"
#include "game/skill.h"
#include "game/system.h"

class Game;

class LogicProcessor : public System<LogicProcessor> {
  public:
    // Seconds between a death and the respawn.
    static constexpr float kRespawnDelay = 6.0f;
    // The first team to reach this many captures is announced as the winner.
    static constexpr std::uint8_t kWinningScore = 5;
    // Move orders to a point closer than this to the actor are ignored.
    static constexpr float kMinimumMoveDistance = 0.8f;
    // Successor that stands for "none".
    static constexpr std::int32_t kNoSuccessor = 13;

    // Fills the animation tables from the data store ("animation.length.*").
    // cursorRay turns cursor orders into world rays; without one, cursor
    // orders find no ground and are dropped (see setCursorRay).
    explicit LogicProcessor(Game* game, CursorRay cursorRay = CursorRay());

    // Called by the render side once it can unproject the cursor.
    void setCursorRay(CursorRay cursorRay);

    // One frame of the rules; dt in seconds, already scaled.
    void update(double dt) override;

    // Actors waiting to respawn and the seconds left for each.
    const std::map<Entity, float>& pendingRespawns() const { return respawnQueue; }

    // The animation tables, indexed by animation state. States outside the
    // table have length 0 and no successor.
    static float animationLength(std::int32_t state);
    static std::int32_t animationSuccessor(std::int32_t state);

  private:
    SkillContext skillContext() const;

    void tickCooldowns(float dt);
    void handleCollisions();
    void react(const Entity& self, const Entity& other);
    void touchFlag(const Entity& flag, const Entity& actor);
    void score(Team team);
    void handleDeaths();
    void handleRespawns(float dt);
    void respawn(const Entity& actor);
    void handleLifetimes(float dt);
    void handleMoveOrders();
    void moveTo(const Entity& actor, const glm::vec3* location, const PickRay* ray);
    void handleCastOrders();
    void advanceAnimations(float dt);
    void explodeArrivedFireballs();
    void releaseCasts();

    // An actor that is dying or dead (it has no health) takes no orders.
    bool canAct(const Entity& actor) const;

    Game* game;
    CursorRay cursorRay;
    // Ordered by entity, so simultaneous respawns draw their random numbers
    // in a fixed order.
    std::map<Entity, float> respawnQueue;
};
