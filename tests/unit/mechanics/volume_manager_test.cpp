#include "mechanics/volume_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <glm/geometric.hpp>
#include <random>
#include <set>

#include "mechanics_test_support.h"

namespace {
using boost::log::trivial::debug;
using boost::log::trivial::error;
using mechanics_test::cubeCorners;
using mechanics_test::cubeTriangles;
using mechanics_test::LogRecorder;
using mechanics_test::MeshBytes;
using mechanics_test::meshFile;
using mechanics_test::ScratchDirectory;

const ConvexHull& hullAt(const CollisionVolumeList& list, std::size_t i) {
    EXPECT_EQ(list.at(i)->type, CollisionVolumeType::ConvexHull);
    return static_cast<const ConvexHull&>(*list.at(i));
}

void expectNear(const glm::vec3& actual, const glm::vec3& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-6f);
    EXPECT_NEAR(actual.y, expected.y, 1e-6f);
    EXPECT_NEAR(actual.z, expected.z, 1e-6f);
}

// A single triangle (file axes) and a tetrahedron: meshes told apart by their
// vertex counts.
std::string triangleFile() {
    return meshFile({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3}});
}
std::string tetrahedronFile() {
    return meshFile({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                    {{1, 2, 3}, {1, 2, 4}, {1, 3, 4}, {2, 3, 4}});
}

// A mesh in game axes, 0-based, for the hull builder.
TriangleMesh meshOf(std::vector<glm::vec3> vertices, std::vector<std::array<std::uint32_t, 3>> triangles) {
    return TriangleMesh{std::move(vertices), std::move(triangles)};
}
}  // namespace

TEST(VolumesFile, EntriesNameMeshesRelativeToTheFile) {
    ScratchDirectory dir;
    dir.write("collision/rock.bin", triangleFile());
    dir.write("collision/trees/tree 2.bin", tetrahedronFile());
    const std::string path =
        dir.write("collision/level.volumes", "volumes {\n Rock = <rock.bin>\n Tree2 = <trees/tree 2.bin>\n}");
    CollisionVolumeManager manager;
    LogRecorder log;
    manager.load(path);
    EXPECT_EQ(log.errors(), 0);
    ASSERT_EQ(manager.size(), 2u);
    ASSERT_NE(manager.find("Rock"), nullptr);
    ASSERT_NE(manager.find("Tree2"), nullptr);
    EXPECT_EQ(hullAt(*manager.find("Rock"), 0).vertices.size(), 3u);
    EXPECT_EQ(hullAt(*manager.find("Tree2"), 0).vertices.size(), 4u);
    EXPECT_EQ(
        log.count(debug, "Loading collision volume from <" + dir.path("collision/trees/tree 2.bin") + ">..."),
        1);
}

TEST(VolumesFile, GapsAndCommentsMayStandBetweenEveryToken) {
    ScratchDirectory dir;
    dir.write("a.bin", triangleFile());
    dir.write("b.bin", tetrahedronFile());
    CollisionVolumeManager manager;
    LogRecorder log;
    manager.parse("volumes{# the arena\nA=<a.bin>B\t=\v<b.bin>}trailing text is not read",
                  dir.path("x.volumes"));
    EXPECT_EQ(log.errors(), 0);
    EXPECT_TRUE(manager.contains("A"));
    EXPECT_TRUE(manager.contains("B"));
}

TEST(VolumesFile, FilesNotStartingWithTheKeywordRegisterNothing) {
    ScratchDirectory dir;
    dir.write("rock.bin", triangleFile());
    for (const std::string text :
         {"\nvolumes { Rock = <rock.bin> }", "# comment\nvolumes { Rock = <rock.bin> }",
          " volumes { Rock = <rock.bin> }", "Volumes { Rock = <rock.bin> }", "{ Rock = <rock.bin> }", ""}) {
        CollisionVolumeManager manager;
        LogRecorder log;
        manager.parse(text, dir.path("level.volumes"));
        EXPECT_EQ(manager.size(), 0u) << text;
        EXPECT_EQ(log.count(error, "Malformed volumes file: \"" + dir.path("level.volumes") + "\"!"), 1)
            << text;
    }
    CollisionVolumeManager manager;
    LogRecorder log;
    manager.parse("volumes { }", dir.path("level.volumes"));
    EXPECT_EQ(manager.size(), 0u);
    EXPECT_EQ(log.errors(), 0);
}

