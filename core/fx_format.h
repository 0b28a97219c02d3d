// Program (.fxp) and bank (.fxb) file headers: the big-endian "CcnK" records and their helpers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantor {

// A four-character code as an int32 whose most significant byte is the first character.
constexpr int32_t FxMagic(const char (&c)[5]) {
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(c[0])) << 24) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(c[1])) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(c[2])) << 8) |
                              static_cast<uint32_t>(static_cast<uint8_t>(c[3])));
}

constexpr int32_t kFxFileMagic = FxMagic("CcnK");
constexpr int32_t kFxProgramParams = FxMagic("FxCk");  // program as normalised floats
constexpr int32_t kFxProgramChunk = FxMagic("FPCh");   // program as an opaque chunk
constexpr int32_t kFxBankParams = FxMagic("FxBk");     // bank of FxCk program records
constexpr int32_t kFxBankChunk = FxMagic("FBCh");      // bank as an opaque chunk

constexpr int kFxProgramNameSize = 28;
constexpr size_t kFxBankReservedSize = 124;

// Every field a header of any of the four kinds can carry. Fields a kind does not have are
// ignored when writing and left as they are when parsing.
struct FxHeader {
  int32_t kind = 0;            // one of the four kinds above
  int32_t byte_size = 0;       // as stored; our writers store the size of the whole file
  int32_t format_version = 0;  // 1 for programs, 2 for banks (chunk variants)
  int32_t plugin_id = 0;
  int32_t plugin_version = 0;
  int32_t count = 0;                       // parameters of a program, programs of a bank
  int32_t current_program = 0;             // banks only
  char name[kFxProgramNameSize + 1] = {};  // programs only; always terminated after parsing
  int32_t chunk_size = 0;                  // chunk variants only
};

// True for the four kinds above.
bool IsFxKind(int32_t kind);
bool IsFxBank(int32_t kind);

// Bytes from the start of the file to the payload of `kind`: 56 (FxCk), 60 (FPCh), 156 (FxBk),
// 160 (FBCh); 0 for an unknown kind.
size_t FxHeaderSize(int32_t kind);

// Writes FxHeaderSize(header.kind) bytes at out (nothing for an unknown kind). The program name
// is cut to 27 characters and zero-padded; the reserved bank bytes are zero.
void WriteFxHeader(const FxHeader& header, uint8_t* out);

// Reads the header at data. False when fewer than 12 bytes are there, the magic is not "CcnK",
// the kind is unknown, or the data is shorter than that kind's header; the caller judges
// versions, identifier and counts.
bool ParseFxHeader(const uint8_t* data, size_t size, FxHeader* header);

// Big-endian helpers for the headers and the normalised floats of the parameter variants.
void StoreBigEndian32(uint8_t* out, int32_t value);
int32_t LoadBigEndian32(const uint8_t* in);
void StoreBigEndianFloat(uint8_t* out, float value);
float LoadBigEndianFloat(const uint8_t* in);

}  // namespace vantor
