// PitchToFrequency: equal temperament at semitones, interpolation and the ends of the range.
#include "engine/pitch.h"

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

}  // namespace
}  // namespace vantor
