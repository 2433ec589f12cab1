#include "tools/layout/TextFields.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

std::vector<std::string> SplitFields(const std::string& text, char separator)
{
  std::vector<std::string> out;
  std::string cur;
  for (char c : text)
  {
    if (c == '\r') continue;
    if (c == separator)
    {
      if (separator != ' ' || !cur.empty()) out.push_back(cur);
      cur.clear();
    }
    else
    {
      cur += c;
    }
  }
  if (separator != ' ' || !cur.empty()) out.push_back(cur);
  return out;
}

bool ParseInt(const std::string& text, int& value)
{
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}