TEST(VolumesFile, EntriesReadBeforeBadTextStayRegistered) {
    ScratchDirectory dir;
    dir.write("rock.bin", triangleFile());
    dir.write("tree.bin", tetrahedronFile());
    const std::string path = dir.path("level.volumes");
    {
        // No closing brace.
        CollisionVolumeManager manager;
        LogRecorder log;
        manager.parse("volumes {\n Rock = <rock.bin>\n Tree = <tree.bin>\n", path);
        EXPECT_TRUE(manager.contains("Rock"));
        EXPECT_TRUE(manager.contains("Tree"));
        EXPECT_EQ(log.count(error, "Malformed volumes file: \"" + path + "\"!"), 1);
    }
    {
        // The underscore is not a name character: reading stops there.
        CollisionVolumeManager manager;
        LogRecorder log;
        manager.parse("volumes { Rock = <rock.bin> Big_tree = <tree.bin> Tree = <tree.bin> }", path);
        EXPECT_TRUE(manager.contains("Rock"));
        EXPECT_EQ(manager.size(), 1u);
    }
    {
        // A reference without ">" is not an entry.
        CollisionVolumeManager manager;
        LogRecorder log;
        manager.parse("volumes { Rock = <rock.bin> Tree = <tree.bin }", path);
        EXPECT_EQ(manager.size(), 1u);
    }
}

TEST(VolumesFile, ADuplicateNameKeepsItsFirstList) {
    ScratchDirectory dir;
    dir.write("rock.bin", triangleFile());
    dir.write("tree.bin", tetrahedronFile());
    CollisionVolumeManager manager;
    manager.parse("volumes { Rock = <rock.bin> Rock = <tree.bin> }", dir.path("level.volumes"));
    ASSERT_EQ(manager.size(), 1u);
    EXPECT_EQ(hullAt(*manager.find("Rock"), 0).vertices.size(), 3u);
}

TEST(VolumesFile, AnEntryWithARefusedMeshRegistersNothing) {
    ScratchDirectory dir;
    dir.write("rock.bin", triangleFile());
    dir.write("broken.bin", MeshBytes().u32(3).f32(1).str());
    CollisionVolumeManager manager;
    LogRecorder log;
    manager.parse("volumes { Gone = <missing.bin> Broken = <broken.bin> Rock = <rock.bin> }",
                  dir.path("level.volumes"));
    EXPECT_FALSE(manager.contains("Gone"));
    EXPECT_FALSE(manager.contains("Broken"));
    EXPECT_TRUE(manager.contains("Rock"));
    EXPECT_EQ(log.count(error, "\"" + dir.path("missing.bin") + "\"!"), 1);
    EXPECT_EQ(log.count(error, "\"" + dir.path("broken.bin") + "\"!"), 1);
    EXPECT_EQ(log.errors(), 2);
}

TEST(VolumesFile, DirectoryLoadingReachesSubdirectories) {
    ScratchDirectory dir;
    dir.write("collision/rock.bin", triangleFile());
    dir.write("collision/props/tree.bin", tetrahedronFile());
    dir.write("collision/level.volumes", "volumes { Rock = <rock.bin> }");
    dir.write("collision/props/props.volumes", "volumes { Tree = <tree.bin> }");
    dir.write("collision/props/ignored.volumes.bak", "volumes { Other = <tree.bin> }");
    CollisionVolumeManager manager;
    manager.loadDirectory(dir.path("collision/"), ".volumes", true);
    EXPECT_TRUE(manager.contains("Rock"));
    EXPECT_TRUE(manager.contains("Tree"));
    EXPECT_EQ(manager.size(), 2u);
}

