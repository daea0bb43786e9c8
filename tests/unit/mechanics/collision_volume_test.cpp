#include "mechanics/collision_volume.h"

#include <gtest/gtest.h>

#include <glm/gtc/constants.hpp>

#include "mechanics_test_support.h"

namespace {
using boost::log::trivial::error;
using mechanics_test::LogRecorder;

void expectNear(const glm::vec3& actual, const glm::vec3& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-5f);
    EXPECT_NEAR(actual.y, expected.y, 1e-5f);
    EXPECT_NEAR(actual.z, expected.z, 1e-5f);
}

// A quarter turn about +y: +x goes to -z, +z to +x.
const glm::quat quarterTurnY = glm::angleAxis(glm::half_pi<float>(), glm::vec3(0, 1, 0));
}  // namespace

TEST(CollisionVolume, CopiesAreDeepAndInvalidTypesAreNotCopied) {
    ConvexHull hull({{1, 2, 3}}, {{0, 1, 0}});
    auto copy = cloneVolume(hull);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->type, CollisionVolumeType::ConvexHull);
    auto& copiedHull = static_cast<ConvexHull&>(*copy);
    copiedHull.vertices[0] = glm::vec3(9);
    EXPECT_EQ(hull.vertices[0], glm::vec3(1, 2, 3));
    EXPECT_EQ(copiedHull.axes, hull.axes);

    CollisionVolumeList source;
    source.push_back(std::make_unique<Sphere>(glm::vec3(1, 2, 3), 4.0f));
    source.push_back(std::make_unique<CollisionVolume>(static_cast<CollisionVolumeType>(7)));
    source.push_back(std::make_unique<AxisAlignedBox>(glm::vec3(-1), glm::vec3(1)));
    CollisionVolumeList target;
    LogRecorder log;
    appendVolumeCopies(source, target);
    EXPECT_EQ(log.errors(), 0);
    ASSERT_EQ(target.size(), 2u);
    ASSERT_EQ(target[0]->type, CollisionVolumeType::Sphere);
    EXPECT_EQ(static_cast<Sphere&>(*target[0]).center, glm::vec3(1, 2, 3));
    EXPECT_EQ(static_cast<Sphere&>(*target[0]).radius, 4.0f);
    ASSERT_EQ(target[1]->type, CollisionVolumeType::AxisAlignedBox);
    EXPECT_EQ(static_cast<AxisAlignedBox&>(*target[1]).max, glm::vec3(1));
    EXPECT_NE(target[0].get(), source[0].get());
}

TEST(CollisionVolume, RotateMatchesTheQuaternionProduct) {
    expectNear(rotateVector(quarterTurnY, {1, 0, 0}), {0, 0, -1});
    expectNear(rotateVector(quarterTurnY, {0, 0, 1}), {1, 0, 0});
    const glm::quat q = glm::normalize(glm::quat(0.3f, -0.5f, 0.7f, 0.2f));
    const glm::vec3 v(1.5f, -2, 0.25f);
    expectNear(rotateVector(q, v), q * v);
    expectNear(rotateVector(glm::quat(1, 0, 0, 0), v), v);
}

TEST(CollisionVolume, BoxesMoveAndScaleButIgnoreRotation) {
    const AxisAlignedBox local({-1, 0, -2}, {1, 2, 2});
    AxisAlignedBox world;
    EXPECT_TRUE(transformVolume(local, world, {10, 20, 30}, quarterTurnY, {2, 3, 0.5f}));
    EXPECT_EQ(world.min, glm::vec3(8, 20, 29));
    EXPECT_EQ(world.max, glm::vec3(12, 26, 31));
}

TEST(CollisionVolume, SphereRadiusScalesWithTheFirstScaleComponent) {
    const Sphere local({1, 1, 1}, 2);
    Sphere world;
    EXPECT_TRUE(transformVolume(local, world, {0, 5, 0}, quarterTurnY, {3, 10, 10}));
    EXPECT_EQ(world.center, glm::vec3(3, 15, 10));
    EXPECT_EQ(world.radius, 6.0f);
}

