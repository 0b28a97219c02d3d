// AudioFileWriter through libsndfile, with clipping and a staged file.
#include "tools/vsthost/audio_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vsthost {

AudioFileWriter::~AudioFileWriter() {
  if (file_) sf_close(static_cast<SNDFILE*>(file_));
}

bool AudioFileWriter::Open(const std::string& path, double sample_rate, SampleFormat format,
                           std::string& error) {
  path_ = path;
  const std::string extension = LowerCaseExtension(path);
  int container;
  if (extension == "wav") {
    container = SF_FORMAT_WAV;
  } else if (extension == "flac") {
    container = SF_FORMAT_FLAC;
    if (format == SampleFormat::kFloat32) {
      error = "FLAC holds 16 or 24-bit samples only: use --format 16 or 24, or a .wav file";
      return false;
    }
  } else {
    error = "cannot tell the file type of " + path + ": name it .wav or .flac";
    return false;
  }
  const int subtype = format == SampleFormat::kPcm16   ? SF_FORMAT_PCM_16
                      : format == SampleFormat::kPcm24 ? SF_FORMAT_PCM_24
                                                       : SF_FORMAT_FLOAT;
  SF_INFO info{};
  info.samplerate = static_cast<int>(std::lround(sample_rate));
  info.channels = 2;
  info.format = container | subtype;
  if (!sf_format_check(&info)) {
    error = "libsndfile cannot write this format at " + std::to_string(info.samplerate) + " Hz";
    return false;
  }
  if (!staged_.Begin(path, error)) return false;
  file_ = sf_open(staged_.temp_path().c_str(), SFM_WRITE, &info);
  if (!file_) {
    error = "cannot write " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  // Integer formats clip loud samples instead of wrapping them around.
  sf_command(static_cast<SNDFILE*>(file_), SFC_SET_CLIPPING, nullptr, SF_TRUE);
  char text[96];
  snprintf(text, sizeof text, "%d Hz, %s %s, stereo", info.samplerate,
           format == SampleFormat::kPcm16   ? "16-bit"
           : format == SampleFormat::kPcm24 ? "24-bit"
                                            : "32-bit float",
           container == SF_FORMAT_WAV ? "WAV" : "FLAC");
  description_ = text;
  return true;
}

bool AudioFileWriter::Write(const float* left, const float* right, int frames) {
  if (!file_ || write_failed_) return false;
  constexpr int kChunk = 1024;
  for (int done = 0; done < frames; done += kChunk) {
    const int n = std::min(kChunk, frames - done);
    for (int i = 0; i < n; ++i) {
      const float l = left[done + i], r = right[done + i];
      interleaved_[2 * i] = std::isfinite(l) ? l : 0.0f;
      interleaved_[2 * i + 1] = std::isfinite(r) ? r : 0.0f;
    }
    if (sf_writef_float(static_cast<SNDFILE*>(file_), interleaved_, n) != n) {
      write_failed_ = true;
      return false;
    }
  }
  return true;
}

bool AudioFileWriter::Close(std::string& error) {
  if (!file_) {
    error = "cannot write " + path_;
    return false;
  }
  const int close_result = sf_close(static_cast<SNDFILE*>(file_));
  file_ = nullptr;
  if (write_failed_ || close_result != 0) {
    error = "cannot write " + path_ + " (disk full?)";
    return false;
  }
  return staged_.Commit(error);
}

}  // namespace vsthost
