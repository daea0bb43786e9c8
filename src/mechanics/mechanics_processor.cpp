#include "mechanics/mechanics_processor.h"

#include <algorithm>
#include <boost/any.hpp>
#include <cmath>
#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <utility>
#include <vector>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"
#include "game/components.h"
#include "game/game.h"
#include "mechanics/collision.h"

namespace {
constexpr float kEpsilon = 1.1920929e-07f;
constexpr float kDegreesPerRadian = 57.29578f;
// Slerp falls back to the target when the two rotations are this close.
constexpr float kSlerpThreshold = 0.9999999f;

bool withinOneTurn(float degrees) {
    return degrees >= -360.0f && degrees <= 360.0f;
}
}  // namespace

MechanicsProcessor::MechanicsProcessor(Game* game) : MechanicsProcessor(game->entities, game->messages) {}

MechanicsProcessor::MechanicsProcessor(EntityManager& entities, MessagePools& messages)
    : entities(entities), messages(messages) {}

void MechanicsProcessor::update(double dt) {
    move(dt);
    face(dt);
    detectCollisions();
}

void MechanicsProcessor::move(double dt) {
    ComponentHandle<TransformComponent> transform;
    ComponentHandle<SpeedComponent> speed;
    ComponentHandle<PathComponent> path;
    for (const Entity entity : entities.query(transform, speed, path)) {
        float budget = static_cast<float>(speed->speed * dt);
        std::list<glm::vec3>& waypoints = path->waypoints;
        const ComponentHandle<AnimationComponent> animation =
            entities.component<AnimationComponent>(entity.id());
        if (animation && !waypoints.empty() && budget > 0.0f && animation->state != Run) {
            animation->state = Run;
            animation->progress = 0.0f;
        }

        glm::vec3& position = transform->position;
        while (!waypoints.empty() && budget > 0.0f) {
            const glm::vec3 delta = waypoints.front() - position;
            const float distance = glm::length(delta);
            if (budget >= distance) {
                position = waypoints.front();
                budget -= distance;
                waypoints.pop_front();
            } else {
                position += delta * (budget / distance);
                budget = 0.0f;
            }
        }

        if (waypoints.empty()) {
            if (animation) {
                animation->state = Idle;
                animation->progress = 0.0f;
            }
            entities.remove<PathComponent>(entity.id());
            // One arrival per frame: the entities after this one move next frame.
            return;
        }
    }
}

void MechanicsProcessor::face(double dt) {
    ComponentHandle<TransformComponent> transform;
    ComponentHandle<PathComponent> path;
    for (const Entity entity : entities.query(transform, path)) {
        (void)entity;
        if (!path->waypoints.empty()) {
            transform->rotation =
                turnTowards(transform->position, transform->rotation, path->waypoints.front(), dt);
        }
    }

    ComponentHandle<SkillCastTargetComponent> castTarget;
    for (const Entity entity : entities.query(transform, castTarget)) {
        (void)entity;
        const boost::any& target = castTarget->target;
        if (const glm::vec3* location = boost::any_cast<glm::vec3>(&target)) {
            transform->rotation = turnTowards(transform->position, transform->rotation, *location, dt);
        } else if (const Entity* victim = boost::any_cast<Entity>(&target)) {
            if (!victim->valid() || victim->manager() != &entities) {
                continue;
            }
            const ComponentHandle<TransformComponent> victimTransform =
                entities.component<TransformComponent>(victim->id());
            if (victimTransform) {
                transform->rotation =
                    turnTowards(transform->position, transform->rotation, victimTransform->position, dt);
            }
        }
    }
}

