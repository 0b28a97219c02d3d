// Engine benchmarks: the cost of the block loop, reported per sample.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/vantor_params.h"
#include "engine/engine.h"

namespace {

void BM_IdleBlockLoop(benchmark::State& state) {
  vantor::Engine engine;
  engine.Reset(44100, 512);
  for (int i = 0; i < vantor::kParamCount; ++i) {
    engine.ParamChanged(i, vantor::VantorParamSpec(i).default_value);
  }
  const int frames = static_cast<int>(state.range(0));
  std::vector<double> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
  double* outputs[2] = {left.data(), right.data()};
  for (auto _ : state) {
    engine.RenderBlock(outputs, frames);
    benchmark::DoNotOptimize(left.data());
  }
  state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(BM_IdleBlockLoop)->Arg(1)->Arg(64)->Arg(512);

}  // namespace

BENCHMARK_MAIN();
