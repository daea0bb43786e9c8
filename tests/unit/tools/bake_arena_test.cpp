#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <utility>

#include "bake.h"
#include "support/baked_meshes.h"

namespace fs = boost::filesystem;

namespace {
const char* const kVolumes =
    "volumes {\n Rock = <rock.mesh>\n Wall = <wall.mesh>\n Pillar = <pillar.mesh>\n"
    " Tree = <tree.mesh>\n}\n";
const char* const kBakedFiles[] = {"data/level/test.nav", "data/collision/rock.mesh",
                                   "data/collision/wall.mesh", "data/collision/pillar.mesh",
                                   "data/collision/tree.mesh"};

std::string repositoryRoot() {
    const char* root = std::getenv("FLAGSTORM_SOURCE_DIR");
    return root != nullptr ? root : ".";
}

std::string readText(const fs::path& path) {
    const std::vector<unsigned char> bytes = fileBytes(path.string());
    return std::string(bytes.begin(), bytes.end());
}

// A scratch tree holding a level and a volume list, removed afterwards.
class ScratchRoot {
  public:
    ScratchRoot(const std::string& level, const std::string& volumes)
        : root(fs::temp_directory_path() / fs::unique_path("flagstorm-bake-%%%%%%%%")) {
        fs::create_directories(root / "data/level");
        fs::create_directories(root / "data/collision");
        std::ofstream(path("data/level/test.lvl").string(), std::ios::binary) << level;
        std::ofstream(path("data/collision/level.volumes").string(), std::ios::binary) << volumes;
    }
    ~ScratchRoot() {
        boost::system::error_code error;
        fs::remove_all(root, error);
    }
    fs::path path(const std::string& relative) const { return root / relative; }
    std::string string() const { return root.string(); }

    // The baked navigation mesh; fails the test when it cannot be read.
    BakedNavigationMesh navigationMesh() const {
        BakedNavigationMesh mesh;
        EXPECT_TRUE(readBakedNavigationMesh(path("data/level/test.nav").string(), mesh));
        return mesh;
    }

  private:
    fs::path root;
};

// The lowest (x, z) corner of every quad.
std::set<std::pair<int, int>> cellsOf(const BakedNavigationMesh& mesh) {
    std::set<std::pair<int, int>> cells;
    for (const auto& quad : mesh.quads) {
        glm::vec3 low(1e9f);
        for (uint32_t index : quad) {
            low = glm::min(low, mesh.vertices[index]);
        }
        cells.insert({static_cast<int>(low.x), static_cast<int>(low.z)});
    }
    return cells;
}

// The cells of the open grid, minus those in [x0, x1) x [z0, z1).
std::set<std::pair<int, int>> gridWithout(int x0, int x1, int z0, int z1) {
    std::set<std::pair<int, int>> cells;
    for (int x = -50; x < 50; x += 2) {
        for (int z = -50; z < 50; z += 2) {
            if (!(x >= x0 && x < x1 && z >= z0 && z < z1)) {
                cells.insert({x, z});
            }
        }
    }
    return cells;
}
}  // namespace

TEST(BakeArena, GivesIdenticalBytesOnEveryBake) {
    const std::string level = readText(fs::path(repositoryRoot()) / "data/level/test.lvl");
    const std::string volumes = readText(fs::path(repositoryRoot()) / "data/collision/level.volumes");
    ASSERT_FALSE(level.empty());
    ScratchRoot first(level, volumes);
    ScratchRoot second(level, volumes);
    ASSERT_TRUE(bakeArena(first.string()));
    ASSERT_TRUE(bakeArena(second.string()));
    for (const char* file : kBakedFiles) {
        SCOPED_TRACE(file);
        const std::vector<unsigned char> bytes = fileBytes(first.path(file).string());
        EXPECT_FALSE(bytes.empty());
        EXPECT_EQ(bytes, fileBytes(second.path(file).string()));
    }
    // Baking again over existing files changes nothing either.
    ASSERT_TRUE(bakeArena(first.string()));
    for (const char* file : kBakedFiles) {
        EXPECT_EQ(fileBytes(first.path(file).string()), fileBytes(second.path(file).string())) << file;
    }
}

