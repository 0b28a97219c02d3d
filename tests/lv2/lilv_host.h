// Drives the built Vantor.lv2 through lilv, Debian's LV2 host library: world, URID map, ports,
// atom MIDI, presets and state, rendering a timed event list block by block.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

namespace vantor::testing {

// A MIDI message at a frame from the start of a render.
struct TimedMidi {
  int64_t frame = 0;
  std::vector<uint8_t> bytes;
};

// Called before each block with the block's first frame, to change controls between blocks.
using BeforeBlock = std::function<void(int64_t)>;

struct StereoRender {
  std::vector<float> left;
  std::vector<float> right;
};

// One lilv world that sees the built bundle and the system's LV2 specifications.
class LilvHost {
 public:
  LilvHost();
  ~LilvHost();
  LilvHost(const LilvHost&) = delete;
  LilvHost& operator=(const LilvHost&) = delete;

  LilvWorld* world() { return world_; }
  const LilvPlugin* plugin() const { return plugin_; }
  LV2_URID_Map* map() { return &map_; }
  LV2_URID_Unmap* unmap() { return &unmap_; }
  const LV2_Feature* const* features() const { return features_; }
  LV2_URID Map(const char* uri);
  // The preset nodes of the plug-in with their labels, as a host lists them.
  std::vector<std::pair<std::string, std::string>> Presets();

 private:
  LilvWorld* world_ = nullptr;
  const LilvPlugin* plugin_ = nullptr;
  std::vector<std::string> uris_;
  LV2_URID_Map map_{};
  LV2_URID_Unmap unmap_{};
  int32_t max_block_ = 4096;
  struct Option {
    uint32_t context, subject, key, size, type;
    const void* value;
  };
  Option options_[2]{};
  LV2_Feature map_feature_{}, unmap_feature_{}, options_feature_{};
  const LV2_Feature* features_[4]{};
};

// One instance with its own port buffers, connected and activated.
class LilvInstrument {
 public:
  LilvInstrument(LilvHost& host, double rate, int block);
  ~LilvInstrument();
  LilvInstrument(const LilvInstrument&) = delete;
  LilvInstrument& operator=(const LilvInstrument&) = delete;

  bool ok() const { return instance_ != nullptr; }
  // What instance access gives a UI.
  void* handle() const { return lilv_instance_get_handle(instance_); }
  void SetControl(const std::string& symbol, float value);
  float Control(const std::string& symbol) const;
  // Restores a preset or a saved state through lilv_state_restore: port values and properties.
  void Restore(const LilvState* state);
  // Restores factory preset `n`, loaded as hosts load a preset; false when there is none.
  bool RestorePreset(int n);
  // Saves the instance's state through lilv into `folder` as `file`; false on failure.
  bool SaveState(const std::string& folder, const std::string& file);
  // Renders `frames` frames in blocks, the events with their frames inside each block.
  StereoRender Render(const std::vector<TimedMidi>& events, int64_t frames,
                      const BeforeBlock& before = {});

 private:
  int PortIndex(const std::string& symbol) const;

  LilvHost& host_;
  int block_;
  LilvInstance* instance_ = nullptr;
  std::vector<float> controls_;
  std::vector<float> left_, right_;
  std::vector<uint64_t> sequence_;  // 8-byte aligned, as atoms must be
};

}  // namespace vantor::testing
