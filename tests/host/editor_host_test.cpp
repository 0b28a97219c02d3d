// The instrument's editor driven headless through its VST 2.4 binding: the controls change
// their parameters and tell the host, the program, options and split menus reach the instrument,
// MIDI learn works from the button to the controller, views switch, lamps follow the engine and
// replacement bitmaps from the configuration are used.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/vantor_params.h"
#include "editor/editor_test_support.h"
#include "editor/graphics_headless.h"
#include "editor/raster/raster_png.h"
#include "instrument/vantor.h"
#include "plugin_host.h"
#include "support/test_home.h"

namespace vantor::testing {
namespace {

using namespace vst;
using layout::kBitmaps;

constexpr Rect kCutoffFader{452, 236, 472, 292};
constexpr Rect kMainVolumeKnob{878, 46, 902, 70};
constexpr Rect kOctaveKnob{74, 149, 104, 179};
constexpr Rect kFilterModeSwitch{382, 250, 402, 290};
constexpr Rect kSoftClipButton{845, 48, 865, 68};
// Options menu positions.
constexpr int kCopy = 0, kPaste = 1, kInit = 2, kMidiSettings = 14, kReload = 15, kSwitchView = 18,
              kOnline = 19, kZoom = 20;

std::string ReadConfigFile() {
  std::ifstream in(std::filesystem::path(getenv("XDG_CONFIG_HOME")) / "Brenwick" / "vantor.ini");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class RigVantor : public Vantor {
 public:
  RigVantor() : Vantor(HostCallback) {}
  void CheckForUpdate() override { ++update_checks; }
  int update_checks = 0;
};

// The instrument on the VST binding, talking to the test host, with an open headless editor.
class EditorRig {
 public:
  EditorRig() : scope_(&host) {
    Dispatch(effOpen);
    auto headless = std::make_unique<GraphicsHeadless>(&vantor);
    ui = headless.get();
    vantor.ReplaceGraphics(std::move(headless));
    ui->OpenEditorWindow(nullptr);
    ui->Tick();
    host.Clear();
  }

  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr) {
    AEffect* e = vantor.effect();
    return e->dispatcher(e, opcode, index, value, ptr, 0.0f);
  }
  float Get(int index) { return vantor.effect()->getParameter(vantor.effect(), index); }
  void Set(int index, float value) { vantor.effect()->setParameter(vantor.effect(), index, value); }

  // MIDI through effProcessEvents, then one block rendered so that queued messages act.
  void SendMidi(std::vector<VstMidiEvent> events) {
    std::vector<VstEvent*> pointers;
    for (VstMidiEvent& e : events)
      pointers.push_back(reinterpret_cast<VstEvent*>(&e));
    EventList list(pointers);
    Dispatch(effProcessEvents, 0, 0, list.get());
    Render(1);
  }
  void Render(int blocks) {
    std::vector<float> left(512), right(512);
    float* outputs[2] = {left.data(), right.data()};
    for (int i = 0; i < blocks; ++i)
      vantor.effect()->processReplacing(vantor.effect(), nullptr, outputs, 512);
  }

  void Click(int x, int y, const MouseMods& mods = Left()) {
    ui->HandleMouseDown(x, y, mods);
    ui->HandleMouseUp(x, y, mods);
  }
  void Drag(int x, int y, int x2, int y2, const MouseMods& mods = Left()) {
    ui->HandleMouseDown(x, y, mods);
    ui->HandleMouseDrag((x + x2) / 2, (y + y2) / 2, mods);
    ui->HandleMouseDrag(x2, y2, mods);
    ui->HandleMouseUp(x2, y2, mods);
  }
  // The options menu, answered with `path`; its key lies at 65, 430 in layout units.
  void Option(std::vector<int> path) {
    ui->ChooseNextMenuItem(std::move(path));
    Click(UnitsToPixels(65, ui->zoom()), UnitsToPixels(430, ui->zoom()));
  }
  // The editor's size as the host learns it.
  std::pair<int, int> EditorRect() {
    ERect* rect = nullptr;
    if (!Dispatch(effEditGetRect, 0, 0, &rect) || !rect) return {0, 0};
    return {rect->right - rect->left, rect->bottom - rect->top};
  }
  std::string Info() const { return vantor.editor_parts().info->text(); }
  Control* ControlOf(int param) const {
    for (int i = 0; i < ui->NumControls(); ++i)
      if (ui->GetControl(i)->param_index() == param) return ui->GetControl(i);
    return nullptr;
  }

  // Host calls of one opcode, for one parameter (-1: any).
  std::vector<HostState::Call> Calls(int32_t opcode, int index = -1) const {
    std::vector<HostState::Call> result;
    for (const HostState::Call& call : host.calls)
      if (call.opcode == opcode && (index < 0 || call.index == index)) result.push_back(call);
    return result;
  }
  // One gesture around the change of `index`, with the automated value the parameter's.
  void ExpectOneGesture(int index) {
    EXPECT_EQ(Calls(audioMasterBeginEdit).size(), 1u) << "parameter " << index;
    EXPECT_EQ(Calls(audioMasterEndEdit).size(), 1u) << "parameter " << index;
    ASSERT_EQ(Calls(audioMasterBeginEdit, index).size(), 1u);
    const auto automated = Calls(audioMasterAutomate, index);
    ASSERT_FALSE(automated.empty()) << "parameter " << index;
    // The host hears the value the parameter took (before the parameter's own rounding).
    PluginParam heard = *vantor.Param(index);
    heard.SetFromNormalized(automated.back().opt);
    EXPECT_NEAR(heard.value(), vantor.Param(index)->value(), 1e-4) << "parameter " << index;
    // Begin first, end last.
    EXPECT_EQ(host.calls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(host.calls.back().opcode, audioMasterEndEdit);
  }

  HostState host;

 private:
  ScopedHost scope_;

 public:
  RigVantor vantor;
  GraphicsHeadless* ui = nullptr;
};

TEST(EditorHostTest, TheLoadedPluginHasAnEditorOf924By456) {
  FreshConfigHome();
  HostState host;
  Instance plugin(&host);
  EXPECT_TRUE(plugin.effect->flags & effFlagsHasEditor);
  ERect* rect = nullptr;
  ASSERT_EQ(plugin.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 456);
  EXPECT_EQ(rect->right, 924);
  EXPECT_EQ(plugin.Dispatch(effEditGetRect), 0);  // nowhere to put it
  plugin.Dispatch(effEditIdle);                   // no window: nothing to do, and nothing breaks
}

TEST(EditorHostTest, DraggingEachKindOfControlIsOneGestureThatTheHostHears) {
  FreshConfigHome();
  EditorRig rig;
  rig.Set(kFilterCutoff, 0.5f);
  rig.ui->Tick();
  rig.host.Clear();

  // Fader: a press on the handle, then the handle follows the mouse.
  const int handle_y = kCutoffFader.top + 10 + 18;  // the handle's centre at 0.5
  rig.Drag(462, handle_y, 462, handle_y - 18);
  EXPECT_NEAR(rig.Get(kFilterCutoff), 1.0, 1e-6);
  rig.ExpectOneGesture(kFilterCutoff);
  EXPECT_EQ(rig.Info(), InfoLine(rig.vantor, kFilterCutoff));
  EXPECT_NE(rig.Info().find("Filter Cutoff: "), std::string::npos);

  // Volume knob: four heights of travel for the whole range.
  rig.Set(kMainVolume, 0.0f);
  rig.host.Clear();
  rig.Drag(890, 58, 890, 58 - 48);
  EXPECT_NEAR(rig.Get(kMainVolume), 0.5, 1e-6);
  rig.ExpectOneGesture(kMainVolume);
  EXPECT_EQ(rig.Info(), "Main Volume: 50%");

  // Rotary selector: one height of travel for all four positions.
  rig.Set(kVcoOctave, 0.0f);
  rig.host.Clear();
  rig.Drag(89, 170, 89, 170 - 30);
  EXPECT_EQ(rig.vantor.Param(kVcoOctave)->value(), 3.0);
  rig.ExpectOneGesture(kVcoOctave);
  EXPECT_EQ(rig.Info(), "VCO Octave: 4'");

  // Multi-position switch: a press picks the position, a drag down moves on.
  rig.Set(kFilterMode, 0.0f);
  rig.host.Clear();
  rig.Drag(392, 255, 392, 255 + 20);  // from "Bypass" down by two positions
  EXPECT_EQ(rig.vantor.Param(kFilterMode)->value(), 2.0);
  rig.ExpectOneGesture(kFilterMode);
  EXPECT_EQ(rig.Info(), "Filter Mode: Highpass");

  // On/off button: a press toggles.
  rig.Set(kSoftClipping, 0.0f);
  rig.host.Clear();
  rig.Click(855, 58);
  EXPECT_EQ(rig.vantor.Param(kSoftClipping)->value(), 1.0);
  rig.ExpectOneGesture(kSoftClipping);

  // A press on a fader's track beside its handle changes nothing.
  rig.host.Clear();
  rig.Click(462, kCutoffFader.bottom - 3);
  EXPECT_NEAR(rig.Get(kFilterCutoff), 1.0, 1e-6);
  EXPECT_TRUE(rig.host.calls.empty());
}

TEST(EditorHostTest, WheelStepsAndDoubleClickRestoresTheAttachedValue) {
  FreshConfigHome();
  EditorRig rig;
  // The controls learned their first values when the editor was attached.
  const double attached = rig.vantor.Param(kMainVolume)->ToNormalized();
  rig.Set(kMainVolume, 0.5f);
  rig.ui->Tick();
  rig.host.Clear();
  rig.ui->HandleMouseWheel(890, 58, MouseMods{}, 2);
  EXPECT_NEAR(rig.Get(kMainVolume), 0.52, 1e-6);
  rig.ExpectOneGesture(kMainVolume);
  EXPECT_EQ(rig.Info(), "Main Volume: 52%");
  rig.ui->HandleMouseWheel(890, 58, LeftShift(), -10);  // fine: a tenth of the step
  EXPECT_NEAR(rig.Get(kMainVolume), 0.51, 1e-6);
  // A step of nothing (what a window makes of less than a notch) tells the host nothing.
  rig.host.Clear();
  rig.ui->HandleMouseWheel(890, 58, MouseMods{}, 0);
  EXPECT_TRUE(rig.host.calls.empty());

  rig.host.Clear();
  rig.ui->HandleDoubleClick(890, 58, Left());
  EXPECT_NEAR(rig.Get(kMainVolume), attached, 1e-6);
  rig.ExpectOneGesture(kMainVolume);

  // The wheel away from the user moves a multi-position switch towards its first position.
  rig.Set(kFilterMode, 1.0f);
  rig.ui->Tick();
  rig.ui->HandleMouseWheel(392, 270, MouseMods{}, 1);
  EXPECT_EQ(rig.vantor.Param(kFilterMode)->value(), 3.0);  // 0.9 rounds to the last
  rig.ui->HandleMouseWheel(392, 270, MouseMods{}, 2);
  EXPECT_EQ(rig.vantor.Param(kFilterMode)->value(), 2.0);
  EXPECT_EQ(rig.Info(), "Filter Mode: Highpass");

  // A switch steps on a double click, as a second press.
  rig.Set(kSoftClipping, 0.0f);
  rig.ui->Tick();
  rig.Click(855, 58);
  if (rig.ui->HandleDoubleClick(855, 58, Left())) rig.ui->HandleMouseUp(855, 58, Left());
  EXPECT_EQ(rig.vantor.Param(kSoftClipping)->value(), 0.0);
}

TEST(EditorHostTest, HoveringShowsNamesAndTheLogoPutsTheVersionBack) {
  FreshConfigHome();
  EditorRig rig;
  EXPECT_EQ(rig.Info(), "Version 1.3.1.N");
  rig.Set(kFilterCutoff, 1.0f);
  rig.ui->Tick();
  rig.ui->HandleMouseOver(462, kCutoffFader.top + 10, MouseMods{});
  EXPECT_EQ(rig.Info(), "Filter Cutoff: 19912Hz");
  rig.ui->HandleMouseOver(855, 58, MouseMods{});
  EXPECT_EQ(rig.Info().rfind("Soft Clipping: ", 0), 0u);
  rig.ui->HandleMouseOver(100, 50, MouseMods{});
  EXPECT_EQ(rig.Info(), "Version 1.3.1.N");
  // The info line is drawn: its area is dirty and redrawn on the next tick.
  rig.ui->HandleMouseOver(855, 58, MouseMods{});
  ASSERT_TRUE(rig.ui->Tick());
  EXPECT_TRUE(rig.ui->last_presented().Intersects(layout::kInfoLine));
}

// Every pixel of the editor, 0xRRGGBB.
std::vector<uint32_t> Pixels(const RasterBitmap& b) {
  std::vector<uint32_t> all;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      all.push_back(b.At(x, y) & 0xFFFFFF);
  return all;
}

// The widest text the info line shows, while a control left of it is redrawn with it, leaves
// nothing outside the info field once a shorter text replaces it: the partial redraws end in
// the picture a full redraw gives.
TEST(EditorHostTest, TheWidestInfoLineLeavesNothingOutsideItsField) {
  FreshConfigHome();
  EditorRig rig;
  // The widest of all info lines, found by measuring each parameter over its range.
  TextStyle style = rig.vantor.editor_parts().info->text_style();
  int widest = -1, widest_param = -1;
  double widest_value = 0.0;
  for (int p = 0; p < kParamCount; ++p) {
    PluginParam& param = *rig.vantor.Param(p);
    const double kept = param.value();
    for (int i = 0; i <= 100; ++i) {
      param.SetFromNormalized(i / 100.0);
      Rect r = layout::kInfoLine;
      ASSERT_TRUE(rig.ui->MeasureText(style, InfoLine(rig.vantor, p).c_str(), r));
      if (r.Width() > widest) {
        widest = r.Width();
        widest_param = p;
        widest_value = i / 100.0;
      }
    }
    param.set_value(kept);
  }
  ASSERT_EQ(std::string(ParamLongName(widest_param)).rfind("Resonator ", 0), 0u)
      << ParamLongName(widest_param);
  EXPECT_GT(widest, layout::kInfoLine.Width()) << "wider than the field at the style's size";

  // Resonator 1's frequency fader lies left of the info field: its wheel step and the info line
  // are redrawn together.
  const int fader = kResonator1Frequency;
  rig.Set(fader, static_cast<float>(widest_value - 0.01));
  rig.ui->Tick();
  rig.ui->RedrawAll();
  const std::vector<uint32_t> before = Pixels(*rig.ui->drawing_bitmap());
  const Rect handle = static_cast<FaderControl*>(rig.ControlOf(fader))->HandleRect();
  rig.ui->HandleMouseWheel(handle.left + 5, handle.top + 5, MouseMods{}, 1);
  EXPECT_EQ(rig.Info(), InfoLine(rig.vantor, fader));
  rig.ui->Tick();
  rig.ui->HandleMouseOver(100, 50, MouseMods{});  // the logo: the short version text
  rig.ui->Tick();
  const std::vector<uint32_t> partial = Pixels(*rig.ui->drawing_bitmap());
  rig.ui->RedrawAll();
  const std::vector<uint32_t> full = Pixels(*rig.ui->drawing_bitmap());
  const Rect fader_rect = rig.ControlOf(fader)->rect();
  size_t differing = 0, changed_outside = 0;
  for (int y = 0; y < layout::kHeight; ++y) {
    for (int x = 0; x < layout::kWidth; ++x) {
      const size_t i = static_cast<size_t>(y) * layout::kWidth + static_cast<size_t>(x);
      if (partial[i] != full[i]) ++differing;
      if (!layout::kInfoLine.Contains(x, y) && !fader_rect.Contains(x, y) &&
          partial[i] != before[i])
        ++changed_outside;
    }
  }
  EXPECT_EQ(differing, 0u);
  EXPECT_EQ(changed_outside, 0u);
}

TEST(EditorHostTest, ProgramArrowsAndMenuSelectProgramsAndTellTheHost) {
  FreshConfigHome();
  EditorRig rig;
  rig.Click(92, 430);  // previous, from program 0
  EXPECT_EQ(rig.Dispatch(effGetProgram), 63);
  EXPECT_FALSE(rig.Calls(audioMasterUpdateDisplay).empty());
  EXPECT_EQ(rig.Calls(audioMasterAutomate).size(), 110u);
  rig.Click(144, 430);  // next, from 63
  EXPECT_EQ(rig.Dispatch(effGetProgram), 0);
  rig.Click(144, 430);
  EXPECT_EQ(rig.Dispatch(effGetProgram), 1);
  EXPECT_EQ(rig.vantor.editor_parts().programs->IsDirty(), true);
  rig.ui->Tick();
  EXPECT_EQ(rig.vantor.editor_parts().programs->number_text(), "01");
  EXPECT_EQ(rig.vantor.editor_parts().programs->name_text(), rig.vantor.GetProgramName(1));

  // The menu: four submenus of sixteen, the current program checked; a choice selects it.
  rig.host.Clear();
  rig.ui->ChooseNextMenuItem({2, 5});
  rig.Click(110, 430);
  ASSERT_EQ(rig.ui->menus().size(), 1u);
  const auto& menu = rig.ui->menus()[0].items;
  ASSERT_EQ(menu.size(), 4u);
  EXPECT_EQ(menu[3].text, "48 - 63");
  ASSERT_EQ(menu[0].submenu.size(), 16u);
  EXPECT_EQ(menu[0].submenu[1].text, std::string("01: ") + rig.vantor.GetProgramName(1));
  EXPECT_EQ(menu[0].submenu[1].flags, kItemChecked);
  EXPECT_EQ(menu[0].submenu[2].flags, 0);
  EXPECT_EQ(rig.Dispatch(effGetProgram), 37);
  EXPECT_FALSE(rig.Calls(audioMasterUpdateDisplay).empty());

  // A menu closed without a choice changes nothing.
  rig.Click(110, 430);
  EXPECT_EQ(rig.Dispatch(effGetProgram), 37);
}

TEST(EditorHostTest, TheNameFieldRenamesTheProgramToAtMost31Characters) {
  FreshConfigHome();
  EditorRig rig;
  rig.Click(200, 428);
  ASSERT_EQ(rig.ui->entries().size(), 1u);
  EXPECT_EQ(rig.ui->entries()[0].text, rig.vantor.GetProgramName(0));
  EXPECT_EQ(rig.ui->entries()[0].length, 253);
  EXPECT_EQ(rig.ui->entries()[0].rect, layout::kProgramNameField);
  rig.host.Clear();
  rig.ui->EnterNextText("A name that is far longer than forty chars");
  rig.ui->Tick();
  EXPECT_EQ(std::string(rig.vantor.GetProgramName(0)), "A name that is far longer than ");
  char name[256] = {};
  rig.Dispatch(effGetProgramName, 0, 0, name);
  EXPECT_STREQ(name, "A name that is far longer than ");
  EXPECT_FALSE(rig.Calls(audioMasterUpdateDisplay).empty());
  EXPECT_EQ(rig.Calls(audioMasterAutomate).size(), 110u);

  // The cut at 31 bytes falls between UTF-8 characters: a two-byte "\u00e9" at bytes 30 and 31,
  // a three-byte "\u20ac" at bytes 29 to 31, each goes as a whole.
  const std::string thirty(30, 'a');
  rig.Click(200, 428);
  rig.ui->EnterNextText(thirty + "\xc3\xa9z");
  rig.ui->Tick();
  EXPECT_EQ(std::string(rig.vantor.GetProgramName(0)), thirty);
  rig.Click(200, 428);
  rig.ui->EnterNextText(thirty.substr(1) + "\xe2\x82\xacz");
  rig.ui->Tick();
  EXPECT_EQ(std::string(rig.vantor.GetProgramName(0)), thirty.substr(1));
}

// A rename from the host shows at once, and long names are shown cut between characters.
TEST(EditorHostTest, TheProgramDisplayFollowsRenamesFromTheHost) {
  FreshConfigHome();
  EditorRig rig;
  BwPresetMenu* programs = rig.vantor.editor_parts().programs;
  for (int tick = 0; tick < 3; ++tick)
    rig.ui->Tick();
  ASSERT_FALSE(rig.ui->Tick());  // nothing left to draw
  rig.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Renamed by the host"));
  ASSERT_TRUE(rig.ui->Tick());
  EXPECT_TRUE(rig.ui->last_presented().Intersects(layout::kProgramNameField));
  EXPECT_EQ(programs->name_text(), "Renamed by the host");

  // 31 bytes, then a "\u20ac" over bytes 31 to 33: the display and the menu keep 31.
  const std::string kept = std::string(31, 'b');
  std::string long_name = kept + "\xe2\x82\xac" + "tail";
  rig.Dispatch(effSetProgramName, 0, 0, long_name.data());
  rig.ui->Tick();
  EXPECT_EQ(programs->name_text(), kept);
  rig.Click(110, 430);
  ASSERT_EQ(rig.ui->menus().size(), 1u);
  EXPECT_EQ(rig.ui->menus()[0].items[0].submenu[0].text, "00: " + kept);
}

TEST(EditorHostTest, OptionsMenuCarriesItsFlagsAndCommandsToTheShell) {
  FreshConfigHome();
  EditorRig rig;
  rig.ui->CloseNextMenu();
  rig.Click(65, 430);
  ASSERT_EQ(rig.ui->menus().size(), 1u);
  const auto& items = rig.ui->menus()[0].items;
  ASSERT_EQ(items.size(), 21u);
  EXPECT_EQ(items[kPaste].text, "Paste Program");
  EXPECT_EQ(items[kZoom].text, "Zoom");
  ASSERT_EQ(items[kZoom].submenu.size(), 3u);
  EXPECT_EQ(items[kZoom].submenu[0].text, "100%");
  EXPECT_EQ(items[kZoom].submenu[0].flags, kItemChecked);
  EXPECT_EQ(items[kZoom].submenu[2].text, "200%");
  EXPECT_EQ(items[kZoom].submenu[2].flags, 0);
  EXPECT_EQ(items[kPaste].flags, kItemDisabled);
  EXPECT_EQ(items[10].flags, kItemDisabled);  // no start-up bank
  EXPECT_EQ(items[11].flags, kItemDisabled);
  EXPECT_EQ(items[3].flags, kItemSeparator);
  EXPECT_EQ(items[kSwitchView].flags, 0);
  ASSERT_EQ(items[kMidiSettings].submenu.size(), 2u);
  EXPECT_EQ(items[kMidiSettings].submenu[0].flags, 0);
  EXPECT_EQ(items[kOnline].submenu[1].text, "Visit www.brenwick.example");

  // Copy, then Paste is offered, asks, and pastes.
  rig.Option({kCopy});
  rig.Click(144, 430);  // to program 1
  rig.ui->AnswerNextMessage(MessageBoxButton::Yes);
  rig.Option({kPaste});
  ASSERT_EQ(rig.ui->menus().back().items[kPaste].flags, 0);
  ASSERT_FALSE(rig.ui->messages().empty());
  EXPECT_EQ(rig.ui->messages().back().caption, "Paste Program");
  EXPECT_STREQ(rig.vantor.GetProgramName(1), rig.vantor.GetProgramName(0));

  // Init asks first; No leaves the program.
  rig.Option({kInit});
  EXPECT_EQ(rig.ui->messages().back().caption, "Initialize Program");
  EXPECT_STRNE(rig.vantor.GetProgramName(1), "Init");

  // MIDI Thru toggles, its check mark follows, and the file keeps it.
  rig.Option({kMidiSettings, 0});
  EXPECT_TRUE(rig.vantor.midi_thru());
  rig.Option({kMidiSettings, 1});
  EXPECT_TRUE(rig.vantor.ignore_program_change());
  EXPECT_EQ(rig.ui->menus().back().items[kMidiSettings].submenu[0].flags, kItemChecked);
  EXPECT_NE(ReadConfigFile().find("MIDI Thru=true"), std::string::npos);

  // The online items: the version check and the maker's web site.
  rig.Option({kOnline, 0});
  EXPECT_EQ(rig.vantor.update_checks, 1);
  rig.Option({kOnline, 1});
  ASSERT_EQ(rig.ui->opened_urls().size(), 1u);
  EXPECT_EQ(rig.ui->opened_urls()[0], Synth::kMakerHomePage);

  // Save Configuration asks with the file's path.
  rig.Option({16});
  EXPECT_EQ(rig.ui->messages().back().caption, "Save Configuration");
  EXPECT_NE(rig.ui->messages().back().text.find(rig.vantor.config_path()), std::string::npos);
  // Separators and submenu entries do nothing.
  const size_t asked = rig.ui->messages().size();
  rig.Option({3});
  rig.Option({kMidiSettings});
  EXPECT_EQ(rig.ui->messages().size(), asked);
}

TEST(EditorHostTest, SwitchViewShowsTheOtherBackgroundAndTwiceLeavesTheFileAsItWas) {
  WriteConfig("[Editor]\nSwitch View=false\n");
  EditorRig rig;
  const auto& parts = rig.vantor.editor_parts();
  EXPECT_FALSE(parts.background->hidden());
  EXPECT_TRUE(parts.alternative_background->hidden());
  const RasterPixel light = rig.ui->drawing_bitmap()->At(20, 50);

  rig.Option({kSwitchView});
  EXPECT_TRUE(rig.vantor.alternative_view());
  EXPECT_TRUE(parts.background->hidden());
  EXPECT_FALSE(parts.alternative_background->hidden());
  EXPECT_NE(ReadConfigFile().find("Switch View=true"), std::string::npos);
  ASSERT_TRUE(rig.ui->Tick());
  EXPECT_EQ(rig.ui->last_presented(), (Rect{0, 0, 924, 456}));
  EXPECT_NE(rig.ui->drawing_bitmap()->At(20, 50), light);
  rig.ui->CloseNextMenu();
  rig.Click(65, 430);
  EXPECT_EQ(rig.ui->menus().back().items[kSwitchView].flags, kItemChecked);

  rig.Option({kSwitchView});
  EXPECT_TRUE(parts.alternative_background->hidden());
  EXPECT_NE(ReadConfigFile().find("Switch View=false"), std::string::npos);
  rig.ui->Tick();
  EXPECT_EQ(rig.ui->drawing_bitmap()->At(20, 50), light);
}

// Replacement files are images for 100%: at a larger zoom they are resampled, frame by frame.
TEST(EditorHostTest, ReplacementBitmapsAreUsedAtEveryZoomAndBadOnesFallBack) {
  for (const int zoom : kZoomPercents) {
    SCOPED_TRACE(std::to_string(zoom) + "%");
    const std::filesystem::path folder = FreshConfigHome();
    const std::filesystem::path knob = folder / "knob.png";
    const std::vector<uint8_t> strip = StripPng(24, 24, 47);
    std::ofstream(knob, std::ios::binary)
        .write(reinterpret_cast<const char*>(strip.data()),
               static_cast<std::streamsize>(strip.size()));
    std::ofstream(folder / "broken.png") << "not a picture";
    std::filesystem::create_directories(folder / "Brenwick");
    std::ofstream(folder / "Brenwick" / "vantor.ini")
        << "[Editor]\nBitmap_Knob=" << knob.string()
        << "\nBitmap_Handle=" << (folder / "broken.png").string()
        << "\nBitmap_Button=" << (folder / "missing.png").string() << "\n";
    EditorRig rig;
    rig.vantor.ApplyEditorZoom(zoom);
    const BitmapRef& file = rig.vantor.editor_bitmap(layout::kSlotKnob);
    EXPECT_EQ(file.frames, 47);
    EXPECT_EQ(file.width, 24);
    EXPECT_EQ(file.height, 1128);
    ASSERT_NE(file.bitmap, nullptr);
    EXPECT_EQ(file.bitmap->Width(), 24 * zoom / 100);
    EXPECT_EQ(file.bitmap->Height(), 1128 * zoom / 100);
    rig.Set(kMainVolume, 1.0f);
    rig.ui->Tick();
    // The last frame fills the knob from its first row to its last: no neighbour bleeds in.
    const Rect knob_pixels = UnitsToPixels(kMainVolumeKnob, zoom);
    for (const int y : {knob_pixels.top, knob_pixels.bottom - 1})
      EXPECT_EQ(rig.ui->drawing_bitmap()->At(knob_pixels.left + 3, y), FrameColour(47)) << y;
    rig.Set(kMainVolume, 0.0f);
    rig.ui->Tick();
    EXPECT_EQ(rig.ui->drawing_bitmap()->At(knob_pixels.left + 3, knob_pixels.bottom - 1),
              FrameColour(1));
    // The bad and missing files: the built-in images, whose sizes the layout names.
    EXPECT_EQ(rig.vantor.editor_bitmap(layout::kSlotHandle).width,
              kBitmaps[layout::kSlotHandle].width);
    EXPECT_EQ(rig.vantor.editor_bitmap(layout::kSlotButton).height,
              kBitmaps[layout::kSlotButton].height);

    // Reload Configuration: the knob goes back to the built-in image, the view follows the file.
    std::ofstream(folder / "Brenwick" / "vantor.ini") << "[Editor]\nSwitch View=true\n";
    rig.ui->AnswerNextMessage(MessageBoxButton::Yes);
    rig.Option({kReload});
    EXPECT_EQ(rig.ui->messages().back().caption, "Reload Configuration");
    EXPECT_TRUE(rig.vantor.alternative_view());
    EXPECT_FALSE(rig.vantor.editor_parts().alternative_background->hidden());
    rig.Set(kMainVolume, 1.0f);
    rig.ui->Tick();
    EXPECT_NE(rig.ui->drawing_bitmap()->At(knob_pixels.left + 3, knob_pixels.top), FrameColour(47));
    EXPECT_EQ(rig.vantor.editor_bitmap(layout::kSlotKnob).height,
              kBitmaps[layout::kSlotKnob].height);
    EXPECT_EQ(rig.ui->zoom(), zoom);
  }
}

// The control the mouse is over at a point of the window (-1 for none).
int ControlAt(GraphicsHeadless& ui, int x, int y) {
  ui.HandleMouseOut();
  ui.HandleMouseOver(x, y, MouseMods{});
  return ui.mouse_over();
}

TEST(EditorHostTest, ZoomChosenInTheMenuResizesThroughTheHostAndScalesDrawingAndHitting) {
  for (const int zoom : {150, 200}) {
    SCOPED_TRACE(std::to_string(zoom) + "%");
    FreshConfigHome();
    EditorRig rig;
    auto px = [zoom](int units) { return UnitsToPixels(units, zoom); };
    // At 100%, the control under a corner and the centre of every control.
    struct Probe {
      int x, y, control;
    };
    std::vector<Probe> probes;
    for (int i = 1; i < rig.ui->NumControls(); ++i) {
      const Rect r = rig.ui->GetControl(i)->rect();
      for (const auto& [x, y] : {std::pair{r.left, r.top}, std::pair{r.right - 1, r.bottom - 1},
                                 std::pair{(r.left + r.right) / 2, (r.top + r.bottom) / 2}})
        probes.push_back({x, y, ControlAt(*rig.ui, x, y)});
    }

    rig.host.size_window_answer = 1;
    rig.Option({kZoom, zoom == 150 ? 1 : 2});
    const auto asked = rig.Calls(audioMasterSizeWindow);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].index, px(924));
    EXPECT_EQ(asked[0].value, px(456));
    EXPECT_EQ(rig.EditorRect(), std::make_pair(px(924), px(456)));
    EXPECT_NE(ReadConfigFile().find("Editor Zoom=" + ZoomFactorText(zoom)), std::string::npos);
    rig.ui->CloseNextMenu();
    rig.Option({});
    EXPECT_EQ(rig.ui->menus().back().items[kZoom].submenu[zoom == 150 ? 1 : 2].flags, kItemChecked);

    // Drawn at the new size (what is drawn there: the test of every zoom's drawing below).
    ASSERT_TRUE(rig.ui->Tick());
    EXPECT_EQ(rig.ui->drawing_bitmap()->Width(), px(924));
    EXPECT_EQ(rig.ui->drawing_bitmap()->Height(), px(456));
    EXPECT_EQ(rig.vantor.editor_bitmap(layout::kSlotBack).bitmap->Width(), px(924));

    // Every control is hit where its zoomed pixels are, as it was at 100%.
    for (const Probe& p : probes) {
      EXPECT_EQ(ControlAt(*rig.ui, px(p.x), px(p.y)), p.control) << p.x << "," << p.y;
      EXPECT_EQ(ControlAt(*rig.ui, px(p.x + 1) - 1, px(p.y + 1) - 1), p.control)
          << p.x << "," << p.y;
    }
    // A drag moves a knob by its zoomed height as it did by its height: the main volume (gearing
    // 4) goes from bottom to top over four heights.
    rig.Set(kMainVolume, 0.0f);
    rig.ui->Tick();
    rig.host.Clear();
    rig.Drag(px(890), px(58), px(890), px(58 - 48));
    EXPECT_NEAR(rig.Get(kMainVolume), 0.5f, 1e-6);
    rig.ExpectOneGesture(kMainVolume);
  }
}

// The slot whose image a control shows, -1 for none.
int SlotOf(const Vantor& vantor, const Control& control) {
  if (const auto* bitmap = dynamic_cast<const BitmapControl*>(&control)) {
    for (int slot = 0; slot < layout::kNumSlots; ++slot)
      if (vantor.editor_bitmap(slot).bitmap == bitmap->bitmap().bitmap) return slot;
  }
  for (const layout::ParamControl& c : layout::kParamControls)
    if (c.param == control.param_index()) return c.slot;
  return -1;
}

// What the editor must show at a zoom, built from the generator's committed images and the
// layout alone: the background, and over it each control's frame where the frame is opaque.
// Pixels a frame blends with the background, and the texts, are left out (-1).
std::vector<int64_t> ExpectedPicture(const Vantor& vantor, const GraphicsHeadless& ui, int zoom) {
  auto image = [zoom](int slot) {
    const std::string name = layout::ZoomedFile(kBitmaps[slot].file, zoom);
    return LoadPngFile(
        (std::filesystem::path(VANTOR_IMAGE_FOLDER) / std::filesystem::path(name).filename())
            .c_str());
  };
  const int width = UnitsToPixels(924, zoom);
  const int height = UnitsToPixels(456, zoom);
  std::vector<int64_t> expected(static_cast<size_t>(width * height), -1);
  auto paint = [&](const RasterBitmap& from, int src_y, const Rect& units) {
    const Rect r = UnitsToPixels(units, zoom);
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        const RasterPixel p = from.At(x - r.left, y - r.top + src_y);
        int64_t& e = expected[static_cast<size_t>(y * width + x)];
        if (RasterAlpha(p) == 255) e = p;
        if (RasterAlpha(p) != 255 && RasterAlpha(p) != 0) e = -1;
      }
  };
  for (int i = 0; i < ui.NumControls(); ++i) {
    const Control& c = *ui.GetControl(i);
    if (c.hidden()) continue;
    if (dynamic_cast<const TextControl*>(&c) || dynamic_cast<const BwPresetMenu*>(&c) ||
        dynamic_cast<const BwSplitPointControl*>(&c)) {
      const Rect r = UnitsToPixels(c.rect(), zoom);
      for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
          expected[static_cast<size_t>(y * width + x)] = -1;
      continue;
    }
    const int slot = SlotOf(vantor, c);
    if (slot < 0) continue;
    const auto strip = image(slot);
    EXPECT_TRUE(strip) << kBitmaps[slot].file;
    if (!strip) continue;
    const int frames = kBitmaps[slot].frames;
    const int frame_height = strip->Height() / frames;
    if (const auto* fader = dynamic_cast<const FaderControl*>(&c)) {
      paint(*strip, 0, fader->HandleRect());
    } else if (const auto* knob = dynamic_cast<const KnobMultiControl*>(&c)) {
      paint(*strip, (knob->Frame() - 1) * frame_height, c.rect());
    } else if (const auto* bitmap = dynamic_cast<const BitmapControl*>(&c)) {
      paint(*strip, (bitmap->Frame() - 1) * frame_height, c.rect());
    }
  }
  return expected;
}

