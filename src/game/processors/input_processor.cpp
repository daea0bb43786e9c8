#include "game/processors/input_processor.h"

#include <GLFW/glfw3.h>

#include <cmath>
#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>
#include <limits>

#include "context/context.h"
#include "entities/messages.h"
#include "game/camera.h"
#include "game/components.h"
#include "game/game.h"
#include "game/runtime_settings.h"
#include "io/data_manager.h"
#include "utils/log.h"

namespace {
const glm::vec3 kUp(0.0f, 1.0f, 0.0f);

// Truncates toward zero; positions far outside the int32 range are clamped and
// a NaN reads as 0, so a strange platform answer cannot overflow.
int32_t truncateCoordinate(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double lowest = std::numeric_limits<int32_t>::min();
    constexpr double highest = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::trunc(std::fmin(std::fmax(value, lowest), highest)));
}

// The unit vector along v, or false when v has no direction (zero length),
// which normalising would turn into NaN.
bool unitVector(const glm::vec3& v, glm::vec3& unit) {
    const float length = glm::length(v);
    if (!(length > 0.0f) || !std::isfinite(length)) {
        return false;
    }
    unit = v / length;
    return true;
}

// Skills that have no cooldown at all count as always ready.
float readiness(const ActorSkillsComponent::Slot& slot) {
    if (!(slot.cooldown > 0.0f)) {
        return 1.0f;
    }
    return 1.0f - slot.remaining / slot.cooldown;
}

PlayerCooldownsMessage cooldownsOf(const ActorSkillsComponent& skills) {
    PlayerCooldownsMessage message;
    for (std::size_t i = 0; i < skills.slots.size(); ++i) {
        message.slots[i].readiness = readiness(skills.slots[i]);
        message.slots[i].remaining = skills.slots[i].remaining;
    }
    return message;
}

// Eases the camera towards its place behind the actor and turns it towards the
// actor, by a fixed share per frame (not per second).
void followActor(const glm::vec3& actorPosition) {
    Camera& camera = Camera::instance();
    const glm::vec3 desiredEye = actorPosition + DataManager::getVec3("camera.offset");
    const float distance = glm::length(camera.position - actorPosition);
    // A camera without a view direction looks at its own eye point until the
    // follow has given it one.
    glm::vec3 lookPoint = camera.position;
    glm::vec3 view;
    if (unitVector(camera.direction, view)) {
        lookPoint += view * distance;
    }
    const float factor = InputProcessor::kFollowFactor;
    const glm::vec3 newPosition = camera.position + (desiredEye - camera.position) * factor;
    const glm::vec3 newLookPoint = lookPoint + (actorPosition - lookPoint) * factor;
    camera.position = newPosition;
    camera.direction = newLookPoint - newPosition;
}
}  // namespace

InputProcessor::InputProcessor(Game* game) : InputProcessor(game, std::make_unique<GlfwInputPolling>()) {}

InputProcessor::InputProcessor(Game* game, std::unique_ptr<InputPolling> polling)
    : game(game), polling(polling ? std::move(polling) : std::make_unique<GlfwInputPolling>()) {
    Context& context = Context::instance();
    context.keyPressed.subscribe(static_cast<DelayedEventListener<KeyPressedEvent>*>(this));
    context.mouseButtonPressed.subscribe(static_cast<DelayedEventListener<MouseButtonPressedEvent>*>(this));
}

InputProcessor::~InputProcessor() {
    // At program end the Context may be gone before the systems; there is
    // nothing left to unsubscribe from then.
    if (!Context::exists()) {
        return;
    }
    Context& context = Context::instance();
    context.keyPressed.unsubscribe(static_cast<DelayedEventListener<KeyPressedEvent>*>(this));
    context.mouseButtonPressed.unsubscribe(static_cast<DelayedEventListener<MouseButtonPressedEvent>*>(this));
}

void InputProcessor::update(double dt) {
    drainEvents();
    applyFunctionKeys();
    if (mode == 0) {
        runFreeCamera(dt);
    } else if (mode == 1) {
        runActorControl(dt);
    }
}

void InputProcessor::drainEvents() {
    previousCursor = cursor;
    double x = 0.0;
    double y = 0.0;
    polling->cursorPosition(x, y);
    cursor.x = truncateCoordinate(x);
    cursor.y = truncateCoordinate(y);

    keysPressed.clear();
    keysReleased.clear();
    buttonsPressed.clear();
    buttonsReleased.clear();
    auto& keyPresses = DelayedEventListener<KeyPressedEvent>::events;
    for (const KeyPressedEvent& event : keyPresses) {
        keysPressed.insert(event.key);
    }
    keyPresses.clear();
    auto& keyReleases = DelayedEventListener<KeyReleasedEvent>::events;
    for (const KeyReleasedEvent& event : keyReleases) {
        keysReleased.insert(event.key);
    }
    keyReleases.clear();
    auto& buttonPresses = DelayedEventListener<MouseButtonPressedEvent>::events;
    for (const MouseButtonPressedEvent& event : buttonPresses) {
        buttonsPressed.insert(event.button);
    }
    buttonPresses.clear();
    auto& buttonReleases = DelayedEventListener<MouseButtonReleasedEvent>::events;
    for (const MouseButtonReleasedEvent& event : buttonReleases) {
        buttonsReleased.insert(event.button);
    }
    buttonReleases.clear();
}

void InputProcessor::notify(const std::string& text) {
    game->messages.emit<NotificationMessage>(text);
}

