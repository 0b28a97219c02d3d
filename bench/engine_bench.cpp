// Engine benchmarks: the idle block loop, the poly section at full and single polyphony, the full
// instrument, and each effect alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/vantor_params.h"
#include "engine/engine.h"
#include "engine/ensemble.h"
#include "engine/mono_section.h"
#include "engine/phaser.h"
#include "engine/render_path.h"
#include "engine/resonator_bank.h"

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

static constexpr int kRate = 44100;
static constexpr int kBlock = 512;
static constexpr int kSeconds = 10;

// `voices` held notes with all twelve footages, a lowpass filter and the voice envelopes.
std::unique_ptr<vantor::Engine> PolyEngine(int voices) {
  auto engine = std::make_unique<vantor::Engine>();
  engine->Reset(kRate, kBlock);
  ApplyDefaults(*engine);
  for (int p = vantor::kBank1Saw16; p <= vantor::kBank2Pulse4; ++p)
    engine->ParamChanged(p, 1.0);
  engine->ParamChanged(vantor::kFilterMode, 1);  // Lowpass
  engine->ParamChanged(vantor::kFilterCutoff, 0.7);
  engine->ParamChanged(vantor::kFilterResonance, 0.3);
  engine->ParamChanged(vantor::kFilterEnvelope, 0);  // the voice envelope moves the cutoff
  engine->ParamChanged(vantor::kEnvToFilterFm, 2000);
  engine->ParamChanged(vantor::kPolyphony, 2);  // 61 slots
  for (int i = 0; i < voices; ++i)
    engine->NoteOn(36 + i, 100);
  return engine;
}

// Renders ten seconds per iteration; rtf: seconds of audio per second of work.
void RenderTenSeconds(vantor::Engine& engine, benchmark::State& state) {
  std::vector<double> left(kBlock), right(kBlock);
  double* outputs[2] = {left.data(), right.data()};
  for (auto _ : state) {
    for (int done = 0; done < kSeconds * kRate; done += kBlock) {
      engine.RenderBlock(outputs, kBlock);
      benchmark::DoNotOptimize(left.data());
    }
  }
  state.counters["rtf"] =
      benchmark::Counter(kSeconds * state.iterations(), benchmark::Counter::kIsRate);
}

// The render path of argument `index` for the benchmark's run; false (and the run skipped) when
// this CPU lacks it. The label names it.
bool UsePath(benchmark::State& state, int index) {
  const auto path = static_cast<vantor::RenderPath>(state.range(index));
  if (!vantor::SetRenderPath(path)) {
    state.SkipWithError("this CPU cannot run the path");
    return false;
  }
  state.SetLabel(vantor::RenderPathName(path));
  return true;
}

// Voices 1, 8, 16 and 61 on each path: reference, portable, AVX2.
void VoicesAndPaths(benchmark::internal::Benchmark* b) {
  for (int path = 0; path <= 2; ++path) {
    for (int voices : {1, 8, 16, 61})
      b->Args({voices, path});
  }
}

