// Spectrogram columns from a sliding FFT, min/max waveform per column, PNG through libpng.
#include "tools/vsthost/picture.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "tools/vsthost/staged_file.h"

namespace vsthost {
namespace {

constexpr double kLowestHz = 20.0;
constexpr float kFloorDb = -110.0f;  // the darkest colour; quieter is black

struct Rgb {
  float r, g, b;
};

// Dark violet through red and orange to pale yellow: loud parts stand out on a quiet ground.
Rgb HeatColor(float t) {
  static constexpr Rgb kStops[] = {{0.0f, 0.0f, 0.02f},   {0.16f, 0.04f, 0.33f},
                                   {0.50f, 0.07f, 0.42f}, {0.83f, 0.25f, 0.20f},
                                   {0.98f, 0.60f, 0.05f}, {0.99f, 0.98f, 0.70f}};
  constexpr int kCount = sizeof kStops / sizeof kStops[0];
  t = std::clamp(t, 0.0f, 1.0f) * (kCount - 1);
  const int i = std::min(static_cast<int>(t), kCount - 2);
  const float f = t - i;
  return {kStops[i].r + (kStops[i + 1].r - kStops[i].r) * f,
          kStops[i].g + (kStops[i + 1].g - kStops[i].g) * f,
          kStops[i].b + (kStops[i + 1].b - kStops[i].b) * f};
}

void Blend(Rgb& pixel, Rgb color, float alpha) {
  pixel.r += (color.r - pixel.r) * alpha;
  pixel.g += (color.g - pixel.g) * alpha;
  pixel.b += (color.b - pixel.b) * alpha;
}

}  // namespace

PictureBuilder::PictureBuilder(long total_frames, double sample_rate)
    : total_frames_(std::max(1L, total_frames)),
      sample_rate_(sample_rate),
      frames_per_column_(static_cast<double>(total_frames_) / kWidth),
      columns_(kWidth) {
  // About 45 ms of sound per column's analysis: fine enough in time, about 20 Hz per bin.
  fft_size_ = 1024;
  while (fft_size_ < sample_rate / 22.0 && fft_size_ < 8192)
    fft_size_ *= 2;
  ring_.assign(fft_size_, 0.0f);
  window_.resize(fft_size_);
  for (int i = 0; i < fft_size_; ++i) {
    window_[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / fft_size_));
  }
  re_.resize(fft_size_);
  im_.resize(fft_size_);
  cos_.resize(fft_size_ / 2);
  sin_.resize(fft_size_ / 2);
  for (int k = 0; k < fft_size_ / 2; ++k) {
    cos_[k] = static_cast<float>(std::cos(2.0 * std::numbers::pi * k / fft_size_));
    sin_[k] = static_cast<float>(-std::sin(2.0 * std::numbers::pi * k / fft_size_));
  }
  int bits = 0;
  while ((1 << bits) < fft_size_)
    ++bits;
  bit_reverse_.resize(fft_size_);
  for (int i = 0; i < fft_size_; ++i) {
    uint32_t r = 0;
    for (int b = 0; b < bits; ++b)
      r |= ((i >> b) & 1u) << (bits - 1 - b);
    bit_reverse_[i] = r;
  }
  // Rows are spaced logarithmically from the top of the audible range down to 20 Hz.
  const double top_hz = std::min(20000.0, sample_rate_ / 2.0);
  const double bin_hz = sample_rate_ / fft_size_;
  rows_.resize(kHeight);
  for (int y = 0; y < kHeight; ++y) {
    const double f_hi = top_hz * std::pow(kLowestHz / top_hz, static_cast<double>(y) / kHeight);
    const double f_lo = top_hz * std::pow(kLowestHz / top_hz, static_cast<double>(y + 1) / kHeight);
    RowBins& row = rows_[y];
    row.between = f_hi - f_lo < bin_hz;
    if (row.between) {
      const double position = std::sqrt(f_lo * f_hi) / bin_hz;
      row.lo = std::clamp(static_cast<int>(position), 0, fft_size_ / 2 - 1);
      row.hi = row.lo + 1;
      row.frac = static_cast<float>(std::clamp(position - row.lo, 0.0, 1.0));
    } else {
      row.lo = std::clamp(static_cast<int>(std::floor(f_lo / bin_hz)), 1, fft_size_ / 2);
      row.hi = std::clamp(static_cast<int>(std::ceil(f_hi / bin_hz)), row.lo, fft_size_ / 2);
      row.frac = 0.0f;
    }
  }
}

