#include "balance/match_harness.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>
#include <list>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "balance/strategies.h"
#include "context/context.h"
#include "entities/messages.h"
#include "game/camera.h"
#include "game/components.h"
#include "game/game.h"
#include "game/processors/ai_processor.h"
#include "game/processors/input_processor.h"
#include "game/processors/logic_processor.h"
#include "game/runtime_settings.h"
#include "graphics/view_state.h"
#include "io/data_manager.h"
#include "mechanics/mechanics_processor.h"
#include "utils/random.h"

namespace balance {
namespace {

// The mouse the input processor polls: where the cursor is and whether the
// left button is held.
class ScriptedPolling : public InputPolling {
  public:
    explicit ScriptedPolling(const Controls* controls) : controls(controls) {}
    void cursorPosition(double& x, double& y) const override {
        x = controls->cursorX;
        y = controls->cursorY;
    }
    bool keyHeld(int) const override { return false; }
    bool mouseButtonHeld(int button) const override {
        return button == GLFW_MOUSE_BUTTON_LEFT && controls->hold;
    }

  private:
    const Controls* controls;
};

// The rules, reporting each frame's deaths and captures before the frame's
// messages are cleared.
class ObservedLogic : public LogicProcessor {
  public:
    ObservedLogic(Game* game, MatchResult* result, Entity player, Entity guard, bool trace)
        : LogicProcessor(game), game(game), result(result), player(player), guard(guard), trace(trace) {}

    void update(double dt) override {
        LogicProcessor::update(dt);
        time += dt;
        for (const ActorDiedMessage& died : game->messages.pool<ActorDiedMessage>()) {
            result->playerDeaths += died.victim == player ? 1 : 0;
            result->guardDeaths += died.victim == guard ? 1 : 0;
            if (died.victim == player || died.victim == guard) {
                report(died.victim == player ? "player died" : "guard died");
            }
        }
        for (const FlagTakenMessage& taken : game->messages.pool<FlagTakenMessage>()) {
            report(taken.team == Blue ? "Blue took the Red flag" : "Red took the Blue flag");
        }
        for (const FlagReclaimedMessage& reclaimed : game->messages.pool<FlagReclaimedMessage>()) {
            report(reclaimed.team == Blue ? "Blue returned its flag" : "Red returned its flag");
        }
        for (const CapturedFlagMessage& captured : game->messages.pool<CapturedFlagMessage>()) {
            report(captured.team == Blue ? "Blue captured" : "Red captured");
            if (captured.team == Blue) {
                if (result->captures == 0) {
                    result->firstCapture = time;
                }
                ++result->captures;
            }
        }
    }

  private:
    void report(const char* event) const {
        if (!trace) {
            return;
        }
        const auto where = [this](const Entity& actor) {
            const ComponentHandle<TransformComponent> transform =
                game->entities.component<TransformComponent>(actor.id());
            return transform ? transform->position : glm::vec3(0.0f);
        };
        const glm::vec3 p = where(player);
        const glm::vec3 g = where(guard);
        std::printf("  %7.2f s  %-24s player (%6.1f, %6.1f)  guard (%6.1f, %6.1f)%s\n", time, event, p.x, p.z,
                    g.x, g.z, game->entities.has<HealthComponent>(guard.id()) ? "" : " down");
    }

    Game* game;
    MatchResult* result;
    Entity player;
    Entity guard;
    bool trace;
    double time = 0.0;
};

Entity findActor(EntityManager& entities, bool player) {
    ComponentHandle<TeamComponent> team;
    for (const Entity entity : entities.query(team)) {
        if (!entities.has<HealthComponent>(entity.id())) {
            continue;
        }
        if (player && entities.has<ControlSchemeComponent>(entity.id())) {
            return entity;
        }
        if (!player && team->team == Red && entities.has<AiComponent>(entity.id())) {
            return entity;
        }
    }
    throw std::runtime_error(player ? "the level has no player" : "the Red flag has no computer defender");
}

// One headless match with the scripted hand at the controls.
class ScriptedMatch {
  public:
    ScriptedMatch(std::uint32_t seed, MatchResult& result, bool trace) {
        RandomGenerator::seed(seed);
        RuntimeSettings::instance() = RuntimeSettings{};
        Camera::instance() = Camera{Camera::kStartPosition, Camera::kStartDirection};
        ViewState::instance() = ViewState{};
        GameOptions options;
        options.windowSystems = false;
        if (!game.initialize(options)) {
            throw std::runtime_error("the game did not start");
        }
        player = findActor(game.entities, true);
        guard = findActor(game.entities, false);

        // The frame order of a real game, with the hand in the input
        // processor's place and the rules reporting what happened.
        game.systems.clear();
        game.systems.add<InputProcessor>(
            std::make_shared<InputProcessor>(&game, std::make_unique<ScriptedPolling>(&controls)));
        game.systems.add<AiProcessor>(std::make_shared<AiProcessor>(&game));
        game.systems.add<MechanicsProcessor>(std::make_shared<MechanicsProcessor>(&game));
        auto logic = std::make_shared<ObservedLogic>(&game, &result, player, guard, trace);
        window = ScreenSize{DataManager::getValue<int>("context.window.resolution.x"),
                            DataManager::getValue<int>("context.window.resolution.y")};
        // The cursor pick of the game, with the window the game opens.
        logic->setCursorRay([window = window](std::int32_t x, std::int32_t y) {
            const ViewState& state = ViewState::instance();
            const WorldRay ray = unprojectPixel(x, y, window, state.cameraProjection, state.cameraView,
                                                state.eye, state.viewDirection);
            return PickRay{ray.origin, ray.direction};
        });
        game.systems.add<LogicProcessor>(logic);
        placeView();
    }

