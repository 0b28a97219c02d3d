// UTF-8 decoding for text drawing.
#include "editor/raster/raster_utf8.h"

#include <cstring>

namespace vantor {
namespace {

bool IsContinuation(const unsigned char* p, const unsigned char* end, int count) {
  if (end - p < count) return false;
  for (int i = 0; i < count; ++i)
    if ((p[i] & 0xc0) != 0x80) return false;
  return true;
}

}  // namespace

char32_t NextTextCharacter(const unsigned char*& p, const unsigned char* end) {
  const unsigned char lead = *p;
  if (lead >= 0xc0 && lead < 0xe0 && IsContinuation(p + 1, end, 1)) {
    const char32_t c = (char32_t{lead & 0x1fu} << 6) | (p[1] & 0x3fu);
    p += 2;
    return c;
  }
  if (lead >= 0xe0 && lead < 0xf0 && IsContinuation(p + 1, end, 2)) {
    const char32_t c =
        (char32_t{lead & 0x0fu} << 12) | (char32_t{p[1] & 0x3fu} << 6) | (p[2] & 0x3fu);
    p += 3;
    return c;
  }
  if (lead >= 0xf0 && lead < 0xf8 && IsContinuation(p + 1, end, 3)) {
    p += 4;
    return U' ';
  }
  ++p;
  return lead;
}

std::u32string DecodeText(const char* text, int length) {
  std::u32string out;
  if (!text) return out;
  const size_t n = length < 0 ? strlen(text) : static_cast<size_t>(length);
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = p + n;
  while (p < end)
    out.push_back(NextTextCharacter(p, end));
  return out;
}

}  // namespace vantor
