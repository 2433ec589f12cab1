#include "tools/docgen/ValueLists.h"

#include <sstream>

#include "tools/layout/TextFields.h"

static std::string Trim(const std::string& s)
{
  size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

bool ValueLists::Parse(const std::string& text, std::string& error)
{
  mLists.clear();
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line))
  {
    ++lineNo;
    std::string t = Trim(line);
    if (t.empty() || t[0] == '#') continue;
    auto fail = [&](const std::string& what)
    {
      error = "lists.txt:" + std::to_string(lineNo) + ": " + what;
      return false;
    };
    size_t colon = t.find(':');
    if (colon == std::string::npos || colon == 0) return fail("expected \"name: entry | entry ...\"");
    std::string name = Trim(t.substr(0, colon));
    if (Find(name)) return fail("list " + name + " defined twice");
    std::vector<std::string> values;
    for (const std::string& raw : SplitFields(t.substr(colon + 1), '|'))
    {
      std::string entry = Trim(raw);
      size_t at = entry.find('@');
      if (at == std::string::npos)
      {
        if (entry.empty()) return fail("empty entry in list " + name);
        values.push_back(entry);
        continue;
      }
      size_t dots = entry.find("..", at);
      size_t end =
          dots == std::string::npos ? std::string::npos : entry.find_first_not_of("0123456789", dots + 2);
      if (end == std::string::npos) end = entry.size();
      int from = 0, to = 0;
      if (dots == std::string::npos || !ParseInt(entry.substr(at + 1, dots - at - 1), from) ||
          !ParseInt(entry.substr(dots + 2, end - dots - 2), to) || from > to)
        return fail("\"@A..B\" needs two numbers, A not above B");
      for (int v = from; v <= to; ++v)
        values.push_back(entry.substr(0, at) + std::to_string(v) + entry.substr(end));
    }
    mLists.emplace_back(name, values);
  }
  return true;
}

const std::vector<std::string>* ValueLists::Find(const std::string& name) const
{
  for (const auto& [n, v] : mLists)
    if (n == name) return &v;
  return nullptr;
}
