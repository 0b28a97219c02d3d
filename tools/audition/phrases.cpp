// Audition phrases per program category, and their Standard MIDI File form.
#include "tools/audition/phrases.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "engine/param_ids.h"

namespace vantor::audition {
namespace {

constexpr uint8_t kNoteOn = 0x90, kNoteOff = 0x80, kControl = 0xB0;
constexpr uint8_t kVelocity = 100;

class PhraseWriter {
 public:
  explicit PhraseWriter(const char* kind) { phrase_.kind = kind; }

  void Note(double start, double duration, int note) {
    Add(start, kNoteOn, note, kVelocity);
    Add(start + duration, kNoteOff, note, 0);
  }
  void Chord(double start, double duration, std::initializer_list<int> notes) {
    for (int note : notes)
      Note(start, duration, note);
  }
  void Controller(double time, int controller, int value) {
    Add(time, kControl, controller, value);
  }
  Phrase& phrase() { return phrase_; }

  Phrase Finish(double tail) {
    // A key released and struck again at the same moment must be released first.
    std::stable_sort(phrase_.events.begin(), phrase_.events.end(),
                     [](const PhraseEvent& a, const PhraseEvent& b) {
                       if (a.time != b.time) return a.time < b.time;
                       return (a.status == kNoteOff) > (b.status == kNoteOff);
                     });
    phrase_.length = phrase_.events.empty() ? 0.0 : phrase_.events.back().time;
    phrase_.tail = tail;
    return phrase_;
  }