    ~ScriptedMatch() {
        Camera::instance() = Camera{};
        ViewState::instance() = ViewState{};
    }

    void run(PlayerStrategy& strategy, const MatchSettings& settings, const MatchResult& result) {
        const auto frames = static_cast<long>(settings.seconds / settings.frame + 0.5);
        for (long k = 0; k < frames; ++k) {
            Scene scene = look();
            scene.time = static_cast<double>(k) * settings.frame;
            Intent intent;
            strategy.decide(scene, intent);
            apply(scene, intent);
            game.update(settings.frame);
            // What the render processor does at the end of every frame.
            placeView();
            if (settings.stopAtFirstCapture && result.captures > 0) {
                break;
            }
        }
    }

  private:
    void placeView() {
        const Camera& camera = Camera::instance();
        placeCameraView(ViewState::instance(), camera.position, camera.direction, window);
    }

    template <typename T>
    T* get(const Entity& entity) {
        const ComponentHandle<T> handle = game.entities.component<T>(entity.id());
        return handle ? handle.get() : nullptr;
    }

    Scene look() {
        Scene scene;
        scene.game = &game;
        scene.visible = [this](const glm::vec3& point) {
            const std::optional<glm::dvec2> pixel = pixelOf(point);
            return pixel && onScreen(*pixel);
        };
        scene.playerPosition = get<TransformComponent>(player)->position;
        scene.playerAlive = game.entities.has<HealthComponent>(player.id());
        scene.carrying = game.entities.has<FlagComponent>(player.id());
        if (const AnimationComponent* animation = get<AnimationComponent>(player)) {
            scene.windingUp = animation->state == FireballWindup ||
                              animation->state == ChainLightningWindup ||
                              animation->state == CrushingWaveWindup;
        }
        if (const ActorSkillsComponent* skills = get<ActorSkillsComponent>(player)) {
            scene.fireballReady = skills->slots[0].remaining == 0.0f;
            scene.lightningReady = skills->slots[1].remaining == 0.0f;
        }
        if (game.entities.has<HealthComponent>(guard.id())) {
            scene.guardAlive = true;
            scene.guardPosition = get<TransformComponent>(guard)->position;
            if (const PathComponent* path = get<PathComponent>(guard)) {
                scene.guardPath = path->waypoints;
            }
        }
        scene.blueBase = game.level.flagPositions.at(Blue);
        scene.redBase = game.level.flagPositions.at(Red);
        scene.redFlag = scene.redBase;
        ComponentHandle<BehaviourComponent> behaviour;
        ComponentHandle<TeamComponent> team;
        ComponentHandle<TransformComponent> transform;
        for (const Entity entity : game.entities.query(behaviour, team, transform)) {
            if (behaviour->behaviour == FlagBehaviour && team->team == Red) {
                scene.redFlag = transform->position;
            } else if (behaviour->behaviour == FireballProjectile && team->team == Red) {
                if (const PathComponent* path = get<PathComponent>(entity);
                    path && !path->waypoints.empty()) {
                    scene.enemyFireballs.push_back(
                        {transform->position, path->waypoints.back() - glm::vec3(0.0f, 1.0f, 0.0f)});
                }
            }
        }
        return scene;
    }

    // The window pixel showing a world point, when it is in front of the camera.
    std::optional<glm::dvec2> pixelOf(const glm::vec3& point) const {
        return pixelOf(point, ViewState::instance());
    }

    std::optional<glm::dvec2> pixelOf(const glm::vec3& point, const ViewState& state) const {
        const glm::vec4 clip = state.cameraProjection * state.cameraView * glm::vec4(point, 1.0f);
        if (!(clip.w > 0.0f)) {
            return std::nullopt;
        }
        const double x = (clip.x / clip.w + 1.0) * 0.5 * window.width;
        const double y = (1.0 - clip.y / clip.w) * 0.5 * window.height;
        return glm::dvec2(x, y);
    }

    bool onScreen(const glm::dvec2& pixel) const {
        return pixel.x >= kMargin && pixel.y >= kMargin && pixel.x <= window.width - kMargin &&
               pixel.y <= window.height - kMargin;
    }

