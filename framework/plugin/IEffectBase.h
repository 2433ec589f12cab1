#pragma once

#include "framework/support/AppendLog.h"
#include "framework/support/HeapBuffer.h"
#include "framework/support/HeapString.h"
#include "framework/plugin/HostId.h"
#include "framework/plugin/IEditorHook.h"
#include "framework/plugin/IMidiPorts.h"
#include "framework/plugin/IPresetSlot.h"
#include "framework/plugin/ParameterTable.h"
#include "framework/support/PointerList.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class IParameter;
class IStateChunk;
struct IMidiMessage;
struct ISysExMessage;

// What HostTimeInfo fills in. The caller sets the defaults; fields the host does not supply
// keep them.
struct HostTransportInfo
{
  double tempo = 120.0; // beats per minute
  double samplePosition = 0.0;
  double ppqPosition = 0.0;  // quarter notes
  double lastBarStart = 0.0; // quarter notes
  double cycleStart = 0.0;
  double cycleEnd = 0.0;
  int32_t numerator = 4;
  int32_t denominator = 4;
  bool playing = false;
  bool looping = false;
};

// One accepted channel configuration.
struct IChannelIO
{
  int32_t inputs = 0;
  int32_t outputs = 0;
};

// One audio input or output channel.
struct IChannelRecord
{
  bool connected = false;
  double** slot = nullptr;          // this channel's entry in the input or output pointer array
  float* hostDestination = nullptr; // outputs on the 32-bit paths: the host buffer of this block
  HeapBuffer samples{4096};         // block-length doubles

  double* Samples() { return reinterpret_cast<double*>(samples.Data()); }
};

// The host-neutral plug-in base: parameter table and lock, presets, channel records, the
// virtual operations through which the host wrapper, the editor and the main class meet.
class IEffectBase
{
public:
  static constexpr int kNumParameters = 5866;
  static constexpr int kMaxNameLength = 127;

  IEffectBase();
  virtual ~IEffectBase();

  IEffectBase(const IEffectBase&) = delete;
  IEffectBase& operator=(const IEffectBase&) = delete;

  // Parameters, identity and channel records; called once by the host wrapper.
  void initialize();

  // ---- virtual operations, in slot order ----
  virtual void ResetProcessing();
  virtual void HandleParameterChange(int index);
  virtual void HandleSecondaryParameterChange(int index);
  // Base: output i copies input i; outputs without an input are silence.
  virtual void ProcessBlockDouble(double** inputs, double** outputs, int frames);
  virtual void ProcessBlockFloat(float** inputs, float** outputs, int frames);
  virtual void OnEditorOpened() {}
  virtual void OnEditorClosing() {}
  virtual void OnActivationChanged(bool on);
  virtual void HandleMidiMessage(IMidiMessage* message, bool fromDevice);
  virtual void HandleSysExMessage(ISysExMessage* message, bool fromDevice);
  // Writes the name of a key into text (capacity bytes with the terminator).
  virtual bool GetNoteName(int key, char* text, int capacity);
  virtual bool WriteStateChunk(IStateChunk* chunk);
  virtual int ReadStateChunk(IStateChunk* chunk, int position);
  virtual bool StateMatches(const double* values, int start);
  virtual void OnEditorSizeChanged(IEditorHook*) {}
  virtual void OnHostQueried() {}
  virtual void ShowParameterContextMenu(int, int, int) {}
  virtual void SetParameterFromControl(int index, double normalised);
  virtual void SetParameterFromControlSecondary(int index, double normalised);
  virtual intptr_t BeginParamEdit(int index) = 0;
  virtual intptr_t AutomateParam(int index, double normalised) = 0;
  virtual intptr_t EndParamEdit(int index) = 0;
  virtual intptr_t RefreshHostDisplay() = 0;
  virtual bool IsOfflineRender() { return false; }
  // 64 bits: a 32-bit count overflows after about half a day at 48 kHz.
  virtual int64_t HostSamplePosition() = 0;
  virtual double HostTempo() = 0;
  virtual void HostTimeSignature(int* numerator, int* denominator) = 0;
  virtual void HostTimeInfo(HostTransportInfo* info) = 0;
  virtual HostId QueryHost() { return mHostId; }
  virtual int WrapperKind() { return mWrapperKind; }
  virtual void UpdateEditorSize() = 0;
  virtual void PushParametersToEditor();
  virtual void SetLatencySamples(int n) { mLatency = n; }
  virtual bool SendMidiToHost(IMidiMessage* message) = 0;
  // Hardware MIDI output; the base has no port and sends nothing.
  virtual bool SendMidiToDevice(IMidiMessage* message);
  virtual bool SendSysExToDevice(const uint8_t* bytes, int length);
  virtual bool SendBytesToDevice(const uint8_t* bytes, int length);
  virtual bool SendVectorToDevice(std::vector<uint8_t>& bytes);
  virtual void HostInit() {}
  virtual void AttachEditor(IEditorHook* editor);
  virtual bool SendSysExToHost(ISysExMessage* message);
  virtual void OnPresetListChanged() {}
  virtual void SetBlockLength(int n);
  // After each idle call of the host's editor (user-interface thread, parameter lock not held): the
  // place for work that waits, which must not hold the lock the audio thread takes.
  virtual void OnEditorIdle() {}

