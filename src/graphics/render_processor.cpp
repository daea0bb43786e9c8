#include "graphics/render_processor.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <string>
#include <utility>

#include "entities/messages.h"
#include "game/camera.h"
#include "game/components.h"
#include "game/game.h"
#include "game/processors/logic_processor.h"
#include "game/runtime_settings.h"
#include "graphics/billboard.h"
#include "graphics/hud.h"
#include "graphics/resources/material.h"
#include "graphics/resources/shader_program.h"
#include "graphics/resources/texture.h"
#include "graphics/utility/render_target.h"
#include "io/data_manager.h"
#include "utils/log.h"
#include "utils/profiler.h"

namespace {

// The sun's shadow box around the point the camera looks after.
constexpr float kLightDistance = 50.0f;
constexpr float kLightHalfExtent = 20.0f;
constexpr float kLightNear = 20.0f;
constexpr float kLightFar = 80.0f;

// Health bars float this high above the entity's feet.
const glm::vec3 kHealthBarLift(0.0f, 3.0f, 0.0f);
constexpr float kHealthBarHalfWidth = 0.64f;
constexpr float kHealthBarHalfHeight = 0.16f;

// The help screen: a square of this many pixels in the middle of the window.
constexpr int kHelpSize = 512;

// Animation states with a clip, and the data key naming the clip.
const std::pair<int32_t, const char*> kAnimationNameKeys[] = {
    {Idle, "animation.name.idle"},
    {Run, "animation.name.run"},
    {FireballWindup, "animation.name.fireball.windup"},
    {FireballBackswing, "animation.name.fireball.backswing"},
    {ChainLightningWindup, "animation.name.chainLightning.windup"},
    {ChainLightningBackswing, "animation.name.chainLightning.backswing"},
    {CrushingWaveWindup, "animation.name.crushingWave.windup"},
    {CrushingWaveBackswing, "animation.name.crushingWave.backswing"},
    {WaveformWindup, "animation.name.waveform.windup"},
    {WaveformBackswing, "animation.name.waveform.backswing"},
    {Dying, "animation.name.dying"},
    {Dead, "animation.name.dead"},
};

// The light's direction from the data store, normalised; a zero vector would
// give no light at all, so it falls back to straight down.
glm::vec3 readLightDirection() {
    return unitOr(DataManager::getVec3("light.direction"), glm::vec3(0.0f, -1.0f, 0.0f));
}
}  // namespace

RenderProcessor::RenderProcessor(Game* game) : RenderProcessor(game, WindowSizes()) {}

RenderProcessor::RenderProcessor(Game* game, WindowSizes windowSizes)
    : game(game),
      sizes(std::move(windowSizes)),
      billboardProgram(ShaderProgramManager::instance().get("Billboard")),
      overlayProgram(ShaderProgramManager::instance().get("Overlay")),
      healthBarMaterial(MaterialManager::instance().get("HealthBar")),
      healthBarBorderMaterial(MaterialManager::instance().get("HealthBarBorder")),
      helpMaterial(MaterialManager::instance().get("Help")),
      healthBarBorder(std::make_unique<Billboard>()),
      healthBarFill(std::make_unique<Billboard>()) {
    const ScreenSize window = sizes.window();
    headUpDisplay = std::make_unique<Hud>(&game->blueScore, window);

    Camera& camera = Camera::instance();
    camera.position = Camera::kStartPosition;
    camera.direction = Camera::kStartDirection;

    ViewState& state = ViewState::instance();
    state.lightDirection = readLightDirection();
    for (const auto& [animationState, key] : kAnimationNameKeys) {
        if (const std::string* name = DataManager::instance().find(key)) {
            animationNames[animationState] = *name;
        }
    }

    healthBarBorder->rect = healthBarBorderRect();
    // The rules pick ground points under the cursor through this camera.
    if (const std::shared_ptr<LogicProcessor> logic = game->systems.system<LogicProcessor>()) {
        logic->setCursorRay([](std::int32_t x, std::int32_t y) {
            const WorldRay ray = unprojectCursor(x, y);
            return PickRay{ray.origin, ray.direction};
        });
    }
    // The cursor pick works from the first frame on.
    placeCamera(sizes.framebuffer());
}

RenderProcessor::~RenderProcessor() = default;

float RenderProcessor::healthFraction(float current, float maximum) {
    if (!(maximum > 0.0f) || std::isnan(current)) {
        return 0.0f;
    }
    return std::clamp(current / maximum, 0.0f, 1.0f);
}

glm::vec4 RenderProcessor::healthBarBorderRect() {
    return glm::vec4(-kHealthBarHalfWidth, -kHealthBarHalfHeight, kHealthBarHalfWidth, kHealthBarHalfHeight);
}

