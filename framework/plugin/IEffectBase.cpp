#include "framework/plugin/IEffectBase.h"

#include "framework/plugin/ChunkHeader.h"
#include "framework/plugin/IEditorHook.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IPresetSlot.h"
#include "framework/plugin/IStateChunk.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace
{
constexpr char kChannelIOText[] = "2-2";

constexpr int32_t FourCC(char a, char b, char c, char d)
{
  return int32_t((uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) |
                 uint32_t(uint8_t(d)));
}

// Plain casts, four samples per step with a scalar tail; Add adds to what the destination holds.
template <bool Add, class In, class Out> void Convert(const In* in, Out* out, int frames)
{
  auto put = [&](int k)
  {
    if constexpr (Add)
      out[k] += Out(in[k]);
    else
      out[k] = Out(in[k]);
  };
  int i = 0;
  for (; i + 4 <= frames; i += 4)
  {
    put(i);
    put(i + 1);
    put(i + 2);
    put(i + 3);
  }
  for (; i < frames; ++i)
    put(i);
}

// Output i copies input i; outputs without an input are silence.
template <class Sample>
void CopyInputsToOutputs(Sample** inputs, Sample** outputs, int frames, int numInputs, int numOutputs)
{
  if (!outputs || frames <= 0) return;
  for (int i = 0; i < numOutputs; ++i)
  {
    Sample* out = outputs[i];
    if (!out) continue;
    const Sample* in = (inputs && i < numInputs) ? inputs[i] : nullptr;
    if (!in)
      std::memset(out, 0, size_t(frames) * sizeof(Sample));
    else if (in != out)
      std::memmove(out, in, size_t(frames) * sizeof(Sample));
  }
}
} // namespace

IEffectBase::IEffectBase()
    : mUniqueId(FourCC('w', 'q', 't', 'z')), mManufacturerCode(FourCC('B', 'r', 'k', '1'))
{
  mMidiPorts.SetSink(&mMidiForwarder);
}

IEffectBase::~IEffectBase()
{
  mMidiPorts.Shutdown();
  delete mEditor;
  mEditor = nullptr;
  mParams.Release(); // the parameters are mTable's
  mPresets.DeleteAll();
  mPresets.Release();
  mInChannels.DeleteAll();
  mInChannels.Release();
  mOutChannels.DeleteAll();
  mOutChannels.Release();
  mChannelIO.DeleteAll();
  mChannelIO.Release();
}

void IEffectBase::initialize()
{
  mNonAutomatedCount = kNumParameters;
  // In one block, in index order: saving or recalling a state passes over every parameter, and
  // parameters scattered over the heap make each of them a cache and page miss of its own.
  if (mTable.Make(kNumParameters))
    for (int i = 0; i < mTable.Count(); ++i)
      if (!mParams.Append(&mTable.Parameter(i))) break;
  mEffectName.Set("VELK Editor");
  mProductName.Set("");
  mVendorName.Set("Brackenfold");
  ParseChannelIO(kChannelIOText);
}

void IEffectBase::ParseChannelIO(const char* text)
{
  int maxIn = 0, maxOut = 0;
  const char* p = text;
  while (p && *p)
  {
    int in = 0, out = 0; // a number that cannot be read counts as 0
    std::sscanf(p, "%d-%d", &in, &out);
    IChannelIO* pair = new IChannelIO{in, out};
    if (!mChannelIO.Append(pair)) delete pair;
    if (in > maxIn) maxIn = in;
    if (out > maxOut) maxOut = out;
    p = std::strchr(p, ' ');
    if (p) ++p;
  }

  mInPointers.Resize(maxIn * int(sizeof(double*)));
  mOutPointers.Resize(maxOut * int(sizeof(double*)));
  if (mInPointers.Size() != maxIn * int(sizeof(double*)) ||
      mOutPointers.Size() != maxOut * int(sizeof(double*)))
    return;
  std::memset(mInPointers.Data(), 0, size_t(mInPointers.Size()));
  std::memset(mOutPointers.Data(), 0, size_t(mOutPointers.Size()));
  for (int i = 0; i < maxIn; ++i)
  {
    IChannelRecord* c = new IChannelRecord();
    c->slot = InputPointers() + i;
    if (!mInChannels.Append(c))
    {
      delete c;
      break;
    }
  }
  for (int i = 0; i < maxOut; ++i)
  {
    IChannelRecord* c = new IChannelRecord();
    c->slot = OutputPointers() + i;
    if (!mOutChannels.Append(c))
    {
      delete c;
      break;
    }
  }
}

// ---- lock-only and no-op base behaviour ----

