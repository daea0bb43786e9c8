// Mesh loading into OpenGL buffers through the registry, on the test
// program's real context.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <fstream>

#include "graphics/resources/mesh.h"
#include "graphics/resources/skeletal_mesh.h"
#include "graphics/resources/static_mesh.h"
#include "support/log_capture.h"
#include "unit/graphics/resources/mesh_bytes.h"

namespace fs = boost::filesystem;

namespace {

using boost::log::trivial::error;

MeshBytes staticTriangle() {
    MeshBytes file;
    file.u32(3).flatVertex(0, 0).flatVertex(1, 0).flatVertex(0, 1).u32(1).triangle(0, 1, 2);
    return file;
}

// One triangle on one bone, frames 0..1, a "Wave" clip.
MeshBytes skinnedTriangle() {
    MeshBytes file;
    file.u32(3);
    for (int i = 0; i < 3; ++i) {
        file.flatVertex(static_cast<float>(i), 0).u32(0).f32(1).u32(0).f32(0);
    }
    file.u32(1).triangle(0, 1, 2);
    file.u32(1).u32(1).text("Root").u32(0xffffffffu);
    file.floats({0, 0, 0, 0, 0, 0, 1}).floats({0, 0, 1, 0, 0, 0, 1});
    file.u32(2).text("START_Wave").f32(1).text("END_Wave").f32(1);
    return file;
}

class MeshManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MeshManager::instance().clear();
        directory = fs::temp_directory_path() / fs::unique_path("flagstorm-meshes-%%%%-%%%%");
        fs::create_directories(directory / "sub");
    }
    void TearDown() override {
        MeshManager::instance().clear();
        boost::system::error_code ignored;
        fs::remove_all(directory, ignored);
    }

    std::string write(const std::string& name, const std::vector<unsigned char>& bytes) {
        const std::string path = (directory / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }
    std::string write(const std::string& name, const std::string& text) {
        return write(name, std::vector<unsigned char>(text.begin(), text.end()));
    }

    static GLint bufferSize(GLenum target, GLuint buffer) {
        GLint size = -1;
        glBindBuffer(target, buffer);
        glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
        return size;
    }

    fs::path directory;
};

TEST_F(MeshManagerTest, LoadsEveryEntryWithItsTypeIntoBuffersOfTheFileLayout) {
    write("sub/tri.mesh", staticTriangle().data);
    write("skin.skel", skinnedTriangle().data);
    write("empty.mesh", MeshBytes().u32(0).u32(0).data);
    MeshManager::instance().load(
        write("all.mshd",
              "skeletal:\n Skin = <skin.skel>\nstatic:\n Tri = <sub/tri.mesh>\n Empty = <empty.mesh>\n"));
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    StaticMesh* tri = MeshManager::instance().getStatic("Tri");
    ASSERT_NE(tri, nullptr);
    EXPECT_EQ(tri->getIndexCount(), 3u);
    EXPECT_TRUE(glIsBuffer(tri->getVertexBuffer()));
    EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, tri->getVertexBuffer()), 3 * 56);
    EXPECT_EQ(bufferSize(GL_ELEMENT_ARRAY_BUFFER, tri->getIndexBuffer()), 12);
    // The buffer holds the converted vertices: file (0, 1, 0) is (0, 0, -1).
    float position[3] = {};
    glBindBuffer(GL_ARRAY_BUFFER, tri->getVertexBuffer());
    glGetBufferSubData(GL_ARRAY_BUFFER, 2 * 56, sizeof position, position);
    EXPECT_EQ(position[2], -1.0f);

    SkeletalMesh* skin = MeshManager::instance().getSkeletal("Skin");
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, skin->getVertexBuffer()), 3 * 72);
    EXPECT_EQ(skin->getSkeleton().getBoneCount(), 1u);
    EXPECT_NE(skin->getSkeleton().findAnimation("Wave"), nullptr);

    StaticMesh* empty = MeshManager::instance().getStatic("Empty");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->getIndexCount(), 0u);
    EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, empty->getVertexBuffer()), 0);

    // Asking for the other kind is an error, not a bad cast.
    LogCapture log;
    EXPECT_EQ(MeshManager::instance().getStatic("Skin"), nullptr);
    EXPECT_EQ(MeshManager::instance().getSkeletal("Tri"), nullptr);
    EXPECT_EQ(log.count(error, "Mesh is not a static mesh: \"Skin\"!"), 1u);
    EXPECT_EQ(log.count(error, "Mesh is not a skeletal mesh: \"Tri\"!"), 1u);
}

