#include "mechanics/collision.h"

#include <gtest/gtest.h>

#include <cmath>

#include "mechanics_test_support.h"

namespace {
using boost::log::trivial::error;
using mechanics_test::LogRecorder;

ConvexHull cubeHull(const glm::vec3& min, const glm::vec3& max) {
    ConvexHull hull;
    for (int i = 0; i < 8; ++i) {
        hull.vertices.emplace_back(i & 1 ? max.x : min.x, i & 2 ? max.y : min.y, i & 4 ? max.z : min.z);
    }
    hull.axes = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    return hull;
}

// A wedge filling the corner x, y <= 2 above the plane x + y = 2, z in [0, 1]:
// with its slanted face's normal it is separated from boxes near the origin.
ConvexHull wedge(bool withSlantedAxis) {
    ConvexHull hull;
    hull.vertices = {{2, 0, 0}, {0, 2, 0}, {2, 2, 0}, {2, 0, 1}, {0, 2, 1}, {2, 2, 1}};
    hull.axes = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    if (withSlantedAxis) {
        hull.axes.push_back(glm::vec3(1, 1, 0) / std::sqrt(2.0f));
    }
    return hull;
}

// Both argument orders must agree for every pair kind.
bool meet(const CollisionVolume& a, const CollisionVolume& b) {
    const bool forward = intersects(a, b);
    EXPECT_EQ(forward, intersects(b, a)) << "the answer depends on the order of the arguments";
    return forward;
}

CollisionVolumeList listOf(std::unique_ptr<CollisionVolume> a, std::unique_ptr<CollisionVolume> b = nullptr) {
    CollisionVolumeList list;
    list.push_back(std::move(a));
    if (b) {
        list.push_back(std::move(b));
    }
    return list;
}
}  // namespace

TEST(Collision, BoxesThatOnlyTouchDoNotIntersect) {
    const AxisAlignedBox unit({0, 0, 0}, {1, 1, 1});
    EXPECT_FALSE(meet(unit, AxisAlignedBox({1, 0, 0}, {2, 1, 1})));
    EXPECT_FALSE(meet(unit, AxisAlignedBox({0, 1, 0}, {1, 2, 1})));
    EXPECT_FALSE(meet(unit, AxisAlignedBox({0, 0, -1}, {1, 1, 0})));
    EXPECT_TRUE(meet(unit, AxisAlignedBox({0.9f, 0, 0}, {2, 1, 1})));
    EXPECT_TRUE(meet(unit, AxisAlignedBox({0.25f, 0.25f, 0.25f}, {0.5f, 0.5f, 0.5f})));
    EXPECT_FALSE(meet(unit, AxisAlignedBox({0.9f, 0, 2}, {2, 1, 3})));
}

TEST(Collision, SphereTouchingABoxIntersectsIt) {
    const AxisAlignedBox unit({0, 0, 0}, {1, 1, 1});
    EXPECT_TRUE(meet(unit, Sphere({2, 0.5f, 0.5f}, 1)));
    EXPECT_FALSE(meet(unit, Sphere({2.01f, 0.5f, 0.5f}, 1)));
    EXPECT_TRUE(meet(unit, Sphere({0.5f, 0.5f, 0.5f}, 0.1f)));
    // Beyond a corner the distances of all three axes add up: sqrt(3 * 0.36) > 1.
    EXPECT_FALSE(meet(unit, Sphere({1.6f, 1.6f, 1.6f}, 1)));
    EXPECT_TRUE(meet(unit, Sphere({1.5f, 1.5f, 1.5f}, 1)));
}

TEST(Collision, SpheresExactlyTheirRadiiApartDoNotIntersect) {
    const Sphere origin({0, 0, 0}, 1);
    EXPECT_FALSE(meet(origin, Sphere({2, 0, 0}, 1)));
    EXPECT_FALSE(meet(origin, Sphere({0, 0, -2}, 1)));
    EXPECT_TRUE(meet(origin, Sphere({1.99f, 0, 0}, 1)));
    EXPECT_TRUE(meet(origin, Sphere({0, 0, 0}, 0.5f)));
}

TEST(Collision, SphereMeetsAHullThroughItsBoundingBox) {
    const ConvexHull cube = cubeHull({0, 0, 0}, {1, 1, 1});
    // The sphere stays about 1.56 from the corner, but its box reaches 0.9.
    EXPECT_TRUE(meet(cube, Sphere({1.9f, 1.9f, 1.9f}, 1)));
    // Bounding box touching the face: hull overlap is inclusive.
    EXPECT_TRUE(meet(cube, Sphere({2, 0.5f, 0.5f}, 1)));
    EXPECT_FALSE(meet(cube, Sphere({2.1f, 0.5f, 0.5f}, 1)));
}

