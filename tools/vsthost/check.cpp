// vsthost check: host-side conformance checks, each run in a child process of its own so that a
// crash or a hang fails that check and the others still run.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <thread>

#include "tools/vsthost/commands.h"
#include "tools/vsthost/fx_file.h"
#include "tools/vsthost/os.h"
#include "tools/vsthost/render.h"
#include "tools/vsthost/setup.h"

namespace vsthost {
namespace {

// Louder than this is a broken plug-in, not a loud sound (+40 dBFS).
constexpr double kAbsurdPeak = 100.0;
// "Silent" for a plug-in left alone: -100 dBFS.
constexpr double kSilence = 1e-5;
// Hosts commonly pass 64-byte buffers for names, labels and display texts.
constexpr size_t kHostNameBuffer = 64;
constexpr size_t kHostVendorBuffer = 256;
// A plug-in with more programs is checked on this many.
constexpr int kMaxProgramsChecked = 128;

struct Result {
  bool passed = true;
  std::string detail;
  int failures = 0;

  // The first few reasons are enough to act on; the rest are counted.
  void Fail(const std::string& why) {
    if (passed) detail.clear();
    passed = false;
    if (++failures > 3) return;
    if (!detail.empty()) detail += "; ";
    detail += why;
  }
  std::string Text() const {
    return failures > 3 ? detail + "; and " + std::to_string(failures - 3) + " more" : detail;
  }
  void Note(const std::string& what) {
    if (!passed) return;
    if (!detail.empty()) detail += "; ";
    detail += what;
  }
};

struct Context {
  std::shared_ptr<PluginLibrary> library;
  bool quick = false;
  std::mt19937 rng;

  double Seconds(double full) const { return quick ? full * 0.3 : full; }

