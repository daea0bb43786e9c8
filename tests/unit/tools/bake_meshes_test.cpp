// The baked meshes: deterministic bytes, and what the game asks of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/filesystem.hpp>
#include <cstdlib>
#include <fstream>
#include <glm/geometric.hpp>
#include <iterator>
#include <limits>
#include <map>

#include "bake.h"
#include "graphics/resources/mesh_definition.h"
#include "graphics/resources/skeletal_mesh.h"
#include "graphics/resources/static_mesh.h"
#include "io/data_manager.h"

namespace fs = boost::filesystem;

namespace {

std::string sourceDirectory() {
    const char* directory = std::getenv("FLAGSTORM_SOURCE_DIR");
    return directory != nullptr ? std::string(directory) + "/" : std::string("./");
}

std::vector<unsigned char> readBytes(const fs::path& path) {
    std::ifstream stream(path.string(), std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(stream),
                                      std::istreambuf_iterator<char>());
}

std::string readText(const fs::path& path) {
    const std::vector<unsigned char> bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// A scratch directory removed again when the test ends.
struct ScratchDirectory {
    fs::path path = fs::temp_directory_path() / fs::unique_path("flagstorm-bake-%%%%-%%%%");
    ScratchDirectory() { fs::create_directories(path); }
    ~ScratchDirectory() {
        boost::system::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string root() const { return path.string() + "/"; }
};

// Every file under directory, by path relative to it.
std::map<std::string, std::vector<unsigned char>> filesUnder(const fs::path& directory) {
    std::map<std::string, std::vector<unsigned char>> files;
    for (fs::recursive_directory_iterator it(directory), end; it != end; ++it) {
        if (fs::is_regular_file(it->path())) {
            files[fs::relative(it->path(), directory).string()] = readBytes(it->path());
        }
    }
    return files;
}

// The shipped definition files, parsed.
std::vector<MeshDefinition> shippedDefinitions() {
    std::vector<MeshDefinition> entries;
    for (fs::directory_iterator it(sourceDirectory() + "resources/meshes"), end; it != end; ++it) {
        if (it->path().extension() == ".mshd") {
            EXPECT_TRUE(parseMeshDefinitions(readText(it->path()), it->path().string(),
                                             [&](const MeshDefinition& entry) { entries.push_back(entry); }));
        }
    }
    return entries;
}

class BakedMeshes : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        scratch = new ScratchDirectory();
        ASSERT_TRUE(bakeMeshes(scratch->root()));
        ASSERT_TRUE(bakeScenery(scratch->root()));
        for (const MeshDefinition& entry : shippedDefinitions()) {
            const std::string file = scratch->root() + "resources/meshes/" + entry.fileName;
            if (entry.type == MeshFileType::Static) {
                auto mesh = StaticMesh::decode(readBytes(file), file);
                ASSERT_TRUE(mesh) << entry.name;
                staticMeshes[entry.name] = std::move(*mesh);
            } else {
                ASSERT_EQ(entry.type, MeshFileType::Skeletal) << entry.name;
                auto mesh = SkeletalMesh::decode(readBytes(file), file);
                ASSERT_TRUE(mesh) << entry.name;
                skeletalMeshes[entry.name] = std::move(*mesh);
            }
        }
    }
    static void TearDownTestSuite() {
        delete scratch;
        staticMeshes.clear();
        skeletalMeshes.clear();
    }

    static ScratchDirectory* scratch;
    static std::map<std::string, StaticMeshData> staticMeshes;
    static std::map<std::string, SkeletalMeshData> skeletalMeshes;
};

ScratchDirectory* BakedMeshes::scratch = nullptr;
std::map<std::string, StaticMeshData> BakedMeshes::staticMeshes;
std::map<std::string, SkeletalMeshData> BakedMeshes::skeletalMeshes;

template <typename Vertex>
void expectSoundSurfaces(const std::string& name, const std::vector<Vertex>& vertices,
                         const std::vector<Triangle>& triangles) {
    ASSERT_FALSE(triangles.empty()) << name;
    for (const Vertex& v : vertices) {
        EXPECT_NEAR(glm::length(v.normal), 1.0f, 1e-4f) << name;
        EXPECT_NEAR(glm::length(v.tangent), 1.0f, 1e-4f) << name;
        EXPECT_NEAR(glm::length(v.bitangent), 1.0f, 1e-4f) << name;
        EXPECT_NEAR(glm::dot(v.normal, v.tangent), 0.0f, 1e-4f) << name;
        EXPECT_NEAR(glm::dot(v.normal, v.bitangent), 0.0f, 1e-4f) << name;
    }
    // Front faces wind counter-clockwise around their vertices' normals.
    for (const Triangle& t : triangles) {
        const Vertex& a = vertices[t.indices[0]];
        const Vertex& b = vertices[t.indices[1]];
        const Vertex& c = vertices[t.indices[2]];
        const glm::vec3 face = glm::cross(b.position - a.position, c.position - a.position);
        EXPECT_GT(glm::dot(face, a.normal + b.normal + c.normal), 0.0f) << name;
        // The tangent follows u and the bitangent v on the triangle.
        const glm::vec2 du = b.texCoord - a.texCoord, dv = c.texCoord - a.texCoord;
        const float det = du.x * dv.y - dv.x * du.y;
        if (std::abs(det) > 1e-6f) {
            const glm::vec3 alongU =
                ((b.position - a.position) * dv.y - (c.position - a.position) * du.y) / det;
            const glm::vec3 alongV =
                ((c.position - a.position) * du.x - (b.position - a.position) * dv.x) / det;
            EXPECT_GT(glm::dot(alongU, a.tangent + b.tangent + c.tangent), 0.0f) << name;
            EXPECT_GT(glm::dot(alongV, a.bitangent + b.bitangent + c.bitangent), 0.0f) << name;
        }
    }
}

template <typename Vertex>
std::pair<glm::vec3, glm::vec3> bounds(const std::vector<Vertex>& vertices) {
    glm::vec3 lo(std::numeric_limits<float>::max()), hi(-std::numeric_limits<float>::max());
    for (const Vertex& v : vertices) {
        lo = glm::min(lo, v.position);
        hi = glm::max(hi, v.position);
    }
    return {lo, hi};
}

TEST(MeshBake, TwoBakesWriteIdenticalBytes) {
    ScratchDirectory first, second;
    ASSERT_TRUE(bakeMeshes(first.root()));
    ASSERT_TRUE(bakeMeshes(second.root()));
    const auto a = filesUnder(first.path);
    const auto b = filesUnder(second.path);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, b);
}

