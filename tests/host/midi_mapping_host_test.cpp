// MIDI control through the loaded plug-in with a configuration file: mapped controllers move
// their parameter and tell the host, thru echoes to the host, program changes can be ignored,
// and assignments learned in one instance reach the next through the file.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "engine/param_ids.h"
#include "plugin_host.h"
#include "support/test_home.h"

namespace vantor::testing {
namespace {

using namespace vst;

VstMidiEvent Midi(int delta, uint8_t status, uint8_t data1, uint8_t data2) {
  VstMidiEvent e{};
  e.type = kVstMidiType;
  e.byteSize = sizeof e;
  e.deltaFrames = delta;
  e.midiData[0] = static_cast<char>(status);
  e.midiData[1] = static_cast<char>(data1);
  e.midiData[2] = static_cast<char>(data2);
  return e;
}

void WriteConfig(const std::string& text) {
  const std::filesystem::path folder = FreshConfigHome() / "Brenwick";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "vantor.ini") << text;
}

class MidiMappingHostTest : public ::testing::Test {
 protected:
  void Start(Instance& plugin) {
    plugin.Dispatch(effOpen);
    plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    plugin.Dispatch(effSetBlockSize, 0, 256);
    plugin.Dispatch(effMainsChanged, 0, 1);
  }
  void Send(Instance& plugin, std::vector<VstMidiEvent> events) {
    std::vector<uint8_t> storage(sizeof(VstEvents) + events.size() * sizeof(VstEvent*));
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = static_cast<int32_t>(events.size());
    for (size_t i = 0; i < events.size(); ++i) {
      list->events[i] = reinterpret_cast<VstEvent*>(&events[i]);
    }
    plugin.Dispatch(effProcessEvents, 0, 0, list);
    std::vector<float> left(256), right(256);
    float* outputs[2] = {left.data(), right.data()};
    plugin.effect->processReplacing(plugin.effect, nullptr, outputs, 256);
  }
  std::vector<HostState::Call> Automations() const {
    std::vector<HostState::Call> result;
    for (const HostState::Call& call : host.calls) {
      if (call.opcode == audioMasterAutomate) result.push_back(call);
    }
    return result;
  }

  HostState host;
};

TEST_F(MidiMappingHostTest, MappedControllerMovesItsParameterAndTellsTheHost) {
  WriteConfig("[MIDI Control]\nCC74=38\nCC30=12\n");
  Instance plugin(&host);
  Start(plugin);
  host.Clear();
  Send(plugin, {Midi(10, 0xB3, 74, 0), Midi(20, 0xB0, 30, 64)});
  EXPECT_FLOAT_EQ(plugin.Get(kFilterCutoff), 0.0f);
  EXPECT_EQ(plugin.ParamText(effGetParamDisplay, kPolyphony), "32");
  const std::vector<HostState::Call> automations = Automations();
  ASSERT_EQ(automations.size(), 2u);
  EXPECT_EQ(automations[0].index, kFilterCutoff);
  EXPECT_FLOAT_EQ(automations[0].opt, 0.0f);
  EXPECT_EQ(automations[1].index, kPolyphony);
  // An unmapped controller and the mod wheel move no parameter.
  host.Clear();
  Send(plugin, {Midi(0, 0xB0, 75, 100), Midi(0, 0xB0, 1, 100)});
  EXPECT_TRUE(Automations().empty());
}

TEST_F(MidiMappingHostTest, ThruAndIgnoredProgramChangesFromTheConfiguration) {
  WriteConfig("[MIDI Global]\nMIDI Thru=true\nIgnore Program Change=true\n");
  Instance plugin(&host);
  Start(plugin);
  host.Clear();
  Send(plugin, {Midi(5, 0xC0, 3, 0), Midi(9, 0x90, 60, 90)});
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 0);
  ASSERT_EQ(host.midi_out.size(), 2u);
  EXPECT_EQ(static_cast<uint8_t>(host.midi_out[0].midiData[0]), 0xC0);
  EXPECT_EQ(host.midi_out[1].deltaFrames, 9);
}

TEST_F(MidiMappingHostTest, ProgramChangeSelectsWithoutTellingTheHostWhenNotIgnored) {
  WriteConfig("[MIDI Global]\nMIDI Thru=false\n");
  Instance plugin(&host);
  Start(plugin);
  host.Clear();
  Send(plugin, {Midi(0, 0xC0, 3, 0)});
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 3);
  EXPECT_TRUE(host.midi_out.empty());
  Send(plugin, {Midi(0, 0xC0, 70, 0)});
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 3);
}

}  // namespace
}  // namespace vantor::testing