// The pixels of `units` (a text field) where the drawing differs from the background image:
// the text's ink, as a box, and how many aligned 2 x 2 blocks hold ink and how many of those are
// not of one colour.
struct Ink {
  Rect box;
  int inked_blocks = 0;
  int mixed_blocks = 0;
};
Ink InkIn(const RasterBitmap& drawn, const RasterBitmap& background, const Rect& units, int zoom) {
  const Rect r = UnitsToPixels(units, zoom);
  Ink ink;
  ink.box = {r.right, r.bottom, r.left, r.top};
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (drawn.At(x, y) != background.At(x, y)) {
        ink.box = {std::min(ink.box.left, x), std::min(ink.box.top, y),
                   std::max(ink.box.right, x + 1), std::max(ink.box.bottom, y + 1)};
      }
  for (int y = r.top & ~1; y + 1 < r.bottom; y += 2)
    for (int x = r.left & ~1; x + 1 < r.right; x += 2) {
      bool inked = false;
      bool mixed = false;
      for (int k = 0; k < 4; ++k) {
        const int px = x + k % 2, py = y + k / 2;
        inked = inked || drawn.At(px, py) != background.At(px, py);
        mixed = mixed || drawn.At(px, py) != drawn.At(x, y);
      }
      ink.inked_blocks += inked;
      ink.mixed_blocks += inked && mixed;
    }
  return ink;
}

