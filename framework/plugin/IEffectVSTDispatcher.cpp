#include "framework/plugin/IEffectVST.h"

#include "framework/plugin/AudioThreadScope.h"
#include "framework/plugin/ChunkHeader.h"
#include "framework/plugin/IEditorHook.h"
#include "framework/plugin/IMidiMessage.h"
#include "framework/plugin/IParameter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

// The host's calls into the plug-in through AEffect::dispatcher, and the host chunks.

namespace
{
using Lock = std::lock_guard<std::recursive_mutex>;

// Copies text into a host buffer of capacity bytes (terminator included).
void CopyToHost(void* destination, const char* text, int capacity)
{
  if (!destination || capacity <= 0) return;
  char* out = static_cast<char*>(destination);
  const size_t n = text ? strnlen(text, size_t(capacity - 1)) : 0;
  if (n) std::memcpy(out, text, n);
  out[n] = '\0';
}

// A decimal number as the C library reads one in the "C" locale (leading blanks skipped, an optional
// sign, reading stops at the first character that does not fit, 0 for no number), whatever locale
// the host has set: a host in a comma-decimal locale must not turn "0.5" into 0.
double ParseDecimal(const char* text)
{
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
    ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  if (*p == '+' || *p == '-') return 0.0; // a second sign is no number
  double v = 0.0;
  const char* end = p + std::strlen(p);
  const auto [next, ec] = std::from_chars(p, end, v, std::chars_format::general);
  if (ec == std::errc::result_out_of_range)
  {
    // Too large becomes the largest number (the range then clamps it), too small becomes 0.
    const char* e = std::find_if(p, next, [](char c) { return c == 'e' || c == 'E'; });
    v = (e != next && e + 1 != next && e[1] == '-') ? 0.0 : std::numeric_limits<double>::max();
  }
  else if (ec != std::errc())
  {
    v = 0.0;
  }
  return negative ? -v : v;
}
} // namespace

VstIntPtr IEffectVST::VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                    void* ptr, float opt)
{
  try
  {
    IEffectVST* plug = FromEffect(effect);
    if (!plug) return 0;
    if (opcode == effEditIdle)
    {
      // The event pump reaches the controls, which take the parameter lock as they need it;
      // holding it for a whole frame would stall the audio thread.
      if (plug->mEditor) plug->mEditor->Idle();
      plug->OnEditorIdle();
      return 0;
    }
    if (opcode == effClose)
    {
      // Wait for any call in flight, then let go of the lock before it is destroyed.
      plug->mParamLock.lock();
      plug->mParamLock.unlock();
      delete plug;
      return 0;
    }
    return plug->Dispatch(opcode, index, value, ptr, opt);
  }
  catch (...)
  {
    return 0;
  }
}