void IEffectBase::ResetProcessing()
{
  std::lock_guard<std::recursive_mutex> lock(mParamLock);
}

void IEffectBase::HandleParameterChange(int)
{
  std::lock_guard<std::recursive_mutex> lock(mParamLock);
}

void IEffectBase::HandleSecondaryParameterChange(int)
{
  std::lock_guard<std::recursive_mutex> lock(mParamLock);
}

void IEffectBase::OnActivationChanged(bool)
{
  std::lock_guard<std::recursive_mutex> lock(mParamLock);
}

void IEffectBase::HandleMidiMessage(IMidiMessage*, bool) {}

void IEffectBase::MidiInputForwarder::HandleMidiMessage(const IMidiMessage& message, bool fromDevice)
{
  IMidiMessage copy = message;
  mOwner.HandleMidiMessage(&copy, fromDevice);
}

void IEffectBase::MidiInputForwarder::HandleSysExMessage(const ISysExMessage& message, bool fromDevice)
{
  ISysExMessage copy = message;
  mOwner.HandleSysExMessage(&copy, fromDevice);
}

void IEffectBase::HandleSysExMessage(ISysExMessage*, bool) {}

bool IEffectBase::GetNoteName(int, char* text, int capacity)
{
  if (text && capacity > 0) text[0] = '\0';
  return false;
}

bool IEffectBase::WriteStateChunk(IStateChunk* chunk)
{
  return SerializeParams(chunk);
}

int IEffectBase::ReadStateChunk(IStateChunk* chunk, int position)
{
  return UnserializeParams(chunk, position);
}

bool IEffectBase::SendMidiToDevice(IMidiMessage*)
{
  return false;
}

bool IEffectBase::SendSysExToDevice(const uint8_t*, int)
{
  return false;
}

bool IEffectBase::SendBytesToDevice(const uint8_t*, int)
{
  return false;
}

bool IEffectBase::SendVectorToDevice(std::vector<uint8_t>& bytes)
{
  std::vector<uint8_t>().swap(bytes);
  return false;
}

bool IEffectBase::SendSysExToHost(ISysExMessage*)
{
  return false;
}

// ---- audio ----

void IEffectBase::ProcessBlockDouble(double** inputs, double** outputs, int frames)
{
  CopyInputsToOutputs(inputs, outputs, frames, NumInputChannels(), NumOutputChannels());
}

void IEffectBase::ProcessBlockFloat(float** inputs, float** outputs, int frames)
{
  CopyInputsToOutputs(inputs, outputs, frames, NumInputChannels(), NumOutputChannels());
}

void IEffectBase::SetBlockLength(int n)
{
  if (n == mBlockLength || n < 0) return;
  const int64_t bytes = int64_t(n) * int64_t(sizeof(double));
  if (bytes > 0x7fffffff) return;
  // Every buffer must reach the new size before the length changes, so that no process call
  // can index past a buffer that failed to grow.
  bool ok = true;
  auto resize = [&](IChannelRecord* c)
  {
    c->samples.ResizeZeroTail(int(bytes));
    if (c->samples.Size() != int(bytes))
      ok = false;
    else if (bytes > 0)
      std::memset(c->samples.Data(), 0, size_t(bytes));
  };
  for (int i = 0; i < mInChannels.Count(); ++i)
    resize(mInChannels.Get(i));
  for (int i = 0; i < mOutChannels.Count(); ++i)
    resize(mOutChannels.Get(i));
  if (!ok)
  {
    const int64_t old = int64_t(mBlockLength) * int64_t(sizeof(double));
    for (int i = 0; i < mInChannels.Count(); ++i)
      mInChannels.Get(i)->samples.ResizeZeroTail(int(old));
    for (int i = 0; i < mOutChannels.Count(); ++i)
      mOutChannels.Get(i)->samples.ResizeZeroTail(int(old));
    return;
  }
  mBlockLength = n;
  // Unconnected inputs read from their own (zeroed) buffers, whose address may have moved.
  for (int i = 0; i < mInChannels.Count(); ++i)
  {
    IChannelRecord* c = mInChannels.Get(i);
    if (!c->connected) *c->slot = c->Samples();
  }
}

bool IEffectBase::LegalIO() const
{
  for (int i = 0; i < mChannelIO.Count(); ++i)
    if (mChannelIO.Get(i)->inputs == 1) return true;
  return false;
}

void IEffectBase::AdjustChannelsForHost()
{
  for (int i = 2; i < mInChannels.Count(); ++i)
  {
    IChannelRecord* c = mInChannels.Get(i);
    c->connected = false;
    *c->slot = c->Samples();
  }
  for (int i = 2; i < mOutChannels.Count(); ++i)
    mOutChannels.Get(i)->connected = true;
}

