// MidiQueue: time-critical MIDI messages waiting for the control tick at which they apply.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/midi_message.h"

namespace vantor {

// Sorted by offset, stable for equal offsets. Storage is sized at reset and never grows while
// audio runs. When it is full, a message that changes nothing gives way: one that a later one of
// its kind supersedes (pressure, pitch bend, a controller other than the sustain pedal) or a
// pedal message repeating the pedal's state. Notes and pedal changes never do, so no key is
// left hanging by a flood of controller data.
class MidiQueue {
 public:
  // Room for `capacity` messages; empties the queue. Allocates: call outside the audio path.
  void Reset(int capacity);
  void Clear() {
    count_ = read_ = 0;
    nothing_gives_way_ = false;
  }

  // Inserts after every entry whose offset is at most the message's. False when the message
  // was dropped: the queue was full and it was itself superseded, or nothing could give way.
  bool Push(const MidiMessage& message);

  // One control period has passed: lowers every pending offset by `period` and calls
  // apply(message) for each message now due, in order.
  template <typename Apply>
  void Drain(int period, Apply&& apply) {
    for (int i = read_; i < count_; ++i)
      entries_[static_cast<size_t>(i)].offset -= period;
    // Applying may queue nothing (MIDI intake never runs inside a render), so the range is stable.
    while (read_ < count_ && entries_[static_cast<size_t>(read_)].offset <= 0)
      apply(entries_[static_cast<size_t>(read_++)]);
    if (read_ == count_) Clear();
  }

  int size() const { return count_ - read_; }
  int capacity() const { return static_cast<int>(entries_.size()); }

 private:
  bool MakeRoomFor(const MidiMessage& message);
  void Remove(int at);

  std::vector<MidiMessage> entries_;
  int count_ = 0;  // entries in use, read ones included
  int read_ = 0;   // first entry not yet applied
  // Known: no pending message changes nothing. Spares a full queue of notes a search per
  // message; only the insertion of a controller or pedal message can make it false.
  bool nothing_gives_way_ = false;
};

}  // namespace vantor
