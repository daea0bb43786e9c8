#pragma once
// Rigid geometry: the level objects, the floor, the flag.
//
// File (little-endian, no header): vertex count V (u32), V StaticVertex
// records of 56 bytes, triangle count T (u32), T triangles of three u32
// vertex indices counted from 0.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graphics/resources/mesh.h"

struct StaticMeshData {
    std::vector<StaticVertex> vertices;
    std::vector<Triangle> triangles;
};

class StaticMesh : public Mesh {
  public:
    // Reads a static mesh file and uploads it. nullptr after an error record
    // when the file cannot be read, is short, or a triangle names a vertex
    // at or beyond the vertex count.
    static std::unique_ptr<StaticMesh> load(const std::string& path);

    // The file contents, checked and converted to the engine's axes (y up,
    // tangents perpendicular to the normals), without touching OpenGL.
    // Trailing bytes after the triangles are ignored.
    static std::optional<StaticMeshData> decode(const std::vector<unsigned char>& bytes,
                                                const std::string& path);

    // Uploads data into new buffers (an OpenGL context must be current).
    explicit StaticMesh(StaticMeshData data);

    const std::vector<StaticVertex>& getVertices() const { return vertices; }

  private:
    std::vector<StaticVertex> vertices;
};