  // A fresh, running instance; null (and a failed result) when it cannot be made.
  std::unique_ptr<Plugin> Instance(Result& result, double rate = 44100.0, int block = 512) {
    std::string error;
    std::unique_ptr<Plugin> plugin = Plugin::Create(library, error);
    if (!plugin) {
      result.Fail(error);
      return nullptr;
    }
    plugin->Configure(rate, block);
    plugin->host().process_level = vst::kVstProcessLevelRealtime;
    plugin->Resume();
    return plugin;
  }
  float Random01() { return std::uniform_real_distribution<float>(0.0f, 1.0f)(rng); }
  int RandomInt(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
};

// Empty when the output is fit to hear; otherwise what is wrong with it.
std::string OutputProblem(const Levels& levels) {
  char text[160];
  if (levels.non_finite > 0) {
    snprintf(text, sizeof text, "%ld NaN or infinite samples", levels.non_finite);
    return text;
  }
  if (levels.subnormal > 0) {
    snprintf(text, sizeof text, "%ld subnormal samples", levels.subnormal);
    return text;
  }
  if (levels.peak > kAbsurdPeak) {
    snprintf(text, sizeof text, "a peak of %.0f (%s)", levels.peak, FormatDb(levels.peak).c_str());
    return text;
  }
  return "";
}

MidiSequence OneNote(int key, double held, double tail = 0.0) {
  SequenceBuilder b(60.0);
  b.Note(0.0, held, key, 100);
  return b.Build(held + tail);
}

Levels Play(Plugin& plugin, const MidiSequence& sequence, PassOptions options = {}) {
  return RenderPass(plugin, sequence, options, nullptr).levels;
}

// Reads a string opcode into a buffer full of marks: how many bytes the plug-in wrote (0 for
// none), and whether a terminator is among them.
size_t WrittenExtent(Plugin& plugin, vst::int32 opcode, vst::int32 index, bool& terminated) {
  constexpr size_t kProbe = 2048;
  constexpr char kMark = '\x7f';
  std::vector<char> buffer(kProbe, kMark);
  plugin.Dispatch(opcode, index, 0, buffer.data());
  size_t extent = kProbe;
  while (extent > 0 && buffer[extent - 1] == kMark)
    --extent;
  terminated = extent == 0 || memchr(buffer.data(), '\0', extent) != nullptr;
  return extent;
}

std::string Describe(const char* what, int index) {
  return std::string(what) + " " + std::to_string(index);
}

// ---------------------------------------------------------------------------------------------
// The checks

Result CheckOpenClose(Context& c) {
  Result r;
  const int cycles = c.quick ? 4 : 10;
  for (int i = 0; i < cycles && r.passed; ++i) {
    std::unique_ptr<Plugin> p = c.Instance(r);
    if (!p) break;
    const std::string problem = OutputProblem(Play(*p, OneNote(60, 0.05, 0.05)));
    if (!problem.empty()) r.Fail("cycle " + std::to_string(i + 1) + ": " + problem);
  }
  // Several instances alive at once must not share state they should not.
  std::vector<std::unique_ptr<Plugin>> many;
  for (int i = 0; i < 3 && r.passed; ++i)
    many.push_back(c.Instance(r));
  for (size_t i = 0; i < many.size() && r.passed; ++i) {
    if (!many[i]) break;
    const std::string problem = OutputProblem(Play(*many[i], OneNote(60 + 4 * i, 0.05, 0.05)));
    if (!problem.empty()) r.Fail("instance " + std::to_string(i + 1) + " of 3: " + problem);
  }
  // Opened and closed without ever being switched on.
  std::string error;
  if (r.passed) {
    std::unique_ptr<Plugin> idle = Plugin::Create(c.library, error);
    if (!idle) r.Fail(error);
  }
  if (r.passed) r.Note(std::to_string(cycles) + " cycles, 3 instances at once");
  return r;
}

Result CheckSampleRates(Context& c) {
  Result r;
  std::unique_ptr<Plugin> p = c.Instance(r);
  if (!p) return r;
  static constexpr double kRates[] = {22050, 32000, 44100, 48000, 88200, 96000, 176400, 192000};
  int sounding = 0;
  for (double rate : kRates) {
    p->Suspend();
    p->Configure(rate, 512);
    p->Resume();
    const Levels levels = Play(*p, OneNote(64, c.Seconds(0.3), c.Seconds(0.1)));
    const std::string problem = OutputProblem(levels);
    if (!problem.empty()) r.Fail(std::to_string(static_cast<int>(rate)) + " Hz: " + problem);
    if (levels.peak > kSilence) ++sounding;
  }
  if (p->IsSynth() && sounding > 0 && sounding < static_cast<int>(std::size(kRates))) {
    r.Fail("a note sounds at " + std::to_string(sounding) + " of " +
           std::to_string(std::size(kRates)) + " sample rates only");
  }
  if (r.passed) {
    r.Note(sounding > 0 ? "22050 to 192000 Hz" : "22050 to 192000 Hz (silent at every rate)");
  }
  return r;
}

Result CheckBlockSizes(Context& c) {
  Result r;
  std::unique_ptr<Plugin> p = c.Instance(r);
  if (!p) return r;
  static constexpr int kSizes[] = {1,   2,   3,   7,   16,   31,   64,   100,
                                   127, 256, 511, 512, 1000, 1024, 2047, 4096};
  for (int size : kSizes) {
    p->Suspend();
    p->Configure(44100, size);
    p->Resume();
    const std::string problem = OutputProblem(Play(*p, OneNote(60, c.Seconds(0.15), 0.05)));
    if (!problem.empty()) r.Fail("block size " + std::to_string(size) + ": " + problem);
    // A shorter block than announced is allowed at any time.
    PassOptions shorter;
    shorter.next_block_size = [size] { return std::max(1, size / 3); };
    const std::string short_problem = OutputProblem(Play(*p, OneNote(67, 0.02, 0.02), shorter));
    if (!short_problem.empty()) {
      r.Fail("blocks shorter than the announced " + std::to_string(size) + ": " + short_problem);
    }
  }
  if (r.passed) r.Note("1 to 4096, odd sizes and short blocks included");
  return r;
}

Result CheckEveryProgram(Context& c) {
  Result r;
  std::unique_ptr<Plugin> p = c.Instance(r);
  if (!p) return r;
  const int count = std::min(std::max(p->NumPrograms(), 1), kMaxProgramsChecked);
  std::vector<int> silent;
  for (int i = 0; i < count; ++i) {
    if (p->NumPrograms() > 0) p->SetProgram(i);
    const Levels levels = Play(*p, OneNote(60, c.Seconds(0.4), c.Seconds(0.2)));
    const std::string problem = OutputProblem(levels);
    if (!problem.empty()) r.Fail(Describe("program", i) + ": " + problem);
    if (levels.peak <= kSilence) silent.push_back(i);
  }
  if (p->IsSynth() && static_cast<int>(silent.size()) == count) {
    r.Fail("no program makes a sound for a held middle C");
  } else if (!silent.empty()) {
    r.Note(std::to_string(silent.size()) + " of " + std::to_string(count) +
           " programs silent for middle C (first: " + std::to_string(silent.front()) + ")");
  }
  if (r.passed) r.Note(std::to_string(count) + " programs");
  return r;
}

Result CheckRandomAutomation(Context& c) {
  Result r;
  std::unique_ptr<Plugin> p = c.Instance(r, 44100, 256);
  if (!p) return r;
  if (p->NumParams() == 0) {
    r.Note("no parameters");
    return r;
  }
  PassOptions pass;
  pass.tail_seconds = 0.5;
  pass.next_block_size = [&] { return c.RandomInt(1, 64); };
  long changes = 0;
  pass.before_block = [&](long) {
    for (int k = c.RandomInt(0, 3); k > 0; --k) {
      p->SetParameter(c.RandomInt(0, p->NumParams() - 1), c.Random01());
      ++changes;
    }
  };
  MidiSequence phrase = DemoPhrase();
  if (c.quick) {
    phrase.length_seconds = 3.0;
    std::erase_if(phrase.events, [](const MidiEvent& e) { return e.seconds > 3.0; });
  }
  const std::string problem = OutputProblem(Play(*p, phrase, pass));
  if (!problem.empty()) r.Fail(problem);
  if (r.passed) r.Note(std::to_string(changes) + " changes in blocks of 1 to 64");
  return r;
}

Result CheckParameterTexts(Context& c) {
  Result r;
  std::unique_ptr<Plugin> p = c.Instance(r);
  if (!p) return r;
  struct Probe {
    vst::int32 opcode;
    const char* what;
    size_t limit;
  };
  // Strings that do not fit what hosts pass overwrite the host's memory.
  for (const Probe& probe : {Probe{vst::effGetEffectName, "effect name", kHostNameBuffer},
                             Probe{vst::effGetVendorString, "vendor", kHostVendorBuffer},
                             Probe{vst::effGetProductString, "product", kHostVendorBuffer},
                             Probe{vst::effGetProgramName, "program name", kHostNameBuffer}}) {
    bool terminated;
    const size_t length = WrittenExtent(*p, probe.opcode, 0, terminated);
    if (length > probe.limit) {
      r.Fail(std::string("the ") + probe.what + " takes " + std::to_string(length) +
             " bytes, more than the " + std::to_string(probe.limit) + " hosts pass");
    } else if (!terminated) {
      r.Fail(std::string("the ") + probe.what + " is not terminated");
    }
  }
  int unnamed = 0, text_entry = 0, text_entry_refused = 0;
  for (int i = 0; i < p->NumParams(); ++i) {
    for (const Probe& probe : {Probe{vst::effGetParamName, "name", kHostNameBuffer},
                               Probe{vst::effGetParamLabel, "label", kHostNameBuffer},
                               Probe{vst::effGetParamDisplay, "display text", kHostNameBuffer}}) {
      bool terminated;
      const size_t length = WrittenExtent(*p, probe.opcode, i, terminated);
      if (length > probe.limit) {
        r.Fail(Describe("parameter", i) + ": the " + probe.what + " takes " +
               std::to_string(length) + " bytes, more than the " + std::to_string(probe.limit) +
               " hosts pass");
      } else if (!terminated) {
        r.Fail(Describe("parameter", i) + ": the " + probe.what + " is not terminated");
      }
    }
    if (p->ParamName(i).empty()) ++unnamed;
    const float original = p->GetParameter(i);
    for (float x : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, original}) {
      p->SetParameter(i, x);
      const float got = p->GetParameter(i);
      if (!std::isfinite(got) || got < 0.0f || got > 1.0f) {
        r.Fail(Describe("parameter", i) + ": set to " + std::to_string(x) + " it reads " +
               std::to_string(got) + ", outside 0 to 1");
        continue;
      }
      // Reading a value back and setting it again must not move it: hosts do this all the time.
      const std::string display = p->ParamDisplay(i);
      p->SetParameter(i, got);
      const float again = p->GetParameter(i);
      if (std::fabs(again - got) > 1e-6f || p->ParamDisplay(i) != display) {
        r.Fail(Describe("parameter", i) + ": setting its own value " + std::to_string(got) +
               " back moves it to " + std::to_string(again) + " (\"" + p->ParamDisplay(i) + "\")");
      }
      // Text to value: the plug-in's own display text must lead back to the same display.
      const std::string own_text = p->ParamDisplay(i);
      p->SetParameter(i, x < 0.5f ? 1.0f : 0.0f);
      if (p->String2Parameter(i, own_text)) {
        ++text_entry;
        const std::string shown = p->ParamDisplay(i);
        if (!DisplayMatches(shown, own_text)) {
          r.Fail(Describe("parameter", i) + ": text entry of its own display \"" + own_text +
                 "\" shows \"" + shown + "\"");
        }
      } else {
        ++text_entry_refused;
      }
    }
    p->SetParameter(i, original);
  }
  if (unnamed > 0) r.Note(std::to_string(unnamed) + " parameters without a name");
  if (r.passed) {
    r.Note(std::to_string(p->NumParams()) + " parameters; text entry " +
           (text_entry_refused == 0 ? "round-trips"
            : text_entry == 0       ? "not offered"
                                    : "offered for some values only"));
  }
  return r;
}

// Parameters and, for chunk plug-ins, the bytes: what a host stores with a song.
Result CheckStateRestore(Context& c) {
  Result r;
  std::unique_ptr<Plugin> a = c.Instance(r);
  if (!a) return r;
  for (int i = 0; i < a->NumParams(); ++i)
    a->SetParameter(i, c.Random01());
  std::vector<float> values(a->NumParams());
  for (int i = 0; i < a->NumParams(); ++i)
    values[i] = a->GetParameter(i);
  const bool chunks = a->HasFlag(vst::effFlagsProgramChunks);

  auto compare_params = [&](Plugin& b, const char* how) {
    for (int i = 0; i < a->NumParams(); ++i) {
      const float v = b.GetParameter(i);
      if (std::fabs(v - values[i]) > 1e-6f) {
        r.Fail(std::string(how) + ": parameter " + std::to_string(i) + " \"" + a->ParamName(i) +
               "\" is " + std::to_string(v) + ", was " + std::to_string(values[i]));
        return;
      }
    }
  };
  auto first_difference = [](const std::vector<uint8_t>& x, const std::vector<uint8_t>& y) {
    const size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
      if (x[i] != y[i]) return i;
    }
    return n;
  };

