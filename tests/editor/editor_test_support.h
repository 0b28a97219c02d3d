// Helpers for editor tests: a control that records what it receives, generated bitmaps, and an
// instrument that counts its idle ticks.
#pragma once

#include <string>
#include <vector>

#include "editor/graphics_headless.h"
#include "editor/raster/png_writer.h"
#include "editor/stock_controls.h"
#include "support/test_plugin.h"

namespace vantor::testing {

// Records every event as a short line, e.g. "down 3,4" or "drag 5,6 +2,+2".
class Probe : public Control {
 public:
  Probe(PluginBase* plugin, Rect rect, int param = -1, bool handles_keys = false)
      : Control(plugin, rect, param), handles_keys_(handles_keys) {}

  void MouseDown(int x, int y, const MouseMods& mods) override {
    Log("down", x, y);
    Control::MouseDown(x, y, mods);
  }
  void MouseUp(int x, int y, const MouseMods&) override { Log("up", x, y); }
  void MouseDrag(int x, int y, int dx, int dy, const MouseMods&) override {
    events.push_back("drag " + std::to_string(x) + "," + std::to_string(y) + " " +
                     std::to_string(dx) + "," + std::to_string(dy));
  }
  void MouseDoubleClick(int x, int y, const MouseMods& mods) override {
    Log("double", x, y);
    Control::MouseDoubleClick(x, y, mods);
  }
  void MouseWheel(int x, int y, const MouseMods&, int d) override {
    events.push_back("wheel " + std::to_string(x) + "," + std::to_string(y) + " " +
                     std::to_string(d));
  }
  bool KeyDown(int, int, int key) override {
    events.push_back("key " + std::to_string(key));
    return handles_keys_;
  }
  void MouseOver(int x, int y, const MouseMods&) override { Log("over", x, y); }
  void MouseOut() override { events.push_back("out"); }
  bool Draw(Graphics&) override {
    ++draws;
    return true;
  }
  void TakeEnteredText(const std::string& text) override { events.push_back("text " + text); }

  std::string Take() {
    std::string all;
    for (const std::string& e : events)
      all += (all.empty() ? "" : "; ") + e;
    events.clear();
    return all;
  }

  std::vector<std::string> events;
  int draws = 0;

 private:
  void Log(const char* what, int x, int y) {
    events.push_back(std::string(what) + " " + std::to_string(x) + "," + std::to_string(y));
  }
  bool handles_keys_;
};

// A solid colour per frame, frames stacked: frame i (from 1) has red = 10 * i.
inline RasterPixel FrameColour(int frame) {
  return RasterMakePixel(255, 10 * frame, 100, 200);
}

inline std::vector<uint8_t> StripPng(int width, int frame_height, int frames, int alpha = 255) {
  PngSpec desc;
  desc.width = width;
  desc.height = frame_height * frames;
  for (int y = 0; y < desc.height; ++y) {
    const RasterPixel p = FrameColour(y / frame_height + 1);
    std::vector<png_byte> row;
    for (int x = 0; x < width; ++x)
      row.insert(row.end(), {png_byte(RasterRed(p)), png_byte(RasterGreen(p)),
                             png_byte(RasterBlue(p)), png_byte(alpha)});
    desc.rows.push_back(row);
  }
  return WritePng(desc);
}

class CountingVantor : public TestVantor {
 public:
  void IdleTick() override {
    ++idle_ticks;
    TestVantor::IdleTick();
  }
  int idle_ticks = 0;
};

inline MouseMods Left() {
  MouseMods m;
  m.left = true;
  return m;
}
inline MouseMods Right() {
  MouseMods m;
  m.right = true;
  return m;
}
inline MouseMods LeftShift() {
  MouseMods m = Left();
  m.shift = true;
  return m;
}

}  // namespace vantor::testing
