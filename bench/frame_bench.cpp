// The floor under every frame figure: a 1280 x 720 window that is only
// cleared and presented, with the same context set-up and frame statistics
// as the game. The arena's own frames are measured by the game itself (its
// "Statistics for last 1000 frames" reports); this is the baseline they are
// quoted against. Needs a display (run it under Xvfb).
#include <benchmark/benchmark.h>

#include "context/context.h"

namespace {

void ClearOnlyFrame(benchmark::State& state) {
    Context& context = Context::instance();
    if (context.createWindow("Flagstorm frame baseline", 1280, 720, false) != Context::kCreated) {
        state.SkipWithError("no window (is a display running?)");
        return;
    }
    for (int warmUp = 0; warmUp < 60; ++warmUp) {
        context.nextFrame();
    }
    for (auto _ : state) {
        context.nextFrame();
    }
    context.shutdown();
    Context::destroy();
}
BENCHMARK(ClearOnlyFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2000);

}  // namespace
