// The instrument state of one program: the "Vantor_1.3.1" tag, program index, name and values.
#pragma once

#include "core/state_chunk.h"

namespace vantor {

constexpr char kVantorStateTag[] = "Vantor_1.3.1";
constexpr int kVantorStateTagSize = sizeof kVantorStateTag - 1;  // stored without terminator

// Appends tag, program index, the name as a string, then `count` doubles.
void AppendVantorState(StateChunk& chunk, int program_index, const char* name, const double* values,
                       int count);

// The position of the values in a state at p: past tag, index and name when the tag is there,
// p itself for a raw parameter list without tag; -1 when the chunk ends inside the header.
int SkipVantorStateHeader(const StateChunk& chunk, int p);

}  // namespace vantor
