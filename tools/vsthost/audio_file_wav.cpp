// AudioFileWriter on Windows, where libsndfile is not at hand: WAV files of our own writing.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/vsthost/audio_file.h"
#include "tools/vsthost/os.h"

namespace vsthost {
namespace {

struct WavFile {
  FILE* file = nullptr;
  SampleFormat format = SampleFormat::kPcm24;
  uint32_t data_bytes = 0;
};

// Appends little-endian fields to a header of known size.
class HeaderWriter {
 public:
  explicit HeaderWriter(size_t size) : bytes_(size, 0) {}
  void Put16(uint32_t v) { PutBytes(v, 2); }
  void Put32(uint32_t v) { PutBytes(v, 4); }
  void PutTag(const char* tag) {
    for (int k = 0; k < 4; ++k)
      bytes_[at_++] = static_cast<uint8_t>(tag[k]);
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  void PutBytes(uint32_t v, int n) {
    for (int k = 0; k < n; ++k)
      bytes_[at_++] = static_cast<uint8_t>(v >> (8 * k));
  }
  std::vector<uint8_t> bytes_;
  size_t at_ = 0;
};

int BytesPerSample(SampleFormat format) {
  return format == SampleFormat::kPcm16 ? 2 : format == SampleFormat::kPcm24 ? 3 : 4;
}

// RIFF header, format chunk (a fact chunk too for float data), data chunk header. The sizes are
// filled in when the file is closed.
std::vector<uint8_t> Header(SampleFormat format, uint32_t rate, uint32_t data_bytes) {
  const bool is_float = format == SampleFormat::kFloat32;
  const uint32_t block = 2 * static_cast<uint32_t>(BytesPerSample(format));
  const uint32_t format_size = is_float ? 18 : 16;
  const uint32_t fact_size = is_float ? 12 : 0;
  HeaderWriter out(12 + 8 + format_size + fact_size + 8);
  out.PutTag("RIFF");
  out.Put32(4 + (8 + format_size) + fact_size + 8 + data_bytes);
  out.PutTag("WAVE");
  out.PutTag("fmt ");
  out.Put32(format_size);
  out.Put16(is_float ? 3 : 1);  // IEEE float or PCM
  out.Put16(2);
  out.Put32(rate);
  out.Put32(rate * block);
  out.Put16(block);
  out.Put16(block * 4);  // bits per sample
  if (is_float) {
    out.Put16(0);  // no extension
    out.PutTag("fact");
    out.Put32(4);
    out.Put32(data_bytes / block);
  }
  out.PutTag("data");
  out.Put32(data_bytes);
  return out.Take();
}

}  // namespace

AudioFileWriter::~AudioFileWriter() {
  auto* wav = static_cast<WavFile*>(file_);
  if (wav) {
    if (wav->file) fclose(wav->file);
    delete wav;
  }
}

bool AudioFileWriter::Open(const std::string& path, double sample_rate, SampleFormat format,
                           std::string& error) {
  path_ = path;
  const std::string extension = LowerCaseExtension(path);
  if (extension == "flac") {
    error = "this build of vsthost writes WAV files only: name the output .wav";
    return false;
  }
  if (extension != "wav") {
    error = "cannot tell the file type of " + path + ": name it .wav";
    return false;
  }
  const long rate = std::lround(sample_rate);
  if (rate <= 0 || rate > 1000000) {
    error = "cannot write WAV at " + std::to_string(rate) + " Hz";
    return false;
  }
  if (!staged_.Begin(path, error)) return false;
  auto* wav = new WavFile;
  file_ = wav;
  wav->format = format;
  wav->file = os::OpenFile(staged_.temp_path(), "wb");
  if (!wav->file) {
    error = "cannot write " + path;
    return false;
  }
  const std::vector<uint8_t> header = Header(format, static_cast<uint32_t>(rate), 0);
  if (fwrite(header.data(), 1, header.size(), wav->file) != header.size()) write_failed_ = true;
  sample_rate_ = static_cast<uint32_t>(rate);
  char text[96];
  snprintf(text, sizeof text, "%ld Hz, %s WAV, stereo", rate,
           format == SampleFormat::kPcm16   ? "16-bit"
           : format == SampleFormat::kPcm24 ? "24-bit"
                                            : "32-bit float");
  description_ = text;
  return true;
}

bool AudioFileWriter::Write(const float* left, const float* right, int frames) {
  auto* wav = static_cast<WavFile*>(file_);
  if (!wav || !wav->file || write_failed_ || frames < 0) return false;
  const size_t sample_bytes = static_cast<size_t>(BytesPerSample(wav->format));
  std::vector<uint8_t> bytes(static_cast<size_t>(frames) * 2 * sample_bytes);
  uint8_t* out = bytes.data();
  for (int i = 0; i < frames; ++i) {
    for (float v : {left[i], right[i]}) {
      if (!std::isfinite(v)) v = 0.0f;
      uint32_t word;
      if (wav->format == SampleFormat::kFloat32) {
        memcpy(&word, &v, 4);
      } else {
        // Integer samples clip instead of wrapping around.
        const double clipped = std::clamp(static_cast<double>(v), -1.0, 1.0);
        const double full_scale = wav->format == SampleFormat::kPcm16 ? 32767.0 : 8388607.0;
        word = static_cast<uint32_t>(static_cast<int32_t>(std::lrint(clipped * full_scale)));
      }
      for (size_t k = 0; k < sample_bytes; ++k)
        out[k] = static_cast<uint8_t>(word >> (8 * k));  // little-endian
      out += sample_bytes;
    }
  }
  if (fwrite(bytes.data(), 1, bytes.size(), wav->file) != bytes.size() ||
      wav->data_bytes + bytes.size() > 0xFFFFFF00u) {
    write_failed_ = true;
    return false;
  }
  wav->data_bytes += static_cast<uint32_t>(bytes.size());
  return true;
}

bool AudioFileWriter::Close(std::string& error) {
  auto* wav = static_cast<WavFile*>(file_);
  if (!wav || !wav->file) {
    error = "cannot write " + path_;
    return false;
  }
  const std::vector<uint8_t> header = Header(wav->format, sample_rate_, wav->data_bytes);
  bool ok = !write_failed_ && fseek(wav->file, 0, SEEK_SET) == 0 &&
            fwrite(header.data(), 1, header.size(), wav->file) == header.size();
  ok = fclose(wav->file) == 0 && ok;
  wav->file = nullptr;
  if (!ok) {
    error = "cannot write " + path_ + " (disk full?)";
    return false;
  }
  return staged_.Commit(error);
}

}  // namespace vsthost
