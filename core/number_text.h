// Numbers as text the same way in every process locale: the decimal point is always '.'.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantor {

// `value` with `precision` digits after the point, as "%.*f" writes it in the "C" locale, cut to
// fit `size` bytes with its terminator.
void FormatFixed(double value, int precision, char* out, size_t size);
std::string FixedText(double value, int precision);

// Reads the number that starts `text` as strtod reads it in the "C" locale: white space, an
// optional sign, then decimal digits with an optional point and exponent, hexadecimal digits
// after "0x", or "inf", "infinity", "nan". Stores it in *value and returns the characters read;
// 0, with *value 0, when no number starts the text. Beyond the range of a double: the infinity
// of its sign, or 0 when it is too small.
size_t ReadLeadingNumber(std::string_view text, double* value);

// The leading number of a C string (0 when there is none or `text` is null), as atof reads it
// in the "C" locale.
double LeadingNumber(const char* text);

}  // namespace vantor
