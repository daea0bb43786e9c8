#include "game/processors/input_processor.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <glm/geometric.hpp>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "context/context.h"
#include "entities/messages.h"
#include "game/camera.h"
#include "game/components.h"
#include "game/game.h"
#include "game/runtime_settings.h"
#include "io/data_manager.h"
#include "support/log_capture.h"

namespace input_processor_test {
constexpr float kTolerance = 1e-4f;

void expectVec(const glm::vec3& actual, const glm::vec3& expected) {
    EXPECT_NEAR(actual.x, expected.x, kTolerance);
    EXPECT_NEAR(actual.y, expected.y, kTolerance);
    EXPECT_NEAR(actual.z, expected.z, kTolerance);
}

// What the scripted polling source reports; the test changes it between frames.
struct PolledState {
    double cursorX = 0.0;
    double cursorY = 0.0;
    std::set<int> keys;
    std::set<int> buttons;
};

class ScriptedPolling : public InputPolling {
  public:
    explicit ScriptedPolling(const PolledState* state) : state(state) {}
    void cursorPosition(double& x, double& y) const override {
        x = state->cursorX;
        y = state->cursorY;
    }
    bool keyHeld(int key) const override { return state->keys.count(key) != 0; }
    bool mouseButtonHeld(int button) const override { return state->buttons.count(button) != 0; }

  private:
    const PolledState* state;
};

class InputProcessorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RuntimeSettings::instance() = RuntimeSettings{};
        Camera::instance() = Camera{};
        processor = std::make_unique<InputProcessor>(&game, std::make_unique<ScriptedPolling>(&polled));
    }

    void TearDown() override {
        processor.reset();
        RuntimeSettings::instance() = RuntimeSettings{};
        Camera::instance() = Camera{};
    }

    // As the key callback does during the event poll between two frames.
    static void press(int key) { Context::instance().keyPressed.dispatch(KeyPressedEvent{key, 0}); }

    // One frame with this frame's messages only.
    void frame(double dt = 0.016) {
        game.messages.clearAll();
        processor->update(dt);
    }

    template <typename T>
    std::vector<T> sent() {
        std::vector<T> messages;
        for (const T& message : game.messages.pool<T>()) {
            messages.push_back(message);
        }
        return messages;
    }

    std::vector<std::string> notifications() {
        std::vector<std::string> texts;
        for (const NotificationMessage& message : sent<NotificationMessage>()) {
            texts.push_back(message.text);
        }
        return texts;
    }

    // The player: a control scheme and four skill slots, no transform unless asked.
    Entity makePlayer(uint8_t scheme = KeyboardAndMouse) {
        Entity player = game.entities.create();
        game.entities.assign<ControlSchemeComponent>(player.id(), ControlSchemeComponent{scheme});
        ActorSkillsComponent skills;
        const int32_t ids[] = {Fireball, ChainLightning, CrushingWave, Shield};
        for (int i = 0; i < 4; ++i) {
            skills.slots[i].skill = ids[i];
        }
        game.entities.assign<ActorSkillsComponent>(player.id(), skills);
        return player;
    }

    void switchToFreeCamera() {
        press(GLFW_KEY_0);
        frame();
    }

    Game game;
    PolledState polled;
    std::unique_ptr<InputProcessor> processor;
};

TEST_F(InputProcessorTest, TheZeroKeySwitchesBetweenActorControlAndTheFreeCameraAndBack) {
    makePlayer();
    Camera::instance().direction = glm::vec3(1.0f, 0.0f, 0.0f);
    polled.keys = {GLFW_KEY_W};

    // Actor control at start: the cooldowns are reported, W held moves nothing.
    frame(0.1);
    EXPECT_EQ(sent<PlayerCooldownsMessage>().size(), 1u);
    expectVec(Camera::instance().position, glm::vec3(0.0f));

    // The switch applies in the frame of the press.
    press(GLFW_KEY_0);
    frame(0.1);
    EXPECT_TRUE(sent<PlayerCooldownsMessage>().empty());
    expectVec(Camera::instance().position, glm::vec3(1.5f, 0.0f, 0.0f));

    press(GLFW_KEY_0);
    frame(0.1);
    EXPECT_EQ(sent<PlayerCooldownsMessage>().size(), 1u);
    expectVec(Camera::instance().position, glm::vec3(1.5f, 0.0f, 0.0f));

    // Two presses in one poll count once: the set holds each key once.
    press(GLFW_KEY_0);
    press(GLFW_KEY_0);
    frame(0.1);
    EXPECT_TRUE(sent<PlayerCooldownsMessage>().empty());
}

