#pragma once
// The last system of every frame: draws the world. It culls the entities
// with a render component against the camera frustum, animates and updates
// the visible ones, renders the shadow map from the sun, renders the scene
// from the camera with it, puts health bars over everyone with health and
// hands over to the HUD, adding the frame's flag events to its notifications
// (FlagEventReader). It also carries out the order to switch the texture
// sampling method.
//
// A window without area (minimised, or shrunk to nothing) is not drawn into:
// that frame's messages are still handled, renderables still updated and
// notifications still age.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "game/system.h"
#include "graphics/draw_queue.h"
#include "graphics/flag_events.h"
#include "graphics/overlay.h"
#include "graphics/view_state.h"

class Billboard;
class Game;
class Hud;
class Material;
class ShaderProgram;

class RenderProcessor : public System<RenderProcessor> {
  public:
    // Where the processor learns the window's sizes each frame; by default
    // the Context's window (screen pixels for the HUD and the cursor, pixels
    // of the framebuffer for the viewport).
    struct WindowSizes {
        std::function<ScreenSize()> window = currentWindowSize;
        std::function<ScreenSize()> framebuffer = currentFramebufferSize;
    };

    // Needs the OpenGL context current and the registries loaded. Places the
    // camera at its start, above the Blue side looking straight down, reads
    // "light.direction" and the animation clip names, builds the HUD and
    // hands the logic processor (created before it) the cursor pick.
    explicit RenderProcessor(Game* game);
    RenderProcessor(Game* game, WindowSizes sizes);
    // Releases the HUD (text atlas and font) and the billboards: the context
    // must still be current.
    ~RenderProcessor() override;

    // One frame, dt in seconds (time-scaled).
    void update(double dt) override;

    Hud& hud() { return *headUpDisplay; }

    // What the last update did, for checks of the frame's work.
    struct FrameReport {
        bool drawn = false;           // false when the window had no area
        std::vector<DrawItem> items;  // collected, in drawing order
        std::size_t shadowDraws = 0;  // items drawn into the shadow map
        std::size_t mainDraws = 0;    // items drawn from the camera
        std::size_t healthBars = 0;   // entities that got a bar
    };
    const FrameReport& lastFrame() const { return report; }

    // The fill fraction of a health bar: current / maximum within [0, 1]; 0
    // for a maximum that is not positive.
    static float healthFraction(float current, float maximum);
    // Corners (x0, y0, x1, y1) of the border and the fill of a health bar in
    // the bar's model plane, and the fill's texture rectangle (the texture is
    // cut, not squeezed).
    static glm::vec4 healthBarBorderRect();
    static glm::vec4 healthBarFillRect(float fraction);
    static glm::vec4 healthBarFillTexRect(float fraction);

  private:
    void handleSamplingOrders();
    void placeCamera(ScreenSize framebuffer);
    void shadowPass();
    void mainPass(ScreenSize framebuffer);
    void drawHealthBars();
    void drawHelp(ScreenSize window);
    void feedHud(double dt, ScreenSize window, bool draw);
    void setModel(const DrawItem& item);
    void uniformStep(ShaderProgram& program);

    Game* game;
    WindowSizes sizes;
    AnimationNames animationNames;
    std::unique_ptr<Hud> headUpDisplay;
    FlagEventReader flagEvents;
    std::vector<DrawItem> items;
    FrameReport report;

    ShaderProgram* billboardProgram;
    ShaderProgram* overlayProgram;
    Material* healthBarMaterial;
    Material* healthBarBorderMaterial;
    Material* helpMaterial;
    std::unique_ptr<Billboard> healthBarBorder;
    std::unique_ptr<Billboard> healthBarFill;
    Overlay helpOverlay;
};
