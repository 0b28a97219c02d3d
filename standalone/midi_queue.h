// A lock-free queue of timed MIDI messages from one producer thread to the audio thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace vantor::standalone {

struct TimedMidi {
  uint32_t frame = 0;  // the audio clock (in frames, wrapping) when the message arrived
  uint8_t bytes[3] = {};
  uint8_t size = 0;
};

// Single producer, single consumer; neither side ever waits or allocates. A full queue drops
// the new message and counts it.
template <size_t kCapacity>
class MidiQueue {
  static_assert((kCapacity & (kCapacity - 1)) == 0, "a power of two, so indices wrap by masking");

 public:
  bool Push(const TimedMidi& message) {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == kCapacity) {
      dropped_.fetch_add(1, std::memory_order_relaxed);
      return false;
    }
    slots_[tail & (kCapacity - 1)] = message;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }

  // The oldest message, left in the queue; null when empty.
  const TimedMidi* Peek() const {
    const size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return nullptr;
    return &slots_[head & (kCapacity - 1)];
  }
  void Pop() { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

  uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  std::array<TimedMidi, kCapacity> slots_{};
  alignas(64) std::atomic<size_t> head_{0};
  alignas(64) std::atomic<size_t> tail_{0};
  std::atomic<uint64_t> dropped_{0};
};

}  // namespace vantor::standalone
