// The instrument state layout shared by the plug-in and the factory-bank builder.
#include "core/vantor_state.h"

#include <cstring>
#include <string>

namespace vantor {

void AppendVantorState(StateChunk& chunk, int program_index, const char* name, const double* values,
                       int count) {
  chunk.PutBytes(kVantorStateTag, kVantorStateTagSize);
  chunk.PutInt32(program_index);
  chunk.PutString(name ? name : "");
  for (int i = 0; i < count; ++i)
    chunk.PutDouble(values[i]);
}

int SkipVantorStateHeader(const StateChunk& chunk, int p) {
  char tag[kVantorStateTagSize];
  // States written before the tag existed hold only the values.
  if (chunk.GetBytes(tag, kVantorStateTagSize, p) < 0 ||
      memcmp(tag, kVantorStateTag, kVantorStateTagSize) != 0) {
    return p;
  }
  int32_t program_index = 0;
  p = chunk.GetInt32(&program_index, p + kVantorStateTagSize);
  // Index and name are the writer's; readers skip them. A negative name length is unreadable
  // rather than a step backwards. Skipped without a copy: a program change recalls a state on the
  // audio thread.
  return chunk.GetString(nullptr, p);
}

}  // namespace vantor
