// Vantor.lv2 under lilv against Vantor.so under a VST host: the same MIDI file renders the same
// audio for factory programs, presets, MIDI program changes, port automation and saved state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "host/plugin_host.h"
#include "lv2/lilv_host.h"
#include "support/test_home.h"
#include "tools/smf_builder.h"
#include "tools/vsthost/midi_file.h"

namespace vantor::testing {
namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 256;
constexpr int kMaxBlock = 4096;  // both hosts announce it, so both size the engine alike
constexpr int64_t kFrames = static_cast<int64_t>(kRate * 3.5);

// A type 1 file: a tempo map track (120 BPM, then 100 from beat 4) and a track of chords across
// the split, a held bass note, pitch bend, mod wheel, sustain pedal and a system-exclusive
// message, at 480 ticks per quarter note.
std::vector<uint8_t> SongFile() {
  using vsthost::test::TrackBuilder;
  TrackBuilder tempo;
  tempo.Tempo(0, 500000).Tempo(1440, 600000).End();
  // Absolute ticks, turned into the deltas the file stores.
  const std::vector<std::pair<uint32_t, std::vector<uint8_t>>> events = {
      {0, {0xB0, 0x01, 0x00}},   {10, {0x90, 36, 110}},
      {10, {0x90, 60, 100}},     {10, {0x90, 64, 90}},
      {10, {0x90, 67, 80}},      {300, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
      {480, {0xE0, 0x00, 0x58}}, {480, {0xB0, 0x01, 0x50}},
      {500, {0x90, 72, 127}},    {900, {0x80, 60, 0}},
      {900, {0x80, 64, 0}},      {900, {0x80, 67, 0}},
      {960, {0xB0, 0x40, 0x7F}}, {961, {0x90, 62, 70}},
      {963, {0x90, 65, 75}},     {967, {0x90, 69, 85}},
      {1000, {0x80, 72, 0}},     {1200, {0xE0, 0x00, 0x40}},
      {1300, {0x80, 62, 0}},     {1300, {0x80, 65, 0}},
      {1300, {0x80, 69, 0}},     {1600, {0xB0, 0x40, 0x00}},
      {1700, {0x90, 43, 100}},   {2100, {0x80, 43, 64}},
      {2300, {0x80, 36, 0}},
  };
  TrackBuilder notes;
  uint32_t now = 0;
  for (const auto& [tick, bytes] : events) {
    notes.Vlq(tick - now);
    now = tick;
    for (uint8_t byte : bytes)
      notes.Raw({byte});
  }
  notes.End();
  return vsthost::test::MidiFile(1, 480, {tempo, notes});
}

// The song, written to a file and read back as a host reads it, as frames at kRate.
std::vector<TimedMidi> SongEvents() {
  const std::filesystem::path path = TestRoot() / "song.mid";
  const std::vector<uint8_t> bytes = SongFile();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  vsthost::MidiSequence song;
  std::string error;
  EXPECT_TRUE(vsthost::LoadMidiFile(path.string(), song, error)) << error;
  std::vector<TimedMidi> events;
  for (const vsthost::MidiEvent& e : song.events) {
    TimedMidi t;
    t.frame = std::llround(e.seconds * kRate);
    if (e.size > 0)
      t.bytes.assign(e.data.begin(), e.data.begin() + e.size);
    else
      t.bytes = e.sysex;
    events.push_back(t);
  }
  EXPECT_EQ(events.size(), 25u);
  return events;
}

// Hands `events` to the VST plug-in in one VstEvents list.
void SendVst(Instance& vst, const std::vector<vst::VstEvent*>& events) {
  std::vector<intptr_t> storage(4 + events.size());  // header and room for the list
  auto* list = reinterpret_cast<vst::VstEvents*>(storage.data());
  list->numEvents = static_cast<int32_t>(events.size());
  std::copy(events.begin(), events.end(), list->events);
  vst.Dispatch(vst::effProcessEvents, 0, 0, list);
}

// The VST side: an instance started as hosts start it, then `setup`, then the same blocks.
using VstSetup = std::function<void(Instance&)>;
using VstBeforeBlock = std::function<void(Instance&, int64_t)>;

StereoRender RenderVst(const std::vector<TimedMidi>& events, int64_t frames, const VstSetup& setup,
                       const VstBeforeBlock& before = {}) {
  HostState host;
  Instance vst(&host);
  vst.Dispatch(vst::effOpen);
  vst.Dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
  vst.Dispatch(vst::effSetBlockSize, 0, kMaxBlock);
  vst.Dispatch(vst::effMainsChanged, 0, 1);
  if (setup) setup(vst);
  StereoRender out;
  std::vector<float> left(kBlock), right(kBlock);
  float* outputs[2] = {left.data(), right.data()};
  size_t next = 0;
  for (int64_t start = 0; start < frames; start += kBlock) {
    const int n = static_cast<int>(std::min<int64_t>(kBlock, frames - start));
    if (before) before(vst, start);
    std::vector<vst::VstMidiEvent> midi;
    std::vector<vst::VstMidiSysexEvent> sysex;
    midi.reserve(events.size());
    sysex.reserve(events.size());
    std::vector<vst::VstEvent*> list;
    for (; next < events.size() && events[next].frame < start + n; ++next) {
      const TimedMidi& e = events[next];
      const int delta = static_cast<int>(e.frame - start);
      if (e.bytes[0] == 0xF0) {
        vst::VstMidiSysexEvent s{};
        s.type = vst::kVstSysExType;
        s.byteSize = sizeof s;
        s.deltaFrames = delta;
        s.dumpBytes = static_cast<int32_t>(e.bytes.size());
        s.sysexDump = reinterpret_cast<char*>(const_cast<uint8_t*>(e.bytes.data()));
        sysex.push_back(s);
        list.push_back(reinterpret_cast<vst::VstEvent*>(&sysex.back()));
      } else {
        midi.push_back(Midi(delta, e.bytes[0], e.bytes.size() > 1 ? e.bytes[1] : 0,
                            e.bytes.size() > 2 ? e.bytes[2] : 0));
        list.push_back(reinterpret_cast<vst::VstEvent*>(&midi.back()));
      }
    }
    if (!list.empty()) SendVst(vst, list);
    vst.effect->processReplacing(vst.effect, nullptr, outputs, n);
    out.left.insert(out.left.end(), left.begin(), left.begin() + n);
    out.right.insert(out.right.end(), right.begin(), right.begin() + n);
  }
  return out;
}

double Peak(const StereoRender& r) {
  double peak = 0.0;
  for (const auto* channel : {&r.left, &r.right}) {
    for (float v : *channel)
      peak = std::max(peak, std::fabs(static_cast<double>(v)));
  }
  return peak;
}

// The largest difference between two renders, and where it is; both must be as long.
::testing::AssertionResult SameAudio(const StereoRender& a, const StereoRender& b) {
  if (a.left.size() != b.left.size() || a.right.size() != b.right.size())
    return ::testing::AssertionFailure() << "lengths differ";
  double worst = 0.0;
  size_t at = 0;
  for (size_t i = 0; i < a.left.size(); ++i) {
    const double d = std::max(std::fabs(static_cast<double>(a.left[i]) - b.left[i]),
                              std::fabs(static_cast<double>(a.right[i]) - b.right[i]));
    if (d > worst) worst = d, at = i;
  }
  // The float outputs of one engine: anything beyond a float's rounding is a real difference.
  if (worst <= 1e-6) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "differ by " << worst << " at frame " << at;
}

// The VST program chunk setter: a text the plug-in's own parser takes, so the value is exact.
void SetVst(Instance& vst, int index, const char* text) {
  char buffer[64];
  snprintf(buffer, sizeof buffer, "%s", text);
  ASSERT_EQ(vst.Dispatch(vst::effString2Parameter, index, 0, buffer), 1) << text;
}

class Lv2RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(host_.plugin(), nullptr) << "Vantor.lv2 is not in " << VANTOR_LV2_BUNDLES;
    events_ = SongEvents();
  }
  LilvHost host_;
  std::vector<TimedMidi> events_;
};

