// The instrument's parameter set: declarations, host names, display texts and info lines.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "core/vantor_params.h"
#include "support/test_plugin.h"

namespace vantor {
namespace {

using testing::TestVantor;

std::string Info(TestVantor& plugin, int index, double value) {
  plugin.Param(index)->set_value(value);
  return InfoLine(plugin, index);
}

// The defaults of the table, index by index, as the instrument's documentation lists them; a
// fresh declaration sets every value to its default (the factory bank then overwrites them).
TEST(ParameterSetTest, EveryParameterIsDeclaredAtItsDefault) {
  const double r2 = std::sqrt(0.5), r3 = std::sqrt(0.75);
  // clang-format off
  const double kDefaults[] = {
      0.25, 0, 23, 1, 0, 1, 0, 0, 0, 1, 0, 0, 2, 0.185, 0.055,    // 0: main .. poly PWM speed
      0.5, -1, 0, 0, 128.2, 0, 1, 0, 0, 0, 0,                     // 15: bank 1
      0.5, 1, 0, 0, 128.2, 0, 1, 0, 0, 0, 0,                      // 26: bank 2
      0, 1, 0, 1, 0, 0, 0, 0, 0, 0.25,                            // 37: filter .. poly volume
      0, 2, 0.5, 0.5, 0, 2, 0.5, r2, 0, 2, 0.5, r3, 0,            // 47: resonators
      0, 0.1, 1, 1, 0, 0, 1, 0,                                   // 60: voice, global envelope
      0, 2, 0, 0, 0, 0, 0, 0, 0.5, 0, 0, 0, 1, 0, 0, 0, 0, 0,     // 68: VCO .. VCF modulation
      0.25, 0, 0, 1, 0, 0.5, 0, 0.5, 0, 0.055,                    // 86: VCA .. LFO
      0, 0, 0, r2, 0, 0.00167, 0.5, 0.5,                          // 96: routing, phaser
      1, 0.0333333, 0.2, 0.05, 0.05, 0.05};                       // 104: ensemble
  // clang-format on
  static_assert(sizeof kDefaults / sizeof kDefaults[0] == kParamCount);
  TestVantor plugin;
  plugin.DeclareParameters();
  for (int i = 0; i < kParamCount; ++i) {
    const PluginParam& p = *plugin.Param(i);
    EXPECT_NE(p.kind(), ParamKind::None) << i;
    EXPECT_DOUBLE_EQ(p.default_value(), kDefaults[i]) << ParamLongName(i);
    EXPECT_EQ(p.value(), p.default_value()) << ParamLongName(i);
  }
  EXPECT_EQ(plugin.Param(-1), nullptr);
  EXPECT_EQ(plugin.Param(110), nullptr);
  // Ranges, precisions, labels and shapes where the table is unusual.
  EXPECT_EQ(plugin.Param(kBank1Fm)->maximum(), 641);
  EXPECT_EQ(plugin.Param(kEnvToFilterFm)->minimum(), -12289);
  EXPECT_EQ(plugin.Param(kEnvToFilterFm)->display_precision(), 2);
  EXPECT_EQ(plugin.Param(kEnvToVcfFm)->display_precision(), 0);
  EXPECT_STREQ(plugin.Param(kVcoPortamento)->unit_label(), "sec");
  EXPECT_EQ(plugin.Param(kVcoPortamento)->shape(), 4);
  EXPECT_EQ(plugin.Param(kFilterCutoff)->shape(), 0.5);
  EXPECT_EQ(FindParamByLongName("Poly -> Poly"), kPolyToPoly);
  EXPECT_EQ(FindParamByLongName("no such"), -1);
}

TEST(ParameterSetTest, HostNamesAreUniqueAndShort) {
  TestVantor plugin;
  std::set<std::string> names;
  for (int i = 0; i < kParamCount; ++i) {
    const std::string name = plugin.Param(i)->name();
    EXPECT_LE(name.size(), 8u) << name;
    EXPECT_TRUE(names.insert(name).second) << "duplicate host name " << name;
  }
  EXPECT_STREQ(plugin.Param(kPolyVolume)->name(), "P:Volume");
  EXPECT_STREQ(plugin.Param(kFilterCutoff)->name(), "P:F Cut");
}

TEST(ParameterSetTest, PolyphonyQuantisesToVoiceCountsAndKeySplitShowsNoteNames) {
  TestVantor plugin;
  PluginParam& polyphony = *plugin.Param(kPolyphony);
  EXPECT_EQ(polyphony.DisplayText(), "61");
  polyphony.SetFromNormalized(0.5);
  EXPECT_EQ(polyphony.value(), 1);
  EXPECT_EQ(polyphony.DisplayText(), "32");

  // Key split names run from C#1 to C6.
  PluginParam& split = *plugin.Param(kKeySplitPoint);
  const std::pair<int, const char*> cases[] = {{0, "C#1"}, {11, "C2"}, {23, "C3"}, {59, "C6"}};
  for (const auto& [value, name] : cases) {
    split.set_value(value);
    EXPECT_EQ(split.DisplayText(), name);
  }
  EXPECT_EQ(NoteName(60), "C3");
  EXPECT_EQ(NoteName(0), "C-2");
  EXPECT_EQ(NoteName(127), "G8");
}

TEST(ParameterSetTest, InfoLinesInEveryFormat) {
  TestVantor plugin;
  // The declared defaults, whatever the first factory program sets.
  for (int index : {kFilterEnvelope, kMainVolume, kBank1Tune})
    plugin.Param(index)->set_value(VantorParamSpec(index).default_value);
  EXPECT_EQ(InfoLine(plugin, kFilterEnvelope), "Filter Envelope: Global");
  EXPECT_EQ(InfoLine(plugin, kMainVolume), "Main Volume: 25%");
  EXPECT_EQ(InfoLine(plugin, kBank1Tune), "Bank 1 Tune: -2%");
  EXPECT_EQ(Info(plugin, kBank1Tune, 0), "Bank 1 Tune: 0%");
  EXPECT_EQ(Info(plugin, kPolyFmSpeed, 0.185), "Poly FM Speed: 5.55Hz");
  EXPECT_EQ(Info(plugin, kFilterCutoff, 1), "Filter Cutoff: 19912Hz");
  EXPECT_EQ(Info(plugin, kFilterCutoff, 0), "Filter Cutoff: 8Hz");
  EXPECT_EQ(Info(plugin, kVcoPortamento, 1.5), "VCO Portamento: 1.50sec");
  EXPECT_EQ(Info(plugin, kVcoTranspose, -3), "VCO Transpose: -3");
  EXPECT_EQ(Info(plugin, kPhaser, 2), "Phaser: Type 2");
  EXPECT_EQ(InfoLine(plugin, 110), "Version 1.3.1.N");
  EXPECT_EQ(InfoLine(plugin, 5000), "Version 1.3.1.N");
  EXPECT_EQ(InfoLine(plugin, -1), "");
}

TEST(ParameterSetTest, InfoLineSurvivesValuesOutsideTheRange) {
  TestVantor plugin;
  for (int i = 0; i < kParamCount; ++i) {
    for (double v : {-1e300, 1e300, std::nan("")}) {
      const std::string line = Info(plugin, i, v);
      EXPECT_LT(line.size(), 64u);
      EXPECT_EQ(line.rfind(ParamLongName(i), 0), 0u) << line;
    }
  }
}

}  // namespace
}  // namespace vantor
