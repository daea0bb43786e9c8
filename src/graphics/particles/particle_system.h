#pragma once
// The immutable description of a particle effect and the per-particle
// records its instances simulate. Descriptions are built in code (see
// particle_effects) and shared by every instance made from them.
#include <cstddef>
#include <cstdint>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>
#include <memory>
#include <vector>

class ParticleEmitter;
class ParticleInitializer;
class ParticleUpdater;

// One particle as the GPU reads it: one per-instance record of the instanced
// draw, 52 bytes, tightly packed (see kParticleInstanceAttributes).
struct ParticleVertex {
    glm::vec3 position{0.0f};  // model or world space, after the system's `space`
    float size = 1.0f;         // world units across the quad
    float rotation = 0.0f;     // degrees about the view axis
    glm::vec4 color{1.0f};     // RGBA
    float lifetime = 0.0f;     // seconds left; <= 0 means dead
    glm::vec3 velocity{0.0f};  // units per second; also the shaders' orientation vector
};
static_assert(sizeof(ParticleVertex) == 52, "the instanced draw reads 52-byte records");

// The values a particle started its life with; updaters scale from them.
// CPU only.
struct ParticleOrigin {
    glm::vec3 velocity{0.0f};
    float lifetime = 0.0f;  // the whole life, seconds
    float size = 1.0f;
    float rotation = 0.0f;  // degrees
    glm::vec4 color{1.0f};
};
static_assert(sizeof(ParticleOrigin) == 40, "origins are kept packed beside the vertices");

struct ParticleSystem {
    // Where particle positions live. The value is handed to the shaders.
    enum ParticleSpace : std::uint32_t {
        // Positions are relative to the entity and move with it.
        ModelSpace = 0,
        // Positions are carried into world space when a particle is emitted,
        // so particles stay behind when the entity moves on.
        WorldSpace = 1,
    };

    // How the shaders lay out each particle's quad. The engine only passes
    // the value through; the shaders give it its meaning.
    enum ParticleOrientation : std::uint32_t {
        FacingCamera = 0,   // a screen-aligned quad turned by `rotation`
        Horizontal = 1,     // lying flat (the pressure wave)
        AlongVelocity = 2,  // stretched along the orientation vector (sparks)
    };

    ParticleSystem(std::uint32_t maxParticles, ParticleSpace space, ParticleOrientation orientation);
    ParticleSystem(ParticleSystem&&) noexcept;
    ParticleSystem& operator=(ParticleSystem&&) noexcept;
    ~ParticleSystem();

    // Particle budget of every instance, and the instance count of every draw.
    std::uint32_t maxParticles;
    ParticleSpace space;
    ParticleOrientation orientation;
    // Prototypes: each instance runs its own clones.
    std::vector<std::unique_ptr<ParticleEmitter>> emitters;
    // Applied in list order to every new particle.
    std::vector<std::unique_ptr<ParticleInitializer>> initializers;
    // Applied in list order to every live particle, every frame.
    std::vector<std::unique_ptr<ParticleUpdater>> updaters;
};
