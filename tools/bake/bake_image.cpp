#include "bake_image.h"

#include <FreeImage.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <algorithm>
#include <boost/filesystem.hpp>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace bake {

Image::Image(int width, int height, const glm::vec4& fill)
    : w(width), h(height), pixels(static_cast<std::size_t>(width) * height, fill) {}

void Image::blend(int x, int y, const glm::vec4& colour) {
    if (x < 0 || y < 0 || x >= w || y >= h) {
        return;
    }
    glm::vec4& target = at(x, y);
    const float alpha = colour.a + target.a * (1.0f - colour.a);
    if (alpha <= 0.0f) {
        target = glm::vec4(0.0f);
        return;
    }
    const glm::vec3 rgb =
        (glm::vec3(colour) * colour.a + glm::vec3(target) * target.a * (1.0f - colour.a)) / alpha;
    target = glm::vec4(rgb, alpha);
}

void Image::paste(const Image& source, int x, int y) {
    for (int sy = 0; sy < source.height(); ++sy) {
        for (int sx = 0; sx < source.width(); ++sx) {
            const int tx = x + sx;
            const int ty = y + sy;
            if (tx >= 0 && ty >= 0 && tx < w && ty < h) {
                at(tx, ty) = source.at(sx, sy);
            }
        }
    }
}

float Field::wrapped(int x, int y) const {
    const int wx = ((x % w) + w) % w;
    const int wy = ((y % h) + h) % h;
    return values[static_cast<std::size_t>(wy) * w + wx];
}

float hashUnit(int x, int y, uint32_t seed) {
    uint32_t hash = seed * 0x9E3779B9u;
    hash ^= static_cast<uint32_t>(x) * 0x85EBCA6Bu;
    hash = (hash << 13) | (hash >> 19);
    hash ^= static_cast<uint32_t>(y) * 0xC2B2AE35u;
    hash ^= hash >> 16;
    hash *= 0x7FEB352Du;
    hash ^= hash >> 15;
    hash *= 0x846CA68Bu;
    hash ^= hash >> 16;
    return static_cast<float>(hash >> 8) / 16777216.0f;
}

float valueNoise(float x, float y, int periodX, int periodY, uint32_t seed) {
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const int x0 = static_cast<int>(fx);
    const int y0 = static_cast<int>(fy);
    const auto cell = [&](int cx, int cy) {
        return hashUnit(((cx % periodX) + periodX) % periodX, ((cy % periodY) + periodY) % periodY, seed);
    };
    const auto smooth = [](float t) { return t * t * (3.0f - 2.0f * t); };
    const float tx = smooth(x - fx);
    const float ty = smooth(y - fy);
    const float top = cell(x0, y0) + (cell(x0 + 1, y0) - cell(x0, y0)) * tx;
    const float bottom = cell(x0, y0 + 1) + (cell(x0 + 1, y0 + 1) - cell(x0, y0 + 1)) * tx;
    return top + (bottom - top) * ty;
}

float fractalNoise(float u, float v, int basePeriod, int octaves, uint32_t seed) {
    float sum = 0.0f;
    float amplitude = 1.0f;
    float total = 0.0f;
    int period = basePeriod;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * valueNoise(u * period, v * period, period, period,
                                      seed + static_cast<uint32_t>(octave) * 101u);
        total += amplitude;
        amplitude *= 0.5f;
        period *= 2;
    }
    return sum / total;
}

Image normalMap(const Field& height, float strength) {
    Image image(height.w, height.h);
    for (int y = 0; y < height.h; ++y) {
        for (int x = 0; x < height.w; ++x) {
            const float du = (height.wrapped(x + 1, y) - height.wrapped(x - 1, y)) * 0.5f;
            // Rows run down the picture while v runs up it.
            const float dv = (height.wrapped(x, y - 1) - height.wrapped(x, y + 1)) * 0.5f;
            const glm::vec3 normal = glm::normalize(glm::vec3(-du * strength, -dv * strength, 1.0f));
            image.at(x, y) = glm::vec4(normal * 0.5f + 0.5f, 1.0f);
        }
    }
    return image;
}

namespace {
BYTE toByte(float value) {
    return static_cast<BYTE>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}
}  // namespace

