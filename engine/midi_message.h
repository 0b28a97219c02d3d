// MIDI messages as they travel from the host to the engine, with their sample offsets.
#pragma once

#include <cstdint>

namespace vantor {

struct MidiMessage {
  int32_t offset = 0;  // sample offset within the current host block
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};

struct SysExMessage {
  int32_t offset = 0;
  int32_t size = 0;
  const uint8_t* data = nullptr;  // not owned; valid for the duration of the call
};

}  // namespace vantor
