#include "game/skill.h"

#include <glm/geometric.hpp>
#include <limits>
#include <memory>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"
#include "game/components.h"
#include "game/render_recipes.h"
#include "io/data_manager.h"
#include "mechanics/navigation_mesh.h"
#include "utils/log.h"

namespace {
// Smallest float step above 1: steeper than this counts as pointing down.
constexpr float kEpsilon = 1.1920929e-7f;

const glm::quat kIdentity(1.0f, 0.0f, 0.0f, 0.0f);

float dataFloat(const char* key) {
    return DataManager::getValue<float>(key);
}

std::optional<PickRay> cursorRay(const SkillContext& context, std::int32_t x, std::int32_t y) {
    if (context.cursorRay == nullptr || !*context.cursorRay) {
        return std::nullopt;
    }
    return (*context.cursorRay)(x, y);
}

// The point at most `range` from `from` on the way to `to`; `to` itself when
// it lies within range (exactly at range included).
glm::vec3 clampToRange(const glm::vec3& from, const glm::vec3& to, float range) {
    const glm::vec3 v = to - from;
    const float length = glm::length(v);
    if (length > range) {
        return from + v * (range / length);
    }
    return to;
}

void startWindup(EntityManager& entities, Entity::Id actor, AnimationState windup, boost::any target) {
    stopActor(entities, actor);
    entities.assign<AnimationComponent>(actor, AnimationComponent{windup, 0.0f});
    entities.assign<SkillCastTargetComponent>(actor, SkillCastTargetComponent{std::move(target)});
}

void beginFireball(const SkillContext& context, const Entity& actor, std::int32_t x, std::int32_t y) {
    const std::optional<glm::vec3> ground = pickGround(context, actor.id(), x, y);
    if (!ground) {
        LOG(warning) << "No target for fireball provided!";
        return;
    }
    startWindup(context.entities, actor.id(), FireballWindup, *ground);
}

void beginChainLightning(const SkillContext& context, const Entity& actor, std::int32_t x, std::int32_t y) {
    EntityManager& entities = context.entities;
    const std::optional<glm::vec3> ground = pickGround(context, actor.id(), x, y);
    const auto transform = entities.component<TransformComponent>(actor.id());
    const auto team = entities.component<TeamComponent>(actor.id());
    if (!ground || !transform || !team) {
        LOG(warning) << "No target for chain lightning provided!";
        return;
    }
    const float range = dataFloat("chainLightning.range");
    const glm::vec3 casterPosition = transform->position;
    const std::optional<Entity> victim = chooseChainLightningVictim(entities, team->team, *ground);

    boost::any target;
    if (victim) {
        const glm::vec3 victimPosition = entities.component<TransformComponent>(victim->id())->position;
        if (glm::length(victimPosition - casterPosition) > range) {
            // Out of reach: the bolt strikes the ground short of the victim.
            target = clampToRange(casterPosition, victimPosition, range);
        } else {
            target = *victim;
        }
    } else {
        target = clampToRange(casterPosition, *ground, range);
    }
    startWindup(entities, actor.id(), ChainLightningWindup, std::move(target));
}

void beginCrushingWave(const SkillContext& context, const Entity& actor, std::int32_t x, std::int32_t y) {
    const std::optional<glm::vec3> direction = pickDirection(context, actor.id(), x, y);
    if (!direction) {
        return;
    }
    const glm::vec3 position = context.entities.component<TransformComponent>(actor.id())->position;
    // The point only tells the mechanics which way to turn the caster.
    startWindup(context.entities, actor.id(), CrushingWaveWindup, position + *direction);
}

void releaseFireball(EntityManager& entities, const Entity& actor, const glm::vec3& casterPosition,
                     const glm::quat& casterRotation, std::uint8_t team) {
    const auto target = entities.component<SkillCastTargetComponent>(actor.id());
    const glm::vec3* point = boost::any_cast<glm::vec3>(&target->target);
    if (point == nullptr) {
        entities.remove<SkillCastTargetComponent>(actor.id());
        return;
    }
    const glm::vec3 aim = *point;
    entities.remove<SkillCastTargetComponent>(actor.id());
    const Entity fireball = entities.create();
    makeFireball(entities, fireball.id(), casterPosition + casterRotation * kFireballSpawnOffset, aim, team);
}

void releaseChainLightning(const SkillContext& context, const Entity& actor,
                           const glm::vec3& casterPosition) {
    EntityManager& entities = context.entities;
    const boost::any target = entities.component<SkillCastTargetComponent>(actor.id())->target;
    entities.remove<SkillCastTargetComponent>(actor.id());

    if (const Entity* victim = boost::any_cast<Entity>(&target)) {
        // The victim may have gone since the cast began; then the bolt has
        // nowhere to strike.
        if (!victim->valid() || !entities.has<TransformComponent>(victim->id())) {
            return;
        }
        applyDamage(entities, context.messages, *victim, dataFloat("chainLightning.damage"));
        const glm::vec3 victimPosition = entities.component<TransformComponent>(victim->id())->position;
        makeLightning(entities, entities.create().id(), casterPosition, victimPosition);
    } else if (const glm::vec3* point = boost::any_cast<glm::vec3>(&target)) {
        makeLightning(entities, entities.create().id(), casterPosition, *point);
    }
}

void releaseCrushingWave(EntityManager& entities, const Entity& actor, const glm::vec3& casterPosition,
                         std::uint8_t team) {
    entities.remove<SkillCastTargetComponent>(actor.id());
    makeCrushingWave(entities, entities.create().id(),
                     casterPosition + glm::vec3(0.0f, kCrushingWaveHeight, 0.0f), team);
}
}  // namespace