bool savePng(const Image& image, const std::string& path) {
    FIBITMAP* bitmap = FreeImage_Allocate(image.width(), image.height(), 32, FI_RGBA_RED_MASK,
                                          FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    if (bitmap == nullptr) {
        std::fprintf(stderr, "cannot allocate an image for %s\n", path.c_str());
        return false;
    }
    for (int y = 0; y < image.height(); ++y) {
        // FreeImage keeps the bottom row first.
        BYTE* line = FreeImage_GetScanLine(bitmap, image.height() - 1 - y);
        for (int x = 0; x < image.width(); ++x) {
            const glm::vec4& pixel = image.at(x, y);
            line[x * 4 + FI_RGBA_RED] = toByte(pixel.r);
            line[x * 4 + FI_RGBA_GREEN] = toByte(pixel.g);
            line[x * 4 + FI_RGBA_BLUE] = toByte(pixel.b);
            line[x * 4 + FI_RGBA_ALPHA] = toByte(pixel.a);
        }
    }
    FIMEMORY* memory = FreeImage_OpenMemory();
    const bool encoded = FreeImage_SaveToMemory(FIF_PNG, bitmap, memory, PNG_Z_BEST_COMPRESSION) != 0;
    FreeImage_Unload(bitmap);
    BYTE* data = nullptr;
    DWORD size = 0;
    if (!encoded || !FreeImage_AcquireMemory(memory, &data, &size)) {
        FreeImage_CloseMemory(memory);
        std::fprintf(stderr, "cannot encode %s\n", path.c_str());
        return false;
    }
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    FreeImage_CloseMemory(memory);

    std::string existing;
    {
        std::ifstream in(path, std::ios::binary);
        existing.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (existing == bytes) {
        return true;
    }
    boost::system::error_code error;
    boost::filesystem::create_directories(boost::filesystem::path(path).parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

struct TextPainter::Library {
    FT_Library handle = nullptr;
};

TextPainter::TextPainter(const std::string& fontPath) : library(std::make_unique<Library>()) {
    if (FT_Init_FreeType(&library->handle) != 0) {
        std::fprintf(stderr, "cannot initialise FreeType\n");
        library->handle = nullptr;
        return;
    }
    FT_Face loaded = nullptr;
    if (FT_New_Face(library->handle, fontPath.c_str(), 0, &loaded) != 0) {
        std::fprintf(stderr, "cannot open the font %s\n", fontPath.c_str());
        return;
    }
    face = loaded;
}

TextPainter::~TextPainter() {
    if (face != nullptr) {
        FT_Done_Face(static_cast<FT_Face>(face));
    }
    if (library->handle != nullptr) {
        FT_Done_FreeType(library->handle);
    }
}

int TextPainter::run(Image* image, int x, int baseline, const std::string& text, int pixelSize,
                     const glm::vec4& colour) {
    if (face == nullptr) {
        return x;
    }
    FT_Face ft = static_cast<FT_Face>(face);
    FT_Set_Pixel_Sizes(ft, 0, static_cast<FT_UInt>(pixelSize));
    const bool kerning = FT_HAS_KERNING(ft);
    FT_UInt previous = 0;
    long pen = static_cast<long>(x) * 64;
    for (const unsigned char character : text) {
        const FT_UInt glyph = FT_Get_Char_Index(ft, character);
        if (kerning && previous != 0 && glyph != 0) {
            FT_Vector delta;
            FT_Get_Kerning(ft, previous, glyph, FT_KERNING_DEFAULT, &delta);
            pen += delta.x;
        }
        if (FT_Load_Glyph(ft, glyph, FT_LOAD_RENDER) != 0) {
            continue;
        }
        const FT_GlyphSlot slot = ft->glyph;
        if (image != nullptr) {
            const FT_Bitmap& bitmap = slot->bitmap;
            const int left = static_cast<int>(pen / 64) + slot->bitmap_left;
            const int top = baseline - slot->bitmap_top;
            for (unsigned row = 0; row < bitmap.rows; ++row) {
                for (unsigned column = 0; column < bitmap.width; ++column) {
                    const float coverage = bitmap.buffer[row * bitmap.pitch + column] / 255.0f;
                    if (coverage > 0.0f) {
                        image->blend(left + static_cast<int>(column), top + static_cast<int>(row),
                                     glm::vec4(glm::vec3(colour), colour.a * coverage));
                    }
                }
            }
        }
        pen += slot->advance.x;
        previous = glyph;
    }
    return static_cast<int>((pen + 63) / 64);
}

int TextPainter::draw(Image& image, int x, int baseline, const std::string& text, int pixelSize,
                      const glm::vec4& colour) {
    return run(&image, x, baseline, text, pixelSize, colour);
}

int TextPainter::drawShadowed(Image& image, int x, int baseline, const std::string& text, int pixelSize,
                              const glm::vec4& colour) {
    run(&image, x + 1, baseline + 1, text, pixelSize, glm::vec4(0.0f, 0.0f, 0.0f, colour.a * 0.8f));
    return run(&image, x, baseline, text, pixelSize, colour);
}

int TextPainter::measure(const std::string& text, int pixelSize) {
    return run(nullptr, 0, 0, text, pixelSize, glm::vec4(0.0f));
}

}  // namespace bake
