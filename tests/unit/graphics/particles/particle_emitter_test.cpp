#include "graphics/particles/particle_emitter.h"

#include <gtest/gtest.h>

#include <set>

#include "particle_test_support.h"
#include "utils/random.h"

using namespace particle_test;

TEST(ContinuousEmitter, WaitsForItsDelayThenPaysOutOneParticlePerPeriod) {
    const ParticleSystem system = bare(1000);
    ParticleSystemInstance instance(system);
    ContinuousEmitter emitter(0.5f, 10.0f, 0.0f, 5.0f, 5.0f);

    EXPECT_TRUE(emitter.emit(instance, Entity(), 0.25f));
    EXPECT_TRUE(emitter.emit(instance, Entity(), 0.25f));
    EXPECT_EQ(instance.aliveCount(), 0u);  // elapsed 0.5: not past the delay
    EXPECT_EQ(emitter.accumulator, 0.0f);

    EXPECT_TRUE(emitter.emit(instance, Entity(), 0.25f));
    EXPECT_EQ(instance.aliveCount(), 2u);  // 0.25 s at 10 a second
    EXPECT_NEAR(emitter.accumulator, 0.05f, 1e-5f);

    // 100 a second at 60 frames a second: 100 in a second, give or take the
    // rounding of the period.
    ContinuousEmitter fast(0.0f, 100.0f, 0.0f, 5.0f, 5.0f);
    ParticleSystemInstance other(system);
    for (int frame = 0; frame < 60; ++frame) {
        EXPECT_TRUE(fast.emit(other, Entity(), kFrame));
    }
    EXPECT_GE(other.aliveCount(), 99u);
    EXPECT_LE(other.aliveCount(), 100u);
    for (std::uint32_t particle = 0; particle < other.aliveCount(); ++particle) {
        EXPECT_EQ(other.vertex(particle).lifetime, 5.0f);
    }
}

TEST(ContinuousEmitter, FinishesOnceDelayAndDurationHavePassedAndEndlessOnesNeverDo) {
    const ParticleSystem system = bare(100);
    ParticleSystemInstance instance(system);
    ContinuousEmitter emitter(0.25f, 8.0f, 0.5f, 1.0f, 1.0f);
    EXPECT_TRUE(emitter.emit(instance, Entity(), 0.25f));
    EXPECT_EQ(instance.aliveCount(), 0u);
    EXPECT_TRUE(emitter.emit(instance, Entity(), 0.25f));
    EXPECT_EQ(instance.aliveCount(), 2u);
    EXPECT_TRUE(emitter.emit(instance, Entity(), 0.25f));  // elapsed 0.75 = delay + duration
    EXPECT_EQ(instance.aliveCount(), 4u);
    EXPECT_FALSE(emitter.emit(instance, Entity(), 0.25f));
    EXPECT_EQ(instance.aliveCount(), 4u);  // a finishing call spawns nothing

    ContinuousEmitter endless(0.0f, 1.0f, 0.0f, 1.0f, 1.0f);
    for (int hour = 0; hour < 10; ++hour) {
        EXPECT_TRUE(endless.emit(instance, Entity(), 3600.0f));
    }
}

TEST(ContinuousEmitter, SpawnsOnlyIntoFreeIndicesAndOwesNothingForALongFrame) {
    const ParticleSystem system = bare(8);
    ParticleSystemInstance instance(system);
    ContinuousEmitter emitter(0.0f, 100.0f, 0.0f, 50.0f, 50.0f);
    // A ten-second frame is due 1000 particles: the budget takes 8, the rest
    // are dropped rather than carried into later frames.
    EXPECT_TRUE(emitter.emit(instance, Entity(), 10.0f));
    EXPECT_EQ(instance.aliveCount(), 8u);
    EXPECT_LT(emitter.accumulator, 0.01f);
    EXPECT_GE(emitter.accumulator, 0.0f);

    // A rate of nothing (or less) never divides by it and spawns nothing.
    for (float rate : {0.0f, -5.0f}) {
        ParticleSystemInstance idle(system);
        ContinuousEmitter still(0.0f, rate, 0.0f, 1.0f, 1.0f);
        EXPECT_TRUE(still.emit(idle, Entity(), 1.0f));
        EXPECT_EQ(idle.aliveCount(), 0u);
    }
}