void MechanicsProcessor::detectCollisions() {
    ComponentHandle<TransformComponent> transform;
    ComponentHandle<CollisionComponent> collision;
    for (const Entity entity : entities.query(transform, collision)) {
        (void)entity;
        updateWorldVolumes(*transform, *collision);
    }

    // Nothing assigns components during this loop, so the pointers stay put.
    std::vector<std::pair<Entity, const CollisionComponent*>> visited;
    for (const Entity entity : entities.query(collision)) {
        const CollisionComponent& current = *collision;
        for (const auto& [other, otherCollision] : visited) {
            if (current.kind == StaticKind && otherCollision->kind == StaticKind) {
                continue;
            }
            if (collide(current.worldVolumes, otherCollision->worldVolumes)) {
                messages.emit<CollisionMessage>(entity, other);
            }
        }
        visited.emplace_back(entity, &current);
    }
}

glm::quat MechanicsProcessor::turnTowards(const glm::vec3& position, const glm::quat& rotation,
                                          const glm::vec3& target, double dt) {
    // Points away from the target: the look-at below faces -d, and its
    // transpose turns local +Z towards the target.
    const glm::vec3 away(position.x - target.x, 0.0f, position.z - target.z);
    if (glm::length(away) < kEpsilon) {
        return rotation;
    }
    const glm::mat4 view =
        glm::lookAt(position, glm::vec3(position.x + away.x, position.y, position.z + away.z),
                    glm::vec3(0.0f, 1.0f, 0.0f));
    glm::quat goal = glm::quat_cast(glm::transpose(view));
    if (!isValidRotation(goal)) {
        return rotation;
    }

    const float w = std::clamp((glm::inverse(rotation) * goal).w, -1.0f, 1.0f);
    float angle = 2.0f * std::acos(w) * kDegreesPerRadian;
    if (angle > 180.0f) {
        angle = 360.0f - angle;
    }
    // Already facing the target, the whole (empty) turn fits in this frame;
    // so does the turn of a rotation that is not a number (no angle at all),
    // which thereby takes the goal instead of staying broken.
    const float step =
        angle > 0.0f ? std::clamp(static_cast<float>(dt * kTurnRate / angle), 0.0f, 1.0f) : 1.0f;

    glm::quat towards = goal;
    float cosine = glm::dot(rotation, towards);
    if (cosine < 0.0f) {
        towards = -towards;
        cosine = -cosine;
    }
    glm::quat result;
    if (cosine <= kSlerpThreshold) {
        const float a = std::acos(cosine);
        result = (std::sin((1.0f - step) * a) * rotation + std::sin(step * a) * towards) / std::sin(a);
    } else {
        result = goal;
    }
    result = -result;
    return isValidRotation(result) ? result : rotation;
}

void MechanicsProcessor::updateWorldVolumes(const TransformComponent& transform,
                                            CollisionComponent& collision) {
    if (collision.isStatic != 0 && !collision.worldVolumes.empty()) {
        return;
    }
    transformVolumes(collision.volumes, collision.worldVolumes, transform.position, transform.rotation,
                     transform.scale);
}

bool isValidRotation(const glm::quat& q) {
    if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z) || !std::isfinite(q.w)) {
        return false;
    }
    const float pitch =
        std::atan2(2.0f * (q.y * q.z + q.w * q.x), q.w * q.w - q.x * q.x - q.y * q.y + q.z * q.z);
    const float yaw = std::asin(std::clamp(-2.0f * (q.x * q.z - q.w * q.y), -1.0f, 1.0f));
    const float roll =
        std::atan2(2.0f * (q.x * q.y + q.w * q.z), q.w * q.w + q.x * q.x - q.y * q.y - q.z * q.z);
    return withinOneTurn(pitch * kDegreesPerRadian) && withinOneTurn(yaw * kDegreesPerRadian) &&
           withinOneTurn(roll * kDegreesPerRadian);
}

bool collide(const CollisionComponent& first, const CollisionComponent& second) {
    return collide(first.worldVolumes, second.worldVolumes);
}

bool collide(EntityManager& entities, Entity::Id first, Entity::Id second) {
    const ComponentHandle<CollisionComponent> a = entities.component<CollisionComponent>(first);
    const ComponentHandle<CollisionComponent> b = entities.component<CollisionComponent>(second);
    return a && b && collide(*a, *b);
}
