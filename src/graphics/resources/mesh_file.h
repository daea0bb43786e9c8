#pragma once
// Pieces shared by the static and skeletal mesh loaders: whole-file reading,
// the exchange from the files' z-up axes to the engine's y-up axes, the
// tangent clean-up and the checked triangle block.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <string>
#include <vector>

#include "graphics/resources/binary_reader.h"
#include "graphics/resources/mesh.h"

namespace mesh_file {

// Reads every byte of a binary mesh file. False (after the "Could not read
// from" record) when the path is not a readable regular file.
bool readFile(const std::string& path, std::vector<unsigned char>& bytes);

// Reads, decodes and uploads one mesh file of kind MeshT (StaticMesh or
// SkeletalMesh); nullptr after the reader's or decoder's error record.
template <typename MeshT>
std::unique_ptr<MeshT> loadMesh(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (!readFile(path, bytes)) {
        return nullptr;
    }
    auto data = MeshT::decode(bytes, path);
    if (!data) {
        return nullptr;
    }
    return std::make_unique<MeshT>(std::move(*data));
}

// A file point or direction (x, y, z), authored z up, as (x, z, -y).
inline glm::vec3 toEngineAxes(const glm::vec3& v) {
    return glm::vec3(v.x, v.z, -v.y);
}

// The tangent made perpendicular to the normal and of unit length (one
// Gram-Schmidt step). When nothing of it is left after the step (a tangent
// along the normal, or zero), a direction perpendicular to the normal is
// derived from the bitangent, or failing that from a coordinate axis, so the
// result is never NaN.
glm::vec3 orthogonalTangent(const glm::vec3& normal, const glm::vec3& tangent, const glm::vec3& bitangent);

// Size of the surface part every vertex record starts with: position,
// normal, texture coordinate, tangent, bitangent.
constexpr std::size_t kSurfaceFloats = 14;

// Reads the surface part of one vertex record into vertex (a StaticVertex or
// SkeletalVertex) and converts it: axis exchange of the four directions and
// points, tangent clean-up; the texture coordinate stays. The caller has
// checked that the bytes are there.
template <typename Vertex>
void readSurface(BinaryReader& in, Vertex& vertex) {
    float f[kSurfaceFloats] = {};
    in.readF32s(f, kSurfaceFloats);
    vertex.position = toEngineAxes(glm::vec3(f[0], f[1], f[2]));
    vertex.normal = toEngineAxes(glm::vec3(f[3], f[4], f[5]));
    vertex.texCoord = glm::vec2(f[6], f[7]);
    vertex.bitangent = toEngineAxes(glm::vec3(f[11], f[12], f[13]));
    vertex.tangent =
        orthogonalTangent(vertex.normal, toEngineAxes(glm::vec3(f[8], f[9], f[10])), vertex.bitangent);
}

// Reads the triangle count and the triangles and checks each index against
// vertexCount. False after an error record naming path.
bool readTriangles(BinaryReader& in, std::uint32_t vertexCount, const std::string& path,
                   std::vector<Triangle>& triangles);

// Error record of a file that ends before what it announces.
void reportTruncated(const std::string& path, const char* what);

}  // namespace mesh_file
