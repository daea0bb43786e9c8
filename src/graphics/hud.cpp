#include "graphics/hud.h"

#include <GL/glew.h>

#include <charconv>
#include <iterator>
#include <string>

#include "context/context.h"
#include "game/runtime_settings.h"
#include "graphics/resources/material.h"
#include "graphics/resources/shader_program.h"

namespace {
// Text pen positions in pixels: notifications from the bottom left upwards,
// the frame rate at the top left.
constexpr float kTextMargin = 20.0f;
constexpr float kLineHeight = 20.0f;

// Every line is drawn twice: a dark outline, then the white letters over it.
struct TextPass {
    int outlineType;
    float outlineThickness;
    float gray;
};
constexpr TextPass kTextPasses[] = {{1, 1.0f, 0.0f}, {0, 2.0f, 1.0f}};
}  // namespace

Hud::Hud(const uint8_t* blueScore, ScreenSize window, const std::string& fontFile)
    : blueScore(blueScore),
      text(std::make_unique<TextRenderer>(fontFile)),
      overlayProgram(ShaderProgramManager::instance().get("Overlay")),
      textProgram(ShaderProgramManager::instance().get("Text")),
      scoreBar(MaterialManager::instance().get("ScoreBar")),
      scorePoints(MaterialManager::instance().get("ScorePointsBlue")),
      skillBar(MaterialManager::instance().get("SkillBar")),
      cooldownShade(MaterialManager::instance().get("SkillCooldownOverlay")) {
    // Glyphs at the settings the lines are drawn with, so that no new line
    // loads any while the game runs.
    for (const TextPass& pass : kTextPasses) {
        text->preload(pass.outlineType, pass.outlineThickness);
    }
    frameRateLine.reserve(std::char_traits<char>::length(kFramesPerSecondText) + 10);
    applyLayout(window);
}

Hud::~Hud() = default;

void Hud::addNotification(const std::string& line) {
    notificationList.add(line);
}

void Hud::setCooldown(int slot, float readiness) {
    if (slot < 0 || slot >= static_cast<int>(cooldownReadiness.size())) {
        return;
    }
    cooldownReadiness[static_cast<std::size_t>(slot)] = readiness;
    applyLayout(laidOutFor);
}

void Hud::update(double dt, ScreenSize window) {
    applyLayout(window);
    notificationList.update(dt);
}

void Hud::applyLayout(ScreenSize window) {
    // A window without area keeps the last layout; it is not drawn anyway.
    if (!window.hasArea()) {
        return;
    }
    laidOutFor = window;
    const HudLayout layout = layoutHud(window, blueScore != nullptr ? *blueScore : 0, cooldownReadiness);
    for (std::size_t i = 0; i < overlays.size(); ++i) {
        if (i == 2) {
            continue;  // never drawn: keeps its default rectangle
        }
        overlays[i].rect = layout.rects[i];
        overlays[i].texRect = layout.texRects[i];
    }
}

void Hud::draw(ScreenSize window) {
    if (!window.hasArea()) {
        return;
    }
    if (overlayProgram != nullptr) {
        glUseProgram(overlayProgram->id());
        const auto drawWith = [this](Material* material, std::size_t first, std::size_t last) {
            if (material == nullptr) {
                return;
            }
            material->apply(*overlayProgram);
            for (std::size_t i = first; i <= last; ++i) {
                overlays[i].draw(*overlayProgram);
            }
        };
        drawWith(scoreBar, 0, 0);
        drawWith(scorePoints, 1, 1);
        drawWith(skillBar, 3, 4);
        drawWith(cooldownShade, 5, 8);
    }

    if (textProgram == nullptr || !text->hasFont()) {
        return;
    }
    glUseProgram(textProgram->id());
    float penY = kTextMargin;
    for (const NotificationList::Entry& entry : notificationList.entries()) {
        drawText(entry.text, kTextMargin, penY, NotificationList::opacity(entry), window);
        penY += kLineHeight;
    }
    if (RuntimeSettings::instance().showFps) {
        const uint32_t rate = Context::exists() ? Context::instance().framesPerSecond : 0;
        if (frameRateLine.empty() || rate != frameRateShown) {
            // Rebuilt in place when the rate changes: no allocation per frame.
            char digits[16];
            const std::to_chars_result end = std::to_chars(std::begin(digits), std::end(digits), rate);
            frameRateLine.assign(kFramesPerSecondText);
            frameRateLine.append(digits, end.ptr);
            frameRateShown = rate;
        }
        drawText(frameRateLine, kTextMargin, static_cast<float>(window.height) - kTextMargin, 1.0f, window);
    }
}

void Hud::drawText(const std::string& line, float penX, float penY, float alpha, ScreenSize window) {
    for (const TextPass& pass : kTextPasses) {
        text->color = glm::vec4(pass.gray, pass.gray, pass.gray, alpha);
        text->setOutline(pass.outlineType, pass.outlineThickness);
        text->draw(*textProgram, line, penX, penY, window);
    }
}
