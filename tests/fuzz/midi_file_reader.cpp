// Fuzz target: the MIDI file reader. Any input is read or refused with a reason; what is read
// is in time order with finite times and well-formed messages.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "tools/vsthost/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vsthost::MidiSequence s;
  std::string error;
  if (!vsthost::ParseMidiFile({data, size}, s, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  double previous = 0.0;
  for (const vsthost::MidiEvent& e : s.events) {
    if (!std::isfinite(e.seconds) || e.seconds < previous || e.seconds > s.length_seconds) {
      std::abort();
    }
    previous = e.seconds;
    if (e.size == 0 ? (e.sysex.empty() || e.sysex[0] != 0xF0)
                    : (e.size > 3 || e.data[0] < 0x80 || e.data[0] >= 0xF0 ||
                       (e.size > 1 && e.data[1] > 0x7F) || (e.size > 2 && e.data[2] > 0x7F))) {
      std::abort();
    }
  }
  if (s.tempo.empty() || !std::isfinite(s.QuartersAt(s.length_seconds)) ||
      !(s.BpmAt(s.length_seconds) > 0.0)) {
    std::abort();
  }
  return 0;
}
