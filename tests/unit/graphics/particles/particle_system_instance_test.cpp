#include "graphics/particles/particle_system_instance.h"

#include <gtest/gtest.h>

#include "particle_test_support.h"
#include "utils/random.h"

using namespace particle_test;
namespace init = particle_initializers;
namespace upd = particle_updaters;

namespace {

// Counts its calls, to show what runs on which particles.
class CountingUpdater final : public ParticleUpdater {
  public:
    explicit CountingUpdater(std::vector<int>& calls) : calls(calls) {}
    void update(ParticleSystemInstance&, const Entity&, std::uint32_t particle, float) const override {
        ++calls[particle];
    }
    std::vector<int>& calls;
};

}  // namespace

TEST(ParticleSystemInstance, StartsWithEveryParticleDeadEveryIndexFreeAndItsOwnEmitters) {
    ParticleSystem system = bare(3);
    system.emitters.push_back(std::make_unique<BurstEmitter>(0.0f, 1.0f, 1.0f, 1.0f, 1.0f));
    system.emitters.push_back(std::make_unique<ContinuousEmitter>(0.0f, 1.0f, 0.0f, 1.0f, 1.0f));
    ParticleSystemInstance instance(system);
    EXPECT_EQ(&instance.system(), &system);
    EXPECT_EQ(instance.maxParticles(), 3u);
    EXPECT_EQ(instance.emitterCount(), 2u);
    EXPECT_EQ(instance.freeList().toVector(), (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(instance.aliveCount(), 0u);
    for (std::uint32_t k = 0; k < 3; ++k) {
        const ParticleVertex& vertex = instance.vertex(k);
        EXPECT_EQ(vertex.position, glm::vec3(0.0f));
        EXPECT_EQ(vertex.size, 1.0f);
        EXPECT_EQ(vertex.rotation, 0.0f);
        EXPECT_EQ(vertex.color, glm::vec4(1.0f));
        EXPECT_EQ(vertex.lifetime, 0.0f);
        EXPECT_EQ(vertex.velocity, glm::vec3(0.0f));
        const ParticleOrigin& origin = instance.origin(k);
        EXPECT_EQ(origin.velocity, glm::vec3(0.0f));
        EXPECT_EQ(origin.lifetime, 0.0f);
        EXPECT_EQ(origin.size, 1.0f);
        EXPECT_EQ(origin.rotation, 0.0f);
        EXPECT_EQ(origin.color, glm::vec4(1.0f));
    }
    // Emitter clocks belong to the instance, not the description.
    instance.simulate(Entity(), 0.5f);
    EXPECT_EQ(static_cast<const BurstEmitter&>(*system.emitters[0]).elapsed, 0.0f);
    EXPECT_EQ(instance.emitterCount(), 1u);  // the burst has finished and gone
}

TEST(ParticleSystemInstance, SpawnTakesTheOldestFreeIndexDrawsALifetimeAndRunsInitializersInOrder) {
    RandomGenerator::seed(11);
    ParticleSystem system = bare(2);
    system.initializers.push_back(std::make_unique<init::Size>(2.0f));
    system.initializers.push_back(std::make_unique<init::Size>(5.0f));  // the later one wins
    system.initializers.push_back(std::make_unique<init::PositionOnPoint>(glm::vec3(1.0f, 2.0f, 3.0f)));
    ParticleSystemInstance instance(system);

    EXPECT_TRUE(instance.spawn(Entity(), 0.5f, 1.5f));
    const ParticleVertex& first = instance.vertex(0);
    EXPECT_GE(first.lifetime, 0.5f);
    EXPECT_LE(first.lifetime, 1.5f);
    EXPECT_EQ(instance.origin(0).lifetime, first.lifetime);
    EXPECT_EQ(first.size, 5.0f);
    EXPECT_EQ(first.position, glm::vec3(1.0f, 2.0f, 3.0f));

    EXPECT_TRUE(instance.spawn(Entity(), 1.0f, 1.0f));
    EXPECT_EQ(instance.vertex(1).lifetime, 1.0f);
    EXPECT_FALSE(instance.spawn(Entity(), 1.0f, 1.0f));  // no free index left
    EXPECT_EQ(instance.aliveCount(), 2u);

    // A particle that would be born dead is not born: its index stays free
    // instead of being lost for good.
    ParticleSystemInstance other(system);
    EXPECT_FALSE(other.spawn(Entity(), 0.0f, 0.0f));
    EXPECT_FALSE(other.spawn(Entity(), -1.0f, -0.5f));
    EXPECT_EQ(other.freeList().size(), 2u);
    EXPECT_EQ(other.vertex(0).size, 1.0f);
}

TEST(ParticleSystemInstance, AgesUpdatesAndMovesLiveParticlesWhileDeadOnesOnlyDrift) {
    std::vector<int> calls(3, 0);
    ParticleSystem system = bare(3);
    system.updaters.push_back(std::make_unique<upd::Acceleration>(glm::vec3(0.0f, -10.0f, 0.0f)));
    system.updaters.push_back(std::make_unique<CountingUpdater>(calls));
    ParticleSystemInstance instance(system);
    // Particle 0 lives 1 s; particle 2 is dead but has a velocity.
    ASSERT_TRUE(instance.spawn(Entity(), 1.0f, 1.0f));
    instance.vertex(0).velocity = glm::vec3(1.0f, 0.0f, 0.0f);
    instance.vertex(2).velocity = glm::vec3(0.0f, 0.0f, 4.0f);

    instance.simulate(Entity(), 0.25f);
    // Updaters first (velocity becomes (1, -2.5, 0)), then the move.
    EXPECT_FLOAT_EQ(instance.vertex(0).lifetime, 0.75f);
    EXPECT_FLOAT_EQ(instance.vertex(0).velocity.y, -2.5f);
    EXPECT_FLOAT_EQ(instance.vertex(0).position.x, 0.25f);
    EXPECT_FLOAT_EQ(instance.vertex(0).position.y, -0.625f);
    EXPECT_EQ(calls, (std::vector<int>{1, 0, 0}));
    EXPECT_FLOAT_EQ(instance.vertex(2).position.z, 1.0f);
    EXPECT_EQ(instance.vertex(2).lifetime, 0.0f);
    EXPECT_EQ(instance.vertex(2).velocity, glm::vec3(0.0f, 0.0f, 4.0f));

    // The frame it dies in, a particle is neither updated nor moved.
    const glm::vec3 before = instance.vertex(0).position;
    instance.simulate(Entity(), 1.0f);
    EXPECT_LE(instance.vertex(0).lifetime, 0.0f);
    EXPECT_EQ(instance.vertex(0).position, before);
    EXPECT_EQ(calls, (std::vector<int>{1, 0, 0}));
    // From then on it drifts like any dead one.
    instance.simulate(Entity(), 0.5f);
    EXPECT_FLOAT_EQ(instance.vertex(0).position.y, before.y - 1.25f);
    EXPECT_EQ(calls, (std::vector<int>{1, 0, 0}));
}

TEST(ParticleSystemInstance, FreesADyingParticleInItsFrameForTheNextFramesEmission) {
    ParticleSystem system = bare(4);
    // Four at once, then three a second, all living 0.5 s.
    system.emitters.push_back(std::make_unique<BurstEmitter>(0.0f, 4.0f, 4.0f, 0.5f, 0.5f));
    system.emitters.push_back(std::make_unique<ContinuousEmitter>(0.0f, 3.0f, 0.0f, 0.5f, 0.5f));
    ParticleSystemInstance instance(system);

    instance.simulate(Entity(), 0.125f);  // the burst fills the budget
    EXPECT_EQ(instance.aliveCount(), 4u);
    EXPECT_TRUE(instance.freeList().empty());
    instance.vertex(2).lifetime = 0.1f;  // particle 2 dies in the next frame
    instance.simulate(Entity(), 0.125f);
    EXPECT_EQ(instance.freeList().toVector(), (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(instance.aliveCount(), 3u);

    // The stream is due one particle by now: it gets index 2 at once.
    instance.simulate(Entity(), 0.125f);
    EXPECT_EQ(instance.freeList().size(), 0u);
    EXPECT_GT(instance.vertex(2).lifetime, 0.0f);
}

TEST(ParticleSystemInstance, ABurstIsLimitedByTheFreeIndices) {
    ParticleSystem system = bare(5);
    system.emitters.push_back(std::make_unique<BurstEmitter>(0.0f, 3.0f, 3.0f, 1.0f, 1.0f));
    system.emitters.push_back(std::make_unique<BurstEmitter>(0.1f, 3.0f, 3.0f, 1.0f, 1.0f));
    ParticleSystemInstance instance(system);
    instance.simulate(Entity(), 0.05f);
    EXPECT_EQ(instance.aliveCount(), 3u);
    EXPECT_EQ(instance.emitterCount(), 1u);
    instance.simulate(Entity(), 0.05f);
    EXPECT_EQ(instance.aliveCount(), 5u);  // 3 wanted, 2 free
    EXPECT_EQ(instance.emitterCount(), 0u);
}

TEST(ParticleSystemInstance, StoppingEmittersLetsLiveParticlesFinishTheirLives) {
    ParticleSystem system = bare(50);
    system.emitters.push_back(std::make_unique<ContinuousEmitter>(0.0f, 100.0f, 0.0f, 0.15f, 0.15f));
    ParticleSystemInstance instance(system);
    run(instance, Entity(), 30);
    const std::uint32_t living = instance.aliveCount();
    EXPECT_GT(living, 10u);
    EXPECT_TRUE(instance.emitting());
    EXPECT_FALSE(instance.finished());

    instance.stopEmitting();
    EXPECT_FALSE(instance.emitting());
    EXPECT_EQ(instance.aliveCount(), living);  // nobody is cut short
    const FrameLog log = run(instance, Entity(), 5);
    EXPECT_EQ(log.births, 0u);
    EXPECT_GT(instance.aliveCount(), 0u);
    EXPECT_FALSE(instance.finished());
    run(instance, Entity(), 5);  // 10 frames > 0.15 s
    EXPECT_EQ(instance.aliveCount(), 0u);
    EXPECT_TRUE(instance.finished());
    EXPECT_EQ(instance.freeList().size(), 50u);
}

TEST(ParticleSystemInstance, AReusedIndexStartsFromItsStartingValuesNotItsLastLife) {
    ParticleSystem system = bare(1);
    system.initializers.push_back(std::make_unique<init::Color>(glm::vec4(0.5f)));
    system.updaters.push_back(std::make_unique<upd::Acceleration>(glm::vec3(0.0f, -10.0f, 0.0f)));
    system.updaters.push_back(std::make_unique<upd::FadeOut>(1.0f, true, upd::FadeColorAndAlpha));
    ParticleSystemInstance instance(system);
    ASSERT_TRUE(instance.spawn(Entity(), 0.2f, 0.2f));
    instance.simulate(Entity(), 0.1f);
    EXPECT_LT(instance.vertex(0).velocity.y, 0.0f);
    EXPECT_LT(instance.vertex(0).position.y, 0.0f);
    EXPECT_LT(instance.vertex(0).color.r, 0.5f);
    instance.simulate(Entity(), 0.15f);  // dies, and drifts on
    instance.simulate(Entity(), 0.15f);
    EXPECT_LE(instance.vertex(0).lifetime, 0.0f);

    ASSERT_TRUE(instance.spawn(Entity(), 0.2f, 0.2f));
    EXPECT_EQ(instance.vertex(0).velocity, glm::vec3(0.0f));
    EXPECT_EQ(instance.vertex(0).position, glm::vec3(0.0f));
    EXPECT_EQ(instance.vertex(0).color, glm::vec4(0.5f));
    EXPECT_EQ(instance.vertex(0).size, 1.0f);
    EXPECT_EQ(instance.vertex(0).lifetime, 0.2f);
}

TEST(ParticleSystemInstance, ALifeOfAWholeNumberOfFramesEndsOnItsLastFrameDespiteRounding) {
    const ParticleSystem system = bare(2);
    ParticleSystemInstance instance(system);
    // 0.15 s and 0.2 s at 60 frames a second: 9 and 12 frames, whatever the
    // float sums leave over.
    ASSERT_TRUE(instance.spawn(Entity(), 0.15f, 0.15f));
    ASSERT_TRUE(instance.spawn(Entity(), 0.2f, 0.2f));
    for (int frame = 1; frame <= 12; ++frame) {
        instance.simulate(Entity(), kFrame);
        EXPECT_EQ(instance.vertex(0).lifetime > 0.0f, frame < 9) << "frame " << frame;
        EXPECT_EQ(instance.vertex(1).lifetime > 0.0f, frame < 12) << "frame " << frame;
    }
    EXPECT_EQ(instance.freeList().toVector(), (std::vector<std::uint32_t>{0, 1}));
    // A dead particle never carries a positive life the shaders would show.
    EXPECT_LE(instance.vertex(0).lifetime, 0.0f);
    EXPECT_LE(instance.vertex(1).lifetime, 0.0f);
}
