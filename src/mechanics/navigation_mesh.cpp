#include "mechanics/navigation_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <glm/geometric.hpp>
#include <utility>

#include "io/file_system.h"
#include "utils/log.h"

namespace {
// Smallest determinant the ray test accepts (single-precision epsilon); it
// also turns back faces away.
constexpr float kMinDeterminant = 1.1920929e-07f;
// locate casts from this far above the point, and again from points this far
// off along x and z.
constexpr float kLocateHeight = 2.4f;
constexpr float kLocateOffset = 0.1f;
constexpr float kLocateExact = 1.1920929e-07f;

// The grid only answers for rays within 60 degrees of vertical (squared
// cosine 0.25) and nodes whose faces tilt at most about 26 degrees (cosine
// 0.9) and are not slivers: there the triangle test's rounding stays far
// below the padding of the node bounds.
constexpr float kGridRaySteepness = 0.25f;
constexpr float kGridFaceFlatness = 0.9f;
constexpr float kGridFaceFullness = 0.1f;
constexpr float kGridPaddingFraction = 1e-3f;
constexpr int kGridMaxSide = 1024;
constexpr std::uint64_t kGridMaxEntriesPerNode = 64;

bool samePoint(const glm::vec3& a, const glm::vec3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool finite(const glm::vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// One-sided Moller-Trumbore test of origin + t * direction against (a, b, c).
bool intersectTriangle(const glm::vec3& origin, const glm::vec3& direction, const glm::vec3& a,
                       const glm::vec3& b, const glm::vec3& c, float& t) {
    const glm::vec3 e1 = b - a;
    const glm::vec3 e2 = c - a;
    const glm::vec3 p = glm::cross(direction, e2);
    const float det = glm::dot(e1, p);
    if (!(det >= kMinDeterminant)) {
        return false;
    }
    const glm::vec3 s = origin - a;
    const float u = glm::dot(s, p) / det;
    if (!(u >= 0.0f && u <= 1.0f)) {
        return false;
    }
    const glm::vec3 q = glm::cross(s, e1);
    const float v = glm::dot(direction, q) / det;
    if (!(v >= 0.0f && u + v <= 1.0f)) {
        return false;
    }
    t = glm::dot(e2, q) / det;
    return t >= 0.0f;
}

// A node is hit through (c0, c1, c2), or failing that through (c0, c2, c3).
bool intersectNode(const std::vector<glm::vec3>& vertices, const NavigationNode& node,
                   const glm::vec3& origin, const glm::vec3& direction, float& t) {
    const glm::vec3& c0 = vertices[node.corners[0]];
    const glm::vec3& c1 = vertices[node.corners[1]];
    const glm::vec3& c2 = vertices[node.corners[2]];
    const glm::vec3& c3 = vertices[node.corners[3]];
    return intersectTriangle(origin, direction, c0, c1, c2, t) ||
           intersectTriangle(origin, direction, c0, c2, c3, t);
}

// Whether a triangle's test is well conditioned enough for padded bounds:
// flat enough and not a sliver. A triangle with a zero edge vector from its
// first corner is never hit (zero determinant), so it is safe as well.
bool gridSafeTriangle(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c) {
    const glm::vec3 e1 = b - a;
    const glm::vec3 e2 = c - a;
    const glm::vec3 zero(0.0f);
    if (samePoint(e1, zero) || samePoint(e2, zero)) {
        return true;
    }
    const glm::vec3 n = glm::cross(e1, e2);
    const float length = glm::length(n);
    return std::abs(n.y) >= kGridFaceFlatness * length &&
           length >= kGridFaceFullness * glm::length(e1) * glm::length(e2);
}

// Positive when q lies on one side of the line from a through p in the x-z
// plane, negative on the other; the funnel's orientation test.
float turn(const glm::vec3& a, const glm::vec3& p, const glm::vec3& q) {
    return (q.x - a.x) * (p.z - a.z) - (p.x - a.x) * (q.z - a.z);
}

// The edge a and b share, running against a's winding.
Portal sharedEdge(const std::vector<glm::vec3>& vertices, const NavigationNode& a, const NavigationNode& b) {
    int first = -1;
    int second = -1;
    for (int k = 0; k < 4; ++k) {
        if (std::find(b.corners.begin(), b.corners.end(), a.corners[k]) != b.corners.end()) {
            if (first < 0) {
                first = k;
            } else {
                second = k;
                break;
            }
        }
    }
    if (second < 0) {
        return Portal{};
    }
    if (first == 0 && second != 1) {
        return Portal{vertices[a.corners[0]], vertices[a.corners[second]]};
    }
    return Portal{vertices[a.corners[second]], vertices[a.corners[first]]};
}

// Where the straight segment from u to w crosses the portal's line (x-z
// plane, height of the portal's first point). Lines that do not cross
// (parallel) give the portal end nearer to u.
glm::vec3 crossing(const glm::vec3& u, const glm::vec3& w, const Portal& portal) {
    const float segmentX = w.x - u.x;
    const float segmentZ = w.z - u.z;
    const float portalX = portal.second.x - portal.first.x;
    const float portalZ = portal.second.z - portal.first.z;
    const float denominator = segmentX * portalZ - segmentZ * portalX;
    if (denominator != 0.0f) {
        const float s = ((portal.first.x - u.x) * portalZ - (portal.first.z - u.z) * portalX) / denominator;
        const glm::vec3 point(u.x + s * segmentX, portal.first.y, u.z + s * segmentZ);
        if (finite(point)) {
            return point;
        }
    }
    return glm::distance(u, portal.second) < glm::distance(u, portal.first) ? portal.second : portal.first;
}

// Open-set entries ordered by (f, node index) in one 64-bit key: f is never
// negative, so its bit pattern sorts like its value.
std::uint64_t openKey(float f, std::uint32_t node) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return static_cast<std::uint64_t>(bits) << 32 | node;
}

// Per-node search state. mark tells which search last touched the node and
// how: below the current search's open mark it is untouched.
struct NodeState {
    std::uint32_t mark;
    std::uint32_t predecessor;
    float g;
    float heuristic;
};

// The open set as a bucket queue over f. Bucket k takes the entries whose f
// lies in [base + k * width, base + (k + 1) * width); an entry that would
// fall below the bucket being drained joins that bucket, and the last bucket
// takes everything beyond. Every entry of the bucket being drained then has
// a smaller f than any entry of a later bucket, so taking the least key of
// that bucket gives exactly the (f, node index) order, whatever the width.
class OpenSet {
  public:
    void reset(float base, float width) {
        for (std::size_t k = current; k <= highest && k < buckets.size(); ++k) {
            buckets[k].clear();
        }
        this->base = base;
        inverseWidth = 1.0f / width;
        current = 0;
        highest = 0;
        count = 0;
    }

    void push(float f, std::uint32_t node) {
        const float position = (f - base) * inverseWidth;
        std::size_t k = current;
        if (position >= static_cast<float>(kMaxBuckets - 1)) {
            k = kMaxBuckets - 1;
        } else if (position > static_cast<float>(current)) {
            k = static_cast<std::size_t>(position);
        }
        if (k >= buckets.size()) {
            buckets.resize(k + 1);
        }
        buckets[k].push_back(openKey(f, node));
        highest = std::max(highest, k);
        ++count;
    }

    // Removes and answers the open entry with the least (f, node index).
    bool pop(std::uint32_t& node) {
        if (count == 0) {
            return false;
        }
        while (buckets[current].empty()) {
            ++current;
        }
        std::vector<std::uint64_t>& bucket = buckets[current];
        std::size_t best = 0;
        for (std::size_t i = 1; i < bucket.size(); ++i) {
            if (bucket[i] < bucket[best]) {
                best = i;
            }
        }
        node = static_cast<std::uint32_t>(bucket[best]);
        bucket[best] = bucket.back();
        bucket.pop_back();
        --count;
        return true;
    }

  private:
    static constexpr std::size_t kMaxBuckets = 1u << 16;
    std::vector<std::vector<std::uint64_t>> buckets;
    float base = 0.0f;
    float inverseWidth = 1.0f;
    std::size_t current = 0;
    std::size_t highest = 0;
    std::size_t count = 0;
};

// Working memory of one path search, kept per thread so a search costs no
// allocation and no clearing.
struct SearchScratch {
    std::vector<NodeState> states;
    OpenSet open;
    std::vector<std::uint32_t> chain;
    std::vector<Portal> portals;
    std::vector<glm::vec3> corners;
    std::vector<std::pair<std::size_t, std::size_t>> recorded;
    std::uint32_t openMark = 0;

    std::uint32_t closedMark() const { return openMark + 1; }

    void begin(std::size_t nodeCount) {
        if (states.size() < nodeCount) {
            states.assign(nodeCount, NodeState{0, 0, 0.0f, 0.0f});
            openMark = 0;
        }
        if (openMark >= 0xfffffffcu) {
            for (NodeState& state : states) {
                state.mark = 0;
            }
            openMark = 0;
        }
        openMark += 2;
    }
};

thread_local SearchScratch scratch;

// String pulling over the portals: the corners of the taut string from the
// first portal to the last, then every recorded portal crossing between them.
void pullString(const std::vector<Portal>& portals, std::vector<glm::vec3>& corners,
                std::vector<std::pair<std::size_t, std::size_t>>& recorded, std::list<glm::vec3>& path) {
    const std::size_t last = portals.size() - 1;
    glm::vec3 apex = portals[0].first;
    glm::vec3 first = portals[0].first;
    glm::vec3 second = portals[0].second;
    std::size_t firstIndex = 0;
    std::size_t secondIndex = 0;
    std::size_t segment = 0;
    corners.assign(1, apex);
    recorded.clear();

    for (std::size_t i = 1; i <= last; ++i) {
        const glm::vec3& a = portals[i].first;
        const glm::vec3& b = portals[i].second;
        bool secondTightened = false;
        if (turn(apex, second, b) >= 0.0f) {
            if (samePoint(apex, second) || turn(apex, first, b) < 0.0f) {
                second = b;
                secondIndex = i;
                secondTightened = true;
            } else {
                // b lies beyond the first side: that side's end becomes a corner.
                corners.push_back(first);
                apex = first;
                second = first;
                secondIndex = firstIndex;
                ++segment;
                i = firstIndex;
                continue;
            }
        }
        if (turn(apex, first, a) <= 0.0f) {
            if (samePoint(apex, first) || turn(apex, second, a) > 0.0f) {
                first = a;
                firstIndex = i;
                if (secondTightened) {
                    recorded.emplace_back(segment, i);
                }
            } else {
                corners.push_back(second);
                apex = second;
                first = second;
                firstIndex = secondIndex;
                ++segment;
                i = secondIndex;
                continue;
            }
        }
    }
    corners.push_back(portals[last].first);

    path.clear();
    std::size_t next = 0;
    for (std::size_t k = 0; k + 1 < corners.size(); ++k) {
        const glm::vec3& u = corners[k];
        const glm::vec3& w = corners[k + 1];
        path.push_back(u);
        for (; next < recorded.size() && recorded[next].first == k; ++next) {
            const Portal& portal = portals[recorded[next].second];
            if (samePoint(portal.first, portal.second)) {
                path.push_back(portal.first);
            } else if (samePoint(u, w)) {
                path.push_back(u);
            } else {
                path.push_back(crossing(u, w, portal));
            }
        }
    }
    path.push_back(corners.back());
}

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

void NavigationMesh::buildSearchData(QueryData& data) const {
    const std::size_t count = nodes.size();
    data.centers.resize(count);
    data.edgeStart.assign(count + 1, 0);
    for (std::size_t i = 0; i < count; ++i) {
        data.centers[i] = center(static_cast<std::uint32_t>(i));
        data.edgeStart[i + 1] = data.edgeStart[i] + static_cast<std::uint32_t>(nodes[i].neighbours.size());
    }
    data.edgeTarget.resize(data.edgeStart[count]);
    data.edgeCost.resize(data.edgeStart[count]);
    double total = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t edge = data.edgeStart[i];
        for (const std::uint32_t j : nodes[i].neighbours) {
            data.edgeTarget[edge] = j;
            data.edgeCost[edge] = glm::distance(data.centers[i], data.centers[j]);
            total += data.edgeCost[edge];
            ++edge;
        }
    }
    // A quarter of the mean step keeps a few open nodes per bucket.
    const double width =
        data.edgeCost.empty() ? 1.0 : 0.25 * total / static_cast<double>(data.edgeCost.size());
    data.bucketWidth = width > 1e-30 && width < 1e30 ? static_cast<float>(width) : 1.0f;
}

void NavigationMesh::buildGrid(QueryData& data) const {
    data.gridUsable = false;
    if (nodes.empty()) {
        return;
    }
    bool any = false;
    float largest = 1.0f;
    for (const NavigationNode& node : nodes) {
        for (const std::uint32_t corner : node.corners) {
            const glm::vec3& v = vertices[corner];
            if (!finite(v)) {
                return;
            }
            if (!any) {
                data.minX = data.maxX = v.x;
                data.minY = data.maxY = v.y;
                data.minZ = data.maxZ = v.z;
                any = true;
            }
            data.minX = std::min(data.minX, v.x);
            data.maxX = std::max(data.maxX, v.x);
            data.minY = std::min(data.minY, v.y);
            data.maxY = std::max(data.maxY, v.y);
            data.minZ = std::min(data.minZ, v.z);
            data.maxZ = std::max(data.maxZ, v.z);
            largest = std::max({largest, std::abs(v.x), std::abs(v.y), std::abs(v.z)});
        }
    }
    const float width = data.maxX - data.minX;
    const float depth = data.maxZ - data.minZ;
    const float extent = std::max({width, depth, data.maxY - data.minY, 1.0f});
    if (!std::isfinite(width) || !std::isfinite(depth) || !std::isfinite(extent)) {
        return;
    }
    data.padding = kGridPaddingFraction * std::max(extent, largest);
    data.reach = 2.0f * extent;

    // About one cell per node, shifted by half a cell so that meshes of
    // equal squares aligned with their bounds keep each node in few cells.
    float cellSize = std::sqrt(width * depth / static_cast<float>(nodes.size()));
    cellSize =
        std::max({cellSize, std::max(width, depth) / static_cast<float>(kGridMaxSide - 2), data.padding});
    data.cellSize = cellSize;
    data.minX -= 0.5f * cellSize;
    data.minZ -= 0.5f * cellSize;
    data.columns = std::min(kGridMaxSide, static_cast<int>((width + cellSize) / cellSize) + 1);
    data.rows = std::min(kGridMaxSide, static_cast<int>((depth + cellSize) / cellSize) + 1);

    auto column = [&](float x) {
        const float cell = std::floor((x - data.minX) / data.cellSize);
        return static_cast<int>(std::clamp(cell, 0.0f, static_cast<float>(data.columns - 1)));
    };
    auto row = [&](float z) {
        const float cell = std::floor((z - data.minZ) / data.cellSize);
        return static_cast<int>(std::clamp(cell, 0.0f, static_cast<float>(data.rows - 1)));
    };

    // Counting, then filling in node order gives each cell its nodes ascending.
    struct Span {
        int column0, column1, row0, row1;
    };
    std::vector<Span> spans(nodes.size());
    std::vector<bool> inCells(nodes.size(), false);
    data.cellStart.assign(static_cast<std::size_t>(data.columns) * data.rows + 1, 0);
    data.alwaysTested.clear();
    std::uint64_t entries = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const std::array<std::uint32_t, 4>& c = nodes[i].corners;
        const glm::vec3& c0 = vertices[c[0]];
        const glm::vec3& c1 = vertices[c[1]];
        const glm::vec3& c2 = vertices[c[2]];
        const glm::vec3& c3 = vertices[c[3]];
        if (!gridSafeTriangle(c0, c1, c2) || !gridSafeTriangle(c0, c2, c3)) {
            data.alwaysTested.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        inCells[i] = true;
        const float x0 = std::min({c0.x, c1.x, c2.x, c3.x}) - data.padding;
        const float x1 = std::max({c0.x, c1.x, c2.x, c3.x}) + data.padding;
        const float z0 = std::min({c0.z, c1.z, c2.z, c3.z}) - data.padding;
        const float z1 = std::max({c0.z, c1.z, c2.z, c3.z}) + data.padding;
        spans[i] = Span{column(x0), column(x1), row(z0), row(z1)};
        entries += static_cast<std::uint64_t>(spans[i].column1 - spans[i].column0 + 1) *
                   static_cast<std::uint64_t>(spans[i].row1 - spans[i].row0 + 1);
    }
    if (entries > kGridMaxEntriesPerNode * nodes.size() + kGridMaxSide * kGridMaxSide) {
        // Nodes overlapping far and wide: the grid would not pay for itself.
        return;
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (!inCells[i]) {
            continue;
        }
        for (int r = spans[i].row0; r <= spans[i].row1; ++r) {
            for (int col = spans[i].column0; col <= spans[i].column1; ++col) {
                ++data.cellStart[static_cast<std::size_t>(r) * data.columns + col + 1];
            }
        }
    }
    for (std::size_t cell = 1; cell < data.cellStart.size(); ++cell) {
        data.cellStart[cell] += data.cellStart[cell - 1];
    }
    data.cellNodes.resize(data.cellStart.back());
    std::vector<std::uint32_t> fill(data.cellStart.begin(), data.cellStart.end() - 1);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (!inCells[i]) {
            continue;
        }
        for (int r = spans[i].row0; r <= spans[i].row1; ++r) {
            for (int col = spans[i].column0; col <= spans[i].column1; ++col) {
                data.cellNodes[fill[static_cast<std::size_t>(r) * data.columns + col]++] =
                    static_cast<std::uint32_t>(i);
            }
        }
    }
    data.gridUsable = true;
}

