// The game's textures, painted procedurally: the level's surfaces with their
// normal maps, the terrain layers and selection map of the floor, team
// colours, the flag, particle sprites, the lightning ribbon and health bars.
// The heads-up display's art is in bake_hud.cpp.
//
// Sprites drawn with additive or premultiplied blending are stored with
// premultiplied colour (black where transparent). Tiled surfaces repeat
// seamlessly: every noise repeats over the picture.
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "bake.h"
#include "bake_hud.h"
#include "bake_image.h"

using bake::Field;
using bake::Image;
using glm::vec3;
using glm::vec4;

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr int kSurfaceSize = 256;
// The floor's layers repeat 14 to 20 times across the field. At 128 texels a
// repeat they meet the screen at about one texel per pixel from the game's
// camera, which keeps them sharp without mipmaps, and small enough that the
// renderer reads them from cache.
constexpr int kLayerSize = 128;

float smoothstep(float edge0, float edge1, float x) {
    const float t = glm::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Calls paint(u, v, x, y) for every pixel of a size x size picture, with
// (u, v) the pixel centre in [0, 1) and v growing downwards like y.
void forEachPixel(int width, int height, const std::function<void(float, float, int, int)>& paint) {
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            paint((x + 0.5f) / width, (y + 0.5f) / height, x, y);
        }
    }
}

// Distance to the nearest and second-nearest of one jittered point per cell
// of a cells x cells grid that repeats over the unit square.
glm::vec2 cellDistances(float u, float v, int cells, uint32_t seed) {
    const float x = u * cells;
    const float y = v * cells;
    const int cx = static_cast<int>(std::floor(x));
    const int cy = static_cast<int>(std::floor(y));
    float first = 10.0f;
    float second = 10.0f;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const int gx = cx + dx;
            const int gy = cy + dy;
            const int wx = ((gx % cells) + cells) % cells;
            const int wy = ((gy % cells) + cells) % cells;
            const glm::vec2 point(gx + 0.15f + 0.7f * bake::hashUnit(wx, wy, seed),
                                  gy + 0.15f + 0.7f * bake::hashUnit(wx, wy, seed + 7));
            const float distance = glm::length(point - glm::vec2(x, y));
            if (distance < first) {
                second = first;
                first = distance;
            } else if (distance < second) {
                second = distance;
            }
        }
    }
    return {first, second};
}

struct Surface {
    Image colour{kSurfaceSize, kSurfaceSize};
    Field height{kSurfaceSize, kSurfaceSize};
};

Surface rock() {
    Surface surface;
    forEachPixel(kSurfaceSize, kSurfaceSize, [&](float u, float v, int x, int y) {
        const float body = bake::fractalNoise(u, v, 4, 5, 11);
        const float ridged = 1.0f - std::abs(2.0f * bake::fractalNoise(u, v, 3, 4, 12) - 1.0f);
        const float crack = smoothstep(0.90f, 0.97f, ridged);
        const float grain = bake::hashUnit(x, y, 13) - 0.5f;
        surface.height.at(x, y) = body * 0.8f - crack * 0.25f + grain * 0.02f;
        const vec3 dark(0.36f, 0.34f, 0.31f);
        const vec3 light(0.64f, 0.61f, 0.56f);
        vec3 colour = glm::mix(dark, light, smoothstep(0.25f, 0.75f, body)) + grain * 0.05f;
        colour *= 1.0f - crack * 0.45f;
        // Lichen in the hollows.
        const float lichen = smoothstep(0.62f, 0.72f, bake::fractalNoise(u, v, 6, 3, 14)) * (1.0f - body);
        colour = glm::mix(colour, vec3(0.42f, 0.46f, 0.30f), lichen * 0.6f);
        surface.colour.at(x, y) = vec4(colour, 1.0f);
    });
    return surface;
}

