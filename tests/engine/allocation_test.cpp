// Rendering allocates nothing: the global allocator is replaced and counts while armed.
#include <gtest/gtest.h>

#include <vector>

#include "support/counting_allocator.h"
#include "support/test_plugin.h"

namespace vantor {
namespace {

TEST(AllocationTest, RenderingBlocksOfAnySizeAllocatesNothing) {
  testing::TestVantor plugin;
  plugin.ChangeSampleRate(48000);
  plugin.ChangeBlockSize(4096);
  plugin.ResetEngine();
  plugin.ActivationChanged(true);
  std::vector<double> left(4096), right(4096);
  double* outputs[2] = {left.data(), right.data()};

  testing::StartCountingAllocations();
  const int sizes[] = {1, 0, 17, 4096, 48, 333, 2, 1000};
  for (int round = 0; round < 400; ++round) {
    plugin.RenderBlock(nullptr, outputs, sizes[round % 8]);
  }
  EXPECT_EQ(testing::StopCountingAllocations(), 0);
}

TEST(AllocationTest, PlayingNotesAndControllersAllocatesNothing) {
  testing::TestVantor plugin;
  plugin.ChangeSampleRate(44100);
  plugin.ChangeBlockSize(512);
  plugin.ResetEngine();
  plugin.ActivationChanged(true);
  // Every footage, a resonant filter and the global amp envelope: every path of the poly section;
  // the resonators, and every source of the mono section on every key.
  for (int p = kBank1Saw16; p <= kBank2Pulse4; ++p)
    plugin.Param(p)->set_value(1.0);
  const std::pair<int, double> settings[] = {
      {kFilterMode, 3}, {kAmpEnvelope, 1},   {kResonators, 1},    {kMonoLower, 1},
      {kMonoUpper, 1},  {kVcoWaveform, 1},   {kSubOscToVcf, 1},   {kNoiseToVcf, 1},
      {kPolyToPoly, 1}, {kVcoPortamento, 1}, {kVcoFm, 300},       {kLfoWaveform, 3},
      {kVcoPwm, 0.5},   {kLfoToVcfFm, 3000}, {kVcfResonance, 0.9}};
  for (const auto& [index, value] : settings)
    plugin.Param(index)->set_value(value);
  for (int p = 0; p < kParamCount; ++p)
    plugin.ParamChanged(p);
  std::vector<double> left(512), right(512);
  double* outputs[2] = {left.data(), right.data()};
  const auto send = [&](int offset, int status, int data1, int data2) {
    plugin.HandleMidiMessage({offset, static_cast<uint8_t>(status), static_cast<uint8_t>(data1),
                              static_cast<uint8_t>(data2)});
  };

  testing::StartCountingAllocations();
  double energy = 0.0;
  for (int round = 0; round < 300; ++round) {
    const int note = 36 + (round * 7) % 60;
    send(round % 500, 0x90, note, 100);
    send((round * 13) % 512, 0xB0, 1, round % 128);  // mod wheel
    send((round * 5) % 512, 0xE0, 0, round % 128);   // pitch bend
    send(0, 0xB0, 64, (round / 20) % 2 ? 127 : 0);   // sustain pedal
    send(100, 0xB0, 20, round % 128);                // a controller nothing is mapped to
    if (round % 3 == 2) send(300, 0x80, 36 + ((round - 2) * 7) % 60, 0);
    if (round % 100 == 99) send(10, 0xB0, 123, 0);  // all notes off
    // Every routing of the sections through the ensemble, both phaser types, every VCA source.
    plugin.Param(kPolyToEnsemble)->set_value(round % 2);
    plugin.Param(kMonoToEnsemble)->set_value(round / 2 % 2);
    plugin.Param(kEnsembleMode)->set_value(round / 4 % 2);
    plugin.Param(kPhaser)->set_value(round % 3);
    plugin.Param(kVcaEnvelope)->set_value(round / 3 % 3);
    for (int p : {kPolyToEnsemble, kMonoToEnsemble, kEnsembleMode, kPhaser, kVcaEnvelope})
      plugin.ParamChanged(p);
    plugin.RenderBlock(nullptr, outputs, round % 7 == 0 ? 1 : 512);
    energy += left[0] * left[0];
  }
  // Overfill the queue: messages beyond its room are dropped, not allocated for.
  for (int i = 0; i < 100000; ++i)
    send(i % 512, 0x90, 60, 1);
  plugin.RenderBlock(nullptr, outputs, 512);
  EXPECT_EQ(testing::StopCountingAllocations(), 0);
  EXPECT_GT(energy, 0.0);  // notes did sound
}

}  // namespace
}  // namespace vantor
