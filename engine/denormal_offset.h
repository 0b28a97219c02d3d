// Process-wide alternating offsets that keep filter states out of the subnormal range.
#pragma once

#include <atomic>

namespace vantor {

// One offset per filter family, shared by every instance in the process. A filter loads it,
// flips its sign once per processed sample and stores it back; instances rendering on other
// threads may interleave, which only changes the sign they start with.
class DenormalOffset {
 public:
  double Load() const { return value_.load(std::memory_order_relaxed); }
  void Store(double d) { value_.store(d, std::memory_order_relaxed); }

 private:
  // 1e-13 lies far below audibility yet far above the subnormal range.
  std::atomic<double> value_{1e-13};
};

DenormalOffset& VoiceFilterDenormalOffset();
DenormalOffset& LadderFilterDenormalOffset();
DenormalOffset& PhaserDenormalOffset();

}  // namespace vantor
