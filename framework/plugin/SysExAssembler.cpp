#include "framework/plugin/SysExAssembler.h"

namespace
{
constexpr uint8_t kSysExStart = 0xF0;
constexpr uint8_t kSysExEnd = 0xF7;

bool IsRealTime(uint8_t byte)
{
  return byte >= 0xF8;
}
} // namespace

void SysExAssembler::Reset()
{
  state_ = State::Idle;
  message_.clear();
  skipped_ = 0;
}

void SysExAssembler::Drop(State next)
{
  ++refused_;
  message_.clear();
  skipped_ = 0;
  state_ = next;
}

void SysExAssembler::Take(const uint8_t* bytes, size_t size, const Emit& emit)
{
  if (!bytes || size == 0) return;
  // A delivery that begins with a channel or system status byte is a message of its own: the
  // library does not join one to a SysEx it saw as ended. A SysEx left open is broken off by it.
  const uint8_t first = bytes[0];
  if (first >= 0x80 && first != kSysExStart && first != kSysExEnd && !IsRealTime(first))
  {
    if (state_ == State::Open) Drop(State::Idle);
    state_ = State::Idle;
  }
  if (state_ == State::Idle && first != kSysExStart)
  {
    if (size <= 3 && first >= 0x80)
    {
      emit(bytes, size); // a channel, common or real-time message, as the library delivered it
      return;
    }
  }

  for (size_t i = 0; i < size; ++i)
  {
    const uint8_t byte = bytes[i];
    if (IsRealTime(byte))
    {
      emit(&bytes[i], 1); // a message of its own wherever it comes, never part of a SysEx
      continue;
    }
    if (byte == kSysExStart)
    {
      if (state_ == State::Open) Drop(State::Idle); // unterminated: a new message begins
      message_.clear();
      message_.push_back(byte);
      skipped_ = 0;
      state_ = State::Open;
      continue;
    }
    switch (state_)
    {
    case State::Idle:
      break; // stray bytes outside a message
    case State::Draining:
      if (byte >= 0x80) state_ = State::Idle;
      break;
    case State::Skipping:
      if (byte == kSysExEnd)
        state_ = State::Idle;
      else if (++skipped_ > kMaxSysExBytes)
        state_ = State::Draining;
      break;
    case State::Open:
      if (byte == kSysExEnd)
      {
        message_.push_back(byte);
        emit(message_.data(), message_.size());
        message_.clear();
        state_ = State::Idle;
      }
      else if (byte >= 0x80)
      {
        Drop(State::Skipping);
      }
      else if (message_.size() >= kMaxSysExBytes)
      {
        Drop(State::Draining);
      }
      else
      {
        message_.push_back(byte);
      }
      break;
    }
  }
}
