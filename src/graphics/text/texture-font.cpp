#include "graphics/text/texture-font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_LCD_FILTER_H
#include FT_STROKER_H

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kHorizontalResolution = 64;  // horizontal oversampling of the face (1/64-pixel metrics)

// FreeType keeps its error texts only when built with them; take them from its error list.
const char* freeTypeErrorText(FT_Error error) {
    switch (error) {
// clang-format off
#undef FTERRORS_H_
#define FT_ERROR_START_LIST
#define FT_ERRORDEF(e, v, s) case v: return s;
#define FT_ERROR_END_LIST
#include FT_ERRORS_H
        // clang-format on
        default:
            return "unknown error";
    }
}

[[noreturn]] void outOfMemory(int line) {
    std::fprintf(stderr, "line %d: No more memory for allocating data\n", line);
    std::exit(EXIT_FAILURE);
}

void printFreeTypeError(int line, FT_Error error) {
    std::fprintf(stderr, "FT_Error (line %d, code 0x%02x) : %s\n", line, static_cast<unsigned>(error),
                 freeTypeErrorText(error));
}

void printAtlasFull(int line) {
    std::fprintf(stderr, "Texture atlas is full (line %d)\n", line);
}

// The library and face of one operation, released when it ends.
struct FaceHandle {
    FT_Library library = nullptr;
    FT_Face face = nullptr;

    FaceHandle() = default;
    FaceHandle(const FaceHandle&) = delete;
    FaceHandle& operator=(const FaceHandle&) = delete;
    ~FaceHandle() {
        if (face != nullptr) {
            FT_Done_Face(face);
        }
        if (library != nullptr) {
            FT_Done_FreeType(library);
        }
    }
};

// Opens face 0 of `filename` at `size` pixels with the Unicode map. With
// `oversampled` the horizontal resolution is 64 times the vertical one and a
// transform scales x back by 1/64: outlines keep their shape while horizontal
// metrics gain 1/64-pixel precision. Prints the FreeType error and answers
// false on failure.
bool openFace(const char* filename, float size, bool oversampled, FaceHandle& handle) {
    FT_Error error = FT_Init_FreeType(&handle.library);
    if (error) {
        printFreeTypeError(__LINE__, error);
        return false;
    }
    error = FT_New_Face(handle.library, filename, 0, &handle.face);
    if (error) {
        printFreeTypeError(__LINE__, error);
        return false;
    }
    error = FT_Select_Charmap(handle.face, FT_ENCODING_UNICODE);
    if (error) {
        printFreeTypeError(__LINE__, error);
        return false;
    }
    const FT_UInt horizontalResolution = oversampled ? 72 * kHorizontalResolution : 72;
    error = FT_Set_Char_Size(handle.face, static_cast<FT_F26Dot6>(size * 64), 0, horizontalResolution, 72);
    if (error) {
        printFreeTypeError(__LINE__, error);
        return false;
    }
    if (oversampled) {
        FT_Matrix matrix = {static_cast<FT_Fixed>((1.0 / kHorizontalResolution) * 0x10000L), 0, 0, 0x10000L};
        FT_Set_Transform(handle.face, &matrix, nullptr);
    }
    return true;
}

size_t length(const char16_t* text) {
    size_t count = 0;
    while (text[count] != 0) {
        ++count;
    }
    return count;
}

texture_glyph_t* glyphAt(const texture_font_t* self, size_t index) {
    return *static_cast<texture_glyph_t**>(vector_get(self->glyphs, index));
}

texture_glyph_t* newGlyph() {
    texture_glyph_t* glyph = static_cast<texture_glyph_t*>(std::calloc(1, sizeof(texture_glyph_t)));
    if (glyph == nullptr) {
        outOfMemory(__LINE__);
    }
    glyph->kerning = vector_new(sizeof(texture_glyph_kerning_t));
    return glyph;
}

