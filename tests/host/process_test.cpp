// Audio and MIDI through the loaded plug-in: the three process callbacks, disconnected outputs,
// MIDI events in and out, and the time queries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/engine_test_util.h"
#include "engine/param_ids.h"
#include "plugin_host.h"

namespace vantor::testing {
namespace {

using namespace vst;

constexpr int kFrames = 512;

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { plugin.Start(44100.0f, kFrames); }

  // Renders one float block with the chosen callback into buffers prefilled with `fill`.
  void RenderFloat(bool accumulate, float fill, std::vector<float>& left, std::vector<float>& right,
                   int frames = kFrames) {
    left.assign(static_cast<size_t>(frames), fill);
    right.assign(static_cast<size_t>(frames), fill);
    float* outputs[2] = {left.data(), right.data()};
    (accumulate ? plugin.effect->process : plugin.effect->processReplacing)(plugin.effect, nullptr,
                                                                            outputs, frames);
  }

  // One untuned 8' sawtooth straight to the output, whatever the factory program holds.
  void PlainSaw() {
    const std::pair<int, float> kSettings[] = {
        {kBank1Volume, 0.5f},    {kBank1Tune, 0.5f},      {kBank1Fm, 0.0f},
        {kBank2Volume, 0.0f},    {kFilterMode, 0.0f},     {kAmpEnvelope, 0.0f},
        {kVoiceEnvAttack, 0.0f}, {kVoiceEnvDecay, 0.1f},  {kVoiceEnvSustain, 1.0f},
        {kPolyLower, 1.0f},      {kPolyUpper, 1.0f},      {kResonators, 0.0f},
        {kPhaser, 0.0f},         {kPolyVolume, 0.5f},     {kMainVolume, 0.5f},
        {kPolyToEnsemble, 0.0f}, {kMonoToEnsemble, 0.0f}, {kMonoLower, 0.0f},
        {kMonoUpper, 0.0f},      {kMonoVolume, 0.0f},     {kGlobalEnvRelease, 0.0f}};
    for (auto [index, value] : kSettings)
      plugin.Set(index, value);
    for (int f = 0; f < 6; ++f)
      plugin.Set(kBank1Saw16 + f, f == 1 ? 1.0f : 0.0f);
  }

  // The peak level of the next `blocks` blocks.
  float Peak(int blocks) {
    std::vector<float> left, right;
    float peak = 0.0f;
    for (int b = 0; b < blocks; ++b) {
      RenderFloat(false, 0.0f, left, right);
      for (int i = 0; i < kFrames; ++i)
        peak = std::max({peak, std::fabs(left[static_cast<size_t>(i)]),
                         std::fabs(right[static_cast<size_t>(i)])});
    }
    return peak;
  }

  // What a host does when audio restarts at another sample rate.
  void Restart(float rate) {
    plugin.Dispatch(effMainsChanged, 0, 0);
    plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    plugin.Dispatch(effMainsChanged, 0, 1);
  }

  HostState host;
  Instance plugin{&host};
};

// Two instances set up alike must render alike; each callback's relation to the others is what
// is checked, whatever the engine plays.
TEST_F(ProcessTest, ReplacingOverwritesAccumulatingAddsDoubleWorksInPlace) {
  HostState twin_host;
  Instance twin(&twin_host);
  Instance third(&twin_host);
  for (Instance* p : {&twin, &third})
    p->Start(44100.0f, kFrames);
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

// Blocks of the announced length and longer ones have every sample of both channels written and
// finite, and empty blocks are safe; rendering asks the host for MIDI.
TEST_F(ProcessTest, BlocksOfAnyLengthAreWrittenFiniteAndAskForMidi) {
  const auto written = [](const std::vector<float>& samples) {
    return std::all_of(samples.begin(), samples.end(),
                       [](float v) { return std::isfinite(v) && v != 0.5f; });
  };
  std::vector<float> left, right;
  RenderFloat(false, 0.5f, left, right);
  EXPECT_TRUE(written(left) && written(right));
  EXPECT_GE(host.Count(audioMasterWantMidi), 1);
  plugin.Dispatch(effSetBlockSize, 0, 64);
  RenderFloat(false, 0.5f, left, right, 1000);  // rendered in pieces of 64
  EXPECT_TRUE(written(left) && written(right));
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
  // A program change in the stream selects the program (the host is not told, nor is it echoed);
  // one beyond the 64 slots selects nothing.
  host.Clear();
  plugin.SendMidi({Midi(0, 0xC0, 63, 0)});
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 63);
  EXPECT_EQ(host.Count(audioMasterUpdateDisplay), 0);
  EXPECT_TRUE(host.midi_out.empty());
  plugin.SendMidi({Midi(0, 0xC0, 70, 0)});
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 63);
}

