#include "graphics/particles/particle_initializers.h"

#include <cmath>
#include <glm/geometric.hpp>
#include <glm/gtc/constants.hpp>
#include <glm/gtc/quaternion.hpp>

#include "entities/entity_manager.h"
#include "game/components.h"
#include "graphics/particles/particle_system_instance.h"
#include "utils/random.h"

ParticleInitializer::~ParticleInitializer() = default;

namespace particle_initializers {
namespace {

// A model-space point as the instance stores it: unchanged for model-space
// systems; for world-space ones scaled, rotated and moved by the entity's
// transform. An entity that is gone or has no transform counts as standing
// at the origin, unrotated and unscaled.
glm::vec3 placed(const ParticleSystemInstance& instance, const Entity& entity, const glm::vec3& point) {
    if (instance.system().space != ParticleSystem::WorldSpace || !entity.valid()) {
        return point;
    }
    const auto transform = entity.manager()->component<TransformComponent>(entity.id());
    if (!transform) {
        return point;
    }
    return transform->position + transform->rotation * (transform->scale * point);
}

// A direction drawn evenly over the unit sphere.
glm::vec3 randomDirection() {
    const float y = 2.0f * RandomGenerator::unit() - 1.0f;
    const float angle = glm::two_pi<float>() * RandomGenerator::unit();
    const float across = std::sqrt(std::max(0.0f, 1.0f - y * y));
    return glm::vec3(across * std::cos(angle), y, across * std::sin(angle));
}

}  // namespace

void PositionOnPoint::initialize(ParticleSystemInstance& instance, const Entity& entity,
                                 std::uint32_t particle) const {
    instance.vertex(particle).position = placed(instance, entity, point);
}

void PositionInSphere::initialize(ParticleSystemInstance& instance, const Entity& entity,
                                  std::uint32_t particle) const {
    const glm::vec3 direction = randomDirection() * axisScale;
    const float distance = RandomGenerator::between(minRadius, maxRadius);
    ParticleVertex& vertex = instance.vertex(particle);
    vertex.position = placed(instance, entity, center + direction * distance);
    if (speedMin != 0.0f || speedMax != 0.0f) {
        // The direction of the offset, taken before the distance so that a
        // particle born on the centre still flies; a direction the axis scale
        // flattened to nothing (straight up in a flat shell) gives no motion
        // rather than a division by zero.
        const float length = glm::length(direction);
        const glm::vec3 outwards = length > 0.0f ? direction / length : glm::vec3(0.0f);
        const glm::vec3 velocity = outwards * RandomGenerator::between(speedMin, speedMax);
        vertex.velocity = velocity;
        instance.origin(particle).velocity = velocity;
    }
}

void Color::initialize(ParticleSystemInstance& instance, const Entity&, std::uint32_t particle) const {
    glm::vec4 color;
    if (perChannel) {
        for (int c = 0; c < 4; ++c) {
            color[c] = RandomGenerator::between(colorA[c], colorB[c]);
        }
    } else {
        color = colorA + (colorB - colorA) * RandomGenerator::unit();
    }
    instance.vertex(particle).color = color;
    instance.origin(particle).color = color;
}

void Size::initialize(ParticleSystemInstance& instance, const Entity&, std::uint32_t particle) const {
    const float size = RandomGenerator::between(min, max);
    instance.vertex(particle).size = size;
    instance.origin(particle).size = size;
}

void Rotation::initialize(ParticleSystemInstance& instance, const Entity&, std::uint32_t particle) const {
    const float rotation = RandomGenerator::between(min, max);
    instance.vertex(particle).rotation = rotation;
    instance.origin(particle).rotation = rotation;
}

void Velocity::initialize(ParticleSystemInstance& instance, const Entity&, std::uint32_t particle) const {
    const glm::vec3 velocity = min + (max - min) * RandomGenerator::unit();
    instance.vertex(particle).velocity = velocity;
    instance.origin(particle).velocity = velocity;
}

}  // namespace particle_initializers