TEST_F(InputProcessorTest, FunctionKeysFlipTheDisplaySwitchesAndTellThePlayer) {
    RuntimeSettings& settings = RuntimeSettings::instance();
    struct Toggle {
        int key;
        bool* field;
        const char* onText;   // after turning on
        const char* offText;  // after turning off; empty for none
    };
    const Toggle toggles[] = {
        {GLFW_KEY_F1, &settings.showHelp, "F1: Help...", ""},
        {GLFW_KEY_F2, &settings.showFps, "F2: FPS display turned on...", "F2: FPS display turned off..."},
        {GLFW_KEY_F3, &settings.wireframe, "F3: Wireframe turned on...", "F3: Wireframe turned off..."},
        {GLFW_KEY_F8, &settings.frustumCulling, "F8: Frustum Culling turned on...",
         "F8: Frustum Culling turned off..."},
        {GLFW_KEY_F9, &settings.transparency, "F9: Transparency turned on...",
         "F9: Transparency turned off..."},
    };
    for (const Toggle& toggle : toggles) {
        SCOPED_TRACE(toggle.onText);
        for (int round = 0; round < 2; ++round) {
            const bool before = *toggle.field;
            press(toggle.key);
            frame();
            EXPECT_EQ(*toggle.field, !before);
            const std::string expected = *toggle.field ? toggle.onText : toggle.offText;
            if (expected.empty()) {
                EXPECT_TRUE(notifications().empty());
            } else {
                EXPECT_EQ(notifications(), std::vector<std::string>{expected});
            }
        }
    }
    // Transparency and frustum culling start on, the rest off; each was flipped
    // twice, so all are back where they started.
    EXPECT_TRUE(settings.transparency);
    EXPECT_TRUE(settings.frustumCulling);
    EXPECT_FALSE(settings.showHelp || settings.showFps || settings.wireframe);

    // No toggle without a press, in either mode.
    frame();
    switchToFreeCamera();
    frame();
    EXPECT_TRUE(notifications().empty());
    EXPECT_TRUE(settings.transparency);
}

TEST_F(InputProcessorTest, EveryF4PressOrdersASamplingToggleAndAllTogglesComeInKeyOrder) {
    for (int round = 0; round < 2; ++round) {
        press(GLFW_KEY_F4);
        frame();
        EXPECT_EQ(sent<ToggleTextureSamplingMethodOrderMessage>().size(), 1u);
        EXPECT_EQ(notifications(), std::vector<std::string>{"F4: Toggling Texture Sampling Mode..."});
    }
    frame();
    EXPECT_TRUE(sent<ToggleTextureSamplingMethodOrderMessage>().empty());

    for (int key : {GLFW_KEY_F9, GLFW_KEY_F8, GLFW_KEY_F4, GLFW_KEY_F3, GLFW_KEY_F2, GLFW_KEY_F1}) {
        press(key);
    }
    frame();
    const std::vector<std::string> expected = {"F1: Help...",
                                               "F2: FPS display turned on...",
                                               "F3: Wireframe turned on...",
                                               "F4: Toggling Texture Sampling Mode...",
                                               "F8: Frustum Culling turned off...",
                                               "F9: Transparency turned off..."};
    EXPECT_EQ(notifications(), expected);
}

