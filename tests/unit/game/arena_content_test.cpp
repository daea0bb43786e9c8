// Checks of the shipped arena: the level, its collision list and the baked
// navigation mesh, read from the repository root (the tests' working
// directory) after the content build.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <queue>
#include <regex>
#include <set>

#include "game/level.h"
#include "mechanics/navigation_mesh.h"
#include "shapes.h"
#include "support/baked_meshes.h"

namespace {
using Polygon = std::vector<glm::vec2>;

class ArenaContent : public ::testing::Test {
  protected:
    void SetUp() override {
        level = loadLevel("data/level/test.lvl");
        ASSERT_TRUE(readBakedNavigationMesh("data/level/test.nav", navigation))
            << "data/level/test.nav is missing or malformed: build the content target";
        for (const LevelObject& object : level.objects) {
            if (object.name == "Floor") {
                continue;
            }
            // Scale, then turn, then move: the transform the game gives the object.
            Polygon placed;
            for (const glm::vec2& p : footprintOf(object.name)) {
                const glm::vec3 world =
                    object.position + object.rotation * (object.scale * glm::vec3(p.x, 0.0f, p.y));
                placed.emplace_back(world.x, world.z);
            }
            footprints.push_back(placed);
        }
        buildNeighbours();
    }

    // Quads sharing an edge (two corner indices) are neighbours.
    void buildNeighbours() {
        std::map<std::pair<uint32_t, uint32_t>, std::vector<std::size_t>> byEdge;
        for (std::size_t q = 0; q < navigation.quads.size(); ++q) {
            const auto& corners = navigation.quads[q];
            for (int k = 0; k < 4; ++k) {
                const uint32_t a = corners[k], b = corners[(k + 1) % 4];
                byEdge[{std::min(a, b), std::max(a, b)}].push_back(q);
            }
        }
        neighbours.assign(navigation.quads.size(), {});
        for (const auto& [edge, quads] : byEdge) {
            for (std::size_t i : quads) {
                for (std::size_t j : quads) {
                    if (i != j) {
                        neighbours[i].push_back(j);
                    }
                }
            }
        }
    }

    glm::vec2 corner(std::size_t quad, int k) const {
        const glm::vec3& v = navigation.vertices[navigation.quads[quad][k]];
        return glm::vec2(v.x, v.z);
    }

    // The first quad holding the point (x, z) inside or on its border.
    std::optional<std::size_t> quadAt(const glm::vec3& point) const {
        for (std::size_t q = 0; q < navigation.quads.size(); ++q) {
            Polygon outline;
            for (int k = 0; k < 4; ++k) {
                outline.push_back(corner(q, k));
            }
            if (contains(outline, glm::vec2(point.x, point.z), 1e-4f)) {
                return q;
            }
        }
        return std::nullopt;
    }

    // The quads of a shortest route from one quad to another over
    // neighbours, avoiding the quads in closed; empty when there is none.
    std::vector<std::size_t> route(std::size_t from, std::size_t to,
                                   const std::set<std::size_t>& closed = {}) const {
        std::vector<long> previous(navigation.quads.size(), -1);
        std::queue<std::size_t> open;
        open.push(from);
        previous[from] = static_cast<long>(from);
        while (!open.empty()) {
            const std::size_t q = open.front();
            open.pop();
            if (q == to) {
                std::vector<std::size_t> path{to};
                while (path.back() != from) {
                    path.push_back(static_cast<std::size_t>(previous[path.back()]));
                }
                std::reverse(path.begin(), path.end());
                return path;
            }
            for (std::size_t n : neighbours[q]) {
                if (previous[n] < 0 && closed.count(n) == 0) {
                    previous[n] = static_cast<long>(q);
                    open.push(n);
                }
            }
        }
        return {};
    }

    // Inside or on a convex polygon of either winding, with a tolerance.
    static bool contains(const Polygon& polygon, const glm::vec2& p, float tolerance) {
        bool negative = false, positive = false;
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            const glm::vec2 a = polygon[i], b = polygon[(i + 1) % polygon.size()];
            const float side = ((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x)) / glm::length(b - a);
            negative = negative || side < -tolerance;
            positive = positive || side > tolerance;
        }
        return !(negative && positive);
    }

