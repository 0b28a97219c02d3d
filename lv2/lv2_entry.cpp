// The LV2 entry points of Vantor.lv2: the plug-in descriptor and its X11 UI descriptor.
#include <cstring>

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>

#include "lv2/lv2_instrument.h"
#include "lv2/lv2_ports.h"
#include "lv2/lv2_ui.h"

namespace {

using vantor::lv2::Lv2Instrument;
using vantor::lv2::Lv2Ui;

Lv2Instrument* Self(LV2_Handle handle) {
  return static_cast<Lv2Instrument*>(handle);
}

LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
  return Lv2Instrument::Create(rate, features);
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) {
  Self(handle)->ConnectPort(port, data);
}

void Activate(LV2_Handle handle) {
  Self(handle)->Activate();
}

void Run(LV2_Handle handle, uint32_t frames) {
  Self(handle)->Run(frames);
}

void Deactivate(LV2_Handle handle) {
  Self(handle)->Deactivate();
}

void Cleanup(LV2_Handle handle) {
  delete Self(handle);
}

LV2_State_Status Save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                      uint32_t, const LV2_Feature* const*) {
  return Self(handle)->Save(store, state);
}

LV2_State_Status Restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle state, uint32_t, const LV2_Feature* const*) {
  return Self(handle)->Restore(retrieve, state);
}

const void* ExtensionData(const char* uri) {
  static const LV2_State_Interface kState = {Save, Restore};
  return strcmp(uri, LV2_STATE__interface) == 0 ? &kState : nullptr;
}

const LV2_Descriptor kDescriptor = {vantor::lv2::kPluginUri,
                                    Instantiate,
                                    ConnectPort,
                                    Activate,
                                    Run,
                                    Deactivate,
                                    Cleanup,
                                    ExtensionData};

LV2UI_Handle UiInstantiate(const LV2UI_Descriptor*, const char*, const char*,
                           LV2UI_Write_Function write, LV2UI_Controller controller,
                           LV2UI_Widget* widget, const LV2_Feature* const* features) {
  return Lv2Ui::Create(write, controller, widget, features);
}

void UiCleanup(LV2UI_Handle handle) {
  delete static_cast<Lv2Ui*>(handle);
}

void UiPortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
                 const void* buffer) {
  static_cast<Lv2Ui*>(handle)->PortEvent(port, size, format, buffer);
}

int UiIdle(LV2UI_Handle handle) {
  return static_cast<Lv2Ui*>(handle)->Idle();
}

const void* UiExtensionData(const char* uri) {
  static const LV2UI_Idle_Interface kIdle = {UiIdle};
  return strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdle : nullptr;
}

const LV2UI_Descriptor kUiDescriptor = {vantor::lv2::kUiUri, UiInstantiate, UiCleanup, UiPortEvent,
                                        UiExtensionData};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(
    uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(
    uint32_t index) {
  return index == 0 ? &kUiDescriptor : nullptr;
}
