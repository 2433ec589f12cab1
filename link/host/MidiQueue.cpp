#include "link/host/MidiQueue.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

MidiQueue::MidiQueue()
{
  mEntries.reset(new (std::nothrow) IMidiMessage[kGrowthBlock]);
  if (mEntries) mCapacity = kGrowthBlock;
}

bool MidiQueue::Grow()
{
  int32_t from = 0;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    from = mCapacity;
  }
  const int32_t to = (from / kGrowthBlock + 1) * kGrowthBlock;
  if (to > kMaxEntries) return false;
  // Allocated outside the lock, so the drain never waits for the allocator.
  std::unique_ptr<IMidiMessage[]> bigger(new (std::nothrow) IMidiMessage[size_t(to)]);
  if (!bigger) return false;
  std::lock_guard<std::mutex> lock(mMutex);
  if (mCapacity >= to) return true; // another adder grew it meanwhile
  if (mCount > 0) std::memcpy(bigger.get(), mEntries.get(), sizeof(IMidiMessage) * size_t(mCount));
  mEntries.swap(bigger);
  mCapacity = to;
  return true; // the old buffer goes with `bigger`, after the lock
}

bool MidiQueue::Add(const IMidiMessage& message)
{
  for (int attempt = 0; attempt < 3; ++attempt)
  {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      // Taken entries make room before the buffer grows.
      if (mCount >= mCapacity) DropTakenLocked();
      if (mCount < mCapacity)
      {
        IMidiMessage* first = mEntries.get() + mReadPosition;
        IMidiMessage* last = mEntries.get() + mCount;
        IMidiMessage* at =
            std::upper_bound(first, last, message.offset,
                             [](int32_t offset, const IMidiMessage& e) { return offset < e.offset; });
        std::memmove(at + 1, at, sizeof(IMidiMessage) * size_t(last - at));
        *at = message;
        ++mCount;
        return true;
      }
    }
    if (!Grow()) break;
  }
  std::lock_guard<std::mutex> lock(mMutex);
  ++mDropped;
  return false;
}

void MidiQueue::DropTakenLocked()
{
  if (mReadPosition <= 0) return;
  mCount -= mReadPosition;
  std::memmove(mEntries.get(), mEntries.get() + mReadPosition, sizeof(IMidiMessage) * size_t(mCount));
  mReadPosition = 0;
}

int MidiQueue::TakeDue(int position, IMidiMessage* out, int max)
{
  std::lock_guard<std::mutex> lock(mMutex);
  int n = 0;
  while (n < max && mReadPosition < mCount && mEntries[size_t(mReadPosition)].offset <= position)
    out[n++] = mEntries[size_t(mReadPosition++)];
  return n;
}

void MidiQueue::EndBlock(int frames)
{
  std::lock_guard<std::mutex> lock(mMutex);
  DropTakenLocked();
  if (frames <= 0) return;
  for (int32_t i = 0; i < mCount; ++i)
  {
    // An entry left over from an earlier block stays due; its offset never wraps.
    const int64_t moved = int64_t(mEntries[size_t(i)].offset) - frames;
    mEntries[size_t(i)].offset = int32_t(std::max<int64_t>(moved, INT32_MIN));
  }
}

int MidiQueue::Count() const
{
  std::lock_guard<std::mutex> lock(mMutex);
  return mCount;
}

int MidiQueue::Capacity() const
{
  std::lock_guard<std::mutex> lock(mMutex);
  return mCapacity;
}

int MidiQueue::ReadPosition() const
{
  std::lock_guard<std::mutex> lock(mMutex);
  return mReadPosition;
}

uint64_t MidiQueue::Dropped() const
{
  std::lock_guard<std::mutex> lock(mMutex);
  return mDropped;
}
