// The block loop: control ticks on period boundaries of the stream, silence, what a reset keeps,
// the soft clipper.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/engine.h"
#include "engine/soft_clip.h"
#include "engine_test_util.h"

namespace vantor {
namespace {

struct Stereo {
  explicit Stereo(int frames) : left(frames, 1.0), right(frames, 1.0) {}
  double* channels[2];
  double* const* Outputs() {
    channels[0] = left.data();
    channels[1] = right.data();
    return channels;
  }
  std::vector<double> left, right;
};

Engine MakeEngine(double rate) {
  Engine engine;
  engine.Reset(rate, 512);
  return engine;
}

TEST(RenderLoopTest, ControlPeriodIsAboutOneMillisecond) {
  EXPECT_EQ(MakeEngine(44100).control_period(), 44);
  EXPECT_EQ(MakeEngine(48000).control_period(), 48);
  EXPECT_EQ(MakeEngine(96000).control_period(), 96);
  EXPECT_EQ(MakeEngine(22050).control_period(), 22);
  EXPECT_EQ(MakeEngine(800).control_period(), 1);  // clamped, not refused
}

TEST(RenderLoopTest, TicksFollowTheStreamWhateverTheHostBlockSizes) {
  for (const std::vector<int>& sizes : std::vector<std::vector<int>>{
           {1}, {7}, {44}, {45}, {43, 1, 0, 2}, {511}, {4096}, {13, 0, 97, 1, 1, 300}}) {
    Engine engine = MakeEngine(44100);
    long total = 0;
    for (int round = 0; round < 200; ++round) {
      const int frames = sizes[static_cast<size_t>(round) % sizes.size()];
      Stereo out(std::max(frames, 1));
      engine.RenderBlock(out.Outputs(), frames);
      total += frames;
      // A tick happens at the start of every period the stream has entered.
      EXPECT_EQ(engine.control_ticks(), static_cast<uint64_t>((total + 43) / 44))
          << "after " << total << " frames";
    }
  }
}

TEST(RenderLoopTest, ZeroFramesWritesNothingAndDoesNotTick) {
  Engine engine = MakeEngine(44100);
  Stereo out(4);
  engine.RenderBlock(out.Outputs(), 0);
  EXPECT_EQ(engine.control_ticks(), 0u);
  EXPECT_EQ(out.left[0], 1.0);
}

TEST(RenderLoopTest, IdleEngineWritesExactZeros) {
  for (double rate : {22050.0, 44100.0, 96000.0, 192000.0}) {
    Engine engine = MakeEngine(rate);
    engine.ParamChanged(kSoftClipping, 1);
    engine.ParamChanged(kMainVolume, 1);
    for (int block = 0; block < 50; ++block) {
      Stereo out(257);
      engine.RenderBlock(out.Outputs(), 257);
      for (int i = 0; i < 257; ++i) {
        ASSERT_EQ(out.left[static_cast<size_t>(i)], 0.0);
        ASSERT_EQ(out.right[static_cast<size_t>(i)], 0.0);
        ASSERT_FALSE(std::signbit(out.left[static_cast<size_t>(i)]));
      }
    }
  }
}

// A reset at the rate the engine runs at keeps everything sounding. At another rate it silences
// the engine and sets back what initialisation sets: keys and pedal, the mono octave, transpose
// and tune, the resonator switch, the ensemble depths, the VCA selector and every envelope's rate;
// the other parameter-derived settings stay until the parameters are applied again.
TEST(RenderLoopTest, AResetAtANewRateRestoresWhatInitialisationSetsAndKeepsTheRest) {
  for (double rate : {44100.0, 48000.0}) {
    const bool same = rate == 44100.0;
    SCOPED_TRACE(same ? "the same rate" : "a new rate");
    auto engine = testing::DefaultEngine(44100);
    const std::pair<int, double> settings[] = {
        {kVcoOctave, 3},   {kVcoTranspose, 5},    {kVcoTune, 30},       {kResonators, 1},
        {kVcaEnvelope, 2}, {kVcoPortamento, 0.2}, {kPhaserMix, 0.3},    {kFilterCutoff, 0.6},
        {kPolyphony, 1},   {kMonoVolume, 0.5},    {kMonoToEnsemble, 1}, {kEnsembleModAmount2, 0.4}};
    for (auto [index, value] : settings)
      engine->ParamChanged(index, value);
    engine->NoteOn(60, 100);
    engine->SustainPedal(true);
    engine->NoteOn(64, 100);
    testing::Render(*engine, 441);
    engine->Reset(rate, 256);
    EXPECT_EQ(engine->control_period(), static_cast<int>(rate) / 1000);
    EXPECT_EQ(engine->poly_active(), same);
    EXPECT_EQ(engine->held_poly_keys(), same ? 2 : 0);
    EXPECT_EQ(engine->sustain_pedal(), same);
    const MonoSection& mono = engine->mono();
    EXPECT_EQ(mono.vco.pitch_offset, same ? (12 + 5) * 128 + 30 : 0);
    EXPECT_EQ(mono.vco.octave_offset + mono.vco.transpose + mono.vco.tune, same ? 12 + 5 + 30 : 0);
    EXPECT_EQ(engine->resonators().on, same);
    EXPECT_EQ(engine->ensemble().mod_amount[1], same ? 0.2 : 0.0);
    EXPECT_EQ(mono.vca_selector, same ? 2 : 0);
    for (const EnvelopeGenerator* e : {&mono.envelope, &mono.gate, &engine->global_envelope(),
                                       &engine->voice(0).envelope, &engine->voice(0).gate})
      EXPECT_DOUBLE_EQ(e->rate_base, std::log(10.0) / rate);
    // Kept at any rate.
    EXPECT_EQ(mono.vca_source, 2);
    EXPECT_EQ(mono.vco.portamento, 0.2);
    EXPECT_EQ(engine->phaser().mix, 0.3);
    EXPECT_EQ(engine->voice(0).filter.cutoff_steps, 0.6 * kMaxPitchStep);
    EXPECT_EQ(engine->number_of_voices(), 32);
    const std::vector<double> out = testing::Render(*engine, 4410);
    EXPECT_EQ(testing::Rms(out.data(), 4410) > 0.01, same);
    EXPECT_EQ(testing::Rms(out.data(), 4410) == 0.0, !same);
  }
}

TEST(SoftClipTest, FollowsItsCurveAndClipsBeyondThree) {
  for (double x = -5.0; x <= 5.0; x += 0.125) {
    const double expected =
        std::fabs(x) > 3.0 ? std::copysign(1.0, x) : x * (x * x + 27.0) / (9.0 * x * x + 27.0);
    EXPECT_DOUBLE_EQ(SoftClip(x), expected) << x;
    EXPECT_LE(SoftClip(x), SoftClip(x + 0.125));  // monotonic
  }
  EXPECT_EQ(SoftClip(3.0), 1.0);                  // continuous at the knee
  EXPECT_NEAR(SoftClip(1e-6) / 1e-6, 1.0, 1e-9);  // slope 1 at zero
}

}  // namespace
}  // namespace vantor
