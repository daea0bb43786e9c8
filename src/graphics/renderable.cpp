#include "graphics/renderable.h"

#include <GL/glew.h>

#include "graphics/resources/shader_program.h"

Renderable::~Renderable() {
    for (uint32_t vertexArray : vertexArrays) {
        if (vertexArray != kNoVertexArray) {
            glDeleteVertexArrays(1, &vertexArray);
        }
    }
}

void Renderable::animate(const std::string&, float, double) {}

void Renderable::update(Entity, double) {}

void Renderable::bindVertexArray(ShaderProgram& program) {
    const uint32_t id = program.id();
    if (vertexArrays.size() <= id) {
        vertexArrays.resize(id + 1, kNoVertexArray);
    }
    if (vertexArrays[id] == kNoVertexArray) {
        GLuint vertexArray = 0;
        glGenVertexArrays(1, &vertexArray);
        glBindVertexArray(vertexArray);
        setupVertexAttributes(program);
        vertexArrays[id] = vertexArray;
    } else {
        glBindVertexArray(vertexArrays[id]);
    }
}
