// Resonators, ensemble and phaser: gains, peak and notch frequencies, delay range, stereo image
// and modulation, measured on the blocks themselves and through the engine.
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

// The frequency in [lo, hi] where `level` is largest (sign +1) or smallest (sign -1): a scan in
// 1/100 of the span, then a golden-section refinement.
template <typename Level>
double Extremum(Level level, double lo, double hi, double sign) {
  double best = lo, best_level = -1e300;
  const double step = (hi - lo) / 100.0;
  for (double f = lo; f <= hi; f += step) {
    const double v = sign * level(f);
    if (v > best_level) {
      best_level = v;
      best = f;
    }
  }
  double a = std::max(lo, best - step), b = std::min(hi, best + step);
  for (int i = 0; i < 30; ++i) {
    const double c = b - 0.618 * (b - a), d = a + 0.618 * (b - a);
    if (sign * level(c) > sign * level(d))
      b = d;
    else
      a = c;
  }
  return 0.5 * (a + b);
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

TEST(ResonatorTest, LowpassesAtZeroResonancePassAConstantTimesTheSumOfTheGains) {
  const double volumes[][3] = {{0.5, 0.5, 0.5}, {0.25, 0.0, 1.0}, {0.0, 0.0, 0.0}};
  for (const auto& v : volumes) {
    ResonatorBank bank = Resonators(0, 0.5, 0.0, v);
    const std::vector<double> out = Filter(bank, std::vector<double>(44100, 0.3));
    const double gain = 2.0 * (v[0] + v[1] + v[2]);
    EXPECT_NEAR(out.back(), 0.3 * gain, 1e-9);
  }
}

TEST(ResonatorTest, ABandpassResonatorPeaksAtItsFrequency) {
  for (double frequency : {0.45, 0.7}) {
    for (double resonance : {0.0, 0.6}) {
      ResonatorBank bank = Resonators(2, frequency, resonance, {0.5, 0.0, 0.0});
      const std::vector<double> h = Filter(bank, Impulse(8192));
      const double expected = PitchToFrequency(static_cast<int>(frequency * kMaxPitchStep));
      const double peak = Extremum([&](double f) { return SpectrumAt(h, f, kRate); }, expected / 2,
                                   expected * 2, 1.0);
      // The stages are not prewarped: the peak sits slightly low, by 2 atan(w/2) against w.
      const double w = 2.0 * M_PI * expected / kRate;
      const double warped = 2.0 * std::atan(w / 2.0) / (2.0 * M_PI) * kRate;
      EXPECT_NEAR(peak / warped, 1.0, 0.01) << frequency << " resonance " << resonance;
    }
  }
}

TEST(ResonatorTest, ModesShapeTheBandAndAModeChangeStartsFromRest) {
  const auto level = [](int mode, double f) {
    ResonatorBank bank = Resonators(mode, 0.5, 0.0, {0.5, 0.0, 0.0});
    const std::vector<double> out = Filter(bank, Sine(f, 8820));
    return Rms(&out[4410], 4410);
  };
  const double cutoff = PitchToFrequency(8640);  // 380 Hz
  EXPECT_GT(level(0, cutoff / 8), 0.6);          // lowpass passes the low tone
  EXPECT_LT(level(0, cutoff * 8), 0.01);
  EXPECT_LT(level(1, cutoff / 8), 0.01);  // highpass the high one
  EXPECT_GT(level(1, cutoff * 8), 0.6);

  ResonatorBank bank = Resonators(2, 0.5, 1.0, {0.5, 0.5, 0.5});
  Filter(bank, Sine(cutoff, 4410));
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

// The lowest notch of the response with the LFO held where `lfo_phase` puts it; the second
// notch lies above 250 Hz in every case here.
double LowestNotch(Phaser phaser, double lfo_phase) {
  phaser.lfo.phase = lfo_phase;
  phaser.ControlTick(Tables());
  std::vector<double> left = Impulse(16384), right = Impulse(16384);
  phaser.Process(left.data(), right.data(), 16384);
  const auto level = [&](double f) { return SpectrumAt(left, f, kRate); };
  return Extremum(level, 20.0, 250.0, -1.0);
}

TEST(PhaserTest, NotchesMoveWithTheModulation) {
  const Phaser phaser = MakePhaser(2, 0.45, 0.0, 0.05, 0.5);
  // A triangle at phase -1, -0.5 and 0 gives +1, 0 and -1.
  const double high = LowestNotch(phaser, -1.0);
  const double middle = LowestNotch(phaser, -0.5);
  const double low = LowestNotch(phaser, 0.0);
  // 0.05 x 12289 steps is 4.8 semitones either way of the manual setting.
  const double ratio = std::pow(2.0, 0.05 * 12289 / 1536.0);
  EXPECT_NEAR(high / middle, ratio, 0.01 * ratio);
  EXPECT_NEAR(middle / low, ratio, 0.01 * ratio);
  // The notch is deep with equal stages and no feedback.
  Phaser copy = phaser;
  copy.lfo.phase = -0.5;
  copy.ControlTick(Tables());
  std::vector<double> tone = Sine(middle, 8820), right = tone;
  copy.Process(tone.data(), right.data(), 8820);
  EXPECT_LT(Rms(&tone[4410], 4410), 0.01);
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

TEST(PhaserTest, TypesPlaceTheStagesApartOrTogetherAndFeedbackSharpensTheResponse) {
  const Phaser type1 = MakePhaser(1, 0.45, 0.0, 0.0, 0.5);
  const Phaser type2 = MakePhaser(2, 0.45, 0.0, 0.0, 0.5);
  // Spread stages (w, 0.65 w, 0.42 w, 0.27 w) pull the first notch down.
  EXPECT_LT(LowestNotch(type1, 0.0), 0.8 * LowestNotch(type2, 0.0));

  // Positive feedback around equal stages turns their notch into a resonance; without it the
  // chain is flat.
  for (double feedback : {0.0, 0.95}) {
    Phaser phaser = MakePhaser(2, 0.45, feedback, 0.0, 1.0);
    phaser.ControlTick(Tables());
    std::vector<double> left = Impulse(32768), right = Impulse(32768);
    phaser.Process(left.data(), right.data(), 32768);
    const auto level = [&](double f) { return SpectrumAt(left, f, kRate); };
    const double peak = Extremum(level, 20.0, 5000.0, 1.0);
    if (feedback > 0) {
      EXPECT_GT(level(peak), 10.0);
      EXPECT_LT(level(peak / 2), 2.0);
    } else {
      EXPECT_NEAR(level(peak), 1.0, 0.01);
    }
  }
}

}  // namespace
}  // namespace vantor