  // ---- parameters ----
  IParameter* ParameterAt(int index) const { return mParams.Get(index); }
  int NumParameters() const { return mParams.Count(); }
  int NonAutomatedCount() const { return mNonAutomatedCount; }
  // Parameters offered to the host (none in this plug-in).
  int AutomatedCount() const { return NumParameters() - mNonAutomatedCount; }

  // The parameter lock: recursive, one per plug-in object.
  std::recursive_mutex& ParameterLock() { return mParamLock; }

  // ---- channels ----
  bool LegalIO() const;
  void AdjustChannelsForHost();
  int NumInputChannels() const { return mInChannels.Count(); }
  int NumOutputChannels() const { return mOutChannels.Count(); }
  IChannelRecord* InputChannel(int i) const { return mInChannels.Get(i); }
  IChannelRecord* OutputChannel(int i) const { return mOutChannels.Get(i); }
  int NumChannelIO() const { return mChannelIO.Count(); }
  const IChannelIO* ChannelIO(int i) const { return mChannelIO.Get(i); }
  // Converts the host's 32-bit inputs into the connected input channels; a null host array or
  // buffer reads as silence. frames must not exceed the block length.
  // offset: the first frame of the host buffers to take (a slice of a long host block).
  void BindInputBuffers(int firstChannel, int count, float** hostInputs, int frames, int offset = 0);
  void ProcessFloatBlock(int firstChannel, int frames);
  void ProcessAccumulateBlock(int firstChannel, int frames);
  double** InputPointers() { return reinterpret_cast<double**>(mInPointers.Data()); }
  double** OutputPointers() { return reinterpret_cast<double**>(mOutPointers.Data()); }
  int BlockLength() const { return mBlockLength; }
  double SampleRate() const { return mSampleRate; }
  void SetSampleRate(double rate) { mSampleRate = rate; }
  int Latency() const { return mLatency; }

  // ---- presets ----
  int NumPresets() const { return mPresets.Count(); }
  int CurrentPreset() const { return mCurrentPreset; }
  void FillEmptyPresets(const char* name, int n);
  bool LoadPreset(int index);
  const char* PresetName(int index) const;
  void ModifyCurrentPreset(const char* name);
  // Adds an empty preset slot; the plug-in itself makes none.
  IPresetSlot* AddPresetSlot();
  // A copy of every slot and of the current index, and putting it back: a refused bank must
  // leave the slots as they were.
  struct PresetsCopy
  {
    std::vector<IPresetSlot> slots;
    int32_t current = 0;
  };
  PresetsCopy CopyPresets() const;
  void RestorePresets(const PresetsCopy& copy);

  // ---- state chunk (serialisers) ----
  void WriteChunkHeader(IStateChunk* chunk);
  int32_t ReadChunkHeader(IStateChunk* chunk, int* position);
  bool SerializePresets(IStateChunk* chunk);
  int UnserializePresets(IStateChunk* chunk, int position);
  bool SerializeParams(IStateChunk* chunk);
  int UnserializeParams(IStateChunk* chunk, int position);
  bool SerializeNonAutomatedParams(IStateChunk* chunk, int n);
  int UnserializeNonAutomatedParams(IStateChunk* chunk, int position, int n);

  // ---- identity ----
  const char* EffectName() const { return mEffectName.Get(); }
  const char* ProductName() const { return mProductName.Get(); }
  const char* VendorName() const { return mVendorName.Get(); }
  int32_t UniqueId() const { return mUniqueId; }
  int32_t ManufacturerCode() const { return mManufacturerCode; }
  int32_t Version() const { return mVersion; }
  bool IsInstrument() const { return mIsInstrument; }
  int32_t HostVersion() const { return mHostVersion; }

  IEditorHook* Editor() const { return mEditor; }

