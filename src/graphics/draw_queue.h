#pragma once
// What the render processor draws in one frame: one item per render entry of
// every visible entity, in the order all passes take them.
#include <cstdint>
#include <glm/vec3.hpp>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "entities/entity.h"
#include "graphics/view_state.h"

class EntityManager;
class Material;
class Renderable;
class ShaderProgram;

// Draw classes the engine uses; only actors and level objects cast shadows.
constexpr uint32_t kShadowCasterClass = 7;

struct DrawItem {
    Entity entity;
    glm::vec3 offset{0.0f};  // sum of the offsets of the entry's node and its ancestors
    uint32_t drawClass = 0;
    ShaderProgram* program = nullptr;
    ShaderProgram* shadowProgram = nullptr;
    Material* material = nullptr;
    std::shared_ptr<Renderable> renderable;
};

// Animation state -> clip name; states without an entry are not animated.
using AnimationNames = std::map<int32_t, std::string>;

// Appends the items of every entity with a render and a transform component
// that passes the frustum test (every entity when culling is off). A visible
// entity with an animation component first has every renderable of its
// render tree animated with the name of its state, its progress and dt;
// a state without a name leaves the pose as it is. Entries without a
// renderable are left out.
void collectDrawItems(EntityManager& entities, const FrustumPlanes& planes, bool frustumCulling,
                      const AnimationNames& animationNames, double dt, std::vector<DrawItem>& items);

// Puts items in drawing order: higher draw class first, and within a class
// higher program names first, so items sharing a program are drawn together;
// within a program, terrain items (a material with a selection map) last.
// Items that compare equal keep their collection order.
void orderDrawItems(std::vector<DrawItem>& items);
