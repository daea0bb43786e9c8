#pragma once
// One live particle effect: the particles of one description, simulated on
// the CPU and drawn as one instanced batch of camera-space quads.
#include <cstdint>
#include <memory>
#include <vector>

#include "entities/entity.h"
#include "graphics/particles/particle_emitter.h"
#include "graphics/particles/particle_free_list.h"
#include "graphics/particles/particle_system.h"

class ParticleSystemInstance {
  public:
    // Every particle starts dead and every index free. `system` must outlive
    // the instance (the effects library keeps its descriptions for good).
    explicit ParticleSystemInstance(const ParticleSystem& system);
    ParticleSystemInstance(const ParticleSystemInstance&) = delete;
    ParticleSystemInstance& operator=(const ParticleSystemInstance&) = delete;
    ~ParticleSystemInstance();

    // One frame on the CPU: runs the emitters (deleting finished ones), then
    // ages, updates and moves every particle, freeing those that die.
    // `entity` is the effect's entity; world-space systems place new
    // particles by its transform.
    void simulate(const Entity& entity, float dt);

    // Births one particle for an emitter: takes the oldest free index, draws
    // a lifetime between the two bounds and runs the initializers. Returns
    // false, and spawns nothing, when no index is free or the drawn lifetime
    // is not positive (a particle born dead would never be freed again).
    bool spawn(const Entity& entity, float lifetimeMin, float lifetimeMax);

    // Deletes every emitter: no particle is born any more, while the live
    // ones play out their lives. finished() then tells when all are gone.
    void stopEmitting() { emitters_.clear(); }
    // True while some emitter is still running.
    bool emitting() const { return !emitters_.empty(); }
    std::size_t emitterCount() const { return emitters_.size(); }
    // Particles alive now (budget minus free indices).
    std::uint32_t aliveCount() const { return maxParticles() - freeList_.size(); }
    // Nothing left to emit and nothing alive: the effect can go.
    bool finished() const { return !emitting() && aliveCount() == 0; }

    const ParticleSystem& system() const { return *system_; }
    std::uint32_t maxParticles() const { return static_cast<std::uint32_t>(vertices_.size()); }

    // Particle records, indexed 0 .. maxParticles() - 1 (unchecked).
    ParticleVertex& vertex(std::uint32_t particle) { return vertices_[particle]; }
    const ParticleVertex& vertex(std::uint32_t particle) const { return vertices_[particle]; }
    ParticleOrigin& origin(std::uint32_t particle) { return origins_[particle]; }
    const ParticleOrigin& origin(std::uint32_t particle) const { return origins_[particle]; }
    // Every particle, dead ones included, as uploaded for the draw.
    const std::vector<ParticleVertex>& vertices() const { return vertices_; }
    const ParticleFreeList& freeList() const { return freeList_; }

  private:
    const ParticleSystem* system_;  // not owned
    std::vector<std::unique_ptr<ParticleEmitter>> emitters_;
    std::vector<ParticleVertex> vertices_;
    std::vector<ParticleOrigin> origins_;
    ParticleFreeList freeList_;
};
