#include "graphics/resources/static_mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/geometric.hpp>

#include "support/log_capture.h"
#include "unit/graphics/resources/mesh_bytes.h"

namespace {

using boost::log::trivial::error;

void expectNear(const glm::vec3& actual, const glm::vec3& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-6f);
    EXPECT_NEAR(actual.y, expected.y, 1e-6f);
    EXPECT_NEAR(actual.z, expected.z, 1e-6f);
}

// One triangle of three flat vertices.
MeshBytes triangleFile() {
    MeshBytes file;
    file.u32(3).flatVertex(0, 0).flatVertex(1, 0).flatVertex(0, 1).u32(1).triangle(0, 1, 2);
    return file;
}

TEST(StaticMeshFile, ExchangesTheFileAxesForYUp) {
    MeshBytes file;
    file.u32(1).surface({1, 2, 3}, {0, 0, 1}, {0.25f, 0.75f}, {1, 0, 0}, {0, 1, 0}).u32(0);
    const auto mesh = StaticMesh::decode(file.data, "exchange.mesh");
    ASSERT_TRUE(mesh);
    ASSERT_EQ(mesh->vertices.size(), 1u);
    const StaticVertex& v = mesh->vertices[0];
    expectNear(v.position, {1, 3, -2});
    expectNear(v.normal, {0, 1, 0});
    expectNear(v.tangent, {1, 0, 0});
    expectNear(v.bitangent, {0, 0, -1});
    EXPECT_EQ(v.texCoord, glm::vec2(0.25f, 0.75f));  // texture coordinates are not exchanged
}

TEST(StaticMeshFile, TangentsComeOutPerpendicularToTheNormalAndOfUnitLength) {
    // file tangents: leaning into the normal, along the normal, zero, long
    const std::vector<glm::vec3> tangents = {{2, 0, 3}, {0, 0, 5}, {0, 0, 0}, {0, 7, 0}};
    MeshBytes file;
    file.u32(static_cast<std::uint32_t>(tangents.size()));
    for (const glm::vec3& t : tangents) {
        file.surface({0, 0, 0}, {0, 0, 1}, {0, 0}, {t.x, t.y, t.z}, {0, 1, 0});
    }
    file.u32(0);
    const auto mesh = StaticMesh::decode(file.data, "tangents.mesh");
    ASSERT_TRUE(mesh);
    for (const StaticVertex& v : mesh->vertices) {
        EXPECT_NEAR(glm::dot(v.tangent, v.normal), 0.0f, 1e-6f);
        EXPECT_NEAR(glm::length(v.tangent), 1.0f, 1e-6f);
    }
    // The part across the normal survives the step: (2, 3, 0) minus its y.
    expectNear(mesh->vertices[0].tangent, {1, 0, 0});
    // File (0, 7, 0) is engine (0, 0, -7).
    expectNear(mesh->vertices[3].tangent, {0, 0, -1});
}

TEST(StaticMeshFile, AnEmptyMeshHasNothingToDraw) {
    MeshBytes file;
    file.u32(0).u32(0);
    const auto mesh = StaticMesh::decode(file.data, "empty.mesh");
    ASSERT_TRUE(mesh);
    EXPECT_TRUE(mesh->vertices.empty());
    EXPECT_TRUE(mesh->triangles.empty());
}

TEST(StaticMeshFile, EveryShortenedFileIsRefused) {
    const MeshBytes whole = triangleFile();
    ASSERT_TRUE(StaticMesh::decode(whole.data, "whole.mesh"));
    for (std::size_t length = 0; length < whole.data.size(); ++length) {
        LogCapture log;
        const std::vector<unsigned char> shortened(whole.data.begin(), whole.data.begin() + length);
        EXPECT_FALSE(StaticMesh::decode(shortened, "short.mesh")) << length << " bytes";
        EXPECT_EQ(log.count(error, "[short.mesh]!"), 1u) << length << " bytes";
    }
}

TEST(StaticMeshFile, CountsBeyondTheBytesLeftAreRefusedBeforeReading) {
    LogCapture log;
    MeshBytes hugeVertexCount;
    hugeVertexCount.u32(0xffffffffu).flatVertex(0, 0);
    EXPECT_FALSE(StaticMesh::decode(hugeVertexCount.data, "huge.mesh"));
    MeshBytes hugeTriangleCount;
    hugeTriangleCount.u32(1).flatVertex(0, 0).u32(0x40000000u).triangle(0, 0, 0);
    EXPECT_FALSE(StaticMesh::decode(hugeTriangleCount.data, "huge.mesh"));
    EXPECT_EQ(log.count(error, "Mesh file ends inside its vertices: [huge.mesh]!"), 1u);
    EXPECT_EQ(log.count(error, "Mesh file ends inside its triangles: [huge.mesh]!"), 1u);
}

TEST(StaticMeshFile, ATriangleIndexAtOrBeyondTheVertexCountIsRefused) {
    for (const std::uint32_t bad : {3u, 4u, 0xffffffffu}) {
        LogCapture log;
        MeshBytes file;
        file.u32(3).flatVertex(0, 0).flatVertex(1, 0).flatVertex(0, 1).u32(2).triangle(0, 1, 2).triangle(
            2, bad, 0);
        EXPECT_FALSE(StaticMesh::decode(file.data, "index.mesh"));
        EXPECT_EQ(
            log.count(error, "Triangle 1 names vertex " + std::to_string(bad) + " of 3 in [index.mesh]!"),
            1u);
    }
    // Indices count from 0: the last vertex is index 2.
    EXPECT_TRUE(StaticMesh::decode(triangleFile().data, "index.mesh"));
}

TEST(StaticMeshFile, BytesAfterTheTrianglesAreIgnored) {
    MeshBytes file = triangleFile();
    file.u32(12345).text("trailing");
    const auto mesh = StaticMesh::decode(file.data, "trailing.mesh");
    ASSERT_TRUE(mesh);
    ASSERT_EQ(mesh->triangles.size(), 1u);
    EXPECT_EQ(mesh->triangles[0].indices[2], 2u);
}

}  // namespace
