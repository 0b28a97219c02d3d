// One automatable parameter: its range, mapping to and from normalised values, and display.
#pragma once

#include <string>
#include <vector>

namespace vantor {

enum class ParamKind : int { None = 0, Enumerated = 3, Continuous = 4 };

struct ParamDisplayText {
  int value = 0;
  char text[32] = {};
};

// Formats a value for the host instead of the built-in rules; no parameter of ours sets one.
using DisplayFunction = void (*)(double value, char* out, int out_size);

class PluginParam {
 public:
  static constexpr int kNameSize = 32;

  void DefineContinuous(const char* name, double default_value, double minimum, double maximum,
                        double step, const char* label, double shape);
  // Declares an enumerated parameter over 0 .. count-1 whose value i shows texts[i].
  void DefineEnumerated(const char* name, int default_value, int count, const char* const* texts);

  void SetFromNormalized(double x);
  double ToNormalized() const { return ToNormalized(value_); }
  double ToNormalized(double v) const;
  // Plain value for a normalised one, without quantisation or clamp.
  double FromNormalized(double x) const;

  // Writes the display text of v (normalised or plain) into out (at most out_size bytes).
  void GetDisplayText(double v, bool is_normalised, char* out, int out_size,
                      bool with_display_texts = true) const;
  std::string DisplayText() const;  // of the current value, with display texts
  // Empty when the current value has a display text of its own.
  const char* GetUnitLabel() const;
  // The non-empty display text for value v, or null.
  const char* FindDisplayText(double v) const;

  ParamKind kind() const { return kind_; }
  double value() const { return value_; }
  void set_value(double v) { value_ = v; }
  double minimum() const { return minimum_; }
  double maximum() const { return maximum_; }
  double step() const { return step_; }
  double shape() const { return shape_; }
  double default_value() const { return default_; }
  int display_precision() const { return display_precision_; }
  const char* name() const { return name_; }
  const char* unit_label() const { return label_; }
  const char* group() const { return group_; }
  const std::vector<ParamDisplayText>& display_texts() const { return display_texts_; }
  void set_display_function(DisplayFunction f) { display_function_ = f; }
  bool negate_display() const { return negate_display_; }
  void set_negate_display(bool negate) { negate_display_ = negate; }
  // A value that is not a number (from a damaged file or chunk) becomes the minimum.
  double Clamp(double v) const {
    return !(v >= minimum_) ? minimum_ : (v > maximum_ ? maximum_ : v);
  }

 private:
  DisplayFunction display_function_ = nullptr;
  ParamKind kind_ = ParamKind::None;
  double value_ = 0.0;
  double minimum_ = 0.0;
  double maximum_ = 1.0;
  double step_ = 1.0;
  double shape_ = 1.0;
  double default_ = 0.0;
  int display_precision_ = 0;
  char name_[kNameSize] = {};
  char label_[kNameSize] = {};
  char group_[kNameSize] = {};
  bool negate_display_ = false;
  std::vector<ParamDisplayText> display_texts_;
};

// Copies at most dest_size - 1 bytes of src and always terminates (when dest_size > 0). A cut
// never splits a UTF-8 character.
void CopyString(char* dest, const char* src, int dest_size);

// The length of the longest start of `text` (`length` bytes) of at most `max_bytes` bytes that
// does not end inside a UTF-8 character.
size_t Utf8PrefixLength(const char* text, size_t length, size_t max_bytes);
// `text` cut to at most `max_bytes` bytes on a character boundary.
std::string Utf8Prefix(const std::string& text, size_t max_bytes);

}  // namespace vantor
