// StateChunk: appends grow in 4096-byte steps; reads check the remaining length first.
#include "core/state_chunk.h"

#include <bit>
#include <cstring>

namespace vantor {

static_assert(std::endian::native == std::endian::little,
              "state chunks are little-endian; a big-endian port needs byte swapping here");

void StateChunk::Resize(size_t size) {
  if (size > bytes_.capacity()) {
    bytes_.reserve((size + kGrowStep - 1) / kGrowStep * kGrowStep);
  }
  bytes_.resize(size);
}

void StateChunk::PutBytes(const void* data, size_t size) {
  if (size == 0) return;
  const size_t at = bytes_.size();
  Resize(at + size);
  memcpy(bytes_.data() + at, data, size);
}

void StateChunk::PutInt32(int32_t v) {
  PutBytes(&v, sizeof v);
}
void StateChunk::PutDouble(double v) {
  PutBytes(&v, sizeof v);
}

void StateChunk::PutString(const std::string& s) {
  PutInt32(static_cast<int32_t>(s.size()));
  PutBytes(s.data(), s.size());
}

int StateChunk::GetBytes(void* out, int size, int p) const {
  if (p < 0 || size < 0) return -1;
  if (static_cast<int64_t>(p) + size > static_cast<int64_t>(bytes_.size())) return -1;
  if (size > 0) memcpy(out, bytes_.data() + p, static_cast<size_t>(size));
  return p + size;
}

int StateChunk::GetInt32(int32_t* out, int p) const {
  return GetBytes(out, sizeof *out, p);
}
int StateChunk::GetDouble(double* out, int p) const {
  return GetBytes(out, sizeof *out, p);
}

int StateChunk::GetString(std::string* out, int p) const {
  int32_t length = 0;
  p = GetInt32(&length, p);
  if (p < 0 || length < 0) return -1;
  if (static_cast<int64_t>(p) + length > static_cast<int64_t>(bytes_.size())) return -1;
  if (out)
    out->assign(reinterpret_cast<const char*>(bytes_.data()) + p, static_cast<size_t>(length));
  return p + length;
}

}  // namespace vantor
