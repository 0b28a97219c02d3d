// MonoSection: note priority, parameter mapping, control tick and the render chain.
#include "engine/mono_section.h"

#include <algorithm>
#include <atomic>

#include "engine/param_ids.h"

namespace vantor {
namespace {

// Instances on different threads may interleave their draws; each still hears white noise.
std::atomic<int32_t> g_noise_seed{1};

static constexpr double kMaxCutoffOffset = 12289.0;  // pitch steps, the cutoff modulation range

// The gate shares the poly gates' fixed, quick settings.
void SetGateTimes(EnvelopeGenerator& gate) {
  gate.attack = 0.01;
  gate.decay = 0.0;
  gate.sustain = 1.0;
  gate.release = 0.01;
  gate.retrigger = true;
}

// Adds n samples of the shared noise sequence times `level`.
void AddNoise(double* out, int n, double level) {
  // Park-Miller multiplier with 32-bit wrap-around, in unsigned arithmetic to stay defined.
  uint32_t seed = static_cast<uint32_t>(g_noise_seed.load(std::memory_order_relaxed));
  const double scale = 4.6566129e-10 * level;  // 1 / 2^31
  for (int i = 0; i < n; ++i) {
    seed *= 16807u;
    out[i] += static_cast<int32_t>(seed) * scale;
  }
  g_noise_seed.store(static_cast<int32_t>(seed), std::memory_order_relaxed);
}

template <typename Source>
void ApplyVca(double* out, int n, double gain, EnvelopeGenerator& envelope, EnvelopeGenerator& gate,
              Source source) {
  // Both envelopes run every sample, whichever of them shapes the amplitude.
  for (int i = 0; i < n; ++i) {
    const double e = envelope.Tick();
    const double g = gate.Tick();
    out[i] *= gain * source(e, g);
  }
}

}  // namespace

MonoSection::MonoSection() {
  stack.fill(kEmpty);
  SetGateTimes(gate);
  // The VCF starts at rest: a charge in its states would be heard as a click whenever audio
  // starts with the VCA held open.
  vcf.clear_state = true;
  vcf.SetMode(LadderFilter::kLowpass);
}

void MonoSection::Initialise(double sample_rate) {
  vco.Initialise();
  vca_selector = kVcaAdsr;
  for (EnvelopeGenerator* e : {&envelope, &gate}) {
    e->SetSampleRate(sample_rate);
    e->Clear();
  }
  SetGateTimes(gate);
  vcf.SetMode(LadderFilter::kLowpass);
  key_tracking = velocity_level = 0.0;
}

bool MonoSection::ParamChanged(int index, double v) {
  const int option = static_cast<int>(v);
  switch (index) {
    case kMonoPitchbendRange: {
      static constexpr int kRanges[4] = {256, 384, 896, 1536};  // 2, 3, 7, 12 semitones
      bend_range = kRanges[std::clamp(option, 0, 3)];
      break;
    }
    case kModWheelToMonoFm:
      mod_wheel_to_fm = v;
      break;
    case kModWheelToMonoVcf:
      mod_wheel_to_cutoff = v * kMaxCutoffOffset;
      break;
    case kVcoPortamento:
      vco.portamento = v;
      break;
    case kVcoOctave:
      vco.SetOctave(option);
      break;
    case kVcoTranspose:
      vco.SetTranspose(option);
      break;
    case kVcoTune:
      vco.SetTune(option);
      break;
    case kVcoWaveform:
      vco.waveform = std::clamp(option, 0, 2);
      break;
    case kVcoPw:
      pulse_width = v;
      break;
    case kVcoPwm:
      pwm_depth = v;
      break;
    case kVcoFm:
      fm_depth = v;
      break;
    case kVcoToVcf:
      vco.vco_level = v;
      break;
    case kSubOscToVcf:
      vco.sub_level = v;
      break;
    case kNoiseToVcf:
      noise_level = v;
      break;
    case kPolyToPoly:
      poly_input = v;
      break;
    case kVcfCutoff:
      vcf.cutoff_steps = v * kMaxPitchStep;
      break;
    case kVcfResonance:
      vcf.resonance = v;
      break;
    case kEnvToVcfFm:
      env_to_cutoff = v;
      break;
    case kKeyToVcfFm:
      key_to_cutoff = v;
      break;
    case kVelocityToVcfFm:
      velocity_to_cutoff = v;
      break;
    case kLfoToVcfFm:
      lfo_to_cutoff = v;
      break;
    case kMonoVolume:
      vca_level = 2.0 * v;
      active = vca_level > 0.0;
      break;
    case kVelocityToVcaAm:
      velocity_to_vca = v;
      break;
    case kVcaEnvelope:
      vca_selector = vca_source = std::clamp(option, 0, 2);
      if (vca_selector == kVcaOn) active = true;  // sounds with no key held
      break;
    case kMonoEnvTrigger:
      envelope.retrigger = v >= 0.5;
      break;
    case kMonoEnvAttack:
      envelope.SetAttack(v);
      break;
    case kMonoEnvDecay:
      envelope.SetDecay(v);
      break;
    case kMonoEnvSustain:
      envelope.SetSustain(v);
      break;
    case kMonoEnvRelease:
      envelope.SetRelease(v);
      break;
    case kLfoWaveform:
      lfo.waveform = std::clamp(option, 0, 3);
      break;
    case kLfoSpeed:
      lfo.rate = Lfo::RateFromSpeed(v);
      break;
    default:
      return false;
  }
  return true;
}

void MonoSection::Trigger(int n, int vel, bool restart) {
  active = true;
  vco.GlideTo(n);
  note = n;
  velocity = vel;
  key_tracking = n / 60.0;
  velocity_level = vel * (1.0 / 127.0);
  vca_velocity = (2.0 * velocity_level - 1.0) * velocity_to_vca + 1.0;
  if (restart) {
    envelope.StartIfDue();
    gate.StartIfDue();
  }
}

void MonoSection::NoteOn(int n, int vel) {
  int* end = stack.data() + held;
  if (std::find(stack.data(), end, n) == end && held < kStackSize) {
    int* place = std::upper_bound(stack.data(), end, n);
    std::copy_backward(place, end, end + 1);
    *place = n;
    ++held;
  }
  // A new key always takes over, whatever its pitch.
  Trigger(n, vel, true);
}

void MonoSection::NoteOff(int n, bool pedal_down) {
  int* end = stack.data() + held;
  int* found = std::find(stack.data(), end, n);
  if (found != end) {
    std::copy(found + 1, end, found);
    stack[static_cast<size_t>(--held)] = kEmpty;
  }
  if (held > 0 && n == note) {
    // Legato to the highest key still held: the envelopes keep running.
    Trigger(stack[static_cast<size_t>(held - 1)], velocity, false);
  } else if (!pedal_down && held == 0) {
    envelope.Release();
    gate.Release();
  }
}

void MonoSection::PedalUp() {
  if (held > 0) return;
  envelope.Release();
  gate.Release();
}

void MonoSection::ClearNotes() {
  stack.fill(kEmpty);
  held = 0;
}

void MonoSection::ControlTick(const PitchTables& tables, double pitch_bend, double mod_wheel) {
  double modulation = bend_range * pitch_bend;
  // With the wheel weight at 0 the LFO acts fully; at 1 in proportion to the wheel.
  if (fm_depth != 0.0)
    modulation += ((mod_wheel - 1.0) * mod_wheel_to_fm + 1.0) * fm_depth * lfo.bipolar;
  vco.ControlTick(tables, modulation, pwm_depth * lfo.unipolar + pulse_width);
  // The envelope moves the cutoff whatever shapes the amplitude.
  vcf.Update(key_tracking * key_to_cutoff + env_to_cutoff * envelope.output +
                 velocity_level * velocity_to_cutoff + lfo_to_cutoff * lfo.bipolar +
                 mod_wheel * mod_wheel_to_cutoff,
             tables);
  if (vca_selector == kVcaAdsr)
    active = !envelope.idle();
  else if (vca_selector == kVcaGate)
    active = !gate.idle();
}

void MonoSection::Render(double* out, const double* poly, int n) {
  vco.Render(out, n);
  if (noise_level > 0.0) AddNoise(out, n, noise_level);
  if (poly_input > 0.0 && poly) {
    for (int i = 0; i < n; ++i)
      out[i] += poly[i] * poly_input;
  }
  vcf.Process(out, out, n);
  const double gain = vca_velocity * vca_level;
  switch (vca_source) {
    case kVcaGate:
      ApplyVca(out, n, gain, envelope, gate, [](double, double g) { return g; });
      break;
    case kVcaOn:
      ApplyVca(out, n, gain, envelope, gate, [](double, double) { return 1.0; });
      break;
    default:
      ApplyVca(out, n, gain, envelope, gate, [](double e, double) { return e; });
      break;
  }
}

void MonoSection::RenderIdle(double* out, int n) {
  vco.Advance(n);
  std::fill(out, out + n, 0.0);
}

void MonoSection::SeedNoise(int32_t seed) {
  g_noise_seed.store(seed, std::memory_order_relaxed);
}

}  // namespace vantor