// The editor at every zoom shows the generator's images of that zoom, pixel for pixel, and its
// own texts rasterised at the zoomed size: their ink grows with the zoom, and at 200% it is
// not 100% text with its pixels doubled.
TEST(EditorHostTest, AtEveryZoomTheEditorShowsTheGeneratorsDrawingOfThatZoom) {
  for (const bool alternative : {false, true}) {
    std::vector<Ink> at_100;
    for (const int zoom : kZoomPercents) {
      SCOPED_TRACE(std::to_string(zoom) + (alternative ? "%, alternative view" : "%"));
      WriteConfig(alternative ? "[Editor]\nSwitch View=true\n" : "");
      EditorRig rig;
      rig.vantor.ApplyEditorZoom(zoom);
      // Every built-in image: the layout's size in units, drawn at the zoom's size in pixels.
      for (int slot = 0; slot < layout::kNumSlots; ++slot) {
        const BitmapRef& b = rig.vantor.editor_bitmap(slot);
        SCOPED_TRACE(kBitmaps[slot].file);
        ASSERT_NE(b.bitmap, nullptr);
        EXPECT_EQ(b.width, kBitmaps[slot].width);
        EXPECT_EQ(b.height, kBitmaps[slot].height);
        EXPECT_EQ(b.frames, kBitmaps[slot].frames);
        EXPECT_EQ(b.bitmap->Width(), kBitmaps[slot].width * zoom / 100);
        EXPECT_EQ(b.bitmap->Height(), kBitmaps[slot].height * zoom / 100);
      }
      rig.Set(kSoftClipping, 1.0f);  // a lit button among the dark ones
      rig.Set(kVcoOctave, 1.0f);
      rig.ui->RedrawAll();
      const std::vector<int64_t> expected = ExpectedPicture(rig.vantor, *rig.ui, zoom);
      const RasterBitmap& drawn = *rig.ui->drawing_bitmap();
      ASSERT_EQ(drawn.Width(), UnitsToPixels(924, zoom));
      ASSERT_EQ(drawn.Height(), UnitsToPixels(456, zoom));
      size_t known = 0;
      size_t differing = 0;
      for (int y = 0; y < drawn.Height(); ++y)
        for (int x = 0; x < drawn.Width(); ++x) {
          const int64_t e = expected[static_cast<size_t>(y * drawn.Width() + x)];
          if (e < 0) continue;
          ++known;
          if (drawn.At(x, y) != static_cast<RasterPixel>(e)) ++differing;
        }
      EXPECT_EQ(differing, 0u);
      // Nearly all of it is known: only the texts and the soft edges of the controls are not.
      EXPECT_GT(known, expected.size() * 9 / 10);

      const auto background = LoadPngFile(
          (std::filesystem::path(VANTOR_IMAGE_FOLDER) /
           std::filesystem::path(
               layout::ZoomedFile(
                   kBitmaps[alternative ? layout::kSlotAltBack : layout::kSlotBack].file, zoom))
               .filename())
              .c_str());
      ASSERT_TRUE(background);
      const Rect fields[] = {layout::kProgramDisplay, layout::kInfoLine, layout::kSplitPoint};
      for (size_t i = 0; i < std::size(fields); ++i) {
        const Ink ink = InkIn(drawn, *background, fields[i], zoom);
        SCOPED_TRACE("text field " + std::to_string(i));
        ASSERT_FALSE(ink.box.IsEmpty());
        if (zoom == 100) {
          at_100.push_back(ink);
          continue;
        }
        const Rect& one = at_100[i].box;
        EXPECT_NEAR(ink.box.Height(), one.Height() * zoom / 100.0, 2.0);
        EXPECT_NEAR(ink.box.Width(), one.Width() * zoom / 100.0, 3.0 + one.Width() * 0.04);
        EXPECT_NEAR(ink.box.left, one.left * zoom / 100.0, 3.0);
        EXPECT_NEAR(ink.box.top, one.top * zoom / 100.0, 2.0);
        // Doubled pixels would leave every 2 x 2 block of ink one colour.
        if (zoom == 200) {
          EXPECT_GT(ink.mixed_blocks, ink.inked_blocks / 2);
        }
      }
    }
  }
}

