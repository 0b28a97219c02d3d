// Program and bank files: the byte layout hosts expect, all four kinds, and refusals.
#include "tools/vsthost/fx_file.h"

#include <gtest/gtest.h>

#include "host/vst24.h"

namespace vsthost {
namespace {

int32_t BE(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>((uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) |
                              (uint32_t{b[at + 2]} << 8) | b[at + 3]);
}

void SetBE(std::vector<uint8_t>& b, size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (24 - 8 * i));
}

FxFile Parse(const std::vector<uint8_t>& bytes) {
  FxFile f;
  std::string error;
  EXPECT_TRUE(ParseFxFile(bytes, f, error)) << error;
  return f;
}

std::string Refusal(const std::vector<uint8_t>& bytes) {
  FxFile f;
  std::string error;
  EXPECT_FALSE(ParseFxFile(bytes, f, error));
  return error;
}

FxProgram ParamProgram() {
  FxProgram p;
  p.plugin_id = vst::FourCC('A', 'b', 'c', 'd');
  p.plugin_version = 1200;
  p.name = "A name longer than the twenty-seven characters";
  p.params = {0.0f, 0.25f, 1.0f};
  p.num_params = 3;
  return p;
}

TEST(FxFileTest, ParameterListProgramHasTheStandardLayout) {
  const std::vector<uint8_t> bytes = WriteFxProgram(ParamProgram());
  ASSERT_EQ(bytes.size(), 56u + 3 * 4);
  EXPECT_EQ(BE(bytes, 0), vst::kCcnKMagic);
  EXPECT_EQ(BE(bytes, 4), static_cast<int32_t>(bytes.size() - 8));
  EXPECT_EQ(BE(bytes, 8), vst::kFxProgramMagic);
  EXPECT_EQ(BE(bytes, 12), 1);
  EXPECT_EQ(BE(bytes, 16), vst::FourCC('A', 'b', 'c', 'd'));
  EXPECT_EQ(BE(bytes, 20), 1200);
  EXPECT_EQ(BE(bytes, 24), 3);
  EXPECT_EQ(bytes[28 + 26], 'n');  // 27 characters of the name, then the terminator
  EXPECT_EQ(bytes[28 + 27], 0);
  EXPECT_EQ(BE(bytes, 60), 0x3E800000);  // 0.25f, big-endian

  const FxFile f = Parse(bytes);
  EXPECT_FALSE(f.is_bank);
  EXPECT_FALSE(f.program.is_chunk);
  EXPECT_EQ(f.program.name, "A name longer than the twen");
  EXPECT_EQ(f.program.params, ParamProgram().params);
}

TEST(FxFileTest, ChunkProgramAndBothBankKindsRoundTrip) {
  FxProgram chunk_program;
  chunk_program.plugin_id = 42;
  chunk_program.num_params = 110;
  chunk_program.is_chunk = true;
  chunk_program.name = "Pad";
  chunk_program.chunk = {1, 2, 3, 4, 5};
  const std::vector<uint8_t> program_bytes = WriteFxProgram(chunk_program);
  EXPECT_EQ(BE(program_bytes, 8), vst::kFxProgramChunkMagic);
  EXPECT_EQ(BE(program_bytes, 56), 5);
  const FxFile p = Parse(program_bytes);
  EXPECT_TRUE(p.program.is_chunk);
  EXPECT_EQ(p.program.chunk, chunk_program.chunk);
  EXPECT_EQ(p.program.num_params, 110);

  FxBank chunk_bank;
  chunk_bank.plugin_id = 42;
  chunk_bank.num_programs = 64;
  chunk_bank.current_program = 7;
  chunk_bank.is_chunk = true;
  chunk_bank.chunk = std::vector<uint8_t>(1000, 0xAB);
  const std::vector<uint8_t> bank_bytes = WriteFxBank(chunk_bank);
  ASSERT_EQ(bank_bytes.size(), 160u + 1000);
  EXPECT_EQ(BE(bank_bytes, 8), vst::kFxBankChunkMagic);
  EXPECT_EQ(BE(bank_bytes, 12), 2);
  EXPECT_EQ(BE(bank_bytes, 28), 7);
  EXPECT_EQ(BE(bank_bytes, 156), 1000);
  const FxFile b = Parse(bank_bytes);
  EXPECT_TRUE(b.is_bank);
  EXPECT_EQ(b.bank.current_program, 7);
  EXPECT_EQ(b.bank.chunk, chunk_bank.chunk);

  FxBank list_bank;
  list_bank.plugin_id = ParamProgram().plugin_id;
  list_bank.current_program = 1;
  list_bank.programs = {ParamProgram(), ParamProgram()};
  list_bank.programs[1].params[0] = 0.5f;
  list_bank.programs[1].name = "Second";
  const FxFile l = Parse(WriteFxBank(list_bank));
  ASSERT_EQ(l.bank.programs.size(), 2u);
  EXPECT_EQ(l.bank.num_programs, 2);
  EXPECT_EQ(l.bank.programs[1].name, "Second");
  EXPECT_EQ(l.bank.programs[1].params[0], 0.5f);
}

TEST(FxFileTest, ByteSizeFieldIsNotTrustedAndOldBanksHaveNoCurrentProgram) {
  // Some writers count the whole file in the byte size, others only what follows it.
  std::vector<uint8_t> bytes = WriteFxProgram(ParamProgram());
  SetBE(bytes, 4, static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(Parse(bytes).program.params.size(), 3u);
  SetBE(bytes, 4, -1);
  EXPECT_EQ(Parse(bytes).program.params.size(), 3u);

  FxBank bank;
  bank.is_chunk = true;
  bank.current_program = 3;
  bank.chunk = {9};
  std::vector<uint8_t> v1 = WriteFxBank(bank);
  SetBE(v1, 12, 1);
  EXPECT_EQ(Parse(v1).bank.current_program, -1);
}

TEST(FxFileTest, DamagedFilesAreRefusedWithAReason) {
  EXPECT_NE(Refusal({}).find("CcnK"), std::string::npos);
  EXPECT_NE(Refusal({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1}).find("CcnK"), std::string::npos);

  std::vector<uint8_t> kind = WriteFxProgram(ParamProgram());
  SetBE(kind, 8, vst::FourCC('W', 'h', 'a', 't'));
  EXPECT_NE(Refusal(kind).find("'What'"), std::string::npos);

  std::vector<uint8_t> short_params = WriteFxProgram(ParamProgram());
  short_params.resize(short_params.size() - 1);
  EXPECT_NE(Refusal(short_params).find("holds only 2"), std::string::npos);

  std::vector<uint8_t> many_params = WriteFxProgram(ParamProgram());
  SetBE(many_params, 24, -5);
  EXPECT_NE(Refusal(many_params).find("-5 parameters"), std::string::npos);

  FxProgram chunk;
  chunk.is_chunk = true;
  chunk.chunk = {1, 2, 3};
  for (int32_t size : {4, -1, 0x7FFFFFFF}) {
    std::vector<uint8_t> bad = WriteFxProgram(chunk);
    SetBE(bad, 56, size);
    EXPECT_NE(Refusal(bad).find("exceeds the file"), std::string::npos) << size;
  }

  FxBank bank;
  bank.programs = {ParamProgram()};
  std::vector<uint8_t> count = WriteFxBank(bank);
  SetBE(count, 24, 1000);
  EXPECT_NE(Refusal(count).find("more than the file holds"), std::string::npos);
  std::vector<uint8_t> inner = WriteFxBank(bank);
  SetBE(inner, 156, 0);
  EXPECT_NE(Refusal(inner).find("program 0 of the bank"), std::string::npos);
}

TEST(FxFileTest, EveryTruncationIsReadOrRefusedNeverOverrun) {
  FxBank bank;
  bank.programs = {ParamProgram(), ParamProgram(), ParamProgram()};
  FxProgram chunk = ParamProgram();
  chunk.is_chunk = true;
  chunk.chunk = std::vector<uint8_t>(33, 7);
  for (const std::vector<uint8_t>& whole : {WriteFxBank(bank), WriteFxProgram(chunk)}) {
    for (size_t n = 0; n < whole.size(); ++n) {
      const std::vector<uint8_t> prefix(whole.begin(), whole.begin() + n);
      FxFile f;
      std::string error;
      EXPECT_FALSE(ParseFxFile(prefix, f, error)) << n;
      EXPECT_FALSE(error.empty());
    }
  }
}

TEST(FxFileTest, IdentifiersPrintAsTextWhenPrintable) {
  EXPECT_EQ(FourCCText(vst::FourCC('V', 'N', 'Q', '8')), "'VNQ8'");
  EXPECT_EQ(FourCCText(0x01020304), "16909060");
}

}  // namespace
}  // namespace vsthost
