// PluginParam: declaration, normalised mapping and display texts.
#include "core/plugin_param.h"

#include "core/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace vantor {

size_t Utf8PrefixLength(const char* text, size_t length, size_t max_bytes) {
  if (length <= max_bytes) return length;
  // The byte after the cut continues a character that began before it: cut before that
  // character instead. A character has at most three continuation bytes; stray ones in text
  // that is not UTF-8 are not chased further.
  size_t n = max_bytes;
  for (int back = 0; back < 3 && n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80;
       ++back) {
    --n;
  }
  if ((static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) return max_bytes;
  return n;
}

std::string Utf8Prefix(const std::string& text, size_t max_bytes) {
  return text.substr(0, Utf8PrefixLength(text.data(), text.size(), max_bytes));
}

void CopyString(char* dest, const char* src, int dest_size) {
  if (dest_size <= 0) return;
  if (!src) src = "";
  const size_t limit = static_cast<size_t>(dest_size - 1);
  // One byte past the limit tells whether there is more to cut.
  const size_t n = Utf8PrefixLength(src, strnlen(src, limit + 1), limit);
  memcpy(dest, src, n);
  dest[n] = '\0';
}

void PluginParam::DefineContinuous(const char* name, double default_value, double minimum,
                                   double maximum, double step, const char* label, double shape) {
  if (kind_ == ParamKind::None) kind_ = ParamKind::Continuous;
  CopyString(name_, name, kNameSize);
  CopyString(label_, label, kNameSize);
  group_[0] = '\0';
  minimum_ = minimum;
  value_ = default_value;
  step_ = step;
  default_ = default_value;
  maximum_ = std::max(maximum, minimum + step);
  // Decimals follow the step: 0.01 gives two; never more than six.
  int p = 0;
  double s = step;
  while (s != std::floor(s)) {
    ++p;
    s *= 10.0;
    if (p > 5) break;
  }
  display_precision_ = p;
  if (shape != 0.0) shape_ = shape;
}

void PluginParam::DefineEnumerated(const char* name, int default_value, int count,
                                   const char* const* texts) {
  if (kind_ == ParamKind::None) kind_ = ParamKind::Enumerated;
  DefineContinuous(name, default_value, 0.0, count - 1, 1.0, "", 1.0);
  for (int i = 0; i < count; ++i) {
    ParamDisplayText entry;
    entry.value = i;
    CopyString(entry.text, texts[i], sizeof entry.text);
    display_texts_.push_back(entry);
  }
}

double PluginParam::FromNormalized(double x) const {
  return minimum_ + (maximum_ - minimum_) * std::pow(x, shape_);
}

void PluginParam::SetFromNormalized(double x) {
  double v = FromNormalized(x);
  if (kind_ != ParamKind::Continuous) v = std::floor(v / step_ + 0.5) * step_;
  value_ = std::min(v, maximum_);  // no lower clamp, as hosts have always seen it
}

double PluginParam::ToNormalized(double v) const {
  v = Clamp(v);
  return std::pow((v - minimum_) / (maximum_ - minimum_), 1.0 / shape_);
}

const char* PluginParam::FindDisplayText(double v) const {
  if (display_texts_.empty() || !std::isfinite(v) || std::fabs(v) > 2e9) return nullptr;
  const int key = static_cast<int>(v);
  for (const ParamDisplayText& entry : display_texts_) {
    if (entry.value == key) return entry.text[0] ? entry.text : nullptr;
  }
  return nullptr;
}

void PluginParam::GetDisplayText(double v, bool is_normalised, char* out, int out_size,
                                 bool with_display_texts) const {
  if (out_size <= 0) return;
  if (is_normalised) v = FromNormalized(v);
  if (display_function_) {
    display_function_(v, out, out_size);
    return;
  }
  if (with_display_texts) {
    if (const char* text = FindDisplayText(v)) {
      CopyString(out, text, out_size);
      return;
    }
  }
  if (negate_display_) v = -v;
  if (display_precision_ > 0) {
    FormatFixed(v, display_precision_, out, static_cast<size_t>(out_size));
  } else {
    // Truncation toward zero; values beyond int range are shown rather than overflowed.
    double t = std::trunc(v);
    if (std::fabs(t) < 2e9) {
      snprintf(out, static_cast<size_t>(out_size), "%d", static_cast<int>(t));
    } else {
      FormatFixed(t, 0, out, static_cast<size_t>(out_size));
    }
  }
}

std::string PluginParam::DisplayText() const {
  char text[64];
  GetDisplayText(value_, false, text, sizeof text);
  return text;
}

const char* PluginParam::GetUnitLabel() const {
  return FindDisplayText(value_) ? "" : label_;
}

}  // namespace vantor
