#include "game/processors/ai_processor.h"

#include <algorithm>
#include <cmath>
#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>
#include <limits>
#include <utility>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"
#include "game/components.h"
#include "game/game.h"
#include "io/data_manager.h"

namespace {
constexpr uint8_t kTeamCount = 2;

uint8_t otherTeam(uint8_t team) {
    return team == Blue ? Red : Blue;
}

bool isFireballCasting(int32_t state) {
    return state == FireballWindup || state == FireballBackswing;
}
}  // namespace

AiProcessor::AiProcessor(Game* game) : AiProcessor(game->entities, game->messages) {}

AiProcessor::AiProcessor(EntityManager& entities, MessagePools& messages)
    : entities(entities), messages(messages) {}

AiProcessor::~AiProcessor() = default;

void AiProcessor::setRandomSource(std::function<int32_t()> source) {
    randomSource = std::move(source);
}

int32_t AiProcessor::drawRandom() {
    const int32_t value = randomSource ? randomSource() : static_cast<int32_t>(RandomGenerator::next());
    return std::clamp(value, 0, kRandomMax);
}

float AiProcessor::fireballSpeed() {
    if (!fireballRead) {
        // Read together so that a frame never mixes an old speed with a new
        // lifetime; a missing or malformed value ends the program like every
        // other bad setting (start-up checks them first).
        cachedFireballSpeed = DataManager::getValue<float>("fireball.projectile.speed");
        cachedFireballReach =
            cachedFireballSpeed * DataManager::getValue<float>("fireball.projectile.lifetime");
        fireballRead = true;
    }
    return cachedFireballSpeed;
}

float AiProcessor::fireballReach() {
    fireballSpeed();
    return cachedFireballReach;
}

void AiProcessor::update(double dt) {
    fireballRead = false;
    enemySearches.clear();
    crowdingCellsBuilt = false;
    summarize();
    think(dt);
    act(dt);
    livingActors.clear();
    enemySearches.clear();
}

void AiProcessor::summarize() {
    livingActors.clear();
    ComponentHandle<HealthComponent> health;
    for (const Entity entity : entities.query(health)) {
        // Only actors carry health; anything without a place or a side cannot
        // be aimed at or told apart from a teammate.
        const ComponentHandle<TransformComponent> transform =
            entities.component<TransformComponent>(entity.id());
        const ComponentHandle<TeamComponent> team = entities.component<TeamComponent>(entity.id());
        if (transform && team) {
            livingActors.push_back({entity, team->team, transform->position});
        }
    }

    flags.fill(FlagRecord());
    ComponentHandle<FlagComponent> flag;
    ComponentHandle<TeamComponent> team;
    ComponentHandle<TransformComponent> transform;
    for (const Entity entity : entities.query(flag, team, transform)) {
        const uint8_t holder = team->team;
        if (holder >= kTeamCount) {
            continue;
        }
        if (flag->state == Carried) {
            // A carrier holds the enemy's flag.
            flags[otherTeam(holder)] = {Carried, transform->position, entity};
        } else {
            flags[holder] = {flag->state, transform->position, entity};
        }
    }
}

void AiProcessor::think(double dt) {
    thinkTimer = static_cast<float>(thinkTimer - dt);
    if (thinkTimer > 0.0f) {
        return;
    }
    ComponentHandle<AiComponent> ai;
    ComponentHandle<TeamComponent> team;
    for (const Entity entity : entities.query(ai, team)) {
        (void)entity;
        if (ai->role != 0 || team->team >= kTeamCount) {
            continue;
        }
        const FlagRecord& own = flags[team->team];
        if (own.state == Carried) {
            ai->mode = Chase;
        } else if (own.state == Dropped) {
            ai->mode = Reclaim;
        } else {
            ai->mode = Guard;
        }
        ai->target = own.entity;
    }
    thinkTimer = kThinkPeriod;
}

void AiProcessor::act(double dt) {
    ComponentHandle<AiComponent> ai;
    ComponentHandle<TeamComponent> team;
    ComponentHandle<TransformComponent> transform;
    for (const Entity entity : entities.query(ai, team, transform)) {
        // The AI only emits messages here, so the component stays in place.
        AiComponent& state = *ai;
        state.orderTimer = static_cast<float>(state.orderTimer - dt);

        // The target was chosen up to a think period ago and may be gone.
        const Entity target = state.target;
        if (!target.valid() || target.manager() != &entities) {
            continue;
        }
        const ComponentHandle<TransformComponent> targetTransform =
            entities.component<TransformComponent>(target.id());
        if (!targetTransform) {
            continue;
        }
        const glm::vec3 targetPosition = targetTransform->position;
        const Actor actor{entity, team->team, transform->position, &state};

        switch (state.mode) {
            case Guard:
                if (!keepInRing(actor, targetPosition, kGuardRingInner, kGuardRingOuter)) {
                    guardAttack(actor, targetPosition, kWatchRadius);
                }
                break;
            case Chase:
                if (!approach(actor, targetPosition, fireballReach())) {
                    attack(actor, target, targetPosition);
                }
                break;
            case Reclaim:
                // Touching the dropped flag returns it (logic processor).
                approach(actor, targetPosition, kReclaimTolerance);
                break;
            default:
                break;
        }
    }
}

