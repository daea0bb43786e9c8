#include "shapes.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <utility>

#include "support/baked_meshes.h"

namespace {
constexpr float kTolerance = 1e-4f;

struct Bounds {
    glm::vec3 min{1e9f};
    glm::vec3 max{-1e9f};
};

Bounds boundsOf(const std::vector<glm::vec3>& points) {
    Bounds bounds;
    for (const glm::vec3& p : points) {
        bounds.min = glm::min(bounds.min, p);
        bounds.max = glm::max(bounds.max, p);
    }
    return bounds;
}

// Closed and consistently wound (every directed edge once, its reverse once),
// enclosing a positive volume (outward winding), and convex (no vertex in
// front of any face plane), without degenerate triangles.
void expectClosedConvexOutward(const Shape& part) {
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    double volume = 0.0;
    for (const auto& t : part.triangles) {
        const glm::vec3 a = part.positions.at(t[0]), b = part.positions.at(t[1]), c = part.positions.at(t[2]);
        const glm::vec3 n = glm::cross(b - a, c - a);
        ASSERT_GT(glm::length(n), 1e-4f);
        for (const glm::vec3& v : part.positions) {
            EXPECT_LE(glm::dot(glm::normalize(n), v - a), kTolerance);
        }
        volume += glm::dot(a, glm::cross(b, c)) / 6.0;
        for (int k = 0; k < 3; ++k) {
            ++edges[{t[k], t[(k + 1) % 3]}];
        }
    }
    for (const auto& [edge, count] : edges) {
        EXPECT_EQ(count, 1);
        EXPECT_EQ(edges.count({edge.second, edge.first}), 1u);
    }
    EXPECT_GT(volume, 0.0);
}

float signedArea(const std::vector<glm::vec2>& polygon) {
    float area = 0.0f;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const glm::vec2& a = polygon[i];
        const glm::vec2& b = polygon[(i + 1) % polygon.size()];
        area += a.x * b.y - b.x * a.y;
    }
    return area / 2.0f;
}
}  // namespace

TEST(Shapes, NamesTheFiveKindsAndRefusesOthers) {
    EXPECT_EQ(shapeKinds(), (std::vector<std::string>{"Floor", "Pillar", "Rock", "Tree", "Wall"}));
    EXPECT_TRUE(hasShape("Tree"));
    EXPECT_FALSE(hasShape("tree"));
    EXPECT_THROW(shapeOf("Bush"), std::out_of_range);
    EXPECT_THROW(convexPartsOf("Bush"), std::out_of_range);
    EXPECT_THROW(footprintOf(""), std::out_of_range);
}

TEST(Shapes, BuildsEverySolidFromClosedConvexOutwardParts) {
    for (const char* kind : {"Rock", "Wall", "Pillar", "Tree"}) {
        SCOPED_TRACE(kind);
        const std::vector<Shape>& parts = convexPartsOf(kind);
        ASSERT_FALSE(parts.empty());
        std::size_t vertices = 0, triangles = 0;
        for (const Shape& part : parts) {
            expectClosedConvexOutward(part);
            vertices += part.positions.size();
            triangles += part.triangles.size();
        }
        // The whole shape is the parts side by side, with no vertex shared
        // between two parts.
        const Shape& all = shapeOf(kind);
        EXPECT_EQ(all.positions.size(), vertices);
        EXPECT_EQ(all.triangles.size(), triangles);
        EXPECT_EQ(countVertexConnectedParts(all.triangles, all.positions.size()), parts.size());
        // Everything stands on the ground around the y axis.
        const Bounds bounds = boundsOf(all.positions);
        EXPECT_NEAR(bounds.min.y, 0.0f, kTolerance);
        EXPECT_LT(bounds.min.x, 0.0f);
        EXPECT_GT(bounds.max.x, 0.0f);
    }
    EXPECT_EQ(convexPartsOf("Tree").size(), 2u);
}

