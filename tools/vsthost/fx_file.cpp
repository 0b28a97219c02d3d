// Program and bank file layouts: big-endian headers, then parameter lists or an opaque chunk.
#include "tools/vsthost/fx_file.h"

#include <algorithm>
#include <cstring>

#include "host/vst24.h"

namespace vsthost {
namespace {

constexpr size_t kProgramHeaderSize = 56;  // up to the parameters or the chunk size
constexpr size_t kBankHeaderSize = 156;    // up to the programs or the chunk size
constexpr size_t kNameSize = 28;
// A parameter count beyond this is a damaged file, not a plug-in.
constexpr int32_t kMaxParams = 1 << 20;

int32_t GetBE(std::span<const uint8_t> b, size_t at) {
  return static_cast<int32_t>((uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) |
                              (uint32_t{b[at + 2]} << 8) | uint32_t{b[at + 3]});
}

void PutBE(std::vector<uint8_t>& out, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  out.push_back(static_cast<uint8_t>(u >> 24));
  out.push_back(static_cast<uint8_t>(u >> 16));
  out.push_back(static_cast<uint8_t>(u >> 8));
  out.push_back(static_cast<uint8_t>(u));
}

void SetBE(std::vector<uint8_t>& out, size_t at, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i)
    out[at + i] = static_cast<uint8_t>(u >> (24 - 8 * i));
}

float GetFloatBE(std::span<const uint8_t> b, size_t at) {
  const auto bits = static_cast<uint32_t>(GetBE(b, at));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

void PutFloatBE(std::vector<uint8_t>& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  PutBE(out, static_cast<int32_t>(bits));
}

std::string GetName(std::span<const uint8_t> b, size_t at) {
  const char* p = reinterpret_cast<const char*>(b.data() + at);
  return std::string(p, strnlen(p, kNameSize));
}

void PutName(std::vector<uint8_t>& out, const std::string& name) {
  char field[kNameSize] = {};
  std::memcpy(field, name.data(), std::min(name.size(), kNameSize - 1));  // keep a terminator
  out.insert(out.end(), field, field + kNameSize);
}

// The common header of a program record; `at` is where its "CcnK" stands.
bool ParseProgramRecord(std::span<const uint8_t> b, size_t at, FxProgram& out, size_t& end,
                        std::string& error) {
  if (b.size() - at < kProgramHeaderSize) {
    error = "the program header is cut off";
    return false;
  }
  if (GetBE(b, at) != vst::kCcnKMagic) {
    error = "a program does not start with \"CcnK\"";
    return false;
  }
  const int32_t kind = GetBE(b, at + 8);
  out.plugin_id = GetBE(b, at + 16);
  out.plugin_version = GetBE(b, at + 20);
  out.num_params = GetBE(b, at + 24);
  out.name = GetName(b, at + 28);
  const size_t data = at + kProgramHeaderSize;
  if (kind == vst::kFxProgramMagic) {
    if (out.num_params < 0 || out.num_params > kMaxParams) {
      error = "the program announces " + std::to_string(out.num_params) + " parameters";
      return false;
    }
    const size_t count = static_cast<size_t>(out.num_params);
    if ((b.size() - data) / 4 < count) {
      error = "the program announces " + std::to_string(count) + " parameters but holds only " +
              std::to_string((b.size() - data) / 4);
      return false;
    }
    out.is_chunk = false;
    out.params.resize(count);
    for (size_t i = 0; i < count; ++i)
      out.params[i] = GetFloatBE(b, data + 4 * i);
    end = data + 4 * count;
    return true;
  }
  if (kind == vst::kFxProgramChunkMagic) {
    if (b.size() - data < 4) {
      error = "the program's chunk size is cut off";
      return false;
    }
    const int32_t size = GetBE(b, data);
    if (size < 0 || static_cast<size_t>(size) > b.size() - data - 4) {
      error = "the program's chunk size (" + std::to_string(size) + " bytes) exceeds the file";
      return false;
    }
    out.is_chunk = true;
    out.chunk.assign(b.begin() + data + 4, b.begin() + data + 4 + size);
    end = data + 4 + size;
    return true;
  }
  error = "unknown program kind " + FourCCText(kind) + " (expected \"FxCk\" or \"FPCh\")";
  return false;
}

bool ParseBank(std::span<const uint8_t> b, FxBank& out, std::string& error) {
  if (b.size() < kBankHeaderSize) {
    error = "the bank header is cut off";
    return false;
  }
  const int32_t kind = GetBE(b, 8);
  const int32_t version = GetBE(b, 12);
  out.plugin_id = GetBE(b, 16);
  out.plugin_version = GetBE(b, 20);
  out.num_programs = GetBE(b, 24);
  // Version 1 files keep this field reserved; only later versions name the current program.
  out.current_program = version >= 2 ? GetBE(b, 28) : -1;
  if (kind == vst::kFxBankChunkMagic) {
    if (b.size() < kBankHeaderSize + 4) {
      error = "the bank's chunk size is cut off";
      return false;
    }
    const int32_t size = GetBE(b, kBankHeaderSize);
    if (size < 0 || static_cast<size_t>(size) > b.size() - kBankHeaderSize - 4) {
      error = "the bank's chunk size (" + std::to_string(size) + " bytes) exceeds the file";
      return false;
    }
    out.is_chunk = true;
    out.chunk.assign(b.begin() + kBankHeaderSize + 4, b.begin() + kBankHeaderSize + 4 + size);
    return true;
  }
  if (kind != vst::kFxBankMagic) {
    error = "unknown bank kind " + FourCCText(kind) + " (expected \"FxBk\" or \"FBCh\")";
    return false;
  }
  if (out.num_programs < 0 ||
      static_cast<size_t>(out.num_programs) > (b.size() - kBankHeaderSize) / kProgramHeaderSize) {
    error = "the bank announces " + std::to_string(out.num_programs) +
            " programs, more than the file holds";
    return false;
  }
  out.is_chunk = false;
  size_t at = kBankHeaderSize;
  for (int32_t i = 0; i < out.num_programs; ++i) {
    FxProgram program;
    size_t end = 0;
    if (!ParseProgramRecord(b, at, program, end, error)) {
      error = "program " + std::to_string(i) + " of the bank: " + error;
      return false;
    }
    if (program.is_chunk) {
      error = "program " + std::to_string(i) + " of the bank is a chunk, not a parameter list";
      return false;
    }
    out.programs.push_back(std::move(program));
    at = end;
  }
  return true;
}

}  // namespace

std::string FourCCText(int32_t id) {
  const auto u = static_cast<uint32_t>(id);
  std::string text = "'";
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((u >> shift) & 0xFF);
    if (c < 32 || c > 126) return std::to_string(id);
    text += c;
  }
  return text + "'";
}

