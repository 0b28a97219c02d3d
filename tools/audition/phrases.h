// What each factory program is auditioned with: its category, taken from its name, and a phrase
// of MIDI events that shows off what the name promises.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantor::audition {

enum class Category { kPad, kPoly, kBass, kMono, kStack, kSplit, kEffect, kOther };

// The word before the colon ("Pad: Fat Strings"); effect names may lack the colon.
Category CategoryOf(std::string_view program_name);
const char* CategoryName(Category category);

struct PhraseEvent {
  double time;  // seconds from the start
  uint8_t status, data1, data2;
};

struct Phrase {
  std::string kind;                 // "chords", "bass line", ... for reports
  std::vector<PhraseEvent> events;  // in time order
  double length = 0.0;              // the last event's time
  double tail = 1.5;                // seconds to render after it for releases to end
  // The first note or chord on its own, where the attack is measured.
  double attack_end = 0.0;
  // A stretch where one note sounds alone, for the pitch; note -1 when there is none.
  double pitch_start = 0.0, pitch_end = 0.0;
  int pitch_note = -1;

  double Duration() const { return length + tail; }
};

// The audition phrase for a program, chosen by its name and settings (`values`: all 110
// parameters; the split programs play either side of their own split point).
Phrase AuditionPhrase(std::string_view program_name, const double* values);

// Each side of a split program on its own: the first phrase plays only notes below the split
// point, the second only notes at or above it.
struct SplitSides {
  Phrase lower, upper;
};
SplitSides SplitSidePhrases(const double* values);

// Two keys held together: `first` alone, then `second` pressed while `first` stays down.
Phrase OverlappingNotes(int first, int second, double first_alone, double both);

// A Standard MIDI File (format 0) of the phrase.
std::vector<uint8_t> MidiFileBytes(const Phrase& phrase);

// Frequency of MIDI note `note` in equal temperament, A4 = 440 Hz.
double NoteFrequency(double note);

}  // namespace vantor::audition
