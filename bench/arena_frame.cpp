// Frames of the shipped game in four scenes, each put beside the bare
// shadowed reference scene drawn in the same run:
//
//   idle         the player standing at the Blue base
//   fight        the player at the Blue base casting fireball and chain
//                lightning as often as their cooldowns allow, each cast after
//                the previous wind-up has released
//   help         the help screen (F1) over the Blue base
//   freeCamera   the free camera over the Red base
//
// The game starts as the program does (data, window, registries, level) and
// runs its own frame loop; this program only chooses what each pass of the
// loop does: a game frame (input as a player gives it: key presses through
// the window's event sources, the cursor warped over the window) or a
// reference frame. Reference frames are drawn in blocks between blocks of
// game frames, so that the machine's drift falls on both alike; the game's
// clock does not run during them.
//
// Per scene it prints the median, 99th percentile and maximum frame, the
// median of the "RenderProcessor" and "ShadowPass" profiler sections, the
// median of the reference frames drawn between its blocks and the ratio of
// the two medians; and the longest frame of the whole run after its first
// second. Run it from a directory with data/ and resources/ under a display
// of at least the game's window size, e.g.
//   xvfb-run -a -s "-screen 0 1280x720x24" build/bench/arena_frame
// Options: --frames N (game frames per scene, 2000), --block N (game frames
// per block, 100), --reference N (reference frames per block, 50),
// --screenshots DIR (a PNG of each scene's last frame), --scenes a,b (a
// subset, in the order given).
#include <FreeImage.h>
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "context/context.h"
#include "game/application.h"
#include "game/camera.h"
#include "game/components.h"
#include "game/game.h"
#include "io/data_manager.h"
#include "reference_scene.h"
#include "utils/profiler.h"

