// The poly voice against its formulas, the band limits of every footage, the saw tables and the
// LFO's random draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "engine/lfo.h"
#include "engine/saw_tables.h"
#include "engine_test_util.h"

namespace vantor {
namespace {

using testing::DefaultEngine;
using testing::Render;
using testing::SingleFootage;

constexpr int kFootageShift[6] = {-12, 0, 12, -12, 0, 12};  // semitones of 16', 8', 4'
const char* const kFootageNames[6] = {"saw 16'",   "saw 8'",   "saw 4'",
                                      "pulse 16'", "pulse 8'", "pulse 4'"};

// One key on the poly section held against the formulas, sample by sample: both banks with their
// footages, tuning, bend ranges, mod wheel and FM, pulse width and PWM, the voice filter and its
// modulation, the three amp sources, velocity, the poly and main volumes and the soft clipper.
TEST(PolyVoiceTest, OneKeySoundsAsTheFormulasSay) {
  struct Row {
    const char* what;
    reference::Performance key;
    reference::Settings settings;
    bool silent = false;
  } const rows[] = {
      {"both banks' default 8' saws, tuned -1 and +1 step", {.note = 69}, {}},
      {"every footage, pulse widths and PWM",
       {.note = 30, .velocity = 127},
       {{kBank1Saw16, 1},
        {kBank1Saw4, 1},
        {kBank1Pulse16, 1},
        {kBank1Pulse8, 1},
        {kBank1Pulse4, 1},
        {kBank1Pw, 0.3},
        {kBank1Pwm, 0.6},
        {kPolyPwmSpeed, 0.4},
        {kBank2Pulse8, 1},
        {kBank2Pw, 1},
        {kBank2Tune, 40}}},
      {"no 16' in the lowest octave",
       {.note = 5},
       {{kBank1Saw16, 1}, {kBank2Pulse16, 1}, {kBank2Saw4, 1}}},
      {"top notes", {.note = 120}, {{kBank1Saw4, 1}, {kBank2Pulse4, 1}, {kBank2Pw, 0.5}}},
      {"bend down by 7, C's master below note 0",
       {.note = 60, .bend_msb = 0},
       {{kPolyPitchbendRange, 2}}},
      {"bend down by 2 on C#", {.note = 73, .bend_lsb = 3, .bend_msb = 1}, {}},
      {"bend up by 12", {.note = 60, .bend_lsb = 127, .bend_msb = 127}, {{kPolyPitchbendRange, 3}}},
      {"bend up by 3", {.note = 60, .bend_lsb = 50, .bend_msb = 100}, {{kPolyPitchbendRange, 1}}},
      {"FM under the mod wheel",
       {.note = 64, .mod_wheel = 90},
       {{kModWheelToPolyFm, 0.4}, {kBank1Fm, 500}, {kPolyFmSpeed, 0.5}, {kBank2Fm, 40}}},
      {"lowpass on the voice envelope, key and velocity; a sustain of 0.5 is off",
       {.note = 57, .velocity = 90, .release_tick = 150},
       {{kFilterMode, 1},
        {kFilterCutoff, 0.45},
        {kFilterResonance, 0.7},
        {kFilterEnvelope, 0},
        {kEnvToFilterFm, 4000},
        {kKeyboardToFilterFm, 3000},
        {kVelocityToFilterFm, -2000},
        {kVoiceEnvAttack, 0.3},
        {kVoiceEnvDecay, 0.35},
        {kVoiceEnvSustain, 0.5}}},
      {"highpass on the global envelope, Gate amp",
       {.note = 72, .velocity = 60, .release_tick = 120},
       {{kFilterMode, 2},
        {kFilterCutoff, 0.6},
        {kFilterResonance, 0.3},
        {kEnvToFilterFm, -3000},
        {kGlobalEnvAttack, 0.25},
        {kGlobalEnvDecay, 0.3},
        {kGlobalEnvSustain, 0.4},
        {kGlobalEnvRelease, 0.3},
        {kAmpEnvelope, 2}}},
      {"bandpass at full resonance, Global amp",
       {.note = 48, .velocity = 110, .release_tick = 100},
       {{kFilterMode, 3},
        {kFilterCutoff, 0.55},
        {kFilterResonance, 1},
        {kAmpEnvelope, 1},
        {kKeyboardToFilterFm, -5000},
        {kGlobalEnvAttack, 0.2},
        {kGlobalEnvDecay, 0.3},
        {kGlobalEnvSustain, 0.5},
        {kGlobalEnvRelease, 0.35}}},
      {"velocity to amp, bend by 2",
       {.note = 60, .velocity = 40, .bend_msb = 80},
       {{kVelocityToAmpAm, 0.7}}},
      {"the FM and PWM LFOs run before the key",
       {.note = 62, .start_tick = 37},
       {{kModWheelToPolyFm, 0},
        {kBank1Fm, 400},
        {kPolyFmSpeed, 0.45},
        {kBank1Pulse8, 1},
        {kBank1Pwm, 0.7},
        {kPolyPwmSpeed, 0.35}}},
      {"volumes and the soft clipper, on at 0.5",
       {.note = 45, .velocity = 127},
       {{kBank1Volume, 1},
        {kBank2Volume, 1},
        {kBank1Saw16, 1},
        {kPolyVolume, 0.9},
        {kMainVolume, 0.7},
        {kSoftClipping, 0.5}}},
      {"silent banks",
       {.note = 60},
       {{kBank1Volume, 0}, {kBank2Volume, 0}, {kBank1Pulse4, 1}},
       true},
      {"a pulse wider than the cycle vanishes",
       {.note = 60},
       {{kBank1Saw8, 0},
        {kBank1Pulse8, 1},
        {kBank1Pw, 1},
        {kBank1Pwm, 1},
        {kPolyPwmSpeed, 0},
        {kBank2Volume, 0}},
       true},
  };
  for (double rate : {44100.0, 48000.0}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(::testing::Message() << row.what << " at " << rate);
      const std::vector<double> expected = reference::PolyKey(row.settings, row.key, rate);
      EXPECT_LT(testing::MaxDifference(testing::PlayKey(row.settings, row.key, rate), expected),
                testing::PolyTolerance());
      EXPECT_EQ(testing::Rms(expected.data(), static_cast<int>(expected.size())) > 0.01,
                !row.silent);
    }
  }
}

// Energy away from the harmonics of the footage's fundamental (aliases and table noise) relative
// to the fundamental, in dB: over the whole band, and below 20 kHz.
struct NonHarmonic {
  double total;
  double audible;
};

// `fine` doubles the spectral resolution (bins of about 1.4 Hz) for the full report.
NonHarmonic NonHarmonicLevelDb(double rate, int note, int footage, bool fine = false) {
  auto engine = DefaultEngine(rate);
  SingleFootage(*engine, footage);
  engine->NoteOn(note, 127);
  const size_t n = (rate > 50000 ? 32768u : 16384u) << (fine ? 1 : 0);  // bins of about 2.8 Hz
  Render(*engine, 2048);
  const std::vector<double> held = Render(*engine, static_cast<int>(n));
  // The exact master pitch, as the bank derived it (tune 0, no modulation).
  PitchTables tables;
  tables.Build(rate);
  const int octave_shift = note / 12 + kFootageShift[footage] / 12;
  const double f0 = tables.increment[static_cast<size_t>(note % 12 * 128)] * rate / 268435456.0 *
                    std::ldexp(1.0, octave_shift);
  const std::vector<double> power = testing::PowerSpectrum(held, n);
  const double bin = rate / static_cast<double>(n);
  constexpr double kMaskBins = 6.0;  // the window's main lobe is 4 bins wide on either side
  double fundamental = 0.0, other = 0.0, audible = 0.0;
  for (size_t k = 6; k < power.size(); ++k) {
    const double f = static_cast<double>(k) * bin;
    const double h = std::max(1.0, std::round(f / f0));
    if (std::fabs(f - h * f0) <= kMaskBins * bin) {
      if (h == 1.0) fundamental += power[k];
    } else {
      other += power[k];
      if (f < 20000.0) audible += power[k];
    }
  }
  return {10.0 * std::log10(std::max(other, 1e-300) / fundamental),
          10.0 * std::log10(std::max(audible, 1e-300) / fundamental)};
}

bool Measurable(double rate, int note, int footage) {
  const int sounding = note + kFootageShift[footage];
  return sounding >= 24 && testing::EqualTempered(sounding) < 0.45 * rate;
}

// Worst non-harmonic levels over `notes`, per octave of the played note.
std::map<int, NonHarmonic> WorstPerOctave(double rate, int footage, const std::vector<int>& notes,
                                          bool fine = false) {
  std::map<int, NonHarmonic> worst;
  for (int note : notes) {
    if (!Measurable(rate, note, footage)) continue;
    const NonHarmonic level = NonHarmonicLevelDb(rate, note, footage, fine);
    auto [it, fresh] = worst.emplace(note / 12, level);
    if (!fresh) {
      it->second.total = std::max(it->second.total, level.total);
      it->second.audible = std::max(it->second.audible, level.audible);
    }
  }
  return worst;
}

// Below 20 kHz: the worst level measured over every note of the octave, both rates and all
// footages, with a margin of 3 dB. Table-lookup noise dominates; it falls by about 3 dB an
// octave as the tables thin out. (Over the whole band the top semitone of each table band
// folds its highest harmonic to just below half the sample rate: above hearing, not guarded.)
double Limit(int octave) {
  static constexpr double kLimits[11] = {0.0,   -39.7, -38.7, -38.7, -40.4, -43.9,
                                         -47.0, -49.7, -53.3, -56.0, -59.1};
  return kLimits[std::clamp(octave, 1, 10)];
}

TEST(OscillatorTest, NonHarmonicEnergyStaysBelowTheMeasuredLevels) {
  for (double rate : {44100.0, 96000.0}) {
    for (int footage = 0; footage < OscillatorBank::kFootageCount; ++footage) {
      // Every other octave per footage, each at another semitone, keeps the test quick.
      std::vector<int> notes;
      for (int octave = 1 + footage % 2; octave <= 10; octave += 2)
        notes.push_back(12 * octave + (5 * octave + footage) % 12);
      for (auto [octave, level] : WorstPerOctave(rate, footage, notes)) {
        EXPECT_LT(level.audible, Limit(octave))
            << kFootageNames[footage] << ", octave " << octave << " at " << rate << " Hz";
      }
    }
  }
}

// The full table of the closing measurement: every note, every footage. Slow; run on demand with
// --gtest_also_run_disabled_tests --gtest_filter=*BandLimitReport*.
TEST(OscillatorTest, DISABLED_BandLimitReport) {
  for (double rate : {44100.0, 96000.0}) {
    std::vector<int> notes;
    for (int note = 12; note < 128; ++note)
      notes.push_back(note);
    printf(
        "%.0f Hz: worst non-harmonic level per octave of the played note, below 20 kHz / whole "
        "band (dB)\n",
        rate);
    printf("%-10s", "footage");
    for (int octave = 1; octave <= 10; ++octave)
      printf("%13d", octave);
    printf("\n");
    for (int footage = 0; footage < OscillatorBank::kFootageCount; ++footage) {
      const std::map<int, NonHarmonic> worst = WorstPerOctave(rate, footage, notes, true);
      printf("%-10s", kFootageNames[footage]);
      for (int octave = 1; octave <= 10; ++octave) {
        auto it = worst.find(octave);
        if (it == worst.end())
          printf("%13s", "-");
        else
          printf("%7.1f/%5.1f", it->second.audible, it->second.total);
      }
      printf("\n");
    }
  }
}

// Each table is the sum of its harmonics, their count falling by sqrt(2) a table and those above
// the first tapered from 1 down to 0.54 of 1/j by a half raised cosine.
TEST(OscillatorTest, SawTablesHoldTheirTaperedHarmonics) {
  const SawTables& saw = SawTables::Get();
  for (int t : {0, 5, 12, 20, 21}) {
    const int n = static_cast<int>(std::lround(2048 / std::pow(std::sqrt(2.0), t)));
    for (int k : {1, 333, 1024, 2047, 3900}) {
      double sum = 0.5 * std::sin(2 * M_PI * k / 4096);
      for (int j = 2; j <= n; ++j)
        sum += (0.54 + 0.46 * std::cos((j - 1) * (M_PI / 2) / (n - 1))) * 0.5 / j *
               std::sin(j * 2 * M_PI * k / 4096);
      EXPECT_NEAR(saw.table[static_cast<size_t>(t)][static_cast<size_t>(k)], sum, 1e-9)
          << "table " << t << ", sample " << k;
    }
  }
}

TEST(LfoTest, SampleAndHoldDrawsOncePerCycleFromTheSharedSequence) {
  Lfo::SeedRandom(1);
  Lfo lfo;
  lfo.waveform = Lfo::kSampleHold;
  lfo.rate = 0.5;
  lfo.phase = 0.75;  // wraps at the first tick
  lfo.Tick();
  lfo.Tick();  // the previous tick wrapped: a new value
  EXPECT_DOUBLE_EQ(lfo.bipolar, 16807 * 4.6566129e-10);
  lfo.Tick();
  lfo.Tick();
  EXPECT_DOUBLE_EQ(lfo.bipolar, 16807 * 4.6566129e-10);  // held through the cycle
  lfo.Tick();
  lfo.Tick();
  EXPECT_DOUBLE_EQ(lfo.bipolar, 282475249 * 4.6566129e-10);  // 16807^2
  for (int i = 0; i < 1000; ++i) {
    lfo.Tick();
    ASSERT_GE(lfo.bipolar, -1.0);
    ASSERT_LT(lfo.bipolar, 1.0);
  }
}

}  // namespace
}  // namespace vantor
