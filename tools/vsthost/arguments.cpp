// Command-line parsing for vsthost: strict numbers, options checked against the command.
#include "tools/vsthost/arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "core/number_text.h"

namespace vsthost {
namespace {

constexpr unsigned Bit(Command c) {
  return 1u << static_cast<unsigned>(c);
}
constexpr unsigned kRenderLike = Bit(Command::kRender) | Bit(Command::kBench);
constexpr unsigned kSetup =
    Bit(Command::kRender) | Bit(Command::kSave) | Bit(Command::kBench) | Bit(Command::kEditor);

struct OptionSpec {
  const char* name;
  const char* alias;  // short form or nullptr
  bool takes_value;
  unsigned commands;
  std::function<bool(Options&, const std::string&, std::string&)> apply;
};

bool ParseDouble(const std::string& text, double lo, double hi, double& out) {
  if (text.empty()) return false;
  double v = 0.0;
  if (vantor::ReadLeadingNumber(text, &v) != text.size() || !std::isfinite(v) || v < lo || v > hi)
    return false;
  out = v;
  return true;
}

bool ParseInt(const std::string& text, long lo, long hi, long& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

// An editor action's "X,Y[,...]": exactly `count` integers within the screen's reach.
std::function<bool(Options&, const std::string&, std::string&)> EditorMouse(const char* name,
                                                                            EditorAction::Kind kind,
                                                                            size_t count) {
  return [name, kind, count](Options& o, const std::string& v, std::string& e) {
    EditorAction action{kind, {}, {}};
    size_t start = 0;
    while (start <= v.size()) {
      size_t end = v.find(',', start);
      if (end == std::string::npos) end = v.size();
      long n;
      if (!ParseInt(v.substr(start, end - start), -10000, 10000, n)) break;
      action.numbers.push_back(static_cast<int>(n));
      start = end + 1;
    }
    if (action.numbers.size() != count || v.empty() || v.back() == ',') {
      e = std::string(name) + " takes " + std::to_string(count) +
          " whole numbers separated by commas, not \"" + v + "\"";
      return false;
    }
    o.editor_actions.push_back(std::move(action));
    return true;
  };
}

const std::vector<OptionSpec>& Specs() {
  static const std::vector<OptionSpec> specs = {
      {"--output", "-o", true, Bit(Command::kRender) | Bit(Command::kSave) | Bit(Command::kEditor),
       [](Options& o, const std::string& v, std::string& e) {
         if (v.empty()) e = "--output needs a file name";
         o.output = v;
         return !v.empty();
       }},
      {"--rate", "-r", true, kRenderLike,
       [](Options& o, const std::string& v, std::string& e) {
         if (ParseDouble(v, 8000, 384000, o.sample_rate)) return true;
         e = "--rate takes a sample rate in Hz from 8000 to 384000, not \"" + v + "\"";
         return false;
       }},
      {"--block", "-b", true, kRenderLike,
       [](Options& o, const std::string& v, std::string& e) {
         long n;
         if (ParseInt(v, 1, 16384, n)) {
           o.block_size = static_cast<int>(n);
           return true;
         }
         e = "--block takes a block size from 1 to 16384 samples, not \"" + v + "\"";
         return false;
       }},
      {"--format", "-f", true, Bit(Command::kRender),
       [](Options& o, const std::string& v, std::string& e) {
         if (v == "16") {
           o.format = SampleFormat::kPcm16;
         } else if (v == "24") {
           o.format = SampleFormat::kPcm24;
         } else if (v == "float" || v == "32f" || v == "32") {
           o.format = SampleFormat::kFloat32;
         } else {
           e = "--format takes 16, 24 or float, not \"" + v + "\"";
           return false;
         }
         return true;
       }},
      {"--tail", nullptr, true, Bit(Command::kRender),
       [](Options& o, const std::string& v, std::string& e) {
         if (ParseDouble(v, 0, 600, o.tail_seconds)) return true;
         e = "--tail takes a length in seconds from 0 to 600, not \"" + v + "\"";
         return false;
       }},
      {"--max-length", nullptr, true, Bit(Command::kRender),
       [](Options& o, const std::string& v, std::string& e) {
         if (ParseDouble(v, 1, 86400, o.max_length_seconds)) return true;
         e = "--max-length takes seconds from 1 to 86400, not \"" + v + "\"";
         return false;
       }},
      {"--program", "-p", true, kSetup,
       [](Options& o, const std::string& v, std::string& e) {
         if (v.empty()) e = "--program needs a program number or name";
         o.programs.push_back(v);
         return !v.empty();
       }},
      {"--set", "-s", true, kSetup,
       [](Options& o, const std::string& v, std::string& e) {
         const size_t eq = v.find('=');
         if (eq == std::string::npos || eq == 0) {
           e = "--set takes NAME=VALUE, not \"" + v + "\"";
           return false;
         }
         o.settings.emplace_back(v.substr(0, eq), v.substr(eq + 1));
         return true;
       }},
      {"--preset", nullptr, true, kSetup,
       [](Options& o, const std::string& v, std::string& e) {
         if (v.empty()) e = "--preset needs a .fxp or .fxb file";
         o.preset = v;
         return !v.empty();
       }},
      {"--picture", nullptr, true, Bit(Command::kRender),
       [](Options& o, const std::string& v, std::string& e) {
         if (v.empty()) e = "--picture needs a .png file name";
         o.picture = v;
         return !v.empty();
       }},
      {"--bank", nullptr, false, Bit(Command::kSave),
       [](Options& o, const std::string&, std::string&) { return o.bank = true; }},
      {"--quick", nullptr, false, Bit(Command::kCheck),
       [](Options& o, const std::string&, std::string&) { return o.quick = true; }},
      {"--quiet", "-q", false, kSetup | Bit(Command::kCheck),
       [](Options& o, const std::string&, std::string&) { return o.quiet = true; }},
      {"--seed", nullptr, true, Bit(Command::kCheck),
       [](Options& o, const std::string& v, std::string& e) {
         long n;
         if (ParseInt(v, 0, 0x7FFFFFFF, n)) {
           o.seed = static_cast<unsigned>(n);
           return true;
         }
         e = "--seed takes a whole number, not \"" + v + "\"";
         return false;
       }},
      {"--voices", nullptr, true, Bit(Command::kBench),
       [](Options& o, const std::string& v, std::string& e) {
         long n;
         if (ParseInt(v, 1, 100, n)) {
           o.voices = static_cast<int>(n);
           return true;
         }
         e = "--voices takes a number of notes from 1 to 100, not \"" + v + "\"";
         return false;
       }},
      {"--click", nullptr, true, Bit(Command::kEditor),
       EditorMouse("--click", EditorAction::Kind::kClick, 2)},
      {"--right-click", nullptr, true, Bit(Command::kEditor),
       EditorMouse("--right-click", EditorAction::Kind::kRightClick, 2)},
      {"--double-click", nullptr, true, Bit(Command::kEditor),
       EditorMouse("--double-click", EditorAction::Kind::kDoubleClick, 2)},
      {"--drag", nullptr, true, Bit(Command::kEditor),
       EditorMouse("--drag", EditorAction::Kind::kDrag, 4)},
      {"--wheel", nullptr, true, Bit(Command::kEditor),
       EditorMouse("--wheel", EditorAction::Kind::kWheel, 3)},
      {"--key", nullptr, true, Bit(Command::kEditor),
       [](Options& o, const std::string& v, std::string& e) {
         if (v.empty()) {
           e = "--key needs a key name";
           return false;
         }
         o.editor_actions.push_back({EditorAction::Kind::kKey, {}, v});
         return true;
       }},
      {"--idle", nullptr, true, Bit(Command::kEditor),
       [](Options& o, const std::string& v, std::string& e) {
         long n;
         if (ParseInt(v, 0, 60000, n)) {
           o.idle_ms = static_cast<int>(n);
           return true;
         }
         e = "--idle takes milliseconds from 0 to 60000, not \"" + v + "\"";
         return false;
       }},
      {"--path", nullptr, true, Bit(Command::kBench),
       [](Options& o, const std::string& v, std::string& e) {
         if (v == "reference" || v == "portable" || v == "avx2") {
           o.engine_path = v;
           return true;
         }
         e = "--path takes reference, portable or avx2, not \"" + v + "\"";
         return false;
       }},
      {"--zoom", nullptr, true, Bit(Command::kEditor),
       [](Options& o, const std::string& v, std::string& e) {
         if (ParseDouble(v, 0.25, 8.0, o.zoom)) return true;
         e = "--zoom takes a scale factor from 0.25 to 8, not \"" + v + "\"";
         return false;
       }},
      {"--seconds", nullptr, true, Bit(Command::kBench),
       [](Options& o, const std::string& v, std::string& e) {
         if (ParseDouble(v, 0.1, 600, o.bench_seconds)) return true;
         e = "--seconds takes a length from 0.1 to 600, not \"" + v + "\"";
         return false;
       }},
  };
  return specs;
}

bool ParseCommand(const std::string& word, Command& out) {
  static const std::pair<const char*, Command> kCommands[] = {
      {"info", Command::kInfo},       {"render", Command::kRender}, {"save", Command::kSave},
      {"check", Command::kCheck},     {"bench", Command::kBench},   {"help", Command::kHelp},
      {"--help", Command::kHelp},     {"-h", Command::kHelp},       {"editor", Command::kEditor},
      {"--editor", Command::kEditor},
  };
  for (const auto& [name, command] : kCommands) {
    if (word == name) {
      out = command;
      return true;
    }
  }
  return false;
}

const char* CommandName(Command c) {
  switch (c) {
    case Command::kInfo:
      return "info";
    case Command::kRender:
      return "render";
    case Command::kSave:
      return "save";
    case Command::kCheck:
      return "check";
    case Command::kBench:
      return "bench";
    case Command::kEditor:
      return "editor";
    case Command::kHelp:
      break;
  }
  return "help";
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& args, Options& out, std::string& error) {
  out = Options{};
  if (args.empty()) {
    error = "no command given";
    return false;
  }
  if (!ParseCommand(args[0], out.command)) {
    error = "unknown command \"" + args[0] + "\"";
    return false;
  }
  if (out.command == Command::kHelp) return true;

  std::vector<std::string> positional;
  bool options_ended = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (options_ended || word.size() < 2 || word[0] != '-') {
      positional.push_back(word);
      continue;
    }
    if (word == "--") {
      options_ended = true;
      continue;
    }
    std::string name = word, value;
    bool inline_value = false;
    if (word.rfind("--", 0) == 0) {
      const size_t eq = word.find('=');
      if (eq != std::string::npos) {
        name = word.substr(0, eq);
        value = word.substr(eq + 1);
        inline_value = true;
      }
    }
    const OptionSpec* desc = nullptr;
    for (const OptionSpec& s : Specs()) {
      if (name == s.name || (s.alias && name == s.alias)) desc = &s;
    }
    if (!desc) {
      error = "unknown option " + name;
      return false;
    }
    if (!(desc->commands & Bit(out.command))) {
      error = std::string("option ") + desc->name + " does not apply to '" +
              CommandName(out.command) + "'";
      return false;
    }
    if (desc->takes_value && !inline_value) {
      if (i + 1 >= args.size()) {
        error = std::string("option ") + desc->name + " needs a value";
        return false;
      }
      value = args[++i];
    } else if (!desc->takes_value && inline_value) {
      error = std::string("option ") + desc->name + " takes no value";
      return false;
    }
    if (!desc->apply(out, value, error)) return false;
  }

  if (positional.empty()) {
    error = std::string("'") + CommandName(out.command) + "' needs a plug-in file";
    return false;
  }
  for (const std::string& word : positional) {
    if (word.empty()) {
      error = "an empty file name was given";
      return false;
    }
  }
  out.plugin = positional[0];
  const bool takes_midi = out.command == Command::kRender || out.command == Command::kBench;
  const size_t allowed = takes_midi ? 2 : 1;
  if (positional.size() > allowed) {
    error = "unexpected argument \"" + positional[allowed] + "\"";
    return false;
  }
  if (positional.size() == 2) out.midi_file = positional[1];

  if (out.command == Command::kRender && out.output.empty()) {
    error = "'render' needs an output file: -o OUT.wav";
    return false;
  }
  if (out.command == Command::kSave) {
    if (out.output.empty()) {
      error = out.bank ? "'save --bank' needs an output file: -o FILE.fxb"
                       : "'save' needs an output file: -o FILE.fxp";
      return false;
    }
    if (out.programs.size() > 1 || (out.bank && !out.programs.empty())) {
      error = "'save' takes one --program, or --bank";
      return false;
    }
  }
  if ((out.command == Command::kBench || out.command == Command::kEditor) &&
      out.programs.size() > 1) {
    error = std::string("'") + CommandName(out.command) + "' takes at most one --program";
    return false;
  }
  return true;
}

std::string UsageText() {
  return R"(vsthost: a command-line host for VST 2.4 plug-ins

usage:
  vsthost info PLUGIN
  vsthost render PLUGIN [MIDI-FILE] -o OUT.wav|OUT.flac [options]
  vsthost save PLUGIN [--program N|NAME] -o FILE.fxp
  vsthost save PLUGIN --bank -o FILE.fxb
  vsthost check PLUGIN [--quick] [--seed N]
  vsthost bench PLUGIN [MIDI-FILE] [--voices N] [--seconds S] [--path P]
  vsthost editor PLUGIN [-o SHOT.png] [actions] [--idle MS] [--zoom F]
                                                  (also: vsthost --editor ...)

render options (without a MIDI file the built-in demo phrase is played):
  -r, --rate HZ          sample rate (44100)
  -b, --block N          block size, any size from 1 to 16384 (512)
  -f, --format F         16, 24 or float (24); float needs a .wav file
      --tail SECONDS     time rendered after the last event (3)
      --max-length S     refuse pieces longer than this (3600)
      --picture OUT.png  also draw the result: both channels over a spectrogram
  -q, --quiet            no progress bar and no report

bench: the piece and a held chord of --voices notes (61) lasting --seconds (10), best of three
runs each, in processor time. --path sets VANTOR_ENGINE_PATH for the plug-in (reference,
portable or avx2); Vantor takes the fastest path the processor runs when it is not set.

editor: opens the plug-in's editor in a window of its own, plays the actions in order, waits
--idle milliseconds (300), saves the window as a PNG file, closes the editor and reports what
the host was told. Actions, in the window's coordinates:
      --click X,Y  --right-click X,Y  --double-click X,Y  --drag X,Y,X2,Y2
      --wheel X,Y,STEPS (up when positive)  --key NAME (an X key name: space, Up, a, Return)
--zoom F tells the plug-in first that its editor's display is scaled by F (1.5, 2, ...), as
hosts do on screens of high density; the window takes the size the plug-in then asks for. The
window also follows the plug-in's requests to resize it (its own zoom).

setup options (render, save, bench, editor):
  -p, --program N|NAME   program by number (from 0) or by name; for render it may be
                         given several times: the piece is played once through each
  -s, --set NAME=VALUE   set a parameter (name or number) to a display text or number
      --preset FILE      load a program (.fxp) or bank (.fxb) file first
)";
}

}  // namespace vsthost
