// The arena's binary files: one collision triangle mesh per obstacle kind
// named in data/collision/level.volumes, and the navigation mesh
// data/level/test.nav with holes where the objects of test.lvl stand.
#include <algorithm>
#include <boost/filesystem.hpp>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <glm/gtc/quaternion.hpp>
#include <iterator>
#include <limits>
#include <map>
#include <utility>

#include "bake.h"
#include "game/level.h"
#include "io/file_system.h"
#include "mechanics/navigation_mesh_writer.h"
#include "shapes.h"

namespace fs = boost::filesystem;

namespace {
// The walkable ground: -50 .. 50 on x and z in square cells of this size.
constexpr float kGroundHalfSize = 50.0f;
constexpr float kCellSize = 2.0f;
constexpr int kCells = 50;
// A cell closer than this to an obstacle's footprint is not walkable: half
// an actor's width plus some room, so that paths do not graze obstacles.
constexpr float kClearance = 1.0f;

// Little-endian output buffer; files are written Z-up: a game point
// (x, y, z) is stored as (x, -z, y).
struct Bytes {
    std::vector<unsigned char> data;

    void u32(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            data.push_back(static_cast<unsigned char>(value >> shift));
        }
    }
    void f32(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        u32(bits);
    }
    void point(const glm::vec3& p) {
        f32(p.x);
        f32(0.0f - p.z);  // no negative zeros in the files
        f32(p.y);
    }
};

