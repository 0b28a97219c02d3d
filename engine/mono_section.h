// MonoSection: where the split keyboard hands notes to the monophonic synthesizer.
#pragma once

namespace vantor {

// The monophonic section joins here: the engine already routes mono-zone notes, the pedal and
// all-notes-off to these operations and calls the ticks in their place in the render loop.
struct MonoSection {
  void NoteOn(int /*note*/, int /*velocity*/) {}
  void NoteOff(int /*note*/) {}
  // Sustain pedal up: with no mono key held, both mono envelopes release.
  void PedalUp() {}
  // All notes off: empties the note stack, then the pedal-up rule.
  void Silence() { PedalUp(); }
};

}  // namespace vantor
