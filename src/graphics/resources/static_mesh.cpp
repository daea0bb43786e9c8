#include "graphics/resources/static_mesh.h"

#include "graphics/resources/mesh_file.h"
#include "utils/log.h"

std::unique_ptr<StaticMesh> StaticMesh::load(const std::string& path) {
    LOG(debug) << "Loading static mesh from [" << path << "]...";
    return mesh_file::loadMesh<StaticMesh>(path);
}

std::optional<StaticMeshData> StaticMesh::decode(const std::vector<unsigned char>& bytes,
                                                 const std::string& path) {
    BinaryReader in(bytes);
    std::uint32_t vertexCount = 0;
    if (!in.readU32(vertexCount)) {
        mesh_file::reportTruncated(path, "vertex count");
        return std::nullopt;
    }
    LOG(debug) << vertexCount << " vertices";
    if (in.remaining() / sizeof(StaticVertex) < vertexCount) {
        mesh_file::reportTruncated(path, "vertices");
        return std::nullopt;
    }
    StaticMeshData data;
    data.vertices.resize(vertexCount);
    for (StaticVertex& vertex : data.vertices) {
        mesh_file::readSurface(in, vertex);
    }
    if (!mesh_file::readTriangles(in, vertexCount, path, data.triangles)) {
        return std::nullopt;
    }
    return data;
}

StaticMesh::StaticMesh(StaticMeshData data)
    : Mesh(std::move(data.triangles)), vertices(std::move(data.vertices)) {
    createBuffers(vertices.data(), vertices.size() * sizeof(StaticVertex));
}
