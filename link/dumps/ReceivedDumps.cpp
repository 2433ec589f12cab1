#include "link/dumps/ReceivedDumps.h"

void ReceivedDumps::Keep(const uint8_t* message, size_t size)
{
  if (!message || size < 9) return;
  std::vector<uint8_t> copy(message, message + size);
  std::lock_guard<std::mutex> lock(mMutex);
  mByType[message[7] & 0x7F] = std::move(copy);
}

std::vector<uint8_t> ReceivedDumps::Last(uint8_t type) const
{
  std::lock_guard<std::mutex> lock(mMutex);
  return mByType[type & 0x7F];
}
