#include "graphics/particles/particle_updaters.h"

#include <algorithm>

#include "graphics/particles/particle_system_instance.h"

ParticleUpdater::~ParticleUpdater() = default;

namespace particle_updaters {
namespace {

// Life left: a fraction of the whole life when relative, else seconds.
float lifeLeft(const ParticleVertex& vertex, const ParticleOrigin& origin, bool relative) {
    if (!relative) {
        return vertex.lifetime;
    }
    return origin.lifetime > 0.0f ? vertex.lifetime / origin.lifetime : 0.0f;
}

void fade(ParticleVertex& vertex, const ParticleOrigin& origin, FadeMode mode, float factor) {
    switch (mode) {
        case FadeAlpha:
            vertex.color.a = origin.color.a * factor;
            break;
        case FadeColor:
        case FadeColorAndAlpha:
            vertex.color = origin.color * factor;
            break;
        default:
            break;
    }
}

}  // namespace

void Acceleration::update(ParticleSystemInstance& instance, const Entity&, std::uint32_t particle,
                          float dt) const {
    instance.vertex(particle).velocity += acceleration * dt;
}

void FadeIn::update(ParticleSystemInstance& instance, const Entity&, std::uint32_t particle, float) const {
    ParticleVertex& vertex = instance.vertex(particle);
    const ParticleOrigin& origin = instance.origin(particle);
    const float age = relative ? 1.0f - lifeLeft(vertex, origin, true) : origin.lifetime - vertex.lifetime;
    // A fade of no length is already complete (and divides by nothing).
    const float factor = duration > 0.0f ? std::min(age / duration, 1.0f) : 1.0f;
    fade(vertex, origin, mode, factor);
}

void FadeOut::update(ParticleSystemInstance& instance, const Entity&, std::uint32_t particle, float) const {
    ParticleVertex& vertex = instance.vertex(particle);
    const ParticleOrigin& origin = instance.origin(particle);
    const float left = lifeLeft(vertex, origin, relative);
    if (duration > 0.0f && left < duration) {
        fade(vertex, origin, mode, left / duration);
    }
}

void ShrinkOut::update(ParticleSystemInstance& instance, const Entity&, std::uint32_t particle, float) const {
    ParticleVertex& vertex = instance.vertex(particle);
    const float left = lifeLeft(vertex, instance.origin(particle), relative);
    if (duration > 0.0f && left < duration) {
        vertex.size = (instance.origin(particle).size - endSize) * (left / duration) + endSize;
    }
}

}  // namespace particle_updaters
