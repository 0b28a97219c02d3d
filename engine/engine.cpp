// Engine: cuts host blocks into control periods and runs the stages in their fixed order.
#include "engine/engine.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/denormals.h"
#include "engine/soft_clip.h"

namespace vantor {

static_assert(FootageLayout::kVoices == Engine::kMaxVoices);
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

Engine::Engine() {
  SawTables::Get();  // built once per process, before any render needs it
}

void Engine::Reset(double sample_rate, int max_block_size) {
  sample_rate_ = sample_rate;
  countdown_ = 0;
  // Rates below 1 kHz are not refused: they tick every sample.
  control_period_ = std::max(1, static_cast<int>(sample_rate) / 1000);
  // Room for every event of a few of the largest host blocks (at least 4096), in whole steps of
  // 512; the queue never grows while audio runs.
  const int block_steps = (std::max(max_block_size, 1) + 511) / 512;
  midi_queue_.Reset(std::max(4 * 512 * block_steps, 4096));
  mono_.ClearNotes();
  // The render path is decided here, off the audio thread: the first decision reads the
  // environment and the CPU's features behind a one-time initialisation guard.
  ActiveRenderPath();
  if (sample_rate == initialised_rate_) return;

  initialised_rate_ = sample_rate;
  pitch_tables_.Build(sample_rate);
  for (std::vector<double>* buffer :
       {&poly_buffer_, &mono_buffer_, &left_mix_, &right_mix_, &scratch_a_, &scratch_b_}) {
    buffer->assign(static_cast<size_t>(control_period_), 0.0);
  }
  // One period for each voice of a group of lanes.
  for (std::vector<double>* buffer : {&voice_signal_, &voice_amp_, &voice_spare_})
    buffer->assign(static_cast<size_t>(control_period_ * VoiceLanes::kWidth), 0.0);
  voice_phases_.assign(static_cast<size_t>(control_period_), 0u);
  footage_cache_.Reset(control_period_, kMaxVoices);
  footage_layout_.valid = false;
  lane_sums_.assign(static_cast<size_t>(control_period_ * VoiceLanes::kWidth), 0.0);
  poly_active_ = false;
  mono_.active = false;
  // The voices fall silent below: keys and pedal counted before a restart would otherwise keep
  // the global envelope from ever releasing again when their note-offs are lost with it.
  held_poly_keys_ = 0;
  sustain_pedal_ = false;
  pitch_bend_ = 0.0;
  mod_wheel_ = 0.0;
  poly_fm_value_ = 0.0;
  global_envelope_.SetSampleRate(sample_rate);
  global_envelope_.Clear();
  voice_age_ = 0;
  for (PolyVoice& voice : voices_)
    voice.Initialise(sample_rate);
  resonators_.Initialise();
  ensemble_.SetSampleRate(sample_rate);
  mono_.Initialise(sample_rate);
  phaser_.Initialise();
}

void Engine::ParamChanged(int index, double v) {
  const auto zone_switch = [this](bool& zone, double value) {
    if (Switch(value) == zone) return;
    SilenceAllVoices();
    zone = Switch(value);
  };
  switch (index) {
    case kMainVolume:
      main_volume_ = v;
      break;
    case kSoftClipping:
      soft_clip_on_ = Switch(v);
      break;
    case kKeySplitPoint: {
      const int split = Option(v) + 37;  // option 0 is C#1
      if (split != split_note_) {
        SilenceAllVoices();
        split_note_ = split;
      }
      break;
    }
    case kPolyLower:
      zone_switch(poly_lower_, v);
      break;
    case kMonoLower:
      zone_switch(mono_lower_, v);
      break;
    case kPolyUpper:
      zone_switch(poly_upper_, v);
      break;
    case kMonoUpper:
      zone_switch(mono_upper_, v);
      break;
    case kPolyPitchbendRange: {
      static constexpr int kRanges[4] = {256, 384, 896, 1536};  // 2, 3, 7, 12 semitones
      for (OscillatorBank& bank : banks_)
        bank.bend_range = kRanges[std::clamp(Option(v), 0, 3)];
      break;
    }
    case kModWheelToPolyFm:
      mod_wheel_to_poly_fm_ = v;
      break;
    case kPolyphony: {
      static constexpr int kVoices[3] = {12, 32, 61};
      const int voices = kVoices[std::clamp(Option(v), 0, 2)];
      if (voices != number_of_voices_) {
        number_of_voices_ = voices;
        SilenceAllVoices();
        // Slots beyond the polyphony are neither ticked nor rendered, so they could not finish
        // their release; left frozen they would sound again when the polyphony is raised.
        for (size_t i = static_cast<size_t>(voices); i < voices_.size(); ++i)
          voices_[i].Stop();
      }
      break;
    }
    case kPolyFmSpeed:
      fm_lfo_.rate = Lfo::RateFromSpeed(v);
      break;
    case kPolyPwmSpeed:
      pwm_lfo_.rate = Lfo::RateFromSpeed(v);
      break;
    case kBank1Volume:
    case kBank2Volume:
      banks_[index == kBank2Volume].volume = v;
      break;
    case kBank1Tune:
    case kBank2Tune:
      banks_[index == kBank2Tune].tune = static_cast<int>(v);
      break;
    case kBank1Pw:
    case kBank2Pw:
      banks_[index == kBank2Pw].pulse_width = v;
      break;
    case kBank1Pwm:
    case kBank2Pwm:
      banks_[index == kBank2Pwm].pwm_depth = v;
      break;
    case kBank1Fm:
    case kBank2Fm:
      banks_[index == kBank2Fm].fm_depth = v;
      break;
    case kBank1Saw16:
    case kBank1Saw8:
    case kBank1Saw4:
    case kBank1Pulse16:
    case kBank1Pulse8:
    case kBank1Pulse4:
      banks_[0].footage[static_cast<size_t>(index - kBank1Saw16)] = Switch(v);
      break;
    case kBank2Saw16:
    case kBank2Saw8:
    case kBank2Saw4:
    case kBank2Pulse16:
    case kBank2Pulse8:
    case kBank2Pulse4:
      banks_[1].footage[static_cast<size_t>(index - kBank2Saw16)] = Switch(v);
      break;
    case kAmpEnvelope:
      global_amp_envelope_ = Option(v) == 1;
      break;
    case kPolyVolume:
      poly_volume_ = 2.0 * v;
      break;
    case kGlobalEnvTrigger:
      global_envelope_.retrigger = Switch(v);
      break;
    case kGlobalEnvAttack:
      global_envelope_.SetAttack(v);
      break;
    case kGlobalEnvDecay:
      global_envelope_.SetDecay(v);
      break;
    case kGlobalEnvSustain:
      global_envelope_.SetSustain(v);
      break;
    case kGlobalEnvRelease:
      global_envelope_.SetRelease(v);
      break;
    case kPolyToEnsemble:
      poly_to_ensemble_ = Switch(v);
      break;
    case kMonoToEnsemble:
      mono_to_ensemble_ = Switch(v);
      break;
    default:
      // The mono section, the resonators and the effects map their own parameters.
      mono_.ParamChanged(index, v) || resonators_.ParamChanged(index, v) ||
          ensemble_.ParamChanged(index, v) || phaser_.ParamChanged(index, v);
      break;
  }
  const bool voice_level = (index >= kFilterMode && index <= kVelocityToAmpAm) ||
                           (index >= kVoiceEnvAttack && index <= kVoiceEnvSustain);
  if (voice_level) {
    const double value = index == kFilterCutoff ? v * kMaxPitchStep : v;
    for (PolyVoice& voice : voices_)
      voice.ParamChanged(index, value);
  }
}

void Engine::QueueMidiMessage(const MidiMessage& message) {
  MidiMessage queued = message;
  // A host's offset outside the block must not overflow the countdown arithmetic.
  queued.offset = std::clamp(queued.offset, 0, std::numeric_limits<int32_t>::max() / 2);
  // Past the first period, half a period more makes the message apply at the nearest tick
  // rather than the next one after it.
  if (queued.offset > control_period_) queued.offset += control_period_ / 2;
  midi_queue_.Push(queued);
}

void Engine::ApplyMidiMessage(const MidiMessage& message) {
  // Data bytes are seven bits; a stray high bit from a host must not reach the note tables.
  const int data1 = message.data1 & 0x7F;
  const int data2 = message.data2 & 0x7F;
  switch (message.status & 0xF0) {
    case 0x90:
      if (data2 > 0) {
        NoteOn(data1, data2);
        break;
      }
      [[fallthrough]];
    case 0x80:
      NoteOff(data1);
      break;
    case 0xE0:
      pitch_bend_ = ((data2 - 64) * 128 + data1) * (1.0 / 8192.0);
      break;
    case 0xB0:
      if (data1 == 1) {
        mod_wheel_ = data2 / 127.0;
      } else if (data1 == 64) {
        SustainPedal(data2 > 0);
      } else if (listener_) {
        listener_->QueuedControllerDue(data1, data2);
      }
      break;
    default:
      break;  // channel pressure has no effect
  }
}

bool Engine::InPolyZone(int note) const {
  return note < split_note_ ? poly_lower_ : poly_upper_;
}

bool Engine::InMonoZone(int note) const {
  return note < split_note_ ? mono_lower_ : mono_upper_;
}

void Engine::NoteOn(int note, int velocity) {
  if (InPolyZone(note)) {
    // The first key of a phrase closes gates still held open by the global amp envelope.
    if (held_poly_keys_ < 1) {
      for (int i = 0; i < number_of_voices_; ++i)
        voices_[static_cast<size_t>(i)].Release(true);
    }
    ++held_poly_keys_;
    poly_active_ = true;
    // The same note's voice first, else a free one, else the oldest note.
    int chosen = -1;
    for (int i = 0; i < number_of_voices_ && chosen < 0; ++i) {
      if (voices_[static_cast<size_t>(i)].note == note) chosen = i;
    }
    for (int i = 0; i < number_of_voices_ && chosen < 0; ++i) {
      if (!voices_[static_cast<size_t>(i)].active) chosen = i;
    }
    if (chosen < 0) {
      chosen = 0;
      for (int i = 1; i < number_of_voices_; ++i) {
        if (voices_[static_cast<size_t>(i)].age < voices_[static_cast<size_t>(chosen)].age)
          chosen = i;
      }
    }
    ++voice_age_;
    voices_[static_cast<size_t>(chosen)].Start(note, velocity, voice_age_ + 1);
    global_envelope_.StartIfDue();
  }
  if (InMonoZone(note)) mono_.NoteOn(note, velocity);
}

void Engine::NoteOff(int note) {
  if (InPolyZone(note)) {
    for (int i = 0; i < number_of_voices_; ++i) {
      PolyVoice& voice = voices_[static_cast<size_t>(i)];
      if (voice.active && voice.note == note) {
        voice.Release(false);
        break;
      }
    }
    if (held_poly_keys_ > 0) --held_poly_keys_;
    if (!sustain_pedal_ && held_poly_keys_ == 0) global_envelope_.Release();
  }
  if (InMonoZone(note)) mono_.NoteOff(note, sustain_pedal_);
}

void Engine::SustainPedal(bool down) {
  sustain_pedal_ = down;
  if (down) {
    for (int i = 0; i < number_of_voices_; ++i) {
      PolyVoice& voice = voices_[static_cast<size_t>(i)];
      voice.pedal_down = true;
      if (voice.key_held) voice.sustained = true;
    }
    return;
  }
  bool any_key_held = false;
  for (int i = 0; i < number_of_voices_; ++i) {
    PolyVoice& voice = voices_[static_cast<size_t>(i)];
    voice.pedal_down = false;
    if (voice.key_held) {
      voice.sustained = false;
      any_key_held = true;
    } else if (voice.sustained) {
      voice.sustained = false;
      voice.Release(false);
    }
  }
  if (held_poly_keys_ == 0 && !any_key_held) global_envelope_.Release();
  mono_.PedalUp();
}

void Engine::SilenceAllVoices() {
  if (initialised_rate_ <= 0.0) return;
  held_poly_keys_ = 0;
  mono_.ClearNotes();
  SustainPedal(false);  // also the mono section's pedal-up rule
  for (PolyVoice& voice : voices_)
    voice.Release(true);
}

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
  midi_queue_.Drain(control_period_, [this](const MidiMessage& m) { ApplyMidiMessage(m); });
  fm_lfo_.Tick();
  pwm_lfo_.Tick();
  if (poly_active_) {
    poly_fm_value_ = ((mod_wheel_ - 1.0) * mod_wheel_to_poly_fm_ + 1.0) * fm_lfo_.bipolar;
    for (OscillatorBank& bank : banks_)
      bank.ControlTick(pitch_tables_, pitch_bend_, poly_fm_value_, pwm_lfo_.unipolar);
    bool any_voice = false;
    for (int i = 0; i < number_of_voices_; ++i) {
      PolyVoice& voice = voices_[static_cast<size_t>(i)];
      voice.ControlTick(pitch_tables_, global_envelope_.output, held_poly_keys_);
      any_voice = any_voice || voice.active;
    }
    poly_active_ = global_amp_envelope_ ? !global_envelope_.idle() : any_voice;
  }
  // The mono LFO runs whether or not the section sounds.
  mono_.lfo.Tick();
  if (mono_.active) mono_.ControlTick(pitch_tables_, pitch_bend_, mod_wheel_);
  if (poly_to_ensemble_ || mono_to_ensemble_) ensemble_.ControlTick();
  if (phaser_.on) phaser_.ControlTick(pitch_tables_);
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
  if (phaser_.on) {
    if (ActiveRenderPath() == RenderPath::kReference)
      phaser_.Process(left_mix_.data(), right_mix_.data(), n);
    else
      phaser_.ProcessSideBySide(left_mix_.data(), right_mix_.data(), n);
  }
  WriteOutput(left, right, n);
}