void PictureBuilder::Fft() {
  const int n = fft_size_;
  for (int i = 0; i < n; ++i) {
    const uint32_t j = bit_reverse_[i];
    if (static_cast<uint32_t>(i) < j) {
      std::swap(re_[i], re_[j]);
      std::swap(im_[i], im_[j]);
    }
  }
  for (int half = 1, stride = n / 2; half < n; half *= 2, stride /= 2) {
    for (int start = 0; start < n; start += 2 * half) {
      for (int k = 0; k < half; ++k) {
        const float wr = cos_[k * stride], wi = sin_[k * stride];
        const int a = start + k, b = a + half;
        const float br = re_[b] * wr - im_[b] * wi;
        const float bi = re_[b] * wi + im_[b] * wr;
        re_[b] = re_[a] - br;
        im_[b] = im_[a] - bi;
        re_[a] += br;
        im_[a] += bi;
      }
    }
  }
}

void PictureBuilder::Add(const float* left, const float* right, int frames) {
  for (int i = 0; i < frames; ++i) {
    const long frame = frames_seen_ + i;
    if (frame >= total_frames_) break;
    const int c = std::min(kWidth - 1, static_cast<int>(frame / frames_per_column_));
    Column& column = columns_[c];
    const float v[2] = {std::isfinite(left[i]) ? left[i] : 0.0f,
                        std::isfinite(right[i]) ? right[i] : 0.0f};
    for (int ch = 0; ch < 2; ++ch) {
      if (column.count == 0) {
        column.min[ch] = column.max[ch] = v[ch];
      } else {
        column.min[ch] = std::min(column.min[ch], v[ch]);
        column.max[ch] = std::max(column.max[ch], v[ch]);
      }
      column.sum_squares[ch] += static_cast<double>(v[ch]) * v[ch];
    }
    ++column.count;
    PushMono(0.5f * (v[0] + v[1]));
  }
  frames_seen_ += frames;
}

void PictureBuilder::PushMono(float v) {
  ring_[mono_pushed_ % fft_size_] = v;
  ++mono_pushed_;
  // A column's analysis window is centred on the column's middle.
  while (next_spectrum_ < kWidth) {
    const double centre = (next_spectrum_ + 0.5) * frames_per_column_;
    if (static_cast<double>(mono_pushed_) < centre + fft_size_ / 2.0) break;
    ComputeSpectrum(columns_[next_spectrum_++]);
  }
}

void PictureBuilder::ComputeSpectrum(Column& column) {
  // The ring holds samples mono_pushed_ - fft_size_ .. mono_pushed_ - 1 (zeros before the start).
  for (int i = 0; i < fft_size_; ++i) {
    const long index = mono_pushed_ - fft_size_ + i;
    const float v = index >= 0 ? ring_[index % fft_size_] : 0.0f;
    re_[i] = v * window_[i];
    im_[i] = 0.0f;
  }
  Fft();
  // A full-scale sine reads 0 dB: the Hann window keeps half the amplitude, the FFT sums N.
  const float scale = 4.0f / fft_size_;
  auto magnitude = [&](int b) { return std::sqrt(re_[b] * re_[b] + im_[b] * im_[b]); };
  column.spectrum.assign(kHeight, kFloorDb);
  for (int y = 0; y < kHeight; ++y) {
    const RowBins& row = rows_[y];
    float loudest = 0.0f;
    if (row.between) {
      loudest = magnitude(row.lo) * (1.0f - row.frac) + magnitude(row.hi) * row.frac;
    } else {
      for (int b = row.lo; b <= row.hi; ++b)
        loudest = std::max(loudest, magnitude(b));
    }
    const float db = loudest > 0.0f ? 20.0f * std::log10(loudest * scale) : kFloorDb;
    column.spectrum[y] = std::max(kFloorDb, db);
  }
}

void PictureBuilder::FinishSpectra() {
  // Columns near the end still wait for their window to fill: pad with silence.
  while (next_spectrum_ < kWidth)
    PushMono(0.0f);
}