TEST_F(BakedMeshes, EveryShippedDefinitionNamesABakedMeshOfItsKind) {
    for (const char* name : {"Floor", "Rock", "Wall", "Pillar", "Tree", "Flag"}) {
        EXPECT_EQ(staticMeshes.count(name), 1u) << name;
    }
    EXPECT_EQ(skeletalMeshes.count("Actor"), 1u);
}

TEST_F(BakedMeshes, SurfacesHaveUnitFramesConsistentWithTheirTextureCoordinates) {
    for (const auto& [name, mesh] : staticMeshes) {
        expectSoundSurfaces(name, mesh.vertices, mesh.triangles);
    }
    for (const auto& [name, mesh] : skeletalMeshes) {
        expectSoundSurfaces(name, mesh.vertices, mesh.triangles);
    }
}

TEST_F(BakedMeshes, LevelObjectsStandOnTheGroundWithTheirSizes) {
    const std::map<std::string, glm::vec3> sizes = {{"Wall", {12, 4, 1.5f}},
                                                    {"Pillar", {2.77f, 8, 2.77f}},
                                                    {"Rock", {2.9f, 2.5f, 2.64f}},
                                                    {"Floor", {100, 0, 100}}};
    for (const auto& [name, size] : sizes) {
        const auto [lo, hi] = bounds(staticMeshes.at(name).vertices);
        EXPECT_NEAR(lo.y, 0.0f, 1e-4f) << name;
        EXPECT_NEAR(hi.x - lo.x, size.x, 0.05f) << name;
        EXPECT_NEAR(hi.y - lo.y, size.y, 0.05f) << name;
        EXPECT_NEAR(hi.z - lo.z, size.z, 0.05f) << name;
        EXPECT_NEAR(hi.x + lo.x, 0.0f, 1e-3f) << name;
        EXPECT_NEAR(hi.z + lo.z, 0.0f, 1e-3f) << name;
    }
    // The floor's texture coordinates cover 0..1 once, for the terrain's
    // selection texture.
    for (const StaticVertex& v : staticMeshes.at("Floor").vertices) {
        EXPECT_NEAR(v.texCoord.x, (v.position.x + 50.0f) / 100.0f, 1e-5f);
        EXPECT_NEAR(v.texCoord.y, (50.0f - v.position.z) / 100.0f, 1e-5f);
        EXPECT_EQ(v.normal, glm::vec3(0, 1, 0));
    }
    const auto [flagLo, flagHi] = bounds(staticMeshes.at("Flag").vertices);
    EXPECT_NEAR(flagHi.y - flagLo.y, 3.0f, 0.05f);
}

