#pragma once

#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IStateChunk.h"
#include "platform/vst2/VstTypes.h"

// The VST 2 specialisation of the plug-in base: the AEffect record handed to the host, the
// dispatcher, the process and parameter callbacks, and the calls back to the host.
class IEffectVST : public IEffectBase
{
public:
  explicit IEffectVST(audioMasterCallback hostCallback);
  ~IEffectVST() override;

  // Parameter table, identity, AEffect record, channel records and a block length of 1024.
  void InitEffectRecord();

  AEffect* Effect() { return &mEffect; }
  audioMasterCallback HostCallback() const { return mHostCallback; }

  // ---- host-facing callbacks (reached through AEffect::object) ----
  static VstIntPtr VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);
  static void HostProcessAccumulate(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
  static void HostProcessFloat(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
  static void HostProcessDouble(AEffect* effect, double** inputs, double** outputs, VstInt32 frames);
  static float HostGetParameter(AEffect* effect, VstInt32 index);
  static void HostSetParameter(AEffect* effect, VstInt32 index, float value);

  // ---- overrides of the base ----
  intptr_t BeginParamEdit(int index) override;
  intptr_t AutomateParam(int index, double normalised) override;
  intptr_t EndParamEdit(int index) override;
  intptr_t RefreshHostDisplay() override;
  bool IsOfflineRender() override;
  int64_t HostSamplePosition() override;
  double HostTempo() override;
  void HostTimeSignature(int* numerator, int* denominator) override;
  void HostTimeInfo(HostTransportInfo* info) override;
  HostId QueryHost() override;
  void UpdateEditorSize() override;
  void SetLatencySamples(int n) override;
  bool SendMidiToHost(IMidiMessage* message) override;
  // Hardware MIDI output through the base's IMidiPorts; true only when the message left the port.
  bool SendMidiToDevice(IMidiMessage* message) override;
  bool SendSysExToDevice(const uint8_t* bytes, int length) override;
  bool SendBytesToDevice(const uint8_t* bytes, int length) override;
  bool SendVectorToDevice(std::vector<uint8_t>& bytes) override;
  void HostInit() override;
  void AttachEditor(IEditorHook* editor) override;
  bool SendSysExToHost(ISysExMessage* message) override;

  // Hands one event the host sent (and that is no MIDI event) back to the host.
  bool ForwardEventToHost(VstEvent* event);

  // ---- state kept for the host ----
  const ERect& EditorRect() const { return mEditorRect; }
  const VstSpeakerArrangement& InputArrangement() const { return mInputArrangement; }
  const VstSpeakerArrangement& OutputArrangement() const { return mOutputArrangement; }
  int32_t HostExtensionBits() const { return mHostExtensions; }
  bool DoesMidi() const { return mDoesMidi; }

protected:
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr CallHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  VstTimeInfo* GetTimeInfo(VstInt32 mask);

private:
  VstIntPtr GetChunk(void** data, bool isBank);
  VstIntPtr SetChunk(const void* data, VstIntPtr size, bool isBank);
  VstIntPtr String2Parameter(int index, const char* text);
  VstIntPtr CanDo(const char* text);
  void SetSpeakerArrangement(const VstSpeakerArrangement* arrangement, bool inputs);
  VstIntPtr PinProperties(int index, VstPinProperties* properties, bool inputs);
  bool ValidAutomatedIndex(int index) const { return index >= 0 && index < AutomatedCount(); }

  // One host block in slices of at most the block length, so no channel buffer is overrun.
  void ProcessFloatPath(float** inputs, float** outputs, int frames, bool accumulate);
  void ProcessDoublePath(double** inputs, double** outputs, int frames);
  void BindFloatBuffers(float** inputs, float** outputs, int offset, int frames);
  void BindDoubleBuffers(double** inputs, double** outputs, int offset, int frames);

  static IEffectVST* FromEffect(AEffect* effect);
  static void SetArrangement(VstSpeakerArrangement& arrangement, int channels);

  audioMasterCallback mHostCallback = nullptr;
  AEffect mEffect{};
  ERect mEditorRect{};
  VstSpeakerArrangement mInputArrangement{};
  VstSpeakerArrangement mOutputArrangement{};
  bool mHostInitialised = false;
  bool mDoesMidi = true;
  int32_t mHostExtensions = 0;
  IStateChunk mProgramChunk;
  IStateChunk mBankChunk;
};

// Creates the plug-in object for the entry point; defined by the main class's module.
IEffectVST* CreatePlugin(audioMasterCallback hostCallback);