    std::vector<glm::vec3> basesAndSpawns() const {
        std::vector<glm::vec3> points;
        for (const auto& [team, spawns] : level.spawnPoints) {
            points.insert(points.end(), spawns.begin(), spawns.end());
        }
        for (const auto& [team, flag] : level.flagPositions) {
            points.push_back(flag);
        }
        return points;
    }

    Level level;
    BakedNavigationMesh navigation;
    std::vector<Polygon> footprints;
    std::vector<std::vector<std::size_t>> neighbours;
};
}  // namespace

TEST_F(ArenaContent, PlacesTwoBasesWithFlagsAndSpawnsOnTheFloor) {
    ASSERT_FALSE(level.objects.empty());
    EXPECT_EQ(level.objects[0].name, "Floor");
    EXPECT_EQ(level.objects[0].position, glm::vec3(0, 0, 0));
    ASSERT_EQ(level.flagPositions.size(), 2u);
    EXPECT_NEAR(level.flagPositions.at(Blue).x, -40.0f, 5.0f);
    EXPECT_NEAR(level.flagPositions.at(Red).x, 40.0f, 5.0f);
    for (Team team : {Blue, Red}) {
        ASSERT_EQ(level.spawnPoints.count(team), 1u);
        EXPECT_GE(level.spawnPoints.at(team).size(), 4u);
        for (const glm::vec3& spawn : level.spawnPoints.at(team)) {
            EXPECT_LT(glm::distance(spawn, level.flagPositions.at(team)), 12.0f);
            EXPECT_EQ(spawn.y, 0.0f);
        }
    }
    std::set<std::string> kinds;
    for (const LevelObject& object : level.objects) {
        kinds.insert(object.name);
        EXPECT_LE(std::abs(object.position.x), 50.0f);
        EXPECT_LE(std::abs(object.position.z), 50.0f);
        // Objects turn about the vertical axis only.
        EXPECT_NEAR(object.rotation.x, 0.0f, 1e-6f);
        EXPECT_NEAR(object.rotation.z, 0.0f, 1e-6f);
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"Floor", "Pillar", "Rock", "Tree", "Wall"}));
}

TEST_F(ArenaContent, GivesEveryObstacleKindACollisionMeshOfItsConvexParts) {
    const std::vector<unsigned char> bytes = fileBytes("data/collision/level.volumes");
    const std::string text(bytes.begin(), bytes.end());
    ASSERT_EQ(text.rfind("volumes", 0), 0u);
    std::map<std::string, std::string> entries;
    const std::regex entry(R"(([A-Za-z0-9]+)\s*=\s*<([^>]*)>)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), entry); it != std::sregex_iterator();
         ++it) {
        entries[(*it)[1]] = (*it)[2];
    }
    for (const LevelObject& object : level.objects) {
        if (object.name != "Floor") {
            EXPECT_EQ(entries.count(object.name), 1u) << object.name;
        }
    }
    EXPECT_EQ(entries.count("Floor"), 0u);  // the game builds the floor's box itself
    for (const auto& [name, reference] : entries) {
        SCOPED_TRACE(name);
        BakedTriangleMesh mesh;
        ASSERT_TRUE(readBakedTriangleMesh("data/collision/" + reference, mesh));
        EXPECT_EQ(mesh.triangles.size(), shapeOf(name).triangles.size());
        EXPECT_EQ(countVertexConnectedParts(mesh.triangles, mesh.vertices.size()),
                  convexPartsOf(name).size());
    }
}

