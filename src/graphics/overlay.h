#pragma once
// A textured rectangle lying flat on the screen, in normalised device
// coordinates (-1 to 1 on both axes, y up), drawn with the "Overlay" program.
// The pieces of the heads-up display and the help screen are overlays.
#include <glm/vec4.hpp>

#include "graphics/renderable.h"

class Overlay : public Renderable {
  public:
    Overlay() = default;

    // On the first call ever, creates the 96-byte vertex buffer every overlay
    // shares; points the program's colour (one value per instance), position
    // and texture coordinate inputs into it.
    void setupVertexAttributes(ShaderProgram& program) override;
    // Uploads this overlay's rectangle into the shared buffer and draws it as
    // a triangle strip. The program must be current and the material applied.
    void draw(ShaderProgram& program) override;

    // Minimum x, minimum y, maximum x, maximum y in NDC.
    glm::vec4 rect{-0.5f, -0.5f, 0.5f, 0.5f};
    // Minimum u, minimum v, maximum u, maximum v.
    glm::vec4 texRect{0.0f, 0.0f, 1.0f, 1.0f};
    glm::vec4 color{1.0f, 1.0f, 1.0f, 1.0f};
};

// The rectangle in NDC of the pixel rectangle x0..x1, y0..y1 (origin at the
// bottom-left corner) in a window of width x height pixels (both positive).
glm::vec4 pixelRectToNdc(float x0, float y0, float x1, float y1, float width, float height);
