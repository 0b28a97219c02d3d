// PitchToFrequency: equal temperament at semitones, interpolation and the ends of the range; the
// tables built from it.
#include "engine/pitch.h"
#include "engine/pitch_tables.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vantor {
namespace {

TEST(PitchTest, SemitonesAreEqualTempered) {
  EXPECT_DOUBLE_EQ(PitchToFrequency(0), 8.176);
  EXPECT_DOUBLE_EQ(PitchToFrequency(69 * 128), 440.0);
  EXPECT_DOUBLE_EQ(PitchToFrequency(60 * 128), 261.626);
  EXPECT_DOUBLE_EQ(PitchToFrequency(17280), 19912.127);
  EXPECT_DOUBLE_EQ(PitchToFrequency(50000), 19912.127);
  EXPECT_DOUBLE_EQ(PitchToFrequency(-17280), 0.0033570162);
}

TEST(PitchTest, StepsBetweenSemitonesInterpolateLinearly) {
  const double a = PitchToFrequency(69 * 128);
  const double b = PitchToFrequency(70 * 128);
  EXPECT_DOUBLE_EQ(PitchToFrequency(69 * 128 + 64), a + (b - a) * 0.5);
  for (int p = -17279; p < 17280; p += 7) {
    EXPECT_LT(PitchToFrequency(p), PitchToFrequency(p + 1) + 1e-12) << p;
  }
  EXPECT_NEAR(PitchToFrequency(-128 * 12), 8.176 / 2, 1e-9);
}

// Per step: the phase increment of a 28-bit phase, the angle per sample, its sine and cosine, at
// the sample rate taken in single precision.
TEST(PitchTest, TablesHoldEachStepsIncrementAngleSineAndCosine) {
  for (double rate : {44100.0, 48000.0, 44100.3}) {
    PitchTables tables;
    tables.Build(rate);
    for (int step : {0, 1, 127, 7680, 8832, 12345, 17279, 17280}) {
      const double ratio = PitchToFrequency(step) / static_cast<double>(static_cast<float>(rate));
      const auto i = static_cast<size_t>(step);
      EXPECT_EQ(tables.increment[i], static_cast<int32_t>(ratio * 268435456.0)) << step;
      EXPECT_DOUBLE_EQ(tables.angular[i], ratio * 2.0 * M_PI) << step;
      EXPECT_DOUBLE_EQ(tables.sine[i], std::sin(ratio * 2.0 * M_PI)) << step;
      EXPECT_DOUBLE_EQ(tables.cosine[i], std::cos(ratio * 2.0 * M_PI)) << step;
    }
  }
}

}  // namespace
}  // namespace vantor