void deleteGlyph(texture_glyph_t* glyph) {
    vector_delete(glyph->kerning);
    std::free(glyph);
}

// The stored glyph of `charcode` at the font's current outline settings; the
// special glyph matches any setting.
texture_glyph_t* findGlyph(const texture_font_t* self, char16_t charcode) {
    for (size_t i = 0; i < vector_size(self->glyphs); ++i) {
        texture_glyph_t* glyph = glyphAt(self, i);
        if (glyph->charcode != charcode) {
            continue;
        }
        if (charcode == kSpecialGlyphCode || (glyph->outline_type == self->outline_type &&
                                              glyph->outline_thickness == self->outline_thickness)) {
            return glyph;
        }
    }
    return nullptr;
}

bool knownMissing(const texture_font_t* self, char16_t charcode) {
    for (size_t i = 0; i < vector_size(self->missing); ++i) {
        if (*static_cast<const char16_t*>(vector_get(self->missing, i)) == charcode) {
            return true;
        }
    }
    return false;
}

texture_glyph_t* createSpecialGlyph(texture_font_t* self) {
    texture_atlas_t* atlas = self->atlas;
    const texture_atlas_region_t region = texture_atlas_get_region(atlas, 5, 5);
    if (region.x < 0) {
        printAtlasFull(__LINE__);
        return nullptr;
    }
    unsigned char solid[4 * 4 * 4];
    std::memset(solid, 0xFF, sizeof(solid));
    texture_atlas_set_region(atlas, region.x, region.y, 4, 4, solid, 4 * atlas->depth);

    texture_glyph_t* glyph = newGlyph();
    glyph->charcode = kSpecialGlyphCode;
    const float width = static_cast<float>(atlas->width);
    const float height = static_cast<float>(atlas->height);
    glyph->s0 = (region.x + 2) / width;
    glyph->t0 = (region.y + 2) / height;
    glyph->s1 = (region.x + 3) / width;
    glyph->t1 = (region.y + 3) / height;
    vector_push_back(self->glyphs, &glyph);
    return glyph;
}

// Copies a rendered bitmap of width x rows texels into the atlas, top row first
// whatever the bitmap's row order.
void copyBitmap(texture_atlas_t* atlas, const texture_atlas_region_t& region, const FT_Bitmap& bitmap,
                size_t width) {
    const size_t rows = bitmap.rows;
    if (width == 0 || rows == 0) {
        return;
    }
    if (bitmap.pitch >= 0) {
        texture_atlas_set_region(atlas, region.x, region.y, width, rows, bitmap.buffer,
                                 static_cast<size_t>(bitmap.pitch));
        return;
    }
    // An upward bitmap: the top row is the last one in memory.
    const size_t pitch = static_cast<size_t>(-static_cast<long>(bitmap.pitch));
    const size_t rowBytes = width * atlas->depth;
    if (rowBytes > pitch) {
        std::fprintf(stderr, "texture_font_load_glyphs: bitmap rows of %zu bytes hold no %zu texels\n", pitch,
                     width);
        return;
    }
    unsigned char* flipped = static_cast<unsigned char*>(std::malloc(rowBytes * rows));
    if (flipped == nullptr) {
        outOfMemory(__LINE__);
    }
    for (size_t row = 0; row < rows; ++row) {
        std::memcpy(flipped + row * rowBytes, bitmap.buffer + (rows - 1 - row) * pitch, rowBytes);
    }
    texture_atlas_set_region(atlas, region.x, region.y, width, rows, flipped, rowBytes);
    std::free(flipped);
}

