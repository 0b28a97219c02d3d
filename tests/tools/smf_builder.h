// Builds Standard MIDI File bytes for tests, one track at a time.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace vsthost::test {

class TrackBuilder {
 public:
  // Appends an event `delta` ticks after the previous one.
  TrackBuilder& Event(uint32_t delta, std::initializer_list<uint8_t> bytes) {
    Vlq(delta);
    data_.insert(data_.end(), bytes);
    return *this;
  }
  TrackBuilder& Tempo(uint32_t delta, uint32_t micros_per_quarter) {
    return Event(delta, {0xFF, 0x51, 0x03, static_cast<uint8_t>(micros_per_quarter >> 16),
                         static_cast<uint8_t>(micros_per_quarter >> 8),
                         static_cast<uint8_t>(micros_per_quarter)});
  }
  TrackBuilder& End(uint32_t delta = 0) { return Event(delta, {0xFF, 0x2F, 0x00}); }
  TrackBuilder& Vlq(uint32_t v) {
    uint8_t groups[5];
    int n = 0;
    do {
      groups[n++] = v & 0x7F;
      v >>= 7;
    } while (v);
    while (n > 1)
      data_.push_back(groups[--n] | 0x80);
    data_.push_back(groups[0]);
    return *this;
  }
  TrackBuilder& Raw(std::initializer_list<uint8_t> bytes) {
    data_.insert(data_.end(), bytes);
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return data_; }

 private:
  std::vector<uint8_t> data_;
};

inline void PutBE(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i)
    out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline std::vector<uint8_t> MidiFile(int format, uint16_t division,
                                     const std::vector<TrackBuilder>& tracks) {
  std::vector<uint8_t> out = {'M', 'T', 'h', 'd'};
  PutBE(out, 6, 4);
  PutBE(out, static_cast<uint32_t>(format), 2);
  PutBE(out, static_cast<uint32_t>(tracks.size()), 2);
  PutBE(out, division, 2);
  for (const TrackBuilder& t : tracks) {
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    PutBE(out, static_cast<uint32_t>(t.bytes().size()), 4);
    out.insert(out.end(), t.bytes().begin(), t.bytes().end());
  }
  return out;
}

}  // namespace vsthost::test
