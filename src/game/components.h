#pragma once
// The gameplay components: plain values kept in the entity store's pools.
#include <boost/any.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/vec3.hpp>

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "entities/entity.h"
#include "game/team.h"
#include "mechanics/collision_volume.h"

class ShaderProgram;
class Material;
class Renderable;

enum FlagState : uint8_t { AtBase = 0, Dropped = 1, Carried = 2 };

enum Behaviour : int32_t {
    FlagBehaviour = 0,
    FireballProjectile = 1,
    FireballExplosion = 2,
    CrushingWaveBehaviour = 3,
};

enum CollisionKind : int32_t { EffectKind = 0, ActorKind = 1, StaticKind = 2, FlagKind = 3 };

enum ControlScheme : uint8_t { KeyboardAndMouse = 0 };

enum AiMode : int32_t { Guard = 0, Chase = 1, Reclaim = 2, NoMode = 3 };

enum SkillId : int32_t {
    Fireball = 0,
    ChainLightning = 1,
    CrushingWave = 2,
    Waveform = 3,
    SweepingBlow = 4,
    ShurikenToss = 5,
    ManaBurn = 6,
    Dash = 7,
    Implode = 8,
    Shield = 9,
    Illusion = 10,
    Teleport = 11,
};

enum AnimationState : int32_t {
    Spawn = 0,
    Idle = 1,
    Run = 2,
    FireballWindup = 3,
    FireballBackswing = 4,
    ChainLightningWindup = 5,
    ChainLightningBackswing = 6,
    CrushingWaveWindup = 7,
    CrushingWaveBackswing = 8,
    WaveformWindup = 9,
    WaveformBackswing = 10,
    Dying = 11,
    Dead = 12,
};
constexpr int32_t kAnimationStateCount = 13;

struct TransformComponent {
    glm::vec3 position{0.0f};
    glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};  // identity; glm's constructor order is w, x, y, z
    glm::vec3 scale{1.0f};
};

struct TeamComponent {
    uint8_t team;
};

struct SpeedComponent {
    float speed;  // world units per second
};

struct HealthComponent {
    float current;
    float maximum;
};

struct AnimationComponent {
    int32_t state;
    float progress;  // 0 at the start of the state, 1 at its end
};

struct ActorSkillsComponent {
    struct Slot {
        int32_t skill = Fireball;
        float remaining = 0.0f;  // seconds of cooldown left; 0 is ready
        float cooldown = 0.0f;   // full cooldown in seconds
    };
    std::array<Slot, 4> slots;  // Q, W, E, R
};

struct AiComponent {
    int32_t role = 0;
    int32_t mode = NoMode;
    Entity target;
    float orderTimer = 0.0f;
};

struct BehaviourComponent {
    int32_t behaviour;
};

struct CollisionComponent {
    int32_t kind = ActorKind;
    uint8_t isStatic = 0;
    CollisionVolumeList volumes;       // model space
    CollisionVolumeList worldVolumes;  // filled by the mechanics processor
};

struct FlagComponent {
    uint8_t state;
};

struct ControlSchemeComponent {
    uint8_t scheme;
};

struct LifetimeComponent {
    float age = 0.0f;
    float lifetime = 0.0f;
};

struct PathComponent {
    std::list<glm::vec3> waypoints;  // front is the next point to reach
};

// Holds either an Entity (a chosen victim) or a glm::vec3 (a ground point).
struct SkillCastTargetComponent {
    boost::any target;
};

struct ImmuneSetComponent {
    std::set<Entity> immune;
};

// One drawable of a render node. The program, shadow program and material are
// owned by their registries; the renderable is shared.
struct RenderEntry {
    uint32_t drawClass = 0;
    ShaderProgram* program = nullptr;
    ShaderProgram* shadowProgram = nullptr;  // may be absent
    Material* material = nullptr;
    std::shared_ptr<Renderable> renderable;
};

struct RenderNode {
    glm::vec3 offset{0.0f};  // relative to the parent node (the root: to the entity)
    std::string name;
    std::vector<RenderEntry> entries;
    std::vector<RenderNode> children;
};

struct RenderComponent {
    RenderNode root;
    float boundingRadius = 1.0f;
};