bool PictureBuilder::WritePng(const std::string& path, std::string& error) {
  FinishSpectra();
  std::vector<Rgb> pixels(static_cast<size_t>(kWidth) * kHeight);
  for (int x = 0; x < kWidth; ++x) {
    const Column& column = columns_[x];
    for (int y = 0; y < kHeight; ++y) {
      pixels[static_cast<size_t>(y) * kWidth + x] =
          HeatColor((column.spectrum[y] - kFloorDb) / -kFloorDb);
    }
  }
  // Left channel in the upper half, right channel in the lower half, over the spectrogram; the
  // loudest sample fills its half, so quiet renders still show their shape.
  const int half = kHeight / 2;
  float peak = 0.0f;
  for (const Column& column : columns_) {
    for (int ch = 0; ch < 2; ++ch)
      peak = std::max({peak, -column.min[ch], column.max[ch]});
  }
  const float gain = peak > 0.0f ? 1.0f / peak : 1.0f;
  const Rgb kWave = {0.80f, 0.95f, 1.0f};
  const Rgb kCore = {1.0f, 1.0f, 1.0f};
  for (int x = 0; x < kWidth; ++x) {
    const Column& column = columns_[x];
    if (column.count == 0) continue;
    for (int ch = 0; ch < 2; ++ch) {
      const int middle = ch * half + half / 2;
      const float amplitude = (half / 2 - 6) * gain;
      auto to_y = [&](float v) {
        return std::clamp(middle - static_cast<int>(std::lround(v * amplitude)), ch * half,
                          ch * half + half - 1);
      };
      const float rms = static_cast<float>(std::sqrt(column.sum_squares[ch] / column.count));
      // A faint fill keeps the spectrogram readable; the bright edges carry the shape.
      const int top = to_y(column.max[ch]), bottom = to_y(column.min[ch]);
      for (int y = top; y <= bottom; ++y) {
        Blend(pixels[static_cast<size_t>(y) * kWidth + x], kWave, 0.16f);
      }
      for (int y = to_y(rms); y <= to_y(-rms); ++y) {
        Blend(pixels[static_cast<size_t>(y) * kWidth + x], kCore, 0.14f);
      }
      Blend(pixels[static_cast<size_t>(top) * kWidth + x], kCore, 0.85f);
      Blend(pixels[static_cast<size_t>(bottom) * kWidth + x], kCore, 0.85f);
    }
  }
  for (int x = 0; x < kWidth; ++x) {
    Blend(pixels[static_cast<size_t>(half) * kWidth + x], {0.6f, 0.6f, 0.6f}, 0.6f);
  }
  // A tick every second along the bottom, taller every ten seconds.
  const double seconds = total_frames_ / sample_rate_;
  const int step = seconds > 120 ? 10 : 1;
  for (int s = step; s < seconds; s += step) {
    const int x = static_cast<int>(s * sample_rate_ / frames_per_column_);
    const int length = s % 10 == 0 ? 14 : 7;
    for (int y = kHeight - length; y < kHeight && x < kWidth; ++y) {
      Blend(pixels[static_cast<size_t>(y) * kWidth + x], {1, 1, 1}, 0.8f);
    }
  }

  std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
  for (size_t i = 0; i < pixels.size(); ++i) {
    rgb[3 * i] = static_cast<uint8_t>(std::lround(std::clamp(pixels[i].r, 0.0f, 1.0f) * 255));
    rgb[3 * i + 1] = static_cast<uint8_t>(std::lround(std::clamp(pixels[i].g, 0.0f, 1.0f) * 255));
    rgb[3 * i + 2] = static_cast<uint8_t>(std::lround(std::clamp(pixels[i].b, 0.0f, 1.0f) * 255));
  }
  return WriteRgbPng(path, kWidth, kHeight, rgb, error);
}

bool WriteRgbPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                 std::string& error) {
  if (width <= 0 || height <= 0 ||
      rgb.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
    error = "no picture to write to " + path;
    return false;
  }
  StagedFile staged;
  if (!staged.Begin(path, error)) return false;
  FILE* f = fopen(staged.temp_path().c_str(), "wb");
  if (!f) {
    error = "cannot write " + path;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  volatile bool ok = png && info;  // survives libpng's longjmp
  if (ok && setjmp(png_jmpbuf(png))) ok = false;
  if (ok) {
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
      png_write_row(png, &rgb[static_cast<size_t>(y) * static_cast<size_t>(width) * 3]);
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  const bool closed = fclose(f) == 0;
  if (!ok || !closed) {
    error = "cannot write the picture " + path;
    return false;
  }
  return staged.Commit(error);
}

}  // namespace vsthost
