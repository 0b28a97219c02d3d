// vantor_screenshot: draws the instrument's editor without a window into a PNG file, in either
// view, after an optional script of mouse actions.
//
//   vantor_screenshot -o editor.png [--alt-view] [--zoom F] [--program N] [--note N] [ACTION ...]
//   ACTION: --click X,Y   --right-click X,Y   --double-click X,Y   --drag X,Y,X2,Y2
//           --hover X,Y   --wheel X,Y,D       --menu P[,P...] (answers the next menu)
// At a zoom F (1, 1.5 or 2) the picture is F times as large, and so are the actions'
// coordinates: they are the picture's pixels.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "editor/graphics_headless.h"
#include "instrument/vantor.h"

namespace vantor {
namespace {

struct Action {
  std::string kind;
  std::vector<int> numbers;
};

struct Options {
  std::string output;
  bool alternative_view = false;
  int zoom = 100;
  int program = -1;
  int note = -1;
  std::vector<Action> actions;
};

int Usage() {
  fprintf(stderr,
          "usage: vantor_screenshot -o FILE.png [--alt-view] [--zoom 1|1.5|2] [--program N]\n"
          "       [--note N]\n"
          "       [--click X,Y] [--right-click X,Y] [--double-click X,Y] [--drag X,Y,X2,Y2]\n"
          "       [--hover X,Y] [--wheel X,Y,D] [--menu P[,P...]] ...\n");
  return 2;
}

// "12,34" into {12, 34}; false unless it holds exactly `count` integers.
bool ParseNumbers(const char* text, size_t count, std::vector<int>* out) {
  std::stringstream in(text);
  std::string part;
  out->clear();
  while (std::getline(in, part, ',')) {
    char* end = nullptr;
    const long n = strtol(part.c_str(), &end, 10);
    if (part.empty() || *end != '\0' || n < -100000 || n > 100000) return false;
    out->push_back(static_cast<int>(n));
  }
  return count == 0 ? !out->empty() : out->size() == count;
}

bool ParseArguments(int argc, char** argv, Options* options) {
  const std::pair<const char*, size_t> actions[] = {
      {"--click", 2}, {"--right-click", 2}, {"--double-click", 2}, {"--drag", 4},
      {"--hover", 2}, {"--wheel", 3},       {"--menu", 0}};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--alt-view") {
      options->alternative_view = true;
      continue;
    }
    if (!value) return false;
    ++i;
    if (arg == "-o") {
      options->output = value;
    } else if (arg == "--zoom") {
      char* end = nullptr;
      const double factor = strtod(value, &end);
      const int percent = NearestZoomPercent(factor);
      if (*end != '\0' || std::fabs(factor * 100.0 - percent) > 1e-9) return false;
      options->zoom = percent;
    } else if (arg == "--program" || arg == "--note") {
      std::vector<int> n;
      if (!ParseNumbers(value, 1, &n)) return false;
      (arg == "--program" ? options->program : options->note) = n[0];
    } else {
      bool known = false;
      for (const auto& [name, count] : actions) {
        if (arg != name) continue;
        Action action{arg, {}};
        if (!ParseNumbers(value, count, &action.numbers)) return false;
        options->actions.push_back(action);
        known = true;
      }
      if (!known) return false;
    }
  }
  return !options->output.empty();
}

// A configuration folder of our own, so the user's settings are neither read nor changed.
std::filesystem::path PrivateConfig(bool alternative_view) {
  std::random_device random;
  std::filesystem::path root;
  do {
    root = std::filesystem::temp_directory_path() /
           ("vantor-screenshot-" + std::to_string(random()) + std::to_string(random()));
  } while (!std::filesystem::create_directory(root));
  std::filesystem::create_directories(root / "Brenwick");
  std::ofstream(root / "Brenwick" / "vantor.ini")
      << "[Editor]\nSwitch View=" << (alternative_view ? "true" : "false") << "\n";
  setenv("XDG_CONFIG_HOME", root.c_str(), 1);
  return root;
}

void Run(Vantor& vantor, GraphicsHeadless& ui, const Action& a) {
  MouseMods left;
  left.left = true;
  MouseMods right;
  right.right = true;
  const std::vector<int>& n = a.numbers;
  if (a.kind == "--click" || a.kind == "--right-click") {
    const MouseMods& mods = a.kind == "--click" ? left : right;
    ui.HandleMouseDown(n[0], n[1], mods);
    ui.HandleMouseUp(n[0], n[1], mods);
  } else if (a.kind == "--double-click") {
    ui.HandleMouseDown(n[0], n[1], left);
    ui.HandleMouseUp(n[0], n[1], left);
    if (ui.HandleDoubleClick(n[0], n[1], left)) ui.HandleMouseUp(n[0], n[1], left);
  } else if (a.kind == "--drag") {
    ui.HandleMouseDown(n[0], n[1], left);
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i)
      ui.HandleMouseDrag(n[0] + (n[2] - n[0]) * i / kSteps, n[1] + (n[3] - n[1]) * i / kSteps,
                         left);
    ui.HandleMouseUp(n[2], n[3], left);
  } else if (a.kind == "--hover") {
    ui.HandleMouseOver(n[0], n[1], MouseMods{});
  } else if (a.kind == "--wheel") {
    ui.HandleMouseWheel(n[0], n[1], MouseMods{}, n[2]);
  } else if (a.kind == "--menu") {
    ui.ChooseNextMenuItem(n);
  }
  (void)vantor;
  ui.Tick();
}

int Main(int argc, char** argv) {
  Options options;
  if (!ParseArguments(argc, argv, &options)) return Usage();
  const std::filesystem::path config = PrivateConfig(options.alternative_view);
  int result = 0;
  {
    Vantor vantor(nullptr);
    auto headless = std::make_unique<GraphicsHeadless>(&vantor);
    GraphicsHeadless& ui = *headless;
    vantor.ReplaceGraphics(std::move(headless));
    vantor.ApplyEditorZoom(options.zoom);
    ui.OpenEditorWindow(nullptr);
    if (options.program >= 0) vantor.SelectProgram(options.program);
    if (options.note >= 0) {
      vantor.HandleMidiMessage({0, 0x90, static_cast<uint8_t>(options.note & 0x7f), 100});
      std::vector<double> left(256), right(256);
      double* outputs[2] = {left.data(), right.data()};
      vantor.RenderBlock(nullptr, outputs, 256);
      vantor.IdleTick();
    }
    ui.Tick();
    for (const Action& action : options.actions)
      Run(vantor, ui, action);
    ui.RedrawAll();
    if (!ui.SaveScreenshot(options.output.c_str())) {
      fprintf(stderr, "vantor_screenshot: cannot write %s\n", options.output.c_str());
      result = 1;
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(config, ignored);
  return result;
}

}  // namespace
}  // namespace vantor

int main(int argc, char** argv) {
  return vantor::Main(argc, argv);
}
