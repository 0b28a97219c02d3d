// Program and bank files: round trips, the parameter-list kinds, and refusals that change nothing.
#include <cmath>
#include <cstring>
#include <limits>

#include "core/fx_format.h"
#include "shell/shell_fixture.h"

namespace vantor {
namespace {

using testing::TestVantor;
using ProgramFilesTest = testing::ShellTest;

// A parameter-list program record: header and one big-endian float per parameter.
std::vector<uint8_t> FloatProgram(const char* name, float first, float rest, int count = 110) {
  FxHeader header;
  header.kind = kFxProgramParams;
  header.byte_size = 56 + 4 * count - 8;
  header.format_version = 1;
  header.plugin_id = FxMagic("VNQ8");
  header.plugin_version = 1;
  header.count = count;
  snprintf(header.name, sizeof header.name, "%s", name);
  std::vector<uint8_t> bytes(56 + 4 * static_cast<size_t>(count));
  WriteFxHeader(header, bytes.data());
  for (int i = 0; i < count; ++i)
    StoreBigEndianFloat(bytes.data() + 56 + 4 * i, i == 0 ? first : rest);
  return bytes;
}

std::vector<uint8_t> FloatBank(int count, int current) {
  FxHeader header;
  header.kind = kFxBankParams;
  header.format_version = 1;
  header.plugin_id = FxMagic("VNQ8");
  header.count = count;
  header.current_program = current;
  std::vector<uint8_t> bytes(156);
  WriteFxHeader(header, bytes.data());
  for (int i = 0; i < count; ++i) {
    char name[24];
    snprintf(name, sizeof name, "Float %d", i);
    const std::vector<uint8_t> record = FloatProgram(name, i / 10.0f, 0.5f);
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  return bytes;
}

TEST_F(ProgramFilesTest, ProgramFileHasTheStandardHeaderAndRoundTripsByteForByte) {
  TestVantor a;
  FillPrograms(a, 7);
  ASSERT_TRUE(a.SaveProgramFile(File("p.fxp")));
  const std::vector<uint8_t> bytes = ReadBytes(File("p.fxp"));
  ASSERT_GT(bytes.size(), 60u);
  FxHeader header;
  ASSERT_TRUE(ParseFxHeader(bytes.data(), bytes.size(), &header));
  EXPECT_EQ(header.kind, kFxProgramChunk);
  EXPECT_EQ(header.byte_size, static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(header.format_version, 1);
  EXPECT_EQ(header.plugin_id, FxMagic("VNQ8"));
  EXPECT_EQ(header.plugin_version, 10301);
  EXPECT_EQ(header.count, 110);
  EXPECT_STREQ(header.name, "Program 07");
  EXPECT_EQ(header.chunk_size, static_cast<int32_t>(bytes.size() - 60));
  EXPECT_EQ(memcmp(bytes.data() + 60, "tffp\0\0\1\0", 8), 0);

  TestVantor b;
  FillPrograms(b, 7);
  b.Param(kMainVolume)->set_value(0.9);
  const int notifications = b.program_notifications;
  ASSERT_TRUE(b.LoadProgramFile(File("p.fxp")));
  EXPECT_EQ(b.program_notifications, notifications + 1);
  EXPECT_DOUBLE_EQ(b.Param(kMainVolume)->value(), 7 / 64.0);
  EXPECT_STREQ(b.GetProgramName(7), "Program 07");
  ASSERT_TRUE(b.SaveProgramFile(File("q.fxp")));
  EXPECT_EQ(ReadBytes(File("q.fxp")), bytes);
}

TEST_F(ProgramFilesTest, ChunkProgramIgnoresItsParameterCountAndReadsNotANumberAsTheMinimum) {
  TestVantor source;
  FillPrograms(source, 4);
  std::vector<uint8_t> bytes = source.ProgramFileBytes();
  // Other writers leave the field zero or put their own figure there; the chunk carries the
  // values, so the field says nothing.
  for (const int32_t count : {0, 109, -1, 1 << 30}) {
    StoreBigEndian32(bytes.data() + 24, count);
    WriteBytes(File("count.fxp"), bytes);
    TestVantor plugin;
    FillPrograms(plugin, 9);
    ASSERT_TRUE(plugin.LoadProgramFile(File("count.fxp"))) << count;
    EXPECT_DOUBLE_EQ(plugin.Param(kMainVolume)->value(), 4 / 64.0) << count;
    EXPECT_STREQ(plugin.GetProgramName(9), "Program 04") << count;
  }

  // Not a number loads as the minimum; the last parameter's value ends the file.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  memcpy(bytes.data() + bytes.size() - 8, &nan, 8);
  WriteBytes(File("nan.fxp"), bytes);
  TestVantor plugin;
  ASSERT_TRUE(plugin.LoadProgramFile(File("nan.fxp")));
  const PluginParam& last = *plugin.Param(PluginBase::kNumParams - 1);
  EXPECT_EQ(last.value(), last.minimum());
}

TEST_F(ProgramFilesTest, BankRoundTripKeepsSlotsNamesAndTheCurrentProgram) {
  TestVantor a;
  FillPrograms(a, 3);
  ASSERT_TRUE(a.SaveBankFile(File("b.fxb")));
  const std::vector<uint8_t> bytes = ReadBytes(File("b.fxb"));
  FxHeader header;
  ASSERT_TRUE(ParseFxHeader(bytes.data(), bytes.size(), &header));
  EXPECT_EQ(header.kind, kFxBankChunk);
  EXPECT_EQ(header.byte_size, static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(header.format_version, 2);
  EXPECT_EQ(header.count, 64);
  EXPECT_EQ(header.current_program, 3);
  EXPECT_EQ(header.chunk_size, static_cast<int32_t>(bytes.size() - 160));

  TestVantor b;
  ASSERT_TRUE(b.RecallProgram(3));
  ASSERT_TRUE(b.LoadBankFile(File("b.fxb")));
  EXPECT_EQ(b.current_program(), 3);
  EXPECT_DOUBLE_EQ(b.Param(kMainVolume)->value(), 3 / 64.0);
  for (int i = 0; i < 64; ++i)
    EXPECT_STREQ(b.GetProgramName(i), a.GetProgramName(i));
  // Loading rewrites every slot's state with the current program's index and name (the name
  // as it stands while the slot is read), so the bytes settle once a load has renamed the
  // current slot before the others are read.
  for (const char* file : {"c.fxb", "d.fxb"}) {
    ASSERT_TRUE(b.SaveBankFile(File(file)));
    ASSERT_TRUE(b.LoadBankFile(File(file)));
  }
  ASSERT_TRUE(b.SaveBankFile(File("e.fxb")));
  EXPECT_EQ(ReadBytes(File("e.fxb")), ReadBytes(File("d.fxb")));
  ASSERT_TRUE(b.RecallProgram(40));
  EXPECT_DOUBLE_EQ(b.Param(kFilterCutoff)->value(), 1.0 - 40 / 128.0);
}

TEST_F(ProgramFilesTest, ParameterListProgramSetsNormalisedValuesAndTheName) {
  TestVantor plugin;
  FillPrograms(plugin, 2);
  WriteBytes(File("f.fxp"), FloatProgram("From floats", 0.25f, 1.0f));
  ASSERT_TRUE(plugin.LoadProgramFile(File("f.fxp")));
  EXPECT_DOUBLE_EQ(plugin.Param(kMainVolume)->value(),
                   plugin.Param(kMainVolume)->FromNormalized(0.25));
  EXPECT_EQ(plugin.Param(kPolyphony)->value(), 2.0);
  EXPECT_STREQ(plugin.GetProgramName(2), "From floats");
  ASSERT_TRUE(plugin.RecallProgram(2));  // and it is the slot's state
  EXPECT_EQ(plugin.Param(kPolyphony)->value(), 2.0);

  // Values outside 0 .. 1 are held to it.
  WriteBytes(File("g.fxp"), FloatProgram("", -3.0f, 7.0f));
  ASSERT_TRUE(plugin.LoadProgramFile(File("g.fxp")));
  EXPECT_EQ(plugin.Param(kMainVolume)->value(), plugin.Param(kMainVolume)->minimum());
  EXPECT_STREQ(plugin.GetProgramName(2), "From floats");  // an empty name keeps the old one
}

TEST_F(ProgramFilesTest, ParameterListBankFillsItsProgramsAndSelectsItsCurrent) {
  TestVantor plugin;
  FillPrograms(plugin, 0);
  WriteBytes(File("f.fxb"), FloatBank(3, 1));
  ASSERT_TRUE(plugin.LoadBankFile(File("f.fxb")));
  EXPECT_EQ(plugin.current_program(), 1);
  EXPECT_STREQ(plugin.GetProgramName(0), "Float 0");
  EXPECT_STREQ(plugin.GetProgramName(2), "Float 2");
  EXPECT_STREQ(plugin.GetProgramName(3), "Program 03");  // beyond the bank's programs
  EXPECT_DOUBLE_EQ(plugin.Param(kMainVolume)->value(),
                   plugin.Param(kMainVolume)->FromNormalized(0.1f));
  ASSERT_TRUE(plugin.RecallProgram(2));
  EXPECT_DOUBLE_EQ(plugin.Param(kMainVolume)->value(),
                   plugin.Param(kMainVolume)->FromNormalized(0.2f));
}

TEST_F(ProgramFilesTest, RefusedFilesChangeNothing) {
  TestVantor source;
  FillPrograms(source, 5);
  const std::vector<uint8_t> program = source.ProgramFileBytes();
  const std::vector<uint8_t> bank = source.BankFileBytes();

  auto with = [](std::vector<uint8_t> bytes, size_t at, int32_t value) {
    StoreBigEndian32(bytes.data() + at, value);
    return bytes;
  };
  // Cuts the file; with a header size given, its chunk size is made to match the cut.
  auto cut = [](std::vector<uint8_t> bytes, size_t size, size_t header = 0) {
    bytes.resize(size);
    if (header) StoreBigEndian32(bytes.data() + header - 4, static_cast<int32_t>(size - header));
    return bytes;
  };
  const std::vector<uint8_t> nan_program =
      FloatProgram("nan", 0.5f, std::numeric_limits<float>::quiet_NaN());
  std::vector<uint8_t> bad_second_record = FloatBank(3, 0);
  StoreBigEndian32(bad_second_record.data() + 156 + 496 + 24, 109);

  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    bool is_bank;
  } cases[] = {
      {"empty", {}, false},
      {"a few bytes", {'C', 'c', 'n', 'K', 0}, true},
      {"no magic", with(program, 0, FxMagic("RIFF")), false},
      {"another plug-in's program", with(program, 16, FxMagic("ABCD")), false},
      {"another plug-in's bank", with(bank, 16, FxMagic("ABCD")), true},
      {"program format version 2", with(program, 12, 2), false},
      {"parameter list announcing 109 of its 110 values",
       with(FloatProgram("n", 0.5f, 0.5f), 24, 109), false},
      {"parameter list announcing 111 values", with(FloatProgram("n", 0.5f, 0.5f), 24, 111), false},
      {"unknown kind", with(program, 8, FxMagic("FxXx")), false},
      {"bank given as program", bank, false},
      {"program given as bank", program, true},
      {"program chunk cut", cut(program, program.size() - 100), false},
      {"program chunk cut, size adjusted", cut(program, program.size() - 100, 60), false},
      {"negative chunk size", with(program, 56, -5), false},
      {"bank chunk cut", cut(bank, bank.size() - 5000), true},
      {"bank chunk cut, size adjusted", cut(bank, bank.size() / 2, 160), true},
      {"float program short", FloatProgram("short", 0.5f, 0.5f, 100), false},
      {"float program with NaN", nan_program, false},
      {"float bank with a bad record", bad_second_record, true},
      {"float bank of 65 programs", FloatBank(65, 0), true},
      {"float bank of 0 programs", FloatBank(0, 0), true},
      {"float bank cut", cut(FloatBank(3, 0), 156 + 3 * 496 - 1), true},
  };
  TestVantor plugin;
  FillPrograms(plugin, 9);
  plugin.Param(kMainVolume)->set_value(0.123);  // an unsaved edit must survive too
  const auto before = Observe(plugin);
  const int notifications = plugin.program_notifications;
  for (const auto& c : cases) {
    WriteBytes(File("bad"), c.bytes);
    if (c.is_bank) {
      EXPECT_FALSE(plugin.LoadBankFile(File("bad"))) << c.what;
    } else {
      EXPECT_FALSE(plugin.LoadProgramFile(File("bad"))) << c.what;
    }
    EXPECT_TRUE(Observe(plugin) == before) << c.what;
  }
  EXPECT_FALSE(plugin.LoadProgramFile(File("missing.fxp")));
  EXPECT_FALSE(plugin.LoadBankFile(files_.string()));
  EXPECT_FALSE(plugin.LoadBankFile(""));
  EXPECT_TRUE(Observe(plugin) == before);
  EXPECT_EQ(plugin.program_notifications, notifications);
}

TEST_F(ProgramFilesTest, SavesThatCannotBeWrittenFailAndLeaveWhatWasThere) {
  TestVantor plugin;
  EXPECT_FALSE(plugin.SaveProgramFile(""));
  EXPECT_FALSE(plugin.SaveBankFile(File("missing/folder/b.fxb")));
  std::filesystem::create_directories(files_ / "taken.fxp");
  EXPECT_FALSE(plugin.SaveProgramFile(File("taken.fxp")));
  EXPECT_TRUE(std::filesystem::is_directory(files_ / "taken.fxp"));
}

TEST_F(ProgramFilesTest, StartupBankLoadsWhenAcceptedElseIsForgotten) {
  TestVantor source;
  FillPrograms(source, 0);
  ASSERT_TRUE(source.SaveBankFile(File("start.fxb")));
  TestVantor plugin;
  plugin.set_startup_bank(File("start.fxb"));
  EXPECT_TRUE(plugin.LoadStartupBankFile());
  EXPECT_STREQ(plugin.GetProgramName(63), "Program 63");
  EXPECT_EQ(plugin.startup_bank(), File("start.fxb"));
  WriteBytes(File("start.fxb"), {1, 2, 3});
  EXPECT_FALSE(plugin.LoadStartupBankFile());
  EXPECT_EQ(plugin.startup_bank(), "");
  EXPECT_FALSE(plugin.LoadStartupBankFile());
}

TEST_F(ProgramFilesTest, ProposedNameReplacesCharactersFileSystemsRefuse) {
  TestVantor plugin;
  // "Pad: Fat Strings" -> "Pad_ Fat Strings" is pinned where the save prompt proposes it.
  strcpy(plugin.Program(0).name, "a<b>c\"d/e\\f|g?h*i");
  EXPECT_EQ(plugin.ProposedProgramFileName(), "a_b_c_d_e_f_g_h_i");
  std::string long_name(100, 'x');
  strcpy(plugin.Program(0).name, long_name.c_str());
  EXPECT_EQ(plugin.ProposedProgramFileName().size(), 63u);
  // The cut falls between characters: a "\u20ac" over bytes 62 .. 64 goes as a whole.
  strcpy(plugin.Program(0).name, (std::string(62, 'x') + "\xe2\x82\xac tail").c_str());
  EXPECT_EQ(plugin.ProposedProgramFileName(), std::string(62, 'x'));
}

}  // namespace
}  // namespace vantor
