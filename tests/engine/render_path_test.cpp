// The fast render paths against the reference path: the same sound within kFastPathBound for
// every factory program with its phrase and for every section at its extremes, at every block
// size and sample rate; also the switch itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/vantor_params.h"
#include "engine/engine.h"
#include "engine/envelope_generator.h"
#include "engine/lfo.h"
#include "engine/phaser.h"
#include "engine/render_path.h"
#include "engine/resonator_bank.h"
#include "tools/audition/factory_programs.h"
#include "tools/audition/phrases.h"

namespace vantor {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr double kLengthScale = 0.25;  // the sanitizer build renders about 20 times slower
#else
constexpr double kLengthScale = 1.0;
#endif

struct Event {
  int frame;
  uint8_t status, data1, data2;
};

struct Change {
  int frame;  // applied before the block holding it, as a host does
  int index;
  double value;
};

struct Scenario {
  double rate = 44100.0;
  int block = 512;
  std::vector<std::pair<int, double>> values;  // in index order, as a program load applies them
  std::vector<Event> events;
  std::vector<Change> changes;  // in frame order
  int frames = 0;
};

// Both channels, interleaved, as `path` renders the scenario in a fresh engine.
std::vector<double> RenderOn(RenderPath path, const Scenario& s) {
  const RenderPath before = ActiveRenderPath();
  EXPECT_TRUE(SetRenderPath(path));
  MonoSection::SeedNoise(1);  // the same noise and random LFO steps for every path
  Lfo::SeedRandom(1);
  Engine engine;
  engine.Reset(s.rate, s.block);
  for (auto [index, value] : s.values)
    engine.ParamChanged(index, value);
  std::vector<double> out(2 * static_cast<size_t>(s.frames));
  std::vector<double> left(static_cast<size_t>(s.block)), right(static_cast<size_t>(s.block));
  size_t next = 0, next_change = 0;
  for (int start = 0; start < s.frames; start += s.block) {
    const int n = std::min(s.block, s.frames - start);
    for (; next_change < s.changes.size() && s.changes[next_change].frame < start + n;
         ++next_change)
      engine.ParamChanged(s.changes[next_change].index, s.changes[next_change].value);
    for (; next < s.events.size() && s.events[next].frame < start + n; ++next) {
      const Event& e = s.events[next];
      engine.QueueMidiMessage({std::max(e.frame - start, 0), e.status, e.data1, e.data2});
    }
    double* outputs[2] = {left.data(), right.data()};
    engine.RenderBlock(outputs, n);
    for (int i = 0; i < n; ++i) {
      out[2 * static_cast<size_t>(start + i)] = left[static_cast<size_t>(i)];
      out[2 * static_cast<size_t>(start + i) + 1] = right[static_cast<size_t>(i)];
    }
  }
  SetRenderPath(before);
  return out;
}

std::vector<RenderPath> FastPaths() {
  std::vector<RenderPath> paths = {RenderPath::kPortable};
  if (RenderPathAvailable(RenderPath::kAvx2)) paths.push_back(RenderPath::kAvx2);
  return paths;
}

double Peak(const std::vector<double>& x) {
  double peak = 0.0;
  for (double v : x)
    peak = std::max(peak, std::fabs(v));
  return peak;
}

// The worst difference over every scenario so far, for the log.
double g_worst[3] = {};

// Each fast path really ran: single-precision tables never match the reference to the bit. (A
// program without the poly section sounds alike to the bit, so this is asked of a whole test.)
void ExpectEveryFastPathRan() {
  for (RenderPath path : FastPaths())
    EXPECT_GT(g_worst[static_cast<int>(path)], 0.0) << RenderPathName(path) << " never ran";
}

// Every fast path renders `s` as the reference does, within the bound; the reference is audible
// and finite.
void ExpectSameSound(const Scenario& s, const std::string& what) {
  const std::vector<double> reference = RenderOn(RenderPath::kReference, s);
  ASSERT_GT(Peak(reference), 1e-3) << what << ": the scenario must sound to be compared";
  for (RenderPath path : FastPaths()) {
    const std::vector<double> fast = RenderOn(path, s);
    ASSERT_EQ(fast.size(), reference.size());
    double worst = 0.0;
    size_t at = 0;
    for (size_t i = 0; i < fast.size(); ++i) {
      ASSERT_TRUE(std::isfinite(fast[i])) << what << " on " << RenderPathName(path) << " at " << i;
      const double difference = std::fabs(fast[i] - reference[i]);
      if (difference > worst) worst = difference, at = i;
    }
    EXPECT_LT(worst, kFastPathBound) << what << " on " << RenderPathName(path) << ", frame "
                                     << at / 2 << (at % 2 ? " right" : " left");
    double& record = g_worst[static_cast<int>(path)];
    record = std::max(record, worst);
  }
}

void LogWorst() {
  for (RenderPath path : FastPaths()) {
    std::printf("worst difference on %s: %.3g (%.1f dBFS)\n", RenderPathName(path),
                g_worst[static_cast<int>(path)],
                20.0 * std::log10(g_worst[static_cast<int>(path)]));
  }
}

TEST(RenderPathTest, EveryFactoryProgramSoundsTheSameOnEveryPath) {
  std::fill(std::begin(g_worst), std::end(g_worst), 0.0);  // each test logs its own
  const std::vector<audition::FactoryProgram> bank = audition::BuiltInPrograms();
  ASSERT_EQ(bank.size(), 64u);
  for (const audition::FactoryProgram& program : bank) {
    Scenario s;
    for (int i = 0; i < kParamCount; ++i)
      s.values.push_back({i, program.values[static_cast<size_t>(i)]});
    const audition::Phrase phrase = audition::AuditionPhrase(program.name, program.values.data());
    // The phrase's opening and its release: every voice that starts also ends here.
    const double seconds = std::min(phrase.Duration(), 2.5) * kLengthScale;
    s.frames = static_cast<int>(seconds * s.rate);
    const double squeeze = seconds / phrase.Duration();
    for (const audition::PhraseEvent& e : phrase.events)
      s.events.push_back(
          {static_cast<int>(std::lround(e.time * squeeze * s.rate)), e.status, e.data1, e.data2});
    ExpectSameSound(s, program.name);
  }
  ExpectEveryFastPathRan();
  LogWorst();
}

// Every section at its loudest and most resonant: all footages, resonant lowpass swept by the
// envelope, resonators at full resonance, the mono section with sub and noise fed the poly signal,
// ensemble on both, phaser at full feedback; a 61-note chord pressed, bent, held and released,
// its footages, volumes, tuning and pulse width changed while it sounds (a pulse width near full
// turns the pulses off and on as the modulation sweeps it).
TEST(RenderPathTest, ExtremeSettingsSoundTheSameAtEveryRateAndBlockSize) {
  std::fill(std::begin(g_worst), std::end(g_worst), 0.0);
  std::vector<std::pair<int, double>> values;
  for (int i = 0; i < kParamCount; ++i)
    values.push_back({i, VantorParamSpec(i).default_value});
  const std::pair<int, double> extremes[] = {
      {kPolyphony, 2},
      {kFilterMode, 1},
      {kFilterCutoff, 0.5},
      {kFilterResonance, 1},
      {kFilterEnvelope, 0},
      {kEnvToFilterFm, 4000},
      {kKeyboardToFilterFm, 2000},
      {kBank1Pwm, 1},
      {kBank2Fm, 1},
      {kResonators, 1},
      {kResonator1Resonance, 1},
      {kResonator2Resonance, 1},
      {kResonator3Resonance, 1},
      {kMonoLower, 1},
      {kMonoUpper, 1},
      {kVcoWaveform, 1},
      {kSubOscToVcf, 1},
      {kNoiseToVcf, 0.3},
      {kPolyToPoly, 1},
      {kVcfResonance, 1},
      {kPolyToEnsemble, 1},
      {kMonoToEnsemble, 1},
      {kPhaser, 1},
      {kPhaserFeedback, 1},
      {kSoftClipping, 1},
      {kModWheelToPolyFm, 1},
  };
  for (int p = kBank1Saw16; p <= kBank2Pulse4; ++p)
    values.push_back({p, 1.0});
  for (auto [index, value] : extremes)
    values.push_back({index, value});

  const double rates[] = {44100.0, 48000.0, 96000.0, 192000.0};
  const int blocks[] = {1, 7, 64, 512, 4096};
  for (size_t r = 0; r < std::size(rates); ++r) {
    for (size_t b = 0; b < std::size(blocks); ++b) {
      // Long blocks at low rates and short ones at high rates would only repeat each other: each
      // rate takes every block size, but short lengths keep the whole grid to seconds.
      Scenario s;
      s.rate = rates[r];
      s.block = blocks[b];
      s.values = values;
      const auto at = [&](double seconds) { return static_cast<int>(seconds * s.rate); };
      s.frames = at(0.3 * kLengthScale);
      s.events.push_back({0, 0xB0, 1, 127});  // full mod wheel
      for (int note = 36; note <= 96; ++note)
        s.events.push_back({at(0.0005 * (note - 36)), 0x90, static_cast<uint8_t>(note), 127});
      s.events.push_back({at(0.1 * kLengthScale), 0xE0, 0, 127});  // bent to the top
      const Change changes[] = {
          {at(0.05), kBank1Saw8, 0}, {at(0.05), kBank2Pulse16, 0}, {at(0.07), kBank1Volume, 0.2},
          {at(0.09), kBank1Pw, 1},   {at(0.11), kBank2Volume, 0},  {at(0.12), kBank1Pw, 0},
          {at(0.13), kBank1Saw8, 1}, {at(0.15), kBank1Tune, 37},   {at(0.17), kBank2Volume, 0.8}};
      for (const Change& c : changes)
        s.changes.push_back({static_cast<int>(c.frame * kLengthScale), c.index, c.value});
      for (int note = 36; note <= 96; ++note)
        s.events.push_back({at(0.2 * kLengthScale), 0x80, static_cast<uint8_t>(note), 0});
      ExpectSameSound(
          s, std::to_string(static_cast<int>(s.rate)) + " Hz, block " + std::to_string(s.block));
    }
  }
  ExpectEveryFastPathRan();
  LogWorst();
}

// The resonators side by side are the resonators one after another, to the bit, in every mode
// and with the denormal offset handed on as between separate runs (odd lengths flip it).
TEST(RenderPathTest, ResonatorsSideBySideMatchOneAfterAnotherToTheBit) {
  PitchTables tables;
  tables.Build(48000.0);
  for (int mode = 0; mode < 3; ++mode) {
    ResonatorBank one_by_one, side_by_side;
    for (ResonatorBank* bank : {&one_by_one, &side_by_side}) {
      bank->ParamChanged(kResonators, 1);
      for (int r = 0; r < 3; ++r) {
        bank->ParamChanged(kResonator1Mode + 4 * r, (mode + r) % 3);  // a mix of modes
        bank->ParamChanged(kResonator1Volume + 4 * r, 0.3 + 0.2 * r);
        bank->ParamChanged(kResonator1Frequency + 4 * r, 0.35 + 0.1 * r);
        bank->ParamChanged(kResonator1Resonance + 4 * r, 1.0 - 0.1 * r);
      }
    }
    std::vector<double> a(48), b(48), dry(48), wet(48);
    for (int block = 0; block < 200; ++block) {
      const int n = 1 + (block * 7) % 48;
      for (int i = 0; i < n; ++i)
        a[static_cast<size_t>(i)] = b[static_cast<size_t>(i)] =
            std::sin(0.05 * (block * 48 + i)) + (i % 5 == 0 ? 0.5 : 0.0);
      const double offset = LadderFilterDenormalOffset().Load();
      one_by_one.Process(a.data(), dry.data(), wet.data(), n, tables);
      const double after_one = LadderFilterDenormalOffset().Load();
      LadderFilterDenormalOffset().Store(offset);
      side_by_side.ProcessSideBySide(b.data(), dry.data(), wet.data(), n, tables);
      ASSERT_EQ(LadderFilterDenormalOffset().Load(), after_one) << "block " << block;
      for (int i = 0; i < n; ++i)
        ASSERT_EQ(a[static_cast<size_t>(i)], b[static_cast<size_t>(i)])
            << "mode " << mode << ", block " << block << ", sample " << i;
    }
    EXPECT_GT(std::fabs(a[0]) + std::fabs(a[1]), 0.0);  // the resonators rang
  }
}

// Likewise the phaser's two channels side by side, at full feedback with the sweep moving.
TEST(RenderPathTest, PhaserSideBySideMatchesChannelAfterChannelToTheBit) {
  PitchTables tables;
  tables.Build(44100.0);
  Phaser one_by_one, side_by_side;
  for (Phaser* phaser : {&one_by_one, &side_by_side}) {
    phaser->Initialise();
    for (int i = kPhaser; i <= kPhaserMix; ++i)
      phaser->ParamChanged(i, VantorParamSpec(i).default_value);
    phaser->ParamChanged(kPhaser, 1);
    phaser->ParamChanged(kPhaserFeedback, 1);
    phaser->ParamChanged(kPhaserModAmount, 1);
  }
  std::vector<double> l1(44), r1(44), l2(44), r2(44);
  for (int block = 0; block < 300; ++block) {
    const int n = 1 + (block * 5) % 44;
    for (int i = 0; i < n; ++i) {
      const double t = 0.03 * (block * 44 + i);
      l1[static_cast<size_t>(i)] = l2[static_cast<size_t>(i)] = std::sin(t);
      r1[static_cast<size_t>(i)] = r2[static_cast<size_t>(i)] = std::sin(1.3 * t) * 0.5;
    }
    one_by_one.ControlTick(tables);
    side_by_side.ControlTick(tables);
    const double offset = PhaserDenormalOffset().Load();
    one_by_one.Process(l1.data(), r1.data(), n);
    const double after_one = PhaserDenormalOffset().Load();
    PhaserDenormalOffset().Store(offset);
    side_by_side.ProcessSideBySide(l2.data(), r2.data(), n);
    ASSERT_EQ(PhaserDenormalOffset().Load(), after_one) << "block " << block;
    ASSERT_EQ(l1, l2) << "block " << block;
    ASSERT_EQ(r1, r2) << "block " << block;
  }
  EXPECT_NE(l1[0], std::sin(0.03 * 299 * 44));  // the phaser changed the signal
}

// The envelope with its state in registers renders the ticks of the reference to the bit,
// through attack, decay to a sustain, release to idle, and a decay toward zero that never ends.
TEST(RenderPathTest, EnvelopeInRegistersMatchesTheTicksToTheBit) {
  for (double sustain : {0.0, 0.6, 1.0}) {
    EnvelopeGenerator ticks, registers;
    for (EnvelopeGenerator* e : {&ticks, &registers}) {
      e->SetSampleRate(44100.0);
      e->SetAttack(0.3);
      e->SetDecay(0.35);
      e->SetRelease(0.3);
      e->SetSustain(sustain);
      e->StartAttack();
    }
    std::vector<double> a(44), b(44);
    bool released = false;
    int stages_seen = 0;
    for (int block = 0; block < 2000; ++block) {
      if (block == 1500) {
        ticks.Release();
        registers.Release();
        released = true;
      }
      const int n = 1 + (block * 13) % 44;
      ticks.Render(a.data(), n);
      registers.RenderInRegisters(b.data(), n);
      ASSERT_EQ(std::vector<double>(a.begin(), a.begin() + n),
                std::vector<double>(b.begin(), b.begin() + n))
          << "sustain " << sustain << ", block " << block;
      ASSERT_EQ(ticks.stage, registers.stage);
      ASSERT_EQ(ticks.output, registers.output);
      stages_seen |= 1 << ticks.stage;
    }
    EXPECT_TRUE(released);
    // Attack, decay and release all ran; a zero sustain has ended in idle before the release.
    EXPECT_EQ(stages_seen & 0b1110, sustain > 0.0 ? 0b1110 : 0b0110) << "sustain " << sustain;
    EXPECT_EQ(ticks.stage, EnvelopeGenerator::kIdle);
  }
}

// The fast paths carry reads from block to block: a copy of a sounding engine, its original gone,
// renders on as the original would have, to the bit.
TEST(RenderPathTest, CopiedEngineRendersAsTheOriginal) {
  const RenderPath before = ActiveRenderPath();
  for (RenderPath path : FastPaths()) {
    ASSERT_TRUE(SetRenderPath(path));
    auto original = std::make_unique<Engine>();
    original->Reset(44100.0, 64);
    for (int p = kBank1Saw16; p <= kBank2Pulse4; ++p)
      original->ParamChanged(p, 1.0);
    for (int note = 30; note <= 100; note += 7)
      original->QueueMidiMessage({0, 0x90, static_cast<uint8_t>(note), 100});
    std::vector<double> left(64), right(64), copy_left(64), copy_right(64);
    double* outputs[2] = {left.data(), right.data()};
    for (int block = 0; block < 10; ++block)
      original->RenderBlock(outputs, 64);
    Engine copy = *original;
    for (int block = 0; block < 10; ++block)
      original->RenderBlock(outputs, 64);
    original.reset();
    double* copy_outputs[2] = {copy_left.data(), copy_right.data()};
    for (int block = 0; block < 10; ++block)
      copy.RenderBlock(copy_outputs, 64);
    EXPECT_EQ(left, copy_left) << RenderPathName(path);
    EXPECT_EQ(right, copy_right) << RenderPathName(path);
    EXPECT_GT(Peak(left), 1e-3) << RenderPathName(path);
  }
  SetRenderPath(before);
}

TEST(RenderPathTest, SwitchTakesOnlyWhatThisMachineRuns) {
  const RenderPath before = ActiveRenderPath();
  EXPECT_TRUE(SetRenderPath(RenderPath::kReference));
  EXPECT_EQ(ActiveRenderPath(), RenderPath::kReference);
  EXPECT_EQ(ActiveFootageKernels(), nullptr);
  EXPECT_EQ(ActiveVoiceLanesKernel(), nullptr);
  EXPECT_TRUE(SetRenderPath(RenderPath::kPortable));
  EXPECT_EQ(ActiveFootageKernels(), &kPortableFootageKernels);
  EXPECT_EQ(ActiveVoiceLanesKernel(), &RenderVoiceLanesPortable);
  // AVX2 is refused where the CPU lacks it, and then the path stays where it was.
  EXPECT_EQ(SetRenderPath(RenderPath::kAvx2), RenderPathAvailable(RenderPath::kAvx2));
  EXPECT_EQ(ActiveRenderPath(),
            RenderPathAvailable(RenderPath::kAvx2) ? RenderPath::kAvx2 : RenderPath::kPortable);
  EXPECT_STREQ(RenderPathName(RenderPath::kAvx2), "avx2");
  EXPECT_NE(std::string(CpuFeatureNames()).find("sse2"), std::string::npos);
  SetRenderPath(before);
}

}  // namespace
}  // namespace vantor