void stopActor(EntityManager& entities, Entity::Id actor) {
    entities.remove<PathComponent>(actor);
    entities.remove<SkillCastTargetComponent>(actor);
}

std::optional<glm::vec3> intersectHorizontalPlane(const PickRay& ray, float height) {
    const float den = ray.direction.y;
    // Written so that a NaN direction gives no point either.
    if (!(den <= -kEpsilon)) {
        return std::nullopt;
    }
    return ray.origin + ray.direction * ((height - ray.origin.y) / den);
}

std::optional<glm::vec3> pickGround(const SkillContext& context, Entity::Id actor, std::int32_t cursorX,
                                    std::int32_t cursorY) {
    const auto transform = context.entities.component<TransformComponent>(actor);
    const std::optional<PickRay> ray = cursorRay(context, cursorX, cursorY);
    if (!transform || !ray) {
        return std::nullopt;
    }
    if (context.navigationMesh != nullptr) {
        NavigationLocation hit;
        if (context.navigationMesh->raycast(ray->origin, ray->direction, hit)) {
            return hit.point;
        }
    }
    return intersectHorizontalPlane(*ray, transform->position.y);
}

std::optional<glm::vec3> pickDirection(const SkillContext& context, Entity::Id actor, std::int32_t cursorX,
                                       std::int32_t cursorY) {
    const auto transform = context.entities.component<TransformComponent>(actor);
    const std::optional<PickRay> ray = cursorRay(context, cursorX, cursorY);
    if (!transform || !ray) {
        return std::nullopt;
    }
    const glm::vec3 position = transform->position;
    const std::optional<glm::vec3> point = intersectHorizontalPlane(*ray, position.y);
    if (!point) {
        return std::nullopt;
    }
    const glm::vec3 offset = *point - position;
    const float length = glm::length(offset);
    if (!(length > 0.0f)) {
        return std::nullopt;
    }
    return offset / length;
}

std::optional<Entity> chooseChainLightningVictim(EntityManager& entities, std::uint8_t casterTeam,
                                                 const glm::vec3& point) {
    const float snapDistance = dataFloat("chainLightning.snapDistance");
    float best = std::numeric_limits<float>::max();
    std::optional<Entity> victim;
    ComponentHandle<TeamComponent> team;
    ComponentHandle<TransformComponent> transform;
    ComponentHandle<HealthComponent> health;
    for (const Entity candidate : entities.query(team, transform, health)) {
        if (team->team == casterTeam) {
            continue;
        }
        const float distance = glm::length(transform->position - point);
        if (distance < snapDistance && distance < best) {
            best = distance;
            victim = candidate;
        }
    }
    return victim;
}

