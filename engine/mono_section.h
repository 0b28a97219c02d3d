// MonoSection: where the split keyboard hands notes to the monophonic synthesizer.
#pragma once

namespace vantor {

// The monophonic section joins here: the engine already routes mono-zone notes, the pedal and
// all-notes-off to these operations; its tick and render belong to ControlTick steps 4-5 and
// sub-block stage C of the render loop.
struct MonoSection {
  void NoteOn(int /*note*/, int /*velocity*/) {}
  void NoteOff(int /*note*/) {}
  // Sustain pedal up: with no mono key held, both mono envelopes release.
  void PedalUp() {}
  // Empties the note stack (reset, all notes off); all notes off follows it with PedalUp.
  void ClearNotes() {}
};

}  // namespace vantor