void IEffectBase::BindInputBuffers(int firstChannel, int count, float** hostInputs, int frames, int offset)
{
  if (frames > mBlockLength) frames = mBlockLength;
  int last = firstChannel + count;
  if (last > mInChannels.Count()) last = mInChannels.Count();
  int next = 0;
  for (int i = firstChannel < 0 ? 0 : firstChannel; i < last; ++i)
  {
    IChannelRecord* c = mInChannels.Get(i);
    if (!c->connected) continue;
    double* buffer = c->Samples();
    const float* host = (hostInputs && hostInputs[next]) ? hostInputs[next] + offset : nullptr;
    ++next;
    if (buffer && frames > 0)
    {
      if (host)
        Convert<false>(host, buffer, frames);
      else
        std::memset(buffer, 0, size_t(frames) * sizeof(double));
    }
    *c->slot = buffer;
  }
}

void IEffectBase::ProcessFloatBlock(int firstChannel, int frames)
{
  ProcessToHost(firstChannel, frames, false);
}

void IEffectBase::ProcessAccumulateBlock(int firstChannel, int frames)
{
  ProcessToHost(firstChannel, frames, true);
}

void IEffectBase::ProcessToHost(int firstChannel, int frames, bool accumulate)
{
  if (frames > mBlockLength) frames = mBlockLength;
  ProcessBlockDouble(InputPointers(), OutputPointers(), frames);
  for (int i = firstChannel < 0 ? 0 : firstChannel; i < mOutChannels.Count(); ++i)
  {
    IChannelRecord* c = mOutChannels.Get(i);
    if (!c->connected || !c->hostDestination || !*c->slot) continue;
    if (accumulate)
      Convert<true>(*c->slot, c->hostDestination, frames);
    else
      Convert<false>(*c->slot, c->hostDestination, frames);
  }
}

// ---- parameters from the editor ----

void IEffectBase::SetParameterFromControl(int index, double normalised)
{
  ApplyControlChange(index, normalised, false);
}

void IEffectBase::SetParameterFromControlSecondary(int index, double normalised)
{
  ApplyControlChange(index, normalised, true);
}

void IEffectBase::ApplyControlChange(int index, double normalised, bool secondary)
{
  std::lock_guard<std::recursive_mutex> lock(mParamLock);
  IParameter* p = ParameterAt(index);
  if (!p) return;
  const double before = p->Value();
  p->SetFromNormalised(normalised);
  AutomateParam(index, normalised);
  if (p->Value() == before && p->Type() != IParameter::kTypeText) return;
  if (secondary)
    HandleSecondaryParameterChange(index);
  else
    HandleParameterChange(index);
}

void IEffectBase::AttachEditor(IEditorHook* editor)
{
  if (!editor) return;
  std::lock_guard<std::recursive_mutex> lock(mParamLock);
  PushAllParameters(*editor);
  editor->CreateDrawBitmaps();
  if (mEditor != editor) delete mEditor;
  mEditor = editor;
}

void IEffectBase::PushParametersToEditor()
{
  std::lock_guard<std::recursive_mutex> lock(mParamLock);
  if (mEditor) PushAllParameters(*mEditor);
}

void IEffectBase::PushAllParameters(IEditorHook& editor)
{
  // On the controls' own scale: handing over the plain value would have the editor normalise it
  // and set the parameter again from that, two powers per parameter and a value moved off what
  // it was by rounding. In one batch: the editor takes its lock and finds the controls once.
  std::vector<IEditorHook::ParameterValue> values(size_t(mParams.Count()));
  for (int i = 0; i < mParams.Count(); ++i)
    values[size_t(i)] = {i, mParams.Get(i)->NormalisedValue()};
  editor.SyncParametersToControls(values.data(), int(values.size()));
}

void IEffectBase::SetRecalledValue(int index, double value, bool constrained)
{
  SetRecalledValues(index, &value, 1, constrained);
}