  for (const bool bank : {false, true}) {
    const char* what = bank ? "bank" : "program";
    if (chunks) {
      std::vector<uint8_t> saved;
      if (!a->GetChunk(bank, saved)) {
        r.Fail(std::string("the plug-in gives no ") + what + " chunk");
        continue;
      }
      std::unique_ptr<Plugin> b = c.Instance(r);
      if (!b) return r;
      b->Suspend();
      if (!b->SetChunk(bank, saved, bank ? b->NumPrograms() : b->NumParams())) {
        r.Fail(std::string("a fresh instance refuses the ") + what + " chunk");
        continue;
      }
      compare_params(*b, (std::string(what) + " chunk into a fresh instance").c_str());
      std::vector<uint8_t> again;
      if (!b->GetChunk(bank, again)) {
        r.Fail(std::string("the restored instance gives no ") + what + " chunk");
      } else if (again != saved) {
        r.Fail(std::string("the ") + what + " chunk saved again differs (" +
               std::to_string(saved.size()) + " and " + std::to_string(again.size()) +
               " bytes, first difference at byte " +
               std::to_string(first_difference(saved, again)) + ")");
      }
    } else if (!bank) {
      const std::vector<uint8_t> saved = WriteFxProgram(CaptureProgram(*a));
      std::unique_ptr<Plugin> b = c.Instance(r);
      if (!b) return r;
      for (int i = 0; i < a->NumParams(); ++i)
        b->SetParameter(i, values[i]);
      compare_params(*b, "parameters into a fresh instance");
      if (WriteFxProgram(CaptureProgram(*b)) != saved) {
        r.Fail("the program saved again differs");
      }
    }
  }
  if (r.passed) {
    r.Note(chunks ? "program and bank chunks restore byte-identically"
                  : "parameter lists restore exactly");
  }
  return r;
}

Result CheckProgramSwitching(Context& c) {
  Result r;
  std::unique_ptr<Plugin> p = c.Instance(r);
  if (!p) return r;
  const int count = std::min(p->NumPrograms(), kMaxProgramsChecked);
  if (count <= 1) {
    r.Note(count == 1 ? "one program only" : "no programs");
    return r;
  }
  std::vector<std::vector<float>> first(count);
  std::vector<std::string> names(count);
  for (int i = 0; i < count; ++i) {
    p->SetProgram(i);
    if (p->GetProgram() != i) {
      r.Fail("after selecting program " + std::to_string(i) + " the plug-in reports " +
             std::to_string(p->GetProgram()));
      return r;
    }
    names[i] = p->CurrentProgramName();
    char indexed[1024] = {};
    if (p->Dispatch(vst::effGetProgramNameIndexed, i, -1, indexed) && names[i] != indexed) {
      r.Fail(Describe("program", i) + " is \"" + names[i] + "\" when selected but \"" + indexed +
             "\" by number");
    }
    for (int k = 0; k < p->NumParams(); ++k)
      first[i].push_back(p->GetParameter(k));
  }
  // Back through them in reverse while a note plays: each must come back as it was.
  EventBlock events;
  events.AddMidi(0, 0x90, 60, 100);
  p->Process(&events, 256);
  Levels levels;
  for (int i = count - 1; i >= 0 && r.passed; --i) {
    p->SetProgram(i);
    for (int k = 0; k < p->NumParams(); ++k) {
      if (std::fabs(p->GetParameter(k) - first[i][k]) > 1e-6f) {
        r.Fail(Describe("program", i) + " changed after switching away and back (parameter " +
               std::to_string(k) + ")");
        break;
      }
    }
    if (p->CurrentProgramName() != names[i]) {
      r.Fail(Describe("program", i) + " changed its name after switching away and back");
    }
    p->Process(nullptr, 256);
    levels.Add(p->Left(), p->Right(), 256);
  }
  const std::string problem = OutputProblem(levels);
  if (!problem.empty()) r.Fail("while switching: " + problem);
  if (r.passed) r.Note(std::to_string(count) + " programs, forth and back while playing");
  return r;
}

Result CheckExtremeMidi(Context& c) {
  Result r;
  std::unique_ptr<Plugin> p = c.Instance(r);
  if (!p) return r;
  SequenceBuilder b(120.0);
  // The whole keyboard at both ends of the velocity range, bends and wheels at their limits.
  for (int key = 0; key < 128; ++key)
    b.Note(key * 0.05, 0.2, key, key % 2 ? 127 : 1);
  b.Raw(1.0, 0xE0, 0x00, 0x00);
  b.Raw(3.0, 0xE0, 0x7F, 0x7F);
  b.Raw(6.0, 0xE0, 0x00, 0x40);
  b.Controller(2.0, 1, 127);
  b.Controller(2.5, 64, 127);  // sustain down
  b.Note(2.6, 1.0, 36, 127);
  b.Controller(4.0, 64, 0);
  b.Controller(5.0, 1, 0);
  b.Note(6.5, 0.5, 127, 127);
  b.Note(6.5, 0.5, 0, 127);
  b.Controller(7.0, 123, 0);  // all notes off
  const std::string problem = OutputProblem(Play(*p, b.Build(8.0)));
  if (!problem.empty()) r.Fail(problem);
  if (p->HasFlag(vst::effFlagsCanDoubleReplacing) && p->effect()->processDoubleReplacing) {
    p->Suspend();
    p->Dispatch(vst::effSetProcessPrecision, 0, vst::kVstProcessPrecision64);
    p->Resume();
    PassOptions pass;
    pass.double_precision = true;
    const Levels levels = Play(*p, OneNote(60, c.Seconds(0.5), 0.2), pass);
    const std::string double_problem = OutputProblem(levels);
    if (!double_problem.empty()) r.Fail("double precision: " + double_problem);
    if (p->IsSynth() && levels.peak <= kSilence) {
      PassOptions single;
      p->Suspend();
      p->Dispatch(vst::effSetProcessPrecision, 0, vst::kVstProcessPrecision32);
      p->Resume();
      if (Play(*p, OneNote(60, c.Seconds(0.5), 0.2), single).peak > kSilence) {
        r.Fail("a note sounds in single precision but not in double precision");
      }
    }
  }
  if (r.passed) {
    r.Note(p->HasFlag(vst::effFlagsCanDoubleReplacing) ? "single and double precision"
                                                       : "single precision");
  }
  return r;
}

Result CheckSilence(Context& c) {
  Result r;
  std::unique_ptr<Plugin> p = c.Instance(r);
  if (!p) return r;
  const Levels idle = Play(*p, SequenceBuilder().Build(c.Seconds(1.0) / 0.5));
  if (idle.peak > kSilence) {
    r.Fail("untouched, it outputs " + FormatDb(idle.peak));
    return r;
  }
  // After the last note ends the sound must die away.
  Play(*p, OneNote(60, 0.5));
  const double limit = c.quick ? 10.0 : 20.0;
  const int block = p->host().block_size;
  const long window = static_cast<long>(0.5 * p->host().sample_rate);
  long quiet_run = 0, frames = 0;
  const long max_frames = static_cast<long>(limit * p->host().sample_rate);
  while (quiet_run < window && frames < max_frames) {
    p->Process(nullptr, block);
    Levels levels;
    levels.Add(p->Left(), p->Right(), block);
    quiet_run = levels.peak <= kSilence ? quiet_run + block : 0;
    frames += block;
  }
  if (quiet_run < window) {
    r.Fail("still sounding " + std::to_string(static_cast<int>(limit)) +
           " s after the last note ended");
  } else {
    char text[96];
    snprintf(text, sizeof text, "silent when idle, and %.1f s after a note ends",
             (frames - quiet_run) / p->host().sample_rate);
    r.Note(text);
  }
  return r;
}

Result CheckSecondThread(Context& c) {
  Result r;
  std::unique_ptr<Plugin> p = c.Instance(r);
  if (!p) return r;
  if (p->NumParams() == 0) {
    r.Note("no parameters");
    return r;
  }
  std::atomic<bool> stop{false};
  std::atomic<long> calls{0};
  const int params = p->NumParams();
  // What a host's user-interface thread does while audio runs: automation and display reads.
  std::thread ui([&] {
    std::mt19937 rng(c.rng());
    std::uniform_int_distribution<int> which(0, params - 1);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    char text[1024];
    while (!stop.load()) {
      const int i = which(rng);
      p->effect()->setParameter(p->effect(), i, value(rng));
      p->effect()->getParameter(p->effect(), i);
      p->effect()->dispatcher(p->effect(), vst::effGetParamDisplay, i, 0, text, 0.0f);
      ++calls;
    }
  });
  MidiSequence phrase = DemoPhrase();
  phrase.length_seconds = c.Seconds(3.0);
  std::erase_if(phrase.events,
                [&](const MidiEvent& e) { return e.seconds > phrase.length_seconds; });
  PassOptions pass;
  pass.next_block_size = [] { return 64; };
  const Levels levels = Play(*p, phrase, pass);
  stop = true;
  ui.join();
  const std::string problem = OutputProblem(levels);
  if (!problem.empty()) r.Fail(problem);
  if (r.passed) r.Note(std::to_string(calls.load()) + " calls from the second thread");
  return r;
}

struct CheckSpec {
  const char* name;
  Result (*run)(Context&);
};

constexpr CheckSpec kChecks[] = {
    {"open and close", CheckOpenClose},
    {"sample rates", CheckSampleRates},
    {"block sizes", CheckBlockSizes},
    {"a note through every program", CheckEveryProgram},
    {"random automation in small blocks", CheckRandomAutomation},
    {"parameter value and text", CheckParameterTexts},
    {"state save and restore", CheckStateRestore},
    {"program switching", CheckProgramSwitching},
    {"extreme MIDI, no NaN/Inf/subnormal", CheckExtremeMidi},
    {"silence when idle", CheckSilence},
    {"setParameter from a second thread", CheckSecondThread},
};

// Runs one check apart from this process where the system allows, so a crash is a verdict.
Result RunIsolated(const CheckSpec& desc, Context& context, int timeout_seconds) {
  const os::ChildResult child = os::RunApart(
      [&] {
        const Result result = desc.run(context);
        std::string answer(1, result.passed ? 'P' : 'F');
        answer += result.Text();
        return answer;
      },
      timeout_seconds);
  Result result;
  if (child.ending != os::ChildResult::Ending::kFinished) {
    result.Fail(child.reason);
  } else {
    result.passed = child.answer[0] == 'P';
    result.detail = child.answer.substr(1);
  }
  return result;
}

}  // namespace

