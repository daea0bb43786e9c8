// The world beyond the arena and the markings of the two bases: meshes that
// are only drawn (no collision volume, no part of the navigation mesh), placed
// by data/level/scenery.lvl.
//
// - "Outland": the ground continued from the arena's edge out to 130 units
//   from the centre, flat for the first few units and then rising into hills,
//   never below the arena's floor (so every camera ray that would reach
//   y = 0 meets ground on the way, well inside the far plane).
// - "OutlandRocks": a low border of boulders just outside the edge and a
//   looser second row.
// - "OutlandTrees": a wood of simple conifers on the rising ground.
// - "BaseRing": two flat bands round a flag on the floor, one at 20 units
//   (how far a base's guard watches) and one close round the flag.
//
// Everything is low in triangles and built from a fixed seed, so two bakes
// write the same bytes.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bake.h"
#include "bake_image.h"
#include "mesh_builder.h"

namespace bake {
namespace {

constexpr float kPi = 3.14159265358979323846f;
constexpr float kArenaHalf = 50.0f;     // the floor spans -50..50 on x and z
constexpr float kOutlandHalf = 130.0f;  // the outland's outer edge
constexpr float kGrid = 5.0f;           // ground lattice spacing
constexpr float kGroundTile = 6.0f;     // one grass repeat per this many units

// How far (x, z) lies outside the arena's square.
float outside(float x, float z) {
    return std::max(std::abs(x), std::abs(z)) - kArenaHalf;
}

// Height of the outland at (x, z): flat at the edge, then rising towards the
// horizon with rolling hills; never negative.
float groundHeight(float x, float z) {
    const float t = outside(x, z) - 4.0f;
    if (t <= 0.0f) {
        return 0.0f;
    }
    const float u = (x + kOutlandHalf) / (2.0f * kOutlandHalf);
    const float v = (z + kOutlandHalf) / (2.0f * kOutlandHalf);
    const float hills = fractalNoise(u, v, 6, 3, 301);
    return 0.22f * t + 0.0035f * t * t + 9.0f * hills * std::min(t / 25.0f, 1.0f);
}

glm::vec3 groundNormal(float x, float z) {
    constexpr float e = 0.5f;
    const float dx = groundHeight(x + e, z) - groundHeight(x - e, z);
    const float dz = groundHeight(x, z + e) - groundHeight(x, z - e);
    return glm::normalize(glm::vec3(-dx, 2.0f * e, -dz));
}

MeshBuilder outlandMesh() {
    MeshBuilder mesh;
    const int cells = static_cast<int>(2.0f * kOutlandHalf / kGrid);
    const auto at = [](int i) { return -kOutlandHalf + kGrid * static_cast<float>(i); };
    std::vector<std::uint32_t> index(static_cast<std::size_t>((cells + 1) * (cells + 1)));
    for (int j = 0; j <= cells; ++j) {
        for (int i = 0; i <= cells; ++i) {
            BakeVertex vertex;
            const float x = at(i), z = at(j);
            vertex.position = glm::vec3(x, groundHeight(x, z), z);
            vertex.normal = groundNormal(x, z);
            vertex.texCoord = glm::vec2(x / kGroundTile, -z / kGroundTile);
            index[static_cast<std::size_t>(j * (cells + 1) + i)] = mesh.addVertex(vertex);
        }
    }
    const glm::vec3 up(0.0f, 1.0f, 0.0f);
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            const float cx = at(i) + 0.5f * kGrid, cz = at(j) + 0.5f * kGrid;
            if (outside(cx, cz) < 0.0f) {
                continue;  // the arena's own floor is there
            }
            const auto v = [&](int di, int dj) {
                return index[static_cast<std::size_t>((j + dj) * (cells + 1) + i + di)];
            };
            mesh.addTriangle(v(0, 0), v(1, 0), v(1, 1), up);
            mesh.addTriangle(v(0, 0), v(1, 1), v(0, 1), up);
        }
    }
    mesh.computeTangents();
    return mesh;
}

