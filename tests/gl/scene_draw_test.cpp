// The whole drawing road of the scene renderables with the shipped content:
// entities built by the render recipes are drawn entry by entry the way the
// render passes draw them (shadow pass into a depth texture in compare mode,
// main pass with that texture as "u_ShadowMap", health bars), into offscreen
// framebuffers. Every image must show something, and nothing on the way may
// log a warning or an error: no missing uniform, no missing attribute, no
// missing animation clip.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <functional>
#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <string>
#include <vector>

#include "entities/entity_manager.h"
#include "game/components.h"
#include "game/level.h"
#include "game/render_recipes.h"
#include "graphics/billboard.h"
#include "graphics/renderable.h"
#include "graphics/resources/material.h"
#include "graphics/resources/shader_program.h"
#include "io/data_manager.h"
#include "offscreen_target.h"
#include "shipped_graphics.h"
#include "support/log_capture.h"

namespace scene_draw_test {

using Severity = LogCapture::Severity;

// What one pass item holds, as the render processor collects it.
struct Item {
    Entity entity;
    glm::vec3 offset;
    const RenderEntry* entry;
};

void collect(Entity entity, const RenderNode& node, const glm::vec3& offset, std::vector<Item>& items) {
    const glm::vec3 here = offset + node.offset;
    for (const RenderEntry& entry : node.entries) {
        items.push_back({entity, here, &entry});
    }
    for (const RenderNode& child : node.children) {
        collect(entity, child, here, items);
    }
}

class SceneDraw : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        LogCapture quiet;
        shipped_graphics::load();
        DataManager::instance().clear();
        DataManager::instance().loadDirectory("data/", ".dat", true);
    }
    static void TearDownTestSuite() {
        glUseProgram(0);
        glBindVertexArray(0);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        shipped_graphics::release();
        DataManager::instance().clear();
    }
    void TearDown() override {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glCullFace(GL_BACK);
        glDisable(GL_BLEND);
        glDepthMask(GL_TRUE);
        glDepthFunc(GL_LESS);
    }

    // A new entity at position with scale, given its renderables by attach.
    Entity place(const glm::vec3& position, float scale, const std::function<void(Entity)>& attach) {
        const Entity entity = entities.create();
        entities.assign<TransformComponent>(entity.id(), position, glm::quat(1, 0, 0, 0), glm::vec3(scale));
        attach(entity);
        return entity;
    }

    glm::mat4 modelOf(const Item& item) {
        const TransformComponent& transform = *entities.component<TransformComponent>(item.entity.id());
        return glm::translate(glm::mat4(1.0f), transform.position + item.offset) *
               glm::mat4_cast(transform.rotation) * glm::scale(glm::mat4(1.0f), transform.scale);
    }

    // The uniform step of the render passes for the current program.
    void uniformStep(ShaderProgram& program, const glm::mat4& model) {
        if (program.hasUniform(Uniform::ModelViewProjection)) {
            program.setUniform(Uniform::ModelViewProjection, projection * view * model);
        }
        if (program.hasUniform(Uniform::ModelView)) {
            program.setUniform(Uniform::ModelView, view * model);
        }
        program.setUniform(Uniform::Model, model);
        program.setUniform(Uniform::View, view);
        program.setUniform(Uniform::Projection, projection);
        program.setUniform(Uniform::NormalTransform, glm::inverseTranspose(glm::mat3(view * model)));
        program.setUniform(Uniform::es_LightDirection,
                           glm::normalize(glm::inverseTranspose(glm::mat3(view)) * lightDirection));
    }

    // Draws the entity's entries: shadow pass (class 7 only), main pass, and
    // a health bar when it has health. Returns the texels of the shadow map
    // and the pixels of the image that show something.
    std::pair<std::size_t, std::size_t> draw(Entity entity, const glm::vec3& lookAt, float distance,
                                             float health = -1.0f) {
        std::vector<Item> items;
        collect(entity, entities.component<RenderComponent>(entity.id())->root, glm::vec3(0.0f), items);
        EXPECT_FALSE(items.empty());

        // Shadow pass: the light 50 units back along its direction from the
        // point the camera follows.
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT);
        shadowTarget.begin();
        const glm::vec3 lightEye = lookAt - 50.0f * lightDirection;
        view = glm::lookAt(lightEye, lightEye + lightDirection, glm::vec3(0, 1, 0));
        projection = glm::ortho(-20.0f, 20.0f, -20.0f, 20.0f, 20.0f, 80.0f);
        const glm::mat4 lightViewProjection = projection * view;
        for (const Item& item : items) {
            if (item.entry->drawClass != 7) {
                continue;
            }
            ShaderProgram& program = *item.entry->shadowProgram;
            glUseProgram(program.id());
            uniformStep(program, modelOf(item));
            item.entry->material->apply(program);
            item.entry->renderable->draw(program);
        }
        glCullFace(GL_BACK);
        const std::size_t shadowTexels = shadowTarget.drawnTexels();

        // Main pass from the camera, placed along the game's camera offset.
        colorTarget.begin(kClear);
        const glm::vec3 eye = lookAt + glm::normalize(DataManager::getVec3("camera.offset")) * distance;
        view = glm::lookAt(eye, lookAt, glm::vec3(0, 1, 0));
        projection = glm::perspective(
            glm::radians(45.0f), static_cast<float>(colorTarget.width) / colorTarget.height, 2.0f, 100.0f);
        for (const Item& item : items) {
            ShaderProgram& program = *item.entry->program;
            glUseProgram(program.id());
            program.setUniform(Uniform::ShadowMap, shadowTarget.depthTexture);
            const glm::mat4 model = modelOf(item);
            if (program.hasUniform(Uniform::ShadowMapModelViewProjection)) {
                program.setUniform(Uniform::ShadowMapModelViewProjection, lightViewProjection * model);
            }
            uniformStep(program, model);
            item.entry->material->apply(program);
            item.entry->renderable->draw(program);
        }

        // Health bar, as wide as the health left.
        if (health >= 0.0f) {
            ShaderProgram& program = *ShaderProgramManager::instance().get("Billboard");
            glUseProgram(program.id());
            const glm::vec3 position = entities.component<TransformComponent>(entity.id())->position;
            uniformStep(program, glm::translate(glm::mat4(1.0f), position + glm::vec3(0, 3, 0)));
            Billboard bar;
            bar.rect = glm::vec4(-0.64f, -0.16f, 0.64f, 0.16f);
            MaterialManager::instance().get("HealthBarBorder")->apply(program);
            bar.draw(program);
            bar.rect.z = 1.28f * health - 0.64f;
            bar.texRect.z = health;
            MaterialManager::instance().get("HealthBar")->apply(program);
            bar.draw(program);
        }
        glBindVertexArray(0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return {shadowTexels, colorTarget.drawnPixels(kClear)};
    }

    static std::vector<std::string> problems(const LogCapture& capture) {
        std::vector<std::string> found;
        for (const LogCapture::Record& record : capture.records()) {
            if (record.severity >= Severity::warning) {
                found.push_back(record.message);
            }
        }
        return found;
    }

    static inline const glm::vec4 kClear{0.3f, 0.3f, 0.3f, 1.0f};
    EntityManager entities;
    offscreen::ShadowTarget shadowTarget{512};
    offscreen::ColorTarget colorTarget{320, 240};
    glm::vec3 lightDirection = glm::normalize(DataManager::getVec3("light.direction"));
    glm::mat4 view{1.0f};
    glm::mat4 projection{1.0f};
};

