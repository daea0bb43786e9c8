#include "graphics/draw_queue.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "entities/entity_manager.h"
#include "game/components.h"
#include "graphics/render_processor.h"
#include "graphics/renderable.h"
#include "graphics/resources/material.h"
#include "graphics/resources/shader_program.h"

namespace draw_queue_test {

// Records the animation calls it receives; never drawn here.
class RecordingRenderable : public Renderable {
  public:
    void setupVertexAttributes(ShaderProgram&) override {}
    void draw(ShaderProgram&) override {}
    void animate(const std::string& name, float time, double dt) override {
        animations.push_back(name + "@" + std::to_string(time) + "/" + std::to_string(dt));
    }
    std::vector<std::string> animations;
};

class DrawQueue : public ::testing::Test {
  protected:
    // Program objects with made-up names; without a context their destructor
    // deletes nothing.
    ShaderProgram programA{3};
    ShaderProgram programB{9};

    Entity addEntity(const glm::vec3& position, float radius) {
        const Entity entity = entities.create();
        entities.assign<TransformComponent>(entity.id(), TransformComponent{position});
        RenderComponent render;
        render.boundingRadius = radius;
        entities.assign<RenderComponent>(entity.id(), render);
        return entity;
    }

    std::shared_ptr<RecordingRenderable> addEntry(Entity entity, uint32_t drawClass, ShaderProgram* program,
                                                  RenderNode* node = nullptr) {
        auto renderable = std::make_shared<RecordingRenderable>();
        RenderEntry entry;
        entry.drawClass = drawClass;
        entry.program = program;
        entry.renderable = renderable;
        RenderNode& target = node != nullptr ? *node : entities.component<RenderComponent>(entity.id())->root;
        target.entries.push_back(entry);
        return renderable;
    }

    // Planes of a camera at the origin looking down -z.
    static FrustumPlanes forward() {
        return computeFrustumPlanes(glm::vec3(0.0f), glm::vec3(0, 0, -1), 2.0f, 100.0f, 45.0f, 1.0f);
    }

    EntityManager entities;
};

TEST_F(DrawQueue, OrdersByClassThenProgramSoThatItemsSharingAProgramAreDrawnTogether) {
    // Collected in the order flag, effect, wave, actor, effect, actor, flag.
    const Entity e = addEntity(glm::vec3(0, 0, -20), 1.0f);
    addEntry(e, 4, &programA);
    addEntry(e, 5, &programA);
    addEntry(e, 6, &programB);
    addEntry(e, 7, &programA);
    addEntry(e, 5, &programB);
    addEntry(e, 7, &programB);
    addEntry(e, 4, &programB);
    std::vector<DrawItem> items;
    collectDrawItems(entities, forward(), true, {}, 0.0, items);
    orderDrawItems(items);

    ASSERT_EQ(items.size(), 7u);
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{7, 9}, {7, 3}, {6, 9}, {5, 9},
                                                                 {5, 3}, {4, 9}, {4, 3}};
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].drawClass, expected[i].first) << i;
        EXPECT_EQ(items[i].program->id(), expected[i].second) << i;
    }
}

TEST_F(DrawQueue, DrawsTheGroundAfterWhatStandsOnItWithinOneClassAndProgram) {
    Material ground;
    ground.selectionSampler = "selection.png";
    Material stone;
    const Entity floor = addEntity(glm::vec3(0, 0, -20), 1.0f);
    const Entity wall = addEntity(glm::vec3(0, 0, -20), 1.0f);
    const Entity actor = addEntity(glm::vec3(0, 0, -20), 1.0f);
    const Entity flag = addEntity(glm::vec3(0, 0, -20), 1.0f);
    const auto add = [&](Entity entity, uint32_t drawClass, ShaderProgram* program, Material* material) {
        addEntry(entity, drawClass, program);
        entities.component<RenderComponent>(entity.id())->root.entries.back().material = material;
    };
    // Collected ground first, as the level lists it.
    add(floor, 7, &programA, &ground);
    add(wall, 7, &programA, &stone);
    add(actor, 7, &programB, &stone);
    add(flag, 4, &programB, &stone);
    add(wall, 7, &programA, &stone);
    std::vector<DrawItem> items;
    collectDrawItems(entities, forward(), true, {}, 0.0, items);
    orderDrawItems(items);

    // Class and program still come first: the terrain moves only within its group.
    std::vector<Entity> order;
    for (const DrawItem& item : items) {
        order.push_back(item.entity);
    }
    EXPECT_EQ(order, (std::vector<Entity>{actor, wall, wall, floor, flag}));
}

