#include "mechanics/volume_manager.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <glm/geometric.hpp>
#include <set>
#include <tao/pegtl.hpp>

#include "io/file_system.h"
#include "io/grammar.h"
#include "utils/log.h"

namespace pegtl = tao::pegtl;

namespace {
namespace grammar {
using namespace tao::pegtl;

using grammar_common::space;
using grammar_common::comment;
using grammar_common::gap;
// The keyword must stand at the very first byte: no gap before it.
struct header : seq<TAO_PEGTL_STRING("volumes"), gap, one<'{'>, gap> {};
struct name : plus<alnum> {};
// Everything up to the first ">", spaces and line breaks included.
struct reference : star<not_one<'>'>> {};
struct entry : seq<gap, name, gap, one<'='>, gap, one<'<'>, reference, one<'>'>, gap> {};
struct file : seq<header, star<entry>, one<'}'>> {};
}  // namespace grammar

struct ParseState {
    CollisionVolumeManager* manager;
    std::string directory;  // of the ".volumes" file, with its trailing "/"
    std::string name;       // of the entry being matched
    std::string reference;  // of the entry being matched
};

template <typename Rule>
struct action : pegtl::nothing<Rule> {};

template <>
struct action<grammar::name> {
    template <typename Input>
    static void apply(const Input& in, ParseState& state) {
        state.name = in.string();
    }
};

template <>
struct action<grammar::reference> {
    template <typename Input>
    static void apply(const Input& in, ParseState& state) {
        state.reference = in.string();
    }
};

// Runs as soon as one entry has matched, so entries before text that does
// not fit the grammar stay registered.
template <>
struct action<grammar::entry> {
    template <typename Input>
    static void apply(const Input&, ParseState& state) {
        std::optional<TriangleMesh> mesh =
            CollisionVolumeManager::loadTriangleMesh(state.directory + state.reference);
        if (!mesh) {
            return;
        }
        state.manager->add(state.name, std::make_unique<CollisionVolumeList>(
                                           CollisionVolumeManager::buildConvexHulls(*mesh)));
    }
};

// Little-endian reads from a byte buffer that never step past its end.
class ByteReader {
  public:
    explicit ByteReader(const std::string& bytes) : bytes(bytes) {}

    std::size_t remaining() const { return bytes.size() - offset; }

    bool readU32(std::uint32_t& value) {
        if (remaining() < 4) {
            return false;
        }
        value = 0;
        for (int i = 3; i >= 0; --i) {
            value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
        }
        offset += 4;
        return true;
    }

    bool readF32(float& value) {
        std::uint32_t bits = 0;
        if (!readU32(bits)) {
            return false;
        }
        std::memcpy(&value, &bits, sizeof value);
        return true;
    }

