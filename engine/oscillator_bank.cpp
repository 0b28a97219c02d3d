// OscillatorBank: master pitch at control rate; footage reading from the saw tables per sample.
#include "engine/oscillator_bank.h"

#include <algorithm>

namespace vantor {
namespace {

// One footage over n samples. Saw and pulse of a footage share the phase index; which of the
// two sound is a template argument so the loop carries no test of parameters.
template <bool kSaw, bool kPulse>
void RenderFootage(double* buffer, const uint32_t* phases, int n, int shift, uint32_t pulse_offset,
                   const double* table, double volume) {
  for (int i = 0; i < n; ++i) {
    const uint32_t shifted = phases[i] << shift;
    const double a = table[(shifted >> 16) & SawTables::kIndexMask];
    double sum = 0.0;
    if constexpr (kSaw) sum += a;
    if constexpr (kPulse)
      sum += a - table[((shifted + pulse_offset) >> 16) & SawTables::kIndexMask];
    buffer[i] += sum * volume;
  }
}

}  // namespace

void OscillatorBank::ControlTick(const PitchTables& tables, double pitch_bend, double poly_fm,
                                 double pwm_lfo) {
  const double w = (pwm_lfo * pwm_depth + pulse_width) * 0.95;  // 0.95 keeps a sliver of pulse
  pulse_offset = (w < 0.0 || w > 1.0) ? 0u : static_cast<uint32_t>((1.0 - w) * 134217728.0);
  const int offset = static_cast<int>(poly_fm * fm_depth + bend_range * pitch_bend + tune);
  for (int i = 0; i < 12; ++i) {
    // Master i sounds note i: bent or tuned down, the lowest go below note 0 (step 0), which a
    // clamp there would hold still while the other keys of a chord move.
    increment[i] = tables.IncrementAt(offset + 128 * i);
    // Half octaves of the master's frequency pick the table that keeps harmonics below Nyquist.
    level[i] = SawTables::TableFor(static_cast<double>(increment[i] >> 7));
  }
}

void OscillatorBank::FootagesOf(int note, Footages out[3]) const {
  const int octave = note / 12;
  const int semitone = note % 12;
  // Each octave up is two tables up.
  const int t16 = std::clamp(level[static_cast<size_t>(semitone)] + 2 * octave - 20, 0, 21);
  const int t8 = t16 >= 20 ? 21 : t16 + 2;
  const int t4 = std::min(t8 + 2, 21);
  out[0] = {footage[kSaw16], footage[kPulse16], octave - 1, t16};
  out[1] = {footage[kSaw8], footage[kPulse8], octave, t8};
  out[2] = {footage[kSaw4], footage[kPulse4], octave + 1, t4};
}

void OscillatorBank::Render(double* buffer, uint32_t* phases, int n, int note) const {
  if (volume == 0.0) return;
  const int semitone = note % 12;
  const uint32_t start = phase[static_cast<size_t>(semitone)];
  const uint32_t step = static_cast<uint32_t>(increment[static_cast<size_t>(semitone)]);
  for (int i = 0; i < n; ++i)
    phases[i] = start + static_cast<uint32_t>(i + 1) * step;

  const SawTables& saw = SawTables::Get();
  Footages footages[3];
  FootagesOf(note, footages);
  for (const Footages& p : footages) {
    if (p.shift < 0 || p.shift > 31) continue;  // no 16' below the second octave
    const double* table = saw.table[static_cast<size_t>(p.table)].data();
    if (p.saw && p.pulse)
      RenderFootage<true, true>(buffer, phases, n, p.shift, pulse_offset, table, volume);
    else if (p.saw)
      RenderFootage<true, false>(buffer, phases, n, p.shift, pulse_offset, table, volume);
    else if (p.pulse)
      RenderFootage<false, true>(buffer, phases, n, p.shift, pulse_offset, table, volume);
  }
}

void OscillatorBank::Plan(FootagePlan& plan, int b, int note) const {
  plan.count[b] = 0;
  if (volume == 0.0) return;
  const int semitone = note % 12;
  plan.semitone = semitone;
  plan.start[b] = phase[static_cast<size_t>(semitone)];
  plan.step[b] = static_cast<uint32_t>(increment[static_cast<size_t>(semitone)]);
  plan.pulse_offset[b] = pulse_offset;
  const float v = static_cast<float>(volume);
  Footages footages[3];
  FootagesOf(note, footages);
  int count = 0;
  for (const Footages& p : footages) {
    if (p.shift < 0 || p.shift > 31) continue;
    // A pulse is the saw less the saw read pulse_offset later; at offset 0 it is silent.
    const bool pulse = p.pulse && pulse_offset != 0;
    if (p.saw || pulse)
      plan.reads[b][count++] = {p.table, p.shift, false, pulse && p.saw ? 2 * v : v};
    if (pulse) plan.reads[b][count++] = {p.table, p.shift, true, -v};
  }
  plan.count[b] = count;
}

}  // namespace vantor
