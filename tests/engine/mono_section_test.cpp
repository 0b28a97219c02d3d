// The mono section: one key held to its formulas, note priority, legato and retrigger, glide
// time, VCA sources and activity, and the shared noise sequence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine_test_util.h"

namespace vantor {
namespace {

using testing::DefaultEngine;
using testing::Render;
using testing::Rms;

static constexpr double kRate = 44100.0;

// Every key plays the mono section only, with a clean sine held open by the gate.
std::unique_ptr<Engine> MonoEngine(int waveform = MonoVco::kSine, int vca = 1) {
  auto engine = DefaultEngine(kRate);
  engine->ParamChanged(kPolyLower, 0);
  engine->ParamChanged(kPolyUpper, 0);
  engine->ParamChanged(kMonoLower, 1);
  engine->ParamChanged(kMonoUpper, 1);
  engine->ParamChanged(kVcoWaveform, waveform);
  engine->ParamChanged(kVcaEnvelope, vca);
  engine->ParamChanged(kMainVolume, 1);
  return engine;
}

TEST(MonoVoiceTest, OneKeySoundsAsTheFormulasSay) {
  struct Row {
    const char* what;
    reference::Performance key;
    reference::Settings settings;
  } const rows[] = {
      {"sawtooth with octave, transpose and tune; filter by key, envelope and velocity",
       {.note = 50, .velocity = 80, .release_tick = 200},
       {{kVcoOctave, 1},
        {kVcoTranspose, 5},
        {kVcoTune, -20},
        {kVcfCutoff, 0.5},
        {kVcfResonance, 0.6},
        {kKeyToVcfFm, 2000},
        {kEnvToVcfFm, 3000},
        {kVelocityToVcfFm, -1500},
        {kVelocityToVcaAm, 0.6},
        {kMonoVolume, 0.3},
        {kMonoEnvAttack, 0.2},
        {kMonoEnvDecay, 0.3},
        {kMonoEnvSustain, 0.4},
        {kMonoEnvRelease, 0.25}}},
      {"pulse and sub oscillator, square PWM, bend up by 12 on the gate",
       {.note = 40, .bend_lsb = 127, .bend_msb = 127},
       {{kVcoWaveform, 1},
        {kVcoPw, 0.3},
        {kVcoPwm, 0.5},
        {kLfoWaveform, 2},
        {kLfoSpeed, 0.2},
        {kSubOscToVcf, 0.4},
        {kMonoPitchbendRange, 3},
        {kVcaEnvelope, 1},
        {kVcoTune, 64}}},
      {"sine in 4' with FM and cutoff under the mod wheel",
       {.note = 67, .release_tick = 150, .mod_wheel = 64},
       {{kVcoWaveform, 2},
        {kVcoFm, 300},
        {kLfoSpeed, 0.3},
        {kModWheelToMonoFm, 0.5},
        {kModWheelToMonoVcf, 0.4},
        {kLfoToVcfFm, 2000},
        {kVcfCutoff, 0.4},
        {kVcaEnvelope, 1},
        {kVcoOctave, 3}}},
      {"sawtooth LFO on the cutoff, bend down by 7 in 32'",
       {.note = 72, .bend_msb = 0},
       {{kLfoWaveform, 1},
        {kLfoSpeed, 0.15},
        {kLfoToVcfFm, -3000},
        {kVcfCutoff, 0.7},
        {kMonoPitchbendRange, 2},
        {kVcoOctave, 0},
        {kVcoTranspose, -7},
        {kMonoEnvSustain, 0.8}}},
      {"sample and hold on pitch and cutoff, the VCA held open, bend by 2",
       {.note = 55, .release_tick = 100, .bend_lsb = 9, .bend_msb = 30},
       {{kLfoWaveform, 3},
        {kLfoSpeed, 0.5},
        {kLfoToVcfFm, 2500},
        {kVcoFm, -200},
        {kVcaEnvelope, 2},
        {kMonoVolume, 0.4},
        {kSubOscToVcf, 0.2},
        {kModWheelToMonoFm, 1}}},
      {"a pulse wider than the cycle falls silent",
       {.note = 52, .bend_lsb = 0, .bend_msb = 80},
       {{kVcoWaveform, 1},
        {kVcoPw, 0.8},
        {kVcoPwm, 0.5},
        {kLfoWaveform, 2},
        {kLfoSpeed, 0.1},
        {kMonoPitchbendRange, 1},
        {kMonoEnvSustain, 1}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    reference::Settings settings = {
        {kPolyLower, 0}, {kPolyUpper, 0}, {kMonoLower, 1}, {kMonoUpper, 1}, {kMainVolume, 1}};
    settings.insert(settings.end(), row.settings.begin(), row.settings.end());
    Lfo::SeedRandom(12345);
    const std::vector<double> played = testing::PlayKey(settings, row.key, kRate);
    const std::vector<double> expected = reference::MonoKey(settings, row.key, kRate, 12345);
    EXPECT_LT(testing::MaxDifference(played, expected), 1e-9);
    EXPECT_GT(Rms(expected.data(), static_cast<int>(expected.size())), 0.01);
  }
}

TEST(MonoNotesTest, LastNoteWinsAndReleaseFallsBackToTheHighestHeldKey) {
  auto engine = MonoEngine();
  const auto expect_note = [&](int note) {
    Render(*engine, 44);
    EXPECT_EQ(engine->mono().note, note);
    EXPECT_EQ(engine->mono().vco.current_pitch, note * 128);
  };
  engine->NoteOn(48, 100);
  expect_note(48);
  engine->NoteOn(55, 100);
  expect_note(55);
  engine->NoteOn(52, 100);  // lower than a held key, still the last one
  expect_note(52);
  engine->NoteOff(52);  // back to G, the highest held, not C
  expect_note(55);
  engine->NoteOff(48);  // not the sounding key: nothing changes
  expect_note(55);
  engine->NoteOff(55);
  EXPECT_EQ(engine->mono().envelope.stage, EnvelopeGenerator::kRelease);
  EXPECT_EQ(engine->mono().gate.stage, EnvelopeGenerator::kRelease);
  Render(*engine, 4410);
  EXPECT_FALSE(engine->mono_active());
  EXPECT_EQ(Rms(Render(*engine, 4410).data(), 4410), 0.0);
}

TEST(MonoNotesTest, LegatoKeepsTheEnvelopesAndTheTriggerModeDecidesRestarts) {
  for (int trigger : {0, 1}) {  // Single, Multi
    auto engine = MonoEngine(MonoVco::kSawtooth, 0);
    engine->ParamChanged(kMonoEnvTrigger, trigger);
    engine->ParamChanged(kMonoEnvDecay, 0.8);
    engine->NoteOn(48, 100);
    Render(*engine, 2205);
    const MonoSection& mono = engine->mono();
    ASSERT_EQ(mono.envelope.stage, EnvelopeGenerator::kDecay);
    engine->NoteOn(60, 100);  // a second key while the first is held
    EXPECT_EQ(mono.envelope.stage,
              trigger ? EnvelopeGenerator::kAttack : EnvelopeGenerator::kDecay);
    Render(*engine, 2205);
    ASSERT_EQ(mono.envelope.stage, EnvelopeGenerator::kDecay);
    const double level = mono.envelope.output;
    engine->NoteOff(60);  // legato back to the held key
    EXPECT_EQ(mono.note, 48);
    EXPECT_EQ(mono.envelope.stage, EnvelopeGenerator::kDecay);
    EXPECT_EQ(mono.envelope.output, level);
    engine->NoteOn(48, 100);  // striking a held key again retriggers without a new stack entry
    EXPECT_EQ(mono.held, 1);
    EXPECT_EQ(mono.envelope.stage,
              trigger ? EnvelopeGenerator::kAttack : EnvelopeGenerator::kDecay);
  }
}

TEST(MonoNotesTest, TheSustainPedalHoldsTheEnvelopesUntilItGoesUp) {
  auto engine = MonoEngine();
  engine->QueueMidiMessage({0, 0xB0, 64, 127});
  engine->NoteOn(60, 100);
  Render(*engine, 441);
  engine->NoteOff(60);
  Render(*engine, 4410);
  EXPECT_EQ(engine->mono().gate.stage, EnvelopeGenerator::kDecay);
  EXPECT_GT(Rms(Render(*engine, 441).data(), 441), 0.05);
  engine->QueueMidiMessage({0, 0xB0, 64, 0});
  Render(*engine, 4410);
  EXPECT_FALSE(engine->mono_active());
}

// The pitch moves in equal steps, one per control tick, over "VCO Portamento" x 1000 ticks and
// lands exactly on the note; below a millisecond it jumps at once.
TEST(MonoGlideTest, AGlideMovesInEqualStepsOverThePortamentoTime) {
  for (double seconds : {0.5, 0.25, 0.0005}) {
    auto engine = MonoEngine();
    engine->NoteOn(60, 100);
    Render(*engine, 44);
    engine->ParamChanged(kVcoPortamento, seconds);
    engine->NoteOn(72, 100);
    const int ticks = static_cast<int>(seconds * 1000);
    for (int k = 1; k <= ticks + 2; ++k) {
      Render(*engine, 44);
      const double expected = k >= ticks ? 72 * 128 : 60 * 128 + k * 1536 / (seconds * 1000);
      ASSERT_NEAR(engine->mono().vco.current_pitch, expected, 1e-6) << seconds << " s, tick " << k;
    }
    EXPECT_EQ(engine->mono().vco.current_pitch, 72 * 128);  // exactly
  }
}

TEST(MonoVcaTest, SourcesDecideWhatSoundsAndWhenTheSectionIsActive) {
  // "On" sounds with no key at all, as long as the volume is above 0.
  auto engine = MonoEngine(MonoVco::kSawtooth, 2);
  EXPECT_TRUE(engine->mono_active());
  EXPECT_GT(Rms(Render(*engine, 44100).data(), 44100), 0.05);
  engine->ParamChanged(kMonoVolume, 0);
  EXPECT_FALSE(engine->mono_active());
  EXPECT_EQ(Rms(Render(*engine, 4410).data(), 4410), 0.0);

  // The envelopes, without a key, leave the section idle and silent.
  for (int vca : {0, 1}) {
    auto idle = MonoEngine(MonoVco::kSawtooth, vca);
    idle->ParamChanged(kNoiseToVcf, 1);
    EXPECT_EQ(Rms(Render(*idle, 44100).data(), 44100), 0.0);
    EXPECT_FALSE(idle->mono_active());
  }
}

TEST(MonoNoiseTest, NoiseComesFromOneSequenceSharedByTheProcess) {
  const auto noise = [] {
    auto engine = MonoEngine(MonoVco::kSawtooth);
    engine->ParamChanged(kVcoToVcf, 0);
    engine->ParamChanged(kNoiseToVcf, 1);
    engine->NoteOn(60, 100);
    return Render(*engine, 8192);
  };
  MonoSection::SeedNoise(1);
  const std::vector<double> first = noise();
  const std::vector<double> second = noise();  // continues the sequence
  MonoSection::SeedNoise(1);
  const std::vector<double> again = noise();  // starts it over
  EXPECT_EQ(first, again);
  EXPECT_NE(first, second);
  // White: as much power per hertz at 3 kHz as at 300 Hz (the open VCF bends only the top).
  const std::vector<double> power = testing::PowerSpectrum(first, 8192);
  const auto band = [&](double from, double to) {
    double sum = 0.0;
    for (auto i = static_cast<size_t>(from * 8192 / kRate); i < to * 8192 / kRate; ++i)
      sum += power[i];
    return sum / (to - from);
  };
  EXPECT_NEAR(band(2500, 3500) / band(200, 1200), 1.0, 0.25);
}

}  // namespace
}  // namespace vantor
