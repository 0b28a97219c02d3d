// Engine benchmarks: the idle block loop, and the poly section at full and single polyphony.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/vantor_params.h"
#include "engine/engine.h"

namespace {

void ApplyDefaults(vantor::Engine& engine) {
  for (int i = 0; i < vantor::kParamCount; ++i)
    engine.ParamChanged(i, vantor::VantorParamSpec(i).default_value);
}

void BM_IdleBlockLoop(benchmark::State& state) {
  vantor::Engine engine;
  engine.Reset(44100, 512);
  ApplyDefaults(engine);
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

// Ten seconds at 44.1 kHz with `voices` held notes, all twelve footages, a lowpass filter and
// the voice envelopes. rtf: seconds of audio per second of work; voice_sample: time per voice
// and sample.
void BM_PolyVoices(benchmark::State& state) {
  static constexpr int kRate = 44100;
  static constexpr int kBlock = 512;
  static constexpr int kSeconds = 10;
  const int voices = static_cast<int>(state.range(0));
  vantor::Engine engine;
  engine.Reset(kRate, kBlock);
  ApplyDefaults(engine);
  for (int p = vantor::kBank1Saw16; p <= vantor::kBank1Pulse4; ++p)
    engine.ParamChanged(p, 1.0);
  for (int p = vantor::kBank2Saw16; p <= vantor::kBank2Pulse4; ++p)
    engine.ParamChanged(p, 1.0);
  engine.ParamChanged(vantor::kFilterMode, 1);  // Lowpass
  engine.ParamChanged(vantor::kFilterCutoff, 0.7);
  engine.ParamChanged(vantor::kFilterResonance, 0.3);
  engine.ParamChanged(vantor::kFilterEnvelope, 0);  // the voice envelope moves the cutoff
  engine.ParamChanged(vantor::kEnvToFilterFm, 2000);
  engine.ParamChanged(vantor::kPolyphony, 2);  // 61 slots
  for (int i = 0; i < voices; ++i)
    engine.NoteOn(36 + i, 100);
  std::vector<double> left(kBlock), right(kBlock);
  double* outputs[2] = {left.data(), right.data()};
  for (auto _ : state) {
    for (int done = 0; done < kSeconds * kRate; done += kBlock) {
      engine.RenderBlock(outputs, kBlock);
      benchmark::DoNotOptimize(left.data());
    }
  }
  const double samples = static_cast<double>(kSeconds) * kRate * state.iterations();
  state.counters["rtf"] =
      benchmark::Counter(kSeconds * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["voice_sample"] = benchmark::Counter(
      samples * voices, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PolyVoices)->Arg(61)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