int RunCheck(const Options& options) {
  std::shared_ptr<PluginLibrary> library;
  std::unique_ptr<Plugin> first = OpenPlugin(options.plugin, &library);
  if (!first) return 1;
  printf("Checking %s: \"%s\" by \"%s\", %d in / %d out, %d parameters, %d programs%s\n",
         options.plugin.c_str(), first->EffectName().c_str(),
         first->GetString(vst::effGetVendorString).c_str(), first->NumInputs(), first->NumOutputs(),
         first->NumParams(), first->NumPrograms(), first->IsSynth() ? ", instrument" : "");
  first.reset();

  Context context;
  context.library = library;
  context.quick = options.quick;
  int passed = 0, failed = 0;
  for (const CheckSpec& desc : kChecks) {
    // Each check gets its own random stream, so one check's choices do not shift another's.
    context.rng.seed(options.seed * 7919u + static_cast<unsigned>(&desc - kChecks));
    const Result result = RunIsolated(desc, context, 600);
    printf("  %s  %-36s %s\n", result.passed ? "PASS" : "FAIL", desc.name, result.detail.c_str());
    (result.passed ? passed : failed)++;
  }
  printf("%d checks: %d passed, %d failed\n", passed + failed, passed, failed);
  return failed == 0 ? 0 : 1;
}

}  // namespace vsthost
