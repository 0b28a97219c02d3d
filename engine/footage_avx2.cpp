// The footage kernel with AVX2 and FMA: eight samples at once, table reads by gather.
#include "engine/render_path.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

#include "engine/saw_tables.h"

namespace vantor {

// Compiled for AVX2 in this function only, so nothing else of this file (or an inline function
// it instantiates) can reach a CPU without it; the dispatch calls it only where the CPU has it.
__attribute__((target("avx2,fma"))) void RenderFootagesAvx2(const FootagePlan& plan, double* out,
                                                            int n) {
  static constexpr int kChunk = 64;
  const __m256i lanes = _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8);
  const __m256i mask = _mm256_set1_epi32(SawTables::kIndexMask);
  alignas(32) float sum[kChunk];
  for (int base = 0; base < n; base += kChunk) {
    const int m = n - base < kChunk ? n - base : kChunk;
    // Whole vectors: the lanes past m read valid table entries and are never written out.
    const int vectors = (m + 7) / 8;
    for (int v = 0; v < vectors; ++v)
      _mm256_store_ps(sum + 8 * v, _mm256_setzero_ps());
    for (int b = 0; b < 2; ++b) {
      const __m256i step = _mm256_set1_epi32(static_cast<int>(plan.step[b]));
      const __m256i step8 = _mm256_set1_epi32(static_cast<int>(plan.step[b] * 8u));
      const __m256i first = _mm256_add_epi32(
          _mm256_set1_epi32(
              static_cast<int>(plan.start[b] + static_cast<uint32_t>(base) * plan.step[b])),
          _mm256_mullo_epi32(lanes, step));
      for (int r = 0; r < plan.count[b]; ++r) {
        const FootageRead& read = plan.reads[b][r];
        const __m128i shift = _mm_cvtsi32_si128(static_cast<int>(read.shift));
        const __m256i offset = _mm256_set1_epi32(static_cast<int>(read.offset));
        const __m256 weight = _mm256_set1_ps(read.weight);
        __m256i phase = first;
        for (int v = 0; v < vectors; ++v) {
          const __m256i shifted = _mm256_add_epi32(_mm256_sll_epi32(phase, shift), offset);
          const __m256i index = _mm256_and_si256(_mm256_srli_epi32(shifted, 16), mask);
          const __m256 value = _mm256_i32gather_ps(read.table, index, 4);
          _mm256_store_ps(sum + 8 * v, _mm256_fmadd_ps(weight, value, _mm256_load_ps(sum + 8 * v)));
          phase = _mm256_add_epi32(phase, step8);
        }
      }
    }
    int i = 0;
    for (; i + 4 <= m; i += 4)
      _mm256_storeu_pd(out + base + i, _mm256_cvtps_pd(_mm_load_ps(sum + i)));
    for (; i < m; ++i)
      out[base + i] = sum[i];
  }
}

}  // namespace vantor
#endif
