// The desktop menu's icon: a flag on a pole, its cloth split diagonally into
// the two teams' colours, waving, with a dark outline so that it reads on
// light and dark menus alike. Drawn with 4 x 4 samples a pixel.
#include <cmath>
#include <string>

#include "bake.h"
#include "bake_image.h"

using glm::vec3;
using glm::vec4;

namespace {
constexpr int kIconSize = 256;
constexpr int kSamples = 4;
constexpr float kPi = 3.14159265358979f;

// The pole and its knob.
constexpr float kPoleLeft = 34.0f;
constexpr float kPoleRight = 48.0f;
constexpr float kPoleTop = 30.0f;
constexpr float kPoleBottom = 244.0f;
constexpr float kKnobRadius = 12.0f;
// The cloth, before it waves.
constexpr float kClothLeft = kPoleRight;
constexpr float kClothRight = 238.0f;
constexpr float kClothTop = 44.0f;
constexpr float kClothHeight = 128.0f;
constexpr float kOutline = 4.0f;

const vec3 kOutlineColour(0.08f, 0.09f, 0.12f);
const vec3 kPoleColour(0.70f, 0.66f, 0.58f);

// How far the cloth hangs below its rest position at x, and the slope of the
// wave there: the free end swings more than the end at the pole.
float along(float x) {
    return (x - kClothLeft) / (kClothRight - kClothLeft);
}
float wave(float x) {
    const float t = along(x);
    return 14.0f * t * std::sin(2.0f * kPi * 1.25f * t);
}
float waveSlope(float x) {
    const float t = along(x);
    return std::sin(2.0f * kPi * 1.25f * t) + t * 2.0f * kPi * 1.25f * std::cos(2.0f * kPi * 1.25f * t);
}

bool inPole(float x, float y, float grow) {
    const float dx = x - (kPoleLeft + kPoleRight) * 0.5f;
    const float dy = y - kPoleTop;
    return (x >= kPoleLeft - grow && x <= kPoleRight + grow && y >= kPoleTop && y <= kPoleBottom + grow) ||
           dx * dx + dy * dy <= (kKnobRadius + grow) * (kKnobRadius + grow);
}

// v in [0, 1] down the cloth, or negative outside it (grown by grow pixels).
float clothV(float x, float y, float grow) {
    if (x < kClothLeft - grow || x > kClothRight + grow) {
        return -1.0f;
    }
    const float v = (y - kClothTop - wave(glm::clamp(x, kClothLeft, kClothRight))) / kClothHeight;
    const float margin = grow / kClothHeight;
    return v >= -margin && v <= 1.0f + margin ? glm::clamp(v, 0.0f, 1.0f) : -1.0f;
}

// The colour of one sample, alpha 0 where nothing is drawn.
vec4 sample(float x, float y) {
    if (clothV(x, y, 0.0f) >= 0.0f) {
        const float v = clothV(x, y, 0.0f);
        // Blue above the diagonal from the pole's top to the free end's
        // bottom, red below it, a pale seam between.
        const float side = v - along(x);
        const vec3 team = side < 0.0f ? bake::kBlueTeamColour : bake::kRedTeamColour;
        const vec3 colour = std::fabs(side) < 0.035f ? vec3(0.93f, 0.91f, 0.86f) : team;
        const float fold = 0.85f + 0.15f * glm::clamp(-waveSlope(x) * 0.6f, -1.0f, 1.0f);
        return vec4(glm::min(colour * fold, vec3(1.0f)), 1.0f);
    }
    if (inPole(x, y, 0.0f)) {
        const float across = (x - kPoleLeft) / (kPoleRight - kPoleLeft);
        const float light = 0.75f + 0.35f * std::sin(kPi * glm::clamp(across, 0.0f, 1.0f));
        return vec4(kPoleColour * light, 1.0f);
    }
    if (clothV(x, y, kOutline) >= 0.0f || inPole(x, y, kOutline)) {
        return vec4(kOutlineColour, 1.0f);
    }
    return vec4(0.0f);
}

bake::Image icon() {
    bake::Image image(kIconSize, kIconSize);
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            vec3 colour(0.0f);
            float coverage = 0.0f;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const vec4 s = sample(x + (sx + 0.5f) / kSamples, y + (sy + 0.5f) / kSamples);
                    colour += vec3(s) * s.a;
                    coverage += s.a;
                }
            }
            // Straight alpha: the colour of what covers the pixel.
            image.at(x, y) =
                coverage > 0.0f ? vec4(colour / coverage, coverage / (kSamples * kSamples)) : vec4(0.0f);
        }
    }
    return image;
}
}  // namespace

bool bakeIcon(const std::string& root) {
    return bake::savePng(icon(), root + "resources/icons/flagstorm.png");
}
