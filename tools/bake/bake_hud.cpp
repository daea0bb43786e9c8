// The heads-up display's art. Straight alpha throughout (the HUD materials
// blend with source alpha).
#include "bake_hud.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bake_image.h"

using bake::Image;
using glm::vec2;
using glm::vec3;
using glm::vec4;

namespace {
constexpr float kPi = 3.14159265358979f;
const char* const kFont = "/usr/share/fonts/truetype/open-sans/OpenSans-Bold.ttf";

// Layout of the score bar: points start 10 pixels in and take 40 each.
constexpr int kScoreWidth = 582;
constexpr int kScoreHeight = 38;
constexpr int kTrackTop = 7;
constexpr int kTrackBottom = 31;
constexpr int kWinningScore = 5;

const vec4 kFrame(0.58f, 0.63f, 0.74f, 1.0f);
const vec4 kGold(0.96f, 0.80f, 0.32f, 1.0f);

float smoothstep(float edge0, float edge1, float x) {
    const float t = glm::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Coverage of a pixel by a shape at signed distance d (negative inside).
float inside(float d) {
    return smoothstep(0.5f, -0.5f, d);
}

float roundedBox(vec2 p, vec2 centre, vec2 half, float radius) {
    const vec2 q = glm::abs(p - centre) - half + vec2(radius);
    return glm::length(glm::max(q, vec2(0.0f))) + std::min(std::max(q.x, q.y), 0.0f) - radius;
}

float segment(vec2 p, vec2 a, vec2 b) {
    const vec2 ab = b - a;
    const float t = glm::clamp(glm::dot(p - a, ab) / glm::dot(ab, ab), 0.0f, 1.0f);
    return glm::length(p - a - ab * t);
}

// Calls paint with the pixel centre of every pixel of the w x h area at
// (left, top) and blends the returned colour there.
void paintArea(Image& image, int left, int top, int w, int h, const std::function<vec4(vec2)>& paint) {
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const vec4 colour = paint(vec2(x + 0.5f, y + 0.5f));
            if (colour.a > 0.0f) {
                image.blend(left + x, top + y, colour);
            }
        }
    }
}

vec4 withAlpha(const vec4& colour, float alpha) {
    return vec4(vec3(colour), colour.a * alpha);
}

Image scoreBar(bake::TextPainter& text) {
    Image image(kScoreWidth, kScoreHeight);
    const vec2 size(kScoreWidth, kScoreHeight);
    paintArea(image, 0, 0, kScoreWidth, kScoreHeight, [&](vec2 p) {
        // The bar hangs from the top of the screen: only its lower corners round.
        const float radius = p.y < size.y * 0.5f ? 0.0f : 9.0f;
        const float d = roundedBox(p, size * 0.5f, size * 0.5f, radius);
        const vec4 panel =
            glm::mix(vec4(0.09f, 0.11f, 0.15f, 0.88f), vec4(0.16f, 0.18f, 0.25f, 0.88f), p.y / size.y);
        const vec4 colour =
            glm::mix(panel, kFrame, inside(-d - 2.0f) < 1.0f ? 1.0f - inside(d + 2.0f) : 0.0f);
        return withAlpha(colour, inside(d));
    });
    paintArea(image, 6, kTrackTop, kScoreWidth - 12, kTrackBottom - kTrackTop,
              [](vec2) { return vec4(0.03f, 0.04f, 0.06f, 0.92f); });
    for (int point = 1; 10 + 40 * point < kScoreWidth - 6; ++point) {
        const int x = 10 + 40 * point;
        const vec4 tick = point == kWinningScore ? kGold : vec4(0.32f, 0.37f, 0.48f, 1.0f);
        paintArea(image, x - (point == kWinningScore ? 1 : 0), kTrackTop, point == kWinningScore ? 2 : 1,
                  kTrackBottom - kTrackTop, [&](vec2) { return tick; });
    }
    const std::string label = "5 TO WIN";
    const int width = text.measure(label, 13);
    text.drawShadowed(image, kScoreWidth - 12 - width, 24, label, 13, kGold);
    return image;
}

// The Blue points strip, cut by the display to 10 + 40 x score pixels.
Image scorePointsBlue() {
    Image image(kScoreWidth, kScoreHeight);
    paintArea(image, 0, kTrackTop + 1, kScoreWidth, kTrackBottom - kTrackTop - 2, [&](vec2 p) {
        const float t = p.y / (kTrackBottom - kTrackTop - 2);
        vec3 colour = glm::mix(vec3(0.42f, 0.66f, 1.0f), vec3(0.12f, 0.28f, 0.74f), t);
        const float x = p.x;
        const float gap = std::fmod(x - 10.0f + 400.0f, 40.0f);
        if (x > 10.0f && (gap < 1.5f || gap > 38.5f)) {
            colour *= 0.35f;
        }
        return vec4(colour, 1.0f);
    });
    return image;
}

