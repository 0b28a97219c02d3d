// Draws the editor's fifteen bitmaps. Every control's slot, scale and label is placed from the
// editor layout itself, so the artwork follows the layout wherever a control moves.
//
// Each bitmap is drawn at every zoom the editor offers, from the same drawing: name.png at
// 100%, name@1.5x.png and name@2x.png.
//
//   artwork OUTPUT_FOLDER [FONT_FOLDER]
#include <algorithm>
#include <cstdio>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "editor/vantor_layout.h"
#include "tools/artwork/painter.h"

namespace vantor::artwork {
namespace {

using layout::Kind;
using layout::ParamControl;

// ---- Fonts

// Sizes are pixels per em (the hinted faces snap to whole pixels). What a player reads at a
// glance, the labels under the controls, the positions of switches and the captions of the
// bottom bar, is 9 pixels with capitals of 7; the labels of a row of faders 28 pixels apart
// take the regular condensed face, which fits them side by side.
struct Fonts {
  std::unique_ptr<Font> logo, title, label, small, legend, legend_small, caption, band, button;
  // The legend at 100%, by whose width a choice of size is made, so that every zoom makes the
  // same choice.
  std::unique_ptr<Font> legend_at_100;
};

std::optional<Fonts> OpenFonts(const std::string& folder, float scale) {
  const std::string bold = folder + "/DejaVuSans-Bold.ttf";
  const std::string condensed_bold = folder + "/DejaVuSansCondensed-Bold.ttf";
  const std::string condensed = folder + "/DejaVuSansCondensed.ttf";
  Fonts f;
  f.logo = Font::Open(bold, 25.0f, scale);
  f.title = Font::Open(bold, 9.0f, scale);
  f.label = Font::Open(condensed, 9.0f, scale);
  f.small = Font::Open(condensed_bold, 8.0f, scale);
  f.legend = Font::Open(condensed, 9.0f, scale);
  f.legend_small = Font::Open(condensed, 8.0f, scale);
  f.caption = Font::Open(condensed_bold, 9.0f, scale);
  f.band = Font::Open(bold, 10.0f, scale);
  f.button = Font::Open(condensed_bold, 9.0f, scale);
  f.legend_at_100 = Font::Open(condensed, 9.0f);
  if (!f.legend_at_100 || !f.logo || !f.title || !f.label || !f.small || !f.legend ||
      !f.legend_small || !f.caption || !f.band || !f.button) {
    fprintf(stderr,
            "artwork: the DejaVu fonts (fonts-dejavu-core, fonts-dejavu-extra) are needed in %s\n",
            folder.c_str());
    return std::nullopt;
  }
  return f;
}

// ---- Colours of the two views

struct Theme {
  Rgba backdrop;  // around the bands
  Rgba band_top, band_bottom;
  Rgba mono_top, mono_bottom;  // the mono section's band
  Rgba strip;                  // the band's label strip at its left edge
  Rgba strip_text;
  Rgba text, mono_text;      // labels
  Rgba rule, mono_rule;      // group rules
  Rgba tick, mono_tick;      // fader and knob scales
  Rgba groove, mono_groove;  // fader slots
  Rgba highlight;            // upper edge of a band
  Rgba logo, logo_accent;
  Rgba bed;    // behind each fader, where the dark caps need a lighter ground
  Rgba plate;  // the resonators' section
  Rgba plate_edge;
};

const Theme kLight = {
    .backdrop = Hex(0x8f8a80),
    .band_top = Hex(0xefece6),
    .band_bottom = Hex(0xdcd8d0),
    .mono_top = Hex(0x2f6d92),
    .mono_bottom = Hex(0x245877),
    .strip = Hex(0x3a3a3c),
    .strip_text = Hex(0xeeeeee),
    .text = Hex(0x2a2a2c),
    .mono_text = Hex(0xf4f7fa),
    .rule = Hex(0x4a4a4c, 0.85f),
    .mono_rule = Hex(0xe8f0f6, 0.8f),
    .tick = Hex(0x4a4a4c, 0.6f),
    .mono_tick = Hex(0xe8f0f6, 0.6f),
    .groove = Hex(0x1c1c1e),
    .mono_groove = Hex(0x0f2433),
    .highlight = Hex(0xffffff, 0.7f),
    .logo = Hex(0x2a2a2c),
    .logo_accent = Hex(0xd2602a),
    .bed = Hex(0x000000, 0.0f),
    .plate = Hex(0x6a5a40, 0.09f),
    .plate_edge = Hex(0x4a4a4c, 0.45f),
};

const Theme kDark = {
    .backdrop = Hex(0x0d0e10),
    .band_top = Hex(0x34373d),
    .band_bottom = Hex(0x27292e),
    .mono_top = Hex(0x23384a),
    .mono_bottom = Hex(0x1a2a38),
    .strip = Hex(0x16171a),
    .strip_text = Hex(0x9aa0a8),
    .text = Hex(0xdedfe2),
    .mono_text = Hex(0xdbe7f0),
    .rule = Hex(0xb8bcc4, 0.7f),
    .mono_rule = Hex(0xb8cfe0, 0.7f),
    .tick = Hex(0xb8bcc4, 0.5f),
    .mono_tick = Hex(0xb8cfe0, 0.5f),
    .groove = Hex(0x0a0a0c),
    .mono_groove = Hex(0x070d13),
    .highlight = Hex(0xffffff, 0.12f),
    .logo = Hex(0xe8e8ea),
    .logo_accent = Hex(0xe0703a),
    .bed = Hex(0x535760),
    .plate = Hex(0xffffff, 0.05f),
    .plate_edge = Hex(0xb8bcc4, 0.35f),
};

// Panel colours of the bottom bar, the same in both views: the program and info displays write
// white on it.
const Rgba kBarTop = Hex(0x25272b);
const Rgba kBarBottom = Hex(0x18191c);
const Rgba kBarText = Hex(0xdcdfe4);
const Rgba kBarCaption = Hex(0xb4b9c2);
const Rgba kDisplay = Hex(0x0b0d10);
const Rgba kLampRed = Hex(0xff3a22);

struct Band {
  const char* name;
  Box box;
  bool mono;
};
constexpr Band kBands[] = {
    {"MAIN", {4, 6, 920, 102}, false},
    {"MONO", {4, 108, 920, 202}, true},
    {"POLY", {4, 208, 920, 400}, false},
};
constexpr Box kBar{4, 404, 920, 452};
constexpr float kStripRight = 38;

// ---- What the panel prints

// Short labels under faders and knobs, by parameter.
const std::map<int, const char*> kLabels = {
    {kBank1Volume, "VOL"},
    {kBank1Tune, "TUNE"},
    {kBank1Fm, "FM"},
    {kBank1Pw, "PW"},
    {kBank1Pwm, "PWM"},
    {kBank2Volume, "VOL"},
    {kBank2Tune, "TUNE"},
    {kBank2Fm, "FM"},
    {kBank2Pw, "PW"},
    {kBank2Pwm, "PWM"},
    {kPolyFmSpeed, "FM"},
    {kPolyPwmSpeed, "PWM"},
    {kVelocityToAmpAm, "VEL"},
    {kFilterCutoff, "FREQ"},
    {kFilterResonance, "RES"},
    {kEnvToFilterFm, "ENV"},
    {kKeyboardToFilterFm, "KEY"},
    {kVelocityToFilterFm, "VEL"},
    {kGlobalEnvAttack, "A"},
    {kGlobalEnvDecay, "D"},
    {kGlobalEnvSustain, "S"},
    {kGlobalEnvRelease, "R"},
    {kVoiceEnvAttack, "A"},
    {kVoiceEnvDecay, "D"},
    {kResonator1Frequency, "FREQ"},
    {kResonator1Resonance, "RES"},
    {kResonator1Volume, "VOL"},
    {kResonator2Frequency, "FREQ"},
    {kResonator2Resonance, "RES"},
    {kResonator2Volume, "VOL"},
    {kResonator3Frequency, "FREQ"},
    {kResonator3Resonance, "RES"},
    {kResonator3Volume, "VOL"},
    {kVcoPortamento, "GLIDE"},
    {kVcoOctave, "OCT"},
    {kVcoTranspose, "TRANS"},
    {kVcoTune, "TUNE"},
    {kVcoFm, "FM"},
    {kVcoWaveform, "WAVE"},
    {kVcoPw, "PW"},
    {kVcoPwm, "PWM"},
    {kVcoToVcf, "VCO"},
    {kSubOscToVcf, "SUB"},
    {kNoiseToVcf, "NOISE"},
    {kPolyToPoly, "POLY"},
    {kVcfCutoff, "FREQ"},
    {kVcfResonance, "RES"},
    {kEnvToVcfFm, "ENV"},
    {kKeyToVcfFm, "KEY"},
    {kVelocityToVcfFm, "VEL"},
    {kLfoToVcfFm, "LFO"},
    {kVelocityToVcaAm, "VEL"},
    {kMonoEnvAttack, "A"},
    {kMonoEnvDecay, "D"},
    {kMonoEnvSustain, "S"},
    {kMonoEnvRelease, "R"},
    {kLfoWaveform, "WAVE"},
    {kLfoSpeed, "RATE"},
    {kModWheelToMonoFm, "M-FM"},
    {kModWheelToMonoVcf, "M-VCF"},
    {kModWheelToPolyFm, "P-FM"},
    {kPhaserManual, "MAN"},
    {kPhaserFeedback, "FEED"},
    {kPhaserModSpeed, "RATE"},
    {kPhaserModAmount, "DEPTH"},
    {kPhaserMix, "MIX"},
    {kMonoVolume, "MONO"},
    {kPolyVolume, "POLY"},
    {kMainVolume, "MAIN"},
    {kSoftClipping, "CLIP"},
    {kResonators, "RESON"},
    {kFilterEnvelope, "ENV"},
    {kGlobalEnvTrigger, "TRIG"},
    {kVoiceEnvSustain, "SUS"},
    {kMonoEnvTrigger, "TRIG"},
    {kMonoPitchbendRange, "MONO"},
    {kPolyPitchbendRange, "POLY"},
};

// Controls that carry no label of their own: the group or the side texts say what they are.
const std::vector<int> kUnlabelled = {
    kBank1Saw16,     kBank1Saw8,      kBank1Saw4,      kBank1Pulse16,   kBank1Pulse8,
    kBank1Pulse4,    kBank2Saw16,     kBank2Saw8,      kBank2Saw4,      kBank2Pulse16,
    kBank2Pulse8,    kBank2Pulse4,    kAmpEnvelope,    kFilterMode,     kResonator1Mode,
    kResonator2Mode, kResonator3Mode, kVcaEnvelope,    kMonoLower,      kPolyLower,
    kMonoUpper,      kPolyUpper,      kMonoToEnsemble, kPolyToEnsemble, kPhaser,
};

// Texts beside the positions of slide switches (first position at the top), and on which side.
struct PositionTexts {
  int param;
  int side;  // -1 left, 1 right
  std::vector<const char*> texts;
};
const std::vector<PositionTexts> kPositionTexts = {
    {kAmpEnvelope, -1, {"VOICE", "GLOB", "GATE"}},    {kFilterMode, -1, {"BYP", "LP", "HP", "BP"}},
    {kResonator1Mode, -1, {"LP", "HP", "BP"}},        {kResonator2Mode, -1, {"LP", "HP", "BP"}},
    {kResonator3Mode, -1, {"LP", "HP", "BP"}},        {kVcaEnvelope, -1, {"ENV", "GATE", "ON"}},
    {kMonoPitchbendRange, -1, {"2", "3", "7", "12"}}, {kPhaser, -1, {"OFF", "1", "2"}},
};

// Two-position toggles: the text for the lever up (on) and down (off).
struct ToggleTexts {
  int param;
  const char* up;
  const char* down;
};
const std::vector<ToggleTexts> kToggleTexts = {
    {kFilterEnvelope, "GLOBAL", "VOICE"},
    {kGlobalEnvTrigger, "MULTI", "SINGLE"},
    {kVoiceEnvSustain, "ON", "OFF"},
    {kMonoEnvTrigger, "MULTI", "SINGLE"},
};

// A titled group: the rule spans its members, widened by `left` and `right` for side texts.
struct Group {
  const char* title;
  std::vector<int> params;
  float left = 0;
  float right = 0;
};
const std::vector<Group> kGroups = {
    {"KEY ASSIGN", {kMonoLower, kPolyLower, kMonoUpper, kPolyUpper}, 2, 2},
    {"BEND", {kMonoPitchbendRange, kPolyPitchbendRange}, 14, 2},
    {"MOD WHEEL", {kModWheelToMonoFm, kModWheelToMonoVcf, kModWheelToPolyFm}, 4, 0},
    {"ENSEMBLE", {kMonoToEnsemble, kPolyToEnsemble}, 20, 24},
    {"PHASER",
     {kPhaser, kPhaserManual, kPhaserFeedback, kPhaserModSpeed, kPhaserModAmount, kPhaserMix},
     22,
     4},
    {"OUTPUT", {kMonoVolume, kPolyVolume, kSoftClipping, kMainVolume}, 6, 6},
    {"VCO", {kVcoOctave, kVcoTranspose, kVcoTune, kVcoFm, kVcoWaveform, kVcoPw, kVcoPwm}, 2, 2},
    {"MIXER", {kVcoToVcf, kSubOscToVcf, kNoiseToVcf, kPolyToPoly}, 2, 2},
    {"VCF",
     {kVcfCutoff, kVcfResonance, kEnvToVcfFm, kKeyToVcfFm, kVelocityToVcfFm, kLfoToVcfFm},
     2,
     -2},
    {"VCA", {kVcaEnvelope, kVelocityToVcaAm}, 20, 2},
    {"ENV",
     {kMonoEnvTrigger, kMonoEnvAttack, kMonoEnvDecay, kMonoEnvSustain, kMonoEnvRelease},
     6,
     2},
    {"LFO", {kLfoWaveform, kLfoSpeed}, 6, 2},
    {"GENERATOR 1",
     {kBank1Volume, kBank1Tune, kBank1Fm, kBank1Pw, kBank1Pwm, kBank1Saw16, kBank1Pulse4},
     2,
     2},
    {"GENERATOR 2",
     {kBank2Volume, kBank2Tune, kBank2Fm, kBank2Pw, kBank2Pwm, kBank2Saw16, kBank2Pulse4},
     2,
     2},
    {"SPEED", {kPolyFmSpeed, kPolyPwmSpeed}, 2, 2},
    {"FILTER",
     {kFilterMode, kFilterCutoff, kFilterResonance, kEnvToFilterFm, kKeyboardToFilterFm,
      kVelocityToFilterFm, kFilterEnvelope},
     20,
     6},
    {"GLOBAL ENV",
     {kGlobalEnvTrigger, kGlobalEnvAttack, kGlobalEnvDecay, kGlobalEnvSustain, kGlobalEnvRelease},
     6,
     2},
    {"VOICE ENV", {kVoiceEnvAttack, kVoiceEnvDecay, kVoiceEnvSustain}, 2, 6},
    {"AMP", {kAmpEnvelope, kVelocityToAmpAm}, 17, 2},
    {"RESONATOR 1",
     {kResonator1Mode, kResonator1Frequency, kResonator1Resonance, kResonator1Volume},
     18,
     2},
    {"RESONATOR 2",
     {kResonator2Mode, kResonator2Frequency, kResonator2Resonance, kResonator2Volume},
     18,
     2},
    {"RESONATOR 3",
     {kResonator3Mode, kResonator3Frequency, kResonator3Resonance, kResonator3Volume},
     18,
     2},
};

// Every control that shows a parameter, the special ones of the bottom bar included.
std::vector<ParamControl> AllParamControls() {
  std::vector<ParamControl> all(std::begin(layout::kParamControls),
                                std::end(layout::kParamControls));
  all.push_back(
      {Kind::SwitchFrames, layout::kPolyphonySwitch, layout::kPolyphonySwitchSlot, kPolyphony});
  all.push_back(
      {Kind::Switch, layout::kEnsembleModeSwitch, layout::kEnsembleModeSwitchSlot, kEnsembleMode});
  return all;
}

const ParamControl* ControlOf(int param) {
  static const std::vector<ParamControl> all = AllParamControls();
  for (const ParamControl& c : all)
    if (c.param == param) return &c;
  return nullptr;
}

// The labels and the layout must describe the same controls.
bool CheckLabels() {
  bool ok = true;
  for (const ParamControl& c : layout::kParamControls) {
    const bool unlabelled =
        std::find(kUnlabelled.begin(), kUnlabelled.end(), c.param) != kUnlabelled.end();
    if (!kLabels.count(c.param) && !unlabelled) {
      fprintf(stderr, "artwork: the control of parameter %d has no label\n", c.param);
      ok = false;
    }
  }
  auto check = [&](int param) {
    if (!ControlOf(param)) {
      fprintf(stderr, "artwork: parameter %d is labelled but has no control\n", param);
      ok = false;
    }
  };
  for (const auto& [param, text] : kLabels)
    check(param);
  for (const Group& g : kGroups)
    for (int param : g.params)
      check(param);
  return ok;
}

float CentreX(const Rect& r) {
  return (r.left + r.right) * 0.5f;
}
float CentreY(const Rect& r) {
  return (r.top + r.bottom) * 0.5f;
}
bool InMono(const Rect& r) {
  return r.top >= kBands[1].box.top && r.bottom <= kBands[1].box.bottom;
}

// The baseline of the label row under the controls of a row.
float LabelBaseline(const Rect& r) {
  if (r.top < 100) return 94;
  if (r.top < 200) return 198;
  if (r.top < 300) return 302;
  return 397;
}

float TitleBaseline(const Rect& r) {
  if (r.top < 100) return 19;
  if (r.top < 200) return 123;
  if (r.top < 300) return 226;
  return 322;
}

// ---- Legends and their clearances

// Every legend and rule the panel prints, with the box it covers, so that the drawing can be
// checked for texts that run into each other or into a control.
struct Placed {
  std::string what;
  Box box;
};
std::vector<Placed> g_placed;

// Draws `text` as Canvas::Text does and records the box its capitals cover.
float Legend(Canvas& c, Font& font, const std::string& text, float x, float baseline, int align,
             Rgba colour, float tracking = 0.0f) {
  const float w = c.Text(font, text, x, baseline, align, colour, tracking);
  const float left = align == 0 ? x - w * 0.5f : align > 0 ? x - w : x;
  g_placed.push_back({text, {left, baseline - font.CapHeight(), left + w, baseline}});
  return w;
}

bool Overlap(const Box& a, const Box& b, float margin) {
  return a.left < b.right + margin && b.left < a.right + margin && a.top < b.bottom + margin &&
         b.top < a.bottom + margin;
}

// Every control's rectangle, the special ones of the bottom bar included.
std::vector<Rect> ControlRects() {
  std::vector<Rect> all = {
      layout::kProgramNumberField, layout::kProgramNameField,   layout::kPreviousProgram,
      layout::kNextProgram,        layout::kOptionMenu,         layout::kMidiLearn,
      layout::kMonoLamp,           layout::kPolyLamp,           layout::kPolyphonySwitch,
      layout::kSplitPoint,         layout::kEnsembleModeSwitch, layout::kInfoLine};
  for (const ParamControl& c : layout::kParamControls)
    all.push_back(c.rect);
  return all;
}

// Legends keep `spacing` units from each other and stay off every control; false (and a report)
// for each that does not.
bool CheckClearances(float spacing) {
  bool ok = true;
  for (size_t i = 0; i < g_placed.size(); ++i) {
    const Placed& a = g_placed[i];
    for (size_t j = i + 1; j < g_placed.size(); ++j) {
      const Placed& b = g_placed[j];
      if (Overlap(a.box, b.box, spacing)) {
        fprintf(stderr, "artwork: \"%s\" and \"%s\" run into each other\n", a.what.c_str(),
                b.what.c_str());
        ok = false;
      }
    }
    for (const Rect& r : ControlRects()) {
      if (Overlap(a.box, {float(r.left), float(r.top), float(r.right), float(r.bottom)}, 0.0f)) {
        fprintf(stderr, "artwork: \"%s\" lies on the control at %d, %d\n", a.what.c_str(), r.left,
                r.top);
        ok = false;
      }
    }
  }
  return ok;
}

// ---- Pieces of the panel

void DrawBand(Canvas& c, const Band& band, const Theme& t, Fonts& f) {
  const Box b = band.box;
  c.Shadow(
      {b.left, b.top + 1, b.right, b.bottom + 1},
      [&](float x, float y) { return RoundBox(x, y - 1.5f, b.left, b.top, b.right, b.bottom, 5); },
      Hex(0x000000, 0.45f), 3.0f);
  const Rgba top = band.mono ? t.mono_top : t.band_top;
  const Rgba bottom = band.mono ? t.mono_bottom : t.band_bottom;
  c.Fill(
      b, [&](float x, float y) { return RoundBox(x, y, b.left, b.top, b.right, b.bottom, 5); },
      [&](float, float y) { return Mix(top, bottom, (y - b.top) / (b.bottom - b.top)); });
  // A lit upper edge.
  c.FillColour(
      {b.left, b.top, b.right, b.top + 2},
      [&](float x, float y) {
        return RoundBox(x, y, b.left + 3, b.top, b.right - 3, b.top + 1, 0.5f);
      },
      t.highlight);
  // The label strip at the left edge.
  c.FillColour(
      b,
      [&](float x, float y) {
        return std::fmax(RoundBox(x, y, b.left, b.top, b.right, b.bottom, 5), x - kStripRight);
      },
      WithAlpha(t.strip, band.mono ? 0.55f : 0.9f));
  c.TextUpwards(*f.band, band.name, (b.left + kStripRight) * 0.5f, (b.top + b.bottom) * 0.5f,
                t.strip_text, 2.0f);
}

void DrawTitle(Canvas& c, Fonts& f, const char* title, float left, float right, float baseline,
               Rgba text, Rgba rule) {
  const float cx = (left + right) * 0.5f;
  const float w = Legend(c, *f.title, title, cx, baseline, 0, text, 0.8f);
  const float y = baseline - f.title->CapHeight() * 0.5f;
  auto line = [&](float x0, float x1) {
    if (x1 - x0 < 2) return;
    c.FillColour(
        {x0, y - 2, x1, y + 2},
        [&](float x, float py) { return Capsule(x, py, x0, y, x1, y, 1.0f); }, rule);
    g_placed.push_back({std::string("the rule of ") + title, {x0, y - 0.5f, x1, y + 0.5f}});
  };
  line(left, cx - w * 0.5f - 5);
  line(cx + w * 0.5f + 5, right);
  // The ends turn down, where there is a rule to end.
  if (cx - w * 0.5f - 5 - left < 2) return;
  for (float x : {left, right})
    c.FillColour(
        {x - 2, y - 1, x + 2, y + 5},
        [&](float px, float py) { return Capsule(px, py, x, y, x, y + 4, 1.0f); }, rule);
}

// The resonators' section: a plate from their common switch to the end of the band, so that
// the switch reads as part of the three resonators.
void DrawResonatorPlate(Canvas& c, const Theme& t) {
  const Rect button = ControlOf(kResonators)->rect;
  const Box band = kBands[2].box;
  const Box b{button.left - 10.0f, TitleBaseline(button) - 13.0f, band.right, band.bottom};
  auto inside = [&](float x, float y) {
    return std::fmax(RoundBox(x, y, b.left, b.top, b.right + 8, b.bottom + 8, 5),
                     RoundBox(x, y, band.left, band.top, band.right, band.bottom, 5));
  };
  c.FillColour(b, inside, t.plate);
  // Its upper and left edges, engraved.
  c.FillColour(
      {b.left - 1, b.top - 1, b.right, b.bottom},
      [&](float x, float y) {
        return std::fmax(std::fabs(inside(x, y)) - 0.5f,
                         std::fmax(x - (band.right - 4), y - (band.bottom - 4)));
      },
      t.plate_edge);
}

void DrawGroup(Canvas& c, Fonts& f, const Group& g, const Theme& t) {
  Rect span;
  for (int param : g.params)
    span = span.Union(ControlOf(param)->rect);
  const bool mono = InMono(span);
  DrawTitle(c, f, g.title, span.left - g.left, span.right + g.right, TitleBaseline(span),
            mono ? t.mono_text : t.text, mono ? t.mono_rule : t.rule);
}

// The slot a fader's handle runs in, with a scale of eleven ticks.
void DrawFaderSlot(Canvas& c, const Rect& r, const Theme& t) {
  const bool mono = InMono(r);
  const float cx = CentreX(r);
  const float top = r.top + 10.0f;  // the handle's centre at the top of its travel
  const float bottom = r.bottom - 10.0f;
  const Rgba rule = mono ? t.mono_tick : t.tick;
  if (t.bed.a > 0.0f) {
    // A lighter ground the width of the cap along its travel.
    const Rgba bed = mono ? Mix(t.bed, t.mono_top, 0.45f) : t.bed;
    c.Fill(
        {cx - 11, r.top - 1.0f, cx + 11, r.bottom + 1.0f},
        [&](float x, float y) {
          return RoundBox(x, y, cx - 10.5f, r.top - 0.5f, cx + 10.5f, r.bottom + 0.5f, 3);
        },
        [&](float, float y) {
          return Mix(Mix(bed, Hex(0xffffff), 0.08f), bed, (y - r.top) / (r.bottom - r.top));
        });
  }
  for (int i = 0; i <= 10; ++i) {
    const float y = top + (bottom - top) * i / 10.0f;
    const float reach = (i % 5 == 0) ? 10.0f : 8.0f;
    for (float side : {-1.0f, 1.0f}) {
      const float x0 = cx + side * 4.5f;
      const float x1 = cx + side * reach;
      c.FillColour(
          {std::fmin(x0, x1) - 1, y - 1, std::fmax(x0, x1) + 1, y + 1},
          [&](float x, float py) { return Capsule(x, py, x0, y, x1, y, i % 5 == 0 ? 1.1f : 0.8f); },
          rule);
    }
  }
  const Rgba groove = mono ? t.mono_groove : t.groove;
  // An engraved edge: the panel's light catches the slot's lower rim.
  c.FillColour(
      {cx - 4, top - 6, cx + 4, bottom + 8},
      [&](float x, float y) {
        return RoundBox(x, y, cx - 3.5f, top - 5, cx + 3.5f, bottom + 6.5f, 3.5f);
      },
      WithAlpha(t.highlight, t.highlight.a * 0.8f));
  c.Fill(
      {cx - 3, top - 6, cx + 3, bottom + 6},
      [&](float x, float y) {
        return RoundBox(x, y, cx - 2.5f, top - 5, cx + 2.5f, bottom + 5, 2.5f);
      },
      [&](float x, float) {
        return Mix(groove, Mix(groove, Hex(0x606060), 0.5f), (x - cx + 2.5f) / 5.0f);
      });
}

// Ticks around a knob from -135 to 135 degrees.
void DrawKnobScale(Canvas& c, const Rect& r, const Theme& t) {
  const float cx = CentreX(r), cy = CentreY(r);
  for (int i = 0; i <= 10; ++i) {
    const float a = (-135.0f + 27.0f * i) * std::numbers::pi_v<float> / 180.0f;
    const float r0 = 14.5f, r1 = (i % 5 == 0) ? 18.0f : 17.0f;
    const float x0 = cx + r0 * std::sin(a), y0 = cy - r0 * std::cos(a);
    const float x1 = cx + r1 * std::sin(a), y1 = cy - r1 * std::cos(a);
    c.FillColour(
        {std::fmin(x0, x1) - 1, std::fmin(y0, y1) - 1, std::fmax(x0, x1) + 1,
         std::fmax(y0, y1) + 1},
        [&](float x, float y) { return Capsule(x, y, x0, y0, x1, y1, 1.1f); }, t.tick);
  }
}

// The angle of position i of n on a rotary selector, in degrees from the top.
float SelectorAngle(int i, int n) {
  const float spread = n == 3 ? 45.0f : 45.0f;
  return (i - (n - 1) * 0.5f) * spread;
}

// Little pictures of waveforms, centred on (cx, cy), about 10 x 6 pixels.
enum class Wave { Triangle, Saw, Square, SampleHold, Pulse, Sine };
void DrawWave(Canvas& c, Wave wave, float cx, float cy, Rgba colour) {
  std::vector<std::pair<float, float>> p;  // in units of the icon: x -1 .. 1, y -1 (top) .. 1
  switch (wave) {
    case Wave::Triangle:
      p = {{-1, 1}, {-0.5f, -1}, {0.5f, 1}, {1, 0}};
      break;
    case Wave::Saw:
      p = {{-1, 1}, {0, -1}, {0, 1}, {1, -1}, {1, 1}};
      break;
    case Wave::Square:
      p = {{-1, 1}, {-1, -1}, {0, -1}, {0, 1}, {1, 1}, {1, -1}};
      break;
    case Wave::Pulse:
      p = {{-1, 1},   {-1, -1},   {-0.5f, -1}, {-0.5f, 1},
           {0.3f, 1}, {0.3f, -1}, {0.8f, -1},  {0.8f, 1}};
      break;
    case Wave::SampleHold:
      p = {{-1, 0.3f}, {-0.5f, 0.3f}, {-0.5f, -1},   {0, -1},
           {0, 1},     {0.5f, 1},     {0.5f, -0.3f}, {1, -0.3f}};
      break;
    case Wave::Sine:
      for (int i = 0; i <= 16; ++i) {
        const float x = -1 + i / 8.0f;
        p.push_back({x, -std::sin(x * std::numbers::pi_v<float>)});
      }
      break;
  }
  const float sx = 5.0f, sy = 3.0f;
  for (size_t i = 0; i + 1 < p.size(); ++i) {
    const float ax = cx + p[i].first * sx, ay = cy + p[i].second * sy;
    const float bx = cx + p[i + 1].first * sx, by = cy + p[i + 1].second * sy;
    c.FillColour(
        {std::fmin(ax, bx) - 1, std::fmin(ay, by) - 1, std::fmax(ax, bx) + 1,
         std::fmax(ay, by) + 1},
        [&](float x, float y) { return Capsule(x, y, ax, ay, bx, by, 1.1f); }, colour);
  }
}

void DrawSelectorLegend(Canvas& c, Fonts& f, const ParamControl& k, const Theme& t) {
  const float cx = CentreX(k.rect), cy = CentreY(k.rect);
  const Rgba colour = InMono(k.rect) ? t.mono_text : t.text;
  const int n = k.slot == layout::kSlotSwitch3A ? 3 : 4;
  for (int i = 0; i < n; ++i) {
    const float a = SelectorAngle(i, n) * std::numbers::pi_v<float> / 180.0f;
    const float radius = n == 4 ? 22.0f : 21.0f;
    const float x = cx + radius * std::sin(a), y = cy - radius * std::cos(a);
    if (k.param == kVcoOctave) {
      // Footages in an arc over the knob, clear of the faders close on either side.
      const char* texts[] = {"32'", "16'", "8'", "4'"};
      const float dx[] = {-15.5f, -8.0f, 8.0f, 15.5f};
      const float rise[] = {1.0f, 10.0f, 10.0f, 1.0f};
      Legend(c, *f.legend, texts[i], cx + dx[i], k.rect.top - rise[i], 0, colour);
    } else if (k.param == kVcoWaveform) {
      const Wave waves[] = {Wave::Saw, Wave::Pulse, Wave::Sine};
      DrawWave(c, waves[i], x, y, colour);
    } else {
      const Wave waves[] = {Wave::Triangle, Wave::Saw, Wave::Square, Wave::SampleHold};
      DrawWave(c, waves[i], x, y, colour);
    }
  }
}

// The box a legend would cover, as Legend records it.
Box LegendBox(Font& font, const std::string& text, float x, float baseline, int align) {
  const float w = font.Measure(text);
  const float left = align == 0 ? x - w * 0.5f : align > 0 ? x - w : x;
  return {left, baseline - font.CapHeight(), left + w, baseline};
}

bool ClearOfControls(const Box& box) {
  for (const Rect& r : ControlRects()) {
    if (Overlap(box, {float(r.left), float(r.top), float(r.right), float(r.bottom)}, 1.0f))
      return false;
  }
  return true;
}

// The texts of a switch's positions, at the legend size where the room beside the switch
// allows, else a pixel smaller.
void DrawPositionTexts(Canvas& c, Fonts& f, const PositionTexts& p, Rgba colour) {
  const Rect r = ControlOf(p.param)->rect;
  const int n = static_cast<int>(p.texts.size());
  const float h = static_cast<float>(r.bottom - r.top) / n;
  const float x = p.side < 0 ? r.left - 2.0f : r.right + 2.0f;
  const int align = p.side < 0 ? 1 : -1;
  auto baseline = [&](Font& font, int i) {
    return r.top + (i + 0.5f) * h + font.CapHeight() * 0.5f;
  };
  Font* font = f.legend.get();
  Font& judge = *f.legend_at_100;
  for (int i = 0; i < n; ++i) {
    if (!ClearOfControls(
            LegendBox(judge, p.texts[static_cast<size_t>(i)], x, baseline(judge, i), align)))
      font = f.legend_small.get();
  }
  for (int i = 0; i < n; ++i)
    Legend(c, *font, p.texts[static_cast<size_t>(i)], x, baseline(*font, i), align, colour);
}

void DrawLogo(Canvas& c, Fonts& f, const Theme& t) {
  const Rect r = layout::kLogoRegion;
  const float cx = CentreX(r);
  c.Text(*f.logo, "VANTOR", cx, 57, 0, t.logo, 3.0f);
  c.FillColour(
      {cx - 60, 63, cx + 60, 67},
      [&](float x, float y) { return Capsule(x, y, cx - 58, 65, cx + 58, 65, 2.0f); },
      t.logo_accent);
  c.Text(*f.small, "ENSEMBLE SYNTHESIZER", cx, 78, 0, t.logo, 1.6f);
  c.Text(*f.small, "BRENWICK", cx, 33, 0, WithAlpha(t.logo, 0.75f), 3.0f);
}

void DrawDisplay(Canvas& c, Box b) {
  c.Fill(
      b, [&](float x, float y) { return RoundBox(x, y, b.left, b.top, b.right, b.bottom, 3); },
      [&](float, float y) {
        return Mix(Hex(0x050608), kDisplay, std::fmin((y - b.top) / 5.0f, 1.0f));
      });
  // A faint rim below, as if the glass were set into the panel.
  c.FillColour(
      {b.left, b.bottom - 1, b.right, b.bottom + 1},
      [&](float x, float y) {
        return std::fmax(-RoundBox(x, y, b.left, b.top, b.right, b.bottom, 3),
                         RoundBox(x, y, b.left - 0.5f, b.top, b.right + 0.5f, b.bottom + 1, 3.5f));
      },
      Hex(0xffffff, 0.12f));
}

void DrawBar(Canvas& c, Fonts& f) {
  const float cap = f.legend->CapHeight();
  const Box b = kBar;
  c.Shadow(
      b,
      [&](float x, float y) { return RoundBox(x, y - 1.5f, b.left, b.top, b.right, b.bottom, 5); },
      Hex(0x000000, 0.5f), 3.0f);
  c.Fill(
      b, [&](float x, float y) { return RoundBox(x, y, b.left, b.top, b.right, b.bottom, 5); },
      [&](float, float y) { return Mix(kBarTop, kBarBottom, (y - b.top) / (b.bottom - b.top)); });
  c.FillColour(
      {b.left, b.top, b.right, b.top + 2},
      [&](float x, float y) {
        return RoundBox(x, y, b.left + 3, b.top, b.right - 3, b.top + 1, 0.5f);
      },
      Hex(0xffffff, 0.1f));
  auto caption = [&](const char* text, float cx) {
    Legend(c, *f.caption, text, cx, 414, 0, kBarCaption, 1.0f);
  };

  // Options symbol: three bars on a small key.
  const Rect o = layout::kOptionMenu;
  c.Fill(
      {float(o.left), float(o.top), float(o.right), float(o.bottom)},
      [&](float x, float y) {
        return RoundBox(x, y, o.left + 1, o.top + 1, o.right - 1, o.bottom - 1, 3);
      },
      [&](float, float y) { return Mix(Hex(0x4a4d54), Hex(0x34363b), (y - o.top) / 20.0f); });
  for (int i = -1; i <= 1; ++i) {
    const float y = CentreY(o) + i * 4.0f;
    c.FillColour(
        {o.left + 4.0f, y - 2, o.right - 4.0f, y + 2},
        [&](float x, float py) {
          return Capsule(x, py, o.left + 6.5f, y, o.right - 6.5f, y, 1.6f);
        },
        Hex(0xe6e8ec));
  }
  caption("MENU", CentreX(o));

  caption("PROGRAM", 210);
  const Rect n = layout::kProgramNumberField;
  const Rect m = layout::kProgramNameField;
  DrawDisplay(c, {float(n.left), n.top - 2.0f, float(n.right), n.bottom + 2.0f});
  DrawDisplay(c, {float(m.left), m.top - 2.0f, m.right + 2.0f, m.bottom + 4.0f});

  const Rect v = layout::kPolyphonySwitch;
  caption("VOICES", CentreX(v) + 6);
  const Rect s = layout::kSplitPoint;
  caption("SPLIT", CentreX(s));
  DrawDisplay(c, {float(s.left), float(s.top), float(s.right), float(s.bottom)});
  const Rect e = layout::kEnsembleModeSwitch;
  caption("ENSEMBLE", CentreX(e) + 12);
  Legend(c, *f.legend, "STEREO", e.right + 3.0f, e.top + cap, -1, kBarText);
  Legend(c, *f.legend, "MONO", e.right + 3.0f, e.bottom, -1, kBarText);
  caption("MIDI", CentreX(layout::kMidiLearn));

  // The lamps when off; the lit lamp bitmap covers them.
  for (const Rect& lamp : {layout::kMonoLamp, layout::kPolyLamp}) {
    const float cx = CentreX(lamp), cy = CentreY(lamp);
    c.FillColour(
        {cx - 6, cy - 6, cx + 6, cy + 6},
        [&](float x, float y) { return Circle(x, y, cx, cy, 5.5f); }, Hex(0x0b0b0c));
    c.Fill(
        {cx - 6, cy - 6, cx + 6, cy + 6},
        [&](float x, float y) { return Circle(x, y, cx, cy, 4.2f); },
        [&](float x, float y) {
          return Mix(Hex(0x5a2a26), Hex(0x2a1514),
                     std::fmin(std::hypot(x - cx + 1.5f, y - cy + 1.5f) / 5.0f, 1.0f));
        });
  }
  Legend(c, *f.legend, "MONO", layout::kMonoLamp.right + 4.0f,
         CentreY(layout::kMonoLamp) + cap * 0.5f, -1, kBarText);
  Legend(c, *f.legend, "POLY", layout::kPolyLamp.right + 4.0f,
         CentreY(layout::kPolyLamp) + cap * 0.5f, -1, kBarText);

  const Rect i = layout::kInfoLine;
  DrawDisplay(c, {i.left - 4.0f, i.top - 3.0f, i.right + 4.0f, i.bottom + 3.0f});
}

Canvas Background(const Theme& t, Fonts& f, float s) {
  g_placed.clear();
  const float cap = f.legend->CapHeight();
  Canvas c(layout::kWidth, layout::kHeight, t.backdrop, s);
  c.Fill(
      {0, 0, float(layout::kWidth), float(layout::kHeight)}, [](float, float) { return -1.0f; },
      [&](float, float y) {
        return Mix(t.backdrop, Mix(t.backdrop, Hex(0x000000), 0.25f), y / layout::kHeight);
      });
  for (const Band& band : kBands)
    DrawBand(c, band, t, f);
  DrawBar(c, f);
  DrawResonatorPlate(c, t);
  DrawLogo(c, f, t);
  for (const Group& g : kGroups)
    DrawGroup(c, f, g, t);

  for (const ParamControl& k : layout::kParamControls) {
    const bool mono = InMono(k.rect);
    const Rgba text = mono ? t.mono_text : t.text;
    if (k.kind == Kind::Fader) DrawFaderSlot(c, k.rect, t);
    if (k.kind == Kind::Knob && k.slot == layout::kSlotKnob) DrawKnobScale(c, k.rect, t);
    if (k.kind == Kind::Knob && k.slot != layout::kSlotKnob) DrawSelectorLegend(c, f, k, t);
    if (auto label = kLabels.find(k.param); label != kLabels.end())
      Legend(c, *f.label, label->second, CentreX(k.rect), LabelBaseline(k.rect), 0, text, 0.2f);
  }
  for (const PositionTexts& p : kPositionTexts) {
    const bool mono = InMono(ControlOf(p.param)->rect);
    DrawPositionTexts(c, f, p, mono ? t.mono_text : t.text);
  }
  for (const ToggleTexts& toggle : kToggleTexts) {
    const Rect r = ControlOf(toggle.param)->rect;
    const Rgba text = InMono(r) ? t.mono_text : t.text;
    Legend(c, *f.legend, toggle.up, CentreX(r), r.top - 2.5f, 0, text);
    Legend(c, *f.legend, toggle.down, CentreX(r), r.bottom + cap + 2.5f, 0, text);
  }
  const Rect poly = layout::kPolyphonySwitch;
  PositionTexts voices{kPolyphony, 1, {"12", "32", "61"}};
  DrawPositionTexts(c, f, voices, kBarText);

  // Footage buttons: column feet above, waveforms beside the rows.
  for (int bank : {kBank1Saw16, kBank2Saw16}) {
    const Rect saw16 = ControlOf(bank)->rect;
    const Rect pulse16 = ControlOf(bank + 3)->rect;
    const char* feet[] = {"16'", "8'", "4'"};
    for (int i = 0; i < 3; ++i)
      Legend(c, *f.legend, feet[i], CentreX(ControlOf(bank + i)->rect), saw16.top - 2.5f, 0,
             t.text);
    DrawWave(c, Wave::Saw, saw16.left - 10.0f, CentreY(saw16), t.text);
    DrawWave(c, Wave::Pulse, pulse16.left - 10.0f, CentreY(pulse16), t.text);
  }
  // Key assignment: the two columns and the two rows.
  const Rect ml = ControlOf(kMonoLower)->rect, mu = ControlOf(kMonoUpper)->rect;
  const Rect pl = ControlOf(kPolyLower)->rect;
  Legend(c, *f.legend, "LOWER", CentreX(ml), ml.top - 2.5f, 0, t.text);
  Legend(c, *f.legend, "UPPER", CentreX(mu), mu.top - 2.5f, 0, t.text);
  Legend(c, *f.legend, "MONO", (ml.right + mu.left) * 0.5f, CentreY(ml) + cap * 0.5f, 0, t.text);
  Legend(c, *f.legend, "POLY", (ml.right + mu.left) * 0.5f, CentreY(pl) + cap * 0.5f, 0, t.text);
  // Ensemble routing rows.
  const Rect em = ControlOf(kMonoToEnsemble)->rect, ep = ControlOf(kPolyToEnsemble)->rect;
  Legend(c, *f.legend, "MONO", em.left - 3.0f, CentreY(em) + cap * 0.5f, 1, t.text);
  Legend(c, *f.legend, "POLY", ep.left - 3.0f, CentreY(ep) + cap * 0.5f, 1, t.text);
  (void)poly;
  return c;
}

// ---- The control bitmaps

// A fader cap: dark, ribbed, with a white line across its middle.
Canvas Handle(float s) {
  Canvas c(20, 20, {}, s);
  c.Shadow(
      {1, 1, 19, 19}, [](float x, float y) { return RoundBox(x, y - 1, 2, 2, 18, 18, 2.5f); },
      Hex(0, 0.5f), 2);
  c.Fill(
      {1, 1, 19, 19}, [](float x, float y) { return RoundBox(x, y, 2, 1.5f, 18, 18, 2.5f); },
      [](float, float y) { return Mix(Hex(0x4a4c50), Hex(0x121314), (y - 1.5f) / 16.5f); });
  for (float y : {5.5f, 7.5f, 12.5f, 14.5f})
    c.FillColour(
        {3, y - 1, 17, y + 1}, [y](float x, float py) { return Capsule(x, py, 4, y, 16, y, 0.7f); },
        Hex(0x000000, 0.55f));
  c.FillColour(
      {2, 9, 18, 11}, [](float x, float y) { return Capsule(x, y, 3, 10, 17, 10, 1.6f); },
      Hex(0xf2f2f2));
  c.FillColour(
      {2, 1, 18, 3}, [](float x, float y) { return Capsule(x, y, 4, 2.2f, 16, 2.2f, 0.8f); },
      Hex(0xffffff, 0.35f));
  return c;
}

// A square push button with a lamp window; frame 2 is lit.
Canvas Button(Rgba lit, float s) {
  Canvas c(20, 40, {}, s);
  for (int frame = 0; frame < 2; ++frame) {
    const float o = frame * 20.0f;
    const bool on = frame == 1;
    c.Shadow(
        {2, o + 2, 18, o + 19},
        [o](float x, float y) {
          return RoundBox(x, y - 1, 2.5f, o + 2.5f, 17.5f, o + 17.5f, 2.5f);
        },
        Hex(0, 0.55f), 1.5f);
    c.Fill(
        {2, o + 2, 18, o + 18},
        [o](float x, float y) { return RoundBox(x, y, 2.5f, o + 2.5f, 17.5f, o + 17.5f, 2.5f); },
        [o](float, float y) { return Mix(Hex(0xf4f4f2), Hex(0xb9b9b5), (y - o - 2.5f) / 15.0f); });
    c.FillColour(
        {4, o + 4, 16, o + 8},
        [o](float x, float y) { return RoundBox(x, y, 5, o + 5, 15, o + 8, 1.2f); },
        on ? lit : Hex(0x4a3432));
    if (on)
      c.Shadow(
          {3, o + 3, 17, o + 10},
          [o](float x, float y) { return RoundBox(x, y, 5, o + 5, 15, o + 8, 1.2f); },
          WithAlpha(lit, 0.45f), 2.5f);
    c.FillColour(
        {3, o + 2, 17, o + 4},
        [o](float x, float y) { return Capsule(x, y, 4.5f, o + 3.2f, 15.5f, o + 3.2f, 0.8f); },
        Hex(0xffffff, 0.8f));
  }
  return c;
}

// A black knob with a white pointer, turned over 270 degrees in 47 steps.
Canvas KnobStrip(float s) {
  constexpr int kFrames = 47;
  Canvas c(24, 24 * kFrames, {}, s);
  for (int frame = 0; frame < kFrames; ++frame) {
    const float o = frame * 24.0f;
    const float cx = 12, cy = o + 12;
    c.Shadow(
        {0, o, 24, o + 24}, [&](float x, float y) { return Circle(x, y - 1, cx, cy, 10.5f); },
        Hex(0, 0.6f), 1.5f);
    c.Fill(
        {0, o, 24, o + 24}, [&](float x, float y) { return Circle(x, y, cx, cy, 10.5f); },
        [&](float x, float y) {
          return Mix(Hex(0x3a3c40), Hex(0x0c0c0d),
                     std::fmin(std::fmax(((y - cy) - (x - cx) * 0.3f) / 21.0f + 0.5f, 0.0f), 1.0f));
        });
    c.Fill(
        {0, o, 24, o + 24}, [&](float x, float y) { return Circle(x, y, cx, cy, 8.0f); },
        [&](float, float y) {
          return Mix(Hex(0x2c2e31), Hex(0x17181a),
                     std::fmin(std::fmax((y - cy + 8) / 16.0f, 0.0f), 1.0f));
        });
    const float a = (-135.0f + 270.0f * frame / (kFrames - 1)) * std::numbers::pi_v<float> / 180.0f;
    const float x0 = cx + 3.0f * std::sin(a), y0 = cy - 3.0f * std::cos(a);
    const float x1 = cx + 9.0f * std::sin(a), y1 = cy - 9.0f * std::cos(a);
    c.FillColour(
        {0, o, 24, o + 24}, [&](float x, float y) { return Capsule(x, y, x0, y0, x1, y1, 2.0f); },
        Hex(0xf5f5f5));
  }
  return c;
}

// A bat-handle toggle on a dark plate: frame 1 lever down, frame 2 lever up.
Canvas Toggle(float s) {
  Canvas c(20, 40, {}, s);
  for (int frame = 0; frame < 2; ++frame) {
    const float o = frame * 20.0f;
    const float cx = 10, cy = o + 10;
    auto plate = [&](float x, float y) {
      return RoundBox(x, y, 2.5f, o + 2.5f, 17.5f, o + 17.5f, 3);
    };
    c.Shadow(
        {2, o + 2, 18, o + 18}, [&](float x, float y) { return plate(x, y - 1); }, Hex(0, 0.5f),
        1.5f);
    c.Fill({2, o + 2, 18, o + 18}, plate, [&](float, float y) {
      return Mix(Hex(0x45474c), Hex(0x17181a), (y - o - 2.5f) / 15.0f);
    });
    c.Fill(
        {2, o + 2, 18, o + 18}, [&](float x, float y) { return Circle(x, y, cx, cy, 5.0f); },
        [&](float, float y) { return Mix(Hex(0xe8e8e8), Hex(0x6c6c6c), (y - cy + 5.0f) / 10.0f); });
    c.FillColour(
        {2, o + 2, 18, o + 18}, [&](float x, float y) { return Circle(x, y, cx, cy, 3.0f); },
        Hex(0x151515));
    const float tip = frame == 1 ? cy - 7.5f : cy + 7.5f;
    c.FillColour(
        {3, o, 17, o + 20}, [&](float x, float y) { return Capsule(x, y, cx, cy, cx, tip, 5.6f); },
        Hex(0x101010, 0.85f));
    c.Fill(
        {3, o, 17, o + 20}, [&](float x, float y) { return Capsule(x, y, cx, cy, cx, tip, 4.0f); },
        [&](float x, float) { return Mix(Hex(0xffffff), Hex(0x9a9a9a), (x - cx + 2.0f) / 4.0f); });
  }
  return c;
}

// A vertical slide switch of n positions, frame i with the slider in position i.
Canvas Slide(int n, int frame_height, float s) {
  Canvas c(20, frame_height * n, {}, s);
  const float step = static_cast<float>(frame_height) / n;
  for (int frame = 0; frame < n; ++frame) {
    const float o = frame * float(frame_height);
    c.Fill(
        {3, o, 17, o + frame_height},
        [&](float x, float y) { return RoundBox(x, y, 4, o + 1, 16, o + frame_height - 1, 3); },
        [&](float x, float) { return Mix(Hex(0x0c0c0d), Hex(0x2a2b2e), (x - 4) / 12.0f); });
    const float cy = o + (frame + 0.5f) * step;
    c.Shadow(
        {3, cy - 7, 17, cy + 7},
        [&](float x, float y) { return RoundBox(x, y - 1, 5, cy - 4.2f, 15, cy + 4.2f, 1.5f); },
        Hex(0, 0.7f), 1.5f);
    c.Fill(
        {3, cy - 6, 17, cy + 6},
        [&](float x, float y) { return RoundBox(x, y, 5, cy - 4.2f, 15, cy + 4.2f, 1.5f); },
        [&](float, float y) { return Mix(Hex(0xf0f0ee), Hex(0xa9a9a5), (y - cy + 4.2f) / 8.4f); });
    c.FillColour(
        {5, cy - 1, 15, cy + 1},
        [&](float x, float y) { return Capsule(x, y, 6.5f, cy, 13.5f, cy, 1.2f); }, Hex(0x303030));
  }
  return c;
}

// A fluted selector knob with a pointer at position i of n.
Canvas Selector(int n, float s) {
  Canvas c(30, 30 * n, {}, s);
  for (int frame = 0; frame < n; ++frame) {
    const float o = frame * 30.0f;
    const float cx = 15, cy = o + 15;
    c.Shadow(
        {0, o, 30, o + 30}, [&](float x, float y) { return Circle(x, y - 1.5f, cx, cy, 11.5f); },
        Hex(0, 0.6f), 2);
    // Flutes: the rim scalloped by a cosine of the angle.
    c.Fill(
        {0, o, 30, o + 30},
        [&](float x, float y) {
          const float angle = std::atan2(y - cy, x - cx);
          return Circle(x, y, cx, cy, 11.0f + 0.6f * std::cos(angle * 14.0f));
        },
        [&](float x, float y) {
          return Mix(Hex(0x46484d), Hex(0x0e0e10),
                     std::fmin(std::fmax(((y - cy) - (x - cx) * 0.3f) / 23.0f + 0.5f, 0.0f), 1.0f));
        });
    c.Fill(
        {0, o, 30, o + 30}, [&](float x, float y) { return Circle(x, y, cx, cy, 8.0f); },
        [&](float, float y) { return Mix(Hex(0x34363a), Hex(0x1a1b1d), (y - cy + 8) / 16.0f); });
    const float a = SelectorAngle(frame, n) * std::numbers::pi_v<float> / 180.0f;
    const float x0 = cx + 2.0f * std::sin(a), y0 = cy - 2.0f * std::cos(a);
    const float x1 = cx + 10.5f * std::sin(a), y1 = cy - 10.5f * std::cos(a);
    c.FillColour(
        {0, o, 30, o + 30}, [&](float x, float y) { return Capsule(x, y, x0, y0, x1, y1, 2.4f); },
        Hex(0xf7f7f7));
  }
  return c;
}

Canvas Lamp(float s) {
  Canvas c(12, 12, {}, s);
  c.Shadow(
      {0, 0, 12, 12}, [](float x, float y) { return Circle(x, y, 6, 6, 4.0f); },
      WithAlpha(kLampRed, 0.55f), 2.5f);
  c.Fill(
      {0, 0, 12, 12}, [](float x, float y) { return Circle(x, y, 6, 6, 4.2f); },
      [](float x, float y) {
        return Mix(Hex(0xffd0a0), kLampRed, std::fmin(std::hypot(x - 4.8f, y - 4.8f) / 4.0f, 1.0f));
      });
  return c;
}

// A wide key with its word; frame 2 pressed and lit.
Canvas WordButton(Fonts& f, const char* word, Rgba lit, float s) {
  Canvas c(64, 40, {}, s);
  for (int frame = 0; frame < 2; ++frame) {
    const float o = frame * 20.0f;
    const bool on = frame == 1;
    c.Shadow(
        {1, o + 1, 63, o + 19},
        [o](float x, float y) { return RoundBox(x, y - 1, 1.5f, o + 1.5f, 62.5f, o + 18.5f, 3); },
        Hex(0, 0.6f), 1.5f);
    c.Fill(
        {1, o + 1, 63, o + 19},
        [o](float x, float y) { return RoundBox(x, y, 1.5f, o + 1.5f, 62.5f, o + 18.5f, 3); },
        [&](float, float y) {
          const float t = (y - o - 1.5f) / 17.0f;
          return on ? Mix(Mix(lit, Hex(0xffffff), 0.25f), Mix(lit, Hex(0x000000), 0.25f), t)
                    : Mix(Hex(0x50535a), Hex(0x2e3035), t);
        });
    c.FillColour(
        {2, o + 1, 62, o + 3},
        [o](float x, float y) { return Capsule(x, y, 4, o + 2.3f, 60, o + 2.3f, 0.8f); },
        Hex(0xffffff, on ? 0.5f : 0.25f));
    c.Text(*f.button, word, 32, o + 13.5f, 0, on ? Hex(0x1a0d05) : Hex(0xe4e6ea), 1.2f);
  }
  return c;
}

// A small key with an arrow pointing left (previous) or right (next); frame 2 pressed.
Canvas ArrowButton(int direction, float s) {
  Canvas c(16, 40, {}, s);
  for (int frame = 0; frame < 2; ++frame) {
    const float o = frame * 20.0f;
    const bool down = frame == 1;
    c.Shadow(
        {0, o, 16, o + 20},
        [o](float x, float y) { return RoundBox(x, y - 1, 1, o + 1, 15, o + 19, 3); }, Hex(0, 0.6f),
        1.5f);
    c.Fill(
        {0, o, 16, o + 20},
        [o](float x, float y) { return RoundBox(x, y, 1, o + 1, 15, o + 19, 3); },
        [&](float, float y) {
          const float t = (y - o - 1) / 18.0f;
          return down ? Mix(Hex(0x26282c), Hex(0x3c3f45), t) : Mix(Hex(0x55585f), Hex(0x303237), t);
        });
    const float cx = 8 + (down ? 0.0f : 0.0f), cy = o + 10 + (down ? 1.0f : 0.0f);
    const float d = static_cast<float>(direction);
    const float tipx = cx + 3.0f * d, backx = cx - 2.5f * d;
    c.FillColour(
        {2, o + 3, 14, o + 17},
        [&](float x, float y) {
          return std::fmin(Capsule(x, y, backx, cy - 4, tipx, cy, 2.0f),
                           Capsule(x, y, backx, cy + 4, tipx, cy, 2.0f));
        },
        Hex(0xe8eaee));
  }
  return c;
}

bool Save(const Canvas& c, const std::string& folder, int slot, int percent) {
  const layout::BitmapSpec& desc = layout::kBitmaps[slot];
  std::string name = layout::ZoomedFile(desc.file, percent);
  name = name.substr(name.find_last_of('/') + 1);
  const int width = UnitsToPixels(desc.width, percent);
  const int height = UnitsToPixels(desc.height, percent);
  if (c.width() != width || c.height() != height) {
    fprintf(stderr, "artwork: %s is %d x %d, the layout needs %d x %d\n", name.c_str(), c.width(),
            c.height(), width, height);
    return false;
  }
  const std::string path = folder + "/" + name;
  if (!c.SavePng(path)) {
    fprintf(stderr, "artwork: cannot write %s\n", path.c_str());
    return false;
  }
  printf("%s\n", path.c_str());
  return true;
}

}  // namespace
}  // namespace vantor::artwork

