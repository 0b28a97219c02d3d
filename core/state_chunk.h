// StateChunk: the growable little-endian byte buffer all serialized state travels in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantor {

class StateChunk {
 public:
  static constexpr size_t kGrowStep = 4096;

  void PutBytes(const void* data, size_t size);
  void PutInt32(int32_t v);
  void PutDouble(double v);
  // int32 length, then the bytes, without terminator.
  void PutString(const std::string& s);

  // Each get reads at position p and returns the position after the value, or -1 when fewer
  // bytes remain (the value is then not read). A position of -1 stays -1.
  int GetBytes(void* out, int size, int p) const;
  int GetInt32(int32_t* out, int p) const;
  int GetDouble(double* out, int p) const;
  // A null `out` skips the string without copying it (nothing is allocated).
  int GetString(std::string* out, int p) const;

  void Clear() { bytes_.clear(); }
  int Size() const { return static_cast<int>(bytes_.size()); }
  bool Empty() const { return bytes_.empty(); }
  const uint8_t* Data() const { return bytes_.data(); }
  uint8_t* Data() { return bytes_.data(); }
  void Resize(size_t size);
  void Assign(const void* data, size_t size) {
    Clear();
    PutBytes(data, size);
  }
  bool operator==(const StateChunk& other) const { return bytes_ == other.bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace vantor