// Dressed stone blocks, two per row and four rows per tile, rows offset by
// half a block.
Surface wall() {
    Surface surface;
    constexpr int kBlockWidth = 128;
    constexpr int kBlockHeight = 64;
    constexpr float kMortar = 3.0f;
    constexpr float kBevel = 7.0f;
    forEachPixel(kSurfaceSize, kSurfaceSize, [&](float u, float v, int x, int y) {
        const int row = y / kBlockHeight;
        const int shifted = (x + (row % 2) * kBlockWidth / 2) % kSurfaceSize;
        const int block = shifted / kBlockWidth;
        const float edge = std::min(
            {static_cast<float>(shifted % kBlockWidth) + 0.5f, kBlockWidth - (shifted % kBlockWidth) - 0.5f,
             static_cast<float>(y % kBlockHeight) + 0.5f, kBlockHeight - (y % kBlockHeight) - 0.5f});
        const float inside = smoothstep(kMortar - 1.0f, kMortar + 1.0f, edge);
        const float bevel = smoothstep(kMortar, kMortar + kBevel, edge);
        const float detail = bake::fractalNoise(u, v, 8, 4, 21);
        const float tint = 0.86f + 0.22f * bake::hashUnit(block, row, 22);
        surface.height.at(x, y) = inside * (0.25f + 0.75f * bevel) * 0.6f + detail * 0.12f;
        const vec3 stone = vec3(0.66f, 0.60f, 0.50f) * tint * (0.85f + 0.3f * detail);
        const vec3 mortar = vec3(0.40f, 0.38f, 0.35f) * (0.9f + 0.2f * detail);
        surface.colour.at(x, y) = vec4(glm::mix(mortar, stone, inside), 1.0f);
    });
    return surface;
}

// Veined marble with eight flutes across the width.
Surface pillar(Image& specular) {
    Surface surface;
    forEachPixel(kSurfaceSize, kSurfaceSize, [&](float u, float v, int x, int y) {
        const float flute = std::pow(std::abs(std::sin(kPi * 8.0f * u)), 0.45f);
        const float turbulence = bake::fractalNoise(u, v, 4, 5, 31);
        const float vein =
            std::pow(1.0f - std::abs(std::sin(2.0f * kPi * (u * 2.0f + v) + turbulence * 7.0f)), 10.0f);
        surface.height.at(x, y) = flute * 0.5f + turbulence * 0.05f;
        const vec3 marble = glm::mix(vec3(0.80f, 0.79f, 0.75f), vec3(0.92f, 0.91f, 0.88f), turbulence);
        const vec3 colour =
            glm::mix(marble, vec3(0.45f, 0.44f, 0.46f), vein * 0.7f) * (0.82f + 0.18f * flute);
        surface.colour.at(x, y) = vec4(colour, 1.0f);
        const float shine = (0.85f - 0.5f * vein) * (0.6f + 0.4f * flute);
        specular.at(x, y) = vec4(vec3(shine), 1.0f);
    });
    return surface;
}

// An atlas: bark on the left half (u < 0.5), foliage on the right half.
Surface tree() {
    Surface surface;
    constexpr int kHalf = kSurfaceSize / 2;
    forEachPixel(kSurfaceSize, kSurfaceSize, [&](float, float v, int x, int y) {
        const float u = static_cast<float>(x % kHalf) / kHalf;
        if (x < kHalf) {
            const float ridges = bake::valueNoise(u * 10.0f, v * 3.0f, 10, 3, 41) * 0.6f +
                                 bake::valueNoise(u * 20.0f, v * 6.0f, 20, 6, 42) * 0.3f +
                                 bake::valueNoise(u * 40.0f, v * 24.0f, 40, 24, 43) * 0.1f;
            const float furrow = smoothstep(0.35f, 0.15f, ridges);
            surface.height.at(x, y) = ridges - furrow * 0.3f;
            const vec3 colour = glm::mix(vec3(0.30f, 0.21f, 0.13f), vec3(0.47f, 0.36f, 0.24f), ridges) *
                                (1.0f - furrow * 0.5f);
            surface.colour.at(x, y) = vec4(colour, 1.0f);
        } else {
            const glm::vec2 cells = cellDistances(u, v, 10, 44);
            const float leaf = smoothstep(0.0f, 0.35f, cells.y - cells.x);
            const float light = bake::fractalNoise(u, v, 4, 4, 45);
            surface.height.at(x, y) = leaf * 0.6f + light * 0.3f;
            const vec3 colour = glm::mix(vec3(0.10f, 0.24f, 0.08f), vec3(0.33f, 0.55f, 0.18f), light) *
                                (0.55f + 0.45f * leaf);
            surface.colour.at(x, y) = vec4(colour, 1.0f);
        }
    });
    return surface;
}

