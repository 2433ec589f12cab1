#include "tools/vsthost/VstHost.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vsthost
{

namespace
{

using EntryProc = AEffect* (*)(audioMasterCallback);

// Plug-ins may call the host from inside their entry point, before the host knows their AEffect.
// Loads are serialised so that such calls find the host that is loading.
std::mutex gLoadLock;
std::atomic<VstHost*> gLoadingHost{nullptr};

constexpr int32_t kMaxChannels = 64;        // more than this in an AEffect is garbage, not a layout
constexpr int32_t kMaxEventsPerCall = 4096; // bounds the copy of a plug-in's event list
constexpr int32_t kMaxSysExBytes = 1 << 20;
constexpr intptr_t kMaxChunkBytes = intptr_t(256) << 20;
constexpr int32_t kCallCountSlots = 64;

const char* const kHostCapabilities[] = {"sendVstEvents",    "sendVstMidiEvent",    "sendVstTimeInfo",
                                         "receiveVstEvents", "receiveVstMidiEvent", "sizeWindow",
                                         "acceptIOChanges"};

void CopyText(void* dest, const std::string& text, size_t capacity)
{
  if (!dest || capacity == 0) return;
  const size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(dest, text.data(), n);
  static_cast<char*>(dest)[n] = '\0';
}

} // namespace

VstHost::VstHost() : mCallCounts(kCallCountSlots, 0) {}

VstHost::~VstHost()
{
  Close();
}

bool VstHost::Load(const std::string& path)
{
  Close();
  mError.clear();

  // A bare file name means the file here, not a search through the system's library folders.
  if (!mModule.Load(path))
  {
    mError = "cannot load '" + path + "': " + mModule.Error();
    return false;
  }
  void* symbol = mModule.Symbol("VSTPluginMain");
  if (!symbol) symbol = mModule.Symbol("main");
  if (!symbol)
  {
    mModule.Unload();
    mError = "'" + path + "' has no entry point (neither VSTPluginMain nor main)";
    return false;
  }

  AEffect* effect = nullptr;
  {
    std::lock_guard<std::mutex> guard(gLoadLock);
    gLoadingHost = this;
    try
    {
      effect = reinterpret_cast<EntryProc>(symbol)(&VstHost::HostCallback);
    }
    catch (...)
    {
      effect = nullptr;
    }
    gLoadingHost = nullptr;
  }
  if (!effect)
  {
    mModule.Unload();
    mError = "the entry point of '" + path + "' returned no effect";
    return false;
  }
  if (effect->magic != kEffectMagic)
  {
    char text[96];
    std::snprintf(text, sizeof(text), "bad magic 0x%08X (expected 0x%08X 'VstP')",
                  static_cast<uint32_t>(effect->magic), static_cast<uint32_t>(kEffectMagic));
    // The record cannot be trusted, so its dispatcher is not called; the object is abandoned.
    mModule.Unload();
    mError = "'" + path + "': " + text;
    return false;
  }

  effect->resvd1 = reinterpret_cast<VstIntPtr>(this); // the host's own field: finds us in callbacks
  mEffect = effect;
  return true;
}

bool VstHost::Open(double sampleRate, int32_t blockSize)
{
  if (!mEffect || blockSize <= 0 || !(sampleRate > 0.0)) return false;
  mTransport.sampleRate = sampleRate;
  mBlockSize = blockSize;
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  Dispatch(effSetBlockSize, 0, blockSize);
  Dispatch(effMainsChanged, 0, 1);
  mOpen = true;
  ResizeBuffers();
  return true;
}

void VstHost::Close()
{
  if (mEffect)
  {
    if (mOpen) Dispatch(effMainsChanged, 0, 0);
    Dispatch(effClose); // the plug-in deletes itself; the AEffect is gone after this
  }
  mEffect = nullptr;
  mOpen = false;
  mQueued.clear();
  mSent.clear();
  Unload();
}

void VstHost::Unload()
{
  mModule.Unload();
}

intptr_t VstHost::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  if (!mEffect || !mEffect->dispatcher) return 0;
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

std::string VstHost::QueryString(int32_t opcode)
{
  // Four times the largest limit: an overlong answer lands in our slack and is cut at the end.
  char text[kVstMaxVendorStrLen * 4] = {};
  Dispatch(opcode, 0, 0, text);
  text[sizeof(text) - 1] = '\0';
  return text;
}

std::string VstHost::EffectName()
{
  return QueryString(effGetEffectName);
}
std::string VstHost::VendorString()
{
  return QueryString(effGetVendorString);
}
std::string VstHost::ProductString()
{
  return QueryString(effGetProductString);
}
int32_t VstHost::VendorVersion()
{
  return static_cast<int32_t>(Dispatch(effGetVendorVersion));
}

Identity VstHost::QueryIdentity()
{
  Identity id;
  if (!mEffect) return id;
  id.effectName = EffectName();
  id.vendor = VendorString();
  id.product = ProductString();
  id.vendorVersion = VendorVersion();
  id.category = static_cast<int32_t>(Dispatch(effGetPlugCategory));
  id.vstVersion = static_cast<int32_t>(Dispatch(effGetVstVersion));
  id.version = mEffect->version;
  id.uniqueID = mEffect->uniqueID;
  id.numInputs = mEffect->numInputs;
  id.numOutputs = mEffect->numOutputs;
  id.numParams = mEffect->numParams;
  id.numPrograms = mEffect->numPrograms;
  id.flags = mEffect->flags;
  id.initialDelay = mEffect->initialDelay;
  return id;
}

intptr_t VstHost::CanDo(const std::string& capability)
{
  std::string text = capability; // the dispatcher takes a non-const pointer
  return Dispatch(effCanDo, 0, 0, text.data());
}

void VstHost::SetParameter(int32_t index, float value)
{
  if (mEffect && mEffect->setParameter) mEffect->setParameter(mEffect, index, value);
}

float VstHost::GetParameter(int32_t index)
{
  return (mEffect && mEffect->getParameter) ? mEffect->getParameter(mEffect, index) : 0.f;
}

// ---- Events ----

void VstHost::QueueMidi(int32_t deltaFrames, uint8_t status, uint8_t data1, uint8_t data2)
{
  PendingEvent event;
  event.midi.type = kVstMidiType;
  event.midi.byteSize = sizeof(VstMidiEvent);
  event.midi.deltaFrames = deltaFrames;
  event.midi.midiData[0] = static_cast<char>(status);
  event.midi.midiData[1] = static_cast<char>(data1);
  event.midi.midiData[2] = static_cast<char>(data2);
  mQueued.push_back(std::move(event));
}

void VstHost::QueueSysEx(int32_t deltaFrames, const std::vector<uint8_t>& bytes)
{
  PendingEvent event;
  event.isSysEx = true;
  event.dump = bytes;
  event.sysex.type = kVstSysExType;
  event.sysex.byteSize = sizeof(VstMidiSysexEvent);
  event.sysex.deltaFrames = deltaFrames;
  event.sysex.dumpBytes = static_cast<VstInt32>(bytes.size());
  mQueued.push_back(std::move(event));
}

intptr_t VstHost::SendQueuedEvents()
{
  if (mQueued.empty() || !mEffect) return 0;
  mSent = std::move(mQueued);
  mQueued.clear();

  const size_t count = mSent.size();
  const size_t bytes = std::max(sizeof(VstEvents), offsetof(VstEvents, events) + count * sizeof(VstEvent*));
  mEventsBlock.assign(bytes, 0);
  auto* events = reinterpret_cast<VstEvents*>(mEventsBlock.data());
  events->numEvents = static_cast<VstInt32>(count);
  for (size_t i = 0; i < count; ++i)
  {
    PendingEvent& e = mSent[i];
    if (e.isSysEx)
    {
      e.sysex.sysexDump = reinterpret_cast<char*>(e.dump.data());
      events->events[i] = reinterpret_cast<VstEvent*>(&e.sysex);
    }
    else
    {
      events->events[i] = reinterpret_cast<VstEvent*>(&e.midi);
    }
  }
  return Dispatch(effProcessEvents, 0, 0, events);
}

// ---- Processing ----

void VstHost::ResizeBuffers()
{
  if (!mEffect) return;
  const int32_t ins = std::clamp(mEffect->numInputs, 0, kMaxChannels);
  const int32_t outs = std::clamp(mEffect->numOutputs, 0, kMaxChannels);
  const size_t frames = static_cast<size_t>(mBlockSize);
  auto fit = [frames](auto& channels, int32_t n)
  {
    channels.resize(static_cast<size_t>(n));
    for (auto& channel : channels)
      channel.resize(frames, 0);
  };
  fit(mIn32, ins);
  fit(mOut32, outs);
  fit(mIn64, ins);
  fit(mOut64, outs);
  mIn32Ptrs.clear();
  mOut32Ptrs.clear();
  mIn64Ptrs.clear();
  mOut64Ptrs.clear();
  for (auto& c : mIn32)
    mIn32Ptrs.push_back(c.data());
  for (auto& c : mOut32)
    mOut32Ptrs.push_back(c.data());
  for (auto& c : mIn64)
    mIn64Ptrs.push_back(c.data());
  for (auto& c : mOut64)
    mOut64Ptrs.push_back(c.data());
  // Never hand the plug-in a null array, even with no channels.
  mIn32Ptrs.push_back(nullptr);
  mOut32Ptrs.push_back(nullptr);
  mIn64Ptrs.push_back(nullptr);
  mOut64Ptrs.push_back(nullptr);
}

bool VstHost::ReadyToProcess(int32_t frames)
{
  if (!mEffect || !mOpen || frames <= 0 || frames > mBlockSize) return false;
  // The plug-in may have changed its channel counts (audioMasterIOChanged); follow them between blocks.
  if (mIn32.size() != static_cast<size_t>(std::clamp(mEffect->numInputs, 0, kMaxChannels)) ||
      mOut32.size() != static_cast<size_t>(std::clamp(mEffect->numOutputs, 0, kMaxChannels)) ||
      mIn32Ptrs.empty())
    ResizeBuffers();
  SendQueuedEvents();
  mInProcess = true;
  return true;
}

void VstHost::AfterProcess(int32_t frames)
{
  mInProcess = false;
  mSent.clear();
  if (mTransport.playing && mTransport.advanceWhilePlaying) mTransport.samplePos += frames;
}

bool VstHost::ProcessReplacing(int32_t frames)
{
  if (!mEffect || !mEffect->processReplacing || !ReadyToProcess(frames)) return false;
  mEffect->processReplacing(mEffect, mIn32Ptrs.data(), mOut32Ptrs.data(), frames);
  AfterProcess(frames);
  return true;
}

bool VstHost::ProcessAccumulating(int32_t frames)
{
  if (!mEffect || !mEffect->process || !ReadyToProcess(frames)) return false;
  mEffect->process(mEffect, mIn32Ptrs.data(), mOut32Ptrs.data(), frames);
  AfterProcess(frames);
  return true;
}

bool VstHost::ProcessDouble(int32_t frames)
{
  if (!mEffect || !mEffect->processDoubleReplacing || !ReadyToProcess(frames)) return false;
  mEffect->processDoubleReplacing(mEffect, mIn64Ptrs.data(), mOut64Ptrs.data(), frames);
  AfterProcess(frames);
  return true;
}

// ---- Chunks and editor ----

std::vector<uint8_t> VstHost::GetChunk(bool bank)
{
  void* data = nullptr;
  const intptr_t size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
  if (size <= 0 || size > kMaxChunkBytes || !data) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

bool VstHost::SetChunk(const std::vector<uint8_t>& data, bool bank)
{
  return SetChunkAnswer(data, bank) != 0;
}

intptr_t VstHost::SetChunkAnswer(const std::vector<uint8_t>& data, bool bank)
{
  std::vector<uint8_t> copy = data; // the dispatcher takes a non-const pointer
  if (copy.empty()) copy.reserve(1);
  return Dispatch(effSetChunk, bank ? 0 : 1, static_cast<intptr_t>(data.size()), copy.data());
}

bool VstHost::EditorGetRect(ERect& rect)
{
  ERect* answer = nullptr;
  Dispatch(effEditGetRect, 0, 0, &answer);
  if (!answer) return false;
  rect = *answer;
  return true;
}

intptr_t VstHost::EditorOpen(void* parent)
{
  return Dispatch(effEditOpen, 0, 0, parent);
}
void VstHost::EditorIdle()
{
  Dispatch(effEditIdle);
}
intptr_t VstHost::EditorClose()
{
  return Dispatch(effEditClose);
}

// ---- Records ----

std::vector<AutomationCall> VstHost::AutomationCalls() const
{
  std::lock_guard<std::mutex> guard(mRecordLock);
  return mAutomation;
}

std::vector<HostEvent> VstHost::EventsFromPlugin() const
{
  std::lock_guard<std::mutex> guard(mRecordLock);
  return mPluginEvents;
}

int32_t VstHost::CallCount(int32_t opcode) const
{
  std::lock_guard<std::mutex> guard(mRecordLock);
  return (opcode >= 0 && opcode < kCallCountSlots) ? mCallCounts[static_cast<size_t>(opcode)] : 0;
}

int32_t VstHost::LastTimeRequest() const
{
  std::lock_guard<std::mutex> guard(mRecordLock);
  return mLastTimeRequest;
}

int32_t VstHost::LastSizeWindowWidth() const
{
  std::lock_guard<std::mutex> guard(mRecordLock);
  return mSizeWidth;
}

int32_t VstHost::LastSizeWindowHeight() const
{
  std::lock_guard<std::mutex> guard(mRecordLock);
  return mSizeHeight;
}

void VstHost::ClearRecords()
{
  std::lock_guard<std::mutex> guard(mRecordLock);
  mAutomation.clear();
  mPluginEvents.clear();
  std::fill(mCallCounts.begin(), mCallCounts.end(), 0);
  mLastTimeRequest = 0;
  mSizeWidth = mSizeHeight = 0;
}

// ---- The host callback ----

intptr_t VstHost::HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                               float opt)
{
  VstHost* host = nullptr;
  if (effect && effect->resvd1) host = reinterpret_cast<VstHost*>(effect->resvd1);
  if (!host) host = gLoadingHost.load();
  if (host) return host->Answer(effect, opcode, index, value, ptr, opt);
  // A call we cannot place (no effect, no load in progress): answer only what needs no state.
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

void VstHost::FillTimeInfo(int32_t request)
{
  const HostTransport& t = mTransport;
  const double ppq =
      t.ppqPos.value_or(t.sampleRate > 0.0 ? t.samplePos / t.sampleRate * t.tempo / 60.0 : 0.0);
  const double barLength = t.timeSigDenominator > 0 ? t.timeSigNumerator * 4.0 / t.timeSigDenominator : 0.0;

  mTimeInfo = VstTimeInfo{};
  mTimeInfo.samplePos = t.samplePos;
  mTimeInfo.sampleRate = t.sampleRate;
  mTimeInfo.nanoSeconds = static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                  std::chrono::steady_clock::now().time_since_epoch())
                                                  .count());
  mTimeInfo.ppqPos = ppq;
  mTimeInfo.tempo = t.tempo;
  mTimeInfo.barStartPos =
      t.barStartPos.value_or(barLength > 0.0 ? std::floor(ppq / barLength) * barLength : 0.0);
  mTimeInfo.cycleStartPos = t.cycleStartPos;
  mTimeInfo.cycleEndPos = t.cycleEndPos;
  mTimeInfo.timeSigNumerator = t.timeSigNumerator;
  mTimeInfo.timeSigDenominator = t.timeSigDenominator;

  // Every field is filled; only the flags say which ones a plug-in may rely on.
  int32_t flags = request & t.offeredFlags &
                  (kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid |
                   kVstTimeSigValid | kVstSmpteValid | kVstClockValid);
  if (t.playing) flags |= kVstTransportPlaying;
  if (t.looping) flags |= kVstTransportCycleActive;
  if (t.recording) flags |= kVstTransportRecording;
  mTimeInfo.flags = flags;
}

