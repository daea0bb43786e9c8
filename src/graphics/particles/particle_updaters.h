#pragma once
// Updaters change a live particle every frame, before it moves. They hold no
// state: one description serves every instance.
#include <cstdint>
#include <glm/vec3.hpp>

#include "entities/entity.h"

class ParticleSystemInstance;

class ParticleUpdater {
  public:
    virtual ~ParticleUpdater();
    // Changes live particle `particle` of `instance` for a frame of dt
    // seconds; its lifetime has already been counted down.
    virtual void update(ParticleSystemInstance& instance, const Entity& entity, std::uint32_t particle,
                        float dt) const = 0;
};

namespace particle_updaters {

// What a fade scales.
enum FadeMode : std::int32_t {
    FadeNothing = 0,
    FadeAlpha = 1,          // alpha only
    FadeColor = 2,          // all four channels
    FadeColorAndAlpha = 3,  // all four channels (the same as FadeColor)
};

// velocity += acceleration dt.
class Acceleration final : public ParticleUpdater {
  public:
    explicit Acceleration(const glm::vec3& acceleration) : acceleration(acceleration) {}
    void update(ParticleSystemInstance& instance, const Entity& entity, std::uint32_t particle,
                float dt) const override;

    glm::vec3 acceleration;  // units per second squared
};

// Brings the colour up from nothing over the first `duration` of the life:
// seconds, or a fraction of the whole life when `relative`.
class FadeIn final : public ParticleUpdater {
  public:
    FadeIn(float duration, bool relative, FadeMode mode)
        : duration(duration), relative(relative), mode(mode) {}
    void update(ParticleSystemInstance& instance, const Entity& entity, std::uint32_t particle,
                float dt) const override;

    float duration;
    bool relative;
    FadeMode mode;
};

// Takes the colour down to nothing over the last `duration` of the life:
// seconds, or a fraction of the whole life when `relative`.
class FadeOut final : public ParticleUpdater {
  public:
    FadeOut(float duration, bool relative, FadeMode mode)
        : duration(duration), relative(relative), mode(mode) {}
    void update(ParticleSystemInstance& instance, const Entity& entity, std::uint32_t particle,
                float dt) const override;

    float duration;
    bool relative;
    FadeMode mode;
};

// Moves the size from the starting size to `endSize` over the last
// `duration` of the life (seconds, or a fraction when `relative`). An end
// size above the start makes the particle grow.
class ShrinkOut final : public ParticleUpdater {
  public:
    ShrinkOut(float endSize, float duration, bool relative)
        : endSize(endSize), duration(duration), relative(relative) {}
    void update(ParticleSystemInstance& instance, const Entity& entity, std::uint32_t particle,
                float dt) const override;

    float endSize;
    float duration;
    bool relative;
};

}  // namespace particle_updaters