Image grass() {
    Image image(kLayerSize, kLayerSize);
    forEachPixel(kLayerSize, kLayerSize, [&](float u, float v, int x, int y) {
        const float patches = bake::fractalNoise(u, v, 4, 4, 51);
        const float blades = bake::valueNoise(u * 128.0f, v * 32.0f, 128, 32, 52);
        const vec3 colour = glm::mix(vec3(0.20f, 0.38f, 0.12f), vec3(0.40f, 0.58f, 0.20f), patches) *
                                (0.8f + 0.35f * blades) +
                            (bake::hashUnit(x, y, 53) - 0.5f) * 0.04f;
        image.at(x, y) = vec4(colour, 1.0f);
    });
    return image;
}

Image dirt() {
    Image image(kLayerSize, kLayerSize);
    forEachPixel(kLayerSize, kLayerSize, [&](float u, float v, int x, int y) {
        const float soil = bake::fractalNoise(u, v, 6, 5, 61);
        const glm::vec2 pebbles = cellDistances(u, v, 16, 62);
        const float pebble = smoothstep(0.22f, 0.14f, pebbles.x);
        vec3 colour = glm::mix(vec3(0.36f, 0.27f, 0.18f), vec3(0.56f, 0.44f, 0.31f), soil);
        colour =
            glm::mix(colour, vec3(0.58f, 0.55f, 0.50f) * (0.8f + 0.4f * bake::hashUnit(x / 8, y / 8, 63)),
                     pebble * 0.8f);
        image.at(x, y) = vec4(colour + (bake::hashUnit(x, y, 64) - 0.5f) * 0.04f, 1.0f);
    });
    return image;
}

Image cobbles() {
    Image image(kLayerSize, kLayerSize);
    forEachPixel(kLayerSize, kLayerSize, [&](float u, float v, int x, int y) {
        const glm::vec2 cells = cellDistances(u, v, 8, 71);
        const float joint = smoothstep(0.02f, 0.10f, cells.y - cells.x);
        const float surface = bake::fractalNoise(u, v, 8, 4, 72);
        const vec3 stone = glm::mix(vec3(0.42f, 0.42f, 0.43f), vec3(0.62f, 0.61f, 0.58f), surface);
        const vec3 colour =
            glm::mix(vec3(0.22f, 0.21f, 0.20f), stone * (0.8f + 0.2f * (1.0f - cells.x)), joint);
        image.at(x, y) = vec4(colour + (bake::hashUnit(x, y, 73) - 0.5f) * 0.03f, 1.0f);
    });
    return image;
}

