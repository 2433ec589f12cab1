#include "framework/plugin/IEffectVST.h"

#include "framework/plugin/AudioThreadScope.h"
#include "framework/plugin/IEditorHook.h"
#include "framework/plugin/IParameter.h"

#include <cstring>

// The process callbacks (host blocks in slices of the block length) and the parameter callbacks.

namespace
{
using Lock = std::lock_guard<std::recursive_mutex>;

// The plug-in makes no sound: every buffer the host passes (numOutputs of them, whatever the speaker
// arrangement left connected) gets silence, so none keeps what the host had in it.
template <class Sample> void SilenceHostOutputs(Sample** outputs, int count, int frames)
{
  if (!outputs) return;
  for (int i = 0; i < count; ++i)
    if (outputs[i]) std::memset(outputs[i], 0, size_t(frames) * sizeof(Sample));
}
} // namespace

void IEffectVST::BindFloatBuffers(float** inputs, float** outputs, int offset, int frames)
{
  BindInputBuffers(0, NumInputChannels(), inputs, frames, offset);
  int next = 0;
  for (int i = 0; i < NumOutputChannels(); ++i)
  {
    IChannelRecord* c = OutputChannel(i);
    double* own = c->Samples();
    *c->slot = own;
    // Outputs start silent; the plug-in makes no sound of its own.
    if (own) std::memset(own, 0, size_t(frames) * sizeof(double));
    c->hostDestination = nullptr;
    if (c->connected)
    {
      if (outputs && outputs[next]) c->hostDestination = outputs[next] + offset;
      ++next;
    }
  }
}

void IEffectVST::BindDoubleBuffers(double** inputs, double** outputs, int offset, int frames)
{
  int next = 0;
  for (int i = 0; i < NumInputChannels(); ++i)
  {
    IChannelRecord* c = InputChannel(i);
    double* own = c->Samples();
    if (c->connected)
    {
      double* host = (inputs && inputs[next]) ? inputs[next] + offset : nullptr;
      ++next;
      if (!host && own) std::memset(own, 0, size_t(frames) * sizeof(double));
      *c->slot = host ? host : own;
    }
    else
    {
      *c->slot = own;
    }
  }
  next = 0;
  for (int i = 0; i < NumOutputChannels(); ++i)
  {
    IChannelRecord* c = OutputChannel(i);
    double* host = nullptr;
    if (c->connected)
    {
      host = (outputs && outputs[next]) ? outputs[next] + offset : nullptr;
      ++next;
    }
    *c->slot = host ? host : c->Samples();
  }
}

void IEffectVST::ProcessFloatPath(float** inputs, float** outputs, int frames, bool accumulate)
{
  Lock lock(mParamLock);
  if (mDoesMidi) CallHost(audioMasterWantMidi);
  if (frames <= 0) return;
  if (!accumulate) SilenceHostOutputs(outputs, mEffect.numOutputs, frames);
  const int block = BlockLength();
  if (block <= 0) return;
  for (int offset = 0; offset < frames; offset += block)
  {
    const int n = frames - offset < block ? frames - offset : block;
    BindFloatBuffers(inputs, outputs, offset, n);
    if (accumulate)
      ProcessAccumulateBlock(0, n);
    else
      ProcessFloatBlock(0, n);
  }
}

void IEffectVST::ProcessDoublePath(double** inputs, double** outputs, int frames)
{
  Lock lock(mParamLock);
  if (mDoesMidi) CallHost(audioMasterWantMidi);
  if (frames <= 0) return;
  SilenceHostOutputs(outputs, mEffect.numOutputs, frames);
  const int block = BlockLength();
  if (block <= 0) return;
  for (int offset = 0; offset < frames; offset += block)
  {
    const int n = frames - offset < block ? frames - offset : block;
    BindDoubleBuffers(inputs, outputs, offset, n);
    ProcessBlockDouble(InputPointers(), OutputPointers(), n);
  }
}

void IEffectVST::HostProcessAccumulate(AEffect* effect, float** inputs, float** outputs, VstInt32 frames)
{
  AudioThreadScope audioThread;
  try
  {
    if (IEffectVST* plug = FromEffect(effect)) plug->ProcessFloatPath(inputs, outputs, frames, true);
  }
  catch (...)
  {
  }
}

void IEffectVST::HostProcessFloat(AEffect* effect, float** inputs, float** outputs, VstInt32 frames)
{
  AudioThreadScope audioThread;
  try
  {
    if (IEffectVST* plug = FromEffect(effect)) plug->ProcessFloatPath(inputs, outputs, frames, false);
  }
  catch (...)
  {
  }
}

void IEffectVST::HostProcessDouble(AEffect* effect, double** inputs, double** outputs, VstInt32 frames)
{
  AudioThreadScope audioThread;
  try
  {
    if (IEffectVST* plug = FromEffect(effect)) plug->ProcessDoublePath(inputs, outputs, frames);
  }
  catch (...)
  {
  }
}

float IEffectVST::HostGetParameter(AEffect* effect, VstInt32 index)
{
  try
  {
    IEffectVST* plug = FromEffect(effect);
    if (!plug) return 0.0f;
    Lock lock(plug->mParamLock);
    if (!plug->ValidAutomatedIndex(index)) return 0.0f;
    return float(plug->ParameterAt(index)->NormalisedValue());
  }
  catch (...)
  {
    return 0.0f;
  }
}

void IEffectVST::HostSetParameter(AEffect* effect, VstInt32 index, float value)
{
  try
  {
    IEffectVST* plug = FromEffect(effect);
    if (!plug) return;
    Lock lock(plug->mParamLock);
    if (!plug->ValidAutomatedIndex(index)) return;
    if (plug->mEditor) plug->mEditor->SyncParameterToControls(index, value, true);
    plug->ParameterAt(index)->SetFromNormalised(value);
    plug->HandleParameterChange(index);
  }
  catch (...)
  {
  }
}