TEST_F(DrawQueue, CullsEntitiesWhoseSphereLiesBehindTheCameraUnlessCullingIsOff) {
    const Entity ahead = addEntity(glm::vec3(0, 0, -20), 1.0f);
    const Entity behind = addEntity(glm::vec3(0, 0, 20), 1.0f);
    const Entity bigBehind = addEntity(glm::vec3(0, 0, 20), 25.0f);  // reaches into view
    const Entity scaledBehind = addEntity(glm::vec3(0, 0, 20), 1.0f);
    entities.component<TransformComponent>(scaledBehind.id())->scale = glm::vec3(1, 30, 1);
    for (const Entity entity : {ahead, behind, bigBehind, scaledBehind}) {
        addEntry(entity, 7, &programA);
        entities.assign<AnimationComponent>(entity.id(), AnimationComponent{Idle, 0.25f});
    }
    const auto animated = [&](Entity entity) {
        return !std::static_pointer_cast<RecordingRenderable>(
                    entities.component<RenderComponent>(entity.id())->root.entries[0].renderable)
                    ->animations.empty();
    };
    const AnimationNames names = {{Idle, "Idle"}};

    std::vector<DrawItem> items;
    collectDrawItems(entities, forward(), true, names, 0.016, items);
    std::vector<Entity> drawn;
    for (const DrawItem& item : items) {
        drawn.push_back(item.entity);
    }
    EXPECT_EQ(drawn, (std::vector<Entity>{ahead, bigBehind, scaledBehind}));
    EXPECT_TRUE(animated(ahead));
    EXPECT_FALSE(animated(behind));  // neither animated nor drawn

    items.clear();
    collectDrawItems(entities, forward(), false, names, 0.016, items);
    EXPECT_EQ(items.size(), 4u);
    EXPECT_TRUE(animated(behind));
}

TEST_F(DrawQueue, AnimatesEveryEntryOfTheTreeAndSumsNodeOffsets) {
    const Entity actor = addEntity(glm::vec3(0, 0, -20), 1.0f);
    RenderComponent& render = *entities.component<RenderComponent>(actor.id());
    render.root.offset = glm::vec3(0, 1, 0);
    RenderNode flag;
    flag.name = "Flag";
    flag.offset = glm::vec3(0, 4.5f, 0);
    RenderNode tip;
    tip.offset = glm::vec3(1, 0, 0);
    flag.children.push_back(tip);
    render.root.children.push_back(flag);
    const auto body = addEntry(actor, 7, &programA);
    const auto banner = addEntry(actor, 4, &programB, &render.root.children[0]);
    const auto pennant = addEntry(actor, 4, &programB, &render.root.children[0].children[0]);
    entities.assign<AnimationComponent>(actor.id(), AnimationComponent{AnimationState::Run, 0.5f});

    std::vector<DrawItem> items;
    collectDrawItems(entities, forward(), true, {{AnimationState::Run, "Run"}}, 0.25, items);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].offset, glm::vec3(0, 1, 0));
    EXPECT_EQ(items[1].offset, glm::vec3(0, 5.5f, 0));
    EXPECT_EQ(items[2].offset, glm::vec3(1, 5.5f, 0));
    for (const auto& renderable : {body, banner, pennant}) {
        EXPECT_EQ(renderable->animations, std::vector<std::string>{"Run@0.500000/0.250000"});
    }
}

TEST_F(DrawQueue, AStateWithoutAClipNameLeavesThePoseAlone) {
    const Entity actor = addEntity(glm::vec3(0, 0, -20), 1.0f);
    const auto body = addEntry(actor, 7, &programA);
    entities.assign<AnimationComponent>(actor.id(), AnimationComponent{Spawn, 0.0f});
    std::vector<DrawItem> items;
    collectDrawItems(entities, forward(), true, {{Idle, "Idle"}}, 0.1, items);
    EXPECT_EQ(items.size(), 1u);  // still drawn
    EXPECT_TRUE(body->animations.empty());
}

TEST(HealthBar, FillIsCurrentOverMaximumClampedToTheBar) {
    struct Case {
        float current;
        float maximum;
        float fraction;
    };
    const Case cases[] = {
        {100, 100, 1.0f}, {50, 100, 0.5f}, {0, 100, 0.0f}, {-20, 100, 0.0f},
        {150, 100, 1.0f}, {10, 0, 0.0f},   {10, -5, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.current) + " of " + std::to_string(c.maximum));
        const float f = RenderProcessor::healthFraction(c.current, c.maximum);
        EXPECT_FLOAT_EQ(f, c.fraction);
        const glm::vec4 fill = RenderProcessor::healthBarFillRect(f);
        EXPECT_FLOAT_EQ(fill.x, -0.64f);
        EXPECT_NEAR(fill.z, 1.28f * c.fraction - 0.64f, 1e-6f);
        EXPECT_FLOAT_EQ(fill.y, -0.16f);
        EXPECT_FLOAT_EQ(fill.w, 0.16f);
        EXPECT_EQ(RenderProcessor::healthBarFillTexRect(f), glm::vec4(0, 0, c.fraction, 1));
    }
    EXPECT_EQ(RenderProcessor::healthBarBorderRect(), glm::vec4(-0.64f, -0.16f, 0.64f, 0.16f));
}

}  // namespace draw_queue_test
