// Descriptor measurements on rendered audio.
#include "tools/audition/descriptors.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantor::audition {
namespace {

constexpr double kSilentDb = -200.0;

int ToFrame(const Stereo& audio, double seconds) {
  return std::clamp(static_cast<int>(std::lround(seconds * audio.rate)), 0, audio.Frames());
}

// A biquad in direct form I, for the loudness weighting.
struct Biquad {
  double b0, b1, b2, a1, a2;
  void Run(std::vector<double>& x) const {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (double& v : x) {
      const double y = b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
      x2 = x1, x1 = v, y2 = y1, y1 = y;
      v = y;
    }
  }
};

// The two filters of the broadcast loudness weighting, designed for any sample rate: a high
// shelf of +4 dB above about 1.7 kHz and a high-pass near 38 Hz.
void LoudnessWeighting(std::vector<double>& x, double rate) {
  {
    const double f0 = 1681.974450955533, gain_db = 3.999843853973347, q = 0.7071752369554196;
    const double k = std::tan(M_PI * f0 / rate);
    const double vh = std::pow(10.0, gain_db / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    Biquad{(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
           2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0}
        .Run(x);
  }
  const double f0 = 38.13547087602444, q = 0.5003270373238773;
  const double k = std::tan(M_PI * f0 / rate);
  const double a0 = 1.0 + k / q + k * k;
  Biquad{1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0}.Run(x);
}

}  // namespace

double ToDb(double power) {
  return power > 0.0 ? 10.0 * std::log10(power) : kSilentDb;
}

std::vector<double> MonoMix(const Stereo& audio, double start, double end) {
  const int from = ToFrame(audio, start), to = ToFrame(audio, end);
  std::vector<double> mono;
  mono.reserve(static_cast<size_t>(std::max(0, to - from)));
  for (int i = from; i < to; ++i)
    mono.push_back(0.5 *
                   (audio.left[static_cast<size_t>(i)] + audio.right[static_cast<size_t>(i)]));
  return mono;
}

std::vector<double> PowerSpectrum(const std::vector<double>& signal, int fft_size) {
  const size_t n = static_cast<size_t>(fft_size);
  std::vector<double> power(n / 2 + 1, 0.0);
  std::vector<double> frame(n);
  std::vector<fftw_complex> spectrum(n / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(fft_size, frame.data(), spectrum.data(), FFTW_ESTIMATE);
  std::vector<double> window(n);
  double window_power = 0.0;
  for (size_t i = 0; i < n; ++i) {
    window[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / static_cast<double>(n));
    window_power += window[i] * window[i];
  }
  int frames = 0;
  // A signal shorter than one window is zero-padded into a single frame.
  for (size_t start = 0; frames == 0 || start + n <= signal.size(); start += n / 2) {
    for (size_t i = 0; i < n; ++i)
      frame[i] = start + i < signal.size() ? signal[start + i] * window[i] : 0.0;
    fftw_execute(plan);
    for (size_t k = 0; k <= n / 2; ++k)
      power[k] += spectrum[k][0] * spectrum[k][0] + spectrum[k][1] * spectrum[k][1];
    ++frames;
  }
  fftw_destroy_plan(plan);
  for (double& p : power)
    p /= frames * window_power;
  return power;
}

double SpectralCentroid(const std::vector<double>& power, double rate) {
  const double bin_hz = rate / (2.0 * static_cast<double>(power.size() - 1));
  double weighted = 0.0, total = 0.0;
  for (size_t k = 1; k < power.size(); ++k) {
    const double magnitude = std::sqrt(power[k]);
    weighted += magnitude * static_cast<double>(k) * bin_hz;
    total += magnitude;
  }
  return total > 0.0 ? weighted / total : 0.0;
}

double BandCentre(double low, int bands_per_octave, int band) {
  return low * std::pow(2.0, (band + 0.5) / bands_per_octave);
}

std::vector<double> BandLevels(const std::vector<double>& power, double rate, double low,
                               double high, int bands_per_octave) {
  const double bin_hz = rate / (2.0 * static_cast<double>(power.size() - 1));
  const int bands = static_cast<int>(std::ceil(std::log2(high / low) * bands_per_octave));
  std::vector<double> levels;
  for (int b = 0; b < bands; ++b) {
    const double lo = low * std::pow(2.0, static_cast<double>(b) / bands_per_octave);
    const double hi = lo * std::pow(2.0, 1.0 / bands_per_octave);
    const size_t first = static_cast<size_t>(std::ceil(lo / bin_hz));
    // A band narrower than a bin takes the nearest bin.
    const size_t last = std::max(first, static_cast<size_t>(std::ceil(hi / bin_hz)));
    double sum = 0.0;
    int count = 0;
    for (size_t k = first; k < last && k < power.size(); ++k, ++count)
      sum += power[k];
    if (count == 0 && first < power.size()) sum = power[first], count = 1;
    levels.push_back(ToDb(count > 0 ? sum / count : 0.0));
  }
  return levels;
}

double PeakDbfs(const Stereo& audio) {
  double peak = 0.0;
  for (int i = 0; i < audio.Frames(); ++i) {
    peak = std::max({peak, std::abs(audio.left[static_cast<size_t>(i)]),
                     std::abs(audio.right[static_cast<size_t>(i)])});
  }
  return peak > 0.0 ? 20.0 * std::log10(peak) : kSilentDb;
}

double IntegratedLoudness(const Stereo& audio) {
  std::vector<double> left = audio.left, right = audio.right;
  LoudnessWeighting(left, audio.rate);
  LoudnessWeighting(right, audio.rate);
  // Blocks of 400 ms every 100 ms; the mean square of each, summed over the channels.
  const int block = static_cast<int>(audio.rate * 0.4), hop = block / 4;
  std::vector<double> blocks;
  for (int start = 0; start + block <= audio.Frames(); start += hop) {
    double sum = 0.0;
    for (int i = start; i < start + block; ++i) {
      const size_t s = static_cast<size_t>(i);
      sum += left[s] * left[s] + right[s] * right[s];
    }
    blocks.push_back(sum / block);
  }
  const auto gated_mean = [&](double threshold_lufs) {
    double sum = 0.0;
    int count = 0;
    for (double z : blocks) {
      if (-0.691 + ToDb(z) > threshold_lufs) sum += z, ++count;
    }
    return count > 0 ? sum / count : 0.0;
  };
  const double absolute = gated_mean(-70.0);
  if (absolute <= 0.0) return kSilentDb;
  return -0.691 + ToDb(gated_mean(-0.691 + ToDb(absolute) - 10.0));
}

double AttackTime(const Stereo& audio, double window_end) {
  const int hop = static_cast<int>(audio.rate * 0.005);
  const int end = ToFrame(audio, window_end);
  std::vector<double> envelope;
  for (int start = 0; start + 2 * hop <= end; start += hop) {
    double sum = 0.0;
    for (int i = start; i < start + 2 * hop; ++i) {
      const size_t s = static_cast<size_t>(i);
      sum += audio.left[s] * audio.left[s] + audio.right[s] * audio.right[s];
    }
    envelope.push_back(sum);
  }
  if (envelope.empty()) return 0.0;
  const double top = *std::max_element(envelope.begin(), envelope.end());
  for (size_t i = 0; i < envelope.size(); ++i) {
    // 90% of the peak amplitude; the window's time is taken at its end.
    if (envelope[i] >= 0.81 * top) return static_cast<double>((i + 2) * hop) / audio.rate;
  }
  return window_end;
}

double StereoWidth(const Stereo& audio) {
  double mid = 0.0, side = 0.0;
  for (int i = 0; i < audio.Frames(); ++i) {
    const double l = audio.left[static_cast<size_t>(i)], r = audio.right[static_cast<size_t>(i)];
    mid += (l + r) * (l + r);
    side += (l - r) * (l - r);
  }
  return mid > 0.0 ? std::sqrt(side / mid) : 0.0;
}

double Pitch(const std::vector<double>& signal, double rate) {
  const int window = static_cast<int>(rate * 0.04);
  const int max_lag = static_cast<int>(rate / 28.0);  // down to the lowest bass note's octave
  const int min_lag = static_cast<int>(rate / 4000.0);
  std::vector<double> found;
  int frames = 0;
  std::vector<double> d(static_cast<size_t>(max_lag + 1));
  // At most a dozen frames, spread over the signal: enough for a median, and cheap.
  const size_t span = static_cast<size_t>(window + max_lag);
  const size_t step = signal.size() > span ? std::max<size_t>(static_cast<size_t>(window),
                                                              (signal.size() - span) / 12)
                                           : 1;
  for (size_t start = 0; start + span <= signal.size(); start += step) {
    ++frames;
    const double* x = signal.data() + start;
    double running = 0.0;
    d[0] = 1.0;
    for (int lag = 1; lag <= max_lag; ++lag) {
      double sum = 0.0;
      for (int i = 0; i < window; ++i) {
        const double diff = x[i] - x[i + lag];
        sum += diff * diff;
      }
      running += sum;
      d[static_cast<size_t>(lag)] = running > 0.0 ? sum * lag / running : 1.0;
    }
    // The first dip below the threshold, followed down to its bottom.
    int lag = min_lag;
    while (lag < max_lag && d[static_cast<size_t>(lag)] >= 0.2)
      ++lag;
    if (lag >= max_lag) continue;
    while (lag + 1 < max_lag && d[static_cast<size_t>(lag + 1)] < d[static_cast<size_t>(lag)])
      ++lag;
    const double a = d[static_cast<size_t>(lag - 1)], b = d[static_cast<size_t>(lag)],
                 c = d[static_cast<size_t>(lag + 1)];
    const double curve = a - 2.0 * b + c;
    const double shift = curve > 0.0 ? 0.5 * (a - c) / curve : 0.0;
    found.push_back(rate / (lag + shift));
  }
  if (found.empty() || static_cast<int>(found.size()) * 2 < frames) return 0.0;
  std::nth_element(found.begin(), found.begin() + static_cast<long>(found.size() / 2), found.end());
  return found[found.size() / 2];
}

Descriptors Describe(const Stereo& audio, const Phrase& phrase) {
  Descriptors d;
  d.peak_dbfs = PeakDbfs(audio);
  d.loudness_lufs = IntegratedLoudness(audio);
  d.centroid_hz =
      SpectralCentroid(PowerSpectrum(MonoMix(audio, 0.0, phrase.length), 4096), audio.rate);
  d.attack_s = AttackTime(audio, phrase.attack_end);
  d.width = StereoWidth(audio);
  if (phrase.pitch_note >= 0)
    d.pitch_hz = Pitch(MonoMix(audio, phrase.pitch_start, phrase.pitch_end), audio.rate);
  return d;
}

}  // namespace vantor::audition
