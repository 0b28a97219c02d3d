// Playing a timed event list through a running plug-in, block by block.
#pragma once

#include <functional>

#include "tools/vsthost/audio_file.h"
#include "tools/vsthost/midi_file.h"
#include "tools/vsthost/plugin.h"

namespace vsthost {

using BlockSink = std::function<void(const float* left, const float* right, int frames)>;

struct PassOptions {
  double tail_seconds = 0.0;
  // Block length for each call; the plug-in's block size when empty. Never above it.
  std::function<int()> next_block_size;
  // Runs before each block with the frame it starts at (automation, program changes...).
  std::function<void(long frame)> before_block;
  std::function<void(long frames_done)> progress;
  bool double_precision = false;  // processDoubleReplacing instead of processReplacing
};

struct PassStats {
  long frames = 0;
  Levels levels;
  double process_seconds = 0.0;  // wall time inside the plug-in's callbacks
  double cpu_seconds = 0.0;      // this thread's processor time inside them
};

long PassFrames(const MidiSequence& sequence, double tail_seconds, double sample_rate);

// Plays `sequence` from its start and then the tail; the plug-in must be running.
PassStats RenderPass(Plugin& plugin, const MidiSequence& sequence, const PassOptions& options,
                     const BlockSink& sink);

// Building event lists in code: the demo phrase, test notes, chords.
class SequenceBuilder {
 public:
  explicit SequenceBuilder(double bpm = 120.0);
  // Times in beats of the tempo given.
  void Note(double beat, double beats, int key, int velocity, int channel = 0);
  void Controller(double beat, int number, int value, int channel = 0);
  void Raw(double beat, uint8_t status, uint8_t data1, uint8_t data2);
  MidiSequence Build(double length_beats) const;

 private:
  double seconds_per_beat_;
  double bpm_;
  std::vector<MidiEvent> events_;
};

// About ten seconds in D minor: bass, chords, a melody and a mod-wheel swell.
MidiSequence DemoPhrase();
// `voices` keys pressed together, held `seconds`, then released.
MidiSequence HeldChord(int voices, double seconds);

}  // namespace vsthost
