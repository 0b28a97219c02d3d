// The editor object of this build: headless until a windowed editor exists for the platform.
#include "editor/graphics_headless.h"

namespace vantor {

std::unique_ptr<Graphics> CreatePlatformGraphics(PluginBase* plugin) {
  auto graphics = std::make_unique<GraphicsHeadless>(plugin);
  graphics->set_opens_windows(false);  // there is no window to show yet
  return graphics;
}

}  // namespace vantor