void Engine::RenderPoly(int n) {
  double* poly = poly_buffer_.data();
  Zero(poly, n);
  const VoiceScratch scratch{voice_signal_.data(), voice_amp_.data(), voice_spare_.data(),
                             voice_phases_.data()};
  if (VoiceLanesKernel lanes = ActiveVoiceLanesKernel()) {
    RenderVoicesInLanes(poly, n, ActiveFootageKernels(), lanes);
  } else {
    for (int i = 0; i < number_of_voices_; ++i)
      voices_[static_cast<size_t>(i)].Render(poly, n, banks_[0], banks_[1], scratch);
  }
  if (global_amp_envelope_) {
    for (int i = 0; i < n; ++i)
      poly[i] *= global_envelope_.Tick();
  } else {
    // It keeps running for the filters that follow it.
    global_envelope_.Skip(n);
  }
  // The resonators replace the dry sum.
  if (resonators_.on) {
    if (ActiveRenderPath() == RenderPath::kReference)
      resonators_.Process(poly, scratch_a_.data(), scratch_b_.data(), n, pitch_tables_);
    else
      resonators_.ProcessSideBySide(poly, scratch_a_.data(), scratch_b_.data(), n, pitch_tables_);
  }
}

void Engine::RenderVoicesInLanes(double* poly, int n, const FootageKernels* footages,
                                 VoiceLanesKernel kernel) {
  if (footages) {
    // Every voice's reads first, so the cache can make them table by table. Planned anew only
    // when a voice, a footage, a volume or a table has changed since the last block.
    FootageLayout layout;
    for (int b = 0; b < 2; ++b) {
      const OscillatorBank& bank = banks_[b];
      layout.bank[b] = {bank.volume, bank.footage, bank.pulse_offset != 0, bank.level};
    }
    for (int i = 0; i < kMaxVoices; ++i) {
      const PolyVoice& voice = voices_[static_cast<size_t>(i)];
      layout.note[static_cast<size_t>(i)] = i < number_of_voices_ && voice.active ? voice.note : -1;
    }
    layout.valid = true;
    if (layout == footage_layout_) {
      footage_cache_.Restart(banks_);
    } else {
      footage_layout_ = layout;
      footage_cache_.NextBlock();
      for (int i = 0; i < number_of_voices_; ++i) {
        const PolyVoice& voice = voices_[static_cast<size_t>(i)];
        if (!voice.active) continue;
        FootagePlan plan;
        banks_[0].Plan(plan, 0, voice.note);
        banks_[1].Plan(plan, 1, voice.note);
        footage_cache_.Request(plan, footage_sums_[static_cast<size_t>(i)]);
      }
    }
    footage_cache_.ReadPending(*footages, n);
  }
  double* sums = lane_sums_.data();
  std::fill(sums, sums + 4 * n, 0.0);
  DenormalOffset& family = VoiceFilterDenormalOffset();
  VoiceLanes lanes;
  // Each lane's offset is the one it would start with rendered alone in slot order.
  double offset = 0.0;
  const auto flush = [&] {
    if (lanes.count == 0) return;
    kernel(lanes, sums, n);
    if (lanes.mode != VoiceFilter::kBypass) family.Store(offset);
    lanes.count = 0;
  };
  for (int i = 0; i < number_of_voices_; ++i) {
    PolyVoice& voice = voices_[static_cast<size_t>(i)];
    if (!voice.active) continue;
    if (lanes.count > 0 && voice.filter.mode != lanes.mode) flush();
    if (lanes.count == 0) {
      lanes.mode = voice.filter.mode;
      offset = family.Load();
    }
    const int k = lanes.count++;
    const size_t at = static_cast<size_t>(k * control_period_);
    const VoiceScratch scratch{voice_signal_.data() + at,
                               voice_amp_.data() + at,
                               voice_spare_.data() + at,
                               voice_phases_.data(),
                               &footage_cache_,
                               footages ? &footage_sums_[static_cast<size_t>(i)] : nullptr,
                               footages};
    voice.RenderSources(n, banks_[0], banks_[1], scratch);
    lanes.filter[k] = &voice.filter;
    lanes.signal[k] = scratch.signal;
    lanes.amp[k] = scratch.amp;
    lanes.level[k] = voice.velocity_amp;
    lanes.offset[k] = offset;
    if (n % 2 != 0) offset = -offset;  // the sign flips once per sample
    if (lanes.count == VoiceLanes::kWidth) flush();
  }
  flush();
  for (int i = 0; i < n; ++i)
    poly[i] += (sums[4 * i] + sums[4 * i + 1]) + (sums[4 * i + 2] + sums[4 * i + 3]);
}

