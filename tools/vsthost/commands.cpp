// info, render, save and bench: what a user asks of a plug-in from the command line.
#include "tools/vsthost/commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "tools/vsthost/audio_file.h"
#include "tools/vsthost/fx_file.h"
#include "tools/vsthost/os.h"
#include "tools/vsthost/picture.h"
#include "tools/vsthost/progress.h"
#include "tools/vsthost/render.h"
#include "tools/vsthost/setup.h"
#include "tools/vsthost/staged_file.h"

namespace vsthost {
namespace {

constexpr const char* kCanDoQueries[] = {
    "receiveVstEvents",
    "receiveVstMidiEvent",
    "receiveVstTimeInfo",
    "sendVstEvents",
    "sendVstMidiEvent",
    "offline",
    "midiProgramNames",
    "bypass",
    "MPE",
    "midiSingleNoteTuningChange",
    "midiKeyBasedInstrumentControl",
};

std::string FlagNames(int flags) {
  static const std::pair<int, const char*> kFlags[] = {
      {vst::effFlagsHasEditor, "editor"},
      {vst::effFlagsIsMono, "mono"},
      {vst::effFlagsCanReplacing, "replacing"},
      {vst::effFlagsProgramChunks, "chunks"},
      {vst::effFlagsIsSynth, "synth"},
      {vst::effFlagsNoSoundInStop, "silent-when-stopped"},
      {vst::effFlagsCanDoubleReplacing, "double"},
  };
  std::string text;
  for (const auto& [bit, name] : kFlags) {
    if (flags & bit) text += (text.empty() ? "" : ", ") + std::string(name);
  }
  return text.empty() ? "none" : text;
}

const char* CategoryName(vst::intptr category) {
  static const char* kNames[] = {"unknown",     "effect",          "synth",       "analysis",
                                 "mastering",   "spatializer",     "room effect", "surround effect",
                                 "restoration", "offline process", "shell",       "generator"};
  return category >= 0 && category < 12 ? kNames[category] : "unknown";
}

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

// Plays `sequence` once through each program in turn (or once through the current one).
struct Section {
  int program = -1;
  std::string name;
  long start = 0, frames = 0;
  Levels levels;
};

std::string FormatSeconds(double s) {
  char text[32];
  snprintf(text, sizeof text, "%.1f s", s);
  return text;
}

void PrintLevels(const char* what, const Levels& levels) {
  printf("%s peak %s (%.3f), RMS %s\n", what, FormatDb(levels.peak).c_str(), levels.peak,
         FormatDb(levels.Rms()).c_str());
}

}  // namespace

std::unique_ptr<Plugin> OpenPlugin(const std::string& path,
                                   std::shared_ptr<PluginLibrary>* library_out) {
  std::string error;
  std::shared_ptr<PluginLibrary> library = PluginLibrary::Open(path, error);
  if (!library) {
    fprintf(stderr, "vsthost: %s\n", error.c_str());
    return nullptr;
  }
  std::unique_ptr<Plugin> plugin = Plugin::Create(library, error);
  if (!plugin) {
    fprintf(stderr, "vsthost: %s\n", error.c_str());
    return nullptr;
  }
  if (library_out) *library_out = library;
  return plugin;
}

bool ApplySetup(Plugin& plugin, const Options& options, bool verbose) {
  std::string error, report;
  FxFile preset_kind;
  const bool preset_is_program = !options.preset.empty() && options.preset.size() > 4 &&
                                 options.preset.compare(options.preset.size() - 4, 4, ".fxp") == 0;
  // A bank first decides what the programs are; a program file lands in the chosen program.
  auto load_preset = [&]() {
    if (options.preset.empty()) return true;
    if (!LoadPresetFile(plugin, options.preset, report, error)) {
      fprintf(stderr, "vsthost: %s\n", error.c_str());
      return false;
    }
    if (verbose) printf("Preset: %s\n", report.c_str());
    return true;
  };
  if (!preset_is_program && !load_preset()) return false;
  if (!options.programs.empty()) {
    int program;
    if (!FindProgram(plugin, options.programs.front(), program, error)) {
      fprintf(stderr, "vsthost: %s\n", error.c_str());
      return false;
    }
    plugin.SetProgram(program);
  }
  if (preset_is_program && !load_preset()) return false;
  for (const auto& [name, value] : options.settings) {
    int index;
    std::string how;
    if (!FindParameter(plugin, name, index, error) ||
        !SetParameterFromText(plugin, index, value, how, error)) {
      fprintf(stderr, "vsthost: --set %s=%s: %s\n", name.c_str(), value.c_str(), error.c_str());
      return false;
    }
    if (verbose) {
      std::string shown = plugin.ParamDisplay(index);
      const std::string label = plugin.ParamLabel(index);
      if (!label.empty()) shown += " " + label;
      printf("Set %s to %s %s\n", Quoted(plugin.ParamName(index)).c_str(), Quoted(shown).c_str(),
             how.c_str());
    }
  }
  return true;
}

int RunInfo(const Options& options) {
  std::unique_ptr<Plugin> plugin = OpenPlugin(options.plugin);
  if (!plugin) return 1;
  const vst::AEffect* e = plugin->effect();
  char id_hex[16];
  snprintf(id_hex, sizeof id_hex, "0x%08X", static_cast<unsigned>(e->uniqueID));
  printf("Plug-in:      %s (entry point %s)\n", plugin->library().path().c_str(),
         plugin->library().entry_name());
  printf("Name:         %s\n", plugin->EffectName().c_str());
  printf("Vendor:       %s\n", plugin->GetString(vst::effGetVendorString).c_str());
  printf("Product:      %s\n", plugin->GetString(vst::effGetProductString).c_str());
  printf("Version:      %d (vendor version %ld)\n", e->version,
         static_cast<long>(plugin->Dispatch(vst::effGetVendorVersion)));
  printf("Unique ID:    %s (%s)\n", FourCCText(e->uniqueID).c_str(), id_hex);
  printf("VST version:  %ld\n", static_cast<long>(plugin->Dispatch(vst::effGetVstVersion)));
  const vst::intptr category = plugin->Dispatch(vst::effGetPlugCategory);
  printf("Category:     %s (%ld)\n", CategoryName(category), static_cast<long>(category));
  printf("Flags:        0x%X: %s\n", static_cast<unsigned>(e->flags), FlagNames(e->flags).c_str());
  printf("Channels:     %d inputs, %d outputs\n", e->numInputs, e->numOutputs);
  printf("Latency:      %d samples\n", e->initialDelay);
  printf("Tail:         %ld samples\n", static_cast<long>(plugin->Dispatch(vst::effGetTailSize)));
  printf("MIDI inputs:  %ld channels\n",
         static_cast<long>(plugin->Dispatch(vst::effGetNumMidiInputChannels)));

  printf("\nParameters (%d):\n", e->numParams);
  printf("  %5s  %-24s %-10s %s\n", "index", "name", "label", "display");
  for (int i = 0; i < e->numParams; ++i) {
    const bool automatable = plugin->Dispatch(vst::effCanBeAutomated, i) != 0;
    printf("  %5d  %-24s %-10s %s%s\n", i, plugin->ParamName(i).c_str(),
           plugin->ParamLabel(i).c_str(), plugin->ParamDisplay(i).c_str(),
           automatable ? "" : "  (not automatable)");
  }
  printf("\nPrograms (%d, current %d):\n", e->numPrograms, plugin->GetProgram());
  for (int i = 0; i < e->numPrograms; ++i) {
    printf("  %5d  %s\n", i, plugin->ProgramName(i).c_str());
  }
  printf("\nCan do:\n");
  for (const char* query : kCanDoQueries) {
    const vst::intptr answer = plugin->Dispatch(vst::effCanDo, 0, 0, const_cast<char*>(query));
    printf("  %-30s %s\n", query, answer > 0 ? "yes" : answer < 0 ? "no" : "don't know");
  }
  return 0;
}

int RunRender(const Options& options) {
  const bool verbose = !options.quiet;
  MidiSequence sequence;
  std::string error;
  std::string piece = "the demo phrase";
  if (options.midi_file.empty()) {
    sequence = DemoPhrase();
  } else {
    if (!LoadMidiFile(options.midi_file, sequence, error)) {
      fprintf(stderr, "vsthost: %s\n", error.c_str());
      return 1;
    }
    piece = options.midi_file;
  }
  if (sequence.length_seconds > options.max_length_seconds) {
    fprintf(stderr,
            "vsthost: %s lasts %.0f s, longer than %.0f s; raise --max-length to render it\n",
            piece.c_str(), sequence.length_seconds, options.max_length_seconds);
    return 1;
  }
  if (!options.preset.empty() && options.programs.size() > 1 && options.preset.size() > 4 &&
      options.preset.compare(options.preset.size() - 4, 4, ".fxp") == 0) {
    fprintf(stderr, "vsthost: a program file goes into one program: give one --program\n");
    return 1;
  }

  std::unique_ptr<Plugin> plugin = OpenPlugin(options.plugin);
  if (!plugin) return 1;
  if (plugin->NumOutputs() < 1) {
    fprintf(stderr, "vsthost: %s has no audio outputs to render\n", options.plugin.c_str());
    return 1;
  }
  plugin->Configure(options.sample_rate, options.block_size);
  // Tells the plug-in it may take its time: nothing here plays in real time.
  plugin->host().process_level = vst::kVstProcessLevelOffline;
  if (!ApplySetup(*plugin, options, verbose)) return 1;

  std::vector<Section> sections;
  if (options.programs.size() <= 1) {
    Section s;
    s.program = plugin->GetProgram();
    s.name = plugin->CurrentProgramName();
    sections.push_back(s);
  } else {
    for (const std::string& text : options.programs) {
      Section s;
      if (!FindProgram(*plugin, text, s.program, error)) {
        fprintf(stderr, "vsthost: %s\n", error.c_str());
        return 1;
      }
      s.name = plugin->ProgramName(s.program);
      sections.push_back(s);
    }
  }

  const long pass_frames = PassFrames(sequence, options.tail_seconds, options.sample_rate);
  const long total_frames = pass_frames * static_cast<long>(sections.size());
  AudioFileWriter writer;
  if (!writer.Open(options.output, options.sample_rate, options.format, error)) {
    fprintf(stderr, "vsthost: %s\n", error.c_str());
    return 1;
  }
  std::unique_ptr<PictureBuilder> picture;
  if (!options.picture.empty()) {
    picture = std::make_unique<PictureBuilder>(total_frames, options.sample_rate);
  }
  ProgressBar progress(total_frames, options.sample_rate, verbose);
  bool write_failed = false;
  Levels all;
  double process_seconds = 0.0;
  long done = 0;
  for (size_t i = 0; i < sections.size(); ++i) {
    Section& s = sections[i];
    if (sections.size() > 1) {
      // Each program starts from rest, as if the piece were played anew.
      plugin->Suspend();
      plugin->SetProgram(s.program);
      Options again = options;
      again.preset.clear();
      again.programs.clear();
      if (!ApplySetup(*plugin, again, false)) return 1;
    }
    plugin->Resume();
    PassOptions pass;
    pass.tail_seconds = options.tail_seconds;
    pass.progress = [&](long frames) { progress.Update(done + frames); };
    s.start = done;
    const PassStats stats =
        RenderPass(*plugin, sequence, pass, [&](const float* l, const float* r, int n) {
          if (!writer.Write(l, r, n)) write_failed = true;
          if (picture) picture->Add(l, r, n);
        });
    s.frames = stats.frames;
    s.levels = stats.levels;
    all.Merge(stats.levels);
    process_seconds += stats.process_seconds;
    done += stats.frames;
  }
  plugin->Suspend();
  progress.Finish();
  if (write_failed || !writer.Close(error)) {
    fprintf(stderr, "vsthost: %s\n",
            write_failed ? ("cannot write " + options.output).c_str() : error.c_str());
    return 1;
  }
  if (picture && !picture->WritePng(options.picture, error)) {
    fprintf(stderr, "vsthost: %s\n", error.c_str());
    return 1;
  }

  const double audio_seconds = static_cast<double>(total_frames) / options.sample_rate;
  if (verbose) {
    printf("Played %s (%s) through %s, %s of audio:\n", piece.c_str(),
           FormatSeconds(sequence.length_seconds).c_str(), plugin->EffectName().c_str(),
           FormatSeconds(audio_seconds).c_str());
    for (const Section& s : sections) {
      printf("  %6.1f s  program %d %-28s peak %-12s RMS %s\n", s.start / options.sample_rate,
             s.program, Quoted(s.name).c_str(), FormatDb(s.levels.peak).c_str(),
             FormatDb(s.levels.Rms()).c_str());
    }
    printf("Wrote %s (%s)\n", options.output.c_str(), writer.Description().c_str());
    if (picture) printf("Drew %s (waveform scaled to the peak)\n", options.picture.c_str());
    PrintLevels("Level:", all);
    if (process_seconds > 0) {
      printf("Speed: %.1fx real time (%.2f s to render %.1f s, block size %d)\n",
             audio_seconds / process_seconds, process_seconds, audio_seconds, options.block_size);
    }
    if (all.peak == 0.0) printf("The plug-in produced only silence.\n");
  }
  if (all.non_finite > 0) {
    fprintf(stderr,
            "vsthost: warning: the plug-in produced %ld NaN or infinite samples "
            "(written as zero)\n",
            all.non_finite);
  }
  if (all.peak > 1.0) {
    fprintf(stderr, "vsthost: warning: the output exceeds full scale (peak %s); %s\n",
            FormatDb(all.peak).c_str(),
            options.format == SampleFormat::kFloat32 ? "kept in the float file"
                                                     : "clipped in the file");
  }
  return 0;
}

int RunSave(const Options& options) {
  std::unique_ptr<Plugin> plugin = OpenPlugin(options.plugin);
  if (!plugin) return 1;
  if (!ApplySetup(*plugin, options, false)) return 1;
  std::vector<uint8_t> bytes;
  std::string what;
  if (options.bank) {
    const FxBank bank = CaptureBank(*plugin);
    bytes = WriteFxBank(bank);
    what = std::string("bank of ") + std::to_string(bank.num_programs) + " programs (" +
           (bank.is_chunk ? "chunk" : "parameter lists") + ")";
  } else {
    const FxProgram program = CaptureProgram(*plugin);
    bytes = WriteFxProgram(program);
    what = "program " + std::to_string(plugin->GetProgram()) + " " + Quoted(program.name) + " (" +
           (program.is_chunk ? "chunk" : "parameter list") + ")";
  }
  std::string error;
  if (!WriteFileAtomically(options.output, bytes, error)) {
    fprintf(stderr, "vsthost: %s\n", error.c_str());
    return 1;
  }
  if (!options.quiet) {
    printf("Saved %s into %s, %zu bytes\n", what.c_str(), options.output.c_str(), bytes.size());
  }
  return 0;
}

namespace {

// The processor features that decide which inner loops a plug-in can take.
std::string CpuFeatures() {
  std::string found;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();
  const std::pair<const char*, bool> features[] = {{"sse2", __builtin_cpu_supports("sse2")},
                                                   {"avx", __builtin_cpu_supports("avx")},
                                                   {"avx2", __builtin_cpu_supports("avx2")},
                                                   {"fma", __builtin_cpu_supports("fma")}};
  for (const auto& [name, present] : features) {
    if (present) found += (found.empty() ? "" : " ") + std::string(name);
  }
#endif
  return found.empty() ? "none detected" : found;
}

}  // namespace

int RunBench(const Options& options) {
  // Before the plug-in loads: it reads the variable once.
  if (!options.engine_path.empty())
    os::SetEnvironment("VANTOR_ENGINE_PATH", options.engine_path.c_str());
  const char* path = getenv("VANTOR_ENGINE_PATH");
  printf("CPU features: %s; render path: %s\n", CpuFeatures().c_str(),
         path && *path ? (std::string(path) + " (VANTOR_ENGINE_PATH)").c_str()
                       : "the plug-in's choice (VANTOR_ENGINE_PATH not set)");
  MidiSequence piece;
  std::string error, piece_name = "demo phrase";
  if (options.midi_file.empty()) {
    piece = DemoPhrase();
  } else if (!LoadMidiFile(options.midi_file, piece, error)) {
    fprintf(stderr, "vsthost: %s\n", error.c_str());
    return 1;
  } else {
    piece_name = options.midi_file;
  }
  std::unique_ptr<Plugin> plugin = OpenPlugin(options.plugin);
  if (!plugin) return 1;
  plugin->Configure(options.sample_rate, options.block_size);
  plugin->host().process_level = vst::kVstProcessLevelRealtime;
  if (!ApplySetup(*plugin, options, false)) return 1;
  printf("%s, program %d \"%s\", %.0f Hz, block size %d, one thread\n",
         plugin->EffectName().c_str(), plugin->GetProgram(), plugin->CurrentProgramName().c_str(),
         options.sample_rate, options.block_size);
  struct Load {
    std::string name;
    MidiSequence sequence;
  };
  const Load loads[] = {
      {piece_name, piece},
      {std::to_string(options.voices) + "-note chord",
       HeldChord(options.voices, options.bench_seconds)},
  };
  for (const Load& load : loads) {
    // The best of three runs: the others measure what else the machine was doing.
    double best_cpu = INFINITY, best_wall = INFINITY;
    long frames = 0;
    for (int run = 0; run < 3; ++run) {
      plugin->Suspend();
      plugin->Resume();
      PassOptions pass;
      pass.tail_seconds = 1.0;
      const PassStats stats = RenderPass(*plugin, load.sequence, pass, nullptr);
      best_cpu = std::min(best_cpu, stats.cpu_seconds);
      best_wall = std::min(best_wall, stats.process_seconds);
      frames = stats.frames;
    }
    const double audio = frames / options.sample_rate;
    printf("  %-28s %6.1f s of audio: %7.1fx real time (processor time %.3f s, wall %.3f s)\n",
           load.name.c_str(), audio, best_cpu > 0 ? audio / best_cpu : INFINITY, best_cpu,
           best_wall);
  }
  plugin->Suspend();
  return 0;
}

}  // namespace vsthost
