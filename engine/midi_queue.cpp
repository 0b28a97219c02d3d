// MidiQueue: sorted insertion into fixed storage, and what gives way when it is full.
#include "engine/midi_queue.h"

#include <algorithm>
#include <bitset>

namespace vantor {
namespace {

// Pressure, pitch bend and controllers 0..119 but the pedal: a later message of the same kind
// replaces the value an earlier one set (the channel is examined nowhere, so neither is it here).
constexpr int kKinds = 2 + 120;

// The kind a later message supersedes, or -1 for notes and the sustain pedal.
int SupersededKind(const MidiMessage& m) {
  const int controller = m.data1 & 0x7F;
  switch (m.status & 0xF0) {
    case 0xD0:
      return 0;
    case 0xE0:
      return 1;
    case 0xB0:
      return controller == 64 || controller > 119 ? -1 : 2 + controller;
    default:
      return -1;
  }
}

// Sustain pedal messages: 0 for up, 1 for down, -1 for anything else. Every change of the pedal
// holds or releases keys, but a message repeating the state the one before it left (a
// continuous pedal sends many) changes nothing.
int PedalState(const MidiMessage& m) {
  if ((m.status & 0xF0) != 0xB0 || (m.data1 & 0x7F) != 64) return -1;
  return (m.data2 & 0x7F) > 0 ? 1 : 0;
}

}  // namespace

void MidiQueue::Reset(int capacity) {
  entries_.assign(static_cast<size_t>(std::max(capacity, 1)), MidiMessage{});
  Clear();
}

void MidiQueue::Remove(int at) {
  std::copy(entries_.begin() + at + 1, entries_.begin() + count_, entries_.begin() + at);
  --count_;
}

bool MidiQueue::MakeRoomFor(const MidiMessage& message) {
  const int kind = SupersededKind(message), pedal = PedalState(message);
  // The latest pending message of its kind (or pedal message) before it: the new one replaces
  // it, or, for a pedal message repeating its state, goes itself; a later one of its kind
  // supersedes the new one, which goes.
  for (int i = count_ - 1; i >= read_ && (kind >= 0 || pedal >= 0); --i) {
    const MidiMessage& pending = entries_[static_cast<size_t>(i)];
    if (kind >= 0 && SupersededKind(pending) == kind) {
      if (pending.offset > message.offset) return false;
      Remove(i);
      return true;
    }
    if (pedal >= 0 && PedalState(pending) >= 0 && pending.offset <= message.offset) {
      if (PedalState(pending) == pedal) return false;
      break;
    }
  }
  if (nothing_gives_way_) return false;
  // Any pending message that a later one of its kind supersedes.
  std::bitset<kKinds> later;
  for (int i = count_ - 1; i >= read_; --i) {
    const int k = SupersededKind(entries_[static_cast<size_t>(i)]);
    if (k < 0) continue;
    if (later[static_cast<size_t>(k)]) {
      Remove(i);
      return true;
    }
    later.set(static_cast<size_t>(k));
  }
  // Any pedal message repeating the state of the pedal message before it.
  for (int i = read_, state = -1; i < count_; ++i) {
    const int s = PedalState(entries_[static_cast<size_t>(i)]);
    if (s >= 0 && s == state) {
      Remove(i);
      return true;
    }
    if (s >= 0) state = s;
  }
  // Only notes, pedal changes and one message of each other kind are waiting.
  nothing_gives_way_ = true;
  return false;
}

bool MidiQueue::Push(const MidiMessage& message) {
  if (count_ == capacity() && read_ > 0) {
    // Discard what has already been applied first.
    std::copy(entries_.begin() + read_, entries_.begin() + count_, entries_.begin());
    count_ -= read_;
    read_ = 0;
  }
  if (count_ == capacity()) {
    if (!MakeRoomFor(message)) return false;
  } else if (SupersededKind(message) >= 0 || PedalState(message) >= 0) {
    nothing_gives_way_ = false;
  }
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
