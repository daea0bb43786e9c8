// The AI processor's frame with 1,000 computer-controlled actors (500 a side)
// spread over a large arena: a 200 x 200 grid of unit squares with walls,
// built in memory. Half of the actors walk paths found on that grid, so the
// shots at them are led along real paths. Three worlds:
//   baseline: no actor has chosen a mode (role 1 never thinks), so a frame is
//             the world summary and the walk over the AI actors alone;
//   guard:    both flags at their bases, every actor guards its own, with
//             enemies about both flags to shoot at;
//   quiet:    the same, but no enemy within 25 units of a flag, so every
//             guard looks for crowding teammates instead;
//   chase:    each flag carried by an enemy walking home, every actor chases.
// Nothing consumes the orders (no logic or mechanics processor), so every
// frame sees the same world.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <glm/geometric.hpp>
#include <list>
#include <memory>
#include <random>
#include <vector>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"
#include "game/components.h"
#include "game/processors/ai_processor.h"
#include "io/data_manager.h"
#include "mechanics/navigation_mesh.h"

namespace {
constexpr double kFrame = 1.0 / 60.0;
constexpr int kSide = 200;
constexpr float kOrigin = -100.0f;
constexpr int kActors = 1000;
const glm::vec3 kBlueBase(-60.0f, 0.0f, 0.0f);
const glm::vec3 kRedBase(60.0f, 0.0f, 0.0f);

// Walls of squares with gaps, so that paths turn corners.
bool blocked(int x, int z) {
    const bool wallX = x % 40 == 20 && (z % 50) > 8;
    const bool wallZ = z % 40 == 20 && (x % 50) > 8 && x > 3;
    return wallX || wallZ;
}

// Unit squares over kOrigin .. kOrigin + kSide, wound so that the ground
// faces up, with neighbours across shared edges in ascending order.
std::shared_ptr<NavigationMesh> gridArena() {
    auto mesh = std::make_shared<NavigationMesh>();
    const auto vertex = [](int x, int z) { return static_cast<std::uint32_t>(x * (kSide + 1) + z); };
    for (int x = 0; x <= kSide; ++x) {
        for (int z = 0; z <= kSide; ++z) {
            mesh->vertices.emplace_back(kOrigin + x, 0.0f, kOrigin + z);
        }
    }
    std::vector<std::int64_t> nodeAt(static_cast<std::size_t>(kSide) * kSide, -1);
    for (int x = 0; x < kSide; ++x) {
        for (int z = 0; z < kSide; ++z) {
            if (blocked(x, z)) {
                continue;
            }
            NavigationNode node;
            node.index = static_cast<std::uint32_t>(mesh->nodes.size());
            node.corners = {vertex(x, z), vertex(x, z + 1), vertex(x + 1, z + 1), vertex(x + 1, z)};
            nodeAt[static_cast<std::size_t>(x) * kSide + z] = node.index;
            mesh->nodes.push_back(node);
        }
    }
    const auto at = [&](int x, int z) -> std::int64_t {
        if (x < 0 || z < 0 || x >= kSide || z >= kSide) {
            return -1;
        }
        return nodeAt[static_cast<std::size_t>(x) * kSide + z];
    };
    for (int x = 0; x < kSide; ++x) {
        for (int z = 0; z < kSide; ++z) {
            const std::int64_t self = at(x, z);
            if (self < 0) {
                continue;
            }
            // Node indices grow with x, then z: this order is ascending.
            for (const std::int64_t other : {at(x - 1, z), at(x, z - 1), at(x, z + 1), at(x + 1, z)}) {
                if (other >= 0) {
                    mesh->nodes[self].neighbours.push_back(static_cast<std::uint32_t>(other));
                }
            }
        }
    }
    mesh->buildQueryData();
    return mesh;
}

const NavigationMesh& arena() {
    static const std::shared_ptr<NavigationMesh> mesh = gridArena();
    return *mesh;
}

struct AiCrowd {
    enum class Scene { Baseline, Guard, Quiet, Chase };

