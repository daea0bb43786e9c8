#include "mesh_builder.h"

#include <algorithm>
#include <boost/filesystem.hpp>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <glm/geometric.hpp>
#include <glm/gtc/constants.hpp>
#include <map>
#include <utility>

namespace bake {

namespace {

constexpr float kTwoPi = 6.28318530717958647692f;

float radians(float degrees) {
    return degrees * 0.0174532925199432958f;
}

// Any unit direction perpendicular to n.
glm::vec3 perpendicular(const glm::vec3& n) {
    const glm::vec3 axis = std::abs(n.x) < 0.9f ? glm::vec3(1, 0, 0) : glm::vec3(0, 1, 0);
    return glm::normalize(axis - n * glm::dot(n, axis));
}

BakeVertex skinned(const glm::vec3& position, const glm::vec3& normal, const glm::vec2& uv,
                   const Skin& skin) {
    BakeVertex vertex;
    vertex.position = position;
    vertex.normal = normal;
    vertex.texCoord = uv;
    vertex.bone1 = skin.bone1;
    vertex.weight1 = skin.weight1;
    vertex.bone2 = skin.bone2;
    vertex.weight2 = 1.0f - skin.weight1;
    return vertex;
}

}  // namespace

std::uint32_t MeshBuilder::addVertex(const BakeVertex& vertex) {
    vertexList.push_back(vertex);
    return static_cast<std::uint32_t>(vertexList.size() - 1);
}

void MeshBuilder::addTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, const glm::vec3& outward) {
    const glm::vec3 n = glm::cross(vertexList[b].position - vertexList[a].position,
                                   vertexList[c].position - vertexList[a].position);
    if (glm::dot(n, n) < 1e-12f) {
        return;  // no area: nothing to draw, and it would spoil the tangents
    }
    if (glm::dot(n, outward) < 0.0f) {
        std::swap(b, c);
    }
    triangleList.push_back({a, b, c});
}

void MeshBuilder::addQuad(const std::array<glm::vec3, 4>& corners, const std::array<glm::vec2, 4>& uvs,
                          const glm::vec3& normal, const Skin& skin) {
    std::uint32_t index[4];
    for (int i = 0; i < 4; ++i) {
        index[i] = addVertex(skinned(corners[i], normal, uvs[i], skin));
    }
    addTriangle(index[0], index[1], index[2], normal);
    addTriangle(index[0], index[2], index[3], normal);
}