TEST(Shapes, HaveTheirIntendedSizes) {
    const Bounds wall = boundsOf(shapeOf("Wall").positions);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(wall.min[axis], glm::vec3(-6, 0, -0.75f)[axis], kTolerance);
        EXPECT_NEAR(wall.max[axis], glm::vec3(6, 4, 0.75f)[axis], kTolerance);
    }
    EXPECT_EQ(shapeOf("Wall").triangles.size(), 12u);

    const Shape& pillar = shapeOf("Pillar");
    EXPECT_EQ(pillar.positions.size(), 16u);
    EXPECT_NEAR(boundsOf(pillar.positions).max.y, 8.0f, kTolerance);
    for (const glm::vec3& p : pillar.positions) {
        EXPECT_NEAR(glm::length(glm::vec2(p.x, p.z)), 1.5f, kTolerance);
    }

    const Bounds rock = boundsOf(shapeOf("Rock").positions);
    EXPECT_NEAR(rock.max.y, 2.5f, kTolerance);
    EXPECT_GT(rock.max.x - rock.min.x, 2.5f);
    EXPECT_LT(rock.max.x - rock.min.x, 3.5f);
    EXPECT_GT(rock.max.z - rock.min.z, 2.5f);
    EXPECT_LT(rock.max.z - rock.min.z, 3.5f);

    const Shape& trunk = convexPartsOf("Tree")[0];
    EXPECT_NEAR(boundsOf(trunk.positions).max.y, 4.0f, kTolerance);
    for (const glm::vec3& p : trunk.positions) {
        EXPECT_NEAR(glm::length(glm::vec2(p.x, p.z)), 0.6f, kTolerance);
    }
    // The crown is wider than the trunk and sits above an actor's head (2.2).
    const Bounds crown = boundsOf(convexPartsOf("Tree")[1].positions);
    EXPECT_GT(crown.min.y, 2.2f);
    EXPECT_GT(crown.max.x, 1.5f);
}

TEST(Shapes, FloorIsOneUpwardQuadWithoutPartsOrFootprint) {
    const Shape& floor = shapeOf("Floor");
    ASSERT_EQ(floor.triangles.size(), 2u);
    const Bounds bounds = boundsOf(floor.positions);
    EXPECT_EQ(bounds.min, glm::vec3(-50, 0, -50));
    EXPECT_EQ(bounds.max, glm::vec3(50, 0, 50));
    for (const auto& t : floor.triangles) {
        const glm::vec3 n = glm::cross(floor.positions[t[1]] - floor.positions[t[0]],
                                       floor.positions[t[2]] - floor.positions[t[0]]);
        EXPECT_GT(n.y, 0.0f);
    }
    EXPECT_TRUE(convexPartsOf("Floor").empty());
    EXPECT_TRUE(footprintOf("Floor").empty());
}

TEST(Shapes, FootprintIsTheConvexOutlineSeenFromAbove) {
    const std::vector<glm::vec2> wall = footprintOf("Wall");
    ASSERT_EQ(wall.size(), 4u);
    EXPECT_NEAR(signedArea(wall), 12.0f * 1.5f, kTolerance);

    for (const char* kind : {"Rock", "Wall", "Pillar", "Tree"}) {
        SCOPED_TRACE(kind);
        const std::vector<glm::vec2> outline = footprintOf(kind);
        ASSERT_GE(outline.size(), 3u);
        EXPECT_GT(signedArea(outline), 0.0f);
        // Every vertex seen from above lies inside or on the outline, and
        // every corner of the outline is such a vertex.
        for (const glm::vec3& p : shapeOf(kind).positions) {
            for (std::size_t i = 0; i < outline.size(); ++i) {
                const glm::vec2 a = outline[i], b = outline[(i + 1) % outline.size()];
                EXPECT_GE((b.x - a.x) * (p.z - a.y) - (b.y - a.y) * (p.x - a.x), -kTolerance);
            }
        }
        for (const glm::vec2& corner : outline) {
            bool found = false;
            for (const glm::vec3& p : shapeOf(kind).positions) {
                found = found || glm::length(glm::vec2(p.x, p.z) - corner) < kTolerance;
            }
            EXPECT_TRUE(found);
        }
    }
    // The tree's outline is its crown's, not the trunk's.
    EXPECT_GT(signedArea(footprintOf("Tree")), 3.0f * 3.0f);
}
