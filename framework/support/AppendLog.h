#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <type_traits>

// Entries that a loop over thousands of values appends through a pointer: room is made before the
// loop and the count set after it. A vector's push_back keeps its end in memory, where each entry
// waits for the store of the one before to be read back; here the loop keeps it in a register.
// Room is not initialised, so T must be trivial.
template <typename T> class AppendLog
{
  static_assert(std::is_trivial_v<T>, "entries are written into uninitialised room");

public:
  // Room for n more entries after the current ones; answers where the next one goes. What was
  // there is kept when the log grows. Throws std::bad_alloc as a vector would.
  T* Extend(size_t n)
  {
    if (mCapacity - mSize < n)
    {
      const size_t capacity = std::max(mSize + n, mCapacity + mCapacity / 2);
      std::unique_ptr<T[]> grown(new T[capacity]);
      std::copy(mData.get(), mData.get() + mSize, grown.get());
      mData = std::move(grown);
      mCapacity = capacity;
    }
    return mData.get() + mSize;
  }
  // The log ends before end: a pointer Extend answered, moved on by the entries written there.
  void Commit(const T* end) { mSize = size_t(end - mData.get()); }
  // n entries; those added hold what the room held until written.
  void Resize(size_t n)
  {
    if (n > mSize) Extend(n - mSize);
    mSize = n;
  }
  void Clear() { mSize = 0; }

  T* Data() { return mData.get(); }
  size_t Size() const { return mSize; }
  T& operator[](size_t i) { return mData[i]; }

private:
  std::unique_ptr<T[]> mData;
  size_t mSize = 0;
  size_t mCapacity = 0;
};
