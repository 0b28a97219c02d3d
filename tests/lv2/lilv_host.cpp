// The lilv test host: loads Vantor.lv2 from the build tree and drives it as an LV2 host does.
#include "lv2/lilv_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

namespace vantor::testing {
namespace {

constexpr const char* kPluginUri = "https://www.brenwick.example/lv2/vantor";
constexpr int kControlPorts = 110;
constexpr int kMidiInPort = 110;
constexpr size_t kSequenceBytes = 1 << 16;

LV2_URID MapUri(LV2_URID_Map_Handle handle, const char* uri) {
  return static_cast<LilvHost*>(handle)->Map(uri);
}

}  // namespace

LilvHost::LilvHost() {
  // The bundle first, then the system's specifications (atom, presets, state, ...).
  const std::string path = std::string(VANTOR_LV2_BUNDLES) + ":/usr/lib/lv2";
  setenv("LV2_PATH", path.c_str(), 1);
  world_ = lilv_world_new();
  lilv_world_load_all(world_);
  LilvNode* uri = lilv_new_uri(world_, kPluginUri);
  plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
  lilv_node_free(uri);

  map_ = {this, MapUri};
  unmap_ = {this, [](LV2_URID_Unmap_Handle handle, LV2_URID urid) -> const char* {
              auto* self = static_cast<LilvHost*>(handle);
              return urid > 0 && urid <= self->uris_.size() ? self->uris_[urid - 1].c_str()
                                                            : nullptr;
            }};
  options_[0] = {
      LV2_OPTIONS_INSTANCE, 0,          Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
      Map(LV2_ATOM__Int),   &max_block_};
  map_feature_ = {LV2_URID__map, &map_};
  unmap_feature_ = {LV2_URID__unmap, &unmap_};
  options_feature_ = {LV2_OPTIONS__options, options_};
  features_[0] = &map_feature_;
  features_[1] = &unmap_feature_;
  features_[2] = &options_feature_;
  features_[3] = nullptr;
}

LilvHost::~LilvHost() {
  lilv_world_free(world_);
}

LV2_URID LilvHost::Map(const char* uri) {
  for (size_t i = 0; i < uris_.size(); ++i) {
    if (uris_[i] == uri) return static_cast<LV2_URID>(i + 1);
  }
  uris_.emplace_back(uri);
  return static_cast<LV2_URID>(uris_.size());
}

std::vector<std::pair<std::string, std::string>> LilvHost::Presets() {
  std::vector<std::pair<std::string, std::string>> presets;
  LilvNode* preset_class = lilv_new_uri(world_, LV2_PRESETS__Preset);
  LilvNode* label = lilv_new_uri(world_, LILV_NS_RDFS "label");
  LilvNodes* nodes = lilv_plugin_get_related(plugin_, preset_class);
  LILV_FOREACH(nodes, i, nodes) {
    const LilvNode* preset = lilv_nodes_get(nodes, i);
    lilv_world_load_resource(world_, preset);
    LilvNodes* labels = lilv_world_find_nodes(world_, preset, label, nullptr);
    std::string text = labels ? lilv_node_as_string(lilv_nodes_get_first(labels)) : "";
    presets.emplace_back(lilv_node_as_uri(preset), text);
    lilv_nodes_free(labels);
  }
  lilv_nodes_free(nodes);
  lilv_node_free(label);
  lilv_node_free(preset_class);
  return presets;
}

LilvInstrument::LilvInstrument(LilvHost& host, double rate, int block)
    : host_(host), block_(block), sequence_(kSequenceBytes / sizeof(uint64_t)) {
  const LilvPlugin* plugin = host.plugin();
  if (!plugin) return;
  instance_ = lilv_plugin_instantiate(plugin, rate, host.features());
  if (!instance_) return;
  // Control ports start at the defaults the plug-in describes, as hosts start them.
  controls_.resize(kControlPorts);
  std::vector<float> defaults(lilv_plugin_get_num_ports(plugin));
  lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
  for (int i = 0; i < kControlPorts; ++i) {
    controls_[static_cast<size_t>(i)] = defaults[static_cast<size_t>(i)];
    lilv_instance_connect_port(instance_, static_cast<uint32_t>(i),
                               &controls_[static_cast<size_t>(i)]);
  }
  left_.resize(static_cast<size_t>(block));
  right_.resize(static_cast<size_t>(block));
  lilv_instance_connect_port(instance_, kMidiInPort, sequence_.data());
  lilv_instance_connect_port(instance_, kMidiInPort + 1, left_.data());
  lilv_instance_connect_port(instance_, kMidiInPort + 2, right_.data());
  lilv_instance_activate(instance_);
}

LilvInstrument::~LilvInstrument() {
  if (!instance_) return;
  lilv_instance_deactivate(instance_);
  lilv_instance_free(instance_);
}

int LilvInstrument::PortIndex(const std::string& symbol) const {
  LilvNode* node = lilv_new_string(host_.world(), symbol.c_str());
  const LilvPort* port = lilv_plugin_get_port_by_symbol(host_.plugin(), node);
  lilv_node_free(node);
  const int index = port ? static_cast<int>(lilv_port_get_index(host_.plugin(), port)) : -1;
  return index < kControlPorts ? index : -1;
}

void LilvInstrument::SetControl(const std::string& symbol, float value) {
  const int index = PortIndex(symbol);
  if (index >= 0) controls_[static_cast<size_t>(index)] = value;
}

float LilvInstrument::Control(const std::string& symbol) const {
  const int index = PortIndex(symbol);
  return index >= 0 ? controls_[static_cast<size_t>(index)] : -1.0f;
}

void LilvInstrument::Restore(const LilvState* state) {
  struct Target {
    LilvInstrument* self;
    LV2_URID float_type;
  } target{this, host_.Map(LV2_ATOM__Float)};
  lilv_state_restore(
      state, instance_,
      [](const char* symbol, void* user, const void* value, uint32_t size, uint32_t type) {
        auto* t = static_cast<Target*>(user);
        if (type == t->float_type && size == sizeof(float))
          t->self->SetControl(symbol, *static_cast<const float*>(value));
      },
      &target, 0, host_.features());
}

bool LilvInstrument::RestorePreset(int n) {
  char uri[96];
  snprintf(uri, sizeof uri, "%s#preset-%02d", kPluginUri, n);
  LilvNode* node = lilv_new_uri(host_.world(), uri);
  lilv_world_load_resource(host_.world(), node);
  LilvState* state = lilv_state_new_from_world(host_.world(), host_.map(), node);
  lilv_node_free(node);
  if (!state) return false;
  Restore(state);
  lilv_state_free(state);
  return true;
}

bool LilvInstrument::SaveState(const std::string& folder, const std::string& file) {
  LilvState* state = lilv_state_new_from_instance(
      host_.plugin(), instance_, host_.map(), nullptr, nullptr, nullptr, folder.c_str(),
      [](const char* symbol, void* user, uint32_t* size, uint32_t* type) -> const void* {
        auto* self = static_cast<LilvInstrument*>(user);
        const int index = self->PortIndex(symbol);
        if (index < 0) return nullptr;
        *size = sizeof(float);
        *type = self->host_.Map(LV2_ATOM__Float);
        return &self->controls_[static_cast<size_t>(index)];
      },
      this, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, host_.features());
  if (!state) return false;
  const int result = lilv_state_save(host_.world(), host_.map(), host_.unmap(), state, nullptr,
                                     folder.c_str(), file.c_str());
  lilv_state_free(state);
  return result == 0;
}

StereoRender LilvInstrument::Render(const std::vector<TimedMidi>& events, int64_t frames,
                                    const BeforeBlock& before) {
  StereoRender out;
  LV2_Atom_Forge forge;
  lv2_atom_forge_init(&forge, host_.map());
  const LV2_URID midi_event = host_.Map(LV2_MIDI__MidiEvent);
  size_t next = 0;
  for (int64_t start = 0; start < frames; start += block_) {
    const int n = static_cast<int>(std::min<int64_t>(block_, frames - start));
    if (before) before(start);
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(sequence_.data()), kSequenceBytes);
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_sequence_head(&forge, &frame, 0);
    for (; next < events.size() && events[next].frame < start + n; ++next) {
      const TimedMidi& e = events[next];
      lv2_atom_forge_frame_time(&forge, e.frame - start);
      lv2_atom_forge_atom(&forge, static_cast<uint32_t>(e.bytes.size()), midi_event);
      lv2_atom_forge_write(&forge, e.bytes.data(), static_cast<uint32_t>(e.bytes.size()));
    }
    lv2_atom_forge_pop(&forge, &frame);
    lilv_instance_run(instance_, static_cast<uint32_t>(n));
    out.left.insert(out.left.end(), left_.begin(), left_.begin() + n);
    out.right.insert(out.right.end(), right_.begin(), right_.begin() + n);
  }
  return out;
}

}  // namespace vantor::testing
