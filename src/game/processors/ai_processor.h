#pragma once
// The computer players. Second system of the frame: every actor with an
// AiComponent defends its own team's flag. While the flag is at its base the
// actor patrols a ring around it and shoots enemies that come near; while an
// enemy carries it, the actor chases the carrier and shoots it, leading its
// path; while it lies dropped, the actor runs onto it to return it.
//
// The AI acts only through the orders the player sends too
// (MoveToLocationOrderMessage and a fireball SkillCastToLocationOrderMessage),
// which the logic processor carries out later in the frame. It writes nothing
// but AiComponent fields. It does not look at cooldowns: the logic processor
// drops casts whose slot is not ready.
#include <array>
#include <cstdint>
#include <functional>
#include <glm/vec3.hpp>
#include <list>
#include <unordered_map>
#include <vector>

#include "entities/entity.h"
#include "game/system.h"
#include "utils/random.h"

class EntityManager;
class MessagePools;
class Game;
struct AiComponent;

class AiProcessor : public System<AiProcessor> {
  public:
    explicit AiProcessor(Game* game);
    AiProcessor(EntityManager& entities, MessagePools& messages);
    ~AiProcessor() override;

    // Summary of the world, the mode choice (every think period) and one act
    // step per AI actor. dt in seconds, already scaled by the time scale.
    void update(double dt) override;

    // Where an entity at start that walks waypoints (front first) at speed
    // units per second stands after t seconds. Past the last waypoint the walk
    // goes on in a straight line, in the direction of its last leg. A
    // non-positive t or speed, or no waypoints, gives start.
    static glm::vec3 predictAlongPath(const glm::vec3& start, const std::list<glm::vec3>& waypoints, float t,
                                      float speed);

    // The point to shoot a projectile of projectileSpeed at so that it meets a
    // target at targetPosition walking waypoints at targetSpeed: a fixed-point
    // iteration over the flight time, at most kLeadIterations rounds. Without a
    // projectile faster than the target there is no lead and the answer is the
    // target's position.
    static glm::vec3 leadTarget(const glm::vec3& shooter, const glm::vec3& targetPosition,
                                const std::list<glm::vec3>& waypoints, float targetSpeed,
                                float projectileSpeed);

    // Replaces the patrol point generator; it should give integers from 0 to
    // kRandomMax (values outside are clamped). An empty function, the
    // default, draws from the game's RandomGenerator.
    void setRandomSource(std::function<int32_t()> source);

    // Seconds between two mode choices.
    static constexpr float kThinkPeriod = 0.3f;
    // Seconds an actor waits after a move order before it may send the next.
    static constexpr float kOrderThrottle = 0.3f;
    // The guard patrols between these distances from its own flag.
    static constexpr float kGuardRingInner = 2.0f;
    static constexpr float kGuardRingOuter = 8.0f;
    // A guard shoots enemies within this distance of the flag it guards.
    static constexpr float kWatchRadius = 20.0f;
    // A guard steps away from a teammate closer than this.
    static constexpr float kCrowdingDistance = 1.5f;
    // Distance within which the step away counts as done.
    static constexpr float kSeparationTolerance = 0.1f;
    // Distance within which a dropped flag counts as reached.
    static constexpr float kReclaimTolerance = 0.0f;
    // Rounds of the lead iteration, and the aim change that ends it early.
    static constexpr int kLeadIterations = 5;
    static constexpr float kLeadPrecision = 1.1920929e-7f;
    // Largest value of the patrol point generator.
    static constexpr int32_t kRandomMax = static_cast<int32_t>(RandomGenerator::kMax);

  private:
    struct LivingActor {
        Entity entity;
        uint8_t team = 0;
        glm::vec3 position{0.0f};
    };
    // Where a team's flag is: on the ground (AtBase, Dropped) as its own
    // entity, or Carried, with the carrier as entity and position.
    struct FlagRecord {
        uint8_t state = 0;
        glm::vec3 position{0.0f};
        Entity entity;
    };
    // The AI actor being handled in the act step.
    struct Actor {
        Entity entity;
        uint8_t team = 0;
        glm::vec3 position{0.0f};
        AiComponent* ai = nullptr;
    };

    void summarize();
    void think(double dt);
    void act(double dt);

    // True when a move towards goal is under way or was just ordered; false
    // when the actor is within radius of goal or may not order yet.
    bool approach(const Actor& actor, const glm::vec3& goal, float radius);
    // True when a move into the ring inner..outer around centre is under way
    // or was just ordered (to a random point of the ring); false when the
    // actor stands in the ring or may not order yet.
    bool keepInRing(const Actor& actor, const glm::vec3& centre, float inner, float outer);
    // Fireball at the enemy (led along its path), moving into reach first.
    // Nothing while the actor is already winding up or recovering from one.
    void attack(const Actor& actor, const Entity& enemy, const glm::vec3& enemyPosition);
    // Shoots the enemy nearest to guardedPosition within watchRadius; with
    // none, steps away from a crowding teammate.
    void guardAttack(const Actor& actor, const glm::vec3& guardedPosition, float watchRadius);
    // The living enemy of team nearest to guardedPosition within watchRadius
    // (the first in view order among equals), or nullptr. The same for every
    // guard of a team, so it is worked out once per frame and kept.
    const LivingActor* nearestEnemy(uint8_t team, const glm::vec3& guardedPosition, float watchRadius);
    // The vector from the actor to the last living teammate (in view order)
    // closer than kCrowdingDistance; zero when that is the actor itself or
    // there is none.
    glm::vec3 crowdingOffset(const Actor& actor);

    // "fireball.projectile.speed" and its reach (speed x lifetime), read
    // from the data store the first time a frame needs them.
    float fireballSpeed();
    float fireballReach();
    int32_t drawRandom();

    EntityManager& entities;
    MessagePools& messages;
    float thinkTimer = 0.0f;

    struct EnemySearch {
        uint8_t team = 0;
        glm::vec3 guardedPosition{0.0f};
        float watchRadius = 0.0f;
        const LivingActor* nearest = nullptr;
    };

    // Rebuilt at the start of every update.
    std::vector<LivingActor> livingActors;
    // Searches done this frame; a couple at most in a match (one per flag).
    std::vector<EnemySearch> enemySearches;
    // livingActors positions, ascending, by x-z cell of kCrowdingDistance;
    // filled on the first crowding test of a frame.
    std::unordered_map<uint64_t, std::vector<uint32_t>> crowdingCells;
    bool crowdingCellsBuilt = false;
    std::array<FlagRecord, 2> flags;  // indexed by Team
    bool fireballRead = false;
    float cachedFireballSpeed = 0.0f;
    float cachedFireballReach = 0.0f;

    std::function<int32_t()> randomSource;
};
