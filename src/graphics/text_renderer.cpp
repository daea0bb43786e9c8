#include "graphics/text_renderer.h"

#include <GL/glew.h>

#include "graphics/resources/shader_program.h"
#include "graphics/text/texture-atlas.h"
#include "graphics/text/texture-font.h"
#include "graphics/text/vector.h"
#include "utils/log.h"

namespace {
const char16_t* const kPreloadedCharacters =
    u"0123456789.,!?:; /() [] {}%ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Every printable ASCII character, for the preloads of other outline settings.
const char16_t* const kPrintableAscii =
    u" !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";

constexpr GLsizei kVertexStride = sizeof(text_vertex_t);  // 36 bytes

void pointAttribute(ShaderProgram& program, VertexAttribute attribute, GLint components, std::size_t offset) {
    const GLint location = program.getAttributeLocation(attribute);
    if (location < 0) {
        return;
    }
    glEnableVertexAttribArray(static_cast<GLuint>(location));
    glVertexAttribPointer(static_cast<GLuint>(location), components, GL_FLOAT, GL_FALSE, kVertexStride,
                          reinterpret_cast<const void*>(offset));
}
}  // namespace

TextRenderer::TextRenderer(const std::string& fontFile) {
    atlas = texture_atlas_new(kAtlasSize, kAtlasSize, 1);
    font = texture_font_new(atlas, fontFile.c_str(), kFontSize);
    if (font == nullptr) {
        LOG(error) << "Font could not be loaded, the HUD shows no text: \"" << fontFile << "\"!";
    } else {
        texture_font_load_glyphs(font, kPreloadedCharacters);
    }
    vertices = vector_new(sizeof(text_vertex_t));
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(1, &vertexBuffer);
}

TextRenderer::~TextRenderer() {
    texture_font_delete(font);
    texture_atlas_delete(atlas);
    vector_delete(vertices);
    glDeleteBuffers(1, &vertexBuffer);
    glDeleteVertexArrays(1, &vertexArray);
}

void TextRenderer::setOutline(int type, float thickness) {
    if (font != nullptr) {
        font->outline_type = type;
        font->outline_thickness = thickness;
    }
}

std::size_t TextRenderer::glyphCount() const {
    return font != nullptr ? vector_size(font->glyphs) : 0;
}

void TextRenderer::preload(int type, float thickness) {
    if (font == nullptr) {
        return;
    }
    const int type0 = font->outline_type;
    const float thickness0 = font->outline_thickness;
    setOutline(type, thickness);
    texture_font_load_glyphs(font, kPrintableAscii);
    setOutline(type0, thickness0);
}

std::size_t TextRenderer::draw(ShaderProgram& program, const std::string& text, float penX, float penY,
                               ScreenSize window) {
    if (font == nullptr || text.empty() || !window.hasArea()) {
        return 0;
    }
    vector_clear(vertices);
    utf16FromUtf8(text, codes);
    const float rgba[4] = {color.r, color.g, color.b, color.a};
    const std::size_t count =
        texture_font_layout_text(font, codes.c_str(), penX, penY, static_cast<float>(window.width),
                                 static_cast<float>(window.height), rgba, vertices);
    if (count == 0) {
        return 0;
    }

    // Glyphs loaded on first use may have been added to the atlas by the
    // layout: bind the texture only now.
    program.setUniform(Uniform::DiffuseAlphaMap, static_cast<uint32_t>(atlas->id));
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    pointAttribute(program, VertexAttribute::ms_Position, 3, 0);
    pointAttribute(program, VertexAttribute::ts_TexCoord, 2, 12);
    pointAttribute(program, VertexAttribute::Color, 4, 20);
    if (bufferVertices < count) {
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(text_vertex_t)), nullptr,
                     GL_DYNAMIC_DRAW);
        bufferVertices = count;
    }
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Text lies over everything, whatever depth state the last material left.
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_ALWAYS);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count * sizeof(text_vertex_t)),
                    vector_get(vertices, 0));
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(count));
    return count;
}

std::u16string utf16FromUtf8(const std::string& text) {
    std::u16string result;
    utf16FromUtf8(text, result);
    return result;
}

void utf16FromUtf8(const std::string& text, std::u16string& result) {
    result.clear();
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        }
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Outside the basic plane, surrogates, and the special glyph's code stand as '?'.
        if (!valid || code > 0xFFFD || (code >= 0xD800 && code <= 0xDFFF)) {
            result.push_back(u'?');
            i += valid ? length : 1;
            continue;
        }
        result.push_back(static_cast<char16_t>(code));
        i += length;
    }
}
