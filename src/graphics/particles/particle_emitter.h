#pragma once
// Emitters decide when new particles are born. A description holds the
// prototypes; every instance runs its own clones, which keep their clocks.
#include <memory>

#include "entities/entity.h"

class ParticleSystemInstance;

class ParticleEmitter {
  public:
    virtual ~ParticleEmitter();

    // Advances the emitter by dt seconds and spawns what is due into
    // `instance` (only as many as it has free indices). Returns false once
    // the emitter has finished; the instance then deletes it.
    virtual bool emit(ParticleSystemInstance& instance, const Entity& entity, float dt) = 0;
    // A copy with the same settings and clocks.
    virtual std::unique_ptr<ParticleEmitter> clone() const = 0;
};

// A steady stream of `rate` particles per second, starting after `delay`
// seconds and lasting `duration` seconds (0: forever).
class ContinuousEmitter final : public ParticleEmitter {
  public:
    ContinuousEmitter(float delay, float rate, float duration, float lifetimeMin, float lifetimeMax);

    bool emit(ParticleSystemInstance& instance, const Entity& entity, float dt) override;
    std::unique_ptr<ParticleEmitter> clone() const override;

    float delay;
    float rate;      // particles per second; 0 or less emits nothing
    float duration;  // seconds after the delay; 0 means endless
    float elapsed = 0.0f;
    float accumulator = 0.0f;  // emitting time not yet paid out in particles
    float lifetimeMin;
    float lifetimeMax;
};

// One burst of countMin .. countMax particles (both included) once `delay`
// seconds have passed; finished after it.
class BurstEmitter final : public ParticleEmitter {
  public:
    BurstEmitter(float delay, float countMin, float countMax, float lifetimeMin, float lifetimeMax);

    bool emit(ParticleSystemInstance& instance, const Entity& entity, float dt) override;
    std::unique_ptr<ParticleEmitter> clone() const override;

    float elapsed = 0.0f;
    float delay;
    float countMin;
    float countMax;
    float lifetimeMin;
    float lifetimeMax;
};