  // ---- hardware MIDI ports (IMidiPorts): lists, selection by name; input reaches
  // HandleMidiMessage / HandleSysExMessage on the ports' delivery thread, without the parameter lock ----
  std::vector<std::string> ListMidiOutputPorts() { return mMidiPorts.ListMidiOutputPorts(); }
  std::vector<std::string> ListMidiInputPorts() { return mMidiPorts.ListMidiInputPorts(); }
  int FindMidiOutputPort(const std::string& name) { return mMidiPorts.FindMidiOutputPort(name); }
  int FindMidiInputPort(const std::string& name) { return mMidiPorts.FindMidiInputPort(name); }
  int SelectMidiOutputPort(int& index, const std::string& name)
  {
    return mMidiPorts.SelectMidiOutputPort(index, name);
  }
  int SelectMidiInputPort(int& index, const std::string& name)
  {
    return mMidiPorts.SelectMidiInputPort(index, name);
  }
  // Closes both ports and joins the input thread, so no handler runs afterwards. A derived class
  // whose handlers use its own members calls this first thing in its destructor.
  void CloseMidiPorts() { mMidiPorts.Shutdown(); }
  IMidiPorts& MidiPorts() { return mMidiPorts; }

protected:
  // A value read from a state: clamped into the range, and put on the step grid too when
  // constrained (IParameter::SetConstrained). While a host's chunk is being recalled, each parameter
  // it changes is noted with the value it had: a recall that is refused puts those back, one that
  // is taken shows just those on the controls.
  void SetRecalledValue(int index, double value, bool constrained);
  // SetRecalledValue for count values in turn, from parameter first on, in one pass.
  void SetRecalledValues(int first, const double* values, int count, bool constrained);
  // Starts noting; ends it and puts the noted values back (refused) or keeps them (taken), then
  // shows the values that changed on the controls.
  void BeginRecall();
  void EndRecall(bool taken);
  // Reads a block of count doubles for the parameters from first on; every value is read
  // before any is stored, so a block that does not fit changes nothing.
  int UnserializeParamBlock(IStateChunk* chunk, int position, int first, int count);
  bool SerializeParamBlock(IStateChunk* chunk, int first, int count);
  void ParseChannelIO(const char* text);
  // The two control paths: set from the normalised value, tell the host, and call the primary or
  // the secondary change handler when the value changed (text parameters always).
  void ApplyControlChange(int index, double normalised, bool secondary);
  // Runs ProcessBlockDouble and converts each connected output into its host buffer, replacing
  // or adding to what the host buffer holds.
  void ProcessToHost(int firstChannel, int frames, bool accumulate);

  int32_t mNonAutomatedCount = 0;
  PointerList<IChannelIO> mChannelIO;
  std::recursive_mutex mParamLock;
  HeapString mEffectName, mProductName, mVendorName;
  int32_t mUniqueId;
  int32_t mManufacturerCode;
  int32_t mVersion = 0x00010104;
  int32_t mWrapperKind = 0;
  HostId mHostId = kHostNotAsked;
  int32_t mHostVersion = 0;
  bool mIsInstrument = true;
  int32_t mCurrentPreset = 0;
  double mSampleRate = 44100.0;
  int32_t mBlockLength = 0;
  int32_t mLatency = 128;
  IEditorHook* mEditor = nullptr;
  PointerList<IParameter> mParams; // points into mTable
  ParameterTable mTable;
  PointerList<IPresetSlot> mPresets;
  HeapBuffer mInPointers{4096}, mOutPointers{4096};
  PointerList<IChannelRecord> mInChannels, mOutChannels;

private:
  // Every parameter's value to the editor's controls, in index order (under the parameter lock).
  void PushAllParameters(IEditorHook& editor);

  // Hands input from the ports' delivery thread to the virtual handlers.
  class MidiInputForwarder final : public IMidiInputSink
  {
  public:
    explicit MidiInputForwarder(IEffectBase& owner) : mOwner(owner) {}
    void HandleMidiMessage(const IMidiMessage& message, bool fromDevice) override;
    void HandleSysExMessage(const ISysExMessage& message, bool fromDevice) override;

  private:
    IEffectBase& mOwner;
  };

  // A value a recall changed: the one it had and the one the recall left.
  struct RecalledValue
  {
    int index;
    double before;
    double after;
  };
  bool mRecalling = false;
  uint64_t mChangesBeforeRecall = 0; // IParameter::ValueChanges as the recall began
  AppendLog<RecalledValue> mRecalled;
  // With an editor, entry by entry what mRecalled's values show on the controls, placed on the
  // scale while the parameter is at hand and handed to the editor at once.
  AppendLog<IEditorHook::ParameterValue> mRecalledPush;

  MidiInputForwarder mMidiForwarder{*this};
  IMidiPorts mMidiPorts; // declared last: closed and joined before anything else goes
};
