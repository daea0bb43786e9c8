#pragma once
// A TrueType face rasterised through FreeType into a glyph atlas, one glyph per
// (character, outline settings), with the kerning between the loaded glyphs.
//
// Character codes are 16-bit (char16_t); strings are zero-terminated char16_t
// strings such as u"Score". The face file is opened and closed again by every
// operation that needs it, so the font holds no FreeType handle between calls.
//
// Errors go to standard error: FreeType failures as
// "FT_Error (line %d, code 0x%02x) : %s", a full atlas as
// "Texture atlas is full (line %d)", misuse as a short line naming the
// function. Running out of memory prints "line %d: No more memory for
// allocating data" and ends the process with exit code 1.
#include <cstddef>

#include "graphics/text/texture-atlas.h"
#include "graphics/text/vector.h"

// The code of the special glyph: a patch of solid texels for drawing lines.
constexpr char16_t kSpecialGlyphCode = 0xFFFF;

struct texture_glyph_kerning_t {
    char16_t charcode;  // the character that precedes this glyph
    float kerning;      // pen shift in pixels (negative: closer)
};

struct texture_glyph_t {
    char16_t charcode;
    unsigned int id;  // FreeType glyph index in the face (0 for the special glyph)
    size_t width;     // bitmap size in texels
    size_t height;
    int offset_x;     // left bearing, pixels
    int offset_y;     // top bearing above the baseline, pixels
    float advance_x;  // pixels
    float advance_y;
    float s0, t0;  // texture rectangle in the atlas, 0..1, (s0, t0) at the top-left texel
    float s1, t1;
    vector_t* kerning;  // texture_glyph_kerning_t, one per preceding character with non-zero kerning
    int outline_type;   // as texture_font_t
    float outline_thickness;
};

struct texture_font_t {
    vector_t* glyphs;         // texture_glyph_t*, owned; the first one is the special glyph
    vector_t* missing;        // char16_t codes the face has no glyph for (looked up once)
    texture_atlas_t* atlas;   // not owned; must outlive the font
    char* filename;           // own copy
    float size;               // pixels
    int hinting;              // 1: FreeType's auto-hinter; 0: no hinting
    int outline_type;         // 0 none, 1 outline stroke, 2 outer border, 3 inner border
    float outline_thickness;  // pixels
    int filtering;            // LCD filtering with lcd_weights (atlas depth 3 only)
    int kerning;              // 0: no kerning is computed
    unsigned char lcd_weights[5];
    float height;  // baseline to baseline, pixels
    float linegap;
    float ascender;
    float descender;
    float underline_position;
    float underline_thickness;
};

// A font of `size` pixels from the face in `filename`, drawing into `atlas`,
// with the special glyph already in the atlas. nullptr (with a message) when
// the file cannot be opened as a face, the size is not positive or the atlas
// has no room for the special glyph.
texture_font_t* texture_font_new(texture_atlas_t* atlas, const char* filename, float size);
// Frees the font and its glyphs (not the atlas); nullptr is ignored.
void texture_font_delete(texture_font_t* self);

// Loads the glyphs of every character in `charcodes` at the current outline
// settings, skipping those already loaded, then uploads the atlas and rebuilds
// the kerning. Returns how many characters could not be loaded (not in the
// face, no room in the atlas, or left when a FreeType error ended the load).
size_t texture_font_load_glyphs(texture_font_t* self, const char16_t* charcodes);

// The glyph of `charcode` at the current outline settings, loading it on first
// use; nullptr when the face lacks it or the atlas is full. The special glyph
// is shared by every outline setting.
texture_glyph_t* texture_font_get_glyph(texture_font_t* self, char16_t charcode);

// The pen shift in pixels between `preceding` and this glyph, 0 when none is known.
float texture_glyph_get_kerning(const texture_glyph_t* self, char16_t preceding);

// One corner of a glyph quad, as the text shader reads it (36 bytes).
struct text_vertex_t {
    float x, y, z;  // normalised device coordinates, z = 0
    float s, t;     // atlas texture coordinate
    float r, g, b, a;
};

// Lays out `text` from the pen (pen_x, pen_y), in window pixels from the
// bottom-left corner on the baseline, for a window of window_width x
// window_height pixels, and appends two triangles (six text_vertex_t) per
// character to `vertices` (a vector of text_vertex_t). Characters outside the
// loaded set are loaded on first use; one without a glyph adds nothing and
// does not move the pen. Kerning against the preceding character shifts the
// glyph and the pen. Returns the number of vertices appended.
size_t texture_font_layout_text(texture_font_t* self, const char16_t* text, float pen_x, float pen_y,
                                float window_width, float window_height, const float color[4],
                                vector_t* vertices);
