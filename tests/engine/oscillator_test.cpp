// Poly oscillators: pitch across the keyboard, band limits of every footage, banks and LFOs.
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

TEST(OscillatorTest, HeldNotesAreWithinOneCentOfEqualTemperament) {
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    for (int note : {24, 41, 60, 69, 83, 96, 108}) {
      auto engine = DefaultEngine(rate);
      SingleFootage(*engine, OscillatorBank::kSaw8);
      engine->NoteOn(note, 100);
      Render(*engine, static_cast<int>(rate / 20));  // past the attack
      const std::vector<double> held = Render(*engine, static_cast<int>(rate / 4));
      const double expected = testing::EqualTempered(note);
      // A pitch off by more than the searched 10 cents shows as a peak at the edge and fails.
      const double measured = testing::PeakFrequency(held, expected, rate, 10.0);
      EXPECT_NEAR(1200.0 * std::log2(measured / expected), 0.0, 1.0)
          << "note " << note << " at " << rate << " Hz";
    }
  }
}

TEST(OscillatorTest, FootagesSoundOneOctaveApart) {
  for (int footage : {OscillatorBank::kSaw16, OscillatorBank::kSaw4, OscillatorBank::kPulse8}) {
    auto engine = DefaultEngine(48000);
    SingleFootage(*engine, footage);
    engine->NoteOn(57, 100);
    Render(*engine, 2400);
    const std::vector<double> held = Render(*engine, 24000);
    const double expected = testing::EqualTempered(57 + kFootageShift[footage]);
    EXPECT_NEAR(testing::PeakFrequency(held, expected, 48000, 40) / expected, 1.0, 0.001)
        << kFootageNames[footage];
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

TEST(OscillatorTest, SawTablesHoldTheirHarmonicCountsAndFall) {
  EXPECT_EQ(SawTables::Harmonics(0), 2048);
  EXPECT_EQ(SawTables::Harmonics(2), 1024);
  EXPECT_EQ(SawTables::Harmonics(20), 2);
  EXPECT_EQ(SawTables::Harmonics(21), 1);
  const SawTables& saw = SawTables::Get();
  // Table 21 is a pure sine of amplitude 0.5.
  EXPECT_NEAR(saw.table[21][1024], 0.5, 1e-12);
  EXPECT_NEAR(saw.table[21][0], 0.0, 1e-12);
  // A falling sawtooth: high just after the start of the cycle, low just before its end.
  for (int t = 0; t < 20; t += 4) {
    EXPECT_GT(saw.table[t][200], 0.5) << "table " << t;
    EXPECT_LT(saw.table[t][4096 - 200], -0.5) << "table " << t;
  }
}

TEST(OscillatorTest, BankSettingsThatSilence) {
  // Bank volume 0 renders nothing even with every footage on.
  auto engine = DefaultEngine(44100);
  for (int f = 0; f < 6; ++f)
    engine->ParamChanged(kBank1Saw16 + f, 1.0);
  engine->ParamChanged(kBank1Volume, 0.0);
  engine->ParamChanged(kBank2Volume, 0.0);
  engine->NoteOn(60, 100);
  std::vector<double> out = Render(*engine, 4410);
  EXPECT_EQ(*std::max_element(out.begin(), out.end()), 0.0);

  // Notes of the lowest octave have no 16' footage.
  engine = DefaultEngine(44100);
  SingleFootage(*engine, OscillatorBank::kSaw16);
  engine->NoteOn(5, 100);
  out = Render(*engine, 4410);
  EXPECT_EQ(testing::Rms(out.data(), 4410), 0.0);

  // A pulse wider than the cycle vanishes; a square at width 0 sounds.
  for (double width : {0.0, 1.0}) {
    engine = DefaultEngine(44100);
    SingleFootage(*engine, OscillatorBank::kPulse8);
    engine->ParamChanged(kBank1Pw, width);
    engine->ParamChanged(kBank1Pwm, 1.0);
    engine->ParamChanged(kPolyPwmSpeed, 0.0);  // the PWM LFO stays at its top (unipolar 1)
    engine->NoteOn(60, 100);
    out = Render(*engine, 4410);
    if (width == 0.0)
      EXPECT_GT(testing::Rms(out.data() + 441, 3969), 0.01);
    else
      EXPECT_EQ(testing::Rms(out.data() + 441, 3969), 0.0);
  }
}

TEST(OscillatorTest, DefaultTuningDetunesTheBanksByTwoSteps) {
  // Bank 1 at -1 step and bank 2 at +1 step beat at 2/128 semitone apart.
  auto engine = DefaultEngine(44100);
  SingleFootage(*engine, OscillatorBank::kSaw8);
  engine->ParamChanged(kBank1Tune, -64);  // half a semitone down
  engine->NoteOn(69, 100);
  Render(*engine, 2205);
  const std::vector<double> held = Render(*engine, 22050);
  const double expected = 440.0 * std::pow(2.0, -0.5 / 12.0);
  EXPECT_NEAR(testing::PeakFrequency(held, expected, 44100) / expected, 1.0, 0.0006);
}

TEST(LfoTest, ShapesAndRate) {
  Lfo lfo;
  lfo.rate = 0.5;  // four ticks per cycle
  std::vector<double> triangle;
  for (int i = 0; i < 4; ++i) {
    lfo.Tick();
    triangle.push_back(lfo.bipolar);
  }
  EXPECT_EQ(triangle, (std::vector<double>{1.0, 0.0, -1.0, 0.0}));
  EXPECT_DOUBLE_EQ(lfo.unipolar, 0.5);

  Lfo square;
  square.waveform = Lfo::kSquare;
  square.rate = 0.5;
  std::vector<double> values;
  for (int i = 0; i < 4; ++i) {
    square.Tick();
    values.push_back(square.bipolar);
  }
  EXPECT_EQ(values, (std::vector<double>{1.0, 1.0, -1.0, -1.0}));
  EXPECT_NEAR(Lfo::RateFromSpeed(1.0), 0.06, 1e-15);  // about 30 Hz at 1000 ticks per second
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