TEST(TriangleMeshFile, VerticesTurnFromZUpToYUpAndIndicesCountFromOne) {
    ScratchDirectory dir;
    const std::string path =
        dir.write("m.bin", meshFile({{1, 2, 3}, {4, 5, 6}, {-1, -2, -3}}, {{1, 2, 3}, {3, 3, 1}}) + "extra");
    LogRecorder log;
    const auto mesh = CollisionVolumeManager::loadTriangleMesh(path);
    ASSERT_TRUE(mesh.has_value());
    EXPECT_EQ(mesh->vertices, (std::vector<glm::vec3>{{1, 3, -2}, {4, 6, -5}, {-1, -3, 2}}));
    EXPECT_EQ(mesh->triangles, (std::vector<std::array<std::uint32_t, 3>>{{0, 1, 2}, {2, 2, 0}}));
    EXPECT_EQ(log.errors(), 0);
    EXPECT_EQ(log.count(debug, "Loading collision volume from <" + path + ">..."), 1);
    EXPECT_EQ(log.count(debug, "3 vertices"), 1);
    EXPECT_EQ(log.count(debug, "2 triangles"), 1);

    const auto empty = CollisionVolumeManager::loadTriangleMesh(dir.write("e.bin", meshFile({}, {})));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->vertices.empty());
    EXPECT_TRUE(empty->triangles.empty());
}

TEST(TriangleMeshFile, MissingShortAndOutOfRangeFilesAreRefusedByName) {
    const std::vector<glm::vec3> points{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const std::string whole = meshFile(points, {{1, 2, 3}});
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty.bin", ""},
        {"short-count.bin", MeshBytes().u32(3).str().substr(0, 3)},
        {"short-vertices.bin", whole.substr(0, 4 + 2 * 12)},
        {"no-triangle-count.bin", whole.substr(0, 4 + 3 * 12)},
        {"short-triangles.bin", whole.substr(0, whole.size() - 1)},
        {"huge-vertex-count.bin", MeshBytes().u32(0xffffffffu).f32(0).str()},
        {"huge-triangle-count.bin", MeshBytes().vertices(points).u32(0x40000000u).u32(1).str()},
        {"index-zero.bin", meshFile(points, {{1, 2, 0}})},
        {"index-beyond.bin", meshFile(points, {{1, 4, 3}})},
        {"index-on-later-triangle.bin", meshFile(points, {{1, 2, 3}, {3, 2, 0xffffffffu}})},
    };
    ScratchDirectory dir;
    for (const auto& c : cases) {
        const std::string path = dir.write(c.name, c.bytes);
        LogRecorder log;
        EXPECT_FALSE(CollisionVolumeManager::loadTriangleMesh(path).has_value()) << c.name;
        EXPECT_EQ(log.errors(), 1) << c.name;
        EXPECT_EQ(log.count(error, "\"" + path + "\"!"), 1) << c.name;
    }
    LogRecorder log;
    EXPECT_FALSE(CollisionVolumeManager::loadTriangleMesh(dir.path("missing.bin")).has_value());
    EXPECT_EQ(log.count(error, "does not exist: \"" + dir.path("missing.bin") + "\"!"), 1);
    EXPECT_FALSE(CollisionVolumeManager::loadTriangleMesh(dir.path("")).has_value());
    EXPECT_EQ(log.errors(), 2);
}

TEST(ConvexHullBuilder, ACubeGivesOneHullWithThreeAxesInFaceOrder) {
    ScratchDirectory dir;
    const auto mesh = CollisionVolumeManager::loadTriangleMesh(
        dir.write("cube.bin", meshFile(cubeCorners(), cubeTriangles())));
    ASSERT_TRUE(mesh.has_value());
    LogRecorder log;
    const CollisionVolumeList hulls = CollisionVolumeManager::buildConvexHulls(*mesh);
    ASSERT_EQ(hulls.size(), 1u);
    const ConvexHull& hull = hullAt(hulls, 0);
    ASSERT_EQ(hull.axes.size(), 3u);
    expectNear(hull.axes[0], {1, 0, 0});
    expectNear(hull.axes[1], {0, 1, 0});
    expectNear(hull.axes[2], {0, 0, 1});
    // Vertices in index order, in game axes.
    std::vector<glm::vec3> expected;
    for (const glm::vec3& corner : cubeCorners()) {
        expected.emplace_back(corner.x, corner.z, -corner.y);
    }
    EXPECT_EQ(hull.vertices, expected);
    EXPECT_EQ(log.count(debug, "New convex hull: "), 1);
    EXPECT_EQ(log.count(debug, "3 axis"), 1);
    EXPECT_EQ(log.count(debug, "8 vertices"), 1);
}

