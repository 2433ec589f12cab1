#pragma once

#include "framework/support/HeapBuffer.h"

// A zero-terminated text in a HeapBuffer (granularity 128). The used size is
// the length plus one; a used size below 2 is the empty text.
class HeapString
{
public:
  HeapString() : mBuffer(128) {}
  explicit HeapString(const char* text) : mBuffer(128) { Set(text); }

  HeapString(const HeapString& other) : mBuffer(128) { Set(other.Get()); }
  HeapString& operator=(const HeapString& other)
  {
    if (this != &other) Set(other.Get());
    return *this;
  }

  // Never null: the empty text when nothing is held.
  const char* Get() const;
  int Length() const { return mBuffer.Size() < 2 ? 0 : mBuffer.Size() - 1; }
  bool Empty() const { return Length() == 0; }

  // Holds the whole text.
  bool Set(const char* text) { return SetCounted(text, 0); }

  // Holds the text up to its terminator, or up to n characters when n >= 1.
  // Answers false (text unchanged) when the room could not be had.
  bool SetCounted(const char* text, int n);

  // Writes up to n characters of text at offset (at most the current length)
  // and terminates after them; n < 1 at offset 0 empties the text. Answers
  // false, text unchanged, for a bad offset or when the room could not be had.
  bool SetAtOffset(int offset, const char* text, int n);

private:
  HeapBuffer mBuffer;
};
