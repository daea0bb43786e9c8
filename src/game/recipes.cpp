#include "game/recipes.h"

#include <array>
#include <memory>

#include "entities/entity_manager.h"
#include "game/level.h"
#include "game/render_recipes.h"
#include "io/data_manager.h"
#include "mechanics/volume_manager.h"
#include "utils/log.h"

namespace {
const glm::quat kIdentity(1.0f, 0.0f, 0.0f, 0.0f);  // w, x, y, z

constexpr std::array<const char*, 12> kCooldownKeys = {
    "cooldown.fireball",     "cooldown.chainLightning", "cooldown.crushingWave", "cooldown.waveform",
    "cooldown.sweepingBlow", "cooldown.shurikenToss",   "cooldown.manaBurn",     "cooldown.dash",
    "cooldown.implode",      "cooldown.shield",         "cooldown.illusion",     "cooldown.teleport",
};

CollisionComponent flagCollision() {
    CollisionComponent collision;
    collision.kind = FlagKind;
    collision.isStatic = 0;
    collision.volumes.push_back(std::make_unique<Sphere>(glm::vec3(0.0f), 1.0f));
    return collision;
}

Team otherTeam(Team team) {
    return team == Red ? Blue : Red;
}
}  // namespace

const char* cooldownKey(int32_t skill) {
    if (skill < 0 || skill >= static_cast<int32_t>(kCooldownKeys.size())) {
        return nullptr;
    }
    return kCooldownKeys[static_cast<std::size_t>(skill)];
}

ActorSkillsComponent makeActorSkills(uint8_t skillSet) {
    if (skillSet > 2) {
        LOG(error) << "Unknown skill set [" << static_cast<int>(skillSet) << "], using set 0!";
        skillSet = 0;
    }
    ActorSkillsComponent skills;
    for (std::size_t slot = 0; slot < skills.slots.size(); ++slot) {
        const int32_t skill = static_cast<int32_t>(skillSet * 4 + slot);
        skills.slots[slot].skill = skill;
        skills.slots[slot].remaining = 0.0f;
        skills.slots[slot].cooldown = DataManager::getValue<float>(cooldownKey(skill));
    }
    return skills;
}

void makeActor(Entity actor, Team team, const glm::vec3& position) {
    EntityManager& entities = *actor.manager();
    const Entity::Id id = actor.id();
    entities.assign<TeamComponent>(id, static_cast<uint8_t>(team));
    entities.assign<TransformComponent>(id, position, kIdentity, glm::vec3(0.1f));
    entities.assign<SpeedComponent>(id, kActorSpeed);
    entities.assign<ActorSkillsComponent>(id, makeActorSkills(0));
    attachActorRenderables(actor, team);
    entities.assign<AnimationComponent>(id, static_cast<int32_t>(Spawn), 0.0f);
    CollisionComponent collision;
    collision.kind = ActorKind;
    collision.isStatic = 0;
    collision.volumes.push_back(
        std::make_unique<AxisAlignedBox>(glm::vec3(-4.0f, 0.0f, -3.0f), glm::vec3(4.0f, 22.0f, 3.0f)));
    entities.assign<CollisionComponent>(id, std::move(collision));
    entities.assign<HealthComponent>(id, kActorHealth, kActorHealth);
}

void makeFlagAtBase(Entity flag, Team team, const glm::vec3& position) {
    EntityManager& entities = *flag.manager();
    const Entity::Id id = flag.id();
    entities.assign<TransformComponent>(id, position, kIdentity, glm::vec3(1.0f));
    entities.assign<TeamComponent>(id, static_cast<uint8_t>(team));
    entities.assign<BehaviourComponent>(id, static_cast<int32_t>(FlagBehaviour));
    entities.assign<CollisionComponent>(id, flagCollision());
    entities.assign<FlagComponent>(id, static_cast<uint8_t>(AtBase));
    attachFlagRenderables(flag, team);
}

void dropFlag(Entity carrier, Entity newFlag, Team carrierTeam) {
    EntityManager& entities = *carrier.manager();
    glm::vec3 position(0.0f);
    if (const auto transform = entities.component<TransformComponent>(carrier.id())) {
        position = transform->position;
    } else {
        LOG(error) << "Flag carrier [" << carrier.index()
                   << "] has no position, dropping the flag at the origin!";
    }
    entities.remove<FlagComponent>(carrier.id());
    detachCarriedFlagRenderable(carrier);

    const Team flagTeam = otherTeam(carrierTeam);
    EntityManager& flagEntities = *newFlag.manager();
    const Entity::Id id = newFlag.id();
    flagEntities.assign<TransformComponent>(id, position, kIdentity, glm::vec3(1.0f));
    flagEntities.assign<TeamComponent>(id, static_cast<uint8_t>(flagTeam));
    flagEntities.assign<BehaviourComponent>(id, static_cast<int32_t>(FlagBehaviour));
    flagEntities.assign<CollisionComponent>(id, flagCollision());
    flagEntities.assign<FlagComponent>(id, static_cast<uint8_t>(Dropped));
    attachFlagRenderables(newFlag, flagTeam);
}

void makeLevelObject(Entity object, const LevelObject& entry) {
    EntityManager& entities = *object.manager();
    const Entity::Id id = object.id();
    attachLevelObjectRenderables(object, entry);
    CollisionComponent collision;
    collision.kind = StaticKind;
    collision.isStatic = 1;
    CollisionVolumeManager::instance().attachVolumes(entry.name, collision.volumes);
    entities.assign<CollisionComponent>(id, std::move(collision));
    entities.assign<TransformComponent>(id, entry.position, entry.rotation, entry.scale);
}
