#include "graphics/particles/particle_emitter.h"

#include <algorithm>
#include <cmath>

#include "graphics/particles/particle_system_instance.h"
#include "utils/random.h"

ParticleEmitter::~ParticleEmitter() = default;

ContinuousEmitter::ContinuousEmitter(float delay, float rate, float duration, float lifetimeMin,
                                     float lifetimeMax)
    : delay(delay), rate(rate), duration(duration), lifetimeMin(lifetimeMin), lifetimeMax(lifetimeMax) {}

bool ContinuousEmitter::emit(ParticleSystemInstance& instance, const Entity& entity, float dt) {
    elapsed += dt;
    if (duration != 0.0f && elapsed > delay + duration) {
        return false;
    }
    if (elapsed <= delay) {
        return true;
    }
    accumulator += dt;
    if (!(rate > 0.0f) || !std::isfinite(rate)) {
        return true;
    }
    const float period = 1.0f / rate;
    while (accumulator >= period) {
        if (instance.freeList().empty()) {
            // Particles that find no free index are lost, not owed: the rest
            // of the due periods go at once, so a long frame costs no more
            // than the budget.
            accumulator = std::fmod(accumulator, period);
            break;
        }
        accumulator -= period;
        instance.spawn(entity, lifetimeMin, lifetimeMax);
    }
    return true;
}

std::unique_ptr<ParticleEmitter> ContinuousEmitter::clone() const {
    return std::make_unique<ContinuousEmitter>(*this);
}

BurstEmitter::BurstEmitter(float delay, float countMin, float countMax, float lifetimeMin, float lifetimeMax)
    : delay(delay),
      countMin(countMin),
      countMax(countMax),
      lifetimeMin(lifetimeMin),
      lifetimeMax(lifetimeMax) {}

bool BurstEmitter::emit(ParticleSystemInstance& instance, const Entity& entity, float dt) {
    elapsed += dt;
    if (delay > elapsed) {
        return true;
    }
    // The 0.99 gives countMax the same chance as every other whole count.
    const float drawn = countMin + (countMax + 0.99f - countMin) * RandomGenerator::unit();
    // Clamped before the conversion: the free list bounds the burst, and a
    // negative (or not-a-number) count spawns nothing.
    const float available = static_cast<float>(instance.freeList().size());
    const auto count = drawn > 0.0f ? static_cast<std::uint32_t>(std::min(drawn, available)) : 0u;
    for (std::uint32_t k = 0; k < count; ++k) {
        instance.spawn(entity, lifetimeMin, lifetimeMax);
    }
    return false;
}

std::unique_ptr<ParticleEmitter> BurstEmitter::clone() const {
    return std::make_unique<BurstEmitter>(*this);
}
