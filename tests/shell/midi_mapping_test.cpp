// MIDI intake of the shell: thru, program change, silencing controllers, learn and unlearn.
#include <gtest/gtest.h>

#include "core/vantor_params.h"
#include "support/test_plugin.h"

namespace vantor {
namespace {

using testing::TestVantor;

MidiMessage Cc(int controller, int value) {
  return {0, 0xB0, static_cast<uint8_t>(controller), static_cast<uint8_t>(value)};
}

// Learns `controller` for `param`: controller first, then the editor's change.
void Learn(TestVantor& plugin, int controller, int param) {
  plugin.StartMidiLearn(false);
  plugin.HandleMidiMessage(Cc(controller, 0));
  plugin.SetParamFromEditor(param, 0.3);
}

TEST(MidiMappingTest, LearnAssignsInEitherOrder) {
  TestVantor a;
  Learn(a, 74, kFilterCutoff);
  EXPECT_EQ(a.controller_map()[74], kFilterCutoff);
  EXPECT_FALSE(a.midi_learn().active);

  TestVantor b;
  b.StartMidiLearn(false);
  b.SetParamFromEditor(kFilterCutoff, 0.5);
  EXPECT_TRUE(b.midi_learn().active);
  b.HandleMidiMessage(Cc(74, 10));
  EXPECT_EQ(b.controller_map()[74], kFilterCutoff);
}

TEST(MidiMappingTest, RelearningMovesTheControllerAndTheParameter) {
  TestVantor plugin;
  Learn(plugin, 7, kMainVolume);
  Learn(plugin, 7, kPhaserMix);
  EXPECT_EQ(plugin.controller_map()[7], kPhaserMix);
  for (int c = 0; c < 120; ++c)
    EXPECT_NE(plugin.controller_map()[c], kMainVolume);
  Learn(plugin, 8, kPhaserMix);
  EXPECT_EQ(plugin.controller_map()[7], -1);  // a parameter has at most one controller
  EXPECT_EQ(plugin.controller_map()[8], kPhaserMix);
}

TEST(MidiMappingTest, UnlearnClearsByControllerOrByParameter) {
  TestVantor plugin;
  plugin.controller_map()[20] = kVcfCutoff;
  plugin.controller_map()[21] = kVcfResonance;
  plugin.StartMidiLearn(true);
  plugin.HandleMidiMessage(Cc(20, 1));
  EXPECT_EQ(plugin.controller_map()[20], -1);
  EXPECT_FALSE(plugin.midi_learn().active);
  plugin.StartMidiLearn(true);
  plugin.SetParamFromEditor(kVcfResonance, 0.2);
  EXPECT_EQ(plugin.controller_map()[21], -1);
  EXPECT_FALSE(plugin.midi_learn().unlearn);
}

TEST(MidiMappingTest, MappedControllerSetsTheParameterAndTellsTheHost) {
  TestVantor plugin;
  plugin.controller_map()[30] = kPolyphony;
  plugin.ApplyQueuedController(30, 64);
  EXPECT_EQ(plugin.Param(kPolyphony)->value(), 1.0);
  plugin.ApplyQueuedController(30, 127);
  EXPECT_EQ(plugin.Param(kPolyphony)->value(), 2.0);
  ASSERT_EQ(plugin.automated.size(), 2u);
  plugin.ApplyQueuedController(30, 127);  // same value: nothing happens
  EXPECT_EQ(plugin.automated.size(), 2u);
  plugin.controller_map()[1] = kMainVolume;  // the mod wheel keeps its engine role
  plugin.ApplyQueuedController(1, 0);
  plugin.controller_map()[31] = 110;  // out of range entries never act
  plugin.ApplyQueuedController(31, 3);
  EXPECT_EQ(plugin.automated.size(), 2u);
}

TEST(MidiMappingTest, ThruSendsEveryMessageAndProgramChangesRecall) {
  TestVantor plugin;
  plugin.set_midi_thru(true);
  plugin.HandleMidiMessage({0, 0xC0, 70, 0});  // beyond the slots: nothing happens
  EXPECT_EQ(plugin.current_program(), 0);
  plugin.HandleMidiMessage({0, 0xC5, 3, 0});
  EXPECT_EQ(plugin.current_program(), 3);
  EXPECT_EQ(plugin.program_notifications, 0);
  plugin.set_ignore_program_change(true);
  plugin.HandleMidiMessage({0, 0xC0, 5, 0});
  EXPECT_EQ(plugin.current_program(), 3);
  plugin.HandleMidiMessage({0, 0xF8, 0, 0});
  plugin.HandleMidiMessage({0, 0xA0, 60, 9});
  EXPECT_EQ(plugin.sent.size(), 5u);
  EXPECT_EQ(plugin.sent[1].status, 0xC5);
}

}  // namespace
}  // namespace vantor