// Weights of the floor's layers across the whole field (red: grass, green:
// dirt, blue: cobbles). u runs along the game's x from -50 to 50, v along z.
// The picture is symmetric under u -> 1 - u and v -> 1 - v, like the arena:
// cobbled plazas at both flags (x = +-40) and round the central pillar, dirt
// paths along the lanes (7 and 37 units either side of the centre line) and
// round the plazas, grass elsewhere with
// worn patches.
Image floorSelection() {
    Image image(kSurfaceSize, kSurfaceSize);
    forEachPixel(kSurfaceSize, kSurfaceSize, [&](float u, float v, int x, int y) {
        const float mu = std::min(u, 1.0f - u);
        const float mv = std::min(v, 1.0f - v);
        const float wobble = (bake::fractalNoise(mu, mv, 8, 3, 81) - 0.5f) * 0.05f;
        const float toBase = glm::length(glm::vec2(mu - 0.1f, mv - 0.5f));
        const float toCentre = glm::length(glm::vec2(mu - 0.5f, mv - 0.5f));
        const float plaza = std::max(smoothstep(0.085f, 0.07f, toBase + wobble),
                                     smoothstep(0.07f, 0.055f, toCentre + wobble));
        const float lane = smoothstep(0.045f, 0.025f, std::abs(mv - 0.43f) + wobble) +
                           smoothstep(0.045f, 0.025f, std::abs(mv - 0.13f) + wobble);
        const float ring =
            smoothstep(0.14f, 0.1f, toBase + wobble) + smoothstep(0.12f, 0.08f, toCentre + wobble);
        const float worn = smoothstep(0.64f, 0.72f, bake::fractalNoise(mu, mv, 5, 4, 82));
        const float dirtWeight = glm::clamp(std::max({lane, ring, worn}), 0.0f, 1.0f) * (1.0f - plaza);
        const float grassWeight = (1.0f - plaza) * (1.0f - dirtWeight);
        image.at(x, y) = vec4(grassWeight, dirtWeight, plaza, 1.0f);
    });
    return image;
}

// Woven cloth in a team colour.
Image teamCloth(const vec3& colour, uint32_t seed) {
    Image image(64, 64);
    forEachPixel(64, 64, [&](float u, float v, int x, int y) {
        const float weave = ((x / 2 + y / 2) % 2 == 0) ? 1.04f : 0.96f;
        const float shade = 0.88f + 0.24f * bake::fractalNoise(u, v, 4, 3, seed);
        image.at(x, y) = vec4(colour * weave * shade, 1.0f);
    });
    return image;
}

// A white banner on a pole, tinted by the billboard's team colour.
Image flag() {
    Image image(128, 128);
    forEachPixel(128, 128, [&](float, float, int x, int y) {
        const float px = x + 0.5f;
        const float py = y + 0.5f;
        vec4 colour(0.0f);
        // The cloth waves a little along its length.
        const float along = (px - 20.0f) / 98.0f;
        const float wave = 4.0f * std::sin(2.0f * kPi * along * 1.5f);
        const float top = 10.0f + wave;
        const float bottom = 70.0f + wave;
        const float inCloth = smoothstep(-0.5f, 0.5f, py - top) * smoothstep(-0.5f, 0.5f, bottom - py) *
                              smoothstep(-0.5f, 0.5f, px - 19.0f) * smoothstep(-0.5f, 0.5f, 118.0f - px);
        if (inCloth > 0.0f) {
            const float fold = 0.82f + 0.18f * std::cos(2.0f * kPi * along * 1.5f);
            const float ring = std::abs(glm::length(glm::vec2(px - 66.0f, py - 40.0f - wave)) - 13.0f);
            const float emblem = smoothstep(3.0f, 2.0f, ring);
            colour = vec4(vec3(0.96f * fold) * (1.0f - 0.3f * emblem), inCloth);
        }
        const float inPole = smoothstep(-0.5f, 0.5f, px - 14.0f) * smoothstep(-0.5f, 0.5f, 20.0f - px) *
                             smoothstep(-0.5f, 0.5f, py - 6.0f);
        if (inPole > 0.0f) {
            const float round = 0.6f + 0.4f * std::sin(kPi * (px - 14.0f) / 6.0f);
            colour = glm::mix(colour, vec4(vec3(0.62f * round), 1.0f), inPole);
        }
        const float knob = smoothstep(4.5f, 3.5f, glm::length(glm::vec2(px - 17.0f, py - 5.0f)));
        if (knob > 0.0f) {
            colour = glm::mix(colour, vec4(0.85f, 0.72f, 0.30f, 1.0f), knob);
        }
        image.at(x, y) = colour;
    });
    return image;
}

