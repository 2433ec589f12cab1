#pragma once
// How one skin image is drawn: its kind, the size of one frame and named arguments, read from
// resources/src/skin/images.txt. One line per image:
//   stem  kind  width  height  key=value key="value with blanks" ...
// Lists inside a value are separated by '|'. '#' starts a comment line.

#include <map>
#include <string>
#include <vector>

struct SkinRecipe
{
  std::string stem;
  std::string kind;
  int width = 0; // of one frame
  int height = 0;
  std::map<std::string, std::string> args;
  int line = 0;

  std::string Arg(const std::string& key, const std::string& fallback = "") const;
  int IntArg(const std::string& key, int fallback) const;
  // The '|'-separated parts of an argument; empty when absent.
  std::vector<std::string> List(const std::string& key) const;
};

class SkinRecipeBook
{
public:
  // Reads the recipe file; false with a message naming the line on any malformed line.
  bool Load(const std::string& path, std::string& error);
  bool Parse(const std::string& text, std::string& error);
  const SkinRecipe* Find(const std::string& stem) const;
  const std::vector<SkinRecipe>& All() const { return recipes; }

private:
  std::vector<SkinRecipe> recipes;
};
