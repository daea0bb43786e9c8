#pragma once
// The walkable ground of a level: quadrilaterals over shared vertices, with
// ray casts against the ground, ground location below a point and path
// finding (A* over the quadrilaterals, then string pulling through the shared
// edges).
#include <array>
#include <cstdint>
#include <glm/vec3.hpp>
#include <list>
#include <memory>
#include <string>
#include <vector>

struct NavigationNode {
    // The node's own position in NavigationMesh::nodes.
    std::uint32_t index = 0;
    // Indices into NavigationMesh::vertices, in file order. Seen from above
    // (+y) the ground is hit only when (c1 - c0) x (c2 - c0) points up.
    std::array<std::uint32_t, 4> corners{};
    // Nodes sharing at least two of this node's corner indices, ascending.
    std::vector<std::uint32_t> neighbours;
};

// A point on the ground and the node it lies in.
struct NavigationLocation {
    std::uint32_t node = 0;
    glm::vec3 point{0.0f};
};

// The edge two consecutive nodes of a path share (running against the first
// node's winding), or a single point given twice.
struct Portal {
    glm::vec3 first{0.0f};
    glm::vec3 second{0.0f};
};

class NavigationMesh {
  public:
    // Game coordinates (y up).
    std::vector<glm::vec3> vertices;
    std::vector<NavigationNode> nodes;

    // Nearest ground hit along origin + t * direction (t >= 0; the direction
    // need not be normalised). Only the upward face of a node is hit. Ties in
    // t go to the lowest node index. On a hit fills location and answers
    // true; otherwise leaves location untouched.
    bool raycast(const glm::vec3& origin, const glm::vec3& direction, NavigationLocation& location) const;

    // The ground point below point: casts downwards from 2.4 units above it,
    // and from four points 0.1 away along x and z, and keeps the hit closest
    // to point. Same output convention as raycast.
    bool locate(const glm::vec3& point, NavigationLocation& location) const;

    // Replaces path with the walk from start.point to goal.point: corner
    // points of the shortest string through the node chain, with the
    // points where it crosses shared edges in between. Leaves path untouched
    // when goal cannot be reached (or a node index is out of range).
    void findPath(const NavigationLocation& start, const NavigationLocation& goal,
                  std::list<glm::vec3>& path) const;

    // The node chain a path from start to goal walks through: A* over the
    // nodes, steps and estimates being distances between node centers; of
    // the open nodes with equal f (cost so far plus estimate) the lowest
    // index is expanded first. Answers false, leaving chain untouched, when
    // goal cannot be reached.
    bool findNodeChain(std::uint32_t start, std::uint32_t goal, std::vector<std::uint32_t>& chain) const;

    // Average of the node's first three corners (the fourth is left out).
    glm::vec3 center(std::uint32_t node) const;

    // Rebuilds the data that speeds up the queries (node centers, edge costs
    // and a grid of node bounds over x-z). The loader calls it; code that
    // fills vertices and nodes by hand calls it afterwards. Until then, or
    // once the node count no longer matches, queries run on the plain data.
    void buildQueryData();

  private:
    struct QueryData {
        std::size_t nodeCount = 0;
        std::size_t vertexCount = 0;
        std::vector<glm::vec3> centers;
        // Neighbours of node i with the distance between the centers, at
        // [edgeStart[i], edgeStart[i + 1]).
        std::vector<std::uint32_t> edgeStart;
        std::vector<std::uint32_t> edgeTarget;
        std::vector<float> edgeCost;
        // Range of f per bucket of the path search's open set.
        float bucketWidth = 1.0f;

        // Grid over x-z; cell (column, row) lists the nodes whose padded
        // bounds overlap it, ascending, at [cellStart[c], cellStart[c + 1]).
        bool gridUsable = false;
        float minX = 0.0f, minZ = 0.0f, minY = 0.0f, maxY = 0.0f;
        float maxX = 0.0f, maxZ = 0.0f;
        float cellSize = 1.0f;
        float padding = 0.0f;
        float reach = 0.0f;
        int columns = 0, rows = 0;
        std::vector<std::uint32_t> cellStart;
        std::vector<std::uint32_t> cellNodes;
        // Nodes too steep or thin for padded bounds to be safe: tested by
        // every grid cast.
        std::vector<std::uint32_t> alwaysTested;
    };

    void buildSearchData(QueryData& data) const;
    void buildGrid(QueryData& data) const;
    bool prepared() const {
        return queryData.nodeCount == nodes.size() && queryData.vertexCount == vertices.size();
    }
    bool raycastAll(const glm::vec3& origin, const glm::vec3& direction, NavigationLocation& location) const;
    // Answers false when the grid cannot vouch for this ray (caller then tests every node).
    bool raycastGrid(const glm::vec3& origin, const glm::vec3& direction, bool& hit,
                     NavigationLocation& location) const;

    QueryData queryData;
};

// Reads a ".nav" file: vertex count, quadrilateral count, vertices (file axes,
// z up), quadrilaterals (1-based indices). Answers nullptr, with error records
// naming the file, when the file is missing, short, holds a vertex that is not
// finite or an index of 0 or beyond the vertex count.
std::shared_ptr<NavigationMesh> loadNavigationMesh(const std::string& path);
