#pragma once
// The game's particle effects, built in code, and the library that hands out
// live instances of them by name. The names double as the names of the
// materials the effects are drawn with.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "entities/memory_pool.h"
#include "graphics/particles/particle_system.h"
#include "utils/singleton.h"

class ParticleSystemInstance;

namespace particle_effects {
// The fireball's core: a stream of flickering flame puffs left in its wake.
ParticleSystem flame();
// Small glowing bits scattered around the fireball.
ParticleSystem ember();
// The explosion's fire: four large puffs spreading flat from the centre.
ParticleSystem explosion();
// Fifteen sparks thrown out in every direction, falling as they fly.
ParticleSystem spark();
// One flat ring that grows from 2.5 to 7.5 units while it fades.
ParticleSystem pressureWave();
}  // namespace particle_effects

class ParticleEffectLibrary : public Singleton<ParticleEffectLibrary> {
  public:
    // Builds every effect; the descriptions never change or move afterwards,
    // so instances may keep pointers to them.
    ParticleEffectLibrary();

    // A new instance of the named effect ("Flame", "Ember", "Explosion",
    // "Spark", "PressureWave"), or nothing, with an error record, for a name
    // the library does not know.
    std::shared_ptr<ParticleSystemInstance> create(const std::string& name) const;
    // The description of the named effect, or null (with an error record).
    const ParticleSystem* find(const std::string& name) const;
    // The effect names, sorted.
    std::vector<std::string> names() const;

  private:
    // One record per effect, in the 1024-byte-chunk pool descriptions use.
    TypedMemoryPool<ParticleSystem, 1024> systems_;
    std::map<std::string, std::uint32_t> indices_;
};