bool NavigationMesh::raycastAll(const glm::vec3& origin, const glm::vec3& direction,
                                NavigationLocation& location) const {
    bool found = false;
    float nearest = 0.0f;
    std::uint32_t nearestNode = 0;
    for (const NavigationNode& node : nodes) {
        float t;
        if (intersectNode(vertices, node, origin, direction, t) && (!found || t < nearest)) {
            found = true;
            nearest = t;
            nearestNode = node.index;
        }
    }
    if (found) {
        location.node = nearestNode;
        location.point = origin + direction * nearest;
    }
    return found;
}

// Every node the ray can hit has its hit point within the mesh's padded
// height range and within the node's padded bounds; so only the cells under
// the ray's stretch through that height range need testing. Nearest t wins,
// ties to the lowest node index, as in the scan over every node.
bool NavigationMesh::raycastGrid(const glm::vec3& origin, const glm::vec3& direction, bool& hit,
                                 NavigationLocation& location) const {
    const QueryData& data = queryData;
    if (!data.gridUsable || !finite(origin) || !finite(direction)) {
        return false;
    }
    if (direction.y * direction.y < kGridRaySteepness * glm::dot(direction, direction)) {
        return false;
    }
    const float gridMaxX = data.minX + data.cellSize * static_cast<float>(data.columns);
    const float gridMaxZ = data.minZ + data.cellSize * static_cast<float>(data.rows);
    if (origin.x < data.minX - data.reach || origin.x > gridMaxX + data.reach ||
        origin.z < data.minZ - data.reach || origin.z > gridMaxZ + data.reach ||
        origin.y < data.minY - data.reach || origin.y > data.maxY + data.reach) {
        return false;
    }

    bool found = false;
    float nearest = 0.0f;
    std::uint32_t nearestNode = 0;
    auto test = [&](std::uint32_t index) {
        float t;
        if (intersectNode(vertices, nodes[index], origin, direction, t) &&
            (!found || t < nearest || (t == nearest && index < nearestNode))) {
            found = true;
            nearest = t;
            nearestNode = index;
        }
    };

    const float tLow = (data.minY - data.padding - origin.y) / direction.y;
    const float tHigh = (data.maxY + data.padding - origin.y) / direction.y;
    const float t0 = std::max(std::min(tLow, tHigh), 0.0f);
    const float t1 = std::max(tLow, tHigh);
    if (t1 >= t0) {
        const glm::vec3 a = origin + direction * t0;
        const glm::vec3 b = origin + direction * t1;
        auto column = [&](float x) {
            const float cell = std::floor((x - data.minX) / data.cellSize);
            return static_cast<int>(std::clamp(cell, 0.0f, static_cast<float>(data.columns - 1)));
        };
        auto row = [&](float z) {
            const float cell = std::floor((z - data.minZ) / data.cellSize);
            return static_cast<int>(std::clamp(cell, 0.0f, static_cast<float>(data.rows - 1)));
        };
        const int column0 = column(std::min(a.x, b.x) - data.padding);
        const int column1 = column(std::max(a.x, b.x) + data.padding);
        const int row0 = row(std::min(a.z, b.z) - data.padding);
        const int row1 = row(std::max(a.z, b.z) + data.padding);
        const std::size_t cells = static_cast<std::size_t>(column1 - column0 + 1) * (row1 - row0 + 1);
        if (cells * 4 > data.cellStart.size()) {
            // A long shallow stretch: scanning every node is cheaper.
            return false;
        }
        for (int r = row0; r <= row1; ++r) {
            const std::size_t base = static_cast<std::size_t>(r) * data.columns;
            for (std::uint32_t k = data.cellStart[base + column0]; k < data.cellStart[base + column1 + 1];
                 ++k) {
                test(data.cellNodes[k]);
            }
        }
    }
    for (const std::uint32_t index : data.alwaysTested) {
        test(index);
    }

    hit = found;
    if (found) {
        location.node = nearestNode;
        location.point = origin + direction * nearest;
    }
    return true;
}