bool AiProcessor::approach(const Actor& actor, const glm::vec3& goal, float radius) {
    if (glm::distance(actor.position, goal) <= radius) {
        return false;
    }
    const ComponentHandle<PathComponent> path = entities.component<PathComponent>(actor.entity.id());
    if (path && !path->waypoints.empty() && glm::distance(path->waypoints.back(), goal) <= radius) {
        return true;
    }
    if (actor.ai->orderTimer > 0.0f) {
        return false;
    }
    messages.emit<MoveToLocationOrderMessage>(actor.entity, goal);
    actor.ai->orderTimer = kOrderThrottle;
    return true;
}

bool AiProcessor::keepInRing(const Actor& actor, const glm::vec3& centre, float inner, float outer) {
    const float distance = glm::distance(actor.position, centre);
    if (inner <= distance && distance <= outer) {
        return false;
    }
    const ComponentHandle<PathComponent> path = entities.component<PathComponent>(actor.entity.id());
    if (path && !path->waypoints.empty()) {
        const float end = glm::distance(path->waypoints.back(), centre);
        if (inner <= end && end <= outer) {
            return true;
        }
    }
    if (actor.ai->orderTimer > 0.0f) {
        return false;
    }
    const float radius = static_cast<float>(drawRandom()) / kRandomMax * (outer - inner) + inner;
    const float degrees = static_cast<float>(drawRandom()) / kRandomMax * 360.0f - 180.0f;
    const glm::quat turn = glm::angleAxis(glm::radians(degrees), glm::vec3(0.0f, 1.0f, 0.0f));
    const glm::vec3 goal = centre + turn * glm::vec3(radius, 0.0f, 0.0f);
    messages.emit<MoveToLocationOrderMessage>(actor.entity, goal);
    actor.ai->orderTimer = kOrderThrottle;
    return true;
}

void AiProcessor::attack(const Actor& actor, const Entity& enemy, const glm::vec3& enemyPosition) {
    const ComponentHandle<AnimationComponent> animation =
        entities.component<AnimationComponent>(actor.entity.id());
    if (animation && isFireballCasting(animation->state)) {
        return;
    }
    glm::vec3 aim = enemyPosition;
    const ComponentHandle<PathComponent> path = entities.component<PathComponent>(enemy.id());
    const ComponentHandle<SpeedComponent> speed = entities.component<SpeedComponent>(enemy.id());
    if (path && speed) {
        aim = leadTarget(actor.position, enemyPosition, path->waypoints, speed->speed, fireballSpeed());
    }
    if (!approach(actor, aim, fireballReach())) {
        messages.emit<SkillCastToLocationOrderMessage>(actor.entity, static_cast<int32_t>(Fireball), aim);
    }
}

void AiProcessor::guardAttack(const Actor& actor, const glm::vec3& guardedPosition, float watchRadius) {
    // The nearest enemy and the crowding teammate are two independent
    // searches over the living actors; the second only matters without an
    // enemy, and the first is shared by every guard of the flag.
    if (const LivingActor* enemy = nearestEnemy(actor.team, guardedPosition, watchRadius)) {
        attack(actor, enemy->entity, enemy->position);
    } else {
        // Away from the teammate, to its mirror point about the guard; a zero
        // offset is a goal the guard already stands on.
        approach(actor, actor.position - crowdingOffset(actor), kSeparationTolerance);
    }
}

const AiProcessor::LivingActor* AiProcessor::nearestEnemy(uint8_t team, const glm::vec3& guardedPosition,
                                                          float watchRadius) {
    for (const EnemySearch& search : enemySearches) {
        if (search.team == team && search.guardedPosition == guardedPosition &&
            search.watchRadius == watchRadius) {
            return search.nearest;
        }
    }
    const LivingActor* best = nullptr;
    float bestDistance = std::numeric_limits<float>::max();
    for (const LivingActor& other : livingActors) {
        if (other.team == team) {
            continue;
        }
        const float distance = glm::distance(other.position, guardedPosition);
        if (distance >= 0.0f && distance <= watchRadius && distance < bestDistance) {
            best = &other;
            bestDistance = distance;
        }
    }
    enemySearches.push_back({team, guardedPosition, watchRadius, best});
    return best;
}