intptr_t VstHost::Answer(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  {
    std::lock_guard<std::mutex> guard(mRecordLock);
    if (opcode >= 0 && opcode < kCallCountSlots) ++mCallCounts[static_cast<size_t>(opcode)];
  }

  switch (opcode)
  {
  case audioMasterAutomate:
  case audioMasterBeginEdit:
  case audioMasterEndEdit:
  {
    std::lock_guard<std::mutex> guard(mRecordLock);
    mAutomation.push_back({opcode, index, opt});
    return opcode == audioMasterAutomate ? 0 : 1;
  }
  case audioMasterVersion:
    return kVstVersion;
  case audioMasterCurrentId:
    return effect ? effect->uniqueID : 0;
  case audioMasterWantMidi:
    return 1;
  case audioMasterGetTime:
  {
    {
      std::lock_guard<std::mutex> guard(mRecordLock);
      mLastTimeRequest = static_cast<int32_t>(value);
    }
    if (!mTransport.timeInfoAvailable) return 0;
    FillTimeInfo(static_cast<int32_t>(value));
    return reinterpret_cast<intptr_t>(&mTimeInfo);
  }
  case audioMasterProcessEvents:
  {
    const auto* events = static_cast<const VstEvents*>(ptr);
    if (!events) return 0;
    const int32_t count = std::clamp(events->numEvents, 0, kMaxEventsPerCall);
    std::lock_guard<std::mutex> guard(mRecordLock);
    for (int32_t i = 0; i < count; ++i)
    {
      const VstEvent* e = events->events[i];
      if (!e) continue;
      HostEvent copy;
      copy.type = e->type;
      copy.byteSize = e->byteSize;
      copy.deltaFrames = e->deltaFrames;
      copy.flags = e->flags;
      if (e->type == kVstMidiType)
      {
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(e);
        copy.bytes.assign(midi->midiData, midi->midiData + 4);
      }
      else if (e->type == kVstSysExType)
      {
        const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(e);
        if (sysex->sysexDump && sysex->dumpBytes > 0 && sysex->dumpBytes <= kMaxSysExBytes)
          copy.bytes.assign(sysex->sysexDump, sysex->sysexDump + sysex->dumpBytes);
      }
      else
      {
        copy.bytes.assign(e->data, e->data + sizeof(e->data));
      }
      mPluginEvents.push_back(std::move(copy));
    }
    return 1;
  }
  case audioMasterIOChanged:
    return 1; // the buffers follow the new counts before the next block
  case audioMasterSizeWindow:
  {
    std::lock_guard<std::mutex> guard(mRecordLock);
    mSizeWidth = index;
    mSizeHeight = static_cast<int32_t>(value);
    return 1;
  }
  case audioMasterGetSampleRate:
    return static_cast<intptr_t>(mTransport.sampleRate);
  case audioMasterGetBlockSize:
    return mBlockSize;
  case audioMasterWillReplaceOrAccumulate:
    return 1; // replace
  case audioMasterGetCurrentProcessLevel:
    if (processLevel >= 0) return processLevel;
    return mInProcess ? kVstProcessLevelRealtime : kVstProcessLevelUser;
  case audioMasterGetAutomationState:
    return 1; // off
  case audioMasterGetVendorString:
    CopyText(ptr, vendorString, kVstMaxVendorStrLen);
    return ptr ? 1 : 0;
  case audioMasterGetProductString:
    CopyText(ptr, productString, kVstMaxProductStrLen);
    return ptr ? 1 : 0;
  case audioMasterGetVendorVersion:
    return vendorVersion;
  case audioMasterCanDo:
  {
    if (!ptr) return 0;
    const char* asked = static_cast<const char*>(ptr);
    for (const char* capability : kHostCapabilities)
      if (std::strcmp(asked, capability) == 0) return 1;
    return 0;
  }
  case audioMasterGetLanguage:
    return 1; // English
  case audioMasterUpdateDisplay:
    return 1;
  default:
    return 0;
  }
}

