#pragma once

// Marks the calling thread as the host's processing thread while the scope lives (the process
// callbacks and the host's events). The device sends made on such a thread never take a lock that a
// port change holds and never wait: IMidiPorts queues them for its output thread.
class AudioThreadScope
{
public:
  AudioThreadScope();
  ~AudioThreadScope();
  AudioThreadScope(const AudioThreadScope&) = delete;
  AudioThreadScope& operator=(const AudioThreadScope&) = delete;

  static bool Active();

private:
  bool mOuter;
};
