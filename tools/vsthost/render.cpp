// The render loop: events into blocks with their offsets, transport kept in step, timing.
#include "tools/vsthost/render.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/vsthost/progress.h"

namespace vsthost {

long PassFrames(const MidiSequence& sequence, double tail_seconds, double sample_rate) {
  long frames =
      static_cast<long>(std::ceil((sequence.length_seconds + tail_seconds) * sample_rate));
  // An event at the very end (the last note-off, with no tail) still needs a block to land in.
  if (!sequence.events.empty()) {
    frames = std::max(frames, std::lround(sequence.events.back().seconds * sample_rate) + 1);
  }
  return frames;
}

PassStats RenderPass(Plugin& plugin, const MidiSequence& sequence, const PassOptions& options,
                     const BlockSink& sink) {
  PassStats stats;
  const double rate = plugin.host().sample_rate;
  const int max_block = plugin.host().block_size;
  const long total = PassFrames(sequence, options.tail_seconds, rate);
  EventBlock block_events;
  size_t next_event = 0;
  long position = 0;
  while (position < total) {
    int frames = options.next_block_size ? options.next_block_size() : max_block;
    frames =
        static_cast<int>(std::clamp<long>(frames, 1, std::min<long>(max_block, total - position)));
    if (options.before_block) options.before_block(position);
    block_events.Clear();
    while (next_event < sequence.events.size()) {
      const MidiEvent& e = sequence.events[next_event];
      const long frame = std::max(0L, std::lround(e.seconds * rate));
      if (frame >= position + frames) break;
      block_events.Add(static_cast<int>(std::max(0L, frame - position)), e);
      ++next_event;
    }
    const double seconds = position / rate;
    plugin.SetTransport(static_cast<double>(position), sequence.BpmAt(seconds),
                        sequence.QuartersAt(seconds), sequence.time_sig_numerator,
                        sequence.time_sig_denominator, true);
    const double wall0 = WallSeconds(), cpu0 = ThreadCpuSeconds();
    if (options.double_precision) {
      plugin.ProcessDouble(&block_events, frames);
    } else {
      plugin.Process(&block_events, frames);
    }
    stats.process_seconds += WallSeconds() - wall0;
    stats.cpu_seconds += ThreadCpuSeconds() - cpu0;
    stats.levels.Add(plugin.Left(), plugin.Right(), frames);
    if (sink) sink(plugin.Left(), plugin.Right(), frames);
    position += frames;
    if (options.progress) options.progress(position);
  }
  stats.frames = total;
  return stats;
}

SequenceBuilder::SequenceBuilder(double bpm) : seconds_per_beat_(60.0 / bpm), bpm_(bpm) {}

void SequenceBuilder::Raw(double beat, uint8_t status, uint8_t data1, uint8_t data2) {
  MidiEvent e;
  e.seconds = beat * seconds_per_beat_;
  e.data = {status, data1, data2};
  e.size = (status & 0xE0) == 0xC0 ? 2 : 3;
  events_.push_back(e);
}

void SequenceBuilder::Note(double beat, double beats, int key, int velocity, int channel) {
  const auto ch = static_cast<uint8_t>(channel & 0x0F);
  Raw(beat, 0x90 | ch, static_cast<uint8_t>(key), static_cast<uint8_t>(velocity));
  Raw(beat + beats, 0x80 | ch, static_cast<uint8_t>(key), 64);
}

void SequenceBuilder::Controller(double beat, int number, int value, int channel) {
  Raw(beat, static_cast<uint8_t>(0xB0 | (channel & 0x0F)), static_cast<uint8_t>(number),
      static_cast<uint8_t>(value));
}

MidiSequence SequenceBuilder::Build(double length_beats) const {
  MidiSequence s;
  s.format = 0;
  s.tracks = 1;
  s.events = events_;
  // Releases before presses at the same moment, so a repeated key is not cut short.
  std::stable_sort(s.events.begin(), s.events.end(), [](const MidiEvent& a, const MidiEvent& b) {
    if (a.seconds != b.seconds) return a.seconds < b.seconds;
    const bool a_off = (a.data[0] & 0xF0) == 0x80, b_off = (b.data[0] & 0xF0) == 0x80;
    return a_off && !b_off;
  });
  s.tempo = {{0.0, 0.0, bpm_}};
  s.length_seconds = length_beats * seconds_per_beat_;
  for (const MidiEvent& e : s.events)
    s.length_seconds = std::max(s.length_seconds, e.seconds);
  return s;
}

MidiSequence DemoPhrase() {
  SequenceBuilder b(120.0);
  struct Chord {
    int bass;
    int notes[3];
  };
  // i - VI - III - VII - i in D minor, one bar each.
  static constexpr Chord kChords[] = {
      {38, {53, 57, 62}}, {34, {53, 58, 62}}, {41, {53, 57, 60}},
      {36, {52, 55, 60}}, {38, {53, 57, 62}},
  };
  // Each chord lasts until the next begins, so pads sound legato across the bars.
  for (int bar = 0; bar < 5; ++bar) {
    const double at = bar * 4.0;
    b.Note(at, 4.0, kChords[bar].bass, 100);
    for (int key : kChords[bar].notes)
      b.Note(at + 0.02, 4.0, key, 72);
  }
  struct MelodyNote {
    double beat, beats;
    int key, velocity;
  };
  static constexpr MelodyNote kMelody[] = {
      {0.0, 1.5, 69, 96},  {1.5, 0.5, 67, 80},   {2.0, 1.0, 65, 88},   {3.0, 0.5, 64, 76},
      {3.5, 0.5, 65, 84},  {4.0, 1.0, 67, 96},   {5.0, 0.5, 65, 80},   {5.5, 0.5, 62, 76},
      {6.0, 1.5, 65, 90},  {7.5, 0.5, 69, 84},   {8.0, 1.5, 72, 104},  {9.5, 0.5, 69, 84},
      {10.0, 1.0, 67, 90}, {11.0, 1.0, 65, 86},  {12.0, 1.0, 64, 92},  {13.0, 1.0, 67, 88},
      {14.0, 1.0, 69, 96}, {15.0, 1.0, 73, 100}, {16.0, 4.0, 74, 110},
  };
  for (const MelodyNote& n : kMelody)
    b.Note(n.beat, n.beats * 0.95, n.key, n.velocity);
  // A mod-wheel swell over bars three and four.
  for (int step = 0; step <= 32; ++step) {
    const double t = step / 32.0;
    b.Controller(8.0 + 8.0 * t, 1,
                 static_cast<int>(std::lround(80.0 * std::sin(std::numbers::pi * t))));
  }
  return b.Build(20.0);
}

MidiSequence HeldChord(int voices, double seconds) {
  SequenceBuilder b(60.0);  // one beat per second
  for (int i = 0; i < voices; ++i) {
    // Steps of a fifth folded into 100 keys from C1: no key repeats, as 7 and 100 share no factor.
    b.Note(0.0, seconds, 24 + (i * 7) % 100, 100);
  }
  return b.Build(seconds);
}

}  // namespace vsthost