TEST(Collision, HullsTouchingFaceToFaceIntersectUnlikeTheSameBoxes) {
    const ConvexHull a = cubeHull({0, 0, 0}, {1, 1, 1});
    EXPECT_TRUE(meet(a, cubeHull({1, 0, 0}, {2, 1, 1})));
    EXPECT_FALSE(meet(AxisAlignedBox({0, 0, 0}, {1, 1, 1}), AxisAlignedBox({1, 0, 0}, {2, 1, 1})));
    EXPECT_FALSE(meet(a, cubeHull({1.01f, 0, 0}, {2, 1, 1})));
    EXPECT_FALSE(separatedOnAxes(a, cubeHull({0, 1, 0}, {1, 2, 1})));
    EXPECT_TRUE(separatedOnAxes(a, cubeHull({0, 0, 1.5f}, {1, 1, 2})));
    // A box touching a hull is tested as a hull, so touching counts.
    EXPECT_TRUE(meet(AxisAlignedBox({1, 0, 0}, {2, 1, 1}), a));
}

TEST(Collision, HullsAreSeparatedOnlyAlongTheirStoredAxes) {
    const AxisAlignedBox nearOrigin({0, 0, 0}, {0.9f, 0.9f, 1});
    // The slanted face separates them: (0.9 + 0.9) / sqrt 2 < 2 / sqrt 2.
    EXPECT_FALSE(meet(nearOrigin, wedge(true)));
    EXPECT_TRUE(separatedOnAxes(cubeHull({0, 0, 0}, {0.9f, 0.9f, 1}), wedge(true)));
    EXPECT_TRUE(separatedOnAxes(wedge(true), cubeHull({0, 0, 0}, {0.9f, 0.9f, 1})));
    // Without that axis nothing separates them on the coordinate axes.
    EXPECT_TRUE(meet(nearOrigin, wedge(false)));
    // A sphere whose bounding box stays below the slanted face.
    EXPECT_FALSE(meet(Sphere({0.4f, 0.4f, 0.5f}, 0.4f), wedge(true)));
    EXPECT_TRUE(meet(Sphere({0.8f, 0.8f, 0.5f}, 0.4f), wedge(true)));
}

TEST(Collision, SeparatingAxisProjectionsAreComparedWithoutNormalising) {
    ConvexHull a = cubeHull({0, 0, 0}, {1, 1, 1});
    ConvexHull b = cubeHull({3, 0, 0}, {4, 1, 1});
    // Scaling an axis scales both intervals alike, so the answer stays.
    a.axes = {{5, 0, 0}};
    b.axes.clear();
    EXPECT_TRUE(separatedOnAxes(a, b));
    // Hulls without axes are never separated.
    a.axes.clear();
    EXPECT_FALSE(separatedOnAxes(a, b));
}

TEST(Collision, CollideAnswersAtTheFirstIntersectingPair) {
    const CollisionVolumeList empty;
    CollisionVolumeList boxes = listOf(std::make_unique<AxisAlignedBox>(glm::vec3(0), glm::vec3(1)));
    EXPECT_FALSE(collide(empty, boxes));
    EXPECT_FALSE(collide(boxes, empty));
    EXPECT_FALSE(collide(empty, empty));

    CollisionVolumeList spheres = listOf(std::make_unique<Sphere>(glm::vec3(10, 0, 0), 1.0f),
                                         std::make_unique<Sphere>(glm::vec3(1.5f, 0.5f, 0.5f), 1.0f));
    EXPECT_TRUE(collide(boxes, spheres));
    EXPECT_TRUE(collide(spheres, boxes));
    spheres.pop_back();
    EXPECT_FALSE(collide(boxes, spheres));
}

TEST(Collision, AnInvalidVolumeTypeEndsTheTestWithFalse) {
    auto invalid = std::make_unique<CollisionVolume>(static_cast<CollisionVolumeType>(7));
    CollisionVolumeList withInvalidFirst =
        listOf(std::move(invalid), std::make_unique<AxisAlignedBox>(glm::vec3(0), glm::vec3(1)));
    const CollisionVolumeList box = listOf(std::make_unique<AxisAlignedBox>(glm::vec3(0), glm::vec3(1)));
    {
        // The second volume would intersect, but the invalid one comes first.
        LogRecorder log;
        EXPECT_FALSE(collide(withInvalidFirst, box));
        EXPECT_EQ(log.count(error, "Unrecognized collision volume type"), 1);
    }
    {
        LogRecorder log;
        EXPECT_FALSE(collide(box, withInvalidFirst));
        EXPECT_EQ(log.count(error, "Unrecognized collision volume type"), 1);
    }
    {
        // An intersecting pair met before the invalid volume answers true.
        std::swap(withInvalidFirst[0], withInvalidFirst[1]);
        LogRecorder log;
        EXPECT_TRUE(collide(withInvalidFirst, box));
        EXPECT_EQ(log.errors(), 0);
    }
    {
        LogRecorder log;
        EXPECT_FALSE(intersects(*withInvalidFirst[1], *box[0]));
        EXPECT_FALSE(intersects(*box[0], *withInvalidFirst[1]));
        EXPECT_EQ(log.count(error, "Unrecognized collision volume type"), 2);
    }
}