// A premultiplied sprite: intensity(p) with p in [-1, 1]^2 (y up) gives
// alpha, tint the colour before premultiplying.
Image sprite(int size, const std::function<vec4(glm::vec2)>& paint) {
    Image image(size, size);
    forEachPixel(size, size, [&](float u, float v, int x, int y) {
        const vec4 colour = paint(glm::vec2(u * 2.0f - 1.0f, 1.0f - v * 2.0f));
        const float alpha = glm::clamp(colour.a, 0.0f, 1.0f);
        image.at(x, y) = vec4(glm::clamp(vec3(colour), 0.0f, 1.0f) * alpha, alpha);
    });
    return image;
}

Image flame() {
    return sprite(64, [](glm::vec2 p) {
        const float noise = bake::fractalNoise(p.x * 0.5f + 0.5f, p.y * 0.5f + 0.5f, 4, 3, 91) - 0.5f;
        const float d = glm::length(p) + noise * 0.35f;
        const float alpha = smoothstep(0.95f, 0.15f, d);
        return vec4(glm::mix(vec3(1.0f, 0.78f, 0.55f), vec3(1.0f), smoothstep(0.5f, 0.0f, d)), alpha);
    });
}

Image ember() {
    return sprite(32, [](glm::vec2 p) {
        const float d2 = glm::dot(p, p);
        return vec4(1.0f, 0.95f, 0.85f, std::exp(-d2 * 9.0f) * smoothstep(1.0f, 0.8f, std::sqrt(d2)));
    });
}

Image explosion() {
    return sprite(128, [](glm::vec2 p) {
        const float noise = bake::fractalNoise(p.x * 0.5f + 0.5f, p.y * 0.5f + 0.5f, 5, 4, 92) - 0.5f;
        const float d = glm::length(p) + noise * 0.45f;
        const float heat = smoothstep(0.85f, 0.0f, d);
        vec3 colour =
            glm::mix(vec3(0.55f, 0.08f, 0.02f), vec3(1.0f, 0.45f, 0.08f), smoothstep(0.0f, 0.5f, heat));
        colour = glm::mix(colour, vec3(1.0f, 0.95f, 0.7f), smoothstep(0.6f, 1.0f, heat));
        return vec4(colour, smoothstep(0.95f, 0.45f, d));
    });
}

// Long along v: sparks are stretched along their velocity on screen.
Image spark() {
    return sprite(32, [](glm::vec2 p) {
        const float d2 = p.x * p.x * 12.0f + p.y * p.y * 1.2f;
        return vec4(1.0f, 0.92f, 0.7f, std::exp(-d2 * 3.0f) * smoothstep(1.0f, 0.85f, std::abs(p.y)));
    });
}

Image pressureWave() {
    return sprite(128, [](glm::vec2 p) {
        const float r = glm::length(p);
        const float ring = std::exp(-std::pow((r - 0.8f) / 0.08f, 2.0f)) * smoothstep(1.0f, 0.95f, r);
        const float fill = 0.12f * smoothstep(0.85f, 0.3f, r);
        return vec4(0.85f, 0.9f, 1.0f, ring + fill);
    });
}

// The ribbon runs along v from caster (v = 0) to target (v = 1); u goes
// across its 6 units of width. A jagged bolt with a blue glow.
Image lightning() {
    constexpr int kWidth = 64;
    constexpr int kHeight = 256;
    Image image(kWidth, kHeight);
    forEachPixel(kWidth, kHeight, [&](float u, float v, int x, int y) {
        // Piecewise-linear wander: sharp corners read as lightning.
        const auto wander = [](float t, int segments, uint32_t seed) {
            const float s = t * segments;
            const int i = static_cast<int>(std::floor(s));
            const float f = s - i;
            const float a = bake::hashUnit(i, 0, seed) - 0.5f;
            const float b = bake::hashUnit(i + 1, 0, seed) - 0.5f;
            return a + (b - a) * f;
        };
        const float t = 1.0f - v;
        const float centre = 0.5f + 0.16f * wander(t, 9, 101) + 0.05f * wander(t, 31, 102);
        const float distance = std::abs(u - centre);
        const float core = std::exp(-std::pow(distance / 0.035f, 2.0f));
        const float glow = 0.6f * std::exp(-std::pow(distance / 0.15f, 2.0f));
        const vec3 colour = vec3(1.0f) * core + vec3(0.45f, 0.62f, 1.0f) * glow;
        const float alpha = glm::clamp(core + glow, 0.0f, 1.0f);
        image.at(x, y) = vec4(glm::clamp(colour, 0.0f, 1.0f), alpha);
    });
    return image;
}