TEST(BakeArena, CoversAnOpenFieldWithAGridWoundTowardsTheSky) {
    ScratchRoot scratch("Floor { }", kVolumes);
    ASSERT_TRUE(bakeArena(scratch.string()));
    const BakedNavigationMesh mesh = scratch.navigationMesh();
    EXPECT_EQ(mesh.vertices.size(), 51u * 51u);
    ASSERT_EQ(mesh.quads.size(), 2500u);
    EXPECT_EQ(cellsOf(mesh), gridWithout(0, 0, 0, 0));
    // The first quad, in game coordinates, and its first corner as written
    // Z-up in the file: (-50, 0, -50) is stored as (-50, 50, 0).
    const glm::vec3 expected[] = {{-50, 0, -50}, {-50, 0, -48}, {-48, 0, -48}, {-48, 0, -50}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(mesh.vertices[mesh.quads[0][k]], expected[k]);
    }
    const std::vector<unsigned char> bytes = fileBytes(scratch.path("data/level/test.nav").string());
    float written[3];
    std::memcpy(written, bytes.data() + 8, sizeof written);
    EXPECT_EQ(written[0], -50.0f);
    EXPECT_EQ(written[1], 50.0f);
    EXPECT_EQ(written[2], 0.0f);
    // Downward rays hit a quad only when (c1 - c0) x (c2 - c0) points up.
    for (const auto& q : mesh.quads) {
        const glm::vec3 c0 = mesh.vertices[q[0]], c1 = mesh.vertices[q[1]], c2 = mesh.vertices[q[2]],
                        c3 = mesh.vertices[q[3]];
        EXPECT_GT(glm::cross(c1 - c0, c2 - c0).y, 0.0f);
        EXPECT_GT(glm::cross(c2 - c0, c3 - c0).y, 0.0f);
    }
}

TEST(BakeArena, CutsHolesOneUnitWiderThanTheFootprints) {
    // A wall turned a quarter round stands on x -0.75 .. 0.75, z -6 .. 6;
    // cells closer than one unit go: x -2 .. 2, z -8 .. 8, 16 cells, and the
    // 7 grid points inside that block lose every quad.
    {
        ScratchRoot scratch("Floor { } Wall { rotation = (0, 0, 0.7071068, 0.7071068) }", kVolumes);
        ASSERT_TRUE(bakeArena(scratch.string()));
        const BakedNavigationMesh mesh = scratch.navigationMesh();
        EXPECT_EQ(cellsOf(mesh), gridWithout(-2, 2, -8, 8));
        EXPECT_EQ(mesh.vertices.size(), 51u * 51u - 7u);
    }
    // Scaled to 15 long on x and moved: x -7.5 .. 7.5 around 20, z -0.75 .. 0.75
    // around -10 (written as y = 10).
    {
        ScratchRoot scratch("Wall { position = (20, 10, 0) scale = (1.25, 1, 1) }", kVolumes);
        ASSERT_TRUE(bakeArena(scratch.string()));
        EXPECT_EQ(cellsOf(scratch.navigationMesh()), gridWithout(10, 30, -12, -8));
    }
}

TEST(BakeArena, WritesEachKindsConvexPartsAsSeparateMeshes) {
    ScratchRoot scratch("Tree { }", "volumes {\n  # comment\n  Tree = <trees/the tree.mesh>\n}");
    ASSERT_TRUE(bakeArena(scratch.string()));
    BakedTriangleMesh tree;
    ASSERT_TRUE(readBakedTriangleMesh(scratch.path("data/collision/trees/the tree.mesh").string(), tree));
    EXPECT_EQ(countVertexConnectedParts(tree.triangles, tree.vertices.size()), 2u);
    // The trunk stands on the ground and the crown is above it: the file's
    // up axis is Z, read back as y.
    float lowest = 1e9f, highest = -1e9f;
    for (const glm::vec3& v : tree.vertices) {
        lowest = std::min(lowest, v.y);
        highest = std::max(highest, v.y);
    }
    EXPECT_EQ(lowest, 0.0f);
    EXPECT_GT(highest, 6.0f);
}

TEST(BakeArena, RefusesLevelsItCannotBake) {
    struct Case {
        const char* level;
        const char* volumes;
    };
    const Case cases[] = {
        {"Floor { } Bush { }", kVolumes},                                     // no shape for the kind
        {"Rock { } Wall { }", "volumes {\n Wall = <wall.mesh>\n}"},           // no collision entry
        {"Rock { }", "volumes {\n Rock = <rock.mesh>\n"},                     // unterminated list
        {"Rock { }", " volumes { Rock = <rock.mesh> }"},                      // not at the first byte
        {"Rock { }", "volumes { Rock = <rock.mesh> Floor = <floor.mesh> }"},  // the floor is not solid
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        SCOPED_TRACE(c.volumes);
        ScratchRoot scratch(c.level, c.volumes);
        EXPECT_FALSE(bakeArena(scratch.string()));
    }
    ScratchRoot missing("", kVolumes);
    fs::remove(missing.path("data/level/test.lvl"));
    EXPECT_FALSE(bakeArena(missing.string()));
}
