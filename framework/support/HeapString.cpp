#include "framework/support/HeapString.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace
{
int BoundedLength(const char* text, int n)
{
  if (!text) return 0;
  if (n < 1)
  {
    const size_t length = std::strlen(text);
    return length > 0x7ffffffe ? -1 : int(length);
  }
  const void* end = std::memchr(text, 0, size_t(n));
  return end ? int(static_cast<const char*>(end) - text) : n;
}
} // namespace

const char* HeapString::Get() const
{
  return mBuffer.Size() < 2 ? "" : reinterpret_cast<const char*>(mBuffer.Data());
}

bool HeapString::SetCounted(const char* text, int n)
{
  const int length = BoundedLength(text, n);
  if (length < 0) return false;
  if (length == 0 && Empty()) return true;

  // The text may live inside this buffer, which a growth can move.
  const uint8_t* own = mBuffer.Data();
  std::string copy;
  if (own && text >= reinterpret_cast<const char*>(own) &&
      text < reinterpret_cast<const char*>(own) + mBuffer.Size())
  {
    copy.assign(text, size_t(length));
    text = copy.c_str();
  }

  mBuffer.Resize(length + 1);
  if (mBuffer.Size() != length + 1) return false;
  char* data = reinterpret_cast<char*>(mBuffer.Data());
  std::memmove(data, text, size_t(length));
  data[length] = '\0';
  return true;
}

bool HeapString::SetAtOffset(int offset, const char* text, int n)
{
  if (offset < 0 || offset > Length()) return false;
  if (n < 1 && (offset != 0 || Empty())) return true;

  const int length = n < 1 ? 0 : BoundedLength(text, n);
  const int64_t wanted = int64_t(offset) + length + 1;
  if (wanted > 0x7fffffff) return false;

  const uint8_t* own = mBuffer.Data();
  std::string copy;
  if (own && text && text >= reinterpret_cast<const char*>(own) &&
      text < reinterpret_cast<const char*>(own) + mBuffer.Size())
  {
    copy.assign(text, size_t(length));
    text = copy.c_str();
  }

  mBuffer.Resize(int(wanted));
  if (mBuffer.Size() != int(wanted)) return false;
  char* data = reinterpret_cast<char*>(mBuffer.Data());
  if (length > 0) std::memmove(data + offset, text, size_t(length));
  data[offset + length] = '\0';
  return true;
}
