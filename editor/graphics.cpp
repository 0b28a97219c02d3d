// Graphics: the platform-independent part of the editor object.
#include "editor/graphics.h"

namespace vantor {

Graphics::Graphics(PluginBase* plugin) : plugin_(plugin) {}

Graphics::~Graphics() = default;

// No control is bound to a parameter yet: the control list arrives with the control framework.
void Graphics::SetControlsFromParameter(int /*index*/, double /*value*/, bool /*normalised*/) {}

// The drawing bitmap arrives with the raster library; until then there is nothing to prepare.
void Graphics::PrepareDrawing() {}

}  // namespace vantor
