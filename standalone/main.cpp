// vantor: the instrument as a program of its own, with JACK audio and MIDI, the ALSA sequencer
// and its editor in a window; a thin host of the plug-in linked into it.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/instance.h"
#include "platform/midi_sequencer.h"
#include "platform/platform.h"
#include "standalone/jack_audio.h"
#include "standalone/options.h"
#include "standalone/saved_state.h"
#include "tools/vsthost/os.h"
#include "tools/vsthost/plugin.h"
#include "tools/vsthost/setup.h"

namespace vantor::standalone {
namespace {

volatile std::sig_atomic_t g_quit_signal = 0;

extern "C" void OnQuitSignal(int signal_number) {
  if (g_quit_signal != 0) {
    // A second request while saving: the user wants out now.
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    return;
  }
  g_quit_signal = signal_number;
}

void Note(const std::string& text) {
  printf("vantor: %s\n", text.c_str());
  fflush(stdout);
}

int Fail(int status, const std::string& text) {
  fprintf(stderr, "vantor: %s\n", text.c_str());
  return status;
}

std::string ProgramText(vsthost::Plugin& plugin) {
  return "program " + std::to_string(plugin.GetProgram()) + " \"" + plugin.CurrentProgramName() +
         "\"";
}

// The editor in a window of its own, closed before the window goes. The window takes the size
// the editor asks for (its zoom).
class EditorWindow {
 public:
  EditorWindow(vsthost::Plugin& plugin, std::unique_ptr<vsthost::os::HostWindow> window)
      : plugin_(plugin), window_(std::move(window)) {
    plugin_.host().size_window = [this](int width, int height) {
      return window_->Resize(width, height);
    };
  }
  ~EditorWindow() {
    if (open_) plugin_.Dispatch(vst::effEditClose);
    plugin_.host().size_window = nullptr;
    window_->Pump(0);
  }
  bool Open() {
    open_ = plugin_.Dispatch(vst::effEditOpen, 0, 0, window_->Handle()) != 0;
    return open_;
  }
  // Handles the window's events for up to `milliseconds`, then gives the editor its idle call.
  void Idle(int milliseconds) {
    window_->Pump(milliseconds);
    plugin_.Dispatch(vst::effEditIdle);
  }
  bool CloseRequested() const { return window_->CloseRequested(); }
  void SetTitle(const std::string& title) { window_->SetTitle(title); }

