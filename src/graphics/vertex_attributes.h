#pragma once
// Helpers the renderables use to describe their vertex buffers to the vertex
// array that is bound. Each looks the attribute up in the program (an
// attribute the program lacks gives the program's record once, when the
// vertex array is set up) and returns its location, or -1 when the program
// has none; nothing is pointed at then.
#include <cstddef>
#include <cstdint>

#include "graphics/resources/shader_program.h"

namespace vertex_attributes {

// components floats per vertex at byte offset of the bound GL_ARRAY_BUFFER,
// not normalised, enabled.
int32_t pointFloats(ShaderProgram& program, VertexAttribute attribute, int32_t components, int32_t stride,
                    std::size_t offset);

// One unsigned integer per vertex (glVertexAttribIPointer), enabled.
int32_t pointUnsigned(ShaderProgram& program, VertexAttribute attribute, int32_t stride, std::size_t offset);

// Disabled: the shader reads the attribute's current constant value instead.
int32_t disable(ShaderProgram& program, VertexAttribute attribute);

}  // namespace vertex_attributes
