// The block loop: control ticks on period boundaries of the stream, silence, the output stage.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/engine.h"
#include "engine/soft_clip.h"

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

TEST(RenderLoopTest, ResetAtTheSameRateKeepsTheEngineAndAnotherRateRebuildsIt) {
  Engine engine = MakeEngine(44100);
  engine.Reset(48000, 64);
  EXPECT_EQ(engine.control_period(), 48);
  Stereo out(1000);
  engine.RenderBlock(out.Outputs(), 1000);
  EXPECT_EQ(engine.control_ticks(), 21u);
}

TEST(RenderLoopTest, PolyphonyParameterSetsTheVoiceCount) {
  Engine engine = MakeEngine(44100);
  const std::pair<double, int> cases[] = {{0, 12}, {1, 32}, {2, 61}, {1.7, 32}};
  for (const auto& [value, voices] : cases) {
    engine.ParamChanged(kPolyphony, value);
    EXPECT_EQ(engine.number_of_voices(), voices);
  }
}

TEST(SoftClipTest, ShapeAndLimits) {
  EXPECT_EQ(SoftClip(5.0), 1.0);
  EXPECT_EQ(SoftClip(-5.0), -1.0);
  EXPECT_DOUBLE_EQ(SoftClip(0.5), 0.5 * 27.25 / 29.25);
  EXPECT_DOUBLE_EQ(SoftClip(3.0), 1.0);  // continuous at the knee
  EXPECT_DOUBLE_EQ(SoftClip(-3.0), -1.0);
  EXPECT_EQ(SoftClip(0.0), 0.0);
  EXPECT_NEAR(SoftClip(1e-6) / 1e-6, 1.0, 1e-9);  // slope 1 at zero
  for (double x = 0.0; x < 4.0; x += 0.01) {
    EXPECT_DOUBLE_EQ(SoftClip(-x), -SoftClip(x));
    EXPECT_LE(SoftClip(x), SoftClip(x + 0.01));  // monotonic
  }
}

}  // namespace
}  // namespace vantor
