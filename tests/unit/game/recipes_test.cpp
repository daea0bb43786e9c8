#include "game/recipes.h"

#include <gtest/gtest.h>

#include <memory>

#include "entities/entity_manager.h"
#include "game/level.h"
#include "game_fixture.h"
#include "io/data_manager.h"
#include "support/log_capture.h"

namespace {
using game_test::ShippedGameData;

class Recipes : public ShippedGameData {
  protected:
    EntityManager entities;
};

const AxisAlignedBox& onlyBox(const CollisionComponent& collision) {
    EXPECT_EQ(collision.volumes.size(), 1u);
    EXPECT_EQ(collision.volumes.front()->type, CollisionVolumeType::AxisAlignedBox);
    return static_cast<const AxisAlignedBox&>(*collision.volumes.front());
}

const Sphere& onlySphere(const CollisionComponent& collision) {
    EXPECT_EQ(collision.volumes.size(), 1u);
    EXPECT_EQ(collision.volumes.front()->type, CollisionVolumeType::Sphere);
    return static_cast<const Sphere&>(*collision.volumes.front());
}
}  // namespace

TEST_F(Recipes, SkillSetsFillTheFourSlotsWithReadySkillsAndTheirCooldowns) {
    const ActorSkillsComponent attack = makeActorSkills(0);
    const int32_t setZero[] = {Fireball, ChainLightning, CrushingWave, Waveform};
    const float cooldowns[] = {1.5f, 5.0f, 8.0f, 6.0f};  // data/skills.dat
    for (std::size_t slot = 0; slot < 4; ++slot) {
        EXPECT_EQ(attack.slots[slot].skill, setZero[slot]);
        EXPECT_EQ(attack.slots[slot].remaining, 0.0f);
        EXPECT_EQ(attack.slots[slot].cooldown, cooldowns[slot]);
    }
    EXPECT_EQ(makeActorSkills(1).slots[0].skill, SweepingBlow);
    EXPECT_EQ(makeActorSkills(1).slots[3].skill, Dash);
    EXPECT_EQ(makeActorSkills(2).slots[1].skill, Shield);
    EXPECT_EQ(makeActorSkills(2).slots[3].cooldown, DataManager::getValue<float>("cooldown.teleport"));

    // Cooldowns are read when the component is built.
    DataManager::instance().clear();
    DataManager::instance().parse("cooldown.fireball = 0.25", "override.dat");
    DataManager::instance().loadDirectory("data/", ".dat", true);
    EXPECT_EQ(makeActorSkills(0).slots[0].cooldown, 0.25f);

    // There is no fourth set.
    LogCapture capture;
    EXPECT_EQ(makeActorSkills(3).slots[2].skill, CrushingWave);
    EXPECT_EQ(capture.count(LogCapture::Severity::error, "Unknown skill set [3]"), 1u);

    EXPECT_STREQ(cooldownKey(Teleport), "cooldown.teleport");
    EXPECT_EQ(cooldownKey(12), nullptr);
    EXPECT_EQ(cooldownKey(-1), nullptr);
}

TEST_F(Recipes, AnActorIsBuiltWhole) {
    const Entity actor = entities.create();
    makeActor(actor, Red, glm::vec3(3, 0, -4));
    const Entity::Id id = actor.id();

    EXPECT_EQ(entities.component<TeamComponent>(id)->team, Red);
    const TransformComponent& transform = *entities.component<TransformComponent>(id);
    EXPECT_EQ(transform.position, glm::vec3(3, 0, -4));
    EXPECT_EQ(transform.rotation, glm::quat(1, 0, 0, 0));
    EXPECT_EQ(transform.scale, glm::vec3(0.1f));
    EXPECT_EQ(entities.component<SpeedComponent>(id)->speed, 8.0f);
    EXPECT_EQ(entities.component<ActorSkillsComponent>(id)->slots[0].cooldown, 1.5f);
    EXPECT_EQ(entities.component<AnimationComponent>(id)->state, Spawn);
    EXPECT_EQ(entities.component<AnimationComponent>(id)->progress, 0.0f);
    EXPECT_EQ(entities.component<HealthComponent>(id)->current, 100.0f);
    EXPECT_EQ(entities.component<HealthComponent>(id)->maximum, 100.0f);
    const CollisionComponent& collision = *entities.component<CollisionComponent>(id);
    EXPECT_EQ(collision.kind, ActorKind);
    EXPECT_EQ(collision.isStatic, 0);
    EXPECT_EQ(onlyBox(collision).min, glm::vec3(-4, 0, -3));
    EXPECT_EQ(onlyBox(collision).max, glm::vec3(4, 22, 3));
    EXPECT_TRUE(collision.worldVolumes.empty());
    // Neither a player nor a computer player by itself.
    EXPECT_FALSE(entities.has<AiComponent>(id));
    EXPECT_FALSE(entities.has<ControlSchemeComponent>(id));
}

TEST_F(Recipes, RespawningReplacesTheActorsStateAndKeepsItsController) {
    const Entity actor = entities.create();
    makeActor(actor, Blue, glm::vec3(0, 0, 0));
    entities.assign<AiComponent>(actor.id());
    entities.component<AiComponent>(actor.id())->mode = Chase;
    entities.remove<HealthComponent>(actor.id());
    entities.assign<AnimationComponent>(actor.id(), static_cast<int32_t>(Dead), 0.7f);
    entities.component<ActorSkillsComponent>(actor.id())->slots[1].remaining = 3.0f;
    entities.component<CollisionComponent>(actor.id())
        ->worldVolumes.push_back(std::make_unique<Sphere>(glm::vec3(0.0f), 5.0f));

    makeActor(actor, Blue, glm::vec3(7, 0, 7));
    EXPECT_EQ(entities.component<TransformComponent>(actor.id())->position, glm::vec3(7, 0, 7));
    EXPECT_EQ(entities.component<HealthComponent>(actor.id())->current, 100.0f);
    EXPECT_EQ(entities.component<AnimationComponent>(actor.id())->state, Spawn);
    EXPECT_EQ(entities.component<ActorSkillsComponent>(actor.id())->slots[1].remaining, 0.0f);
    EXPECT_TRUE(entities.component<CollisionComponent>(actor.id())->worldVolumes.empty());
    EXPECT_EQ(entities.component<AiComponent>(actor.id())->mode, Chase);
}

