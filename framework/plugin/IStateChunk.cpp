#include "framework/plugin/IStateChunk.h"

#include <cstring>
#include <limits>

IStateChunk IStateChunk::View(const void* bytes, int count)
{
  IStateChunk chunk;
  if (bytes && count > 0)
  {
    chunk.mView = static_cast<const uint8_t*>(bytes);
    chunk.mViewSize = count;
  }
  return chunk;
}

bool IStateChunk::Detach()
{
  if (!mView) return true;
  const uint8_t* bytes = mView;
  const int count = mViewSize;
  mBuffer.Resize(count);
  if (mBuffer.Size() != count)
  {
    mBuffer.Resize(0);
    return false;
  }
  std::memcpy(mBuffer.Data(), bytes, size_t(count));
  mView = nullptr;
  mViewSize = 0;
  return true;
}

uint8_t* IStateChunk::Extend(int count)
{
  if (!Detach()) return nullptr;
  const int old = mBuffer.Size();
  const int64_t wanted = int64_t(old) + count;
  if (count < 0 || wanted > std::numeric_limits<int32_t>::max()) return nullptr;
  mBuffer.Resize(int(wanted));
  if (mBuffer.Size() != wanted) return nullptr;
  return mBuffer.Data() + old;
}

bool IStateChunk::PutInt(int32_t value)
{
  uint8_t* p = Extend(4);
  if (!p) return false;
  StoreLE<uint32_t>(p, uint32_t(value));
  return true;
}

bool IStateChunk::PutDouble(double value)
{
  uint8_t* p = Extend(8);
  if (!p) return false;
  StoreLE<uint64_t>(p, std::bit_cast<uint64_t>(value));
  return true;
}

bool IStateChunk::PutBool(bool value)
{
  uint8_t* p = Extend(1);
  if (!p) return false;
  *p = value ? 1 : 0;
  return true;
}

bool IStateChunk::PutString(const char* text)
{
  const size_t length = text ? std::strlen(text) : 0;
  if (length > size_t(std::numeric_limits<int32_t>::max() - 4)) return false;
  uint8_t* p = Extend(4 + int(length));
  if (!p) return false;
  StoreLE<uint32_t>(p, uint32_t(length));
  if (length) std::memcpy(p + 4, text, length);
  return true;
}

bool IStateChunk::PutChunk(const IStateChunk& other)
{
  if (&other == this)
  {
    // Growing may move the bytes being copied.
    const int n = Size();
    if (!Detach()) return false;
    uint8_t* p = Extend(n);
    if (!p) return false;
    std::memcpy(p, mBuffer.Data(), size_t(n));
    return true;
  }
  return PutBytes(other.Data(), other.Size());
}

bool IStateChunk::PutBytes(const void* bytes, int count)
{
  if (count < 0 || (count > 0 && !bytes)) return false;
  uint8_t* p = Extend(count);
  if (!p) return false;
  if (count) std::memcpy(p, bytes, size_t(count));
  return true;
}

int IStateChunk::GetBool(bool& value, int position) const
{
  if (!CanRead(position, 1)) return -1;
  value = Data()[position] != 0;
  return position + 1;
}

int IStateChunk::GetString(HeapString& out, int position) const
{
  int32_t length = 0;
  position = GetInt(length, position);
  if (position < 0) return -1;
  if (length < 1)
  {
    out.Set("");
    return position;
  }
  if (!CanRead(position, length)) return -1;
  if (!out.SetCounted(reinterpret_cast<const char*>(Data() + position), length)) return -1;
  return position + length;
}

int IStateChunk::GetBytes(void* bytes, int count, int position) const
{
  if (!bytes || !CanRead(position, count)) return -1;
  if (count) std::memcpy(bytes, Data() + position, size_t(count));
  return position + count;
}

bool IStateChunk::Assign(const void* bytes, int count)
{
  if (count < 0 || (count > 0 && !bytes)) return false;
  // A host may hand back the very block effGetChunk gave it, or a part of it.
  const uint8_t* source = static_cast<const uint8_t*>(bytes);
  mView = nullptr;
  mViewSize = 0;
  uint8_t* own = mBuffer.Data();
  if (own && source >= own && source < own + Size())
  {
    if (count > Size() - int(source - own)) return false;
    std::memmove(own, source, size_t(count));
    mBuffer.Resize(count);
    return true;
  }
  Clear();
  return PutBytes(bytes, count);
}