 private:
  void Add(double time, uint8_t status, int data1, int data2) {
    phrase_.events.push_back({time, status, static_cast<uint8_t>(std::clamp(data1, 0, 127)),
                              static_cast<uint8_t>(std::clamp(data2, 0, 127))});
  }
  Phrase phrase_;
};

void MarkPitch(Phrase& phrase, double start, double end, int note) {
  phrase.pitch_start = start;
  phrase.pitch_end = end;
  phrase.pitch_note = note;
}

// A note alone, then two chords: the note shows pitch and attack, the chords the voicing.
Phrase Chords() {
  PhraseWriter w("chords");
  w.Note(0.0, 1.2, 48);
  w.Chord(1.2, 1.5, {48, 55, 60, 64});
  w.Chord(2.7, 1.5, {45, 52, 57, 60});
  w.phrase().attack_end = 1.2;
  MarkPitch(w.phrase(), 0.5, 1.2, 48);
  return w.Finish(1.8);
}

// Eighth notes at 120 beats per minute in the bass register, ending on a held root.
Phrase BassLine() {
  PhraseWriter w("bass line");
  const int notes[] = {36, 36, 48, 36, 43, 46, 41, 43};
  for (int i = 0; i < 8; ++i)
    w.Note(0.25 * i, 0.2, notes[i]);
  w.Note(2.0, 1.0, 36);
  w.phrase().attack_end = 0.2;
  MarkPitch(w.phrase(), 2.3, 3.0, 36);
  return w.Finish(1.0);
}

// A melody played one key at a time, with one legato step where two keys overlap.
Phrase MonoLine(bool sweep_mod_wheel) {
  PhraseWriter w(sweep_mod_wheel ? "melody with mod wheel" : "melody");
  w.Note(0.0, 0.45, 60);
  w.Note(0.5, 0.45, 63);
  w.Note(1.0, 0.6, 67);  // still held when the next key goes down
  w.Note(1.5, 0.45, 70);
  w.Note(2.0, 0.45, 67);
  w.Note(2.5, 0.45, 65);
  w.Note(3.0, 1.0, 60);
  w.phrase().attack_end = 0.45;
  MarkPitch(w.phrase(), 3.4, 4.0, 60);
  if (sweep_mod_wheel) {
    for (int i = 0; i <= 40; ++i)
      w.Controller(0.1 * i, 1, i <= 30 ? i * 127 / 30 : (40 - i) * 127 / 10);
  }
  return w.Finish(1.0);
}

// Sixteenth notes of a sequencer pattern, ending on a held root.
Phrase Sequence(int root) {
  PhraseWriter w("sequence");
  const int steps[] = {0, 12, 7, 0, 10, 0, 7, 12, 0, 12, 7, 0, 3, 5, 7, 10};
  for (int i = 0; i < 16; ++i)
    w.Note(0.125 * i, 0.09, root + steps[i]);
  w.Note(2.0, 0.75, root);
  w.phrase().attack_end = 0.09;
  MarkPitch(w.phrase(), 2.3, 2.75, root);
  return w.Finish(1.0);
}

// One note held, for effects that develop over time.
Phrase Held() {
  PhraseWriter w("held note");
  w.Note(0.0, 3.0, 48);
  w.phrase().attack_end = 3.0;
  MarkPitch(w.phrase(), 1.0, 3.0, 48);
  return w.Finish(2.0);
}

bool On(const double* values, int index) {
  return values[index] >= 0.5;
}

// One side of the split from `start` for 1.5 s: a line where the mono section plays the side, a
// chord where only the poly section does. Lower-side notes stay below the split note.
void SplitSide(PhraseWriter& w, const double* values, bool upper, double start, bool mark) {
  const int split = static_cast<int>(values[kKeySplitPoint]) + 37;
  const bool mono = On(values, upper ? kMonoUpper : kMonoLower);
  const int base = upper ? split : split - 12;
  if (mono) {
    w.Note(start, 0.6, base);
    w.Note(start + 0.6, 0.3, base + 7);
    w.Note(start + 0.9, 0.3, base + 10);
    w.Note(start + 1.2, 0.3, base + 5);
    if (mark) MarkPitch(w.phrase(), start + 0.25, start + 0.6, base);
  } else {
    w.Chord(start, 1.5, {base, base + 4, base + 7});
  }
}

Phrase Split(const double* values) {
  PhraseWriter w("both sides of the split");
  SplitSide(w, values, false, 0.0, true);
  SplitSide(w, values, true, 1.6, w.phrase().pitch_note < 0);
  SplitSide(w, values, false, 3.2, false);
  SplitSide(w, values, true, 3.2, false);
  w.phrase().attack_end = 1.5;
  return w.Finish(1.5);
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace

Category CategoryOf(std::string_view name) {
  const auto starts = [&](std::string_view prefix) { return name.rfind(prefix, 0) == 0; };
  if (starts("Pad:")) return Category::kPad;
  if (starts("Poly:")) return Category::kPoly;
  if (starts("Bass:")) return Category::kBass;
  if (starts("Mono:")) return Category::kMono;
  if (starts("Stack:")) return Category::kStack;
  if (starts("Split:")) return Category::kSplit;
  if (starts("SFX")) return Category::kEffect;
  return Category::kOther;
}

const char* CategoryName(Category category) {
  switch (category) {
    case Category::kPad:
      return "pad";
    case Category::kPoly:
      return "poly";
    case Category::kBass:
      return "bass";
    case Category::kMono:
      return "mono";
    case Category::kStack:
      return "stack";
    case Category::kSplit:
      return "split";
    case Category::kEffect:
      return "effect";
    case Category::kOther:
      break;
  }
  return "other";
}

Phrase AuditionPhrase(std::string_view name, const double* values) {
  const Category category = CategoryOf(name);
  if (Contains(name, "Sequencer")) return Sequence(category == Category::kBass ? 36 : 48);
  switch (category) {
    case Category::kBass:
      return BassLine();
    case Category::kMono:
      return MonoLine(Contains(name, "MW"));
    case Category::kSplit:
      return Split(values);
    case Category::kEffect:
      return Held();
    default:
      return Chords();
  }
}

SplitSides SplitSidePhrases(const double* values) {
  SplitSides sides;
  for (bool upper : {false, true}) {
    PhraseWriter w(upper ? "upper side" : "lower side");
    SplitSide(w, values, upper, 0.0, true);
    w.phrase().attack_end = 1.5;
    (upper ? sides.upper : sides.lower) = w.Finish(1.0);
  }
  return sides;
}

Phrase OverlappingNotes(int first, int second, double first_alone, double both) {
  PhraseWriter w("two keys held");
  w.Note(0.0, first_alone + both, first);
  w.Note(first_alone, both, second);
  w.phrase().attack_end = first_alone;
  MarkPitch(w.phrase(), first_alone * 0.5, first_alone, first);
  return w.Finish(0.5);
}

std::vector<uint8_t> MidiFileBytes(const Phrase& phrase) {
  constexpr int kTicksPerQuarter = 480;
  constexpr double kTicksPerSecond = kTicksPerQuarter * 2.0;  // at 120 beats per minute
  std::vector<uint8_t> track;
  const auto variable_length = [&](uint32_t value) {
    uint8_t bytes[5];
    int count = 0;
    do {
      bytes[count++] = value & 0x7F;
      value >>= 7;
    } while (value != 0);
    while (count > 1)
      track.push_back(bytes[--count] | 0x80);
    track.push_back(bytes[0]);
  };
  variable_length(0);
  track.insert(track.end(), {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});  // 500000 us per quarter
  long previous = 0;
  for (const PhraseEvent& e : phrase.events) {
    const long tick = std::lround(e.time * kTicksPerSecond);
    variable_length(static_cast<uint32_t>(tick - previous));
    previous = tick;
    track.insert(track.end(), {e.status, e.data1, e.data2});
  }
  variable_length(0);
  track.insert(track.end(), {0xFF, 0x2F, 0x00});

  std::vector<uint8_t> file = {
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, kTicksPerQuarter >> 8, kTicksPerQuarter & 0xFF,
      'M', 'T', 'r', 'k'};
  const uint32_t size = static_cast<uint32_t>(track.size());
  file.insert(file.end(), {static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
                           static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)});
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

double NoteFrequency(double note) {
  return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

}  // namespace vantor::audition