// Kerning of every loaded glyph against every loaded glyph as its predecessor
// (the special glyph takes no part).
void rebuildKerning(texture_font_t* self, FT_Face face) {
    const size_t count = vector_size(self->glyphs);
    for (size_t i = 1; i < count; ++i) {
        texture_glyph_t* glyph = glyphAt(self, i);
        vector_clear(glyph->kerning);
        if (!self->kerning || !FT_HAS_KERNING(face)) {
            continue;
        }
        for (size_t j = 1; j < count; ++j) {
            const texture_glyph_t* preceding = glyphAt(self, j);
            FT_Vector kerning = {0, 0};
            if (FT_Get_Kerning(face, preceding->id, glyph->id, FT_KERNING_UNFITTED, &kerning) != 0) {
                continue;
            }
            if (kerning.x != 0) {
                // 26.6 units at 64 times the horizontal resolution.
                const texture_glyph_kerning_t entry = {
                    preceding->charcode, kerning.x / static_cast<float>(64 * kHorizontalResolution)};
                vector_push_back(glyph->kerning, &entry);
            }
        }
    }
}

enum class LoadResult { kLoaded, kMissed, kFailed };

// Renders one character into the atlas and appends its glyph.
LoadResult loadGlyph(texture_font_t* self, FaceHandle& handle, char16_t charcode) {
    texture_atlas_t* atlas = self->atlas;
    FT_Library library = handle.library;
    FT_Face face = handle.face;

    const FT_UInt index = FT_Get_Char_Index(face, charcode);
    if (index == 0) {
        // The face has no such character: remember it so that drawing it again costs nothing.
        vector_push_back(self->missing, &charcode);
        return LoadResult::kMissed;
    }

    FT_Int32 flags = self->outline_type == 0 ? FT_LOAD_RENDER : FT_LOAD_NO_BITMAP;
    flags |= self->hinting ? FT_LOAD_FORCE_AUTOHINT : (FT_LOAD_NO_HINTING | FT_LOAD_NO_AUTOHINT);
    if (atlas->depth == 3) {
        // Without subpixel support in FreeType these answer an error and the bitmap stays grey.
        FT_Library_SetLcdFilter(library, FT_LCD_FILTER_LIGHT);
        flags |= FT_LOAD_TARGET_LCD;
        if (self->filtering) {
            FT_Library_SetLcdFilterWeights(library, self->lcd_weights);
        }
    }

    FT_Error error = FT_Load_Glyph(face, index, flags);
    if (error) {
        printFreeTypeError(__LINE__, error);
        return LoadResult::kFailed;
    }

    FT_Glyph strokedGlyph = nullptr;
    FT_Stroker stroker = nullptr;
    const FT_Bitmap* bitmap = nullptr;
    int left = 0;
    int top = 0;
    if (self->outline_type == 0) {
        bitmap = &face->glyph->bitmap;
        left = face->glyph->bitmap_left;
        top = face->glyph->bitmap_top;
    } else {
        error = FT_Stroker_New(library, &stroker);
        if (!error) {
            FT_Stroker_Set(stroker, static_cast<FT_Fixed>(self->outline_thickness * 64),
                           FT_STROKER_LINECAP_ROUND, FT_STROKER_LINEJOIN_ROUND, 0);
            error = FT_Get_Glyph(face->glyph, &strokedGlyph);
        }
        if (!error) {
            if (self->outline_type == 1) {
                error = FT_Glyph_Stroke(&strokedGlyph, stroker, 1);
            } else {
                const FT_Bool inside = self->outline_type == 3;
                error = FT_Glyph_StrokeBorder(&strokedGlyph, stroker, inside, 1);
            }
        }
        if (!error) {
            error = FT_Glyph_To_Bitmap(
                &strokedGlyph, atlas->depth == 1 ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_LCD, nullptr, 1);
        }
        if (error) {
            printFreeTypeError(__LINE__, error);
            FT_Done_Glyph(strokedGlyph);
            FT_Stroker_Done(stroker);
            return LoadResult::kFailed;
        }
        const FT_BitmapGlyph bitmapGlyph = reinterpret_cast<FT_BitmapGlyph>(strokedGlyph);
        bitmap = &bitmapGlyph->bitmap;
        left = bitmapGlyph->left;
        top = bitmapGlyph->top;
    }

    LoadResult result = LoadResult::kLoaded;
    // Only one byte per sample can be copied; a monochrome or colour strike is unusable here.
    if (bitmap->pixel_mode != FT_PIXEL_MODE_GRAY && bitmap->pixel_mode != FT_PIXEL_MODE_LCD &&
        bitmap->rows > 0 && bitmap->width > 0) {
        std::fprintf(stderr, "texture_font_load_glyphs: character 0x%04x has pixel mode %d\n",
                     static_cast<unsigned>(charcode), static_cast<int>(bitmap->pixel_mode));
        result = LoadResult::kMissed;
    }
    const size_t width = bitmap->width / atlas->depth;
    const size_t height = bitmap->rows;
    texture_atlas_region_t region = {-1, -1, 0, 0};
    if (result == LoadResult::kLoaded) {
        // One spare texel to the right and below keeps neighbours apart.
        region = texture_atlas_get_region(atlas, width + 1, height + 1);
        if (region.x < 0) {
            printAtlasFull(__LINE__);
            result = LoadResult::kMissed;
        }
    }
    texture_glyph_t* glyph = nullptr;
    if (result == LoadResult::kLoaded) {
        copyBitmap(atlas, region, *bitmap, width);
        glyph = newGlyph();
        glyph->charcode = charcode;
        glyph->id = index;
        glyph->width = width;
        glyph->height = height;
        glyph->offset_x = left;
        glyph->offset_y = top;
        glyph->outline_type = self->outline_type;
        glyph->outline_thickness = self->outline_thickness;
        const float atlasWidth = static_cast<float>(atlas->width);
        const float atlasHeight = static_cast<float>(atlas->height);
        glyph->s0 = region.x / atlasWidth;
        glyph->t0 = region.y / atlasHeight;
        glyph->s1 = (region.x + width) / atlasWidth;
        glyph->t1 = (region.y + height) / atlasHeight;
    }
    FT_Done_Glyph(strokedGlyph);
    FT_Stroker_Done(stroker);
    if (glyph == nullptr) {
        return result;
    }

    // The advance of the unhinted glyph, so that text keeps its designed width.
    error = FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_NO_HINTING);
    if (error) {
        printFreeTypeError(__LINE__, error);
        deleteGlyph(glyph);
        return LoadResult::kFailed;
    }
    glyph->advance_x = face->glyph->advance.x / 64.0f;
    glyph->advance_y = face->glyph->advance.y / 64.0f;
    vector_push_back(self->glyphs, &glyph);
    return LoadResult::kLoaded;
}

}  // namespace

