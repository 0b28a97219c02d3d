// Parameter values arriving on another thread while the timer draws: no data race (this binary
// also runs under ThreadSanitizer), and the latest value is drawn on the next tick.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "editor_test_support.h"
#include "engine/param_ids.h"

namespace vantor {
namespace {

using testing::FrameColour;
using testing::Left;
using testing::StripPng;
using testing::TestVantor;

constexpr int kKnobs = 8;
constexpr int kFrames = 11;

struct Panel {
  TestVantor plugin;
  GraphicsHeadless g{&plugin};
  KnobMultiControl* knobs[kKnobs];

  Panel() {
    g.ProvideBitmap(901, StripPng(10, 10, kFrames));
    const BitmapRef film = g.LoadBitmapResource(901, "film.png", kFrames);
    g.Add(std::make_unique<BitmapControl>(&plugin, Rect{0, 0, 924, 456}, -1, BitmapRef{}));
    for (int k = 0; k < kKnobs; ++k)
      knobs[k] = g.Add(std::make_unique<KnobMultiControl>(&plugin, 20 * k, 0, kFilterCutoff + k,
                                                          film, Direction::Vertical, 1.0));
    plugin.AttachEditor(&g);
    g.OpenEditorWindow(nullptr);
  }

  // What the host binding does with a value from the automation thread.
  void HostSets(int param, double normalised) {
    std::lock_guard lock(plugin.mutex());
    plugin.Param(param)->SetFromNormalized(normalised);
    g.SetControlsFromParameter(param, normalised, true);
  }

  int DrawnFrame(int k) const {
    const RasterPixel p = g.drawing_bitmap()->At(20 * k + 5, 5);
    for (int f = 1; f <= kFrames; ++f)
      if (p == FrameColour(f)) return f;
    return 0;
  }
};

TEST(ThreadTest, ValuesFromAnotherThreadWhileDrawingAndDragging) {
  Panel panel;
  std::atomic<bool> stop{false};
  std::thread host([&] {
    for (int i = 0; !stop.load(); ++i)
      panel.HostSets(kFilterCutoff + i % kKnobs, (i % 101) / 100.0);
  });
  for (int tick = 0; tick < 300; ++tick) {
    panel.g.Tick();
    // The user drags the first knob meanwhile; its value is fought over, safely.
    panel.g.HandleMouseDown(5, 5, Left());
    panel.g.HandleMouseDrag(5, 5 - tick % 7, Left());
    panel.g.HandleMouseUp(5, 5, Left());
  }
  stop = true;
  host.join();

  // Whatever the last values were, one tick later they are on screen.
  panel.g.Tick();
  for (int k = 0; k < kKnobs; ++k)
    EXPECT_EQ(panel.DrawnFrame(k), panel.knobs[k]->Frame()) << "knob " << k;
}

TEST(ThreadTest, EachValueIsDrawnOnTheTickAfterItArrives) {
  Panel panel;
  while (panel.g.Tick()) {
  }
  std::mutex lock;
  std::condition_variable changed;
  int sent = 0;
  int seen = 0;
  constexpr int kSteps = 200;
  std::thread host([&] {
    for (int step = 1; step <= kSteps; ++step) {
      panel.HostSets(kFilterCutoff + step % kKnobs, (step % kFrames) / double(kFrames - 1));
      std::unique_lock guard(lock);
      sent = step;
      changed.notify_all();
      changed.wait(guard, [&] { return seen == step; });
    }
  });
  for (int step = 1; step <= kSteps; ++step) {
    {
      std::unique_lock guard(lock);
      changed.wait(guard, [&] { return sent == step; });
    }
    panel.g.Tick();
    ASSERT_EQ(panel.DrawnFrame(step % kKnobs), step % kFrames + 1) << "step " << step;
    std::lock_guard guard(lock);
    seen = step;
    changed.notify_all();
  }
  host.join();
}

// The instrument's own editor: MIDI program changes and MIDI learn arrive on the audio thread
// (under the plug-in mutex, as the binding takes it) while the user clicks the learn button and
// the timer draws the program display.
TEST(ThreadTest, ProgramChangesAndLearningFromTheMidiThreadWhileTheEditorDraws) {
  TestVantor plugin;
  GraphicsHeadless& g = *plugin.ui;
  g.OpenEditorWindow(nullptr);
  std::atomic<bool> stop{false};
  std::thread midi([&] {
    for (int i = 0; !stop.load(); ++i) {
      {
        std::lock_guard lock(plugin.mutex());
        // A controller while learning, then a program change whose parameters end the learn.
        plugin.HandleMidiMessage({0, 0xB0, 74, static_cast<uint8_t>(i % 128)});
        plugin.HandleMidiMessage({0, 0xC0, static_cast<uint8_t>(i % 64), 0});
      }
      // Blocks come at intervals; relocking at once would starve the editor of the unfair mutex.
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  for (int tick = 0; tick < 200; ++tick) {
    g.HandleMouseDown(600, 430, Left());  // the learn button
    g.HandleMouseUp(600, 430, Left());
    g.HandleMouseOver(890, 58, MouseMods{});
    g.Tick();
  }
  stop = true;
  midi.join();

  g.Tick();
  const BwPresetMenu* programs = plugin.editor_parts().programs;
  char number[8];
  snprintf(number, sizeof number, "%02d", plugin.current_program());
  EXPECT_EQ(programs->number_text(), number);
  EXPECT_EQ(programs->name_text(), plugin.GetProgramName(plugin.current_program()));
}

}  // namespace
}  // namespace vantor
