// The Windows plug-in loaded as a Windows host loads it: LoadLibrary, the entry point, the factory
// bank from its resources, the configuration file in local application data, and sound.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "editor/raster/raster_png.h"
#include "editor/vantor_layout.h"
#include "host/vst24.h"
#include "platform/platform.h"

namespace vantor {
namespace {

intptr_t VST_CALL HostCallback(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst::audioMasterVersion ? 2400 : 0;
}

using EntryPoint = vst::AEffect*(VST_CALL*)(vst::AudioMasterCallback);

// The plug-in lies in the build tree's host/ folder, beside this program's tests/windows/.
HMODULE Plugin() {
  static HMODULE module = [] {
    const std::string path = platform::ModuleFolder() + "..\\..\\host\\" VANTOR_PLUGIN_FILE;
    return LoadLibraryA(path.c_str());
  }();
  return module;
}

EntryPoint Entry(const char* name) {
  return Plugin()
             ? reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(Plugin(), name)))
             : nullptr;
}

std::string ConfigPath() {
  return platform::JoinPath(platform::JoinPath(platform::UserConfigFolder(), "Brenwick"),
                            "vantor.ini");
}

intptr_t Dispatch(vst::AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f) {
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string ProgramName(vst::AEffect* effect, int index) {
  char name[256] = {};
  Dispatch(effect, vst::effGetProgramNameIndexed, index, 0, name);
  return name;
}

TEST(WindowsPluginTest, BothEntryPointsMakeTheInstrumentWithTheFactoryBankFromItsResources) {
  ASSERT_TRUE(Plugin()) << "LoadLibrary failed with error " << GetLastError();
  for (const char* name : {"VSTPluginMain", "main"}) {
    SCOPED_TRACE(name);
    const EntryPoint entry = Entry(name);
    ASSERT_TRUE(entry);
    vst::AEffect* effect = entry(HostCallback);
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->magic, vst::kEffectMagic);
    EXPECT_EQ(effect->numPrograms, 64);
    EXPECT_EQ(effect->numParams, 110);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_TRUE(effect->flags & vst::effFlagsIsSynth);
    Dispatch(effect, vst::effOpen);
    EXPECT_EQ(ProgramName(effect, 0), "Pad: Fat Strings");
    EXPECT_EQ(ProgramName(effect, 2), "Bass: Classic Rezo");
    EXPECT_EQ(ProgramName(effect, 63), "Init");
    Dispatch(effect, vst::effClose);
  }
}

TEST(WindowsPluginTest, EveryEditorBitmapIsAPngResourceOfItsSlotsSize) {
  ASSERT_TRUE(Plugin());
  for (const layout::BitmapSpec& desc : layout::kBitmaps) {
    SCOPED_TRACE(desc.file);
    HRSRC found = FindResourceA(Plugin(), MAKEINTRESOURCEA(desc.resource), "PNG");
    ASSERT_TRUE(found);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(Plugin(), found)));
    const std::unique_ptr<RasterMemBitmap> image =
        LoadPngMemory(bytes, SizeofResource(Plugin(), found));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width(), desc.width);
    EXPECT_EQ(image->Height(), desc.height);
  }
}

TEST(WindowsPluginTest, FirstStartCreatesTheConfigurationFileInLocalApplicationData) {
  DeleteFileA(ConfigPath().c_str());
  ASSERT_FALSE(platform::FileExists(ConfigPath()));
  const EntryPoint entry = Entry("VSTPluginMain");
  ASSERT_TRUE(entry);
  vst::AEffect* effect = entry(HostCallback);
  ASSERT_TRUE(effect);
  EXPECT_TRUE(platform::FileExists(ConfigPath()));
  Dispatch(effect, vst::effClose);
}

TEST(WindowsPluginTest, ANotePlaysAndStaysFinite) {
  const EntryPoint entry = Entry("VSTPluginMain");
  ASSERT_TRUE(entry);
  vst::AEffect* effect = entry(HostCallback);
  ASSERT_TRUE(effect);
  Dispatch(effect, vst::effOpen);
  Dispatch(effect, vst::effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(effect, vst::effSetBlockSize, 0, 512);
  Dispatch(effect, vst::effMainsChanged, 0, 1);

  vst::VstMidiEvent note = {};
  note.type = vst::kVstMidiType;
  note.byteSize = sizeof note;
  note.midiData[0] = static_cast<char>(0x90);
  note.midiData[1] = 57;
  note.midiData[2] = 100;
  vst::VstEvents events = {};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<vst::VstEvent*>(&note);
  Dispatch(effect, vst::effProcessEvents, 0, 0, &events);

  std::vector<float> left(512), right(512);
  float* outputs[2] = {left.data(), right.data()};
  double energy = 0.0;
  bool finite = true;
  for (int block = 0; block < 40; ++block) {
    effect->processReplacing(effect, nullptr, outputs, 512);
    for (int i = 0; i < 512; ++i) {
      finite = finite && std::isfinite(left[i]) && std::isfinite(right[i]);
      energy += double(left[i]) * left[i] + double(right[i]) * right[i];
    }
  }
  EXPECT_TRUE(finite);
  EXPECT_GT(std::sqrt(energy / (2 * 40 * 512)), 1e-3);
  Dispatch(effect, vst::effMainsChanged, 0, 0);
  Dispatch(effect, vst::effClose);
}

}  // namespace
}  // namespace vantor
