// The render recipes with the shipped graphics loaded: every kind of entity
// gets the entries of its recipe, and absent names leave entries out with one
// record each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entities/entity_manager.h"
#include "game/components.h"
#include "game/game.h"
#include "game/level.h"
#include "game/render_recipes.h"
#include "graphics/billboard.h"
#include "graphics/mesh_instance.h"
#include "graphics/procedural/link_mesh_instance.h"
#include "graphics/resources/skeletal_mesh.h"
#include "graphics/resources/static_mesh.h"
#include "io/data_manager.h"
#include "mechanics/volume_manager.h"
#include "shipped_graphics.h"
#include "support/log_capture.h"

namespace render_recipes_test {

using Severity = LogCapture::Severity;

std::size_t problems(const LogCapture& capture) {
    return capture.count(Severity::warning) + capture.count(Severity::error) + capture.count(Severity::fatal);
}

class RenderRecipes : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        LogCapture quiet;
        shipped_graphics::load();
    }
    static void TearDownTestSuite() { shipped_graphics::release(); }

    const RenderEntry& onlyEntry(const RenderNode& node) {
        EXPECT_EQ(node.entries.size(), 1u) << node.name;
        return node.entries.front();
    }
    const RenderComponent& render(Entity entity) { return *entities.component<RenderComponent>(entity.id()); }

    static ShaderProgram* program(const char* name) { return ShaderProgramManager::instance().find(name); }
    static Material* material(const std::string& name) { return MaterialManager::instance().find(name); }

    EntityManager entities;
};

TEST_F(RenderRecipes, EachKindOfEntityGetsTheEntryOfItsRecipe) {
    LogCapture capture;
    for (const Team team : {Blue, Red}) {
        SCOPED_TRACE(team == Blue ? "Blue" : "Red");
        const Entity actor = entities.create();
        attachActorRenderables(actor, team);
        EXPECT_EQ(render(actor).boundingRadius, 22.0f);
        const RenderEntry& body = onlyEntry(render(actor).root);
        EXPECT_EQ(body.drawClass, 7u);
        EXPECT_EQ(body.program, program("StandardSkeletal"));
        EXPECT_EQ(body.shadowProgram, program("ShadowSkeletal"));
        EXPECT_EQ(body.material, material(team == Blue ? "Blue" : "Red"));
        const auto* skinned = dynamic_cast<const SkeletalMeshInstance*>(body.renderable.get());
        ASSERT_NE(skinned, nullptr);
        EXPECT_EQ(skinned->getMesh(), MeshManager::instance().getSkeletal("Actor"));

        const Entity flag = entities.create();
        attachFlagRenderables(flag, team);
        EXPECT_EQ(render(flag).boundingRadius, 2.0f);
        const RenderEntry& banner = onlyEntry(render(flag).root);
        EXPECT_EQ(banner.drawClass, 4u);
        EXPECT_EQ(banner.program, program("Billboard"));
        EXPECT_EQ(banner.shadowProgram, nullptr);
        EXPECT_EQ(banner.material, material("Flag"));
        const auto* billboard = dynamic_cast<const Billboard*>(banner.renderable.get());
        ASSERT_NE(billboard, nullptr);
        EXPECT_EQ(billboard->color,
                  team == Blue ? glm::vec4(0.29f, 0.43f, 0.74f, 1.0f) : glm::vec4(1.0f, 0.39f, 0.14f, 1.0f));
        // The banner's pole stands on the flag's position, its cloth flies
        // to the right, 3.2 units up.
        EXPECT_EQ(billboard->rect, glm::vec4(-0.42f, 0.0f, 2.78f, 3.2f));

        // The carried flag: a child node above the carrier in the flag's colour.
        const Team flagTeam = team == Blue ? Red : Blue;
        attachCarriedFlagRenderable(actor, flagTeam);
        ASSERT_EQ(render(actor).root.children.size(), 1u);
        const RenderNode& carried = render(actor).root.children.front();
        EXPECT_EQ(carried.name, "Flag");
        EXPECT_EQ(carried.offset, glm::vec3(0.0f, 4.5f, 0.0f));
        const RenderEntry& held = onlyEntry(carried);
        EXPECT_EQ(held.drawClass, 4u);
        EXPECT_EQ(held.program, program("Billboard"));
        EXPECT_EQ(held.shadowProgram, nullptr);
        EXPECT_EQ(held.material, material("Flag"));
        ASSERT_NE(dynamic_cast<const Billboard*>(held.renderable.get()), nullptr);
        EXPECT_EQ(dynamic_cast<const Billboard&>(*held.renderable).color, flagColor(flagTeam));
        EXPECT_EQ(render(actor).root.entries.size(), 1u);  // the body stays
        detachCarriedFlagRenderable(actor);
        EXPECT_TRUE(render(actor).root.children.empty());
        EXPECT_EQ(render(actor).root.entries.size(), 1u);
    }

    for (const char* name : {"Floor", "Rock", "Wall", "Pillar", "Tree"}) {
        SCOPED_TRACE(name);
        LevelObject object;
        object.name = name;
        const Entity entity = entities.create();
        attachLevelObjectRenderables(entity, object);
        EXPECT_EQ(render(entity).boundingRadius, 100.0f);
        const RenderEntry& entry = onlyEntry(render(entity).root);
        EXPECT_EQ(entry.drawClass, 7u);
        EXPECT_EQ(entry.program, program("StandardStatic"));
        EXPECT_EQ(entry.shadowProgram, program("ShadowStatic"));
        EXPECT_EQ(entry.material, material(name));
        const auto* instance = dynamic_cast<const StaticMeshInstance*>(entry.renderable.get());
        ASSERT_NE(instance, nullptr);
        EXPECT_EQ(instance->getMesh(), MeshManager::instance().getStatic(name));
    }

    const Entity lightning = entities.create();
    attachLightningRenderable(lightning, glm::vec3(1, 0, 2), glm::vec3(9, 0, 2), glm::vec3(0, 1, 0),
                              glm::vec3(0, 2, 0));
    EXPECT_EQ(render(lightning).boundingRadius, 100.0f);
    const RenderEntry& link = onlyEntry(render(lightning).root);
    EXPECT_EQ(link.drawClass, 5u);
    EXPECT_EQ(link.program, program("StandardStatic"));
    EXPECT_EQ(link.shadowProgram, nullptr);
    EXPECT_EQ(link.material, material("Lightning"));
    const auto* ribbon = dynamic_cast<const procedural::LinkMeshInstance*>(link.renderable.get());
    ASSERT_NE(ribbon, nullptr);
    EXPECT_EQ(ribbon->from, glm::vec3(1, 0, 2));
    EXPECT_EQ(ribbon->to, glm::vec3(9, 0, 2));
    EXPECT_EQ(ribbon->fromOffset, glm::vec3(0, 1, 0));
    EXPECT_EQ(ribbon->toOffset, glm::vec3(0, 2, 0));

    EXPECT_EQ(problems(capture), 0u) << ::testing::PrintToString(capture.messages());
}

