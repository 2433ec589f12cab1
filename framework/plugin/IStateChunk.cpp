#include "framework/plugin/IStateChunk.h"

#include <bit>
#include <cstring>
#include <limits>

namespace
{
void StoreLE32(uint8_t* p, uint32_t v)
{
  for (int i = 0; i < 4; ++i)
    p[i] = uint8_t(v >> (8 * i));
}

void StoreLE64(uint8_t* p, uint64_t v)
{
  for (int i = 0; i < 8; ++i)
    p[i] = uint8_t(v >> (8 * i));
}

uint32_t LoadLE32(const uint8_t* p)
{
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= uint32_t(p[i]) << (8 * i);
  return v;
}

uint64_t LoadLE64(const uint8_t* p)
{
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i)
    v |= uint64_t(p[i]) << (8 * i);
  return v;
}
}  // namespace

uint8_t* IStateChunk::Extend(int count)
{
  const int old = mBuffer.Size();
  const int64_t wanted = int64_t(old) + count;
  if (count < 0 || wanted > std::numeric_limits<int32_t>::max())
    return nullptr;
  mBuffer.Resize(int(wanted));
  if (mBuffer.Size() != wanted)
    return nullptr;
  return mBuffer.Data() + old;
}

bool IStateChunk::PutInt(int32_t value)
{
  uint8_t* p = Extend(4);
  if (!p)
    return false;
  StoreLE32(p, uint32_t(value));
  return true;
}

bool IStateChunk::PutDouble(double value)
{
  uint8_t* p = Extend(8);
  if (!p)
    return false;
  StoreLE64(p, std::bit_cast<uint64_t>(value));
  return true;
}

bool IStateChunk::PutBool(bool value)
{
  uint8_t* p = Extend(1);
  if (!p)
    return false;
  *p = value ? 1 : 0;
  return true;
}

bool IStateChunk::PutString(const char* text)
{
  const size_t length = text ? std::strlen(text) : 0;
  if (length > size_t(std::numeric_limits<int32_t>::max() - 4))
    return false;
  uint8_t* p = Extend(4 + int(length));
  if (!p)
    return false;
  StoreLE32(p, uint32_t(length));
  if (length)
    std::memcpy(p + 4, text, length);
  return true;
}

bool IStateChunk::PutChunk(const IStateChunk& other)
{
  if (&other == this)
  {
    // Growing may move the bytes being copied.
    const int n = Size();
    uint8_t* p = Extend(n);
    if (!p)
      return false;
    std::memcpy(p, mBuffer.Data(), size_t(n));
    return true;
  }
  return PutBytes(other.Data(), other.Size());
}

bool IStateChunk::PutBytes(const void* bytes, int count)
{
  if (count < 0 || (count > 0 && !bytes))
    return false;
  uint8_t* p = Extend(count);
  if (!p)
    return false;
  if (count)
    std::memcpy(p, bytes, size_t(count));
  return true;
}

bool IStateChunk::CanRead(int position, int64_t count) const
{
  // Compared against what is left, so no count can overflow the sum.
  return position >= 0 && count >= 0 && position <= Size() && count <= int64_t(Size()) - position;
}

int IStateChunk::GetInt(int32_t& value, int position) const
{
  if (!CanRead(position, 4))
    return -1;
  value = int32_t(LoadLE32(mBuffer.Data() + position));
  return position + 4;
}

int IStateChunk::GetDouble(double& value, int position) const
{
  if (!CanRead(position, 8))
    return -1;
  value = std::bit_cast<double>(LoadLE64(mBuffer.Data() + position));
  return position + 8;
}

int IStateChunk::GetBool(bool& value, int position) const
{
  if (!CanRead(position, 1))
    return -1;
  value = mBuffer.Data()[position] != 0;
  return position + 1;
}

int IStateChunk::GetString(HeapString& out, int position) const
{
  int32_t length = 0;
  position = GetInt(length, position);
  if (position < 0)
    return -1;
  if (length < 1)
  {
    out.Set("");
    return position;
  }
  if (!CanRead(position, length))
    return -1;
  if (!out.SetCounted(reinterpret_cast<const char*>(mBuffer.Data() + position), length))
    return -1;
  return position + length;
}

int IStateChunk::GetBytes(void* bytes, int count, int position) const
{
  if (!bytes || !CanRead(position, count))
    return -1;
  if (count)
    std::memcpy(bytes, mBuffer.Data() + position, size_t(count));
  return position + count;
}

bool IStateChunk::Assign(const void* bytes, int count)
{
  if (count < 0 || (count > 0 && !bytes))
    return false;
  // A host may hand back the very block effGetChunk gave it, or a part of it.
  const uint8_t* source = static_cast<const uint8_t*>(bytes);
  uint8_t* own = mBuffer.Data();
  if (own && source >= own && source < own + Size())
  {
    if (count > Size() - int(source - own))
      return false;
    std::memmove(own, source, size_t(count));
    mBuffer.Resize(count);
    return true;
  }
  Clear();
  return PutBytes(bytes, count);
}
