// Phaser: coefficients at control rate; the feedback loop solved within each sample.
#include "engine/phaser.h"

#include "engine/denormal_offset.h"
#include "engine/param_ids.h"

namespace vantor {
namespace {

static constexpr double kMaxSweep = 12289.0;  // pitch steps at full modulation
// Just below 1: the loop around the unit-gain all-pass chain stays stable at full feedback.
static constexpr double kMaxFeedback = 0.999;

// First-order all-pass coefficient of a stage at angular frequency w, without prewarping.
double AllPass(double w) {
  return 1.0 / (w + 2.0) * (w - 2.0);
}

// One sample of one channel: `s` its four states, `e` its denormal offset (flipped here).
inline double Step(const Phaser& p, double* s, double x, double& e) {
  const double a1 = p.a1, a2 = p.a2, a3 = p.a3, a4 = p.a4;
  e = -e;
  double s1 = s[0] + e, s2 = s[1] + e, s3 = s[2] + e, s4 = s[3] + e;
  const double xe = x + e;
  // The chain's output with the feedback of this very sample, solved ahead.
  const double y = (p.g * xe + ((s1 * a2 + s2) * a3 + s3) * a4 + s4) * p.norm;
  const double u = xe - p.k * y;
  const double y1 = a1 * u + s1;
  s1 = u - a1 * y1;
  const double y2 = a2 * y1 + s2;
  s2 = y1 - a2 * y2;
  const double y3 = a3 * y2 + s3;
  s3 = y2 - a3 * y3;
  const double y4 = a4 * y3 + s4;
  s4 = y3 - a4 * y4;
  s[0] = s1, s[1] = s2, s[2] = s3, s[3] = s4;
  return x + (y - x) * p.mix;  // the offset never reaches the dry part
}

// One channel over n samples with its four states; returns the denormal offset carried on.
double RunChannel(const Phaser& p, double* state, double* io, int n, double e) {
  double s[4] = {state[0], state[1], state[2], state[3]};
  for (int i = 0; i < n; ++i)
    io[i] = Step(p, s, io[i], e);
  for (int j = 0; j < 4; ++j)
    state[j] = s[j];
  return e;
}

}  // namespace

void Phaser::Initialise() {
  a1 = a2 = a3 = a4 = g = norm = 0.0;
  for (double* channel : state) {
    for (int i = 0; i < 4; ++i)
      channel[i] = 0.0;
  }
}

bool Phaser::ParamChanged(int index, double v) {
  switch (index) {
    case kPhaser: {
      on = v > 0.0;
      const bool type1 = static_cast<int>(v) == 1;
      // Type 1 spreads the stages downwards and inverts the feedback; Type 2 stacks them.
      spread = type1 ? 0.65 : 1.0;
      feedback_sign = type1 ? -1.0 : 1.0;
      break;
    }
    case kPhaserManual:
      manual = v * kMaxPitchStep;
      break;
    case kPhaserFeedback:
      feedback = v;
      break;
    case kPhaserModSpeed:
      lfo.rate = Lfo::RateFromSpeed(v);
      break;
    case kPhaserModAmount:
      mod_amount = v * kMaxSweep;
      break;
    case kPhaserMix:
      mix = v;
      break;
    default:
      return false;
  }
  return true;
}

void Phaser::ControlTick(const PitchTables& tables) {
  lfo.Tick();
  const int index = PitchTables::Clamp(static_cast<int>(mod_amount * lfo.bipolar + manual));
  const double w = tables.angular[static_cast<size_t>(index)];
  const double d = spread;
  const double f = w * d * d;
  a1 = AllPass(w);
  a2 = AllPass(w * d);
  a3 = AllPass(f);
  a4 = AllPass(f * d);
  g = a1 * a2 * a3 * a4;
  k = feedback_sign * kMaxFeedback * feedback;
  norm = 1.0 / (k * g + 1.0);
}

void Phaser::Process(double* left, double* right, int n) {
  DenormalOffset& family = PhaserDenormalOffset();
  double e = family.Load();
  e = RunChannel(*this, state[0], left, n, e);
  family.Store(e);
  e = RunChannel(*this, state[1], right, n, e);
  family.Store(e);
}

void Phaser::ProcessSideBySide(double* left, double* right, int n) {
  DenormalOffset& family = PhaserDenormalOffset();
  double e_left = family.Load();
  // The right channel starts with the offset the left one hands on: n flips later.
  double e_right = n % 2 != 0 ? -e_left : e_left;
  double s_left[4], s_right[4];
  for (int j = 0; j < 4; ++j)
    s_left[j] = state[0][j], s_right[j] = state[1][j];
  for (int i = 0; i < n; ++i) {
    left[i] = Step(*this, s_left, left[i], e_left);
    right[i] = Step(*this, s_right, right[i], e_right);
  }
  for (int j = 0; j < 4; ++j)
    state[0][j] = s_left[j], state[1][j] = s_right[j];
  family.Store(e_right);
}

}  // namespace vantor
