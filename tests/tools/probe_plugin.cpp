// A tiny VST 2.4 instrument whose output tells what the host did: an impulse on the left channel
// at the exact sample of every note-on (height = "Gain" x velocity / 127), and at the same sample
// on the right channel the process level the host reports, divided by ten. It exports only the
// legacy `main`. VSTHOST_PROBE_FAULT makes it misbehave on purpose: "nan", "subnormal", "hum"
// (sound when idle), "crash" (on the first note) or "drift" (chunks never restore the same).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/vst24.h"

namespace {

using namespace vst;

constexpr int kParams = 3;  // Gain, Mode, Freq
constexpr int kPrograms = 4;
constexpr const char* kProgramNames[kPrograms] = {"Alpha", "Beta", "Gamma Ray", "Gamma Knife"};
constexpr const char* kModes[] = {"Off", "On", "Auto"};
constexpr int32 kChunkMagic = FourCC('P', 'r', 'b', 'e');

struct Program {
  float values[kParams] = {0.5f, 0.0f, 0.0210210f};  // Freq 440 Hz
  char name[32] = {};
};

enum class Fault { kNone, kNan, kSubnormal, kHum, kCrash, kDrift };

Fault FaultFromEnvironment() {
  const char* f = std::getenv("VSTHOST_PROBE_FAULT");
  if (!f) return Fault::kNone;
  const std::string s = f;
  return s == "nan"         ? Fault::kNan
         : s == "subnormal" ? Fault::kSubnormal
         : s == "hum"       ? Fault::kHum
         : s == "crash"     ? Fault::kCrash
         : s == "drift"     ? Fault::kDrift
                            : Fault::kNone;
}

struct Probe {
  AEffect effect{};
  Fault fault = FaultFromEnvironment();
  int32 saves = 0;
  AudioMasterCallback host = nullptr;
  Program programs[kPrograms];
  int current = 0;
  std::vector<uint8_t> chunk;
  struct Pending {
    int offset;
    float height;
  };
  std::vector<Pending> pending;
  float* values() { return programs[current].values; }
};

Probe* Of(AEffect* e) {
  return static_cast<Probe*>(e->object);
}

double FreqHz(float normalised) {
  return 20.0 + normalised * 19980.0;
}
int ModeIndex(float normalised) {
  return std::min(2, static_cast<int>(normalised * 3.0f));
}

void Display(Probe* p, int index, char* out) {
  const float v = p->values()[index];
  switch (index) {
    case 0:
      snprintf(out, 64, "%.2f", v);
      break;
    case 1:
      snprintf(out, 64, "%s", kModes[ModeIndex(v)]);
      break;
    default:
      snprintf(out, 64, "%.1f", FreqHz(v));
      break;
  }
}

void PutBytes(std::vector<uint8_t>& out, const void* data, size_t n) {
  const auto* b = static_cast<const uint8_t*>(data);
  out.insert(out.end(), b, b + n);
}

void PutProgram(std::vector<uint8_t>& out, const Program& program) {
  PutBytes(out, program.values, sizeof program.values);
  PutBytes(out, program.name, sizeof program.name);
}

bool GetProgram(const uint8_t*& at, const uint8_t* end, Program& program) {
  if (end - at < static_cast<long>(sizeof program.values + sizeof program.name)) return false;
  memcpy(program.values, at, sizeof program.values);
  memcpy(program.name, at + sizeof program.values, sizeof program.name);
  program.name[sizeof program.name - 1] = '\0';
  at += sizeof program.values + sizeof program.name;
  return true;
}

intptr Dispatcher(AEffect* e, int32 opcode, int32 index, intptr value, void* ptr, float) {
  Probe* p = Of(e);
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effClose:
      delete p;
      return 0;
    case effSetProgram:
      if (value >= 0 && value < kPrograms) p->current = static_cast<int>(value);
      return 0;
    case effGetProgram:
      return p->current;
    case effSetProgramName:
      snprintf(p->programs[p->current].name, 32, "%s", text);
      return 0;
    case effGetProgramName:
      snprintf(text, 32, "%s", p->programs[p->current].name);
      return 0;
    case effGetProgramNameIndexed:
      if (index < 0 || index >= kPrograms) return 0;
      snprintf(text, 32, "%s", p->programs[index].name);
      return 1;
    case effGetParamName:
      snprintf(text, 16, "%s", index == 0 ? "Gain" : index == 1 ? "Mode" : "Freq");
      return 0;
    case effGetParamLabel:
      snprintf(text, 8, "%s", index == 2 ? "Hz" : "");
      return 0;
    case effGetParamDisplay:
      if (index >= 0 && index < kParams) Display(p, index, text);
      return 0;
    case effString2Parameter: {
      // Only Freq takes typed numbers; the host must find the others by their display texts.
      if (index != 2 || !text) return 0;
      const double hz = std::atof(text);
      p->values()[2] = static_cast<float>(std::fmin(1.0, std::fmax(0.0, (hz - 20.0) / 19980.0)));
      return 1;
    }
    case effGetChunk: {
      p->chunk.clear();
      PutBytes(p->chunk, &kChunkMagic, 4);
      if (p->fault == Fault::kDrift) ++p->programs[p->current].values[0];
      const int32 kind = index == 0 ? kPrograms : 1;
      PutBytes(p->chunk, &kind, 4);
      if (index == 0) {
        for (const Program& program : p->programs)
          PutProgram(p->chunk, program);
        PutBytes(p->chunk, &p->current, 4);
      } else {
        PutProgram(p->chunk, p->programs[p->current]);
      }
      *static_cast<void**>(ptr) = p->chunk.data();
      return static_cast<intptr>(p->chunk.size());
    }
    case effSetChunk: {
      const auto* at = static_cast<const uint8_t*>(ptr);
      const uint8_t* end = at + value;
      int32 magic, kind;
      if (value < 8) return 0;
      memcpy(&magic, at, 4);
      memcpy(&kind, at + 4, 4);
      at += 8;
      if (magic != kChunkMagic || kind != (index == 0 ? kPrograms : 1)) return 0;
      if (index == 0) {
        Program read[kPrograms];
        for (Program& program : read) {
          if (!GetProgram(at, end, program)) return 0;
        }
        int32 current;
        if (end - at < 4) return 0;
        memcpy(&current, at, 4);
        if (current < 0 || current >= kPrograms) return 0;
        for (int i = 0; i < kPrograms; ++i)
          p->programs[i] = read[i];
        p->current = current;
        return 1;
      }
      return GetProgram(at, end, p->programs[p->current]) ? 1 : 0;
    }
    case effProcessEvents: {
      const auto* events = static_cast<const VstEvents*>(ptr);
      for (int i = 0; i < events->numEvents; ++i) {
        if (events->events[i]->type != kVstMidiType) continue;
        const auto* m = reinterpret_cast<const VstMidiEvent*>(events->events[i]);
        if ((m->midiData[0] & 0xF0) == 0x90 && m->midiData[2] != 0) {
          if (p->fault == Fault::kCrash) std::abort();
          p->pending.push_back({m->deltaFrames, p->values()[0] * m->midiData[2] / 127.0f});
        }
      }
      return 1;
    }
    case effGetPlugCategory:
      return kPlugCategSynth;
    case effGetEffectName:
      snprintf(text, 32, "Probe");
      return 1;
    case effGetVendorString:
      snprintf(text, 64, "Vantor tests");
      return 1;
    case effCanDo:
      return text && (strcmp(text, "receiveVstEvents") == 0 ||
                      strcmp(text, "receiveVstMidiEvent") == 0)
                 ? 1
                 : 0;
    case effGetVstVersion:
      return 2400;
    default:
      return 0;
  }
}

