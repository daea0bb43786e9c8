#pragma once
// Indexed triangle geometry held in two OpenGL buffers, and the registry of
// meshes filled from the ".mshd" mesh definition files.
//
// Vertex records have the same layout in the binary files, in memory and in
// the vertex buffers, so the instances describe their attributes from the
// offsets below (positions, normals, tangents and bitangents in model space,
// y up once loaded).
#include <cstddef>
#include <cstdint>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <string>
#include <vector>

#include "utils/non_copyable.h"
#include "utils/resource_manager.h"
#include "utils/singleton.h"

struct StaticVertex {
    glm::vec3 position;
    glm::vec3 normal;
    glm::vec2 texCoord;
    glm::vec3 tangent;
    glm::vec3 bitangent;
};

// A static vertex skinned to at most two bones of the mesh's skeleton.
struct SkeletalVertex {
    glm::vec3 position;
    glm::vec3 normal;
    glm::vec2 texCoord;
    glm::vec3 tangent;
    glm::vec3 bitangent;
    std::uint32_t boneIndex1;
    float boneWeight1;
    std::uint32_t boneIndex2;
    float boneWeight2;
};

// Three vertex indices, counted from 0.
struct Triangle {
    std::uint32_t indices[3];
};

static_assert(sizeof(StaticVertex) == 56, "static vertices are 56 bytes in files and buffers");
static_assert(offsetof(StaticVertex, normal) == 12 && offsetof(StaticVertex, texCoord) == 24 &&
                  offsetof(StaticVertex, tangent) == 32 && offsetof(StaticVertex, bitangent) == 44,
              "static vertex layout");
static_assert(sizeof(SkeletalVertex) == 72, "skeletal vertices are 72 bytes in files and buffers");
static_assert(offsetof(SkeletalVertex, boneIndex1) == 56 && offsetof(SkeletalVertex, boneWeight1) == 60 &&
                  offsetof(SkeletalVertex, boneIndex2) == 64 && offsetof(SkeletalVertex, boneWeight2) == 68,
              "skeletal vertex layout");
static_assert(sizeof(Triangle) == 12, "triangles are 12 bytes in files and buffers");

// Base of StaticMesh and SkeletalMesh. Owns the triangle array and both
// buffer names, which the destructor deletes (an OpenGL context must be
// current then). Drawing is done by the mesh instances: bind the index
// buffer and draw getIndexCount() unsigned-int indices as triangles.
class Mesh : private NonCopyable {
  public:
    virtual ~Mesh();

    std::uint32_t getVertexBuffer() const { return vertexBuffer; }
    std::uint32_t getIndexBuffer() const { return indexBuffer; }
    const std::vector<Triangle>& getTriangles() const { return triangles; }
    std::size_t getTriangleCount() const { return triangles.size(); }
    std::size_t getIndexCount() const { return 3 * triangles.size(); }

  protected:
    explicit Mesh(std::vector<Triangle> triangles) : triangles(std::move(triangles)) {}

    // Creates the vertex buffer from vertexBytes bytes at vertices and the
    // index buffer from the triangles, both GL_STATIC_DRAW. Called once by
    // the derived constructors.
    void createBuffers(const void* vertices, std::size_t vertexBytes);

  private:
    std::vector<Triangle> triangles;
    std::uint32_t vertexBuffer = 0;
    std::uint32_t indexBuffer = 0;
};

class StaticMesh;
class SkeletalMesh;

// Registry of meshes by name. load() reads one ".mshd" file and loads every
// mesh it lists; a mesh whose file is missing, short or inconsistent is
// reported and left out, and the other entries still load.
class MeshManager : public ResourceManager<Mesh>, public Singleton<MeshManager> {
  public:
    void load(const std::string& path) override;

    // Lookups of one kind: nullptr after an error record when the name is
    // absent or names a mesh of the other kind.
    StaticMesh* getStatic(const std::string& name) const;
    SkeletalMesh* getSkeletal(const std::string& name) const;
};