TEST(ConvexHullBuilder, PartsAreSplitWhereTrianglesShareNoVertex) {
    const std::vector<glm::vec3> points{{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 1, 1},
                                        {0, 1, 0}, {5, 0, 0}, {6, 0, 0}, {5, 0, 1}};
    // Sharing only vertex 2: one hull of five vertices.
    CollisionVolumeList one =
        CollisionVolumeManager::buildConvexHulls(meshOf(points, {{0, 1, 2}, {2, 3, 4}}));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(hullAt(one, 0).vertices.size(), 5u);
    // No common vertex: two hulls, in the order of their first triangles.
    CollisionVolumeList two =
        CollisionVolumeManager::buildConvexHulls(meshOf(points, {{5, 6, 7}, {0, 1, 2}}));
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(hullAt(two, 0).vertices.front(), glm::vec3(5, 0, 0));
    EXPECT_EQ(hullAt(two, 1).vertices.front(), glm::vec3(0, 0, 0));
    // Parts interleaved in the triangle list are still gathered.
    CollisionVolumeList mixed =
        CollisionVolumeManager::buildConvexHulls(meshOf(points, {{0, 1, 2}, {5, 6, 7}, {2, 3, 4}}));
    ASSERT_EQ(mixed.size(), 2u);
    EXPECT_EQ(hullAt(mixed, 0).vertices.size(), 5u);
    EXPECT_EQ(hullAt(mixed, 1).vertices.size(), 3u);
    EXPECT_TRUE(CollisionVolumeManager::buildConvexHulls(meshOf(points, {})).empty());
}

TEST(ConvexHullBuilder, TrianglesJoinAPartSmallestFirstOnceTheyTouchIt) {
    // Triangle 0 touches 2 and 3, triangle 1 touches only 2. The part grows
    // 0, 2, then 1 (now the smallest that touches it) before 3, which a
    // breadth-first walk would take earlier. Each face has its own normal, so
    // the axes show the order.
    const std::vector<glm::vec3> points{{0, 0, 0}, {1, 0, 0}, {0, 0, 1},  {0, 1, 0}, {0, 0, -1},
                                        {2, 0, 0}, {1, 1, 0}, {2, -1, 0}, {2, 0, -1}};
    const CollisionVolumeList hulls = CollisionVolumeManager::buildConvexHulls(
        meshOf(points, {{0, 2, 1}, {3, 7, 8}, {0, 3, 4}, {1, 5, 6}}));
    ASSERT_EQ(hulls.size(), 1u);
    const ConvexHull& hull = hullAt(hulls, 0);
    ASSERT_EQ(hull.axes.size(), 4u);
    const float r = 1.0f / std::sqrt(3.0f);
    expectNear(hull.axes[0], {0, 1, 0});  // triangle 0
    expectNear(hull.axes[1], {1, 0, 0});  // triangle 2
    expectNear(hull.axes[2], {r, r, r});  // triangle 1, in the plane x + y + z = 1
    expectNear(hull.axes[3], {0, 0, 1});  // triangle 3
    EXPECT_EQ(hull.vertices.size(), 9u);
}

