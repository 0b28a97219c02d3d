// The fast path's kernels with AVX2 and FMA: footages eight samples at once (table reads by
// gather), voice lanes four voices at once.
#include "engine/render_path.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

#include "engine/saw_tables.h"

namespace vantor {

namespace {

// Compiled for AVX2 in these functions only, so nothing else of this file (or an inline function
// it instantiates) can reach a CPU without it; the dispatch calls them only where the CPU has it.
__attribute__((target("avx2,fma"))) void ReadTable(const float* table, uint32_t shift,
                                                   uint32_t offset, uint32_t start, uint32_t step,
                                                   float* out, int n) {
  const __m256i mask = _mm256_set1_epi32(SawTables::kIndexMask);
  const __m128i count = _mm_cvtsi32_si128(static_cast<int>(shift));
  const __m256i add = _mm256_set1_epi32(static_cast<int>(offset));
  const __m256i step8 = _mm256_set1_epi32(static_cast<int>(step * 8u));
  __m256i phase = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(start)),
                                   _mm256_mullo_epi32(_mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8),
                                                      _mm256_set1_epi32(static_cast<int>(step))));
  for (int i = 0; i < n; i += 8) {
    const __m256i shifted = _mm256_add_epi32(_mm256_sll_epi32(phase, count), add);
    const __m256i index = _mm256_and_si256(_mm256_srli_epi32(shifted, 16), mask);
    _mm256_storeu_ps(out + i, _mm256_i32gather_ps(table, index, 4));
    phase = _mm256_add_epi32(phase, step8);
  }
}

// kGroups groups of eight samples at once, each in its own register: the reads go one after the
// other through all of them, so the multiply-adds of a group do not wait on each other's latency.
template <int kGroups>
__attribute__((target("avx2,fma"))) void SumGroups(const float* const* arrays, const float* weights,
                                                   int count, int at, double* out, int n) {
  __m256 sum[kGroups];
  for (int g = 0; g < kGroups; ++g)
    sum[g] = _mm256_setzero_ps();
  for (int r = 0; r < count; ++r) {
    const __m256 weight = _mm256_set1_ps(weights[r]);
    const float* in = arrays[r] + at;
    for (int g = 0; g < kGroups; ++g)
      sum[g] = _mm256_fmadd_ps(weight, _mm256_loadu_ps(in + 8 * g), sum[g]);
  }
  for (int g = 0; g < kGroups; ++g) {
    const __m256d low = _mm256_cvtps_pd(_mm256_castps256_ps128(sum[g]));
    const __m256d high = _mm256_cvtps_pd(_mm256_extractf128_ps(sum[g], 1));
    const int i = at + 8 * g;
    if (i + 8 <= n) {
      _mm256_storeu_pd(out + i, low);
      _mm256_storeu_pd(out + i + 4, high);
    } else {
      alignas(32) double last[8];
      _mm256_store_pd(last, low);
      _mm256_store_pd(last + 4, high);
      for (int j = 0; j < n - i && j < 8; ++j)
        out[i + j] = last[j];
    }
  }
}

__attribute__((target("avx2,fma"))) void SumReads(const float* const* arrays, const float* weights,
                                                  int count, double* out, int n) {
  for (int at = 0; at < n; at += 48) {
    switch ((n - at + 7) / 8) {
      case 1:
        SumGroups<1>(arrays, weights, count, at, out, n);
        break;
      case 2:
        SumGroups<2>(arrays, weights, count, at, out, n);
        break;
      case 3:
        SumGroups<3>(arrays, weights, count, at, out, n);
        break;
      case 4:
        SumGroups<4>(arrays, weights, count, at, out, n);
        break;
      case 5:
        SumGroups<5>(arrays, weights, count, at, out, n);
        break;
      default:
        SumGroups<6>(arrays, weights, count, at, out, n);
        break;
    }
  }
}

}  // namespace

const FootageKernels kAvx2FootageKernels = {ReadTable, SumReads};