// Writes bytes to path unless the file already holds exactly them, so that a
// bake without changes leaves the files (and their times) alone.
bool writeFile(const fs::path& path, const Bytes& bytes) {
    std::ifstream existing(path.string(), std::ios::binary);
    if (existing) {
        const std::vector<unsigned char> old((std::istreambuf_iterator<char>(existing)),
                                             std::istreambuf_iterator<char>());
        if (old == bytes.data) {
            return true;
        }
    }
    existing.close();
    std::ofstream out(path.string(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data.data()),
              static_cast<std::streamsize>(bytes.data.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

// Collision triangle mesh: u32 V, V points, u32 T, T triangles of 1-based
// indices.
Bytes triangleMeshBytes(const Shape& shape) {
    Bytes bytes;
    bytes.u32(static_cast<uint32_t>(shape.positions.size()));
    for (const glm::vec3& p : shape.positions) {
        bytes.point(p);
    }
    bytes.u32(static_cast<uint32_t>(shape.triangles.size()));
    for (const auto& triangle : shape.triangles) {
        for (uint32_t index : triangle) {
            bytes.u32(index + 1);
        }
    }
    return bytes;
}

// The entries of a ".volumes" file as (name, reference) pairs: the word
// "volumes", "{", then "Name = <reference>" entries up to "}". Comments and
// white space may stand between tokens. Returns false on anything else.
bool readVolumeEntries(const std::string& text, std::vector<std::pair<std::string, std::string>>& entries) {
    std::size_t at = 0;
    const auto skipGap = [&] {
        while (at < text.size()) {
            if (text[at] == '#') {
                at = text.find('\n', at);
                at = at == std::string::npos ? text.size() : at + 1;
            } else if (std::isspace(static_cast<unsigned char>(text[at]))) {
                ++at;
            } else {
                break;
            }
        }
    };
    const auto expect = [&](char c) {
        skipGap();
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    };
    if (text.compare(0, 7, "volumes") != 0) {
        return false;
    }
    at = 7;
    if (!expect('{')) {
        return false;
    }
    while (!expect('}')) {
        const std::size_t start = at;
        while (at < text.size() && std::isalnum(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
        const std::string name = text.substr(start, at - start);
        if (name.empty() || !expect('=') || !expect('<')) {
            return false;
        }
        const std::size_t close = text.find('>', at);
        if (close == std::string::npos) {
            return false;
        }
        entries.emplace_back(name, text.substr(at, close - at));
        at = close + 1;
    }
    return true;
}

bool bakeCollisionMeshes(const fs::path& volumesPath, const Level& level) {
    std::ifstream in(volumesPath.string(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::pair<std::string, std::string>> entries;
    if (!in.is_open() || !readVolumeEntries(text, entries)) {
        std::fprintf(stderr, "cannot read the volume list %s\n", volumesPath.string().c_str());
        return false;
    }
    std::map<std::string, std::string> references(entries.begin(), entries.end());
    for (const LevelObject& object : level.objects) {
        if (object.name != "Floor" && references.count(object.name) == 0) {
            std::fprintf(stderr, "%s has no entry for the level object \"%s\"\n",
                         volumesPath.string().c_str(), object.name.c_str());
            return false;
        }
    }
    for (const auto& [name, reference] : entries) {
        if (!hasShape(name) || convexPartsOf(name).empty()) {
            std::fprintf(stderr, "%s: no solid shape for \"%s\"\n", volumesPath.string().c_str(),
                         name.c_str());
            return false;
        }
        const fs::path target = volumesPath.parent_path() / reference;
        boost::system::error_code error;
        fs::create_directories(target.parent_path(), error);
        if (!writeFile(target, triangleMeshBytes(shapeOf(name)))) {
            return false;
        }
    }
    return true;
}

float pointSegmentDistance(const glm::vec2& p, const glm::vec2& a, const glm::vec2& b) {
    const glm::vec2 ab = b - a;
    const float length2 = glm::dot(ab, ab);
    const float t = length2 > 0.0f ? glm::clamp(glm::dot(p - a, ab) / length2, 0.0f, 1.0f) : 0.0f;
    return glm::length(p - (a + t * ab));
}

float side(const glm::vec2& a, const glm::vec2& b, const glm::vec2& p) {
    return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
}

// Whether the segments ab and cd cross at a point inside both.
bool segmentsCross(const glm::vec2& a, const glm::vec2& b, const glm::vec2& c, const glm::vec2& d) {
    return side(a, b, c) * side(a, b, d) < 0.0f && side(c, d, a) * side(c, d, b) < 0.0f;
}

// Whether p lies inside or on the convex polygon (either winding).
bool insideConvex(const glm::vec2& p, const std::vector<glm::vec2>& polygon) {
    bool negative = false;
    bool positive = false;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const glm::vec2& a = polygon[i];
        const glm::vec2& b = polygon[(i + 1) % polygon.size()];
        negative = negative || side(a, b, p) < 0.0f;
        positive = positive || side(a, b, p) > 0.0f;
    }
    return !(negative && positive);
}

// The distance between two convex polygons, 0 when they overlap.
float polygonDistance(const std::vector<glm::vec2>& first, const std::vector<glm::vec2>& second) {
    for (const glm::vec2& p : first) {
        if (insideConvex(p, second)) {
            return 0.0f;
        }
    }
    for (const glm::vec2& p : second) {
        if (insideConvex(p, first)) {
            return 0.0f;
        }
    }
    // Neither holds a corner of the other: they overlap only if edges cross.
    for (std::size_t i = 0; i < first.size(); ++i) {
        for (std::size_t k = 0; k < second.size(); ++k) {
            if (segmentsCross(first[i], first[(i + 1) % first.size()], second[k],
                              second[(k + 1) % second.size()])) {
                return 0.0f;
            }
        }
    }
    float distance = std::numeric_limits<float>::max();
    for (int pass = 0; pass < 2; ++pass) {
        const auto& points = pass == 0 ? first : second;
        const auto& edges = pass == 0 ? second : first;
        for (const glm::vec2& p : points) {
            for (std::size_t i = 0; i < edges.size(); ++i) {
                distance =
                    std::min(distance, pointSegmentDistance(p, edges[i], edges[(i + 1) % edges.size()]));
            }
        }
    }
    return distance;
}

// The footprints of the level's objects in world (x, z).
std::vector<std::vector<glm::vec2>> obstacleFootprints(const Level& level) {
    std::vector<std::vector<glm::vec2>> footprints;
    for (const LevelObject& object : level.objects) {
        std::vector<glm::vec2> placed;
        for (const glm::vec2& p : footprintOf(object.name)) {
            const glm::vec3 world =
                object.position + object.rotation * (object.scale * glm::vec3(p.x, 0.0f, p.y));
            placed.emplace_back(world.x, world.z);
        }
        if (!placed.empty()) {
            footprints.push_back(std::move(placed));
        }
    }
    return footprints;
}

// Navigation mesh, written by the engine's writer. The corners of a cell go
// (x0, z0), (x0, z1), (x1, z1), (x1, z0), so that (c1 - c0) x (c2 - c0)
// points to +y and downward rays hit the ground.
bool writeNavigation(const fs::path& path, const Level& level) {
    const std::vector<std::vector<glm::vec2>> footprints = obstacleFootprints(level);
    const auto corner = [](int i) { return -kGroundHalfSize + kCellSize * static_cast<float>(i); };

    std::vector<std::array<int, 4>> quads;  // grid vertex numbers i + j * (kCells + 1)
    for (int j = 0; j < kCells; ++j) {
        for (int i = 0; i < kCells; ++i) {
            const float x0 = corner(i), x1 = corner(i + 1), z0 = corner(j), z1 = corner(j + 1);
            const std::vector<glm::vec2> cell = {{x0, z0}, {x1, z0}, {x1, z1}, {x0, z1}};
            const bool blocked = std::any_of(
                footprints.begin(), footprints.end(),
                [&](const auto& footprint) { return polygonDistance(cell, footprint) < kClearance; });
            if (!blocked) {
                const int row = kCells + 1;
                quads.push_back({i + j * row, i + (j + 1) * row, i + 1 + (j + 1) * row, i + 1 + j * row});
            }
        }
    }

    // Keep only the grid vertices that some quad uses, in grid order.
    std::vector<int> used;
    for (const auto& quad : quads) {
        used.insert(used.end(), quad.begin(), quad.end());
    }
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());

    std::vector<glm::vec3> vertices;
    for (int vertex : used) {
        vertices.emplace_back(corner(vertex % (kCells + 1)), 0.0f, corner(vertex / (kCells + 1)));
    }
    std::vector<std::array<std::uint32_t, 4>> indexed;
    for (const auto& quad : quads) {
        std::array<std::uint32_t, 4>& corners = indexed.emplace_back();
        for (std::size_t k = 0; k < 4; ++k) {
            corners[k] = static_cast<std::uint32_t>(std::lower_bound(used.begin(), used.end(), quad[k]) -
                                                    used.begin());
        }
    }
    if (!writeNavigationMesh(path.string(), vertices, indexed, NavigationWrite::ifChanged)) {
        std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}
}  // namespace

bool bakeArena(const std::string& root) {
    const fs::path levelPath = fs::path(root) / "data/level/test.lvl";
    Level level;
    try {
        level = loadLevel(levelPath.string());
    } catch (const FileNotFoundError&) {
        std::fprintf(stderr, "missing level %s\n", levelPath.string().c_str());
        return false;
    }
    for (const LevelObject& object : level.objects) {
        if (!hasShape(object.name)) {
            std::fprintf(stderr, "%s: no shape for the level object \"%s\"\n", levelPath.string().c_str(),
                         object.name.c_str());
            return false;
        }
    }
    return bakeCollisionMeshes(fs::path(root) / "data/collision/level.volumes", level) &&
           writeNavigation(levelPath.parent_path() / "test.nav", level);
}
