#include "game/render_recipes.h"

#include <memory>
#include <string>
#include <utility>

#include "entities/entity_manager.h"
#include "game/components.h"
#include "game/level.h"
#include "graphics/billboard.h"
#include "graphics/mesh_instance.h"
#include "graphics/particles/particle_effects.h"
#include "graphics/particles/particle_system_instance.h"
#include "graphics/procedural/link_mesh_instance.h"
#include "graphics/resources/material.h"
#include "graphics/resources/mesh.h"
#include "graphics/resources/shader_program.h"
#include "utils/log.h"

namespace {
constexpr float kActorRadius = 22.0f;
constexpr float kFlagRadius = 2.0f;
constexpr float kLevelObjectRadius = 100.0f;
constexpr float kLightningRadius = 100.0f;
constexpr float kFireballRadius = 5.0f;
constexpr float kExplosionRadius = 10.0f;
const glm::vec3 kCarriedFlagOffset(0.0f, 4.5f, 0.0f);
const char* const kCarriedFlagNode = "Flag";
const glm::vec4 kFlagBannerRect(-0.42f, 0.0f, 2.78f, 3.2f);

// The registry names one entry is drawn with.
struct EntryNames {
    uint32_t drawClass;
    const char* program;
    const char* shadowProgram;  // nullptr: not drawn into the shadow map
    std::string material;
};

// Resolves every name of names into entry, so each absent one is reported;
// false when any is absent.
bool resolve(const EntryNames& names, RenderEntry& entry) {
    entry.drawClass = names.drawClass;
    entry.program = ShaderProgramManager::instance().get(names.program);
    bool complete = entry.program != nullptr;
    if (names.shadowProgram != nullptr) {
        entry.shadowProgram = ShaderProgramManager::instance().get(names.shadowProgram);
        complete = complete && entry.shadowProgram != nullptr;
    }
    entry.material = MaterialManager::instance().get(names.material);
    return complete && entry.material != nullptr;
}

// Appends the entry when its names resolved and renderable exists (a missing
// mesh has been reported by the lookup that made it null).
void addEntry(RenderNode& node, const EntryNames& names, std::shared_ptr<Renderable> renderable) {
    RenderEntry entry;
    if (resolve(names, entry) && renderable) {
        entry.renderable = std::move(renderable);
        node.entries.push_back(std::move(entry));
    }
}

// Gives entity a new, empty render component (replacing any it had).
RenderComponent* freshComponent(Entity entity, float boundingRadius) {
    ComponentHandle<RenderComponent> component = entity.manager()->assign<RenderComponent>(entity.id());
    if (!component) {
        return nullptr;  // a dead entity; the store has reported it
    }
    component->boundingRadius = boundingRadius;
    return component.get();
}

// The banner on its pole, standing on the entity's position: the pole (an
// eighth of the way into the texture) rises from it and the cloth flies to the
// right, 3.2 units high, which reads at the follow camera's distance.
void addFlagBillboard(RenderNode& node, Team team) {
    auto banner = std::make_shared<Billboard>(flagColor(team));
    banner->rect = kFlagBannerRect;
    addEntry(node, {kFlagDrawClass, "Billboard", nullptr, "Flag"}, std::move(banner));
}
}  // namespace

glm::vec4 flagColor(Team team) {
    return team == Blue ? glm::vec4(0.29f, 0.43f, 0.74f, 1.0f) : glm::vec4(1.0f, 0.39f, 0.14f, 1.0f);
}

void attachActorRenderables(Entity actor, Team team) {
    RenderComponent* component = freshComponent(actor, kActorRadius);
    if (component == nullptr) {
        return;
    }
    std::shared_ptr<Renderable> instance;
    if (const SkeletalMesh* mesh = MeshManager::instance().getSkeletal("Actor")) {
        instance = std::make_shared<SkeletalMeshInstance>(*mesh);
    }
    addEntry(component->root,
             {kSolidDrawClass, "StandardSkeletal", "ShadowSkeletal", team == Blue ? "Blue" : "Red"},
             std::move(instance));
}

