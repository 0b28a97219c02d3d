// The factory bank built into the plug-in: the bytes of a bank file of 64 programs.
#pragma once

#include <cstdint>
#include <span>

namespace vantor {

// Where the bank's chunk starts in the file: after magic, size, kind, five fields, 124 reserved
// bytes and the chunk size.
constexpr int kFactoryBankChunkOffset = 160;

// Generated at build time from resources/factory_programs.txt by tools/bank_builder.
std::span<const uint8_t> FactoryBankBytes();

}  // namespace vantor
