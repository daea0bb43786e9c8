// What one part of the picture costs a frame: the whole game in a 1280 x 720
// window, the player standing at the Blue base (where the scenery beyond the
// arena fills much of the window), the part switched off and on every 10
// frames of one run, so the machine's drift (it is shared with other work)
// falls on both sides alike. The parts: the whole scenery, each scenery
// object alone (SceneryOnAndOff/N, N counted from 0 in the scenery file's
// order), and the help screen (F1). Reports the mean frame time (update and
// buffer swap, which is where a software rasteriser draws) with and without,
// and their ratio. Run it from the repository root under Xvfb; one part with
// --benchmark_filter, e.g. 'SceneryOnAndOff/-1'.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "context/context.h"
#include "game/camera.h"
#include "game/components.h"
#include "game/game.h"
#include "game/runtime_settings.h"
#include "graphics/billboard.h"
#include "graphics/resources/material.h"
#include "graphics/resources/mesh.h"
#include "graphics/resources/shader_program.h"
#include "graphics/resources/texture.h"
#include "graphics/utility/render_target.h"
#include "io/data_manager.h"
#include "mechanics/volume_manager.h"

namespace {

constexpr int kBlock = 10;
// Frames after a switch that are not counted: the software rasteriser may
// still be finishing the frame before it.
constexpr int kSettle = 2;

// Runs the game at the Blue base, calling toggle(game, shown) to switch the
// measured thing on and off every kBlock frames, and reports the mean frame
// with and without it and their ratio.
template <typename Toggle>
void alternate(benchmark::State& state, Toggle toggle) {
    DataManager::instance().loadDirectory("data/", ".dat", true);
    Context& context = Context::instance();
    if (context.createWindow("Flagstorm scenery cost", 1280, 720, false) != Context::kCreated) {
        state.SkipWithError("no window (is a display running?)");
        return;
    }
    MaterialManager::instance().loadDirectory("resources/materials/", ".mtl", true);
    ShaderProgramManager::instance().loadDirectory("resources/shaders/", ".spd", true);
    MeshManager::instance().loadDirectory("resources/meshes/", ".mshd", true);
    TextureManager::instance().loadDirectory("resources/textures/", "", true);
    RenderTargets::instance();
    CollisionVolumeManager::instance().loadDirectory("data/collision/", ".volumes", true);
    CollisionVolumeManager::instance().addFloorVolumes();
    {
        Game game;
        if (!game.initialize() || game.scenery.empty()) {
            state.SkipWithError("the game did not start with its scenery");
            return;
        }
        const glm::vec3 base = game.level.flagPositions[Blue];
        const glm::vec3 offset = DataManager::getVec3("camera.offset");
        const Entity::Id player(4, 1);
        const auto frame = [&] {
            game.entities.component<TransformComponent>(player)->position = base;
            Camera::instance().position = base + offset;
            Camera::instance().direction = -offset;
            game.update(1.0 / 60.0);
            context.nextFrame();
        };
        bool shown = true;
        toggle(game, shown);
        for (int warmUp = 0; warmUp < 2 * kBlock; ++warmUp) {
            frame();
        }
        double with = 0.0, without = 0.0;
        long long frames = 0;
        for (auto _ : state) {
            for (int k = 0; k < kBlock; ++k) {
                const auto t0 = std::chrono::steady_clock::now();
                frame();
                const double seconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
                if (k >= kSettle) {
                    (shown ? with : without) += seconds;
                }
            }
            frames += kBlock - kSettle;
            shown = !shown;
            toggle(game, shown);
        }
        toggle(game, false);
        const double half = static_cast<double>(frames) / 2.0;
        state.counters["with_ms"] = 1000.0 * with / half;
        state.counters["without_ms"] = 1000.0 * without / half;
        state.counters["ratio"] = without > 0.0 ? with / without : 0.0;
    }
    MaterialManager::instance().clear();
    ShaderProgramManager::instance().clear();
    MeshManager::instance().clear();
    TextureManager::instance().clear();
    Billboard::releaseSharedBuffer();
    RenderTargets::release();
    CollisionVolumeManager::instance().clear();
    context.shutdown();
    Context::destroy();
}

// Takes the render components of the scenery objects away and gives them
// back; piece < 0 switches every object, otherwise only the one at that
// place in the scenery file.
void SceneryOnAndOff(benchmark::State& state) {
    const long piece = state.range(0);
    std::vector<RenderComponent> kept;
    alternate(state, [&](Game& game, bool shown) {
        if (kept.empty()) {
            for (const Entity& entity : game.scenery) {
                kept.push_back(*game.entities.component<RenderComponent>(entity.id()));
            }
        }
        for (std::size_t k = 0; k < game.scenery.size(); ++k) {
            if (piece >= 0 && static_cast<std::size_t>(piece) != k) {
                continue;
            }
            const Entity::Id id = game.scenery[k].id();
            if (shown && !game.entities.component<RenderComponent>(id)) {
                game.entities.assign<RenderComponent>(id, kept[k]);
            } else if (!shown) {
                game.entities.remove<RenderComponent>(id);
            }
        }
    });
}
// 100 blocks of 10 frames, alternating: 400 counted frames on each side.
// The argument -1 is the whole scenery; each piece is measured by
// SceneryOnAndOff/N (N counted from 0 in file order).
BENCHMARK(SceneryOnAndOff)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(100)
    ->Arg(-1)
    ->DenseRange(0, 4);

// The help screen (F1) over the same scene.
void HelpOnAndOff(benchmark::State& state) {
    alternate(state, [](Game&, bool shown) { RuntimeSettings::instance().showHelp = shown; });
}
BENCHMARK(HelpOnAndOff)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100);

}  // namespace
