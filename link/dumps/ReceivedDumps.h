#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// The last dump of each type the synthesizer sent into the editor, kept whole: the bytes no
// parameter carries hold the synthesizer's own settings, and a rebuilt dump keeps them (see
// `KeepReceivedBits`). Written by the receiving thread, read by the jobs thread.
class ReceivedDumps
{
public:
  // Keeps a copy of the message under its type byte (byte 7); a message shorter than a frame
  // keeps nothing.
  void Keep(const uint8_t* message, size_t size);
  // The last message of the type, or an empty one when none was received.
  std::vector<uint8_t> Last(uint8_t type) const;

private:
  mutable std::mutex mMutex;
  std::array<std::vector<uint8_t>, 128> mByType;
};