void IEffectBase::SetRecalledValues(int first, const double* values, int count, bool constrained)
{
  if (!values || first < 0 || count <= 0) return;
  const int n = std::min(count, NumParameters() - first);
  if (n <= 0) return;
  // Through the ranges alone: they lie side by side, where the parameters' whole records would
  // make each value a cache miss of its own.
  ParameterRange* ranges = &mTable.Range(first);
  if (!mRecalling)
  {
    for (int i = 0; i < n; ++i)
    {
      ParameterRange& range = ranges[i];
      const double after = constrained ? range.Constrained(values[i]) : range.Clamped(values[i]);
      if (after != range.Value()) range.Store(after);
    }
    return;
  }
  RecalledValue* log = mRecalled.Extend(size_t(n));
  IEditorHook::ParameterValue* push = mEditor ? mRecalledPush.Extend(size_t(n)) : nullptr;
  for (int i = 0; i < n; ++i)
  {
    ParameterRange& range = ranges[i];
    const double before = range.Value();
    const double after = constrained ? range.Constrained(values[i]) : range.Clamped(values[i]);
    if (after == before) continue;
    range.Store(after);
    *log++ = {first + i, before, after};
    if (push) *push++ = {first + i, range.Normalise(after)};
  }
  mRecalled.Commit(log);
  if (push) mRecalledPush.Commit(push);
}

void IEffectBase::BeginRecall()
{
  mRecalled.Clear();
  mRecalledPush.Clear();
  mChangesBeforeRecall = IParameter::ValueChanges();
  mRecalling = true;
}

void IEffectBase::EndRecall(bool taken)
{
  mRecalling = false;
  const size_t count = mRecalled.Size();
  if (!taken)
    for (size_t i = count; i-- > 0;)
    {
      ParameterRange& range = mTable.Range(mRecalled[i].index);
      range.Store(range.Clamped(mRecalled[i].before));
    }
  if (mEditor)
  {
    // Each value was placed on the scale as the recall set it, unless the editor came during the
    // recall. One set since (a setting that excludes another, a refused recall putting values
    // back) is placed again; when no value changed but through the recall, none was.
    const bool placed = mRecalledPush.Size() == count;
    const bool setSince = !taken || IParameter::ValueChanges() != mChangesBeforeRecall;
    if (!placed) mRecalledPush.Resize(count);
    if (!placed || setSince)
      for (size_t i = 0; i < count; ++i)
      {
        const RecalledValue& r = mRecalled[i];
        const ParameterRange& range = mTable.Range(r.index);
        const double v = range.Value();
        if (!placed || v != r.after) mRecalledPush[i] = {r.index, range.Normalise(v)};
      }
    mEditor->SyncParametersToControls(mRecalledPush.Data(), int(count));
  }
  mRecalled.Clear();
  mRecalledPush.Clear();
}

bool IEffectBase::StateMatches(const double* values, int start)
{
  const int n = AutomatedCount();
  if (n <= 0) return true;
  if (!values) return false;
  std::lock_guard<std::recursive_mutex> lock(mParamLock);
  for (int i = 0; i < n; ++i)
  {
    const float d = float(mParams.Get(i)->Value()) - float(values[start + i]);
    if (!(std::fabs(d) < 1e-5f)) return false;
  }
  return true;
}

// ---- presets ----

IPresetSlot* IEffectBase::AddPresetSlot()
{
  IPresetSlot* slot = new IPresetSlot();
  if (!mPresets.Append(slot))
  {
    delete slot;
    return nullptr;
  }
  return slot;
}

void IEffectBase::FillEmptyPresets(const char* name, int n)
{
  for (int k = 0; k < n; ++k)
  {
    IPresetSlot* empty = nullptr;
    for (int i = 0; i < mPresets.Count() && !empty; ++i)
      if (!mPresets.Get(i)->initialised) empty = mPresets.Get(i);
    if (!empty) return;
    empty->initialised = true;
    empty->name.Set(name ? name : "Empty");
    empty->chunk.Clear();
    WriteStateChunk(&empty->chunk);
  }
}

bool IEffectBase::LoadPreset(int index)
{
  IPresetSlot* slot = mPresets.Get(index);
  if (!slot) return false;
  bool ok;
  if (!slot->initialised)
  {
    int used = 0;
    for (int i = 0; i < mPresets.Count(); ++i)
      if (std::strstr(mPresets.Get(i)->name.Get(), "user preset")) ++used;
    char name[64];
    std::snprintf(name, sizeof(name), "%s %d", "user preset", used + 1);
    slot->initialised = true;
    slot->name.Set(name);
    slot->chunk.Clear();
    ok = WriteStateChunk(&slot->chunk);
  }
  else
  {
    ok = ReadStateChunk(&slot->chunk, 0) > 0;
  }
  if (ok)
  {
    mCurrentPreset = index;
    OnPresetListChanged();
    PushParametersToEditor();
  }
  return ok;
}

IEffectBase::PresetsCopy IEffectBase::CopyPresets() const
{
  PresetsCopy copy;
  copy.current = mCurrentPreset;
  copy.slots.resize(size_t(mPresets.Count()));
  for (int i = 0; i < mPresets.Count(); ++i)
  {
    const IPresetSlot* slot = mPresets.Get(i);
    IPresetSlot& to = copy.slots[size_t(i)];
    to.initialised = slot->initialised;
    to.name = slot->name;
    to.chunk.Assign(slot->chunk.Data(), slot->chunk.Size());
  }
  return copy;
}

