// vsthost end to end: the binary run against our probe plug-in (whose output tells what the host
// did), against an independent plug-in from Debian, and against Vantor.so when it is built.
#include <sndfile.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "host/vst24.h"
#include "support/test_locale.h"
#include "tools/smf_builder.h"
#include "tools/vsthost/arguments.h"
#include "tools/vsthost/fx_file.h"
#include "tools/vsthost/setup.h"

namespace vsthost {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::string output;  // standard output and error together
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

RunResult Vsthost(const std::vector<std::string>& args, const std::string& environment = "") {
  std::string command = environment + " " + Quote(VSTHOST_BINARY);
  for (const std::string& a : args)
    command += " " + Quote(a);
  command += " 2>&1";
  RunResult run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Audio {
  SF_INFO info{};
  std::vector<float> samples;  // interleaved stereo
  float Left(long i) const { return samples[2 * i]; }
  float Right(long i) const { return samples[2 * i + 1]; }
  long Frames() const { return static_cast<long>(samples.size() / 2); }
  // Frames where the left channel is not zero.
  std::vector<long> Impulses() const {
    std::vector<long> at;
    for (long i = 0; i < Frames(); ++i) {
      if (Left(i) != 0.0f) at.push_back(i);
    }
    return at;
  }
  float Peak() const {
    float p = 0.0f;
    for (float v : samples)
      p = std::max(p, std::fabs(v));
    return p;
  }
};

Audio ReadAudio(const fs::path& path) {
  Audio a;
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &a.info);
  EXPECT_NE(f, nullptr) << path;
  if (!f) return a;
  EXPECT_EQ(a.info.channels, 2);
  a.samples.resize(static_cast<size_t>(a.info.frames) * 2);
  sf_readf_float(f, a.samples.data(), a.info.frames);
  sf_close(f);
  return a;
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

FxFile ReadFx(const fs::path& path) {
  FxFile f;
  std::string error;
  EXPECT_TRUE(ParseFxFile(ReadBytes(path), f, error)) << error;
  return f;
}

// The probe's program chunk: magic, kind, three normalised values, a 32-byte name.
std::vector<float> ProbeValues(const std::vector<uint8_t>& chunk) {
  std::vector<float> v(3);
  if (chunk.size() >= 20) memcpy(v.data(), chunk.data() + 8, 12);
  return v;
}

class VsthostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "vsthost-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // Nothing half-written may be left behind, whatever happened.
  void ExpectNoPartialFiles() const {
    for (const auto& entry : fs::directory_iterator(dir_)) {
      EXPECT_FALSE(Contains(entry.path().filename().string(), ".partial-")) << entry.path();
    }
  }
  // Four notes over a tempo change: 0, 0.5, 1.0 and 2.0 seconds.
  std::string TempoChangeSong() const {
    test::TrackBuilder tempo, notes;
    tempo.Tempo(0, 500000).Tempo(960, 1000000).End();
    for (int i = 0; i < 4; ++i) {
      notes.Event(i == 0 ? 0 : 480, {0x90, static_cast<uint8_t>(60 + i), 127});
    }
    notes.Event(0, {0x80, 60, 0}).End();
    WriteBytes(Path("song.mid"), test::MidiFile(1, 480, {tempo, notes}));
    return Path("song.mid");
  }
  std::string OneNoteSong() const {
    test::TrackBuilder t;
    t.Event(0, {0x90, 60, 127}).Event(480, {0x80, 60, 0}).End();
    WriteBytes(Path("note.mid"), test::MidiFile(0, 480, {t}));
    return Path("note.mid");
  }

  fs::path dir_;
};

using ProbeTest = VsthostTest;

TEST_F(ProbeTest, InfoShowsIdentityParametersProgramsAndTheLegacyEntryPoint) {
  const RunResult run = Vsthost({"info", PROBE_PLUGIN});
  ASSERT_EQ(run.status, 0) << run.output;
  for (const char* part : {"entry point main", "Name:         Probe", "'Prbe'", "synth",
                           "0 inputs, 2 outputs", "Gain", "Mode", "Off", "Freq", "440.0", "Hz",
                           "Alpha", "Gamma Knife", "receiveVstEvents               yes"}) {
    EXPECT_TRUE(Contains(run.output, part)) << part << "\n" << run.output;
  }
}

TEST_F(ProbeTest, NotesLandOnTheirSampleThroughTempoChangesAndOddBlocks) {
  const std::string song = TempoChangeSong();
  struct Case {
    int rate, block;
  };
  for (const Case c : {Case{44100, 37}, Case{48000, 1}, Case{22050, 4096}}) {
    const std::string out = Path("timing.wav");
    const RunResult run =
        Vsthost({"render", PROBE_PLUGIN, song, "-o", out, "-f", "float", "-r",
                 std::to_string(c.rate), "-b", std::to_string(c.block), "--tail", "0.5", "-q"});
    ASSERT_EQ(run.status, 0) << run.output;
    const Audio a = ReadAudio(out);
    EXPECT_EQ(a.info.samplerate, c.rate);
    EXPECT_EQ(a.Frames(), static_cast<long>(2.5 * c.rate));
    const std::vector<long> expected = {0, c.rate / 2, c.rate, 2L * c.rate};
    ASSERT_EQ(a.Impulses(), expected) << "block " << c.block;
    for (long frame : expected) {
      EXPECT_FLOAT_EQ(a.Left(frame), 0.5f);   // default Gain, full velocity
      EXPECT_FLOAT_EQ(a.Right(frame), 0.4f);  // the offline process level, over ten
    }
  }
}

TEST_F(ProbeTest, SetFindsValuesByTextEntryDisplayTextsAndNumbers) {
  const RunResult run = Vsthost({"save", PROBE_PLUGIN, "--set", "mode=auto", "--set", "Gain=0.25",
                                 "--set", "Freq=1000", "-o", Path("set.fxp")});
  ASSERT_EQ(run.status, 0) << run.output;
  const FxFile f = ReadFx(Path("set.fxp"));
  ASSERT_TRUE(f.program.is_chunk);
  const std::vector<float> v = ProbeValues(f.program.chunk);
  EXPECT_NEAR(v[0], 0.25f, 1e-3f);
  EXPECT_GE(v[1], 2.0f / 3.0f);  // "Auto", the third of three steps
  EXPECT_NEAR(20.0 + v[2] * 19980.0, 1000.0, 0.05);

  const RunResult verbose = Vsthost({"render", PROBE_PLUGIN, OneNoteSong(), "-o", Path("a.wav"),
                                     "--set", "Mode=On", "--set", "Freq=1000"});
  ASSERT_EQ(verbose.status, 0) << verbose.output;
  EXPECT_TRUE(Contains(verbose.output, "Set \"Mode\" to \"On\" by searching the display texts"))
      << verbose.output;
  EXPECT_TRUE(
      Contains(verbose.output, "Set \"Freq\" to \"1000.0 Hz\" through the plug-in's text entry"))
      << verbose.output;

  const RunResult bad_value =
      Vsthost({"save", PROBE_PLUGIN, "--set", "Mode=Sometimes", "-o", Path("x.fxp")});
  EXPECT_EQ(bad_value.status, 1);
  EXPECT_TRUE(Contains(bad_value.output,
                       "shows no value \"Sometimes\" (it shows values such as "
                       "\"Off\", \"On\", \"Auto\")"))
      << bad_value.output;
  const RunResult bad_name =
      Vsthost({"save", PROBE_PLUGIN, "--set", "Cutoff=3", "-o", Path("x.fxp")});
  EXPECT_EQ(bad_name.status, 1);
  EXPECT_TRUE(Contains(bad_name.output, "no parameter is named \"Cutoff\"")) << bad_name.output;
  EXPECT_FALSE(fs::exists(Path("x.fxp")));
}

// A loaded plug-in may switch the process to a locale that writes decimal commas; vsthost still
// reads its command line and the plug-in's display texts with a point.
TEST(VsthostLocaleTest, NumbersAreReadWithAPointUnderADecimalCommaLocale) {
  ASSERT_EQ(vantor::testing::UseDecimalCommaLocale(), "");
  Options options;
  std::string error;
  EXPECT_TRUE(ParseArguments({"render", "x.so", "-o", "o.wav", "--tail", "1.5", "-r", "44100.0"},
                             options, error))
      << error;
  EXPECT_EQ(options.tail_seconds, 1.5);
  double value = 0.0;
  int decimals = -1;
  EXPECT_TRUE(LeadingNumber("1.25 kHz", value, decimals));
  EXPECT_EQ(value, 1250.0);
  EXPECT_EQ(decimals, 0);
  EXPECT_TRUE(DisplayMatches("0.50", "0.5"));
  EXPECT_FALSE(DisplayMatches("0.50", "0.6"));
  vantor::testing::UseCLocale();
}

TEST_F(ProbeTest, ProgramsAreFoundByNumberNameOrAUniquePart) {
  ASSERT_EQ(Vsthost({"save", PROBE_PLUGIN, "-p", "gamma r", "-o", Path("g.fxp")}).status, 0);
  EXPECT_EQ(ReadFx(Path("g.fxp")).program.name, "Gamma Ray");
  ASSERT_EQ(Vsthost({"save", PROBE_PLUGIN, "-p", "1", "-o", Path("b.fxp")}).status, 0);
  EXPECT_EQ(ReadFx(Path("b.fxp")).program.name, "Beta");

  const RunResult ambiguous = Vsthost({"save", PROBE_PLUGIN, "-p", "Gamma", "-o", Path("x.fxp")});
  EXPECT_EQ(ambiguous.status, 1);
  EXPECT_TRUE(Contains(ambiguous.output,
                       "\"Gamma\" names 2 programs: \"Gamma Ray\", "
                       "\"Gamma Knife\""))
      << ambiguous.output;
  const RunResult missing = Vsthost({"save", PROBE_PLUGIN, "-p", "4", "-o", Path("x.fxp")});
  EXPECT_TRUE(Contains(missing.output, "there is no program 4")) << missing.output;
}

TEST_F(ProbeTest, ProgramAndBankFilesOfEveryKindReachTheSound) {
  const std::string song = OneNoteSong();
  auto first_impulse = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"render", PROBE_PLUGIN, song, "-o",     Path("p.wav"),
                                     "-f",     "float",      "-q", "--tail", "0.1"};
    args.insert(args.end(), extra.begin(), extra.end());
    const RunResult run = Vsthost(args);
    EXPECT_EQ(run.status, 0) << run.output;
    const Audio a = ReadAudio(Path("p.wav"));
    return a.Impulses().empty() ? -1.0f : a.Left(a.Impulses()[0]);
  };

  // Chunk program, as saved by vsthost.
  ASSERT_EQ(Vsthost({"save", PROBE_PLUGIN, "--set", "Gain=0.75", "-o", Path("c.fxp")}).status, 0);
  EXPECT_FLOAT_EQ(first_impulse({"--preset", Path("c.fxp")}), 0.75f);
  // A chunk program's parameter count says nothing about the chunk; other writers leave it zero.
  std::vector<uint8_t> zero_count = ReadBytes(Path("c.fxp"));
  std::fill_n(zero_count.begin() + 24, 4, uint8_t{0});
  WriteBytes(Path("z.fxp"), zero_count);
  EXPECT_FLOAT_EQ(first_impulse({"--preset", Path("z.fxp")}), 0.75f);

  // Parameter-list program and bank, as other hosts write them.
  FxProgram list;
  list.plugin_id = vst::FourCC('P', 'r', 'b', 'e');
  list.params = {0.125f, 0.0f, 0.5f};
  list.num_params = 3;
  list.name = "Listed";
  WriteBytes(Path("l.fxp"), WriteFxProgram(list));
  EXPECT_FLOAT_EQ(first_impulse({"--preset", Path("l.fxp")}), 0.125f);

  FxBank bank;
  bank.plugin_id = list.plugin_id;
  bank.current_program = 0;
  for (const char* name : {"One", "Two", "Three", "Four"}) {
    list.params[0] = 0.1f * static_cast<float>(bank.programs.size() + 1);
    list.name = name;
    bank.programs.push_back(list);
  }
  WriteBytes(Path("l.fxb"), WriteFxBank(bank));
  EXPECT_FLOAT_EQ(first_impulse({"--preset", Path("l.fxb"), "-p", "3"}), 0.4f);

  // That bank saved again by vsthost becomes a chunk bank, which loads the same.
  const RunResult saved =
      Vsthost({"save", PROBE_PLUGIN, "--preset", Path("l.fxb"), "--bank", "-o", Path("c.fxb")});
  ASSERT_EQ(saved.status, 0) << saved.output;
  EXPECT_TRUE(ReadFx(Path("c.fxb")).bank.is_chunk);
  EXPECT_FLOAT_EQ(first_impulse({"--preset", Path("c.fxb"), "-p", "2"}), 0.3f);

  // Several programs one after another: each section starts where the previous one ended.
  const RunResult sections =
      Vsthost({"render", PROBE_PLUGIN, song, "-o", Path("s.wav"), "-f", "float", "--tail", "0.5",
               "--preset", Path("l.fxb"), "-p", "0", "-p", "one", "-p", "2"});
  ASSERT_EQ(sections.status, 0) << sections.output;
  const Audio s = ReadAudio(Path("s.wav"));
  ASSERT_EQ(s.Impulses(), (std::vector<long>{0, 44100, 88200}));
  EXPECT_FLOAT_EQ(s.Left(0), 0.1f);
  EXPECT_FLOAT_EQ(s.Left(44100), 0.1f);
  EXPECT_FLOAT_EQ(s.Left(88200), 0.3f);
  EXPECT_TRUE(Contains(sections.output, "program 2 \"Three\"")) << sections.output;
}

