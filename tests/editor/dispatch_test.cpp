// Mouse and keyboard dispatch: hit order, capture and drag, double click, wheel, mouse-over,
// keys.
#include <gtest/gtest.h>

#include "editor_test_support.h"

namespace vantor {
namespace {

using testing::Left;
using testing::Probe;

struct Editor {
  GraphicsHeadless g{nullptr};
  Probe* background = g.Add(std::make_unique<Probe>(nullptr, Rect{0, 0, 100, 100}));
  Probe* under = g.Add(std::make_unique<Probe>(nullptr, Rect{10, 10, 50, 50}));
  Probe* over = g.Add(std::make_unique<Probe>(nullptr, Rect{30, 30, 70, 70}));
};

TEST(DispatchTest, ThePressGoesToTheTopmostVisibleEnabledControl) {
  Editor e;
  e.g.HandleMouseDown(40, 40, Left());  // both controls cover the point
  EXPECT_EQ(e.over->Take(), "down 40,40");
  EXPECT_EQ(e.under->Take(), "");
  e.g.HandleMouseUp(40, 40, Left());
  EXPECT_EQ(e.over->Take(), "up 40,40");

  e.over->SetHidden(true);
  e.g.HandleMouseDown(40, 40, Left());
  EXPECT_EQ(e.under->Take(), "down 40,40");
  e.g.HandleMouseUp(40, 40, Left());
  e.under->Take();

  e.under->SetGrayed(true);
  EXPECT_EQ(e.under->blend().weight, 0.25f);
  e.g.HandleMouseDown(40, 40, Left());
  EXPECT_EQ(e.background->Take(), "down 40,40");
  EXPECT_EQ(e.under->Take(), "");
  e.g.HandleMouseUp(40, 40, Left());

  // Right, bottom and the empty rectangle are outside.
  e.under->SetGrayed(false);
  e.background->Take();
  e.g.HandleMouseDown(50, 20, Left());
  EXPECT_EQ(e.under->Take(), "");
  EXPECT_EQ(e.background->Take(), "down 50,20");
  e.g.HandleMouseUp(50, 20, Left());
  e.g.HandleMouseDown(200, 200, Left());  // nothing at all
  EXPECT_EQ(e.g.mouse_capture(), -1);
}

TEST(DispatchTest, ADragStaysWithTheCapturedControlAndRepeatsNothing) {
  Editor e;
  e.g.HandleMouseDown(12, 12, Left());
  EXPECT_EQ(e.g.mouse_capture(), 1);
  e.g.HandleMouseDrag(14, 15, Left());
  e.g.HandleMouseDrag(14, 15, Left());  // the same point again: nothing
  e.g.HandleMouseDrag(90, 2, Left());   // far outside its rectangle, over another control
  e.g.HandleMouseWheel(95, 95, Left(), 2);
  EXPECT_EQ(e.under->Take(), "down 12,12; drag 14,15 2,3; drag 90,2 76,-13; wheel 95,95 2");
  e.g.HandleMouseUp(95, 95, Left());  // released over the background
  EXPECT_EQ(e.under->Take(), "up 95,95");
  EXPECT_EQ(e.background->Take(), "");
  EXPECT_EQ(e.g.mouse_capture(), -1);

  e.g.HandleMouseDrag(20, 20, Left());  // no capture: no drag
  e.g.HandleMouseWheel(20, 20, Left(), -1);
  EXPECT_EQ(e.under->Take(), "wheel 20,20 -1");
  e.g.HandleMouseUp(60, 60, Left());  // no capture: the control under the point
  EXPECT_EQ(e.over->Take(), "up 60,60");
}

TEST(DispatchTest, DoubleClickIsAPressOnlyWhenTheControlAsksForIt) {
  Editor e;
  EXPECT_FALSE(e.g.HandleDoubleClick(20, 20, Left()));
  EXPECT_EQ(e.under->Take(), "double 20,20");
  EXPECT_EQ(e.g.mouse_capture(), -1);

  e.under->set_double_click_as_press(true);
  EXPECT_TRUE(e.g.HandleDoubleClick(20, 20, Left()));
  EXPECT_EQ(e.under->Take(), "down 20,20");
  EXPECT_EQ(e.g.mouse_capture(), 1);
  e.g.HandleMouseDrag(21, 20, Left());
  EXPECT_EQ(e.under->Take(), "drag 21,20 1,0");
  EXPECT_FALSE(e.g.HandleDoubleClick(500, 500, Left()));
}

TEST(DispatchTest, MouseOverFollowsTheMouseWhenSwitchedOn) {
  Editor e;
  EXPECT_FALSE(e.g.HandleMouseOver(20, 20, {}));
  EXPECT_EQ(e.under->Take(), "");

  e.g.set_handle_mouse_over(true);
  EXPECT_TRUE(e.g.HandleMouseOver(20, 20, {}));
  e.g.HandleMouseOver(21, 20, {});
  EXPECT_EQ(e.under->Take(), "over 20,20; over 21,20");
  e.g.HandleMouseOver(60, 60, {});
  EXPECT_EQ(e.over->Take(), "over 60,60");
  EXPECT_EQ(e.under->Take(), "out");
  EXPECT_EQ(e.g.mouse_over(), 2);

  // A grayed control passes the mouse-over search only when it asks to.
  e.over->SetGrayed(true);
  e.g.HandleMouseOver(65, 65, {});
  EXPECT_EQ(e.background->Take(), "over 65,65");
  e.over->set_mouse_over_when_grayed(true);
  e.g.HandleMouseOver(66, 66, {});
  EXPECT_EQ(e.over->Take(), "out; over 66,66");

  e.g.HandleMouseOut();
  EXPECT_EQ(e.background->Take(), "out; out");
  EXPECT_EQ(e.g.mouse_over(), -1);
}

TEST(DispatchTest, KeysGoToTheControlUnderTheMouseOrTheKeyCatcher) {
  Editor e;
  EXPECT_FALSE(e.g.HandleKeyDown(20, 20, kKeySpace));
  EXPECT_EQ(e.under->Take(), "key 0");
  EXPECT_FALSE(e.g.HandleKeyDown(90, 90, kKeyUp));  // only the background: no catcher
  EXPECT_EQ(e.background->Take(), "");

  Probe catcher(nullptr, Rect{}, -1, true);
  e.g.set_key_catcher(&catcher);
  EXPECT_TRUE(e.g.HandleKeyDown(90, 90, kKeyLetterA));
  EXPECT_TRUE(e.g.HandleKeyDown(500, 500, kKeyDigit0));
  EXPECT_EQ(catcher.Take(), "key 15; key 5");

  e.g.HandleMouseDown(20, 20, Left());  // while captured, keys go to the captured control
  e.g.HandleKeyDown(90, 90, kKeyDown);
  EXPECT_EQ(e.under->Take(), "down 20,20; key 2");
}

}  // namespace
}  // namespace vantor
