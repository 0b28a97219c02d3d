// A picture of a render: the waveform of both channels drawn over a spectrogram, as PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vsthost {

// Writes rows of red, green, blue bytes as a PNG file, all or nothing.
bool WriteRgbPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                 std::string& error);

class PictureBuilder {
 public:
  static constexpr int kWidth = 1200;
  static constexpr int kHeight = 600;

  // The length must be known up front so the time axis fits the picture while streaming.
  PictureBuilder(long total_frames, double sample_rate);

  void Add(const float* left, const float* right, int frames);
  bool WritePng(const std::string& path, std::string& error);

 private:
  struct Column {
    float min[2] = {0, 0}, max[2] = {0, 0};
    double sum_squares[2] = {0, 0};
    long count = 0;
    std::vector<float> spectrum;  // dB per picture row, top row highest frequency
  };
  void PushMono(float v);
  void ComputeSpectrum(Column& column);
  void FinishSpectra();

  long total_frames_;
  double sample_rate_;
  double frames_per_column_;
  int fft_size_;
  std::vector<Column> columns_;
  std::vector<float> ring_;  // the latest fft_size_ mono samples
  long frames_seen_ = 0;     // frames given to Add
  long mono_pushed_ = 0;     // samples in the ring's history, zero padding included
  int next_spectrum_ = 0;
  std::vector<float> window_;
  // The FFT's working arrays and tables, made once.
  std::vector<float> re_, im_, cos_, sin_;
  std::vector<uint32_t> bit_reverse_;
  // Which bins each picture row reads: rows narrower than a bin interpolate between two.
  struct RowBins {
    int lo, hi;
    float frac;
    bool between;
  };
  std::vector<RowBins> rows_;
  void Fft();
};

}  // namespace vsthost
