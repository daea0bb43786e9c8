#pragma once
// The heads-up display: the score bar with the Blue points at the top, the
// skill bar with one cooldown shade per slot at the bottom, the notification
// lines at the bottom left and the frame rate at the top left. The render
// processor feeds it the frame's messages, then updates and draws it after
// the scene.
//
// Its programs ("Overlay", "Text") and materials ("ScoreBar",
// "ScorePointsBlue", "SkillBar", "SkillCooldownOverlay") are looked up once,
// at construction; a missing one is reported there by its registry and the
// element it draws is left out.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "graphics/hud_layout.h"
#include "graphics/overlay.h"
#include "graphics/text_renderer.h"
#include "graphics/view_state.h"
#include "utils/non_copyable.h"

class Material;
class ShaderProgram;

class Hud : private NonCopyable {
  public:
    static constexpr const char* kFontFile = "resources/fonts/DroidSans-Bold.ttf";
    static constexpr const char* kFramesPerSecondText = "Frames per second: ";

    // blueScore is the game's Blue capture count, read at every update.
    // Needs the OpenGL context current, and the registries loaded.
    Hud(const uint8_t* blueScore, ScreenSize window, const std::string& fontFile = kFontFile);
    // Releases the text atlas and font: the context must still be current.
    ~Hud();

    void addNotification(const std::string& text);
    // Readiness of skill slot 0..3 (0 just cast, 1 ready); other slots are ignored.
    void setCooldown(int slot, float readiness);
    // Lays the overlays out for the window and the current score and ages the
    // notifications by dt seconds.
    void update(double dt, ScreenSize window);
    // Draws the overlays and the text; nothing for a window without area.
    void draw(ScreenSize window);

    const NotificationList& notifications() const { return notificationList; }
    const Overlay& overlay(std::size_t index) const { return overlays[index]; }
    const TextRenderer& textRenderer() const { return *text; }

  private:
    void applyLayout(ScreenSize window);
    void drawText(const std::string& text, float penX, float penY, float alpha, ScreenSize window);

    const uint8_t* blueScore;
    std::array<Overlay, HudLayout::kOverlayCount> overlays;
    std::array<float, 4> cooldownReadiness{};
    ScreenSize laidOutFor;
    NotificationList notificationList;
    std::unique_ptr<TextRenderer> text;
    std::string frameRateLine;  // the frame-rate line last drawn
    uint32_t frameRateShown = 0;

    ShaderProgram* overlayProgram;
    ShaderProgram* textProgram;
    Material* scoreBar;
    Material* scorePoints;
    Material* skillBar;
    Material* cooldownShade;
};
