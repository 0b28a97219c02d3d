// The engine's pitch unit: 1/128 semitone counted from MIDI note 0.
#pragma once

namespace vantor {

static constexpr int kPitchStepsPerSemitone = 128;
static constexpr int kMaxPitchStep = 17280;  // 135 semitones above note 0

// Frequency in Hz of a pitch step, interpolated linearly between equal-tempered semitones.
double PitchToFrequency(int p);

}  // namespace vantor