TEST_F(MeshManagerTest, BadEntriesAreReportedAndLeftOutWhileTheOthersLoad) {
    write("tri.mesh", staticTriangle().data);
    MeshBytes badIndex;
    badIndex.u32(1).flatVertex(0, 0).u32(1).triangle(0, 0, 1);
    write("bad.mesh", badIndex.data);
    std::vector<unsigned char> shortSkin = skinnedTriangle().data;
    shortSkin.resize(shortSkin.size() - 6);  // the last tag cut off
    write("short.skel", shortSkin);

    LogCapture log;
    MeshManager::instance().load(write("mixed.mshd",
                                       "Untyped = <tri.mesh>\n"
                                       "static:\n"
                                       "  Missing = <nowhere.mesh>\n"
                                       "  BadIndex = <bad.mesh>\n"
                                       "  First = <tri.mesh>\n"
                                       "  First = <nowhere.mesh>\n"
                                       "skeletal:\n"
                                       "  Short = <short.skel>\n"
                                       "static:\n"
                                       "  Last = <tri.mesh>\n"));
    EXPECT_EQ(log.count(error, "Unrecognized mesh file type!"), 1u);
    EXPECT_EQ(log.count(error, "Could not read from [" + (directory / "nowhere.mesh").string() + "]!"), 1u);
    EXPECT_EQ(log.count(error, "Triangle 0 names vertex 1 of 1"), 1u);
    EXPECT_EQ(log.count(error, "Skeleton ends inside its tags"), 1u);
    EXPECT_EQ(log.count(error, "Mesh name already in use, entry skipped: \"First\"!"), 1u);
    for (const char* absent : {"Untyped", "Missing", "BadIndex", "Short"}) {
        EXPECT_FALSE(MeshManager::instance().contains(absent)) << absent;
    }
    EXPECT_NE(MeshManager::instance().find("First"), nullptr);
    EXPECT_NE(MeshManager::instance().find("Last"), nullptr);
    EXPECT_EQ(MeshManager::instance().size(), 2u);
}

TEST_F(MeshManagerTest, MalformedDefinitionsKeepTheMeshesBeforeTheFault) {
    write("tri.mesh", staticTriangle().data);
    const std::string path =
        write("broken.mshd", "static:\n A = <tri.mesh>\n B_2 = <tri.mesh>\n C = <tri.mesh>\n");
    LogCapture log;
    MeshManager::instance().load(path);
    EXPECT_EQ(log.count(error, "Malformed mesh definiton file: \"" + path + "\"!"), 1u);
    EXPECT_TRUE(MeshManager::instance().contains("A"));
    EXPECT_EQ(MeshManager::instance().size(), 1u);
}

TEST_F(MeshManagerTest, AMissingDefinitionFileIsReportedThenRaisesTheMissingFileError) {
    const std::string path = (directory / "absent.mshd").string();
    LogCapture log;
    EXPECT_THROW(MeshManager::instance().load(path), FileNotFoundError);
    EXPECT_EQ(log.count(error, "File does not exist: \"" + path + "\"!"), 1u);
}

TEST_F(MeshManagerTest, DestroyingAMeshReleasesItsBuffers) {
    write("tri.mesh", staticTriangle().data);
    MeshManager::instance().load(write("one.mshd", "static: Tri = <tri.mesh>"));
    const Mesh* mesh = MeshManager::instance().find("Tri");
    ASSERT_NE(mesh, nullptr);
    const GLuint vertexBuffer = mesh->getVertexBuffer();
    const GLuint indexBuffer = mesh->getIndexBuffer();
    ASSERT_TRUE(glIsBuffer(vertexBuffer));
    ASSERT_TRUE(glIsBuffer(indexBuffer));
    MeshManager::instance().clear();
    EXPECT_FALSE(glIsBuffer(vertexBuffer));
    EXPECT_FALSE(glIsBuffer(indexBuffer));
}

}  // namespace