TEST_F(InputProcessorTest, CastKeysSendOneOrderPerFrameWithQBeforeWBeforeEBeforeR) {
    const Entity player = makePlayer();
    polled.cursorX = 100.7;
    polled.cursorY = 200.2;
    struct Case {
        std::vector<int> keys;
        int32_t skill;  // the skill of the slot that wins
    };
    const Case cases[] = {
        {{GLFW_KEY_Q, GLFW_KEY_W}, Fireball},
        {{GLFW_KEY_R, GLFW_KEY_E, GLFW_KEY_W}, ChainLightning},
        {{GLFW_KEY_R, GLFW_KEY_E}, CrushingWave},
        {{GLFW_KEY_R}, Shield},
        {{GLFW_KEY_Q, GLFW_KEY_W, GLFW_KEY_E, GLFW_KEY_R}, Fireball},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.skill);
        for (int key : c.keys) {
            press(key);
        }
        frame();
        const auto orders = sent<SkillCastToCursorOrderMessage>();
        ASSERT_EQ(orders.size(), 1u);
        EXPECT_EQ(orders[0].actor, player);
        EXPECT_EQ(orders[0].skill, c.skill);
        EXPECT_EQ(orders[0].cursorX, 100);
        EXPECT_EQ(orders[0].cursorY, 200);

        // A held key repeats nothing: only a new press casts again.
        frame();
        EXPECT_TRUE(sent<SkillCastToCursorOrderMessage>().empty());
    }

    // The free camera casts nothing.
    switchToFreeCamera();
    press(GLFW_KEY_Q);
    frame();
    EXPECT_TRUE(sent<SkillCastToCursorOrderMessage>().empty());
}

TEST_F(InputProcessorTest, CooldownsAreReportedEveryFrameAsReadinessAndSecondsLeft) {
    const Entity player = makePlayer();
    ActorSkillsComponent& skills = *game.entities.component<ActorSkillsComponent>(player.id());
    skills.slots[0] = {Fireball, 0.0f, 4.0f};        // ready
    skills.slots[1] = {ChainLightning, 1.0f, 4.0f};  // a quarter left
    skills.slots[2] = {CrushingWave, 3.0f, 3.0f};    // just cast
    skills.slots[3] = {Shield, 0.0f, 0.0f};          // no cooldown at all: ready, not 0/0
    for (int round = 0; round < 3; ++round) {
        frame();
        const auto messages = sent<PlayerCooldownsMessage>();
        ASSERT_EQ(messages.size(), 1u);
        const float readiness[] = {1.0f, 0.75f, 0.0f, 1.0f};
        const float remaining[] = {0.0f, 1.0f, 3.0f, 0.0f};
        for (int i = 0; i < 4; ++i) {
            EXPECT_FLOAT_EQ(messages[0].slots[i].readiness, readiness[i]) << i;
            EXPECT_FLOAT_EQ(messages[0].slots[i].remaining, remaining[i]) << i;
        }
    }

    // The report follows the slots as they change.
    skills.slots[2].remaining = 1.5f;
    frame();
    EXPECT_FLOAT_EQ(sent<PlayerCooldownsMessage>()[0].slots[2].readiness, 0.5f);

    // An actor without skill slots is reported by nobody.
    game.entities.remove<ActorSkillsComponent>(player.id());
    press(GLFW_KEY_Q);
    frame();
    EXPECT_TRUE(sent<PlayerCooldownsMessage>().empty());
    EXPECT_TRUE(sent<SkillCastToCursorOrderMessage>().empty());
}

TEST_F(InputProcessorTest, AHeldLeftButtonSendsMoveOrdersAtMostEveryTwoHundredthsOfASecond) {
    const Entity player = makePlayer();
    polled.cursorX = 320.9;
    polled.cursorY = -4.5;

    // A click between two polls is queued as an event but not acted on: the
    // move order needs the button down when the frame polls it.
    Context::instance().mouseButtonPressed.dispatch(
        MouseButtonPressedEvent{320, 0, GLFW_MOUSE_BUTTON_LEFT, 0});
    frame();
    EXPECT_TRUE(sent<MoveToCursorOrderMessage>().empty());

    // The timer ran down while the button was up, so the first frame sends.
    // Frames of 8 ms: 0.02 s lasts two more frames, the fourth sends again.
    polled.buttons = {GLFW_MOUSE_BUTTON_LEFT};
    std::vector<int> sendingFrames;
    for (int i = 0; i < 10; ++i) {
        frame(0.008);
        const auto orders = sent<MoveToCursorOrderMessage>();
        ASSERT_LE(orders.size(), 1u);
        if (!orders.empty()) {
            sendingFrames.push_back(i);
            EXPECT_EQ(orders[0].actor, player);
            EXPECT_EQ(orders[0].cursorX, 320);
            EXPECT_EQ(orders[0].cursorY, -4);
        }
    }
    EXPECT_EQ(sendingFrames, (std::vector<int>{0, 3, 6, 9}));

    // A cast frame sends no move even when the throttle allows one; the next
    // frame does.
    frame(0.1);
    press(GLFW_KEY_W);
    frame(0.1);
    EXPECT_EQ(sent<SkillCastToCursorOrderMessage>().size(), 1u);
    EXPECT_TRUE(sent<MoveToCursorOrderMessage>().empty());
    frame(0.1);
    EXPECT_EQ(sent<MoveToCursorOrderMessage>().size(), 1u);

    // Other buttons do not move.
    polled.buttons = {GLFW_MOUSE_BUTTON_RIGHT};
    frame(0.1);
    EXPECT_TRUE(sent<MoveToCursorOrderMessage>().empty());
}

