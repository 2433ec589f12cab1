#include "config/MidiMapRecord.h"

#include <cmath>
#include <cstdlib>

void MidiMapRecord::SetSysExTables(SysExTableSet& set)
{
  sysExList = set.sysExList;
  sysExMessages = std::move(set.messages);
  messageGroups = std::move(set.groups);
  set.messages.clear();
  set.groups.clear();
  set.sysExList = false;
}

int32_t MidiMapRecord::DataByte(double value)
{
  if (!(value >= 0.0)) // also NaN
    return 0;
  if (value >= 127.0) return 127;
  return int32_t(value);
}

int32_t MidiMapRecord::DataByte(int32_t value)
{
  return value < 0 ? 0 : value > 127 ? 127 : value;
}

namespace
{
// The blank-separated tokens of a template.
std::vector<std::string> Tokens(const std::string& text)
{
  std::vector<std::string> out;
  size_t at = 0;
  while (at < text.size())
  {
    const size_t start = text.find_first_not_of(' ', at);
    if (start == std::string::npos) break;
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(start, end - start));
    at = end;
  }
  return out;
}

int HexDigit(char c)
{
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
} // namespace

std::vector<int32_t> ParseHexByteList(const std::string& text)
{
  std::vector<int32_t> out;
  for (const std::string& token : Tokens(text))
  {
    // The leading hexadecimal digits, as far as they go; capped so a long token cannot overflow.
    int64_t value = 0;
    for (char c : token)
    {
      const int d = HexDigit(c);
      if (d < 0) break;
      value = value * 16 + d;
      if (value > INT32_MAX)
      {
        value = INT32_MAX;
        break;
      }
    }
    out.push_back(int32_t(value));
  }
  return out;
}

bool ParseHexBytes(const std::string& text, std::vector<int32_t>& out)
{
  out.clear();
  for (const std::string& token : Tokens(text))
  {
    if (token.size() > 2 || HexDigit(token[0]) < 0 || (token.size() == 2 && HexDigit(token[1]) < 0))
    {
      out.clear();
      return false;
    }
    out.push_back(token.size() == 2 ? HexDigit(token[0]) * 16 + HexDigit(token[1]) : HexDigit(token[0]));
  }
  return !out.empty();
}

bool BuildSysExTable(const std::string& templateText, int changingByte, int count, SysExTableSet& set,
                     int startValue, int partByte, int partIndex, SysExTemplateError* error)
{
  auto refuse = [&](const std::string& reason)
  {
    if (error) error->reason = reason;
    return false;
  };
  std::vector<int32_t> bytes;
  if (!ParseHexBytes(templateText, bytes))
    return refuse("template \"" + templateText + "\" is not a list of hexadecimal bytes");
  const int n = int(bytes.size());
  if (n < kSysExFrameLength || bytes.front() != 0xF0 || bytes.back() != 0xF7)
    return refuse("template \"" + templateText + "\" is not a framed SysEx message");
  // The value and the part go into the payload of the frame, never into F0 or F7.
  if (changingByte < 2 || changingByte > n - 1)
    return refuse("changing byte " + std::to_string(changingByte) + " lies outside the template");
  if (partByte != 0 && (partByte < 2 || partByte > n - 1 || partByte == changingByte))
    return refuse("part byte " + std::to_string(partByte) + " lies outside the template");
  if (count < 0) count = 0;

  const int c = changingByte - 1;
  std::vector<SysExBytes> messages;
  messages.reserve(size_t(count));
  int value = startValue;
  int i = 0;
  if (startValue == -1)
  {
    messages.push_back(bytes);
    i = 1;
    value = bytes[size_t(c)];
  }
  for (; i < count; ++i)
  {
    SysExBytes copy = bytes;
    if (value == 128) value = 0;
    if (partByte > 0 && partIndex >= 0)
      copy[size_t(partByte - 1)] = MidiMapRecord::DataByte(int32_t(partIndex));
    copy[size_t(c)] = MidiMapRecord::DataByte(int32_t(value));
    messages.push_back(std::move(copy));
    ++value;
  }
  set.messages = std::move(messages);
  return true;
}

bool SysExRegistrationKey(const SysExBytes& message, int changingByte, int32_t key[4])
{
  const int first = changingByte == 7 ? 2 : 3;
  if (int(message.size()) < first + 4) return false;
  for (int k = 0; k < 4; ++k)
    key[k] = message[size_t(first + k)] & 0xFF;
  return true;
}
