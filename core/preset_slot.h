// PresetSlot: one of the 64 program slots.
#pragma once

#include "core/state_chunk.h"

namespace vantor {

struct PresetSlot {
  static constexpr int kNameSize = 256;

  bool initialized = false;
  char name[kNameSize] = "empty";
  StateChunk state;
};

}  // namespace vantor