TEST(BurstEmitter, WaitsForItsDelayThenSpawnsOneBurstAndFinishes) {
    const ParticleSystem system = bare(100);
    ParticleSystemInstance instance(system);
    BurstEmitter emitter(0.3f, 6.0f, 6.0f, 1.0f, 2.0f);
    EXPECT_TRUE(emitter.emit(instance, Entity(), 0.2f));
    EXPECT_EQ(instance.aliveCount(), 0u);
    EXPECT_FALSE(emitter.emit(instance, Entity(), 0.2f));
    EXPECT_EQ(instance.aliveCount(), 6u);
    for (std::uint32_t particle : alive(instance)) {
        EXPECT_GE(instance.vertex(particle).lifetime, 1.0f);
        EXPECT_LE(instance.vertex(particle).lifetime, 2.0f);
        EXPECT_EQ(instance.origin(particle).lifetime, instance.vertex(particle).lifetime);
    }
}

TEST(BurstEmitter, DrawsEveryWholeCountFromMinToMaxAndNothingElse) {
    RandomGenerator::seed(99);
    const ParticleSystem system = bare(100);
    std::set<std::uint32_t> counts;
    for (int trial = 0; trial < 400; ++trial) {
        ParticleSystemInstance instance(system);
        BurstEmitter emitter(0.0f, 2.0f, 5.0f, 1.0f, 1.0f);
        emitter.emit(instance, Entity(), kFrame);
        counts.insert(instance.aliveCount());
    }
    EXPECT_EQ(counts, (std::set<std::uint32_t>{2, 3, 4, 5}));

    // A count below zero spawns nothing.
    ParticleSystemInstance instance(system);
    BurstEmitter negative(0.0f, -4.0f, -3.0f, 1.0f, 1.0f);
    EXPECT_FALSE(negative.emit(instance, Entity(), kFrame));
    EXPECT_EQ(instance.aliveCount(), 0u);
}

TEST(BurstEmitter, IsLimitedByTheFreeIndices) {
    const ParticleSystem system = bare(5);
    ParticleSystemInstance instance(system);
    BurstEmitter first(0.0f, 3.0f, 3.0f, 1.0f, 1.0f);
    EXPECT_FALSE(first.emit(instance, Entity(), kFrame));
    EXPECT_EQ(instance.freeList().size(), 2u);

    BurstEmitter second(0.0f, 1e12f, 1e12f, 1.0f, 1.0f);
    EXPECT_FALSE(second.emit(instance, Entity(), kFrame));
    EXPECT_EQ(instance.aliveCount(), 5u);
    EXPECT_TRUE(instance.freeList().empty());

    BurstEmitter third(0.0f, 4.0f, 4.0f, 1.0f, 1.0f);
    EXPECT_FALSE(third.emit(instance, Entity(), kFrame));
    EXPECT_EQ(instance.aliveCount(), 5u);
}

TEST(ParticleEmitter, ClonesKeepSettingsAndClocksAndRunOnTheirOwn) {
    ContinuousEmitter stream(0.1f, 20.0f, 3.0f, 0.5f, 0.7f);
    const ParticleSystem system = bare(50);
    ParticleSystemInstance instance(system);
    stream.emit(instance, Entity(), 0.33f);
    const auto copy = stream.clone();
    const auto* continuous = dynamic_cast<const ContinuousEmitter*>(copy.get());
    ASSERT_NE(continuous, nullptr);
    EXPECT_EQ(continuous->elapsed, stream.elapsed);
    EXPECT_EQ(continuous->accumulator, stream.accumulator);
    EXPECT_EQ(continuous->rate, 20.0f);
    EXPECT_EQ(continuous->duration, 3.0f);
    EXPECT_EQ(continuous->lifetimeMin, 0.5f);
    EXPECT_EQ(continuous->lifetimeMax, 0.7f);
    copy->emit(instance, Entity(), 1.0f);
    EXPECT_NEAR(stream.elapsed, 0.33f, 1e-6f);

    BurstEmitter burst(0.4f, 2.0f, 3.0f, 1.0f, 1.0f);
    burst.emit(instance, Entity(), 0.1f);
    const auto burstCopy = burst.clone();
    const auto* copied = dynamic_cast<const BurstEmitter*>(burstCopy.get());
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->elapsed, 0.1f);
    EXPECT_EQ(copied->delay, 0.4f);
    EXPECT_EQ(copied->countMin, 2.0f);
    EXPECT_EQ(copied->countMax, 3.0f);
}
