// The command line of vsthost: commands, their options, and the usage text.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vsthost {

enum class Command { kHelp, kInfo, kRender, kSave, kCheck, kBench, kEditor };

enum class SampleFormat { kPcm16, kPcm24, kFloat32 };

// One scripted input of the editor command: a mouse action at window coordinates or a key.
struct EditorAction {
  enum class Kind { kClick, kRightClick, kDoubleClick, kDrag, kWheel, kKey } kind;
  std::vector<int> numbers;  // x, y (drag: x, y, x2, y2; wheel: x, y, steps)
  std::string key;           // a key name ("space", "Up", "a")
};

struct Options {
  Command command = Command::kHelp;
  std::string plugin;
  std::string midi_file;  // render and bench: empty means the built-in demo phrase
  std::string output;     // -o
  std::string picture;    // render --picture
  std::string preset;     // --preset FILE.fxp|FILE.fxb
  double sample_rate = 44100.0;
  int block_size = 512;
  SampleFormat format = SampleFormat::kPcm24;
  double tail_seconds = 3.0;
  double max_length_seconds = 3600.0;
  // Each a number or a name; render plays the piece once through each in turn.
  std::vector<std::string> programs;
  std::vector<std::pair<std::string, std::string>> settings;  // --set NAME=VALUE, in order
  bool bank = false;   // save the whole bank instead of one program
  bool quick = false;  // check: shorter renders
  bool quiet = false;  // no progress bar, no report
  unsigned seed = 1;   // check: random automation
  int voices = 61;     // bench: notes in the full chord (the instrument's full polyphony)
  double bench_seconds = 10.0;
  std::string engine_path;  // bench: VANTOR_ENGINE_PATH for the plug-in; empty leaves it
  std::vector<EditorAction> editor_actions;  // editor: in order
  int idle_ms = 300;                         // editor: idle time after the script
  double zoom = 0.0;  // editor: the display scale told to the plug-in first; 0 tells none
};

// Parses the words after the program name. False with a one-line message on a bad command line.
bool ParseArguments(const std::vector<std::string>& args, Options& out, std::string& error);

std::string UsageText();

}  // namespace vsthost
