// For each of the 110 parameters a short performance in which a change of that parameter alone
// must be heard, playable through the engine or through the loaded plug-in.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/param_ids.h"

namespace vantor::testing {

struct ParamScenario {
  int index;
  double base, changed;                         // plain values
  std::vector<std::pair<int, double>> setting;  // applied after the defaults, before `index`
  enum Play : int { kChord, kBend, kWheel, kManyNotes } play = kChord;
};

// What the performance needs from whoever plays it.
class Performer {
 public:
  virtual void Set(int index, double plain_value) = 0;
  // Takes effect at the start of the next rendered block.
  virtual void Midi(uint8_t status, uint8_t data1, uint8_t data2) = 0;
  // Appends `frames` samples of both channels, left then right interleaved per block.
  virtual void Render(int frames, std::vector<double>& out) = 0;

 protected:
  ~Performer() = default;
};

inline const std::vector<ParamScenario>& ParamScenarios() {
  static const std::vector<ParamScenario> scenarios = [] {
    using P = ParamScenario;
    // Settings shared by groups of parameters.
    const std::vector<std::pair<int, double>> mono = {
        {kPolyLower, 0}, {kPolyUpper, 0}, {kMonoLower, 1}, {kMonoUpper, 1}};
    const auto with = [](std::vector<std::pair<int, double>> a,
                         std::vector<std::pair<int, double>> b) {
      a.insert(a.end(), b.begin(), b.end());
      return a;
    };
    const std::vector<std::pair<int, double>> lowpass = {{kFilterMode, 1}, {kFilterCutoff, 0.4}};
    const std::vector<std::pair<int, double>> global_amp = {{kAmpEnvelope, 1}};
    const std::vector<std::pair<int, double>> pulse1 = {{kBank1Pulse8, 1}};
    const std::vector<std::pair<int, double>> pulse2 = {{kBank2Pulse8, 1}};
    const std::vector<std::pair<int, double>> resonators = {{kResonators, 1}};
    const std::vector<std::pair<int, double>> phaser = {{kPhaser, 2}};
    const std::vector<std::pair<int, double>> ensemble = {{kPolyToEnsemble, 1}};
    const auto mono_with = [&](std::vector<std::pair<int, double>> b) { return with(mono, b); };

    return std::vector<ParamScenario>{
        {kMainVolume, 0.25, 1, {}},
        {kSoftClipping,
         0,
         1,
         {{kPolyVolume, 1},
          {kBank1Volume, 1},
          {kBank2Volume, 1},
          {kBank1Saw16, 1},
          {kBank2Saw4, 1}}},
        {kKeySplitPoint, 23, 0, {{kPolyUpper, 0}}},
        {kPolyLower, 1, 0, {}},
        {kMonoLower, 0, 1, {}},
        {kPolyUpper, 1, 0, {}},
        {kMonoUpper, 0, 1, {}},
        {kPolyPitchbendRange, 0, 3, {}, P::kBend},
        {kMonoPitchbendRange, 0, 3, mono, P::kBend},
        {kModWheelToPolyFm, 1, 0, {}},  // the wheel rests at 0
        {kModWheelToMonoFm, 0, 1, mono_with({{kVcoFm, 641}})},
        {kModWheelToMonoVcf, 0, 1, mono_with({{kVcfCutoff, 0.4}}), P::kWheel},
        {kPolyphony, 2, 0, {}, P::kManyNotes},
        {kPolyFmSpeed, 0.185, 1, {{kModWheelToPolyFm, 0}}},
        {kPolyPwmSpeed, 0.055, 1, with(pulse1, {{kBank1Pwm, 1}})},
        {kBank1Volume, 0.5, 0, {}},
        {kBank1Tune, -1, 64, {}},
        {kBank1Pw, 0, 0.5, pulse1},
        {kBank1Pwm, 0, 1, pulse1},
        {kBank1Fm, 128.2, 641, {{kModWheelToPolyFm, 0}}},
        {kBank1Saw16, 0, 1, {}},
        {kBank1Saw8, 1, 0, {}},
        {kBank1Saw4, 0, 1, {}},
        {kBank1Pulse16, 0, 1, {}},
        {kBank1Pulse8, 0, 1, {}},
        {kBank1Pulse4, 0, 1, {}},
        {kBank2Volume, 0.5, 0, {}},
        {kBank2Tune, 1, -64, {}},
        {kBank2Pw, 0, 0.5, pulse2},
        {kBank2Pwm, 0, 1, pulse2},
        {kBank2Fm, 128.2, 641, {{kModWheelToPolyFm, 0}}},
        {kBank2Saw16, 0, 1, {}},
        {kBank2Saw8, 1, 0, {}},
        {kBank2Saw4, 0, 1, {}},
        {kBank2Pulse16, 0, 1, {}},
        {kBank2Pulse8, 0, 1, {}},
        {kBank2Pulse4, 0, 1, {}},
        {kFilterMode, 0, 1, {{kFilterCutoff, 0.5}}},
        {kFilterCutoff, 1, 0.5, {{kFilterMode, 1}}},
        {kFilterResonance, 0, 1, {{kFilterMode, 1}, {kFilterCutoff, 0.6}}},
        {kFilterEnvelope, 1, 0,
         with(lowpass, {{kEnvToFilterFm, 6000}, {kVoiceEnvSustain, 0}, {kVoiceEnvDecay, 0.4}})},
        {kEnvToFilterFm, 0, 6000, lowpass},
        {kKeyboardToFilterFm, 0, 6000, lowpass},
        {kVelocityToFilterFm, 0, 6000, lowpass},
        {kAmpEnvelope, 0, 2, {{kVoiceEnvSustain, 0}, {kVoiceEnvDecay, 0.3}}},
        {kVelocityToAmpAm, 0, 1, {}},
        {kPolyVolume, 0.25, 1, {}},
        {kResonators, 0, 1, {}},
        {kResonator1Mode, 2, 0, resonators},
        {kResonator1Volume, 0.5, 0, resonators},
        {kResonator1Frequency, 0.5, 0.3, resonators},
        {kResonator1Resonance, 0, 1, resonators},
        {kResonator2Mode, 2, 0, resonators},
        {kResonator2Volume, 0.5, 0, resonators},
        {kResonator2Frequency, std::sqrt(0.5), 0.3, resonators},
        {kResonator2Resonance, 0, 1, resonators},
        {kResonator3Mode, 2, 0, resonators},
        {kResonator3Volume, 0.5, 0, resonators},
        {kResonator3Frequency, std::sqrt(0.75), 0.3, resonators},
        {kResonator3Resonance, 0, 1, resonators},
        {kVoiceEnvAttack, 0, 0.5, {}},
        {kVoiceEnvDecay, 0.1, 0.5, {{kVoiceEnvSustain, 0}}},
        {kVoiceEnvSustain, 1, 0, {}},
        // A third key while the first two are held restarts a Multi envelope only.
        {kGlobalEnvTrigger, 1, 0,
         with(global_amp, {{kGlobalEnvDecay, 0.3}, {kGlobalEnvSustain, 0.2}})},
        {kGlobalEnvAttack, 0, 0.5, global_amp},
        {kGlobalEnvDecay, 0, 0.5, with(global_amp, {{kGlobalEnvSustain, 0.2}})},
        {kGlobalEnvSustain, 1, 0.3, with(global_amp, {{kGlobalEnvDecay, 0.2}})},
        {kGlobalEnvRelease, 0, 0.5, global_amp},
        {kVcoPortamento, 0, 0.3, mono},
        {kVcoOctave, 2, 0, mono},
        {kVcoTranspose, 0, 7, mono},
        {kVcoTune, 0, 64, mono},
        {kVcoWaveform, 0, 1, mono},
        {kVcoPw, 0, 0.5, mono_with({{kVcoWaveform, 1}})},
        {kVcoPwm, 0, 1, mono_with({{kVcoWaveform, 1}})},
        {kVcoFm, 0, 641, mono},
        {kVcoToVcf, 0.5, 0, mono},
        {kSubOscToVcf, 0, 1, mono},
        {kNoiseToVcf, 0, 1, mono},
        {kPolyToPoly, 0, 1, {{kMonoLower, 1}, {kMonoUpper, 1}}},
        {kVcfCutoff, 1, 0.4, mono},
        {kVcfResonance, 0, 1, mono_with({{kVcfCutoff, 0.5}})},
        {kEnvToVcfFm, 0, 6000, mono_with({{kVcfCutoff, 0.4}})},
        {kKeyToVcfFm, 0, 6000, mono_with({{kVcfCutoff, 0.4}})},
        {kVelocityToVcfFm, 0, 6000, mono_with({{kVcfCutoff, 0.4}})},
        {kLfoToVcfFm, 0, 6000, mono_with({{kVcfCutoff, 0.4}})},
        {kMonoVolume, 0.25, 1, mono},
        {kVelocityToVcaAm, 0, 1, mono},
        {kVcaEnvelope, 0, 1, mono},
        {kMonoEnvTrigger, 1, 0, mono},
        {kMonoEnvAttack, 0, 0.5, mono},
        {kMonoEnvDecay, 0.5, 0.1, mono},
        {kMonoEnvSustain, 0, 0.5, mono},
        {kMonoEnvRelease, 0.5, 0.1, mono},
        {kLfoWaveform, 0, 2, mono_with({{kVcoFm, 641}})},
        {kLfoSpeed, 0.055, 0.5, mono_with({{kVcoFm, 641}})},
        {kPolyToEnsemble, 0, 1, {}},
        {kMonoToEnsemble, 0, 1, mono},
        {kPhaser, 0, 1, {}},
        {kPhaserManual, std::sqrt(0.5), 0.3, phaser},
        {kPhaserFeedback, 0, 0.9, phaser},
        {kPhaserModSpeed, 0.00167, 0.5, phaser},
        {kPhaserModAmount, 0.5, 0, phaser},
        {kPhaserMix, 0.5, 0, phaser},
        {kEnsembleMode, 1, 0, ensemble},
        {kEnsembleSpeed1, 0.0333333, 1, ensemble},
        {kEnsembleSpeed2, 0.2, 1, ensemble},
        {kEnsembleModAmount1, 0.05, 1, ensemble},
        {kEnsembleModAmount2, 0.05, 1, ensemble},
        {kEnsembleModAmount3, 0.05, 1, ensemble},
    };
  }();
  return scenarios;
}

// Plays `scenario` on a performer whose parameters are at their defaults, with the parameter at
// its base or its changed value: two keys, a third while they are held, then all released.
inline std::vector<double> Perform(Performer& performer, const ParamScenario& scenario,
                                   bool changed, int rate) {
  for (const auto& [index, value] : scenario.setting)
    performer.Set(index, value);
  performer.Set(scenario.index, changed ? scenario.changed : scenario.base);
  std::vector<double> out;
  const int step = rate / 10;
  std::vector<int> keys = {48, 64};
  if (scenario.play == ParamScenario::kManyNotes) {
    keys.clear();
    for (int note = 40; note < 54; ++note)
      keys.push_back(note);
  }
  if (scenario.play == ParamScenario::kBend) performer.Midi(0xE0, 0x7F, 0x7F);
  if (scenario.play == ParamScenario::kWheel) performer.Midi(0xB0, 1, 127);
  for (int key : keys)
    performer.Midi(0x90, static_cast<uint8_t>(key), static_cast<uint8_t>(80 + key % 40));
  performer.Render(step, out);
  performer.Midi(0x90, 67, 110);
  keys.push_back(67);
  performer.Render(step, out);
  for (int key : keys)
    performer.Midi(0x80, static_cast<uint8_t>(key), 0);
  performer.Render(step, out);
  return out;
}

// How much two performances differ, relative to the louder of them.
inline double RelativeDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double diff = 0.0, level_a = 0.0, level_b = 0.0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    diff += (a[i] - b[i]) * (a[i] - b[i]);
    level_a += a[i] * a[i];
    level_b += b[i] * b[i];
  }
  const double level = std::max(level_a, level_b);
  return level > 0.0 ? std::sqrt(diff / level) : 0.0;
}

}  // namespace vantor::testing
