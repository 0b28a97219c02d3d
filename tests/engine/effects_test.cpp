// Resonators, ensemble and phaser: the resonators and the phaser held to their formulas, the
// ensemble's delay range, stereo image and modulation, on the blocks and through the engine.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "engine/ensemble.h"
#include "engine/phaser.h"
#include "engine/pitch.h"
#include "engine/resonator_bank.h"
#include "engine_test_util.h"

namespace vantor {
namespace {

using testing::Rms;
using testing::SpectrumAt;

static constexpr double kRate = 44100.0;
static constexpr int kPeriod = 44;  // control period at 44.1 kHz

const PitchTables& Tables() {
  static const PitchTables tables = [] {
    PitchTables t;
    t.Build(kRate);
    return t;
  }();
  return tables;
}

std::vector<double> Impulse(int n) {
  std::vector<double> x(static_cast<size_t>(n), 0.0);
  x[0] = 1.0;
  return x;
}

std::vector<double> Sine(double f, int n) {
  std::vector<double> x(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    x[static_cast<size_t>(i)] = std::sin(2.0 * M_PI * f * i / kRate);
  return x;
}

// --- Resonators -------------------------------------------------------------------------------

ResonatorBank Resonators(int mode, double frequency, double resonance, const double (&volumes)[3]) {
  ResonatorBank bank;
  bank.ParamChanged(kResonators, 1);
  for (int r = 0; r < 3; ++r) {
    bank.ParamChanged(kResonator1Mode + 4 * r, mode);
    bank.ParamChanged(kResonator1Volume + 4 * r, volumes[r]);
    bank.ParamChanged(kResonator1Frequency + 4 * r, frequency);
    bank.ParamChanged(kResonator1Resonance + 4 * r, resonance);
  }
  return bank;
}

// Runs `in` through the bank in control periods, as the engine does.
std::vector<double> Filter(ResonatorBank& bank, std::vector<double> signal) {
  double dry[kPeriod], wet[kPeriod];
  for (size_t i = 0; i < signal.size(); i += kPeriod) {
    const int n = static_cast<int>(std::min<size_t>(kPeriod, signal.size() - i));
    bank.Process(&signal[i], dry, wet, n, Tables());
  }
  return signal;
}

TEST(ResonatorTest, AModeChangeStartsThatResonatorFromRest) {
  ResonatorBank bank = Resonators(2, 0.5, 1.0, {0.5, 0.5, 0.5});
  Filter(bank, Sine(PitchToFrequency(8640), 4410));
  bank.ParamChanged(kResonator2Mode, 0);
  EXPECT_EQ(bank.filters[1].s1, 0.0);
  EXPECT_EQ(bank.filters[1].s3, 0.0);
  EXPECT_NE(bank.filters[0].s1, 0.0);  // the others ring on
}

TEST(ResonatorTest, TheBankReplacesThePolySignalInTheEngine) {
  const auto play = [](bool on, double volume) {
    auto engine = testing::DefaultEngine(kRate);
    engine->ParamChanged(kResonators, on);
    for (int r = 0; r < 3; ++r)
      engine->ParamChanged(kResonator1Volume + 4 * r, r == 0 ? volume : 0.0);
    engine->NoteOn(60, 100);
    return testing::Render(*engine, 8820);
  };
  const std::vector<double> dry = play(false, 0.5);
  EXPECT_GT(Rms(dry.data(), 8820), 0.01);
  EXPECT_EQ(Rms(play(true, 0.0).data(), 8820), 0.0);  // the dry signal is not kept
  const double one = Rms(play(true, 0.25).data() + 4410, 4410);
  EXPECT_GT(one, 0.001);
  EXPECT_NEAR(Rms(play(true, 0.5).data() + 4410, 4410) / one, 2.0, 1e-6);
}

// Three resonators in parallel against the formulas, sample by sample: each mode, the resonance
// scaled by 0.95, the gain by 2, the frequency over the pitch range, the dry signal dropped.
TEST(ResonatorTest, TheBankFiltersAsTheFormulasSay) {
  struct Resonator {
    int mode;
    double volume, frequency, resonance;
  };
  const Resonator banks[][3] = {
      {{0, 0.5, 0.45, 0.0}, {1, 0.3, 0.6, 0.5}, {2, 0.8, 0.5, 1.0}},
      {{2, 0.5, 0.35, 0.9}, {0, 1.0, 0.7, 1.0}, {1, 0.1, 0.2, 0.2}},
  };
  std::vector<double> in = Sine(150.0, 8800);
  in[100] += 1.0;  // an impulse on top of the tone
  for (const auto& bank : banks) {
    ResonatorBank engine_bank;
    engine_bank.ParamChanged(kResonators, 1);
    std::vector<reference::Ladder> ladders;
    for (int r = 0; r < 3; ++r) {
      const int p = kResonator1Mode + 4 * r;
      const double values[4] = {double(bank[r].mode), bank[r].volume, bank[r].frequency,
                                bank[r].resonance};
      for (int i = 0; i < 4; ++i)
        engine_bank.ParamChanged(p + i, values[i]);
      ladders.push_back({bank[r].mode + 1, bank[r].frequency * 17280, bank[r].resonance * 0.95});
    }
    std::vector<double> expected(in.size(), 0.0);
    for (size_t i = 0; i < in.size(); ++i) {
      for (int r = 0; r < 3; ++r) {
        if (i % kPeriod == 0) ladders[static_cast<size_t>(r)].Update(Tables(), 0.0);
        expected[i] += ladders[static_cast<size_t>(r)].Process(in[i]) * 2.0 * bank[r].volume;
      }
    }
    EXPECT_LT(testing::MaxDifference(Filter(engine_bank, in), expected), 1e-9);
    EXPECT_GT(Rms(expected.data(), 8800), 0.05);
  }
}

// --- Ensemble ---------------------------------------------------------------------------------

struct EnsembleRun {
  std::vector<double> left, right;
};

// Feeds `in` through the ensemble with a control tick every period.
EnsembleRun Spread(Ensemble& ensemble, const std::vector<double>& in) {
  EnsembleRun out{std::vector<double>(in.size()), std::vector<double>(in.size())};
  for (size_t i = 0; i < in.size(); i += kPeriod) {
    const int n = static_cast<int>(std::min<size_t>(kPeriod, in.size() - i));
    ensemble.ControlTick();
    ensemble.Process(&in[i], &out.left[i], &out.right[i], n);
  }
  return out;
}

Ensemble MakeEnsemble(bool stereo, double speed1, double speed2, double amount) {
  Ensemble ensemble;
  ensemble.SetSampleRate(kRate);
  ensemble.ParamChanged(kEnsembleMode, stereo);
  ensemble.ParamChanged(kEnsembleSpeed1, speed1);
  ensemble.ParamChanged(kEnsembleSpeed2, speed2);
  for (int k = 0; k < 3; ++k)
    ensemble.ParamChanged(kEnsembleModAmount1 + k, amount);
  return ensemble;
}

TEST(EnsembleTest, DelaysStayBetweenOneAndSeventeenMilliseconds) {
  for (double rate : {22050.0, 44100.0, 96000.0, 192000.0}) {
    Ensemble ensemble;
    ensemble.SetSampleRate(rate);
    EXPECT_GE(ensemble.length, 0.017 * rate + 2) << "the line holds the longest delay";
    std::mt19937 random(7);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const int period = static_cast<int>(rate) / 1000;
    std::vector<double> in(static_cast<size_t>(period), 0.5), left(in), right(in);
    double lowest = 1e9, highest = 0.0;
    // Both sets in phase at full depth first: their sum reaches 2 and is clamped to 17 ms.
    ensemble.ParamChanged(kEnsembleSpeed1, 0.5);
    ensemble.ParamChanged(kEnsembleSpeed2, 0.5);
    for (int k = 0; k < 3; ++k)
      ensemble.ParamChanged(kEnsembleModAmount1 + k, 1.0);
    for (int tick = 0; tick < 20000; ++tick) {
      if (tick % 500 == 499) {  // then new speeds and depths now and then
        ensemble.ParamChanged(kEnsembleSpeed1, uniform(random));
        ensemble.ParamChanged(kEnsembleSpeed2, uniform(random));
        for (int k = 0; k < 3; ++k)
          ensemble.ParamChanged(kEnsembleModAmount1 + k, uniform(random));
      }
      ensemble.ControlTick();
      ensemble.Process(in.data(), left.data(), right.data(), period);
      if (tick == 0) continue;  // the delays start at 0 and reach the floor in one period
      for (double d : ensemble.delay) {
        lowest = std::min(lowest, d);
        highest = std::max(highest, d);
      }
    }
    EXPECT_GE(lowest, 0.000999 * rate - 1e-9) << rate;
    EXPECT_LE(highest, 0.017 * rate + 1e-9) << rate;
    EXPECT_GT(highest, 0.0165 * rate) << "full depth reaches 17 ms at " << rate;
  }
}

TEST(EnsembleTest, WithoutModulationItIsAFixedOneMillisecondComb) {
  for (bool stereo : {false, true}) {
    Ensemble ensemble = MakeEnsemble(stereo, 0.3, 0.3, 0.0);
    Spread(ensemble, std::vector<double>(4410, 0.0));  // the delays settle at 44.1 samples
    const EnsembleRun out = Spread(ensemble, Impulse(200));
    // Dry at a quarter; the delayed copies at 43.1 samples (the newest sample counts as 0
    // back), split between 43 and 44 by linear interpolation.
    for (const std::vector<double>* side : {&out.left, &out.right}) {
      EXPECT_DOUBLE_EQ((*side)[0], 0.25);
      EXPECT_NEAR((*side)[43], 0.75 * 0.9, 1e-6);
      EXPECT_NEAR((*side)[44], 0.75 * 0.1, 1e-6);
    }
  }
}

TEST(EnsembleTest, StereoSpreadsTheLinesAndMonoSumsThem) {
  for (bool stereo : {false, true}) {
    Ensemble ensemble = MakeEnsemble(stereo, 0.2, 0.5, 0.4);
    const EnsembleRun out = Spread(ensemble, Sine(440.0, 22050));
    double difference = 0.0;
    for (size_t i = 0; i < out.left.size(); ++i)
      difference = std::max(difference, std::fabs(out.left[i] - out.right[i]));
    if (stereo)
      EXPECT_GT(difference, 0.2);
    else
      EXPECT_EQ(difference, 0.0);
  }
}

// A triangle-modulated delay frequency-modulates a tone: sidebands at the LFO's frequency and
// its multiples around it, and nothing between them. The three lines are a third of a cycle
// apart, so one side (line 1 there) shows the fundamental sideband.
TEST(EnsembleTest, TheSpectrumShowsTheLfoModulation) {
  static constexpr double kTone = 1000.0;
  static constexpr int kSamples = 1 << 17;
  const double tick_rate = kRate / kPeriod;
  const double speed = 0.2;
  const double lfo = 0.03 * speed * tick_rate;  // a triangle cycle every 2 / rate ticks
  const auto spectrum = [&](double amount) {
    Ensemble ensemble = MakeEnsemble(true, speed, 0.0, amount);
    EnsembleRun out = Spread(ensemble, Sine(kTone, kSamples + 4410));
    std::vector<double> x(out.left.begin() + 4410, out.left.end());
    for (size_t i = 0; i < x.size(); ++i) {
      const double t = 2.0 * M_PI * static_cast<double>(i) / kSamples;
      x[i] *=
          0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
    }
    return x;
  };
  const std::vector<double> steady = spectrum(0.0), moving = spectrum(0.1);
  const double carrier = SpectrumAt(steady, kTone, kRate);
  EXPECT_LT(SpectrumAt(steady, kTone + lfo, kRate), carrier * 1e-3);
  for (double side : {kTone - lfo, kTone + lfo, kTone + 2 * lfo}) {
    const double at = SpectrumAt(moving, side, kRate);
    EXPECT_GT(at, carrier * 0.03) << side;
    EXPECT_GT(at, SpectrumAt(moving, side + lfo / 2, kRate) * 10) << side;
  }
}

// The routing may resume mid-period with a slew computed long before; whatever delay that
// leaves, the lines are read within their bounds (the sanitizer build checks the reads).
TEST(EnsembleTest, AStaleSlewNeverReadsOutsideTheLines) {
  Ensemble ensemble = MakeEnsemble(true, 0.2, 0.2, 1.0);
  Spread(ensemble, Sine(300.0, 4410));
  for (double stale : {-3.0, 40.0}) {
    ensemble.slew.fill(stale);  // in either direction, far beyond any target
    std::vector<double> in = Sine(300.0, 400), left(400), right(400);
    ensemble.Process(in.data(), left.data(), right.data(), 400);
    for (size_t i = 0; i < left.size(); ++i) {
      ASSERT_TRUE(std::isfinite(left[i]) && std::fabs(left[i]) <= 1.5) << i;
      ASSERT_TRUE(std::isfinite(right[i]) && std::fabs(right[i]) <= 1.5) << i;
    }
  }
}

TEST(EnsembleTest, ANewSampleRateResizesAndSilencesTheLines) {
  Ensemble ensemble = MakeEnsemble(false, 0.2, 0.2, 1.0);
  Spread(ensemble, Sine(300.0, 4410));
  ensemble.SetSampleRate(96000);
  EXPECT_GE(ensemble.length, 0.017 * 96000 + 2);
  EXPECT_EQ(ensemble.mod_amount[0], 0.0);  // depth returns when the parameters are applied
  std::vector<double> zeros(96, 0.0), left(96), right(96);
  ensemble.ControlTick();
  ensemble.Process(zeros.data(), left.data(), right.data(), 96);
  EXPECT_EQ(Rms(left.data(), 96), 0.0);
}

// --- Phaser -----------------------------------------------------------------------------------

Phaser MakePhaser(int type, double manual, double feedback, double amount, double mix) {
  Phaser phaser;
  phaser.Initialise();
  phaser.ParamChanged(kPhaser, type);
  phaser.ParamChanged(kPhaserManual, manual);
  phaser.ParamChanged(kPhaserFeedback, feedback);
  phaser.ParamChanged(kPhaserModSpeed, 0.0);
  phaser.ParamChanged(kPhaserModAmount, amount);
  phaser.ParamChanged(kPhaserMix, mix);
  return phaser;
}

TEST(PhaserTest, BothTypesFilterAsTheFormulasSay) {
  struct Row {
    int type;
    double manual, feedback, speed, amount, mix;
  } const rows[] = {{1, 0.5, 0.9, 0.4, 0.3, 0.7},
                    {2, 0.45, 0.8, 0.1, 0.2, 1.0},
                    {1, 1.0, 0.0, 0.2, 0.5, 0.5},
                    {2, 0.6, 1.0, 0.3, 0.1, 0.5}};
  const std::vector<double> left_in = Sine(440.0, 8800), right_in = Sine(97.0, 8800);
  for (const Row& row : rows) {
    Phaser phaser = MakePhaser(row.type, row.manual, row.feedback, row.amount, row.mix);
    phaser.ParamChanged(kPhaserModSpeed, row.speed);
    reference::Lfo lfo{reference::LfoRate(row.speed)};
    const double spread = row.type == 1 ? 0.65 : 1.0, sign = row.type == 1 ? -1.0 : 1.0;
    reference::Phaser sides[2] = {{spread, sign}, {spread, sign}};
    std::vector<double> left = left_in, right = right_in, expected[2] = {left_in, right_in};
    for (size_t i = 0; i < left.size(); i += kPeriod) {
      phaser.ControlTick(Tables());
      phaser.Process(&left[i], &right[i], kPeriod);
      lfo.Tick();
      for (int c = 0; c < 2; ++c) {
        sides[c].Tick(Tables(), row.amount * 12289 * lfo.bipolar + row.manual * 17280,
                      row.feedback);
        for (size_t j = i; j < i + kPeriod; ++j)
          expected[c][j] = sides[c].Process(expected[c][j], row.mix);
      }
    }
    SCOPED_TRACE(::testing::Message() << "Type " << row.type << ", feedback " << row.feedback);
    EXPECT_LT(testing::MaxDifference(left, expected[0]), 1e-9);
    EXPECT_LT(testing::MaxDifference(right, expected[1]), 1e-9);
  }
}

TEST(PhaserTest, MixZeroIsTheDrySignalAndMixOneOnlyTheAllPassChain) {
  std::vector<double> dry = Sine(500.0, 4410);
  for (double k = 0; k < 4410; ++k)
    dry[static_cast<size_t>(k)] += 0.3 * std::sin(k * 0.7);
  for (int type : {1, 2}) {
    Phaser phaser = MakePhaser(type, 0.5, 1.0, 0.5, 0.0);
    std::vector<double> left = dry, right = dry;
    for (int i = 0; i < 4410; i += kPeriod) {
      phaser.ControlTick(Tables());
      phaser.Process(&left[static_cast<size_t>(i)], &right[static_cast<size_t>(i)],
                     std::min(kPeriod, 4410 - i));
    }
    EXPECT_EQ(left, dry);
    EXPECT_EQ(right, dry);
  }
  // Without feedback the all-pass chain alone keeps the level of a steady tone.
  Phaser phaser = MakePhaser(2, 0.5, 0.0, 0.0, 1.0);
  phaser.ControlTick(Tables());
  std::vector<double> left = Sine(700.0, 8820), right = left;
  phaser.Process(left.data(), right.data(), 8820);
  EXPECT_NEAR(Rms(&left[4410], 4410), std::sqrt(0.5), 1e-3);
  EXPECT_NEAR(right[5000], left[5000], 1e-9);  // both channels alike
}

}  // namespace
}  // namespace vantor
