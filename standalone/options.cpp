// Parsing the standalone program's command line, and its help text.
#include "standalone/options.h"

namespace vantor::standalone {

bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // Options with a value take it as the next word or after '='.
    std::string name = arg, value;
    bool has_value = false;
    if (const size_t equals = arg.find('=');
        arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      has_value = true;
    }
    auto take_value = [&](std::string& into) {
      if (!has_value) {
        if (i + 1 >= args.size()) {
          error = name + " needs a value";
          return false;
        }
        value = args[++i];
      }
      if (value.empty()) {
        error = name + " needs a value";
        return false;
      }
      into = value;
      return true;
    };
    auto no_value = [&](bool& flag, bool set_to) {
      if (has_value) {
        error = name + " takes no value";
        return false;
      }
      flag = set_to;
      return true;
    };
    bool ok = true;
    if (name == "-h" || name == "--help") {
      ok = no_value(out.help, true);
    } else if (name == "--version") {
      ok = no_value(out.version, true);
    } else if (name == "--no-gui") {
      ok = no_value(out.gui, false);
    } else if (name == "--no-autoconnect") {
      ok = no_value(out.auto_connect_audio, false);
    } else if (name == "--no-alsa") {
      ok = no_value(out.alsa_midi, false);
    } else if (name == "--server" || name == "-s") {
      ok = take_value(out.server);
    } else if (name == "--name" || name == "-n") {
      ok = take_value(out.client_name);
    } else if (name == "--connect" || name == "-c") {
      std::string source;
      ok = take_value(source);
      if (ok) out.connect.push_back(source);
    } else if (name == "--bank" || name == "-b") {
      ok = take_value(out.bank_file);
    } else if (name == "--program" || name == "-p") {
      ok = take_value(out.program);
    } else {
      error = arg.empty() || arg[0] != '-' ? "unexpected word \"" + arg + "\""
                                           : "unknown option " + name;
      return false;
    }
    if (!ok) return false;
  }
  return true;
}

std::string HelpText() {
  return R"(Usage: vantor [options]

Vantor, the polyphonic ensemble synthesizer, as a program of its own: audio and MIDI through a
JACK server (jackd, or PipeWire's JACK), MIDI also from the ALSA sequencer, and the editor in a
window. Closing the window, Ctrl-C or SIGTERM saves what you played with and quits.

Options:
  --no-gui               run without the editor window (no display needed)
  -c, --connect NAME     connect a MIDI source at start (may be given several times): a JACK
                         MIDI port by its name or a part of it that only one port has
                         ("a2j:Keystation [20] (capture): Keystation MIDI 1", "Keystation"),
                         else an ALSA sequencer client by number or name ("20:0")
  --no-autoconnect       leave the outputs out_L and out_R unconnected (by default they go to
                         the first two system playback ports)
  --no-alsa              no ALSA sequencer port (MIDI through JACK only)
  -b, --bank FILE.fxb    start with this bank instead of the remembered one
  -p, --program N|NAME   start with this program: a number from 0, or a name (or a unique
                         part of one, in any letter case)
  -s, --server NAME      the JACK server to use (default: $JACK_DEFAULT_SERVER, else "default")
  -n, --name NAME        the client name in JACK and the ALSA sequencer (default "vantor")
  -h, --help             this text
  --version              the version

Ports: audio out_L and out_R, MIDI in midi_in (JACK, with sample-accurate timing), and the
ALSA sequencer port "MIDI in" ("aconnect -i" and "jack_lsp -t" list the sources to connect).
Sample rate and block size come from the JACK server and follow its changes.

What you did is remembered: on quit the bank and the current program are saved as a bank file
in $XDG_STATE_HOME/Brenwick/Vantor/last-session.fxb ($XDG_STATE_HOME defaults to
~/.local/state) and restored on the next start; --bank and --program override it. A saved file
that cannot be read is reported and set aside, and the factory bank is used instead.

Exit status: 0 on a normal quit, 1 on other failures, 2 for a bad command line, --bank or
--program, 3 when no JACK server is running, 4 when no window can be opened (use --no-gui),
5 when a --connect source does not exist, 6 when the JACK server stopped while playing.
)";
}

}  // namespace vantor::standalone
