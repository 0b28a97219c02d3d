// Program and bank file headers: layout offsets per kind, big-endian stores and loads.
#include "core/fx_format.h"

#include <bit>
#include <cstring>

namespace vantor {
namespace {

// Offsets shared by all kinds.
constexpr size_t kMagicAt = 0;
constexpr size_t kByteSizeAt = 4;
constexpr size_t kKindAt = 8;
constexpr size_t kFormatVersionAt = 12;
constexpr size_t kPluginIdAt = 16;
constexpr size_t kPluginVersionAt = 20;
constexpr size_t kCountAt = 24;
// Programs: the name, then the chunk size or the floats.
constexpr size_t kNameAt = 28;
// Banks: the current program, reserved bytes, then the chunk size or the program records.
constexpr size_t kCurrentProgramAt = 28;
constexpr size_t kReservedAt = 32;
static_assert(kReservedAt + kFxBankReservedSize + 4 == 160, "the bank chunk starts at 160");

}  // namespace

void StoreBigEndian32(uint8_t* out, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  out[0] = static_cast<uint8_t>(v >> 24);
  out[1] = static_cast<uint8_t>(v >> 16);
  out[2] = static_cast<uint8_t>(v >> 8);
  out[3] = static_cast<uint8_t>(v);
}

int32_t LoadBigEndian32(const uint8_t* in) {
  return static_cast<int32_t>((static_cast<uint32_t>(in[0]) << 24) |
                              (static_cast<uint32_t>(in[1]) << 16) |
                              (static_cast<uint32_t>(in[2]) << 8) | static_cast<uint32_t>(in[3]));
}

void StoreBigEndianFloat(uint8_t* out, float value) {
  StoreBigEndian32(out, std::bit_cast<int32_t>(value));
}

float LoadBigEndianFloat(const uint8_t* in) {
  return std::bit_cast<float>(LoadBigEndian32(in));
}

bool IsFxKind(int32_t kind) {
  return FxHeaderSize(kind) != 0;
}

bool IsFxBank(int32_t kind) {
  return kind == kFxBankParams || kind == kFxBankChunk;
}

size_t FxHeaderSize(int32_t kind) {
  switch (kind) {
    case kFxProgramParams:
      return 56;
    case kFxProgramChunk:
      return 60;
    case kFxBankParams:
      return 156;
    case kFxBankChunk:
      return 160;
    default:
      return 0;
  }
}

void WriteFxHeader(const FxHeader& header, uint8_t* out) {
  const size_t size = FxHeaderSize(header.kind);
  if (size == 0) return;
  memset(out, 0, size);
  StoreBigEndian32(out + kMagicAt, kFxFileMagic);
  StoreBigEndian32(out + kByteSizeAt, header.byte_size);
  StoreBigEndian32(out + kKindAt, header.kind);
  StoreBigEndian32(out + kFormatVersionAt, header.format_version);
  StoreBigEndian32(out + kPluginIdAt, header.plugin_id);
  StoreBigEndian32(out + kPluginVersionAt, header.plugin_version);
  StoreBigEndian32(out + kCountAt, header.count);
  if (IsFxBank(header.kind)) {
    StoreBigEndian32(out + kCurrentProgramAt, header.current_program);
  } else {
    // At most 27 characters, so a reader that expects a terminator finds one.
    memcpy(out + kNameAt, header.name, strnlen(header.name, kFxProgramNameSize - 1));
  }
  if (header.kind == kFxProgramChunk || header.kind == kFxBankChunk) {
    StoreBigEndian32(out + size - 4, header.chunk_size);
  }
}

bool ParseFxHeader(const uint8_t* data, size_t size, FxHeader* header) {
  if (!data || size < kKindAt + 4) return false;
  if (LoadBigEndian32(data + kMagicAt) != kFxFileMagic) return false;
  const int32_t kind = LoadBigEndian32(data + kKindAt);
  const size_t header_size = FxHeaderSize(kind);
  if (header_size == 0 || size < header_size) return false;
  header->kind = kind;
  header->byte_size = LoadBigEndian32(data + kByteSizeAt);
  header->format_version = LoadBigEndian32(data + kFormatVersionAt);
  header->plugin_id = LoadBigEndian32(data + kPluginIdAt);
  header->plugin_version = LoadBigEndian32(data + kPluginVersionAt);
  header->count = LoadBigEndian32(data + kCountAt);
  if (IsFxBank(kind)) {
    header->current_program = LoadBigEndian32(data + kCurrentProgramAt);
  } else {
    memcpy(header->name, data + kNameAt, kFxProgramNameSize);
    header->name[kFxProgramNameSize] = '\0';
  }
  if (kind == kFxProgramChunk || kind == kFxBankChunk) {
    header->chunk_size = LoadBigEndian32(data + header_size - 4);
  }
  return true;
}

}  // namespace vantor