texture_font_t* texture_font_new(texture_atlas_t* atlas, const char* filename, float size) {
    if (atlas == nullptr || filename == nullptr) {
        std::fprintf(stderr, "texture_font_new: no %s given\n", atlas == nullptr ? "atlas" : "file name");
        return nullptr;
    }
    if (!(size > 0.0f) || !std::isfinite(size)) {
        std::fprintf(stderr, "texture_font_new: unusable size %f\n", static_cast<double>(size));
        return nullptr;
    }
    float underlinePosition = 0.0f;
    float underlineThickness = 0.0f;
    float ascender = 0.0f;
    float descender = 0.0f;
    float height = 0.0f;
    {
        // Vertical metrics at a hundred times the size, for precision. Without
        // the horizontal oversampling: 64 x 100 times the size would pass
        // FreeType's limit of 65535 pixels per em.
        FaceHandle handle;
        if (!openFace(filename, size * 100.0f, false, handle)) {
            return nullptr;
        }
        const FT_Face face = handle.face;
        underlinePosition = std::round(face->underline_position / 4096.0f * size);
        if (underlinePosition > -2.0f) {
            underlinePosition = -2.0f;
        }
        underlineThickness = std::round(face->underline_thickness / 4096.0f * size);
        if (underlineThickness < 1.0f) {
            underlineThickness = 1.0f;
        }
        const FT_Size_Metrics& metrics = face->size->metrics;
        ascender = metrics.ascender / 64.0f / 100.0f;
        descender = metrics.descender / 64.0f / 100.0f;
        height = metrics.height / 64.0f / 100.0f;
    }

    texture_font_t* self = static_cast<texture_font_t*>(std::calloc(1, sizeof(texture_font_t)));
    if (self == nullptr) {
        outOfMemory(__LINE__);
    }
    self->glyphs = vector_new(sizeof(texture_glyph_t*));
    self->missing = vector_new(sizeof(char16_t));
    self->atlas = atlas;
    self->filename = strdup(filename);
    if (self->filename == nullptr) {
        outOfMemory(__LINE__);
    }
    self->size = size;
    self->hinting = 1;
    self->outline_type = 0;
    self->outline_thickness = 0.0f;
    self->filtering = 1;
    self->kerning = 1;
    const unsigned char weights[5] = {0x10, 0x40, 0x70, 0x40, 0x10};
    std::memcpy(self->lcd_weights, weights, sizeof(weights));
    self->underline_position = underlinePosition;
    self->underline_thickness = underlineThickness;
    self->ascender = ascender;
    self->descender = descender;
    self->height = height;
    self->linegap = height - ascender + descender;

    if (texture_font_get_glyph(self, kSpecialGlyphCode) == nullptr) {
        texture_font_delete(self);
        return nullptr;
    }
    return self;
}