// A host that does not resize its window keeps the editor as it is; the choice is remembered
// and the editor opens at it the next time.
TEST(EditorHostTest, AZoomTheHostRefusesWaitsForTheNextOpening) {
  FreshConfigHome();
  EditorRig rig;
  rig.host.size_window_answer = 0;
  rig.Option({kZoom, 2});
  EXPECT_EQ(rig.Calls(audioMasterSizeWindow).size(), 1u);
  EXPECT_EQ(rig.ui->zoom(), 100);
  EXPECT_EQ(rig.EditorRect(), std::make_pair(924, 456));
  EXPECT_EQ(rig.ui->drawing_bitmap()->Width(), 924);
  EXPECT_EQ(rig.vantor.editor_bitmap(layout::kSlotBack).bitmap->Width(), 924);
  ASSERT_FALSE(rig.ui->messages().empty());
  EXPECT_EQ(rig.ui->messages().back().caption, "Zoom");
  EXPECT_NE(ReadConfigFile().find("Editor Zoom=2"), std::string::npos);
  // Still working at 100%: the soft clip button switches where it always was.
  rig.Click(855, 58);
  EXPECT_EQ(rig.Get(kSoftClipping), 1.0f);

  rig.Dispatch(effEditClose);
  EXPECT_EQ(rig.EditorRect(), std::make_pair(1848, 912));
  EXPECT_EQ(rig.vantor.editor_bitmap(layout::kSlotBack).bitmap->Width(), 1848);
}

