// A small VST 2.4 host for tests and the command line: loads a plug-in shared object, answers its
// host callback, and drives it through the dispatcher and the process callbacks only.
#pragma once

#include "platform/module/PluginModule.h"
#include "platform/vst2/VstTypes.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vsthost
{

// What audioMasterGetTime reports. Tests change it freely between calls.
struct HostTransport
{
  bool timeInfoAvailable = true; // false: audioMasterGetTime answers 0 (no record)
  double sampleRate = 44100.0;   // kept in step with Open / SetSampleRate
  double samplePos = 0.0;
  double tempo = 120.0;
  std::optional<double> ppqPos;      // unset: derived from samplePos, sampleRate and tempo
  std::optional<double> barStartPos; // unset: derived from ppqPos and the time signature
  double cycleStartPos = 0.0;
  double cycleEndPos = 16.0;
  int32_t timeSigNumerator = 4;
  int32_t timeSigDenominator = 4;
  bool playing = false;
  bool looping = false;
  bool recording = false;
  bool advanceWhilePlaying = true; // samplePos moves on by the frame count after each process call
  // Validity flags the host is able to supply; the answer carries those that are both offered and asked for.
  int32_t offeredFlags = kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
                         kVstCyclePosValid | kVstTimeSigValid;
};

// One call of audioMasterAutomate, audioMasterBeginEdit or audioMasterEndEdit.
struct AutomationCall
{
  int32_t opcode = 0;
  int32_t index = 0;
  float value = 0.f; // the opt argument (the normalised value for audioMasterAutomate)
};

// One event the plug-in sent through audioMasterProcessEvents, copied out of the plug-in's memory.
struct HostEvent
{
  int32_t type = 0; // kVstMidiType, kVstSysExType or anything else the plug-in sent
  int32_t byteSize = 0;
  int32_t deltaFrames = 0;
  int32_t flags = 0;
  std::vector<uint8_t> bytes; // MIDI: the 4 midiData bytes; SysEx: the dump; other: the 16 data bytes
};

// The identity as a host sees it after opening the plug-in.
struct Identity
{
  std::string effectName;
  std::string vendor;
  std::string product;
  int32_t vendorVersion = 0;
  int32_t version = 0; // AEffect::version
  int32_t uniqueID = 0;
  int32_t numInputs = 0;
  int32_t numOutputs = 0;
  int32_t numParams = 0;
  int32_t numPrograms = 0;
  int32_t flags = 0;
  int32_t initialDelay = 0;
  int32_t category = 0;   // effGetPlugCategory
  int32_t vstVersion = 0; // effGetVstVersion
};

class VstHost
{
public:
  VstHost();
  ~VstHost(); // Close()
  VstHost(const VstHost&) = delete;
  VstHost& operator=(const VstHost&) = delete;

  // Loads the shared object, calls VSTPluginMain (else main) with the host callback and checks the magic.
  // On failure nothing stays loaded and LastError() says why.
  bool Load(const std::string& path);
  const std::string& LastError() const { return mError; }
  AEffect* Effect() const { return mEffect; }
  bool IsLoaded() const { return mEffect != nullptr; }

  // effOpen, effSetSampleRate, effSetBlockSize, effMainsChanged(1). Needs Load first.
  bool Open(double sampleRate = 44100.0, int32_t blockSize = 512);
  // effMainsChanged(0) when open, effClose, unload. Safe to call at any time and more than once.
  void Close();

  // Raw dispatcher call; answers 0 when nothing is loaded.
  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.f);

  // Identity queries. String answers are read into a zeroed buffer larger than the interface limit,
  // so an overlong answer from the plug-in is cut, never overrun.
  std::string EffectName();
  std::string VendorString();
  std::string ProductString();
  int32_t VendorVersion();
  Identity QueryIdentity();
  intptr_t CanDo(const std::string& capability);

  // Parameters through the AEffect callbacks (0 when the callback is missing).
  void SetParameter(int32_t index, float value);
  float GetParameter(int32_t index);

  // Events queued here reach the plug-in through effProcessEvents right before the next process call
  // (or at SendQueuedEvents). The event memory stays valid until that process call has returned.
  void QueueMidi(int32_t deltaFrames, uint8_t status, uint8_t data1 = 0, uint8_t data2 = 0);
  void QueueSysEx(int32_t deltaFrames, const std::vector<uint8_t>& bytes);
  // Sends the queued events now; answers the dispatcher's result, or 0 when nothing was queued.
  intptr_t SendQueuedEvents();

  // Process blocks on the host's own buffers (numInputs / numOutputs channels of BlockSize() frames).
  // False when nothing is open, frames is outside 1 .. BlockSize() or the callback is missing.
  // Buffers are not cleared between calls: tests fill them to see what the plug-in writes.
  bool ProcessReplacing(int32_t frames);
  bool ProcessAccumulating(int32_t frames); // the old `process` callback
  bool ProcessDouble(int32_t frames);
  std::vector<std::vector<float>>& Inputs32() { return mIn32; }
  std::vector<std::vector<float>>& Outputs32() { return mOut32; }
  std::vector<std::vector<double>>& Inputs64() { return mIn64; }
  std::vector<std::vector<double>>& Outputs64() { return mOut64; }
  int32_t BlockSize() const { return mBlockSize; }
  double SampleRate() const { return mTransport.sampleRate; }

  // Chunks: the data is copied out of the plug-in. Empty when the plug-in answers 0.
  std::vector<uint8_t> GetChunk(bool bank);
  bool SetChunk(const std::vector<uint8_t>& data, bool bank);           // SetChunkAnswer(...) != 0
  intptr_t SetChunkAnswer(const std::vector<uint8_t>& data, bool bank); // effSetChunk's raw answer

  // Editor calls; the window itself is up to the caller (parent is a native window handle or null).
  bool EditorGetRect(ERect& rect);
  intptr_t EditorOpen(void* parent);
  void EditorIdle();
  intptr_t EditorClose();

  // Host-side state the callback answers from, and what it recorded. Safe to read between calls.
  HostTransport& Transport() { return mTransport; }
  std::string productString = "vsthost";
  std::string vendorString = "VELK project";
  int32_t vendorVersion = 10000;
  int32_t processLevel = -1; // -1: realtime (2) inside a process call, user (1) outside; else this answer

  std::vector<AutomationCall> AutomationCalls() const;
  std::vector<HostEvent> EventsFromPlugin() const;
  int32_t CallCount(int32_t opcode) const; // how often the plug-in called the host with this opcode
  int32_t LastTimeRequest() const;         // the value (request mask) of the last audioMasterGetTime
  int32_t LastSizeWindowWidth() const;
  int32_t LastSizeWindowHeight() const;
  void ClearRecords();

  // The function handed to the plug-in; exposed so tests can question the host directly.
  static intptr_t HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                               float opt);

