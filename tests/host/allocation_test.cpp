// The binding's audio path allocates nothing: process callbacks, MIDI intake with thru, and the
// parameter callbacks, with the global allocator counting while armed.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "instrument/vantor.h"

namespace {

std::atomic<bool> g_armed{false};
std::atomic<long> g_allocations{0};

void* CountedAllocate(std::size_t size) {
  if (g_armed.load(std::memory_order_relaxed)) g_allocations.fetch_add(1);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

intptr_t AcceptingHost(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst::audioMasterProcessEvents ? 1 : 0;
}

}  // namespace

void* operator new(std::size_t size) {
  return CountedAllocate(size);
}
void* operator new[](std::size_t size) {
  return CountedAllocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
// The nothrow forms too (the editor's bitmaps use them), so that every delete meets its new.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return CountedAllocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}

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
  VstEvents events{2, 0, {reinterpret_cast<VstEvent*>(&on), reinterpret_cast<VstEvent*>(&off)}};

  g_allocations = 0;
  g_armed = true;
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
  g_armed = false;
  EXPECT_EQ(g_allocations.load(), 0);
}

}  // namespace
}  // namespace vantor
