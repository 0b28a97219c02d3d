// Control: default behaviour, dirty state, parameter binding and the value prompt.
#include "editor/control.h"

#include "core/plugin_base.h"
#include "editor/graphics.h"
#include "editor/stock_controls.h"

namespace vantor {

Control::Control(PluginBase* plugin, Rect rect, int32_t param_index)
    : plugin_(plugin), rect_(rect), target_rect_(rect), param_index_(param_index) {}

Control::~Control() = default;

void Control::MouseDown(int /*x*/, int /*y*/, const MouseMods& mods) {
  if (mods.right) PromptForValue();
}

void Control::MouseUp(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {}

void Control::MouseDrag(int /*x*/, int /*y*/, int /*dx*/, int /*dy*/, const MouseMods& /*mods*/) {}

void Control::MouseDoubleClick(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {
  if (default_value() < 0.0) return;
  set_value(default_value());
  MarkDirty(true);
}

void Control::MouseWheel(int /*x*/, int /*y*/, const MouseMods& /*mods*/, int /*d*/) {}

bool Control::KeyDown(int /*x*/, int /*y*/, int /*key*/) {
  return false;
}

void Control::MouseOver(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {}

void Control::MouseOut() {}

void Control::StorePluginValue(double v) {
  // The first value from the plug-in object is also the one a double click restores.
  if (default_value() < 0.0) {
    set_value(v);
    set_default_value(v);
    return;
  }
  if (value() == v) return;
  set_value(Clamped(v));
  pending_.store(true, std::memory_order_release);
}

void Control::SetValueFromPlugin(double v) {
  StorePluginValue(v);
}

void Control::SetAuxValueFromPlugin(int aux_index, double v) {
  if (aux_index < 0 || aux_index >= NumAuxParams()) return;
  AuxParam& aux = *aux_[static_cast<size_t>(aux_index)];
  if (aux.value.load(std::memory_order_relaxed) == v) return;
  aux.value.store(v, std::memory_order_relaxed);
  pending_.store(true, std::memory_order_release);
}

void Control::ApplyPluginChange() {
  if (!pending_.exchange(false, std::memory_order_acquire)) return;
  MarkDirty(false);
  redraw_ = true;
}

void Control::SetValueFromUser(double v) {
  if (value() == v) return;
  set_value(v);
  MarkDirty(true);
  redraw_ = true;
}

void Control::TakeEnteredText(const std::string& /*text*/) {}

void Control::SetHidden(bool hidden) {
  hidden_ = hidden;
  redraw_ = true;
  MarkDirty(false);
}

void Control::SetGrayed(bool grayed) {
  grayed_ = grayed;
  blend_.weight = grayed ? 0.25f : 1.0f;
  MarkDirty(false);
}

bool Control::HitTest(int x, int y) const {
  return target_rect_.Contains(x, y);
}

double Control::Clamped(double v) const {
  // Written so that NaN ends at the low end instead of reaching the parameter.
  if (!(v >= clamp_low_)) return clamp_low_;
  if (v > clamp_high_) return clamp_high_;
  return v;
}

void Control::MarkDirty(bool push_to_plugin) {
  // Compare-and-swap: a value the plug-in side stored meanwhile is already clamped and must not
  // be overwritten by the older one.
  double v = value();
  const double clamped = Clamped(v);
  if (clamped != v) value_.compare_exchange_strong(v, clamped, std::memory_order_relaxed);
  dirty_ = true;
  if (push_to_plugin && plugin_ && param_index_ >= 0)
    plugin_->SetParamFromEditor(param_index_, value());
  if (!value_display_ && !name_display_) return;
  const PluginParam* param = BoundParam();
  if (!param) return;
  if (value_display_) {
    std::string text = param->DisplayText();
    const char* label = param->GetUnitLabel();
    if (label[0]) text += std::string(" ") + label;
    value_display_->SetText(text);
  }
  if (name_display_) name_display_->SetText(param->name());
}

void Control::MarkClean() {
  dirty_ = redraw_;
  redraw_ = false;
}

bool Control::IsDirty() const {
  return dirty_ || pending_.load(std::memory_order_acquire);
}

void Control::EditorIdle() {}

PluginParam* Control::BoundParam() const {
  return plugin_ && param_index_ >= 0 ? plugin_->Param(param_index_) : nullptr;
}

int Control::AddAuxParam(int32_t param_index) {
  auto aux = std::make_unique<AuxParam>();
  aux->param_index = param_index;
  aux_.push_back(std::move(aux));
  return NumAuxParams() - 1;
}

int32_t Control::AuxParamIndex(int aux_index) const {
  if (aux_index < 0 || aux_index >= NumAuxParams()) return -1;
  return aux_[static_cast<size_t>(aux_index)]->param_index;
}

double Control::AuxValue(int aux_index) const {
  if (aux_index < 0 || aux_index >= NumAuxParams()) return 0.0;
  return aux_[static_cast<size_t>(aux_index)]->value.load(std::memory_order_relaxed);
}

void Control::PromptForValue() {
  PluginParam* param = BoundParam();
  if (prompt_disabled_ || !param || !graphics_) return;
  const auto& texts = param->display_texts();
  Rect entry = rect_;
  if (texts.empty()) {
    const int cx = (rect_.left + rect_.right) / 2;
    const int cy = (rect_.top + rect_.bottom) / 2;
    entry = {cx - 20, cy - 8, cx + 20, cy + 8};
  }
  if (param->kind() == ParamKind::Enumerated) {
    PopupMenu menu;
    const std::string current = param->DisplayText();
    for (size_t i = 0; i < texts.size(); ++i) {
      char text[64];
      param->GetDisplayText(static_cast<double>(i), false, text, sizeof text);
      menu.AddItem(text, current == text ? kItemChecked : 0);
    }
    PopupMenu* chosen = graphics_->ShowPopupMenu(menu, entry);
    if (chosen == &menu && menu.chosen() >= 0)
      SetValueFromUser(param->ToNormalized(static_cast<double>(menu.chosen())));
    return;
  }
  const std::string text = Graphics::FormatForEntry(*param);
  graphics_->BeginTextEntry(this, text_style_, entry, text.c_str(), param);
}

}  // namespace vantor
