// The instrument state and the slot rules, reached directly: tags, short states, clamping,
// refused banks, the "Empty" fill-in and start-up loading.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/vantor_params.h"
#include "core/vantor_state.h"
#include "support/test_plugin.h"

namespace vantor {
namespace {

using testing::TestVantor;

TEST(StateFormatTest, SaveStateWritesTagIndexNameAndValues) {
  TestVantor plugin;
  ASSERT_TRUE(plugin.RecallProgram(2));
  StateChunk chunk;
  ASSERT_TRUE(plugin.SaveState(chunk));
  const std::string name = "Bass: Classic Rezo";
  ASSERT_EQ(chunk.Size(), 12 + 4 + 4 + static_cast<int>(name.size()) + 880);
  EXPECT_EQ(memcmp(chunk.Data(), "Vantor_1.3.1", 12), 0);
  int32_t index = 0;
  EXPECT_EQ(chunk.GetInt32(&index, 12), 16);
  EXPECT_EQ(index, 2);
  std::string stored;
  const int values = chunk.GetString(&stored, 16);
  EXPECT_EQ(stored, name);
  double v = 0;
  chunk.GetDouble(&v, values + 8 * kFilterCutoff);
  EXPECT_EQ(v, plugin.Param(kFilterCutoff)->value());

  // Outside 0 .. 63 the index is kept and the name is empty.
  plugin.set_current_program(70);
  chunk.Clear();
  plugin.SaveState(chunk);
  EXPECT_EQ(chunk.Size(), 12 + 4 + 4 + 880);
}

TEST(StateFormatTest, LoadStateRules) {
  TestVantor plugin;
  // Tag, index and name without values: the first parameter becomes its clamped zero.
  StateChunk header_only;
  AppendVantorState(header_only, 0, "Name", nullptr, 0);
  const double second = plugin.Param(1)->value();
  plugin.Param(kMainVolume)->set_value(0.8);
  EXPECT_EQ(plugin.LoadState(header_only, 0), -1);
  EXPECT_EQ(plugin.Param(kMainVolume)->value(), 0.0);
  EXPECT_EQ(plugin.Param(1)->value(), second);

  // Out of range is clamped, not rounded; a value that is no number takes the minimum.
  std::vector<double> values(kParamCount, 0.0);
  values[kFilterCutoff] = 5.0;
  values[kBank1Tune] = -5.2;
  values[kVcoTune] = -1000.0;
  values[kMainVolume] = std::nan("");
  StateChunk full;
  AppendVantorState(full, 3, "whatever", values.data(), kParamCount);
  EXPECT_EQ(plugin.LoadState(full, 0), full.Size());
  EXPECT_EQ(plugin.Param(kFilterCutoff)->value(), 1.0);
  EXPECT_EQ(plugin.Param(kBank1Tune)->value(), -5.2);
  EXPECT_EQ(plugin.Param(kVcoTune)->value(), -64.0);
  EXPECT_EQ(plugin.Param(kMainVolume)->value(), 0.0);

  // A name length that is negative or runs past the end cannot be skipped.
  StateChunk bad;
  bad.PutBytes("Vantor_1.3.1", 12);
  bad.PutInt32(0);
  bad.PutInt32(-20);
  bad.PutBytes(values.data(), 880);
  EXPECT_EQ(plugin.LoadState(bad, 0), -1);
  // Fewer than 12 bytes is no tag: raw values from the same position.
  StateChunk shorter;
  shorter.PutBytes("Vantor", 6);
  EXPECT_EQ(plugin.LoadState(shorter, 0), -1);
  EXPECT_EQ(SkipVantorStateHeader(shorter, 0), 0);
  EXPECT_EQ(SkipVantorStateHeader(shorter, -1), -1);
}

TEST(StateFormatTest, RefusedBankLeavesEverythingAsItWas) {
  TestVantor plugin;
  ASSERT_TRUE(plugin.RecallProgram(6));
  plugin.Param(kFilterCutoff)->set_value(0.33);
  const ProgramsSnapshot before = plugin.SnapshotPrograms();
  StateChunk bank;
  plugin.SerializePresets(bank);
  bank.Resize(static_cast<size_t>(bank.Size() - 1));  // the last value is cut
  EXPECT_EQ(plugin.UnserializePresets(bank, 0), -1);
  const ProgramsSnapshot after = plugin.SnapshotPrograms();
  EXPECT_EQ(after.values, before.values);
  EXPECT_EQ(after.current_program, 6);
  for (int i = 0; i < PluginBase::kNumPrograms; ++i) {
    EXPECT_STREQ(after.programs[i].name, before.programs[i].name);
    EXPECT_EQ(after.programs[i].state, before.programs[i].state);
    EXPECT_EQ(after.programs[i].initialized, before.programs[i].initialized);
  }
  // The engine is told the restored values, not the ones read before the failure.
  EXPECT_EQ(plugin.Param(kFilterCutoff)->value(), 0.33);
}

TEST(StateFormatTest, BankNamesAreCutToTheSlotAndEmptyForBadLengths) {
  TestVantor plugin;
  StateChunk bank;
  for (int i = 0; i < PluginBase::kNumPrograms; ++i) {
    if (i == 1) {
      bank.PutString(std::string(300, 'a'));
    } else if (i == 2) {
      bank.PutInt32(-5);  // a negative length gives an empty name
    } else {
      bank.PutString("p");
    }
    const uint8_t flag = 0;
    bank.PutBytes(&flag, 1);
  }
  plugin.set_current_program(10);
  EXPECT_EQ(plugin.UnserializePresets(bank, 0), bank.Size());
  EXPECT_EQ(strlen(plugin.GetProgramName(1)), 255u);
  EXPECT_STREQ(plugin.GetProgramName(2), "");
  // The current slot was uninitialised in the bank, so recalling it made a user preset.
  EXPECT_STREQ(plugin.GetProgramName(10), "user preset 1");
  EXPECT_FALSE(plugin.Program(11).initialized);
}

TEST(StateFormatTest, EmptySlotsAreFilledAfterConstruction) {
  TestVantor plugin;
  plugin.Program(4).initialized = false;
  plugin.Program(9).initialized = false;
  plugin.Param(kMainVolume)->set_value(0.61);
  plugin.FillEmptyProgramSlots();
  EXPECT_STREQ(plugin.GetProgramName(4), "Empty");
  EXPECT_STREQ(plugin.GetProgramName(9), "Empty");
  EXPECT_STREQ(plugin.GetProgramName(5), "Mono: Rectomat");
  EXPECT_TRUE(plugin.Program(9).initialized);
  plugin.Param(kMainVolume)->set_value(0.1);
  ASSERT_TRUE(plugin.RecallProgram(9));
  EXPECT_EQ(plugin.Param(kMainVolume)->value(), 0.61);
}

TEST(StateFormatTest, StartUpLoadsTheFactoryBankOfDistinctProgramsAtProgramZero) {
  TestVantor plugin;
  EXPECT_EQ(plugin.current_program(), 0);
  for (int i = 0; i < PluginBase::kNumPrograms; ++i)
    EXPECT_TRUE(plugin.Program(i).initialized) << i;
  EXPECT_STREQ(plugin.GetProgramName(0), "Pad: Fat Strings");
  EXPECT_STREQ(plugin.GetProgramName(63), "Init");
  // Every factory program differs from every other.
  for (int a = 0; a < PluginBase::kNumPrograms; ++a) {
    for (int b = a + 1; b < PluginBase::kNumPrograms; ++b) {
      // Names differ in the states' headers only when slot 0 is current; compare values.
      const StateChunk& sa = plugin.Program(a).state;
      const StateChunk& sb = plugin.Program(b).state;
      ASSERT_EQ(sa.Size(), sb.Size());
      EXPECT_NE(memcmp(sa.Data() + sa.Size() - 880, sb.Data() + sb.Size() - 880, 880), 0)
          << plugin.GetProgramName(a) << " and " << plugin.GetProgramName(b);
    }
  }
  // The parameters are slot 0's.
  EXPECT_TRUE(plugin.RecallProgram(63));
  EXPECT_TRUE(plugin.RecallProgram(0));
  StateChunk slot0;
  plugin.SaveState(slot0);
  EXPECT_EQ(slot0, plugin.Program(0).state);
  // A later factory load keeps the current program.
  ASSERT_TRUE(plugin.RecallProgram(40));
  plugin.LoadFactoryBank();
  EXPECT_EQ(plugin.current_program(), 40);
}

}  // namespace
}  // namespace vantor