    explicit AiCrowd(Scene scene) : processor(entities, messages) {
        DataManager::instance().clear();
        DataManager::instance().parse(
            "fireball.projectile.speed = 35.0\nfireball.projectile.lifetime = 1.2\n", "ai bench");
        std::mt19937 random(7);
        std::uniform_real_distribution<float> spread(kOrigin + 1.0f, kOrigin + kSide - 1.0f);
        std::uniform_real_distribution<float> step(-25.0f, 25.0f);
        const NavigationMesh& mesh = arena();

        std::vector<Entity> actors;
        while (static_cast<int>(actors.size()) < kActors) {
            const Team team = actors.size() % 2 == 0 ? Blue : Red;
            NavigationLocation here;
            if (!mesh.locate(glm::vec3(spread(random), 0.0f, spread(random)), here)) {
                continue;
            }
            const glm::vec3 enemyBase = team == Blue ? kRedBase : kBlueBase;
            if (scene == Scene::Quiet && glm::distance(here.point, enemyBase) < 25.0f) {
                continue;
            }
            const Entity actor = entities.create();
            entities.assign<TeamComponent>(actor.id(), static_cast<uint8_t>(team));
            entities.assign<TransformComponent>(actor.id(), here.point);
            entities.assign<SpeedComponent>(actor.id(), 8.0f);
            entities.assign<AnimationComponent>(actor.id(), static_cast<int32_t>(Idle), 0.0f);
            entities.assign<HealthComponent>(actor.id(), 100.0f, 100.0f);
            AiComponent ai;
            ai.role = scene == Scene::Baseline ? 1 : 0;
            entities.assign<AiComponent>(actor.id(), ai);
            // Every other pair walks somewhere near.
            NavigationLocation there;
            if (actors.size() % 4 < 2 &&
                mesh.locate(here.point + glm::vec3(step(random), 0, step(random)), there)) {
                walkTo(actor, here, there);
            }
            actors.push_back(actor);
        }

        if (scene == Scene::Chase) {
            // Actor 0 (Blue) runs off with the Red flag, actor 1 (Red) with
            // the Blue flag, each towards its own base.
            carryHome(actors[0], kBlueBase);
            carryHome(actors[1], kRedBase);
        } else {
            flagAtBase(Blue, kBlueBase);
            flagAtBase(Red, kRedBase);
        }
    }

    void walkTo(Entity actor, const NavigationLocation& from, const NavigationLocation& to) {
        std::list<glm::vec3> path;
        arena().findPath(from, to, path);
        if (!path.empty()) {
            path.pop_front();
            entities.assign<PathComponent>(actor.id(), PathComponent{std::move(path)});
        }
    }

    void carryHome(Entity carrier, const glm::vec3& home) {
        entities.assign<FlagComponent>(carrier.id(), static_cast<uint8_t>(Carried));
        NavigationLocation from, to;
        if (arena().locate(entities.component<TransformComponent>(carrier.id())->position, from) &&
            arena().locate(home, to)) {
            walkTo(carrier, from, to);
        }
    }

    void flagAtBase(Team team, const glm::vec3& position) {
        const Entity flag = entities.create();
        entities.assign<TransformComponent>(flag.id(), position);
        entities.assign<TeamComponent>(flag.id(), static_cast<uint8_t>(team));
        entities.assign<FlagComponent>(flag.id(), static_cast<uint8_t>(AtBase));
    }

    EntityManager entities;
    MessagePools messages;
    AiProcessor processor;
};

void runFrames(benchmark::State& state, AiCrowd::Scene scene, const char* label) {
    AiCrowd crowd(scene);
    std::size_t moves = 0, casts = 0, frames = 0;
    for (auto _ : state) {
        crowd.processor.update(kFrame);
        moves += crowd.messages.pool<MoveToLocationOrderMessage>().size();
        casts += crowd.messages.pool<SkillCastToLocationOrderMessage>().size();
        ++frames;
        crowd.messages.clearAll();
    }
    state.counters["moves/frame"] = static_cast<double>(moves) / static_cast<double>(frames);
    state.counters["casts/frame"] = static_cast<double>(casts) / static_cast<double>(frames);
    state.SetLabel(label);
}

void baseline(benchmark::State& state) {
    runFrames(state, AiCrowd::Scene::Baseline, "summary only, no mode chosen");
}
void guardFlags(benchmark::State& state) {
    runFrames(state, AiCrowd::Scene::Guard, "every actor guards its flag");
}
void guardQuietFlags(benchmark::State& state) {
    runFrames(state, AiCrowd::Scene::Quiet, "every actor guards its flag, no enemy near");
}
void chaseCarriers(benchmark::State& state) {
    runFrames(state, AiCrowd::Scene::Chase, "every actor chases a carrier");
}
}  // namespace

BENCHMARK(baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(guardFlags)->Unit(benchmark::kMillisecond);
BENCHMARK(guardQuietFlags)->Unit(benchmark::kMillisecond);
BENCHMARK(chaseCarriers)->Unit(benchmark::kMillisecond);
