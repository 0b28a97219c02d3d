// The LV2 binding's run() allocates nothing: atom MIDI (notes, bend, SysEx), control
// port changes of every kind, blocks longer than announced, with the global allocator counting.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <lv2/atom/forge.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include "lv2/lv2_instrument.h"
#include "lv2/lv2_ports.h"
#include "support/counting_allocator.h"

namespace vantor::lv2 {
namespace {

std::vector<std::string>& Uris() {
  static std::vector<std::string> uris;
  return uris;
}

LV2_URID Map(LV2_URID_Map_Handle, const char* uri) {
  std::vector<std::string>& uris = Uris();
  for (size_t i = 0; i < uris.size(); ++i) {
    if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
  }
  uris.emplace_back(uri);
  return static_cast<LV2_URID>(uris.size());
}

TEST(Lv2AllocationTest, RunAllocatesNothing) {
  LV2_URID_Map map{nullptr, Map};
  LV2_Feature map_feature{LV2_URID__map, &map};
  const LV2_Feature* features[] = {&map_feature, nullptr};
  std::unique_ptr<Lv2Instrument> instrument(Lv2Instrument::Create(48000.0, features));
  ASSERT_NE(instrument, nullptr);
  std::vector<float> controls(kControlPorts, 0.0f);
  for (int i = 0; i < kControlPorts; ++i)
    instrument->ConnectPort(static_cast<uint32_t>(i), &controls[static_cast<size_t>(i)]);
  std::vector<uint64_t> sequence(1024);
  std::vector<float> left(3000), right(3000);
  instrument->ConnectPort(kMidiInPort, sequence.data());
  instrument->ConnectPort(kLeftOutPort, left.data());
  instrument->ConnectPort(kRightOutPort, right.data());
  instrument->Activate();

  // Notes on and off, pitch bend and a SysEx message in every block.
  LV2_Atom_Forge forge;
  lv2_atom_forge_init(&forge, &map);
  lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(sequence.data()),
                            sequence.size() * sizeof(uint64_t));
  LV2_Atom_Forge_Frame frame;
  lv2_atom_forge_sequence_head(&forge, &frame, 0);
  const LV2_URID midi = Map(nullptr, LV2_MIDI__MidiEvent);
  const std::vector<std::vector<uint8_t>> messages = {{0x90, 60, 100},
                                                      {0x90, 67, 90},
                                                      {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
                                                      {0x80, 60, 0},
                                                      {0xE0, 0, 80}};
  int64_t time = 0;
  for (const std::vector<uint8_t>& bytes : messages) {
    lv2_atom_forge_frame_time(&forge, time += 3);
    lv2_atom_forge_atom(&forge, static_cast<uint32_t>(bytes.size()), midi);
    lv2_atom_forge_write(&forge, bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  lv2_atom_forge_pop(&forge, &frame);

  testing::StartCountingAllocations();
  const uint32_t sizes[] = {256, 1, 0, 17, 3000, 255};  // 3000 is longer than announced
  for (int round = 0; round < 120; ++round) {
    controls[static_cast<size_t>(round % kControlPorts)] = static_cast<float>(round % 7) * 0.3f;
    instrument->Run(sizes[round % 6]);
  }
  EXPECT_EQ(testing::StopCountingAllocations(), 0);
  instrument->Deactivate();
}

}  // namespace
}  // namespace vantor::lv2
