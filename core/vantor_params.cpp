// The parameter table of the instrument and the info-line formats.
#include "core/vantor_params.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "core/number_text.h"
#include "core/plugin_base.h"
#include "engine/pitch.h"

namespace vantor {
namespace {

constexpr const char* kOffOn[] = {"Off", "On"};
constexpr const char* kBendRanges[] = {"2", "3", "7", "12"};
constexpr const char* kPolyphonies[] = {"12", "32", "61"};
constexpr const char* kFilterModes[] = {"Bypass", "Lowpass", "Highpass", "Bandpass"};
constexpr const char* kVoiceGlobal[] = {"Voice", "Global"};
constexpr const char* kAmpEnvelopes[] = {"Voice", "Global", "Gate"};
constexpr const char* kResonatorModes[] = {"Lowpass", "Highpass", "Bandpass"};
constexpr const char* kTriggers[] = {"Single", "Multi"};
constexpr const char* kOctaves[] = {"32'", "16'", "8'", "4'"};
constexpr const char* kWaveforms[] = {"Sawtooth", "Pulse", "Sine"};
constexpr const char* kVcaEnvelopes[] = {"ADSR", "Gate", "On"};
constexpr const char* kLfoWaveforms[] = {"Triangle", "Sawtooth", "Square", "S/H"};
constexpr const char* kPhaserTypes[] = {"Off", "Type 1", "Type 2"};
constexpr const char* kEnsembleModes[] = {"Mono", "Stereo"};

constexpr int kSplitNotes = 60;
constexpr int kFirstSplitNote = 37;  // value 0 is C#1

// Names of the 60 split notes, "C#1" .. "C6".
struct SplitNoteNames {
  std::array<std::array<char, 8>, kSplitNotes> storage{};
  std::array<const char*, kSplitNotes> texts{};
  SplitNoteNames() {
    for (int i = 0; i < kSplitNotes; ++i) {
      snprintf(storage[i].data(), storage[i].size(), "%s", NoteName(kFirstSplitNote + i).c_str());
      texts[i] = storage[i].data();
    }
  }
};

const SplitNoteNames& SplitNotes() {
  static const SplitNoteNames names;
  return names;
}

// Defaults whose normalised position under shape 0.5 is 0.25, 0.5 or 0.75.
const double kRootQuarter = std::sqrt(0.25);
const double kRootHalf = std::sqrt(0.5);
const double kRootThreeQuarters = std::sqrt(0.75);

template <size_t N>
constexpr ParamSpec Enum(const char* long_name, const char* host_name, int default_value,
                         const char* const (&texts)[N]) {
  return {long_name, host_name,
          true,      0.0,
          N - 1.0,   static_cast<double>(default_value),
          1.0,       1.0,
          texts,     static_cast<int>(N),
          "",        InfoFormat::Text};
}

ParamSpec Cont(const char* long_name, const char* host_name, double minimum, double maximum,
               double default_value, double step, double shape, InfoFormat info,
               const char* label = "") {
  return {long_name, host_name, false,   minimum, maximum, default_value,
          step,      shape,     nullptr, 0,       label,   info};
}

constexpr InfoFormat kPct = InfoFormat::Percent;
constexpr InfoFormat kBip = InfoFormat::BipolarPercent;
constexpr InfoFormat kRate = InfoFormat::Rate;
constexpr InfoFormat kFreq = InfoFormat::Frequency;

const std::array<ParamSpec, kParamCount>& Table() {
  static const std::array<ParamSpec, kParamCount> table = [] {
    std::array<ParamSpec, kParamCount> t{};
    t[kMainVolume] = Cont("Main Volume", "Volume", 0, 1, 0.25, 0.01, 1, kPct);
    t[kSoftClipping] = Enum("Soft Clipping", "SoftClip", 0, kOffOn);
    t[kKeySplitPoint] = {"Key Split Point",         "KeySplit",  true, 0,
                         kSplitNotes - 1,           23,          1,    1,
                         SplitNotes().texts.data(), kSplitNotes, "",   InfoFormat::Text};
    t[kPolyLower] = Enum("Poly Lower", "P:Lower", 1, kOffOn);
    t[kMonoLower] = Enum("Mono Lower", "M:Lower", 0, kOffOn);
    t[kPolyUpper] = Enum("Poly Upper", "P:Upper", 1, kOffOn);
    t[kMonoUpper] = Enum("Mono Upper", "M:Upper", 0, kOffOn);
    t[kPolyPitchbendRange] = Enum("Poly Pitchbend Range", "P:PB Rng", 0, kBendRanges);
    t[kMonoPitchbendRange] = Enum("Mono Pitchbend Range", "M:PB Rng", 0, kBendRanges);
    t[kModWheelToPolyFm] = Cont("Mod Wheel -> Poly FM", "P:MW->FM", 0, 1, 1, 0.01, 1, kPct);
    t[kModWheelToMonoFm] = Cont("Mod Wheel -> Mono FM", "M:MW->FM", 0, 1, 0, 0.01, 1, kPct);
    t[kModWheelToMonoVcf] = Cont("Mod Wheel -> Mono VCF", "M:MW->CF", 0, 1, 0, 0.01, 1, kPct);
    t[kPolyphony] = Enum("Polyphony", "P:Voices", 2, kPolyphonies);
    t[kPolyFmSpeed] = Cont("Poly FM Speed", "P:FM Spd", 0, 1, 0.185, 0.01, 4, kRate);
    t[kPolyPwmSpeed] = Cont("Poly PWM Speed", "P:PM Spd", 0, 1, 0.055, 0.01, 4, kRate);
    for (int bank = 0; bank < 2; ++bank) {
      const int base = bank == 0 ? kBank1Volume : kBank2Volume;
      static const char* const kLong[2][11] = {
          {"Bank 1 Volume", "Bank 1 Tune", "Bank 1 PW", "Bank 1 PWM", "Bank 1 FM", "Bank 1 Saw 16'",
           "Bank 1 Saw 8'", "Bank 1 Saw 4'", "Bank 1 Pulse 16'", "Bank 1 Pulse 8'",
           "Bank 1 Pulse 4'"},
          {"Bank 2 Volume", "Bank 2 Tune", "Bank 2 PW", "Bank 2 PWM", "Bank 2 FM", "Bank 2 Saw 16'",
           "Bank 2 Saw 8'", "Bank 2 Saw 4'", "Bank 2 Pulse 16'", "Bank 2 Pulse 8'",
           "Bank 2 Pulse 4'"}};
      static const char* const kHost[2][11] = {
          {"P:Vol 1", "P:Tune 1", "P:PW 1", "P:PWM 1", "P:FM 1", "P:S16' 1", "P:S8' 1", "P:S4' 1",
           "P:P16' 1", "P:P8' 1", "P:P4' 1"},
          {"P:Vol 2", "P:Tune 2", "P:PW 2", "P:PWM 2", "P:FM 2", "P:S16' 2", "P:S8' 2", "P:S4' 2",
           "P:P16' 2", "P:P8' 2", "P:P4' 2"}};
      const char* const* l = kLong[bank];
      const char* const* h = kHost[bank];
      t[base + 0] = Cont(l[0], h[0], 0, 1, 0.5, 0.01, 1, kPct);
      t[base + 1] = Cont(l[1], h[1], -64, 64, bank == 0 ? -1 : 1, 1, 1, kBip);
      t[base + 2] = Cont(l[2], h[2], 0, 1, 0, 0.01, 1, kPct);
      t[base + 3] = Cont(l[3], h[3], 0, 1, 0, 0.01, 1, kPct);
      t[base + 4] = Cont(l[4], h[4], 0, 641, 641 * 0.2, 1, 1, kPct);
      for (int footage = 0; footage < 6; ++footage) {
        // Only the 8' sawtooth is on by default.
        t[base + 5 + footage] = Enum(l[5 + footage], h[5 + footage], footage == 1 ? 1 : 0, kOffOn);
      }
    }
    t[kFilterMode] = Enum("Filter Mode", "P:F Mode", 0, kFilterModes);
    t[kFilterCutoff] = Cont("Filter Cutoff", "P:F Cut", 0, 1, 1, 0.01, 0.5, kFreq);
    t[kFilterResonance] = Cont("Filter Resonance", "P:F Reso", 0, 1, 0, 0.01, 1, kPct);
    t[kFilterEnvelope] = Enum("Filter Envelope", "P:F Env", 1, kVoiceGlobal);
    t[kEnvToFilterFm] = Cont("Env -> Filter FM", "P:F FM", -12289, 12289, 0, 0.01, 1, kBip);
    t[kKeyboardToFilterFm] =
        Cont("Keyboard -> Filter FM", "P:F Key", -12289, 12289, 0, 0.01, 1, kBip);
    t[kVelocityToFilterFm] =
        Cont("Velocity -> Filter FM", "P:F Velo", -12289, 12289, 0, 0.01, 1, kBip);
    t[kAmpEnvelope] = Enum("Amp Envelope", "P:A Env", 0, kAmpEnvelopes);
    t[kVelocityToAmpAm] = Cont("Velocity -> Amp AM", "P:A Velo", 0, 1, 0, 0.01, 1, kPct);
    // Declared once with the host name of the parameter before it; two parameters must never
    // share a host name, so this one has its own.
    t[kPolyVolume] = Cont("Poly Volume", "P:Volume", 0, 1, 0.25, 0.01, 1, kPct);
    t[kResonators] = Enum("Resonators", "P:R On", 0, kOffOn);
    const double resonator_defaults[3] = {kRootQuarter, kRootHalf, kRootThreeQuarters};
    for (int r = 0; r < 3; ++r) {
      static const char* const kLong[3][4] = {{"Resonator 1 Mode", "Resonator 1 Volume",
                                               "Resonator 1 Frequency", "Resonator 1 Resonance"},
                                              {"Resonator 2 Mode", "Resonator 2 Volume",
                                               "Resonator 2 Frequency", "Resonator 2 Resonance"},
                                              {"Resonator 3 Mode", "Resonator 3 Volume",
                                               "Resonator 3 Frequency", "Resonator 3 Resonance"}};
      static const char* const kHost[3][4] = {{"P:R Md 1", "P:R V 1", "P:R F 1", "P:R R 1"},
                                              {"P:R Md 2", "P:R V 2", "P:R F 2", "P:R R 2"},
                                              {"P:R Md 3", "P:R V 3", "P:R F 3", "P:R R 3"}};
      const int base = kResonator1Mode + 4 * r;
      t[base + 0] = Enum(kLong[r][0], kHost[r][0], 2, kResonatorModes);
      t[base + 1] = Cont(kLong[r][1], kHost[r][1], 0, 1, 0.5, 0.01, 1, kPct);
      t[base + 2] = Cont(kLong[r][2], kHost[r][2], 0, 1, resonator_defaults[r], 0.01, 0.5, kFreq);
      t[base + 3] = Cont(kLong[r][3], kHost[r][3], 0, 1, 0, 0.01, 1, kPct);
    }
    t[kVoiceEnvAttack] = Cont("Voice Env Attack", "P:VEnv A", 0, 1, 0, 0.01, 1, kPct);
    t[kVoiceEnvDecay] = Cont("Voice Env Decay", "P:VEnv D", 0, 1, 0.1, 0.01, 1, kPct);
    t[kVoiceEnvSustain] = Enum("Voice Env Sustain", "P:VEnv S", 1, kOffOn);
    t[kGlobalEnvTrigger] = Enum("Global Env Trigger", "P:GEnv T", 1, kTriggers);
    t[kGlobalEnvAttack] = Cont("Global Env Attack", "P:GEnv A", 0, 1, 0, 0.01, 1, kPct);
    t[kGlobalEnvDecay] = Cont("Global Env Decay", "P:GEnv D", 0, 1, 0, 0.01, 1, kPct);
    t[kGlobalEnvSustain] = Cont("Global Env Sustain", "P:GEnv S", 0, 1, 1, 0.01, 1, kPct);
    t[kGlobalEnvRelease] = Cont("Global Env Release", "P:GEnv R", 0, 1, 0, 0.01, 1, kPct);
    t[kVcoPortamento] =
        Cont("VCO Portamento", "M:Porta", 0, 5, 0, 0.01, 4, InfoFormat::Seconds, "sec");
    t[kVcoOctave] = Enum("VCO Octave", "M:Octave", 2, kOctaves);
    t[kVcoTranspose] = Cont("VCO Transpose", "M:Trnsps", -7, 7, 0, 1, 1, InfoFormat::Text);
    t[kVcoTune] = Cont("VCO Tune", "M:Tune", -64, 64, 0, 1, 1, kBip);
    t[kVcoWaveform] = Enum("VCO Waveform", "M:Wave", 0, kWaveforms);
    t[kVcoPw] = Cont("VCO PW", "M:PW", 0, 1, 0, 0.01, 1, kPct);
    t[kVcoPwm] = Cont("VCO PWM", "M:PWM", 0, 1, 0, 0.01, 1, kPct);
    t[kVcoFm] = Cont("VCO FM", "M:FM", -641, 641, 0, 1, 1, kBip);
    t[kVcoToVcf] = Cont("VCO -> VCF", "M:F VCO", 0, 1, 0.5, 0.01, 1, kPct);
    t[kSubOscToVcf] = Cont("Sub Osc -> VCF", "M:F Sub", 0, 1, 0, 0.01, 1, kPct);
    t[kNoiseToVcf] = Cont("Noise -> VCF", "M:F Nois", 0, 1, 0, 0.01, 1, kPct);
    t[kPolyToPoly] = Cont("Poly -> Poly", "M:F Poly", 0, 1, 0, 0.01, 1, kPct);
    t[kVcfCutoff] = Cont("VCF Cutoff", "M:F Cut", 0, 1, 1, 0.01, 0.5, kFreq);
    t[kVcfResonance] = Cont("VCF Resonance", "M:F Reso", 0, 1, 0, 0.01, 1, kPct);
    t[kEnvToVcfFm] = Cont("Env -> VCF FM", "M:F ADSR", -12289, 12289, 0, 1, 1, kBip);
    t[kKeyToVcfFm] = Cont("Key -> VCF FM", "M:F Key", -12289, 12289, 0, 1, 1, kBip);
    t[kVelocityToVcfFm] = Cont("Velocity -> VCF FM", "M:F Velo", -12289, 12289, 0, 1, 1, kBip);
    t[kLfoToVcfFm] = Cont("LFO -> VCF FM", "M:F LFO", -12289, 12289, 0, 1, 1, kBip);
    t[kMonoVolume] = Cont("Mono Volume", "M:A Vol", 0, 1, 0.25, 0.01, 1, kPct);
    t[kVelocityToVcaAm] = Cont("Velocity -> VCA AM", "M:A Velo", 0, 1, 0, 0.01, 1, kPct);
    t[kVcaEnvelope] = Enum("VCA Envelope", "M:A Env", 0, kVcaEnvelopes);
    t[kMonoEnvTrigger] = Enum("Mono Env Trigger", "M:A Ev T", 1, kTriggers);
    t[kMonoEnvAttack] = Cont("Mono Env Attack", "M:Env A", 0, 1, 0, 0.01, 1, kPct);
    t[kMonoEnvDecay] = Cont("Mono Env Decay", "M:Env D", 0, 1, 0.5, 0.01, 1, kPct);
    t[kMonoEnvSustain] = Cont("Mono Env Sustain", "M:Env S", 0, 1, 0, 0.01, 1, kPct);
    t[kMonoEnvRelease] = Cont("Mono Env Release", "M:Env R", 0, 1, 0.5, 0.01, 1, kPct);
    t[kLfoWaveform] = Enum("LFO Waveform", "M:LFO Wf", 0, kLfoWaveforms);
    t[kLfoSpeed] = Cont("LFO Speed", "M:LFO Sp", 0, 1, 0.055, 0.01, 4, kRate);
    t[kPolyToEnsemble] = Enum("Poly -> Ensemble", "Ens:Poly", 0, kOffOn);
    t[kMonoToEnsemble] = Enum("Mono -> Ensemble", "Ens:Mono", 0, kOffOn);
    t[kPhaser] = Enum("Phaser", "Phz:On", 0, kPhaserTypes);
    t[kPhaserManual] = Cont("Phaser Manual", "Phz:Man", 0, 1, kRootHalf, 0.01, 0.5, kPct);
    t[kPhaserFeedback] = Cont("Phaser Feedback", "Phz:Feed", 0, 1, 0, 0.01, 1, kPct);
    t[kPhaserModSpeed] = Cont("Phaser Mod Speed", "Phz:MSpd", 0, 1, 0.00167, 0.01, 4, kRate);
    t[kPhaserModAmount] = Cont("Phaser Mod Amount", "Phz:Mod", 0, 1, 0.5, 0.01, 1, kPct);
    t[kPhaserMix] = Cont("Phaser Mix", "Phz:Mix", 0, 1, 0.5, 0.01, 1, kPct);
    t[kEnsembleMode] = Enum("Ensemble Mode", "T:E Mode", 1, kEnsembleModes);
    t[kEnsembleSpeed1] = Cont("Ensemble Speed 1", "T:E1 Sp", 0, 1, 0.0333333, 0.01, 4, kRate);
    t[kEnsembleSpeed2] = Cont("Ensemble Speed 2", "T:E2 Sp", 0, 1, 0.2, 0.01, 4, kRate);
    t[kEnsembleModAmount1] = Cont("Ensemble Mod Amount 1", "T:E1 A", 0, 1, 0.05, 0.01, 1, kPct);
    t[kEnsembleModAmount2] = Cont("Ensemble Mod Amount 2", "T:E2 A", 0, 1, 0.05, 0.01, 1, kPct);
    t[kEnsembleModAmount3] = Cont("Ensemble Mod Amount 3", "T:E3 A", 0, 1, 0.05, 0.01, 1, kPct);
    return t;
  }();
  return table;
}

}  // namespace

const ParamSpec& VantorParamSpec(int index) {
  return Table()[static_cast<size_t>(index)];
}

const char* ParamLongName(int index) {
  return index >= 0 && index < kParamCount ? Table()[static_cast<size_t>(index)].long_name : "";
}

int FindParamByLongName(const std::string& name) {
  for (int i = 0; i < kParamCount; ++i) {
    if (name == Table()[static_cast<size_t>(i)].long_name) return i;
  }
  return -1;
}

void DeclareVantorParameters(PluginBase& plugin) {
  for (int i = 0; i < kParamCount; ++i) {
    const ParamSpec& desc = Table()[static_cast<size_t>(i)];
    PluginParam& param = *plugin.Param(i);
    if (desc.enumerated) {
      param.DefineEnumerated(desc.host_name, static_cast<int>(desc.default_value), desc.count,
                             desc.texts);
    } else {
      param.DefineContinuous(desc.host_name, desc.default_value, desc.minimum, desc.maximum,
                             desc.step, desc.label, desc.shape);
    }
  }
}

std::string NoteName(int note) {
  static constexpr const char* kPitchClasses[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                    "F#", "G",  "G#", "A",  "A#", "B"};
  const int pitch_class = ((note % 12) + 12) % 12;
  const int octave = (note - pitch_class) / 12 - 2;  // note 36 is C1, note 60 is C3
  return std::string(kPitchClasses[pitch_class]) + std::to_string(octave);
}

std::string InfoLine(const PluginBase& plugin, int index) {
  if (index > kParamCount - 1) return "Version 1.3.1.N";
  const PluginParam* param = plugin.Param(index);
  if (!param) return "";
  std::string value;
  switch (Table()[static_cast<size_t>(index)].info) {
    case InfoFormat::Text: {
      char text[64];
      param->GetDisplayText(param->value(), false, text, sizeof text);
      value = text;
      break;
    }
    case InfoFormat::Percent:
      value = FixedText(param->ToNormalized() * 100.0, 0) + "%";
      break;
    case InfoFormat::BipolarPercent:
      value = FixedText(param->ToNormalized() * 200.0 - 100.0, 0) + "%";
      break;
    case InfoFormat::Rate:
      value = FixedText(param->value() * 30.0, 2) + "Hz";
      break;
    case InfoFormat::Frequency: {
      const double steps = param->value() * kMaxPitchStep;
      const int step = std::isfinite(steps) ? static_cast<int>(std::clamp(steps, -1e9, 1e9)) : 0;
      value = FixedText(PitchToFrequency(step), 0) + "Hz";
      break;
    }
    case InfoFormat::Seconds: {
      char number[48];
      param->GetDisplayText(param->value(), false, number, sizeof number);
      value = std::string(number) + "sec";
      break;
    }
  }
  std::string line = std::string(ParamLongName(index)) + ": " + value;
  if (line.size() > 63) line.resize(63);  // the editor's info line holds 64 bytes
  return line;
}

}  // namespace vantor