TEST(ConvexHullBuilder, PartsMatchTheWalkOverRemainingTrianglesOnRandomMeshes) {
    // The plain rule: a part starts at the smallest remaining triangle, then
    // walks the remaining triangles from the smallest and takes the first that
    // shares a vertex with the part, starting over after each one.
    const auto walk = [](const TriangleMesh& mesh) {
        std::vector<std::vector<std::uint32_t>> parts;
        std::set<std::uint32_t> remaining;
        for (std::uint32_t t = 0; t < mesh.triangles.size(); ++t) {
            remaining.insert(t);
        }
        const auto share = [&](std::uint32_t a, std::uint32_t b) {
            for (std::uint32_t i : mesh.triangles[a]) {
                for (std::uint32_t j : mesh.triangles[b]) {
                    if (i == j) {
                        return true;
                    }
                }
            }
            return false;
        };
        while (!remaining.empty()) {
            std::vector<std::uint32_t> part{*remaining.begin()};
            remaining.erase(remaining.begin());
            for (bool grown = true; grown;) {
                grown = false;
                for (std::uint32_t t : remaining) {
                    if (std::any_of(part.begin(), part.end(), [&](std::uint32_t p) { return share(t, p); })) {
                        part.push_back(t);
                        remaining.erase(t);
                        grown = true;
                        break;
                    }
                }
            }
            parts.push_back(part);
        }
        return parts;
    };
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-10.0f, 10.0f);
    for (int round = 0; round < 20; ++round) {
        TriangleMesh mesh;
        for (int v = 0; v < 40; ++v) {
            mesh.vertices.emplace_back(coordinate(random), coordinate(random), coordinate(random));
        }
        std::uniform_int_distribution<std::uint32_t> index(0, 39);
        for (int t = 0; t < 16; ++t) {
            std::uint32_t a = index(random), b = index(random), c = index(random);
            while (b == a) {
                b = index(random);
            }
            while (c == a || c == b) {
                c = index(random);
            }
            mesh.triangles.push_back({a, b, c});
        }
        const auto parts = walk(mesh);
        const CollisionVolumeList hulls = CollisionVolumeManager::buildConvexHulls(mesh);
        ASSERT_EQ(hulls.size(), parts.size());
        for (std::size_t h = 0; h < parts.size(); ++h) {
            // Random faces are never parallel, so every triangle adds its
            // normal, in the order in which it joined.
            const ConvexHull& hull = hullAt(hulls, h);
            ASSERT_EQ(hull.axes.size(), parts[h].size());
            for (std::size_t i = 0; i < parts[h].size(); ++i) {
                const auto& t = mesh.triangles[parts[h][i]];
                const glm::vec3 n = glm::normalize(glm::cross(mesh.vertices[t[1]] - mesh.vertices[t[0]],
                                                              mesh.vertices[t[2]] - mesh.vertices[t[0]]));
                EXPECT_NEAR(std::abs(glm::dot(hull.axes[i], n)), 1.0f, 1e-5f);
            }
        }
    }
}

