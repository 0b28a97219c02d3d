// MIDI control through the loaded plug-in with a configuration file: mapped controllers move
// their parameter and tell the host, thru echoes to the host and program changes can be ignored.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/param_ids.h"
#include "plugin_host.h"

namespace vantor::testing {
namespace {

using namespace vst;

class MidiMappingHostTest : public ::testing::Test {
 protected:
  // The plug-in started on a fresh configuration file holding `config`.
  Instance& StartWith(const std::string& config) {
    WriteConfig(config);
    started = std::make_unique<Instance>(&host);
    started->Start(44100.0f, 256);
    host.Clear();
    return *started;
  }
  // The events, then one block so that queued messages act.
  void Send(Instance& plugin, std::vector<VstMidiEvent> events) {
    plugin.SendMidi(std::move(events));
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
  std::unique_ptr<Instance> started;
};

TEST_F(MidiMappingHostTest, MappedControllerMovesItsParameterAndTellsTheHost) {
  Instance& plugin = StartWith("[MIDI Control]\nCC74=38\nCC30=12\n");
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
  Instance& plugin = StartWith("[MIDI Global]\nMIDI Thru=true\nIgnore Program Change=true\n");
  Send(plugin, {Midi(5, 0xC0, 3, 0), Midi(9, 0x90, 60, 90)});
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 0);
  ASSERT_EQ(host.midi_out.size(), 2u);
  EXPECT_EQ(static_cast<uint8_t>(host.midi_out[0].midiData[0]), 0xC0);
  EXPECT_EQ(host.midi_out[1].deltaFrames, 9);
}

}  // namespace
}  // namespace vantor::testing