TEST_F(Lv2RenderTest, PresetsAreTheFactoryProgramsAndSoundAsInTheVstPlugin) {
  // Hosts list the 64 programs by the names the VST plug-in gives them.
  const auto presets = host_.Presets();
  ASSERT_EQ(presets.size(), 64u);
  {
    HostState vst_host;
    Instance vst(&vst_host);
    for (const auto& [uri, label] : presets) {
      const int n = std::stoi(uri.substr(uri.rfind('-') + 1));
      EXPECT_EQ(label, vst.ProgramName(n)) << uri;
    }
  }
  // A pad, a bass, a mono solo, a split, a stack and "Init", whose stored tunes are not whole
  // numbers: port values alone (floats) could not carry them exactly, the preset's state does.
  for (int program : {0, 2, 16, 32, 49, 63}) {
    SCOPED_TRACE("program " + std::to_string(program));
    LilvInstrument lv2(host_, kRate, kBlock);
    ASSERT_TRUE(lv2.ok());
    ASSERT_TRUE(lv2.RestorePreset(program));
    const StereoRender from_lv2 = lv2.Render(events_, kFrames);
    const StereoRender from_vst = RenderVst(
        events_, kFrames, [&](Instance& vst) { vst.Dispatch(vst::effSetProgram, 0, program); });
    EXPECT_GT(Peak(from_vst), 0.01);
    EXPECT_TRUE(SameAudio(from_lv2, from_vst));
  }
}

