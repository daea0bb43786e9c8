#include <algorithm>
#include <cmath>
#include <glm/geometric.hpp>

#include "mechanics/navigation_mesh.h"
#include "mechanics/navigation_points.h"

// Ground queries: ray casts against the nodes' upward faces, through a grid
// of node bounds where it can vouch for the answer, and locate.

namespace {
using navigation::finite;
using navigation::samePoint;

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
// The grid cell holding offset (a distance from the grid's low edge along
// one axis), clamped to [0, count - 1]; a NaN offset lands in cell 0.
int cellOf(float offset, float cellSize, int count) {
    const float cell = std::floor(offset / cellSize);
    if (!(cell > 0.0f)) {
        return 0;
    }
    if (cell >= static_cast<float>(count - 1)) {
        return count - 1;
    }
    return static_cast<int>(cell);
}
}  // namespace

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
    // Bounds near the float range overflow on the way (the area, the shifted
    // corner, the far edge); such a mesh is scanned node by node instead.
    const float farX = data.minX + cellSize * static_cast<float>(kGridMaxSide);
    const float farZ = data.minZ + cellSize * static_cast<float>(kGridMaxSide);
    if (!std::isfinite(cellSize) || !std::isfinite(data.minX) || !std::isfinite(data.minZ) ||
        !std::isfinite(farX) || !std::isfinite(farZ) || !std::isfinite(data.padding + data.reach)) {
        return;
    }
    const auto side = [cellSize](float length) {
        const float cells = (length + cellSize) / cellSize + 1.0f;
        return cells < static_cast<float>(kGridMaxSide) ? static_cast<int>(cells) : kGridMaxSide;
    };
    data.columns = side(width);
    data.rows = side(depth);

    auto column = [&](float x) { return cellOf(x - data.minX, data.cellSize, data.columns); };
    auto row = [&](float z) { return cellOf(z - data.minZ, data.cellSize, data.rows); };

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
        auto column = [&](float x) { return cellOf(x - data.minX, data.cellSize, data.columns); };
        auto row = [&](float z) { return cellOf(z - data.minZ, data.cellSize, data.rows); };
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
