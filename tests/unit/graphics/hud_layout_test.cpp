#include "graphics/hud_layout.h"

#include <gtest/gtest.h>

namespace {
constexpr float kTolerance = 1e-5f;

// Pixel x of an NDC x in a window of width w, and the same for y.
float pixelX(float ndc, int w) {
    return (ndc + 1.0f) * 0.5f * static_cast<float>(w);
}
float pixelY(float ndc, int h) {
    return (ndc + 1.0f) * 0.5f * static_cast<float>(h);
}

const std::array<float, 4> kAllReady{1.0f, 1.0f, 1.0f, 1.0f};
}  // namespace

TEST(HudLayout, ScoreBarSitsAtTheTopCentreWithAPointsStripOfTenPlusFortyPixelsPerPoint) {
    const ScreenSize window{1280, 720};
    for (const uint8_t score : {0, 1, 5}) {
        SCOPED_TRACE(static_cast<int>(score));
        const HudLayout layout = layoutHud(window, score, kAllReady);
        const glm::vec4 bar = layout.rects[0];
        EXPECT_NEAR(pixelX(bar.x, 1280), 640.0f - 291.0f, 1e-3f);
        EXPECT_NEAR(pixelX(bar.z, 1280), 640.0f + 291.0f, 1e-3f);
        EXPECT_NEAR(pixelY(bar.y, 720), 720.0f - 38.0f, 1e-3f);
        EXPECT_NEAR(bar.w, 1.0f, kTolerance);

        const float strip = 10.0f + 40.0f * score;
        const glm::vec4 points = layout.rects[1];
        EXPECT_NEAR(points.x, bar.x, kTolerance);
        EXPECT_NEAR(pixelX(points.z, 1280) - pixelX(points.x, 1280), strip, 1e-3f);
        EXPECT_NEAR(points.y, bar.y, kTolerance);
        EXPECT_NEAR(points.w, bar.w, kTolerance);
        // The texture is cut at the same share of the bar, not squeezed.
        EXPECT_NEAR(layout.texRects[1].z, strip / 582.0f, kTolerance);
        EXPECT_EQ(layout.texRects[1].x, 0.0f);
    }
    // A score past 14 would run beyond the bar: the strip stops at its end.
    EXPECT_FLOAT_EQ(pointsStripWidth(14), 570.0f);
    EXPECT_FLOAT_EQ(pointsStripWidth(15), 582.0f);
    EXPECT_FLOAT_EQ(pointsStripWidth(255), 582.0f);
    EXPECT_NEAR(layoutHud(window, 200, kAllReady).texRects[1].z, 1.0f, kTolerance);
}

TEST(HudLayout, SkillBarSitsAtTheBottomCentreDrawnFromTwoHalvesOfItsTexture) {
    const HudLayout layout = layoutHud(ScreenSize{800, 600}, 0, kAllReady);
    for (const std::size_t i : {3u, 4u}) {
        EXPECT_NEAR(pixelX(layout.rects[i].x, 800), 400.0f - 128.0f, 1e-3f);
        EXPECT_NEAR(pixelX(layout.rects[i].z, 800), 400.0f + 128.0f, 1e-3f);
        EXPECT_NEAR(layout.rects[i].y, -1.0f, kTolerance);
        EXPECT_NEAR(pixelY(layout.rects[i].w, 600), 64.0f, 1e-3f);
    }
    EXPECT_EQ(layout.texRects[3], glm::vec4(0.5f, 0.875f, 1.0f, 1.0f));
    EXPECT_EQ(layout.texRects[4], glm::vec4(0.0f, 0.875f, 0.5f, 1.0f));
}

TEST(HudLayout, CooldownShadeBottomEdgeRisesWithReadinessWhileTheTopStays) {
    const ScreenSize window{1280, 720};
    // Slot 0 just cast, slot 1 half way, slot 2 ready, slot 3 out of range on both sides.
    const HudLayout layout = layoutHud(window, 0, {0.0f, 0.5f, 1.0f, 7.0f});
    const float expectedBottom[] = {3.2f, 3.2f + 28.8f, 60.8f, 60.8f};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const glm::vec4 shade = layout.rects[5 + i];
        EXPECT_NEAR(pixelY(shade.y, 720), expectedBottom[i], 1e-3f);
        EXPECT_NEAR(pixelY(shade.w, 720), 60.8f, 1e-3f);
        EXPECT_NEAR(pixelX(shade.x, 1280), 640.0f - 128.0f + 64.0f * i + 3.2f, 1e-3f);
        EXPECT_NEAR(pixelX(shade.z, 1280), 640.0f - 128.0f + 64.0f * (i + 1) - 3.2f, 1e-3f);
    }
    const HudLayout negative = layoutHud(window, 0, {-2.0f, 0.0f, 0.0f, 0.0f});
    EXPECT_NEAR(pixelY(negative.rects[5].y, 720), 3.2f, 1e-3f);
}

TEST(NotificationList, HoldsTheFiveNewestLinesNewestFirst) {
    NotificationList list;
    for (int i = 1; i <= 6; ++i) {
        list.add("line " + std::to_string(i));
    }
    ASSERT_EQ(list.entries().size(), 5u);
    EXPECT_EQ(list.entries().front().text, "line 6");
    EXPECT_EQ(list.entries().back().text, "line 2");
}

TEST(NotificationList, ALineIsOpaqueForTwoSecondsThenFadesLinearlyAndGoesAtZero) {
    NotificationList list;
    list.add("F2: FPS display turned on...");
    ASSERT_EQ(list.entries().size(), 1u);
    EXPECT_FLOAT_EQ(NotificationList::opacity(list.entries().front()), 1.0f);
    list.update(1.5);
    EXPECT_FLOAT_EQ(NotificationList::opacity(list.entries().front()), 1.0f);
    list.update(0.5);
    EXPECT_NEAR(NotificationList::opacity(list.entries().front()), 1.0f, 1e-5f);
    list.update(0.25);
    EXPECT_NEAR(NotificationList::opacity(list.entries().front()), 0.75f, 1e-5f);
    list.update(0.5);
    EXPECT_NEAR(NotificationList::opacity(list.entries().front()), 0.25f, 1e-5f);
    list.update(0.25);  // exactly three seconds
    EXPECT_TRUE(list.entries().empty());
}

TEST(NotificationList, OlderLinesExpireFirstAndLeaveNewerOnes) {
    NotificationList list;
    list.add("old");
    list.update(2.0);
    list.add("new");
    list.update(1.5);
    ASSERT_EQ(list.entries().size(), 1u);
    EXPECT_EQ(list.entries().front().text, "new");
    EXPECT_NEAR(list.entries().front().remaining, 1.5f, 1e-5f);
}
