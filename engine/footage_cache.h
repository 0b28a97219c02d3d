// FootageCache: table reads shared by the voices of one block on the fast render paths.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/render_path.h"

namespace vantor {

// Voices of one semitone read the same master oscillator, and a footage of one voice is often a
// footage of another an octave away (the 16' of a note is the 8' of the note an octave below):
// each distinct read is made once per block and summed by every voice that needs it.
class FootageCache {
 public:
  // Sizes the store for blocks of up to `period` samples; allocates, so not on the audio path.
  void Reset(int period);
  // The master oscillators have moved: every read is stale.
  void NextBlock() { ++stamp_; }
  // Writes the plan's footages over n samples (at most the period) into `out`.
  void Render(const FootagePlan& plan, const FootageKernels& kernels, double* out, int n);

 private:
  static constexpr int kShifts = 12;  // octave shifts of notes 0 to 127
  struct Entry {
    uint64_t stamp = 0;
    int table = -1;
  };
  // [bank][semitone][shift][pulse] and, after them, one uncached slot per read of a plan.
  static constexpr int kEntries = 2 * 12 * kShifts * 2;
  std::vector<Entry> entries_;
  std::vector<float> data_;
  int stride_ = 0;
  uint64_t stamp_ = 1;
};

}  // namespace vantor
