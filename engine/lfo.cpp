// Lfo: the sample-and-hold seed shared by every instance in the process.
#include "engine/lfo.h"

#include <atomic>

namespace vantor {
namespace {

// Instances on different threads may interleave their draws; each still sees a valid sequence.
std::atomic<int32_t> g_seed{1};

}  // namespace

double Lfo::NextRandom() {
  // Park-Miller multiplier with 32-bit wrap-around, done in unsigned arithmetic to stay defined.
  const uint32_t next = static_cast<uint32_t>(g_seed.load(std::memory_order_relaxed)) * 16807u;
  const int32_t seed = static_cast<int32_t>(next);
  g_seed.store(seed, std::memory_order_relaxed);
  return seed * 4.6566129e-10;  // 1 / 2^31
}

void Lfo::SeedRandom(int32_t seed) {
  g_seed.store(seed, std::memory_order_relaxed);
}

}  // namespace vantor
