#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "graphics/text/texture-font.h"

namespace {

const char* const kFontPath = "/usr/share/fonts/truetype/open-sans/OpenSans-Bold.ttf";
const char16_t* const kPreloaded =
    u"0123456789.,!?:; /() [] {}%ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
const char16_t kMissing = 0x4E2D;  // a CJK ideograph, not in Open Sans
const char16_t kEAcute = 0x00E9;   // in the face, not in the preloaded set

// A HUD-sized atlas and font, with the preloaded character set.
class TextureFontTest : public testing::Test {
  protected:
    void SetUp() override {
        atlas_ = texture_atlas_new(512, 512, 1);
        font_ = texture_font_new(atlas_, kFontPath, 18.0f);
        ASSERT_NE(font_, nullptr);
        ASSERT_EQ(texture_font_load_glyphs(font_, kPreloaded), 0u);
    }
    void TearDown() override {
        texture_font_delete(font_);
        texture_atlas_delete(atlas_);
        vector_delete(vertices_);
    }

    texture_glyph_t* glyph(char16_t code) { return texture_font_get_glyph(font_, code); }

    // Lays out in a 2 x 2 pixel window, so that one pixel is one NDC unit and
    // NDC = pixels - 1.
    std::vector<text_vertex_t> layout(const char16_t* text) {
        vector_clear(vertices_);
        const float white[4] = {1, 1, 1, 1};
        const size_t count = texture_font_layout_text(font_, text, 0.0f, 0.0f, 2.0f, 2.0f, white, vertices_);
        EXPECT_EQ(count, vector_size(vertices_));
        const auto* first = static_cast<const text_vertex_t*>(vertices_->items);
        return std::vector<text_vertex_t>(first, first + vector_size(vertices_));
    }

    size_t glyphCount() const { return vector_size(font_->glyphs); }

    texture_atlas_t* atlas_ = nullptr;
    texture_font_t* font_ = nullptr;
    vector_t* vertices_ = vector_new(sizeof(text_vertex_t));
};

std::string captureFontFailure(const char* path) {
    texture_atlas_t* atlas = texture_atlas_new(64, 64, 1);
    testing::internal::CaptureStderr();
    texture_font_t* font = texture_font_new(atlas, path, 18.0f);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(font, nullptr);
    texture_font_delete(font);
    texture_atlas_delete(atlas);
    return errors;
}

}  // namespace