// Icons, each painted in a 64 x 64 cell with (0, 0) at its top left.
vec4 fireballIcon(vec2 p) {
    vec4 colour(0.0f);
    const vec2 centre(37.0f, 30.0f);
    // The tail streams to the lower left.
    for (int i = 3; i >= 1; --i) {
        const vec2 at = centre + vec2(-8.0f, 8.0f) * static_cast<float>(i);
        const float r = 12.0f - 2.5f * i;
        const float cover = inside(glm::length(p - at) - r);
        colour = glm::mix(colour, vec4(1.0f, 0.25f + 0.12f * (3 - i), 0.05f, 1.0f - 0.2f * i), cover);
    }
    const float d = glm::length(p - centre);
    const float cover = inside(d - 15.0f);
    const vec3 fire = glm::mix(vec3(1.0f, 0.3f, 0.05f), vec3(1.0f, 0.95f, 0.6f), smoothstep(15.0f, 2.0f, d));
    return glm::mix(colour, vec4(fire, 1.0f), cover);
}

vec4 lightningIcon(vec2 p) {
    const vec2 points[] = {{40.0f, 8.0f}, {22.0f, 30.0f}, {36.0f, 32.0f}, {20.0f, 56.0f}};
    float d = 1e9f;
    for (int i = 0; i + 1 < 4; ++i) {
        d = std::min(d, segment(p, points[i], points[i + 1]));
    }
    d = std::min(d, segment(p, vec2(36.0f, 32.0f), vec2(50.0f, 44.0f)));
    const float glow = smoothstep(9.0f, 0.0f, d);
    const float core = inside(d - 2.2f);
    return glm::mix(vec4(0.35f, 0.55f, 1.0f, glow * 0.8f), vec4(1.0f, 1.0f, 0.85f, 1.0f), core);
}

vec4 crushingWaveIcon(vec2 p) {
    const vec2 centre(32.0f, 50.0f);
    const float r = glm::length(p - centre);
    float ring = 1e9f;
    for (const float radius : {9.0f, 18.0f, 27.0f}) {
        ring = std::min(ring, std::abs(r - radius));
    }
    const float above = smoothstep(1.0f, -1.0f, p.y - centre.y);
    const float arc = inside(ring - 2.5f) * above;
    const float ground = inside(std::abs(p.y - 53.0f) - 2.0f) * inside(std::abs(p.x - 32.0f) - 27.0f);
    const float mix = smoothstep(30.0f, 5.0f, r);
    const vec4 waveColour(glm::mix(vec3(0.62f, 0.40f, 0.20f), vec3(1.0f, 0.75f, 0.35f), mix), 1.0f);
    return withAlpha(ground > arc ? vec4(0.45f, 0.33f, 0.22f, 1.0f) : waveColour, std::max(arc, ground));
}

vec4 waveformIcon(vec2 p) {
    float d = 1e9f;
    for (float x = 6.0f; x < 58.0f; x += 0.5f) {
        const vec2 a(x, 32.0f + 12.0f * std::sin(2.0f * kPi * (x - 6.0f) / 26.0f));
        const vec2 b(x + 0.5f, 32.0f + 12.0f * std::sin(2.0f * kPi * (x - 5.5f) / 26.0f));
        d = std::min(d, segment(p, a, b));
    }
    const float glow = smoothstep(8.0f, 0.0f, d);
    const float core = inside(d - 2.2f);
    return glm::mix(vec4(0.70f, 0.35f, 0.95f, glow * 0.7f), vec4(0.85f, 0.95f, 1.0f, 1.0f), core);
}

// Top 64 rows: icons on the left half, the slot frame on the right half.
Image skillBar(bake::TextPainter& text) {
    Image image(512, 512);
    // The frame behind the icons: a panel with four sunken sockets.
    paintArea(image, 256, 0, 256, 64, [](vec2 p) {
        const float d = roundedBox(p, vec2(128.0f, 32.0f), vec2(128.0f, 32.0f), 6.0f);
        const vec4 panel =
            glm::mix(vec4(0.16f, 0.18f, 0.25f, 0.9f), vec4(0.08f, 0.10f, 0.14f, 0.9f), p.y / 64.0f);
        const float edge = 1.0f - inside(d + 2.0f);
        return withAlpha(glm::mix(panel, kFrame, edge), inside(d));
    });
    for (int slot = 0; slot < 4; ++slot) {
        paintArea(image, 256 + 64 * slot + 4, 4, 56, 56, [](vec2 p) {
            const bool lit = p.x < 1.5f || p.y < 1.5f;
            const bool shaded = p.x > 54.5f || p.y > 54.5f;
            if (lit) {
                return vec4(0.02f, 0.02f, 0.03f, 1.0f);
            }
            if (shaded) {
                return vec4(0.40f, 0.44f, 0.54f, 1.0f);
            }
            return vec4(0.04f, 0.05f, 0.07f, 1.0f);
        });
    }
    const std::function<vec4(vec2)> icons[] = {fireballIcon, lightningIcon, crushingWaveIcon, waveformIcon};
    const char* const keys[] = {"Q", "W", "E", "R"};
    for (int slot = 0; slot < 4; ++slot) {
        paintArea(image, 64 * slot, 0, 64, 64, icons[slot]);
        text.drawShadowed(image, 64 * slot + 7, 20, keys[slot], 15, vec4(1.0f));
    }
    return image;
}

