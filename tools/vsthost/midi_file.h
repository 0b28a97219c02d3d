// Standard MIDI File reader: merges the tracks of a type 0 or 1 file into one timed event list.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vsthost {

struct MidiEvent {
  double seconds = 0.0;           // from the start of the file
  std::array<uint8_t, 3> data{};  // a channel message; unused bytes are zero
  int size = 0;                   // bytes of `data` in use; 0 for a system-exclusive message
  std::vector<uint8_t> sysex;     // the whole message from F0 on, when size is 0
};

// A point where the tempo changes, kept so the host can answer time queries.
struct TempoPoint {
  double seconds = 0.0;
  double quarters = 0.0;  // position in quarter notes
  double bpm = 120.0;
};

struct MidiSequence {
  int format = 0;
  int tracks = 0;
  std::vector<MidiEvent> events;  // in time order; simultaneous events keep file order
  std::vector<TempoPoint> tempo;  // never empty once read; first point at 0 s
  int time_sig_numerator = 4;
  int time_sig_denominator = 4;
  double length_seconds = 0.0;  // time of the last event or end-of-track mark

  double BpmAt(double seconds) const;
  double QuartersAt(double seconds) const;
};

// Reads a whole file image. On failure returns false and a sentence saying what is wrong.
bool ParseMidiFile(std::span<const uint8_t> bytes, MidiSequence& out, std::string& error);
bool LoadMidiFile(const std::string& path, MidiSequence& out, std::string& error);

// Reads a whole file into memory; false with a message when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& error);

}  // namespace vsthost