TEST_F(InputProcessorTest, TheFreeCameraFliesFifteenUnitsPerRealSecond) {
    switchToFreeCamera();
    Camera& camera = Camera::instance();
    camera.direction = glm::vec3(2.0f, 0.0f, 0.0f);  // not normalised on purpose
    // Strafe axis: direction x up = +z.
    struct Case {
        std::set<int> keys;
        glm::vec3 move;  // per 0.1 s at time scale 1
    };
    const Case cases[] = {
        {{GLFW_KEY_W}, {1.5f, 0.0f, 0.0f}},
        {{GLFW_KEY_UP}, {1.5f, 0.0f, 0.0f}},
        {{GLFW_KEY_S}, {-1.5f, 0.0f, 0.0f}},
        {{GLFW_KEY_DOWN}, {-1.5f, 0.0f, 0.0f}},
        {{GLFW_KEY_W, GLFW_KEY_S}, {1.5f, 0.0f, 0.0f}},
        {{GLFW_KEY_A}, {0.0f, 0.0f, -1.5f}},
        {{GLFW_KEY_LEFT}, {0.0f, 0.0f, -1.5f}},
        {{GLFW_KEY_D}, {0.0f, 0.0f, 1.5f}},
        {{GLFW_KEY_RIGHT}, {0.0f, 0.0f, 1.5f}},
        {{GLFW_KEY_A, GLFW_KEY_D}, {0.0f, 0.0f, -1.5f}},
        {{GLFW_KEY_DOWN, GLFW_KEY_RIGHT}, {-1.5f, 0.0f, 1.5f}},
        {{}, {0.0f, 0.0f, 0.0f}},
    };
    for (const Case& c : cases) {
        camera.position = glm::vec3(10.0f, 5.0f, 10.0f);
        polled.keys = c.keys;
        frame(0.1);
        expectVec(camera.position, glm::vec3(10.0f, 5.0f, 10.0f) + c.move);
        expectVec(camera.direction, glm::vec3(2.0f, 0.0f, 0.0f));
    }

    // The game's dt is scaled; the camera divides the scale out again. At half
    // speed 0.05 s of game time are 0.1 s of real time.
    RuntimeSettings::instance().timeScale = 0.5f;
    camera.position = glm::vec3(0.0f);
    polled.keys = {GLFW_KEY_W};
    frame(0.05);
    expectVec(camera.position, glm::vec3(1.5f, 0.0f, 0.0f));

    // A stopped clock or a camera without a direction stays put, without NaN.
    RuntimeSettings::instance().timeScale = 0.0f;
    frame(0.0);
    expectVec(camera.position, glm::vec3(1.5f, 0.0f, 0.0f));
    RuntimeSettings::instance().timeScale = 1.0f;
    camera.direction = glm::vec3(0.0f);
    polled.keys = {GLFW_KEY_W, GLFW_KEY_A};
    frame(0.1);
    expectVec(camera.position, glm::vec3(1.5f, 0.0f, 0.0f));

    // Looking straight down: forward works, the strafe has no axis and is skipped.
    camera.direction = glm::vec3(0.0f, -20.0f, 0.0f);
    frame(0.1);
    expectVec(camera.position, glm::vec3(1.5f, -1.5f, 0.0f));
}