void InputProcessor::applyFunctionKeys() {
    RuntimeSettings& settings = RuntimeSettings::instance();
    if (pressed(GLFW_KEY_0)) {
        mode = static_cast<uint8_t>((mode + 1) % 2);
    }
    if (pressed(GLFW_KEY_F1)) {
        settings.showHelp = !settings.showHelp;
        if (settings.showHelp) {
            notify("F1: Help...");
        }
    }
    if (pressed(GLFW_KEY_F2)) {
        settings.showFps = !settings.showFps;
        notify(settings.showFps ? "F2: FPS display turned on..." : "F2: FPS display turned off...");
    }
    if (pressed(GLFW_KEY_F3)) {
        settings.wireframe = !settings.wireframe;
        notify(settings.wireframe ? "F3: Wireframe turned on..." : "F3: Wireframe turned off...");
    }
    if (pressed(GLFW_KEY_F4)) {
        game->messages.emit<ToggleTextureSamplingMethodOrderMessage>();
        notify("F4: Toggling Texture Sampling Mode...");
    }
    if (pressed(GLFW_KEY_F8)) {
        settings.frustumCulling = !settings.frustumCulling;
        notify(settings.frustumCulling ? "F8: Frustum Culling turned on..."
                                       : "F8: Frustum Culling turned off...");
    }
    if (pressed(GLFW_KEY_F9)) {
        settings.transparency = !settings.transparency;
        notify(settings.transparency ? "F9: Transparency turned on..." : "F9: Transparency turned off...");
    }
}

void InputProcessor::runActorControl(double dt) {
    EntityManager& entities = game->entities;
    ComponentHandle<ControlSchemeComponent> control;
    for (Entity actor : entities.query(control)) {
        const ComponentHandle<ActorSkillsComponent> skills =
            entities.component<ActorSkillsComponent>(actor.id());
        if (skills) {
            game->messages.emit<PlayerCooldownsMessage>(cooldownsOf(*skills));
        }
        if (control->scheme != KeyboardAndMouse) {
            LOG(error) << "Unrecognized control scheme [" << static_cast<int>(control->scheme) << "]!";
            continue;
        }
        if (const ComponentHandle<TransformComponent> transform =
                entities.component<TransformComponent>(actor.id())) {
            followActor(transform->position);
        }
        moveOrderTimer -= static_cast<float>(dt);

        // Q before W before E before R: one cast order per frame at most.
        int slot = -1;
        const int32_t castKeys[] = {GLFW_KEY_Q, GLFW_KEY_W, GLFW_KEY_E, GLFW_KEY_R};
        for (int i = 0; i < 4; ++i) {
            if (pressed(castKeys[i])) {
                slot = i;
                break;
            }
        }
        if (slot >= 0) {
            // An actor without skill slots has nothing to cast.
            if (skills) {
                game->messages.emit<SkillCastToCursorOrderMessage>(actor, skills->slots[slot].skill, cursor.x,
                                                                   cursor.y);
            }
        } else if (moveOrderTimer <= 0.0f && polling->mouseButtonHeld(GLFW_MOUSE_BUTTON_LEFT)) {
            game->messages.emit<MoveToCursorOrderMessage>(actor, cursor.x, cursor.y);
            moveOrderTimer = kMoveOrderInterval;
        }
    }
}

void InputProcessor::runFreeCamera(double dt) {
    Camera& camera = Camera::instance();
    const float timeScale = RuntimeSettings::instance().timeScale;
    // The game's dt is scaled; dividing by the scale moves the camera in real
    // time. A stopped clock (scale 0) leaves no real time to recover.
    const float step = timeScale > 0.0f ? kFreeCameraSpeed / timeScale * static_cast<float>(dt) : 0.0f;

    glm::vec3 forward;
    if (unitVector(camera.direction, forward)) {
        if (polling->keyHeld(GLFW_KEY_W) || polling->keyHeld(GLFW_KEY_UP)) {
            camera.position += forward * step;
        } else if (polling->keyHeld(GLFW_KEY_S) || polling->keyHeld(GLFW_KEY_DOWN)) {
            camera.position -= forward * step;
        }
    }
    // Strafing needs a view that is not vertical.
    glm::vec3 side;
    if (unitVector(glm::cross(camera.direction, kUp), side)) {
        if (polling->keyHeld(GLFW_KEY_A) || polling->keyHeld(GLFW_KEY_LEFT)) {
            camera.position -= side * step;
        } else if (polling->keyHeld(GLFW_KEY_D) || polling->keyHeld(GLFW_KEY_RIGHT)) {
            camera.position += side * step;
        }
    }

    if (previousCursor.x == kUnknownCursor || !polling->mouseButtonHeld(GLFW_MOUSE_BUTTON_RIGHT)) {
        return;
    }
    const float yawDegrees =
        -static_cast<float>(static_cast<int64_t>(cursor.x) - previousCursor.x) * kLookDegreesPerPixel;
    const float pitchDegrees =
        -static_cast<float>(static_cast<int64_t>(cursor.y) - previousCursor.y) * kLookDegreesPerPixel;
    camera.direction = glm::angleAxis(glm::radians(yawDegrees), kUp) * camera.direction;
    // The pitch axis is the camera's side after the turn; a vertical view has
    // none, and then only the turn applies.
    glm::vec3 pitchAxis;
    if (unitVector(glm::cross(camera.direction, kUp), pitchAxis)) {
        camera.direction = glm::angleAxis(glm::radians(pitchDegrees), pitchAxis) * camera.direction;
    }
}
