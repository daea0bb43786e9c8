#include "graphics/draw_queue.h"

#include <algorithm>
#include <cmath>

#include "entities/entity_manager.h"
#include "game/components.h"
#include "graphics/renderable.h"
#include "graphics/resources/material.h"
#include "graphics/resources/shader_program.h"

namespace {
void animateTree(const RenderNode& node, const std::string& name, float progress, double dt) {
    for (const RenderEntry& entry : node.entries) {
        if (entry.renderable) {
            entry.renderable->animate(name, progress, dt);
        }
    }
    for (const RenderNode& child : node.children) {
        animateTree(child, name, progress, dt);
    }
}

void appendItems(Entity entity, const RenderNode& node, const glm::vec3& parentOffset,
                 std::vector<DrawItem>& items) {
    const glm::vec3 offset = parentOffset + node.offset;
    for (const RenderEntry& entry : node.entries) {
        if (!entry.renderable) {
            continue;
        }
        items.push_back(DrawItem{entity, offset, entry.drawClass, entry.program, entry.shadowProgram,
                                 entry.material, entry.renderable});
    }
    for (const RenderNode& child : node.children) {
        appendItems(entity, child, offset, items);
    }
}

float largestScale(const glm::vec3& scale) {
    return std::max({std::fabs(scale.x), std::fabs(scale.y), std::fabs(scale.z)});
}

uint32_t programName(const DrawItem& item) {
    return item.program != nullptr ? item.program->id() : 0;
}

// A terrain material blends layers by a selection map.
bool isTerrain(const DrawItem& item) {
    return item.material != nullptr && item.material->selectionSampler.has_value();
}
}  // namespace

void collectDrawItems(EntityManager& entities, const FrustumPlanes& planes, bool frustumCulling,
                      const AnimationNames& animationNames, double dt, std::vector<DrawItem>& items) {
    ComponentHandle<RenderComponent> render;
    ComponentHandle<TransformComponent> transform;
    for (Entity entity : entities.query(render, transform)) {
        if (frustumCulling) {
            const float radius = render->boundingRadius * largestScale(transform->scale);
            if (!sphereInFrustum(planes, transform->position, radius)) {
                continue;
            }
        }
        if (const ComponentHandle<AnimationComponent> animation =
                entities.component<AnimationComponent>(entity.id())) {
            const auto name = animationNames.find(animation->state);
            if (name != animationNames.end()) {
                animateTree(render->root, name->second, animation->progress, dt);
            }
        }
        appendItems(entity, render->root, glm::vec3(0.0f), items);
    }
}

void orderDrawItems(std::vector<DrawItem>& items) {
    std::stable_sort(items.begin(), items.end(), [](const DrawItem& a, const DrawItem& b) {
        if (a.drawClass != b.drawClass) {
            return a.drawClass > b.drawClass;
        }
        if (programName(a) != programName(b)) {
            return programName(a) > programName(b);
        }
        // The ground after what stands on it: the depth test then spares the
        // ground's shading wherever something covers it.
        return !isTerrain(a) && isTerrain(b);
    });
}
