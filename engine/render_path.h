// RenderPath: which implementation of the inner loops renders, chosen once from the CPU.
#pragma once

#include <cstdint>

#include "engine/voice_filter.h"

namespace vantor {

// The reference path is the plain scalar code every sound rule was written and tested against;
// the others compute the same within kFastPathBound and are chosen for speed.
enum class RenderPath : int { kReference = 0, kPortable = 1, kAvx2 = 2 };

// Largest difference a fast path may make to any output sample (full scale 1): -100 dBFS, under
// the noise floor of 16-bit audio (about -98 dBFS); played so loud that full scale is 100 dB SPL,
// it would lie at 0 dB SPL, the threshold of hearing.
inline constexpr double kFastPathBound = 1e-5;

// One voice's footages as table reads: for each bank, its phase at the start of the block, its
// step and pulse offset, and the reads (a saw is one read, a pulse two), each with its weight.
struct FootageRead {
  int table;
  int shift;   // octaves up from the master's phase
  bool pulse;  // the pulse's second read, at the bank's pulse offset
  float weight;
};
struct FootagePlan {
  static constexpr int kMaxReads = 6;  // per bank: three footages, saw plus pulse
  int semitone;
  uint32_t start[2];
  uint32_t step[2];
  uint32_t pulse_offset[2];
  int count[2];
  FootageRead reads[2][kMaxReads];
};

struct FootageKernels {
  // Reads `table` at (phase << shift) + offset for the n phases after `start`: out[i] for the
  // phase start + (i + 1) step. Writes whole groups of eight: `out` holds n rounded up to 8.
  void (*read)(const float* table, uint32_t shift, uint32_t offset, uint32_t start, uint32_t step,
               float* out, int n);
  // out[i] = the sum of weights[r] arrays[r][i] over `count` arrays, for n samples.
  void (*sum)(const float* const* arrays, const float* weights, int count, double* out, int n);
};

// Up to four voices side by side, past their footages and envelopes: each lane's filter, then
// its gain, summed into the poly buffer. All lanes share the filter mode (a global setting).
struct VoiceLanes {
  static constexpr int kWidth = 4;
  int count = 0;
  int mode = VoiceFilter::kBypass;
  VoiceFilter* filter[kWidth];
  const double* signal[kWidth];
  const double* amp[kWidth];
  double level[kWidth];
  double offset[kWidth];  // each lane's denormal offset at its first sample
};

// Filters the lanes (their states written back) and adds each lane's output times its gain into
// `sums`, which holds four sums per sample (one per lane, interleaved) for n samples; the caller
// adds the four up once after every group.
using VoiceLanesKernel = void (*)(const VoiceLanes& lanes, double* sums, int n);

// The path in use: VANTOR_ENGINE_PATH (reference, portable or avx2) when set and available on
// this CPU, else the fastest available; decided on first call.
RenderPath ActiveRenderPath();
// Switches the path for the whole process (tests, benchmarks); false when this CPU or build
// cannot run it.
bool SetRenderPath(RenderPath path);
bool RenderPathAvailable(RenderPath path);
const char* RenderPathName(RenderPath path);
// The CPU features that decide the path, e.g. "sse2 avx avx2 fma".
const char* CpuFeatureNames();

// The kernels of the active path; null on the reference path.
const FootageKernels* ActiveFootageKernels();
VoiceLanesKernel ActiveVoiceLanesKernel();

// The kernels, for the dispatch and for tests that compare them.
extern const FootageKernels kPortableFootageKernels;
// Defined only where the compiler can target AVX2 (x86-64); callers check RenderPathAvailable.
extern const FootageKernels kAvx2FootageKernels;
void RenderVoiceLanesPortable(const VoiceLanes& lanes, double* sums, int n);
void RenderVoiceLanesAvx2(const VoiceLanes& lanes, double* sums, int n);

}  // namespace vantor
