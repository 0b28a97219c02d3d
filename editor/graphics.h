// Graphics: the editor object of one plug-in instance and the platform slots it leaves open.
#pragma once

#include <memory>
#include <string>

#include "core/plugin_editor.h"

namespace vantor {

class PluginBase;

// Kinds of message box; the numbers are those of the Windows message box styles.
enum class MessageBoxType : int { Ok = 0, YesNo = 4 };

// The button that closed a message box; the numbers are the Windows button identifiers.
enum class MessageBoxButton : int { None = 0, Ok = 1, Cancel = 2, Yes = 6, No = 7 };

enum class FileAction : int { Open = 0, Save = 1 };

class Graphics : public PluginEditor {
 public:
  static constexpr int kDefaultWidth = 924;
  static constexpr int kDefaultHeight = 456;

  // `plugin` is the plug-in object whose parameters the editor shows; not owned, may be null.
  explicit Graphics(PluginBase* plugin);
  ~Graphics() override;
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  // PluginEditor
  void SetControlsFromParameter(int index, double value, bool normalised) override;
  void PrepareDrawing() override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }

  // Platform slots.
  virtual bool IsWindowOpen() const = 0;
  // Shows `text` under `caption` and waits for the user; returns the button pressed.
  virtual MessageBoxButton ShowMessageBox(const char* text, const char* caption,
                                          MessageBoxType type) = 0;
  // File prompt. `file` brings the proposed name and returns the chosen full path (empty on
  // cancel); `folder` brings the start folder and returns the chosen file's folder;
  // `extensions` is a blank-separated list ("fxp", "fxb") whose first word is the default.
  virtual void ChooseFile(std::string& file, FileAction action, std::string& folder,
                          const char* extensions) = 0;

  PluginBase* plugin() const { return plugin_; }

 protected:
  PluginBase* plugin_;
  int width_ = kDefaultWidth;
  int height_ = kDefaultHeight;
};

// The editor object of this platform, created by the instrument shell for each plug-in object.
std::unique_ptr<Graphics> CreatePlatformGraphics(PluginBase* plugin);

}  // namespace vantor
