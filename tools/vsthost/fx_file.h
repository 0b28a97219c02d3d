// Program (.fxp) and bank (.fxb) files as VST 2.4 hosts read and write them, for any plug-in.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vsthost {

struct FxProgram {
  int32_t plugin_id = 0;
  int32_t plugin_version = 0;
  int32_t num_params = 0;
  std::string name;            // at most 27 characters survive writing
  bool is_chunk = false;       // "FPCh" (opaque chunk) rather than "FxCk" (parameter list)
  std::vector<float> params;   // normalised values, for "FxCk"
  std::vector<uint8_t> chunk;  // for "FPCh"
};

struct FxBank {
  int32_t plugin_id = 0;
  int32_t plugin_version = 0;
  int32_t num_programs = 0;
  int32_t current_program = -1;     // -1 when the file (format version 1) does not say
  bool is_chunk = false;            // "FBCh" rather than "FxBk"
  std::vector<FxProgram> programs;  // for "FxBk"
  std::vector<uint8_t> chunk;       // for "FBCh"
};

struct FxFile {
  bool is_bank = false;
  FxProgram program;
  FxBank bank;
};

// Reads a whole program or bank file image; false with a sentence on what is wrong.
bool ParseFxFile(std::span<const uint8_t> bytes, FxFile& out, std::string& error);

std::vector<uint8_t> WriteFxProgram(const FxProgram& program);
std::vector<uint8_t> WriteFxBank(const FxBank& bank);

// 'Abcd' for printable identifiers, otherwise the number.
std::string FourCCText(int32_t id);

}  // namespace vsthost
