#include "framework/plugin/OutputSendQueue.h"

OutputSendQueue::OutputSendQueue() : mBytes(std::make_unique<uint8_t[]>(kCapacity)) {}

bool OutputSendQueue::Pop(std::vector<uint8_t>& message)
{
  const size_t tail = mTail.load(std::memory_order_relaxed);
  if (mHead.load(std::memory_order_acquire) == tail) return false;
  const size_t size = size_t(Get(tail)) | size_t(Get(tail + 1)) << 8;
  message.resize(size);
  for (size_t i = 0; i < size; ++i)
    message[i] = Get(tail + kLengthBytes + i);
  mTail.store(tail + kLengthBytes + size, std::memory_order_release);
  return true;
}

bool OutputSendQueue::Empty() const
{
  return mHead.load(std::memory_order_acquire) == mTail.load(std::memory_order_acquire);
}
