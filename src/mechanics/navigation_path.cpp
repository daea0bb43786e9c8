#include <algorithm>
#include <cstring>
#include <glm/geometric.hpp>

#include "mechanics/navigation_mesh.h"
#include "mechanics/navigation_points.h"
#include "utils/log.h"

// Path search: A* over the nodes, then string pulling (the funnel) through
// the edges the node chain shares.

namespace {
using navigation::finite;
using navigation::samePoint;

// Bound on the funnel's corners per portal (see pullString).
constexpr std::size_t kMaxCornersPerPortal = 3;

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
// Each new corner restarts the scan after the portal it came from, so a
// string through n portals has at most about 2 n corners; points that are
// not finite can defeat the side tests and restart the scan at the same
// portal for ever. Past that bound the pull gives up: answers false and
// leaves path untouched.
bool pullString(const std::vector<Portal>& portals, std::vector<glm::vec3>& corners,
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
                if (corners.size() > kMaxCornersPerPortal * portals.size()) {
                    return false;
                }
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
                if (corners.size() > kMaxCornersPerPortal * portals.size()) {
                    return false;
                }
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
    return true;
}
}  // namespace

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
    if (!pullString(s.portals, s.corners, s.recorded, path)) {
        LOG(error) << "Path from (" << start.point.x << ", " << start.point.y << ", " << start.point.z
                   << ") to (" << goal.point.x << ", " << goal.point.y << ", " << goal.point.z
                   << ") makes no progress through [" << s.portals.size() << "] portals!";
    }
}