TEST_F(Lv2RenderTest, PortChangesApplyAtTheirBlockAndNeverUndoAMidiProgramChange) {
  // Automation moves the cutoff at 0.5 s, a MIDI program change comes at 1 s (the ports keep
  // their old values, which must not come back), the filter mode and the transpose move at 1.5 s.
  std::vector<TimedMidi> events = events_;
  const int64_t change_at = static_cast<int64_t>(kRate);
  events.push_back({change_at + 17, {0xC0, 5}});
  std::stable_sort(events.begin(), events.end(),
                   [](const TimedMidi& a, const TimedMidi& b) { return a.frame < b.frame; });
  const int64_t cutoff_at = static_cast<int64_t>(kRate * 0.5) / kBlock * kBlock;
  const int64_t mode_at = static_cast<int64_t>(kRate * 1.5) / kBlock * kBlock;

  LilvInstrument lv2(host_, kRate, kBlock);
  ASSERT_TRUE(lv2.ok());
  const StereoRender from_lv2 = lv2.Render(events, kFrames, [&](int64_t start) {
    if (start == cutoff_at) lv2.SetControl("filter_cutoff", 0.375f);
    if (start == mode_at) {
      lv2.SetControl("filter_mode", 2.0f);
      lv2.SetControl("vco_transpose", 3.0f);
      lv2.SetControl("main_volume", 0.5f);
    }
  });
  // The same changes as exact texts, the way the VST binding takes them from a host.
  auto automate = [&](Instance& vst, int64_t start) {
    if (start == cutoff_at) SetVst(vst, 38, "0.375");
    if (start == mode_at) {
      SetVst(vst, 37, "Highpass");
      SetVst(vst, 70, "3");
      SetVst(vst, 0, "0.5");
    }
  };
  const StereoRender from_vst = RenderVst(events, kFrames, {}, automate);
  EXPECT_GT(Peak(from_vst), 0.01);
  EXPECT_TRUE(SameAudio(from_lv2, from_vst));

  // The same song without the program change sounds different, so the change was heard.
  const StereoRender without = RenderVst(events_, kFrames, {}, automate);
  EXPECT_FALSE(SameAudio(without, from_vst));
}

TEST_F(Lv2RenderTest, SavedStateRestoresEveryProgramSlotAndTheCurrentProgram) {
  // Programs without noise or sample-and-hold, whose random sequences the instances of one
  // library share.
  constexpr int kFirst = 7, kSecond = 20;
  for (int program : {kFirst, kSecond}) {
    LilvInstrument probe(host_, kRate, kBlock);
    ASSERT_TRUE(probe.RestorePreset(program));
    ASSERT_EQ(probe.Control("noise_vcf"), 0.0f) << program;
    ASSERT_NE(probe.Control("lfo_waveform"), 3.0f) << program;
  }
  const std::filesystem::path folder = TestRoot() / "session";
  {
    // Slot 0 becomes the first program by a preset; the volume port moves, then a MIDI program
    // change selects the second program (the port keeps its stale 0.9), whose cutoff is edited.
    LilvInstrument lv2(host_, kRate, kBlock);
    ASSERT_TRUE(lv2.RestorePreset(kFirst));
    lv2.SetControl("main_volume", 0.9f);
    lv2.Render({}, kBlock);
    lv2.Render({{0, {0xC0, kSecond}}}, kBlock);
    lv2.SetControl("filter_cutoff", 0.25f);
    lv2.Render({}, kBlock);
    ASSERT_TRUE(lv2.SaveState(folder.string(), "state.ttl"));
  }
  LilvState* saved =
      lilv_state_new_from_file(host_.world(), host_.map(), nullptr, (folder / "state.ttl").c_str());
  ASSERT_NE(saved, nullptr);
  LilvInstrument restored(host_, kRate, kBlock);
  restored.Restore(saved);
  lilv_state_free(saved);
  EXPECT_EQ(restored.Control("main_volume"), 0.9f);  // the host's stale port value came back

  // The same steps through the VST binding, without rendering, so both engines start fresh.
  auto setup = [&](Instance& vst) {
    vst.Dispatch(vst::effSetProgram, 0, kFirst);
    const std::vector<uint8_t> first = vst.GetChunk(1);
    vst.Dispatch(vst::effSetProgram, 0, 0);
    ASSERT_EQ(vst.SetChunk(1, first), 1);
    SetVst(vst, 0, "0.9");
    vst::VstMidiEvent change = Midi(0, 0xC0, kSecond, 0);
    SendVst(vst, {reinterpret_cast<vst::VstEvent*>(&change)});
    SetVst(vst, 38, "0.25");
  };
  // The song on the current program with its edit, then, after a program change to slot 0,
  // again on the program the preset put there.
  std::vector<TimedMidi> twice = events_;
  twice.push_back({kFrames, {0xC0, 0}});
  for (TimedMidi e : events_) {
    e.frame += kFrames;
    twice.push_back(e);
  }
  const StereoRender from_lv2 = restored.Render(twice, 2 * kFrames);
  const StereoRender from_vst = RenderVst(twice, 2 * kFrames, setup);
  EXPECT_GT(Peak(from_vst), 0.01);
  EXPECT_TRUE(SameAudio(from_lv2, from_vst));
}

}  // namespace
}  // namespace vantor::testing
