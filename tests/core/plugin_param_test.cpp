// PluginParam: declaration rules, normalised mapping, quantisation and display texts.
#include "core/plugin_param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vantor {
namespace {

constexpr const char* kFour[] = {"a", "b", "c", "d"};

std::string Text(const PluginParam& p, double v, bool normalised = false) {
  char out[64];
  p.GetDisplayText(v, normalised, out, sizeof out);
  return out;
}

// A maximum not above the minimum becomes minimum plus step; a zero shape keeps the mapping
// linear; names and labels are cut to 31 characters.
TEST(PluginParamTest, ContinuousDefinitionsRepairTheirRangeShapeAndNames) {
  PluginParam x;
  x.DefineContinuous("x", 2, 2, 1, 0.5, "", 1);
  EXPECT_EQ(x.maximum(), 2.5);
  EXPECT_EQ(x.kind(), ParamKind::Continuous);
  EXPECT_EQ(x.value(), 2);

  PluginParam p;
  p.DefineContinuous("a name that is far longer than thirty-one characters", 0, 0, 10, 1,
                     "a label that is far longer than thirty-one characters", 0);
  EXPECT_EQ(p.shape(), 1.0);
  EXPECT_EQ(std::string(p.name()).size(), 31u);
  EXPECT_EQ(std::string(p.unit_label()).size(), 31u);
  p.SetFromNormalized(0.5);
  EXPECT_DOUBLE_EQ(p.value(), 5.0);
}

TEST(PluginParamTest, EnumeratedQuantisesToItsStepsAndShowsItsText) {
  PluginParam p;
  p.DefineEnumerated("e", 0, 4, kFour);
  EXPECT_EQ(p.kind(), ParamKind::Enumerated);
  p.SetFromNormalized(1.0);
  EXPECT_EQ(p.value(), 3.0);
  p.SetFromNormalized(0.5);  // 1.5 rounds up to 2
  EXPECT_EQ(p.value(), 2.0);
  p.SetFromNormalized(0.1);
  EXPECT_EQ(p.value(), 0.0);

  // Defined at its second text, it shows that text and has no unit label.
  PluginParam b;
  b.DefineEnumerated("e", 1, 4, kFour);
  EXPECT_EQ(b.DisplayText(), "b");
  EXPECT_STREQ(b.GetUnitLabel(), "");
  PluginParam seconds;
  seconds.DefineContinuous("porta", 0, 0, 5, 0.01, "sec", 4);
  EXPECT_STREQ(seconds.GetUnitLabel(), "sec");
  char out[64];
  b.GetDisplayText(2, false, out, sizeof out, false);
  EXPECT_STREQ(out, "2");
}

TEST(PluginParamTest, SetFromNormalizedClampsAboveButNotBelowAndToNormalizedClampsBoth) {
  PluginParam p;
  p.DefineContinuous("x", 0, 0, 1, 0.01, "", 1);
  p.SetFromNormalized(1.5);
  EXPECT_EQ(p.value(), 1.0);
  p.SetFromNormalized(-0.5);
  EXPECT_EQ(p.value(), -0.5);
  // The other way the value is clamped first.
  PluginParam wide;
  wide.DefineContinuous("x", 0, -64, 64, 1, "", 1);
  wide.set_value(100);
  EXPECT_EQ(wide.ToNormalized(), 1.0);
  wide.set_value(-100);
  EXPECT_EQ(wide.ToNormalized(), 0.0);
}

TEST(PluginParamTest, ShapedMappingRoundTrips) {
  PluginParam p;
  p.DefineContinuous("rate", 0, 0, 1, 0.01, "", 4);
  p.SetFromNormalized(0.5);
  EXPECT_DOUBLE_EQ(p.value(), 0.0625);
  EXPECT_NEAR(p.ToNormalized(), 0.5, 1e-12);
  PluginParam root;
  root.DefineContinuous("cut", 0, 0, 1, 0.01, "", 0.5);
  EXPECT_NEAR(root.ToNormalized(std::sqrt(0.5)), 0.5, 1e-12);
  EXPECT_NEAR(root.ToNormalized(0.5), 0.25, 1e-12);
}

TEST(PluginParamTest, DisplayPrecisionFollowsTheStep) {
  PluginParam hundredths;
  hundredths.DefineContinuous("x", 0, 0, 1, 0.01, "", 1);
  EXPECT_EQ(hundredths.display_precision(), 2);
  EXPECT_EQ(Text(hundredths, 0.25), "0.25");
  PluginParam whole;
  whole.DefineContinuous("x", 0, -64, 64, 1, "", 1);
  EXPECT_EQ(whole.display_precision(), 0);
  EXPECT_EQ(Text(whole, -1), "-1");
  EXPECT_EQ(Text(whole, -1.7), "-1");  // truncated toward zero
  PluginParam tiny;
  tiny.DefineContinuous("x", 0, 0, 1, 1e-9, "", 1);
  EXPECT_EQ(tiny.display_precision(), 6);
}

TEST(PluginParamTest, NormalisedDisplayIsNeitherQuantisedNorClamped) {
  PluginParam p;
  p.DefineContinuous("x", 0, 0, 10, 1, "", 1);
  EXPECT_EQ(Text(p, 0.55, true), "5");
  EXPECT_EQ(Text(p, 2.0, true), "20");
}

TEST(PluginParamTest, DisplayTextIsBoundedByTheBuffer) {
  PluginParam p;
  p.DefineContinuous("x", 0, 0, 1e12, 0.01, "", 1);
  char out[8];
  p.GetDisplayText(123456789.25, false, out, sizeof out);
  EXPECT_EQ(std::string(out).size(), 7u);
  EXPECT_EQ(Text(p, 1e300), Text(p, 1e300));  // huge values do not overflow
}

TEST(PluginParamTest, CustomDisplayFunctionAndNegation) {
  PluginParam p;
  p.DefineContinuous("x", 0, -10, 10, 1, "", 1);
  p.set_negate_display(true);
  EXPECT_EQ(Text(p, 3), "-3");
  p.set_display_function([](double v, char* out, int size) {
    snprintf(out, static_cast<size_t>(size), "custom %g", v);
  });
  EXPECT_EQ(Text(p, 3), "custom 3");
}

}  // namespace
}  // namespace vantor
