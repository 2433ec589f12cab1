#pragma once
// The value lists of the user-interface document (resources/src/lists.txt).
#include <map>
#include <string>
#include <vector>

class ValueLists
{
public:
  bool Parse(const std::string& text, std::string& error);
  const std::vector<std::string>* Find(const std::string& name) const;
  // In the order of the source, so the document lists them the same way every build.
  const std::vector<std::pair<std::string, std::vector<std::string>>>& All() const { return mLists; }

private:
  std::vector<std::pair<std::string, std::vector<std::string>>> mLists;
};
