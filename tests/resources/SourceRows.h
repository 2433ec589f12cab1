#pragma once
// Rows of a hand-made binding table for the layout and generator tests.
#include <string>
#include <vector>

inline const char* kBindingHeader =
    "# name\tparts\tctl\timage\tmin\tmax\tdef\tstep\tlist\tmidi\tnumbers\tsource\thome\tcaption\n";

// One row with the minimum as default, step 1, the caption "Cap".
inline std::string BindingRowText(const std::string& name, const std::string& parts, const std::string& ctl,
                                  int min, int max, const std::string& list, const std::string& midi,
                                  const std::string& numbers, const std::string& home)
{
  return name + "\t" + parts + "\t" + ctl + "\t-\t" + std::to_string(min) + "\t" + std::to_string(max) +
         "\t" + std::to_string(min) + "\t1\t" + list + "\t" + midi + "\t" + numbers + "\tassumed\t" + home +
         "\tCap\n";
}

// True when one of the messages holds the text.
inline bool AnyHolds(const std::vector<std::string>& messages, const std::string& text)
{
  for (const std::string& m : messages)
    if (m.find(text) != std::string::npos) return true;
  return false;
}
