#include "graphics/particles/particle_effects.h"

#include "graphics/particles/particle_emitter.h"
#include "graphics/particles/particle_initializers.h"
#include "graphics/particles/particle_system_instance.h"
#include "graphics/particles/particle_updaters.h"
#include "utils/log.h"

namespace particle_effects {
namespace {

using namespace particle_initializers;
using namespace particle_updaters;

template <typename T, typename... Args>
std::unique_ptr<ParticleInitializer> initializer(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...);
}

template <typename T, typename... Args>
std::unique_ptr<ParticleUpdater> updater(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...);
}

constexpr bool kRelative = true;
constexpr float kEndless = 0.0f;

}  // namespace

ParticleSystem flame() {
    ParticleSystem system(16, ParticleSystem::WorldSpace, ParticleSystem::FacingCamera);
    // 100 a second living 0.15 s keeps at most 15 alive: within the 16.
    system.emitters.push_back(std::make_unique<ContinuousEmitter>(0.0f, 100.0f, kEndless, 0.15f, 0.15f));
    system.initializers.push_back(initializer<PositionOnPoint>(glm::vec3(0.0f)));
    system.initializers.push_back(
        initializer<Color>(glm::vec4(1.0f, 0.2f, 0.08f, 1.0f), glm::vec4(1.0f, 0.3f, 0.0f, 1.0f)));
    system.initializers.push_back(initializer<Size>(3.0f));
    system.initializers.push_back(initializer<Rotation>(-180.0f, 180.0f));
    system.updaters.push_back(updater<FadeIn>(0.1f, kRelative, FadeColorAndAlpha));
    system.updaters.push_back(updater<FadeOut>(0.4f, kRelative, FadeColorAndAlpha));
    system.updaters.push_back(updater<ShrinkOut>(0.3f, 1.0f, kRelative));
    return system;
}

ParticleSystem ember() {
    ParticleSystem system(7, ParticleSystem::WorldSpace, ParticleSystem::FacingCamera);
    system.emitters.push_back(std::make_unique<ContinuousEmitter>(0.0f, 30.0f, kEndless, 0.2f, 0.2f));
    system.initializers.push_back(
        initializer<PositionInSphere>(glm::vec3(0.0f), 0.0f, 0.5f, glm::vec3(1.0f), 0.0f, 0.0f));
    system.initializers.push_back(initializer<Color>(glm::vec4(1.0f, 0.8f, 0.8f, 1.0f)));
    system.initializers.push_back(initializer<Size>(0.15f));
    system.updaters.push_back(updater<FadeIn>(0.2f, kRelative, FadeColorAndAlpha));
    system.updaters.push_back(updater<FadeOut>(0.8f, kRelative, FadeColorAndAlpha));
    return system;
}

ParticleSystem explosion() {
    ParticleSystem system(4, ParticleSystem::ModelSpace, ParticleSystem::FacingCamera);
    system.emitters.push_back(std::make_unique<BurstEmitter>(0.0f, 4.0f, 4.0f, 0.18f, 0.18f));
    // No colour: the puffs keep the white they start with, and the material
    // gives them their fire.
    system.initializers.push_back(initializer<PositionInSphere>(glm::vec3(0.0f), 0.0f, 0.75f,
                                                                glm::vec3(1.0f, 0.0f, 1.0f), 1.25f, 1.45f));
    system.initializers.push_back(initializer<Size>(3.0f, 4.0f));
    system.initializers.push_back(initializer<Rotation>(-180.0f, 180.0f));
    system.updaters.push_back(updater<FadeIn>(0.5f, kRelative, FadeColorAndAlpha));
    system.updaters.push_back(updater<FadeOut>(0.5f, kRelative, FadeColorAndAlpha));
    system.updaters.push_back(updater<ShrinkOut>(1.0f, 0.3f, kRelative));
    return system;
}

ParticleSystem spark() {
    ParticleSystem system(15, ParticleSystem::ModelSpace, ParticleSystem::AlongVelocity);
    system.emitters.push_back(std::make_unique<BurstEmitter>(0.0f, 15.0f, 15.0f, 0.28f, 0.28f));
    system.initializers.push_back(
        initializer<PositionInSphere>(glm::vec3(0.0f), 0.0f, 0.65f, glm::vec3(1.0f), 5.0f, 6.0f));
    system.initializers.push_back(initializer<Color>(glm::vec4(1.0f, 0.6f, 0.6f, 1.0f)));
    system.initializers.push_back(initializer<Size>(0.2f, 0.3f));
    system.updaters.push_back(updater<FadeOut>(0.3f, kRelative, FadeColorAndAlpha));
    system.updaters.push_back(updater<Acceleration>(glm::vec3(0.0f, -20.0f, 0.0f)));
    return system;
}

ParticleSystem pressureWave() {
    ParticleSystem system(1, ParticleSystem::ModelSpace, ParticleSystem::Horizontal);
    system.emitters.push_back(std::make_unique<BurstEmitter>(0.0f, 1.0f, 1.0f, 0.25f, 0.25f));
    system.initializers.push_back(initializer<PositionOnPoint>(glm::vec3(0.0f)));
    system.initializers.push_back(initializer<Size>(2.5f));
    system.initializers.push_back(initializer<Velocity>(glm::vec3(0.0f, 0.1f, 0.0f)));
    // An end size above the start: the wave grows from 2.5 to 7.5 over its life.
    system.updaters.push_back(updater<ShrinkOut>(7.5f, 1.0f, kRelative));
    system.updaters.push_back(updater<FadeOut>(0.5f, kRelative, FadeColor));
    return system;
}

}  // namespace particle_effects

ParticleEffectLibrary::ParticleEffectLibrary() {
    const std::pair<const char*, ParticleSystem (*)()> effects[] = {
        {"Flame", particle_effects::flame},
        {"Ember", particle_effects::ember},
        {"Explosion", particle_effects::explosion},
        {"Spark", particle_effects::spark},
        {"PressureWave", particle_effects::pressureWave},
    };
    for (const auto& [name, build] : effects) {
        indices_[name] = systems_.size();
        systems_.emplaceBack(build());
    }
    LOG(debug) << "Built " << systems_.size() << " particle effects.";
}

const ParticleSystem* ParticleEffectLibrary::find(const std::string& name) const {
    const auto found = indices_.find(name);
    if (found == indices_.end()) {
        LOG(error) << "Unknown particle effect [" << name << "]!";
        return nullptr;
    }
    return systems_.get(found->second);
}

std::shared_ptr<ParticleSystemInstance> ParticleEffectLibrary::create(const std::string& name) const {
    const ParticleSystem* system = find(name);
    if (system == nullptr) {
        return nullptr;
    }
    return std::make_shared<ParticleSystemInstance>(*system);
}

std::vector<std::string> ParticleEffectLibrary::names() const {
    std::vector<std::string> names;
    for (const auto& entry : indices_) {
        names.push_back(entry.first);
    }
    return names;
}