TEST(CollisionVolume, HullVerticesAreScaledRotatedAndMovedWhileAxesOnlyRotate) {
    const ConvexHull local({{1, 0, 0}, {0, 1, 2}}, {{1, 0, 0}, {0, 1, 0}});
    ConvexHull world;
    EXPECT_TRUE(transformVolume(local, world, {10, 0, 0}, quarterTurnY, {2, 3, 1}));
    ASSERT_EQ(world.vertices.size(), 2u);
    expectNear(world.vertices[0], {10, 0, -2});  // (2, 0, 0) turned to (0, 0, -2)
    expectNear(world.vertices[1], {12, 3, 0});   // (0, 3, 2) turned to (2, 3, 0)
    ASSERT_EQ(world.axes.size(), 2u);
    expectNear(world.axes[0], {0, 0, -1});
    expectNear(world.axes[1], {0, 1, 0});

    // A second transform overwrites the first rather than accumulating.
    EXPECT_TRUE(transformVolume(local, world, {0, 0, 0}, glm::quat(1, 0, 0, 0), {1, 1, 1}));
    EXPECT_EQ(world.vertices, local.vertices);
    EXPECT_EQ(world.axes, local.axes);
}

TEST(CollisionVolume, TransformRefusesInvalidAndMismatchedVolumes) {
    const CollisionVolume invalid(static_cast<CollisionVolumeType>(7));
    AxisAlignedBox world({1, 1, 1}, {2, 2, 2});
    {
        LogRecorder log;
        EXPECT_FALSE(transformVolume(invalid, world, {5, 5, 5}, glm::quat(1, 0, 0, 0), {1, 1, 1}));
        EXPECT_EQ(log.count(error, "Unrecognized collision volume type"), 1);
    }
    {
        LogRecorder log;
        EXPECT_FALSE(
            transformVolume(Sphere({0, 0, 0}, 1), world, {5, 5, 5}, glm::quat(1, 0, 0, 0), {1, 1, 1}));
        EXPECT_EQ(log.errors(), 1);
    }
    EXPECT_EQ(world.min, glm::vec3(1, 1, 1));
}

TEST(CollisionVolume, WorldListsAreFilledOnceAndPairedPastInvalidVolumes) {
    CollisionVolumeList local;
    local.push_back(std::make_unique<AxisAlignedBox>(glm::vec3(0), glm::vec3(1)));
    local.push_back(std::make_unique<CollisionVolume>(static_cast<CollisionVolumeType>(7)));
    local.push_back(std::make_unique<Sphere>(glm::vec3(0), 1.0f));
    CollisionVolumeList world;
    {
        LogRecorder log;
        transformVolumes(local, world, {1, 0, 0}, glm::quat(1, 0, 0, 0), {2, 2, 2});
        // One record while copying, one while transforming.
        EXPECT_EQ(log.count(error, "Unrecognized collision volume type"), 2);
    }
    ASSERT_EQ(world.size(), 2u);
    ASSERT_EQ(world[0]->type, CollisionVolumeType::AxisAlignedBox);
    ASSERT_EQ(world[1]->type, CollisionVolumeType::Sphere);
    EXPECT_EQ(static_cast<AxisAlignedBox&>(*world[0]).max, glm::vec3(3, 2, 2));
    EXPECT_EQ(static_cast<Sphere&>(*world[1]).center, glm::vec3(1, 0, 0));
    EXPECT_EQ(static_cast<Sphere&>(*world[1]).radius, 2.0f);

    const CollisionVolume* firstWorld = world[0].get();
    transformVolumes(local, world, {0, 0, 5}, glm::quat(1, 0, 0, 0), {1, 1, 1});
    ASSERT_EQ(world.size(), 2u);
    EXPECT_EQ(world[0].get(), firstWorld);
    EXPECT_EQ(static_cast<Sphere&>(*world[1]).center, glm::vec3(0, 0, 5));
    EXPECT_EQ(static_cast<Sphere&>(*world[1]).radius, 1.0f);
}