// A flat-shaded icosahedron with the given radii, turned by yaw about y.
void addBoulder(MeshBuilder& mesh, const glm::vec3& centre, const glm::vec3& radii, float yaw) {
    const float g = 1.61803399f;
    const std::array<glm::vec3, 12> corners{{{-1, g, 0},
                                             {1, g, 0},
                                             {-1, -g, 0},
                                             {1, -g, 0},
                                             {0, -1, g},
                                             {0, 1, g},
                                             {0, -1, -g},
                                             {0, 1, -g},
                                             {g, 0, -1},
                                             {g, 0, 1},
                                             {-g, 0, -1},
                                             {-g, 0, 1}}};
    static const std::array<std::array<int, 3>, 20> faces{
        {{0, 11, 5},  {0, 5, 1},  {0, 1, 7},  {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
         {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
         {3, 8, 9},   {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}}};
    const float c = std::cos(yaw), s = std::sin(yaw);
    std::array<glm::vec3, 12> points;
    for (std::size_t k = 0; k < corners.size(); ++k) {
        const glm::vec3 p = glm::normalize(corners[k]) * radii;
        points[k] = centre + glm::vec3(c * p.x + s * p.z, p.y, -s * p.x + c * p.z);
    }
    for (const auto& face : faces) {
        const glm::vec3& a = points[static_cast<std::size_t>(face[0])];
        const glm::vec3& b = points[static_cast<std::size_t>(face[1])];
        const glm::vec3& d = points[static_cast<std::size_t>(face[2])];
        const glm::vec3 outward = (a + b + d) / 3.0f - centre;
        const glm::vec3 normal = glm::normalize(glm::cross(b - a, d - a)) *
                                 (glm::dot(glm::cross(b - a, d - a), outward) < 0.0f ? -1.0f : 1.0f);
        std::array<std::uint32_t, 3> ids{};
        const std::array<const glm::vec3*, 3> corner{&a, &b, &d};
        for (std::size_t k = 0; k < 3; ++k) {
            BakeVertex vertex;
            vertex.position = *corner[k];
            vertex.normal = normal;
            // Planar mapping along the face's dominant axis, one repeat per 3 units.
            const glm::vec3 n = glm::abs(normal);
            const glm::vec3 p = *corner[k] / 3.0f;
            vertex.texCoord = n.y >= n.x && n.y >= n.z ? glm::vec2(p.x, p.z)
                              : n.x >= n.z             ? glm::vec2(p.z, p.y)
                                                       : glm::vec2(p.x, p.y);
            ids[k] = mesh.addVertex(vertex);
        }
        mesh.addTriangle(ids[0], ids[1], ids[2], outward);
    }
}

// Points along the square of half-size half round the arena, one every
// spacing units, each pushed in or out by up to jitter.
std::vector<glm::vec2> squareRing(float half, float spacing, float jitter, std::uint32_t seed) {
    std::vector<glm::vec2> points;
    const int perSide = static_cast<int>(2.0f * half / spacing);
    for (int side = 0; side < 4; ++side) {
        for (int k = 0; k < perSide; ++k) {
            const float along = -half + spacing * (static_cast<float>(k) + hashUnit(side, k, seed));
            const float across = half + jitter * (2.0f * hashUnit(side, k, seed + 1) - 1.0f);
            const glm::vec2 p = side == 0   ? glm::vec2(along, -across)
                                : side == 1 ? glm::vec2(across, along)
                                : side == 2 ? glm::vec2(-along, across)
                                            : glm::vec2(-across, -along);
            points.push_back(p);
        }
    }
    return points;
}

MeshBuilder outlandRocksMesh() {
    MeshBuilder mesh;
    int n = 0;
    for (const glm::vec2& p : squareRing(kArenaHalf + 2.2f, 4.0f, 0.6f, 311)) {
        const float r = 1.5f + 0.9f * hashUnit(n, 0, 313);
        const glm::vec3 radii(r, r * (0.7f + 0.3f * hashUnit(n, 1, 313)),
                              r * (0.8f + 0.3f * hashUnit(n, 2, 313)));
        addBoulder(mesh, glm::vec3(p.x, radii.y * 0.35f, p.y), radii, 6.2832f * hashUnit(n, 3, 313));
        ++n;
    }
    for (const glm::vec2& p : squareRing(kArenaHalf + 6.5f, 9.0f, 1.5f, 317)) {
        const float r = 2.0f + 1.4f * hashUnit(n, 0, 319);
        const glm::vec3 radii(r, r * 0.8f, r * 0.9f);
        addBoulder(mesh, glm::vec3(p.x, groundHeight(p.x, p.y) + radii.y * 0.3f, p.y), radii,
                   6.2832f * hashUnit(n, 3, 319));
        ++n;
    }
    mesh.computeTangents();
    return mesh;
}

// A conifer standing on the ground at (x, z): two smooth cones of needles,
// the lower one reaching down to the ground, mapped into the right half of
// the tree texture (its foliage).
void addConifer(MeshBuilder& mesh, float x, float z, float height, float radius) {
    const float base = groundHeight(x, z) - 0.3f;
    constexpr int kSides = 6;
    const UvRect needles{0.5f, 0.0f, 1.0f, 1.0f};
    for (int tier = 0; tier < 2; ++tier) {
        const float bottom = base + height * (tier == 0 ? 0.0f : 0.45f);
        const float top = base + height * (tier == 0 ? 0.7f : 1.0f);
        const float r = radius * (tier == 0 ? 1.0f : 0.7f);
        const float lean = r / (top - bottom);
        // The rim closes on a copy of its first corner, so u runs 0 to 1
        // round the cone without folding back across the seam.
        std::array<std::uint32_t, kSides + 1> rim{};
        for (int k = 0; k <= kSides; ++k) {
            const float a = 2.0f * kPi * k / kSides;
            const glm::vec3 d(std::cos(a), 0.0f, std::sin(a));
            BakeVertex vertex;
            vertex.position = glm::vec3(x, bottom, z) + d * r;
            vertex.normal = glm::normalize(d + glm::vec3(0.0f, lean, 0.0f));
            vertex.texCoord = needles.at(static_cast<float>(k) / kSides, 0.0f);
            rim[static_cast<std::size_t>(k)] = mesh.addVertex(vertex);
        }
        for (int k = 0; k < kSides; ++k) {
            const float a = 2.0f * kPi * (k + 0.5f) / kSides;
            // Each side gets its own tip, in the middle of its stretch of u.
            BakeVertex apex;
            apex.position = glm::vec3(x, top, z);
            apex.normal = glm::normalize(glm::vec3(std::cos(a), lean, std::sin(a)));
            apex.texCoord = needles.at((k + 0.5f) / kSides, 1.0f);
            const std::uint32_t tip = mesh.addVertex(apex);
            mesh.addTriangle(rim[static_cast<std::size_t>(k)], rim[static_cast<std::size_t>(k + 1)], tip,
                             apex.normal);
        }
    }
}

MeshBuilder outlandTreesMesh() {
    MeshBuilder mesh;
    // Candidate spots on a jittered lattice over the band 8 to 34 units
    // outside the arena (the follow camera sees little further); about a
    // third of them get a tree, more further out.
    constexpr float kStep = 6.0f;
    constexpr float kReach = kArenaHalf + 34.0f;
    const int steps = static_cast<int>(2.0f * kReach / kStep);
    for (int j = 0; j <= steps; ++j) {
        for (int i = 0; i <= steps; ++i) {
            const float x = -kReach + kStep * (static_cast<float>(i) + hashUnit(i, j, 331));
            const float z = -kReach + kStep * (static_cast<float>(j) + hashUnit(i, j, 332));
            const float d = outside(x, z);
            if (d < 8.0f || d > 34.0f || hashUnit(i, j, 333) > 0.2f + d / 100.0f) {
                continue;
            }
            addConifer(mesh, x, z, 7.0f + 5.0f * hashUnit(i, j, 334), 2.2f + 1.2f * hashUnit(i, j, 335));
        }
    }
    mesh.computeTangents();
    return mesh;
}

// Flat bands on the floor round a flag (drawn just above it): one at the
// guard's watch radius of 20, one close round the flag. u runs round, v across.
MeshBuilder baseRingMesh() {
    MeshBuilder mesh;
    constexpr int kSegments = 96;
    constexpr float kLift = 0.05f;
    const glm::vec3 up(0.0f, 1.0f, 0.0f);
    for (const auto& band : {std::array<float, 2>{19.4f, 20.4f}, std::array<float, 2>{2.6f, 3.4f}}) {
        for (int k = 0; k < kSegments; ++k) {
            const float a0 = 2.0f * kPi * k / kSegments, a1 = 2.0f * kPi * (k + 1) / kSegments;
            const glm::vec3 d0(std::cos(a0), 0.0f, std::sin(a0)), d1(std::cos(a1), 0.0f, std::sin(a1));
            const glm::vec3 lift(0.0f, kLift, 0.0f);
            const float u0 = 8.0f * k / kSegments, u1 = 8.0f * (k + 1) / kSegments;
            mesh.addQuad({d0 * band[0] + lift, d1 * band[0] + lift, d1 * band[1] + lift, d0 * band[1] + lift},
                         {glm::vec2(u0, 0.0f), glm::vec2(u1, 0.0f), glm::vec2(u1, 1.0f), glm::vec2(u0, 1.0f)},
                         up);
        }
    }
    mesh.computeTangents();
    return mesh;
}

}  // namespace
}  // namespace bake

bool bakeScenery(const std::string& root) {
    using namespace bake;
    const std::string directory = root + "resources/meshes/";
    bool ok = writeFile(directory + "outland.mesh", staticMeshFile(outlandMesh()));
    ok = writeFile(directory + "outland_rocks.mesh", staticMeshFile(outlandRocksMesh())) && ok;
    ok = writeFile(directory + "outland_trees.mesh", staticMeshFile(outlandTreesMesh())) && ok;
    ok = writeFile(directory + "base_ring.mesh", staticMeshFile(baseRingMesh())) && ok;
    if (!ok) {
        std::fprintf(stderr, "baking the scenery failed\n");
    }
    return ok;
}