bool NavigationMesh::raycast(const glm::vec3& origin, const glm::vec3& direction,
                             NavigationLocation& location) const {
    if (prepared()) {
        bool hit = false;
        if (raycastGrid(origin, direction, hit, location)) {
            return hit;
        }
    }
    return raycastAll(origin, direction, location);
}

bool NavigationMesh::locate(const glm::vec3& point, NavigationLocation& location) const {
    const glm::vec3 down(0.0f, -1.0f, 0.0f);
    const float top = point.y + kLocateHeight;
    bool found = false;
    float nearest = 0.0f;
    NavigationLocation best;
    NavigationLocation hit;
    if (raycast(glm::vec3(point.x, top, point.z), down, hit)) {
        nearest = glm::distance(hit.point, point);
        if (nearest <= kLocateExact) {
            location = hit;
            return true;
        }
        best = hit;
        found = true;
    }
    const float offsets[4][2] = {
        {kLocateOffset, 0.0f}, {-kLocateOffset, 0.0f}, {0.0f, kLocateOffset}, {0.0f, -kLocateOffset}};
    for (const auto& offset : offsets) {
        if (raycast(glm::vec3(point.x + offset[0], top, point.z + offset[1]), down, hit)) {
            const float distance = glm::distance(hit.point, point);
            if (!found || distance < nearest) {
                best = hit;
                nearest = distance;
                found = true;
            }
        }
    }
    if (found) {
        location = best;
    }
    return found;
}

