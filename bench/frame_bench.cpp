// Frame baselines with the game's own context set-up and frame statistics,
// in a 1280 x 720 window: a frame that is only cleared and presented (the
// floor under every frame figure), and the bare shadowed reference scene the
// game's scenes are held against (bench/arena_frame draws it beside them in
// one run). Needs a display (run it under Xvfb).
#include <benchmark/benchmark.h>

#include "context/context.h"
#include "graphics/utility/render_target.h"
#include "reference_scene.h"

namespace {
constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// Nothing but the clear and the presentation of the context's frame.
struct ClearOnly {
    void draw(int /*width*/, int /*height*/) {}
};

// Times the presented frames after 60 for warming up; the scene, made once
// the window's context exists and gone before it, draws into the back
// buffer before each presentation.
template <typename Scene>
void timeFrames(benchmark::State& state, const char* title) {
    Context& context = Context::instance();
    if (context.createWindow(title, kWidth, kHeight, false) != Context::kCreated) {
        state.SkipWithError("no window (is a display running?)");
        return;
    }
    {
        Scene scene;
        for (int warmUp = 0; warmUp < 60; ++warmUp) {
            scene.draw(kWidth, kHeight);
            context.nextFrame();
        }
        for (auto _ : state) {
            scene.draw(kWidth, kHeight);
            context.nextFrame();
        }
    }
    RenderTargets::release();
    context.shutdown();
    Context::destroy();
}

void ClearOnlyFrame(benchmark::State& state) {
    timeFrames<ClearOnly>(state, "Flagstorm frame baseline");
}
BENCHMARK(ClearOnlyFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2000);

void ReferenceSceneFrame(benchmark::State& state) {
    timeFrames<ReferenceScene>(state, "Flagstorm reference scene");
}
BENCHMARK(ReferenceSceneFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2000);

}  // namespace
