// Our own declaration of the VST 2.4 binary interface: records, opcodes and constants.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vst {

#if defined(_WIN32) && !defined(_WIN64)
#define VST_CALL __cdecl
#else
#define VST_CALL
#endif

using int16 = int16_t;
using int32 = int32_t;
using intptr = intptr_t;

struct AEffect;

using AudioMasterCallback = intptr(VST_CALL*)(AEffect* effect, int32 opcode, int32 index,
                                              intptr value, void* ptr, float opt);
using DispatcherProc = intptr(VST_CALL*)(AEffect* effect, int32 opcode, int32 index, intptr value,
                                         void* ptr, float opt);
using ProcessProc = void(VST_CALL*)(AEffect* effect, float** inputs, float** outputs,
                                    int32 sample_frames);
using ProcessDoubleProc = void(VST_CALL*)(AEffect* effect, double** inputs, double** outputs,
                                          int32 sample_frames);
using SetParameterProc = void(VST_CALL*)(AEffect* effect, int32 index, float parameter);
using GetParameterProc = float(VST_CALL*)(AEffect* effect, int32 index);
// VSTPluginMain and main, which hosts look up by these undecorated names.
using PluginEntryProc = AEffect*(VST_CALL*)(AudioMasterCallback host);

constexpr int32 FourCC(char a, char b, char c, char d) {
  return static_cast<int32>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                            (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                            (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                            static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr int32 kEffectMagic = FourCC('V', 's', 't', 'P');

struct AEffect {
  int32 magic;
  DispatcherProc dispatcher;
  ProcessProc process;  // accumulating; deprecated but still called by some hosts
  SetParameterProc setParameter;
  GetParameterProc getParameter;
  int32 numPrograms;
  int32 numParams;
  int32 numInputs;
  int32 numOutputs;
  int32 flags;
  intptr resvd1;
  intptr resvd2;
  int32 initialDelay;
  int32 realQualities;
  int32 offQualities;
  float ioRatio;
  void* object;
  void* user;
  int32 uniqueID;
  int32 version;
  ProcessProc processReplacing;
  ProcessDoubleProc processDoubleReplacing;
  char future[56];
};

enum EffectFlags : int32 {
  effFlagsHasEditor = 1,
  effFlagsIsMono = 8,  // deprecated
  effFlagsCanReplacing = 16,
  effFlagsProgramChunks = 32,
  effFlagsIsSynth = 256,
  effFlagsNoSoundInStop = 512,
  effFlagsCanDoubleReplacing = 4096,
};

struct VstEvent {
  int32 type;
  int32 byteSize;
  int32 deltaFrames;
  int32 flags;
  char data[16];
};

struct VstEvents {
  int32 numEvents;
  intptr reserved;
  VstEvent* events[2];  // really numEvents entries
};

enum VstEventTypes : int32 { kVstMidiType = 1, kVstSysExType = 6 };

struct VstMidiEvent {
  int32 type;
  int32 byteSize;
  int32 deltaFrames;
  int32 flags;
  int32 noteLength;
  int32 noteOffset;
  char midiData[4];
  char detune;
  char noteOffVelocity;
  char reserved1;
  char reserved2;
};

struct VstMidiSysexEvent {
  int32 type;
  int32 byteSize;
  int32 deltaFrames;
  int32 flags;
  int32 dumpBytes;
  intptr resvd1;
  char* sysexDump;
  intptr resvd2;
};

struct ERect {
  int16 top;
  int16 left;
  int16 bottom;
  int16 right;
};

struct VstTimeInfo {
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;
  double tempo;
  double barStartPos;
  double cycleStartPos;
  double cycleEndPos;
  int32 timeSigNumerator;
  int32 timeSigDenominator;
  int32 smpteOffset;
  int32 smpteFrameRate;
  int32 samplesToNextClock;
  int32 flags;
};

enum VstTimeInfoFlags : int32 {
  kVstTransportChanged = 1,
  kVstTransportPlaying = 2,
  kVstTransportCycleActive = 4,
  kVstTransportRecording = 8,
  kVstAutomationWriting = 64,
  kVstAutomationReading = 128,
  kVstNanosValid = 256,
  kVstPpqPosValid = 512,
  kVstTempoValid = 1024,
  kVstBarsValid = 2048,
  kVstCyclePosValid = 4096,
  kVstTimeSigValid = 8192,
  kVstSmpteValid = 16384,
  kVstClockValid = 32768,
};

struct VstPinProperties {
  char label[64];
  int32 flags;
  int32 arrangementType;
  char shortLabel[8];
  char future[48];
};

enum VstPinPropertiesFlags : int32 {
  kVstPinIsActive = 1,
  kVstPinIsStereo = 2,
  kVstPinUseSpeaker = 4,
};

struct VstSpeakerProperties {
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[64];
  int32 type;
  char future[28];
};

struct VstSpeakerArrangement {
  int32 type;
  int32 numChannels;
  VstSpeakerProperties speakers[8];
};

enum VstSpeakerArrangementType : int32 {
  kSpeakerArrUserDefined = -2,
  kSpeakerArrEmpty = -1,
  kSpeakerArrMono = 0,
  kSpeakerArrStereo = 1,
};

struct MidiKeyName {
  int32 thisProgramIndex;
  int32 thisKeyNumber;
  char keyName[64];
  int32 reserved;
  int32 flags;
};

enum VstPlugCategory : int32 {
  kPlugCategUnknown = 0,
  kPlugCategEffect = 1,
  kPlugCategSynth = 2,
};

enum VstProcessLevels : int32 {
  kVstProcessLevelUnknown = 0,
  kVstProcessLevelUser = 1,
  kVstProcessLevelRealtime = 2,
  kVstProcessLevelPrefetch = 3,
  kVstProcessLevelOffline = 4,
};

// Plug-in opcodes, sent by the host through the dispatcher.
enum EffectOpcodes : int32 {
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditIdle = 19,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
  effProcessEvents = 25,
  effCanBeAutomated = 26,
  effString2Parameter = 27,
  effGetProgramNameIndexed = 29,
  effGetInputProperties = 33,
  effGetOutputProperties = 34,
  effGetPlugCategory = 35,
  effOfflineNotify = 38,
  effOfflinePrepare = 39,
  effOfflineRun = 40,
  effProcessVarIo = 41,
  effSetSpeakerArrangement = 42,
  effSetBypass = 44,
  effGetEffectName = 45,
  effGetVendorString = 47,
  effGetProductString = 48,
  effGetVendorVersion = 49,
  effVendorSpecific = 50,
  effCanDo = 51,
  effGetTailSize = 52,
  effIdle = 53,
  effGetParameterProperties = 56,
  effGetVstVersion = 58,
  effEditKeyDown = 59,
  effEditKeyUp = 60,
  effSetEditKnobMode = 61,
  effGetMidiProgramName = 62,
  effGetCurrentMidiProgram = 63,
  effGetMidiProgramCategory = 64,
  effHasMidiProgramsChanged = 65,
  effGetMidiKeyName = 66,
  effBeginSetProgram = 67,
  effEndSetProgram = 68,
  effGetSpeakerArrangement = 69,
  effShellGetNextPlugin = 70,
  effStartProcess = 71,
  effStopProcess = 72,
  effSetTotalSampleToProcess = 73,
  effSetPanLaw = 74,
  effBeginLoadBank = 75,
  effBeginLoadProgram = 76,
  effSetProcessPrecision = 77,
  effGetNumMidiInputChannels = 78,
  effGetNumMidiOutputChannels = 79,
};

// Host opcodes, sent by the plug-in through the audioMasterCallback.
enum AudioMasterOpcodes : int32 {
  audioMasterAutomate = 0,
  audioMasterVersion = 1,
  audioMasterCurrentId = 2,
  audioMasterIdle = 3,
  audioMasterWantMidi = 6,
  audioMasterGetTime = 7,
  audioMasterProcessEvents = 8,
  audioMasterIOChanged = 13,
  audioMasterSizeWindow = 15,
  audioMasterGetSampleRate = 16,
  audioMasterGetBlockSize = 17,
  audioMasterGetInputLatency = 18,
  audioMasterGetOutputLatency = 19,
  audioMasterGetCurrentProcessLevel = 23,
  audioMasterGetAutomationState = 24,
  audioMasterGetVendorString = 32,
  audioMasterGetProductString = 33,
  audioMasterGetVendorVersion = 34,
  audioMasterVendorSpecific = 35,
  audioMasterCanDo = 37,
  audioMasterGetLanguage = 38,
  audioMasterGetDirectory = 41,
  audioMasterUpdateDisplay = 42,
  audioMasterBeginEdit = 43,
  audioMasterEndEdit = 44,
  audioMasterOpenFileSelector = 45,
  audioMasterCloseFileSelector = 46,
};

// Handed with effBeginLoadBank and effBeginLoadProgram before a host loads a file; the plug-in
// answers -1 to refuse it.
struct VstPatchChunkInfo {
  int32 version;  // format version of the file
  int32 pluginUniqueID;
  int32 pluginVersion;
  int32 numElements;  // programs in a bank, parameters in a program
  char future[48];
};

constexpr int32 kVstLangEnglish = 1;

// effSetProcessPrecision values.
constexpr int32 kVstProcessPrecision32 = 0;
constexpr int32 kVstProcessPrecision64 = 1;

// Conventional sizes of the string buffers hosts pass.
constexpr int kNameBufferSize = 64;
constexpr int kVendorBufferSize = 256;

// Program and bank file magics (stored big-endian).
constexpr int32 kCcnKMagic = FourCC('C', 'c', 'n', 'K');
constexpr int32 kFxProgramMagic = FourCC('F', 'x', 'C', 'k');
constexpr int32 kFxProgramChunkMagic = FourCC('F', 'P', 'C', 'h');
constexpr int32 kFxBankMagic = FourCC('F', 'x', 'B', 'k');
constexpr int32 kFxBankChunkMagic = FourCC('F', 'B', 'C', 'h');

// The layouts every host expects, checked wherever this header is compiled, so each build (the
// 64-bit ones and the Windows x86 one) proves its own. Pointer-sized fields first.
#if INTPTR_MAX == INT64_MAX
static_assert(sizeof(AEffect) == 192, "AEffect is 192 bytes on 64-bit targets");
static_assert(offsetof(AEffect, dispatcher) == 8);
static_assert(offsetof(AEffect, process) == 16);
static_assert(offsetof(AEffect, setParameter) == 24);
static_assert(offsetof(AEffect, getParameter) == 32);
static_assert(offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, flags) == 56);
static_assert(offsetof(AEffect, resvd1) == 64);
static_assert(offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, ioRatio) == 92);
static_assert(offsetof(AEffect, object) == 96);
static_assert(offsetof(AEffect, user) == 104);
static_assert(offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, version) == 116);
static_assert(offsetof(AEffect, processReplacing) == 120);
static_assert(offsetof(AEffect, processDoubleReplacing) == 128);
static_assert(offsetof(AEffect, future) == 136);
static_assert(sizeof(VstEvents) == 32);
static_assert(offsetof(VstEvents, events) == 16);
static_assert(sizeof(VstMidiSysexEvent) == 48);
static_assert(offsetof(VstMidiSysexEvent, resvd1) == 24);
static_assert(offsetof(VstMidiSysexEvent, sysexDump) == 32);
#elif INTPTR_MAX == INT32_MAX
static_assert(sizeof(AEffect) == 144, "AEffect is 144 bytes with 4-byte pointers");
static_assert(offsetof(AEffect, dispatcher) == 4);
static_assert(offsetof(AEffect, process) == 8);
static_assert(offsetof(AEffect, setParameter) == 12);
static_assert(offsetof(AEffect, getParameter) == 16);
static_assert(offsetof(AEffect, numPrograms) == 20);
static_assert(offsetof(AEffect, flags) == 36);
static_assert(offsetof(AEffect, resvd1) == 40);
static_assert(offsetof(AEffect, initialDelay) == 48);
static_assert(offsetof(AEffect, ioRatio) == 60);
static_assert(offsetof(AEffect, object) == 64);
static_assert(offsetof(AEffect, user) == 68);
static_assert(offsetof(AEffect, uniqueID) == 72);
static_assert(offsetof(AEffect, version) == 76);
static_assert(offsetof(AEffect, processReplacing) == 80);
static_assert(offsetof(AEffect, processDoubleReplacing) == 84);
static_assert(offsetof(AEffect, future) == 88);
static_assert(sizeof(VstEvents) == 16);
static_assert(offsetof(VstEvents, events) == 8);
static_assert(sizeof(VstMidiSysexEvent) == 32);
static_assert(offsetof(VstMidiSysexEvent, resvd1) == 20);
static_assert(offsetof(VstMidiSysexEvent, sysexDump) == 24);
#else
#error "the VST 2.4 records are laid out for 32-bit and 64-bit pointers only"
#endif
// The same on every target.
static_assert(sizeof(VstEvent) == 32);
static_assert(sizeof(VstMidiEvent) == 32);
static_assert(offsetof(VstMidiEvent, deltaFrames) == 8);
static_assert(offsetof(VstMidiEvent, midiData) == 24);
static_assert(offsetof(VstMidiEvent, noteOffVelocity) == 29);
static_assert(sizeof(ERect) == 8);
static_assert(sizeof(VstTimeInfo) == 88);
static_assert(offsetof(VstTimeInfo, tempo) == 32);
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64);
static_assert(offsetof(VstTimeInfo, flags) == 84);
static_assert(sizeof(VstPinProperties) == 128);
static_assert(offsetof(VstPinProperties, flags) == 64);
static_assert(offsetof(VstPinProperties, shortLabel) == 72);
static_assert(sizeof(VstSpeakerProperties) == 112);
static_assert(sizeof(VstSpeakerArrangement) == 904);
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8);
static_assert(sizeof(MidiKeyName) == 80);
static_assert(offsetof(MidiKeyName, keyName) == 8);
static_assert(sizeof(VstPatchChunkInfo) == 64);
static_assert(offsetof(VstPatchChunkInfo, numElements) == 12);

}  // namespace vst