VstIntPtr IEffectVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  Lock lock(mParamLock);
  switch (opcode)
  {
  case effOpen:
    HostInit();
    for (int i = 0; i < AutomatedCount(); ++i)
      HandleParameterChange(i);
    ResetProcessing();
    return 0;

  case effSetProgram:
    if (value >= 0 && value < NumPresets()) LoadPreset(int(value));
    return 0;

  case effGetProgram:
    return CurrentPreset();

  case effSetProgramName:
    if (ptr)
    {
      char name[kVstMaxProgNameLen + 1];
      CopyToHost(name, static_cast<const char*>(ptr), int(sizeof(name)));
      ModifyCurrentPreset(name);
      OnPresetListChanged();
    }
    return 0;

  case effGetProgramName:
    if (ptr) CopyToHost(ptr, PresetName(CurrentPreset()), kVstMaxProgNameLen);
    return 0;

  case effGetParamLabel:
    if (ptr && ValidAutomatedIndex(index))
      CopyToHost(ptr, ParameterAt(index)->HostLabel(), kVstMaxParamStrLen);
    return 0;

  case effGetParamDisplay:
    if (ptr && ValidAutomatedIndex(index))
    {
      IParameter* p = ParameterAt(index);
      p->DisplayValue(p->Value(), false, static_cast<char*>(ptr), kVstMaxParamStrLen, true);
    }
    return 0;

  case effGetParamName:
    if (ptr && ValidAutomatedIndex(index)) CopyToHost(ptr, ParameterAt(index)->Name(), kVstMaxParamStrLen);
    return 0;

  case effSetSampleRate:
    // A rate that is no positive number is not taken: tempo and clock timing divide by it.
    if (opt > 0.0f && std::isfinite(opt)) SetSampleRate(double(opt));
    ResetProcessing();
    return 0;

  case effSetBlockSize:
    if (value > 0 && value <= std::numeric_limits<int32_t>::max()) SetBlockLength(int(value));
    ResetProcessing();
    return 0;

  case effMainsChanged:
    if (value == 0)
    {
      OnActivationChanged(false);
      ResetProcessing();
    }
    else
    {
      OnActivationChanged(true);
    }
    return 0;

  case effEditGetRect:
    if (ptr && mEditor)
    {
      *static_cast<ERect**>(ptr) = &mEditorRect;
      return 1;
    }
    return 0;

  case effEditOpen:
    if (mEditor && mEditor->CreateEditorWindow(ptr))
    {
      OnEditorOpened();
      return 1;
    }
    return 0;

  case effEditClose:
    if (mEditor)
    {
      OnEditorClosing();
      mEditor->DestroyEditorWindow();
      return 1;
    }
    return 0;

  case effIdentify:
    return kEffectIdentify;

  case effGetChunk:
    return ptr ? GetChunk(static_cast<void**>(ptr), index == 0) : 0;

  case effSetChunk:
    return SetChunk(ptr, value, index == 0);

  case effProcessEvents:
  {
    if (!ptr) return 0;
    // The host hands its events on its processing thread: what they send must not wait there.
    AudioThreadScope audioThread;
    VstEvents* events = static_cast<VstEvents*>(ptr);
    for (int i = 0; i < events->numEvents; ++i)
    {
      VstEvent* event = events->events[i];
      if (!event) continue;
      if (event->type == kVstMidiType)
      {
        const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
        IMidiMessage message;
        message.offset = midi->deltaFrames;
        message.status = uint8_t(midi->midiData[0]);
        message.data1 = uint8_t(midi->midiData[1]);
        message.data2 = uint8_t(midi->midiData[2]);
        HandleMidiMessage(&message, false);
      }
      else
      {
        ForwardEventToHost(event);
      }
    }
    return 1;
  }

  case effCanBeAutomated:
    return 1;

  case effString2Parameter:
    return String2Parameter(index, static_cast<const char*>(ptr));

  case effGetProgramNameIndexed:
    if (!ptr) return 0;
    CopyToHost(ptr, PresetName(index), kVstMaxProgNameLen);
    return static_cast<char*>(ptr)[0] ? 1 : 0;

  case effGetInputProperties:
    return PinProperties(index, static_cast<VstPinProperties*>(ptr), true);

  case effGetOutputProperties:
    return PinProperties(index, static_cast<VstPinProperties*>(ptr), false);

  case effGetPlugCategory:
    return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;

  case effProcessVarIo:
    return 0;

  case effSetSpeakerArrangement:
    SetSpeakerArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value), true);
    SetSpeakerArrangement(static_cast<const VstSpeakerArrangement*>(ptr), false);
    return 1;

  case effGetEffectName:
    if (!ptr) return 0;
    CopyToHost(ptr, EffectName(), kVstMaxEffectNameLen);
    return 1;

  case effGetVendorString:
    if (!ptr) return 0;
    CopyToHost(ptr, VendorName(), kVstMaxVendorStrLen);
    return 1;

  case effGetProductString:
    if (!ptr) return 0;
    CopyToHost(ptr, ProductName(), kVstMaxProductStrLen);
    return 1;

  case effGetVendorVersion:
    return Version();

  case effVendorSpecific:
    if (index != effGetParamDisplay || !ptr) return 0;
    if (value >= 0 && value < AutomatedCount())
      ParameterAt(int(value))
          ->DisplayValue(double(opt), true, static_cast<char*>(ptr), kVstMaxParamStrLen, true);
    return 0xBEEF;

  case effCanDo:
    return CanDo(static_cast<const char*>(ptr));

  case effGetVstVersion:
    return kVstVersion;

  case effGetMidiKeyName:
  {
    if (!ptr) return 0;
    MidiKeyName* key = static_cast<MidiKeyName*>(ptr);
    key->keyName[0] = '\0';
    const bool ok = GetNoteName(key->thisKeyNumber, key->keyName, kVstMaxNameLen);
    key->keyName[kVstMaxNameLen - 1] = '\0';
    return ok ? 1 : 0;
  }

  case effGetSpeakerArrangement:
    if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputArrangement;
    if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputArrangement;
    return 1;

  default:
    return 0;
  }
}

