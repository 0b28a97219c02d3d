// Numbers as text without the process locale: std::to_chars and std::from_chars, which never
// consult it, in the shapes printf and strtod give in the "C" locale.
#include "core/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace vantor {
namespace {

// Enough for every double in fixed notation ("-" and 309 digits) with the precision allowed.
constexpr int kMaxPrecision = 40;
constexpr size_t kFixedBufferSize = 320 + kMaxPrecision;

bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Whether a number that from_chars found out of range is too large rather than too small: the
// place of its first significant digit relative to the point, plus its exponent.
bool TooLarge(std::string_view number, bool hex) {
  const size_t exponent_at = number.find_first_of(hex ? "pP" : "eE");
  const std::string_view mantissa = number.substr(0, exponent_at);
  long long exponent = 0;
  if (exponent_at != std::string_view::npos) {
    size_t i = exponent_at + 1;
    const bool negative = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '-' || number[i] == '+')) ++i;
    for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i)
      exponent = std::min(exponent * 10 + (number[i] - '0'), 1'000'000'000LL);
    if (negative) exponent = -exponent;
  }
  const size_t point = std::min(mantissa.find('.'), mantissa.size());
  const size_t first = mantissa.find_first_not_of("0.");
  if (first == std::string_view::npos) return false;
  const long long place = first < point ? static_cast<long long>(point - first)
                                        : -static_cast<long long>(first - point - 1);
  return (hex ? 4 * place : place) + exponent > 0;
}

// The unsigned number at the start of `text` (no white space, no sign); the characters read.
size_t ReadUnsigned(std::string_view text, double* value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  // Hexadecimal needs a digit after "0x" (or a point and a digit); otherwise "0" is the number.
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
      (IsHexDigit(text[2]) || (text[2] == '.' && text.size() > 3 && IsHexDigit(text[3])))) {
    const auto [ptr, ec] = std::from_chars(begin + 2, end, *value, std::chars_format::hex);
    if (ptr != begin + 2) {
      if (ec == std::errc::result_out_of_range) {
        *value = TooLarge(std::string_view(begin + 2, static_cast<size_t>(ptr - begin - 2)), true)
                     ? HUGE_VAL
                     : 0.0;
      }
      return static_cast<size_t>(ptr - begin);
    }
  }
  const auto [ptr, ec] = std::from_chars(begin, end, *value, std::chars_format::general);
  if (ptr == begin) return 0;
  if (ec == std::errc::result_out_of_range) {
    *value =
        TooLarge(std::string_view(begin, static_cast<size_t>(ptr - begin)), false) ? HUGE_VAL : 0.0;
  }
  return static_cast<size_t>(ptr - begin);
}

}  // namespace

void FormatFixed(double value, int precision, char* out, size_t size) {
  if (!out || size == 0) return;
  char text[kFixedBufferSize];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed,
                                       std::clamp(precision, 0, kMaxPrecision));
  const size_t length = ec == std::errc() ? static_cast<size_t>(end - text) : 0;
  const size_t kept = std::min(length, size - 1);
  memcpy(out, text, kept);
  out[kept] = '\0';
}

std::string FixedText(double value, int precision) {
  char text[kFixedBufferSize];
  FormatFixed(value, precision, text, sizeof text);
  return text;
}

size_t ReadLeadingNumber(std::string_view text, double* value) {
  *value = 0.0;
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i]))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // from_chars takes a minus sign of its own, which strtod would not read after the first sign.
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0;
  double magnitude = 0.0;
  const size_t read = ReadUnsigned(text.substr(i), &magnitude);
  if (read == 0) return 0;
  *value = negative ? -magnitude : magnitude;
  return i + read;
}

double LeadingNumber(const char* text) {
  if (!text) return 0.0;
  double value = 0.0;
  ReadLeadingNumber(text, &value);
  return value;
}

}  // namespace vantor
