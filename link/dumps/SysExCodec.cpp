#include "link/dumps/SysExCodec.h"

#include <algorithm>

namespace
{
constexpr uint8_t kSustainCodes[14] = {77, 78, 79, 126, 80, 81, 82, 127, 4, 5, 6, 7, 8, 83};

uint32_t Bits(unsigned byte, int low, int count)
{
  return (byte >> low) & ((1u << count) - 1);
}
} // namespace

void UnpackFlags(int byte, std::vector<uint32_t>& flags)
{
  const unsigned value = static_cast<unsigned>(byte) & 0x7F;
  flags.clear();
  for (int bit = 6; bit >= 0; --bit)
    flags.push_back(Bits(value, bit, 1));
}

void UnpackFlagsWithLowPair(int byte, std::vector<uint32_t>& flags)
{
  const unsigned value = static_cast<unsigned>(byte) & 0x7F;
  flags.clear();
  for (int bit = 6; bit >= 2; --bit)
    flags.push_back(Bits(value, bit, 1));
  flags.push_back(Bits(value, 0, 2));
}

void UnpackFlagsWithPairs(int byte, std::vector<uint32_t>& flags)
{
  const unsigned value = static_cast<unsigned>(byte) & 0x7F;
  flags.clear();
  flags.push_back(Bits(value, 5, 2));
  flags.push_back(Bits(value, 4, 1));
  flags.push_back(Bits(value, 3, 1));
  flags.push_back(Bits(value, 2, 1));
  flags.push_back(Bits(value, 0, 2));
}

void AppendNameChars(const uint8_t* message, size_t messageSize, int first, int end, std::string& text)
{
  if (!message || first < 0) return;
  const size_t stop = std::min(static_cast<size_t>(std::max(end, 0)), messageSize);
  for (size_t i = static_cast<size_t>(first); i < stop; ++i)
    text.push_back(static_cast<char>(message[i]));
}

void WriteNameChars(const std::string& name, uint8_t* destination, size_t length)
{
  for (size_t i = 0; i < length; ++i)
  {
    const unsigned char c = i < name.size() ? static_cast<unsigned char>(name[i]) : ' ';
    destination[i] = c > 0x7F ? '?' : c;
  }
}

int DecodeSustainCode(unsigned code)
{
  for (int value = 0; value < 14; ++value)
    if (kSustainCodes[value] == code) return value;
  return 0;
}

uint8_t EncodeSustainCode(int value)
{
  return kSustainCodes[std::clamp(value, 0, 13)];
}