Image healthFill() {
    Image image(64, 16);
    forEachPixel(64, 16, [&](float, float v, int x, int y) {
        if (y < 2 || y > 13) {
            return;
        }
        const float shade = 1.15f - 0.5f * v;
        image.at(x, y) = vec4(glm::clamp(vec3(0.22f, 0.78f, 0.28f) * shade, 0.0f, 1.0f), 1.0f);
    });
    return image;
}

Image healthBorder() {
    Image image(64, 16);
    forEachPixel(64, 16, [&](float, float, int x, int y) {
        const bool frame = x == 0 || x == 63 || y == 0 || y == 15;
        image.at(x, y) = frame ? vec4(0.85f, 0.85f, 0.85f, 0.95f) : vec4(0.05f, 0.05f, 0.05f, 0.6f);
    });
    return image;
}

bool saveSurface(const std::string& directory, const Surface& surface, float strength) {
    return bake::savePng(surface.colour, directory + "diffuse.png") &&
           bake::savePng(bake::normalMap(surface.height, strength), directory + "normal.png");
}
}  // namespace

bool bakeTextures(const std::string& root) {
    const std::string textures = root + "resources/textures/";
    bool ok = bake::savePng(Image(4, 4, vec4(1.0f)), textures + "default/whiteOpaque.png");

    ok = saveSurface(textures + "rock/", rock(), 14.0f) && ok;
    ok = saveSurface(textures + "wall/", wall(), 5.0f) && ok;
    Image pillarSpecular(kSurfaceSize, kSurfaceSize);
    ok = saveSurface(textures + "pillar/", pillar(pillarSpecular), 6.0f) && ok;
    ok = bake::savePng(pillarSpecular, textures + "pillar/specular.png") && ok;
    ok = saveSurface(textures + "tree/", tree(), 8.0f) && ok;

    ok = bake::savePng(floorSelection(), textures + "floor/selection.png") && ok;
    ok = bake::savePng(grass(), textures + "floor/grass.png") && ok;
    ok = bake::savePng(dirt(), textures + "floor/dirt.png") && ok;
    ok = bake::savePng(cobbles(), textures + "floor/cobbles.png") && ok;

    ok = bake::savePng(teamCloth(bake::kBlueTeamColour, 111), textures + "team/blue.png") && ok;
    ok = bake::savePng(teamCloth(bake::kRedTeamColour, 112), textures + "team/red.png") && ok;
    ok = bake::savePng(flag(), textures + "flag/flag.png") && ok;

    ok = bake::savePng(flame(), textures + "effects/flame.png") && ok;
    ok = bake::savePng(ember(), textures + "effects/ember.png") && ok;
    ok = bake::savePng(explosion(), textures + "effects/explosion.png") && ok;
    ok = bake::savePng(spark(), textures + "effects/spark.png") && ok;
    ok = bake::savePng(pressureWave(), textures + "effects/pressureWave.png") && ok;
    ok = bake::savePng(lightning(), textures + "effects/lightning.png") && ok;

    ok = bake::savePng(healthFill(), textures + "healthBar/fill.png") && ok;
    ok = bake::savePng(healthBorder(), textures + "healthBar/border.png") && ok;

    ok = bakeHudTextures(textures + "hud/") && ok;
    if (!ok) {
        std::fprintf(stderr, "baking the textures failed\n");
    }
    return ok;
}