TEST_F(SceneDraw, LevelObjectsCastShadowsAndAreDrawnWithTheirMaterials) {
    ASSERT_TRUE(shadowTarget.complete);
    ASSERT_TRUE(colorTarget.complete);
    LogCapture capture;
    for (const char* name : {"Rock", "Wall", "Pillar", "Tree"}) {
        LevelObject object;
        object.name = name;
        const Entity entity =
            place(glm::vec3(0.0f), 1.0f, [&](Entity e) { attachLevelObjectRenderables(e, object); });
        const auto [shadow, image] = draw(entity, glm::vec3(0.0f, 1.0f, 0.0f), 15.0f);
        EXPECT_GT(shadow, 100u) << name;
        EXPECT_GT(image, 1000u) << name;
    }
    // The floor is one-sided and faces the light: the shadow pass culls front
    // faces, so it receives shadows but writes no depth.
    LevelObject floor;
    floor.name = "Floor";
    const Entity ground =
        place(glm::vec3(0.0f), 1.0f, [&](Entity e) { attachLevelObjectRenderables(e, floor); });
    const auto [shadow, image] = draw(ground, glm::vec3(0.0f), 30.0f);
    EXPECT_EQ(shadow, 0u);
    EXPECT_GT(image, static_cast<std::size_t>(colorTarget.width * colorTarget.height) * 9 / 10);
    EXPECT_EQ(problems(capture), std::vector<std::string>());
}