TEST_F(ArenaContent, KeepsNavigationQuadsOutOfObstacleFootprints) {
    ASSERT_GT(navigation.quads.size(), 2000u);
    EXPECT_LT(navigation.quads.size(), 2500u);
    for (std::size_t q = 0; q < navigation.quads.size(); ++q) {
        const glm::vec2 centre = (corner(q, 0) + corner(q, 1) + corner(q, 2) + corner(q, 3)) / 4.0f;
        for (const Polygon& footprint : footprints) {
            EXPECT_FALSE(contains(footprint, centre, 0.0f)) << centre.x << ", " << centre.y;
        }
        const glm::vec3 c0 = navigation.vertices[navigation.quads[q][0]];
        EXPECT_GT(glm::cross(navigation.vertices[navigation.quads[q][1]] - c0,
                             navigation.vertices[navigation.quads[q][2]] - c0)
                      .y,
                  0.0f);
    }
}

TEST_F(ArenaContent, ConnectsEverySpawnPointWithBothFlags) {
    for (const glm::vec3& point : basesAndSpawns()) {
        EXPECT_TRUE(quadAt(point).has_value()) << point.x << ", " << point.z;
    }
    for (const auto& [flagTeam, flag] : level.flagPositions) {
        const auto flagQuad = quadAt(flag);
        ASSERT_TRUE(flagQuad.has_value());
        for (const auto& [team, spawns] : level.spawnPoints) {
            for (const glm::vec3& spawn : spawns) {
                const auto spawnQuad = quadAt(spawn);
                ASSERT_TRUE(spawnQuad.has_value());
                EXPECT_FALSE(route(*spawnQuad, *flagQuad).empty()) << spawn.x << ", " << spawn.z;
            }
        }
    }
}

TEST_F(ArenaContent, OffersASecondRouteWhenTheFirstIsBlocked) {
    const auto blue = quadAt(level.flagPositions.at(Blue));
    const auto red = quadAt(level.flagPositions.at(Red));
    ASSERT_TRUE(blue && red);
    const std::vector<std::size_t> first = route(*blue, *red);
    ASSERT_GT(first.size(), 30u);
    // Close the middle third of the shortest route and a band of cells
    // around it, so that the second route cannot squeeze past beside it.
    std::set<std::size_t> closed;
    for (std::size_t i = first.size() / 3; i < 2 * first.size() / 3; ++i) {
        closed.insert(first[i]);
        for (std::size_t n : neighbours[first[i]]) {
            closed.insert(n);
        }
    }
    const std::vector<std::size_t> second = route(*blue, *red, closed);
    EXPECT_FALSE(second.empty());
}

// The game's own path finder on the shipped mesh: every spawn point reaches
// both flags, and no straight piece of a path cuts through an obstacle.
TEST_F(ArenaContent, PathsFromEverySpawnReachBothFlagsAroundTheObstacles) {
    const std::shared_ptr<NavigationMesh> mesh = loadNavigationMesh("data/level/test.nav");
    ASSERT_TRUE(mesh);
    for (const auto& [flagTeam, flag] : level.flagPositions) {
        NavigationLocation goal;
        ASSERT_TRUE(mesh->locate(flag, goal));
        for (const auto& [team, spawns] : level.spawnPoints) {
            for (const glm::vec3& spawn : spawns) {
                NavigationLocation start;
                ASSERT_TRUE(mesh->locate(spawn, start)) << spawn.x << ", " << spawn.z;
                std::list<glm::vec3> path;
                mesh->findPath(start, goal, path);
                ASSERT_GE(path.size(), 2u) << spawn.x << ", " << spawn.z;
                EXPECT_NEAR(glm::distance(path.back(), flag), 0.0f, 1e-3f);
                for (auto a = path.begin(), b = std::next(a); b != path.end(); ++a, ++b) {
                    for (int step = 0; step <= 20; ++step) {
                        const glm::vec3 p = glm::mix(*a, *b, step / 20.0f);
                        for (const Polygon& footprint : footprints) {
                            EXPECT_FALSE(contains(footprint, glm::vec2(p.x, p.z), -0.05f))
                                << "path from " << spawn.x << ", " << spawn.z << " crosses an obstacle at " << p.x
                                << ", " << p.z;
                        }
                    }
                }
            }
        }
    }
}