TEST_F(BakedMeshes, TheActorHasAClipForEveryAnimationNameOfTheDataFiles) {
    DataManager data;
    data.parse(readText(sourceDirectory() + "data/animation.dat"), "animation.dat");
    std::vector<std::string> names;
    for (const auto& [key, value] : data.all()) {
        if (key.rfind("animation.name.", 0) == 0) {
            names.push_back(*value);
        }
    }
    ASSERT_EQ(names.size(), 12u);

    const Skeleton& skeleton = *skeletalMeshes.at("Actor").skeleton;
    for (const std::string& name : names) {
        const AnimationRange* range = skeleton.findAnimation(name);
        ASSERT_NE(range, nullptr) << name;
        EXPECT_GE(range->start, 1.0f) << name;  // frame 0 is the bind pose
        EXPECT_LT(range->start, range->end) << name;
        EXPECT_LE(range->end, static_cast<float>(skeleton.getFrameCount())) << name;
    }
    EXPECT_EQ(skeleton.getAnimations().size(), names.size());
}

// Skinned model-space positions of the actor in a pose.
std::vector<glm::vec3> skin(const SkeletalMeshData& mesh, const SkeletonPose& pose) {
    std::vector<glm::vec3> points;
    const auto& skinPositions = mesh.skeleton->getSkinPositions();
    for (const SkeletalVertex& v : mesh.vertices) {
        const auto at = [&](std::uint32_t b) {
            return pose.getPositions()[b] + pose.getOrientations()[b] * (v.position - skinPositions[b]);
        };
        points.push_back(v.boneWeight1 * at(v.boneIndex1) + v.boneWeight2 * at(v.boneIndex2));
    }
    return points;
}

TEST_F(BakedMeshes, TheActorStandsTwentyTwoUnitsTallAndLiesDownWhenDead) {
    const SkeletalMeshData& actor = skeletalMeshes.at("Actor");
    const Skeleton& skeleton = *actor.skeleton;
    // Identity bind orientations: frame 0 needs no correction in the shaders.
    for (std::uint32_t b = 0; b < skeleton.getBoneCount(); ++b) {
        EXPECT_NEAR(std::abs(skeleton.getTransform(0, b).orientation.w), 1.0f, 1e-6f);
    }
    for (const SkeletalVertex& v : actor.vertices) {
        EXPECT_NEAR(v.boneWeight1 + v.boneWeight2, 1.0f, 1e-6f);
    }
    const auto [lo, hi] = bounds(actor.vertices);
    EXPECT_NEAR(lo.y, 0.0f, 1e-4f);
    EXPECT_NEAR(hi.y, 22.0f, 0.1f);

    SkeletonPose pose(skeleton);
    // Between key frames a running stride may leave the ground a little.
    const auto height = [&](const std::string& clip, float progress, float lift = 0.05f) {
        pose.update(clip, progress);
        float low = std::numeric_limits<float>::max(), high = -low;
        for (const glm::vec3& p : skin(actor, pose)) {
            low = std::min(low, p.y);
            high = std::max(high, p.y);
        }
        EXPECT_NEAR(low, 0.0f, lift) << clip << " at " << progress;  // on the ground
        return high;
    };
    for (const float progress : {0.0f, 0.3f, 0.5f, 1.0f}) {
        EXPECT_GT(height("Idle", progress), 21.0f);
        EXPECT_GT(height("Run", progress, 0.5f), 19.0f);
    }
    EXPECT_GT(height("Dying", 0.0f), 21.0f);
    EXPECT_LT(height("Dying", 1.0f), 6.0f);
    EXPECT_LT(height("Dead", 0.5f), 6.0f);
    // Falling backwards: the head ends up behind where the actor stood
    // (it faces +z).
    pose.update("Dead", 0.0f);
    const std::vector<glm::vec3> lying = skin(actor, pose);
    const auto top = std::max_element(
        actor.vertices.begin(), actor.vertices.end(),
        [](const SkeletalVertex& a, const SkeletalVertex& b) { return a.position.y < b.position.y; });
    EXPECT_LT(lying[top - actor.vertices.begin()].z, -5.0f);
}

}  // namespace
