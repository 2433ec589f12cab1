#include "tools/skingen/SkinRecipe.h"

#include "tools/common/ReadWholeFile.h"

#include <charconv>
#include <sstream>

static bool ParseInt(const std::string& s, int& out)
{
  const char* end = s.data() + s.size();
  const auto [p, ec] = std::from_chars(s.data(), end, out);
  return ec == std::errc() && p == end;
}

// Splits a line into blank-separated tokens; a double-quoted stretch keeps its blanks.
static bool Tokenise(const std::string& line, std::vector<std::string>& tokens)
{
  std::string token;
  bool inToken = false, quoted = false;
  for (char c : line)
  {
    if (c == '"')
    {
      quoted = !quoted;
      inToken = true;
      continue;
    }
    if (!quoted && (c == ' ' || c == '\t'))
    {
      if (inToken) tokens.push_back(token);
      token.clear();
      inToken = false;
      continue;
    }
    token += c;
    inToken = true;
  }
  if (inToken) tokens.push_back(token);
  return !quoted;
}

std::string SkinRecipe::Arg(const std::string& key, const std::string& fallback) const
{
  const auto it = args.find(key);
  return it == args.end() ? fallback : it->second;
}

int SkinRecipe::IntArg(const std::string& key, int fallback) const
{
  int value = 0;
  return ParseInt(Arg(key), value) ? value : fallback;
}

std::vector<std::string> SkinRecipe::List(const std::string& key) const
{
  std::vector<std::string> parts;
  const auto it = args.find(key);
  if (it == args.end()) return parts;
  std::string part;
  for (char c : it->second)
  {
    if (c == '|')
    {
      parts.push_back(part);
      part.clear();
    }
    else
      part += c;
  }
  parts.push_back(part);
  return parts;
}

bool SkinRecipeBook::Load(const std::string& path, std::string& error)
{
  std::string text;
  if (!ReadWholeFile(path, text))
  {
    error = "cannot read " + path;
    return false;
  }
  if (!Parse(text, error))
  {
    error = path + ":" + error;
    return false;
  }
  return true;
}

bool SkinRecipeBook::Parse(const std::string& text, std::string& error)
{
  recipes.clear();
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number)
  {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    std::vector<std::string> tokens;
    if (!Tokenise(line, tokens))
    {
      error = std::to_string(number) + ": unclosed quote";
      return false;
    }
    SkinRecipe recipe;
    recipe.line = number;
    if (tokens.size() < 4 || !ParseInt(tokens[2], recipe.width) || !ParseInt(tokens[3], recipe.height) ||
        recipe.width <= 0 || recipe.height <= 0 || recipe.width > 4096 || recipe.height > 4096)
    {
      error = std::to_string(number) + ": expected stem, kind, width and height (1 to 4096)";
      return false;
    }
    recipe.stem = tokens[0];
    recipe.kind = tokens[1];
    for (std::size_t i = 4; i < tokens.size(); ++i)
    {
      const auto eq = tokens[i].find('=');
      if (eq == std::string::npos || eq == 0)
      {
        error = std::to_string(number) + ": argument \"" + tokens[i] + "\" is not key=value";
        return false;
      }
      recipe.args[tokens[i].substr(0, eq)] = tokens[i].substr(eq + 1);
    }
    if (Find(recipe.stem))
    {
      error = std::to_string(number) + ": second recipe for " + recipe.stem;
      return false;
    }
    recipes.push_back(std::move(recipe));
  }
  return true;
}

const SkinRecipe* SkinRecipeBook::Find(const std::string& stem) const
{
  for (const auto& r : recipes)
    if (r.stem == stem) return &r;
  return nullptr;
}