TEST(TextureFont, GivesNoFontForAMissingOrUnreadableFile) {
    EXPECT_NE(captureFontFailure("/nonexistent/DroidSans-Bold.ttf").find("code 0x01) : cannot open resource"),
              std::string::npos);

    const std::string garbage = testing::TempDir() + "not_a_font.ttf";
    std::ofstream(garbage) << "this is not a TrueType face";
    EXPECT_NE(captureFontFailure(garbage.c_str()).find("code 0x02) : unknown file format"),
              std::string::npos);
    std::remove(garbage.c_str());

    texture_atlas_t* atlas = texture_atlas_new(64, 64, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(texture_font_new(atlas, kFontPath, 0.0f), nullptr);
    EXPECT_EQ(texture_font_new(atlas, nullptr, 18.0f), nullptr);
    EXPECT_EQ(texture_font_new(nullptr, kFontPath, 18.0f), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("texture_font_new"), std::string::npos);
    texture_atlas_delete(atlas);
}

TEST(TextureFont, ReadsTheFaceMetricsAtItsSize) {
    texture_atlas_t* atlas = texture_atlas_new(64, 64, 1);
    texture_font_t* font = texture_font_new(atlas, kFontPath, 18.0f);
    ASSERT_NE(font, nullptr);
    EXPECT_FLOAT_EQ(font->size, 18.0f);
    EXPECT_EQ(font->hinting, 1);
    EXPECT_EQ(font->outline_type, 0);
    EXPECT_EQ(font->kerning, 1);
    // Open Sans: ascender 2189, descender -600, line height 2789 units per 2048 em.
    EXPECT_NEAR(font->ascender, 18.0f * 2189 / 2048, 0.1f);
    EXPECT_NEAR(font->descender, -18.0f * 600 / 2048, 0.1f);
    EXPECT_NEAR(font->height, 18.0f * 2789 / 2048, 0.1f);
    EXPECT_FLOAT_EQ(font->linegap, font->height - font->ascender + font->descender);
    // The face's thin underline is clamped to the limits.
    EXPECT_FLOAT_EQ(font->underline_position, -2.0f);
    EXPECT_FLOAT_EQ(font->underline_thickness, 1.0f);
    texture_font_delete(font);
    texture_atlas_delete(atlas);
}

TEST(TextureFont, StartsWithASolidSpecialGlyphSharedByAllOutlines) {
    texture_atlas_t* atlas = texture_atlas_new(64, 64, 1);
    texture_font_t* font = texture_font_new(atlas, kFontPath, 18.0f);
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(vector_size(font->glyphs), 1u);
    texture_glyph_t* special = *static_cast<texture_glyph_t**>(vector_get(font->glyphs, 0));
    EXPECT_EQ(special->charcode, kSpecialGlyphCode);
    // The first region of an empty atlas is at (1, 1): the patch is texel (3, 3).
    EXPECT_FLOAT_EQ(special->s0, 3.0f / 64);
    EXPECT_FLOAT_EQ(special->t0, 3.0f / 64);
    EXPECT_FLOAT_EQ(special->s1, 4.0f / 64);
    EXPECT_FLOAT_EQ(special->t1, 4.0f / 64);
    for (size_t y = 0; y < 6; ++y) {
        for (size_t x = 0; x < 6; ++x) {
            const bool solid = x >= 1 && x <= 4 && y >= 1 && y <= 4;
            EXPECT_EQ(atlas->data[y * 64 + x], solid ? 0xFF : 0x00) << "at " << x << "," << y;
        }
    }
    font->outline_type = 1;
    font->outline_thickness = 1.0f;
    EXPECT_EQ(texture_font_get_glyph(font, kSpecialGlyphCode), special);
    EXPECT_EQ(vector_size(font->glyphs), 1u);
    texture_font_delete(font);
    texture_atlas_delete(atlas);
}

TEST_F(TextureFontTest, LoadsThePreloadedSetOnceWithBitmapsInTheAtlas) {
    const size_t loaded = glyphCount();
    // The special glyph and the 77 distinct characters of the set (the space repeats).
    EXPECT_EQ(loaded, 1u + 77u);
    EXPECT_EQ(texture_font_load_glyphs(font_, kPreloaded), 0u);
    EXPECT_EQ(glyphCount(), loaded);

    const texture_glyph_t* a = glyph(u'A');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->charcode, u'A');
    EXPECT_GT(a->width, 8u);
    EXPECT_GT(a->height, 10u);
    EXPECT_GT(a->advance_x, 10.0f);
    EXPECT_FLOAT_EQ(a->advance_y, 0.0f);
    EXPECT_NEAR(a->offset_y, 13, 1);  // the cap height of an 18-pixel face
    EXPECT_FLOAT_EQ(a->s1 - a->s0, a->width / 512.0f);
    EXPECT_FLOAT_EQ(a->t1 - a->t0, a->height / 512.0f);
    // Its texels are in the atlas where its texture rectangle says.
    const size_t x0 = static_cast<size_t>(a->s0 * 512 + 0.5f), y0 = static_cast<size_t>(a->t0 * 512 + 0.5f);
    unsigned inked = 0;
    for (size_t y = y0; y < y0 + a->height; ++y) {
        for (size_t x = x0; x < x0 + a->width; ++x) {
            inked += atlas_->data[y * 512 + x] > 128;
        }
    }
    EXPECT_GT(inked, a->width * a->height / 4);

    const texture_glyph_t* space = glyph(u' ');
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(space->width, 0u);
    EXPECT_GT(space->advance_x, 3.0f);
}

TEST_F(TextureFontTest, KnowsTheKerningOfPairsTheFaceKerns) {
    // Open Sans Bold kerns "AV" by -2952 and "To" by -5148 in 26.6 at 64 x 72 dpi.
    EXPECT_NEAR(texture_glyph_get_kerning(glyph(u'V'), u'A'), -2952 / 4096.0f, 1e-4f);
    EXPECT_NEAR(texture_glyph_get_kerning(glyph(u'o'), u'T'), -5148 / 4096.0f, 1e-4f);
    EXPECT_FLOAT_EQ(texture_glyph_get_kerning(glyph(u'A'), u'A'), 0.0f);
    EXPECT_FLOAT_EQ(texture_glyph_get_kerning(glyph(u'V'), kMissing), 0.0f);

    // With kerning off the lists stay empty.
    texture_atlas_t* atlas = texture_atlas_new(256, 256, 1);
    texture_font_t* plain = texture_font_new(atlas, kFontPath, 18.0f);
    plain->kerning = 0;
    ASSERT_EQ(texture_font_load_glyphs(plain, u"AV"), 0u);
    EXPECT_FLOAT_EQ(texture_glyph_get_kerning(texture_font_get_glyph(plain, u'V'), u'A'), 0.0f);
    texture_font_delete(plain);
    texture_atlas_delete(atlas);
}

