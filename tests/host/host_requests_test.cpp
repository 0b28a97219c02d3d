// The binding's requests to the host and its MIDI intake, reached directly on an instrument
// object that talks to the test host.
#include <gtest/gtest.h>

#include <vector>

#include "host/host_id.h"
#include "instrument/vantor.h"
#include "plugin_host.h"
#include "support/test_locale.h"

namespace vantor::testing {
namespace {

using namespace vst;

class HostRequestsTest : public ::testing::Test {
 protected:
  HostState host;
  ScopedHost scope{&host};
  Vantor plugin{HostCallback};
};

TEST_F(HostRequestsTest, MidiThroughNullEntriesKeepsOrderAndOffsets) {
  plugin.set_midi_thru(true);
  VstMidiEvent first = Midi(3, 0x90, 60, 100);
  VstMidiEvent second = Midi(17, 0x80, 60, 0);
  EventList list(
      {reinterpret_cast<VstEvent*>(&first), nullptr, reinterpret_cast<VstEvent*>(&second)});
  host.Clear();
  EXPECT_EQ(plugin.Dispatch(effProcessEvents, 0, 0, list.get(), 0.0f), 1);
  ASSERT_EQ(host.midi_out.size(), 2u);
  EXPECT_EQ(host.midi_out[0].deltaFrames, 3);
  EXPECT_EQ(static_cast<uint8_t>(host.midi_out[0].midiData[0]), 0x90);
  EXPECT_EQ(host.midi_out[0].midiData[1], 60);
  EXPECT_EQ(host.midi_out[0].midiData[2], 100);
  EXPECT_EQ(host.midi_out[0].byteSize, 32);
  EXPECT_EQ(host.midi_out[1].deltaFrames, 17);
  EXPECT_EQ(static_cast<uint8_t>(host.midi_out[1].midiData[0]), 0x80);
  // A host that refuses the events is reported as such.
  host.process_events_answer = 0;
  EXPECT_FALSE(plugin.SendMidiMessage(MidiMessage{0, 0x90, 1, 1}));
  host.process_events_answer = 1;
  EXPECT_TRUE(plugin.SendMidiMessage(MidiMessage{0, 0x90, 1, 1}));
  uint8_t dump[] = {0xF0, 0xF7};
  EXPECT_TRUE(plugin.SendSysExMessage(SysExMessage{5, 2, dump}));
}

TEST_F(HostRequestsTest, ParameterEditsAndProgramChangesReachTheHost) {
  host.Clear();
  plugin.BeginParamEdit(12);
  plugin.SetParamFromEditor(12, 0.5);
  plugin.EndParamEdit(12);
  plugin.NotifyProgramChange();
  ASSERT_EQ(host.calls.size(), 4u);
  EXPECT_EQ(host.calls[0].opcode, audioMasterBeginEdit);
  EXPECT_EQ(host.calls[0].index, 12);
  EXPECT_EQ(host.calls[1].opcode, audioMasterAutomate);
  EXPECT_EQ(host.calls[1].index, 12);
  EXPECT_EQ(host.calls[1].opt, 0.5f);
  EXPECT_EQ(host.calls[2].opcode, audioMasterEndEdit);
  EXPECT_EQ(host.calls[3].opcode, audioMasterUpdateDisplay);
}

TEST_F(HostRequestsTest, TimeQueriesUseOnlyValidFields) {
  // No answer from the host.
  EXPECT_EQ(plugin.GetSamplePosition(), 0.0);
  EXPECT_EQ(plugin.GetHostTempo(), 0.0);
  int numerator = 7, denominator = 7;
  plugin.GetTimeSignature(&numerator, &denominator);
  EXPECT_EQ(numerator, 0);
  EXPECT_EQ(denominator, 0);
  TransportInfo info;
  info.tempo = 99.0;
  plugin.GetTransportInfo(&info);
  EXPECT_EQ(info.tempo, 99.0);

  host.answer_time = true;
  host.time.samplePos = 1234.5;
  host.time.tempo = 133.0;
  host.time.timeSigNumerator = 3;
  host.time.timeSigDenominator = 4;
  host.time.ppqPos = 8.5;
  host.time.flags = kVstTransportPlaying;
  // Without validity flags, tempo and signature are not taken, nor is the transport record.
  EXPECT_EQ(plugin.GetSamplePosition(), 1235.0);
  EXPECT_EQ(plugin.GetHostTempo(), 0.0);
  plugin.GetTimeSignature(&numerator, &denominator);
  EXPECT_EQ(numerator, 0);
  plugin.GetTransportInfo(&info);
  EXPECT_FALSE(info.playing);

  host.time.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
  EXPECT_EQ(plugin.GetHostTempo(), 133.0);
  plugin.GetTimeSignature(&numerator, &denominator);
  EXPECT_EQ(numerator, 3);
  EXPECT_EQ(denominator, 4);
  plugin.GetTransportInfo(&info);
  EXPECT_TRUE(info.playing);
  EXPECT_FALSE(info.cycle_active);
  EXPECT_EQ(info.tempo, 133.0);
  EXPECT_EQ(info.ppq_position, 8.5);
  EXPECT_EQ(info.sample_position, 1234.5);
  EXPECT_EQ(info.cycle_end_ppq, 0.0);  // its flag was not set
  host.time.samplePos = -10.0;
  EXPECT_EQ(plugin.GetSamplePosition(), 0.0);

  EXPECT_FALSE(plugin.IsOfflineRendering());
  host.process_level = kVstProcessLevelOffline;
  EXPECT_TRUE(plugin.IsOfflineRendering());
}

// Open asks the host once for product and version; a second open or a later query asks again
// for nothing, and a host without a product name is not asked its version.
TEST_F(HostRequestsTest, IdentificationHappensOnceAtOpen) {
  host.product = "Ardour Live";  // "live" comes before "ardour" in the table
  host.vendor_version = 10301;
  EXPECT_EQ(plugin.host_version(), 0);
  plugin.Dispatch(effOpen, 0, 0, nullptr, 0.0f);
  plugin.Dispatch(effOpen, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(plugin.IdentifyHost(), 9);
  EXPECT_EQ(plugin.host_version(), 0x10301);
  host.product = "Reaper";
  EXPECT_EQ(plugin.IdentifyHost(), 9);
  EXPECT_EQ(plugin.GetApiKind(), 0);
  EXPECT_EQ(host.Count(audioMasterGetProductString), 1);
  EXPECT_EQ(host.Count(audioMasterGetVendorVersion), 1);

  HostState silent;
  silent.product = "";
  ScopedHost silent_scope(&silent);
  Vantor quiet(HostCallback);
  quiet.Dispatch(effOpen, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(silent.Count(audioMasterGetProductString), 1);
  EXPECT_EQ(silent.Count(audioMasterGetVendorVersion), 0);
}

TEST(HostIdTest, ProductFragmentsInTableOrder) {
  EXPECT_EQ(HostIdFromProduct("CUBASE 12"), 3);
  EXPECT_EQ(HostIdFromProduct("Ableton Live 11"), 9);
  EXPECT_EQ(HostIdFromProduct("reaper cubase bridge"), 3);
  EXPECT_EQ(HostIdFromProduct("OpenMPT"), 30);
  EXPECT_EQ(HostIdFromProduct("vsthost"), 0);
  EXPECT_EQ(HostIdFromProduct(""), 0);
  EXPECT_EQ(HostIdFromProduct(nullptr), 0);
  EXPECT_EQ(HostVersionFromDecimal(10301), 0x10301);
  EXPECT_EQ(HostVersionFromDecimal(120003), 0xC0003);
  EXPECT_EQ(HostVersionFromDecimal(0), 0);
  EXPECT_TRUE(HostDisconnectsExtraInputs(15));
  EXPECT_FALSE(HostDisconnectsExtraInputs(16));
}

// Vendors match as whole strings in any case, letter for letter in ASCII: also under a Turkish
// locale, which has no one-byte lower case for 'I' (it is a dotless i), so the C library leaves
// it as it is.
TEST(HostIdTest, ChunkVendorsMatchWholeLowerCasedStringsInAnyLocale) {
  for (const char* locale : {"C", "tr_TR.UTF-8"}) {
    SCOPED_TRACE(locale);
    if (std::string(locale) != "C") {
      ASSERT_EQ(UseLocale(locale), "");
    }
    EXPECT_TRUE(IsProgramChunkOnlyVendor("NATIVE INSTRUMENTS"));
    EXPECT_TRUE(IsProgramChunkOnlyVendor("Native Instruments"));
    EXPECT_TRUE(IsProgramChunkOnlyVendor("Juce VST Host"));
    EXPECT_TRUE(IsProgramChunkOnlyVendor("JUCE VST HOST"));
    EXPECT_FALSE(IsProgramChunkOnlyVendor("Native Instruments GmbH"));
    EXPECT_FALSE(IsProgramChunkOnlyVendor("juce"));
    EXPECT_FALSE(IsProgramChunkOnlyVendor(""));
    EXPECT_FALSE(IsProgramChunkOnlyVendor(nullptr));
    EXPECT_EQ(HostIdFromProduct("ABLETON LIVE"), 9);
    EXPECT_EQ(HostIdFromProduct("RENOISE"), 29);
  }
  UseCLocale();
}

}  // namespace
}  // namespace vantor::testing
