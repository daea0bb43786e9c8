#pragma once
// One live particle effect: the particles of one description, simulated on
// the CPU and drawn as one instanced batch of camera-space quads.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "entities/entity.h"
#include "graphics/particles/particle_emitter.h"
#include "graphics/particles/particle_free_list.h"
#include "graphics/particles/particle_system.h"
#include "graphics/renderable.h"

enum class VertexAttribute : std::uint32_t;

// One per-instance input of the particle draw: which shader input, how many
// floats, and where it lies in a ParticleVertex (the stride is the record).
struct ParticleInstanceAttribute {
    VertexAttribute attribute;
    std::int32_t components;
    std::uint32_t offset;
};
// Centre, size, rotation, colour, lifetime and velocity (as the orientation
// vector), advanced once per instance (divisor 1).
extern const std::array<ParticleInstanceAttribute, 6> kParticleInstanceAttributes;
// The unit quad every particle is drawn from, as a triangle strip of four
// corners in the plane z = 0 (48 bytes, advanced per vertex).
extern const std::array<float, 12> kParticleQuadCorners;

class ParticleSystemInstance final : public Renderable {
  public:
    // Every particle starts dead and every index free. `system` must outlive
    // the instance (the effects library keeps its descriptions for good).
    // Makes no OpenGL call: the buffers come with the first upload or draw.
    explicit ParticleSystemInstance(const ParticleSystem& system);
    // Releases the particles, the emitters and the instance buffer.
    ~ParticleSystemInstance() override;

    // The frame: simulate(), then upload().
    void update(Entity entity, double dt) override;
    // The shared quad per vertex; every ParticleVertex field per instance.
    void setupVertexAttributes(ShaderProgram& program) override;
    // Hands "u_ParticleSpace" and "u_ParticleOrientation" to the program and
    // draws one quad per particle of the budget. Dead particles are drawn
    // too, with no life left; the shaders hide them.
    void draw(ShaderProgram& program) override;
    // Copies every particle record into the instance buffer (one
    // glBufferSubData), making the buffer first if needed.
    void upload();

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
    std::uint32_t vertexBuffer_ = 0;  // maxParticles records, GL_STREAM_DRAW; 0 until made

    // Makes the shared quad and this instance's buffer if they do not exist;
    // a new instance buffer starts with the current records, never garbage.
    void createBuffers();
};
