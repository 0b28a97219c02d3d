// Program slots: recall, naming of new slots, and parameter serialization.
#include <gtest/gtest.h>

#include <cstring>

#include "core/vantor_params.h"
#include "support/test_plugin.h"

namespace vantor {
namespace {

using testing::TestVantor;

// Puts every slot back into the state a plug-in object has before its start-up bank.
void ClearSlots(PluginBase& plugin) {
  for (int i = 0; i < PluginBase::kNumPrograms; ++i) {
    plugin.Program(i).initialized = false;
    strcpy(plugin.Program(i).name, "empty");
    plugin.Program(i).state.Clear();
  }
}

TEST(ProgramSlotsTest, RecallingAnUninitialisedSlotCountsUserPresets) {
  TestVantor plugin;
  plugin.Program(5).initialized = false;
  strcpy(plugin.Program(3).name, "user preset 1");
  strcpy(plugin.Program(9).name, "my user preset");
  plugin.Param(kMainVolume)->set_value(0.8);
  ASSERT_TRUE(plugin.RecallProgram(5));
  EXPECT_STREQ(plugin.GetProgramName(5), "user preset 3");
  EXPECT_TRUE(plugin.Program(5).initialized);
  EXPECT_EQ(plugin.current_program(), 5);
  plugin.Param(kMainVolume)->set_value(0.1);
  ASSERT_TRUE(plugin.RecallProgram(5));
  EXPECT_EQ(plugin.Param(kMainVolume)->value(), 0.8);
  EXPECT_FALSE(plugin.RecallProgram(64));
  EXPECT_EQ(plugin.current_program(), 5);
  EXPECT_STREQ(plugin.GetProgramName(64), "");  // slots out of range have no name
  EXPECT_STREQ(plugin.GetProgramName(-1), "");
}

// A raw parameter list loads clamped, unquantised values; a short one ends at its clamped zero.
TEST(ProgramSlotsTest, RawParameterListLoadsClampedUnquantisedValuesAndAShortOneEndsAtZero) {
  TestVantor plugin;
  StateChunk cut;
  cut.PutDouble(0.5);
  cut.PutBytes("abc", 3);  // parameter 1 is cut off
  EXPECT_EQ(plugin.UnserializeParams(cut, 0), -1);
  EXPECT_EQ(plugin.Param(kMainVolume)->value(), 0.5);
  EXPECT_EQ(plugin.Param(kSoftClipping)->value(), 0.0);
  EXPECT_EQ(plugin.Param(kKeySplitPoint)->value(), 23.0);  // untouched

  StateChunk chunk;
  for (int i = 0; i < kParamCount; ++i)
    chunk.PutDouble(i == kFilterCutoff ? 5.0 : 0.375);
  EXPECT_EQ(plugin.UnserializeParams(chunk, 0), 880);
  EXPECT_EQ(plugin.Param(kFilterCutoff)->value(), 1.0);
  EXPECT_EQ(plugin.Param(kPolyphony)->value(), 0.375);  // not rounded to its step
  EXPECT_EQ(plugin.Param(kBank1Tune)->value(), 0.375);
}

TEST(ProgramSlotsTest, PresetsRoundTripAndKeepTheCurrentIndex) {
  TestVantor source;
  ClearSlots(source);
  source.Param(kMainVolume)->set_value(0.7);
  ASSERT_TRUE(source.RecallProgram(2));
  source.ModifyCurrentPreset("Bright");
  StateChunk bank;
  PluginBase::WriteChunkHeader(bank);
  ASSERT_TRUE(source.SerializePresets(bank));

  TestVantor target;
  int p = 0;
  EXPECT_EQ(PluginBase::ReadChunkHeader(bank, &p), PluginBase::kChunkVersion);
  EXPECT_EQ(p, 8);
  EXPECT_EQ(target.UnserializePresets(bank, p), bank.Size());
  EXPECT_STREQ(target.GetProgramName(2), "Bright");
  EXPECT_TRUE(target.Program(2).initialized);
  // The current slot (0) was uninitialised in the bank, so recalling it made a new user preset.
  EXPECT_TRUE(target.Program(0).initialized);
  EXPECT_STREQ(target.GetProgramName(0), "user preset 1");
  EXPECT_FALSE(target.Program(1).initialized);
  EXPECT_EQ(target.current_program(), 0);
  ASSERT_TRUE(target.RecallProgram(2));
  EXPECT_EQ(target.Param(kMainVolume)->value(), 0.7);

  // No header: version 0 and the reading starts at the beginning; a cut header ends it.
  StateChunk none;
  none.PutBytes("xy", 2);
  p = 0;
  EXPECT_EQ(PluginBase::ReadChunkHeader(none, &p), 0);
  EXPECT_EQ(p, 0);
  StateChunk cut;
  cut.PutInt32(PluginBase::kChunkMagic);
  EXPECT_EQ(PluginBase::ReadChunkHeader(cut, &p), 0);
  EXPECT_EQ(p, -1);
}

TEST(ProgramSlotsTest, StateMatchesWithinTolerance) {
  TestVantor plugin;
  std::vector<double> values(2 + kParamCount);
  for (int i = 0; i < kParamCount; ++i)
    values[2 + i] = plugin.Param(i)->value() + 5e-6;
  EXPECT_TRUE(plugin.StateMatches(values.data(), 2));
  values[2 + 40] += 1e-4;
  EXPECT_FALSE(plugin.StateMatches(values.data(), 2));
}

TEST(ProgramSlotsTest, EditorValuesFlowThroughSetParamFromEditor) {
  TestVantor plugin;
  plugin.SetParamFromEditor(kPolyphony, 0.0);
  EXPECT_EQ(plugin.Param(kPolyphony)->value(), 0.0);
  ASSERT_EQ(plugin.automated.size(), 1u);
  EXPECT_EQ(plugin.automated[0].first, kPolyphony);
  EXPECT_EQ(plugin.engine().number_of_voices(), 12);
  plugin.SetParamFromEditor(200, 0.5);  // no such parameter: nothing happens
  EXPECT_EQ(plugin.automated.size(), 1u);
  plugin.PushAllParamsToHost();
  EXPECT_EQ(plugin.automated.size(), 111u);
}

TEST(ProgramSlotsTest, ChannelConfigurationAndIdentity) {
  TestVantor plugin;
  ASSERT_EQ(plugin.channel_config().size(), 2u);
  EXPECT_EQ(plugin.channel_config()[1].outputs, 2);
  EXPECT_FALSE(plugin.LegalIO());
  EXPECT_EQ(plugin.input_pins().size(), 0u);
  EXPECT_EQ(plugin.output_pins().size(), 2u);
  EXPECT_EQ(plugin.output_pins()[0].label, "Vantor ");
  EXPECT_EQ(PluginBase::kUniqueId, 0x564E5138);
  EXPECT_STREQ(plugin.effect_name(), "Vantor");
  EXPECT_STREQ(plugin.maker_name(), "Brenwick");
  plugin.ChangeBlockSize(64);
  EXPECT_EQ(plugin.output_pins()[1].buffer.size(), 64u);
}

}  // namespace
}  // namespace vantor