    // Moves the cursor where the intent points and presses what it presses.
    // A point beyond the window's edge is pointed at on the edge, on the line
    // from the player's actor towards it.
    void apply(const Scene& scene, const Intent& intent) {
        controls.hold = false;
        if (intent.action == Intent::Idle) {
            return;
        }
        std::optional<glm::dvec2> pixel = pixelOf(intent.point);
        if (intent.believedCentre) {
            const glm::vec3 offset = DataManager::getVec3("camera.offset");
            ViewState believed;
            placeCameraView(believed, *intent.believedCentre + offset, -offset, window);
            pixel = pixelOf(intent.point, believed);
        }
        const std::optional<glm::dvec2> centre = pixelOf(scene.playerPosition);
        if (!pixel || !centre) {
            return;
        }
        if (!onScreen(*pixel)) {
            if (intent.action != Intent::Move) {
                return;  // nobody clicks a target they cannot see
            }
            const glm::dvec2 towards = *pixel - *centre;
            double share = 1.0;
            const auto limit = [&](double from, double delta, double low, double high) {
                if (delta > 0.0 && from + delta * share > high) {
                    share = (high - from) / delta;
                } else if (delta < 0.0 && from + delta * share < low) {
                    share = (low - from) / delta;
                }
            };
            limit(centre->x, towards.x, kMargin, window.width - kMargin);
            limit(centre->y, towards.y, kMargin, window.height - kMargin);
            pixel = *centre + towards * std::max(share, 0.0);
        }
        controls.cursorX = std::round(pixel->x);
        controls.cursorY = std::round(pixel->y);
        if (intent.action == Intent::Move) {
            controls.hold = true;
        } else {
            const int key = intent.action == Intent::CastFireball ? GLFW_KEY_Q : GLFW_KEY_W;
            Context::instance().keyPressed.dispatch(KeyPressedEvent{key, 0});
        }
    }

    static constexpr double kMargin = 8.0;

    Game game;
    Controls controls;
    ScreenSize window;
    Entity player;
    Entity guard;
};

}  // namespace

const char* strategyName(Strategy strategy) {
    switch (strategy) {
        case Strategy::NaiveRaid:
            return "naive raid";
        case Strategy::Brawler:
            return "brawler";
        case Strategy::Skilled:
            return "skilled";
        case Strategy::ScriptedRaid:
            return "scripted raid";
    }
    return "?";
}

const std::vector<Strategy>& allStrategies() {
    static const std::vector<Strategy> list{Strategy::NaiveRaid, Strategy::Brawler, Strategy::Skilled,
                                            Strategy::ScriptedRaid};
    return list;
}

MatchResult playMatch(Strategy strategy, std::uint32_t seed, const MatchSettings& settings) {
    MatchResult result;
    result.seed = seed;
    ScriptedMatch match(seed, result, settings.trace);
    const std::unique_ptr<PlayerStrategy> player = makeStrategy(strategy, settings);
    match.run(*player, settings, result);
    return result;
}

StrategySummary summarize(Strategy strategy, const std::vector<MatchResult>& results) {
    StrategySummary summary;
    summary.strategy = strategy;
    summary.matches = static_cast<int>(results.size());
    std::vector<double> times;
    for (const MatchResult& result : results) {
        if (result.captures > 0) {
            times.push_back(result.firstCapture);
        }
        summary.playerDeaths += result.playerDeaths;
        summary.guardDeaths += result.guardDeaths;
    }
    summary.capturing = static_cast<int>(times.size());
    if (!times.empty()) {
        std::sort(times.begin(), times.end());
        const std::size_t middle = times.size() / 2;
        summary.medianFirstCapture =
            times.size() % 2 == 1 ? times[middle] : 0.5 * (times[middle - 1] + times[middle]);
    }
    if (summary.matches > 0) {
        summary.playerDeaths /= summary.matches;
        summary.guardDeaths /= summary.matches;
    }
    return summary;
}

std::string formatTable(const std::vector<StrategySummary>& summaries, double seconds) {
    std::ostringstream out;
    char line[256];
    std::snprintf(line, sizeof line,
                  "| strategy | seeds | capture rate (%.0f s) | median first capture | player deaths | guard "
                  "deaths |\n",
                  seconds);
    out << line << "|---|---:|---:|---:|---:|---:|\n";
    for (const StrategySummary& s : summaries) {
        char median[32] = "none";
        if (s.medianFirstCapture >= 0.0) {
            std::snprintf(median, sizeof median, "%.1f s", s.medianFirstCapture);
        }
        std::snprintf(line, sizeof line, "| %s | %d | %.0f %% | %s | %.1f | %.1f |\n",
                      strategyName(s.strategy), s.matches, 100.0 * s.captureRate(), median, s.playerDeaths,
                      s.guardDeaths);
        out << line;
    }
    return out.str();
}

}  // namespace balance
