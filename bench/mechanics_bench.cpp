// The mechanics processor's frame with many moving actors that carry
// colliders: movement and facing alone (the baseline), then the whole update
// with the quadratic collision pairing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "entities/entity_manager.h"
#include "entities/message_pools.h"
#include "entities/messages.h"
#include "game/components.h"
#include "mechanics/mechanics_processor.h"

namespace {
constexpr double kFrame = 1.0 / 60.0;

// count actors on a grid 3 units apart, every one walking east towards a
// waypoint so far away that it is never reached, with the actor's box at the
// actor's scale (0.8 x 2.2 x 0.6). All walk alike, so which pairs touch
// (neighbours 0.5 apart in every fourth row) stays the same every frame. The
// floor lies below them as the only static geometry.
struct MovingCrowd {
    explicit MovingCrowd(int count) : processor(entities, messages) {
        const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
        for (int i = 0; i < count; ++i) {
            const int row = i / columns;
            const float x = static_cast<float>(i % columns) * (row % 4 == 0 ? 0.5f : 3.0f);
            const glm::vec3 position(x, 0.0f, static_cast<float>(row) * 3.0f);
            const Entity actor = entities.create();
            entities.assign<TransformComponent>(actor.id(), position, glm::quat(1, 0, 0, 0), glm::vec3(0.1f));
            entities.assign<SpeedComponent>(actor.id(), 8.0f);
            entities.assign<AnimationComponent>(actor.id(), static_cast<int32_t>(Idle), 0.0f);
            PathComponent path;
            path.waypoints.push_back(position + glm::vec3(1.0e6f, 0.0f, 0.0f));
            entities.assign<PathComponent>(actor.id(), std::move(path));
            CollisionComponent collision;
            collision.kind = ActorKind;
            collision.volumes.push_back(
                std::make_unique<AxisAlignedBox>(glm::vec3(-4, 0, -3), glm::vec3(4, 22, 3)));
            entities.assign<CollisionComponent>(actor.id(), std::move(collision));
        }
        const Entity floor = entities.create();
        entities.assign<TransformComponent>(floor.id(), glm::vec3(0.0f));
        CollisionComponent ground;
        ground.kind = StaticKind;
        ground.isStatic = 1;
        ground.volumes.push_back(
            std::make_unique<AxisAlignedBox>(glm::vec3(-50, -10, -50), glm::vec3(50, 0, 50)));
        entities.assign<CollisionComponent>(floor.id(), std::move(ground));
    }

    EntityManager entities;
    MessagePools messages;
    MechanicsProcessor processor;
};

void movementOnly(benchmark::State& state) {
    MovingCrowd crowd(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        crowd.processor.move(kFrame);
        crowd.processor.face(kFrame);
    }
    state.SetLabel("move + face");
}

void wholeUpdate(benchmark::State& state) {
    MovingCrowd crowd(static_cast<int>(state.range(0)));
    std::size_t messages = 0;
    for (auto _ : state) {
        crowd.processor.update(kFrame);
        messages = crowd.messages.pool<CollisionMessage>().size();
        crowd.messages.clearAll();
    }
    state.counters["collisions"] = static_cast<double>(messages);
    state.SetLabel("move + face + collisions");
}
}  // namespace

BENCHMARK(movementOnly)->Arg(50)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(wholeUpdate)->Arg(50)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);
