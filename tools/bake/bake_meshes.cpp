#include <cmath>
#include <cstdio>
#include <string>

#include "actor.h"
#include "bake.h"
#include "mesh_builder.h"

// Static meshes stand on y = 0 with their footprint centred on the origin,
// in world units (level objects are drawn at scale 1). Surfaces that tile
// map one texture repeat to every 4 units unless said otherwise.

namespace bake {
namespace {

constexpr float kTile = 0.25f;

// 100 x 100 at y = 0 as a 10 x 10 grid; u runs 0..1 along +x and v 0..1
// along -z, so the terrain's selection texture covers the floor once and
// its layers tile by their own factors.
MeshBuilder floorMesh() {
    MeshBuilder mesh;
    constexpr int kCells = 10;
    constexpr float kSize = 100.0f;
    const glm::vec3 up(0, 1, 0);
    for (int i = 0; i < kCells; ++i) {
        for (int j = 0; j < kCells; ++j) {
            const float x0 = -50.0f + kSize * i / kCells, x1 = -50.0f + kSize * (i + 1) / kCells;
            const float z0 = -50.0f + kSize * j / kCells, z1 = -50.0f + kSize * (j + 1) / kCells;
            const auto uv = [](float x, float z) {
                return glm::vec2((x + 50.0f) / 100.0f, (50.0f - z) / 100.0f);
            };
            mesh.addQuad(
                {glm::vec3(x0, 0, z1), glm::vec3(x1, 0, z1), glm::vec3(x1, 0, z0), glm::vec3(x0, 0, z0)},
                {uv(x0, z1), uv(x1, z1), uv(x1, z0), uv(x0, z0)}, up);
        }
    }
    mesh.computeTangents();
    return mesh;
}

// A straight wall 12 long (x), 4 high, 1.5 thick (z).
MeshBuilder wallMesh() {
    MeshBuilder mesh;
    mesh.addBox(glm::vec3(-6.0f, 0.0f, -0.75f), glm::vec3(6.0f, 4.0f, 0.75f), kTile);
    mesh.computeTangents();
    return mesh;
}

// An octagonal column, circumradius 1.5, 8 high, flat sides facing the axes.
MeshBuilder pillarMesh() {
    MeshBuilder mesh;
    mesh.addPrism(glm::vec3(0.0f), 1.5f, 8.0f, 8, 22.5f, kTile);
    mesh.computeTangents();
    return mesh;
}

// A boulder: a faceted convex blob about 3 wide, 2.8 deep and 2.5 high with
// a flat base.
MeshBuilder rockMesh() {
    MeshBuilder mesh;
    mesh.addFacetedBlob(glm::vec3(0.0f, 1.05f, 0.0f), glm::vec3(1.5f, 1.45f, 1.4f), 20.0f, 0.0f, 0.5f);
    mesh.computeTangents();
    return mesh;
}

// A trunk (octagonal, radius 0.6, 4 high) mapped into the left half of the
// texture, under a faceted crown from y = 3 to about 8.6 mapped into the
// right half.
MeshBuilder treeMesh() {
    MeshBuilder mesh;
    mesh.addPrism(glm::vec3(0.0f), 0.6f, 4.0f, 8, 22.5f, 0.25f, UvRect{0.0f, 0.0f, 0.5f, 1.0f});
    mesh.addFacetedBlob(glm::vec3(0.0f, 5.8f, 0.0f), glm::vec3(2.5f, 2.8f, 2.5f), 0.0f, 3.0f, 0.15f,
                        UvRect{0.5f, 0.0f, 1.0f, 1.0f});
    mesh.computeTangents();
    return mesh;
}

// A flag on a pole, 3 high: the pole (radius 0.06) maps into the left
// eighth of the texture, the cloth (1.2 x 0.8, gently waved, both sides)
// into the rest.
MeshBuilder flagMesh() {
    MeshBuilder mesh;
    mesh.addPrism(glm::vec3(0.0f), 0.06f, 3.0f, 8, 22.5f, 0.3f, UvRect{0.0f, 0.0f, 0.125f, 1.0f});
    constexpr int kColumns = 6;
    const UvRect cloth{0.125f, 0.0f, 1.0f, 1.0f};
    const auto wave = [](float s) { return 0.08f * std::sin(s * 7.0f); };
    for (int i = 0; i < kColumns; ++i) {
        const float s0 = static_cast<float>(i) / kColumns, s1 = static_cast<float>(i + 1) / kColumns;
        const float x0 = 0.06f + 1.2f * s0, x1 = 0.06f + 1.2f * s1;
        const float z0 = wave(s0), z1 = wave(s1);
        const glm::vec3 a(x0, 2.15f, z0), b(x1, 2.15f, z1), c(x1, 2.95f, z1), d(x0, 2.95f, z0);
        const glm::vec3 front = glm::normalize(glm::cross(b - a, d - a));
        mesh.addQuad({a, b, c, d}, {cloth.at(s0, 0), cloth.at(s1, 0), cloth.at(s1, 1), cloth.at(s0, 1)},
                     front);
        mesh.addQuad({b, a, d, c}, {cloth.at(s1, 0), cloth.at(s0, 0), cloth.at(s0, 1), cloth.at(s1, 1)},
                     -front);
    }
    mesh.computeTangents();
    return mesh;
}

}  // namespace
}  // namespace bake

bool bakeMeshes(const std::string& root) {
    using namespace bake;
    const std::string directory = root + "resources/meshes/";
    bool ok = true;
    ok = writeFile(directory + "floor.mesh", staticMeshFile(floorMesh())) && ok;
    ok = writeFile(directory + "wall.mesh", staticMeshFile(wallMesh())) && ok;
    ok = writeFile(directory + "pillar.mesh", staticMeshFile(pillarMesh())) && ok;
    ok = writeFile(directory + "rock.mesh", staticMeshFile(rockMesh())) && ok;
    ok = writeFile(directory + "tree.mesh", staticMeshFile(treeMesh())) && ok;
    ok = writeFile(directory + "flag.mesh", staticMeshFile(flagMesh())) && ok;
    ok = writeFile(directory + "actor.skel", actorMeshFile()) && ok;
    if (!ok) {
        std::fprintf(stderr, "baking meshes failed\n");
    }
    return ok;
}
