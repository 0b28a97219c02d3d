// Lv2Ui: the instrument's editor as an LV2 X11 UI in the host's window.
#pragma once

#include <memory>

#include <lv2/ui/ui.h>

#include "lv2/lv2_instrument.h"

namespace vantor::lv2 {

class Lv2Ui {
 public:
  // With instance access the UI opens the instance's own editor. Without it (or while another UI
  // shows that editor) it opens the editor of an instrument of its own, which follows the ports
  // and sends its changes to them. Null when no window could open.
  static Lv2Ui* Create(LV2UI_Write_Function write, LV2UI_Controller controller,
                       LV2UI_Widget* widget, const LV2_Feature* const* features);
  ~Lv2Ui();
  Lv2Ui(const Lv2Ui&) = delete;
  Lv2Ui& operator=(const Lv2Ui&) = delete;

  // A control port's value from the host.
  void PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
  // The host's idle call: window events and redraw, then what the host must hear.
  int Idle();

  bool shares_instance() const { return shared_ != nullptr; }

 private:
  Lv2Ui() = default;
  // Writes every control port the instrument changed since the last call.
  void WriteChangedPorts();

  LV2UI_Write_Function write_ = nullptr;
  LV2UI_Controller controller_ = nullptr;
  Lv2Instrument* shared_ = nullptr;
  std::unique_ptr<UiNotices> own_notices_;
  std::unique_ptr<Vantor> own_;
  Vantor* shown_ = nullptr;
  UiNotices* notices_ = nullptr;
};

}  // namespace vantor::lv2
