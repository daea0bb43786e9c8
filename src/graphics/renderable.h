#pragma once
// Anything the render processor can draw with a shader program. Renderables
// are shared by the render entries that use them; each keeps one vertex array
// per shader program, made on first use, so switching between a main and a
// shadow program costs no attribute setup after the first frame.
#include <cstdint>
#include <string>
#include <vector>

#include "entities/entity.h"
#include "utils/non_copyable.h"

class ShaderProgram;

class Renderable : private NonCopyable {
public:
    // Describes the renderable's vertex buffers to the vertex array object
    // that is bound.
    virtual void setupVertexAttributes(ShaderProgram& program) = 0;
    // Deletes every vertex array the renderable created; needs the OpenGL
    // context that made them to be current.
    virtual ~Renderable();
    virtual void draw(ShaderProgram& program) = 0;
    // Advances an animation (skeletal meshes); nothing by default.
    virtual void animate(const std::string& animationName, float time, double dt);
    // Per-frame update of the entity's renderable (effects); nothing by default.
    virtual void update(Entity entity, double dt);

protected:
    Renderable() = default;
    // Binds the program's vertex array, creating and describing it first when
    // this program has none yet. Every draw begins with it.
    void bindVertexArray(ShaderProgram& program);

    static constexpr uint32_t kNoVertexArray = 0xffffffffu;
    std::vector<uint32_t> vertexArrays;  // indexed by ShaderProgram::id()
};
