#pragma once
// A quad in the plane z = 0 of model space (flags, health bars). Turning it
// towards the camera is the "Billboard" program's business. All billboards
// stream their four vertices through one small shared buffer.
#include <cstddef>
#include <cstdint>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "graphics/renderable.h"

// The four vertices as the shared buffer holds them, one array per
// attribute; corners in strip order (x0, y0), (x1, y0), (x0, y1), (x1, y1).
struct BillboardVertexBlock {
    glm::vec4 colors[4];
    glm::vec3 positions[4];
    glm::vec2 texCoords[4];
};
static_assert(sizeof(BillboardVertexBlock) == 144, "the billboard block is 144 bytes");
static_assert(offsetof(BillboardVertexBlock, colors) == 0 &&
                  offsetof(BillboardVertexBlock, positions) == 64 &&
                  offsetof(BillboardVertexBlock, texCoords) == 112,
              "billboard block layout");

class Billboard : public Renderable {
  public:
    Billboard() = default;
    explicit Billboard(const glm::vec4& color) : color(color) {}

    // "vIn_Color", "vIn_ms_Position" and "vIn_ts_TexCoord" from the shared
    // buffer, which the first billboard to get here creates.
    void setupVertexAttributes(ShaderProgram& program) override;
    // Streams the block for the current fields and draws it as a strip.
    void draw(ShaderProgram& program) override;

    // The block draw uploads for the current fields.
    BillboardVertexBlock vertexBlock() const;

    // Deletes the shared buffer (the context must be current). Only once
    // every billboard that has drawn is gone: their vertex arrays name it.
    static void releaseSharedBuffer();
    // The shared buffer's name, 0 before the first setup.
    static uint32_t sharedBuffer() { return streamBuffer; }

    glm::vec4 rect{-0.5f, -0.5f, 0.5f, 0.5f};   // x0, y0, x1, y1 in model units
    glm::vec4 texRect{0.0f, 0.0f, 1.0f, 1.0f};  // s0, t0, s1, t1
    glm::vec4 color{1.0f, 1.0f, 1.0f, 1.0f};    // r, g, b, a of all four corners

  private:
    static inline uint32_t streamBuffer = 0;
};