// A* with the open set in a bucket queue. The open node with the lowest f is
// expanded first, among equal f the lowest node index; an equal-cost route
// never replaces a node's predecessor. A node whose g improves is pushed
// again; its earlier entry surfaces only after the node closed and is
// dropped then.
bool NavigationMesh::findNodeChain(std::uint32_t start, std::uint32_t goal,
                                   std::vector<std::uint32_t>& chain) const {
    const std::size_t count = nodes.size();
    if (start >= count || goal >= count) {
        LOG(error) << "Path search between nodes [" << start << "] and [" << goal << "] of a mesh with "
                   << count << " nodes!";
        return false;
    }
    QueryData local;
    const QueryData* data = &queryData;
    if (!prepared()) {
        buildSearchData(local);
        data = &local;
    }

    SearchScratch& s = scratch;
    s.begin(count);
    const std::uint32_t openMark = s.openMark;
    const std::uint32_t closedMark = s.closedMark();
    const glm::vec3 goalCenter = data->centers[goal];
    NodeState* states = s.states.data();
    const std::uint32_t* edgeStart = data->edgeStart.data();
    const std::uint32_t* edgeTarget = data->edgeTarget.data();
    const float* edgeCost = data->edgeCost.data();
    const glm::vec3* centers = data->centers.data();

    states[start] = NodeState{openMark, start, 0.0f, glm::distance(centers[start], goalCenter)};
    s.open.reset(states[start].heuristic, data->bucketWidth);
    s.open.push(states[start].heuristic, start);

    bool reached = false;
    std::uint32_t current;
    while (s.open.pop(current)) {
        NodeState& state = states[current];
        if (state.mark == closedMark) {
            continue;
        }
        if (current == goal) {
            reached = true;
            break;
        }
        state.mark = closedMark;
        const float currentG = state.g;
        for (std::uint32_t edge = edgeStart[current]; edge < edgeStart[current + 1]; ++edge) {
            const std::uint32_t next = edgeTarget[edge];
            NodeState& other = states[next];
            if (other.mark == closedMark) {
                continue;
            }
            const float tentative = currentG + edgeCost[edge];
            if (other.mark == openMark) {
                if (other.g <= tentative) {
                    continue;
                }
            } else {
                other.mark = openMark;
                other.heuristic = glm::distance(centers[next], goalCenter);
            }
            other.predecessor = current;
            other.g = tentative;
            s.open.push(tentative + other.heuristic, next);
        }
    }
    if (!reached) {
        return false;
    }
    chain.clear();
    for (std::uint32_t node = goal; node != start; node = states[node].predecessor) {
        chain.push_back(node);
    }
    chain.push_back(start);
    std::reverse(chain.begin(), chain.end());
    return true;
}

// The node chain, then string pulling through the edges its nodes share.
void NavigationMesh::findPath(const NavigationLocation& start, const NavigationLocation& goal,
                              std::list<glm::vec3>& path) const {
    SearchScratch& s = scratch;
    if (!findNodeChain(start.node, goal.node, s.chain)) {
        return;
    }
    s.portals.clear();
    s.portals.push_back(Portal{start.point, start.point});
    for (std::size_t k = 0; k + 1 < s.chain.size(); ++k) {
        s.portals.push_back(sharedEdge(vertices, nodes[s.chain[k]], nodes[s.chain[k + 1]]));
    }
    s.portals.push_back(Portal{goal.point, goal.point});
    pullString(s.portals, s.corners, s.recorded, path);
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