void beginCastAtCursor(const SkillContext& context, const Entity& actor, std::int32_t skill,
                       std::int32_t cursorX, std::int32_t cursorY) {
    if (!actor.valid()) {
        return;
    }
    switch (skill) {
        case Fireball:
            beginFireball(context, actor, cursorX, cursorY);
            break;
        case ChainLightning:
            beginChainLightning(context, actor, cursorX, cursorY);
            break;
        case CrushingWave:
            beginCrushingWave(context, actor, cursorX, cursorY);
            break;
        default:
            // Waveform and the slots of the other skill sets have no effect.
            break;
    }
}

void beginCastAtLocation(EntityManager& entities, const Entity& actor, std::int32_t skill,
                         const glm::vec3& location) {
    if (!actor.valid() || skill != Fireball) {
        return;
    }
    startWindup(entities, actor.id(), FireballWindup, location);
}

void releaseCast(const SkillContext& context, std::int32_t endedState, const Entity& actor) {
    if (endedState != FireballWindup && endedState != ChainLightningWindup &&
        endedState != CrushingWaveWindup) {
        return;
    }
    EntityManager& entities = context.entities;
    if (!actor.valid()) {
        return;
    }
    const Entity::Id id = actor.id();
    const auto transform = entities.component<TransformComponent>(id);
    const auto team = entities.component<TeamComponent>(id);
    const auto skills = entities.component<ActorSkillsComponent>(id);
    if (!transform || !team || !skills || !entities.has<SkillCastTargetComponent>(id)) {
        // Cancelled (moved, recast elsewhere, killed) or not a caster.
        return;
    }
    // Copies: the recipes below create entities, which may move the pools.
    const glm::vec3 position = transform->position;
    const glm::quat rotation = transform->rotation;
    const std::uint8_t casterTeam = team->team;

    switch (endedState) {
        case FireballWindup:
            skills->slots[0].remaining = skills->slots[0].cooldown;
            releaseFireball(entities, actor, position, rotation, casterTeam);
            break;
        case ChainLightningWindup:
            skills->slots[1].remaining = skills->slots[1].cooldown;
            releaseChainLightning(context, actor, position);
            break;
        case CrushingWaveWindup:
            skills->slots[2].remaining = skills->slots[2].cooldown;
            releaseCrushingWave(entities, actor, position, casterTeam);
            break;
        default:
            break;
    }
}

void makeFireball(EntityManager& entities, Entity::Id entity, const glm::vec3& spawn, const glm::vec3& target,
                  std::uint8_t team) {
    entities.assign<BehaviourComponent>(entity, BehaviourComponent{FireballProjectile});
    entities.assign<TeamComponent>(entity, TeamComponent{team});
    PathComponent path;
    path.waypoints.push_back(target + glm::vec3(0.0f, kFireballFlightHeight, 0.0f));
    entities.assign<PathComponent>(entity, std::move(path));
    addFireballRenderables(entities, entity);
    entities.assign<TransformComponent>(entity, TransformComponent{spawn, kIdentity, glm::vec3(1.0f)});
    entities.assign<SpeedComponent>(entity, SpeedComponent{dataFloat("fireball.projectile.speed")});
    entities.assign<LifetimeComponent>(entity,
                                       LifetimeComponent{0.0f, dataFloat("fireball.projectile.lifetime")});
    const float r = dataFloat("fireball.projectile.collisionRadius");
    CollisionComponent collision;
    collision.kind = EffectKind;
    collision.isStatic = 0;
    collision.volumes.push_back(std::make_unique<AxisAlignedBox>(glm::vec3(-r), glm::vec3(r)));
    entities.assign<CollisionComponent>(entity, std::move(collision));
}

void makeExplosion(EntityManager& entities, Entity::Id entity, const glm::vec3& position, std::uint8_t team) {
    entities.assign<BehaviourComponent>(entity, BehaviourComponent{FireballExplosion});
    entities.assign<TransformComponent>(entity, TransformComponent{position, kIdentity, glm::vec3(1.0f)});
    entities.assign<TeamComponent>(entity, TeamComponent{team});
    addExplosionRenderables(entities, entity);
    entities.assign<LifetimeComponent>(entity, LifetimeComponent{0.0f, kExplosionLifetime});
    CollisionComponent collision;
    collision.kind = EffectKind;
    collision.isStatic = 0;
    collision.volumes.push_back(
        std::make_unique<Sphere>(glm::vec3(0.0f), dataFloat("fireball.explosion.collisionRadius")));
    entities.assign<CollisionComponent>(entity, std::move(collision));
}