// Without a zoom chosen, the host's scale factor and then the display's density decide.
TEST(EditorHostTest, TheFirstZoomComesFromTheHostOrTheDisplayAndAChosenOneComesFirst) {
  FreshConfigHome();
  EditorRig rig;
  rig.ui->CloseEditorWindow();
  rig.ui->set_display_zoom(200);
  EXPECT_EQ(rig.EditorRect(), std::make_pair(1848, 912));
  AEffect* e = rig.vantor.effect();
  EXPECT_EQ(e->dispatcher(e, effVendorSpecific, PluginVst::kScaleFactorIndex,
                          PluginVst::kScaleFactorValue, nullptr, 1.4f),
            1);
  EXPECT_EQ(rig.EditorRect(), std::make_pair(1386, 684));
  EXPECT_EQ(e->dispatcher(e, effVendorSpecific, PluginVst::kScaleFactorIndex,
                          PluginVst::kScaleFactorValue, nullptr, -1.0f),
            0);
  EXPECT_EQ(rig.EditorRect(), std::make_pair(1386, 684));

  WriteConfig("[Global]\nEditor Zoom=100%\n");
  EditorRig chosen;
  chosen.ui->CloseEditorWindow();
  chosen.ui->set_display_zoom(200);
  AEffect* c = chosen.vantor.effect();
  c->dispatcher(c, effVendorSpecific, PluginVst::kScaleFactorIndex, PluginVst::kScaleFactorValue,
                nullptr, 2.0f);
  EXPECT_EQ(chosen.EditorRect(), std::make_pair(924, 456));
}