TEST_F(ProbeTest, RejectedInputFailsClearlyAndTouchesNoFile) {
  const std::string song = OneNoteSong();
  const std::string out = Path("keep.wav");
  WriteBytes(out, {'o', 'l', 'd'});
  struct Case {
    std::vector<std::string> args;
    const char* message;
    int status;
  };
  FxProgram foreign;
  foreign.plugin_id = vst::FourCC('X', 'X', 'X', 'X');
  WriteBytes(Path("foreign.fxp"), WriteFxProgram(foreign));
  WriteBytes(Path("cut.fxb"), {'C', 'c', 'n', 'K', 0, 0, 0, 9, 'F', 'B', 'C', 'h'});
  WriteBytes(Path("junk.mid"), {'n', 'o', 't', ' ', 'm', 'i', 'd', 'i'});
  WriteBytes(Path("fake.so"), {'E', 'L', 'F'});
  const Case cases[] = {
      {{"render", PROBE_PLUGIN, Path("junk.mid"), "-o", out}, "not a Standard MIDI File", 1},
      {{"render", PROBE_PLUGIN, Path("none.mid"), "-o", out}, "cannot open", 1},
      {{"render", PROBE_PLUGIN, song, "-o", out, "--preset", Path("foreign.fxp")},
       "belongs to the plug-in 'XXXX', not to this one ('Prbe')",
       1},
      {{"render", PROBE_PLUGIN, song, "-o", out, "--preset", Path("cut.fxb")},
       "the bank header is cut off",
       1},
      {{"render", PROBE_PLUGIN, song, "-o", Path("x.flac"), "-f", "float"},
       "FLAC holds 16 or 24-bit samples only",
       1},
      {{"render", PROBE_PLUGIN, song, "-o", Path("x.mp3")}, "name it .wav or .flac", 1},
      {{"render", PROBE_PLUGIN, song, "-o", Path("no/such/dir/x.wav")}, "cannot write", 1},
      {{"render", Path("missing.so"), song, "-o", out}, "cannot load", 1},
      {{"render", Path("fake.so"), song, "-o", out}, "cannot load", 1},
      {{"info", SNDFILE_LIBRARY}, "exports neither VSTPluginMain nor main", 1},
      {{"render", PROBE_PLUGIN, "-o"}, "option --output needs a value", 2},
  };
  for (const Case& c : cases) {
    const RunResult run = Vsthost(c.args);
    EXPECT_EQ(run.status, c.status) << c.args.back() << "\n" << run.output;
    EXPECT_TRUE(Contains(run.output, c.message)) << c.message << "\n" << run.output;
  }
  EXPECT_EQ(ReadBytes(out), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_FALSE(fs::exists(Path("x.flac")));
  ExpectNoPartialFiles();
}

TEST_F(ProbeTest, WritesFlacWavAndAPicture) {
  const std::string song = OneNoteSong();
  ASSERT_EQ(Vsthost({"render", PROBE_PLUGIN, song, "-o", Path("a.flac"), "-f", "16", "-q"}).status,
            0);
  EXPECT_EQ(ReadAudio(Path("a.flac")).info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  ASSERT_EQ(Vsthost({"render", PROBE_PLUGIN, song, "-o", Path("h.wav"), "-r", "96000"}).status, 0);
  EXPECT_EQ(ReadAudio(Path("h.wav")).info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  EXPECT_EQ(ReadAudio(Path("h.wav")).info.samplerate, 96000);
  const RunResult run =
      Vsthost({"render", PROBE_PLUGIN, song, "-o", Path("a.wav"), "--picture", Path("a.png")});
  ASSERT_EQ(run.status, 0) << run.output;
  const std::vector<uint8_t> png = ReadBytes(Path("a.png"));
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
  EXPECT_EQ(png[18] * 256 + png[19], 1200);  // width and height from the header chunk
  EXPECT_EQ(png[22] * 256 + png[23], 600);
  EXPECT_TRUE(Contains(run.output, "Level: peak -6.0 dBFS")) << run.output;
  ExpectNoPartialFiles();
}

TEST_F(ProbeTest, CheckPassesAWellBehavedPlugin) {
  const RunResult clean = Vsthost({"check", PROBE_PLUGIN, "--quick"});
  EXPECT_EQ(clean.status, 0) << clean.output;
  EXPECT_TRUE(Contains(clean.output, "11 checks: 11 passed, 0 failed")) << clean.output;
}

struct Fault {
  const char* name;
  const char* reason;  // what the failing check must say
};

class ProbeFaultTest : public VsthostTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(ProbeFaultTest, CheckFailsNamesTheFaultAndRunsTheRest) {
  const Fault f = GetParam();
  const RunResult run =
      Vsthost({"check", PROBE_PLUGIN, "--quick"}, std::string("VSTHOST_PROBE_FAULT=") + f.name);
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_TRUE(Contains(run.output, f.reason)) << run.output;
  // A crash in one check does not stop the others.
  EXPECT_TRUE(Contains(run.output, "11 checks: ")) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Faults, ProbeFaultTest,
                         ::testing::Values(Fault{"nan", "program 0: 1 NaN or infinite samples"},
                                           Fault{"subnormal", "subnormal samples"},
                                           Fault{"hum", "untouched, it outputs -40.0 dBFS"},
                                           Fault{"crash", "the plug-in crashed"},
                                           Fault{"drift", "chunk saved again differs"}),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                           return std::string(info.param.name);
                         });

// Both loads with their length (the one-second tail included) and a positive factor each.
TEST_F(ProbeTest, BenchReportsRealTimeFactors) {
  const RunResult run = Vsthost({"bench", PROBE_PLUGIN, "--seconds", "0.5", "--voices", "8"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "Probe, program 0 \"Alpha\", 44100 Hz, block size 512"))
      << run.output;
  for (const auto& [load, seconds] : {std::pair{"demo phrase", "11.0"}, {"8-note chord", "1.5"}}) {
    std::smatch factor;
    ASSERT_TRUE(std::regex_search(
        run.output, factor,
        std::regex(std::string(load) + " +" + seconds + " s of audio: +([0-9.]+|inf)x real time")))
        << load << "\n"
        << run.output;
    EXPECT_GT(std::stod(factor[1]), 0.0) << load;
  }
}

// Debian's plug-ins were written by others: what works with them is not shaped by our own code.
class IndependentPluginTest : public VsthostTest {
 protected:
  void SetUp() override {
    VsthostTest::SetUp();
    ASSERT_TRUE(fs::exists(KARS_PLUGIN))
        << "Kars-vst.so from Debian's dpf-plugins-vst is missing; ./vantor.sh test installs it";
  }
};

TEST_F(IndependentPluginTest, KarsInfoRenderSaveAndCheck) {
  const RunResult info = Vsthost({"info", KARS_PLUGIN});
  ASSERT_EQ(info.status, 0) << info.output;
  EXPECT_TRUE(Contains(info.output, "Name:         Kars")) << info.output;
  EXPECT_TRUE(Contains(info.output, "Release")) << info.output;

  const RunResult render = Vsthost({"render", KARS_PLUGIN, "-o", Path("kars.wav"), "-b", "100",
                                    "--set", "Volume=40", "--tail", "1"});
  ASSERT_EQ(render.status, 0) << render.output;
  const Audio a = ReadAudio(Path("kars.wav"));
  EXPECT_NEAR(a.Frames(), 11 * 44100L, 1000);  // the ten-second demo phrase and the tail
  EXPECT_GT(a.Peak(), 0.05f);
  EXPECT_LE(a.Peak(), 1.0f);

  const RunResult save =
      Vsthost({"save", KARS_PLUGIN, "--set", "Release=2", "-o", Path("kars.fxp")});
  ASSERT_EQ(save.status, 0) << save.output;
  const FxFile program = ReadFx(Path("kars.fxp"));
  EXPECT_FALSE(program.program.is_chunk);
  EXPECT_EQ(program.program.plugin_id, vst::FourCC('D', 'K', 'r', 's'));
  const RunResult loaded = Vsthost({"render", KARS_PLUGIN, "-o", Path("k2.wav"), "--preset",
                                    Path("kars.fxp"), "--set", "Volume=40", "-q"});
  EXPECT_EQ(loaded.status, 0) << loaded.output;

  const RunResult check = Vsthost({"check", KARS_PLUGIN, "--quick"});
  EXPECT_EQ(check.status, 0) << check.output;
}

#ifdef VANTOR_PLUGIN
using VantorPluginTest = VsthostTest;

TEST_F(VantorPluginTest, InfoRenderBanksAndCheck) {
  const RunResult info = Vsthost({"info", VANTOR_PLUGIN});
  ASSERT_EQ(info.status, 0) << info.output;
  for (const char* part : {"entry point VSTPluginMain", "Name:         Vantor", "'VNQ8'",
                           "Parameters (110)", "Programs (64", "Pad: Fat Strings", "Init"}) {
    EXPECT_TRUE(Contains(info.output, part)) << part << "\n" << info.output;
  }
  const RunResult bank = Vsthost({"save", VANTOR_PLUGIN, "--bank", "-o", Path("v.fxb")});
  ASSERT_EQ(bank.status, 0) << bank.output;
  const FxFile f = ReadFx(Path("v.fxb"));
  EXPECT_TRUE(f.bank.is_chunk);
  EXPECT_EQ(f.bank.plugin_id, vst::FourCC('V', 'N', 'Q', '8'));

  const RunResult render =
      Vsthost({"render", VANTOR_PLUGIN, OneNoteSong(), "-o", Path("v.wav"), "--preset",
               Path("v.fxb"), "-p", "Bass: Classic Rezo", "-p", "0", "-b", "333", "--tail", "0.5"});
  ASSERT_EQ(render.status, 0) << render.output;
  EXPECT_TRUE(Contains(render.output, "program 2 \"Bass: Classic Rezo\"")) << render.output;
  EXPECT_EQ(ReadAudio(Path("v.wav")).Frames(), 2 * 44100L);

  const RunResult check = Vsthost({"check", VANTOR_PLUGIN, "--quick"});
  EXPECT_EQ(check.status, 0) << check.output;
}
#endif

}  // namespace
}  // namespace vsthost
