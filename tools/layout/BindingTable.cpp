#include "tools/layout/BindingTable.h"

#include <cstdlib>
#include <sstream>

#include "tools/common/ReadWholeFile.h"
#include "tools/layout/TextFields.h"

bool BindingTable::Read(const std::string& path, std::string& error)
{
  std::string text;
  if (!ReadWholeFile(path, text))
  {
    error = path + ": cannot be read";
    return false;
  }
  return Parse(text, error);
}

bool BindingTable::Parse(const std::string& text, std::string& error)
{
  mRows.clear();
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line))
  {
    ++lineNo;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = SplitFields(line, '\t');
    auto fail = [&](const std::string& what)
    {
      error = "bindings.tsv:" + std::to_string(lineNo) + " (" + (f.empty() ? "" : f[0]) + "): " + what;
      return false;
    };
    if (f.size() != 14) return fail("expected 14 tab-separated columns, found " + std::to_string(f.size()));
    BindingRow r;
    r.line = lineNo;
    r.name = f[0];
    r.control = f[2];
    r.image = f[3];
    r.list = f[8];
    r.midi = f[9];
    r.source = f[11];
    r.caption = f[13];
    int* ints[] = {&r.parts, &r.min, &r.max, &r.def, &r.step};
    const int cols[] = {1, 4, 5, 6, 7};
    for (int i = 0; i < 5; ++i)
    {
      if (!ParseInt(f[cols[i]], *ints[i]))
        return fail("column " + std::to_string(cols[i] + 1) + " is not a number");
    }
    if (r.parts != 1 && r.parts != 8) return fail("parts must be 1 or 8");
    if (r.min > r.max) return fail("minimum above maximum");
    if (r.def < r.min || r.def > r.max) return fail("default outside the range");
    if (r.step < 1) return fail("step below 1");
    if (r.midi == "cc" || r.midi == "ccbtn")
    {
      if (!ParseInt(f[10], r.cc) || r.cc < 0 || r.cc > 119) return fail("controller number must be 0 to 119");
    }
    else if (r.midi == "nrpn")
    {
      std::vector<std::string> n = SplitFields(f[10], '.');
      if (n.size() != 3 || !ParseInt(n[0], r.nrpnMsb) || !ParseInt(n[1], r.nrpnLsb) ||
          !ParseInt(n[2], r.nrpnBase))
        return fail("NRPN numbers must be msb.lsb.base");
      if (r.nrpnMsb < 0 || r.nrpnMsb > 127 || r.nrpnLsb < 0 || r.nrpnLsb > 127 || r.nrpnBase < 0 ||
          r.nrpnBase > 127)
        return fail("NRPN numbers must be 0 to 127");
    }
    else if (r.midi != "none")
    {
      return fail("MIDI kind must be cc, ccbtn, nrpn or none");
    }
    if (f[12] != "-") r.homes = SplitFields(f[12], ' ');
    if (r.caption.empty() || r.caption.size() > 8) return fail("caption must have 1 to 8 characters");
    if (Find(r.name)) return fail("name bound twice");
    mRows.push_back(r);
  }
  return true;
}

const BindingRow* BindingTable::Find(const std::string& name) const
{
  for (const BindingRow& r : mRows)
    if (r.name == name) return &r;
  return nullptr;
}