void texture_font_delete(texture_font_t* self) {
    if (self == nullptr) {
        return;
    }
    for (size_t i = 0; i < vector_size(self->glyphs); ++i) {
        deleteGlyph(glyphAt(self, i));
    }
    vector_delete(self->glyphs);
    vector_delete(self->missing);
    std::free(self->filename);
    std::free(self);
}

size_t texture_font_load_glyphs(texture_font_t* self, const char16_t* charcodes) {
    if (self == nullptr || charcodes == nullptr) {
        std::fprintf(stderr, "texture_font_load_glyphs: no %s given\n",
                     self == nullptr ? "font" : "characters");
        return 0;
    }
    const size_t count = length(charcodes);
    if (self->outline_type < 0 || self->outline_type > 3) {
        std::fprintf(stderr, "texture_font_load_glyphs: unknown outline type %d\n", self->outline_type);
        return count;
    }

    // Open the face only when something is left to load.
    size_t missed = 0;
    bool anyToLoad = false;
    for (size_t i = 0; i < count && !anyToLoad; ++i) {
        const char16_t charcode = charcodes[i];
        anyToLoad = findGlyph(self, charcode) == nullptr && !knownMissing(self, charcode);
    }
    if (!anyToLoad) {
        for (size_t i = 0; i < count; ++i) {
            missed += findGlyph(self, charcodes[i]) == nullptr ? 1 : 0;
        }
        return missed;
    }

    FaceHandle handle;
    if (!openFace(self->filename, self->size, true, handle)) {
        return count;
    }
    bool loadedAny = false;
    for (size_t i = 0; i < count; ++i) {
        const char16_t charcode = charcodes[i];
        if (findGlyph(self, charcode) != nullptr) {
            continue;
        }
        if (knownMissing(self, charcode)) {
            ++missed;
            continue;
        }
        const LoadResult result = loadGlyph(self, handle, charcode);
        if (result == LoadResult::kFailed) {
            missed += count - i;
            break;
        }
        if (result == LoadResult::kMissed) {
            ++missed;
        } else {
            loadedAny = true;
        }
    }
    if (loadedAny) {
        texture_atlas_upload(self->atlas);
        rebuildKerning(self, handle.face);
    }
    return missed;
}