TEST_F(TextureFontTest, LaysOutQuadsFromThePenWithKerningBetweenPairs) {
    const texture_glyph_t* a = glyph(u'A');
    const texture_glyph_t* v = glyph(u'V');
    const float kerning = texture_glyph_get_kerning(v, u'A');
    ASSERT_LT(kerning, -0.5f);

    const std::vector<text_vertex_t> quads = layout(u"AVA");
    ASSERT_EQ(quads.size(), 18u);
    // First quad: A at the pen (NDC -1, -1), top edge at its top bearing, corners in triangle order.
    const float ax0 = -1.0f + a->offset_x, ay0 = -1.0f + a->offset_y;
    const float ax1 = ax0 + a->width, ay1 = ay0 - a->height;
    const float expected[6][4] = {{ax0, ay0, a->s0, a->t0}, {ax0, ay1, a->s0, a->t1},
                                  {ax1, ay0, a->s1, a->t0}, {ax1, ay0, a->s1, a->t0},
                                  {ax0, ay1, a->s0, a->t1}, {ax1, ay1, a->s1, a->t1}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(quads[i].x, expected[i][0]) << "corner " << i;
        EXPECT_FLOAT_EQ(quads[i].y, expected[i][1]) << "corner " << i;
        EXPECT_FLOAT_EQ(quads[i].z, 0.0f);
        EXPECT_FLOAT_EQ(quads[i].s, expected[i][2]) << "corner " << i;
        EXPECT_FLOAT_EQ(quads[i].t, expected[i][3]) << "corner " << i;
        EXPECT_FLOAT_EQ(quads[i].a, 1.0f);
    }
    // V moves left by the kerning, and so does everything after it.
    EXPECT_FLOAT_EQ(quads[6].x, -1.0f + a->advance_x + kerning + v->offset_x);
    EXPECT_FLOAT_EQ(quads[12].x, -1.0f + a->advance_x + kerning + v->advance_x +
                                     texture_glyph_get_kerning(a, u'V') + a->offset_x);

    // Pixels are scaled to the window and the colour is copied to every corner.
    vector_clear(vertices_);
    const float red[4] = {1.0f, 0.0f, 0.0f, 0.5f};
    ASSERT_EQ(texture_font_layout_text(font_, u"A", 20.0f, 40.0f, 800.0f, 600.0f, red, vertices_), 6u);
    const auto* corner = static_cast<const text_vertex_t*>(vector_get(vertices_, 0));
    EXPECT_FLOAT_EQ(corner->x, (20.0f + a->offset_x) * 2.0f / 800.0f - 1.0f);
    EXPECT_FLOAT_EQ(corner->y, 40.0f * 2.0f / 600.0f - 1.0f + a->offset_y * 2.0f / 600.0f);
    EXPECT_FLOAT_EQ(corner->r, 1.0f);
    EXPECT_FLOAT_EQ(corner->g, 0.0f);
    EXPECT_FLOAT_EQ(corner->a, 0.5f);
}

TEST_F(TextureFontTest, SkipsCharactersTheFaceLacksWithoutMovingThePen) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(glyph(kMissing), nullptr);
    const char16_t single[] = {kMissing, 0};
    EXPECT_EQ(texture_font_load_glyphs(font_, single), 1u);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors, "");
    const size_t loaded = glyphCount();

    const char16_t withGap[] = {u'x', kMissing, u'x', 0};
    const std::vector<text_vertex_t> gap = layout(withGap);
    const std::vector<text_vertex_t> plain = layout(u"xx");
    ASSERT_EQ(gap.size(), 12u);
    ASSERT_EQ(plain.size(), 12u);
    for (size_t i = 0; i < gap.size(); ++i) {
        EXPECT_FLOAT_EQ(gap[i].x, plain[i].x) << "vertex " << i;
        EXPECT_FLOAT_EQ(gap[i].y, plain[i].y) << "vertex " << i;
    }
    const char16_t onlyMissing[] = {kMissing, kMissing, 0};
    EXPECT_TRUE(layout(onlyMissing).empty());
    EXPECT_TRUE(layout(u"").empty());
    EXPECT_EQ(glyphCount(), loaded);
}

TEST_F(TextureFontTest, LoadsACharacterOutsideThePreloadedSetOnFirstUse) {
    const size_t loaded = glyphCount();
    const char16_t cafe[] = {u'c', u'a', u'f', kEAcute, 0};
    EXPECT_EQ(layout(cafe).size(), 24u);
    EXPECT_EQ(glyphCount(), loaded + 1);
    const texture_glyph_t* e = glyph(kEAcute);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->charcode, kEAcute);
    EXPECT_GT(e->height, glyph(u'e')->height);  // the accent stands above the e
    // Later uses find the glyph already loaded.
    EXPECT_EQ(layout(cafe).size(), 24u);
    EXPECT_EQ(glyphCount(), loaded + 1);
}

