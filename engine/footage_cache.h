// FootageCache: table reads shared by the voices of one block on the fast render paths.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/oscillator_bank.h"
#include "engine/render_path.h"
#include "engine/saw_tables.h"

namespace vantor {

// Where in the cache one voice finds its reads for the block, and their weights. Slots, not
// addresses: a copied engine's voices must not read the original's cache.
struct FootageSum {
  int slots[2 * FootagePlan::kMaxReads];
  float weights[2 * FootagePlan::kMaxReads];
  int count = 0;
};

// What the voices' plans depend on besides the masters' phases, steps and pulse offsets: while
// it stays the same, a block can restart the last block's reads instead of planning anew.
struct FootageLayout {
  struct Bank {
    double volume;
    std::array<bool, OscillatorBank::kFootageCount> footage;
    bool pulse;  // a pulse offset other than 0
    std::array<int, 12> level;
    bool operator==(const Bank&) const = default;
  };
  static constexpr int kVoices = 61;
  Bank bank[2] = {};
  std::array<int, kVoices> note{};  // by voice slot, -1 when silent
  bool valid = false;
  bool operator==(const FootageLayout&) const = default;
};

// Voices of one semitone read the same master oscillator, and a footage of one voice is often a
// footage of another an octave away (the 16' of a note is the 8' of the note an octave below):
// each distinct read is made once per block and summed by every voice that needs it. The reads
// of a block are gathered first and then made table by table, so each table stays in the
// processor's first cache while it is read.
class FootageCache {
 public:
  // Sizes the store for blocks of up to `period` samples and `voices` plans; allocates, so not
  // on the audio path.
  void Reset(int period, int voices);
  // The master oscillators have moved: every read is stale.
  void NextBlock();
  // Takes the plan's reads for this block (at most `voices` plans per block); `sum` learns where
  // they will be. Their data is there after ReadPending.
  void Request(const FootagePlan& plan, FootageSum& sum);
  // The same reads as the last block's, from the masters' new phases, steps and pulse offsets:
  // for blocks whose plans differ from the last ones only in those.
  void Restart(const OscillatorBank (&banks)[2]);
  // Makes the reads requested since NextBlock over n samples (at most the period).
  void ReadPending(const FootageKernels& kernels, int n);
  // One voice's footages: the weighted sum of its reads into `out`, for n samples.
  void Sum(const FootageSum& sum, const FootageKernels& kernels, double* out, int n) const;

 private:
  static constexpr int kShifts = 12;  // octave shifts of notes 0 to 127
  struct Entry {
    uint64_t stamp = 0;
    int table = -1;
    int slot = 0;
  };
  struct Pending {
    int shift;
    uint32_t offset, start, step;
    int next;  // the next pending read of the same table, or -1
    int bank, semitone;
    bool pulse;
  };
  // [bank][semitone][shift][pulse]: the slot of the read made there this block.
  static constexpr int kEntries = 2 * 12 * kShifts * 2;
  std::vector<Entry> entries_;
  std::vector<Pending> pending_;  // by slot
  int first_[SawTables::kCount] = {};
  std::vector<float> data_;
  int stride_ = 0;
  int slots_ = 0;
  int used_ = 0;
  uint64_t stamp_ = 1;
};

}  // namespace vantor
