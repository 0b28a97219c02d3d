// The factory programs as the built bank holds them: each slot's name and parameter values.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/vantor_params.h"

namespace vantor::audition {

struct FactoryProgram {
  std::string name;
  std::array<double, kParamCount> values{};
};

// Reads the 64 programs of a bank file's bytes; empty when the bytes are not such a bank.
std::vector<FactoryProgram> ReadFactoryPrograms(std::span<const uint8_t> bank);

// The bank built into the plug-in.
std::vector<FactoryProgram> BuiltInPrograms();

}  // namespace vantor::audition
