#pragma once
// Tools for the procedural textures: an RGBA float image (row 0 is the top
// of the picture), tileable value noise, normal maps from height fields, a
// PNG writer that keeps files whose bytes would not change, and FreeType text.
// Everything is deterministic: the same calls give the same bytes.
#include <cstdint>
#include <glm/glm.hpp>
#include <memory>
#include <string>
#include <vector>

namespace bake {

// The teams' cloth colours, shared by the textures and the menu icon.
inline const glm::vec3 kBlueTeamColour(0.22f, 0.38f, 0.82f);
inline const glm::vec3 kRedTeamColour(0.82f, 0.24f, 0.16f);

class Image {
  public:
    Image(int width, int height, const glm::vec4& fill = glm::vec4(0.0f));

    int width() const { return w; }
    int height() const { return h; }
    glm::vec4& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * w + x]; }
    const glm::vec4& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * w + x]; }
    // Straight-alpha "over" of colour onto the pixel; outside the image it
    // does nothing.
    void blend(int x, int y, const glm::vec4& colour);
    // Copies source with its top-left corner at (x, y), clipped.
    void paste(const Image& source, int x, int y);

  private:
    int w;
    int h;
    std::vector<glm::vec4> pixels;
};

// A scalar field of the same layout (row 0 at the top).
struct Field {
    Field(int width, int height)
        : w(width), h(height), values(static_cast<std::size_t>(width) * height, 0.0f) {}
    float& at(int x, int y) { return values[static_cast<std::size_t>(y) * w + x]; }
    // Wrapping read, for tileable fields.
    float wrapped(int x, int y) const;
    int w;
    int h;
    std::vector<float> values;
};

// Value noise in [0, 1] on an integer lattice that repeats every periodX
// cells along x and periodY along y; (x, y) in lattice units.
float valueNoise(float x, float y, int periodX, int periodY, uint32_t seed);
// Fractal sum of octaves of value noise over the unit square, tileable:
// (u, v) in [0, 1), the first octave has basePeriod cells. Result in [0, 1].
float fractalNoise(float u, float v, int basePeriod, int octaves, uint32_t seed);
// A deterministic pseudo-random number in [0, 1) for an integer pair.
float hashUnit(int x, int y, uint32_t seed);

// Tangent-space normal map of a tileable height field: x along +u (right),
// y along +v (up in the picture), strength scales the slopes.
Image normalMap(const Field& height, float strength);

// Writes the image as an 8-bit RGBA PNG under path, creating directories;
// leaves the file alone when it already holds exactly those bytes. Prints
// the reason and returns false on failure.
bool savePng(const Image& image, const std::string& path);

// Renders text with a TrueType face at a pixel size.
class TextPainter {
  public:
    explicit TextPainter(const std::string& fontPath);
    ~TextPainter();
    TextPainter(const TextPainter&) = delete;
    TextPainter& operator=(const TextPainter&) = delete;

    bool ready() const { return face != nullptr; }
    // Draws text with its baseline at y, starting at x; returns the pen's x
    // after the last character.
    int draw(Image& image, int x, int baseline, const std::string& text, int pixelSize,
             const glm::vec4& colour);
    // Draws text over a one-pixel dark shadow, for text on busy art.
    int drawShadowed(Image& image, int x, int baseline, const std::string& text, int pixelSize,
                     const glm::vec4& colour);
    // The advance width of text in pixels.
    int measure(const std::string& text, int pixelSize);

  private:
    int run(Image* image, int x, int baseline, const std::string& text, int pixelSize,
            const glm::vec4& colour);

    struct Library;
    std::unique_ptr<Library> library;
    void* face = nullptr;  // FT_Face, kept out of this header
};

}  // namespace bake
