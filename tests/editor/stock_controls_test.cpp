// The stock controls operated through the editor: switches, contacts, frame switches, knobs,
// faders.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "editor_test_support.h"

namespace vantor {
namespace {

using testing::Left;
using testing::LeftShift;
using testing::Probe;
using testing::Right;
using testing::StripPng;

struct Editor {
  GraphicsHeadless g{nullptr};
  Probe* background = g.Add(std::make_unique<Probe>(nullptr, Rect{0, 0, 924, 456}));
  BitmapRef Strip(int id, int width, int frame_height, int frames) {
    g.ProvideBitmap(id, StripPng(width, frame_height, frames));
    return g.LoadBitmapResource(id, "strip.png", frames);
  }
  void Click(int x, int y, const MouseMods& mods = Left()) {
    g.HandleMouseDown(x, y, mods);
    g.HandleMouseUp(x, y, mods);
  }
};

TEST(SwitchTest, ThreeFramesStepThroughHalfAndWrap) {
  Editor e;
  auto* s = e.g.Add(std::make_unique<SwitchControl>(nullptr, 10, 10, -1, e.Strip(701, 20, 30, 3)));
  EXPECT_EQ(s->rect(), (Rect{10, 10, 30, 40}));
  std::vector<double> seen;
  for (int i = 0; i < 4; ++i) {
    e.Click(15, 15);
    seen.push_back(s->value());
  }
  EXPECT_EQ(seen, (std::vector<double>{0.5, 1.0, 0.0, 0.5}));
  // A double click is a press too.
  EXPECT_TRUE(e.g.HandleDoubleClick(15, 15, Left()));
  EXPECT_EQ(s->value(), 1.0);

  auto* one = e.g.Add(std::make_unique<SwitchControl>(nullptr, 50, 10, -1, e.Strip(702, 5, 5, 1)));
  e.Click(51, 11);
  EXPECT_EQ(one->value(), 1.0);  // a single frame toggles between 0 and 1
  e.Click(51, 11);
  EXPECT_EQ(one->value(), 0.0);
}

TEST(SwitchTest, ContactIsOnWhileHeld) {
  Editor e;
  auto* c = e.g.Add(std::make_unique<ContactControl>(nullptr, 0, 0, -1, e.Strip(703, 16, 20, 2)));
  e.g.HandleMouseDown(5, 5, Left());
  EXPECT_EQ(c->value(), 1.0);
  e.g.HandleMouseUp(300, 300, Left());
  EXPECT_EQ(c->value(), 0.0);
}

TEST(SwitchTest, FrameSwitchPicksThePositionUnderTheMouse) {
  Editor e;
  auto* s = e.g.Add(std::make_unique<SwitchFramesControl>(nullptr, Rect{0, 100, 20, 130}, -1,
                                                          e.Strip(704, 20, 30, 3)));
  e.Click(5, 129);
  EXPECT_EQ(s->value(), 1.0);
  e.Click(5, 100);
  EXPECT_EQ(s->value(), 0.0);
  e.Click(5, 115);
  EXPECT_EQ(s->value(), 0.5);

  // Heights that do not divide evenly: 10 / 3 gives rows 0-2, 3-5, 6-8 and row 9 in none.
  auto* odd = e.g.Add(std::make_unique<SwitchFramesControl>(nullptr, Rect{100, 0, 110, 10}, -1,
                                                            e.Strip(705, 10, 1, 3)));
  odd->set_value(0.5);
  e.Click(105, 9);
  EXPECT_EQ(odd->value(), 0.5);
  e.Click(105, 6);
  EXPECT_EQ(odd->value(), 1.0);

  auto* single = e.g.Add(std::make_unique<SwitchFramesControl>(nullptr, Rect{200, 0, 210, 10}, -1,
                                                               e.Strip(706, 10, 10, 1)));
  single->set_value(1.0);
  e.Click(205, 5);
  EXPECT_EQ(single->value(), 0.0);  // one position: never NaN
}

TEST(KnobTest, GearingSetsTheTravelForTheFullRangeAlongEitherAxis) {
  Editor e;
  const BitmapRef film = e.Strip(707, 24, 24, 47);
  auto* knob = e.g.Add(
      std::make_unique<KnobMultiControl>(nullptr, 100, 100, -1, film, Direction::Vertical, 4.0));
  EXPECT_EQ(knob->rect(), (Rect{100, 100, 124, 124}));
  // Upwards by four heights takes the value from 0 to 1.
  e.g.HandleMouseDown(110, 110, Left());
  for (int step = 1; step <= 96; ++step)
    e.g.HandleMouseDrag(110, 110 - step, Left());
  EXPECT_NEAR(knob->value(), 1.0, 1e-9);
  EXPECT_EQ(knob->Frame(), 47);
  e.g.HandleMouseDrag(110, 110 - 48, Left());  // half of it down again
  EXPECT_NEAR(knob->value(), 0.5, 1e-9);
  // With shift it takes 40 heights: 96 pixels move a tenth of the way.
  e.g.HandleMouseDrag(110, 110 - 48 + 96, LeftShift());
  EXPECT_NEAR(knob->value(), 0.4, 1e-9);
  e.g.HandleMouseUp(110, 200, Left());

  e.g.HandleMouseWheel(110, 110, {}, 3);
  EXPECT_NEAR(knob->value(), 0.43, 1e-9);
  MouseMods fine;
  fine.control = true;
  e.g.HandleMouseWheel(110, 110, fine, -10);
  EXPECT_NEAR(knob->value(), 0.42, 1e-9);
  e.g.HandleMouseWheel(110, 110, {}, 1000);
  EXPECT_EQ(knob->value(), 1.0);  // clamped

  knob->set_value(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(knob->Frame(), 1);
  knob->set_value(1e300);
  EXPECT_EQ(knob->Frame(), 47);

  // A horizontal knob follows x, and a gearing that is not positive is one.
  auto* across = e.g.Add(std::make_unique<KnobMultiControl>(
      nullptr, Rect{0, 0, 30, 30}, -1, e.Strip(708, 30, 30, 4), Direction::Horizontal, 0.0));
  EXPECT_EQ(across->gearing(), 1.0);
  e.g.HandleMouseDown(5, 5, Left());
  e.g.HandleMouseDrag(20, 40, Left());
  EXPECT_NEAR(across->value(), 0.5, 1e-9);
}

TEST(FaderTest, OnlyTheHandleIsHitAndItFollowsTheMouse) {
  Editor e;
  const BitmapRef handle = e.Strip(709, 20, 20, 1);
  auto* fader = e.g.Add(std::make_unique<FaderControl>(nullptr, 44, 236, -1, handle));
  EXPECT_EQ(fader->rect(), (Rect{44, 236, 64, 292}));
  fader->set_value(1.0);
  EXPECT_EQ(fader->HandleRect(), (Rect{44, 236, 64, 256}));
  fader->set_value(0.0);
  EXPECT_EQ(fader->HandleRect(), (Rect{44, 272, 64, 292}));

  // A press on the track above the handle goes to the background and changes nothing.
  e.Click(50, 240);
  EXPECT_EQ(fader->value(), 0.0);
  EXPECT_EQ(e.background->Take(), "down 50,240; up 50,240");

  // On the handle: value = 1 - (y - 10 - top) / 36.
  e.g.HandleMouseDown(50, 280, Left());
  EXPECT_NEAR(fader->value(), 1.0 - (280 - 10 - 236) / 36.0, 1e-12);
  e.g.HandleMouseDrag(50, 236 + 10, Left());  // dragging goes on beyond the handle
  EXPECT_EQ(fader->value(), 1.0);
  e.g.HandleMouseDrag(50, 100, Left());
  EXPECT_EQ(fader->value(), 1.0);
  e.g.HandleMouseDrag(50, 500, Left());
  EXPECT_EQ(fader->value(), 0.0);
  e.g.HandleMouseUp(50, 500, Left());

  // A right press prompts (disabled for faders): nothing changes.
  e.g.HandleMouseDown(50, 285, Right());
  EXPECT_EQ(fader->value(), 0.0);
  e.g.HandleMouseUp(50, 285, Right());
  e.g.HandleMouseWheel(50, 285, {}, 5);
  EXPECT_NEAR(fader->value(), 0.05, 1e-12);

  // Drawn where HandleRect says.
  e.g.PrepareDrawing();
  e.g.drawing_bitmap()->Clear(0);
  fader->set_value(0.5);
  e.g.RedrawArea(fader->rect());
  EXPECT_EQ(e.g.drawing_bitmap()->At(50, 236 + 18), testing::FrameColour(1));
  EXPECT_EQ(e.g.drawing_bitmap()->At(50, 236 + 17), 0u);
  EXPECT_EQ(e.g.drawing_bitmap()->At(50, 236 + 38), 0u);
}

}  // namespace
}  // namespace vantor