void IEffectBase::RestorePresets(const PresetsCopy& copy)
{
  for (int i = 0; i < mPresets.Count() && size_t(i) < copy.slots.size(); ++i)
  {
    IPresetSlot* slot = mPresets.Get(i);
    const IPresetSlot& from = copy.slots[size_t(i)];
    slot->initialised = from.initialised;
    slot->name = from.name;
    slot->chunk.Assign(from.chunk.Data(), from.chunk.Size());
  }
  mCurrentPreset = copy.current;
  OnPresetListChanged();
}

const char* IEffectBase::PresetName(int index) const
{
  IPresetSlot* slot = mPresets.Get(index);
  return slot ? slot->name.Get() : "";
}

void IEffectBase::ModifyCurrentPreset(const char* name)
{
  IPresetSlot* slot = mPresets.Get(mCurrentPreset);
  if (!slot) return;
  slot->chunk.Clear();
  WriteStateChunk(&slot->chunk);
  if (name && name[0]) slot->name.Set(name);
}

// ---- serialisers ----

void IEffectBase::WriteChunkHeader(IStateChunk* chunk)
{
  if (chunk) ::WriteChunkHeader(*chunk);
}

int32_t IEffectBase::ReadChunkHeader(IStateChunk* chunk, int* position)
{
  if (!chunk || !position) return 0;
  return ::ReadChunkHeader(*chunk, *position);
}

bool IEffectBase::SerializePresets(IStateChunk* chunk)
{
  if (!chunk) return false;
  bool ok = true;
  for (int i = 0; i < mPresets.Count(); ++i)
  {
    IPresetSlot* slot = mPresets.Get(i);
    chunk->PutString(slot->name.Get());
    chunk->PutBool(slot->initialised);
    if (slot->initialised && !chunk->PutChunk(slot->chunk)) ok = false;
  }
  return ok;
}

int IEffectBase::UnserializePresets(IStateChunk* chunk, int position)
{
  if (!chunk) return -1;
  for (int i = 0; i < mPresets.Count() && position >= 0; ++i)
  {
    IPresetSlot* slot = mPresets.Get(i);
    HeapString name;
    position = chunk->GetString(name, position);
    slot->name.Set(position >= 0 ? name.Get() : "");
    bool initialised = false;
    position = chunk->GetBool(initialised, position);
    if (position < 0) break;
    slot->initialised = initialised;
    if (initialised)
    {
      position = ReadStateChunk(chunk, position);
      if (position > 0)
      {
        slot->chunk.Clear();
        WriteStateChunk(&slot->chunk);
      }
    }
  }
  LoadPreset(mCurrentPreset);
  return position;
}

bool IEffectBase::SerializeParamBlock(IStateChunk* chunk, int first, int count)
{
  if (!chunk) return false;
  std::lock_guard<std::recursive_mutex> lock(mParamLock);
  bool ok = true;
  for (int i = 0; i < count; ++i)
  {
    IParameter* p = mParams.Get(first + i);
    if (!chunk->PutDouble(p ? p->Value() : 0.0)) ok = false;
  }
  return ok;
}

int IEffectBase::UnserializeParamBlock(IStateChunk* chunk, int position, int first, int count)
{
  if (!chunk || position < 0) return -1;
  if (count <= 0) return position;
  std::lock_guard<std::recursive_mutex> lock(mParamLock);
  // A block that ends early is refused whole: nothing is half-applied.
  if (!chunk->CanRead(position, int64_t(count) * 8)) return -1;
  for (int i = 0; i < count; ++i)
  {
    double v = 0.0;
    position = chunk->GetDouble(v, position);
    SetRecalledValue(first + i, v, false);
  }
  return position;
}

bool IEffectBase::SerializeParams(IStateChunk* chunk)
{
  return SerializeParamBlock(chunk, 0, AutomatedCount());
}

int IEffectBase::UnserializeParams(IStateChunk* chunk, int position)
{
  return UnserializeParamBlock(chunk, position, 0, AutomatedCount());
}

bool IEffectBase::SerializeNonAutomatedParams(IStateChunk* chunk, int n)
{
  return SerializeParamBlock(chunk, AutomatedCount(), n);
}

int IEffectBase::UnserializeNonAutomatedParams(IStateChunk* chunk, int position, int n)
{
  return UnserializeParamBlock(chunk, position, AutomatedCount(), n);
}