namespace {

// The four lanes' values of four consecutive samples: rows in, one vector per sample out.
__attribute__((target("avx2,fma"))) inline void Transpose(__m256d& a, __m256d& b, __m256d& c,
                                                          __m256d& d) {
  const __m256d t0 = _mm256_unpacklo_pd(a, b), t1 = _mm256_unpackhi_pd(a, b);
  const __m256d t2 = _mm256_unpacklo_pd(c, d), t3 = _mm256_unpackhi_pd(c, d);
  a = _mm256_permute2f128_pd(t0, t2, 0x20);
  b = _mm256_permute2f128_pd(t1, t3, 0x20);
  c = _mm256_permute2f128_pd(t0, t2, 0x31);
  d = _mm256_permute2f128_pd(t1, t3, 0x31);
}

// The reference filter with its denormal offset, regrouped. The reference adds the offset d to
// every state each sample; two samples on, the offsets of x2 and y2 have cancelled, so these
// keep the plain values and the offsets of x1 and y1 enter as one term d (c1 + c2) (bandpass:
// d c2). A sample's output then waits on the previous one through a single multiply-add.
template <int kMode>
struct LaneFilter {
  __m256d c0, c1, c2, c3, x1, x2, y1, y2, d, dk;

  // From and back to the reference's states (x2 and y2 carry the last sample's offset).
  __attribute__((target("avx2,fma"))) void Load() {
    x2 = _mm256_add_pd(x2, d);
    y2 = _mm256_add_pd(y2, d);
    const __m256d k = kMode == VoiceFilter::kBandpass ? c2 : _mm256_add_pd(c1, c2);
    dk = _mm256_mul_pd(d, k);
  }
  __attribute__((target("avx2,fma"))) void Store() {
    x2 = _mm256_sub_pd(x2, d);
    y2 = _mm256_sub_pd(y2, d);
  }

