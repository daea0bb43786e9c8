#pragma once
// Geometry assembly for the mesh baker. Everything is built in the game's
// axes (y up, model units) and exchanged to the files' z-up axes only when
// written: a game point (x, y, z) is stored as (x, -z, y), a rotation about
// a game axis as the same angle about the exchanged axis.
#include <array>
#include <cstdint>
#include <glm/gtc/quaternion.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <string>
#include <vector>

namespace bake {

struct BakeVertex {
    glm::vec3 position{0.0f};
    glm::vec3 normal{0.0f, 1.0f, 0.0f};
    glm::vec2 texCoord{0.0f};
    glm::vec3 tangent{0.0f};
    glm::vec3 bitangent{0.0f};
    std::uint32_t bone1 = 0;
    float weight1 = 1.0f;
    std::uint32_t bone2 = 0;
    float weight2 = 0.0f;
};

// Two-bone skin weights of a vertex: bone1 with weight1, bone2 with the rest.
struct Skin {
    std::uint32_t bone1 = 0;
    float weight1 = 1.0f;
    std::uint32_t bone2 = 0;
};

// A rectangle of the texture that one part maps into.
struct UvRect {
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
    glm::vec2 at(float s, float t) const { return glm::vec2(u0 + (u1 - u0) * s, v0 + (v1 - v0) * t); }
};

// One cross-section of a loft: an ellipse at height y around (cx, cz).
struct Ring {
    float y;
    float rx;
    float rz;
    Skin skin;
};

class MeshBuilder {
  public:
    std::uint32_t addVertex(const BakeVertex& vertex);
    // Adds the triangle wound counter-clockwise as seen from the side
    // outward points to (the front face under back-face culling).
    void addTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, const glm::vec3& outward);
    // Flat quad of four new vertices a, b, c, d going round its outline,
    // facing normal, with texture coordinates given per corner.
    void addQuad(const std::array<glm::vec3, 4>& corners, const std::array<glm::vec2, 4>& uvs,
                 const glm::vec3& normal, const Skin& skin = Skin());

    // Box between lo and hi, flat faces; texture coordinates are the face's
    // in-plane coordinates times uvScale, mapped into rect when given.
    void addBox(const glm::vec3& lo, const glm::vec3& hi, float uvScale, const Skin& skin = Skin());
    void addBoxInRect(const glm::vec3& lo, const glm::vec3& hi, const UvRect& rect,
                      const Skin& skin = Skin());

    // Which ends of a loft get a flat cap: leave out the ones nobody can see
    // (inside another part, or facing the ground).
    enum Caps { kNoCaps = 0, kBottomCap = 1, kTopCap = 2, kBothCaps = 3 };

    // Smooth tube through rings (ordered by rising y) around the vertical
    // axis through (cx, cz), with segments sides, closed by flat caps.
    // u runs round the tube and v up it, both across rect.
    void addLoft(float cx, float cz, const std::vector<Ring>& rings, int segments, const UvRect& rect,
                 Caps caps = kBothCaps);

    // Regular prism standing on y = base with flat sides; a vertex of the
    // outline at angle phase (degrees) from +x. Sides map u to the
    // perimeter and v to the height, caps map planar, all times uvScale,
    // then into rect.
    void addPrism(const glm::vec3& baseCenter, float radius, float height, int sides, float phaseDegrees,
                  float uvScale, const UvRect& rect = UvRect());

    // Faceted ellipsoid (an icosahedron split once, 80 faces) with the
    // given centre and radii, turned by yawDegrees about y; points below
    // floorY are pulled up onto it (a flat base). Each face maps planar
    // along its dominant axis, times uvScale, into rect.
    void addFacetedBlob(const glm::vec3& center, const glm::vec3& radii, float yawDegrees, float floorY,
                        float uvScale, const UvRect& rect = UvRect());

    // Tangents and bitangents from the texture coordinates (per-triangle
    // derivatives summed per vertex), made perpendicular to the normals.
    void computeTangents();

    const std::vector<BakeVertex>& vertices() const { return vertexList; }
    std::vector<BakeVertex>& vertices() { return vertexList; }
    const std::vector<std::array<std::uint32_t, 3>>& triangles() const { return triangleList; }

  private:
    std::vector<BakeVertex> vertexList;
    std::vector<std::array<std::uint32_t, 3>> triangleList;
};

// Little-endian byte sink in the files' axes.
class ByteWriter {
  public:
    void u32(std::uint32_t value);
    void f32(float value);
    // A game-space point or direction, stored z up.
    void direction(const glm::vec3& v);
    // A game-space rotation, stored z up (x, y, z, w).
    void rotation(const glm::quat& q);
    void text(const std::string& value);  // NUL-terminated
    const std::vector<unsigned char>& bytes() const { return data; }

  private:
    std::vector<unsigned char> data;
};

// Vertex records as the mesh files hold them (surface part; skeletal adds
// the bone fields).
void writeStaticVertices(const MeshBuilder& mesh, ByteWriter& out);
void writeSkeletalVertices(const MeshBuilder& mesh, ByteWriter& out);
void writeTriangles(const MeshBuilder& mesh, ByteWriter& out);
// A whole static mesh file: the vertex records, then the triangles.
std::vector<unsigned char> staticMeshFile(const MeshBuilder& mesh);

// Writes bytes to path (creating its directory); false after a message.
bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace bake
