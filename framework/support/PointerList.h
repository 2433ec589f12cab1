#pragma once

#include "framework/support/HeapBuffer.h"

#include <cstring>

// A list of pointers kept in a HeapBuffer. Reading outside the list answers
// null, so callers may walk it without bounds checks of their own. The list
// does not own its elements unless its owner calls DeleteAll.
template <class T> class PointerList
{
public:
  // Small granules: most lists (a layer's controls, a menu's items) hold a handful of pointers, and
  // an editor has hundreds of them; the block still grows by half its size when it must.
  PointerList() : mBuffer(16 * int(sizeof(T*))) {}

  int Count() const { return mBuffer.Size() / int(sizeof(T*)); }

  T* Get(int i) const
  {
    if (i < 0 || i >= Count()) return nullptr;
    return Slots()[i];
  }

  // Appends p; answers p, or null (list unchanged) when the growth failed.
  T* Append(T* p)
  {
    const int n = Count();
    if (!Grow()) return nullptr;
    Slots()[n] = p;
    return p;
  }

  // Inserts p before entry i (i is clamped into 0..count).
  T* Insert(int i, T* p)
  {
    const int n = Count();
    if (i < 0) i = 0;
    if (i > n) i = n;
    if (!Grow()) return nullptr;
    T** slots = Slots();
    std::memmove(slots + i + 1, slots + i, size_t(n - i) * sizeof(T*));
    slots[i] = p;
    return p;
  }

  // Removes entry i without deleting it; answers the removed pointer or null.
  T* Remove(int i)
  {
    const int n = Count();
    if (i < 0 || i >= n) return nullptr;
    T** slots = Slots();
    T* p = slots[i];
    std::memmove(slots + i, slots + i + 1, size_t(n - i - 1) * sizeof(T*));
    mBuffer.Resize((n - 1) * int(sizeof(T*)));
    return p;
  }

  // The index of the first entry equal to p, or -1.
  int Find(const T* p) const
  {
    const int n = Count();
    for (int i = 0; i < n; ++i)
      if (Slots()[i] == p) return i;
    return -1;
  }

  // Empties the list without deleting the elements.
  void Clear() { mBuffer.Resize(0); }

  // For lists that own their elements: deletes them from the last to the
  // first, shrinking the list after each, then empties it.
  void DeleteAll()
  {
    for (int n = Count(); n > 0; --n)
    {
      T* p = Slots()[n - 1];
      delete p;
      mBuffer.Resize((n - 1) * int(sizeof(T*)));
    }
    mBuffer.Resize(0);
  }

  // Frees the list's block (after DeleteAll or Clear).
  void Release() { mBuffer.Release(); }

private:
  bool Grow()
  {
    const int64_t wanted = int64_t(mBuffer.Size()) + int64_t(sizeof(T*));
    if (wanted > 0x7fffffff) return false;
    mBuffer.Resize(int(wanted));
    return mBuffer.Size() == int(wanted);
  }

  T** Slots() const { return reinterpret_cast<T**>(const_cast<uint8_t*>(mBuffer.Data())); }

  HeapBuffer mBuffer;
};