TEST(EditorHostTest, EveryParameterButTheEnsemblesHasOneControl) {
  FreshConfigHome();
  EditorRig rig;
  // Each parameter but the ensemble's speeds and depths has exactly one control.
  std::vector<int> controls(kParamCount, 0);
  for (int i = 0; i < rig.ui->NumControls(); ++i) {
    const int p = rig.ui->GetControl(i)->param_index();
    if (p >= 0) ++controls[static_cast<size_t>(p)];
  }
  for (int p = 0; p < kParamCount; ++p)
    EXPECT_EQ(controls[static_cast<size_t>(p)], p >= kEnsembleSpeed1 ? 0 : 1) << ParamLongName(p);
  EXPECT_EQ(rig.ui->NumControls(), static_cast<int>(12 + std::size(layout::kParamControls) + 2));
}

TEST(EditorHostTest, SplitPointMenuSetsTheSplitAndTheDisplayShowsIt) {
  FreshConfigHome();
  EditorRig rig;
  rig.Set(kKeySplitPoint, 0.0f);
  rig.ui->Tick();
  rig.host.Clear();
  rig.ui->ChooseNextMenuItem({1, 11});  // C#2 .. C3: the last is C3
  rig.Click(440, 430);
  ASSERT_EQ(rig.ui->menus().size(), 1u);
  const auto& menu = rig.ui->menus()[0].items;
  ASSERT_EQ(menu.size(), 5u);
  EXPECT_EQ(menu[0].text, "C#1 - C2");
  EXPECT_EQ(menu[0].submenu[0].flags, kItemChecked);
  EXPECT_EQ(menu[4].submenu[11].text, "C6");
  EXPECT_EQ(rig.vantor.Param(kKeySplitPoint)->value(), 23.0);
  rig.ExpectOneGesture(kKeySplitPoint);
  auto* split = static_cast<BwSplitPointControl*>(rig.ControlOf(kKeySplitPoint));
  EXPECT_EQ(split->Text(), "C3");
  rig.ui->ChooseNextMenuItem({4, 11});
  rig.Click(440, 430);
  EXPECT_EQ(rig.ui->menus()[1].items[1].submenu[11].flags, kItemChecked);
  EXPECT_EQ(split->Text(), "C6");

  // A window's menu swallows the release: the press alone, or a double click (a press for this
  // control), is a whole gesture, and the mouse is not left captured.
  rig.host.Clear();
  rig.ui->ChooseNextMenuItem({0, 0});
  rig.ui->HandleMouseDown(440, 430, Left());
  EXPECT_EQ(rig.vantor.Param(kKeySplitPoint)->value(), 0.0);
  rig.ExpectOneGesture(kKeySplitPoint);
  rig.host.Clear();
  rig.ui->CloseNextMenu();
  EXPECT_FALSE(rig.ui->HandleDoubleClick(440, 430, Left()));
  EXPECT_EQ(rig.ui->mouse_capture(), -1);
  EXPECT_EQ(rig.Calls(audioMasterBeginEdit).size(), 1u);
  EXPECT_EQ(rig.Calls(audioMasterEndEdit).size(), 1u);
}

