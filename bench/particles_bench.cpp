// Cost of simulating the five spell effects, in nanoseconds per particle per
// frame, against a bare loop that only ages and moves the same records.
//
// One iteration is one effect's life at 60 frames a second: the instance is
// made from its description and run until it has finished (the bursts) or
// for one second (the endless streams, about a fireball's flight). Every
// frame visits the whole budget, dead particles included, as the game does.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "entities/entity_manager.h"
#include "game/components.h"
#include "graphics/particles/particle_effects.h"
#include "graphics/particles/particle_system_instance.h"
#include "utils/random.h"

namespace {

constexpr float kFrame = 1.0f / 60.0f;
constexpr int kStreamFrames = 60;
constexpr int kMostFrames = 120;

void reportPerParticle(benchmark::State& state, std::int64_t particleFrames) {
    state.SetItemsProcessed(particleFrames);
    // Seconds per particle frame, printed with its SI prefix ("18n" is 18 ns).
    state.counters["per_particle"] = benchmark::Counter(
        static_cast<double>(particleFrames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_EffectLife(benchmark::State& state, const std::string& name) {
    RandomGenerator::seed(1);
    EntityManager manager;
    const Entity entity = manager.create();
    manager.assign<TransformComponent>(entity.id(), TransformComponent{glm::vec3(4.0f, 1.0f, -3.0f)});
    const ParticleSystem& system = *ParticleEffectLibrary::instance().find(name);
    std::int64_t particleFrames = 0;
    for (auto _ : state) {
        ParticleSystemInstance instance(system);
        int frame = 0;
        do {
            instance.simulate(entity, kFrame);
            ++frame;
        } while (frame < kMostFrames && (instance.emitting() ? frame < kStreamFrames : !instance.finished()));
        benchmark::DoNotOptimize(instance.vertices().data());
        particleFrames += static_cast<std::int64_t>(frame) * system.maxParticles;
    }
    reportPerParticle(state, particleFrames);
}
BENCHMARK_CAPTURE(BM_EffectLife, Flame, std::string("Flame"));
BENCHMARK_CAPTURE(BM_EffectLife, Ember, std::string("Ember"));
BENCHMARK_CAPTURE(BM_EffectLife, Explosion, std::string("Explosion"));
BENCHMARK_CAPTURE(BM_EffectLife, Spark, std::string("Spark"));
BENCHMARK_CAPTURE(BM_EffectLife, PressureWave, std::string("PressureWave"));

// Baseline: 16 records (the flame's budget) over 60 frames, every particle
// alive, only counted down and moved; no emitters, initializers, updaters or
// free list. The gap to the effects is what their behaviour costs.
void BM_BareAgeAndMove(benchmark::State& state) {
    std::vector<ParticleVertex> vertices(16);
    std::int64_t particleFrames = 0;
    for (auto _ : state) {
        for (ParticleVertex& vertex : vertices) {
            vertex.lifetime = 2.0f;
            vertex.velocity = glm::vec3(1.0f, 2.0f, 3.0f);
        }
        for (int frame = 0; frame < kStreamFrames; ++frame) {
            for (ParticleVertex& vertex : vertices) {
                if (vertex.lifetime > 0.0f) {
                    vertex.lifetime -= kFrame;
                    vertex.position += vertex.velocity * kFrame;
                }
            }
            benchmark::ClobberMemory();
        }
        benchmark::DoNotOptimize(vertices.data());
        particleFrames += static_cast<std::int64_t>(kStreamFrames) * vertices.size();
    }
    reportPerParticle(state, particleFrames);
}
BENCHMARK(BM_BareAgeAndMove);

}  // namespace