TEST_F(TextureFontTest, KeepsOneGlyphPerOutlineSetting) {
    const texture_glyph_t* plain = glyph(u'O');
    font_->outline_type = 1;
    font_->outline_thickness = 1.0f;
    const texture_glyph_t* outlined = glyph(u'O');
    ASSERT_NE(outlined, nullptr);
    EXPECT_NE(outlined, plain);
    EXPECT_EQ(outlined->outline_type, 1);
    EXPECT_FLOAT_EQ(outlined->outline_thickness, 1.0f);
    // A one-pixel stroke around the outline widens the bitmap by about two pixels.
    EXPECT_GE(outlined->width, plain->width + 1);
    EXPECT_LE(outlined->width, plain->width + 3);
    EXPECT_FLOAT_EQ(outlined->advance_x, plain->advance_x);

    font_->outline_type = 2;
    const texture_glyph_t* outer = glyph(u'O');
    font_->outline_type = 3;
    const texture_glyph_t* inner = glyph(u'O');
    ASSERT_NE(outer, nullptr);
    ASSERT_NE(inner, nullptr);
    EXPECT_GE(outer->width, plain->width);
    EXPECT_LE(inner->width, outer->width);

    font_->outline_type = 0;
    font_->outline_thickness = 0.0f;
    EXPECT_EQ(glyph(u'O'), plain);

    font_->outline_type = 7;
    testing::internal::CaptureStderr();
    EXPECT_EQ(glyph(u'O'), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("unknown outline type 7"), std::string::npos);
}

TEST(TextureFont, SkipsWhatAFullAtlasCannotHoldWithoutOverwriting) {
    texture_atlas_t* atlas = texture_atlas_new(48, 48, 1);
    texture_font_t* font = texture_font_new(atlas, kFontPath, 18.0f);
    ASSERT_NE(font, nullptr);
    testing::internal::CaptureStderr();
    const size_t missed = texture_font_load_glyphs(font, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_GT(missed, 0u);
    EXPECT_LT(missed, 26u);
    EXPECT_NE(errors.find("Texture atlas is full (line "), std::string::npos);
    EXPECT_EQ(vector_size(font->glyphs), 1u + 26u - missed);

    // The loaded glyphs (special one included) have disjoint rectangles inside the border.
    std::vector<const texture_glyph_t*> glyphs;
    for (size_t i = 0; i < vector_size(font->glyphs); ++i) {
        glyphs.push_back(*static_cast<texture_glyph_t**>(vector_get(font->glyphs, i)));
    }
    for (size_t i = 1; i < glyphs.size(); ++i) {
        const texture_glyph_t* g = glyphs[i];
        EXPECT_GT(g->s0, 0.0f);
        EXPECT_GT(g->t0, 0.0f);
        EXPECT_LT(g->s1, 1.0f);
        EXPECT_LT(g->t1, 1.0f);
        for (size_t j = 1; j < i; ++j) {
            const texture_glyph_t* o = glyphs[j];
            const bool apart = g->s1 <= o->s0 || o->s1 <= g->s0 || g->t1 <= o->t0 || o->t1 <= g->t0;
            EXPECT_TRUE(apart) << char(g->charcode) << " overlaps " << char(o->charcode);
        }
    }
    // A character that no longer fits is not drawn, and asking again stays harmless.
    testing::internal::CaptureStderr();
    EXPECT_EQ(texture_font_get_glyph(font, u'W'), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Texture atlas is full"), std::string::npos);
    texture_font_delete(font);
    texture_atlas_delete(atlas);

    // An atlas without room for the special glyph yields no font.
    texture_atlas_t* tiny = texture_atlas_new(6, 6, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(texture_font_new(tiny, kFontPath, 18.0f), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Texture atlas is full"), std::string::npos);
    texture_atlas_delete(tiny);
}

TEST(TextureFont, RendersSubpixelGlyphsIntoAnRgbAtlas) {
    texture_atlas_t* atlas = texture_atlas_new(256, 256, 3);
    texture_font_t* font = texture_font_new(atlas, kFontPath, 18.0f);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(texture_font_load_glyphs(font, u"Ag"), 0u);
    const texture_glyph_t* a = texture_font_get_glyph(font, u'A');
    ASSERT_NE(a, nullptr);
    EXPECT_GT(a->width, 8u);
    EXPECT_LT(a->width, 20u);  // texels, not subpixel bytes
    texture_font_delete(font);
    texture_atlas_delete(atlas);
}