TEST_F(Recipes, FlagsLieAtTheirBaseOrWhereTheirCarrierDroppedThem) {
    const Entity base = entities.create();
    makeFlagAtBase(base, Blue, glm::vec3(-40, 0, 0));
    EXPECT_EQ(entities.component<TransformComponent>(base.id())->position, glm::vec3(-40, 0, 0));
    EXPECT_EQ(entities.component<TransformComponent>(base.id())->scale, glm::vec3(1.0f));
    EXPECT_EQ(entities.component<TeamComponent>(base.id())->team, Blue);
    EXPECT_EQ(entities.component<BehaviourComponent>(base.id())->behaviour, FlagBehaviour);
    EXPECT_EQ(entities.component<FlagComponent>(base.id())->state, AtBase);
    const CollisionComponent& collision = *entities.component<CollisionComponent>(base.id());
    EXPECT_EQ(collision.kind, FlagKind);
    EXPECT_EQ(collision.isStatic, 0);
    EXPECT_EQ(onlySphere(collision).center, glm::vec3(0.0f));
    EXPECT_EQ(onlySphere(collision).radius, 1.0f);

    // A Red carrier drops the Blue flag, a Blue carrier the Red one.
    for (const Team carrierTeam : {Red, Blue}) {
        const Entity carrier = entities.create();
        makeActor(carrier, carrierTeam, glm::vec3(5, 0, 6));
        entities.assign<FlagComponent>(carrier.id(), static_cast<uint8_t>(Carried));
        const Entity dropped = entities.create();
        dropFlag(carrier, dropped, carrierTeam);
        EXPECT_FALSE(entities.has<FlagComponent>(carrier.id()));
        EXPECT_EQ(entities.component<TeamComponent>(dropped.id())->team, carrierTeam == Red ? Blue : Red);
        EXPECT_EQ(entities.component<FlagComponent>(dropped.id())->state, Dropped);
        EXPECT_EQ(entities.component<TransformComponent>(dropped.id())->position, glm::vec3(5, 0, 6));
        EXPECT_EQ(entities.component<TransformComponent>(dropped.id())->scale, glm::vec3(1.0f));
        EXPECT_EQ(entities.component<BehaviourComponent>(dropped.id())->behaviour, FlagBehaviour);
        EXPECT_EQ(entities.component<CollisionComponent>(dropped.id())->kind, FlagKind);
        EXPECT_EQ(onlySphere(*entities.component<CollisionComponent>(dropped.id())).radius, 1.0f);
    }

    // A carrier without a position still drops the flag, at the origin.
    LogCapture capture;
    const Entity nowhere = entities.create();
    entities.assign<FlagComponent>(nowhere.id(), static_cast<uint8_t>(Carried));
    const Entity lost = entities.create();
    dropFlag(nowhere, lost, Red);
    EXPECT_EQ(entities.component<TransformComponent>(lost.id())->position, glm::vec3(0.0f));
    EXPECT_EQ(capture.count(LogCapture::Severity::error, "has no position"), 1u);
}

TEST_F(Recipes, LevelObjectsGetTheirRegisteredVolumesAsStaticGeometry) {
    LevelObject wall;
    wall.name = "Wall";
    wall.position = glm::vec3(28, 0, 0);
    wall.rotation = glm::quat(0.7071068f, 0.0f, 0.7071068f, 0.0f);
    wall.scale = glm::vec3(1.25f, 1.0f, 1.0f);
    const Entity object = entities.create();
    makeLevelObject(object, wall);

    const CollisionComponent& collision = *entities.component<CollisionComponent>(object.id());
    EXPECT_EQ(collision.kind, StaticKind);
    EXPECT_EQ(collision.isStatic, 1);
    const CollisionVolumeList& registered = *CollisionVolumeManager::instance().get("Wall");
    ASSERT_EQ(collision.volumes.size(), registered.size());
    ASSERT_FALSE(registered.empty());
    // Copies, not the registry's own volumes.
    EXPECT_NE(collision.volumes.front().get(), registered.front().get());
    EXPECT_EQ(collision.volumes.front()->type, registered.front()->type);
    const TransformComponent& transform = *entities.component<TransformComponent>(object.id());
    EXPECT_EQ(transform.position, wall.position);
    EXPECT_EQ(transform.rotation, wall.rotation);
    EXPECT_EQ(transform.scale, wall.scale);

    LevelObject floor;
    floor.name = "Floor";
    const Entity ground = entities.create();
    makeLevelObject(ground, floor);
    EXPECT_EQ(onlyBox(*entities.component<CollisionComponent>(ground.id())).min, glm::vec3(-50, -10, -50));

    // An unknown name: the registry's error, and geometry without volumes.
    LogCapture capture;
    LevelObject statue;
    statue.name = "Statue";
    const Entity unknown = entities.create();
    makeLevelObject(unknown, statue);
    EXPECT_TRUE(entities.component<CollisionComponent>(unknown.id())->volumes.empty());
    EXPECT_TRUE(entities.has<TransformComponent>(unknown.id()));
    EXPECT_EQ(capture.count(LogCapture::Severity::error,
                            "No CollisionVolumeList under that name present: \"Statue\""),
              1u);
}
