#pragma once
// A flat ribbon between two points, 6 units wide and horizontal: the chain
// lightning. It flashes up, holds and fades out over 0.32 s, driven by the
// render processor's update.
#include <cstddef>
#include <cstdint>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "graphics/mesh_instance.h"

namespace procedural {

// The four vertices as one block, one array per attribute, in fan order
// A + s, B + s, B - s, A - s.
struct LinkVertexBlock {
    glm::vec3 positions[4];
    glm::vec2 texCoords[4];
    glm::vec4 colors[4];
};
static_assert(sizeof(LinkVertexBlock) == 144, "the link block is 144 bytes");
static_assert(offsetof(LinkVertexBlock, positions) == 0 && offsetof(LinkVertexBlock, texCoords) == 48 &&
                  offsetof(LinkVertexBlock, colors) == 80,
              "link block layout");

class LinkMeshInstance : public MeshInstance {
  public:
    // The ribbon runs from A = from + fromOffset to B = to + toOffset, in the
    // model space of its entity; seen from above its front faces up. It
    // starts black. No OpenGL call: the buffer is made on first draw.
    LinkMeshInstance(const glm::vec3& from, const glm::vec3& fromOffset, const glm::vec3& to,
                     const glm::vec3& toOffset);
    ~LinkMeshInstance() override;

    // Position, texture coordinate and colour from the ribbon's own buffer.
    void setupVertexAttributes(ShaderProgram& program) override;
    // Uploads the whole block and draws it as a fan.
    void draw(ShaderProgram& program) override;
    // Ages the ribbon by dt seconds and sets every vertex colour to
    // (b, b, b, 1) with b = brightness(age).
    void update(Entity entity, double dt) override;

    // Brightness at elapsed seconds: (t / 0.06)^3 rising, 1 until 0.12,
    // then (1 - (t - 0.12) / 0.2)^0.6 falling to 0 at 0.32, 0 after.
    static float brightness(float elapsed);

    float getElapsed() const { return elapsed; }
    const LinkVertexBlock& getVertices() const { return vertices; }

    const glm::vec3 from;
    const glm::vec3 to;
    const glm::vec3 fromOffset;
    const glm::vec3 toOffset;

  private:
    LinkVertexBlock vertices;
    float elapsed = 0.0f;
    uint32_t vertexBuffer = 0;
};

}  // namespace procedural
