// vantor_demo: renders a short phrase of chords straight from the engine into a WAV file.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/vantor_params.h"
#include "engine/engine.h"

namespace {

// A phrase of chords: start and end in seconds, and the notes.
struct Chord {
  double start, end;
  int notes[4];
};
constexpr Chord kPhrase[] = {
    {0.00, 0.90, {48, 55, 60, 64}},  // C major
    {1.00, 1.90, {45, 57, 60, 64}},  // A minor
    {2.00, 2.90, {41, 53, 57, 60}},  // F major
    {3.00, 4.20, {43, 55, 59, 62}},  // G major
};

// Queues the note-ons and note-offs that fall into [first, first + n) at their offsets.
void QueuePhraseEvents(vantor::Engine& engine, long first, int n, int rate) {
  for (const Chord& chord : kPhrase) {
    const long on = static_cast<long>(chord.start * rate);
    const long off = static_cast<long>(chord.end * rate);
    for (int note : chord.notes) {
      if (on >= first && on < first + n)
        engine.QueueMidiMessage(
            {static_cast<int32_t>(on - first), 0x90, static_cast<uint8_t>(note), 100});
      if (off >= first && off < first + n)
        engine.QueueMidiMessage(
            {static_cast<int32_t>(off - first), 0x80, static_cast<uint8_t>(note), 0});
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "out/demo.wav";
  constexpr int kRate = 44100;
  constexpr int kBlock = 512;
  constexpr double kSeconds = 5.0;

  vantor::Engine engine;
  engine.Reset(kRate, kBlock);
  for (int i = 0; i < vantor::kParamCount; ++i) {
    engine.ParamChanged(i, vantor::VantorParamSpec(i).default_value);
  }

  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    fprintf(stderr, "Cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
    return 1;
  }
  std::vector<double> left(kBlock), right(kBlock), interleaved(2 * kBlock);
  double* outputs[2] = {left.data(), right.data()};
  double peak = 0.0, sum_squares = 0.0;
  const long total = static_cast<long>(kSeconds * kRate);
  for (long done = 0; done < total; done += kBlock) {
    const int n = static_cast<int>(std::min<long>(kBlock, total - done));
    QueuePhraseEvents(engine, done, n, kRate);
    engine.RenderBlock(outputs, n);
    for (int i = 0; i < n; ++i) {
      interleaved[2 * i] = left[i];
      interleaved[2 * i + 1] = right[i];
      peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
      sum_squares += left[i] * left[i] + right[i] * right[i];
    }
    sf_writef_double(file, interleaved.data(), n);
  }
  sf_close(file);
  const double rms = std::sqrt(sum_squares / (2.0 * total));
  printf("Rendered %.1f s at %d Hz of chords from the engine with the default parameters into %s\n",
         kSeconds, kRate, path.c_str());
  printf("peak %.4f, RMS %.4f (%lu control ticks of %d samples)\n", peak, rms,
         static_cast<unsigned long>(engine.control_ticks()), engine.control_period());
  return 0;
}