TEST_F(InputProcessorTest, DraggingWithTheRightButtonTurnsTheViewByPointFifteenDegreesPerPixel) {
    Camera& camera = Camera::instance();
    camera.direction = glm::vec3(1.0f, 0.0f, 0.0f);
    polled.buttons = {GLFW_MOUSE_BUTTON_RIGHT};
    polled.cursorX = 400.0;
    polled.cursorY = 300.0;

    // The first frame knows no earlier cursor: no look, even with the button held.
    press(GLFW_KEY_0);
    frame();
    expectVec(camera.direction, glm::vec3(1.0f, 0.0f, 0.0f));

    // 100 pixels right turn the view 15 degrees to the right (towards +z when
    // looking along +x with y up).
    const float c = std::cos(glm::radians(15.0f));
    const float s = std::sin(glm::radians(15.0f));
    polled.cursorX = 500.0;
    frame();
    expectVec(camera.direction, glm::vec3(c, 0.0f, s));

    // Back, then 100 pixels down tilt it 15 degrees down.
    polled.cursorX = 400.0;
    frame();
    expectVec(camera.direction, glm::vec3(1.0f, 0.0f, 0.0f));
    polled.cursorY = 400.0;
    frame();
    expectVec(camera.direction, glm::vec3(c, -s, 0.0f));
    EXPECT_NEAR(glm::length(camera.direction), 1.0f, kTolerance);

    // Moving without the button does not turn.
    polled.buttons.clear();
    polled.cursorX = 900.0;
    frame();
    expectVec(camera.direction, glm::vec3(c, -s, 0.0f));

    // A vertical view has no tilt axis: the turn applies, the tilt is skipped.
    camera.direction = glm::vec3(0.0f, -20.0f, 0.0f);
    polled.buttons = {GLFW_MOUSE_BUTTON_RIGHT};
    polled.cursorX = 950.0;
    polled.cursorY = 450.0;
    frame();
    expectVec(camera.direction, glm::vec3(0.0f, -20.0f, 0.0f));
}

TEST_F(InputProcessorTest, TheCameraEasesTowardsThePlayerByAFixedSharePerFrame) {
    DataManager::instance().parse("camera.offset=(0,32,24)", "test");
    ASSERT_EQ(DataManager::getVec3("camera.offset"), glm::vec3(0.0f, 32.0f, 24.0f));
    const Entity player = makePlayer();
    TransformComponent transform;
    transform.position = glm::vec3(0.0f);
    game.entities.assign<TransformComponent>(player.id(), transform);

    // Eye 100 units behind the player, looking at it: the eye covers 12 % of
    // the way to (0, 32, 24), the look point stays on the player.
    Camera& camera = Camera::instance();
    camera.position = glm::vec3(0.0f, 0.0f, 100.0f);
    camera.direction = glm::vec3(0.0f, 0.0f, -5.0f);
    frame(0.016);
    expectVec(camera.position, glm::vec3(0.0f, 3.84f, 90.88f));
    expectVec(camera.direction, glm::vec3(0.0f, -3.84f, -90.88f));

    // The share is per frame, whatever the frame time.
    const glm::vec3 afterOneFrame = camera.position;
    camera.position = glm::vec3(0.0f, 0.0f, 100.0f);
    camera.direction = glm::vec3(0.0f, 0.0f, -5.0f);
    frame(1.0);
    expectVec(camera.position, afterOneFrame);

    // Settled, the camera sits at the offset and looks along minus the offset
    // at the player, who moved meanwhile.
    game.entities.component<TransformComponent>(player.id())->position = glm::vec3(10.0f, 0.0f, -5.0f);
    for (int i = 0; i < 300; ++i) {
        frame();
    }
    expectVec(camera.position, glm::vec3(10.0f, 32.0f, 19.0f));
    expectVec(glm::normalize(camera.direction), glm::normalize(glm::vec3(0.0f, -32.0f, -24.0f)));

    // A camera with no direction yet (all zero) gets one without NaN.
    camera.position = glm::vec3(0.0f);
    camera.direction = glm::vec3(0.0f);
    frame();
    EXPECT_TRUE(std::isfinite(camera.direction.x) && std::isfinite(camera.direction.y) &&
                std::isfinite(camera.direction.z));
    EXPECT_GT(glm::length(camera.direction), 0.0f);
    for (int i = 0; i < 300; ++i) {
        frame();
    }
    expectVec(glm::normalize(camera.direction), glm::normalize(glm::vec3(0.0f, -32.0f, -24.0f)));

    // The free camera is left where it is.
    switchToFreeCamera();
    const glm::vec3 parked = camera.position;
    game.entities.component<TransformComponent>(player.id())->position = glm::vec3(-40.0f, 0.0f, 0.0f);
    frame();
    expectVec(camera.position, parked);
}