bool ParseFxFile(std::span<const uint8_t> bytes, FxFile& out, std::string& error) {
  out = FxFile{};
  if (bytes.size() < 12 || GetBE(bytes, 0) != vst::kCcnKMagic) {
    error = "not a program or bank file (it does not start with \"CcnK\")";
    return false;
  }
  // The byte size at offset 4 is not trusted: writers disagree on whether it counts the first
  // eight bytes, so every length is taken from the fields that follow.
  const int32_t kind = GetBE(bytes, 8);
  if (kind == vst::kFxProgramMagic || kind == vst::kFxProgramChunkMagic) {
    size_t end = 0;
    return ParseProgramRecord(bytes, 0, out.program, end, error);
  }
  if (kind == vst::kFxBankMagic || kind == vst::kFxBankChunkMagic) {
    out.is_bank = true;
    return ParseBank(bytes, out.bank, error);
  }
  error = "unknown file kind " + FourCCText(kind) +
          " (expected \"FxCk\", \"FPCh\", \"FxBk\" or \"FBCh\")";
  return false;
}

std::vector<uint8_t> WriteFxProgram(const FxProgram& program) {
  std::vector<uint8_t> out;
  PutBE(out, vst::kCcnKMagic);
  PutBE(out, 0);  // byte size, filled in below
  PutBE(out, program.is_chunk ? vst::kFxProgramChunkMagic : vst::kFxProgramMagic);
  PutBE(out, 1);  // format version
  PutBE(out, program.plugin_id);
  PutBE(out, program.plugin_version);
  PutBE(out, program.is_chunk ? program.num_params : static_cast<int32_t>(program.params.size()));
  PutName(out, program.name);
  if (program.is_chunk) {
    PutBE(out, static_cast<int32_t>(program.chunk.size()));
    out.insert(out.end(), program.chunk.begin(), program.chunk.end());
  } else {
    for (float v : program.params)
      PutFloatBE(out, v);
  }
  SetBE(out, 4, static_cast<int32_t>(out.size() - 8));  // counts what follows the size field
  return out;
}

std::vector<uint8_t> WriteFxBank(const FxBank& bank) {
  std::vector<uint8_t> out;
  PutBE(out, vst::kCcnKMagic);
  PutBE(out, 0);
  PutBE(out, bank.is_chunk ? vst::kFxBankChunkMagic : vst::kFxBankMagic);
  PutBE(out, 2);  // format version 2 carries the current program
  PutBE(out, bank.plugin_id);
  PutBE(out, bank.plugin_version);
  PutBE(out, bank.is_chunk ? bank.num_programs : static_cast<int32_t>(bank.programs.size()));
  PutBE(out, bank.current_program < 0 ? 0 : bank.current_program);
  out.resize(kBankHeaderSize, 0);
  if (bank.is_chunk) {
    PutBE(out, static_cast<int32_t>(bank.chunk.size()));
    out.insert(out.end(), bank.chunk.begin(), bank.chunk.end());
  } else {
    for (const FxProgram& p : bank.programs) {
      FxProgram record = p;
      record.is_chunk = false;
      const std::vector<uint8_t> bytes = WriteFxProgram(record);
      out.insert(out.end(), bytes.begin(), bytes.end());
    }
  }
  SetBE(out, 4, static_cast<int32_t>(out.size() - 8));
  return out;
}

}  // namespace vsthost
