// Parameters and controls: values flowing both ways, edit gestures told to the host exactly once,
// value prompts by menu and text entry.
#include <gtest/gtest.h>

#include "editor_test_support.h"
#include "engine/param_ids.h"

namespace vantor {
namespace {

using testing::Left;
using testing::Probe;
using testing::Right;
using testing::StripPng;
using testing::TestVantor;

struct Bound {
  TestVantor plugin;
  GraphicsHeadless g{&plugin};
  FaderControl* fader;  // Main Volume: 0 .. 1, at 0.25
  SwitchControl* clip;  // Soft Clipping: Off / On
  Probe* mode;          // Filter Mode: four display texts
  Probe* cutoff;        // Filter Cutoff: shape 0.5

  Bound() {
    g.ProvideBitmap(801, StripPng(20, 20, 2));
    const BitmapRef bitmap = g.LoadBitmapResource(801, "b.png", 2);
    g.Add(std::make_unique<Probe>(&plugin, Rect{0, 0, 924, 456}));
    BitmapRef handle = bitmap;
    handle.height = 20;
    handle.frames = 1;
    fader = g.Add(std::make_unique<FaderControl>(&plugin, 10, 10, kMainVolume, handle));
    clip = g.Add(std::make_unique<SwitchControl>(&plugin, 100, 10, kSoftClipping, bitmap));
    mode = g.Add(std::make_unique<Probe>(&plugin, Rect{200, 10, 240, 30}, kFilterMode));
    cutoff = g.Add(std::make_unique<Probe>(&plugin, Rect{300, 10, 340, 30}, kFilterCutoff));
    // Known values, whatever the factory programs hold.
    plugin.Param(kMainVolume)->set_value(0.25);
    plugin.Param(kSoftClipping)->set_value(0);
    plugin.Param(kFilterMode)->set_value(0);
    plugin.Param(kFilterCutoff)->set_value(1.0);
    plugin.AttachEditor(&g);
  }
  void ClearHost() {
    plugin.begun.clear();
    plugin.automated.clear();
    plugin.ended.clear();
  }
};

// Attaching pushes the normalised values, which become the controls' defaults; later values
// reach the controls and are drawn on the next tick.
TEST(BindingTest, PluginValuesReachTheControlsOnAttachingAndAreDrawnOnTheNextTick) {
  Bound b;
  EXPECT_DOUBLE_EQ(b.fader->value(), 0.25);
  EXPECT_DOUBLE_EQ(b.fader->default_value(), 0.25);
  EXPECT_EQ(b.clip->value(), 0.0);
  EXPECT_DOUBLE_EQ(b.cutoff->value(), 1.0);
  ASSERT_TRUE(b.g.drawing_bitmap());
  EXPECT_EQ(b.g.drawing_bitmap()->Width(), 924);
  EXPECT_EQ(b.plugin.editor(), &b.g);

  while (b.g.Tick()) {
  }
  b.mode->draws = 0;
  // A plain value is normalised by the parameter: Filter Mode 2 of 0 .. 3.
  b.plugin.Param(kFilterMode)->set_value(2);
  b.plugin.RefreshEditorControls();
  EXPECT_DOUBLE_EQ(b.mode->value(), 2.0 / 3.0);
  EXPECT_TRUE(b.mode->IsDirty());
  EXPECT_TRUE(b.g.Tick());
  EXPECT_EQ(b.mode->draws, 1);
  EXPECT_EQ(b.fader->IsDirty(), false);

  // Plain values are clamped and shaped: Filter Cutoff has shape 0.5, so 0.25 shows as 0.0625.
  b.g.SetControlsFromParameter(kFilterCutoff, 0.25, false);
  EXPECT_DOUBLE_EQ(b.cutoff->value(), 0.0625);
  b.g.SetControlsFromParameter(kFilterCutoff, 7.0, false);
  EXPECT_DOUBLE_EQ(b.cutoff->value(), 1.0);
  b.g.SetControlsFromParameter(kFilterCutoff, 0.3, true);
  EXPECT_DOUBLE_EQ(b.cutoff->value(), 0.3);
  // Indices without a parameter, and identifiers of special controls, reach nothing.
  b.g.SetControlsFromParameter(-113, 0.9, true);
  b.g.SetControlsFromParameter(110, 0.9, false);
  EXPECT_TRUE(b.plugin.automated.empty());  // the host is never told back
}

TEST(BindingTest, AuxiliaryParametersTakeTheirFirstMatchingEntry) {
  TestVantor plugin;
  GraphicsHeadless g(&plugin);
  auto probe = std::make_unique<Probe>(&plugin, Rect{0, 0, 5, 5}, kMainVolume);
  probe->AddAuxParam(kFilterCutoff);
  probe->AddAuxParam(kFilterCutoff);
  Probe* p = g.Add(std::move(probe));
  g.SetControlsFromParameter(kFilterCutoff, 0.7, true);
  EXPECT_DOUBLE_EQ(p->AuxValue(0), 0.7);
  EXPECT_DOUBLE_EQ(p->AuxValue(1), 0.0);
  EXPECT_EQ(p->value(), 0.0);
  EXPECT_EQ(p->AuxParamIndex(5), -1);
}

TEST(BindingTest, ADragIsOneGestureWithEveryChangeAutomated) {
  Bound b;
  b.ClearHost();
  // Handle at value 0.25: top = 10 + trunc(36 * 0.75) = 37.
  b.g.HandleMouseDown(15, 40, Left());
  b.g.HandleMouseDrag(15, 30, Left());
  b.g.HandleMouseDrag(15, 20, Left());
  b.g.HandleMouseUp(15, 20, Left());
  EXPECT_EQ(b.plugin.begun, std::vector<int>{kMainVolume});
  EXPECT_EQ(b.plugin.ended, std::vector<int>{kMainVolume});
  ASSERT_EQ(b.plugin.automated.size(), 3u);
  EXPECT_EQ(b.plugin.automated.back().first, kMainVolume);
  EXPECT_DOUBLE_EQ(b.plugin.automated.back().second, 1.0);
  EXPECT_DOUBLE_EQ(b.plugin.Param(kMainVolume)->value(), 1.0);

  // Wheel steps and double clicks are gestures of their own.
  b.ClearHost();
  b.g.HandleMouseWheel(15, 12, {}, -10);
  EXPECT_NEAR(b.plugin.Param(kMainVolume)->value(), 0.9, 1e-9);
  EXPECT_FALSE(b.g.HandleDoubleClick(15, 20, Left()));  // back to the attached value
  EXPECT_DOUBLE_EQ(b.plugin.Param(kMainVolume)->value(), 0.25);
  EXPECT_EQ(b.plugin.begun, (std::vector<int>{kMainVolume, kMainVolume}));
  EXPECT_EQ(b.plugin.ended, (std::vector<int>{kMainVolume, kMainVolume}));
  // The release after the double click belongs to no gesture.
  b.g.HandleMouseUp(15, 40, Left());
  EXPECT_EQ(b.plugin.ended.size(), 2u);
}

TEST(BindingTest, GesturesStayBalancedWhateverTheMouseDoes) {
  Bound b;
  b.ClearHost();
  b.g.HandleMouseUp(105, 15, Left());  // a release without a press
  EXPECT_TRUE(b.plugin.ended.empty());
  b.g.HandleMouseDown(105, 15, Left());  // the switch; its release never comes
  b.g.HandleMouseDown(105, 15, Left());
  b.g.HandleMouseUp(105, 15, Left());
  EXPECT_EQ(b.plugin.begun, (std::vector<int>{kSoftClipping, kSoftClipping}));
  EXPECT_EQ(b.plugin.ended, (std::vector<int>{kSoftClipping, kSoftClipping}));
  EXPECT_EQ(b.plugin.Param(kSoftClipping)->value(), 0.0);  // on, then off

  // A double click that is a press is a gesture ended by the release.
  EXPECT_TRUE(b.g.HandleDoubleClick(105, 15, Left()));
  b.g.HandleMouseUp(105, 15, Left());
  EXPECT_EQ(b.plugin.begun.size(), 3u);
  EXPECT_EQ(b.plugin.ended.size(), 3u);
  EXPECT_EQ(b.plugin.Param(kSoftClipping)->value(), 1.0);

  // Controls without a parameter tell the host nothing.
  b.ClearHost();
  b.g.HandleMouseDown(900, 400, Left());
  b.g.HandleMouseUp(900, 400, Left());
  EXPECT_TRUE(b.plugin.begun.empty() && b.plugin.ended.empty());
}

TEST(PromptTest, AnEnumeratedParameterOffersItsTextsInAMenu) {
  Bound b;
  b.mode->set_prompt_disabled(false);
  b.plugin.Param(kFilterMode)->set_value(1);
  b.g.ChooseNextMenuItem({3});
  b.ClearHost();
  b.g.HandleMouseDown(210, 20, Right());
  b.g.HandleMouseUp(210, 20, Right());
  ASSERT_EQ(b.g.menus().size(), 1u);
  const auto& items = b.g.menus()[0].items;
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].text, "Bypass");
  EXPECT_EQ(items[3].text, "Bandpass");
  EXPECT_EQ(items[1].flags, kItemChecked);
  EXPECT_EQ(items[2].flags, 0);
  EXPECT_EQ(b.g.menus()[0].rect, b.mode->rect());  // texts: the control's own rectangle
  EXPECT_EQ(b.plugin.Param(kFilterMode)->value(), 3.0);
  EXPECT_DOUBLE_EQ(b.mode->value(), 1.0);
  EXPECT_EQ(b.plugin.begun.size(), 1u);
  EXPECT_EQ(b.plugin.ended.size(), 1u);

