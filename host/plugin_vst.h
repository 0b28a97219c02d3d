// PluginVst: the VST 2.4 binding of the plug-in object: AEffect, dispatcher, process callbacks.
#pragma once

#include <cstdint>
#include <vector>

#include "core/plugin_base.h"
#include "core/state_chunk.h"
#include "host/vst24.h"

namespace vantor {

class PluginVst : public PluginBase {
 public:
  static constexpr int32_t kVstVersion = 2400;
  static constexpr intptr_t kIdentifyMagic = 0x4E764566;  // 'NvEf'
  static constexpr intptr_t kVendorSpecificAnswer = 0xBEEF;
  // Bounds for what hosts send: beyond them a block size is capped and a sample rate or a
  // chunk is refused, so a wild value cannot exhaust memory.
  static constexpr int kMaxBlockSize = 1 << 16;
  static constexpr double kMaxSampleRate = 4.0e6;
  static constexpr intptr_t kMaxChunkSize = 64 << 20;

  explicit PluginVst(vst::AudioMasterCallback host);
  ~PluginVst() override;

  vst::AEffect* effect() { return &effect_; }
  static PluginVst* FromEffect(vst::AEffect* effect);

  // The dispatcher: every opcode, under the plug-in mutex.
  intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

  // The process callbacks, `accumulate` adding to the host's buffers instead of overwriting.
  void ProcessFloat(float** inputs, float** outputs, int32_t frames, bool accumulate);
  void ProcessDouble(double** inputs, double** outputs, int32_t frames);
  void SetParameter(int32_t index, float value);
  float GetParameter(int32_t index);

  // Host-facing slots of PluginBase.
  void BeginParamEdit(int index) override;
  void AutomateParam(int index, double normalised) override;
  void EndParamEdit(int index) override;
  void NotifyProgramChange() override;
  bool IsOfflineRendering() override;
  double GetSamplePosition() override;
  double GetHostTempo() override;
  void GetTimeSignature(int* numerator, int* denominator) override;
  void GetTransportInfo(TransportInfo* info) override;
  int IdentifyHost() override;
  void EditorResized(int width, int height) override;
  void HostSpecificInit() override;
  void AttachEditor(PluginEditor* editor) override;
  void ChangeLatency(int samples) override;
  bool SendMidiMessage(const MidiMessage& message) override;
  bool SendSysExMessage(const SysExMessage& message) override;

  // True for the host vendors that get program chunks only; asked once, then remembered.
  bool ChunkVendorCheck();

  // Asks the host to make the editor's window `width` x `height` pixels
  // (audioMasterSizeWindow); true when the host says it did.
  bool RequestEditorSize(int width, int height);
  // The effVendorSpecific request by which hosts tell a plug-in the scale factor of its
  // editor's display: index 'PreS', value 'AeCs', opt the factor.
  static constexpr int32_t kScaleFactorIndex = vst::FourCC('P', 'r', 'e', 'S');
  static constexpr intptr_t kScaleFactorValue = vst::FourCC('A', 'e', 'C', 's');

  const vst::VstSpeakerArrangement& input_arrangement() const { return input_arrangement_; }
  const vst::VstSpeakerArrangement& output_arrangement() const { return output_arrangement_; }

 protected:
  intptr_t CallHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);
  // Before the host learns the editor's size or opens it (effEditGetRect, effEditOpen): the
  // editor takes the size it should have.
  virtual void PrepareEditorSize() {}
  // The host's scale factor for the editor's display (see kScaleFactorIndex); false when it
  // is not taken.
  virtual bool HostScaleFactor(float /*factor*/) { return false; }

 private:
  intptr_t GetChunk(int32_t index, void** data);
  intptr_t SetChunk(int32_t index, intptr_t size, const void* data);
  int ReadChunk(bool is_bank, intptr_t size);
  intptr_t StringToParameter(int32_t index, const char* text);
  intptr_t GetPinProperties(bool output, int32_t index, vst::VstPinProperties* properties);
  void SetSpeakerArrangement(bool output, const vst::VstSpeakerArrangement* arrangement);
  intptr_t VendorSpecific(int32_t index, intptr_t value, void* ptr, float opt);
  intptr_t CanDo(const char* query) const;
  void ProcessEvents(const vst::VstEvents* events);
  void UpdateChannelCounts();
  template <typename Connect, typename Deliver>
  void RenderInPieces(int32_t frames, Connect&& connect, Deliver&& deliver);
  const vst::VstTimeInfo* GetTimeInfo(int32_t filter);

  vst::AudioMasterCallback host_ = nullptr;
  bool host_init_done_ = false;
  int32_t host_extension_flags_ = 0;
  StateChunk state_chunk_;
  StateChunk bank_chunk_;
  // What effSetChunk puts back when the host's chunk proves unusable; kept between calls so
  // that hosts loading chunks in a row do not allocate a copy of every program each time.
  ProgramsSnapshot before_chunk_;
  vst::AEffect effect_{};
  vst::ERect editor_rect_{};
  vst::VstSpeakerArrangement input_arrangement_{};
  vst::VstSpeakerArrangement output_arrangement_{};
  bool vendor_check_done_ = false;
  bool vendor_check_result_ = false;
  // The engine's pointer arrays: one slot per channel, filled by each process call.
  std::vector<double*> engine_inputs_;
  std::vector<double*> engine_outputs_;
};

}  // namespace vantor
