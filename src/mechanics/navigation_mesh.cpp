#include "mechanics/navigation_mesh.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "io/file_system.h"
#include "mechanics/navigation_points.h"
#include "utils/log.h"

// The mesh itself: node centers, the query data's assembly, neighbour links
// and the ".nav" reader. Ground queries and the path search live in
// navigation_ground.cpp and navigation_path.cpp.

namespace {
using navigation::finite;

// Reads little-endian values and counts what is left.
class ByteCursor {
  public:
    explicit ByteCursor(const std::vector<unsigned char>& bytes) : bytes(bytes) {}

    std::size_t left() const { return bytes.size() - offset; }

    std::uint32_t u32() {
        const unsigned char* p = bytes.data() + offset;
        offset += 4;
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }

    float f32() {
        const std::uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

  private:
    const std::vector<unsigned char>& bytes;
    std::size_t offset = 0;
};

// Two nodes are neighbours when at least two of the later node's corner
// positions hold an index that is a corner of the earlier one.
bool sharesEdge(const NavigationNode& later, const NavigationNode& earlier) {
    int shared = 0;
    for (const std::uint32_t corner : later.corners) {
        if (std::find(earlier.corners.begin(), earlier.corners.end(), corner) != earlier.corners.end()) {
            ++shared;
        }
    }
    return shared >= 2;
}

// Fills every node's neighbours. Only nodes that share a vertex can share an
// edge, so each node is compared with the earlier nodes around its corners
// (ascending) instead of with all earlier nodes; the lists come out the same.
void linkNeighbours(std::vector<NavigationNode>& nodes, std::size_t vertexCount) {
    std::vector<std::vector<std::uint32_t>> nodesAtVertex(vertexCount);
    std::vector<std::uint32_t> candidates;
    for (NavigationNode& node : nodes) {
        candidates.clear();
        for (const std::uint32_t corner : node.corners) {
            const std::vector<std::uint32_t>& around = nodesAtVertex[corner];
            candidates.insert(candidates.end(), around.begin(), around.end());
        }
        std::sort(candidates.begin(), candidates.end());
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        for (const std::uint32_t j : candidates) {
            if (sharesEdge(node, nodes[j])) {
                node.neighbours.push_back(j);
                nodes[j].neighbours.push_back(node.index);
            }
        }
        for (int k = 0; k < 4; ++k) {
            const std::uint32_t corner = node.corners[k];
            if (std::find(node.corners.begin(), node.corners.begin() + k, corner) ==
                node.corners.begin() + k) {
                nodesAtVertex[corner].push_back(node.index);
            }
        }
    }
}
}  // namespace

glm::vec3 NavigationMesh::center(std::uint32_t node) const {
    const std::array<std::uint32_t, 4>& c = nodes[node].corners;
    return (vertices[c[0]] + vertices[c[1]] + vertices[c[2]]) / 3.0f;
}

void NavigationMesh::buildQueryData() {
    QueryData data;
    buildSearchData(data);
    buildGrid(data);
    data.nodeCount = nodes.size();
    data.vertexCount = vertices.size();
    queryData = std::move(data);
}

std::shared_ptr<NavigationMesh> loadNavigationMesh(const std::string& path) {
    LOG(debug) << "Loading navigation mesh from [" << path << "]...";
    auto refuse = [&path]() -> std::shared_ptr<NavigationMesh> {
        LOG(error) << "Could not load navigation mesh from \"" << path << "\"!";
        return nullptr;
    };
    if (!FileSystem::isRegularFile(path)) {
        LOG(error) << "Navigation mesh file does not exist: \"" << path << "\"!";
        return refuse();
    }
    std::vector<unsigned char> bytes;
    try {
        FileReader reader(path);
        reader.readAll(bytes);
    } catch (const FileNotFoundError&) {
        LOG(error) << "Navigation mesh file does not exist: \"" << path << "\"!";
        return refuse();
    }

    ByteCursor cursor(bytes);
    if (cursor.left() < 8) {
        LOG(error) << "Navigation mesh ends before its counts: " << bytes.size() << " bytes in \"" << path
                   << "\"!";
        return refuse();
    }
    const std::uint32_t vertexCount = cursor.u32();
    const std::uint32_t quadCount = cursor.u32();
    const std::uint64_t vertexBytes = static_cast<std::uint64_t>(vertexCount) * 12;
    if (vertexBytes > cursor.left()) {
        LOG(error) << "Navigation mesh ends early: " << vertexCount << " vertices need " << vertexBytes
                   << " bytes, " << cursor.left() << " are left in \"" << path << "\"!";
        return refuse();
    }
    const std::uint64_t quadBytes = static_cast<std::uint64_t>(quadCount) * 16;
    if (quadBytes > cursor.left() - vertexBytes) {
        LOG(error) << "Navigation mesh ends early: " << quadCount << " quadrilaterals need " << quadBytes
                   << " bytes, " << cursor.left() - vertexBytes << " are left in \"" << path << "\"!";
        return refuse();
    }

    auto mesh = std::make_shared<NavigationMesh>();
    mesh->vertices.reserve(vertexCount);
    for (std::uint32_t i = 0; i < vertexCount; ++i) {
        const float x = cursor.f32();
        const float y = cursor.f32();
        const float z = cursor.f32();
        const glm::vec3 vertex(x, z, -y);
        if (!finite(vertex)) {
            LOG(error) << "Navigation mesh vertex " << i << " is not a finite point in \"" << path << "\"!";
            return refuse();
        }
        mesh->vertices.push_back(vertex);
    }
    mesh->nodes.resize(quadCount);
    for (std::uint32_t i = 0; i < quadCount; ++i) {
        NavigationNode& node = mesh->nodes[i];
        node.index = i;
        for (std::uint32_t& corner : node.corners) {
            const std::uint32_t stored = cursor.u32();
            if (stored == 0 || stored > vertexCount) {
                LOG(error) << "Navigation mesh quadrilateral " << i << " refers to vertex " << stored
                           << " (counting from 1) of " << vertexCount << " in \"" << path << "\"!";
                return refuse();
            }
            corner = stored - 1;
        }
    }
    linkNeighbours(mesh->nodes, mesh->vertices.size());
    mesh->buildQueryData();
    LOG(debug) << "Loaded navigation mesh [" << path << "] with " << vertexCount << " vertices and "
               << quadCount << " nodes...";
    return mesh;
}
