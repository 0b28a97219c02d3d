// RenderPath: the CPU check, the run-time switch and the portable footage kernel.
#include "engine/render_path.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

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

VoiceLanesKernel ActiveVoiceLanesKernel() {
  switch (ActiveRenderPath()) {
    case RenderPath::kReference:
      return nullptr;
    case RenderPath::kPortable:
      return RenderVoiceLanesPortable;
    case RenderPath::kAvx2:
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
      return RenderVoiceLanesAvx2;
#else
      return RenderVoiceLanesPortable;
#endif
  }
  return nullptr;
}

const FootageKernels* ActiveFootageKernels() {
  switch (ActiveRenderPath()) {
    case RenderPath::kReference:
      return nullptr;
    case RenderPath::kPortable:
      return &kPortableFootageKernels;
    case RenderPath::kAvx2:
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
      return &kAvx2FootageKernels;
#else
      return &kPortableFootageKernels;
#endif
  }
  return nullptr;
}

}  // namespace vantor
