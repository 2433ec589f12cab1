#include "framework/plugin/AudioThreadScope.h"

namespace
{
thread_local bool tOnAudioThread = false;
} // namespace

AudioThreadScope::AudioThreadScope() : mOuter(tOnAudioThread)
{
  tOnAudioThread = true;
}

AudioThreadScope::~AudioThreadScope()
{
  tOnAudioThread = mOuter;
}

bool AudioThreadScope::Active()
{
  return tOnAudioThread;
}
