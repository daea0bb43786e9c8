#include "graphics/resources/skeletal_mesh.h"

#include "graphics/resources/mesh_file.h"
#include "utils/log.h"

std::unique_ptr<SkeletalMesh> SkeletalMesh::load(const std::string& path) {
    LOG(debug) << "Loading skeletal mesh from [" << path << "]...";
    return mesh_file::loadMesh<SkeletalMesh>(path);
}

std::optional<SkeletalMeshData> SkeletalMesh::decode(const std::vector<unsigned char>& bytes,
                                                     const std::string& path) {
    BinaryReader in(bytes);
    std::uint32_t vertexCount = 0;
    if (!in.readU32(vertexCount)) {
        mesh_file::reportTruncated(path, "vertex count");
        return std::nullopt;
    }
    LOG(debug) << vertexCount << " vertices";
    if (in.remaining() / sizeof(SkeletalVertex) < vertexCount) {
        mesh_file::reportTruncated(path, "vertices");
        return std::nullopt;
    }
    SkeletalMeshData data;
    data.vertices.resize(vertexCount);
    for (SkeletalVertex& vertex : data.vertices) {
        mesh_file::readSurface(in, vertex);
        in.readU32(vertex.boneIndex1);
        in.readF32(vertex.boneWeight1);
        in.readU32(vertex.boneIndex2);
        in.readF32(vertex.boneWeight2);
    }
    if (!mesh_file::readTriangles(in, vertexCount, path, data.triangles)) {
        return std::nullopt;
    }
    data.skeleton = Skeleton::read(in, path);
    if (!data.skeleton) {
        return std::nullopt;
    }
    // The shaders index the bone arrays with these: one past the end would
    // read whatever lies behind the uniforms.
    const std::uint32_t boneCount = data.skeleton->getBoneCount();
    for (std::uint32_t v = 0; v < vertexCount; ++v) {
        const SkeletalVertex& vertex = data.vertices[v];
        for (const std::uint32_t bone : {vertex.boneIndex1, vertex.boneIndex2}) {
            if (bone >= boneCount) {
                LOG(error) << "Vertex " << v << " names bone " << bone << " of " << boneCount << " in ["
                           << path << "]!";
                return std::nullopt;
            }
        }
    }
    return data;
}

SkeletalMesh::SkeletalMesh(SkeletalMeshData data)
    : Mesh(std::move(data.triangles)),
      vertices(std::move(data.vertices)),
      skeleton(std::move(data.skeleton)) {
    createBuffers(vertices.data(), vertices.size() * sizeof(SkeletalVertex));
}
