// The render recipes without a context: the graphics registries hold no
// programs or meshes here, so every entry is left out with one record per
// name not found, and the components and nodes are still built.
#include "game/render_recipes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "entities/entity_manager.h"
#include "game/components.h"
#include "game/level.h"
#include "graphics/resources/material.h"
#include "support/log_capture.h"

namespace {
using Severity = LogCapture::Severity;

class HeadlessRenderRecipes : public ::testing::Test {
  protected:
    void SetUp() override { MaterialManager::instance().clear(); }
    void TearDown() override { MaterialManager::instance().clear(); }

    RenderComponent& render(Entity entity) {
        ComponentHandle<RenderComponent> component = entities.component<RenderComponent>(entity.id());
        EXPECT_TRUE(component);
        return *component;
    }

    EntityManager entities;
};

std::vector<std::string> absent(const char* type, std::initializer_list<const char*> names) {
    std::vector<std::string> records;
    for (const char* name : names) {
        records.push_back(std::string("No ") + type + " under that name present: \"" + name + "\"!");
    }
    return records;
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> lists) {
    std::vector<std::string> all;
    for (const auto& list : lists) {
        all.insert(all.end(), list.begin(), list.end());
    }
    return all;
}
}  // namespace

TEST_F(HeadlessRenderRecipes, EveryAbsentNameIsReportedOnceAndItsEntryLeftOut) {
    LevelObject rock;
    rock.name = "Rock";
    struct Case {
        const char* what;
        std::function<void(Entity)> attach;
        float radius;
        std::vector<std::string> records;  // in lookup order: mesh, program, shadow program, material
    };
    const Case cases[] = {
        {"actor", [](Entity e) { attachActorRenderables(e, Red); }, 22.0f,
         joined({absent("Mesh", {"Actor"}), absent("ShaderProgram", {"StandardSkeletal", "ShadowSkeletal"}),
                 absent("Material", {"Red"})})},
        {"flag", [](Entity e) { attachFlagRenderables(e, Blue); }, 2.0f,
         joined({absent("ShaderProgram", {"Billboard"}), absent("Material", {"Flag"})})},
        {"level object", [&rock](Entity e) { attachLevelObjectRenderables(e, rock); }, 100.0f,
         joined({absent("Mesh", {"Rock"}), absent("ShaderProgram", {"StandardStatic", "ShadowStatic"}),
                 absent("Material", {"Rock"})})},
        {"lightning", [](Entity e) { attachLightningRenderable(e, glm::vec3(0.0f), glm::vec3(5.0f, 0, 0)); },
         100.0f, joined({absent("ShaderProgram", {"StandardStatic"}), absent("Material", {"Lightning"})})},
    };
    for (const Case& test : cases) {
        LogCapture capture;
        const Entity entity = entities.create();
        test.attach(entity);
        const RenderComponent& component = render(entity);
        EXPECT_EQ(component.boundingRadius, test.radius) << test.what;
        EXPECT_TRUE(component.root.entries.empty()) << test.what;
        EXPECT_TRUE(component.root.children.empty()) << test.what;
        EXPECT_EQ(component.root.offset, glm::vec3(0.0f)) << test.what;
        EXPECT_EQ(capture.messages(Severity::error), test.records) << test.what;
        EXPECT_EQ(capture.messages(Severity::error).size(), capture.messages().size()) << test.what;
    }

    // With the materials registered (they need no context) only the
    // programs and the mesh are missing.
    MaterialManager::instance().loadDirectory("resources/materials/", ".mtl", true);
    ASSERT_NE(MaterialManager::instance().find("Blue"), nullptr);
    LogCapture capture;
    const Entity actor = entities.create();
    attachActorRenderables(actor, Blue);
    EXPECT_EQ(
        capture.messages(Severity::error),
        joined({absent("Mesh", {"Actor"}), absent("ShaderProgram", {"StandardSkeletal", "ShadowSkeletal"})}));
    EXPECT_TRUE(render(actor).root.entries.empty());
}

TEST_F(HeadlessRenderRecipes, ACarriedFlagIsAChildNodeAboveTheCarrierUntilDetached) {
    LogCapture capture;  // the absent graphics
    const Entity carrier = entities.create();
    attachActorRenderables(carrier, Blue);
    RenderNode other;
    other.name = "Halo";
    render(carrier).root.children.push_back(other);

    attachCarriedFlagRenderable(carrier, Red);
    std::vector<RenderNode>* children = &render(carrier).root.children;
    ASSERT_EQ(children->size(), 2u);
    EXPECT_EQ(children->at(1).name, "Flag");
    EXPECT_EQ(children->at(1).offset, glm::vec3(0.0f, 4.5f, 0.0f));
    EXPECT_TRUE(children->at(1).children.empty());

    // Detaching removes the first "Flag" child only; the others stay.
    attachCarriedFlagRenderable(carrier, Red);
    ASSERT_EQ(children->size(), 3u);
    detachCarriedFlagRenderable(carrier);
    ASSERT_EQ(children->size(), 2u);
    EXPECT_EQ(children->at(0).name, "Halo");
    EXPECT_EQ(children->at(1).name, "Flag");
    detachCarriedFlagRenderable(carrier);
    ASSERT_EQ(children->size(), 1u);
    EXPECT_EQ(children->at(0).name, "Halo");

    // Nothing to remove: unchanged, and no record.
    capture.clear();
    detachCarriedFlagRenderable(carrier);
    EXPECT_EQ(render(carrier).root.children.size(), 1u);
    EXPECT_TRUE(capture.empty());

    // A respawn rebuilds the actor's component from scratch.
    attachCarriedFlagRenderable(carrier, Blue);
    attachActorRenderables(carrier, Blue);
    EXPECT_TRUE(render(carrier).root.children.empty());

    // An entity without a render component cannot hold a flag: reported,
    // and still without one; detaching from it does nothing.
    capture.clear();
    const Entity bare = entities.create();
    attachCarriedFlagRenderable(bare, Blue);
    detachCarriedFlagRenderable(bare);
    EXPECT_FALSE(entities.has<RenderComponent>(bare.id()));
    EXPECT_EQ(capture.count(Severity::error, "has no render component to hold the flag"), 1u);
}