void Engine::AdvanceMasterOscillators(int n) {
  for (OscillatorBank& bank : banks_)
    bank.Advance(n);
}

void Engine::RenderMono(int n) {
  // The poly signal may feed the VCF: after the resonators, before the poly volume.
  if (mono_.active)
    mono_.Render(mono_buffer_.data(), poly_active_ ? poly_buffer_.data() : nullptr, n);
  else
    mono_.RenderIdle(mono_buffer_.data(), n);
}

void Engine::RouteToMix(int n) {
  const double* poly = poly_buffer_.data();
  const double* mono = mono_buffer_.data();
  double* left = left_mix_.data();
  double* right = right_mix_.data();
  const bool mono_active = mono_.active;
  if (poly_active_ && mono_active) {
    if (poly_to_ensemble_ && mono_to_ensemble_) {
      Add(poly, mono, scratch_a_.data(), n);
      ensemble_.Process(scratch_a_.data(), left, right, n);
    } else if (poly_to_ensemble_) {
      ensemble_.Process(poly, left, right, n);
      AddInto(left, mono, n);
      AddInto(right, mono, n);
    } else if (mono_to_ensemble_) {
      ensemble_.Process(mono, left, right, n);
      AddInto(left, poly, n);
      AddInto(right, poly, n);
    } else {
      Add(poly, mono, left, n);
      std::copy(left, left + n, right);
    }
  } else if (poly_active_ || mono_active) {
    const double* section = poly_active_ ? poly : mono;
    const bool to_ensemble = poly_active_ ? poly_to_ensemble_ : mono_to_ensemble_;
    if (to_ensemble) {
      ensemble_.Process(section, left, right, n);
    } else {
      std::copy(section, section + n, left);
      std::copy(section, section + n, right);
    }
  } else {
    Zero(left, n);
    Zero(right, n);
  }
}

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
