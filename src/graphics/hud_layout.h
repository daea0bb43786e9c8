#pragma once
// The arithmetic of the heads-up display, kept apart from OpenGL: where its
// nine overlays lie for a window size, a Blue score and four cooldowns, and
// the list of notification lines that fade out.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <glm/vec4.hpp>
#include <string>

#include "graphics/view_state.h"

// Rectangles in normalised device coordinates (min x, min y, max x, max y)
// and texture rectangles (min u, min v, max u, max v) of the nine overlays:
// 0 score bar, 1 Blue points strip, 2 unused, 3 and 4 the two halves of the
// skill bar art, 5 to 8 the cooldown shades of skill slots 0 to 3.
struct HudLayout {
    static constexpr std::size_t kOverlayCount = 9;
    static constexpr std::size_t kFirstCooldownOverlay = 5;

    // Pixel sizes of the pieces.
    static constexpr float kScoreBarWidth = 582.0f;
    static constexpr float kScoreBarHeight = 38.0f;
    static constexpr float kPointsStripBase = 10.0f;  // strip width at score 0
    static constexpr float kPointsPerScore = 40.0f;   // added per point
    static constexpr float kSkillBarWidth = 256.0f;
    static constexpr float kSkillBarHeight = 64.0f;
    static constexpr float kSkillSlotWidth = 64.0f;
    static constexpr float kSlotMargin = 3.2f;  // 5 % of the slot, all round

    std::array<glm::vec4, kOverlayCount> rects;
    std::array<glm::vec4, kOverlayCount> texRects;
};

// Width in pixels of the Blue points strip for a score: 10 + 40 per point,
// never wider than the score bar itself (a score above 14 fills it).
float pointsStripWidth(uint8_t blueScore);

// The layout for a window with area. cooldownReadiness[i] is slot i's
// readiness (0 just cast: the whole slot shaded; 1 ready: no shade), clamped
// to [0, 1].
HudLayout layoutHud(ScreenSize window, uint8_t blueScore, const std::array<float, 4>& cooldownReadiness);

// The lines the HUD shows at the bottom left, newest first. Each lives three
// seconds: full opacity for two, then a linear fade over the last.
class NotificationList {
  public:
    static constexpr std::size_t kMaxEntries = 5;
    static constexpr float kLifetime = 3.0f;  // seconds

    struct Entry {
        std::string text;
        float remaining = kLifetime;  // seconds
    };

    // Puts text at the front; the oldest lines beyond five are dropped.
    void add(const std::string& text);
    // Ages every line by dt seconds and drops the oldest ones whose time is up.
    void update(double dt);

    const std::deque<Entry>& entries() const { return list; }

    // The opacity a line is drawn with: its remaining time, at most 1.
    static float opacity(const Entry& entry);

  private:
    std::deque<Entry> list;  // front is the newest
};
