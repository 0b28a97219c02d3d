// Synth: program (.fxp) and bank (.fxb) files: writing them, and reading all four kinds.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/fx_format.h"
#include "platform/platform.h"
#include "shell/synth.h"

namespace vantor {
namespace {

constexpr int32_t kProgramFormatVersion = 1;
constexpr int32_t kBankFormatVersion = 2;
constexpr size_t kMaxFileSize = size_t{64} << 20;  // far above a full bank (about 60 kB)

// The version field of program and bank files: major * 10000 + minor * 100 + patch.
constexpr int32_t kProgramVersion = (PluginBase::kVendorVersion >> 16) * 10000 +
                                    ((PluginBase::kVendorVersion >> 8) & 0xFF) * 100 +
                                    (PluginBase::kVendorVersion & 0xFF);
static_assert(kProgramVersion == 10301);

constexpr size_t kParamRecordSize = 4 * PluginBase::kNumParams;
// A program of the parameter-list kind: its header, then one float per parameter.
constexpr size_t kProgramRecordSize = 56 + kParamRecordSize;

// The chunk of a chunk-kind file: the `chunk_size` bytes after the header, which must all be
// there.
bool ChunkOf(const FxHeader& header, const uint8_t* data, size_t size, StateChunk* chunk) {
  const size_t start = FxHeaderSize(header.kind);
  if (header.chunk_size < 0 || static_cast<size_t>(header.chunk_size) > size - start) return false;
  chunk->Assign(data + start, static_cast<size_t>(header.chunk_size));
  return true;
}

// The 110 normalised values of a parameter-list program record at `data`; false unless every one
// is a number. Values outside 0 .. 1 are held to it.
bool ReadNormalisedValues(const uint8_t* data, float* values) {
  for (int i = 0; i < PluginBase::kNumParams; ++i) {
    const float x = LoadBigEndianFloat(data + 4 * i);
    if (!std::isfinite(x)) return false;
    values[i] = std::clamp(x, 0.0f, 1.0f);
  }
  return true;
}

}  // namespace

// ---- writing ----

// A chunk-kind file of our plug-in: header, then the chunk.
std::vector<uint8_t> Synth::ChunkFile(FxHeader header, const StateChunk& chunk) const {
  const size_t header_size = FxHeaderSize(header.kind);
  header.byte_size = chunk.Size() + static_cast<int32_t>(header_size);
  header.plugin_id = unique_id_;
  header.plugin_version = kProgramVersion;
  header.chunk_size = chunk.Size();
  std::vector<uint8_t> bytes(header_size + static_cast<size_t>(chunk.Size()));
  WriteFxHeader(header, bytes.data());
  if (chunk.Size() > 0)
    memcpy(bytes.data() + header_size, chunk.Data(), bytes.size() - header_size);
  return bytes;
}

std::vector<uint8_t> Synth::ProgramFileBytes() {
  std::lock_guard lock(mutex_);
  StateChunk chunk;
  WriteChunkHeader(chunk);
  SaveState(chunk);
  FxHeader header;
  header.kind = kFxProgramChunk;
  header.format_version = kProgramFormatVersion;
  header.count = kNumParams;
  CopyString(header.name, GetProgramName(current_program_), sizeof header.name);
  return ChunkFile(header, chunk);
}

std::vector<uint8_t> Synth::BankFileBytes() {
  std::lock_guard lock(mutex_);
  StateChunk chunk;
  WriteChunkHeader(chunk);
  SerializePresets(chunk);
  FxHeader header;
  header.kind = kFxBankChunk;
  header.format_version = kBankFormatVersion;
  header.count = kNumPrograms;
  header.current_program = current_program_;
  return ChunkFile(header, chunk);
}

bool Synth::SaveProgramFile(const std::string& path) {
  if (path.empty()) return false;
  const std::vector<uint8_t> bytes = ProgramFileBytes();
  return platform::WriteWholeFile(path, bytes.data(), bytes.size());
}

bool Synth::SaveBankFile(const std::string& path) {
  if (path.empty()) return false;
  const std::vector<uint8_t> bytes = BankFileBytes();
  return platform::WriteWholeFile(path, bytes.data(), bytes.size());
}

// ---- reading ----

bool Synth::LoadProgramBytes(const uint8_t* data, size_t size) {
  FxHeader header;
  if (!ParseFxHeader(data, size, &header) || IsFxBank(header.kind)) return false;
  if (header.format_version != kProgramFormatVersion || header.plugin_id != unique_id_)
    return false;
  // The count describes the floats of a parameter list; a chunk carries its own values, and other
  // writers leave the field zero or put their own figure there.
  if (header.kind == kFxProgramParams && header.count != kNumParams) return false;
  std::lock_guard lock(mutex_);
  if (header.kind == kFxProgramChunk) {
    StateChunk chunk;
    if (!ChunkOf(header, data, size, &chunk)) return false;
    const ProgramsSnapshot snapshot = SnapshotPrograms();
    int p = 0;
    ReadChunkHeader(chunk, &p);
    if (LoadState(chunk, p) < 0) {
      RestorePrograms(snapshot);
      return false;
    }
  } else {
    float values[kNumParams];
    if (size - FxHeaderSize(kFxProgramParams) < kParamRecordSize ||
        !ReadNormalisedValues(data + FxHeaderSize(kFxProgramParams), values)) {
      return false;
    }
    for (int i = 0; i < kNumParams; ++i)
      params_[static_cast<size_t>(i)].SetFromNormalized(values[i]);
  }
  ModifyCurrentPreset(header.name);
  RecallProgram(current_program_);
  NotifyProgramChange();
  return true;
}

bool Synth::LoadBankBytes(const uint8_t* data, size_t size) {
  FxHeader header;
  if (!ParseFxHeader(data, size, &header) || !IsFxBank(header.kind)) return false;
  if (header.plugin_id != unique_id_) return false;
  std::lock_guard lock(mutex_);
  if (header.kind == kFxBankChunk) {
    StateChunk chunk;
    if (!ChunkOf(header, data, size, &chunk)) return false;
    const ProgramsSnapshot snapshot = SnapshotPrograms();
    int p = 0;
    ReadChunkHeader(chunk, &p);
    if (UnserializePresets(chunk, p) < 0) {
      RestorePrograms(snapshot);
      return false;
    }
  } else {
    // Every record is checked before the first is applied.
    if (header.count < 1 || header.count > kNumPrograms) return false;
    const size_t count = static_cast<size_t>(header.count);
    const size_t start = FxHeaderSize(kFxBankParams);
    if ((size - start) / kProgramRecordSize < count) return false;
    std::vector<FxHeader> records(count);
    std::vector<float> values(count * kNumParams);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* record = data + start + i * kProgramRecordSize;
      FxHeader& program = records[i];
      if (!ParseFxHeader(record, kProgramRecordSize, &program) ||
          program.kind != kFxProgramParams || program.format_version != kProgramFormatVersion ||
          program.count != kNumParams ||
          !ReadNormalisedValues(record + FxHeaderSize(kFxProgramParams), &values[i * kNumParams])) {
        return false;
      }
    }
    const ProgramsSnapshot snapshot = SnapshotPrograms();
    for (size_t i = 0; i < count; ++i) {
      if (!RecallProgram(static_cast<int>(i))) {
        RestorePrograms(snapshot);
        return false;
      }
      for (int j = 0; j < kNumParams; ++j)
        params_[static_cast<size_t>(j)].SetFromNormalized(values[i * kNumParams + j]);
      ModifyCurrentPreset(records[i].name);
    }
    RecallProgram(header.current_program);
  }
  NotifyProgramChange();
  return true;
}

bool Synth::LoadProgramFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (path.empty() || !platform::ReadWholeFile(path, &bytes, kMaxFileSize)) return false;
  return LoadProgramBytes(bytes.data(), bytes.size());
}

bool Synth::LoadStartupBankFile() {
  if (!startup_bank_.empty() && LoadBankFile(startup_bank_)) return true;
  startup_bank_.clear();
  return false;
}

bool Synth::LoadBankFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (path.empty() || !platform::ReadWholeFile(path, &bytes, kMaxFileSize)) return false;
  return LoadBankBytes(bytes.data(), bytes.size());
}

}  // namespace vantor