glm::vec4 RenderProcessor::healthBarFillRect(float fraction) {
    return glm::vec4(-kHealthBarHalfWidth, -kHealthBarHalfHeight,
                     2.0f * kHealthBarHalfWidth * fraction - kHealthBarHalfWidth, kHealthBarHalfHeight);
}

glm::vec4 RenderProcessor::healthBarFillTexRect(float fraction) {
    return glm::vec4(0.0f, 0.0f, fraction, 1.0f);
}

void RenderProcessor::update(double dt) {
    const RuntimeSettings& settings = RuntimeSettings::instance();
    handleSamplingOrders();

    const ScreenSize window = sizes.window();
    const ScreenSize framebuffer = sizes.framebuffer();
    const bool drawing = window.hasArea() && framebuffer.hasArea();

    items.clear();
    collectDrawItems(game->entities, ViewState::instance().frustumPlanes, settings.frustumCulling,
                     animationNames, dt, items);
    orderDrawItems(items);
    for (const DrawItem& item : items) {
        item.renderable->update(item.entity, dt);
    }

    // The report keeps its item storage from frame to frame.
    report.drawn = drawing;
    report.shadowDraws = 0;
    report.mainDraws = 0;
    report.healthBars = 0;
    if (drawing) {
        glPolygonMode(GL_FRONT_AND_BACK, settings.wireframe ? GL_LINE : GL_FILL);
        Profiler& profiler = Profiler::instance();
        profiler.begin("ShadowPass");
        shadowPass();
        profiler.end("ShadowPass");
        mainPass(framebuffer);
        drawHealthBars();
    }
    feedHud(dt, window, drawing);
    if (drawing && settings.showHelp) {
        drawHelp(window);
    }
    // Handed over without a copy; the old report's storage collects the
    // next frame.
    report.items.swap(items);
}

void RenderProcessor::handleSamplingOrders() {
    auto& orders = game->messages.pool<ToggleTextureSamplingMethodOrderMessage>();
    const uint32_t count = static_cast<uint32_t>(orders.size());
    for (uint32_t i = 0; i < count; ++i) {
        TextureManager& textures = TextureManager::instance();
        textures.toggleSamplingMethod();
        game->messages.emit<NotificationMessage>(
            std::string(samplingMethodAt(textures.samplingMethod()).shownAs));
    }
}

void RenderProcessor::setModel(const DrawItem& item) {
    const TransformComponent* transform =
        item.entity.manager()->component<TransformComponent>(item.entity.id()).get();
    glm::mat4 model(1.0f);
    if (transform != nullptr) {
        model = glm::translate(glm::mat4(1.0f), transform->position + item.offset) *
                glm::mat4_cast(transform->rotation) * glm::scale(glm::mat4(1.0f), transform->scale);
    }
    ViewState::instance().model = model;
}

void RenderProcessor::uniformStep(ShaderProgram& program) {
    const ViewState& state = ViewState::instance();
    if (program.hasUniform(Uniform::ModelViewProjection)) {
        program.setUniform(Uniform::ModelViewProjection, state.projection * state.view * state.model);
    }
    const glm::mat4 modelView = state.view * state.model;
    if (program.hasUniform(Uniform::ModelView)) {
        program.setUniform(Uniform::ModelView, modelView);
    }
    program.setUniform(Uniform::Model, state.model);
    program.setUniform(Uniform::View, state.view);
    program.setUniform(Uniform::Projection, state.projection);
    program.setUniform(Uniform::NormalTransform, glm::inverseTranspose(glm::mat3(modelView)));
    const glm::vec3 eyeLight = glm::inverseTranspose(glm::mat3(state.view)) * state.lightDirection;
    program.setUniform(Uniform::es_LightDirection, unitOr(eyeLight, glm::vec3(0.0f, 0.0f, -1.0f)));
}

void RenderProcessor::shadowPass() {
    RenderTargets& targets = RenderTargets::instance();
    if (!targets.shadowUsable()) {
        return;
    }
    glCullFace(GL_FRONT);
    glViewport(0, 0, RenderTargets::kShadowMapSize, RenderTargets::kShadowMapSize);
    targets.activate(RenderTargets::Shadow);
    // Depth writes may be off after the last frame's HUD.
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);

    ViewState& state = ViewState::instance();
    state.lightDirection = readLightDirection();
    const glm::vec3 offset = DataManager::getVec3("camera.offset");
    const glm::vec3 lightEye = Camera::instance().position - offset - kLightDistance * state.lightDirection;
    state.view = safeLookAlong(lightEye, state.lightDirection);
    state.projection = glm::ortho(-kLightHalfExtent, kLightHalfExtent, -kLightHalfExtent, kLightHalfExtent,
                                  kLightNear, kLightFar);
    state.lightViewProjection = state.projection * state.view;

    for (const DrawItem& item : items) {
        if (item.drawClass != kShadowCasterClass || item.shadowProgram == nullptr ||
            item.material == nullptr) {
            continue;
        }
        ShaderProgram& program = *item.shadowProgram;
        glUseProgram(program.id());
        setModel(item);
        uniformStep(program);
        item.material->apply(program);
        item.renderable->draw(program);
        ++report.shadowDraws;
    }
    glCullFace(GL_BACK);
}

