#pragma once

#include "framework/support/HeapBuffer.h"
#include "framework/support/HeapString.h"

#include <cstdint>

// The byte stream of the plug-in's state: little-endian, no alignment, no
// padding. Writers append at the end and answer false (stream unchanged) when
// the room could not be had. Readers take a position and answer the position
// after what they read, or -1 when it does not fit inside the stream; a
// negative position reads nothing and answers -1, so one failed read ends
// every read that follows it.
class IStateChunk
{
public:
  IStateChunk() : mBuffer(4096) {}

  IStateChunk(const IStateChunk&) = delete;
  IStateChunk& operator=(const IStateChunk&) = delete;
  IStateChunk(IStateChunk&&) noexcept = default;
  IStateChunk& operator=(IStateChunk&&) noexcept = default;

  bool PutInt(int32_t value);
  bool PutDouble(double value);
  bool PutBool(bool value);
  // int32 length, then the bytes without terminator; null is the empty text.
  bool PutString(const char* text);
  // The raw bytes of another chunk, no length in front.
  bool PutChunk(const IStateChunk& other);
  bool PutBytes(const void* bytes, int count);

  int GetInt(int32_t& value, int position) const;
  int GetDouble(double& value, int position) const;
  // Any non-zero byte reads as true.
  int GetBool(bool& value, int position) const;
  // A length below 1 reads as the empty text. A text whose bytes run past the
  // end answers -1 and leaves out unchanged.
  int GetString(HeapString& out, int position) const;
  int GetBytes(void* bytes, int count, int position) const;

  // Whether count bytes can be read at position; lets a caller make sure a
  // whole block is present before applying any of it.
  bool CanRead(int position, int64_t count) const;

  int Size() const { return mBuffer.Size(); }
  const uint8_t* Data() const { return mBuffer.Data(); }

  // Empties the stream, keeping its block.
  void Clear() { mBuffer.Resize(0); }
  // Replaces the stream with a copy of the given bytes (a host's chunk), which may be this
  // stream's own bytes or a part of them.
  bool Assign(const void* bytes, int count);

private:
  uint8_t* Extend(int count);

  HeapBuffer mBuffer;
};