void makeCrushingWave(EntityManager& entities, Entity::Id entity, const glm::vec3& spawn, std::uint8_t team) {
    entities.assign<BehaviourComponent>(entity, BehaviourComponent{CrushingWaveBehaviour});
    entities.assign<TeamComponent>(entity, TeamComponent{team});
    entities.assign<TransformComponent>(entity, TransformComponent{spawn, kIdentity, glm::vec3(1.0f)});
    entities.assign<SpeedComponent>(entity, SpeedComponent{dataFloat("fireball.projectile.speed")});
    entities.assign<LifetimeComponent>(entity,
                                       LifetimeComponent{0.0f, dataFloat("fireball.projectile.lifetime")});
}

void makeLightning(EntityManager& entities, Entity::Id entity, const glm::vec3& from, const glm::vec3& to) {
    // The link mesh is built in world space, so the entity itself sits at the
    // origin untransformed; the transform is what lets the renderer draw it.
    entities.assign<TransformComponent>(entity,
                                        TransformComponent{glm::vec3(0.0f), kIdentity, glm::vec3(1.0f)});
    const glm::vec3 chest(0.0f, kLightningChestHeight, 0.0f);
    addLightningRenderables(entities, entity, from + chest, to + chest);
    entities.assign<LifetimeComponent>(entity, LifetimeComponent{0.0f, kLightningLifetime});
}

void explodeFireball(EntityManager& entities, const Entity& projectile) {
    if (!projectile.valid()) {
        return;
    }
    const Entity::Id id = projectile.id();
    stopFireballEmission(entities, id);
    // Without its behaviour it can never explode twice.
    entities.remove<BehaviourComponent>(id);
    entities.assign<LifetimeComponent>(id, LifetimeComponent{0.0f, kSpentFireballLifetime});
    const auto transform = entities.component<TransformComponent>(id);
    const auto team = entities.component<TeamComponent>(id);
    if (!transform || !team) {
        return;
    }
    const glm::vec3 position = transform->position;
    const std::uint8_t explosionTeam = team->team;
    const Entity explosion = entities.create();
    makeExplosion(entities, explosion.id(), position, explosionTeam);
}

void fireballHit(EntityManager& entities, const Entity& projectile, const Entity& other) {
    const auto collision = entities.component<CollisionComponent>(other.id());
    if (!collision) {
        return;
    }
    if (collision->kind == StaticKind) {
        explodeFireball(entities, projectile);
    } else if (collision->kind == ActorKind) {
        const auto ownTeam = entities.component<TeamComponent>(projectile.id());
        const auto otherTeam = entities.component<TeamComponent>(other.id());
        if (ownTeam && otherTeam && ownTeam->team != otherTeam->team) {
            explodeFireball(entities, projectile);
        }
    }
}

void explosionHit(EntityManager& entities, MessagePools& messages, const Entity& explosion,
                  const Entity& other) {
    const auto ownTeam = entities.component<TeamComponent>(explosion.id());
    const auto otherTeam = entities.component<TeamComponent>(other.id());
    if (!ownTeam || !otherTeam || ownTeam->team == otherTeam->team) {
        return;
    }
    auto immune = entities.component<ImmuneSetComponent>(explosion.id());
    if (!immune) {
        immune = entities.assign<ImmuneSetComponent>(explosion.id());
    }
    if (!immune->immune.insert(other).second) {
        return;
    }
    applyDamage(entities, messages, other, dataFloat("fireball.damage"));
}

void applyDamage(EntityManager& entities, MessagePools& messages, const Entity& victim, float amount) {
    if (!victim.valid()) {
        return;
    }
    const auto health = entities.component<HealthComponent>(victim.id());
    // At 0 the victim was killed earlier this frame and its death is still to
    // be handled: it is not killed, nor reported, a second time.
    if (!health || health->current <= 0.0f) {
        return;
    }
    if (amount >= health->current) {
        health->current = 0.0f;
        messages.emit<ActorDiedMessage>(victim);
        stopActor(entities, victim.id());
    } else {
        health->current -= amount;
    }
}
