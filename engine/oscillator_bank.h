// OscillatorBank: twelve free-running master oscillators read by every voice in three footages.
#pragma once

#include <array>
#include <cstdint>

#include "engine/pitch_tables.h"
#include "engine/render_path.h"
#include "engine/saw_tables.h"

namespace vantor {

struct OscillatorBank {
  static constexpr uint32_t kPhaseMask = (1u << 28) - 1;  // 28-bit master phase
  enum Footage : int { kSaw16, kSaw8, kSaw4, kPulse16, kPulse8, kPulse4, kFootageCount };

  double volume = 0.5;
  int tune = 0;           // pitch steps
  double fm_depth = 0.0;  // pitch steps
  double pulse_width = 0.0;
  double pwm_depth = 0.0;
  int bend_range = 256;  // pitch steps at full bend
  std::array<bool, kFootageCount> footage{};

  std::array<uint32_t, 12> phase{};
  std::array<int32_t, 12> increment{};
  std::array<int, 12> level{};
  uint32_t pulse_offset = 0;

  // Increments, table levels and pulse offset from the modulation sources; once per control tick.
  void ControlTick(const PitchTables& tables, double pitch_bend, double poly_fm, double pwm_lfo);

  // The master oscillators run free: n samples at once, by multiplication.
  void Advance(int n) {
    for (int i = 0; i < 12; ++i)
      phase[i] =
          (phase[i] + static_cast<uint32_t>(n) * static_cast<uint32_t>(increment[i])) & kPhaseMask;
  }

  // Adds the enabled footages of `note` into `buffer` over n samples; `phases` is scratch of n.
  void Render(double* buffer, uint32_t* phases, int n, int note) const;
  // The same sound as table reads for a fast kernel: fills bank `b` of `plan`.
  void Plan(FootagePlan& plan, int b, int note) const;

 private:
  // The three footages of a note: which waves sound, the octave shift and the table.
  struct Footages {
    bool saw, pulse;
    int shift, table;
  };
  void FootagesOf(int note, Footages out[3]) const;
};

}  // namespace vantor
