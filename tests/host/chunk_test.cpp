// State through the host's chunk opcodes: round trips, raw parameter lists, the factory bank,
// the host-vendor rule, and chunks that must change nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "core/fx_format.h"
#include "core/vantor_params.h"
#include "engine/param_ids.h"
#include "plugin_host.h"

namespace vantor::testing {
namespace {

using namespace vst;
using Bytes = std::vector<uint8_t>;

constexpr int kBank = 0;
constexpr int kProgram = 1;

void PutInt(Bytes& b, int32_t v) {
  const auto* p = reinterpret_cast<const uint8_t*>(&v);
  b.insert(b.end(), p, p + 4);
}
void PutDouble(Bytes& b, double v) {
  const auto* p = reinterpret_cast<const uint8_t*>(&v);
  b.insert(b.end(), p, p + 8);
}
void PutText(Bytes& b, const std::string& s) {
  PutInt(b, static_cast<int32_t>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
}
double DoubleAt(const Bytes& b, size_t at) {
  double v;
  memcpy(&v, &b[at], 8);
  return v;
}
int32_t IntAt(const Bytes& b, size_t at) {
  int32_t v;
  memcpy(&v, &b[at], 4);
  return v;
}

// Everything a host can read back: every program's name and chunk, and every parameter.
struct Observed {
  std::vector<std::string> names;
  std::vector<Bytes> programs;
  std::vector<float> values;
  intptr_t current;
  bool operator==(const Observed&) const = default;
};

Observed Observe(Instance& plugin) {
  Observed o;
  o.current = plugin.Dispatch(effGetProgram);
  for (int i = 0; i < 110; ++i)
    o.values.push_back(plugin.Get(i));
  // Reading the bank chunk stores the current edits into the current slot, so it comes first.
  const Bytes bank = plugin.GetChunk(kBank);
  o.programs.push_back(bank);
  for (int i = 0; i < 64; ++i)
    o.names.push_back(plugin.ProgramName(i));
  return o;
}

class ChunkTest : public ::testing::Test {
 protected:
  HostState host;
  Instance plugin{&host};
};

TEST_F(ChunkTest, FactoryBankChunkHasTheStoredLayout) {
  const Bytes bank = plugin.GetChunk(kBank);
  ASSERT_EQ(bank.size(), 60043u);
  EXPECT_EQ(memcmp(bank.data(), "tffp\0\0\1\0", 8), 0);
  size_t at = 8;
  for (int slot = 0; slot < 64; ++slot) {
    const int32_t length = IntAt(bank, at);
    const std::string name(bank.begin() + at + 4, bank.begin() + at + 4 + length);
    EXPECT_EQ(name, plugin.ProgramName(slot));
    at += 4 + length;
    ASSERT_EQ(bank[at], 1) << slot;
    ++at;
    EXPECT_EQ(memcmp(&bank[at], "Vantor_1.3.1", 12), 0);
    EXPECT_EQ(IntAt(bank, at + 12), 0);  // every state carries program 0 and its name
    EXPECT_EQ(IntAt(bank, at + 16), 16);
    EXPECT_EQ(memcmp(&bank[at + 20], "Pad: Fat Strings", 16), 0);
    at += 36 + 880;
  }
  EXPECT_EQ(at, bank.size());
}

TEST_F(ChunkTest, FactoryBankFileIsTheBankThePluginHolds) {
  FILE* file = fopen(VANTOR_FACTORY_BANK_FILE, "rb");
  ASSERT_NE(file, nullptr);
  Bytes bytes(70000);
  bytes.resize(fread(bytes.data(), 1, bytes.size(), file));
  fclose(file);
  ASSERT_EQ(bytes.size(), 60203u);
  FxHeader header;
  ASSERT_TRUE(ParseFxHeader(bytes.data(), bytes.size(), &header));
  EXPECT_EQ(header.kind, kFxBankChunk);
  EXPECT_EQ(header.byte_size, 60203);
  EXPECT_EQ(header.format_version, 2);
  EXPECT_EQ(header.plugin_id, FxMagic("VNQ8"));
  EXPECT_EQ(header.plugin_version, 10301);
  EXPECT_EQ(header.count, 64);
  EXPECT_EQ(header.current_program, 0);
  EXPECT_EQ(header.chunk_size, 60043);
  for (size_t i = 32; i < 156; ++i)
    ASSERT_EQ(bytes[i], 0);
  // Loaded and saved by the plug-in, the bank comes out as it went in.
  EXPECT_EQ(plugin.GetChunk(kBank), Bytes(bytes.begin() + 160, bytes.end()));
}

TEST_F(ChunkTest, InitIsTheTellingRow) {
  plugin.Dispatch(effSetProgram, 0, 63);
  const Bytes program = plugin.GetChunk(kProgram);
  const size_t values = 8 + 12 + 4 + 4 + 4;  // header, tag, index, name "Init"
  ASSERT_EQ(program.size(), values + 880 + 8);
  EXPECT_EQ(IntAt(program, 20), 63);
  std::vector<double> expected(110);
  for (int i = 0; i < 110; ++i)
    expected[i] = VantorParamSpec(i).default_value;
  expected[kPolyphony] = 1;
  expected[kPolyFmSpeed] = 0.185415;
  expected[kPolyPwmSpeed] = 0.0550121;
  expected[kBank1Tune] = -5.2;
  expected[kBank2Tune] = 5.2008;
  expected[kBank1Fm] = 128.2;
  expected[kBank2Fm] = 128.2;
  expected[kVelocityToAmpAm] = 0.5;
  expected[kVoiceEnvDecay] = 0;
  expected[kVelocityToVcaAm] = 0.5;
  expected[kLfoSpeed] = 0.0550121;
  expected[kPhaserModSpeed] = 0.0016;
  for (int i = 0; i < 110; ++i)
    EXPECT_EQ(DoubleAt(program, values + 8 * i), expected[i]) << ParamLongName(i);
  EXPECT_EQ(IntAt(program, values + 880), 4);
  EXPECT_EQ(memcmp(&program[values + 884], "Init", 4), 0);
  // Stored as written, not quantised: the tune shows its integer part.
  EXPECT_EQ(plugin.ParamText(effGetParamDisplay, kBank1Tune), "-5");
}

TEST_F(ChunkTest, ProgramChunkRoundTripsByteIdentically) {
  plugin.Dispatch(effSetProgram, 0, 5);
  plugin.Set(kFilterCutoff, 0.3f);
  plugin.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Edited"));
  const Bytes saved = plugin.GetChunk(kProgram);
  ASSERT_FALSE(saved.empty());

  HostState other_host;
  Instance other(&other_host);
  other.Dispatch(effSetProgram, 0, 9);
  ASSERT_EQ(other.SetChunk(kProgram, saved), 1);
  EXPECT_EQ(other.ProgramName(9), "Edited");
  EXPECT_FLOAT_EQ(other.Get(kFilterCutoff), 0.3f);
  // Saved again, only the program index inside the state differs (9 instead of 5).
  Bytes again = other.GetChunk(kProgram);
  ASSERT_EQ(again.size(), saved.size());
  EXPECT_EQ(IntAt(again, 20), 9);
  memcpy(&again[20], &saved[20], 4);
  EXPECT_EQ(again, saved);
}

TEST_F(ChunkTest, BankChunkRoundTripsByteIdentically) {
  plugin.Dispatch(effSetProgram, 0, 3);
  plugin.Set(kMainVolume, 0.6f);
  plugin.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Three"));
  plugin.Dispatch(effSetProgram, 0, 7);
  const Bytes saved = plugin.GetChunk(kBank);

  HostState other_host;
  Instance other(&other_host);
  other.Dispatch(effSetProgram, 0, 7);
  ASSERT_EQ(other.SetChunk(kBank, saved), 1);
  EXPECT_EQ(other.ProgramName(3), "Three");
  EXPECT_EQ(other.Dispatch(effGetProgram), 7);
  // Loading rewrites every slot's state with the current program's index and name, so the
  // first save differs there; from then on the bytes stay the same.
  const Bytes resaved = other.GetChunk(kBank);
  ASSERT_EQ(plugin.SetChunk(kBank, resaved), 1);
  EXPECT_EQ(plugin.GetChunk(kBank), resaved);
  other.Dispatch(effSetProgram, 0, 3);
  EXPECT_FLOAT_EQ(other.Get(kMainVolume), 0.6f);
}

TEST_F(ChunkTest, HostMayHandBackThePointerItWasGiven) {
  plugin.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Kept"));
  ASSERT_EQ(plugin.SetChunk(kBank, plugin.GetChunk(kBank)), 1);  // every state names "Kept" now
  for (int index : {kBank, kProgram}) {
    void* data = nullptr;
    const intptr_t size = plugin.Dispatch(effGetChunk, index, 0, &data);
    ASSERT_GT(size, 0);
    const Bytes before(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    EXPECT_EQ(plugin.Dispatch(effSetChunk, index, size, data), 1) << index;
    EXPECT_EQ(plugin.ProgramName(0), "Kept");
    EXPECT_EQ(plugin.GetChunk(index), before) << index;
  }
}

TEST_F(ChunkTest, RawParameterListLoadsAllValuesClamped) {
  Bytes raw;
  for (int i = 0; i < 110; ++i)
    PutDouble(raw, VantorParamSpec(i).minimum);
  memcpy(&raw[8 * kFilterCutoff], "\0\0\0\0\0\0\x14\x40", 8);  // 5.0, beyond its range
  ASSERT_EQ(raw.size(), 880u);
  ASSERT_EQ(plugin.SetChunk(kProgram, raw), 1);
  EXPECT_EQ(plugin.Get(kFilterCutoff), 1.0f);
  EXPECT_EQ(plugin.Get(kMainVolume), 0.0f);
  EXPECT_EQ(plugin.Get(kEnsembleModAmount3), 0.0f);
  EXPECT_EQ(plugin.ProgramName(0), "Pad: Fat Strings");  // no name followed
  // The same list as a bank chunk without header is read as a program too.
  raw[8 * kMainVolume + 7] = 0x3F;  // a small positive value
  ASSERT_EQ(plugin.SetChunk(kBank, raw), 1);
  EXPECT_GT(plugin.Get(kMainVolume), 0.0f);
}

TEST_F(ChunkTest, StateWithoutValuesIsRefusedAndTakenBack) {
  Bytes state = {'t', 'f', 'f', 'p', 0, 0, 1, 0};
  state.insert(state.end(), {'V', 'a', 'n', 't', 'o', 'r', '_', '1', '.', '3', '.', '1'});
  PutInt(state, 0);
  PutText(state, "Name");
  // The values are missing: the reading sets the first to its clamped zero and fails, and the
  // refusal puts it back.
  const Observed before = Observe(plugin);
  EXPECT_EQ(plugin.SetChunk(kProgram, state), 0);
  EXPECT_EQ(Observe(plugin), before);
}

TEST_F(ChunkTest, UnreadableChunksChangeNothing) {
  plugin.Dispatch(effSetProgram, 0, 4);
  plugin.Set(kFilterCutoff, 0.4f);
  const Observed before = Observe(plugin);
  const Bytes bank = plugin.GetChunk(kBank);
  const Bytes program = plugin.GetChunk(kProgram);

  // Every cut of a valid bank or program fails as a whole; the programs stay as they were.
  for (size_t cut = 0; cut < bank.size(); cut += cut < 64 ? 1 : 997) {
    EXPECT_EQ(plugin.SetChunk(kBank, Bytes(bank.begin(), bank.begin() + cut)), 0) << cut;
  }
  for (size_t cut = 0; cut < 8 + 36 + 880; cut += cut < 64 ? 1 : 7) {
    EXPECT_EQ(plugin.SetChunk(kProgram, Bytes(program.begin(), program.begin() + cut)), 0) << cut;
  }
  EXPECT_EQ(Observe(plugin), before);

  // Names that claim to be longer than the bank, or negative, or huge.
  // A negative length names the slot empty, and the rest no longer lines up.
  for (int32_t length : {-1, -100000, 60000, 0x7FFFFFFF, static_cast<int32_t>(0x80000000)}) {
    Bytes bad = bank;
    memcpy(&bad[8 + 4 + 16 + 1 + 36 + 880], &length, 4);  // the second slot's name length
    EXPECT_EQ(plugin.SetChunk(kBank, bad), 0) << length;
  }
  // The name length inside a state.
  Bytes bad_state = program;
  const int32_t huge = 0x7FFFFFF0;
  memcpy(&bad_state[24], &huge, 4);
  EXPECT_EQ(plugin.SetChunk(kProgram, bad_state), 0);
  const int32_t negative = -24;
  memcpy(&bad_state[24], &negative, 4);
  EXPECT_EQ(plugin.SetChunk(kProgram, bad_state), 0);

  // Random bytes, with and without a header.
  std::mt19937 random(7);
  for (int round = 0; round < 60; ++round) {
    Bytes noise(random() % 3000);
    for (uint8_t& b : noise)
      b = static_cast<uint8_t>(random());
    if (round % 2) {
      noise.insert(noise.begin(), {'t', 'f', 'f', 'p', 0, 0, 1, 0});
      if (noise.size() > 9) noise[8] = static_cast<uint8_t>(round % 3);
      if (noise.size() > 12) memset(&noise[9], 0, 3);
    }
    const Observed was = Observe(plugin);
    if (plugin.SetChunk(round % 4 < 2 ? kBank : kProgram, noise) == 0) {
      EXPECT_EQ(Observe(plugin), was) << round;
    }
  }
  // Null data and impossible sizes are refused at once.
  EXPECT_EQ(plugin.Dispatch(effSetChunk, kBank, 100, nullptr), 0);
  uint8_t byte = 0;
  EXPECT_EQ(plugin.Dispatch(effSetChunk, kBank, -1, &byte), 0);
  EXPECT_EQ(plugin.Dispatch(effSetChunk, kBank, intptr_t{1} << 40, &byte), 0);
  EXPECT_EQ(plugin.Dispatch(effGetChunk, kBank, 0, nullptr), 0);
  // A valid bank still loads afterwards.
  EXPECT_EQ(plugin.SetChunk(kBank, bank), 1);
}

TEST_F(ChunkTest, BankWithAnUninitialisedSlot) {
  Bytes bank = plugin.GetChunk(kBank);
  // Slot 0's flag byte sits after its name.
  const size_t flag = 8 + 4 + 16;
  ASSERT_EQ(bank[flag], 1);
  // Without its state the slot is only a name and a zero flag.
  bank.erase(bank.begin() + flag + 1, bank.begin() + flag + 1 + 36 + 880);
  bank[flag] = 0;
  plugin.Dispatch(effSetProgram, 0, 5);
  ASSERT_EQ(plugin.SetChunk(kBank, bank), 1);
  EXPECT_EQ(plugin.Dispatch(effGetProgram), 5);
  // Recalling the uninitialised slot makes it a new user preset with the current values.
  plugin.Set(kFilterCutoff, 0.2f);
  plugin.Dispatch(effSetProgram, 0, 0);
  EXPECT_EQ(plugin.ProgramName(0), "user preset 1");
  EXPECT_FLOAT_EQ(plugin.Get(kFilterCutoff), 0.2f);
}

TEST(ChunkVendorTest, ChosenVendorsGetProgramChunksAndBanksStillLoad) {
  HostState host;
  host.vendor = "JUCE VST Host";
  Instance plugin(&host);
  const Bytes chunk = plugin.GetChunk(kBank);
  // A program chunk, though the bank was asked for: it ends with the program's name.
  ASSERT_EQ(chunk.size(), 8u + 36 + 880 + 20);
  EXPECT_EQ(memcmp(&chunk[chunk.size() - 16], "Pad: Fat Strings", 16), 0);
  plugin.GetChunk(kProgram);
  EXPECT_EQ(host.Count(audioMasterGetVendorString), 1);  // asked once

  // A full bank from elsewhere is tried as a program, not used up, and loaded as a bank.
  HostState plain;
  Instance source(&plain);
  source.Dispatch(effSetProgram, 0, 12);
  source.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Twelve"));
  const Bytes bank = source.GetChunk(kBank);
  ASSERT_EQ(plugin.SetChunk(kBank, bank), 1);
  EXPECT_EQ(plugin.ProgramName(12), "Twelve");
  EXPECT_EQ(plugin.ProgramName(0), "Pad: Fat Strings");
  // A broken program chunk is not rescued by the bank reading.
  EXPECT_EQ(plugin.SetChunk(kProgram, Bytes(chunk.begin(), chunk.begin() + 100)), 0);

  HostState almost;
  almost.vendor = "Native Instruments GmbH";
  Instance other(&almost);
  EXPECT_EQ(other.GetChunk(kBank).size(), 60043u);
}

}  // namespace
}  // namespace vantor::testing
