#include "support/baked_meshes.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <numeric>

namespace {
class Reader {
  public:
    explicit Reader(std::vector<unsigned char> bytes) : bytes(std::move(bytes)) {}

    bool has(std::size_t count) const { return bytes.size() - at >= count; }
    uint32_t u32() {
        uint32_t value = 0;
        for (int k = 0; k < 4; ++k) {
            value |= static_cast<uint32_t>(bytes[at++]) << (8 * k);
        }
        return value;
    }
    glm::vec3 point() {
        float p[3];
        for (float& value : p) {
            const uint32_t bits = u32();
            std::memcpy(&value, &bits, sizeof value);
        }
        return glm::vec3(p[0], p[2], -p[1]);
    }
    bool atEnd() const { return at == bytes.size(); }

  private:
    std::vector<unsigned char> bytes;
    std::size_t at = 0;
};

template <std::size_t N>
bool readIndices(Reader& reader, uint32_t count, uint32_t vertexCount,
                 std::vector<std::array<uint32_t, N>>& out) {
    if (!reader.has(static_cast<std::size_t>(count) * N * 4)) {
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        std::array<uint32_t, N> item;
        for (uint32_t& index : item) {
            index = reader.u32();
            if (index == 0 || index > vertexCount) {
                return false;
            }
            index -= 1;
        }
        out.push_back(item);
    }
    return true;
}
}  // namespace

std::vector<unsigned char> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool readBakedTriangleMesh(const std::string& path, BakedTriangleMesh& mesh) {
    Reader reader(fileBytes(path));
    if (!reader.has(4)) {
        return false;
    }
    const uint32_t vertexCount = reader.u32();
    if (!reader.has(static_cast<std::size_t>(vertexCount) * 12 + 4)) {
        return false;
    }
    for (uint32_t i = 0; i < vertexCount; ++i) {
        mesh.vertices.push_back(reader.point());
    }
    const uint32_t triangleCount = reader.u32();
    return readIndices(reader, triangleCount, vertexCount, mesh.triangles) && reader.atEnd();
}

bool readBakedNavigationMesh(const std::string& path, BakedNavigationMesh& mesh) {
    Reader reader(fileBytes(path));
    if (!reader.has(8)) {
        return false;
    }
    const uint32_t vertexCount = reader.u32();
    const uint32_t quadCount = reader.u32();
    if (!reader.has(static_cast<std::size_t>(vertexCount) * 12)) {
        return false;
    }
    for (uint32_t i = 0; i < vertexCount; ++i) {
        mesh.vertices.push_back(reader.point());
    }
    return readIndices(reader, quadCount, vertexCount, mesh.quads) && reader.atEnd();
}

std::size_t countVertexConnectedParts(const std::vector<std::array<uint32_t, 3>>& triangles,
                                      std::size_t vertexCount) {
    std::vector<std::size_t> parent(vertexCount);
    std::iota(parent.begin(), parent.end(), 0);
    const auto root = [&](std::size_t v) {
        while (parent[v] != v) {
            v = parent[v] = parent[parent[v]];
        }
        return v;
    };
    std::vector<bool> used(vertexCount, false);
    for (const auto& triangle : triangles) {
        for (uint32_t index : triangle) {
            used[index] = true;
            parent[root(index)] = root(triangle[0]);
        }
    }
    std::size_t parts = 0;
    for (std::size_t v = 0; v < vertexCount; ++v) {
        parts += used[v] && root(v) == v ? 1 : 0;
    }
    return parts;
}
