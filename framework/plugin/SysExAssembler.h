#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Whole messages out of what a MIDI input delivers. The MIDI libraries hand over either whole
// messages or SysEx joined up to the next F7 (an unterminated message then carries the next one
// behind it), with real-time bytes possibly inside; some deliver a long SysEx in pieces. Out of
// that come channel and real-time messages as delivered, and each SysEx from its F0 to its F7:
// - real-time bytes (F8-FF) inside a SysEx are not part of it: they are taken out and delivered
//   as messages of their own;
// - a new F0 starts a new message: the unterminated one before it is dropped;
// - any other status byte inside (a data byte of 0x80 or more: a corrupt message, or one that the
//   sender broke off) refuses the message whole: nothing of it up to its F7 is delivered, and its
//   remaining bytes are not read as channel messages;
// - a message that grows past kMaxSysExBytes without its F7 is dropped, and so are its further
//   data bytes, until the next status byte.
// One consumer thread: not thread-safe.
class SysExAssembler
{
public:
  static constexpr size_t kMaxSysExBytes = 64 * 1024;
  using Emit = std::function<void(const uint8_t* bytes, size_t size)>;

  // One delivery of the library; whole messages go to `emit`, in order.
  void Take(const uint8_t* bytes, size_t size, const Emit& emit);
  // Forgets a message in progress (the input was closed).
  void Reset();

  // SysEx messages refused or dropped so far.
  uint64_t Refused() const { return refused_; }

private:
  enum class State
  {
    Idle,     // between messages
    Open,     // inside a SysEx, collecting
    Skipping, // inside a refused SysEx: up to its F7 (or a new F0)
    Draining, // past an oversized one: data bytes up to the next status byte
  };

  void Drop(State next);

  State state_ = State::Idle;
  std::vector<uint8_t> message_;
  size_t skipped_ = 0;
  uint64_t refused_ = 0;
};