VstIntPtr IEffectVST::GetChunk(void** data, bool isBank)
{
  IStateChunk& chunk = isBank ? mBankChunk : mProgramChunk;
  WriteChunkHeader(&chunk);
  bool ok = chunk.Size() == kChunkHeaderSize;
  if (ok && isBank)
  {
    ModifyCurrentPreset(nullptr);
    ok = SerializePresets(&chunk);
  }
  ok = ok && WriteStateChunk(&chunk);
  if (!ok || chunk.Size() <= 0) return 0;
  *data = const_cast<uint8_t*>(chunk.Data());
  return chunk.Size();
}

VstIntPtr IEffectVST::SetChunk(const void* data, VstIntPtr size, bool isBank)
{
  if (!data || size <= 0 || size > std::numeric_limits<int32_t>::max()) return 0;
  // Read where the host keeps it: a copy would hold on to whatever the host handed over, however
  // large, until the plug-in closes.
  IStateChunk chunk = IStateChunk::View(data, int(size));

  // A state that fails part-way must leave every parameter as it was: the recall notes each value
  // it changes.
  const PresetsCopy savedPresets = isBank ? CopyPresets() : PresetsCopy{};
  BeginRecall();

  int position = 0;
  const int32_t version = ReadChunkHeader(&chunk, &position);
  if (isBank && version >= kChunkVersion)
  {
    position = UnserializePresets(&chunk, position);
    position = ReadStateChunk(&chunk, position);
  }
  else
  {
    position = ReadStateChunk(&chunk, position);
  }
  // Every chunk the plug-in writes ends with its state; bytes after it make another chunk.
  if (position != chunk.Size()) position = -1;
  // The controls showed the values as they were; those the recall changed (or put back) reach them.
  EndRecall(position >= 0);
  if (position >= 0)
  {
    if (!isBank || version < kChunkVersion) ModifyCurrentPreset(nullptr);
    return 1;
  }
  if (isBank) RestorePresets(savedPresets);
  return 0;
}

VstIntPtr IEffectVST::String2Parameter(int index, const char* text)
{
  if (!ValidAutomatedIndex(index)) return 0;
  if (!text) return 1;
  IParameter* p = ParameterAt(index);
  double v = 0.0;
  const int n = p->ValueTextCount();
  if (n > 0)
  {
    int match = -1;
    for (int i = 0; i < n && match < 0; ++i)
      if (std::strcmp(p->ValueText(i), text) == 0) match = i;
    if (match < 0) return 0;
    v = match;
  }
  else
  {
    v = ParseDecimal(text);
  }
  p->SetClamped(v);
  if (mEditor) mEditor->SyncParameterToControls(index, p->Value(), false);
  HandleParameterChange(index);
  return 1;
}

VstIntPtr IEffectVST::CanDo(const char* text)
{
  if (!text) return 0;
  if (!std::strcmp(text, "receiveVstTimeInfo")) return 1;
  if (mDoesMidi && (!std::strcmp(text, "sendVstEvents") || !std::strcmp(text, "sendVstMidiEvent") ||
                    !std::strcmp(text, "receiveVstEvents") || !std::strcmp(text, "receiveVstMidiEvent")))
    return 1;
  if (!std::strcmp(text, "hasHostExtensions"))
  {
    mHostExtensions |= 1;
    return VstIntPtr(0xBEEF0000);
  }
  if (!std::strcmp(text, "hasHostViewAsConfig"))
  {
    mHostExtensions |= 2;
    return VstIntPtr(0xBEEF0000);
  }
  return 0;
}

VstIntPtr IEffectVST::PinProperties(int index, VstPinProperties* properties, bool inputs)
{
  const int count = inputs ? NumInputChannels() : NumOutputChannels();
  if (!properties || index < 0 || index >= count) return 0;
  std::snprintf(properties->label, sizeof(properties->label), inputs ? "Input %d" : "Output %d", index + 1);
  properties->flags = kVstPinIsActive;
  if (index % 2 == 0 && index + 1 < count) properties->flags |= kVstPinIsStereo;
  return 1;
}

void IEffectVST::SetSpeakerArrangement(const VstSpeakerArrangement* arrangement, bool inputs)
{
  if (!arrangement) return;
  const int count = inputs ? NumInputChannels() : NumOutputChannels();
  int n = arrangement->numChannels;
  if (n < 0) n = 0;
  if (n > count) n = count;
  for (int i = 0; i < count; ++i)
  {
    IChannelRecord* c = inputs ? InputChannel(i) : OutputChannel(i);
    if (i < n)
    {
      c->connected = true;
    }
    else
    {
      c->connected = false;
      if (c->samples.Size() > 0) std::memset(c->samples.Data(), 0, size_t(c->samples.Size()));
      *c->slot = c->Samples();
      c->hostDestination = nullptr;
    }
  }
}
