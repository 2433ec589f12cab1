#pragma once

#include "framework/support/HeapBuffer.h"
#include "framework/support/HeapString.h"

#include <bit>
#include <cstdint>
#include <cstring>

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
  // A stream that reads the given bytes where they are (a host's chunk during effSetChunk), so
  // that no copy of whatever size a host hands over is made or kept. The bytes must outlive the
  // reading; the first write copies them into a block of the stream's own.
  static IStateChunk View(const void* bytes, int count);

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

  int GetInt(int32_t& value, int position) const
  {
    if (!CanRead(position, 4)) return -1;
    value = int32_t(LoadLE<uint32_t>(Data() + position));
    return position + 4;
  }
  int GetDouble(double& value, int position) const
  {
    if (!CanRead(position, 8)) return -1;
    value = std::bit_cast<double>(LoadLE<uint64_t>(Data() + position));
    return position + 8;
  }
  // Any non-zero byte reads as true.
  int GetBool(bool& value, int position) const;
  // A length below 1 reads as the empty text. A text whose bytes run past the
  // end answers -1 and leaves out unchanged.
  int GetString(HeapString& out, int position) const;
  int GetBytes(void* bytes, int count, int position) const;

  // Whether count bytes can be read at position; lets a caller make sure a
  // whole block is present before applying any of it.
  bool CanRead(int position, int64_t count) const
  {
    // Compared against what is left, so no count can overflow the sum.
    return position >= 0 && count >= 0 && position <= Size() && count <= int64_t(Size()) - position;
  }

  int Size() const { return mView ? mViewSize : mBuffer.Size(); }
  const uint8_t* Data() const { return mView ? mView : mBuffer.Data(); }

  // Empties the stream, keeping its block.
  void Clear()
  {
    mView = nullptr;
    mViewSize = 0;
    mBuffer.Resize(0);
  }
  // Replaces the stream with a copy of the given bytes (a host's chunk), which may be this
  // stream's own bytes or a part of them.
  bool Assign(const void* bytes, int count);

private:
  // The stream is little-endian; on a little-endian machine the bytes are the value's own. Inline:
  // a recall reads thousands of values.
  template <class T> static void StoreLE(uint8_t* p, T v)
  {
    if constexpr (std::endian::native == std::endian::little)
      std::memcpy(p, &v, sizeof(T));
    else
      for (size_t i = 0; i < sizeof(T); ++i)
        p[i] = uint8_t(v >> (8 * i));
  }
  template <class T> static T LoadLE(const uint8_t* p)
  {
    T v = 0;
    if constexpr (std::endian::native == std::endian::little)
      std::memcpy(&v, p, sizeof(T));
    else
      for (size_t i = 0; i < sizeof(T); ++i)
        v |= T(p[i]) << (8 * i);
    return v;
  }

  uint8_t* Extend(int count);
  // A view becomes a stream of its own: its bytes are copied into the block.
  bool Detach();

  HeapBuffer mBuffer;
  const uint8_t* mView = nullptr;
  int mViewSize = 0;
};
