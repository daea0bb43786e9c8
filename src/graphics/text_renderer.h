#pragma once
// Screen text: a glyph atlas of 512 x 512 coverage texels filled from a
// TrueType face at 18 pixels, and the quads of a string drawn with the
// "Text" program (positions in normalised device coordinates).
//
// A font file that cannot be opened leaves the renderer without a font (one
// error record); it then draws nothing. A full atlas drops the characters
// that do not fit (the atlas module says so on standard error).
#include <cstddef>
#include <cstdint>
#include <glm/vec4.hpp>
#include <string>

#include "graphics/view_state.h"
#include "utils/non_copyable.h"

class ShaderProgram;
struct texture_atlas_t;
struct texture_font_t;
struct vector_t;

class TextRenderer : private NonCopyable {
  public:
    static constexpr float kFontSize = 18.0f;  // pixels
    static constexpr std::size_t kAtlasSize = 512;

    // Needs the OpenGL context current (it makes its vertex array and
    // buffer); preloads digits, letters and common punctuation.
    explicit TextRenderer(const std::string& fontFile);
    // Deletes the atlas texture, the vertex array and the buffer: the context
    // that made them must still be current.
    ~TextRenderer();

    bool hasFont() const { return font != nullptr; }
    // Glyphs in the atlas (each character once per outline setting it was
    // drawn with, and the special glyph); 0 without a font.
    std::size_t glyphCount() const;

    // Colour of the following draws.
    glm::vec4 color{1.0f, 1.0f, 1.0f, 1.0f};
    // Outline of the following draws: 0 plain, 1 stroke, 2 outer border,
    // 3 inner border; thickness in pixels.
    void setOutline(int type, float thickness);
    // Loads the glyphs of every printable ASCII character at these outline
    // settings now, so that drawing with them never loads a glyph (which
    // reopens the face, uploads the whole atlas and rebuilds every glyph's
    // kerning). Leaves the current outline settings as they were.
    void preload(int type, float thickness);

    // Draws UTF-8 text with its baseline starting at pen (x, y) in window
    // pixels from the bottom-left corner. The "Text" program must be current.
    // Returns the number of vertices drawn (six per visible character).
    std::size_t draw(ShaderProgram& program, const std::string& text, float penX, float penY,
                     ScreenSize window);

  private:
    texture_atlas_t* atlas = nullptr;
    texture_font_t* font = nullptr;
    vector_t* vertices = nullptr;  // text_vertex_t, reused by every draw
    uint32_t vertexArray = 0;
    uint32_t vertexBuffer = 0;
    std::size_t bufferVertices = 0;  // capacity of vertexBuffer
    std::u16string codes;            // the drawn line, reused by every draw
};

// UTF-16 of UTF-8 text for the glyph lookup. Characters outside the basic
// plane and malformed bytes become '?'.
std::u16string utf16FromUtf8(const std::string& text);
// The same into `codes`, replacing what it held (and keeping its storage).
void utf16FromUtf8(const std::string& text, std::u16string& codes);
