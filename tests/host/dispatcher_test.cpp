// The loaded plug-in as a host sees it: identity, counts, opcodes, names and host strings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "engine/param_ids.h"
#include "plugin_host.h"

namespace vantor::testing {
namespace {

using namespace vst;

class DispatcherTest : public ::testing::Test {
 protected:
  HostState host;
  Instance plugin{&host};
};

TEST_F(DispatcherTest, RecordTellsIdentityCountsAndAbilities) {
  AEffect* e = plugin.effect;
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->magic, kEffectMagic);
  EXPECT_EQ(e->numPrograms, 64);
  EXPECT_EQ(e->numParams, 110);
  EXPECT_EQ(e->numInputs, 0);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->flags & ~effFlagsHasEditor, effFlagsCanReplacing | effFlagsProgramChunks |
                                               effFlagsCanDoubleReplacing | effFlagsIsSynth);
  EXPECT_EQ(e->uniqueID, FourCC('V', 'N', 'Q', '8'));
  EXPECT_EQ(e->version, 10301);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_NE(e->process, nullptr);
  EXPECT_NE(e->processReplacing, nullptr);
  EXPECT_NE(e->processDoubleReplacing, nullptr);
  EXPECT_EQ(plugin.Dispatch(effGetVendorVersion), 10301);
  EXPECT_EQ(plugin.Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(plugin.Dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(plugin.Dispatch(effGetPlugCategory), kPlugCategSynth);
  EXPECT_EQ(plugin.Dispatch(effGetTailSize), 0);
  EXPECT_EQ(plugin.Dispatch(effProcessVarIo), 0);
  EXPECT_EQ(plugin.Dispatch(effCanBeAutomated, 109), 1);
  for (int opcode : {70, 71, 72, 77, 78, 79, 200, -1})
    EXPECT_EQ(plugin.Dispatch(opcode, 1, 1, nullptr, 1.0f), 0) << opcode;
}

TEST_F(DispatcherTest, NamesAndStringsFitTheirBuffers) {
  char buffer[300];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(plugin.Dispatch(effGetEffectName, 0, 0, buffer), 1);
  EXPECT_STREQ(buffer, "Vantor");
  EXPECT_EQ(plugin.Dispatch(effGetVendorString, 0, 0, buffer), 1);
  EXPECT_STREQ(buffer, "Brenwick");
  EXPECT_EQ(plugin.Dispatch(effGetProductString, 0, 0, buffer), 1);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(plugin.Dispatch(effGetVendorString), 0);

  // A program name of 255 characters is cut to the 64 bytes a host passes.
  std::string long_name(255, 'n');
  plugin.Dispatch(effSetProgramName, 0, 0, long_name.data());
  memset(buffer, 'x', sizeof buffer);
  plugin.Dispatch(effGetProgramName, 0, 0, buffer);
  EXPECT_EQ(strlen(buffer), 63u);
  EXPECT_EQ(buffer[64], 'x');
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(plugin.Dispatch(effGetProgramNameIndexed, 0, 0, buffer), 1);
  EXPECT_EQ(strlen(buffer), 63u);
  EXPECT_EQ(buffer[64], 'x');
  // A UTF-8 character across the cut goes as a whole: no broken byte reaches the host.
  std::string accented = std::string(62, 'n') + "\xc3\xa9" + std::string(20, 'n');
  plugin.Dispatch(effSetProgramName, 0, 0, accented.data());
  plugin.Dispatch(effGetProgramName, 0, 0, buffer);
  EXPECT_EQ(std::string(buffer), std::string(62, 'n'));
}

TEST_F(DispatcherTest, ParameterNamesLabelsAndDisplays) {
  EXPECT_EQ(plugin.ParamText(effGetParamName, kFilterCutoff), "P:F Cut");
  EXPECT_EQ(plugin.ParamText(effGetParamName, kVcoPortamento), "M:Porta");
  EXPECT_EQ(plugin.ParamText(effGetParamLabel, kVcoPortamento), "sec");
  // An enumerated parameter shows its text and no label.
  plugin.Set(kFilterMode, 1.0f);
  EXPECT_EQ(plugin.ParamText(effGetParamDisplay, kFilterMode), "Bandpass");
  EXPECT_EQ(plugin.ParamText(effGetParamLabel, kFilterMode), "");
  plugin.Set(kMainVolume, 0.25f);
  EXPECT_EQ(plugin.ParamText(effGetParamDisplay, kMainVolume), "0.25");
  // Invalid indices leave the buffer alone.
  char buffer[8] = "keep";
  plugin.Dispatch(effGetParamName, 110, 0, buffer);
  plugin.Dispatch(effGetParamDisplay, -1, 0, buffer);
  EXPECT_STREQ(buffer, "keep");
  // Vendor-specific 7 formats a normalised value; 8 tells stepped parameters.
  char text[64] = {};
  EXPECT_EQ(plugin.Dispatch(effVendorSpecific, 7, kFilterMode, text, 1.0f), 0xBEEF);
  EXPECT_STREQ(text, "Bandpass");
  EXPECT_EQ(plugin.Dispatch(effVendorSpecific, 7, 500, text, 1.0f), 0xBEEF);
  EXPECT_EQ(plugin.Dispatch(effVendorSpecific, 7, kFilterMode, nullptr, 1.0f), 0);
  EXPECT_EQ(plugin.Dispatch(effVendorSpecific, 8, kFilterMode), 0xBEEF);
  EXPECT_EQ(plugin.Dispatch(effVendorSpecific, 8, kFilterCutoff), 0);
  EXPECT_EQ(plugin.Dispatch(effVendorSpecific, 9, kFilterMode), 0);
}

TEST_F(DispatcherTest, StringToParameter) {
  // Display texts must match exactly.
  EXPECT_EQ(plugin.Dispatch(effString2Parameter, kFilterMode, 0, const_cast<char*>("Highpass")), 1);
  EXPECT_EQ(plugin.ParamText(effGetParamDisplay, kFilterMode), "Highpass");
  EXPECT_EQ(plugin.Dispatch(effString2Parameter, kFilterMode, 0, const_cast<char*>("highpass")), 0);
  EXPECT_EQ(plugin.ParamText(effGetParamDisplay, kFilterMode), "Highpass");
  // Numbers are clamped to the range; a number that is none is refused.
  EXPECT_EQ(plugin.Dispatch(effString2Parameter, kBank1Tune, 0, const_cast<char*>("99")), 1);
  EXPECT_EQ(plugin.ParamText(effGetParamDisplay, kBank1Tune), "64");
  EXPECT_EQ(plugin.Dispatch(effString2Parameter, kBank1Tune, 0, const_cast<char*>("-3.7")), 1);
  EXPECT_EQ(plugin.ParamText(effGetParamDisplay, kBank1Tune), "-3");
  EXPECT_EQ(plugin.Dispatch(effString2Parameter, kBank1Tune, 0, const_cast<char*>("nan")), 0);
  EXPECT_EQ(plugin.ParamText(effGetParamDisplay, kBank1Tune), "-3");
  EXPECT_EQ(plugin.Dispatch(effString2Parameter, kBank1Tune, 0, nullptr), 1);
  EXPECT_EQ(plugin.Dispatch(effString2Parameter, 110, 0, const_cast<char*>("1")), 0);
}

TEST_F(DispatcherTest, ProgramsAreNamedSwitchedAndRenamed) {
  EXPECT_EQ(plugin.ProgramName(0), "Pad: Fat Strings");
  EXPECT_EQ(plugin.ProgramName(1), "Pad: Nag Pulse");
  EXPECT_EQ(plugin.ProgramName(2), "Bass: Classic Rezo");
  EXPECT_EQ(plugin.ProgramName(63), "Init");
  char name[64] = "x";
  EXPECT_EQ(plugin.Dispatch(effGetProgramNameIndexed, 64, 0, name), 0);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(plugin.Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);

  EXPECT_EQ(plugin.Dispatch(effGetProgram), 0);
  plugin.Set(kMainVolume, 0.9f);  // an edit of program 0, kept when leaving it
  plugin.Dispatch(effSetProgram, 0, 63);
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 63);
  EXPECT_FLOAT_EQ(plugin.Get(kMainVolume), 0.25f);
  plugin.Dispatch(effSetProgram, 0, 64);  // no such program: stays
  plugin.Dispatch(effSetProgram, 0, intptr_t{1} << 40);
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 63);
  plugin.Dispatch(effSetProgram, 0, 0);
  EXPECT_FLOAT_EQ(plugin.Get(kMainVolume), 0.9f);