void attachFlagRenderables(Entity flag, Team team) {
    if (RenderComponent* component = freshComponent(flag, kFlagRadius)) {
        addFlagBillboard(component->root, team);
    }
}

namespace {
// The static mesh named after the object, in the material of that name.
void attachNamedStaticMesh(Entity object, const std::string& name, const char* program,
                           const char* shadowProgram) {
    RenderComponent* component = freshComponent(object, kLevelObjectRadius);
    if (component == nullptr) {
        return;
    }
    std::shared_ptr<Renderable> instance;
    if (const StaticMesh* mesh = MeshManager::instance().getStatic(name)) {
        instance = std::make_shared<StaticMeshInstance>(*mesh);
    }
    addEntry(component->root, {kSolidDrawClass, program, shadowProgram, name}, std::move(instance));
}
}  // namespace

void attachLevelObjectRenderables(Entity object, const LevelObject& entry) {
    attachNamedStaticMesh(object, entry.name, "StandardStatic", "ShadowStatic");
}

void attachSceneryRenderables(Entity object, const LevelObject& entry) {
    attachNamedStaticMesh(object, entry.name, "Scenery", nullptr);
}

void attachCarriedFlagRenderable(Entity carrier, Team flagTeam) {
    ComponentHandle<RenderComponent> component = carrier.manager()->component<RenderComponent>(carrier.id());
    if (!component) {
        LOG(error) << "Flag carrier [" << carrier.index() << "] has no render component to hold the flag!";
        return;
    }
    RenderNode node;
    node.name = kCarriedFlagNode;
    node.offset = kCarriedFlagOffset;
    addFlagBillboard(node, flagTeam);
    component->root.children.push_back(std::move(node));
}

void detachCarriedFlagRenderable(Entity carrier) {
    ComponentHandle<RenderComponent> component = carrier.manager()->component<RenderComponent>(carrier.id());
    if (!component) {
        return;
    }
    std::vector<RenderNode>& children = component->root.children;
    for (auto child = children.begin(); child != children.end(); ++child) {
        if (child->name == kCarriedFlagNode) {
            children.erase(child);
            return;
        }
    }
}

void attachLightningRenderable(Entity link, const glm::vec3& from, const glm::vec3& to,
                               const glm::vec3& fromOffset, const glm::vec3& toOffset) {
    if (RenderComponent* component = freshComponent(link, kLightningRadius)) {
        addEntry(component->root, {kEffectDrawClass, "StandardStatic", nullptr, "Lightning"},
                 std::make_shared<procedural::LinkMeshInstance>(from, fromOffset, to, toOffset));
    }
}

namespace {
void addParticleEffect(RenderNode& node, uint32_t drawClass, const char* effect) {
    addEntry(node, {drawClass, "Particle", nullptr, effect}, ParticleEffectLibrary::instance().create(effect));
}

void stopParticleEmitters(RenderNode& node) {
    for (RenderEntry& entry : node.entries) {
        if (const auto particles = std::dynamic_pointer_cast<ParticleSystemInstance>(entry.renderable)) {
            particles->stopEmitting();
        }
    }
    for (RenderNode& child : node.children) {
        stopParticleEmitters(child);
    }
}
}  // namespace

void attachFireballRenderables(Entity fireball) {
    if (RenderComponent* component = freshComponent(fireball, kFireballRadius)) {
        addParticleEffect(component->root, kEffectDrawClass, "Flame");
        addParticleEffect(component->root, kEffectDrawClass, "Ember");
    }
}

void attachExplosionRenderables(Entity explosion) {
    if (RenderComponent* component = freshComponent(explosion, kExplosionRadius)) {
        addParticleEffect(component->root, kEffectDrawClass, "Explosion");
        addParticleEffect(component->root, kEffectDrawClass, "Spark");
        addParticleEffect(component->root, kPressureWaveDrawClass, "PressureWave");
    }
}

void stopFireballEmission(Entity fireball) {
    if (!fireball.valid()) {
        return;
    }
    if (const auto render = fireball.manager()->component<RenderComponent>(fireball.id())) {
        stopParticleEmitters(render->root);
    }
}
