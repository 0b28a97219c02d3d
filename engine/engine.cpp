// Engine: cuts host blocks into control periods and runs the stages in their fixed order.
#include "engine/engine.h"

#include <algorithm>
#include <cstring>

#include "engine/denormals.h"
#include "engine/soft_clip.h"

namespace vantor {
namespace {

bool Switch(double v) {
  return v >= 0.5;
}
int Option(double v) {
  return static_cast<int>(v);
}

void Zero(double* buffer, int n) {
  std::fill(buffer, buffer + n, 0.0);
}

void Add(const double* a, const double* b, double* out, int n) {
  for (int i = 0; i < n; ++i)
    out[i] = a[i] + b[i];
}

void AddInto(double* out, const double* in, int n) {
  for (int i = 0; i < n; ++i)
    out[i] += in[i];
}

}  // namespace

Engine::Engine() = default;

void Engine::Reset(double sample_rate, int /*max_block_size*/) {
  sample_rate_ = sample_rate;
  countdown_ = 0;
  // Rates below 1 kHz are not refused: they tick every sample.
  control_period_ = std::max(1, static_cast<int>(sample_rate) / 1000);
  if (sample_rate == initialised_rate_) return;

  initialised_rate_ = sample_rate;
  for (std::vector<double>* buffer :
       {&poly_buffer_, &mono_buffer_, &left_mix_, &right_mix_, &scratch_a_, &scratch_b_}) {
    buffer->assign(static_cast<size_t>(control_period_), 0.0);
  }
  poly_active_ = false;
  mono_active_ = false;
  pitch_bend_ = 0.0;
  mod_wheel_ = 0.0;
  poly_fm_value_ = 0.0;
  resonators_on_ = false;
}

void Engine::ParamChanged(int index, double v) {
  switch (index) {
    case kMainVolume:
      main_volume_ = v;
      break;
    case kSoftClipping:
      soft_clip_on_ = Switch(v);
      break;
    case kModWheelToPolyFm:
      mod_wheel_to_poly_fm_ = v;
      break;
    case kPolyphony: {
      static constexpr int kVoices[3] = {12, 32, 61};
      const int voices = kVoices[std::clamp(Option(v), 0, 2)];
      if (voices != number_of_voices_) {
        number_of_voices_ = voices;
        SilenceAllVoices();
      }
      break;
    }
    case kAmpEnvelope:
      global_amp_envelope_ = Option(v) == 1;
      break;
    case kPolyVolume:
      poly_volume_ = 2.0 * v;
      break;
    case kResonators:
      resonators_on_ = Switch(v);
      break;
    case kResonator1Volume:
    case kResonator2Volume:
    case kResonator3Volume:
      resonator_volume_[(index - kResonator1Volume) / 4] = 2.0 * v;
      break;
    case kPolyToPoly:
      poly_into_vcf_ = v;
      break;
    case kPolyToEnsemble:
      poly_to_ensemble_ = Switch(v);
      break;
    case kMonoToEnsemble:
      mono_to_ensemble_ = Switch(v);
      break;
    case kPhaser:
      phaser_on_ = Option(v) != 0;
      break;
    default:
      break;
  }
}

void Engine::SilenceAllVoices() {}

void Engine::RenderBlock(double* const* outputs, int frames) {
  if (frames <= 0) return;
  double* left = outputs[0];
  double* right = outputs[1];
  Zero(left, frames);
  Zero(right, frames);
  if (control_period_ <= 0) return;  // not reset yet: nothing to render with

  ScopedFlushDenormals flush_denormals;
  int remaining = frames;
  while (remaining > 0) {
    int n;
    if (countdown_ <= 0) {
      ControlTick();
      n = control_period_;
      if (remaining < n) {
        countdown_ = n - remaining;
        n = remaining;
      }
    } else if (countdown_ < remaining) {
      n = countdown_;
      countdown_ = 0;
    } else {
      n = remaining;
      countdown_ -= remaining;
    }
    RenderSubBlock(left, right, n);
    left += n;
    right += n;
    remaining -= n;
  }
}

void Engine::ControlTick() {
  ++control_ticks_;
  // 1. due MIDI events; 2. poly LFOs.
  if (poly_active_) {
    // 3. poly FM value, bank and voice ticks, then activity.
    poly_fm_value_ = 0.0;
  }
  // 4. mono LFO; 5. mono section; 6. ensemble; 7. phaser.
}

void Engine::RenderSubBlock(double* left, double* right, int n) {
  if (poly_active_) RenderPoly(n);
  AdvanceMasterOscillators(n);
  RenderMono(n);
  if (poly_active_) {
    double* poly = poly_buffer_.data();
    for (int i = 0; i < n; ++i)
      poly[i] *= poly_volume_;
  }
  RouteToMix(n);
  if (phaser_on_) RunPhaser(n);
  WriteOutput(left, right, n);
}

void Engine::RenderPoly(int n) {
  Zero(poly_buffer_.data(), n);
}

void Engine::AdvanceMasterOscillators(int /*n*/) {}

void Engine::RenderMono(int n) {
  Zero(mono_buffer_.data(), n);
}

void Engine::RouteToMix(int n) {
  const double* poly = poly_buffer_.data();
  const double* mono = mono_buffer_.data();
  double* left = left_mix_.data();
  double* right = right_mix_.data();
  if (poly_active_ && mono_active_) {
    if (poly_to_ensemble_ && mono_to_ensemble_) {
      Add(poly, mono, scratch_a_.data(), n);
      RunEnsemble(scratch_a_.data(), left, right, n);
    } else if (poly_to_ensemble_) {
      RunEnsemble(poly, left, right, n);
      AddInto(left, mono, n);
      AddInto(right, mono, n);
    } else if (mono_to_ensemble_) {
      RunEnsemble(mono, left, right, n);
      AddInto(left, poly, n);
      AddInto(right, poly, n);
    } else {
      Add(poly, mono, left, n);
      std::copy(left, left + n, right);
    }
  } else if (poly_active_ || mono_active_) {
    const double* section = poly_active_ ? poly : mono;
    const bool to_ensemble = poly_active_ ? poly_to_ensemble_ : mono_to_ensemble_;
    if (to_ensemble) {
      RunEnsemble(section, left, right, n);
    } else {
      std::copy(section, section + n, left);
      std::copy(section, section + n, right);
    }
  } else {
    Zero(left, n);
    Zero(right, n);
  }
}

// The ensemble effect arrives with the effects; until then its input passes dry.
void Engine::RunEnsemble(const double* in, double* left, double* right, int n) {
  std::copy(in, in + n, left);
  std::copy(in, in + n, right);
}

void Engine::RunPhaser(int /*n*/) {}

void Engine::WriteOutput(double* left, double* right, int n) const {
  const double* mix_left = left_mix_.data();
  const double* mix_right = right_mix_.data();
  const double gain = main_volume_;
  if (soft_clip_on_) {
    for (int i = 0; i < n; ++i) {
      left[i] = SoftClip(mix_left[i]) * gain;
      right[i] = SoftClip(mix_right[i]) * gain;
    }
  } else {
    for (int i = 0; i < n; ++i) {
      left[i] = mix_left[i] * gain;
      right[i] = mix_right[i] * gain;
    }
  }
}

}  // namespace vantor
