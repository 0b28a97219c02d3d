// The binding's audio path allocates nothing: process callbacks, MIDI intake with thru, and the
// parameter callbacks, with the global allocator counting while armed.
#include <gtest/gtest.h>

#include <vector>

#include "instrument/vantor.h"
#include "support/counting_allocator.h"

namespace {

intptr_t AcceptingHost(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst::audioMasterProcessEvents ? 1 : 0;
}

}  // namespace

namespace vantor {
namespace {

using namespace vst;

TEST(BindingAllocationTest, ProcessCallbacksAndMidiIntakeAllocateNothing) {
  Vantor plugin(AcceptingHost);
  AEffect* e = plugin.effect();
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  plugin.set_midi_thru(true);
  std::vector<float> left(1000), right(1000);
  std::vector<double> dleft(1000), dright(1000);
  float* outputs[2] = {left.data(), right.data()};
  double* doutputs[2] = {dleft.data(), dright.data()};
  VstMidiEvent on{kVstMidiType, 32, 5, 0, 0, 0, {char(0x90), 60, 100, 0}, 0, 0, 0, 0};
  VstMidiEvent off{kVstMidiType, 32, 9, 0, 0, 0, {char(0x80), 60, 0, 0}, 0, 0, 0, 0};
  // A program change recalls a slot's state on the audio thread: its stored name is skipped, not
  // copied.
  VstMidiEvent program{kVstMidiType, 32, 7, 0, 0, 0, {char(0xC0), 5, 0, 0}, 0, 0, 0, 0};
  struct {
    int32_t count;
    intptr_t reserved;
    VstEvent* list[3];
  } events{3,
           0,
           {reinterpret_cast<VstEvent*>(&on), reinterpret_cast<VstEvent*>(&program),
            reinterpret_cast<VstEvent*>(&off)}};

  testing::StartCountingAllocations();
  const int sizes[] = {256, 1, 0, 17, 1000, 255};  // 1000 is longer than announced
  for (int round = 0; round < 120; ++round) {
    if (round % 5 == 0) e->dispatcher(e, effProcessEvents, 0, 0, &events, 0.0f);
    e->setParameter(e, round % 110, 0.3f);
    e->getParameter(e, round % 110);
    const int n = sizes[round % 6];
    switch (round % 3) {
      case 0:
        e->processReplacing(e, nullptr, outputs, n);
        break;
      case 1:
        e->process(e, nullptr, outputs, n);
        break;
      default:
        e->processDoubleReplacing(e, nullptr, doutputs, n);
        break;
    }
  }
  EXPECT_EQ(testing::StopCountingAllocations(), 0);
}

}  // namespace
}  // namespace vantor
