// MidiQueue: sorted insertion into fixed storage.
#include "engine/midi_queue.h"

#include <algorithm>

namespace vantor {

void MidiQueue::Reset(int capacity) {
  entries_.assign(static_cast<size_t>(std::max(capacity, 1)), MidiMessage{});
  Clear();
}

bool MidiQueue::Push(const MidiMessage& message) {
  if (count_ == capacity() && read_ > 0) {
    // Discard what has already been applied before giving up.
    std::copy(entries_.begin() + read_, entries_.begin() + count_, entries_.begin());
    count_ -= read_;
    read_ = 0;
  }
  if (count_ == capacity()) return false;
  int at = count_;
  while (at > read_ && entries_[static_cast<size_t>(at - 1)].offset > message.offset) {
    entries_[static_cast<size_t>(at)] = entries_[static_cast<size_t>(at - 1)];
    --at;
  }
  entries_[static_cast<size_t>(at)] = message;
  ++count_;
  return true;
}

}  // namespace vantor
