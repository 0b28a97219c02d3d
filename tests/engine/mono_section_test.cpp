// The mono section: note priority, legato and retrigger, glide time, pitch settings, pulse width,
// sub oscillator, VCA sources, activity and the shared noise sequence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/pitch.h"
#include "engine_test_util.h"

namespace vantor {
namespace {

using testing::DefaultEngine;
using testing::PeakFrequency;
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

double Cents(double f, double reference) {
  return 1200.0 * std::log2(f / reference);
}

double StepFrequency(int step) {
  return PitchToFrequency(step);
}

// The pitch of what sounds next, measured over 16384 samples after a short settling time.
double MeasurePitch(Engine& engine, double guess) {
  Render(engine, 2048);
  return PeakFrequency(Render(engine, 16384), guess, kRate, 80.0);
}

TEST(MonoNotesTest, LastNoteWinsAndReleaseFallsBackToTheHighestHeldKey) {
  auto engine = MonoEngine();
  const auto expect_note = [&](int note) {
    EXPECT_EQ(engine->mono().note, note);
    EXPECT_NEAR(Cents(MeasurePitch(*engine, StepFrequency(note * 128)), StepFrequency(note * 128)),
                0.0, 1.0)
        << "note " << note;
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

// The pitch rises in equal steps per control tick: the times at which it passes a quarter, half
// and three quarters of the interval are equally spaced and span half the portamento time.
TEST(MonoGlideTest, AGlideTakesThePortamentoTime) {
  for (double seconds : {0.25, 1.0}) {
    auto engine = MonoEngine();
    engine->NoteOn(48, 100);
    Render(*engine, 4400);
    engine->ParamChanged(kVcoPortamento, seconds);
    engine->NoteOn(72, 100);
    const std::vector<double> out = Render(*engine, static_cast<int>(kRate * (seconds + 0.2)));
    // Frequency between successive rising zero crossings.
    std::vector<std::pair<double, double>> track;  // time, semitones above note 48
    double last = -1.0;
    for (size_t i = 1; i < out.size(); ++i) {
      if (out[i - 1] < 0.0 && out[i] >= 0.0) {
        const double t = static_cast<double>(i - 1) + out[i - 1] / (out[i - 1] - out[i]);
        if (last >= 0.0)
          track.emplace_back(0.5 * (t + last) / kRate,
                             12.0 * std::log2(kRate / (t - last) / StepFrequency(48 * 128)));
        last = t;
      }
    }
    const auto passes = [&](double semitones) {
      for (const auto& [t, s] : track) {
        if (s >= semitones) return t;
      }
      return -1.0;
    };
    const double t25 = passes(6.0), t50 = passes(12.0), t75 = passes(18.0);
    ASSERT_GT(t25, 0.0);
    ASSERT_GT(t75, 0.0);
    EXPECT_NEAR((t75 - t25) * 2.0 / seconds, 1.0, 0.05) << seconds << " s";
    EXPECT_NEAR((t50 - t25) / (t75 - t50), 1.0, 0.05) << "linear in pitch";
    // It lands exactly on the note.
    EXPECT_EQ(engine->mono().vco.current_pitch, 72 * 128);
    EXPECT_NEAR(Cents(MeasurePitch(*engine, StepFrequency(72 * 128)), StepFrequency(72 * 128)), 0.0,
                0.5);
  }
}

TEST(MonoPitchTest, OctaveTransposeAndTuneMoveThePitchExactly) {
  struct Case {
    int octave, transpose, tune, expected_step;
  };
  const Case cases[] = {
      {2, 0, 0, 60 * 128},       {0, 0, 0, 36 * 128},         {1, 0, 0, 48 * 128},
      {3, 0, 0, 72 * 128},       {2, 7, 0, 67 * 128},         {2, -7, 0, 53 * 128},
      {2, 0, 64, 60 * 128 + 64}, {0, -7, -64, 29 * 128 - 64},
  };
  for (const Case& c : cases) {
    auto engine = MonoEngine();
    engine->ParamChanged(kVcoOctave, c.octave);
    engine->ParamChanged(kVcoTranspose, c.transpose);
    engine->ParamChanged(kVcoTune, c.tune);
    engine->NoteOn(60, 100);
    const double expected = StepFrequency(c.expected_step);
    EXPECT_NEAR(Cents(MeasurePitch(*engine, expected), expected), 0.0, 0.2)
        << "octave " << c.octave << " transpose " << c.transpose << " tune " << c.tune;
  }
}

TEST(MonoPitchTest, PitchBendFollowsItsRange) {
  const int ranges[] = {2, 3, 7, 12};
  for (int option = 0; option < 4; ++option) {
    auto engine = MonoEngine();
    engine->ParamChanged(kMonoPitchbendRange, option);
    engine->QueueMidiMessage({0, 0xE0, 0, 0});  // full bend down
    engine->NoteOn(60, 100);
    const double expected = StepFrequency((60 - ranges[option]) * 128);
    EXPECT_NEAR(Cents(MeasurePitch(*engine, expected), expected), 0.0, 0.5);
  }
}

TEST(MonoPitchTest, TheSubOscillatorIsASquareOneOctaveBelow) {
  auto engine = MonoEngine(MonoVco::kSawtooth);
  engine->NoteOn(57, 100);
  const double vco = MeasurePitch(*engine, 220.0);
  engine->ParamChanged(kVcoToVcf, 0);
  engine->ParamChanged(kSubOscToVcf, 1);
  Render(*engine, 2048);
  const std::vector<double> sub = Render(*engine, 16384);
  EXPECT_NEAR(Cents(PeakFrequency(sub, 110.0, kRate, 80.0), vco / 2.0), 0.0, 0.5);
  // A square has no even harmonics: nothing at the VCO's own frequency.
  const std::vector<double> power = testing::PowerSpectrum(sub, 16384);
  const auto bin = [&](double f) { return power[static_cast<size_t>(f * 16384 / kRate + 0.5)]; };
  EXPECT_LT(bin(vco), bin(vco / 2.0) * 1e-4);
  EXPECT_GT(bin(vco * 1.5), bin(vco / 2.0) * 0.05);  // the third harmonic is there
}

// Share of a period spent in the narrower part of the pulse.
double PulseDuty(const std::vector<double>& x) {
  const auto [lo, hi] = std::minmax_element(x.begin(), x.end());
  const double middle = 0.5 * (*lo + *hi);
  const double above =
      static_cast<double>(std::count_if(x.begin(), x.end(), [&](double v) { return v > middle; }));
  const double share = above / static_cast<double>(x.size());
  return std::min(share, 1.0 - share);
}

TEST(MonoPitchTest, PulseWidthFollowsTheParameterAndVanishesOutsideItsRange) {
  for (double pw : {0.0, 0.3, 0.6, 0.9}) {
    auto engine = MonoEngine(MonoVco::kPulse);
    engine->ParamChanged(kVcoPw, pw);
    engine->NoteOn(48, 100);  // 130.8 Hz: 337 samples per period
    Render(*engine, 4096);
    // 26 whole periods.
    const std::vector<double> out = Render(*engine, static_cast<int>(26 * kRate / 130.8128));
    EXPECT_NEAR(PulseDuty(out), (1.0 - pw) / 2.0, 0.01) << "VCO PW " << pw;
  }
  // Full width, and width plus modulation beyond 1, leave no pulse at all.
  for (double pwm : {0.0, 0.5}) {
    auto engine = MonoEngine(MonoVco::kPulse);
    engine->ParamChanged(kVcoPw, pwm > 0 ? 0.8 : 1.0);
    engine->ParamChanged(kVcoPwm, pwm);
    engine->ParamChanged(kLfoWaveform, 2);  // square: the LFO sits at its top half the time
    engine->NoteOn(48, 100);
    Render(*engine, 4096);
    const std::vector<double> out = Render(*engine, 44100);
    double silent = 0;
    for (size_t i = 0; i + 441 <= out.size(); i += 441)
      silent += Rms(&out[i], 441) < 1e-3;
    EXPECT_GE(silent, pwm > 0 ? 30 : 99) << "VCO PWM " << pwm;
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

  // ADSR: the level decays to the sustain level; the gate holds it at the top.
  double late[2];
  for (int vca : {0, 1}) {
    auto held = MonoEngine(MonoVco::kSawtooth, vca);
    held->ParamChanged(kMonoEnvDecay, 0.4);
    held->ParamChanged(kMonoEnvSustain, 0.25);
    held->NoteOn(60, 127);
    const std::vector<double> out = Render(*held, 44100);
    late[vca] = Rms(&out[39690], 4410);
    if (vca == 1) {
      EXPECT_NEAR(late[vca] / Rms(&out[4410], 4410), 1.0, 0.01);
    }
  }
  EXPECT_NEAR(late[0] / late[1], 0.25, 0.01);
}

TEST(MonoVcaTest, VelocityScalesTheVca) {
  double level[2];
  for (int velocity : {127, 64}) {
    auto engine = MonoEngine(MonoVco::kSawtooth);
    engine->ParamChanged(kVelocityToVcaAm, 1.0);
    engine->NoteOn(60, velocity);
    level[velocity == 64] = Rms(Render(*engine, 8820).data() + 4410, 4410);
  }
  // (2 v - 1) x 1 + 1 = 2 v.
  EXPECT_NEAR(level[1] / level[0], 64.0 / 127.0, 0.01);
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