// ---- Text helpers ----

std::string FourCCText(int32_t code)
{
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8)
  {
    const unsigned char c = static_cast<unsigned char>((static_cast<uint32_t>(code) >> shift) & 0xFF);
    text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  }
  return text;
}

std::string FlagNames(int32_t flags)
{
  static const std::pair<int32_t, const char*> kNames[] = {
      {effFlagsHasEditor, "HasEditor"},
      {effFlagsHasClip, "HasClip"},
      {effFlagsHasVu, "HasVu"},
      {effFlagsCanMono, "CanMono"},
      {effFlagsCanReplacing, "CanReplacing"},
      {effFlagsProgramChunks, "ProgramChunks"},
      {effFlagsIsSynth, "IsSynth"},
      {effFlagsNoSoundInStop, "NoSoundInStop"},
      {effFlagsExtIsAsync, "ExtIsAsync"},
      {effFlagsExtHasBuffer, "ExtHasBuffer"},
      {effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
  std::string text;
  int32_t known = 0;
  for (const auto& [bit, name] : kNames)
  {
    known |= bit;
    if (flags & bit) text += (text.empty() ? "" : " ") + std::string(name);
  }
  if (flags & ~known)
  {
    char rest[32];
    std::snprintf(rest, sizeof(rest), "0x%X", static_cast<uint32_t>(flags & ~known));
    text += (text.empty() ? "" : " ") + std::string(rest);
  }
  return text;
}

const std::vector<std::string>& IdentityCapabilities()
{
  static const std::vector<std::string> kCapabilities = {
      "receiveVstTimeInfo",  "sendVstEvents",     "sendVstMidiEvent",   "receiveVstEvents",
      "receiveVstMidiEvent", "hasHostExtensions", "hasHostViewAsConfig"};
  return kCapabilities;
}

} // namespace vsthost
