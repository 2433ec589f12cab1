#pragma once

#include <cstdint>

// A growable heap block. The framework keeps its dynamic data in these instead
// of standard containers so that growth is predictable: half the current size
// (at least one granule) per step, whole 4 KiB pages for big buffers, and no
// shrinking unless asked for and worth it.
//
// A failed growth never loses data: the buffer keeps its block and its used
// size, so callers that need the room check Size() before they write.
class HeapBuffer
{
public:
  explicit HeapBuffer(int granularity = 4096);
  ~HeapBuffer();

  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;
  HeapBuffer(HeapBuffer&& other) noexcept;
  HeapBuffer& operator=(HeapBuffer&& other) noexcept;

  // Sets the used size to n and answers the data pointer (null when the used
  // size is 0). A negative n, or one whose allocation would not fit in 32 bits,
  // is refused: nothing changes and the old pointer is answered.
  uint8_t* Resize(int n, bool allowShrinking = false);

  // Resize allowing shrinking; bytes gained by growth are zeroed. Answers the
  // old used size.
  int ResizeZeroTail(int n);

  // Frees the block; the buffer is empty afterwards.
  void Release();

  uint8_t* Data() { return mUsed > 0 ? mData : nullptr; }
  const uint8_t* Data() const { return mUsed > 0 ? mData : nullptr; }
  int Size() const { return mUsed; }
  int Allocated() const { return mAllocated; }
  int Granularity() const { return mGranularity; }
  void SetGranularity(int granularity) { mGranularity = granularity > 0 ? granularity : 1; }
  int MinimumAllocation() const { return mMinimumAllocation; }
  void SetMinimumAllocation(int bytes) { mMinimumAllocation = bytes > 0 ? bytes : 0; }

  // The allocation a growth to n bytes asks for, or -1 when it would not fit
  // in 32 bits.
  int64_t AllocationFor(int64_t n) const;

private:
  uint8_t* mData = nullptr;
  int mGranularity = 4096;
  int mAllocated = 0;
  int mUsed = 0;
  int mMinimumAllocation = 0;
};
