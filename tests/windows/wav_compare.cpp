// wav_compare A.wav B.wav TOLERANCE: compares two 32-bit float stereo WAV files sample by sample
// and prints the largest difference; exit code 1 when the lengths differ or it exceeds the
// tolerance, 2 when a file cannot be read.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The samples of the data chunk, when the format chunk says IEEE float, 32 bits.
bool ReadFloatWav(const char* path, std::vector<float>* samples, int* channels) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  fclose(file);
  if (bytes.size() < 12 || memcmp(bytes.data(), "RIFF", 4) || memcmp(bytes.data() + 8, "WAVE", 4))
    return false;
  bool is_float = false;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const uint32_t size = Le32(&bytes[at + 4]);
    const size_t body = at + 8;
    if (size > bytes.size() - body) return false;
    if (!memcmp(&bytes[at], "fmt ", 4) && size >= 16) {
      is_float = (bytes[body] | (bytes[body + 1] << 8)) == 3 && bytes[body + 14] == 32;
      *channels = bytes[body + 2] | (bytes[body + 3] << 8);
    } else if (!memcmp(&bytes[at], "data", 4)) {
      if (!is_float) return false;
      samples->resize(size / 4);
      memcpy(samples->data(), &bytes[body], samples->size() * 4);
      return true;
    }
    at = body + size + (size & 1);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: wav_compare A.wav B.wav TOLERANCE\n");
    return 2;
  }
  std::vector<float> a, b;
  int channels_a = 0, channels_b = 0;
  if (!ReadFloatWav(argv[1], &a, &channels_a) || !ReadFloatWav(argv[2], &b, &channels_b)) {
    fprintf(stderr, "wav_compare: both files must be 32-bit float WAV files\n");
    return 2;
  }
  if (a.size() != b.size() || channels_a != channels_b) {
    printf("lengths differ: %zu and %zu samples\n", a.size(), b.size());
    return 1;
  }
  double largest = 0.0, sum_squares = 0.0, peak = 0.0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = std::fabs(static_cast<double>(a[i]) - b[i]);
    largest = std::fmax(largest, d);
    sum_squares += d * d;
    peak = std::fmax(peak, std::fabs(static_cast<double>(a[i])));
  }
  const double tolerance = atof(argv[3]);
  printf("%zu samples, peak %.6f: largest difference %.3g, RMS difference %.3g (tolerance %g)\n",
         a.size(), peak, largest, a.empty() ? 0.0 : std::sqrt(sum_squares / a.size()), tolerance);
  return largest <= tolerance && peak > 0.0 ? 0 : 1;
}