namespace {

// The six faces of a box as (normal, u axis, v axis) with u x v = normal.
struct BoxFace {
    glm::vec3 normal, u, v;
};
const BoxFace kBoxFaces[6] = {
    {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
    {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
};

// Corner (s, t) of a box face: s along the face's u axis, t along v, 0..1.
glm::vec3 boxCorner(const BoxFace& face, const glm::vec3& lo, const glm::vec3& hi, float s, float t) {
    glm::vec3 p;
    for (int k = 0; k < 3; ++k) {
        if (face.normal[k] != 0.0f) {
            p[k] = face.normal[k] > 0.0f ? hi[k] : lo[k];
        } else if (face.u[k] != 0.0f) {
            p[k] = face.u[k] > 0.0f ? lo[k] + s * (hi[k] - lo[k]) : hi[k] - s * (hi[k] - lo[k]);
        } else {
            p[k] = face.v[k] > 0.0f ? lo[k] + t * (hi[k] - lo[k]) : hi[k] - t * (hi[k] - lo[k]);
        }
    }
    return p;
}

float extentAlong(const glm::vec3& axis, const glm::vec3& lo, const glm::vec3& hi) {
    return std::abs(glm::dot(axis, hi - lo));
}

}  // namespace

void MeshBuilder::addBox(const glm::vec3& lo, const glm::vec3& hi, float uvScale, const Skin& skin) {
    for (const BoxFace& face : kBoxFaces) {
        const float lu = extentAlong(face.u, lo, hi) * uvScale;
        const float lv = extentAlong(face.v, lo, hi) * uvScale;
        addQuad({boxCorner(face, lo, hi, 0, 0), boxCorner(face, lo, hi, 1, 0), boxCorner(face, lo, hi, 1, 1),
                 boxCorner(face, lo, hi, 0, 1)},
                {glm::vec2(0, 0), glm::vec2(lu, 0), glm::vec2(lu, lv), glm::vec2(0, lv)}, face.normal, skin);
    }
}

void MeshBuilder::addBoxInRect(const glm::vec3& lo, const glm::vec3& hi, const UvRect& rect,
                               const Skin& skin) {
    for (const BoxFace& face : kBoxFaces) {
        addQuad({boxCorner(face, lo, hi, 0, 0), boxCorner(face, lo, hi, 1, 0), boxCorner(face, lo, hi, 1, 1),
                 boxCorner(face, lo, hi, 0, 1)},
                {rect.at(0, 0), rect.at(1, 0), rect.at(1, 1), rect.at(0, 1)}, face.normal, skin);
    }
}

void MeshBuilder::addLoft(float cx, float cz, const std::vector<Ring>& rings, int segments,
                          const UvRect& rect, Caps caps) {
    const int ringCount = static_cast<int>(rings.size());
    const auto point = [&](int k, int j) {
        const float angle = kTwoPi * static_cast<float>(j) / static_cast<float>(segments);
        return glm::vec3(cx + rings[k].rx * std::cos(angle), rings[k].y, cz - rings[k].rz * std::sin(angle));
    };
    const float height = rings.back().y - rings.front().y;

    // Smooth normals from the surface's two directions: round (growing
    // angle) crossed with up the tube points outward.
    std::vector<std::uint32_t> grid(static_cast<std::size_t>(ringCount) * (segments + 1));
    for (int k = 0; k < ringCount; ++k) {
        for (int j = 0; j <= segments; ++j) {
            const glm::vec3 round = point(k, j + 1) - point(k, j - 1 + segments);
            const glm::vec3 up = point(std::min(k + 1, ringCount - 1), j) - point(std::max(k - 1, 0), j);
            const glm::vec3 normal = glm::normalize(glm::cross(round, up));
            const glm::vec2 uv = rect.at(static_cast<float>(j) / static_cast<float>(segments),
                                         (rings[k].y - rings.front().y) / height);
            grid[k * (segments + 1) + j] = addVertex(skinned(point(k, j), normal, uv, rings[k].skin));
        }
    }
    for (int k = 0; k + 1 < ringCount; ++k) {
        for (int j = 0; j < segments; ++j) {
            const std::uint32_t a = grid[k * (segments + 1) + j];
            const std::uint32_t b = grid[k * (segments + 1) + j + 1];
            const std::uint32_t c = grid[(k + 1) * (segments + 1) + j + 1];
            const std::uint32_t d = grid[(k + 1) * (segments + 1) + j];
            const glm::vec3 outward =
                vertexList[a].normal + vertexList[b].normal + vertexList[c].normal + vertexList[d].normal;
            addTriangle(a, b, c, outward);
            addTriangle(a, c, d, outward);
        }
    }

    // Flat caps, mapped planar across the rectangle.
    for (const int k : {0, ringCount - 1}) {
        if ((caps & (k == 0 ? kBottomCap : kTopCap)) == 0) {
            continue;
        }
        const glm::vec3 normal(0.0f, k == 0 ? -1.0f : 1.0f, 0.0f);
        const Ring& ring = rings[k];
        const std::uint32_t center =
            addVertex(skinned(glm::vec3(cx, ring.y, cz), normal, rect.at(0.5f, 0.5f), ring.skin));
        std::vector<std::uint32_t> outline;
        for (int j = 0; j < segments; ++j) {
            const float angle = kTwoPi * static_cast<float>(j) / static_cast<float>(segments);
            const glm::vec2 uv = rect.at(0.5f + 0.5f * std::cos(angle), 0.5f + 0.5f * std::sin(angle));
            outline.push_back(addVertex(skinned(point(k, j), normal, uv, ring.skin)));
        }
        for (int j = 0; j < segments; ++j) {
            addTriangle(center, outline[j], outline[(j + 1) % segments], normal);
        }
    }
}

void MeshBuilder::addPrism(const glm::vec3& baseCenter, float radius, float height, int sides,
                           float phaseDegrees, float uvScale, const UvRect& rect) {
    std::vector<glm::vec3> outline;
    for (int i = 0; i < sides; ++i) {
        const float angle =
            radians(phaseDegrees) + kTwoPi * static_cast<float>(i) / static_cast<float>(sides);
        outline.push_back(baseCenter + glm::vec3(radius * std::cos(angle), 0.0f, -radius * std::sin(angle)));
    }
    const glm::vec3 up(0.0f, height, 0.0f);
    float along = 0.0f;
    for (int i = 0; i < sides; ++i) {
        const glm::vec3& p0 = outline[i];
        const glm::vec3& p1 = outline[(i + 1) % sides];
        const float edge = glm::length(p1 - p0);
        const glm::vec3 normal = glm::normalize(0.5f * (p0 + p1) - baseCenter);
        const float s0 = along * uvScale;
        const float s1 = (along + edge) * uvScale;
        const float t1 = height * uvScale;
        addQuad({p0, p1, p1 + up, p0 + up},
                {rect.at(s0, 0), rect.at(s1, 0), rect.at(s1, t1), rect.at(s0, t1)}, normal);
        along += edge;
    }
    for (const bool top : {false, true}) {
        const glm::vec3 normal(0.0f, top ? 1.0f : -1.0f, 0.0f);
        const glm::vec3 lift = top ? up : glm::vec3(0.0f);
        const auto uvOf = [&](const glm::vec3& p) {
            return rect.at(0.5f + (p.x - baseCenter.x) * uvScale, 0.5f + (baseCenter.z - p.z) * uvScale);
        };
        const std::uint32_t center = addVertex(skinned(baseCenter + lift, normal, uvOf(baseCenter), Skin()));
        std::vector<std::uint32_t> ring;
        for (const glm::vec3& p : outline) {
            ring.push_back(addVertex(skinned(p + lift, normal, uvOf(p), Skin())));
        }
        for (int i = 0; i < sides; ++i) {
            addTriangle(center, ring[i], ring[(i + 1) % sides], normal);
        }
    }
}

void MeshBuilder::addFacetedBlob(const glm::vec3& center, const glm::vec3& radii, float yawDegrees,
                                 float floorY, float uvScale, const UvRect& rect) {
    // Icosahedron, then every face split in four with the new points pushed
    // back onto the unit sphere.
    const float g = 1.6180339887f;
    std::vector<glm::vec3> points = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0},
                                     {0, -1, g}, {0, 1, g}, {0, -1, -g}, {0, 1, -g},
                                     {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
    for (glm::vec3& p : points) {
        p = glm::normalize(p);
    }
    std::vector<std::array<int, 3>> faces = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                             {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                             {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                             {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    std::map<std::pair<int, int>, int> midpoints;
    const auto midpoint = [&](int a, int b) {
        const std::pair<int, int> key(std::min(a, b), std::max(a, b));
        const auto it = midpoints.find(key);
        if (it != midpoints.end()) {
            return it->second;
        }
        points.push_back(glm::normalize(points[a] + points[b]));
        const int index = static_cast<int>(points.size() - 1);
        midpoints[key] = index;
        return index;
    };
    std::vector<std::array<int, 3>> split;
    for (const auto& f : faces) {
        const int ab = midpoint(f[0], f[1]);
        const int bc = midpoint(f[1], f[2]);
        const int ca = midpoint(f[2], f[0]);
        split.push_back({f[0], ab, ca});
        split.push_back({f[1], bc, ab});
        split.push_back({f[2], ca, bc});
        split.push_back({ab, bc, ca});
    }

    const glm::quat yaw = glm::angleAxis(radians(yawDegrees), glm::vec3(0, 1, 0));
    std::vector<glm::vec3> placed;
    for (const glm::vec3& p : points) {
        glm::vec3 q = center + yaw * (p * radii);
        q.y = std::max(q.y, floorY);
        placed.push_back(q);
    }
    for (const auto& f : split) {
        const glm::vec3 a = placed[f[0]], b = placed[f[1]], c = placed[f[2]];
        glm::vec3 normal = glm::cross(b - a, c - a);
        if (glm::dot(normal, normal) < 1e-10f) {
            continue;
        }
        normal = glm::normalize(normal);
        if (glm::dot(normal, (a + b + c) / 3.0f - center) < 0.0f) {
            normal = -normal;
        }
        const glm::vec3 m = glm::abs(normal);
        const auto uvOf = [&](const glm::vec3& p) {
            glm::vec2 planar;
            if (m.y >= m.x && m.y >= m.z) {
                planar = glm::vec2(p.x, -p.z);
            } else if (m.x >= m.z) {
                planar = glm::vec2(normal.x > 0 ? -p.z : p.z, p.y);
            } else {
                planar = glm::vec2(normal.z > 0 ? p.x : -p.x, p.y);
            }
            return rect.at(planar.x * uvScale, planar.y * uvScale);
        };
        const std::uint32_t ia = addVertex(skinned(a, normal, uvOf(a), Skin()));
        const std::uint32_t ib = addVertex(skinned(b, normal, uvOf(b), Skin()));
        const std::uint32_t ic = addVertex(skinned(c, normal, uvOf(c), Skin()));
        addTriangle(ia, ib, ic, normal);
    }
}

void MeshBuilder::computeTangents() {
    std::vector<glm::vec3> tangents(vertexList.size(), glm::vec3(0.0f));
    std::vector<glm::vec3> bitangents(vertexList.size(), glm::vec3(0.0f));
    for (const auto& t : triangleList) {
        const BakeVertex& v0 = vertexList[t[0]];
        const BakeVertex& v1 = vertexList[t[1]];
        const BakeVertex& v2 = vertexList[t[2]];
        const glm::vec3 e1 = v1.position - v0.position;
        const glm::vec3 e2 = v2.position - v0.position;
        const glm::vec2 d1 = v1.texCoord - v0.texCoord;
        const glm::vec2 d2 = v2.texCoord - v0.texCoord;
        const float det = d1.x * d2.y - d2.x * d1.y;
        if (std::abs(det) < 1e-12f) {
            continue;
        }
        const glm::vec3 tangent = (e1 * d2.y - e2 * d1.y) / det;
        const glm::vec3 bitangent = (e2 * d1.x - e1 * d2.x) / det;
        for (const std::uint32_t index : t) {
            tangents[index] += tangent;
            bitangents[index] += bitangent;
        }
    }
    for (std::size_t i = 0; i < vertexList.size(); ++i) {
        BakeVertex& vertex = vertexList[i];
        const glm::vec3 n = glm::normalize(vertex.normal);
        glm::vec3 t = tangents[i] - n * glm::dot(n, tangents[i]);
        t = glm::dot(t, t) > 1e-12f ? glm::normalize(t) : perpendicular(n);
        glm::vec3 b = glm::cross(n, t);
        if (glm::dot(b, bitangents[i]) < 0.0f) {
            b = -b;
        }
        vertex.normal = n;
        vertex.tangent = t;
        vertex.bitangent = b;
    }
}

void ByteWriter::u32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        data.push_back(static_cast<unsigned char>((value >> shift) & 0xffu));
    }
}

void ByteWriter::f32(float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    u32(bits);
}

void ByteWriter::direction(const glm::vec3& v) {
    f32(v.x);
    f32(-v.z);
    f32(v.y);
}

void ByteWriter::rotation(const glm::quat& q) {
    f32(q.x);
    f32(-q.z);
    f32(q.y);
    f32(q.w);
}

void ByteWriter::text(const std::string& value) {
    data.insert(data.end(), value.begin(), value.end());
    data.push_back(0);
}

namespace {
void writeSurface(const BakeVertex& vertex, ByteWriter& out) {
    out.direction(vertex.position);
    out.direction(vertex.normal);
    out.f32(vertex.texCoord.x);
    out.f32(vertex.texCoord.y);
    out.direction(vertex.tangent);
    out.direction(vertex.bitangent);
}
}  // namespace

void writeStaticVertices(const MeshBuilder& mesh, ByteWriter& out) {
    out.u32(static_cast<std::uint32_t>(mesh.vertices().size()));
    for (const BakeVertex& vertex : mesh.vertices()) {
        writeSurface(vertex, out);
    }
}

void writeSkeletalVertices(const MeshBuilder& mesh, ByteWriter& out) {
    out.u32(static_cast<std::uint32_t>(mesh.vertices().size()));
    for (const BakeVertex& vertex : mesh.vertices()) {
        writeSurface(vertex, out);
        out.u32(vertex.bone1);
        out.f32(vertex.weight1);
        out.u32(vertex.bone2);
        out.f32(vertex.weight2);
    }
}

void writeTriangles(const MeshBuilder& mesh, ByteWriter& out) {
    out.u32(static_cast<std::uint32_t>(mesh.triangles().size()));
    for (const auto& triangle : mesh.triangles()) {
        for (const std::uint32_t index : triangle) {
            out.u32(index);
        }
    }
}

std::vector<unsigned char> staticMeshFile(const MeshBuilder& mesh) {
    ByteWriter out;
    writeStaticVertices(mesh, out);
    writeTriangles(mesh, out);
    return out.bytes();
}

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    boost::system::error_code error;
    boost::filesystem::create_directories(boost::filesystem::path(path).parent_path(), error);
    std::ofstream stream(path, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!stream.is_open()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!stream.good()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace bake