TEST(ConvexHullBuilder, NormalsPointUpThenAlongXThenAlongZ) {
    const std::vector<glm::vec3> points{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const auto axisOf = [&](std::array<std::uint32_t, 3> triangle) {
        const CollisionVolumeList hulls =
            CollisionVolumeManager::buildConvexHulls(meshOf(points, {triangle}));
        EXPECT_EQ(hullAt(hulls, 0).axes.size(), 1u);
        return hullAt(hulls, 0).axes.at(0);
    };
    expectNear(axisOf({0, 1, 3}), {0, 1, 0});  // wound to (0, -1, 0)
    expectNear(axisOf({0, 3, 1}), {0, 1, 0});
    expectNear(axisOf({0, 3, 2}), {1, 0, 0});  // wound to (-1, 0, 0)
    expectNear(axisOf({0, 2, 1}), {0, 0, 1});  // wound to (0, 0, -1)
    // A slanted face whose normal has a negative y is turned as a whole.
    const float r = 1.0f / std::sqrt(3.0f);
    expectNear(axisOf({1, 3, 2}), {r, r, r});
    expectNear(axisOf({1, 2, 3}), {r, r, r});
}

TEST(ConvexHullBuilder, ParallelFacesShareOneAxisAndDegenerateTrianglesAddNone) {
    const std::vector<glm::vec3> points{{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {2, 0, 0}, {3, 0, 0}, {0, 1, 0}};
    // Coplanar and opposite windings: one axis.
    CollisionVolumeList flat =
        CollisionVolumeManager::buildConvexHulls(meshOf(points, {{0, 1, 2}, {1, 0, 2}}));
    EXPECT_EQ(hullAt(flat, 0).axes.size(), 1u);
    // Collinear points and repeated indices have no normal; their vertices
    // still belong to the hull.
    LogRecorder log;
    CollisionVolumeList degenerate =
        CollisionVolumeManager::buildConvexHulls(meshOf(points, {{0, 1, 3}, {3, 4, 4}, {0, 4, 5}}));
    ASSERT_EQ(degenerate.size(), 1u);
    const ConvexHull& hull = hullAt(degenerate, 0);
    ASSERT_EQ(hull.axes.size(), 1u);
    expectNear(hull.axes[0], {0, 0, 1});
    EXPECT_EQ(hull.vertices.size(), 5u);
    for (const glm::vec3& axis : hull.axes) {
        EXPECT_FALSE(std::isnan(axis.x) || std::isnan(axis.y) || std::isnan(axis.z));
    }
    EXPECT_EQ(log.errors(), 0);
    // Only degenerate triangles: a hull without axes.
    CollisionVolumeList line = CollisionVolumeManager::buildConvexHulls(meshOf(points, {{0, 1, 3}}));
    ASSERT_EQ(line.size(), 1u);
    EXPECT_TRUE(hullAt(line, 0).axes.empty());
    EXPECT_EQ(hullAt(line, 0).vertices.size(), 3u);
}

TEST(ConvexHullBuilder, IndicesBeyondTheVerticesAreRefused) {
    LogRecorder log;
    EXPECT_TRUE(CollisionVolumeManager::buildConvexHulls(meshOf({{0, 0, 0}}, {{0, 0, 1}})).empty());
    EXPECT_EQ(log.errors(), 1);
}

TEST(CollisionVolumeRegistry, TheFloorIsOneBoxUnderTheGroundPlane) {
    const CollisionVolumeList floor = CollisionVolumeManager::makeFloorVolumes();
    ASSERT_EQ(floor.size(), 1u);
    ASSERT_EQ(floor[0]->type, CollisionVolumeType::AxisAlignedBox);
    EXPECT_EQ(static_cast<const AxisAlignedBox&>(*floor[0]).min, glm::vec3(-50, -10, -50));
    EXPECT_EQ(static_cast<const AxisAlignedBox&>(*floor[0]).max, glm::vec3(50, 0, 50));

    CollisionVolumeManager manager;
    manager.add("Floor", std::make_unique<CollisionVolumeList>());
    manager.addFloorVolumes();
    EXPECT_TRUE(manager.find("Floor")->empty());
    CollisionVolumeManager fresh;
    fresh.addFloorVolumes();
    EXPECT_EQ(fresh.find(CollisionVolumeManager::floorName)->size(), 1u);
}

TEST(CollisionVolumeRegistry, AttachingGivesTheEntityItsOwnCopies) {
    CollisionVolumeManager manager;
    manager.addFloorVolumes();
    CollisionVolumeList volumes;
    volumes.push_back(std::make_unique<Sphere>(glm::vec3(0), 1.0f));
    EXPECT_TRUE(manager.attachVolumes("Floor", volumes));
    ASSERT_EQ(volumes.size(), 2u);
    auto& box = static_cast<AxisAlignedBox&>(*volumes[1]);
    box.max = glm::vec3(1);
    EXPECT_EQ(static_cast<const AxisAlignedBox&>(*manager.find("Floor")->at(0)).max, glm::vec3(50, 0, 50));

    LogRecorder log;
    EXPECT_FALSE(manager.attachVolumes("Rock", volumes));
    EXPECT_EQ(volumes.size(), 2u);
    EXPECT_EQ(log.count(error, "No CollisionVolumeList under that name present: \"Rock\"!"), 1);
}
