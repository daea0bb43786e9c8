#include "graphics/billboard.h"

#include <GL/glew.h>

#include "graphics/resources/shader_program.h"
#include "graphics/vertex_attributes.h"

void Billboard::setupVertexAttributes(ShaderProgram& program) {
    if (streamBuffer == 0) {
        glGenBuffers(1, &streamBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, streamBuffer);
        glBufferData(GL_ARRAY_BUFFER, sizeof(BillboardVertexBlock), nullptr, GL_STREAM_DRAW);
    }
    glBindBuffer(GL_ARRAY_BUFFER, streamBuffer);
    using vertex_attributes::pointFloats;
    pointFloats(program, VertexAttribute::Color, 4, 0, offsetof(BillboardVertexBlock, colors));
    pointFloats(program, VertexAttribute::ms_Position, 3, 0, offsetof(BillboardVertexBlock, positions));
    pointFloats(program, VertexAttribute::ts_TexCoord, 2, 0, offsetof(BillboardVertexBlock, texCoords));
}

BillboardVertexBlock Billboard::vertexBlock() const {
    BillboardVertexBlock block;
    for (glm::vec4& corner : block.colors) {
        corner = color;
    }
    block.positions[0] = glm::vec3(rect.x, rect.y, 0.0f);
    block.positions[1] = glm::vec3(rect.z, rect.y, 0.0f);
    block.positions[2] = glm::vec3(rect.x, rect.w, 0.0f);
    block.positions[3] = glm::vec3(rect.z, rect.w, 0.0f);
    block.texCoords[0] = glm::vec2(texRect.x, texRect.y);
    block.texCoords[1] = glm::vec2(texRect.z, texRect.y);
    block.texCoords[2] = glm::vec2(texRect.x, texRect.w);
    block.texCoords[3] = glm::vec2(texRect.z, texRect.w);
    return block;
}

void Billboard::draw(ShaderProgram& program) {
    bindVertexArray(program);
    const BillboardVertexBlock block = vertexBlock();
    // The array buffer binding is not part of the vertex array.
    glBindBuffer(GL_ARRAY_BUFFER, streamBuffer);
    glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof block, &block);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void Billboard::releaseSharedBuffer() {
    if (streamBuffer != 0) {
        glDeleteBuffers(1, &streamBuffer);
        streamBuffer = 0;
    }
}