void ProcessReplacing(AEffect* e, float**, float** outputs, int32 frames) {
  Probe* p = Of(e);
  const intptr level = p->host(e, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f);
  const float idle = p->fault == Fault::kHum ? 0.01f : 0.0f;
  for (int i = 0; i < frames; ++i)
    outputs[0][i] = outputs[1][i] = idle;
  for (const Probe::Pending& n : p->pending) {
    if (n.offset < 0 || n.offset >= frames) continue;
    outputs[0][n.offset] += p->fault == Fault::kNan         ? NAN
                            : p->fault == Fault::kSubnormal ? 1e-40f
                                                            : n.height;
    outputs[1][n.offset] = static_cast<float>(level) / 10.0f;
  }
  p->pending.clear();
}

void SetParameter(AEffect* e, int32 index, float value) {
  if (index >= 0 && index < kParams) Of(e)->values()[index] = value;
}

float GetParameter(AEffect* e, int32 index) {
  return index >= 0 && index < kParams ? Of(e)->values()[index] : 0.0f;
}

}  // namespace

// C++ does not let a function be called main, so the symbol is named at the assembler level.
extern "C" __attribute__((visibility("default"))) AEffect* ProbeMain(AudioMasterCallback host) asm(
    "main");
AEffect* ProbeMain(AudioMasterCallback host) {
  if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) < 2400) return nullptr;
  Probe* p = new Probe;
  p->host = host;
  for (int i = 0; i < kPrograms; ++i)
    snprintf(p->programs[i].name, 32, "%s", kProgramNames[i]);
  AEffect& e = p->effect;
  e.magic = kEffectMagic;
  e.dispatcher = Dispatcher;
  e.setParameter = SetParameter;
  e.getParameter = GetParameter;
  e.processReplacing = ProcessReplacing;
  e.numPrograms = kPrograms;
  e.numParams = kParams;
  e.numInputs = 0;
  e.numOutputs = 2;
  e.flags = effFlagsCanReplacing | effFlagsIsSynth | effFlagsProgramChunks;
  e.ioRatio = 1.0f;
  e.object = p;
  e.uniqueID = FourCC('P', 'r', 'b', 'e');
  e.version = 1;
  return &e;
}
