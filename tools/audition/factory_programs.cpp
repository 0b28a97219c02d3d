// Reads program names and values out of a bank file.
#include "tools/audition/factory_programs.h"

#include "core/plugin_base.h"
#include "core/state_chunk.h"
#include "core/vantor_state.h"
#include "resources/factory_bank.h"

namespace vantor::audition {

std::vector<FactoryProgram> ReadFactoryPrograms(std::span<const uint8_t> bank) {
  StateChunk chunk;
  chunk.Assign(bank.data(), bank.size());
  int p = kFactoryBankChunkOffset;
  if (PluginBase::ReadChunkHeader(chunk, &p) == 0) return {};
  std::vector<FactoryProgram> programs;
  for (int slot = 0; slot < PluginBase::kNumPrograms && p >= 0; ++slot) {
    FactoryProgram program;
    p = chunk.GetString(&program.name, p);
    uint8_t initialized = 0;
    p = chunk.GetBytes(&initialized, 1, p);
    if (p < 0 || !initialized) return {};
    p = SkipVantorStateHeader(chunk, p);
    for (double& value : program.values)
      p = chunk.GetDouble(&value, p);
    programs.push_back(program);
  }
  if (p < 0) return {};
  return programs;
}

std::vector<FactoryProgram> BuiltInPrograms() {
  return ReadFactoryPrograms(FactoryBankBytes());
}

}  // namespace vantor::audition
