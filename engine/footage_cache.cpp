// FootageCache: one read per distinct footage and block, summed by each voice with its weights.
#include "engine/footage_cache.h"

#include <algorithm>

namespace vantor {

void FootageCache::Reset(int period, int voices) {
  stride_ = (period + 7) & ~7;  // the read kernels write whole groups of eight
  // Every read of every voice distinct at worst.
  slots_ = std::max(voices, 1) * 2 * FootagePlan::kMaxReads;
  entries_.assign(kEntries, Entry{});
  pending_.assign(static_cast<size_t>(slots_), Pending{});
  data_.assign(static_cast<size_t>(slots_) * static_cast<size_t>(stride_), 0.0f);
  NextBlock();
}

void FootageCache::NextBlock() {
  ++stamp_;
  used_ = 0;
  std::fill(std::begin(first_), std::end(first_), -1);
}

void FootageCache::Request(const FootagePlan& plan, FootageSum& sum) {
  // Locals: the compiler cannot keep members in registers across the stores below.
  Entry* entries = entries_.data();
  const uint64_t stamp = stamp_;
  int used = used_;
  int count = 0;
  for (int b = 0; b < 2; ++b) {
    for (int r = 0; r < plan.count[b]; ++r) {
      const FootageRead& read = plan.reads[b][r];
      // Shifts past the cache's range (notes above 127, only from tests) are not shared; nor is
      // a read whose place holds another table this block (the lowest notes, where the tables
      // are clamped).
      Entry* entry = read.shift < kShifts
                         ? &entries[((b * 12 + plan.semitone) * kShifts + read.shift) * 2 +
                                    (read.pulse ? 1 : 0)]
                         : nullptr;
      int slot;
      if (entry && entry->stamp == stamp && entry->table == read.table) {
        slot = entry->slot;
      } else {
        slot = used++;
        if (slot >= slots_) {  // more plans than Reset allowed for: silent rather than unsafe
          sum.count = 0;
          used_ = slots_;
          return;
        }
        pending_[static_cast<size_t>(slot)] = {
            read.shift,         read.pulse ? plan.pulse_offset[b] : 0u,
            plan.start[b],      plan.step[b],
            first_[read.table], b,
            plan.semitone,      read.pulse};
        first_[read.table] = slot;
        if (entry && entry->stamp != stamp) *entry = {stamp, read.table, slot};
      }
      sum.slots[count] = slot;
      sum.weights[count++] = read.weight;
    }
  }
  used_ = used;
  sum.count = count;
}

void FootageCache::Restart(const OscillatorBank (&banks)[2]) {
  for (int slot = 0; slot < used_; ++slot) {
    Pending& p = pending_[static_cast<size_t>(slot)];
    const OscillatorBank& bank = banks[p.bank];
    const size_t semitone = static_cast<size_t>(p.semitone);
    p.start = bank.phase[semitone];
    p.step = static_cast<uint32_t>(bank.increment[semitone]);
    p.offset = p.pulse ? bank.pulse_offset : 0u;
  }
}

void FootageCache::ReadPending(const FootageKernels& kernels, int n) {
  const SawTables& saw = SawTables::Get();
  float* data = data_.data();
  const size_t stride = static_cast<size_t>(stride_);
  for (int table = 0; table < SawTables::kCount; ++table) {
    const float* values = saw.single[static_cast<size_t>(table)].data();
    for (int slot = first_[table]; slot >= 0;) {
      const Pending& p = pending_[static_cast<size_t>(slot)];
      kernels.read(values, static_cast<uint32_t>(p.shift), p.offset, p.start, p.step,
                   data + static_cast<size_t>(slot) * stride, n);
      slot = p.next;
    }
  }
}

void FootageCache::Sum(const FootageSum& sum, const FootageKernels& kernels, double* out,
                       int n) const {
  const float* arrays[2 * FootagePlan::kMaxReads];
  for (int r = 0; r < sum.count; ++r)
    arrays[r] = data_.data() + static_cast<size_t>(sum.slots[r]) * static_cast<size_t>(stride_);
  kernels.sum(arrays, sum.weights, sum.count, out, n);
}

}  // namespace vantor
