// Vantor: the state of one program and the programs loaded at start-up.
#include <array>

#include "core/vantor_state.h"
#include "instrument/vantor.h"
#include "resources/factory_bank.h"

namespace vantor {

bool Vantor::SaveState(StateChunk& chunk) {
  std::lock_guard lock(mutex_);
  std::array<double, kNumParams> values;
  for (int i = 0; i < kNumParams; ++i)
    values[static_cast<size_t>(i)] = Param(i)->value();
  AppendVantorState(chunk, current_program_, GetProgramName(current_program_), values.data(),
                    kNumParams);
  return !chunk.Empty();
}

int Vantor::LoadState(const StateChunk& chunk, int position) {
  std::lock_guard lock(mutex_);
  return ReadParamValues(chunk, SkipVantorStateHeader(chunk, position));
}

void Vantor::LoadFactoryBank() {
  std::lock_guard lock(mutex_);
  StateChunk bank;
  const std::span<const uint8_t> bytes = FactoryBankBytes();
  bank.Assign(bytes.data(), bytes.size());
  // The chunk of a bank file starts after its 160-byte header; the bytes are ours, so the
  // header's fields are not checked.
  int p = kFactoryBankChunkOffset;
  ReadChunkHeader(bank, &p);
  UnserializePresets(bank, p);
  NotifyProgramChange();
}

void Vantor::LoadStartupPrograms() {
  if (!LoadStartupBankFile()) LoadFactoryBank();
}

}  // namespace vantor
