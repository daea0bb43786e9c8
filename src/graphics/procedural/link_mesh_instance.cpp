#include "graphics/procedural/link_mesh_instance.h"

#include <GL/glew.h>

#include <cmath>
#include <glm/geometric.hpp>

#include "graphics/resources/shader_program.h"
#include "graphics/vertex_attributes.h"

namespace procedural {
namespace {
constexpr float kHalfWidth = 3.0f;
constexpr float kRiseEnd = 0.06f;
constexpr float kFadeStart = 0.12f;
constexpr float kFadeLength = 0.2f;

// Half the ribbon's width across the link, horizontal. A link with no
// horizontal extent (its ends one above the other, or equal) has no
// direction across it; it is laid along x then rather than made of NaNs.
glm::vec3 across(const glm::vec3& a, const glm::vec3& b) {
    const glm::vec3 side = glm::cross(b - a, glm::vec3(0.0f, 1.0f, 0.0f));
    const float length = glm::length(side);
    if (!(length > 1e-6f)) {
        return glm::vec3(0.0f, 0.0f, kHalfWidth);
    }
    return side / length * kHalfWidth;
}
}  // namespace

LinkMeshInstance::LinkMeshInstance(const glm::vec3& from, const glm::vec3& fromOffset, const glm::vec3& to,
                                   const glm::vec3& toOffset)
    : MeshInstance(nullptr), from(from), to(to), fromOffset(fromOffset), toOffset(toOffset) {
    const glm::vec3 a = from + fromOffset;
    const glm::vec3 b = to + toOffset;
    const glm::vec3 s = across(a, b);
    vertices.positions[0] = a + s;
    vertices.positions[1] = b + s;
    vertices.positions[2] = b - s;
    vertices.positions[3] = a - s;
    vertices.texCoords[0] = glm::vec2(1.0f, 0.0f);
    vertices.texCoords[1] = glm::vec2(1.0f, 1.0f);
    vertices.texCoords[2] = glm::vec2(0.0f, 1.0f);
    vertices.texCoords[3] = glm::vec2(0.0f, 0.0f);
    const float b0 = brightness(0.0f);
    for (glm::vec4& color : vertices.colors) {
        color = glm::vec4(b0, b0, b0, 1.0f);
    }
}

LinkMeshInstance::~LinkMeshInstance() {
    if (vertexBuffer != 0) {
        glDeleteBuffers(1, &vertexBuffer);
    }
}

float LinkMeshInstance::brightness(float t) {
    if (t <= kRiseEnd) {
        // Before the start (a negative age) it is dark, not a negative cube.
        if (t <= 0.0f) {
            return 0.0f;
        }
        const float rise = t / kRiseEnd;
        return rise * rise * rise;
    }
    if (t < kFadeStart) {
        return 1.0f;
    }
    if (t <= kFadeStart + kFadeLength) {
        const float left = 1.0f - (t - kFadeStart) / kFadeLength;
        return std::pow(left > 0.0f ? left : 0.0f, 0.6f);
    }
    return 0.0f;
}

void LinkMeshInstance::update(Entity, double dt) {
    elapsed += static_cast<float>(dt);
    const float b = brightness(elapsed);
    for (glm::vec4& color : vertices.colors) {
        color = glm::vec4(b, b, b, 1.0f);
    }
}

void LinkMeshInstance::setupVertexAttributes(ShaderProgram& program) {
    if (vertexBuffer == 0) {
        glGenBuffers(1, &vertexBuffer);
    }
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    using vertex_attributes::pointFloats;
    pointFloats(program, VertexAttribute::ms_Position, 3, 0, offsetof(LinkVertexBlock, positions));
    pointFloats(program, VertexAttribute::ts_TexCoord, 2, 0, offsetof(LinkVertexBlock, texCoords));
    pointFloats(program, VertexAttribute::Color, 4, 0, offsetof(LinkVertexBlock, colors));
}

void LinkMeshInstance::draw(ShaderProgram& program) {
    bindVertexArray(program);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof vertices, &vertices, GL_DYNAMIC_DRAW);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
}

}  // namespace procedural
