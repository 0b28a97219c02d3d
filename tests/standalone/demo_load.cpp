// Measures vantor as a musician would run it: the demo phrase played into it over JACK (a
// private dummy server), and what it reports of its load, with the latency from a note's event
// to its sound. Not a test: `build/tests/standalone/standalone_demo_load [PROGRAM...]`.
#include <jack/jack.h>
#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "standalone/jack_test_rig.h"
#include "tools/vsthost/render.h"

int main(int argc, char** argv) {
  using namespace vantor::testing;
  namespace fs = std::filesystem;
  std::vector<std::string> programs(argv + 1, argv + argc);
  if (programs.empty()) {
    programs = {"Pad: Fat Strings", "Poly: PWM Stringz", "Stack: Synth Bells",
                "Bass: Classic Rezo"};
  }
  std::string pattern = (fs::temp_directory_path() / "vantor-demo-load-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    fprintf(stderr, "cannot make a temporary folder\n");
    return 1;
  }
  const fs::path folder = pattern;
  fs::create_directories(folder / "state");
  JackServer server;
  JackRig rig;
  std::string error;
  if (!server.Start(folder, error) || !rig.Open(server.name(), error)) {
    fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const vsthost::MidiSequence phrase = vsthost::DemoPhrase();
  constexpr double kRate = JackServer::kSampleRate;
  int run = 0;
  for (const std::string& program : programs) {
    // A name of its own each time: the server may still be dropping the last one.
    const std::string name = "vantor-" + std::to_string(++run);
    Child vantor;
    vantor.Start({VANTOR_BINARY, "--no-gui", "--no-alsa", "--name", name, "--server", server.name(),
                  "--program", program},
                 {{"XDG_STATE_HOME", (folder / "state").string()}, {"DISPLAY", ""}},
                 folder / "vantor.log");
    if (!rig.WaitForPort(name + ":midi_in", 60) ||
        !rig.Connect("test-player:midi_out", name + ":midi_in") ||
        !rig.Connect(name + ":out_L", "test-recorder:in_L")) {
      fprintf(stderr, "vantor did not come up: %s\n", vantor.Output().c_str());
      return 1;
    }
    const uint32_t start = rig.Now() + static_cast<uint32_t>(0.2 * kRate);
    uint32_t first_note = 0;
    for (const vsthost::MidiEvent& e : phrase.events) {
      if (e.size == 0) continue;
      const uint32_t at = start + static_cast<uint32_t>(e.seconds * kRate);
      if (!first_note && (e.data[0] & 0xF0) == 0x90) first_note = at;
      rig.Send(at, e.data[0], e.data[1], e.data[2]);
    }
    const uint32_t end = start + static_cast<uint32_t>((phrase.length_seconds + 2.0) * kRate);
    rig.WaitForFrame(end, 120);
    const std::vector<double> sound = rig.Left(first_note, static_cast<int>(0.5 * kRate));
    const int onset = FirstAbove(sound, 0.001);
    vantor.Signal(SIGTERM);
    vantor.Wait(60);
    jack_latency_range_t playback{};
    jack_client_t* probe =
        jack_client_open("probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                         nullptr, server.name().c_str());
    if (probe) {
      if (jack_port_t* port = jack_port_by_name(probe, "system:playback_1"))
        jack_port_get_latency_range(port, JackPlaybackLatency, &playback);
      jack_client_close(probe);
    }
    printf(
        "%s\n  first note sounds %d frames (%.2f ms) after its event; the server adds %u frames "
        "(%.2f ms) of playback latency; block %d frames (%.2f ms)\n  %s",
        program.c_str(), onset, onset * 1000.0 / kRate, playback.max, playback.max * 1000.0 / kRate,
        rig.BlockSize(), rig.BlockSize() * 1000.0 / kRate, vantor.Output().c_str());
  }
  server.Stop();
  fs::remove_all(folder);
  return 0;
}
