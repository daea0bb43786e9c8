#include "graphics/particles/particle_initializers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/geometric.hpp>
#include <glm/gtc/constants.hpp>
#include <glm/gtc/quaternion.hpp>

#include "entities/entity_manager.h"
#include "game/components.h"
#include "particle_test_support.h"
#include "utils/random.h"

using namespace particle_test;
namespace init = particle_initializers;

namespace {

void expectVec3Near(const glm::vec3& actual, const glm::vec3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// An entity at (10, 0, 0), turned a quarter about y, scaled by 2.
Entity placedEntity(EntityManager& manager) {
    const Entity entity = manager.create();
    manager.assign<TransformComponent>(
        entity.id(), TransformComponent{glm::vec3(10.0f, 0.0f, 0.0f),
                                        glm::angleAxis(glm::half_pi<float>(), glm::vec3(0.0f, 1.0f, 0.0f)),
                                        glm::vec3(2.0f)});
    return entity;
}

}  // namespace

TEST(PositionOnPoint, PlacesModelSpaceParticlesOnThePointAndWorldSpaceOnesByTheEntity) {
    EntityManager manager;
    const Entity entity = placedEntity(manager);
    const init::PositionOnPoint onPoint(glm::vec3(1.0f, 0.0f, 0.0f));

    const ParticleSystem modelSystem = bare(1, ParticleSystem::ModelSpace);
    ParticleSystemInstance model(modelSystem);
    onPoint.initialize(model, entity, 0);
    expectVec3Near(model.vertex(0).position, glm::vec3(1.0f, 0.0f, 0.0f));

    // Scaled to (2, 0, 0), turned to (0, 0, -2), moved to (10, 0, -2).
    const ParticleSystem worldSystem = bare(1, ParticleSystem::WorldSpace);
    ParticleSystemInstance world(worldSystem);
    onPoint.initialize(world, entity, 0);
    expectVec3Near(world.vertex(0).position, glm::vec3(10.0f, 0.0f, -2.0f));

    // An entity without a transform, an empty entity and a destroyed one all
    // count as standing at the origin.
    const Entity bareEntity = manager.create();
    const Entity gone = placedEntity(manager);
    manager.destroy(gone.id());
    for (const Entity& unplaced : {bareEntity, Entity(), gone}) {
        world.vertex(0).position = glm::vec3(-7.0f);
        onPoint.initialize(world, unplaced, 0);
        expectVec3Near(world.vertex(0).position, glm::vec3(1.0f, 0.0f, 0.0f));
    }
}

TEST(PositionInSphere, PlacesParticlesInTheShellAndSendsThemOutwardsAtADrawnSpeed) {
    RandomGenerator::seed(5);
    const ParticleSystem system = bare(1);
    ParticleSystemInstance instance(system);
    const glm::vec3 center(1.0f, 2.0f, 3.0f);
    const init::PositionInSphere shell(center, 0.5f, 2.0f, glm::vec3(1.0f), 5.0f, 6.0f);
    glm::vec3 meanDirection(0.0f);
    for (int k = 0; k < 2000; ++k) {
        shell.initialize(instance, Entity(), 0);
        const glm::vec3 offset = instance.vertex(0).position - center;
        const float distance = glm::length(offset);
        ASSERT_GE(distance, 0.5f - 1e-5f);
        ASSERT_LE(distance, 2.0f + 1e-5f);
        const glm::vec3 velocity = instance.vertex(0).velocity;
        const float speed = glm::length(velocity);
        ASSERT_GE(speed, 5.0f - 1e-4f);
        ASSERT_LE(speed, 6.0f + 1e-4f);
        // Outwards along the offset.
        ASSERT_NEAR(glm::dot(offset / distance, velocity / speed), 1.0f, 1e-4f);
        ASSERT_EQ(instance.origin(0).velocity, velocity);
        meanDirection += offset / distance;
    }
    // Spread over the whole sphere: no direction is favoured.
    expectVec3Near(meanDirection / 2000.0f, glm::vec3(0.0f), 0.08f);
}

TEST(PositionInSphere, FlattensByTheAxisScaleAndLeavesVelocityAloneWithoutASpeed) {
    RandomGenerator::seed(6);
    const ParticleSystem system = bare(1);
    ParticleSystemInstance instance(system);
    const init::PositionInSphere flat(glm::vec3(0.0f, 4.0f, 0.0f), 0.0f, 0.75f, glm::vec3(1.0f, 0.0f, 1.0f),
                                      1.25f, 1.45f);
    for (int k = 0; k < 2000; ++k) {
        flat.initialize(instance, Entity(), 0);
        const ParticleVertex& vertex = instance.vertex(0);
        ASSERT_EQ(vertex.position.y, 4.0f);
        ASSERT_LE(glm::length(vertex.position - glm::vec3(0.0f, 4.0f, 0.0f)), 0.75f + 1e-5f);
        // Flying flat, never a not-a-number even from the very centre.
        ASSERT_TRUE(std::isfinite(vertex.velocity.x) && std::isfinite(vertex.velocity.z));
        ASSERT_EQ(vertex.velocity.y, 0.0f);
        ASSERT_LE(glm::length(vertex.velocity), 1.45f + 1e-4f);
    }
    // A particle born on the centre still flies out at a drawn speed.
    const init::PositionInSphere point(glm::vec3(0.0f), 0.0f, 0.0f, glm::vec3(1.0f), 2.0f, 2.0f);
    point.initialize(instance, Entity(), 0);
    expectVec3Near(instance.vertex(0).position, glm::vec3(0.0f));
    EXPECT_NEAR(glm::length(instance.vertex(0).velocity), 2.0f, 1e-5f);

    // No speed range: the velocity is not touched.
    instance.vertex(0).velocity = glm::vec3(0.0f, 9.0f, 0.0f);
    instance.origin(0).velocity = glm::vec3(0.0f, 9.0f, 0.0f);
    const init::PositionInSphere still(glm::vec3(0.0f), 0.0f, 0.5f, glm::vec3(1.0f), 0.0f, 0.0f);
    still.initialize(instance, Entity(), 0);
    EXPECT_EQ(instance.vertex(0).velocity, glm::vec3(0.0f, 9.0f, 0.0f));
    EXPECT_EQ(instance.origin(0).velocity, glm::vec3(0.0f, 9.0f, 0.0f));
}

TEST(PositionInSphere, CarriesWorldSpacePositionsByTheEntityButNotTheVelocity) {
    EntityManager manager;
    const Entity entity = placedEntity(manager);
    const ParticleSystem system = bare(1, ParticleSystem::WorldSpace);
    ParticleSystemInstance instance(system);
    const init::PositionInSphere shell(glm::vec3(0.0f), 1.0f, 1.0f, glm::vec3(1.0f), 3.0f, 3.0f);
    for (int k = 0; k < 100; ++k) {
        shell.initialize(instance, entity, 0);
        // A unit shell scaled by 2 around the entity.
        ASSERT_NEAR(glm::length(instance.vertex(0).position - glm::vec3(10.0f, 0.0f, 0.0f)), 2.0f, 1e-4f);
        ASSERT_NEAR(glm::length(instance.vertex(0).velocity), 3.0f, 1e-4f);
    }
}

TEST(ColorInitializer, DrawsOneFactorForAllChannelsOrOnePerChannel) {
    RandomGenerator::seed(8);
    const ParticleSystem system = bare(1);
    ParticleSystemInstance instance(system);
    const glm::vec4 a(0.0f, 0.2f, 0.4f, 1.0f);
    const glm::vec4 b(1.0f, 0.4f, 0.8f, 0.0f);
    const init::Color together(a, b);
    bool channelsDiffered = false;
    for (int k = 0; k < 200; ++k) {
        together.initialize(instance, Entity(), 0);
        const glm::vec4 color = instance.vertex(0).color;
        const float r = color.r;  // the factor, since A.r = 0 and B.r = 1
        ASSERT_NEAR(color.g, 0.2f + 0.2f * r, 1e-5f);
        ASSERT_NEAR(color.b, 0.4f + 0.4f * r, 1e-5f);
        ASSERT_NEAR(color.a, 1.0f - r, 1e-5f);
        ASSERT_EQ(instance.origin(0).color, color);
    }
    const init::Color apart(glm::vec4(0.0f), glm::vec4(1.0f), true);
    for (int k = 0; k < 200; ++k) {
        apart.initialize(instance, Entity(), 0);
        const glm::vec4 color = instance.vertex(0).color;
        for (int c = 0; c < 4; ++c) {
            ASSERT_GE(color[c], 0.0f);
            ASSERT_LE(color[c], 1.0f);
        }
        channelsDiffered = channelsDiffered || color.r != color.g;
        ASSERT_EQ(instance.origin(0).color, color);
    }
    EXPECT_TRUE(channelsDiffered);

    const init::Color single(glm::vec4(1.0f, 0.6f, 0.6f, 1.0f));
    single.initialize(instance, Entity(), 0);
    EXPECT_EQ(instance.vertex(0).color, glm::vec4(1.0f, 0.6f, 0.6f, 1.0f));
}

TEST(ScalarAndVelocityInitializers, DrawWithinTheirRangesIntoVertexAndOrigin) {
    RandomGenerator::seed(9);
    const ParticleSystem system = bare(1);
    ParticleSystemInstance instance(system);
    const init::Size size(3.0f, 4.0f);
    const init::Rotation rotation(-180.0f, 180.0f);
    const init::Velocity velocity(glm::vec3(0.0f, 1.0f, -2.0f), glm::vec3(2.0f, 1.0f, 2.0f));
    float smallest = 4.0f;
    float largest = 3.0f;
    for (int k = 0; k < 500; ++k) {
        size.initialize(instance, Entity(), 0);
        rotation.initialize(instance, Entity(), 0);
        velocity.initialize(instance, Entity(), 0);
        const ParticleVertex& vertex = instance.vertex(0);
        const ParticleOrigin& origin = instance.origin(0);
        ASSERT_GE(vertex.size, 3.0f);
        ASSERT_LE(vertex.size, 4.0f);
        ASSERT_GE(vertex.rotation, -180.0f);
        ASSERT_LE(vertex.rotation, 180.0f);
        // One factor for all three components: z = -2 + 4 r where x = 2 r.
        ASSERT_EQ(vertex.velocity.y, 1.0f);
        ASSERT_NEAR(vertex.velocity.z, -2.0f + 2.0f * vertex.velocity.x, 1e-5f);
        ASSERT_EQ(origin.size, vertex.size);
        ASSERT_EQ(origin.rotation, vertex.rotation);
        ASSERT_EQ(origin.velocity, vertex.velocity);
        smallest = std::min(smallest, vertex.size);
        largest = std::max(largest, vertex.size);
    }
    EXPECT_LT(smallest, 3.1f);
    EXPECT_GT(largest, 3.9f);

    init::Size(0.15f).initialize(instance, Entity(), 0);
    EXPECT_EQ(instance.vertex(0).size, 0.15f);
}
