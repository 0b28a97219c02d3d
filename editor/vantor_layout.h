// The instrument editor's layout: its bitmaps, and where each control sits with which bitmap and
// parameter. The instrument builds its editor from these tables and the artwork generator draws
// the panel around them, so the two cannot drift apart.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "editor/editor_types.h"
#include "editor/zoom.h"
#include "engine/param_ids.h"

namespace vantor::layout {

inline constexpr int kWidth = 924;
inline constexpr int kHeight = 456;

enum BitmapSlot : int {
  kSlotBack,
  kSlotAltBack,
  kSlotHandle,
  kSlotButton,
  kSlotKnob,
  kSlotSwitch2,
  kSlotSwitch3,
  kSlotSwitch4,
  kSlotSwitch3A,
  kSlotSwitch4A,
  kSlotLedOn,
  kSlotLearn,
  kSlotUnlearn,
  kSlotPrevious,
  kSlotNext,
  kNumSlots
};

struct BitmapSpec {
  int resource;      // identifier of the embedded image
  const char* file;  // its file in the source tree
  int width;
  int height;
  int frames;  // stacked top to bottom
};

inline constexpr BitmapSpec kBitmaps[kNumSlots] = {
    {101, "resources/img/background.png", 924, 456, 1},
    {102, "resources/img/background_alt.png", 924, 456, 1},
    {103, "resources/img/handle.png", 20, 20, 1},
    {104, "resources/img/button.png", 20, 40, 2},
    {105, "resources/img/knob_seq.png", 24, 1128, 47},
    {106, "resources/img/switch2.png", 20, 40, 2},
    {107, "resources/img/switch3.png", 20, 90, 3},
    {108, "resources/img/switch4.png", 20, 160, 4},
    {109, "resources/img/switch3A.png", 30, 90, 3},
    {110, "resources/img/switch4A.png", 30, 120, 4},
    {111, "resources/img/led_on.png", 12, 12, 1},
    {112, "resources/img/midilearn.png", 64, 40, 2},
    {113, "resources/img/midiunlearn.png", 64, 40, 2},
    {114, "resources/img/prev.png", 16, 40, 2},
    {115, "resources/img/next.png", 16, 40, 2},
};

// The image of a slot drawn for a zoom (kZoomPercents), embedded beside the 100% one: its
// identifier is 100 above the slot's at 150% and 200 above at 200%, its file
// "name@1.5x.png" or "name@2x.png".
constexpr int ZoomedResource(int resource, int percent) {
  return resource + (percent - 100) * 2;
}
inline std::string ZoomedFile(const std::string& file, int percent) {
  if (percent == 100) return file;
  const size_t dot = file.rfind('.');
  return file.substr(0, dot) + "@" + ZoomFactorText(percent) + "x" + file.substr(dot);
}

// Identifiers of the special controls, kept in the parameter-index field.
inline constexpr int32_t kPreviousProgramId = -113;
inline constexpr int32_t kNextProgramId = -114;
inline constexpr int32_t kMidiLearnId = -116;
inline constexpr int32_t kOptionMenuId = -117;

// The special controls of the bottom bar.
inline constexpr Rect kProgramDisplay{102, 422, 318, 438};
inline constexpr Rect kProgramNumberField{102, 422, 134, 438};
inline constexpr Rect kProgramNameField{156, 422, 318, 436};
inline constexpr Rect kPreviousProgram{84, 420, 100, 440};
inline constexpr Rect kNextProgram{136, 420, 152, 440};
inline constexpr Rect kOptionMenu{55, 420, 75, 440};
inline constexpr Rect kMidiLearn{576, 420, 640, 440};
inline constexpr Rect kMonoLamp{648, 416, 660, 428};
inline constexpr Rect kPolyLamp{648, 432, 660, 444};
inline constexpr Rect kPolyphonySwitch{336, 416, 356, 446};
inline constexpr Rect kSplitPoint{426, 420, 458, 440};
inline constexpr Rect kEnsembleModeSwitch{518, 420, 538, 440};
inline constexpr Rect kInfoLine{736, 423, 904, 439};
inline constexpr Rect kLogoRegion{48, 16, 192, 96};

enum class Kind { Fader, Knob, Switch, SwitchFrames };

// One control bound to a parameter.
struct ParamControl {
  Kind kind;
  Rect rect;
  int slot;
  int param;
  double gearing = 1.0;  // knobs: 1 / the value change per control height of mouse travel
};

// In drawing and hit order, after the special controls.
inline constexpr ParamControl kParamControls[] = {
    {Kind::Fader, {44, 236, 64, 292}, kSlotHandle, kBank1Volume},
    {Kind::Fader, {72, 236, 92, 292}, kSlotHandle, kBank1Tune},
    {Kind::Fader, {100, 236, 120, 292}, kSlotHandle, kBank1Fm},
    {Kind::Fader, {128, 236, 148, 292}, kSlotHandle, kBank1Pw},
    {Kind::Fader, {156, 236, 176, 292}, kSlotHandle, kBank1Pwm},
    {Kind::Switch, {213, 246, 233, 266}, kSlotButton, kBank1Saw16},
    {Kind::Switch, {233, 246, 253, 266}, kSlotButton, kBank1Saw8},
    {Kind::Switch, {253, 246, 273, 266}, kSlotButton, kBank1Saw4},
    {Kind::Switch, {213, 266, 233, 286}, kSlotButton, kBank1Pulse16},
    {Kind::Switch, {233, 266, 253, 286}, kSlotButton, kBank1Pulse8},
    {Kind::Switch, {253, 266, 273, 286}, kSlotButton, kBank1Pulse4},
    {Kind::Fader, {44, 332, 64, 388}, kSlotHandle, kBank2Volume},
    {Kind::Fader, {72, 332, 92, 388}, kSlotHandle, kBank2Tune},
    {Kind::Fader, {100, 332, 120, 388}, kSlotHandle, kBank2Fm},
    {Kind::Fader, {128, 332, 148, 388}, kSlotHandle, kBank2Pw},
    {Kind::Fader, {156, 332, 176, 388}, kSlotHandle, kBank2Pwm},
    {Kind::Switch, {213, 342, 233, 362}, kSlotButton, kBank2Saw16},
    {Kind::Switch, {233, 342, 253, 362}, kSlotButton, kBank2Saw8},
    {Kind::Switch, {253, 342, 273, 362}, kSlotButton, kBank2Saw4},
    {Kind::Switch, {213, 362, 233, 382}, kSlotButton, kBank2Pulse16},
    {Kind::Switch, {233, 362, 253, 382}, kSlotButton, kBank2Pulse8},
    {Kind::Switch, {253, 362, 273, 382}, kSlotButton, kBank2Pulse4},
    {Kind::Fader, {302, 236, 322, 292}, kSlotHandle, kPolyFmSpeed},
    {Kind::Fader, {330, 236, 350, 292}, kSlotHandle, kPolyPwmSpeed},
    {Kind::SwitchFrames, {298, 345, 318, 375}, kSlotSwitch3, kAmpEnvelope},
    {Kind::Fader, {338, 332, 358, 388}, kSlotHandle, kVelocityToAmpAm},
    {Kind::SwitchFrames, {382, 250, 402, 290}, kSlotSwitch4, kFilterMode},
    {Kind::Fader, {452, 236, 472, 292}, kSlotHandle, kFilterCutoff},
    {Kind::Fader, {480, 236, 500, 292}, kSlotHandle, kFilterResonance},
    {Kind::Fader, {514, 236, 534, 292}, kSlotHandle, kEnvToFilterFm},
    {Kind::Fader, {542, 236, 562, 292}, kSlotHandle, kKeyboardToFilterFm},
    {Kind::Fader, {570, 236, 590, 292}, kSlotHandle, kVelocityToFilterFm},
    {Kind::Switch, {606, 256, 626, 276}, kSlotSwitch2, kFilterEnvelope},
    {Kind::Switch, {660, 256, 680, 276}, kSlotSwitch2, kGlobalEnvTrigger},
    {Kind::Fader, {690, 236, 710, 292}, kSlotHandle, kGlobalEnvAttack},
    {Kind::Fader, {718, 236, 738, 292}, kSlotHandle, kGlobalEnvDecay},
    {Kind::Fader, {746, 236, 766, 292}, kSlotHandle, kGlobalEnvSustain},
    {Kind::Fader, {774, 236, 794, 292}, kSlotHandle, kGlobalEnvRelease},
    {Kind::Fader, {818, 236, 838, 292}, kSlotHandle, kVoiceEnvAttack},
    {Kind::Fader, {846, 236, 866, 292}, kSlotHandle, kVoiceEnvDecay},
    {Kind::Switch, {880, 256, 900, 276}, kSlotSwitch2, kVoiceEnvSustain},
    {Kind::Switch, {394, 354, 414, 374}, kSlotButton, kResonators},
    {Kind::SwitchFrames, {436, 345, 456, 375}, kSlotSwitch3, kResonator1Mode},
    {Kind::Fader, {496, 332, 516, 388}, kSlotHandle, kResonator1Frequency},
    {Kind::Fader, {524, 332, 544, 388}, kSlotHandle, kResonator1Resonance},
    {Kind::Fader, {552, 332, 572, 388}, kSlotHandle, kResonator1Volume},
    {Kind::SwitchFrames, {602, 345, 622, 375}, kSlotSwitch3, kResonator2Mode},
    {Kind::Fader, {662, 332, 682, 388}, kSlotHandle, kResonator2Frequency},
    {Kind::Fader, {690, 332, 710, 388}, kSlotHandle, kResonator2Resonance},
    {Kind::Fader, {718, 332, 738, 388}, kSlotHandle, kResonator2Volume},
    {Kind::SwitchFrames, {770, 345, 790, 375}, kSlotSwitch3, kResonator3Mode},
    {Kind::Fader, {830, 332, 850, 388}, kSlotHandle, kResonator3Frequency},
    {Kind::Fader, {858, 332, 878, 388}, kSlotHandle, kResonator3Resonance},
    {Kind::Fader, {886, 332, 906, 388}, kSlotHandle, kResonator3Volume},
    {Kind::Fader, {44, 132, 64, 188}, kSlotHandle, kVcoPortamento},
    {Kind::Knob, {74, 149, 104, 179}, kSlotSwitch4A, kVcoOctave, 1.0},
    {Kind::Fader, {112, 132, 132, 188}, kSlotHandle, kVcoTranspose},
    {Kind::Fader, {140, 132, 160, 188}, kSlotHandle, kVcoTune},
    {Kind::Fader, {168, 132, 188, 188}, kSlotHandle, kVcoFm},
    {Kind::Knob, {198, 149, 228, 179}, kSlotSwitch3A, kVcoWaveform, 1.0},
    {Kind::Fader, {236, 132, 256, 188}, kSlotHandle, kVcoPw},
    {Kind::Fader, {264, 132, 284, 188}, kSlotHandle, kVcoPwm},
    {Kind::Fader, {306, 132, 326, 188}, kSlotHandle, kVcoToVcf},
    {Kind::Fader, {334, 132, 354, 188}, kSlotHandle, kSubOscToVcf},
    {Kind::Fader, {362, 132, 382, 188}, kSlotHandle, kNoiseToVcf},
    {Kind::Fader, {390, 132, 410, 188}, kSlotHandle, kPolyToPoly},
    {Kind::Fader, {426, 132, 446, 188}, kSlotHandle, kVcfCutoff},
    {Kind::Fader, {454, 132, 474, 188}, kSlotHandle, kVcfResonance},
    {Kind::Fader, {490, 132, 510, 188}, kSlotHandle, kEnvToVcfFm},
    {Kind::Fader, {518, 132, 538, 188}, kSlotHandle, kKeyToVcfFm},
    {Kind::Fader, {546, 132, 566, 188}, kSlotHandle, kVelocityToVcfFm},
    {Kind::Fader, {574, 132, 594, 188}, kSlotHandle, kLfoToVcfFm},
    {Kind::SwitchFrames, {616, 145, 636, 175}, kSlotSwitch3, kVcaEnvelope},
    {Kind::Fader, {656, 132, 676, 188}, kSlotHandle, kVelocityToVcaAm},
    {Kind::Switch, {702, 152, 722, 172}, kSlotSwitch2, kMonoEnvTrigger},
    {Kind::Fader, {730, 132, 750, 188}, kSlotHandle, kMonoEnvAttack},
    {Kind::Fader, {754, 132, 774, 188}, kSlotHandle, kMonoEnvDecay},
    {Kind::Fader, {778, 132, 798, 188}, kSlotHandle, kMonoEnvSustain},
    {Kind::Fader, {802, 132, 822, 188}, kSlotHandle, kMonoEnvRelease},
    {Kind::Knob, {845, 149, 875, 179}, kSlotSwitch4A, kLfoWaveform, 1.0},
    {Kind::Fader, {887, 132, 907, 188}, kSlotHandle, kLfoSpeed},
    {Kind::Switch, {204, 36, 224, 56}, kSlotButton, kMonoLower},
    {Kind::Switch, {204, 56, 224, 76}, kSlotButton, kPolyLower},
    {Kind::Switch, {256, 36, 276, 56}, kSlotButton, kMonoUpper},
    {Kind::Switch, {256, 56, 276, 76}, kSlotButton, kPolyUpper},
    {Kind::SwitchFrames, {302, 36, 322, 76}, kSlotSwitch4, kMonoPitchbendRange},
    {Kind::SwitchFrames, {334, 36, 354, 76}, kSlotSwitch4, kPolyPitchbendRange},
    {Kind::Fader, {372, 28, 392, 84}, kSlotHandle, kModWheelToMonoFm},
    {Kind::Fader, {400, 28, 420, 84}, kSlotHandle, kModWheelToMonoVcf},
    {Kind::Fader, {442, 28, 462, 84}, kSlotHandle, kModWheelToPolyFm},
    {Kind::Switch, {494, 36, 514, 56}, kSlotButton, kMonoToEnsemble},
    {Kind::Switch, {494, 56, 514, 76}, kSlotButton, kPolyToEnsemble},
    {Kind::SwitchFrames, {565, 43, 585, 73}, kSlotSwitch3, kPhaser},
    {Kind::Fader, {608, 28, 628, 84}, kSlotHandle, kPhaserManual},
    {Kind::Fader, {636, 28, 656, 84}, kSlotHandle, kPhaserFeedback},
    {Kind::Fader, {664, 28, 684, 84}, kSlotHandle, kPhaserModSpeed},
    {Kind::Fader, {692, 28, 712, 84}, kSlotHandle, kPhaserModAmount},
    {Kind::Fader, {720, 28, 740, 84}, kSlotHandle, kPhaserMix},
    {Kind::Knob, {766, 46, 790, 70}, kSlotKnob, kMonoVolume, 4.0},
    {Kind::Knob, {804, 46, 828, 70}, kSlotKnob, kPolyVolume, 4.0},
    {Kind::Switch, {845, 48, 865, 68}, kSlotButton, kSoftClipping},
    {Kind::Knob, {878, 46, 902, 70}, kSlotKnob, kMainVolume, 4.0},
};

// The special controls that show a parameter, beside those of kParamControls.
inline constexpr int kPolyphonySwitchSlot = kSlotSwitch3;
inline constexpr int kEnsembleModeSwitchSlot = kSlotSwitch2;

}  // namespace vantor::layout