TEST_F(SceneDraw, ActorsOfBothTeamsAreDrawnInEveryAnimationWithHealthBarsAndCarriedFlags) {
    LogCapture capture;
    const char* const keys[] = {
        "animation.name.idle",
        "animation.name.run",
        "animation.name.fireball.windup",
        "animation.name.fireball.backswing",
        "animation.name.chainLightning.windup",
        "animation.name.chainLightning.backswing",
        "animation.name.crushingWave.windup",
        "animation.name.crushingWave.backswing",
        "animation.name.waveform.windup",
        "animation.name.waveform.backswing",
        "animation.name.dying",
        "animation.name.dead",
    };
    for (const Team team : {Blue, Red}) {
        const Entity actor =
            place(glm::vec3(2, 0, -1), 0.1f, [team](Entity e) { attachActorRenderables(e, team); });
        const RenderEntry& body = entities.component<RenderComponent>(actor.id())->root.entries.at(0);
        std::size_t bindPose = 0;
        for (const char* key : keys) {
            const std::string clip = DataManager::getValue<std::string>(key);
            for (const float progress : {0.0f, 0.5f, 1.0f}) {
                body.renderable->animate(clip, progress, 0.016);
                const auto [shadow, image] = draw(actor, glm::vec3(2, 1, -1), 8.0f, 0.6f);
                EXPECT_GT(shadow, 50u) << clip << " " << progress;
                EXPECT_GT(image, 500u) << clip << " " << progress;
                bindPose = std::max(bindPose, image);
            }
        }
        attachCarriedFlagRenderable(actor, team == Blue ? Red : Blue);
        const auto [shadow, image] = draw(actor, glm::vec3(2, 1, -1), 8.0f, 0.0f);
        EXPECT_GT(shadow, 50u);
        EXPECT_GT(image, 500u);
    }
    EXPECT_EQ(problems(capture), std::vector<std::string>());
}

TEST_F(SceneDraw, FlagsAndLightningAreDrawnInTheMainPassOnly) {
    LogCapture capture;
    for (const Team team : {Blue, Red}) {
        const Entity flag =
            place(glm::vec3(-3, 0, 4), 1.0f, [team](Entity e) { attachFlagRenderables(e, team); });
        const auto [shadow, image] = draw(flag, glm::vec3(-3, 0, 4), 6.0f);
        EXPECT_EQ(shadow, 0u);
        EXPECT_GT(image, 200u);
    }

    const Entity link = place(glm::vec3(0.0f), 1.0f, [](Entity e) {
        attachLightningRenderable(e, glm::vec3(-6, 0, 0), glm::vec3(6, 0, 0), glm::vec3(0, 1, 0),
                                  glm::vec3(0, 1, 0));
    });
    Renderable& ribbon = *entities.component<RenderComponent>(link.id())->root.entries.at(0).renderable;
    ribbon.update(link, 0.09);
    const auto [shadow, bright] = draw(link, glm::vec3(0, 1, 0), 20.0f);
    EXPECT_EQ(shadow, 0u);
    EXPECT_GT(bright, 1000u);
    ribbon.update(link, 0.3);  // faded out: added black changes nothing
    EXPECT_EQ(draw(link, glm::vec3(0, 1, 0), 20.0f).second, 0u);
    EXPECT_EQ(problems(capture), std::vector<std::string>());
}

}  // namespace scene_draw_test
