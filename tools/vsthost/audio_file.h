// Audio files (WAV, FLAC through libsndfile; WAV alone on Windows), and the level meter every
// render reports.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

#include "tools/vsthost/arguments.h"
#include "tools/vsthost/staged_file.h"

#include <cstdint>

namespace vsthost {

// Peak and RMS over both channels, and a count of samples no audio should hold.
struct Levels {
  double peak = 0.0;
  double sum_squares = 0.0;
  long samples = 0;
  long non_finite = 0;  // NaN or infinity
  long subnormal = 0;

  void Add(const float* left, const float* right, int frames);
  void Merge(const Levels& other);
  double Rms() const;
  static double Db(double linear);  // -inf for 0
};

// "-3.2 dBFS", or "silence" for zero.
std::string FormatDb(double linear);

// The file name's extension after the last dot, in lower case; empty without one. Picks the
// container of an output file.
inline std::string LowerCaseExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  std::string extension = dot == std::string::npos ? "" : path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

// A stereo file that appears at its path only when Close succeeds.
class AudioFileWriter {
 public:
  AudioFileWriter() = default;
  ~AudioFileWriter();
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  // The container follows the extension (.wav, .flac); false with a message when the path or
  // the format cannot be written.
  bool Open(const std::string& path, double sample_rate, SampleFormat format, std::string& error);
  // Non-finite samples are written as zero, so a misbehaving plug-in cannot spoil the file.
  bool Write(const float* left, const float* right, int frames);
  bool Close(std::string& error);
  std::string Description() const { return description_; }

 private:
  void* file_ = nullptr;  // libsndfile's SNDFILE, or the WAV writer's state on Windows
  uint32_t sample_rate_ = 0;
  StagedFile staged_;
  std::string path_, description_;
  bool write_failed_ = false;
  float interleaved_[2 * 1024];
};

}  // namespace vsthost
