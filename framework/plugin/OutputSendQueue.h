#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The messages the host's processing thread sends, on their way to the output thread of IMidiPorts.
// Putting one in never waits and never allocates: without room, or while another thread is putting
// one in at that moment, it is refused and the caller counts it. One thread takes them out, in order.
class OutputSendQueue
{
public:
  static constexpr size_t kCapacity = size_t(1) << 14;
  // The largest message it carries (a length of two bytes goes with each).
  static constexpr size_t kMaxMessage = 4096;

  OutputSendQueue();
  OutputSendQueue(const OutputSendQueue&) = delete;
  OutputSendQueue& operator=(const OutputSendQueue&) = delete;

  // A message of `size` bytes, byte i given by byteAt(i).
  template <typename ByteAt> bool Push(size_t size, ByteAt byteAt)
  {
    if (size == 0 || size > kMaxMessage || mProducing.test_and_set(std::memory_order_acquire)) return false;
    const size_t head = mHead.load(std::memory_order_relaxed);
    const bool room = kCapacity - (head - mTail.load(std::memory_order_acquire)) >= size + kLengthBytes;
    if (room)
    {
      Put(head, uint8_t(size & 0xFF));
      Put(head + 1, uint8_t(size >> 8));
      for (size_t i = 0; i < size; ++i)
        Put(head + kLengthBytes + i, byteAt(i));
      mHead.store(head + kLengthBytes + size, std::memory_order_release);
    }
    mProducing.clear(std::memory_order_release);
    return room;
  }

  // The oldest message into `message` (the taking thread only); false when there is none.
  bool Pop(std::vector<uint8_t>& message);
  bool Empty() const;

private:
  static constexpr size_t kLengthBytes = 2;
  void Put(size_t position, uint8_t byte) { mBytes[position & (kCapacity - 1)] = byte; }
  uint8_t Get(size_t position) const { return mBytes[position & (kCapacity - 1)]; }

  std::unique_ptr<uint8_t[]> mBytes;
  std::atomic<size_t> mHead{0}; // written by the thread holding mProducing
  std::atomic<size_t> mTail{0}; // written by the taking thread
  std::atomic_flag mProducing;
};
