// The glyph atlas and font against a real OpenGL context: the texels reach the
// texture, and deleting the atlas releases it.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <vector>

#include "graphics/text/texture-atlas.h"
#include "graphics/text/texture-font.h"

namespace {

std::vector<unsigned char> readAlpha(GLuint texture, int width, int height) {
    std::vector<unsigned char> texels(static_cast<size_t>(width) * height, 0x55);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

}  // namespace

TEST(TextureAtlasUpload, CreatesTheTextureOnceAndSendsEveryTexel) {
    // 13 texels per row: rows are not 4-byte aligned.
    texture_atlas_t* atlas = texture_atlas_new(13, 7, 1);
    const unsigned char patch[6] = {10, 20, 30, 40, 50, 60};
    texture_atlas_set_region(atlas, 2, 3, 3, 2, patch, 3);
    texture_atlas_upload(atlas);
    ASSERT_NE(atlas->id, 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    GLint filter = 0, wrap = 0, alignment = 0;
    glBindTexture(GL_TEXTURE_2D, atlas->id);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(filter, GL_LINEAR);
    EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
    EXPECT_EQ(alignment, 4) << "the unpack alignment is restored";
    EXPECT_EQ(readAlpha(atlas->id, 13, 7), std::vector<unsigned char>(atlas->data, atlas->data + 13 * 7));

    // A second upload reuses the texture and sends the new texels.
    const GLuint id = atlas->id;
    const unsigned char more[2] = {70, 80};
    texture_atlas_set_region(atlas, 8, 1, 2, 1, more, 2);
    texture_atlas_upload(atlas);
    EXPECT_EQ(atlas->id, id);
    EXPECT_EQ(readAlpha(atlas->id, 13, 7), std::vector<unsigned char>(atlas->data, atlas->data + 13 * 7));

    texture_atlas_delete(atlas);
    EXPECT_FALSE(glIsTexture(id));
}

TEST(TextureAtlasUpload, SendsColourAtlasesInTheirOwnLayout) {
    texture_atlas_t* rgb = texture_atlas_new(5, 3, 3);
    const unsigned char pixel[3] = {1, 2, 3};
    texture_atlas_set_region(rgb, 1, 1, 1, 1, pixel, 3);
    texture_atlas_upload(rgb);
    std::vector<unsigned char> texels(5 * 3 * 3, 0x55);
    glBindTexture(GL_TEXTURE_2D, rgb->id);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels, std::vector<unsigned char>(rgb->data, rgb->data + 5 * 3 * 3));
    texture_atlas_delete(rgb);

    texture_atlas_t* bgra = texture_atlas_new(4, 4, 4);
    const unsigned char blue[4] = {200, 0, 0, 255};  // B, G, R, A
    texture_atlas_set_region(bgra, 1, 1, 1, 1, blue, 4);
    texture_atlas_upload(bgra);
    std::vector<unsigned char> rgba(4 * 4 * 4, 0x55);
    glBindTexture(GL_TEXTURE_2D, bgra->id);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const size_t at = (1 * 4 + 1) * 4;
    EXPECT_EQ(rgba[at + 0], 0);
    EXPECT_EQ(rgba[at + 2], 200);
    EXPECT_EQ(rgba[at + 3], 255);
    texture_atlas_delete(bgra);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(TextureAtlasUpload, HoldsTheGlyphsAFontLoads) {
    texture_atlas_t* atlas = texture_atlas_new(512, 512, 1);
    texture_font_t* font =
        texture_font_new(atlas, "/usr/share/fonts/truetype/open-sans/OpenSans-Bold.ttf", 18.0f);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(atlas->id, 0u) << "nothing is uploaded before glyphs are loaded";
    ASSERT_EQ(texture_font_load_glyphs(font, u"Flagstorm"), 0u);
    ASSERT_NE(atlas->id, 0u);
    EXPECT_EQ(readAlpha(atlas->id, 512, 512),
              std::vector<unsigned char>(atlas->data, atlas->data + 512 * 512));
    // A glyph loaded on first use reaches the texture too.
    ASSERT_NE(texture_font_get_glyph(font, u'Q'), nullptr);
    EXPECT_EQ(readAlpha(atlas->id, 512, 512),
              std::vector<unsigned char>(atlas->data, atlas->data + 512 * 512));
    texture_font_delete(font);
    texture_atlas_delete(atlas);
}
