// Audio and MIDI through the loaded plug-in: the three process callbacks, disconnected outputs,
// MIDI events in and out, and the time queries.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/engine_test_util.h"
#include "engine/param_ids.h"
#include "plugin_host.h"

namespace vantor::testing {
namespace {

using namespace vst;

constexpr int kFrames = 512;

// A VstEvents list of any length.
struct EventList {
  explicit EventList(std::vector<VstEvent*> events)
      : storage(sizeof(VstEvents) + events.size() * sizeof(VstEvent*)) {
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = static_cast<int32_t>(events.size());
    for (size_t i = 0; i < events.size(); ++i)
      list->events[i] = events[i];
  }
  VstEvents* get() { return reinterpret_cast<VstEvents*>(storage.data()); }
  std::vector<uint8_t> storage;
};

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin.Dispatch(effOpen);
    plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    plugin.Dispatch(effSetBlockSize, 0, kFrames);
    plugin.Dispatch(effMainsChanged, 0, 1);
  }

  // Renders one float block with the chosen callback into buffers prefilled with `fill`.
  void RenderFloat(bool accumulate, float fill, std::vector<float>& left, std::vector<float>& right,
                   int frames = kFrames) {
    left.assign(static_cast<size_t>(frames), fill);
    right.assign(static_cast<size_t>(frames), fill);
    float* outputs[2] = {left.data(), right.data()};
    (accumulate ? plugin.effect->process : plugin.effect->processReplacing)(plugin.effect, nullptr,
                                                                            outputs, frames);
  }

  HostState host;
  Instance plugin{&host};
};

TEST_F(ProcessTest, FloatBlocksAreFiniteAndAskForMidi) {
  std::vector<float> left, right;
  RenderFloat(false, 0.5f, left, right);
  for (int i = 0; i < kFrames; ++i) {
    ASSERT_TRUE(std::isfinite(left[i]));
    ASSERT_TRUE(std::isfinite(right[i]));
  }
  EXPECT_GE(host.Count(audioMasterWantMidi), 1);
}

// Two instances set up alike must render alike; each callback's relation to the others is what
// is checked, whatever the engine plays.
TEST_F(ProcessTest, ReplacingOverwritesAccumulatingAddsDoubleWorksInPlace) {
  HostState twin_host;
  Instance twin(&twin_host);
  Instance third(&twin_host);
  for (Instance* p : {&twin, &third}) {
    p->Dispatch(effOpen);
    p->Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    p->Dispatch(effSetBlockSize, 0, kFrames);
    p->Dispatch(effMainsChanged, 0, 1);
  }
  VstMidiEvent on = Midi(0, 0x90, 60, 100);
  for (Instance* p : {&plugin, &twin, &third}) {
    EventList events({reinterpret_cast<VstEvent*>(&on)});
    p->Dispatch(effProcessEvents, 0, 0, events.get());
  }
  std::vector<float> replaced_l(kFrames, 0.25f), replaced_r(kFrames, 0.25f);
  float* r_out[2] = {replaced_l.data(), replaced_r.data()};
  plugin.effect->processReplacing(plugin.effect, nullptr, r_out, kFrames);

  std::vector<float> added_l(kFrames, 0.25f), added_r(kFrames, 0.25f);
  float* a_out[2] = {added_l.data(), added_r.data()};
  twin.effect->process(twin.effect, nullptr, a_out, kFrames);

  std::vector<double> double_l(kFrames, 0.25), double_r(kFrames, 0.25);
  double* d_out[2] = {double_l.data(), double_r.data()};
  third.effect->processDoubleReplacing(third.effect, nullptr, d_out, kFrames);

  for (int i = 0; i < kFrames; ++i) {
    EXPECT_EQ(added_l[i], 0.25f + replaced_l[i]) << i;
    EXPECT_EQ(added_r[i], 0.25f + replaced_r[i]) << i;
    EXPECT_EQ(replaced_l[i], static_cast<float>(double_l[i])) << i;
    EXPECT_EQ(replaced_r[i], static_cast<float>(double_r[i])) << i;
  }
}

TEST_F(ProcessTest, DisconnectedOutputReceivesNothing) {
  VstSpeakerArrangement mono{};
  mono.type = kSpeakerArrMono;
  mono.numChannels = 1;
  ASSERT_EQ(plugin.Dispatch(effSetSpeakerArrangement, 0, 0, &mono), 1);
  // Only one host pointer is consumed; the second channel renders into its own scratch.
  std::vector<float> left(kFrames, 0.5f), guard(kFrames, 0.5f);
  float* outputs[2] = {left.data(), guard.data()};
  plugin.effect->processReplacing(plugin.effect, nullptr, outputs, kFrames);
  for (float v : guard)
    ASSERT_EQ(v, 0.5f);
  std::vector<double> dleft(kFrames, 0.5), dguard(kFrames, 0.5);
  double* doutputs[2] = {dleft.data(), dguard.data()};
  plugin.effect->processDoubleReplacing(plugin.effect, nullptr, doutputs, kFrames);
  for (double v : dguard)
    ASSERT_EQ(v, 0.5);
  // A null host pointer for a connected channel is skipped, not written through.
  VstSpeakerArrangement stereo{};
  stereo.numChannels = 2;
  plugin.Dispatch(effSetSpeakerArrangement, 0, 0, &stereo);
  float* holes[2] = {left.data(), nullptr};
  plugin.effect->processReplacing(plugin.effect, nullptr, holes, kFrames);
}

