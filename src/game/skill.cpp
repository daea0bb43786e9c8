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

void startWindup(Entity actor, AnimationState windup, boost::any target) {
    EntityManager& entities = *actor.manager();
    stopActor(actor);
    entities.assign<AnimationComponent>(actor.id(), AnimationComponent{windup, 0.0f});
    entities.assign<SkillCastTargetComponent>(actor.id(), SkillCastTargetComponent{std::move(target)});
}

void beginFireball(const SkillContext& context, Entity actor, std::int32_t x, std::int32_t y) {
    const std::optional<glm::vec3> ground = pickGround(context, actor, x, y);
    if (!ground) {
        LOG(warning) << "No target for fireball provided!";
        return;
    }
    startWindup(actor, FireballWindup, *ground);
}

void beginChainLightning(const SkillContext& context, Entity actor, std::int32_t x, std::int32_t y) {
    EntityManager& entities = *actor.manager();
    const std::optional<glm::vec3> ground = pickGround(context, actor, x, y);
    const auto team = entities.component<TeamComponent>(actor.id());
    if (!ground || !team) {
        LOG(warning) << "No target for chain lightning provided!";
        return;
    }
    const float range = dataFloat("chainLightning.range");
    const glm::vec3 casterPosition = entities.component<TransformComponent>(actor.id())->position;
    const std::optional<Entity> victim =
        chooseChainLightningVictim(entities, static_cast<Team>(team->team), *ground);

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
    startWindup(actor, ChainLightningWindup, std::move(target));
}

void beginCrushingWave(const SkillContext& context, Entity actor, std::int32_t x, std::int32_t y) {
    const std::optional<glm::vec3> direction = pickDirection(context, actor, x, y);
    if (!direction) {
        return;
    }
    const glm::vec3 position = actor.manager()->component<TransformComponent>(actor.id())->position;
    // The point only tells the mechanics which way to turn the caster.
    startWindup(actor, CrushingWaveWindup, position + *direction);
}

void releaseFireball(Entity actor, const boost::any& target, const glm::vec3& casterPosition,
                     const glm::quat& casterRotation, Team team) {
    if (const glm::vec3* aim = boost::any_cast<glm::vec3>(&target)) {
        makeFireball(actor.manager()->create(), casterPosition + casterRotation * kFireballSpawnOffset, *aim,
                     team);
    }
}

void releaseChainLightning(const SkillContext& context, Entity actor, const boost::any& target,
                           const glm::vec3& casterPosition) {
    EntityManager& entities = *actor.manager();
    if (const Entity* victim = boost::any_cast<Entity>(&target)) {
        // The victim may have gone since the cast began; then the bolt has
        // nowhere to strike.
        if (!victim->valid() || !entities.has<TransformComponent>(victim->id())) {
            return;
        }
        applyDamage(context.messages, *victim, dataFloat("chainLightning.damage"));
        const glm::vec3 victimPosition = entities.component<TransformComponent>(victim->id())->position;
        makeLightning(entities.create(), casterPosition, victimPosition);
    } else if (const glm::vec3* point = boost::any_cast<glm::vec3>(&target)) {
        makeLightning(entities.create(), casterPosition, *point);
    }
}

CollisionComponent effectCollision(std::unique_ptr<CollisionVolume> volume) {
    CollisionComponent collision;
    collision.kind = EffectKind;
    collision.isStatic = 0;
    collision.volumes.push_back(std::move(volume));
    return collision;
}
}  // namespace

void stopActor(Entity actor) {
    EntityManager& entities = *actor.manager();
    entities.remove<PathComponent>(actor.id());
    entities.remove<SkillCastTargetComponent>(actor.id());
}

std::optional<glm::vec3> intersectHorizontalPlane(const PickRay& ray, float height) {
    const float den = ray.direction.y;
    // Written so that a NaN direction gives no point either.
    if (!(den <= -kEpsilon)) {
        return std::nullopt;
    }
    return ray.origin + ray.direction * ((height - ray.origin.y) / den);
}

