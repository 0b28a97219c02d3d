// Engine: the sound engine as a plain object; block loop, control ticks, routing and output.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/param_ids.h"

namespace vantor {

class Engine {
 public:
  Engine();

  // The reset of the instrument: the control period always; the rate-dependent state only when
  // the sample rate differs from the last initialisation (the first call always initialises).
  void Reset(double sample_rate, int max_block_size);

  // Turns a parameter's plain value into engine quantities.
  void ParamChanged(int index, double value);

  // Renders `frames` samples into outputs[0] (left) and outputs[1] (right); both are written in
  // full. Allocates nothing.
  void RenderBlock(double* const* outputs, int frames);

  // Ends every sounding poly voice at once.
  void SilenceAllVoices();

  double sample_rate() const { return sample_rate_; }
  int control_period() const { return control_period_; }
  bool poly_active() const { return poly_active_; }
  bool mono_active() const { return mono_active_; }
  int number_of_voices() const { return number_of_voices_; }
  // Control ticks since construction; the block loop's timing is observable through it.
  uint64_t control_ticks() const { return control_ticks_; }

 private:
  void ControlTick();
  void RenderSubBlock(double* left, double* right, int n);
  void RenderPoly(int n);
  void AdvanceMasterOscillators(int n);
  void RenderMono(int n);
  void RouteToMix(int n);
  void RunEnsemble(const double* in, double* left, double* right, int n);
  void RunPhaser(int n);
  void WriteOutput(double* left, double* right, int n) const;

  // Block loop.
  double sample_rate_ = 44100.0;
  double initialised_rate_ = -1.0;
  int control_period_ = 0;
  int countdown_ = 0;
  uint64_t control_ticks_ = 0;

  // Scratch buffers, one control period long each.
  std::vector<double> poly_buffer_;
  std::vector<double> mono_buffer_;
  std::vector<double> left_mix_;
  std::vector<double> right_mix_;
  std::vector<double> scratch_a_;
  std::vector<double> scratch_b_;

  // Activity.
  bool poly_active_ = false;
  bool mono_active_ = false;
  int number_of_voices_ = 61;

  // Routing and output switches.
  bool poly_to_ensemble_ = false;
  bool mono_to_ensemble_ = false;
  bool phaser_on_ = false;
  bool soft_clip_on_ = false;
  bool global_amp_envelope_ = false;
  bool resonators_on_ = false;
  double main_volume_ = 0.25;
  double poly_volume_ = 0.5;
  double resonator_volume_[3] = {1.0, 1.0, 1.0};
  double poly_into_vcf_ = 0.0;

  // Performance controllers, written by note handling.
  double pitch_bend_ = 0.0;
  double mod_wheel_ = 0.0;
  bool sustain_pedal_ = false;
  double mod_wheel_to_poly_fm_ = 1.0;
  double poly_fm_value_ = 0.0;
};

}  // namespace vantor
