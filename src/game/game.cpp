#include "game/game.h"

#include <exception>
#include <memory>

#include "game/components.h"
#include "game/processors/ai_processor.h"
#include "game/processors/input_processor.h"
#include "game/processors/logic_processor.h"
#include "game/recipes.h"
#include "game/render_recipes.h"
#include "game/runtime_settings.h"
#include "graphics/render_processor.h"
#include "io/file_system.h"
#include "mechanics/mechanics_processor.h"
#include "mechanics/navigation_mesh.h"
#include "utils/log.h"
#include "utils/profiler.h"

namespace {
// One slot of the frame's fixed system order. A slot whose system was not
// created (a headless game) keeps its profiler section.
struct ScheduledSystem {
    std::string name;
    bool needsWindow = false;
    void (*create)(Game& game) = nullptr;
    std::shared_ptr<BaseSystem> (*find)(const SystemManager& systems) = nullptr;
};

template <typename T>
ScheduledSystem scheduled(const char* name, bool needsWindow) {
    return {name, needsWindow, [](Game& game) { game.systems.add(std::shared_ptr<T>(new T(&game))); },
            [](const SystemManager& systems) -> std::shared_ptr<BaseSystem> { return systems.system<T>(); }};
}

// The frame order; systems that need the window are left out of headless games.
const std::vector<ScheduledSystem>& schedule() {
    // clang-format off
    static const std::vector<ScheduledSystem> table = {
        scheduled<InputProcessor>("InputProcessor", true),
        scheduled<AiProcessor>("AiProcessor", false),
        scheduled<MechanicsProcessor>("MechanicsProcessor", false),
        scheduled<LogicProcessor>("LogicProcessor", false),
        scheduled<RenderProcessor>("RenderProcessor", true),
    };
    // clang-format on
    return table;
}

const char* teamName(Team team) {
    return team == Blue ? "Blue" : "Red";
}
}  // namespace

Game::Game() : systems(entities) {}

Game::~Game() = default;

const std::vector<std::string>& Game::scheduleNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const ScheduledSystem& entry : schedule()) {
            list.push_back(entry.name);
        }
        return list;
    }();
    return names;
}

bool Game::initialize(const GameOptions& options) {
    try {
        LOG(debug) << "Loading level from [" << options.levelPath << "]...";
        level = loadLevel(options.levelPath);
    } catch (const FileNotFoundError&) {
        LOG(fatal) << "Cannot start without the level file \"" << options.levelPath << "\"!";
        return false;
    } catch (const std::exception& failure) {
        LOG(fatal) << "Cannot load the level \"" << options.levelPath << "\": " << failure.what();
        return false;
    }
    if (!checkLevel()) {
        LOG(fatal) << "Cannot start with the level \"" << options.levelPath << "\"!";
        return false;
    }

    try {
        populate();
    } catch (const std::exception& failure) {
        // Cooldowns are read from the data store while the actors are built.
        LOG(fatal) << "Cannot populate the level: " << failure.what();
        return false;
    }

    if (options.windowSystems && !options.sceneryPath.empty()) {
        populateScenery(options.sceneryPath);
    }

    LOG(debug) << "Loading navigation mesh from [" << options.navigationMeshPath << "]...";
    std::shared_ptr<NavigationMesh> navigationMesh;
    try {
        navigationMesh = loadNavigationMesh(options.navigationMeshPath);
    } catch (const std::exception& failure) {
        LOG(error) << failure.what();
    }
    if (!navigationMesh) {
        LOG(fatal) << "Cannot start without the navigation mesh \"" << options.navigationMeshPath << "\"!";
        return false;
    }
    level.navigationMesh = std::move(navigationMesh);

    createSystems(options.windowSystems);
    LOG(debug) << "Game initialized.";
    return true;
}

bool Game::checkLevel() const {
    bool usable = true;
    for (const Team team : {Red, Blue}) {
        const auto spawns = level.spawnPoints.find(team);
        if (spawns == level.spawnPoints.end() || spawns->second.empty()) {
            LOG(fatal) << "The level gives team " << teamName(team) << " no spawn point!";
            usable = false;
        }
        if (level.flagPositions.find(team) == level.flagPositions.end()) {
            LOG(fatal) << "The level gives team " << teamName(team) << " no flag marker!";
            usable = false;
        }
    }
    return usable;
}

void Game::populate() {
    // Entity order matters to everyone who walks a view: Red actors, Blue
    // actors, the Blue flag, the Red flag, then the level in file order.
    const std::vector<glm::vec3>& redSpawns = level.spawnPoints.find(Red)->second;
    for (std::size_t i = 0; i < 4; ++i) {
        const Entity actor = entities.create();
        makeActor(actor, Red, redSpawns[i % redSpawns.size()]);
        if (i == 0) {
            entities.assign<AiComponent>(actor.id());
        }
    }
    const std::vector<glm::vec3>& blueSpawns = level.spawnPoints.find(Blue)->second;
    for (std::size_t i = 0; i < 4; ++i) {
        const Entity actor = entities.create();
        makeActor(actor, Blue, blueSpawns[i % blueSpawns.size()]);
        if (i == 0) {
            entities.assign<ControlSchemeComponent>(actor.id(), static_cast<uint8_t>(KeyboardAndMouse));
        } else {
            entities.assign<AiComponent>(actor.id());
        }
    }
    makeFlagAtBase(entities.create(), Blue, level.flagPositions.find(Blue)->second);
    makeFlagAtBase(entities.create(), Red, level.flagPositions.find(Red)->second);
    for (const LevelObject& object : level.objects) {
        makeLevelObject(entities.create(), object);
    }
}

void Game::populateScenery(const std::string& path) {
    LOG(debug) << "Loading scenery from [" << path << "]...";
    Level sceneryLevel;
    try {
        sceneryLevel = loadLevel(path);
    } catch (const std::exception&) {
        LOG(error) << "Scenery file does not exist: \"" << path << "\"!";
        return;
    }
    for (const LevelObject& object : sceneryLevel.objects) {
        const Entity entity = entities.create();
        entities.assign<TransformComponent>(entity.id(), object.position, object.rotation, object.scale);
        attachSceneryRenderables(entity, object);
        scenery.push_back(entity);
    }
}

void Game::createSystems(bool windowSystems) {
    for (const ScheduledSystem& entry : schedule()) {
        if (entry.create != nullptr && (windowSystems || !entry.needsWindow)) {
            entry.create(*this);
        }
    }
}

void Game::update(double dt) {
    const double scaledDt = static_cast<double>(RuntimeSettings::instance().timeScale) * dt;
    Profiler& profiler = Profiler::instance();
    for (const ScheduledSystem& entry : schedule()) {
        profiler.begin(entry.name);
        if (entry.find != nullptr) {
            if (const std::shared_ptr<BaseSystem> system = entry.find(systems)) {
                system->update(scaledDt);
            }
        }
        profiler.end(entry.name);
    }
    messages.clearAll();
}
