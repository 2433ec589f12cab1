#include "tools/docgen/SysExEntries.h"

#include <cstdlib>
#include <sstream>

#include "tools/layout/TextFields.h"

bool SysExEntries::Parse(const std::string& text, std::string& error)
{
  mEntries.clear();
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line))
  {
    ++lineNo;
    if (!line.empty() && line[0] == '#') continue;
    std::vector<std::string> f = SplitFields(line, ' ');
    if (f.empty()) continue;
    auto fail = [&](const std::string& what)
    {
      error = "sysex.txt:" + std::to_string(lineNo) + ": " + what;
      return false;
    };
    SysExEntry e;
    e.line = lineNo;
    if (f.size() < 5 || !ParseInt(f[1], e.part) || !ParseInt(f[2], e.changingByte))
      return fail("expected NAME PART CHANGINGBYTE and the template bytes");
    e.name = f[0];
    for (size_t i = 3; i < f.size(); ++i)
    {
      char* end = nullptr;
      long v = std::strtol(f[i].c_str(), &end, 16);
      if (f[i].size() != 2 || *end != '\0')
        return fail("template byte \"" + f[i] + "\" is not two hexadecimal digits");
      e.values.push_back(static_cast<int>(v));
      e.bytes += (e.bytes.empty() ? "" : " ") + f[i];
    }
    int n = static_cast<int>(e.values.size());
    if (e.values.front() != 0xF0 || e.values.back() != 0xF7 || n < 10)
      return fail("a template runs from F0 to F7");
    if (e.values[1] != 0x00 || e.values[2] != 0x20 || e.values[3] != 0x29 || e.values[4] != 0x01)
      return fail("a template starts with the synthesizer's frame F0 00 20 29 01");
    for (int i = 1; i < n - 1; ++i)
      if (e.values[i] > 0x7F) return fail("a data byte above 7F");
    if (e.part < 0 || e.part > 7) return fail("part must be 0 to 7");
    if (e.changingByte < 9 || e.changingByte > n - 1)
      return fail("the changing byte must lie in the payload");
    mEntries.push_back(e);
  }
  return true;
}
