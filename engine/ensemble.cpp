// Ensemble: LFO sets, delay targets at control rate, and the interpolated delay lines.
#include "engine/ensemble.h"

#include <algorithm>
#include <cmath>

#include "engine/lfo.h"
#include "engine/param_ids.h"

namespace vantor {

void EnsembleLfoSet::Tick() {
  outputs = {std::fabs(phase_a), std::fabs(phase_b), std::fabs(phase_c)};
  phase_a += rate;
  // The other two phases always follow the first at a third and two thirds of a cycle.
  phase_b = phase_a + 2.0 / 3.0;
  phase_c = phase_a + 4.0 / 3.0;
  for (double* phase : {&phase_a, &phase_b, &phase_c}) {
    if (*phase >= 1.0) *phase -= 2.0;
  }
}

void Ensemble::SetSampleRate(double rate) {
  sample_rate = std::max(rate, 1.0);
  slew_factor = 999.0 / sample_rate;
  // Room for the longest delay (17 ms) and the second interpolation point behind it.
  const double longest = (kMinDelay + kDelayRange) * sample_rate;
  length = static_cast<int>(longest) + 3;
  for (std::vector<double>& line : lines)
    line.assign(static_cast<size_t>(length), 0.0);
  write_position = 0;
  delay.fill(0.0);
  slew.fill(0.0);
  mod_amount.fill(0.0);
}

bool Ensemble::ParamChanged(int index, double v) {
  switch (index) {
    case kEnsembleMode:
      stereo = v >= 0.5;
      break;
    case kEnsembleSpeed1:
      lfo1.rate = Lfo::RateFromSpeed(v);
      break;
    case kEnsembleSpeed2:
      lfo2.rate = Lfo::RateFromSpeed(v);
      break;
    case kEnsembleModAmount1:
    case kEnsembleModAmount2:
    case kEnsembleModAmount3:
      mod_amount[static_cast<size_t>(index - kEnsembleModAmount1)] = v * 0.5;
      break;
    default:
      return false;
  }
  return true;
}

void Ensemble::ControlTick() {
  lfo1.Tick();
  lfo2.Tick();
  for (size_t k = 0; k < 3; ++k) {
    const double x = std::clamp((lfo1.outputs[k] + lfo2.outputs[k]) * mod_amount[k], 0.0, 1.0);
    const double target = (x * kDelayRange + kMinDelay) * sample_rate;
    // 999/1000 of the way within one control period of int(rate / 1000) samples.
    slew[k] = (target - delay[k]) * slew_factor;
  }
}

namespace {

template <bool kStereo>
void RunLines(Ensemble& e, const double* in, double* left, double* right, int n) {
  const int length = e.length;
  // A delay may overshoot its target when the routing resumes mid-period with an old slew; the
  // read position must stay inside the line whatever happens.
  const double longest = static_cast<double>(length - 2);
  double* line[3] = {e.lines[0].data(), e.lines[1].data(), e.lines[2].data()};
  int w = e.write_position;
  double d[3] = {e.delay[0], e.delay[1], e.delay[2]};
  const double slew[3] = {e.slew[0], e.slew[1], e.slew[2]};
  for (int i = 0; i < n; ++i) {
    const double a = in[i];
    double y[3];
    for (int k = 0; k < 3; ++k) {
      line[k][w] = a;
      // Linear interpolation between trunc(D) and trunc(D) - 1 samples back; the sample just
      // written counts as 0 back.
      const double delay = std::clamp(d[k], 0.0, longest);
      const int whole = static_cast<int>(delay);
      int older = w - whole;
      if (older < 0) older += length;
      int newer = older + 1;
      if (newer >= length) newer -= length;
      y[k] = (delay - whole) * (line[k][older] - line[k][newer]) + line[k][newer];
      d[k] += slew[k];
    }
    if constexpr (kStereo) {
      const double middle = (y[2] + a) * 0.25;
      left[i] = y[0] * 0.5 + middle;
      right[i] = y[1] * 0.5 + middle;
    } else {
      left[i] = right[i] = (y[0] + a + y[1] + y[2]) * 0.25;
    }
    if (++w == length) w = 0;
  }
  e.write_position = w;
  for (int k = 0; k < 3; ++k)
    e.delay[static_cast<size_t>(k)] = d[k];
}

}  // namespace

void Ensemble::Process(const double* in, double* left, double* right, int n) {
  if (stereo)
    RunLines<true>(*this, in, left, right, n);
  else
    RunLines<false>(*this, in, left, right, n);
}

}  // namespace vantor