private:
  intptr_t Answer(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  void FillTimeInfo(int32_t request);
  void ResizeBuffers();
  void AfterProcess(int32_t frames);
  bool ReadyToProcess(int32_t frames);
  std::string QueryString(int32_t opcode);
  void Unload();

  PluginModule mModule;
  AEffect* mEffect = nullptr;
  bool mOpen = false;
  bool mInProcess = false;
  int32_t mBlockSize = 512;
  std::string mError;
  HostTransport mTransport;
  VstTimeInfo mTimeInfo{};

  std::vector<std::vector<float>> mIn32, mOut32;
  std::vector<std::vector<double>> mIn64, mOut64;
  std::vector<float*> mIn32Ptrs, mOut32Ptrs;
  std::vector<double*> mIn64Ptrs, mOut64Ptrs;

  // Queued events and the storage handed to the plug-in (kept alive until after the next process call).
  struct PendingEvent
  {
    VstMidiEvent midi{};
    VstMidiSysexEvent sysex{};
    std::vector<uint8_t> dump;
    bool isSysEx = false;
  };
  std::vector<PendingEvent> mQueued, mSent;
  std::vector<uint8_t> mEventsBlock; // a VstEvents with room for every pointer

  mutable std::mutex mRecordLock;
  std::vector<AutomationCall> mAutomation;
  std::vector<HostEvent> mPluginEvents;
  std::vector<int32_t> mCallCounts;
  int32_t mLastTimeRequest = 0;
  int32_t mSizeWidth = 0, mSizeHeight = 0;
};

// "abcd" from a four-character code (first character in the most significant byte); unprintable
// characters show as '?'.
std::string FourCCText(int32_t code);
// The flags of an AEffect as names, e.g. "CanReplacing ProgramChunks IsSynth".
std::string FlagNames(int32_t flags);
// The capability strings asked by --identity.
const std::vector<std::string>& IdentityCapabilities();

} // namespace vsthost
