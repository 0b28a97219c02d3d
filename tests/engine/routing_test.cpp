// The whole engine: the routing of both sections through the ensemble, the poly feed into the
// mono filter, and clean output in every combination at every sample rate.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine_test_util.h"

namespace vantor {
namespace {

static constexpr int kRate = 44100;
static constexpr int kPeriod = 44;
static constexpr int kFrames = 8800;

struct Stereo {
  std::vector<double> left, right;
};

Stereo RenderStereo(Engine& engine, int frames) {
  Stereo out{std::vector<double>(static_cast<size_t>(frames)),
             std::vector<double>(static_cast<size_t>(frames))};
  for (int done = 0; done < frames; done += 512) {
    double* outputs[2] = {&out.left[static_cast<size_t>(done)],
                          &out.right[static_cast<size_t>(done)]};
    engine.RenderBlock(outputs, std::min(512, frames - done));
  }
  return out;
}

// The poly section plays a held chord below the split, the mono section a constant saw held open
// by the VCA; either may be left silent. The output stage passes the mix unchanged.
std::unique_ptr<Engine> Sections(bool poly, bool mono, bool poly_to_ensemble,
                                 bool mono_to_ensemble) {
  auto engine = testing::DefaultEngine(kRate);
  engine->ParamChanged(kMainVolume, 1);
  engine->ParamChanged(kPolyUpper, 0);
  engine->ParamChanged(kMonoUpper, 1);
  for (int k = 0; k < 3; ++k)
    engine->ParamChanged(kEnsembleModAmount1 + k, 0.3 + 0.2 * k);
  engine->ParamChanged(kVcaEnvelope, 2);
  engine->ParamChanged(kMonoVolume, mono ? 0.5 : 0.0);
  engine->ParamChanged(kPolyToEnsemble, poly_to_ensemble);
  engine->ParamChanged(kMonoToEnsemble, mono_to_ensemble);
  if (poly) {
    engine->NoteOn(48, 100);
    engine->NoteOn(55, 100);
  }
  return engine;
}

// The ensemble as the engine runs it, fed `in` from the engine's first tick on.
Stereo Ensembled(const std::vector<double>& in) {
  Ensemble ensemble;
  ensemble.SetSampleRate(kRate);
  const auto& desc = VantorParamSpec;
  for (int i = kEnsembleMode; i <= kEnsembleModAmount3; ++i)
    ensemble.ParamChanged(i, desc(i).default_value);
  for (int k = 0; k < 3; ++k)
    ensemble.ParamChanged(kEnsembleModAmount1 + k, 0.3 + 0.2 * k);
  Stereo out{std::vector<double>(in.size()), std::vector<double>(in.size())};
  for (size_t i = 0; i < in.size(); i += kPeriod) {
    ensemble.ControlTick();
    ensemble.Process(&in[i], &out.left[i], &out.right[i], kPeriod);
  }
  return out;
}

std::vector<double> Sum(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> s(a.size());
  for (size_t i = 0; i < a.size(); ++i)
    s[i] = a[i] + b[i];
  return s;
}

void ExpectNear(const std::vector<double>& actual, const std::vector<double>& expected,
                const char* what) {
  double worst = 0.0;
  for (size_t i = 0; i < actual.size(); ++i)
    worst = std::max(worst, std::fabs(actual[i] - expected[i]));
  EXPECT_LT(worst, 1e-9) << what;
}

// Each row of the routing table: which sections sound and which of them pass the ensemble.
TEST(RoutingTest, EveryRowMixesAndEnsemblesWhatItSays) {
  // The dry sections alone.
  const std::vector<double> poly = RenderStereo(*Sections(true, false, false, false), kFrames).left;
  const std::vector<double> mono = RenderStereo(*Sections(false, true, false, false), kFrames).left;
  ASSERT_GT(testing::Rms(poly.data(), kFrames), 0.02);
  ASSERT_GT(testing::Rms(mono.data(), kFrames), 0.02);
  const Stereo ens_poly = Ensembled(poly), ens_mono = Ensembled(mono);
  const Stereo ens_both = Ensembled(Sum(poly, mono));
  const std::vector<double> silence(kFrames, 0.0);

  struct Row {
    bool poly, mono, poly_ens, mono_ens;
    std::vector<double> left, right;
  };
  std::vector<Row> rows = {
      {true, true, true, true, ens_both.left, ens_both.right},
      {true, true, true, false, Sum(ens_poly.left, mono), Sum(ens_poly.right, mono)},
      {true, true, false, true, Sum(ens_mono.left, poly), Sum(ens_mono.right, poly)},
      {true, true, false, false, Sum(poly, mono), Sum(poly, mono)},
  };
  for (bool any : {false, true}) {
    rows.push_back({true, false, true, any, ens_poly.left, ens_poly.right});
    rows.push_back({true, false, false, any, poly, poly});
    rows.push_back({false, true, any, true, ens_mono.left, ens_mono.right});
    rows.push_back({false, true, any, false, mono, mono});
    for (bool other : {false, true})
      rows.push_back({false, false, any, other, silence, silence});
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message()
                 << "poly " << row.poly << " mono " << row.mono << " poly->ens " << row.poly_ens
                 << " mono->ens " << row.mono_ens);
    auto engine = Sections(row.poly, row.mono, row.poly_ens, row.mono_ens);
    const Stereo out = RenderStereo(*engine, kFrames);
    ExpectNear(out.left, row.left, "left");
    ExpectNear(out.right, row.right, "right");
  }
}

TEST(RoutingTest, StereoEnsembleSpreadsAndMonoEnsembleStaysCentred) {
  for (bool stereo : {false, true}) {
    auto engine = Sections(true, true, true, true);
    engine->ParamChanged(kEnsembleMode, stereo);
    const Stereo out = RenderStereo(*engine, kFrames);
    double difference = 0.0;
    for (int i = 0; i < kFrames; ++i)
      difference = std::max(difference, std::fabs(out.left[static_cast<size_t>(i)] -
                                                  out.right[static_cast<size_t>(i)]));
    if (stereo)
      EXPECT_GT(difference, 0.05);
    else
      EXPECT_EQ(difference, 0.0);
  }
}

TEST(RoutingTest, PolyFeedsTheMonoFilterAfterTheResonatorsAndBeforeThePolyVolume) {
  // A mono section whose own sources are silent passes only the poly signal it is fed.
  const auto render = [](double poly_volume, double feed, bool silent_resonators) {
    auto engine = Sections(true, true, false, false);
    engine->ParamChanged(kVcoToVcf, 0);
    engine->ParamChanged(kPolyVolume, poly_volume);
    engine->ParamChanged(kPolyToPoly, feed);
    engine->ParamChanged(kResonators, silent_resonators);
    for (int r = 0; r < 3; ++r)
      engine->ParamChanged(kResonator1Volume + 4 * r, 0.0);
    const std::vector<double> out = RenderStereo(*engine, kFrames).left;
    return testing::Rms(&out[kFrames / 2], kFrames / 2);
  };
  const double poly_only = render(0.5, 0.0, false);  // poly x 1
  const double fed = render(0.0, 0.5, false);        // poly x 0.5 through the mono path
  EXPECT_GT(fed, 0.1 * poly_only);
  EXPECT_NEAR(render(0.0, 1.0, false) / fed, 2.0, 0.01);
  EXPECT_LT(render(0.5, 1.0, true), 1e-9);  // what the resonators leave is what is fed
}

// Everything on at its most extreme, at every usual sample rate: the output stays finite and
// never subnormal, while playing and while fading out.
TEST(RoutingTest, ExtremeSettingsStayCleanAtEverySampleRate) {
  for (double rate : {22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 192000.0}) {
    for (int variant = 0; variant < 4; ++variant) {
      SCOPED_TRACE(::testing::Message() << rate << " Hz, variant " << variant);
      auto engine = testing::DefaultEngine(rate);
      const bool low = variant % 2 == 0;
      const std::pair<int, double> settings[] = {
          {kMainVolume, 1},
          {kPolyVolume, 1},
          {kMonoLower, 1},
          {kMonoUpper, 1},
          {kBank1Saw16, 1},
          {kBank1Pulse4, 1},
          {kBank2Pulse16, 1},
          {kBank1Pwm, 1},
          {kBank1Fm, 641},
          {kModWheelToPolyFm, 0},
          {kPolyFmSpeed, 1},
          {kFilterMode, 1 + variant % 3},
          {kFilterResonance, 1},
          {kFilterCutoff, low ? 0.0 : 1.0},
          {kResonators, 1},
          {kResonator1Mode, 0},
          {kResonator2Mode, 1},
          {kResonator3Mode, 2},
          {kResonator1Frequency, 0},
          {kResonator3Frequency, 1},
          {kResonator1Resonance, 1},
          {kResonator2Resonance, 1},
          {kResonator3Resonance, 1},
          {kResonator1Volume, 1},
          {kVcoWaveform, variant % 3},
          {kVcoFm, 641},
          {kVcoPwm, 1},
          {kSubOscToVcf, 1},
          {kNoiseToVcf, 1},
          {kPolyToPoly, 1},
          {kVcfResonance, 1},
          {kVcfCutoff, low ? 0.0 : 1.0},
          {kEnvToVcfFm, low ? 12289.0 : -12289.0},
          {kLfoToVcfFm, 12289},
          {kLfoWaveform, 3},
          {kLfoSpeed, 1},
          {kMonoVolume, 1},
          {kVelocityToVcaAm, 1},
          {kPolyToEnsemble, 1},
          {kMonoToEnsemble, variant < 2},
          {kEnsembleMode, variant % 2},
          {kEnsembleSpeed1, 1},
          {kEnsembleSpeed2, 0.5},
          {kEnsembleModAmount1, 1},
          {kEnsembleModAmount2, 1},
          {kEnsembleModAmount3, 1},
          {kPhaser, 1 + variant % 2},
          {kPhaserFeedback, 1},
          {kPhaserManual, low ? 0.0 : 1.0},
          {kPhaserModAmount, 1},
          {kPhaserModSpeed, 1},
          {kPhaserMix, 1},
      };
      for (const auto& [index, value] : settings)
        engine->ParamChanged(index, value);
      engine->QueueMidiMessage({0, 0xE0, 0x7F, 0x7F});
      for (int note : {0, 24, 48, 60, 72, 96, 127})
        engine->NoteOn(note, 127);
      const int frames = static_cast<int>(rate * 0.3);
      Stereo out = RenderStereo(*engine, frames);
      EXPECT_TRUE(testing::AllFiniteAndNormal(out.left));
      EXPECT_TRUE(testing::AllFiniteAndNormal(out.right));
      EXPECT_GT(testing::Rms(out.left.data(), frames), 0.01);
      for (int note : {0, 24, 48, 60, 72, 96, 127})
        engine->NoteOff(note);
      out = RenderStereo(*engine, frames);
      EXPECT_TRUE(testing::AllFiniteAndNormal(out.left));
      EXPECT_TRUE(testing::AllFiniteAndNormal(out.right));
    }
  }
}

}  // namespace
}  // namespace vantor
