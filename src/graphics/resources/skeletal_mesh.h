#pragma once
// Geometry skinned to a skeleton with animations: the actors.
//
// File (little-endian, no header): vertex count V (u32), V SkeletalVertex
// records of 72 bytes, triangle count T (u32), T triangles, then the
// skeleton and its animation tags (see skeleton.h).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graphics/resources/mesh.h"
#include "graphics/resources/skeleton.h"

struct SkeletalMeshData {
    std::vector<SkeletalVertex> vertices;
    std::vector<Triangle> triangles;
    std::unique_ptr<Skeleton> skeleton;
};

class SkeletalMesh : public Mesh {
  public:
    // Reads a skeletal mesh file with its skeleton and uploads it. nullptr
    // after an error record when the file cannot be read, is short anywhere
    // (vertices, triangles, bone records, tracks or tags), a triangle names a
    // vertex at or beyond the vertex count, or a vertex names a bone at or
    // beyond the bone count.
    static std::unique_ptr<SkeletalMesh> load(const std::string& path);

    // The file contents, checked and converted, without touching OpenGL.
    static std::optional<SkeletalMeshData> decode(const std::vector<unsigned char>& bytes,
                                                  const std::string& path);

    // Uploads data into new buffers (an OpenGL context must be current).
    explicit SkeletalMesh(SkeletalMeshData data);

    const std::vector<SkeletalVertex>& getVertices() const { return vertices; }
    const Skeleton& getSkeleton() const { return *skeleton; }

  private:
    std::vector<SkeletalVertex> vertices;
    std::unique_ptr<Skeleton> skeleton;
};