 private:
  vsthost::Plugin& plugin_;
  std::unique_ptr<vsthost::os::HostWindow> window_;
  bool open_ = false;
};

std::string Title(vsthost::Plugin& plugin) {
  return "Vantor - " + std::to_string(plugin.GetProgram()) + " " + plugin.CurrentProgramName();
}

std::unique_ptr<EditorWindow> OpenEditorWindow(vsthost::Plugin& plugin, int& status,
                                               std::string& error) {
  vst::ERect* rect = nullptr;
  if (!plugin.Dispatch(vst::effEditGetRect, 0, 0, &rect) || !rect) {
    status = kExitFailure;
    error = "the instrument tells no editor size";
    return nullptr;
  }
  std::unique_ptr<vsthost::os::HostWindow> window = vsthost::os::OpenHostWindow(
      rect->right - rect->left, rect->bottom - rect->top, Title(plugin), error);
  if (!window) {
    status = kExitNoDisplay;
    error =
        "cannot open the editor window: " + error + ". Run \"vantor --no-gui\" to play without it";
    return nullptr;
  }
  auto editor = std::make_unique<EditorWindow>(plugin, std::move(window));
  if (!editor->Open()) {
    status = kExitFailure;
    error = "the editor did not open in its window";
    return nullptr;
  }
  return editor;
}

int Run(const Options& options) {
#ifdef SIGPIPE
  // A server that went away gives errors on its socket, and the state is still saved.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  std::shared_ptr<vsthost::PluginLibrary> library =
      vsthost::PluginLibrary::Linked(&CreatePluginInstance, "vantor", platform::ModuleFolder());
  std::string error;
  std::unique_ptr<vsthost::Plugin> plugin = vsthost::Plugin::Create(library, error);
  if (!plugin) return Fail(kExitFailure, "the instrument could not be made: " + error);
  plugin->host().product = "vantor";

  // The remembered state, unless the command line names another start.
  const std::string state_path = SavedStatePath();
  if (!options.bank_file.empty()) {
    if (!LoadBankFile(*plugin, options.bank_file, error)) return Fail(kExitUsage, error);
  } else {
    const RestoreResult restored = RestoreState(*plugin, state_path);
    if (restored.kind == RestoreResult::Kind::kSetAside) Note(restored.message);
  }
  if (!options.program.empty()) {
    int index = 0;
    if (!vsthost::FindProgram(*plugin, options.program, index, error)) {
      return Fail(kExitUsage, error);
    }
    plugin->SetProgram(index);
  }

  JackAudio::OpenFailure failure{};
  std::unique_ptr<JackAudio> audio =
      JackAudio::Open(options.server, options.client_name, *plugin, failure, error);
  if (!audio) {
    return Fail(failure == JackAudio::OpenFailure::kNoServer ? kExitNoServer : kExitFailure, error);
  }
  std::unique_ptr<EditorWindow> editor;
  if (options.gui) {
    int status = kExitOk;
    editor = OpenEditorWindow(*plugin, status, error);
    if (!editor) return Fail(status, error);
  }
  const std::string client_name = audio->ClientName();
  std::string sequencer_error;
  std::unique_ptr<platform::MidiSequencerInput> sequencer;
  if (options.alsa_midi) {
    JackAudio* queue_to = audio.get();
    sequencer = platform::MidiSequencerInput::Open(
        client_name, "MIDI in",
        [queue_to](const uint8_t* bytes, int size) { queue_to->QueueMidi(bytes, size); },
        sequencer_error);
  }
  if (!audio->Activate(error)) return Fail(kExitFailure, error);
  if (options.auto_connect_audio && audio->ConnectPlayback() == 0) {
    Note("no system playback ports to connect out_L and out_R to");
  }
  for (const std::string& source : options.connect) {
    const JackAudio::Connection connection = audio->ConnectMidiSource(source, error);
    if (connection == JackAudio::Connection::kConnected) continue;
    if (connection == JackAudio::Connection::kFailed) return Fail(kExitMidiNotFound, error);
    if (!sequencer) {
      return Fail(kExitMidiNotFound,
                  "MIDI source \"" + source + "\" not found: no JACK MIDI port has that name" +
                      (options.alsa_midi ? ", and " + sequencer_error : std::string()));
    }
    if (!sequencer->Connect(source, error)) {
      return Fail(kExitMidiNotFound, "MIDI source \"" + source +
                                         "\" not found: no JACK MIDI port has that name, and " +
                                         error);
    }
  }

  std::signal(SIGINT, OnQuitSignal);
  std::signal(SIGTERM, OnQuitSignal);
#ifdef SIGHUP
  std::signal(SIGHUP, OnQuitSignal);  // the terminal went away
#endif
  char timing[96];
  snprintf(timing, sizeof timing, "%.0f Hz, %d frames a block (%.1f ms)", audio->sample_rate(),
           audio->block_size(), 1000.0 * audio->block_size() / audio->sample_rate());
  Note("playing " + ProgramText(*plugin) + " at " + timing + "; MIDI in: JACK " + client_name +
       ":midi_in" +
       (sequencer           ? ", ALSA sequencer " + sequencer->Address()
        : options.alsa_midi ? " (not ALSA: " + sequencer_error + ")"
                            : ""));

  int status = kExitOk;
  std::string shown_program = ProgramText(*plugin);
  double shown_rate = audio->sample_rate();
  int shown_block = audio->block_size();
  auto next_check = std::chrono::steady_clock::now();
  while (g_quit_signal == 0) {
    if (editor) {
      editor->Idle(10);
      if (editor->CloseRequested()) break;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    audio->ApplyServerChanges();
    if (audio->ServerStopped()) {
      status = kExitServerStopped;
      fprintf(stderr, "vantor: the JACK server stopped\n");
      break;
    }
    // A few times a second is enough for what the user reads.
    if (std::chrono::steady_clock::now() < next_check) continue;
    next_check = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    if (const std::string now = ProgramText(*plugin); now != shown_program) {
      shown_program = now;
      Note(now);
      if (editor) editor->SetTitle(Title(*plugin));
    }
    if (audio->sample_rate() != shown_rate || audio->block_size() != shown_block) {
      shown_rate = audio->sample_rate();
      shown_block = audio->block_size();
      snprintf(timing, sizeof timing, "%.0f Hz, %d frames a block", shown_rate, shown_block);
      Note(std::string("now at ") + timing);
    }
  }

  audio->Deactivate();
  sequencer.reset();
  editor.reset();
  const AudioStats stats = audio->Stats();
  char summary[200];
  snprintf(summary, sizeof summary,
           "played %.1f s; the instrument took %.1f%% of the time on average, %.1f%% in the "
           "busiest block; %llu xruns",
           stats.blocks * audio->block_size() / audio->sample_rate(), 100.0 * stats.average_load,
           100.0 * stats.peak_load, static_cast<unsigned long long>(stats.xruns));
  Note(summary);
  if (stats.dropped_midi > 0) {
    Note(std::to_string(stats.dropped_midi) + " MIDI messages were lost to a full queue");
  }
  if (!SaveState(*plugin, state_path, error)) {
    fprintf(stderr, "vantor: the state was not saved: %s\n", error.c_str());
    return status == kExitOk ? kExitFailure : status;
  }
  Note("saved the bank and " + ProgramText(*plugin) + " in " + state_path);
  return status;
}

}  // namespace
}  // namespace vantor::standalone

int main(int argc, char** argv) {
  using namespace vantor::standalone;
  const std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (!ParseOptions(args, options, error)) {
    fprintf(stderr, "vantor: %s (\"vantor --help\" tells the options)\n", error.c_str());
    return kExitUsage;
  }
  if (options.help) {
    printf("%s", HelpText().c_str());
    return kExitOk;
  }
  if (options.version) {
    printf("vantor %s\n", VANTOR_VERSION);
    return kExitOk;
  }
  return Run(options);
}
