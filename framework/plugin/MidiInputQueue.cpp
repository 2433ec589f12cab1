#include "framework/plugin/MidiInputQueue.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr size_t kLengthBytes = sizeof(uint32_t);

size_t RoundUpToPowerOfTwo(size_t n)
{
  size_t size = 64;
  while (size < n)
    size <<= 1;
  return size;
}
} // namespace

MidiInputQueue::MidiInputQueue(size_t capacityBytes) : MidiInputQueue(capacityBytes, Deferred{})
{
  Allocate();
}

MidiInputQueue::MidiInputQueue(size_t capacityBytes, Deferred)
    : capacity_(RoundUpToPowerOfTwo(capacityBytes)), mask_(capacity_ - 1)
{
}

void MidiInputQueue::Allocate()
{
  // Zeroed here, so that the producer (under JACK a real-time thread) never meets a fresh page.
  if (ring_.empty()) ring_.resize(capacity_);
}

void MidiInputQueue::CopyIn(size_t position, const uint8_t* bytes, size_t size)
{
  const size_t start = position & mask_;
  const size_t first = std::min(size, ring_.size() - start);
  std::memcpy(ring_.data() + start, bytes, first);
  std::memcpy(ring_.data(), bytes + first, size - first);
}

void MidiInputQueue::CopyOut(size_t position, uint8_t* bytes, size_t size) const
{
  const size_t start = position & mask_;
  const size_t first = std::min(size, ring_.size() - start);
  std::memcpy(bytes, ring_.data() + start, first);
  std::memcpy(bytes + first, ring_.data(), size - first);
}

bool MidiInputQueue::Push(const uint8_t* bytes, size_t size)
{
  if (!bytes || size == 0) return false;
  const size_t head = head_.load(std::memory_order_relaxed);
  const size_t tail = tail_.load(std::memory_order_acquire);
  const size_t freeBytes = ring_.size() - (head - tail);
  if (size > UINT32_MAX || size + kLengthBytes > freeBytes)
  {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  const uint32_t length = static_cast<uint32_t>(size);
  CopyIn(head, reinterpret_cast<const uint8_t*>(&length), kLengthBytes);
  CopyIn(head + kLengthBytes, bytes, size);
  head_.store(head + kLengthBytes + size, std::memory_order_release);
  return true;
}

bool MidiInputQueue::Pop(std::vector<uint8_t>& message)
{
  const size_t tail = tail_.load(std::memory_order_relaxed);
  const size_t head = head_.load(std::memory_order_acquire);
  if (head == tail) return false;
  uint32_t length = 0;
  CopyOut(tail, reinterpret_cast<uint8_t*>(&length), kLengthBytes);
  message.resize(length);
  CopyOut(tail + kLengthBytes, message.data(), length);
  tail_.store(tail + kLengthBytes + length, std::memory_order_release);
  return true;
}

void MidiInputQueue::Clear()
{
  tail_.store(head_.load(std::memory_order_acquire), std::memory_order_release);
}

void MidiInputQueue::SkipTo(size_t position)
{
  const size_t tail = tail_.load(std::memory_order_relaxed);
  // Running counts wrap: "ahead" is a small positive distance.
  if (position != tail && position - tail <= ring_.size()) tail_.store(position, std::memory_order_release);
}
