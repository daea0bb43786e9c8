#include "graphics/hud_layout.h"

#include <algorithm>
#include <cmath>

float pointsStripWidth(uint8_t blueScore) {
    const float width = HudLayout::kPointsStripBase + HudLayout::kPointsPerScore * blueScore;
    return std::min(width, HudLayout::kScoreBarWidth);
}

HudLayout layoutHud(ScreenSize window, uint8_t blueScore, const std::array<float, 4>& cooldownReadiness) {
    const float w = static_cast<float>(window.width);
    const float h = static_cast<float>(window.height);
    const glm::vec4 fullTexture(0.0f, 0.0f, 1.0f, 1.0f);

    HudLayout layout;
    layout.rects.fill(glm::vec4(-0.5f, -0.5f, 0.5f, 0.5f));
    layout.texRects.fill(fullTexture);

    // Score bar: top centre.
    const float barLeft = -HudLayout::kScoreBarWidth / w;
    const float barBottom = 1.0f - 2.0f * HudLayout::kScoreBarHeight / h;
    layout.rects[0] = glm::vec4(barLeft, barBottom, HudLayout::kScoreBarWidth / w, 1.0f);

    // Blue points: the strip is cut from the left of its texture, not squeezed.
    const float strip = pointsStripWidth(blueScore);
    layout.rects[1] = glm::vec4(barLeft, barBottom, barLeft + 2.0f * strip / w, 1.0f);
    layout.texRects[1] = glm::vec4(0.0f, 0.0f, strip / HudLayout::kScoreBarWidth, 1.0f);

    // Skill bar: bottom centre, drawn from two halves of its texture.
    const glm::vec4 skillBar(-HudLayout::kSkillBarWidth / w, -1.0f, HudLayout::kSkillBarWidth / w,
                             2.0f * HudLayout::kSkillBarHeight / h - 1.0f);
    layout.rects[3] = skillBar;
    layout.texRects[3] = glm::vec4(0.5f, 0.875f, 1.0f, 1.0f);
    layout.rects[4] = skillBar;
    layout.texRects[4] = glm::vec4(0.0f, 0.875f, 0.5f, 1.0f);

    // Cooldown shades: the top edge stays, the bottom edge rises with readiness.
    for (std::size_t i = 0; i < 4; ++i) {
        float readiness = cooldownReadiness[i];
        readiness = std::isnan(readiness) ? 0.0f : std::clamp(readiness, 0.0f, 1.0f);
        const float left = -HudLayout::kSkillBarWidth / 2.0f + HudLayout::kSkillSlotWidth * i;
        const float bottomPixels =
            HudLayout::kSkillBarHeight * (0.9f * readiness + 0.05f);  // 3.2 + 57.6 x readiness
        const float topPixels = HudLayout::kSkillBarHeight - HudLayout::kSlotMargin;
        layout.rects[HudLayout::kFirstCooldownOverlay + i] =
            glm::vec4(2.0f * (left + HudLayout::kSlotMargin) / w, 2.0f * bottomPixels / h - 1.0f,
                      2.0f * (left + HudLayout::kSkillSlotWidth - HudLayout::kSlotMargin) / w,
                      2.0f * topPixels / h - 1.0f);
    }
    return layout;
}

void NotificationList::add(const std::string& text) {
    list.push_front(Entry{text, kLifetime});
    while (list.size() > kMaxEntries) {
        list.pop_back();
    }
}

void NotificationList::update(double dt) {
    for (Entry& entry : list) {
        entry.remaining -= static_cast<float>(dt);
    }
    while (!list.empty() && list.back().remaining <= 0.0f) {
        list.pop_back();
    }
}

float NotificationList::opacity(const Entry& entry) {
    return std::clamp(entry.remaining, 0.0f, 1.0f);
}