  b.g.CloseNextMenu();
  b.g.HandleMouseDown(210, 20, Right());
  EXPECT_EQ(b.plugin.Param(kFilterMode)->value(), 3.0);  // closed without a choice
  b.g.HandleMouseUp(210, 20, Right());

  // A left press or a disabled prompt asks nothing.
  b.g.HandleMouseDown(210, 20, Left());
  b.mode->set_prompt_disabled(true);
  b.g.HandleMouseDown(210, 20, Right());
  EXPECT_EQ(b.g.menus().size(), 2u);
}

TEST(PromptTest, OtherParametersOpenATextEntryCommittedOnTheTimer) {
  Bound b;
  b.cutoff->set_prompt_disabled(false);
  b.plugin.Param(kFilterCutoff)->set_value(0.5);
  b.g.HandleMouseDown(310, 20, Right());
  b.g.HandleMouseUp(310, 20, Right());
  ASSERT_TRUE(b.g.text_entry_open());
  ASSERT_EQ(b.g.entries().size(), 1u);
  const auto& entry = b.g.entries()[0];
  EXPECT_EQ(entry.text, "0.50");
  EXPECT_EQ(entry.rect, (Rect{300, 12, 340, 28}));  // 40 x 16 around the centre
  EXPECT_EQ(entry.param, b.plugin.Param(kFilterCutoff));
  EXPECT_EQ(entry.length, 7);

  b.g.HandleMouseDown(310, 20, Right());  // one entry at a time
  b.g.HandleMouseUp(310, 20, Right());
  EXPECT_EQ(b.g.entries().size(), 1u);

  b.ClearHost();
  b.g.EnterNextText("0.25 and more");
  EXPECT_FALSE(b.g.Tick());  // the tick that ends the entry does nothing else
  EXPECT_FALSE(b.g.text_entry_open());
  EXPECT_DOUBLE_EQ(b.plugin.Param(kFilterCutoff)->value(), 0.25);
  EXPECT_DOUBLE_EQ(b.cutoff->value(), 0.0625);  // normalised through the shape
  EXPECT_EQ(b.plugin.begun, std::vector<int>{kFilterCutoff});
  EXPECT_EQ(b.plugin.ended, std::vector<int>{kFilterCutoff});

  // Text that is no number counts as 0; enumerated parameters match their texts exactly.
  b.g.CommitTextEntry(b.cutoff, b.plugin.Param(kFilterCutoff), "loud");
  EXPECT_EQ(b.plugin.Param(kFilterCutoff)->value(), 0.0);
  b.g.CommitTextEntry(b.mode, b.plugin.Param(kFilterMode), "Highpass");
  EXPECT_EQ(b.plugin.Param(kFilterMode)->value(), 2.0);
  b.g.CommitTextEntry(b.mode, b.plugin.Param(kFilterMode), "highpass");
  EXPECT_EQ(b.plugin.Param(kFilterMode)->value(), 0.0);

  // Cancelled entries change nothing; entries without a parameter hand over their text.
  b.g.HandleMouseDown(310, 20, Right());
  b.g.CancelNextTextEntry();
  b.g.Tick();
  EXPECT_FALSE(b.g.text_entry_open());
  EXPECT_EQ(b.plugin.Param(kFilterCutoff)->value(), 0.0);
  b.g.CommitTextEntry(b.mode, nullptr, std::string(40, 'x'));
  EXPECT_EQ(b.mode->Take(), "text " + std::string(31, 'x'));
}

TEST(PromptTest, NegatedDisplaysAreParsedBackNegated) {
  Bound b;
  PluginParam* volume = b.plugin.Param(kMainVolume);
  volume->set_negate_display(true);
  volume->set_value(0.5);
  EXPECT_EQ(Graphics::FormatForEntry(*volume), "-0.50");
  b.g.CommitTextEntry(b.fader, volume, "-0.75");
  EXPECT_DOUBLE_EQ(volume->value(), 0.75);
  volume->set_negate_display(false);
}

}  // namespace
}  // namespace vantor