  private:
    const std::string& bytes;
    std::size_t offset = 0;
};

// Turns n so that its first non-zero component in the order y, x, z is
// positive, which makes opposite faces share one axis.
glm::vec3 oriented(glm::vec3 n) {
    if (n.y < 0.0f) {
        return -n;
    }
    if (n.y == 0.0f && n.x < 0.0f) {
        return -n;
    }
    if (n.y == 0.0f && n.x == 0.0f && n.z < 0.0f) {
        return -n;
    }
    return n;
}

bool isFinite(const glm::vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Splits the triangles into vertex-connected parts. A part starts with the
// smallest remaining triangle and repeatedly takes the smallest remaining
// triangle that shares a vertex index with it; the frontier set holds exactly
// those candidates, so each step is a lookup instead of a walk of the rest.
std::vector<std::vector<std::uint32_t>> connectedParts(const TriangleMesh& mesh) {
    const std::size_t count = mesh.triangles.size();
    std::vector<std::vector<std::uint32_t>> trianglesOfVertex(mesh.vertices.size());
    for (std::uint32_t t = 0; t < count; ++t) {
        for (std::uint32_t index : mesh.triangles[t]) {
            trianglesOfVertex[index].push_back(t);
        }
    }
    std::vector<bool> taken(count, false);
    std::vector<bool> expanded(mesh.vertices.size(), false);
    std::vector<std::vector<std::uint32_t>> parts;
    std::size_t first = 0;
    while (true) {
        while (first < count && taken[first]) {
            ++first;
        }
        if (first == count) {
            break;
        }
        std::vector<std::uint32_t> part;
        std::set<std::uint32_t> frontier{static_cast<std::uint32_t>(first)};
        while (!frontier.empty()) {
            const std::uint32_t t = *frontier.begin();
            frontier.erase(frontier.begin());
            taken[t] = true;
            part.push_back(t);
            for (std::uint32_t index : mesh.triangles[t]) {
                if (expanded[index]) {
                    continue;
                }
                expanded[index] = true;
                for (std::uint32_t neighbour : trianglesOfVertex[index]) {
                    if (!taken[neighbour]) {
                        frontier.insert(neighbour);
                    }
                }
            }
        }
        parts.push_back(std::move(part));
    }
    return parts;
}

std::unique_ptr<ConvexHull> hullOf(const TriangleMesh& mesh, const std::vector<std::uint32_t>& part) {
    auto hull = std::make_unique<ConvexHull>();
    std::set<std::uint32_t> used;
    for (std::uint32_t t : part) {
        const auto& triangle = mesh.triangles[t];
        used.insert(triangle.begin(), triangle.end());
        const glm::vec3& a = mesh.vertices[triangle[0]];
        const glm::vec3& b = mesh.vertices[triangle[1]];
        const glm::vec3& c = mesh.vertices[triangle[2]];
        const glm::vec3 n = oriented(glm::normalize(glm::cross(b - a, c - a)));
        if (!isFinite(n) || n == glm::vec3(0.0f)) {
            continue;  // a degenerate triangle has no face normal
        }
        float largest = 0.0f;
        for (const glm::vec3& axis : hull->axes) {
            largest = std::max(largest, glm::dot(n, axis));
        }
        if (hull->axes.empty() || largest < 0.9999999f) {
            hull->axes.push_back(n);
        }
    }
    LOG(debug) << hull->axes.size() << " axis";
    hull->vertices.reserve(used.size());
    for (std::uint32_t index : used) {
        hull->vertices.push_back(mesh.vertices[index]);
    }
    LOG(debug) << hull->vertices.size() << " vertices";
    return hull;
}
}  // namespace

void CollisionVolumeManager::load(const std::string& path) {
    FileReader reader(path);
    std::string text;
    reader.readAll(text);
    parse(text, path);
}

void CollisionVolumeManager::parse(const std::string& text, const std::string& path) {
    ParseState state{this, FileSystem::directoryOf(path), {}, {}};
    try {
        pegtl::memory_input<> input(text, path);
        if (!pegtl::parse<grammar::file, action>(input, state)) {
            LOG(error) << "Malformed volumes file: \"" << path << "\"!";
        }
    } catch (const pegtl::parse_error&) {
        LOG(error) << "Malformed volumes file: \"" << path << "\"!";
    }
}

bool CollisionVolumeManager::attachVolumes(const std::string& name, CollisionVolumeList& volumes) const {
    const CollisionVolumeList* list = get(name);
    if (list == nullptr) {
        return false;
    }
    appendVolumeCopies(*list, volumes);
    return true;
}

std::optional<TriangleMesh> CollisionVolumeManager::loadTriangleMesh(const std::string& path) {
    LOG(debug) << "Loading collision volume from <" << path << ">...";
    std::string bytes;
    if (!FileSystem::isRegularFile(path)) {
        LOG(error) << "Collision mesh file does not exist: \"" << path << "\"!";
        return std::nullopt;
    }
    try {
        FileReader reader(path);
        reader.readAll(bytes);
    } catch (const FileNotFoundError&) {
        LOG(error) << "Collision mesh file does not exist: \"" << path << "\"!";
        return std::nullopt;
    }

    ByteReader in(bytes);
    TriangleMesh mesh;
    std::uint32_t vertexCount = 0;
    if (!in.readU32(vertexCount) || std::uint64_t(vertexCount) * 12 > in.remaining()) {
        LOG(error) << "Collision mesh file is truncated: \"" << path << "\"!";
        return std::nullopt;
    }
    LOG(debug) << vertexCount << " vertices";
    mesh.vertices.resize(vertexCount);
    for (glm::vec3& vertex : mesh.vertices) {
        float x = 0.0f, y = 0.0f, z = 0.0f;
        in.readF32(x);
        in.readF32(y);
        in.readF32(z);
        vertex = glm::vec3(x, z, -y);  // the file's up axis is z, the game's y
    }

    std::uint32_t triangleCount = 0;
    if (!in.readU32(triangleCount) || std::uint64_t(triangleCount) * 12 > in.remaining()) {
        LOG(error) << "Collision mesh file is truncated: \"" << path << "\"!";
        return std::nullopt;
    }
    LOG(debug) << triangleCount << " triangles";
    mesh.triangles.resize(triangleCount);
    for (auto& triangle : mesh.triangles) {
        for (std::uint32_t& index : triangle) {
            std::uint32_t stored = 0;
            in.readU32(stored);
            if (stored == 0 || stored > vertexCount) {
                LOG(error) << "Collision mesh file has a vertex index out of range: \"" << path << "\"!";
                return std::nullopt;
            }
            index = stored - 1;
        }
    }
    return mesh;
}

CollisionVolumeList CollisionVolumeManager::buildConvexHulls(const TriangleMesh& mesh) {
    CollisionVolumeList hulls;
    for (const auto& triangle : mesh.triangles) {
        for (std::uint32_t index : triangle) {
            if (index >= mesh.vertices.size()) {
                LOG(error) << "Triangle mesh refers to vertex " << index << " of " << mesh.vertices.size()
                           << "!";
                return hulls;
            }
        }
    }
    for (const auto& part : connectedParts(mesh)) {
        LOG(debug) << "New convex hull: ";
        hulls.push_back(hullOf(mesh, part));
    }
    return hulls;
}

CollisionVolumeList CollisionVolumeManager::makeFloorVolumes() {
    CollisionVolumeList list;
    list.push_back(
        std::make_unique<AxisAlignedBox>(glm::vec3(-50.0f, -10.0f, -50.0f), glm::vec3(50.0f, 0.0f, 50.0f)));
    return list;
}

void CollisionVolumeManager::addFloorVolumes() {
    add(floorName, std::make_unique<CollisionVolumeList>(makeFloorVolumes()));
}