TEST(EditorHostTest, MidiLearnFromTheButtonToTheController) {
  FreshConfigHome();
  EditorRig rig;
  BwSwitchMidiLearn* learn = rig.vantor.editor_parts().learn;
  rig.Set(kFilterCutoff, 1.0f);  // the handle at the top
  rig.ui->Tick();
  // Learn: the button, a controller, then a fader.
  rig.Click(600, 430);
  EXPECT_EQ(learn->value(), 1.0);
  EXPECT_TRUE(rig.vantor.midi_learn().active);
  rig.SendMidi({Midi(0, 0xB0, 74, 10)});
  EXPECT_TRUE(rig.vantor.midi_learn().active);
  rig.Drag(462, 246, 462, 264);
  EXPECT_FALSE(rig.vantor.midi_learn().active);
  EXPECT_EQ(rig.vantor.controller_map()[74], kFilterCutoff);
  rig.ui->Tick();
  EXPECT_EQ(learn->value(), 0.0);  // the button went off

  // The controller now moves the parameter and the host hears it.
  rig.host.Clear();
  rig.SendMidi({Midi(0, 0xB0, 74, 0)});
  EXPECT_EQ(rig.Get(kFilterCutoff), 0.0f);
  ASSERT_EQ(rig.Calls(audioMasterAutomate, kFilterCutoff).size(), 1u);
  EXPECT_EQ(rig.Calls(audioMasterAutomate, kFilterCutoff)[0].opt, 0.0f);
  rig.ui->Tick();
  const Rect handle = static_cast<FaderControl*>(rig.ControlOf(kFilterCutoff))->HandleRect();
  EXPECT_EQ(handle.bottom, kCutoffFader.bottom);

  // Learning by moving a control in the editor, controller first.
  rig.Click(600, 430);
  rig.SendMidi({Midi(0, 0xB3, 7, 100)});
  rig.Drag(890, 58, 890, 40);
  EXPECT_EQ(rig.vantor.controller_map()[7], kMainVolume);

  // A right press while on does nothing; off, it turns the face to unlearn.
  rig.Click(600, 430);
  rig.Click(600, 430, Right());
  EXPECT_TRUE(learn->learn_mode());
  rig.Click(600, 430);
  rig.Click(600, 430, Right());
  EXPECT_FALSE(learn->learn_mode());
  EXPECT_EQ(learn->bitmap().bitmap, rig.vantor.editor_bitmap(layout::kSlotUnlearn).bitmap);
  // Unlearn: the button, then the controller.
  rig.Click(600, 430);
  EXPECT_TRUE(rig.vantor.midi_learn().unlearn);
  rig.SendMidi({Midi(0, 0xB0, 74, 64)});
  EXPECT_EQ(rig.vantor.controller_map()[74], -1);
  EXPECT_FALSE(rig.vantor.midi_learn().active);
  rig.host.Clear();
  rig.SendMidi({Midi(0, 0xB0, 74, 127)});
  EXPECT_TRUE(rig.Calls(audioMasterAutomate, kFilterCutoff).empty());
}