  __attribute__((target("avx2,fma"))) __m256d Step(__m256d in) {
    if constexpr (kMode == VoiceFilter::kBypass) {
      return in;
    } else {
      // The inputs' terms first, then y2, then y1: the output two samples back reaches this one
      // through two multiply-adds, the previous output through one.
      const __m256d x = _mm256_add_pd(in, d);
      __m256d partial;
      if constexpr (kMode == VoiceFilter::kBandpass) {
        partial = _mm256_fmadd_pd(c0, _mm256_sub_pd(x, x2), dk);
      } else {
        partial = _mm256_fmadd_pd(c0, _mm256_add_pd(x, x2), _mm256_fmadd_pd(c1, x1, dk));
      }
      const __m256d y = _mm256_fmadd_pd(c2, y1, _mm256_fmadd_pd(c3, y2, partial));
      x2 = x1;
      x1 = x;
      y2 = y1;
      y1 = y;
      const __m256d zero = _mm256_setzero_pd();
      d = _mm256_sub_pd(zero, d);
      dk = _mm256_sub_pd(zero, dk);
      return y;
    }
  }
};

template <int kMode>
__attribute__((target("avx2,fma"))) void Lanes(const VoiceLanes& lanes, double* sums, int n) {
  static constexpr int W = VoiceLanes::kWidth;
  alignas(32) double v[9][W];
  const double* signal[W];
  const double* amp[W];
  for (int k = 0; k < W; ++k) {
    // Missing lanes repeat lane 0 at gain 0 and are never written back.
    const int from = k < lanes.count ? k : 0;
    const VoiceFilter& f = *lanes.filter[from];
    const double values[9] = {f.b0, f.b1, f.a1, f.a2, f.x1, f.x2, f.y1, f.y2, lanes.offset[from]};
    for (int j = 0; j < 9; ++j)
      v[j][k] = values[j];
    signal[k] = lanes.signal[from];
    amp[k] = lanes.amp[from];
  }
  LaneFilter<kMode> f;
  f.c0 = _mm256_load_pd(v[0]), f.c1 = _mm256_load_pd(v[1]);
  f.c2 = _mm256_load_pd(v[2]), f.c3 = _mm256_load_pd(v[3]);
  f.x1 = _mm256_load_pd(v[4]), f.x2 = _mm256_load_pd(v[5]);
  f.y1 = _mm256_load_pd(v[6]), f.y2 = _mm256_load_pd(v[7]);
  f.d = _mm256_load_pd(v[8]);
  if constexpr (kMode != VoiceFilter::kBypass) f.Load();
  const __m256d level = _mm256_setr_pd(lanes.level[0], lanes.count > 1 ? lanes.level[1] : 0.0,
                                       lanes.count > 2 ? lanes.level[2] : 0.0,
                                       lanes.count > 3 ? lanes.level[3] : 0.0);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m256d s0 = _mm256_loadu_pd(signal[0] + i), s1 = _mm256_loadu_pd(signal[1] + i);
    __m256d s2 = _mm256_loadu_pd(signal[2] + i), s3 = _mm256_loadu_pd(signal[3] + i);
    __m256d g0 = _mm256_loadu_pd(amp[0] + i), g1 = _mm256_loadu_pd(amp[1] + i);
    __m256d g2 = _mm256_loadu_pd(amp[2] + i), g3 = _mm256_loadu_pd(amp[3] + i);
    Transpose(s0, s1, s2, s3);
    Transpose(g0, g1, g2, g3);
    const __m256d p0 = _mm256_mul_pd(_mm256_mul_pd(g0, level), f.Step(s0));
    const __m256d p1 = _mm256_mul_pd(_mm256_mul_pd(g1, level), f.Step(s1));
    const __m256d p2 = _mm256_mul_pd(_mm256_mul_pd(g2, level), f.Step(s2));
    const __m256d p3 = _mm256_mul_pd(_mm256_mul_pd(g3, level), f.Step(s3));
    double* at = sums + 4 * i;
    _mm256_storeu_pd(at, _mm256_add_pd(_mm256_loadu_pd(at), p0));
    _mm256_storeu_pd(at + 4, _mm256_add_pd(_mm256_loadu_pd(at + 4), p1));
    _mm256_storeu_pd(at + 8, _mm256_add_pd(_mm256_loadu_pd(at + 8), p2));
    _mm256_storeu_pd(at + 12, _mm256_add_pd(_mm256_loadu_pd(at + 12), p3));
  }
  for (; i < n; ++i) {
    const __m256d s = _mm256_setr_pd(signal[0][i], signal[1][i], signal[2][i], signal[3][i]);
    const __m256d g = _mm256_setr_pd(amp[0][i], amp[1][i], amp[2][i], amp[3][i]);
    double* at = sums + 4 * i;
    _mm256_storeu_pd(
        at, _mm256_add_pd(_mm256_loadu_pd(at), _mm256_mul_pd(_mm256_mul_pd(g, level), f.Step(s))));
  }
  if constexpr (kMode != VoiceFilter::kBypass) {
    f.Store();
    _mm256_store_pd(v[4], f.x1), _mm256_store_pd(v[5], f.x2);
    _mm256_store_pd(v[6], f.y1), _mm256_store_pd(v[7], f.y2);
    for (int k = 0; k < lanes.count; ++k) {
      VoiceFilter& out = *lanes.filter[k];
      out.x1 = v[4][k], out.x2 = v[5][k], out.y1 = v[6][k], out.y2 = v[7][k];
    }
  }
}

}  // namespace

__attribute__((target("avx2,fma"))) void RenderVoiceLanesAvx2(const VoiceLanes& lanes, double* sums,
                                                              int n) {
  switch (lanes.mode) {
    case VoiceFilter::kBypass:
      return Lanes<VoiceFilter::kBypass>(lanes, sums, n);
    case VoiceFilter::kBandpass:
      return Lanes<VoiceFilter::kBandpass>(lanes, sums, n);
    default:  // lowpass and highpass differ only in their coefficients
      return Lanes<VoiceFilter::kLowpass>(lanes, sums, n);
  }
}

}  // namespace vantor
#endif