TEST_F(RenderRecipes, AnAbsentNameLeavesTheEntryOutWithOneRecordPerFailedLookup) {
    {
        LogCapture capture;
        LevelObject statue;
        statue.name = "Statue";
        const Entity entity = entities.create();
        attachLevelObjectRenderables(entity, statue);
        EXPECT_TRUE(render(entity).root.entries.empty());
        EXPECT_EQ(render(entity).boundingRadius, 100.0f);
        EXPECT_EQ(capture.messages(Severity::error),
                  (std::vector<std::string>{"No Mesh under that name present: \"Statue\"!",
                                            "No Material under that name present: \"Statue\"!"}));
        EXPECT_EQ(problems(capture), 2u);
    }
    {
        // A level object named after a skinned mesh is no static mesh.
        LogCapture capture;
        LevelObject actor;
        actor.name = "Actor";
        const Entity entity = entities.create();
        attachLevelObjectRenderables(entity, actor);
        EXPECT_TRUE(render(entity).root.entries.empty());
        EXPECT_EQ(capture.messages(Severity::error),
                  (std::vector<std::string>{"Mesh is not a static mesh: \"Actor\"!",
                                            "No Material under that name present: \"Actor\"!"}));
    }
    {
        // Without materials the team look is missing, and only that.
        MaterialManager::instance().clear();
        LogCapture capture;
        const Entity actor = entities.create();
        attachActorRenderables(actor, Blue);
        const Entity flag = entities.create();
        attachFlagRenderables(flag, Red);
        attachCarriedFlagRenderable(actor, Red);
        EXPECT_TRUE(render(actor).root.entries.empty());
        EXPECT_TRUE(render(flag).root.entries.empty());
        ASSERT_EQ(render(actor).root.children.size(), 1u);
        EXPECT_TRUE(render(actor).root.children.front().entries.empty());
        EXPECT_EQ(capture.messages(Severity::error),
                  (std::vector<std::string>{"No Material under that name present: \"Blue\"!",
                                            "No Material under that name present: \"Flag\"!",
                                            "No Material under that name present: \"Flag\"!"}));
        MaterialManager::instance().loadDirectory("resources/materials/", ".mtl", true);
    }
}

TEST_F(RenderRecipes, TheShippedArenaIsBuiltDrawableWithoutARecord) {
    DataManager::instance().clear();
    DataManager::instance().loadDirectory("data/", ".dat", true);
    CollisionVolumeManager::instance().clear();
    CollisionVolumeManager::instance().loadDirectory("data/collision/", ".volumes", true);
    CollisionVolumeManager::instance().addFloorVolumes();
    LogCapture capture;
    {
        Game game;
        GameOptions options;
        options.windowSystems = false;
        ASSERT_TRUE(game.initialize(options));
        const uint32_t expected = 10u + static_cast<uint32_t>(game.level.objects.size());
        ASSERT_EQ(game.entities.indexCount(), expected);
        for (uint32_t index = 0; index < expected; ++index) {
            const ComponentHandle<RenderComponent> component =
                game.entities.component<RenderComponent>(Entity::Id(index, 1));
            ASSERT_TRUE(component) << index;
            EXPECT_EQ(component->root.entries.size(), 1u) << index;
        }
    }
    EXPECT_EQ(problems(capture), 0u) << ::testing::PrintToString(capture.messages(Severity::error));
    DataManager::instance().clear();
    CollisionVolumeManager::instance().clear();
}

}  // namespace render_recipes_test
