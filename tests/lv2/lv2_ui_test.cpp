// The X11 UI of Vantor.lv2 in a parent window under Xvfb, clicked with xdotool: the editor's
// changes reach the host through the write function, a program change writes every port, and
// without instance access the UI's own instrument follows the host's port events.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include "lv2/lilv_host.h"

namespace vantor::testing {
namespace {

constexpr const char* kUiUri = "https://www.brenwick.example/lv2/vantor#ui";
constexpr uint32_t kSaw16Port = 20;  // "Bank 1 Saw 16'", the switch at 223, 256

struct Writes {
  std::vector<std::pair<uint32_t, float>> values;
};

void Write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
           const void* buffer) {
  if (protocol == 0 && size == sizeof(float))
    static_cast<Writes*>(controller)->values.emplace_back(port, *static_cast<const float*>(buffer));
}

class Lv2UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr) << "no X display";
    parent_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 924, 456, 0, 0, 0);
    XMapWindow(display_, parent_);
    XSync(display_, False);
    ASSERT_TRUE(instrument_.ok());
    // The binary lilv loaded; the same library, as a host's UI loader finds it.
    library_ = dlopen(VANTOR_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
    auto entry = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(
        dlsym(library_, "lv2ui_descriptor"));
    ASSERT_NE(entry, nullptr);
    descriptor_ = entry(0);
    ASSERT_STREQ(descriptor_->URI, kUiUri);
    ASSERT_EQ(entry(1), nullptr);
  }
  void TearDown() override {
    if (ui_) descriptor_->cleanup(ui_);
    if (library_) dlclose(library_);
    if (display_) {
      SetDpi(0);
      XDestroyWindow(display_, parent_);
      XCloseDisplay(display_);
    }
  }

  // The screen density the desktop gives in the X resources (Xft.dpi), or none for 0.
  void SetDpi(int dpi) {
    const Window root = DefaultRootWindow(display_);
    const std::string resources = "Xft.dpi:\t" + std::to_string(dpi) + "\n";
    if (dpi) {
      XChangeProperty(display_, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(resources.data()),
                      static_cast<int>(resources.size()));
    } else {
      XDeleteProperty(display_, root, XA_RESOURCE_MANAGER);
    }
    XSync(display_, False);
  }

  // Opens the UI; it tells the host its size, that of the editor at `zoom` percent.
  void Open(bool instance_access, int zoom = 100) {
    LV2UI_Resize resize{this, [](LV2UI_Feature_Handle self, int width, int height) {
                          static_cast<Lv2UiTest*>(self)->size_ = {width, height};
                          return 0;
                        }};
    LV2_Feature parent_feature{LV2_UI__parent, reinterpret_cast<void*>(parent_)};
    LV2_Feature resize_feature{LV2_UI__resize, &resize};
    LV2_Feature access{LV2_INSTANCE_ACCESS_URI, instrument_.handle()};
    const LV2_Feature* features[] = {&parent_feature, &resize_feature,
                                     instance_access ? &access : nullptr, nullptr};
    ui_ = descriptor_->instantiate(descriptor_, "https://www.brenwick.example/lv2/vantor",
                                   VANTOR_LV2_BUNDLES "/Vantor.lv2/", Write, &writes_, &widget_,
                                   features);
    ASSERT_NE(ui_, nullptr);
    idle_ = static_cast<const LV2UI_Idle_Interface*>(
        descriptor_->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(idle_, nullptr);
    EXPECT_EQ(size_, std::make_pair(924 * zoom / 100, 456 * zoom / 100));
    // The widget is the editor's window, a child of the host's.
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    const auto window = static_cast<Window>(reinterpret_cast<uintptr_t>(widget_));
    ASSERT_TRUE(XQueryTree(display_, window, &root, &parent, &children, &count));
    if (children) XFree(children);
    EXPECT_EQ(parent, parent_);
  }

  // Clicks the editor at x, y (xdotool), then idles the UI as a host does until `done` or 20 s.
  template <typename Done>
  bool ClickAndIdle(int x, int y, Done done) {
    const auto window = reinterpret_cast<uintptr_t>(widget_);
    const std::string click = "xdotool mousemove --window " + std::to_string(window) + " " +
                              std::to_string(x) + " " + std::to_string(y) + " click 1";
    if (std::system(click.c_str()) != 0) return false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
      idle_->idle(ui_);
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // The values written to `port`, in order.
  std::vector<float> WrittenTo(uint32_t port) const {
    std::vector<float> values;
    for (const auto& [p, v] : writes_.values) {
      if (p == port) values.push_back(v);
    }
    return values;
  }

  LilvHost host_;
  LilvInstrument instrument_{host_, 48000.0, 256};
  Display* display_ = nullptr;
  Window parent_ = 0;
  void* library_ = nullptr;
  const LV2UI_Descriptor* descriptor_ = nullptr;
  const LV2UI_Idle_Interface* idle_ = nullptr;
  LV2UI_Handle ui_ = nullptr;
  LV2UI_Widget widget_ = nullptr;
  Writes writes_;
  std::pair<int, int> size_{0, 0};
};

TEST_F(Lv2UiTest, TheInstancesEditorWritesItsChangesAndAProgramChangeWritesEveryPort) {
  Open(true);
  // The switch toggles one way and back; each change goes to the host once, as a plain value.
  ASSERT_TRUE(ClickAndIdle(223, 256, [&] { return WrittenTo(kSaw16Port).size() == 1; }));
  ASSERT_TRUE(ClickAndIdle(223, 256, [&] { return WrittenTo(kSaw16Port).size() == 2; }));
  const std::vector<float> toggled = WrittenTo(kSaw16Port);
  EXPECT_EQ(toggled[0] + toggled[1], 1.0f);
  EXPECT_EQ(writes_.values.size(), 2u);
  // The host brings the written values back: the instance takes them as its own.
  instrument_.SetControl("bank_1_saw_16", toggled[1]);
  instrument_.Render({}, 256);

  // The next program: every port gets that program's value.
  writes_.values.clear();
  ASSERT_TRUE(ClickAndIdle(144, 430, [&] { return writes_.values.size() >= 110; }));
  LilvInstrument probe(host_, 48000.0, 256);
  ASSERT_TRUE(probe.RestorePreset(1));
  EXPECT_EQ(writes_.values.size(), 110u);
  EXPECT_EQ(WrittenTo(0), std::vector<float>{probe.Control("main_volume")});
  EXPECT_EQ(WrittenTo(38), std::vector<float>{probe.Control("filter_cutoff")});
  EXPECT_EQ(WrittenTo(12), std::vector<float>{probe.Control("polyphony")});
}

// At a screen density of 144 dots per inch the editor opens at 150%, asks the host for that
// size and is clicked in its zoomed pixels.
TEST_F(Lv2UiTest, WithoutInstanceAccessItsOwnInstrumentFollowsThePortsAndWritesItsChanges) {
  for (const int dpi : {0, 144}) {
    SCOPED_TRACE(dpi);
    const int zoom = dpi ? 150 : 100;
    SetDpi(dpi);
    if (ui_) descriptor_->cleanup(ui_);
    ui_ = nullptr;
    Open(false, zoom);
    for (const float from_host : {1.0f, 0.0f}) {
      writes_.values.clear();
      descriptor_->port_event(ui_, kSaw16Port, sizeof(float), 0, &from_host);
      ASSERT_TRUE(ClickAndIdle(223 * zoom / 100, 256 * zoom / 100,
                               [&] { return !WrittenTo(kSaw16Port).empty(); }));
      EXPECT_EQ(WrittenTo(kSaw16Port), std::vector<float>{1.0f - from_host});
    }
  }
}

}  // namespace
}  // namespace vantor::testing