texture_glyph_t* texture_font_get_glyph(texture_font_t* self, char16_t charcode) {
    if (self == nullptr) {
        std::fprintf(stderr, "texture_font_get_glyph: no font given\n");
        return nullptr;
    }
    if (texture_glyph_t* glyph = findGlyph(self, charcode)) {
        return glyph;
    }
    if (charcode == kSpecialGlyphCode) {
        return createSpecialGlyph(self);
    }
    if (charcode == 0) {
        return nullptr;  // the string terminator has no glyph
    }
    const char16_t one[2] = {charcode, 0};
    if (texture_font_load_glyphs(self, one) != 0) {
        return nullptr;
    }
    return findGlyph(self, charcode);
}

float texture_glyph_get_kerning(const texture_glyph_t* self, char16_t preceding) {
    if (self == nullptr) {
        std::fprintf(stderr, "texture_glyph_get_kerning: no glyph given\n");
        return 0.0f;
    }
    for (size_t i = 0; i < vector_size(self->kerning); ++i) {
        const auto* entry = static_cast<const texture_glyph_kerning_t*>(vector_get(self->kerning, i));
        if (entry->charcode == preceding) {
            return entry->kerning;
        }
    }
    return 0.0f;
}

size_t texture_font_layout_text(texture_font_t* self, const char16_t* text, float pen_x, float pen_y,
                                float window_width, float window_height, const float color[4],
                                vector_t* vertices) {
    if (self == nullptr || text == nullptr || vertices == nullptr) {
        std::fprintf(stderr, "texture_font_layout_text: no font, text or vertex vector given\n");
        return 0;
    }
    if (vertices->item_size != sizeof(text_vertex_t)) {
        std::fprintf(stderr, "texture_font_layout_text: vertex vector holds items of %zu bytes\n",
                     vertices->item_size);
        return 0;
    }
    if (!(window_width > 0.0f) || !(window_height > 0.0f)) {
        std::fprintf(stderr, "texture_font_layout_text: unusable window size %f x %f\n",
                     static_cast<double>(window_width), static_cast<double>(window_height));
        return 0;
    }
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float* rgba = color != nullptr ? color : white;
    const float sx = 2.0f / window_width;
    const float sy = 2.0f / window_height;
    float pen = sx * pen_x - 1.0f;
    const float baseline = sy * pen_y - 1.0f;

    size_t appended = 0;
    for (size_t i = 0; text[i] != 0; ++i) {
        const texture_glyph_t* glyph = texture_font_get_glyph(self, text[i]);
        if (glyph == nullptr) {
            continue;
        }
        const float kerning = i > 0 ? texture_glyph_get_kerning(glyph, text[i - 1]) * sx : 0.0f;
        const float x0 = pen + kerning + glyph->offset_x * sx;
        const float y0 = baseline + glyph->offset_y * sy;
        const float x1 = x0 + glyph->width * sx;
        const float y1 = y0 - glyph->height * sy;
        const text_vertex_t quad[6] = {
            {x0, y0, 0.0f, glyph->s0, glyph->t0, rgba[0], rgba[1], rgba[2], rgba[3]},
            {x0, y1, 0.0f, glyph->s0, glyph->t1, rgba[0], rgba[1], rgba[2], rgba[3]},
            {x1, y0, 0.0f, glyph->s1, glyph->t0, rgba[0], rgba[1], rgba[2], rgba[3]},
            {x1, y0, 0.0f, glyph->s1, glyph->t0, rgba[0], rgba[1], rgba[2], rgba[3]},
            {x0, y1, 0.0f, glyph->s0, glyph->t1, rgba[0], rgba[1], rgba[2], rgba[3]},
            {x1, y1, 0.0f, glyph->s1, glyph->t1, rgba[0], rgba[1], rgba[2], rgba[3]},
        };
        vector_push_back_data(vertices, quad, 6);
        appended += 6;
        pen += glyph->advance_x * sx + kerning;
    }
    return appended;
}