// The poly section alone; voice_sample: time per voice and sample.
void BM_PolyVoices(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  if (!UsePath(state, 1)) return;
  auto engine = PolyEngine(voices);
  RenderTenSeconds(*engine, state);
  const double samples = static_cast<double>(kSeconds) * kRate * state.iterations();
  state.counters["voice_sample"] = benchmark::Counter(
      samples * voices, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PolyVoices)->Apply(VoicesAndPaths)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every section and effect at work: the voices above, the three resonators, the mono section
// with every source on the same keys (its VCF fed the poly signal), both sections through the
// stereo ensemble, then the phaser.
void BM_FullInstrument(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  if (!UsePath(state, 1)) return;
  auto engine = PolyEngine(0);
  const std::pair<int, double> settings[] = {
      {vantor::kResonators, 1},    {vantor::kMonoLower, 1},        {vantor::kMonoUpper, 1},
      {vantor::kVcoWaveform, 1},   {vantor::kSubOscToVcf, 0.5},    {vantor::kNoiseToVcf, 0.2},
      {vantor::kPolyToPoly, 0.3},  {vantor::kVcaEnvelope, 1},      {vantor::kVcoFm, 100},
      {vantor::kLfoToVcfFm, 2000}, {vantor::kPolyToEnsemble, 1},   {vantor::kMonoToEnsemble, 1},
      {vantor::kPhaser, 1},        {vantor::kPhaserFeedback, 0.5},
  };
  for (const auto& [index, value] : settings)
    engine->ParamChanged(index, value);
  for (int i = 0; i < voices; ++i)
    engine->NoteOn(36 + i, 100);
  RenderTenSeconds(*engine, state);
}
BENCHMARK(BM_FullInstrument)->Apply(VoicesAndPaths)->Unit(benchmark::kMillisecond)->UseRealTime();

// One block alone over ten seconds at 44.1 kHz, in control periods with their control ticks:
// 0 the resonators (three resonant bandpasses), 1 the mono section (pulse, sub, noise, VCF, VCA),
// 2 the stereo ensemble, 3 the phaser (Type 1, feedback) on both channels. rtf as above.
void BM_EffectAlone(benchmark::State& state) {
  static constexpr int kPeriod = kRate / 1000;
  static constexpr int kTicks = 10 * kRate / kPeriod;
  vantor::PitchTables tables;
  tables.Build(kRate);
  std::vector<double> input(kPeriod), left(kPeriod), right(kPeriod), a(kPeriod), b(kPeriod);
  for (int i = 0; i < kPeriod; ++i)
    input[static_cast<size_t>(i)] = std::sin(i * 0.3) + 0.5 * std::sin(i * 1.7);
  const auto defaults = [](auto& block, int first, int last) {
    for (int i = first; i <= last; ++i)
      block.ParamChanged(i, vantor::VantorParamSpec(i).default_value);
  };
  vantor::ResonatorBank resonators;
  defaults(resonators, vantor::kResonators, vantor::kResonator3Resonance);
  for (int r = 0; r < 3; ++r)
    resonators.ParamChanged(vantor::kResonator1Resonance + 4 * r, 0.8);
  vantor::MonoSection mono;
  mono.Initialise(kRate);
  defaults(mono, vantor::kVcoPortamento, vantor::kLfoSpeed);
  for (const auto& [index, value] : {std::pair<int, double>{vantor::kVcoWaveform, 1},
                                     {vantor::kSubOscToVcf, 0.5},
                                     {vantor::kNoiseToVcf, 0.2},
                                     {vantor::kVcaEnvelope, 1},
                                     {vantor::kVcfCutoff, 0.6}})
    mono.ParamChanged(index, value);
  mono.NoteOn(48, 100);
  vantor::Ensemble ensemble;
  ensemble.SetSampleRate(kRate);
  defaults(ensemble, vantor::kEnsembleMode, vantor::kEnsembleModAmount3);
  vantor::Phaser phaser;
  defaults(phaser, vantor::kPhaser, vantor::kPhaserMix);
  phaser.ParamChanged(vantor::kPhaser, 1);
  phaser.ParamChanged(vantor::kPhaserFeedback, 0.7);

  const int which = static_cast<int>(state.range(0));
  for (auto _ : state) {
    for (int tick = 0; tick < kTicks; ++tick) {
      switch (which) {
        case 0:
          std::copy(input.begin(), input.end(), left.begin());
          resonators.Process(left.data(), a.data(), b.data(), kPeriod, tables);
          break;
        case 1:
          mono.lfo.Tick();
          mono.ControlTick(tables, 0.0, 0.0);
          mono.Render(left.data(), nullptr, kPeriod);
          break;
        case 2:
          ensemble.ControlTick();
          ensemble.Process(input.data(), left.data(), right.data(), kPeriod);
          break;
        default:
          std::copy(input.begin(), input.end(), left.begin());
          std::copy(input.begin(), input.end(), right.begin());
          phaser.ControlTick(tables);
          phaser.Process(left.data(), right.data(), kPeriod);
          break;
      }
      benchmark::DoNotOptimize(left.data());
    }
  }
  static constexpr const char* kNames[] = {"resonators", "mono section", "ensemble", "phaser"};
  state.SetLabel(kNames[which]);
  state.counters["rtf"] =
      benchmark::Counter(10.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EffectAlone)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // Each benchmark sets its own path; this is the one the engine would take by itself.
  benchmark::AddCustomContext("cpu_features", vantor::CpuFeatureNames());
  benchmark::AddCustomContext("default_render_path",
                              vantor::RenderPathName(vantor::ActiveRenderPath()));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
