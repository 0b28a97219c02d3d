// The editor object of this build: headless until a windowed editor exists for the platform.
#include "editor/graphics_headless.h"

namespace vantor {

std::unique_ptr<Graphics> CreatePlatformGraphics(PluginBase* plugin) {
  return std::make_unique<GraphicsHeadless>(plugin);
}

}  // namespace vantor