std::optional<glm::vec3> pickGround(const SkillContext& context, Entity actor, std::int32_t cursorX,
                                    std::int32_t cursorY) {
    const auto transform = actor.manager()->component<TransformComponent>(actor.id());
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

std::optional<glm::vec3> pickDirection(const SkillContext& context, Entity actor, std::int32_t cursorX,
                                       std::int32_t cursorY) {
    const auto transform = actor.manager()->component<TransformComponent>(actor.id());
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

std::optional<Entity> chooseChainLightningVictim(EntityManager& entities, Team casterTeam,
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

void beginCastAtCursor(const SkillContext& context, Entity actor, std::int32_t skill, std::int32_t cursorX,
                       std::int32_t cursorY) {
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

void beginCastAtLocation(Entity actor, std::int32_t skill, const glm::vec3& location) {
    if (!actor.valid() || skill != Fireball) {
        return;
    }
    startWindup(actor, FireballWindup, location);
}

void releaseCast(const SkillContext& context, std::int32_t endedState, Entity actor) {
    if (endedState != FireballWindup && endedState != ChainLightningWindup &&
        endedState != CrushingWaveWindup) {
        return;
    }
    if (!actor.valid()) {
        return;
    }
    EntityManager& entities = *actor.manager();
    const Entity::Id id = actor.id();
    const auto transform = entities.component<TransformComponent>(id);
    const auto team = entities.component<TeamComponent>(id);
    const auto skills = entities.component<ActorSkillsComponent>(id);
    const auto pending = entities.component<SkillCastTargetComponent>(id);
    if (!transform || !team || !skills || !pending) {
        // Cancelled (moved, recast elsewhere, killed) or not a caster.
        return;
    }
    // Copies: the effects below create entities, which may move the pools.
    const glm::vec3 position = transform->position;
    const glm::quat rotation = transform->rotation;
    const Team casterTeam = static_cast<Team>(team->team);
    const boost::any target = pending->target;
    entities.remove<SkillCastTargetComponent>(id);

    switch (endedState) {
        case FireballWindup:
            skills->slots[0].remaining = skills->slots[0].cooldown;
            releaseFireball(actor, target, position, rotation, casterTeam);
            break;
        case ChainLightningWindup:
            skills->slots[1].remaining = skills->slots[1].cooldown;
            releaseChainLightning(context, actor, target, position);
            break;
        default:
            // The wave's target point only served to turn the caster.
            skills->slots[2].remaining = skills->slots[2].cooldown;
            makeCrushingWave(entities.create(), position + glm::vec3(0.0f, kCrushingWaveHeight, 0.0f),
                             casterTeam);
            break;
    }
}

void makeFireball(Entity fireball, const glm::vec3& spawn, const glm::vec3& target, Team team) {
    EntityManager& entities = *fireball.manager();
    const Entity::Id id = fireball.id();
    entities.assign<BehaviourComponent>(id, BehaviourComponent{FireballProjectile});
    entities.assign<TeamComponent>(id, TeamComponent{team});
    PathComponent path;
    path.waypoints.push_back(target + glm::vec3(0.0f, kFireballFlightHeight, 0.0f));
    entities.assign<PathComponent>(id, std::move(path));
    attachFireballRenderables(fireball);
    entities.assign<TransformComponent>(id, TransformComponent{spawn, kIdentity, glm::vec3(1.0f)});
    entities.assign<SpeedComponent>(id, SpeedComponent{dataFloat("fireball.projectile.speed")});
    entities.assign<LifetimeComponent>(id,
                                       LifetimeComponent{0.0f, dataFloat("fireball.projectile.lifetime")});
    const float r = dataFloat("fireball.projectile.collisionRadius");
    entities.assign<CollisionComponent>(
        id, effectCollision(std::make_unique<AxisAlignedBox>(glm::vec3(-r), glm::vec3(r))));
}

void makeExplosion(Entity explosion, const glm::vec3& position, Team team) {
    EntityManager& entities = *explosion.manager();
    const Entity::Id id = explosion.id();
    entities.assign<BehaviourComponent>(id, BehaviourComponent{FireballExplosion});
    entities.assign<TransformComponent>(id, TransformComponent{position, kIdentity, glm::vec3(1.0f)});
    entities.assign<TeamComponent>(id, TeamComponent{team});
    attachExplosionRenderables(explosion);
    entities.assign<LifetimeComponent>(id, LifetimeComponent{0.0f, kExplosionLifetime});
    entities.assign<CollisionComponent>(
        id, effectCollision(
                std::make_unique<Sphere>(glm::vec3(0.0f), dataFloat("fireball.explosion.collisionRadius"))));
}

void makeCrushingWave(Entity wave, const glm::vec3& spawn, Team team) {
    EntityManager& entities = *wave.manager();
    const Entity::Id id = wave.id();
    entities.assign<BehaviourComponent>(id, BehaviourComponent{CrushingWaveBehaviour});
    entities.assign<TeamComponent>(id, TeamComponent{team});
    entities.assign<TransformComponent>(id, TransformComponent{spawn, kIdentity, glm::vec3(1.0f)});
    entities.assign<SpeedComponent>(id, SpeedComponent{dataFloat("fireball.projectile.speed")});
    entities.assign<LifetimeComponent>(id,
                                       LifetimeComponent{0.0f, dataFloat("fireball.projectile.lifetime")});
}

void makeLightning(Entity lightning, const glm::vec3& from, const glm::vec3& to) {
    EntityManager& entities = *lightning.manager();
    // The link mesh is built in world space, so the entity itself sits at the
    // origin untransformed; the transform is what lets the renderer draw it.
    entities.assign<TransformComponent>(lightning.id(),
                                        TransformComponent{glm::vec3(0.0f), kIdentity, glm::vec3(1.0f)});
    const glm::vec3 chest(0.0f, kLightningChestHeight, 0.0f);
    attachLightningRenderable(lightning, from + chest, to + chest);
    entities.assign<LifetimeComponent>(lightning.id(), LifetimeComponent{0.0f, kLightningLifetime});
}

void explodeFireball(Entity projectile) {
    if (!projectile.valid()) {
        return;
    }
    EntityManager& entities = *projectile.manager();
    const Entity::Id id = projectile.id();
    stopFireballEmission(projectile);
    // Without its behaviour it can never explode twice.
    entities.remove<BehaviourComponent>(id);
    entities.assign<LifetimeComponent>(id, LifetimeComponent{0.0f, kSpentFireballLifetime});
    const auto transform = entities.component<TransformComponent>(id);
    const auto team = entities.component<TeamComponent>(id);
    if (!transform || !team) {
        return;
    }
    const glm::vec3 position = transform->position;
    const Team explosionTeam = static_cast<Team>(team->team);
    makeExplosion(entities.create(), position, explosionTeam);
}

void fireballHit(Entity projectile, Entity other) {
    EntityManager& entities = *projectile.manager();
    const auto collision = entities.component<CollisionComponent>(other.id());
    if (!collision) {
        return;
    }
    if (collision->kind == StaticKind) {
        explodeFireball(projectile);
    } else if (collision->kind == ActorKind) {
        const auto ownTeam = entities.component<TeamComponent>(projectile.id());
        const auto otherTeam = entities.component<TeamComponent>(other.id());
        if (ownTeam && otherTeam && ownTeam->team != otherTeam->team) {
            explodeFireball(projectile);
        }
    }
}

void explosionHit(MessagePools& messages, Entity explosion, Entity other) {
    EntityManager& entities = *explosion.manager();
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
    applyDamage(messages, other, dataFloat("fireball.damage"));
}

void applyDamage(MessagePools& messages, Entity victim, float amount) {
    if (!victim.valid()) {
        return;
    }
    const auto health = victim.manager()->component<HealthComponent>(victim.id());
    // At 0 the victim was killed earlier this frame and its death is still to
    // be handled: it is not killed, nor reported, a second time.
    if (!health || health->current <= 0.0f) {
        return;
    }
    if (amount >= health->current) {
        health->current = 0.0f;
        messages.emit<ActorDiedMessage>(victim);
        stopActor(victim);
    } else {
        health->current -= amount;
    }
}
