#include "framework/plugin/IEffectVST.h"

#include "framework/plugin/HostId.h"
#include "framework/plugin/IEditorHook.h"
#include "framework/plugin/IMidiMessage.h"
#include "framework/plugin/ISysExMessage.h"

#include <cstring>
#include <limits>
#include <vector>

// The plug-in object, its AEffect record and its calls to the host; the dispatcher is in
// IEffectVSTDispatcher.cpp, the process and parameter callbacks in IEffectVSTProcess.cpp.

namespace
{
int16_t ClampToShort(int v)
{
  if (v > std::numeric_limits<int16_t>::max()) return std::numeric_limits<int16_t>::max();
  if (v < 0) return 0;
  return int16_t(v);
}

constexpr VstInt32 kTimeInfoMask =
    kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid; // 0x3E00
} // namespace

IEffectVST::IEffectVST(audioMasterCallback hostCallback) : mHostCallback(hostCallback) {}

IEffectVST::~IEffectVST() = default;

IEffectVST* IEffectVST::FromEffect(AEffect* effect)
{
  return effect ? static_cast<IEffectVST*>(effect->object) : nullptr;
}

void IEffectVST::SetArrangement(VstSpeakerArrangement& arrangement, int channels)
{
  std::memset(&arrangement, 0, sizeof(arrangement));
  arrangement.numChannels = channels;
  switch (channels)
  {
  case 0:
    arrangement.type = kSpeakerArrEmpty;
    break;
  case 1:
    arrangement.type = kSpeakerArrMono;
    break;
  case 2:
    arrangement.type = kSpeakerArrStereo;
    break;
  default:
    arrangement.type = kSpeakerArrUserDefined;
    break;
  }
}

void IEffectVST::InitEffectRecord()
{
  initialize();

  std::memset(&mEffect, 0, sizeof(mEffect));
  mEffect.magic = kEffectMagic;
  mEffect.dispatcher = &IEffectVST::VSTDispatcher;
  mEffect.process = &IEffectVST::HostProcessAccumulate;
  mEffect.setParameter = &IEffectVST::HostSetParameter;
  mEffect.getParameter = &IEffectVST::HostGetParameter;
  mEffect.numPrograms = NumPresets();
  mEffect.numParams = AutomatedCount();
  mEffect.numInputs = NumInputChannels();
  mEffect.numOutputs = NumOutputChannels();
  mEffect.flags = effFlagsHasReplacing | effFlagsProgramChunks | effFlagsIsSynth | effFlagsCanDoubleReplacing;
  if (LegalIO()) mEffect.flags |= effFlagsCanMono;
  mEffect.initialDelay = Latency();
  mEffect.ioRatio = 1.0f;
  mEffect.object = this;
  mEffect.uniqueID = UniqueId();
  const int32_t v = Version();
  mEffect.version = ((v >> 16) & 0xffff) * 10000 + ((v >> 8) & 0xff) * 100 + (v & 0xff);
  mEffect.processReplacing = &IEffectVST::HostProcessFloat;
  mEffect.processDoubleReplacing = &IEffectVST::HostProcessDouble;

  mHostExtensions = 0;
  mEditorRect = ERect{};
  SetArrangement(mInputArrangement, NumInputChannels());
  SetArrangement(mOutputArrangement, NumOutputChannels());
  for (int i = 0; i < NumInputChannels(); ++i)
    InputChannel(i)->connected = true;
  for (int i = 0; i < NumOutputChannels(); ++i)
    OutputChannel(i)->connected = true;
  SetBlockLength(1024);
}

// ---- host calls ----

VstIntPtr IEffectVST::CallHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  if (!mHostCallback) return 0;
  return mHostCallback(&mEffect, opcode, index, value, ptr, opt);
}

VstTimeInfo* IEffectVST::GetTimeInfo(VstInt32 mask)
{
  return reinterpret_cast<VstTimeInfo*>(CallHost(audioMasterGetTime, 0, mask));
}

// The host only ever hears of parameters it was offered (none in this plug-in).
intptr_t IEffectVST::BeginParamEdit(int index)
{
  return ValidAutomatedIndex(index) ? CallHost(audioMasterBeginEdit, index) : 0;
}

intptr_t IEffectVST::AutomateParam(int index, double normalised)
{
  return ValidAutomatedIndex(index) ? CallHost(audioMasterAutomate, index, 0, nullptr, float(normalised)) : 0;
}

intptr_t IEffectVST::EndParamEdit(int index)
{
  return ValidAutomatedIndex(index) ? CallHost(audioMasterEndEdit, index) : 0;
}

intptr_t IEffectVST::RefreshHostDisplay()
{
  return CallHost(audioMasterUpdateDisplay);
}

