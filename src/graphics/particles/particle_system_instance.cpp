#include "graphics/particles/particle_system_instance.h"

#include <algorithm>

#include "graphics/particles/particle_initializers.h"
#include "graphics/particles/particle_updaters.h"
#include "utils/random.h"

namespace {
// Life left below this is rounding, not life: a lifetime that is a whole
// number of frames (0.15 s at 60 frames a second) must end on its last frame
// rather than linger one more for a few ulps, or a stream outgrows its budget.
constexpr float kLifetimeResidue = 1e-6f;
}  // namespace

ParticleSystemInstance::ParticleSystemInstance(const ParticleSystem& system)
    : system_(&system),
      vertices_(system.maxParticles),
      origins_(system.maxParticles),
      freeList_(system.maxParticles) {
    emitters_.reserve(system.emitters.size());
    for (const auto& emitter : system.emitters) {
        emitters_.push_back(emitter->clone());
    }
}

ParticleSystemInstance::~ParticleSystemInstance() = default;

bool ParticleSystemInstance::spawn(const Entity& entity, float lifetimeMin, float lifetimeMax) {
    if (freeList_.empty()) {
        return false;
    }
    const float lifetime = RandomGenerator::between(lifetimeMin, lifetimeMax);
    if (!(lifetime > 0.0f)) {
        return false;
    }
    const std::uint32_t particle = *freeList_.take();
    ParticleOrigin& origin = origins_[particle];
    origin.lifetime = lifetime;
    // A reused index starts from its starting values, not from where its
    // last life ended: whatever no initializer sets is as for a fresh one.
    ParticleVertex& vertex = vertices_[particle];
    vertex.position = glm::vec3(0.0f);
    vertex.size = origin.size;
    vertex.rotation = origin.rotation;
    vertex.color = origin.color;
    vertex.lifetime = lifetime;
    vertex.velocity = origin.velocity;
    for (const auto& initializer : system_->initializers) {
        initializer->initialize(*this, entity, particle);
    }
    return true;
}

void ParticleSystemInstance::simulate(const Entity& entity, float dt) {
    emitters_.erase(std::remove_if(emitters_.begin(), emitters_.end(),
                                   [&](const std::unique_ptr<ParticleEmitter>& emitter) {
                                       return !emitter->emit(*this, entity, dt);
                                   }),
                    emitters_.end());

    const auto& updaters = system_->updaters;
    const std::uint32_t count = maxParticles();
    for (std::uint32_t particle = 0; particle < count; ++particle) {
        ParticleVertex& vertex = vertices_[particle];
        if (vertex.lifetime <= 0.0f) {
            // Dead particles keep drifting; the shaders hide them.
            vertex.position += vertex.velocity * dt;
            continue;
        }
        vertex.lifetime -= dt;
        if (vertex.lifetime > kLifetimeResidue) {
            for (const auto& updater : updaters) {
                updater->update(*this, entity, particle, dt);
            }
            vertex.position += vertex.velocity * dt;
        } else {
            // Free at once, so the next frame's emitters can reuse it.
            vertex.lifetime = std::min(vertex.lifetime, 0.0f);
            freeList_.give(particle);
        }
    }
}