TEST_F(InputProcessorTest, AnUnknownControlSchemeIsReportedAndGetsOnlyItsCooldowns) {
    const Entity player = makePlayer(7);
    game.entities.assign<TransformComponent>(player.id(), TransformComponent{});
    Camera::instance().position = glm::vec3(1.0f, 2.0f, 3.0f);
    polled.buttons = {GLFW_MOUSE_BUTTON_LEFT};
    LogCapture capture;
    press(GLFW_KEY_Q);
    frame();
    EXPECT_EQ(capture.count(LogCapture::Severity::error, "Unrecognized control scheme [7]!"), 1u);
    EXPECT_EQ(sent<PlayerCooldownsMessage>().size(), 1u);
    EXPECT_TRUE(sent<SkillCastToCursorOrderMessage>().empty());
    EXPECT_TRUE(sent<MoveToCursorOrderMessage>().empty());
    expectVec(Camera::instance().position, glm::vec3(1.0f, 2.0f, 3.0f));
}

TEST_F(InputProcessorTest, WithoutAControlledActorActorControlDoesNothing) {
    Entity bystander = game.entities.create();
    game.entities.assign<TransformComponent>(bystander.id(), TransformComponent{});
    Camera::instance().position = glm::vec3(-50.0f, 20.0f, 0.0f);
    Camera::instance().direction = glm::vec3(0.0f, -20.0f, 0.0f);
    polled.buttons = {GLFW_MOUSE_BUTTON_LEFT};
    press(GLFW_KEY_Q);
    LogCapture capture;
    frame();
    EXPECT_TRUE(sent<PlayerCooldownsMessage>().empty());
    EXPECT_TRUE(sent<SkillCastToCursorOrderMessage>().empty());
    EXPECT_TRUE(sent<MoveToCursorOrderMessage>().empty());
    expectVec(Camera::instance().position, glm::vec3(-50.0f, 20.0f, 0.0f));
    expectVec(Camera::instance().direction, glm::vec3(0.0f, -20.0f, 0.0f));
    EXPECT_TRUE(capture.empty());
}

TEST_F(InputProcessorTest, TheProcessorListensOnlyWhileItLives) {
    makePlayer();
    Context& context = Context::instance();
    auto* keyListener = static_cast<DelayedEventListener<KeyPressedEvent>*>(processor.get());
    auto* buttonListener = static_cast<DelayedEventListener<MouseButtonPressedEvent>*>(processor.get());
    EXPECT_TRUE(context.keyPressed.isSubscribed(keyListener));
    EXPECT_TRUE(context.mouseButtonPressed.isSubscribed(buttonListener));

    processor.reset();
    EXPECT_FALSE(context.keyPressed.isSubscribed(keyListener));
    EXPECT_FALSE(context.mouseButtonPressed.isSubscribed(buttonListener));

    // A successor (often at the same address) hears the next key press.
    processor = std::make_unique<InputProcessor>(&game, std::make_unique<ScriptedPolling>(&polled));
    press(GLFW_KEY_Q);
    frame();
    EXPECT_EQ(sent<SkillCastToCursorOrderMessage>().size(), 1u);

    // Destroyed after the Context, it leaves no Context behind.
    Context::destroy();
    processor.reset();
    EXPECT_FALSE(Context::exists());
}

TEST(GlfwInputPolling, WithoutAWindowNothingIsHeldAndTheCursorIsAtTheOrigin) {
    ASSERT_EQ(Context::instance().getWindow(), nullptr);
    GlfwInputPolling polling;
    double x = 7.0;
    double y = 7.0;
    polling.cursorPosition(x, y);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);
    EXPECT_FALSE(polling.keyHeld(GLFW_KEY_W));
    EXPECT_FALSE(polling.mouseButtonHeld(GLFW_MOUSE_BUTTON_LEFT));
}
}  // namespace input_processor_test
