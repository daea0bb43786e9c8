// The lightning ribbon's geometry and fade, without a context: building and
// updating a link makes no OpenGL call.
#include "graphics/procedural/link_mesh_instance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/geometric.hpp>

namespace {
using procedural::LinkMeshInstance;

void expectNear(const glm::vec3& actual, const glm::vec3& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-5f);
    EXPECT_NEAR(actual.y, expected.y, 1e-5f);
    EXPECT_NEAR(actual.z, expected.z, 1e-5f);
}
}  // namespace

TEST(LinkMeshInstance, BrightnessRisesHoldsAndFadesToBlackBy032Seconds) {
    const auto b = &LinkMeshInstance::brightness;
    EXPECT_EQ(b(0.0f), 0.0f);
    EXPECT_NEAR(b(0.03f), 0.125f, 1e-6f);  // (0.5)^3 on the way up
    EXPECT_NEAR(b(0.06f), 1.0f, 1e-6f);
    EXPECT_EQ(b(0.09f), 1.0f);
    EXPECT_EQ(b(0.12f), 1.0f);  // the fade starts continuous
    EXPECT_NEAR(b(0.22f), std::pow(0.5f, 0.6f), 1e-5f);
    EXPECT_NEAR(b(0.22f), 0.66f, 0.005f);
    EXPECT_NEAR(b(0.32f), 0.0f, 1e-3f);
    for (const float late : {0.3201f, 0.5f, 10.0f}) {
        EXPECT_EQ(b(late), 0.0f) << late;
    }
    // Never negative or above one, and falling all through the fade.
    float previous = 1.0f;
    for (float t = 0.12f; t <= 0.34f; t += 0.005f) {
        const float now = b(t);
        EXPECT_LE(now, previous) << t;
        EXPECT_GE(now, 0.0f) << t;
        previous = now;
    }
    EXPECT_EQ(b(-0.1f), 0.0f);
}

TEST(LinkMeshInstance, UpdatesAccumulateTheAgeAndSetEveryVertexColour) {
    LinkMeshInstance link(glm::vec3(0.0f), glm::vec3(0.0f), glm::vec3(10.0f, 0.0f, 0.0f), glm::vec3(0.0f));
    for (const glm::vec4& color : link.getVertices().colors) {
        EXPECT_EQ(color, glm::vec4(0.0f, 0.0f, 0.0f, 1.0f));  // dark before its first update
    }
    const struct {
        double dt;
        float age;
        float brightness;
    } steps[] = {{0.09, 0.09f, 1.0f}, {0.13, 0.22f, 0.6598f}, {0.1, 0.32f, 0.0f}, {0.5, 0.82f, 0.0f}};
    for (const auto& step : steps) {
        link.update(Entity(), step.dt);
        EXPECT_NEAR(link.getElapsed(), step.age, 1e-6f);
        for (const glm::vec4& color : link.getVertices().colors) {
            EXPECT_NEAR(color.r, step.brightness, 2e-3f) << step.age;
            EXPECT_EQ(color.r, color.g);
            EXPECT_EQ(color.g, color.b);
            EXPECT_EQ(color.a, 1.0f);
        }
    }
}

TEST(LinkMeshInstance, TheRibbonIsSixUnitsWideAndHorizontalBetweenItsOffsetEnds) {
    const glm::vec3 from(1.0f, 0.0f, 2.0f);
    const glm::vec3 to(1.0f, 0.0f, 12.0f);
    const glm::vec3 lift(0.0f, 2.0f, 0.0f);
    LinkMeshInstance link(from, lift, to, lift * 0.5f);
    EXPECT_EQ(link.from, from);
    EXPECT_EQ(link.to, to);
    EXPECT_EQ(link.fromOffset, lift);
    EXPECT_EQ(link.toOffset, lift * 0.5f);
    EXPECT_EQ(link.getMesh(), nullptr);

    // Along +z, across is (B - A) x up, z x y = -x, scaled to 3.
    const glm::vec3 a = from + lift;
    const glm::vec3 b = to + lift * 0.5f;
    const glm::vec3 s(-3.0f, 0.0f, 0.0f);
    const procedural::LinkVertexBlock& block = link.getVertices();
    expectNear(block.positions[0], a + s);
    expectNear(block.positions[1], b + s);
    expectNear(block.positions[2], b - s);
    expectNear(block.positions[3], a - s);
    EXPECT_EQ(block.texCoords[0], glm::vec2(1, 0));
    EXPECT_EQ(block.texCoords[1], glm::vec2(1, 1));
    EXPECT_EQ(block.texCoords[2], glm::vec2(0, 1));
    EXPECT_EQ(block.texCoords[3], glm::vec2(0, 0));

    // The fan's first triangle faces up (counter-clockwise seen from above),
    // so back-face culling keeps it for a camera above; it is level across.
    const glm::vec3 normal =
        glm::cross(block.positions[1] - block.positions[0], block.positions[2] - block.positions[0]);
    EXPECT_GT(normal.y, 0.0f);
    EXPECT_NEAR(glm::dot(normal, s), 0.0f, 1e-3f);
}

TEST(LinkMeshInstance, ALinkWithoutHorizontalExtentIsLaidAcrossXInsteadOfNaN) {
    const glm::vec3 point(4.0f, 1.0f, -2.0f);
    for (const glm::vec3& to : {point, point + glm::vec3(0.0f, 5.0f, 0.0f)}) {
        LinkMeshInstance link(point, glm::vec3(0.0f), to, glm::vec3(0.0f));
        const procedural::LinkVertexBlock& block = link.getVertices();
        for (const glm::vec3& corner : block.positions) {
            EXPECT_FALSE(std::isnan(corner.x) || std::isnan(corner.y) || std::isnan(corner.z));
        }
        EXPECT_NEAR(glm::length(block.positions[0] - block.positions[3]), 6.0f, 1e-5f);
    }
}
