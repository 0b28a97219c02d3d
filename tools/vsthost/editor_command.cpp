// vsthost editor: the plug-in's editor in a window of its own, a script of mouse and key
// actions, and a screenshot of the window.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tools/vsthost/commands.h"
#include "tools/vsthost/os.h"
#include "tools/vsthost/picture.h"

namespace vsthost {
namespace {

using Clock = std::chrono::steady_clock;

// Calls effEditIdle as a host's user-interface loop would, every few milliseconds.
void Idle(Plugin& plugin, os::HostWindow& window, int milliseconds) {
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(milliseconds);
  do {
    window.Pump(0);
    plugin.Dispatch(vst::effEditIdle);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (Clock::now() < until);
}

// Lets the plug-in handle all the input sent to its window so far, however busy the machine:
// a Windows editor has had its messages when the pump returns, an X11 editor reads its own in
// the idle call.
void Settle(Plugin& plugin, os::HostWindow& window) {
  window.Deliver();
  window.Pump(0);
  plugin.Dispatch(vst::effEditIdle);
}

bool Perform(const EditorAction& action, Plugin& plugin, os::HostWindow& window,
             std::string& error) {
  const std::vector<int>& n = action.numbers;
  bool ok = true;
  switch (action.kind) {
    case EditorAction::Kind::kClick:
    case EditorAction::Kind::kRightClick: {
      const int button = action.kind == EditorAction::Kind::kClick ? 1 : 3;
      ok = window.Press(n[0], n[1], button);
      Settle(plugin, window);
      ok = ok && window.Release(n[0], n[1], button);
      break;
    }
    case EditorAction::Kind::kDoubleClick:
      ok = window.Press(n[0], n[1], 1) && window.Release(n[0], n[1], 1) &&
           window.Press(n[0], n[1], 1) && window.Release(n[0], n[1], 1);
      break;
    case EditorAction::Kind::kDrag: {
      ok = window.Press(n[0], n[1], 1);
      Settle(plugin, window);
      constexpr int kSteps = 8;
      for (int i = 1; ok && i <= kSteps; ++i) {
        ok = window.Move(n[0] + (n[2] - n[0]) * i / kSteps, n[1] + (n[3] - n[1]) * i / kSteps, 1);
        Settle(plugin, window);
      }
      ok = ok && window.Release(n[2], n[3], 1);
      break;
    }
    case EditorAction::Kind::kWheel: {
      const int button = n[2] > 0 ? 4 : 5;
      for (int i = 0; ok && i < std::abs(n[2]); ++i)
        ok = window.Press(n[0], n[1], button) && window.Release(n[0], n[1], button);
      break;
    }
    case EditorAction::Kind::kKey:
      if (!window.Key(action.key, error)) return false;
      break;
  }
  if (!ok) error = "the window did not take the input";
  return ok;
}

// Each parameter's value and display text, to tell what the actions changed.
struct ParameterState {
  std::vector<float> values;
  std::vector<std::string> texts;
};

ParameterState ReadParameters(Plugin& plugin) {
  ParameterState state;
  for (int i = 0; i < plugin.NumParams(); ++i) {
    state.values.push_back(plugin.GetParameter(i));
    std::string text = plugin.ParamDisplay(i);
    const std::string label = plugin.ParamLabel(i);
    if (!label.empty()) text += " " + label;
    state.texts.push_back(text);
  }
  return state;
}

}  // namespace

int RunEditor(const Options& options) {
  std::shared_ptr<PluginLibrary> library;
  std::unique_ptr<Plugin> plugin = OpenPlugin(options.plugin, &library);
  if (!plugin) return 1;
  if (!plugin->HasFlag(vst::effFlagsHasEditor)) {
    fprintf(stderr, "vsthost: the plug-in has no editor\n");
    return 1;
  }
  if (!ApplySetup(*plugin, options, false)) return 1;
  // As hosts tell a plug-in the scale of the display its editor is shown on.
  if (options.zoom > 0.0)
    plugin->Dispatch(vst::effVendorSpecific, vst::FourCC('P', 'r', 'e', 'S'),
                     vst::FourCC('A', 'e', 'C', 's'), nullptr, static_cast<float>(options.zoom));
  vst::ERect* rect = nullptr;
  if (!plugin->Dispatch(vst::effEditGetRect, 0, 0, &rect) || !rect || rect->right <= rect->left ||
      rect->bottom <= rect->top) {
    fprintf(stderr, "vsthost: the plug-in tells no editor size\n");
    return 1;
  }
  const int width = rect->right - rect->left;
  const int height = rect->bottom - rect->top;
  std::string error;
  std::unique_ptr<os::HostWindow> window = os::OpenHostWindow(width, height, "vsthost", error);
  if (!window) {
    fprintf(stderr, "vsthost: %s\n", error.c_str());
    return 1;
  }
  int shown_width = width;
  int shown_height = height;
  plugin->host().size_window = [&](int w, int h) {
    if (!window->Resize(w, h)) return false;
    shown_width = w;
    shown_height = h;
    return true;
  };
  // The callback must not outlive the window it resizes.
  struct Unhook {
    Plugin& plugin;
    ~Unhook() { plugin.host().size_window = nullptr; }
  } unhook{*plugin};
  if (!plugin->Dispatch(vst::effEditOpen, 0, 0, window->Handle())) {
    fprintf(stderr, "vsthost: the plug-in's editor did not open\n");
    return 1;
  }
  Settle(*plugin, *window);
  const long automations = plugin->host().automations;
  const ParameterState before = ReadParameters(*plugin);
  for (const EditorAction& action : options.editor_actions) {
    if (!Perform(action, *plugin, *window, error)) {
      fprintf(stderr, "vsthost: %s\n", error.c_str());
      plugin->Dispatch(vst::effEditClose);
      return 1;
    }
    Settle(*plugin, *window);
  }
  Idle(*plugin, *window, options.idle_ms);
  int status = 0;
  if (!options.output.empty()) {
    // The picture shows the editor as it stands now, not as its last timer left it.
    window->Repaint();
    Settle(*plugin, *window);
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    if (!window->Capture(rgb, w, h, error) || !WriteRgbPng(options.output, w, h, rgb, error)) {
      fprintf(stderr, "vsthost: %s\n", error.c_str());
      status = 1;
    }
  }
  // What the actions did, read back through the plug-in.
  const ParameterState after = ReadParameters(*plugin);
  for (size_t i = 0; i < after.values.size() && i < before.values.size(); ++i) {
    if (after.values[i] == before.values[i]) continue;
    printf("Parameter %zu \"%s\": \"%s\" -> \"%s\" (%g -> %g)\n", i,
           plugin->ParamName(static_cast<int>(i)).c_str(), before.texts[i].c_str(),
           after.texts[i].c_str(), before.values[i], after.values[i]);
  }
  plugin->Dispatch(vst::effEditClose);
  window->Pump(0);
  printf("Editor: %d x %d, %zu actions, %ld parameter changes told to the host%s%s\n", shown_width,
         shown_height, options.editor_actions.size(), plugin->host().automations - automations,
         options.output.empty() || status ? "" : ", window saved as ",
         options.output.empty() || status ? "" : options.output.c_str());
  return status;
}

}  // namespace vsthost
