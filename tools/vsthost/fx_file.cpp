// Program and bank files: the shared big-endian headers, then parameter lists or a chunk.
#include "tools/vsthost/fx_file.h"

#include <algorithm>
#include <cstring>

#include "core/fx_format.h"

namespace vsthost {
namespace {

// A parameter count beyond this is a damaged file, not a plug-in.
constexpr int32_t kMaxParams = 1 << 20;

// Why ParseFxHeader refused the record at the start of `rest`.
std::string HeaderProblem(std::span<const uint8_t> rest, bool top_level) {
  if (rest.size() < 12 || vantor::LoadBigEndian32(rest.data()) != vantor::kFxFileMagic) {
    return top_level ? "not a program or bank file (it does not start with \"CcnK\")"
                     : "a program does not start with \"CcnK\"";
  }
  const int32_t kind = vantor::LoadBigEndian32(rest.data() + 8);
  if (!vantor::IsFxKind(kind)) {
    return "unknown file kind " + FourCCText(kind) +
           " (expected \"FxCk\", \"FPCh\", \"FxBk\" or \"FBCh\")";
  }
  return vantor::IsFxBank(kind) ? "the bank header is cut off" : "the program header is cut off";
}

// The program record at `at`; `end` becomes the position after it.
bool ParseProgramRecord(std::span<const uint8_t> b, size_t at, FxProgram& out, size_t& end,
                        std::string& error) {
  vantor::FxHeader h;
  if (!vantor::ParseFxHeader(b.data() + at, b.size() - at, &h)) {
    error = HeaderProblem(b.subspan(at), at == 0);
    return false;
  }
  if (vantor::IsFxBank(h.kind)) {
    error = "a bank stands where a program should";
    return false;
  }
  out.plugin_id = h.plugin_id;
  out.plugin_version = h.plugin_version;
  out.num_params = h.count;
  out.name = h.name;
  const size_t data = at + vantor::FxHeaderSize(h.kind);
  if (h.kind == vantor::kFxProgramParams) {
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
    for (size_t i = 0; i < count; ++i) {
      out.params[i] = vantor::LoadBigEndianFloat(b.data() + data + 4 * i);
    }
    end = data + 4 * count;
    return true;
  }
  if (h.chunk_size < 0 || static_cast<size_t>(h.chunk_size) > b.size() - data) {
    error =
        "the program's chunk size (" + std::to_string(h.chunk_size) + " bytes) exceeds the file";
    return false;
  }
  out.is_chunk = true;
  out.chunk.assign(b.begin() + data, b.begin() + data + h.chunk_size);
  end = data + h.chunk_size;
  return true;
}

bool ParseBank(std::span<const uint8_t> b, FxBank& out, std::string& error) {
  vantor::FxHeader h;
  if (!vantor::ParseFxHeader(b.data(), b.size(), &h)) {
    error = HeaderProblem(b, true);
    return false;
  }
  out.plugin_id = h.plugin_id;
  out.plugin_version = h.plugin_version;
  out.num_programs = h.count;
  // Version 1 files keep this field reserved; only later versions name the current program.
  out.current_program = h.format_version >= 2 ? h.current_program : -1;
  const size_t data = vantor::FxHeaderSize(h.kind);
  if (h.kind == vantor::kFxBankChunk) {
    if (h.chunk_size < 0 || static_cast<size_t>(h.chunk_size) > b.size() - data) {
      error = "the bank's chunk size (" + std::to_string(h.chunk_size) + " bytes) exceeds the file";
      return false;
    }
    out.is_chunk = true;
    out.chunk.assign(b.begin() + data, b.begin() + data + h.chunk_size);
    return true;
  }
  const size_t smallest_program = vantor::FxHeaderSize(vantor::kFxProgramParams);
  if (out.num_programs < 0 ||
      static_cast<size_t>(out.num_programs) > (b.size() - data) / smallest_program) {
    error = "the bank announces " + std::to_string(out.num_programs) +
            " programs, more than the file holds";
    return false;
  }
  out.is_chunk = false;
  size_t at = data;
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

// Appends a header of `kind`; the byte size is set once the whole file is there.
void AppendHeader(std::vector<uint8_t>& out, vantor::FxHeader header) {
  header.byte_size = 0;
  const size_t at = out.size();
  out.resize(at + vantor::FxHeaderSize(header.kind));
  vantor::WriteFxHeader(header, out.data() + at);
}

// Hosts count what follows the byte-size field itself.
void FinishByteSize(std::vector<uint8_t>& out, size_t start) {
  vantor::StoreBigEndian32(out.data() + start + 4, static_cast<int32_t>(out.size() - start - 8));
}

void AppendProgram(std::vector<uint8_t>& out, const FxProgram& program, bool as_chunk) {
  const size_t start = out.size();
  vantor::FxHeader h;
  h.kind = as_chunk ? vantor::kFxProgramChunk : vantor::kFxProgramParams;
  h.format_version = 1;
  h.plugin_id = program.plugin_id;
  h.plugin_version = program.plugin_version;
  h.count = as_chunk ? program.num_params : static_cast<int32_t>(program.params.size());
  memcpy(h.name, program.name.data(),
         std::min<size_t>(program.name.size(), vantor::kFxProgramNameSize));
  h.chunk_size = static_cast<int32_t>(program.chunk.size());
  AppendHeader(out, h);
  if (as_chunk) {
    out.insert(out.end(), program.chunk.begin(), program.chunk.end());
  } else {
    const size_t at = out.size();
    out.resize(at + 4 * program.params.size());
    for (size_t i = 0; i < program.params.size(); ++i) {
      vantor::StoreBigEndianFloat(out.data() + at + 4 * i, program.params[i]);
    }
  }
  FinishByteSize(out, start);
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
  // The byte size at offset 4 is not trusted: writers disagree on whether it counts the first
  // eight bytes, so every length is taken from the fields that follow.
  if (bytes.size() >= 12 && vantor::IsFxBank(vantor::LoadBigEndian32(bytes.data() + 8))) {
    out.is_bank = true;
    return ParseBank(bytes, out.bank, error);
  }
  size_t end = 0;
  return ParseProgramRecord(bytes, 0, out.program, end, error);
}

std::vector<uint8_t> WriteFxProgram(const FxProgram& program) {
  std::vector<uint8_t> out;
  AppendProgram(out, program, program.is_chunk);
  return out;
}

std::vector<uint8_t> WriteFxBank(const FxBank& bank) {
  std::vector<uint8_t> out;
  vantor::FxHeader h;
  h.kind = bank.is_chunk ? vantor::kFxBankChunk : vantor::kFxBankParams;
  h.format_version = 2;  // version 2 carries the current program
  h.plugin_id = bank.plugin_id;
  h.plugin_version = bank.plugin_version;
  h.count = bank.is_chunk ? bank.num_programs : static_cast<int32_t>(bank.programs.size());
  h.current_program = std::max(0, bank.current_program);
  h.chunk_size = static_cast<int32_t>(bank.chunk.size());
  AppendHeader(out, h);
  if (bank.is_chunk) {
    out.insert(out.end(), bank.chunk.begin(), bank.chunk.end());
  } else {
    for (const FxProgram& p : bank.programs)
      AppendProgram(out, p, false);
  }
  FinishByteSize(out, 0);
  return out;
}

}  // namespace vsthost
