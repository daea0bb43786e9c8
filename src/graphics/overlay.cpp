#include "graphics/overlay.h"

#include <GL/glew.h>

#include "graphics/resources/shader_program.h"

namespace {
// Colour (4 floats), four positions (3 floats each), four texture coordinates
// (2 floats each), in triangle-strip order.
constexpr GLsizeiptr kBlockBytes = 96;
constexpr GLintptr kPositionOffset = 16;
constexpr GLintptr kTexCoordOffset = 64;

// Shared by every overlay; lives until the program ends.
GLuint sharedBuffer = 0;

void enable(ShaderProgram& program, VertexAttribute attribute, GLint components, GLintptr offset) {
    const GLint location = program.getAttributeLocation(attribute);
    if (location < 0) {
        return;
    }
    glEnableVertexAttribArray(static_cast<GLuint>(location));
    glVertexAttribPointer(static_cast<GLuint>(location), components, GL_FLOAT, GL_FALSE, 0,
                          reinterpret_cast<const void*>(offset));
}
}  // namespace

void Overlay::setupVertexAttributes(ShaderProgram& program) {
    if (sharedBuffer == 0) {
        glGenBuffers(1, &sharedBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, sharedBuffer);
        glBufferData(GL_ARRAY_BUFFER, kBlockBytes, nullptr, GL_DYNAMIC_DRAW);
    }
    glBindBuffer(GL_ARRAY_BUFFER, sharedBuffer);
    enable(program, VertexAttribute::Color, 4, 0);
    const GLint color = program.getAttributeLocation(VertexAttribute::Color);
    if (color >= 0) {
        // One colour for the whole rectangle.
        glVertexAttribDivisor(static_cast<GLuint>(color), 1);
    }
    enable(program, VertexAttribute::ms_Position, 3, kPositionOffset);
    enable(program, VertexAttribute::ts_TexCoord, 2, kTexCoordOffset);
}

void Overlay::draw(ShaderProgram& program) {
    bindVertexArray(program);
    const float block[24] = {
        color.r,   color.g,   color.b,   color.a,  //
        rect.x,    rect.y,    0.0f,      rect.z,    rect.y,    0.0f,      rect.x,    rect.w,
        0.0f,      rect.z,    rect.w,    0.0f,  //
        texRect.x, texRect.y, texRect.z, texRect.y, texRect.x, texRect.w, texRect.z, texRect.w,
    };
    static_assert(sizeof(block) == kBlockBytes, "the overlay block is 96 bytes");
    glBindBuffer(GL_ARRAY_BUFFER, sharedBuffer);
    glBufferSubData(GL_ARRAY_BUFFER, 0, kBlockBytes, block);
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, 1);
}

glm::vec4 pixelRectToNdc(float x0, float y0, float x1, float y1, float width, float height) {
    return glm::vec4(2.0f * x0 / width - 1.0f, 2.0f * y0 / height - 1.0f, 2.0f * x1 / width - 1.0f,
                     2.0f * y1 / height - 1.0f);
}
