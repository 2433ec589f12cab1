#pragma once
// The SysEx templates of the SysEx document (resources/src/sysex.txt).
#include <string>
#include <vector>

struct SysExEntry
{
  int line = 0;
  std::string name;     // parameter name
  int part = 0;         // the part whose parameter the entry drives
  int changingByte = 0; // counted from 1
  std::string bytes;    // the template as hexadecimal bytes separated by blanks
  std::vector<int> values;
};

class SysExEntries
{
public:
  bool Parse(const std::string& text, std::string& error);
  const std::vector<SysExEntry>& All() const { return mEntries; }

private:
  std::vector<SysExEntry> mEntries;
};
