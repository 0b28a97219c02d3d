// The command line of the standalone program: its options, exit statuses and help text.
#pragma once

#include <string>
#include <vector>

namespace vantor::standalone {

// What the program's exit status tells a script.
enum ExitStatus : int {
  kExitOk = 0,
  kExitFailure = 1,        // anything not named below
  kExitUsage = 2,          // a bad command line, an unusable --bank or --program
  kExitNoServer = 3,       // no JACK server to connect to
  kExitNoDisplay = 4,      // the editor window cannot be opened (try --no-gui)
  kExitMidiNotFound = 5,   // a --connect source that does not exist
  kExitServerStopped = 6,  // the JACK server went away while playing (the state was saved)
};

struct Options {
  bool help = false;
  bool version = false;
  bool gui = true;
  bool auto_connect_audio = true;
  bool alsa_midi = true;
  std::string server;  // empty: JACK's own choice ($JACK_DEFAULT_SERVER or "default")
  std::string client_name = "vantor";
  std::vector<std::string> connect;  // MIDI sources to connect at start, in order
  std::string bank_file;             // --bank FILE.fxb
  std::string program;               // --program N|NAME
};

// Parses the words after the program name. False with a one-line message on a bad command line.
bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error);

std::string HelpText();

}  // namespace vantor::standalone
