// Program and bank file headers: exact bytes, names, and refusal of what is not a header.
#include "core/fx_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vantor {
namespace {

TEST(FxFormatTest, BankChunkHeaderHasTheStandardLayout) {
  FxHeader header;
  header.kind = kFxBankChunk;
  header.byte_size = 60203;
  header.format_version = 2;
  header.plugin_id = FxMagic("VNQ8");
  header.plugin_version = 10301;
  header.count = 64;
  header.current_program = 5;
  header.chunk_size = 60043;
  std::vector<uint8_t> bytes(FxHeaderSize(kFxBankChunk), 0xAA);
  ASSERT_EQ(bytes.size(), 160u);
  WriteFxHeader(header, bytes.data());
  const uint8_t expected_start[] = {'C',  'c',  'n', 'K', 0, 0,   0xEB, 0x2B, 'F', 'B', 'C',
                                    'h',  0,    0,   0,   2, 'V', 'N',  'Q',  '8', 0,   0,
                                    0x28, 0x3D, 0,   0,   0, 64,  0,    0,    0,   5};
  EXPECT_EQ(memcmp(bytes.data(), expected_start, sizeof expected_start), 0);
  for (size_t i = 32; i < 156; ++i)
    ASSERT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(LoadBigEndian32(&bytes[156]), 60043);

  FxHeader parsed;
  ASSERT_TRUE(ParseFxHeader(bytes.data(), bytes.size(), &parsed));
  EXPECT_EQ(parsed.kind, kFxBankChunk);
  EXPECT_EQ(parsed.byte_size, 60203);
  EXPECT_EQ(parsed.format_version, 2);
  EXPECT_EQ(parsed.plugin_id, FxMagic("VNQ8"));
  EXPECT_EQ(parsed.plugin_version, 10301);
  EXPECT_EQ(parsed.count, 64);
  EXPECT_EQ(parsed.current_program, 5);
  EXPECT_EQ(parsed.chunk_size, 60043);

  // The parameter-list variants' values are big-endian floats.
  uint8_t f[4];
  StoreBigEndianFloat(f, 0.75f);
  EXPECT_EQ(f[0], 0x3F);
  EXPECT_EQ(f[1], 0x40);
  EXPECT_EQ(LoadBigEndianFloat(f), 0.75f);
}

TEST(FxFormatTest, ProgramNamesAreCutAndPadded) {
  FxHeader header;
  header.kind = kFxProgramChunk;
  header.format_version = 1;
  header.count = 110;
  header.chunk_size = 916;
  strcpy(header.name, "0123456789012345678901234567");
  std::vector<uint8_t> bytes(60, 0xAA);
  WriteFxHeader(header, bytes.data());
  EXPECT_EQ(memcmp(&bytes[28], "012345678901234567890123456", 27), 0);
  EXPECT_EQ(bytes[55], 0);
  EXPECT_EQ(LoadBigEndian32(&bytes[56]), 916);

  FxHeader parsed;
  ASSERT_TRUE(ParseFxHeader(bytes.data(), bytes.size(), &parsed));
  EXPECT_STREQ(parsed.name, "012345678901234567890123456");
  // A file's name field of 28 bytes without any zero is still read as a terminated string.
  memset(&bytes[28], 'x', 28);
  ASSERT_TRUE(ParseFxHeader(bytes.data(), bytes.size(), &parsed));
  EXPECT_EQ(strlen(parsed.name), 28u);
}

TEST(FxFormatTest, HeaderSizesPerKindAndRefusalOfWhatIsNotAHeader) {
  FxHeader header;
  header.kind = kFxBankChunk;
  std::vector<uint8_t> bytes(160);
  WriteFxHeader(header, bytes.data());
  FxHeader parsed;
  EXPECT_FALSE(ParseFxHeader(nullptr, 160, &parsed));
  EXPECT_FALSE(ParseFxHeader(bytes.data(), 159, &parsed));  // cut inside the header
  EXPECT_FALSE(ParseFxHeader(bytes.data(), 11, &parsed));
  EXPECT_TRUE(ParseFxHeader(bytes.data(), 160, &parsed));
  bytes[0] = 'c';
  EXPECT_FALSE(ParseFxHeader(bytes.data(), 160, &parsed));
  bytes[0] = 'C';
  bytes[8] = 'X';
  EXPECT_FALSE(ParseFxHeader(bytes.data(), 160, &parsed));
  // The parameter-list variants start their payload earlier: 56 bytes hold a program header.
  EXPECT_EQ(FxHeaderSize(kFxProgramParams), 56u);
  EXPECT_EQ(FxHeaderSize(kFxBankParams), 156u);
  EXPECT_EQ(FxHeaderSize(FxMagic("abcd")), 0u);
  EXPECT_TRUE(IsFxKind(kFxBankParams));
  EXPECT_FALSE(IsFxKind(0));
  header.kind = kFxProgramParams;
  WriteFxHeader(header, bytes.data());
  EXPECT_TRUE(ParseFxHeader(bytes.data(), 56, &parsed));
  EXPECT_FALSE(ParseFxHeader(bytes.data(), 55, &parsed));
}

}  // namespace
}  // namespace vantor
