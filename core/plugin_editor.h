// The editor as the plug-in object sees it: where parameter values go and what size it is.
#pragma once

namespace vantor {

// Implemented by the editor framework; the plug-in object holds one but does not own it.
class PluginEditor {
 public:
  virtual ~PluginEditor() = default;
  // Hands a parameter value to every control bound to `index` (plain values are normalised
  // first by the editor).
  virtual void SetControlsFromParameter(int index, double value, bool normalised) = 0;
  // Creates the drawing bitmap at the editor's size and an empty scratch bitmap.
  virtual void PrepareDrawing() = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Opens the editor's window inside the host's parent window; false when none could open.
  virtual bool OpenEditorWindow(void* /*parent*/) { return false; }
  virtual void CloseEditorWindow() {}
  // The host's idle call (effEditIdle, effIdle): a window without threads of its own handles
  // its events and its redraw timer here.
  virtual void Idle() {}
};

}  // namespace vantor
