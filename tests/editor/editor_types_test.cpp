// Editor value types: the empty rectangle, unions and overlaps, colour packing, popup menus.
#include <gtest/gtest.h>

#include "editor/editor_types.h"
#include "editor/zoom.h"

namespace vantor {
namespace {

TEST(RectTest, TheAllZeroRectangleIsEmptyEverywhere) {
  const Rect empty;
  const Rect r{-5, -5, 5, 5};
  EXPECT_FALSE(empty.Contains(0, 0));
  EXPECT_FALSE(empty.Intersects(r));
  EXPECT_FALSE(r.Intersects(empty));
  EXPECT_EQ(empty.Union(r), r);
  EXPECT_EQ(r.Union(empty), r);
  EXPECT_TRUE(r.Intersect(empty).IsEmpty());

  EXPECT_TRUE(r.Contains(-5, -5));
  EXPECT_FALSE(r.Contains(5, 0));  // right and bottom are outside
  EXPECT_FALSE(r.Contains(0, 5));
  EXPECT_FALSE(r.Intersects({5, 0, 9, 9}));  // touching is not overlapping
  EXPECT_EQ(r.Intersect({0, 0, 9, 9}), (Rect{0, 0, 5, 5}));
  EXPECT_EQ(r.Union({10, 20, 30, 40}), (Rect{-5, -5, 30, 40}));
}

TEST(ColorTest, PacksAlphaRedGreenBlueFromTheTop) {
  EXPECT_EQ((Color{224, 255, 16, 1}).Pixel(), 0xe0ff1001u);
  const TextStyle named("A face whose name is much too long for the field", 11, Color{});
  EXPECT_EQ(std::string(named.face).size(), 31u);
}

TEST(PopupMenuTest, InsertionPositions) {
  PopupMenu menu(2);
  menu.AddItem("b");
  menu.InsertItem("a", 0, -7);  // negative: at the front
  menu.InsertItem("d", 0, 99);  // beyond the end: appended
  menu.InsertItem("c", kItemChecked, 2);
  menu.AddSeparator();
  auto sub = std::make_unique<PopupMenu>();
  sub->AddItem("inner");
  menu.AddSubmenu("more", std::move(sub));
  ASSERT_EQ(menu.NumItems(), 6);
  std::string order;
  for (int i = 0; i < 4; ++i)
    order += menu.Item(i)->text;
  EXPECT_EQ(order, "abcd");
  EXPECT_EQ(menu.Item(2)->flags, kItemChecked);
  EXPECT_EQ(menu.prefix(), 2);
  EXPECT_EQ(menu.chosen(), -1);
  EXPECT_EQ(menu.Item(6), nullptr);
  EXPECT_EQ(menu.Item(-1), nullptr);
  EXPECT_TRUE(menu.Item(0)->IsChoosable());
  EXPECT_FALSE(menu.Item(4)->IsChoosable());  // separator
  EXPECT_FALSE(menu.Item(5)->IsChoosable());  // submenu
  EXPECT_EQ(menu.Item(5)->submenu->Item(0)->text, "inner");
}

// Every pixel of the window lies in exactly one unit of the layout, the one whose zoomed pixels
// hold it, and an even number of units is always 1.5 or 2 times as many pixels.
TEST(ZoomTest, PixelsAndUnitsMapBothWays) {
  for (const int zoom : kZoomPercents) {
    for (int p = -3; p < 1900; ++p) {
      const int u = PixelsToUnits(p, zoom);
      ASSERT_LE(UnitsToPixels(u, zoom), p) << zoom << "% " << p;
      ASSERT_GT(UnitsToPixels(u + 1, zoom), p) << zoom << "% " << p;
    }
    for (int u = 0; u < 924; ++u)
      EXPECT_EQ(UnitsToPixels(u + 20, zoom) - UnitsToPixels(u, zoom), 20 * zoom / 100);
    EXPECT_EQ(PixelsToUnits(UnitsToPixels(Rect{3, 5, 9, 12}, zoom), zoom), (Rect{3, 5, 9, 12}));
  }
}

}  // namespace
}  // namespace vantor
