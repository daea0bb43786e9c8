// Navigation queries on generated meshes: the arena-sized grid (50 x 50
// squares of 2 units over -50..50 with rectangular holes), a large grid
// (200 x 200 unit squares with obstacles) and, when it exists under the
// working directory, the level's "data/level/test.nav". Meshes are written,
// loaded and their query pairs chosen before any timing starts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <boost/filesystem.hpp>
#include <functional>
#include <glm/geometric.hpp>
#include <limits>
#include <list>
#include <map>
#include <random>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "mechanics/navigation_mesh.h"
#include "mechanics/navigation_mesh_writer.h"

namespace {
using Quad = std::array<std::uint32_t, 4>;

// side x side squares of the given size starting at origin, without the
// squares for which blocked(column, row) holds; unused vertices are dropped.
std::shared_ptr<NavigationMesh> gridMesh(const char* name, int side, float size, float origin,
                                         const std::function<bool(int, int)>& blocked) {
    std::vector<glm::vec3> vertices;
    std::vector<Quad> quads;
    std::vector<std::uint32_t> index(static_cast<std::size_t>(side + 1) * (side + 1),
                                     std::numeric_limits<std::uint32_t>::max());
    auto at = [&](int x, int z) {
        std::uint32_t& slot = index[static_cast<std::size_t>(x) * (side + 1) + z];
        if (slot == std::numeric_limits<std::uint32_t>::max()) {
            slot = static_cast<std::uint32_t>(vertices.size());
            vertices.emplace_back(origin + size * x, 0.0f, origin + size * z);
        }
        return slot;
    };
    for (int x = 0; x < side; ++x) {
        for (int z = 0; z < side; ++z) {
            if (!blocked(x, z)) {
                quads.push_back({at(x, z), at(x, z + 1), at(x + 1, z + 1), at(x + 1, z)});
            }
        }
    }
    const boost::filesystem::path file = boost::filesystem::temp_directory_path() /
                                         boost::filesystem::unique_path(std::string(name) + "-%%%%.nav");
    writeNavigationMesh(file.string(), vertices, quads);
    auto mesh = loadNavigationMesh(file.string());
    boost::filesystem::remove(file);
    return mesh;
}

std::shared_ptr<NavigationMesh> arena() {
    static auto mesh = gridMesh("arena", 50, 2.0f, -50.0f, [](int x, int z) {
        const bool pillarA = x >= 10 && x < 14 && z >= 10 && z < 16;
        const bool pillarB = x >= 36 && x < 40 && z >= 34 && z < 40;
        const bool wall = x >= 20 && x < 30 && z >= 24 && z < 26;
        const bool pit = x >= 22 && x < 26 && z >= 5 && z < 12;
        return pillarA || pillarB || wall || pit;
    });
    return mesh;
}

std::shared_ptr<NavigationMesh> large() {
    static auto mesh = gridMesh("large", 200, 1.0f, -100.0f, [](int x, int z) {
        // Walls every 25 squares with doors, plus scattered blocks.
        const bool wallX = x % 25 == 12 && (z % 50) > 6;
        const bool wallZ = z % 25 == 12 && (x % 40) < 30 && x > 3;
        const bool block = (x * 7 + z * 13) % 97 == 0;
        return wallX || wallZ || block;
    });
    return mesh;
}

std::shared_ptr<NavigationMesh> level() {
    static auto mesh = boost::filesystem::exists("data/level/test.nav")
                           ? loadNavigationMesh("data/level/test.nav")
                           : nullptr;
    return mesh;
}

std::shared_ptr<NavigationMesh> meshNumber(int number) {
    switch (number) {
        case 0:
            return arena();
        case 1:
            return large();
        default:
            return level();
    }
}

// Bounds of the mesh in x-z.
std::array<float, 4> bounds(const NavigationMesh& mesh) {
    std::array<float, 4> box = {1e30f, -1e30f, 1e30f, -1e30f};
    for (const glm::vec3& v : mesh.vertices) {
        box[0] = std::min(box[0], v.x);
        box[1] = std::max(box[1], v.x);
        box[2] = std::min(box[2], v.z);
        box[3] = std::max(box[3], v.z);
    }
    return box;
}

// Points on the ground, at pseudo-random places.
std::vector<glm::vec3> groundPoints(const NavigationMesh& mesh, std::size_t count, unsigned seed) {
    const std::array<float, 4> box = bounds(mesh);
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> x(box[0], box[1]);
    std::uniform_real_distribution<float> z(box[2], box[3]);
    std::vector<glm::vec3> points;
    NavigationLocation location;
    for (int tries = 0; points.size() < count && tries < 1000000; ++tries) {
        if (mesh.raycast(glm::vec3(x(random), 1000.0f, z(random)), glm::vec3(0, -1, 0), location)) {
            points.push_back(location.point);
        }
    }
    return points;
}

struct Pair {
    glm::vec3 start;
    glm::vec3 goal;
};

// Reachable pairs whose straight distance lies in [shortest, longest).
std::vector<Pair> pairs(const NavigationMesh& mesh, float shortest, float longest, unsigned seed) {
    const std::vector<glm::vec3> points = groundPoints(mesh, 4000, seed);
    std::vector<Pair> result;
    std::vector<std::uint32_t> chain;
    for (std::size_t i = 0; i + 1 < points.size() && result.size() < 256; ++i) {
        for (std::size_t j = i + 1; j < points.size() && result.size() < 256; j += 37) {
            const float distance = glm::distance(points[i], points[j]);
            NavigationLocation a, b;
            if (distance >= shortest && distance < longest && mesh.locate(points[i], a) &&
                mesh.locate(points[j], b) && mesh.findNodeChain(a.node, b.node, chain)) {
                result.push_back({points[i], points[j]});
                break;
            }
        }
    }
    return result;
}

// The textbook form: hash sets and maps keyed by node index and a linear
// walk over the open set for the lowest f; for comparison only.
bool plainChain(const NavigationMesh& mesh, std::uint32_t start, std::uint32_t goal,
                std::vector<std::uint32_t>& chain) {
    std::unordered_set<std::uint32_t> open = {start}, closed;
    std::unordered_map<std::uint32_t, float> g = {{start, 0.0f}};
    std::unordered_map<std::uint32_t, float> f = {
        {start, glm::distance(mesh.center(start), mesh.center(goal))}};
    std::unordered_map<std::uint32_t, std::uint32_t> predecessor;
    while (!open.empty()) {
        std::uint32_t current = *open.begin();
        for (const std::uint32_t n : open) {
            if (f[n] < f[current]) {
                current = n;
            }
        }
        if (current == goal) {
            chain.clear();
            for (std::uint32_t n = goal; n != start; n = predecessor[n]) {
                chain.push_back(n);
            }
            chain.push_back(start);
            std::reverse(chain.begin(), chain.end());
            return true;
        }
        open.erase(current);
        closed.insert(current);
        for (const std::uint32_t n : mesh.nodes[current].neighbours) {
            if (closed.count(n) != 0) {
                continue;
            }
            const float tentative = g[current] + glm::distance(mesh.center(current), mesh.center(n));
            if (open.count(n) != 0 && g[n] <= tentative) {
                continue;
            }
            predecessor[n] = current;
            g[n] = tentative;
            f[n] = tentative + glm::distance(mesh.center(n), mesh.center(goal));
            open.insert(n);
        }
    }
    return false;
}

// Straight distance between the ends of a query; the first range takes any
// pair of random ground points.
const std::vector<std::pair<float, float>> kBuckets = {{0, 1e9f}, {0, 25},    {25, 50},
                                                       {50, 100}, {100, 200}, {200, 1e9f}};

const std::vector<Pair>& pairsFor(int meshIndex, int bucket) {
    static std::map<std::pair<int, int>, std::vector<Pair>> cache;
    auto it = cache.find({meshIndex, bucket});
    if (it == cache.end()) {
        auto mesh = meshNumber(meshIndex);
        it = cache
                 .emplace(std::pair{meshIndex, bucket},
                          mesh ? pairs(*mesh, kBuckets[bucket].first, kBuckets[bucket].second, 5 + bucket)
                               : std::vector<Pair>())
                 .first;
    }
    return it->second;
}

void FindPathWithLocate(benchmark::State& state) {
    auto mesh = meshNumber(static_cast<int>(state.range(0)));
    const std::vector<Pair>& queries =
        pairsFor(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    if (!mesh || queries.empty()) {
        state.SkipWithError("no mesh or no pairs at this distance");
        return;
    }
    std::size_t i = 0;
    std::size_t points = 0;
    std::list<glm::vec3> path;
    for (auto _ : state) {
        const Pair& pair = queries[i++ % queries.size()];
        NavigationLocation start, goal;
        mesh->locate(pair.start, start);
        mesh->locate(pair.goal, goal);
        path.clear();
        mesh->findPath(start, goal, path);
        points += path.size();
        benchmark::DoNotOptimize(path.size());
    }
    state.counters["points"] =
        benchmark::Counter(static_cast<double>(points), benchmark::Counter::kAvgIterations);
}

void NodeChain(benchmark::State& state, bool plain) {
    auto mesh = meshNumber(static_cast<int>(state.range(0)));
    const std::vector<Pair>& queries =
        pairsFor(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    if (!mesh || queries.empty()) {
        state.SkipWithError("no mesh or no pairs at this distance");
        return;
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> nodes;
    for (const Pair& pair : queries) {
        NavigationLocation a, b;
        mesh->locate(pair.start, a);
        mesh->locate(pair.goal, b);
        nodes.emplace_back(a.node, b.node);
    }
    std::size_t i = 0;
    std::size_t length = 0;
    std::vector<std::uint32_t> chain;
    for (auto _ : state) {
        const auto& pair = nodes[i++ % nodes.size()];
        if (plain) {
            plainChain(*mesh, pair.first, pair.second, chain);
        } else {
            mesh->findNodeChain(pair.first, pair.second, chain);
        }
        length += chain.size();
    }
    state.counters["nodes"] =
        benchmark::Counter(static_cast<double>(length), benchmark::Counter::kAvgIterations);
}

void Locate(benchmark::State& state) {
    auto mesh = meshNumber(static_cast<int>(state.range(0)));
    if (!mesh) {
        state.SkipWithError("no mesh");
        return;
    }
    const std::vector<glm::vec3> points = groundPoints(*mesh, 1024, 1);
    std::size_t i = 0;
    NavigationLocation location;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mesh->locate(points[i++ % points.size()], location));
    }
}

// Rays as the cursor gives them: from a camera 20 up and 10 back, towards a ground point.
void Raycast(benchmark::State& state, bool everyNode) {
    auto mesh = meshNumber(static_cast<int>(state.range(0)));
    if (!mesh) {
        state.SkipWithError("no mesh");
        return;
    }
    NavigationMesh plain;
    if (everyNode) {
        plain.vertices = mesh->vertices;
        plain.nodes = mesh->nodes;
    }
    const NavigationMesh& target = everyNode ? plain : *mesh;
    const std::vector<glm::vec3> points = groundPoints(*mesh, 1024, 2);
    const glm::vec3 camera(0.0f, 20.0f, 10.0f);
    std::size_t i = 0;
    NavigationLocation location;
    for (auto _ : state) {
        const glm::vec3& point = points[i++ % points.size()];
        benchmark::DoNotOptimize(target.raycast(point + camera, -camera, location));
    }
}

void LoadMeshes(benchmark::State& state) {
    // Not a measurement: reports the mesh sizes once.
    for (auto _ : state) {
    }
    for (int m = 0; m < 3; ++m) {
        auto mesh = meshNumber(m);
        state.counters["nodes" + std::to_string(m)] = mesh ? static_cast<double>(mesh->nodes.size()) : 0.0;
    }
}

void meshArgs(benchmark::internal::Benchmark* b) {
    for (int m = 0; m < 3; ++m) {
        b->Arg(m);
    }
}

void pathArgs(benchmark::internal::Benchmark* b) {
    for (int m = 0; m < 3; ++m) {
        for (int bucket = 0; bucket < static_cast<int>(kBuckets.size()); ++bucket) {
            b->Args({m, bucket});
        }
    }
}
}  // namespace

BENCHMARK(LoadMeshes)->Iterations(1);
BENCHMARK(Locate)->Apply(meshArgs);
BENCHMARK_CAPTURE(Raycast, grid, false)->Apply(meshArgs);
BENCHMARK_CAPTURE(Raycast, every_node, true)->Apply(meshArgs);
BENCHMARK(FindPathWithLocate)->Apply(pathArgs);
BENCHMARK_CAPTURE(NodeChain, heap, false)->Apply(pathArgs);
BENCHMARK_CAPTURE(NodeChain, plain_hash_sets, true)->Apply(pathArgs);