TEST(EditorHostTest, LampsFollowTheEngine) {
  FreshConfigHome();
  EditorRig rig;
  const auto& parts = rig.vantor.editor_parts();
  EXPECT_TRUE(parts.mono_lamp->hidden());
  EXPECT_TRUE(parts.poly_lamp->hidden());
  rig.Set(kMonoLower, 0.0f);
  rig.Set(kMonoUpper, 0.0f);
  rig.Set(kPolyLower, 1.0f);
  rig.Set(kPolyUpper, 1.0f);
  rig.Set(kAmpEnvelope, 0.0f);  // voice envelopes, with a short release
  rig.Set(kVoiceEnvDecay, 0.0f);
  rig.SendMidi({Midi(0, 0x90, 60, 100)});
  rig.Dispatch(effEditIdle);
  EXPECT_FALSE(parts.poly_lamp->hidden());
  EXPECT_TRUE(parts.mono_lamp->hidden());
  ASSERT_TRUE(rig.ui->Tick());
  EXPECT_NE(rig.ui->drawing_bitmap()->At(654, 438),
            rig.vantor.editor_bitmap(layout::kSlotBack).bitmap->At(654, 438));

  // All notes off releases the voices; the lamp goes out when the last one falls silent.
  rig.SendMidi({Midi(0, 0xB0, 123, 0)});
  for (int block = 0; block < 400 && !parts.poly_lamp->hidden(); ++block) {
    rig.Render(1);
    rig.Dispatch(effEditIdle);
  }
  EXPECT_TRUE(parts.poly_lamp->hidden());
  EXPECT_FALSE(rig.vantor.engine().poly_active());

  // With the window closed the lamps are left alone.
  rig.ui->CloseEditorWindow();
  rig.SendMidi({Midi(0, 0x90, 62, 100)});
  rig.Dispatch(effEditIdle);
  EXPECT_TRUE(parts.poly_lamp->hidden());
}

}  // namespace
}  // namespace vantor::testing