int main(int argc, char** argv) {
  using namespace vantor::artwork;
  using namespace vantor::layout;
  if (argc < 2) {
    fprintf(stderr, "usage: artwork OUTPUT_FOLDER [FONT_FOLDER]\n");
    return 2;
  }
  const std::string out = argv[1];
  const std::string font_folder = argc > 2 ? argv[2] : "/usr/share/fonts/truetype/dejavu";
  if (!CheckLabels()) return 1;
  const Rgba amber = Hex(0xffa030);
  for (const int percent : vantor::kZoomPercents) {
    const float s = percent / 100.0f;
    std::optional<Fonts> fonts = OpenFonts(font_folder, s);
    if (!fonts) return 1;
    const Canvas light = Background(kLight, *fonts, s);
    // Both views place the same legends. The panel is laid out for two pixels between legends
    // at 100%; the hinted text of a larger zoom may take up to half a unit of that, but no
    // legend may touch another at any zoom.
    if (!CheckClearances(percent == 100 ? 2.0f : 1.0f)) return 1;
    auto save = [&](const Canvas& c, int slot) { return Save(c, out, slot, percent); };
    const bool ok = save(light, kSlotBack) && save(Background(kDark, *fonts, s), kSlotAltBack) &&
                    save(Handle(s), kSlotHandle) && save(Button(Hex(0xff4a2a), s), kSlotButton) &&
                    save(KnobStrip(s), kSlotKnob) && save(Toggle(s), kSlotSwitch2) &&
                    save(Slide(3, 30, s), kSlotSwitch3) && save(Slide(4, 40, s), kSlotSwitch4) &&
                    save(Selector(3, s), kSlotSwitch3A) && save(Selector(4, s), kSlotSwitch4A) &&
                    save(Lamp(s), kSlotLedOn) &&
                    save(WordButton(*fonts, "LEARN", amber, s), kSlotLearn) &&
                    save(WordButton(*fonts, "UNLEARN", Hex(0x58b4ff), s), kSlotUnlearn) &&
                    save(ArrowButton(-1, s), kSlotPrevious) && save(ArrowButton(1, s), kSlotNext);
    if (!ok) return 1;
  }
  return 0;
}
