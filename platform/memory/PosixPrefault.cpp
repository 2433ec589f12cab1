#include "platform/memory/Prefault.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#if defined(__linux__) && !defined(MADV_POPULATE_WRITE)
#define MADV_POPULATE_WRITE 23 // Linux 5.14 on; an older kernel refuses it, which changes nothing
#endif

void PrefaultForWrite(void* block, std::size_t bytes)
{
#if defined(__linux__)
  const long size = sysconf(_SC_PAGESIZE);
  if (!block || size <= 0) return;
  const auto page = std::uintptr_t(size);
  const std::uintptr_t first = (std::uintptr_t(block) + page - 1) / page * page;
  const std::uintptr_t end = (std::uintptr_t(block) + bytes) / page * page;
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
  (void)block;
  (void)bytes;
#endif
}