// A note through the loaded plug-in: it starts at the control tick nearest its offset and
// sounds at its equal-tempered pitch.
TEST_F(ProcessTest, NotesSoundAtTheirTimeAndPitch) {
  PlainSaw();
  plugin.SendMidi({Midi(100, 0x90, 69, 100)});
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

// Thousands of controller messages in one block fill the MIDI queue; what ends a note still
// arrives: superseded pressure, bend and controller values and repeated pedal states (of a
// continuous pedal) give way, never a note-off or a pedal change; all notes off acts at once.
TEST_F(ProcessTest, AFloodOfControllerDataNeverLosesTheEndOfANote) {
  PlainSaw();
  const std::pair<uint8_t, uint8_t> kFloods[] = {
      {0xD0, 0}, {0xE0, 0}, {0xB2, 20}, {0xB0, 1}, {0xB0, 64}};
  for (auto [status, controller] : kFloods) {
    for (bool all_notes_off : {false, true}) {
      SCOPED_TRACE(::testing::Message()
                   << "flood of " << int(status) << ", all notes off " << all_notes_off);
      plugin.SendMidi({Midi(0, 0x90, 60, 100), Midi(0, 0xB0, 64, 127)});
      EXPECT_GT(Peak(1), 0.01f);
      std::vector<VstMidiEvent> flood;
      for (int i = 0; i < 6000; ++i) {
        const auto value = static_cast<uint8_t>(i % 128);
        flood.push_back(Midi(i * 400 / 6000, status, controller ? controller : value, value));
      }
      if (all_notes_off) {
        flood.push_back(Midi(450, 0xB0, 123, 0));
      } else {
        flood.push_back(Midi(450, 0x80, 60, 0));
        flood.push_back(Midi(500, 0xB0, 64, 0));  // the pedal lets the note go
      }
      plugin.SendMidi(flood);
      Peak(40);  // the release of the voice envelope and the gate
      EXPECT_EQ(Peak(1), 0.0f) << "the note hangs";
    }
  }
}

// A restart at another rate silences every voice; a key or pedal whose release was lost with it
// must not keep counting: the global envelope then releases the notes played after it.
TEST_F(ProcessTest, ARestartAtANewRateForgetsHeldKeysAndThePedal) {
  PlainSaw();
  plugin.Set(kAmpEnvelope, 0.5f);       // Global: that envelope shapes and ends the notes
  plugin.Set(kGlobalEnvRelease, 0.5f);  // 0.9 s
  float rate = 44100.0f;
  for (uint8_t held : {uint8_t{0xB0}, uint8_t{0x90}}) {
    SCOPED_TRACE(held == 0x90 ? "a key held" : "the pedal down");
    plugin.SendMidi({held == 0x90 ? Midi(0, 0x90, 48, 100) : Midi(0, 0xB0, 64, 127)});
    Peak(1);
    rate = rate == 44100.0f ? 48000.0f : 44100.0f;
    Restart(rate);
    plugin.SendMidi({Midi(0, 0x90, 60, 100), Midi(200, 0x80, 60, 0)});
    EXPECT_GT(Peak(1), 0.01f);
    Peak(8);
    // A key still counted would close the note's gate 24 ticks after its release.
    EXPECT_GT(Peak(2), 0.01f) << "the global release is cut short";
    Peak(100);
    EXPECT_EQ(Peak(1), 0.0f) << "the global envelope never releases";
  }
}

// The mono filter starts at rest: starting or restarting audio with the VCA held open and
// nothing feeding the filter is silence, not a click.
TEST_F(ProcessTest, StartingAudioWithTheMonoVcaOpenDoesNotClick) {
  PlainSaw();
  const std::pair<int, float> kOpenVca[] = {
      {kVcaEnvelope, 1.0f}, {kMonoVolume, 1.0f}, {kVcoToVcf, 0.0f},    {kSubOscToVcf, 0.0f},
      {kNoiseToVcf, 0.0f},  {kMainVolume, 1.0f}, {kVcfResonance, 0.5f}};
  for (auto [index, value] : kOpenVca)
    plugin.Set(index, value);
  for (float rate : {48000.0f, 96000.0f, 44100.0f}) {
    Restart(rate);
    EXPECT_LT(Peak(4), 1e-6f) << rate;  // only the filter's denormal offsets
  }
}

}  // namespace
}  // namespace vantor::testing