Image cooldown() {
    Image image(64, 64);
    paintArea(image, 0, 0, 64, 64,
              [](vec2 p) { return vec4(0.0f, 0.0f, 0.02f, 0.55f + 0.15f * p.y / 64.0f); });
    return image;
}

Image help(bake::TextPainter& text) {
    Image image(512, 512);
    paintArea(image, 0, 0, 512, 512, [](vec2 p) {
        const float d = roundedBox(p, vec2(256.0f), vec2(254.0f), 16.0f);
        const vec4 panel(0.05f, 0.07f, 0.10f, 0.9f);
        return withAlpha(glm::mix(panel, kFrame, 1.0f - inside(d + 2.0f)), inside(d));
    });

    const auto centred = [&](int baseline, const std::string& line, int size, const vec4& colour) {
        text.drawShadowed(image, (512 - text.measure(line, size)) / 2, baseline, line, size, colour);
    };
    centred(52, "FLAGSTORM", 32, kGold);
    const vec4 plain(0.85f, 0.88f, 0.94f, 1.0f);
    centred(76, "You lead the Blue team. Your base is the west (left) end", 13, plain);
    centred(92, "of the field, the Red base the east (right) end, each inside", 13, plain);
    centred(108, "its coloured rings. Bring the Red flag to yours: 5 captures win.", 13, plain);

    const vec4 heading(0.55f, 0.75f, 1.0f, 1.0f);
    const auto title = [&](int baseline, const char* name) {
        text.drawShadowed(image, 32, baseline, name, 14, heading);
        paintArea(image, 32, baseline + 5, 448, 1, [](vec2) { return vec4(0.35f, 0.42f, 0.55f, 1.0f); });
    };
    // What decides a raid on the Red base.
    title(134, "THE RAID");
    const vec4 warm(1.0f, 0.86f, 0.62f, 1.0f);
    text.drawShadowed(image, 44, 154, "The Red guard watches only the ground within 20 units", 13, warm);
    text.drawShadowed(image, 44, 170, "of its flag (the outer red ring): strike it from outside.", 13, warm);
    text.drawShadowed(image, 44, 186, "Its fireballs fly in a straight line: sidestep to dodge.", 13, warm);

    struct Line {
        const char* key;
        const char* action;
    };
    const auto keys = [&](int& baseline, const char* name, const std::vector<Line>& lines, int columns) {
        title(baseline, name);
        baseline += 19;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const int column = static_cast<int>(i) % columns;
            const int left = columns == 1 ? 44 : 44 + 226 * column;
            text.drawShadowed(image, left, baseline, lines[i].key, 14, kGold);
            text.drawShadowed(image, columns == 1 ? 220 : left + 36, baseline, lines[i].action, 14,
                              vec4(0.95f, 0.95f, 0.95f, 1.0f));
            if (column == columns - 1 || i + 1 == lines.size()) {
                baseline += 17;
            }
        }
        baseline += 8;
    };
    int baseline = 212;
    keys(baseline, "PLAYING",
         {{"Left mouse (hold)", "Walk to the cursor"},
          {"Q", "Fireball"},
          {"W", "Chain lightning"},
          {"E", "Crushing wave"},
          {"R", "Waveform"},
          {"0", "Follow your actor / free camera"}},
         1);
    keys(baseline, "FREE CAMERA", {{"W A S D or arrows", "Fly"}, {"Right mouse (hold)", "Look around"}}, 1);
    keys(baseline, "DISPLAY",
         {{"F1", "This help"},
          {"F2", "Frames per second"},
          {"F3", "Wireframe"},
          {"F4", "Texture sampling"},
          {"F8", "Frustum culling"},
          {"F9", "Transparency"}},
         2);
    centred(494, "Close the window to quit.", 13, vec4(0.65f, 0.68f, 0.75f, 1.0f));
    return image;
}
}  // namespace

bool bakeHudTextures(const std::string& directory) {
    bake::TextPainter text(kFont);
    if (!text.ready()) {
        std::fprintf(stderr, "the HUD needs the font %s (Debian package fonts-open-sans)\n", kFont);
        return false;
    }
    bool ok = bake::savePng(scoreBar(text), directory + "scoreBar.png");
    ok = bake::savePng(scorePointsBlue(), directory + "scorePointsBlue.png") && ok;
    ok = bake::savePng(skillBar(text), directory + "skillBar.png") && ok;
    ok = bake::savePng(cooldown(), directory + "cooldown.png") && ok;
    ok = bake::savePng(help(text), directory + "help.png") && ok;
    return ok;
}
