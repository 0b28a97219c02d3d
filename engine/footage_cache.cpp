// FootageCache: one read per distinct footage and block, summed by each voice with its weights.
#include "engine/footage_cache.h"

#include "engine/saw_tables.h"

namespace vantor {

void FootageCache::Reset(int period) {
  stride_ = (period + 7) & ~7;  // the read kernels write whole groups of eight
  entries_.assign(kEntries, Entry{});
  data_.assign(
      static_cast<size_t>(kEntries + 2 * FootagePlan::kMaxReads) * static_cast<size_t>(stride_),
      0.0f);
  ++stamp_;
}

void FootageCache::Render(const FootagePlan& plan, const FootageKernels& kernels, double* out,
                          int n) {
  const SawTables& saw = SawTables::Get();
  // Locals: the compiler cannot keep members in registers across the kernels' stores.
  Entry* entries = entries_.data();
  float* store = data_.data();
  const size_t stride = static_cast<size_t>(stride_);
  const uint64_t stamp = stamp_;
  const float* arrays[2 * FootagePlan::kMaxReads];
  float weights[2 * FootagePlan::kMaxReads];
  int count = 0;
  for (int b = 0; b < 2; ++b) {
    for (int r = 0; r < plan.count[b]; ++r) {
      const FootageRead& read = plan.reads[b][r];
      // Shifts past the cache's range (notes above 127, only from tests) go uncached.
      const bool cached = read.shift < kShifts;
      const int slot = cached ? ((b * 12 + plan.semitone) * kShifts + read.shift) * 2 + read.pulse
                              : kEntries + count;
      float* data = store + static_cast<size_t>(slot) * stride;
      if (!cached || entries[slot].stamp != stamp || entries[slot].table != read.table) {
        kernels.read(saw.single[static_cast<size_t>(read.table)].data(),
                     static_cast<uint32_t>(read.shift), read.pulse ? plan.pulse_offset[b] : 0u,
                     plan.start[b], plan.step[b], data, n);
        if (cached) entries[slot] = {stamp, read.table};
      }
      arrays[count] = data;
      weights[count++] = read.weight;
    }
  }
  kernels.sum(arrays, weights, count, out, n);
}

}  // namespace vantor
