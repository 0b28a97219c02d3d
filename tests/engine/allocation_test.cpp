// Rendering allocates nothing: the global allocator is replaced and counts while armed.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "support/test_plugin.h"

namespace {

std::atomic<bool> g_armed{false};
std::atomic<long> g_allocations{0};

void* CountedAllocate(std::size_t size) {
  if (g_armed.load(std::memory_order_relaxed)) g_allocations.fetch_add(1);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return CountedAllocate(size);
}
void* operator new[](std::size_t size) {
  return CountedAllocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace vantor {
namespace {

TEST(AllocationTest, RenderingBlocksOfAnySizeAllocatesNothing) {
  testing::TestVantor plugin;
  plugin.ChangeSampleRate(48000);
  plugin.ChangeBlockSize(4096);
  plugin.ResetEngine();
  plugin.ActivationChanged(true);
  std::vector<double> left(4096), right(4096);
  double* outputs[2] = {left.data(), right.data()};

  g_allocations = 0;
  g_armed = true;
  const int sizes[] = {1, 0, 17, 4096, 48, 333, 2, 1000};
  for (int round = 0; round < 400; ++round) {
    plugin.RenderBlock(nullptr, outputs, sizes[round % 8]);
  }
  g_armed = false;
  EXPECT_EQ(g_allocations.load(), 0);
}

}  // namespace
}  // namespace vantor
