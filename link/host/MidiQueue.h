#pragma once

#include "framework/plugin/IMidiMessage.h"

#include <cstdint>
#include <memory>
#include <mutex>

// Short MIDI messages waiting to leave from the host's audio callback at a sample position of
// the current block. Adders (the user-interface thread, the MIDI input thread) and the drain (the
// audio thread) meet under a lock of the queue's own that is held only for copies, never for an
// allocation or a send, so the audio thread never waits long.
class MidiQueue
{
public:
  static constexpr int kGrowthBlock = 1024;
  // The buffer stops growing here: a queue the host never drains must not eat the memory.
  static constexpr int kMaxEntries = 64 * kGrowthBlock;

  // Allocates the first kGrowthBlock entries; when that fails the capacity is 0 and the first Add grows.
  MidiQueue();
  MidiQueue(const MidiQueue&) = delete;
  MidiQueue& operator=(const MidiQueue&) = delete;

  // Inserts a copy in offset order: after every entry with an equal or smaller offset and never
  // before what the drain has already taken. False (message dropped) when it cannot be stored.
  bool Add(const IMidiMessage& message);
  // Enlarges the buffer to the next multiple of the growth block; false when that fails.
  bool Grow();

  // Copies into out (at most max) the untaken entries due at or before sample position, in
  // order, and marks them taken; answers how many.
  int TakeDue(int position, IMidiMessage* out, int max);
  // Ends a block of frames samples: drops the taken entries and moves the others frames earlier.
  void EndBlock(int frames);

  // One block: every entry due within frames samples goes to send, in order, outside the lock.
  template <class Send> void DrainBlock(int frames, Send&& send)
  {
    IMidiMessage batch[32];
    for (;;)
    {
      const int n = TakeDue(frames - 1, batch, 32);
      for (int i = 0; i < n; ++i)
        send(batch[i]);
      if (n < 32) break;
    }
    EndBlock(frames);
  }

  int Count() const;
  int Capacity() const;
  int ReadPosition() const;
  uint64_t Dropped() const;

private:
  void DropTakenLocked();

  mutable std::mutex mMutex;
  std::unique_ptr<IMidiMessage[]> mEntries;
  int32_t mCapacity = 0;
  int32_t mReadPosition = 0;
  int32_t mCount = 0;
  uint64_t mDropped = 0;
};
