#pragma once
// Initializers give a newborn particle its starting values. Each writes its
// value both to the particle's vertex (what is drawn and updated) and to its
// origin (what the updaters scale from). They hold no state: one description
// serves every instance.
#include <cstdint>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "entities/entity.h"

class ParticleSystemInstance;

class ParticleInitializer {
  public:
    virtual ~ParticleInitializer();
    // Sets the starting values of particle `particle` of `instance`, emitted
    // by `entity` (whose transform places world-space particles).
    virtual void initialize(ParticleSystemInstance& instance, const Entity& entity,
                            std::uint32_t particle) const = 0;
};

namespace particle_initializers {

// The particle starts on `point` (model space of the entity).
class PositionOnPoint final : public ParticleInitializer {
  public:
    explicit PositionOnPoint(const glm::vec3& point) : point(point) {}
    void initialize(ParticleSystemInstance& instance, const Entity& entity,
                    std::uint32_t particle) const override;

    glm::vec3 point;
};

// The particle starts in a shell around `center`: a random direction times a
// distance between minRadius and maxRadius, scaled per axis by axisScale
// (0 on an axis flattens the shell onto the other two). When a speed range is
// given (either end not 0), the particle also flies outwards, along that
// scaled direction, at a speed between speedMin and speedMax.
class PositionInSphere final : public ParticleInitializer {
  public:
    PositionInSphere(const glm::vec3& center, float minRadius, float maxRadius, const glm::vec3& axisScale,
                     float speedMin, float speedMax)
        : center(center),
          minRadius(minRadius),
          maxRadius(maxRadius),
          axisScale(axisScale),
          speedMin(speedMin),
          speedMax(speedMax) {}
    void initialize(ParticleSystemInstance& instance, const Entity& entity,
                    std::uint32_t particle) const override;

    glm::vec3 center;
    float minRadius;
    float maxRadius;
    glm::vec3 axisScale;
    float speedMin;
    float speedMax;
};

// colour = A + (B - A) r, with one r for all channels or one per channel.
class Color final : public ParticleInitializer {
  public:
    Color(const glm::vec4& colorA, const glm::vec4& colorB, bool perChannel = false)
        : colorA(colorA), colorB(colorB), perChannel(perChannel) {}
    explicit Color(const glm::vec4& color) : Color(color, color) {}
    void initialize(ParticleSystemInstance& instance, const Entity& entity,
                    std::uint32_t particle) const override;

    glm::vec4 colorA;
    glm::vec4 colorB;
    bool perChannel;
};

// size = min + (max - min) r, in world units.
class Size final : public ParticleInitializer {
  public:
    Size(float min, float max) : min(min), max(max) {}
    explicit Size(float size) : Size(size, size) {}
    void initialize(ParticleSystemInstance& instance, const Entity& entity,
                    std::uint32_t particle) const override;

    float min;
    float max;
};

// rotation = min + (max - min) r, in degrees.
class Rotation final : public ParticleInitializer {
  public:
    Rotation(float min, float max) : min(min), max(max) {}
    void initialize(ParticleSystemInstance& instance, const Entity& entity,
                    std::uint32_t particle) const override;

    float min;
    float max;
};

// velocity = min + (max - min) r, one r for all three components.
class Velocity final : public ParticleInitializer {
  public:
    Velocity(const glm::vec3& min, const glm::vec3& max) : min(min), max(max) {}
    explicit Velocity(const glm::vec3& velocity) : Velocity(velocity, velocity) {}
    void initialize(ParticleSystemInstance& instance, const Entity& entity,
                    std::uint32_t particle) const override;

    glm::vec3 min;
    glm::vec3 max;
};

}  // namespace particle_initializers
