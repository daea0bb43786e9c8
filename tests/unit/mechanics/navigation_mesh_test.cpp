#include "mechanics/navigation_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <glm/geometric.hpp>
#include <iterator>
#include <limits>
#include <random>
#include <vector>

#include "mechanics/navigation_mesh_writer.h"
#include "support/log_capture.h"
#include "support/scratch_directory.h"

namespace {
using Quad = std::array<std::uint32_t, 4>;

// Unit squares on the integer lattice of the x-z plane, wound so that they
// face up: corners (x, z), (x, z + 1), (x + 1, z + 1), (x + 1, z).
struct SquareMesh {
    std::vector<glm::vec3> vertices;
    std::vector<Quad> quads;

    std::uint32_t vertex(int x, int z, float y = 0.0f) {
        const glm::vec3 point(static_cast<float>(x), y, static_cast<float>(z));
        for (std::size_t i = 0; i < vertices.size(); ++i) {
            if (vertices[i] == point) {
                return static_cast<std::uint32_t>(i);
            }
        }
        vertices.push_back(point);
        return static_cast<std::uint32_t>(vertices.size() - 1);
    }
    void square(int x, int z) {
        quads.push_back({vertex(x, z), vertex(x, z + 1), vertex(x + 1, z + 1), vertex(x + 1, z)});
    }
};

class NavigationMeshTest : public ::testing::Test {
  protected:
    std::string file(const std::string& name) const { return scratch.path(name); }

    std::shared_ptr<NavigationMesh> load(const std::vector<glm::vec3>& vertices,
                                         const std::vector<Quad>& quads) {
        const std::string path = file("mesh.nav");
        EXPECT_TRUE(writeNavigationMesh(path, vertices, quads));
        auto mesh = loadNavigationMesh(path);
        EXPECT_NE(mesh, nullptr);
        return mesh;
    }
    std::shared_ptr<NavigationMesh> load(const SquareMesh& squares) {
        return load(squares.vertices, squares.quads);
    }

    void writeBytes(const std::string& path, const std::vector<std::uint32_t>& words) {
        std::ofstream out(path, std::ios::binary);
        for (const std::uint32_t word : words) {
            const unsigned char bytes[4] = {
                static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
                static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 24)};
            out.write(reinterpret_cast<const char*>(bytes), 4);
        }
    }

    ScratchDirectory scratch;
};

std::uint32_t bits(float value) {
    std::uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
}

void expectNear(const glm::vec3& actual, const glm::vec3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

std::vector<glm::vec3> toVector(const std::list<glm::vec3>& path) {
    return {path.begin(), path.end()};
}

bool finitePoint(const glm::vec3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}
}  // namespace