bool IEffectVST::IsOfflineRender()
{
  return CallHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

int64_t IEffectVST::HostSamplePosition()
{
  const VstTimeInfo* ti = GetTimeInfo(0);
  if (!ti || !(ti->samplePos >= 0.0)) return 0;
  const double s = ti->samplePos + 0.5;
  if (s >= 9.2e18) return std::numeric_limits<int64_t>::max();
  return int64_t(s);
}

double IEffectVST::HostTempo()
{
  if (!mHostCallback) return 0.0;
  const VstTimeInfo* ti = GetTimeInfo(kVstTempoValid);
  if (ti && (ti->flags & kVstTempoValid) && ti->tempo >= 0.0) return ti->tempo;
  return 0.0;
}

void IEffectVST::HostTimeSignature(int* numerator, int* denominator)
{
  if (numerator) *numerator = 0;
  if (denominator) *denominator = 0;
  const VstTimeInfo* ti = GetTimeInfo(kVstTimeSigValid);
  if (ti && (ti->flags & kVstTimeSigValid) && ti->timeSigNumerator >= 0 && ti->timeSigDenominator >= 0)
  {
    if (numerator) *numerator = ti->timeSigNumerator;
    if (denominator) *denominator = ti->timeSigDenominator;
  }
}

void IEffectVST::HostTimeInfo(HostTransportInfo* info)
{
  if (!info) return;
  const VstTimeInfo* ti = GetTimeInfo(kTimeInfoMask);
  if (!ti || !(ti->flags & kTimeInfoMask)) return;
  const VstInt32 f = ti->flags;
  info->samplePosition = ti->samplePos;
  if ((f & kVstPpqPosValid) && ti->ppqPos >= 0.0) info->ppqPosition = ti->ppqPos;
  if ((f & kVstTempoValid) && ti->tempo > 0.0) info->tempo = ti->tempo;
  if ((f & kVstBarsValid) && ti->barStartPos >= 0.0) info->lastBarStart = ti->barStartPos;
  if ((f & kVstCyclePosValid) && ti->cycleStartPos >= 0.0 && ti->cycleEndPos >= 0.0)
  {
    info->cycleStart = ti->cycleStartPos;
    info->cycleEnd = ti->cycleEndPos;
  }
  if ((f & kVstTimeSigValid) && ti->timeSigNumerator > 0 && ti->timeSigDenominator > 0)
  {
    info->numerator = ti->timeSigNumerator;
    info->denominator = ti->timeSigDenominator;
  }
  info->playing = (f & kVstTransportPlaying) != 0;
  info->looping = (f & kVstTransportCycleActive) != 0;
}

HostId IEffectVST::QueryHost()
{
  if (mHostId != kHostNotAsked) return mHostId;
  char text[256] = {0};
  CallHost(audioMasterGetProductString, 0, 0, text);
  text[sizeof(text) - 1] = '\0';
  if (text[0])
  {
    const int64_t v = CallHost(audioMasterGetVendorVersion);
    mHostVersion = int32_t(((v / 10000) << 16) | (((v % 10000) / 100) << 8) | (v % 100));
  }
  else
  {
    mHostVersion = 0;
  }
  mHostId = IdentifyHost(text);
  return mHostId;
}

void IEffectVST::UpdateEditorSize()
{
  if (!mEditor) return;
  mEditorRect = ERect{0, 0, ClampToShort(mEditor->Height()), ClampToShort(mEditor->Width())};
  OnEditorSizeChanged(mEditor);
}

void IEffectVST::SetLatencySamples(int n)
{
  mEffect.initialDelay = n;
  IEffectBase::SetLatencySamples(n);
}

bool IEffectVST::SendMidiToHost(IMidiMessage* message)
{
  if (!message) return false;
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = int32_t(sizeof(VstMidiEvent));
  event.deltaFrames = message->offset;
  event.midiData[0] = char(message->status);
  event.midiData[1] = char(message->data1);
  event.midiData[2] = char(message->data2);
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IEffectVST::SendSysExToHost(ISysExMessage* message)
{
  if (!message || !message->bytes || message->size <= 0) return false;
  VstMidiSysexEvent event{};
  event.type = kVstSysExType;
  event.byteSize = int32_t(sizeof(VstMidiSysexEvent));
  event.deltaFrames = message->offset;
  event.dumpBytes = message->size;
  event.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(message->bytes));
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IEffectVST::SendMidiToDevice(IMidiMessage* message)
{
  return message && MidiPorts().SendMidiToDevice(*message) == MidiSendStatus::kSent;
}

bool IEffectVST::SendSysExToDevice(const uint8_t* bytes, int length)
{
  return MidiPorts().SendSysExToDevice(bytes, length) == MidiSendStatus::kSent;
}

bool IEffectVST::SendBytesToDevice(const uint8_t* bytes, int length)
{
  return MidiPorts().SendBytesToDevice(bytes, length) == MidiSendStatus::kSent;
}

bool IEffectVST::SendVectorToDevice(std::vector<uint8_t>& bytes)
{
  return MidiPorts().SendVectorToDevice(bytes) == MidiSendStatus::kSent;
}

bool IEffectVST::ForwardEventToHost(VstEvent* event)
{
  if (!event) return false;
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = event;
  return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

void IEffectVST::HostInit()
{
  if (mHostInitialised) return;
  mHostInitialised = true;
  QueryHost();
  if (HostNeedsChannelFix(mHostId)) AdjustChannelsForHost();
  mInputArrangement.numChannels = NumInputChannels();
  mOutputArrangement.numChannels = NumOutputChannels();
  mEffect.numInputs = NumInputChannels();
  mEffect.numOutputs = NumOutputChannels();
  OnHostQueried();
}

void IEffectVST::AttachEditor(IEditorHook* editor)
{
  if (!editor) return;
  IEffectBase::AttachEditor(editor);
  mEffect.flags |= effFlagsHasEditor;
  mEditorRect = ERect{0, 0, ClampToShort(editor->Height()), ClampToShort(editor->Width())};
}