void RenderProcessor::placeCamera(ScreenSize framebuffer) {
    const Camera& camera = Camera::instance();
    placeCameraView(ViewState::instance(), camera.position, camera.direction, framebuffer);
}

void RenderProcessor::mainPass(ScreenSize framebuffer) {
    RenderTargets& targets = RenderTargets::instance();
    targets.activate(RenderTargets::Window);
    glViewport(0, 0, framebuffer.width, framebuffer.height);
    placeCamera(framebuffer);

    const ViewState& state = ViewState::instance();
    const uint32_t shadowMap = targets.shadowDepthTexture();
    for (const DrawItem& item : items) {
        if (item.program == nullptr || item.material == nullptr) {
            continue;
        }
        ShaderProgram& program = *item.program;
        glUseProgram(program.id());
        program.setUniform(Uniform::ShadowMap, shadowMap);
        setModel(item);
        if (program.hasUniform(Uniform::ShadowMapModelViewProjection)) {
            program.setUniform(Uniform::ShadowMapModelViewProjection,
                               state.lightViewProjection * state.model);
        }
        uniformStep(program);
        item.material->apply(program);
        item.renderable->draw(program);
        ++report.mainDraws;
        if (&item == &items.back() || (&item + 1)->program != item.program) {
            // Hand each finished program group to the driver: a software
            // rasteriser starts on it while the rest is still being recorded,
            // instead of doing all of it at the swap.
            glFlush();
        }
    }
}

void RenderProcessor::drawHealthBars() {
    if (billboardProgram == nullptr || healthBarMaterial == nullptr || healthBarBorderMaterial == nullptr) {
        return;
    }
    ShaderProgram& program = *billboardProgram;
    glUseProgram(program.id());
    // The bars are unlit, but the program's shadow sampler must not share a
    // unit with its colour sampler, which would refuse the draw.
    program.setUniform(Uniform::ShadowMap, RenderTargets::instance().shadowDepthTexture());

    ViewState& state = ViewState::instance();
    EntityManager& entities = game->entities;
    ComponentHandle<HealthComponent> health;
    ComponentHandle<TransformComponent> transform;
    for (Entity entity : entities.query(health, transform)) {
        (void)entity;
        state.model = glm::translate(glm::mat4(1.0f), transform->position + kHealthBarLift);
        program.setUniform(Uniform::ShadowMapModelViewProjection, state.lightViewProjection * state.model);
        uniformStep(program);

        healthBarBorderMaterial->apply(program);
        healthBarBorder->draw(program);

        const float fraction = healthFraction(health->current, health->maximum);
        healthBarFill->rect = healthBarFillRect(fraction);
        healthBarFill->texRect = healthBarFillTexRect(fraction);
        healthBarMaterial->apply(program);
        healthBarFill->draw(program);
        ++report.healthBars;
    }
}

void RenderProcessor::feedHud(double dt, ScreenSize window, bool draw) {
    Hud& hud = *headUpDisplay;
    for (const std::string& line : flagEvents.read(game->entities, game->messages)) {
        LOG(info) << "Flag event: " << line;
        hud.addNotification(line);
    }
    for (const NotificationMessage& message : game->messages.pool<NotificationMessage>()) {
        hud.addNotification(message.text);
    }
    for (const PlayerCooldownsMessage& message : game->messages.pool<PlayerCooldownsMessage>()) {
        for (int slot = 0; slot < 4; ++slot) {
            hud.setCooldown(slot, message.slots[static_cast<std::size_t>(slot)].readiness);
        }
    }
    hud.update(dt, window);
    if (draw) {
        hud.draw(window);
    }
}

void RenderProcessor::drawHelp(ScreenSize window) {
    if (overlayProgram == nullptr || helpMaterial == nullptr) {
        return;
    }
    const int left = window.width / 2 - kHelpSize / 2;
    const int bottom = window.height / 2 - kHelpSize / 2;
    helpOverlay.rect =
        pixelRectToNdc(static_cast<float>(left), static_cast<float>(bottom),
                       static_cast<float>(left + kHelpSize), static_cast<float>(bottom + kHelpSize),
                       static_cast<float>(window.width), static_cast<float>(window.height));
    glUseProgram(overlayProgram->id());
    helpMaterial->apply(*overlayProgram);
    helpOverlay.draw(*overlayProgram);
}