namespace {
// The x-z cell of kCrowdingDistance holding a finite position. Coordinates
// beyond the 32-bit range share the edge cells (the distance test sorts them out).
uint64_t crowdingCell(float x, float z, int dx = 0, int dz = 0) {
    const auto cell = [](float v, int delta) {
        const double index = std::floor(static_cast<double>(v) / AiProcessor::kCrowdingDistance) + delta;
        constexpr double lowest = std::numeric_limits<int32_t>::min();
        constexpr double highest = std::numeric_limits<int32_t>::max();
        return static_cast<uint32_t>(static_cast<int32_t>(std::clamp(index, lowest, highest)));
    };
    return static_cast<uint64_t>(cell(x, dx)) << 32 | cell(z, dz);
}

bool finite(const glm::vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
}  // namespace

glm::vec3 AiProcessor::crowdingOffset(const Actor& actor) {
    // A position that is not a number is near nobody.
    if (!finite(actor.position)) {
        return glm::vec3(0.0f);
    }
    if (!crowdingCellsBuilt) {
        crowdingCells.clear();
        for (uint32_t k = 0; k < livingActors.size(); ++k) {
            const glm::vec3& position = livingActors[k].position;
            if (finite(position)) {
                crowdingCells[crowdingCell(position.x, position.z)].push_back(k);
            }
        }
        crowdingCellsBuilt = true;
    }
    // Anyone within the distance in 3D is within it in x-z, so in one of the
    // nine cells around the actor.
    int64_t last = -1;
    glm::vec3 offset(0.0f);
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dz = -1; dz <= 1; ++dz) {
            const auto cell = crowdingCells.find(crowdingCell(actor.position.x, actor.position.z, dx, dz));
            if (cell == crowdingCells.end()) {
                continue;
            }
            for (const uint32_t k : cell->second) {
                const LivingActor& other = livingActors[k];
                if (other.team != actor.team || static_cast<int64_t>(k) < last) {
                    continue;
                }
                // The guard meets itself here with a zero offset.
                const glm::vec3 towards = other.position - actor.position;
                if (glm::length(towards) < kCrowdingDistance) {
                    last = k;
                    offset = towards;
                }
            }
        }
    }
    return offset;
}

glm::vec3 AiProcessor::predictAlongPath(const glm::vec3& start, const std::list<glm::vec3>& waypoints,
                                        float t, float speed) {
    if (!(t > 0.0f) || !(speed > 0.0f) || !std::isfinite(speed)) {
        return start;
    }
    glm::vec3 position = start;
    float budget = t;
    // Unit direction of the last leg walked, for a last waypoint that
    // coincides with the point before it (paths may repeat their goal).
    glm::vec3 heading(0.0f);
    bool hasHeading = false;
    for (auto it = waypoints.begin(); it != waypoints.end(); ++it) {
        const glm::vec3& waypoint = *it;
        const float step = budget * speed;
        const glm::vec3 leg = waypoint - position;
        const float length = glm::length(leg);
        if (length > step) {
            // length > step >= 0, so the leg has a direction.
            return position + leg * (step / length);
        }
        if (length > 0.0f) {
            heading = leg / length;
            hasHeading = true;
        }
        if (std::next(it) != waypoints.end()) {
            budget -= length / speed;
            position = waypoint;
            if (budget <= 0.0f) {
                return position;
            }
        } else {
            // The walk goes on in a straight line through the last waypoint.
            return hasHeading ? position + heading * step : waypoint;
        }
    }
    return position;
}

glm::vec3 AiProcessor::leadTarget(const glm::vec3& shooter, const glm::vec3& targetPosition,
                                  const std::list<glm::vec3>& waypoints, float targetSpeed,
                                  float projectileSpeed) {
    // A projectile that is not faster than its target may never meet it: the
    // iteration would chase the target down its path without converging.
    if (!(projectileSpeed > 0.0f) || !std::isfinite(projectileSpeed) || !(projectileSpeed > targetSpeed)) {
        return targetPosition;
    }
    glm::vec3 aim = targetPosition;
    float flight = glm::distance(shooter, aim) / projectileSpeed;
    for (int round = 0; round < kLeadIterations; ++round) {
        const glm::vec3 next = predictAlongPath(targetPosition, waypoints, flight, targetSpeed);
        if (glm::distance(next, aim) < kLeadPrecision) {
            break;
        }
        aim = next;
        flight = glm::distance(shooter, aim) / projectileSpeed;
    }
    return aim;
}
