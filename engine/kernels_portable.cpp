// The fast path's kernels in baseline x86-64 (or any) code: the footage reads and voice lanes.
#include "engine/render_path.h"
#include "engine/saw_tables.h"

namespace vantor {

namespace {

void ReadTable(const float* table, uint32_t shift, uint32_t offset, uint32_t start, uint32_t step,
               float* out, int n) {
  // Indices eight at a time in a loop of fixed length, which the compiler vectorizes; then the
  // reads, which baseline x86-64 can only make one by one.
  uint32_t first[8];
  for (int j = 0; j < 8; ++j)
    first[j] = start + static_cast<uint32_t>(j + 1) * step;
  const uint32_t step8 = step * 8u;
  for (int i = 0; i < n; i += 8) {
    uint32_t index[8];
    for (int j = 0; j < 8; ++j) {
      index[j] = (((first[j] << shift) + offset) >> 16) & SawTables::kIndexMask;
      first[j] += step8;
    }
    for (int j = 0; j < 8; ++j)
      out[i + j] = table[index[j]];
  }
}

// kGroups groups of eight samples at once: each read goes through all of them, so the sums of a
// group do not wait on each other's latency. Fixed lengths let the compiler keep the sums in
// vector registers (the arrays hold whole groups).
template <int kGroups>
void SumGroups(const float* const* arrays, const float* weights, int count, int at, double* out,
               int n) {
  float sum[8 * kGroups] = {};
  for (int r = 0; r < count; ++r) {
    const float* in = arrays[r] + at;
    const float weight = weights[r];
    for (int j = 0; j < 8 * kGroups; ++j)
      sum[j] += weight * in[j];
  }
  const int m = n - at < 8 * kGroups ? n - at : 8 * kGroups;
  for (int j = 0; j < m; ++j)
    out[at + j] = sum[j];
}

void SumReads(const float* const* arrays, const float* weights, int count, double* out, int n) {
  for (int at = 0; at < n; at += 16) {
    if (n - at > 8)
      SumGroups<2>(arrays, weights, count, at, out, n);
    else
      SumGroups<1>(arrays, weights, count, at, out, n);
  }
}

}  // namespace

const FootageKernels kPortableFootageKernels = {ReadTable, SumReads};

namespace {

// The reference filter's arithmetic lane by lane: four independent recursions interleaved, so
// the processor overlaps their latencies.
// kCount lanes in use: a lone voice costs one recursion, not four.
template <int kMode, int kCount>
void Lanes(const VoiceLanes& lanes, double* sums, int n) {
  static constexpr int W = VoiceLanes::kWidth;
  double c0[W], c1[W], c2[W], c3[W], x1[W], x2[W], y1[W], y2[W], d[W], level[W];
  const double* signal[W];
  const double* amp[W];
  for (int k = 0; k < W; ++k) {
    // Missing lanes repeat lane 0 at gain 0 and are never written back.
    const int from = k < lanes.count ? k : 0;
    const VoiceFilter& f = *lanes.filter[from];
    c0[k] = f.b0, c1[k] = f.b1, c2[k] = f.a1, c3[k] = f.a2;
    x1[k] = f.x1, x2[k] = f.x2, y1[k] = f.y1, y2[k] = f.y2;
    d[k] = lanes.offset[from];
    level[k] = k < lanes.count ? lanes.level[k] : 0.0;
    signal[k] = lanes.signal[from];
    amp[k] = lanes.amp[from];
  }
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < kCount; ++k) {
      double y = signal[k][i];
      if constexpr (kMode != VoiceFilter::kBypass) {
        x1[k] += d[k];
        x2[k] += d[k];
        y1[k] += d[k];
        y2[k] += d[k];
        const double x = y + d[k];
        y = kMode == VoiceFilter::kBandpass
                ? (x - x2[k]) * c0[k] + c2[k] * y1[k] + c3[k] * y2[k]
                : (x + x2[k]) * c0[k] + c1[k] * x1[k] + c2[k] * y1[k] + c3[k] * y2[k];
        x2[k] = x1[k];
        x1[k] = x;
        y2[k] = y1[k];
        y1[k] = y;
        d[k] = -d[k];
      }
      sums[W * i + k] += amp[k][i] * level[k] * y;
    }
  }
  if constexpr (kMode != VoiceFilter::kBypass) {
    for (int k = 0; k < lanes.count; ++k) {
      VoiceFilter& f = *lanes.filter[k];
      f.x1 = x1[k], f.x2 = x2[k], f.y1 = y1[k], f.y2 = y2[k];
    }
  }
}

template <int kMode>
void LanesOf(const VoiceLanes& lanes, double* sums, int n) {
  switch (lanes.count) {
    case 1:
      return Lanes<kMode, 1>(lanes, sums, n);
    case 2:
      return Lanes<kMode, 2>(lanes, sums, n);
    case 3:
      return Lanes<kMode, 3>(lanes, sums, n);
    default:
      return Lanes<kMode, 4>(lanes, sums, n);
  }
}

}  // namespace

void RenderVoiceLanesPortable(const VoiceLanes& lanes, double* sums, int n) {
  switch (lanes.mode) {
    case VoiceFilter::kBypass:
      return LanesOf<VoiceFilter::kBypass>(lanes, sums, n);
    case VoiceFilter::kBandpass:
      return LanesOf<VoiceFilter::kBandpass>(lanes, sums, n);
    default:  // lowpass and highpass differ only in their coefficients
      return LanesOf<VoiceFilter::kLowpass>(lanes, sums, n);
  }
}

}  // namespace vantor
