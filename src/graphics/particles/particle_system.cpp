#include "graphics/particles/particle_system.h"

#include "graphics/particles/particle_emitter.h"
#include "graphics/particles/particle_initializers.h"
#include "graphics/particles/particle_updaters.h"

ParticleSystem::ParticleSystem(std::uint32_t maxParticles, ParticleSpace space,
                               ParticleOrientation orientation)
    : maxParticles(maxParticles), space(space), orientation(orientation) {}

ParticleSystem::ParticleSystem(ParticleSystem&&) noexcept = default;
ParticleSystem& ParticleSystem::operator=(ParticleSystem&&) noexcept = default;
ParticleSystem::~ParticleSystem() = default;
