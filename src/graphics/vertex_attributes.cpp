#include "graphics/vertex_attributes.h"

#include <GL/glew.h>

namespace vertex_attributes {
namespace {
const void* byteOffset(std::size_t offset) {
    return reinterpret_cast<const void*>(offset);
}
}  // namespace

int32_t pointFloats(ShaderProgram& program, VertexAttribute attribute, int32_t components, int32_t stride,
                    std::size_t offset) {
    const int32_t location = program.getAttributeLocation(attribute);
    if (location >= 0) {
        const GLuint index = static_cast<GLuint>(location);
        glEnableVertexAttribArray(index);
        glVertexAttribPointer(index, components, GL_FLOAT, GL_FALSE, stride, byteOffset(offset));
    }
    return location;
}

int32_t pointUnsigned(ShaderProgram& program, VertexAttribute attribute, int32_t stride, std::size_t offset) {
    const int32_t location = program.getAttributeLocation(attribute);
    if (location >= 0) {
        const GLuint index = static_cast<GLuint>(location);
        glEnableVertexAttribArray(index);
        glVertexAttribIPointer(index, 1, GL_UNSIGNED_INT, stride, byteOffset(offset));
    }
    return location;
}

int32_t disable(ShaderProgram& program, VertexAttribute attribute) {
    const int32_t location = program.getAttributeLocation(attribute);
    if (location >= 0) {
        glDisableVertexAttribArray(static_cast<GLuint>(location));
    }
    return location;
}

}  // namespace vertex_attributes
