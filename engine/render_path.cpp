// RenderPath: the CPU check, the run-time switch and the portable footage kernel.
#include "engine/render_path.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "engine/saw_tables.h"

namespace vantor {
namespace {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
constexpr bool kAvx2Built = true;
#else
constexpr bool kAvx2Built = false;  // the 32-bit build keeps the portable path
#endif

bool CpuHas(const char* feature) {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();
  // The builtin takes literals only.
  if (std::strcmp(feature, "sse2") == 0) return __builtin_cpu_supports("sse2");
  if (std::strcmp(feature, "avx") == 0) return __builtin_cpu_supports("avx");
  if (std::strcmp(feature, "avx2") == 0) return __builtin_cpu_supports("avx2");
  if (std::strcmp(feature, "fma") == 0) return __builtin_cpu_supports("fma");
#endif
  (void)feature;
  return false;
}

RenderPath Fastest() {
  return RenderPathAvailable(RenderPath::kAvx2) ? RenderPath::kAvx2 : RenderPath::kPortable;
}

RenderPath FromEnvironment() {
  const char* chosen = std::getenv("VANTOR_ENGINE_PATH");
  if (!chosen) return Fastest();
  for (RenderPath path : {RenderPath::kReference, RenderPath::kPortable, RenderPath::kAvx2}) {
    if (std::strcmp(chosen, RenderPathName(path)) == 0 && RenderPathAvailable(path)) return path;
  }
  return Fastest();  // unknown or unavailable here: as if unset
}

// -1 until decided; decided twice at worst, to the same value.
std::atomic<int> active_path{-1};

}  // namespace

bool RenderPathAvailable(RenderPath path) {
  switch (path) {
    case RenderPath::kReference:
    case RenderPath::kPortable:
      return true;
    case RenderPath::kAvx2: {
      static const bool available = kAvx2Built && CpuHas("avx2") && CpuHas("fma");
      return available;
    }
  }
  return false;
}

const char* RenderPathName(RenderPath path) {
  switch (path) {
    case RenderPath::kReference:
      return "reference";
    case RenderPath::kPortable:
      return "portable";
    case RenderPath::kAvx2:
      return "avx2";
  }
  return "?";
}

const char* CpuFeatureNames() {
  static const char* const names = [] {
    static char text[32] = "";
    for (const char* feature : {"sse2", "avx", "avx2", "fma"}) {
      if (!CpuHas(feature)) continue;
      if (text[0]) std::strcat(text, " ");
      std::strcat(text, feature);
    }
    if (!text[0]) std::strcat(text, "none detected");
    return text;
  }();
  return names;
}

RenderPath ActiveRenderPath() {
  int path = active_path.load(std::memory_order_relaxed);
  if (path < 0) {
    path = static_cast<int>(FromEnvironment());
    active_path.store(path, std::memory_order_relaxed);
  }
  return static_cast<RenderPath>(path);
}

bool SetRenderPath(RenderPath path) {
  if (!RenderPathAvailable(path)) return false;
  active_path.store(static_cast<int>(path), std::memory_order_relaxed);
  return true;
}

FootageKernel ActiveFootageKernel() {
  switch (ActiveRenderPath()) {
    case RenderPath::kReference:
      return nullptr;
    case RenderPath::kPortable:
      return RenderFootagesPortable;
    case RenderPath::kAvx2:
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
      return RenderFootagesAvx2;
#else
      return RenderFootagesPortable;
#endif
  }
  return nullptr;
}

void RenderFootagesPortable(const FootagePlan& plan, double* out, int n) {
  // Float sums in chunks that stay in registers and L1; one pass per read keeps the loop free of
  // tests and lets the compiler keep the phase in a register.
  static constexpr int kChunk = 64;
  for (int base = 0; base < n; base += kChunk) {
    const int m = n - base < kChunk ? n - base : kChunk;
    float sum[kChunk] = {};
    for (int b = 0; b < 2; ++b) {
      const uint32_t step = plan.step[b];
      const uint32_t first = plan.start[b] + static_cast<uint32_t>(base + 1) * step;
      for (int r = 0; r < plan.count[b]; ++r) {
        const FootageRead& read = plan.reads[b][r];
        const float* table = read.table;
        const uint32_t shift = read.shift, offset = read.offset;
        const float weight = read.weight;
        uint32_t phase = first;
        for (int i = 0; i < m; ++i) {
          sum[i] += weight * table[(((phase << shift) + offset) >> 16) & SawTables::kIndexMask];
          phase += step;
        }
      }
    }
    for (int i = 0; i < m; ++i)
      out[base + i] = sum[i];
  }
}

}  // namespace vantor