namespace {
using Clock = std::chrono::steady_clock;

enum class SceneKind { Idle, Fight, Help, FreeCamera };

struct SceneSpec {
    SceneKind kind;
    const char* name;
};

const SceneSpec kScenes[] = {
    {SceneKind::Idle, "idle"},
    {SceneKind::Fight, "fight"},
    {SceneKind::Help, "help"},
    {SceneKind::FreeCamera, "freeCamera"},
};

struct Options {
    int frames = 2000;
    int block = 100;
    int reference = 50;
    std::string screenshots;
    std::vector<SceneSpec> scenes{std::begin(kScenes), std::end(kScenes)};
};

// Frames before the first scene: the start-up frames and the follow camera
// settling behind the player.
constexpr int kWarmUpFrames = 180;
// An effect counts for the fight's screenshot while younger than this (an
// explosion lasts 0.3 s, a bolt 0.5 s, and the next frame must still show it).
constexpr float kYoungEffect = 0.12f;
// Frame times are checked for hitches from this far into the run on.
constexpr double kHitchCheckAfterSeconds = 1.0;

struct Samples {
    std::vector<double> frames;  // milliseconds
    std::vector<double> renderProcessor;
    std::vector<double> shadowPass;
    std::vector<double> reference;
};

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

double maximum(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

// The time a profiler section has taken since the last reading, from its
// running mean and count (the frame statistics reset it every 1000 frames).
class SectionReader {
  public:
    explicit SectionReader(const char* name) : name(name) {}
    double millisecondsSinceLastRead() {
        const Profiler::Section* section = Profiler::instance().section(name);
        const double count = section != nullptr ? section->count : 0.0;
        const double total = section != nullptr ? section->mean * section->count : 0.0;
        const double spent = count > lastCount ? total - lastTotal : total;
        lastCount = count;
        lastTotal = total;
        return spent * 1000.0;
    }

  private:
    std::string name;
    double lastCount = 0.0;
    double lastTotal = 0.0;
};

std::optional<Entity> findPlayer(Game& game) {
    ComponentHandle<ControlSchemeComponent> control;
    for (Entity actor : game.entities.query(control)) {
        return actor;
    }
    return std::nullopt;
}

// Entities with a lifetime: the effects the casts leave in the world.
int effectsAlive(Game& game) {
    int count = 0;
    ComponentHandle<LifetimeComponent> lifetime;
    for (Entity effect : game.entities.query(lifetime)) {
        (void)effect;
        count += lifetime->age > 0.0f && lifetime->age < kYoungEffect ? 1 : 0;
    }
    return count;
}

void press(Context& context, int key) {
    context.keyPressed.dispatch(KeyPressedEvent{key, 0});
}

// The player's casts in the fight: chain lightning whenever it is ready,
// else fireball whenever that is ready; a new order only once the last
// wind-up has released (or the order was refused). Targets alternate
// between points on the ground left and right of the player, ahead of it.
class Caster {
  public:
    void step(Game& game, Context& context) {
        const std::optional<Entity> player = findPlayer(game);
        if (!player) {
            return;
        }
        const auto animation = game.entities.component<AnimationComponent>(player->id());
        const auto skills = game.entities.component<ActorSkillsComponent>(player->id());
        if (!animation || !skills) {
            return;
        }
        const bool windingUp = animation->state == FireballWindup || animation->state == ChainLightningWindup;
        if (waiting > 0) {
            // The order goes through the input processor in the next frame;
            // wait for its wind-up to begin, or give up after a few frames.
            if (windingUp) {
                waiting = 0;
                sawWindup = true;
            } else {
                --waiting;
            }
            return;
        }
        if (windingUp) {
            return;
        }
        sawWindup = false;
        int key = 0;
        if (skills->slots[1].remaining <= 0.0f) {
            key = GLFW_KEY_W;
        } else if (skills->slots[0].remaining <= 0.0f) {
            key = GLFW_KEY_Q;
        }
        if (key == 0) {
            return;
        }
        int width = 0;
        int height = 0;
        glfwGetWindowSize(context.getWindow(), &width, &height);
        side = -side;
        glfwSetCursorPos(context.getWindow(), width / 2 + side * width / 5, height / 2 - height / 6);
        press(context, key);
        waiting = 10;
        ++orders;
    }

    int orders = 0;

  private:
    int waiting = 0;
    int side = 1;
    bool sawWindup = false;
};

bool saveScreenshot(const std::string& path, int width, int height) {
    std::vector<uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
    FIBITMAP* image =
        FreeImage_ConvertFromRawBits(pixels.data(), width, height, width * 3, 24, FI_RGBA_RED_MASK,
                                     FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, FALSE);
    if (image == nullptr) {
        return false;
    }
    const bool saved = FreeImage_Save(FIF_PNG, image, path.c_str(), PNG_DEFAULT) == TRUE;
    FreeImage_Unload(image);
    return saved;
}

// What every pass of the game's loop does, scene by scene.
class Driver {
  public:
    explicit Driver(const Options& options) : options(options), samples(options.scenes.size()) {}

    bool pass(Game& game, Context& context) {
        const Clock::time_point now = Clock::now();
        if (started) {
            recordPrevious(std::chrono::duration<double, std::milli>(now - previousStart).count());
        } else {
            runStart = now;
            started = true;
        }
        previousStart = now;

        if (warmUp < kWarmUpFrames) {
            ++warmUp;
            previous = Previous::WarmUp;
            gameFrame(game, context, false);
            return true;
        }
        if (scene >= options.scenes.size()) {
            return false;
        }
        previousScene = scene;
        if (referenceLeft > 0) {
            --referenceLeft;
            previous = Previous::Reference;
            if (!reference) {
                reference = std::make_unique<ReferenceScene>();
            }
            int width = 0;
            int height = 0;
            glfwGetFramebufferSize(context.getWindow(), &width, &height);
            reference->draw(width, height);
            context.nextFrame();
            return true;
        }
        if (sceneFrames == 0) {
            beginScene(game, context);
        }
        ++sceneFrames;
        if (options.scenes[scene].kind == SceneKind::Fight) {
            caster.step(game, context);
        }
        const bool last = sceneFrames == options.frames;
        previous = Previous::Scene;
        // The fight's picture is taken while two young effects of the casts
        // (fireballs, explosions, bolts) are in the world.
        const bool fight = options.scenes[scene].kind == SceneKind::Fight;
        const bool screenshot =
            !shotTaken && (last || (fight && sceneFrames >= options.frames / 2 && effectsAlive(game) >= 2));
        shotTaken = shotTaken || screenshot;
        gameFrame(game, context, screenshot);
        if (last) {
            endScene(context);
        } else if (sceneFrames % options.block == 0) {
            referenceLeft = options.reference;
        }
        return true;
    }

    // The reference goes while the context is still current.
    void releaseReference() { reference.reset(); }

    void print() const {
        std::printf("%-11s %6s %8s %8s %8s %9s %8s %8s %9s %8s\n", "scene", "frames", "median", "p99", "max",
                    "p99/med", "render", "shadow", "reference", "ratio");
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const Samples& s = samples[i];
            const double median = percentile(s.frames, 0.5);
            const double referenceMedian = percentile(s.reference, 0.5);
            std::printf("%-11s %6zu %8.2f %8.2f %8.2f %9.2f %8.2f %8.2f %9.2f %8.3f\n",
                        options.scenes[i].name, s.frames.size(), median, percentile(s.frames, 0.99),
                        maximum(s.frames), median > 0.0 ? percentile(s.frames, 0.99) / median : 0.0,
                        percentile(s.renderProcessor, 0.5), percentile(s.shadowPass, 0.5), referenceMedian,
                        referenceMedian > 0.0 ? median / referenceMedian : 0.0);
        }
        std::printf("longest frame after the first second: %.2f ms (%s); fight orders: %d\n",
                    longestAfterFirstSecond, longestWhere.c_str(), caster.orders);
    }

  private:
    enum class Previous { None, WarmUp, Scene, Reference };

    void gameFrame(Game& game, Context& context, bool screenshot) {
        game.update(lastDt);
        if (previous == Previous::Scene) {
            pendingRender = render.millisecondsSinceLastRead();
            pendingShadow = shadow.millisecondsSinceLastRead();
        } else {
            render.millisecondsSinceLastRead();
            shadow.millisecondsSinceLastRead();
        }
        if (screenshot && !options.screenshots.empty()) {
            int width = 0;
            int height = 0;
            glfwGetFramebufferSize(context.getWindow(), &width, &height);
            const std::string path = options.screenshots + "/" + options.scenes[scene].name + ".png";
            if (!saveScreenshot(path, width, height)) {
                std::fprintf(stderr, "could not write %s\n", path.c_str());
            }
        }
        context.nextFrame();
    }

    void recordPrevious(double milliseconds) {
        if (previous == Previous::Scene || previous == Previous::WarmUp) {
            // The game's clock runs by game frames only.
            lastDt = milliseconds / 1000.0;
        }
        if (std::chrono::duration<double>(previousStart - runStart).count() >= kHitchCheckAfterSeconds &&
            milliseconds > longestAfterFirstSecond) {
            longestAfterFirstSecond = milliseconds;
            longestWhere = previous == Previous::Reference ? "a reference frame"
                           : previous == Previous::WarmUp
                               ? "warm-up"
                               : std::string("scene ") + options.scenes[previousScene].name;
        }
        if (previous == Previous::Scene) {
            Samples& s = samples[previousScene];
            s.frames.push_back(milliseconds);
            s.renderProcessor.push_back(pendingRender);
            s.shadowPass.push_back(pendingShadow);
        } else if (previous == Previous::Reference) {
            samples[previousScene].reference.push_back(milliseconds);
        }
    }

    void beginScene(Game& game, Context& context) {
        switch (options.scenes[scene].kind) {
            case SceneKind::Idle:
            case SceneKind::Fight:
                break;
            case SceneKind::Help:
                press(context, GLFW_KEY_F1);
                break;
            case SceneKind::FreeCamera: {
                press(context, GLFW_KEY_0);
                // Where the follow camera would stand behind the Red flag.
                const auto flag = game.level.flagPositions.find(Red);
                const glm::vec3 target =
                    flag != game.level.flagPositions.end() ? flag->second : glm::vec3(0.0f);
                const glm::vec3 offset = DataManager::getVec3("camera.offset");
                Camera::instance().position = target + offset;
                Camera::instance().direction = -offset;
                break;
            }
        }
    }

    void endScene(Context& context) {
        if (options.scenes[scene].kind == SceneKind::Help) {
            press(context, GLFW_KEY_F1);
        }
        ++scene;
        sceneFrames = 0;
        referenceLeft = 0;
        shotTaken = false;
    }

    const Options& options;
    std::vector<Samples> samples;
    std::unique_ptr<ReferenceScene> reference;
    Caster caster;
    SectionReader render{"RenderProcessor"};
    SectionReader shadow{"ShadowPass"};
    Clock::time_point runStart;
    Clock::time_point previousStart;
    bool started = false;
    Previous previous = Previous::None;
    double lastDt = 1.0 / 60.0;
    double pendingRender = 0.0;
    double pendingShadow = 0.0;
    double longestAfterFirstSecond = 0.0;
    std::string longestWhere = "none";
    int warmUp = 0;
    std::size_t scene = 0;
    std::size_t previousScene = 0;  // the scene of the previous pass
    int sceneFrames = 0;
    int referenceLeft = 0;
    bool shotTaken = false;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "%s needs a value\n", option.c_str());
            return false;
        }
        const std::string value = argv[++i];
        if (option == "--frames") {
            options.frames = std::max(1, std::atoi(value.c_str()));
        } else if (option == "--block") {
            options.block = std::max(1, std::atoi(value.c_str()));
        } else if (option == "--reference") {
            options.reference = std::max(0, std::atoi(value.c_str()));
        } else if (option == "--screenshots") {
            options.screenshots = value;
        } else if (option == "--scenes") {
            options.scenes.clear();
            std::size_t start = 0;
            while (start <= value.size()) {
                const std::size_t comma = std::min(value.find(',', start), value.size());
                const std::string name = value.substr(start, comma - start);
                const auto found = std::find_if(std::begin(kScenes), std::end(kScenes),
                                                [&name](const SceneSpec& s) { return name == s.name; });
                if (found == std::end(kScenes)) {
                    std::fprintf(stderr, "unknown scene \"%s\"\n", name.c_str());
                    return false;
                }
                options.scenes.push_back(*found);
                start = comma + 1;
            }
        } else {
            std::fprintf(stderr, "unknown option %s\n", option.c_str());
            return false;
        }
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        return 2;
    }
    Driver driver(options);
    bool finished = false;
    const int exitCode = runFlagstorm([&driver, &finished](Game& game, Context& context, double) {
        if (driver.pass(game, context)) {
            return true;
        }
        driver.releaseReference();
        finished = true;
        return false;
    });
    if (!finished) {
        std::fprintf(stderr, "the game ended before the scenes did\n");
        return exitCode != 0 ? exitCode : 1;
    }
    driver.print();
    return exitCode;
}
