#include "framework/support/HeapBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace
{
constexpr int64_t kPage = 4096;
constexpr int64_t kMaxStep = 4194304; // 4 MiB
constexpr int64_t kPageSlack = 96;    // keeps blocks just under whole pages
constexpr int64_t kMaxSize = std::numeric_limits<int32_t>::max();
} // namespace

HeapBuffer::HeapBuffer(int granularity)
{
  SetGranularity(granularity);
}

HeapBuffer::~HeapBuffer()
{
  Release();
}

HeapBuffer::HeapBuffer(HeapBuffer&& other) noexcept
    : mData(std::exchange(other.mData, nullptr)), mGranularity(other.mGranularity),
      mAllocated(std::exchange(other.mAllocated, 0)), mUsed(std::exchange(other.mUsed, 0)),
      mMinimumAllocation(other.mMinimumAllocation)
{
}

HeapBuffer& HeapBuffer::operator=(HeapBuffer&& other) noexcept
{
  if (this != &other)
  {
    Release();
    mData = std::exchange(other.mData, nullptr);
    mGranularity = other.mGranularity;
    mAllocated = std::exchange(other.mAllocated, 0);
    mUsed = std::exchange(other.mUsed, 0);
    mMinimumAllocation = other.mMinimumAllocation;
  }
  return *this;
}

int64_t HeapBuffer::AllocationFor(int64_t n) const
{
  if (n < 0 || n > kMaxSize) return -1;
  int64_t allocation;
  if (mGranularity >= kPage)
  {
    int64_t step = std::max<int64_t>(n / 2, mGranularity);
    step = std::clamp<int64_t>(step / kPage * kPage, kPage, kMaxStep);
    allocation = (n + kPageSlack + step) / kPage * kPage - kPageSlack;
  }
  else
  {
    allocation = n + std::max<int64_t>(n / 2, mGranularity);
  }
  allocation = std::max<int64_t>(allocation, mMinimumAllocation);
  return allocation > kMaxSize ? -1 : allocation;
}

uint8_t* HeapBuffer::Resize(int n, bool allowShrinking)
{
  if (n == mUsed || n < 0) return Data();

  bool reallocate = n > mAllocated;
  if (!reallocate && allowShrinking && n < mUsed)
  {
    // Shrink only when it frees half the block and more than four granules,
    // so that lists that shrink and grow again do not reallocate each time.
    const int64_t spare = int64_t(mAllocated) - n;
    reallocate = int64_t(n) * 2 < mAllocated && spare > int64_t(mGranularity) * 4;
  }

  if (reallocate)
  {
    const int64_t allocation = AllocationFor(n);
    if (allocation < 0) return Data();
    if (allocation != mAllocated)
    {
      // realloc keeps the block in place when it can and copies otherwise.
      void* block = std::realloc(mData, size_t(allocation));
      if (!block) return Data();
      mData = static_cast<uint8_t*>(block);
      mAllocated = int(allocation);
    }
  }

  mUsed = n;
  return Data();
}

int HeapBuffer::ResizeZeroTail(int n)
{
  const int old = mUsed;
  Resize(n, true);
  if (mUsed == n && n > old) std::memset(mData + old, 0, size_t(n - old));
  return old;
}

void HeapBuffer::Release()
{
  std::free(mData);
  mData = nullptr;
  mAllocated = 0;
  mUsed = 0;
}
