// Lv2Ui: opens the editor in the host's window and carries parameter changes both ways.
#include "lv2/lv2_ui.h"

#include <array>
#include <cstring>
#include <mutex>
#include <new>

#include <lv2/instance-access/instance-access.h>

#include "editor/graphics.h"
#include "instrument/vantor.h"
#include "lv2/lv2_ports.h"

namespace vantor::lv2 {
namespace {

constexpr double kOwnSampleRate = 44100.0;  // the UI's own instrument never renders

const void* FindFeature(const LV2_Feature* const* features, const char* uri) {
  for (; features && *features; ++features) {
    if (strcmp((*features)->URI, uri) == 0) return (*features)->data;
  }
  return nullptr;
}

}  // namespace

Lv2Ui* Lv2Ui::Create(LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                     const LV2_Feature* const* features) {
  void* parent = const_cast<void*>(FindFeature(features, LV2_UI__parent));
  if (!parent || !write || !widget) return nullptr;
  std::unique_ptr<Lv2Ui> ui(new (std::nothrow) Lv2Ui);
  if (!ui) return nullptr;
  ui->write_ = write;
  ui->controller_ = controller;
  auto* instance = static_cast<Lv2Instrument*>(
      const_cast<void*>(FindFeature(features, LV2_INSTANCE_ACCESS_URI)));
  if (instance && instance->IsInstrument() && instance->AttachUi()) {
    ui->shared_ = instance;
    ui->shown_ = &instance->vantor();
    ui->notices_ = &instance->notices();
  } else {
    ui->own_notices_ = std::make_unique<UiNotices>();
    ui->own_ = MakeInstrument(ui->own_notices_.get(), kOwnSampleRate, 1024);
    if (!ui->own_) return nullptr;
    ui->shown_ = ui->own_.get();
    ui->notices_ = ui->own_notices_.get();
  }
  // As a VST host opens the editor: effEditOpen with the parent window.
  if (!ui->shown_->Dispatch(vst::effEditOpen, 0, 0, parent, 0.0f)) return nullptr;
  *widget = ui->shown_->graphics().NativeWindow();
  if (const auto* resize =
          static_cast<const LV2UI_Resize*>(FindFeature(features, LV2_UI__resize))) {
    resize->ui_resize(resize->handle, ui->shown_->graphics().Width(),
                      ui->shown_->graphics().Height());
    // A zoom chosen in the editor asks the host for the new size; ui_resize answers 0 on
    // success.
    ui->notices_->resize = [resize](int width, int height) {
      return resize->ui_resize(resize->handle, width, height) == 0;
    };
  }
  // Changes made before the UI existed are not the host's news.
  ui->notices_->all_changed.store(false);
  for (std::atomic<bool>& changed : ui->notices_->changed)
    changed.store(false);
  return ui.release();
}

Lv2Ui::~Lv2Ui() {
  if (notices_) notices_->resize = nullptr;
  if (shown_) shown_->Dispatch(vst::effEditClose, 0, 0, nullptr, 0.0f);
  if (shared_) shared_->DetachUi();
}

void Lv2Ui::PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  // The instance applies the ports itself and updates its editor as it does; an instrument of
  // the UI's own follows them here.
  if (shared_ || !own_ || format != 0 || size != sizeof(float) || !buffer) return;
  if (port >= static_cast<uint32_t>(kControlPorts)) return;
  float value;
  memcpy(&value, buffer, sizeof value);
  std::lock_guard lock(own_->mutex());
  ApplyControl(*own_, static_cast<int>(port), value);
}

int Lv2Ui::Idle() {
  shown_->Dispatch(vst::effEditIdle, 0, 0, nullptr, 0.0f);
  WriteChangedPorts();
  return 0;
}

void Lv2Ui::WriteChangedPorts() {
  const bool all = notices_->all_changed.exchange(false, std::memory_order_relaxed);
  std::array<bool, kParamCount> due{};
  std::array<float, kParamCount> values{};
  bool any = false;
  {
    std::lock_guard lock(shown_->mutex());
    for (int i = 0; i < kParamCount; ++i) {
      const bool changed =
          notices_->changed[static_cast<size_t>(i)].exchange(false, std::memory_order_relaxed);
      if (!changed && !all) continue;
      due[static_cast<size_t>(i)] = any = true;
      values[static_cast<size_t>(i)] = static_cast<float>(shown_->Param(i)->value());
    }
  }
  if (!any) return;
  // Outside the lock: a host may answer a write with a port event at once.
  for (int i = 0; i < kParamCount; ++i) {
    if (!due[static_cast<size_t>(i)]) continue;
    const float v = values[static_cast<size_t>(i)];
    if (shared_) shared_->RememberUiWrite(i, v);
    write_(controller_, static_cast<uint32_t>(i), sizeof v, 0, &v);
  }
}

}  // namespace vantor::lv2