TEST_F(NavigationMeshTest, LoadingExchangesAxesAndCountsIndicesFromOne) {
    const std::string path = file("raw.nav");
    // File vertices (1, 2, 3), (4, 5, 6), (7, 8, 9), (10, 11, 12); one quad (1, 2, 3, 4)... twice, reversed.
    writeBytes(path, {4,       2,       bits(1), bits(2),  bits(3),  bits(4),  bits(5), bits(6),
                      bits(7), bits(8), bits(9), bits(10), bits(11), bits(12), 1,       2,
                      3,       4,       4,       3,        2,        1});
    auto mesh = loadNavigationMesh(path);
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->vertices.size(), 4u);
    EXPECT_EQ(mesh->vertices[0], glm::vec3(1, 3, -2));
    EXPECT_EQ(mesh->vertices[3], glm::vec3(10, 12, -11));
    ASSERT_EQ(mesh->nodes.size(), 2u);
    EXPECT_EQ(mesh->nodes[0].index, 0u);
    EXPECT_EQ(mesh->nodes[1].index, 1u);
    EXPECT_EQ(mesh->nodes[0].corners, (Quad{0, 1, 2, 3}));
    EXPECT_EQ(mesh->nodes[1].corners, (Quad{3, 2, 1, 0}));
    // The center leaves the fourth corner out.
    EXPECT_EQ(mesh->center(0), (glm::vec3(1, 3, -2) + glm::vec3(4, 6, -5) + glm::vec3(7, 9, -8)) / 3.0f);

    // The writer is the exact inverse: game (x, y, z) goes out as (x, -z, y), indices plus one.
    const std::string written = file("written.nav");
    ASSERT_TRUE(writeNavigationMesh(written, mesh->vertices, {Quad{0, 1, 2, 3}, Quad{3, 2, 1, 0}}));
    std::ifstream a(path, std::ios::binary), b(written, std::ios::binary);
    const std::string original((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
    const std::string rewritten((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
    EXPECT_EQ(original, rewritten);
}

TEST_F(NavigationMeshTest, MalformedFilesAreRefusedWithARecordNamingTheFile) {
    const std::uint32_t one = bits(1.0f);
    const std::vector<std::uint32_t> vertices = {one, one, one, one, one, one, one, one, one, one, one, one};
    auto withQuad = [&](std::uint32_t vertexCount, const Quad& quad) {
        std::vector<std::uint32_t> words = {vertexCount, 1};
        words.insert(words.end(), vertices.begin(), vertices.begin() + 3 * vertexCount);
        words.insert(words.end(), quad.begin(), quad.end());
        return words;
    };
    struct Case {
        const char* name;
        std::vector<std::uint32_t> words;
        const char* reason;
    };
    std::vector<Case> cases = {
        {"empty.nav", {}, "ends before its counts"},
        {"half-header.nav", {4}, "ends before its counts"},
        {"few-vertices.nav", {4, 0, one, one, one}, "4 vertices need 48 bytes, 12 are left"},
        {"huge-count.nav", {0xffffffffu, 0}, "4294967295 vertices need"},
        {"few-quads.nav", {1, 2, one, one, one, 1, 1, 1, 1}, "2 quadrilaterals need 32 bytes, 16 are left"},
        {"index-zero.nav", withQuad(4, {1, 2, 0, 4}), "refers to vertex 0 (counting from 1) of 4"},
        {"index-beyond.nav", withQuad(4, {1, 2, 3, 5}), "refers to vertex 5 (counting from 1) of 4"},
        {"not-finite.nav",
         {1, 0, one, bits(std::numeric_limits<float>::quiet_NaN()), one},
         "vertex 0 is not a finite"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = file(c.name);
        writeBytes(path, c.words);
        LogCapture log;
        EXPECT_EQ(loadNavigationMesh(path), nullptr);
        EXPECT_EQ(
            log.count(LogCapture::Severity::error, "Could not load navigation mesh from \"" + path + "\"!"),
            1u);
        EXPECT_EQ(log.count(LogCapture::Severity::error, c.reason), 1u);
    }

    LogCapture log;
    const std::string missing = file("missing.nav");
    EXPECT_EQ(loadNavigationMesh(missing), nullptr);
    EXPECT_EQ(
        log.count(LogCapture::Severity::error, "Navigation mesh file does not exist: \"" + missing + "\"!"),
        1u);
    EXPECT_EQ(
        log.count(LogCapture::Severity::error, "Could not load navigation mesh from \"" + missing + "\"!"),
        1u);

    // The writer checks its indices too.
    EXPECT_FALSE(writeNavigationMesh(file("bad.nav"), {glm::vec3(0)}, {Quad{0, 0, 0, 1}}));
}

TEST_F(NavigationMeshTest, NodesSharingAnEdgeAreNeighboursBothWaysAndOneVertexIsNotEnough) {
    SquareMesh squares;
    squares.square(1, 0);  // 0: middle of a row
    squares.square(2, 0);  // 1: right of 0
    squares.square(0, 0);  // 2: left of 0
    squares.square(3, 1);  // 3: touches 1 only at the vertex (3, 1)
    squares.square(1, 1);  // 4: above 0, touches 2 and 1 at one vertex each
    auto mesh = load(squares);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->nodes[0].neighbours, (std::vector<std::uint32_t>{1, 2, 4}));
    EXPECT_EQ(mesh->nodes[1].neighbours, (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(mesh->nodes[2].neighbours, (std::vector<std::uint32_t>{0}));
    EXPECT_TRUE(mesh->nodes[3].neighbours.empty());
    EXPECT_EQ(mesh->nodes[4].neighbours, (std::vector<std::uint32_t>{0}));
}

TEST_F(NavigationMeshTest, NeighbourListsMatchComparingEveryPairOfNodes) {
    // Few vertices, many quads, repeated corners and diagonals: every way two
    // nodes can share indices turns up.
    std::mt19937 random(7);
    std::vector<glm::vec3> vertices(24);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        vertices[i] = glm::vec3(static_cast<float>(i), 0.0f, static_cast<float>(i % 5));
    }
    std::vector<Quad> quads(400);
    std::uniform_int_distribution<std::uint32_t> index(0, 23);
    for (Quad& quad : quads) {
        for (std::uint32_t& corner : quad) {
            corner = index(random);
        }
    }
    auto mesh = load(vertices, quads);
    ASSERT_NE(mesh, nullptr);

    std::vector<std::vector<std::uint32_t>> expected(quads.size());
    for (std::uint32_t i = 0; i < quads.size(); ++i) {
        for (std::uint32_t j = 0; j < i; ++j) {
            int shared = 0;
            for (const std::uint32_t corner : quads[i]) {
                shared += std::count(quads[j].begin(), quads[j].end(), corner) > 0 ? 1 : 0;
            }
            if (shared >= 2) {
                expected[i].push_back(j);
                expected[j].push_back(i);
            }
        }
    }
    std::size_t links = 0;
    for (std::uint32_t i = 0; i < quads.size(); ++i) {
        EXPECT_EQ(mesh->nodes[i].neighbours, expected[i]) << "node " << i;
        links += expected[i].size();
    }
    EXPECT_GT(links, quads.size());
}

TEST_F(NavigationMeshTest, RaysHitTheNearestUpwardFaceOnly) {
    // Two stacked unit squares, the upper one (y = 1) listed second, and a
    // copy of the lower one listed third.
    std::vector<glm::vec3> vertices;
    std::vector<Quad> quads;
    for (const float y : {0.0f, 1.0f, 0.0f}) {
        const auto base = static_cast<std::uint32_t>(vertices.size());
        vertices.insert(vertices.end(),
                        {glm::vec3(0, y, 0), glm::vec3(0, y, 1), glm::vec3(1, y, 1), glm::vec3(1, y, 0)});
        quads.push_back({base, base + 1, base + 2, base + 3});
    }
    auto mesh = load(vertices, quads);
    ASSERT_NE(mesh, nullptr);

    NavigationLocation location;
    ASSERT_TRUE(mesh->raycast(glm::vec3(0.25f, 5, 0.75f), glm::vec3(0, -1, 0), location));
    EXPECT_EQ(location.node, 1u);
    expectNear(location.point, glm::vec3(0.25f, 1, 0.75f));

    // Between the floors: the lower one, and of the two equal hits the lower index.
    ASSERT_TRUE(mesh->raycast(glm::vec3(0.5f, 0.5f, 0.5f), glm::vec3(0.2f, -1, 0.1f), location));
    EXPECT_EQ(location.node, 0u);
    expectNear(location.point, glm::vec3(0.6f, 0, 0.55f));

    // The direction need not be normalised; the hit point is origin + direction * t.
    ASSERT_TRUE(mesh->raycast(glm::vec3(0.5f, 3, 0.5f), glm::vec3(0, -4, 0), location));
    EXPECT_EQ(location.node, 1u);
    expectNear(location.point, glm::vec3(0.5f, 1, 0.5f));

    // From below every face is a back face; beside the squares nothing is hit.
    // Misses leave the location as it was.
    const NavigationLocation before{7, glm::vec3(9, 9, 9)};
    for (const auto& ray : {std::pair{glm::vec3(0.5f, -1, 0.5f), glm::vec3(0, 1, 0)},
                            std::pair{glm::vec3(0.5f, 0.5f, 0.5f), glm::vec3(0, 1, 0)},
                            std::pair{glm::vec3(1.5f, 5, 0.5f), glm::vec3(0, -1, 0)},
                            std::pair{glm::vec3(0.5f, 5, 0.5f), glm::vec3(0, 1, 0)},
                            std::pair{glm::vec3(0.5f, 5, 0.5f), glm::vec3(0, 0, 0)}}) {
        location = before;
        EXPECT_FALSE(mesh->raycast(ray.first, ray.second, location));
        EXPECT_EQ(location.node, before.node);
        EXPECT_EQ(location.point, before.point);
    }
}

TEST_F(NavigationMeshTest, AQuadWoundTheOtherWayIsMissedFromAbove) {
    // (c1 - c0) x (c2 - c0) points down: rays from above see its back.
    auto mesh = load({glm::vec3(0, 0, 0), glm::vec3(1, 0, 0), glm::vec3(1, 0, 1), glm::vec3(0, 0, 1)},
                     {Quad{0, 1, 2, 3}});
    ASSERT_NE(mesh, nullptr);
    NavigationLocation location;
    EXPECT_FALSE(mesh->raycast(glm::vec3(0.5f, 1, 0.5f), glm::vec3(0, -1, 0), location));
    EXPECT_FALSE(mesh->locate(glm::vec3(0.5f, 0, 0.5f), location));
    EXPECT_TRUE(mesh->raycast(glm::vec3(0.5f, -1, 0.5f), glm::vec3(0, 1, 0), location));
}

TEST_F(NavigationMeshTest, RaycastAnswersAsIfEveryNodeWereTested) {
    // Rolling hills with a few steep faces and a second floor above part of
    // it; the same mesh without its query data tests every node.
    std::mt19937 random(11);
    std::uniform_real_distribution<float> jitter(-0.3f, 0.3f);
    std::vector<glm::vec3> vertices;
    std::vector<Quad> quads;
    const int side = 24;
    auto at = [&](int x, int z) { return static_cast<std::uint32_t>(x * (side + 1) + z); };
    for (int x = 0; x <= side; ++x) {
        for (int z = 0; z <= side; ++z) {
            const float height = (x % 7 == 3) ? 3.0f : std::sin(0.5f * x) * std::cos(0.4f * z);
            vertices.emplace_back(x + jitter(random), height, z + jitter(random));
        }
    }
    for (int x = 0; x < side; ++x) {
        for (int z = 0; z < side; ++z) {
            quads.push_back({at(x, z), at(x, z + 1), at(x + 1, z + 1), at(x + 1, z)});
        }
    }
    const auto upper = static_cast<std::uint32_t>(vertices.size());
    vertices.insert(vertices.end(), {glm::vec3(4, 2, 4), glm::vec3(4, 2, 12), glm::vec3(12, 2.5f, 12),
                                     glm::vec3(12, 2.5f, 4)});
    quads.push_back({upper, upper + 1, upper + 2, upper + 3});
    auto mesh = load(vertices, quads);
    ASSERT_NE(mesh, nullptr);
    NavigationMesh plain;
    plain.vertices = mesh->vertices;
    plain.nodes = mesh->nodes;

    std::uniform_real_distribution<float> position(-5.0f, side + 5.0f);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int hits = 0;
    for (int i = 0; i < 20000; ++i) {
        const glm::vec3 origin(position(random), 2.0f + 10.0f * (unit(random) + 1.0f), position(random));
        glm::vec3 direction(0, -1, 0);
        if (i % 3 == 1) {
            direction = glm::vec3(unit(random), -1.0f, unit(random));  // steep
        } else if (i % 3 == 2) {
            direction = glm::vec3(unit(random), unit(random) * 0.3f, unit(random));  // shallow, either way
        }
        NavigationLocation fast{12345, glm::vec3(0)};
        NavigationLocation slow{12345, glm::vec3(0)};
        const bool fastHit = mesh->raycast(origin, direction, fast);
        const bool slowHit = plain.raycast(origin, direction, slow);
        ASSERT_EQ(fastHit, slowHit) << i;
        ASSERT_EQ(fast.node, slow.node) << i;
        ASSERT_EQ(fast.point, slow.point) << i;
        hits += fastHit ? 1 : 0;
    }
    EXPECT_GT(hits, 5000);
}

TEST_F(NavigationMeshTest, LocateFindsTheGroundBelowOrJustBesideAPoint) {
    SquareMesh squares;
    squares.square(0, 0);
    squares.square(1, 0);
    auto mesh = load(squares);
    ASSERT_NE(mesh, nullptr);

    NavigationLocation location;
    // On the ground: the point itself.
    ASSERT_TRUE(mesh->locate(glm::vec3(1.5f, 0, 0.25f), location));
    EXPECT_EQ(location.node, 1u);
    expectNear(location.point, glm::vec3(1.5f, 0, 0.25f), 1e-6f);

    // Above the ground: straight below, although the offset rays hit too.
    ASSERT_TRUE(mesh->locate(glm::vec3(0.5f, 1.0f, 0.5f), location));
    EXPECT_EQ(location.node, 0u);
    expectNear(location.point, glm::vec3(0.5f, 0, 0.5f));

    // Just outside each border: through the offset ray that lands inside.
    struct Case {
        glm::vec3 point;
        glm::vec3 ground;
    };
    for (const Case& c : {Case{glm::vec3(2.05f, 0, 0.5f), glm::vec3(1.95f, 0, 0.5f)},
                          Case{glm::vec3(-0.05f, 0, 0.5f), glm::vec3(0.05f, 0, 0.5f)},
                          Case{glm::vec3(0.5f, 0, 1.08f), glm::vec3(0.5f, 0, 0.98f)},
                          Case{glm::vec3(1.5f, 0, -0.02f), glm::vec3(1.5f, 0, 0.08f)}}) {
        ASSERT_TRUE(mesh->locate(c.point, location));
        expectNear(location.point, c.ground);
    }

    // Beyond 0.1 from the mesh, or more than 2.4 below it: nothing, location unchanged.
    const NavigationLocation before{9, glm::vec3(7)};
    for (const glm::vec3& point : {glm::vec3(2.15f, 0, 0.5f), glm::vec3(0.5f, -2.5f, 0.5f)}) {
        location = before;
        EXPECT_FALSE(mesh->locate(point, location));
        EXPECT_EQ(location.node, before.node);
        EXPECT_EQ(location.point, before.point);
    }
}

TEST_F(NavigationMeshTest, APathWithinOneNodeEndsWithTheGoalTwice) {
    SquareMesh squares;
    squares.square(0, 0);
    squares.square(1, 0);
    auto mesh = load(squares);
    ASSERT_NE(mesh, nullptr);
    std::list<glm::vec3> path;
    const glm::vec3 start(0.2f, 0, 0.2f);
    const glm::vec3 goal(0.8f, 0, 0.7f);
    mesh->findPath({0, start}, {0, goal}, path);
    EXPECT_EQ(toVector(path), (std::vector<glm::vec3>{start, goal, goal}));
}

TEST_F(NavigationMeshTest, AStraightCorridorGivesTheCrossingOfEverySharedEdge) {
    // Four squares in a row along x on a slope: the crossings take the height of the edge.
    std::vector<glm::vec3> vertices;
    std::vector<Quad> quads;
    for (int x = 0; x <= 4; ++x) {
        vertices.emplace_back(x, 0.1f * x, 0);
        vertices.emplace_back(x, 0.1f * x, 1);
    }
    for (std::uint32_t x = 0; x < 4; ++x) {
        quads.push_back({2 * x, 2 * x + 1, 2 * x + 3, 2 * x + 2});
    }
    auto mesh = load(vertices, quads);
    ASSERT_NE(mesh, nullptr);
    std::list<glm::vec3> path;
    const glm::vec3 start(0.5f, 0.05f, 0.5f);
    const glm::vec3 goal(3.5f, 0.35f, 0.5f);
    mesh->findPath({0, start}, {3, goal}, path);
    const std::vector<glm::vec3> expected = {
        start, glm::vec3(1, 0.1f, 0.5f), glm::vec3(2, 0.2f, 0.5f), glm::vec3(3, 0.3f, 0.5f), goal, goal};
    const std::vector<glm::vec3> points = toVector(path);
    ASSERT_EQ(points.size(), expected.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        SCOPED_TRACE(i);
        expectNear(points[i], expected[i]);
    }
    EXPECT_EQ(points.front(), start);
    EXPECT_EQ(points.back(), goal);
}

TEST_F(NavigationMeshTest, AnLShapedCorridorBendsOnceAtTheInnerCorner) {
    // Three squares along x, then two along +z (a left turn) or -z (a right turn).
    for (const int turn : {1, -1}) {
        SCOPED_TRACE(turn);
        SquareMesh squares;
        squares.square(0, 0);
        squares.square(1, 0);
        squares.square(2, 0);
        squares.square(2, turn > 0 ? 1 : -1);
        squares.square(2, turn > 0 ? 2 : -2);
        auto mesh = load(squares);
        ASSERT_NE(mesh, nullptr);
        const glm::vec3 start(0.5f, 0, 0.5f);
        const glm::vec3 goal(2.5f, 0, turn > 0 ? 2.5f : -1.5f);
        const glm::vec3 corner(2, 0, turn > 0 ? 1 : 0);
        std::list<glm::vec3> path;
        mesh->findPath({0, start}, {4, goal}, path);
        const std::vector<glm::vec3> points = toVector(path);
        ASSERT_GE(points.size(), 3u);
        EXPECT_EQ(points.front(), start);
        EXPECT_EQ(points.back(), goal);

        // Every point lies on start-corner or corner-goal, and the corner
        // (an end of the portal between squares 1 and 2) is the one bend.
        auto onSegment = [](const glm::vec3& p, const glm::vec3& a, const glm::vec3& b) {
            const glm::vec3 ab = b - a;
            const float s = glm::dot(p - a, ab) / glm::dot(ab, ab);
            return s >= -1e-5f && s <= 1 + 1e-5f && glm::length(a + s * ab - p) < 1e-5f;
        };
        int corners = 0;
        bool pastCorner = false;
        for (const glm::vec3& p : points) {
            if (glm::length(p - corner) < 1e-6f) {
                if (!pastCorner) {
                    ++corners;
                }
                pastCorner = true;
            } else {
                EXPECT_TRUE(pastCorner ? onSegment(p, corner, goal) : onSegment(p, start, corner))
                    << p.x << " " << p.z;
            }
        }
        EXPECT_EQ(corners, 1);
    }
}

TEST_F(NavigationMeshTest, AnUnreachableGoalLeavesThePathAsItWas) {
    SquareMesh squares;
    squares.square(0, 0);
    squares.square(1, 0);
    squares.square(5, 0);
    auto mesh = load(squares);
    ASSERT_NE(mesh, nullptr);
    std::list<glm::vec3> path;
    mesh->findPath({0, glm::vec3(0.5f, 0, 0.5f)}, {2, glm::vec3(5.5f, 0, 0.5f)}, path);
    EXPECT_TRUE(path.empty());

    std::list<glm::vec3> kept = {glm::vec3(1, 2, 3)};
    mesh->findPath({0, glm::vec3(0.5f, 0, 0.5f)}, {2, glm::vec3(5.5f, 0, 0.5f)}, kept);
    EXPECT_EQ(toVector(kept), (std::vector<glm::vec3>{glm::vec3(1, 2, 3)}));

    LogCapture log;
    mesh->findPath({0, glm::vec3(0.5f, 0, 0.5f)}, {3, glm::vec3(5.5f, 0, 0.5f)}, kept);
    EXPECT_EQ(kept.size(), 1u);
    EXPECT_EQ(log.count(LogCapture::Severity::error,
                        "Path search between nodes [0] and [3] of a mesh with 3 nodes!"),
              1u);
}

TEST_F(NavigationMeshTest, AWalkAlongASharedEdgeTakesTheNearerEndInsteadOfDividingByZero) {
    // Start and goal both lie on the edge x = 1 that the two squares share, so
    // the first straight segment runs along the portal's own line.
    SquareMesh squares;
    squares.square(0, 0);
    squares.square(1, 0);
    auto mesh = load(squares);
    ASSERT_NE(mesh, nullptr);
    const glm::vec3 start(1, 0, 0.6f);
    const glm::vec3 goal(1, 0, 0.2f);
    std::list<glm::vec3> path;
    mesh->findPath({0, start}, {1, goal}, path);
    const std::vector<glm::vec3> points = toVector(path);
    ASSERT_FALSE(points.empty());
    for (const glm::vec3& p : points) {
        EXPECT_TRUE(finitePoint(p));
    }
    EXPECT_EQ(points.front(), start);
    EXPECT_EQ(points.back(), goal);
    // The segment from the start to the corner (1, 0, 0) crosses the edge's
    // own line: the edge's end nearer to the start, (1, 0, 1), stands in.
    EXPECT_EQ(points, (std::vector<glm::vec3>{start, glm::vec3(1, 0, 1), glm::vec3(1, 0, 0), goal, goal}));
}

namespace {
// The path search in its plain form: the open set walked linearly for the
// lowest f (first met on ties), costs and estimates from node centers.
std::vector<std::uint32_t> plainNodeChain(const NavigationMesh& mesh, std::uint32_t start,
                                          std::uint32_t goal) {
    const std::size_t count = mesh.nodes.size();
    std::vector<float> g(count), f(count);
    std::vector<std::uint32_t> predecessor(count);
    std::vector<bool> closed(count, false), isOpen(count, false);
    std::vector<std::uint32_t> open = {start};
    auto h = [&](std::uint32_t n) { return glm::distance(mesh.center(n), mesh.center(goal)); };
    g[start] = 0;
    f[start] = h(start);
    isOpen[start] = true;
    std::vector<std::uint32_t> chain;
    while (!open.empty()) {
        std::size_t best = 0;
        for (std::size_t k = 1; k < open.size(); ++k) {
            if (f[open[k]] < f[open[best]]) {
                best = k;
            }
        }
        const std::uint32_t current = open[best];
        if (current == goal) {
            for (std::uint32_t n = goal; n != start; n = predecessor[n]) {
                chain.push_back(n);
            }
            chain.push_back(start);
            std::reverse(chain.begin(), chain.end());
            return chain;
        }
        open.erase(open.begin() + static_cast<std::ptrdiff_t>(best));
        isOpen[current] = false;
        closed[current] = true;
        for (const std::uint32_t n : mesh.nodes[current].neighbours) {
            if (closed[n]) {
                continue;
            }
            const float tentative = g[current] + glm::distance(mesh.center(current), mesh.center(n));
            if (isOpen[n] && g[n] <= tentative) {
                continue;
            }
            predecessor[n] = current;
            g[n] = tentative;
            f[n] = tentative + h(n);
            if (!isOpen[n]) {
                isOpen[n] = true;
                open.push_back(n);
            }
        }
    }
    return chain;
}
}  // namespace

TEST_F(NavigationMeshTest, TheNodeChainIsTheOneThePlainSearchFinds) {
    // Jittered grids with holes (no two routes cost exactly the same): one of
    // even squares, one whose columns widen geometrically so that step costs
    // span five orders of magnitude.
    for (const bool widening : {false, true}) {
        SCOPED_TRACE(widening);
        std::mt19937 random(3);
        std::uniform_real_distribution<float> jitter(-0.25f, 0.25f);
        const int side = 30;
        std::vector<glm::vec3> vertices;
        std::vector<Quad> quads;
        auto at = [&](int x, int z) { return static_cast<std::uint32_t>(x * (side + 1) + z); };
        for (int x = 0; x <= side; ++x) {
            for (int z = 0; z <= side; ++z) {
                const float column = widening ? std::pow(1.5f, static_cast<float>(x)) : static_cast<float>(x);
                vertices.emplace_back(column + jitter(random), 0.0f, z + jitter(random));
            }
        }
        for (int x = 0; x < side; ++x) {
            for (int z = 0; z < side; ++z) {
                const bool hole = (x % 8 == 4 && z % 10 != 2) || (z % 9 == 5 && x > 10 && x < 25);
                if (!hole) {
                    quads.push_back({at(x, z), at(x, z + 1), at(x + 1, z + 1), at(x + 1, z)});
                }
            }
        }
        auto mesh = load(vertices, quads);
        ASSERT_NE(mesh, nullptr);
        const auto count = static_cast<std::uint32_t>(mesh->nodes.size());

        std::uniform_int_distribution<std::uint32_t> node(0, count - 1);
        int unreachable = 0;
        std::size_t longest = 0;
        for (int i = 0; i < 300; ++i) {
            const std::uint32_t start = node(random);
            const std::uint32_t goal = node(random);
            const std::vector<std::uint32_t> expected = plainNodeChain(*mesh, start, goal);
            std::vector<std::uint32_t> chain = {count};
            if (expected.empty()) {
                // Walled in: the chain is left alone.
                EXPECT_FALSE(mesh->findNodeChain(start, goal, chain));
                EXPECT_EQ(chain, (std::vector<std::uint32_t>{count}));
                ++unreachable;
            } else {
                EXPECT_TRUE(mesh->findNodeChain(start, goal, chain));
                EXPECT_EQ(chain, expected) << start << " -> " << goal;
                longest = std::max(longest, chain.size());
            }
        }
        EXPECT_LT(unreachable, 100);
        EXPECT_GT(longest, 30u);
    }

    // A corridor tens of thousands of steps long: estimates far beyond the
    // usual range of the open set still come out in order.
    std::vector<glm::vec3> vertices;
    std::vector<Quad> quads;
    const std::uint32_t length = 40000;
    for (std::uint32_t x = 0; x <= length; ++x) {
        vertices.emplace_back(static_cast<float>(x), 0.0f, 0.0f);
        vertices.emplace_back(static_cast<float>(x), 0.0f, 1.0f);
    }
    for (std::uint32_t x = 0; x < length; ++x) {
        quads.push_back({2 * x, 2 * x + 1, 2 * x + 3, 2 * x + 2});
    }
    auto corridor = load(vertices, quads);
    ASSERT_NE(corridor, nullptr);
    std::vector<std::uint32_t> chain;
    ASSERT_TRUE(corridor->findNodeChain(length - 1, 0, chain));
    ASSERT_EQ(chain.size(), length);
    EXPECT_EQ(chain.front(), length - 1);
    EXPECT_EQ(chain[length / 2], length / 2 - 1);
    EXPECT_EQ(chain.back(), 0u);
}

TEST_F(NavigationMeshTest, PointsThatAreNotFiniteEndThePathSearchWithoutLooping) {
    // An L-shaped corridor: the string needs a corner, so the funnel restarts.
    SquareMesh squares;
    for (int x = 0; x < 3; ++x) {
        squares.square(x, 0);
    }
    squares.square(2, 1);
    squares.square(2, 2);
    auto mesh = load(squares);
    ASSERT_NE(mesh, nullptr);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const glm::vec3 inside(0.5f, 0.0f, 0.5f);
    const glm::vec3 strange[] = {glm::vec3(inf, 0, 0.5f),  glm::vec3(-inf, 0, 0.5f), glm::vec3(0.5f, 0, inf),
                                 glm::vec3(0.5f, 0, -inf), glm::vec3(nan, 0, 0.5f),  glm::vec3(inf, 0, -inf),
                                 glm::vec3(-inf, 0, inf),  glm::vec3(nan, nan, nan)};
    for (const glm::vec3& point : strange) {
        for (int order = 0; order < 3; ++order) {
            SCOPED_TRACE(order);
            std::list<glm::vec3> path;
            const glm::vec3 start = order == 1 ? inside : point;
            const glm::vec3 goal = order == 0 ? glm::vec3(2.5f, 0, 2.5f) : point;
            mesh->findPath({0, start}, {4, goal}, path);
            EXPECT_LE(path.size(), 16u);
        }
    }
}

TEST_F(NavigationMeshTest, BoundsNearTheFloatRangeStillAnswerEveryRay) {
    // The area of the bounds overflows a
    // float: the queries then test every node.
    for (const float far : {3e19f, 1e22f}) {
        SCOPED_TRACE(far);
        const std::vector<glm::vec3> vertices = {{0, 0, 0},
                                                 {0, 0, 1},
                                                 {1, 0, 1},
                                                 {1, 0, 0},
                                                 {far, 0, far},
                                                 {far, 0, far + far * 1e-6f},
                                                 {far + far * 1e-6f, 0, far + far * 1e-6f},
                                                 {far + far * 1e-6f, 0, far},
                                                 {-far, 0, -far},
                                                 {-far, 0, -far + far * 1e-6f},
                                                 {-far + far * 1e-6f, 0, -far + far * 1e-6f},
                                                 {-far + far * 1e-6f, 0, -far}};
        auto mesh = load(vertices, {{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}});
        ASSERT_NE(mesh, nullptr);
        NavigationLocation location;
        ASSERT_TRUE(mesh->locate(glm::vec3(0.5f, 0, 0.5f), location));
        EXPECT_EQ(location.node, 0u);
        EXPECT_TRUE(mesh->raycast(glm::vec3(0.25f, 5, 0.75f), glm::vec3(0, -1, 0), location));
        EXPECT_EQ(location.node, 0u);
        EXPECT_FALSE(mesh->raycast(glm::vec3(2, 5, 2), glm::vec3(0, -1, 0), location));
        const float inside = far + far * 5e-7f;
        ASSERT_TRUE(mesh->raycast(glm::vec3(inside, 1, inside), glm::vec3(0, -1, 0), location));
        EXPECT_EQ(location.node, 1u);
        const float insideLow = -far + far * 5e-7f;
        ASSERT_TRUE(mesh->raycast(glm::vec3(insideLow, 1, insideLow), glm::vec3(0, -1, 0), location));
        EXPECT_EQ(location.node, 2u);
    }
}
