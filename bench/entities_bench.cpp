// Costs of the entity store and the message pools at the sizes a frame sees.
#include <benchmark/benchmark.h>

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>
#include <vector>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"

namespace {

constexpr std::uint32_t kEntities = 100000;
constexpr std::uint32_t kMessages = 10000;

struct Transform {
    glm::vec3 position;
    glm::quat rotation;
    glm::vec3 scale{1.0f};
};

struct Velocity {
    glm::vec3 value;
};

void perItem(benchmark::State& state, std::uint32_t items) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * items);
}

// One create and one destroy per item; after the first pass every index comes
// from the free list.
void BM_CreateAndDestroy(benchmark::State& state) {
    EntityManager manager;
    std::vector<Entity> entities(kEntities);
    for (auto _ : state) {
        for (Entity& entity : entities) {
            entity = manager.create();
        }
        for (const Entity& entity : entities) {
            manager.destroy(entity.id());
        }
    }
    perItem(state, kEntities);
}
BENCHMARK(BM_CreateAndDestroy)->Unit(benchmark::kMillisecond);

// Two first-time assigns per item, into pools that already cover the indices.
void BM_AssignTwoComponents(benchmark::State& state) {
    EntityManager manager;
    std::vector<Entity> entities;
    for (std::uint32_t k = 0; k < kEntities; ++k) {
        entities.push_back(manager.create());
    }
    for (auto _ : state) {
        state.PauseTiming();
        for (const Entity& entity : entities) {
            manager.remove<Transform>(entity.id());
            manager.remove<Velocity>(entity.id());
        }
        state.ResumeTiming();
        for (const Entity& entity : entities) {
            manager.assign<Transform>(entity.id());
            manager.assign<Velocity>(entity.id(), glm::vec3(1.0f, 0.0f, 0.5f));
        }
    }
    perItem(state, kEntities);
}
BENCHMARK(BM_AssignTwoComponents)->Unit(benchmark::kMillisecond);

// A two-component query over every index, with the given percentage of
// entities holding both components (the rest hold one); the body moves each
// match. Items are indices scanned.
void BM_QueryTwoComponents(benchmark::State& state) {
    const auto percent = static_cast<std::uint32_t>(state.range(0));
    EntityManager manager;
    for (std::uint32_t k = 0; k < kEntities; ++k) {
        const Entity entity = manager.create();
        manager.assign<Transform>(entity.id());
        if (k % 100 < percent) {
            manager.assign<Velocity>(entity.id(), glm::vec3(1.0f, 0.0f, 0.5f));
        }
    }
    ComponentHandle<Transform> transform;
    ComponentHandle<Velocity> velocity;
    std::uint32_t matches = 0;
    for (auto _ : state) {
        matches = 0;
        for (Entity entity : manager.query(transform, velocity)) {
            static_cast<void>(entity);
            transform->position += velocity->value * 0.016f;
            ++matches;
        }
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = matches;
    perItem(state, kEntities);
}
BENCHMARK(BM_QueryTwoComponents)->Arg(100)->Arg(10)->Unit(benchmark::kMillisecond);

// One frame's worth of one message type: send them all, then empty the pools.
void BM_EmitAndClear(benchmark::State& state) {
    EntityManager manager;
    const Entity a = manager.create();
    const Entity b = manager.create();
    MessagePools pools;
    for (auto _ : state) {
        for (std::uint32_t k = 0; k < kMessages; ++k) {
            pools.emit<CollisionMessage>(a, b);
        }
        pools.clearAll();
    }
    perItem(state, kMessages);
}
BENCHMARK(BM_EmitAndClear)->Unit(benchmark::kMicrosecond);

}  // namespace