  plugin.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Mine"));
  EXPECT_EQ(plugin.ProgramName(0), "Mine");
  char current[64];
  plugin.Dispatch(effGetProgramName, 0, 0, current);
  EXPECT_STREQ(current, "Mine");
}

TEST_F(DispatcherTest, PinsAndSpeakerArrangements) {
  VstPinProperties pin{};
  ASSERT_EQ(plugin.Dispatch(effGetOutputProperties, 0, 0, &pin), 1);
  EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
  EXPECT_STREQ(pin.label, "Vantor ");
  ASSERT_EQ(plugin.Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_EQ(pin.flags, kVstPinIsActive);
  EXPECT_STREQ(pin.label, "Vantor ");
  EXPECT_EQ(plugin.Dispatch(effGetOutputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(plugin.Dispatch(effGetOutputProperties, -1, 0, &pin), 0);
  EXPECT_EQ(plugin.Dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
  EXPECT_EQ(plugin.Dispatch(effGetInputProperties, 0, 0, &pin), 0);

  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(plugin.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(in->type, kSpeakerArrEmpty);
  EXPECT_EQ(in->numChannels, 0);
  EXPECT_EQ(out->type, kSpeakerArrStereo);
  EXPECT_EQ(out->numChannels, 2);
  EXPECT_EQ(plugin.Dispatch(effSetSpeakerArrangement), 1);
}

TEST_F(DispatcherTest, CanDoAnswers) {
  for (const char* yes : {"receiveVstTimeInfo", "sendVstEvents", "sendVstMidiEvent",
                          "receiveVstEvents", "receiveVstMidiEvent"}) {
    EXPECT_EQ(plugin.Dispatch(effCanDo, 0, 0, const_cast<char*>(yes)), 1) << yes;
  }
  for (const char* no : {"ReceiveVstTimeInfo", "offline", "", "receiveVstMidiEvents"})
    EXPECT_EQ(plugin.Dispatch(effCanDo, 0, 0, const_cast<char*>(no)), 0) << no;
  EXPECT_EQ(plugin.Dispatch(effCanDo), 0);
  MidiKeyName key{};
  key.thisKeyNumber = 60;
  strcpy(key.keyName, "stale");
  EXPECT_EQ(plugin.Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_STREQ(key.keyName, "");
}

TEST_F(DispatcherTest, ParametersThroughTheCallbacks) {
  plugin.Set(kFilterCutoff, 0.5f);
  EXPECT_FLOAT_EQ(plugin.Get(kFilterCutoff), 0.5f);
  // Enumerated parameters land on their steps: 4 modes, 0.5 -> 2.
  plugin.Set(kFilterMode, 0.5f);
  EXPECT_EQ(plugin.ParamText(effGetParamDisplay, kFilterMode), "Highpass");
  EXPECT_FLOAT_EQ(plugin.Get(kFilterMode), 2.0f / 3.0f);
  EXPECT_EQ(plugin.Get(110), 0.0f);
  EXPECT_EQ(plugin.Get(-1), 0.0f);
  const float before = plugin.Get(0);
  plugin.Set(-1, 0.9f);
  plugin.Set(110, 0.9f);
  EXPECT_EQ(plugin.Get(0), before);
  // Values a host should never send are held to 0 .. 1 or ignored.
  plugin.Set(kFilterCutoff, 7.0f);
  EXPECT_EQ(plugin.Get(kFilterCutoff), 1.0f);
  plugin.Set(kFilterCutoff, std::nanf(""));
  EXPECT_EQ(plugin.Get(kFilterCutoff), 1.0f);
  // Values from the host are not sent back to it.
  EXPECT_EQ(host.Count(audioMasterAutomate), 0);
}

TEST_F(DispatcherTest, HostSettingsAndLifecycle) {
  EXPECT_EQ(plugin.Dispatch(effOpen), 0);
  EXPECT_EQ(plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
  EXPECT_EQ(plugin.Dispatch(effSetBlockSize, 0, 256), 0);
  // Wild values are not taken and cannot exhaust memory.
  EXPECT_EQ(plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, std::nanf("")), 0);
  EXPECT_EQ(plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, 1e30f), 0);
  EXPECT_EQ(plugin.Dispatch(effSetBlockSize, 0, -5), 0);
  EXPECT_EQ(plugin.Dispatch(effSetBlockSize, 0, intptr_t{1} << 40), 0);
  EXPECT_EQ(plugin.Dispatch(effMainsChanged, 0, 1), 0);
  EXPECT_EQ(plugin.Dispatch(effMainsChanged, 0, 0), 0);
  EXPECT_EQ(plugin.Dispatch(effEditIdle), 0);
  EXPECT_EQ(plugin.Dispatch(effIdle), 0);
  VstEvents none{};
  EXPECT_EQ(plugin.Dispatch(effProcessEvents, 0, 0, &none), 1);
  EXPECT_EQ(plugin.Dispatch(effProcessEvents), 0);
  // A record whose object is gone answers nothing.
  AEffect orphan = *plugin.effect;
  orphan.object = nullptr;
  EXPECT_EQ(orphan.dispatcher(&orphan, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(orphan.getParameter(&orphan, 0), 0.0f);
}

TEST(EntryPointTest, MainIsTheSameEntryAndInstancesAreIndependent) {
  AEffect* a = PluginEntry("main")(HostCallback);
  AEffect* b = PluginEntry("VSTPluginMain")(HostCallback);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(a->uniqueID, b->uniqueID);
  a->setParameter(a, kMainVolume, 1.0f);
  EXPECT_EQ(a->getParameter(a, kMainVolume), 1.0f);
  EXPECT_NE(b->getParameter(b, kMainVolume), 1.0f);
  EXPECT_EQ(a->dispatcher(a, effClose, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(b->dispatcher(b, effClose, 0, 0, nullptr, 0.0f), 0);
}

}  // namespace
}  // namespace vantor::testing