TEST_F(ProcessTest, BlocksLongerThanAnnouncedAndEmptyBlocksAreSafe) {
  plugin.Dispatch(effSetBlockSize, 0, 64);
  std::vector<float> left, right;
  RenderFloat(false, 0.5f, left, right, 1000);  // rendered in pieces of 64
  for (float v : left)
    ASSERT_TRUE(std::isfinite(v) && v != 0.5f);
  RenderFloat(true, 0.5f, left, right, 0);
  float* out_float[2] = {left.data(), right.data()};
  plugin.effect->process(plugin.effect, nullptr, out_float, -3);
  std::vector<double> dl(1000, 0.5), dr(1000, 0.5);
  double* out[2] = {dl.data(), dr.data()};
  plugin.effect->processDoubleReplacing(plugin.effect, nullptr, out, 1000);
  for (double v : dl)
    ASSERT_NE(v, 0.5);
}

TEST_F(ProcessTest, EventListsWithNullEntriesAndSysExAreWalked) {
  VstMidiEvent first = Midi(3, 0x90, 60, 100);
  VstMidiEvent second = Midi(17, 0x80, 60, 0);
  VstMidiSysexEvent sysex{};
  sysex.type = kVstSysExType;
  sysex.byteSize = sizeof sysex;
  char dump[] = {char(0xF0), 0x7D, char(0xF7)};
  sysex.dumpBytes = 3;
  sysex.sysexDump = dump;
  EventList events({reinterpret_cast<VstEvent*>(&first), nullptr,
                    reinterpret_cast<VstEvent*>(&sysex), reinterpret_cast<VstEvent*>(&second)});
  // MIDI thru is off by default: the events go to the instrument only.
  EXPECT_EQ(plugin.Dispatch(effProcessEvents, 0, 0, events.get()), 1);
  EXPECT_TRUE(host.midi_out.empty());
  // A program change in the stream selects the program (the host is not told).
  host.Clear();
  VstMidiEvent change = Midi(0, 0xC0, 63, 0);
  EventList program({reinterpret_cast<VstEvent*>(&change)});
  plugin.Dispatch(effProcessEvents, 0, 0, program.get());
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 63);
  EXPECT_EQ(host.Count(audioMasterUpdateDisplay), 0);
}

// A note through the loaded plug-in: it starts at the control tick nearest its offset and
// sounds at its equal-tempered pitch.
TEST_F(ProcessTest, NotesSoundAtTheirTimeAndPitch) {
  // One untuned 8' sawtooth straight to the output, whatever the factory program holds.
  const std::pair<int, float> kSettings[] = {
      {kBank1Volume, 0.5f}, {kBank1Tune, 0.5f},   {kBank1Fm, 0.0f},        {kBank2Volume, 0.0f},
      {kFilterMode, 0.0f},  {kAmpEnvelope, 0.0f}, {kVoiceEnvAttack, 0.0f}, {kVoiceEnvSustain, 1.0f},
      {kPolyLower, 1.0f},   {kPolyUpper, 1.0f},   {kResonators, 0.0f},     {kPhaser, 0.0f},
      {kPolyVolume, 0.5f},  {kMainVolume, 0.5f},  {kPolyToEnsemble, 0.0f}};
  for (auto [index, value] : kSettings)
    plugin.Set(index, value);
  for (int f = 0; f < 6; ++f)
    plugin.Set(kBank1Saw16 + f, f == 1 ? 1.0f : 0.0f);

  VstMidiEvent on = Midi(100, 0x90, 69, 100);
  EventList events({reinterpret_cast<VstEvent*>(&on)});
  plugin.Dispatch(effProcessEvents, 0, 0, events.get());
  std::vector<float> left, right;
  RenderFloat(false, 0.0f, left, right);
  int onset = -1;
  for (int i = 0; i < kFrames && onset < 0; ++i) {
    if (left[static_cast<size_t>(i)] != 0.0f) onset = i;
  }
  EXPECT_EQ(onset, 88);  // 44 samples a tick: 100 is nearest the tick at 88

  std::vector<double> held;
  for (int block = 0; block < 22; ++block) {
    RenderFloat(false, 0.0f, left, right);
    held.insert(held.end(), left.begin(), left.end());
  }
  const double measured = PeakFrequency(held, 440.0, 44100.0, 10.0);
  EXPECT_NEAR(1200.0 * std::log2(measured / 440.0), 0.0, 1.0);
}

}  // namespace
}  // namespace vantor::testing
