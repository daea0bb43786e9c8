#pragma once
// Small hand-made particle systems and a frame driver for the particle tests.
#include <cstdint>
#include <glm/vec3.hpp>
#include <memory>
#include <vector>

#include "graphics/particles/particle_emitter.h"
#include "graphics/particles/particle_initializers.h"
#include "graphics/particles/particle_system.h"
#include "graphics/particles/particle_system_instance.h"
#include "graphics/particles/particle_updaters.h"

namespace particle_test {

constexpr float kFrame = 1.0f / 60.0f;

// A model-space description with no emitters, initializers or updaters.
inline ParticleSystem bare(std::uint32_t maxParticles,
                           ParticleSystem::ParticleSpace space = ParticleSystem::ModelSpace) {
    return ParticleSystem(maxParticles, space, ParticleSystem::FacingCamera);
}

// Indices of the particles alive now, ascending.
inline std::vector<std::uint32_t> alive(const ParticleSystemInstance& instance) {
    std::vector<std::uint32_t> indices;
    for (std::uint32_t k = 0; k < instance.maxParticles(); ++k) {
        if (instance.vertex(k).lifetime > 0.0f) {
            indices.push_back(k);
        }
    }
    return indices;
}

// What a run of frames did: births counted by index (a particle is born when
// its life left grows, or it comes alive), and the most alive at once.
struct FrameLog {
    std::uint32_t births = 0;
    std::uint32_t mostAlive = 0;
    std::uint32_t leastFree = 0xffffffffu;
};

// Runs `frames` frames of dt seconds and records what happened.
inline FrameLog run(ParticleSystemInstance& instance, const Entity& entity, int frames, float dt = kFrame) {
    FrameLog log;
    std::vector<float> before(instance.maxParticles());
    for (int frame = 0; frame < frames; ++frame) {
        for (std::uint32_t k = 0; k < instance.maxParticles(); ++k) {
            before[k] = instance.vertex(k).lifetime;
        }
        instance.simulate(entity, dt);
        for (std::uint32_t k = 0; k < instance.maxParticles(); ++k) {
            const float now = instance.vertex(k).lifetime;
            // A particle that lived on has lost dt; anything else alive is new.
            if (now > 0.0f && !(before[k] > 0.0f && now < before[k])) {
                ++log.births;
            }
        }
        log.mostAlive = std::max(log.mostAlive, instance.aliveCount());
        log.leastFree = std::min(log.leastFree, instance.freeList().size());
    }
    return log;
}

}  // namespace particle_test
