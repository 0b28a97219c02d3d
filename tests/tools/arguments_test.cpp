// The command line: options per command, value forms, and one clear message per mistake.
#include "tools/vsthost/arguments.h"

#include <gtest/gtest.h>

namespace vsthost {
namespace {

Options Parse(const std::vector<std::string>& args) {
  Options o;
  std::string error;
  EXPECT_TRUE(ParseArguments(args, o, error)) << error;
  return o;
}

std::string Refusal(const std::vector<std::string>& args) {
  Options o;
  std::string error;
  EXPECT_FALSE(ParseArguments(args, o, error));
  return error;
}

TEST(ArgumentsTest, RenderTakesEveryOptionInBothForms) {
  const Options o = Parse({"render",
                           "synth.so",
                           "song.mid",
                           "-o",
                           "out.flac",
                           "--rate=48000",
                           "-b",
                           "37",
                           "--format",
                           "16",
                           "--tail=1.5",
                           "-p",
                           "3",
                           "--program",
                           "Bass: Classic Rezo",
                           "--set",
                           "Cutoff=1 kHz",
                           "-s",
                           "Mode=On=Off",
                           "--preset",
                           "a.fxb",
                           "--picture",
                           "p.png",
                           "-q",
                           "--max-length",
                           "60"});
  EXPECT_EQ(o.command, Command::kRender);
  EXPECT_EQ(o.plugin, "synth.so");
  EXPECT_EQ(o.midi_file, "song.mid");
  EXPECT_EQ(o.output, "out.flac");
  EXPECT_EQ(o.sample_rate, 48000.0);
  EXPECT_EQ(o.block_size, 37);
  EXPECT_EQ(o.format, SampleFormat::kPcm16);
  EXPECT_EQ(o.tail_seconds, 1.5);
  EXPECT_EQ(o.programs, (std::vector<std::string>{"3", "Bass: Classic Rezo"}));
  ASSERT_EQ(o.settings.size(), 2u);
  EXPECT_EQ(o.settings[0], (std::pair<std::string, std::string>{"Cutoff", "1 kHz"}));
  EXPECT_EQ(o.settings[1], (std::pair<std::string, std::string>{"Mode", "On=Off"}));
  EXPECT_EQ(o.preset, "a.fxb");
  EXPECT_EQ(o.picture, "p.png");
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.max_length_seconds, 60.0);
}

TEST(ArgumentsTest, DefaultsAndTheOtherCommands) {
  const Options render = Parse({"render", "x.so", "-o", "o.wav"});
  EXPECT_TRUE(render.midi_file.empty());  // the demo phrase
  EXPECT_EQ(render.sample_rate, 44100.0);
  EXPECT_EQ(render.block_size, 512);
  EXPECT_EQ(render.format, SampleFormat::kPcm24);
  EXPECT_EQ(Parse({"render", "x.so", "-o", "o.wav", "-f", "float"}).format, SampleFormat::kFloat32);

  EXPECT_EQ(Parse({"info", "x.so"}).command, Command::kInfo);
  const Options save = Parse({"save", "x.so", "--bank", "-o", "b.fxb"});
  EXPECT_TRUE(save.bank);
  const Options check = Parse({"check", "x.so", "--quick", "--seed", "9"});
  EXPECT_TRUE(check.quick);
  EXPECT_EQ(check.seed, 9u);
  const Options bench = Parse({"bench", "x.so", "a.mid", "--voices", "16", "--seconds", "2"});
  EXPECT_EQ(bench.voices, 16);
  EXPECT_EQ(bench.midi_file, "a.mid");
  EXPECT_EQ(Parse({"--help"}).command, Command::kHelp);
  // After "--" a file name may start with a dash.
  EXPECT_EQ(Parse({"render", "-o", "o.wav", "--", "x.so", "-odd.mid"}).midi_file, "-odd.mid");
}

TEST(ArgumentsTest, EditorScriptKeepsItsOrder) {
  const Options o = Parse({"--editor", "x.so", "--click", "10,20", "--key", "space", "--drag",
                           "1,2,3,-4", "--wheel=5,6,-2", "-o", "s.png", "--idle", "0", "-p", "3"});
  EXPECT_EQ(o.command, Command::kEditor);
  EXPECT_EQ(o.output, "s.png");
  EXPECT_EQ(o.idle_ms, 0);
  EXPECT_EQ(o.programs, std::vector<std::string>{"3"});
  ASSERT_EQ(o.editor_actions.size(), 4u);
  EXPECT_EQ(o.editor_actions[0].kind, EditorAction::Kind::kClick);
  EXPECT_EQ(o.editor_actions[0].numbers, (std::vector<int>{10, 20}));
  EXPECT_EQ(o.editor_actions[1].kind, EditorAction::Kind::kKey);
  EXPECT_EQ(o.editor_actions[1].key, "space");
  EXPECT_EQ(o.editor_actions[2].numbers, (std::vector<int>{1, 2, 3, -4}));
  EXPECT_EQ(o.editor_actions[3].numbers, (std::vector<int>{5, 6, -2}));
  EXPECT_EQ(Parse({"editor", "x.so"}).idle_ms, 300);

  for (const char* bad : {"10", "10,20,30", "10,", ",10", "a,b", "1,99999"}) {
    EXPECT_NE(Refusal({"editor", "x.so", "--click", bad}).find("--click takes 2 whole numbers"),
              std::string::npos)
        << bad;
  }
  EXPECT_EQ(Refusal({"render", "x.so", "-o", "o", "--click", "1,2"}),
            "option --click does not apply to 'render'");
  EXPECT_EQ(Refusal({"editor", "x.so", "-p", "1", "-p", "2"}),
            "'editor' takes at most one --program");
}

TEST(ArgumentsTest, MistakesAreNamed) {
  EXPECT_EQ(Refusal({}), "no command given");
  EXPECT_EQ(Refusal({"play", "x.so"}), "unknown command \"play\"");
  EXPECT_EQ(Refusal({"render", "x.so", "-o", "o.wav", "--speed", "2"}), "unknown option --speed");
  EXPECT_EQ(Refusal({"info", "x.so", "--bank"}), "option --bank does not apply to 'info'");
  EXPECT_EQ(Refusal({"render", "x.so", "-o"}), "option --output needs a value");
  EXPECT_EQ(Refusal({"save", "x.so", "--bank=yes", "-o", "b"}), "option --bank takes no value");
  EXPECT_EQ(Refusal({"info"}), "'info' needs a plug-in file");
  EXPECT_EQ(Refusal({"info", "x.so", "y.mid"}), "unexpected argument \"y.mid\"");
  // An empty MIDI file name must not quietly become the demo phrase.
  EXPECT_EQ(Refusal({"render", "x.so", "", "-o", "o.wav"}), "an empty file name was given");
  EXPECT_EQ(Refusal({"info", ""}), "an empty file name was given");
  EXPECT_EQ(Refusal({"render", "x.so"}), "'render' needs an output file: -o OUT.wav");
  EXPECT_EQ(Refusal({"save", "x.so", "--bank"}), "'save --bank' needs an output file: -o FILE.fxb");
  EXPECT_EQ(Refusal({"save", "x.so", "--bank", "-p", "1", "-o", "b"}),
            "'save' takes one --program, or --bank");
  EXPECT_EQ(Refusal({"render", "x.so", "-o", "o", "--set", "=3"}),
            "--set takes NAME=VALUE, not \"=3\"");
  EXPECT_EQ(Refusal({"render", "x.so", "-o", "o", "--set", "Cutoff"}),
            "--set takes NAME=VALUE, not \"Cutoff\"");

  for (const char* rate : {"0", "abc", "44100Hz", "1e9", "nan", "inf", ""}) {
    EXPECT_NE(Refusal({"render", "x.so", "-o", "o", "-r", rate}).find("--rate takes"),
              std::string::npos)
        << rate;
  }
  for (const char* block : {"0", "-1", "1.5", "16385", "99999999999999999999"}) {
    EXPECT_NE(Refusal({"render", "x.so", "-o", "o", "-b", block}).find("--block takes"),
              std::string::npos)
        << block;
  }
  EXPECT_NE(Refusal({"render", "x.so", "-o", "o", "-f", "8"}).find("16, 24 or float"),
            std::string::npos);
  EXPECT_NE(Refusal({"render", "x.so", "-o", "o", "--tail", "-1"}).find("--tail takes"),
            std::string::npos);
  EXPECT_NE(Refusal({"bench", "x.so", "--voices", "101"}).find("1 to 100"), std::string::npos);
}

}  // namespace
}  // namespace vsthost
