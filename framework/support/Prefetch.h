#pragma once

// Asks the processor to bring the cache line at p in ahead of its use, to be written. For walks
// over objects spread across the heap (thousands of controls or parameters), where the hardware
// cannot guess the next address; a hint only: it never faults, whatever p is.
inline void PrefetchForWrite(const void* p)
{
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p, 1);
#else
  (void)p;
#endif
}
