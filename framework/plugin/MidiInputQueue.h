#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// A fixed-size queue of whole MIDI messages between one producer (the MIDI library's input
// thread, under JACK the real-time thread) and one consumer (our delivery thread). Pushing
// never allocates, locks or waits; a message that does not fit is dropped and counted.
class MidiInputQueue
{
public:
  static constexpr size_t kDefaultCapacity = size_t(1) << 20;
  explicit MidiInputQueue(size_t capacityBytes = kDefaultCapacity);

  // A queue whose ring is set up by Allocate, not here: a plug-in whose input never opens need not
  // clear a megabyte while the host loads it. Until then every message is dropped (and counted).
  struct Deferred
  {
  };
  MidiInputQueue(size_t capacityBytes, Deferred);
  // Sets up the ring of a deferred queue (nothing when it has one). Only while neither the
  // producer nor the consumer runs: the ring is written before the producer's first message.
  void Allocate();

  // Producer side. False (and counted as dropped) when the message does not fit.
  bool Push(const uint8_t* bytes, size_t size);

  // Consumer side. Replaces `message` with the oldest message; false when the queue is empty.
  bool Pop(std::vector<uint8_t>& message);
  // Consumer side: throws away everything queued.
  void Clear();
  // Where the producer has written up to (a running byte count); with SkipTo, the consumer
  // throws away what was queued before a point another thread marked.
  size_t WrittenPosition() const { return head_.load(std::memory_order_acquire); }
  // Consumer side: throws away everything before `position` (a WrittenPosition read earlier).
  void SkipTo(size_t position);

  uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
  void CopyIn(size_t position, const uint8_t* bytes, size_t size);
  void CopyOut(size_t position, uint8_t* bytes, size_t size) const;

  std::vector<uint8_t> ring_;
  size_t capacity_;
  size_t mask_;
  std::atomic<size_t> head_{0}; // total bytes written
  std::atomic<size_t> tail_{0}; // total bytes read
  std::atomic<uint64_t> dropped_{0};
};
