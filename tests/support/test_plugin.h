// A Vantor with the host-binding slots answered in memory, for tests without a host.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "editor/graphics_headless.h"
#include "instrument/vantor.h"

namespace vantor::testing {

class TestVantor : public Vantor {
 public:
  // Dialogs are answered by a scripted headless editor (`ui`).
  TestVantor() {
    auto headless = std::make_unique<GraphicsHeadless>(this);
    ui = headless.get();
    ReplaceGraphics(std::move(headless));
  }

  void BeginParamEdit(int index) override { begun.push_back(index); }
  void AutomateParam(int index, double normalised) override {
    automated.emplace_back(index, normalised);
  }
  void EndParamEdit(int index) override { ended.push_back(index); }
  void NotifyProgramChange() override { ++program_notifications; }
  double GetSamplePosition() override { return 0.0; }
  double GetHostTempo() override { return 120.0; }
  void GetTimeSignature(int* numerator, int* denominator) override {
    *numerator = 4;
    *denominator = 4;
  }
  void GetTransportInfo(TransportInfo* /*info*/) override {}
  void EditorResized(int /*width*/, int /*height*/) override {}
  bool SendMidiMessage(const MidiMessage& message) override {
    sent.push_back(message);
    return true;
  }

  GraphicsHeadless* ui = nullptr;
  std::vector<int> begun;
  std::vector<std::pair<int, double>> automated;
  std::vector<int> ended;
  std::vector<MidiMessage> sent;
  int program_notifications = 0;
};

}  // namespace vantor::testing
